// One transfer (cHttp through cFileDownloader and cResDownloader) against nginx: what
// the local file holds before decides the requests, and the file always ends
// byte-identical to the served one with the counters exact.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "engine/cFileDownloader.h"
#include "engine/cResDownloader.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

// A file worker counting into a manager that is never started, as the run's
// workers count into theirs.
struct Counted {
    TestRecord record;
    cMgrDownloader* counters = new cMgrDownloader();
    explicit Counted(int64_t totalSize) {
        counters->totalSize = totalSize;
        record.app.manager = counters;  // the record destroys it
        SetCurrentDirectoryA(record.downloadFolder.c_str());
    }
};

bool WaitForTransfer(const cHttp& transfer) {
    for (DWORD start = GetTickCount(); transfer.running; Sleep(5)) {
        if (GetTickCount() - start > 60000) return false;
    }
    return true;
}

FILETIME LastWrite(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

TEST(TransferTest, WhatIsOnDiskDecidesTheRequestsAndTheFileEndsIdentical) {
    REQUIRE_SERVERS();
    const int64_t kSize = 3 * 1048576 + 999;
    struct Row {
        const char* what;
        int64_t size;        // the resource
        int64_t local;       // bytes on disk before: -1 none; a prefix of the resource, or longer with junk
        std::vector<std::string> ranges;
    } rows[] = {
        {"no local file", kSize, -1, {"bytes=0-"}},
        {"an empty local file", kSize, 0, {"bytes=0-"}},
        {"1000 bytes from an earlier run", kSize, 1000, {"bytes=0-", "bytes=1000-"}},
        {"all but the last byte", kSize, kSize - 1, {"bytes=0-", "bytes=" + std::to_string(kSize - 1) + "-"}},
        {"a whole chunk", kSize, 1048576, {"bytes=0-", "bytes=1048576-"}},
        {"complete", kSize, kSize, {"bytes=0-"}},
        {"longer than the resource", kSize, kSize + 500, {"bytes=0-"}},
        {"an empty resource, nothing local", 0, -1, {"bytes=0-"}},
        {"an empty resource, a longer local file", 0, 700, {"bytes=0-"}},
        {"an empty resource, complete on disk", 0, 0, {"bytes=0-"}},
        {"a one-byte resource", 1, -1, {"bytes=0-"}},
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string name = "transfer/file" + std::to_string(index) + ".bin";
        ASSERT_TRUE(WriteContentFile(ServedPath(name), 6000 + index, row.size));
        ++index;
        std::string served = ReadFile(ServedPath(name));
        Counted run(row.size);
        std::string local = LocalPath(run.record, "file.bin");
        if (row.local >= 0) {
            std::string before = served.substr(0, static_cast<size_t>(std::min(row.local, row.size)));
            before.resize(static_cast<size_t>(row.local), 'J');
            ASSERT_TRUE(WriteFile(local, before));
        }
        FILETIME written = LastWrite(local);
        size_t logOffset = NginxLogSize();

        cFileDownloader transfer;
        ASSERT_TRUE(transfer.BeginDownload(NginxUrl(name).c_str(), "file.bin"));
        ASSERT_TRUE(WaitForTransfer(transfer)) << row.what;

        std::string why;
        EXPECT_TRUE(SameBytes(local, ServedPath(name), why)) << row.what << ": " << why;
        int64_t kept = row.local > 0 && row.local <= row.size ? row.local : 0;
        EXPECT_EQ(run.counters->receivedSize, row.size) << row.what;
        EXPECT_EQ(run.counters->transferredSize, row.size - kept) << row.what;
        EXPECT_EQ(transfer.startOffset, kept) << row.what;
        EXPECT_EQ(transfer.position, row.size) << row.what;
        std::vector<std::string> ranges;
        for (const LoggedRequest& request : NginxRequests(logOffset)) {
            EXPECT_EQ(request.agent, "cFileDownloader");
            ranges.push_back(request.range);
        }
        EXPECT_EQ(ranges, row.ranges) << row.what;
        if (row.local == row.size) {
            // Already complete: the file is not even opened.
            FILETIME after = LastWrite(local);
            EXPECT_EQ(CompareFileTime(&written, &after), 0) << row.what;
        }
        EXPECT_EQ(run.record.Log().find("(-92)"), std::string::npos) << row.what;
        // Nothing of the client goes into WinINet's cache.
        DWORD entrySize = 0;
        EXPECT_FALSE(GetUrlCacheEntryInfoA(NginxUrl(name).c_str(), nullptr, &entrySize));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << row.what << ": cached";
    }
}

TEST(TransferTest, DownloadRewritesTheWholeFileAndReturnsItsSize) {
    REQUIRE_SERVERS();
    const std::string name = "transfer/whole.json";
    ASSERT_TRUE(WriteContentFile(ServedPath(name), 6100, 5000));
    struct Row {
        const char* what;
        int64_t local;
    } rows[] = {{"no local file", -1}, {"a shorter one", 1200}, {"a longer one", 9000}, {"the same size", 5000}};
    for (const Row& row : rows) {
        TestRecord record;
        SetCurrentDirectoryA(record.workFolder.c_str());
        std::string local = record.workFolder + "sub\\fileT.json";
        if (row.local >= 0) {
            CreateDirectoryA((record.workFolder + "sub").c_str(), nullptr);
            ASSERT_TRUE(WriteFile(local, std::string(static_cast<size_t>(row.local), 'x')));
        }
        size_t logOffset = NginxLogSize();
        cResDownloader transfer;
        EXPECT_EQ(transfer.Download(NginxUrl(name).c_str(), "sub/fileT.json"), 5000) << row.what;
        EXPECT_EQ(transfer.running, 0);
        std::string why;
        EXPECT_TRUE(SameBytes(local, ServedPath(name), why)) << row.what << ": " << why;
        // Never continued: one request from byte 0, under its own agent string.
        std::vector<LoggedRequest> requests = NginxRequests(logOffset);
        ASSERT_EQ(requests.size(), 1u) << row.what;
        EXPECT_EQ(requests[0].range, "bytes=0-");
        EXPECT_EQ(requests[0].agent, "cResDownloader");
    }
}

// Without a total (TotalSize 0 or missing) the chunks are not counted; the bytes
// that an earlier run left are, and they are logged.
TEST(TransferTest, WithoutATotalOnlyTheBytesOnDiskAreCounted) {
    REQUIRE_SERVERS();
    const std::string name = "transfer/no-total.bin";
    ASSERT_TRUE(WriteContentFile(ServedPath(name), 6200, 250000));
    Counted run(0);
    ASSERT_TRUE(WriteFile(LocalPath(run.record, "file.bin"), ReadFile(ServedPath(name)).substr(0, 1000)));
    cFileDownloader transfer;
    ASSERT_TRUE(transfer.BeginDownload(NginxUrl(name).c_str(), "file.bin"));
    ASSERT_TRUE(WaitForTransfer(transfer));
    std::string why;
    EXPECT_TRUE(SameBytes(LocalPath(run.record, "file.bin"), ServedPath(name), why)) << why;
    EXPECT_EQ(run.counters->receivedSize, 1000);
    EXPECT_EQ(run.counters->transferredSize, 0);
    EXPECT_NE(run.record.Log().find(" cMgrDownloader::OnStart 1000\r\n"), std::string::npos);
}

}  // namespace
