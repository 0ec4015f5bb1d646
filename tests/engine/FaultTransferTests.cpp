// One transfer against the fault-injecting test server: each row says how the server
// misbehaves, and the file still ends byte-identical to the served one, with the
// requests, the broken passes and the counters as they must be.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "engine/cFileDownloader.h"
#include "engine/cResDownloader.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

bool WaitForTransfer(const cHttp& transfer) {
    for (DWORD start = GetTickCount(); transfer.running; Sleep(5)) {
        if (GetTickCount() - start > 60000) return false;
    }
    return true;
}

TEST(FaultTransferTest, AMisbehavingServerStillYieldsTheServedFile) {
    REQUIRE_SERVERS();
    const int64_t kSize = 1500000;
    const std::string kWhole = std::to_string(kSize);
    struct Row {
        const char* what;
        const char* rules;
        int64_t local;                     // bytes of the resource on disk before, -1: none
        std::vector<std::string> ranges;   // the Range header of each request, in order
        int brokenPasses;
        int64_t served = kSize;            // what the server holds for the path
    } rows[] = {
        {"no fault", "[]", -1, {"bytes=0-"}, 0},
        {"connection closed after 100000 body bytes, once",
         R"([{"path": "PATH", "fault": "drop_after", "bytes": 100000, "times": 1}])", -1,
         {"bytes=0-", "bytes=0-", "bytes=100000-"}, 1},
        {"closed after 100000 bytes of the resumed range, once",
         R"([{"path": "PATH", "fault": "drop_after", "bytes": 100000, "on_request": 2}])", 5000,
         {"bytes=0-", "bytes=5000-", "bytes=0-", "bytes=105000-"}, 1},
        {"body 1000 bytes shorter than announced, once",
         R"([{"path": "PATH", "fault": "short_body", "missing": 1000, "times": 1}])", -1,
         {"bytes=0-", "bytes=0-", "bytes=" + std::to_string(kSize - 1000) + "-"}, 1},
        {"body 5000 bytes longer than announced",
         R"([{"path": "PATH", "fault": "long_body", "extra": 5000}])", -1, {"bytes=0-"}, 0},
        {"stall of 0.3 s after 50000 bytes, then closed, once",
         R"([{"path": "PATH", "fault": "stall", "seconds": 0.3, "after_bytes": 50000, "times": 1}])", -1,
         {"bytes=0-", "bytes=0-", "bytes=50000-"}, 1},
        {"range ignored: 200 with the whole resource",
         R"([{"path": "PATH", "fault": "ignore_range"}])", 1000, {"bytes=0-", "bytes=1000-"}, 0},
        {"range ignored, all but the last byte on disk",
         R"([{"path": "PATH", "fault": "ignore_range"}])", kSize - 1,
         {"bytes=0-", "bytes=" + std::to_string(kSize - 1) + "-"}, 0},
        {"slow: 4 MB/s", R"([{"path": "PATH", "fault": "slow", "bytes_per_sec": 4000000}])", 70000,
         {"bytes=0-", "bytes=70000-"}, 0},
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string name = "faults/transfer" + std::to_string(index) + ".bin";
        ASSERT_TRUE(WriteContentFile(ServedPath(name), 7000 + index, row.served));
        ++index;
        ASSERT_TRUE(ResetContentServer());
        ASSERT_TRUE(SetFaults(Rules(row.rules, "/" + name))) << row.what;

        TestRecord record;
        cMgrDownloader* counters = new cMgrDownloader();  // never started: its counters only
        counters->totalSize = row.served;
        record.app.manager = counters;
        SetCurrentDirectoryA(record.downloadFolder.c_str());
        std::string local = LocalPath(record, "file.bin");
        if (row.local >= 0) {
            ASSERT_TRUE(WriteFile(local, ReadFile(ServedPath(name)).substr(0, row.local)));
        }

        cFileDownloader transfer;
        ASSERT_TRUE(transfer.BeginDownload(ContentUrl(name).c_str(), "file.bin"));
        ASSERT_TRUE(WaitForTransfer(transfer)) << row.what;

        std::string why;
        EXPECT_TRUE(SameBytes(local, ServedPath(name), why)) << row.what << ": " << why;
        int64_t kept = std::max<int64_t>(row.local, 0);
        EXPECT_EQ(counters->receivedSize, row.served) << row.what;
        EXPECT_EQ(counters->transferredSize, row.served - kept) << row.what;
        std::vector<std::string> ranges;
        for (const ServerRequest& request : ContentRequests("/" + name)) ranges.push_back(request.range);
        EXPECT_EQ(ranges, row.ranges) << row.what;
        EXPECT_EQ(CountOf(record.Log(), "cHttp::OnExecute :: network error (-92)\r\n"), row.brokenPasses) << row.what;
        // Every line of the log starts with the build stamp of the code that wrote it.
        const std::regex line("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} "
                              "(cHttp::OnExecute :: network error \\(-92\\)|cMgrDownloader::OnStart [0-9]+)\r\n");
        EXPECT_EQ(std::regex_replace(record.Log(), line, ""), "") << row.what;
    }
    SetFaults("[]");
}

// The request heads byte for byte, as the server received them: the engine's
// header text (which WinINet under Wine sends with a blank after each colon), the
// agent string that names the object, and nothing that would let a cache answer.
TEST(FaultTransferTest, RequestsCarryTheEnginesHeadersAndAgentString) {
    REQUIRE_SERVERS();
    const std::string name = "faults/heads.bin";
    ASSERT_TRUE(WriteContentFile(ServedPath(name), 7100, 5000));
    ASSERT_TRUE(ResetContentServer());
    const std::string host = "Host: 127.0.0.1:" + std::to_string(GetServers().contentPort) + "\r\n";
    auto head = [&](const char* range, const char* agent) {
        return "GET /" + name + " HTTP/1.1\r\nAccept: */*\r\nAccept-Encoding: *\r\nAccept-Ranges: bytes\r\nRange: " +
               range + "\r\n" + host + "User-Agent: " + agent + "\r\n\r\n";
    };
    {
        TestRecord record;
        SetCurrentDirectoryA(record.downloadFolder.c_str());
        ASSERT_TRUE(WriteFile(LocalPath(record, "file.bin"), ReadFile(ServedPath(name)).substr(0, 1000)));
        cFileDownloader transfer;
        ASSERT_TRUE(transfer.BeginDownload(ContentUrl(name).c_str(), "file.bin"));
        ASSERT_TRUE(WaitForTransfer(transfer));
        cResDownloader whole;
        EXPECT_EQ(whole.Download(ContentUrl(name).c_str(), "whole.bin"), 5000);
    }
    std::vector<ServerRequest> requests = ContentRequests("/" + name);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].raw, head("bytes=0-", "cFileDownloader"));
    EXPECT_EQ(requests[1].raw, head("bytes=1000-", "cFileDownloader"));
    EXPECT_EQ(requests[2].raw, head("bytes=0-", "cResDownloader"));
}

// Download never continues a file: a broken pass starts again from byte 0, and the
// result counts the bytes of the file.
TEST(FaultTransferTest, DownloadStartsABrokenPassAgainFromTheFirstByte) {
    REQUIRE_SERVERS();
    const std::string name = "faults/whole.json";
    ASSERT_TRUE(WriteContentFile(ServedPath(name), 7200, 400000));
    ASSERT_TRUE(ResetContentServer());
    ASSERT_TRUE(SetFaults(Rules(R"([{"path": "PATH", "fault": "drop_after", "bytes": 150000, "times": 2}])", "/" + name)));
    TestRecord record;
    SetCurrentDirectoryA(record.workFolder.c_str());
    cResDownloader transfer;
    EXPECT_EQ(transfer.Download(ContentUrl(name).c_str(), "fileT.json"), 400000);
    std::string why;
    EXPECT_TRUE(SameBytes(record.workFolder + "fileT.json", ServedPath(name), why)) << why;
    std::vector<std::string> ranges;
    for (const ServerRequest& request : ContentRequests("/" + name)) ranges.push_back(request.range);
    EXPECT_EQ(ranges, std::vector<std::string>(3, "bytes=0-"));
    EXPECT_EQ(CountOf(record.Log(), "cHttp::OnExecute :: network error (-92)\r\n"), 2);
    SetFaults("[]");
}

}  // namespace
