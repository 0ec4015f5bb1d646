// The engine against nginx from Debian as a real content server: a client of mixed
// sizes arrives byte-identical, and a run stopped and started again resumes every
// file from its local size with exact counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/cFileDownloader.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

// One file over 100 MiB, one empty, sizes around the 1 MiB chunk, nested folders.
const Client& MixedClient() {
    static const Client client{"nginx-mixed/",
                               {{"config/empty.cfg", 0},
                                {"one.bin", 1},
                                {"data/small.dat", 1000},
                                {"data/exact.pak", 1048576},
                                {"data/over.pak", 1048577},
                                {"data/maps/region1/mid.pak", 3 * 1048576 + 12345},
                                {"movies/intro.bik", 101 * 1048576 + 4321},
                                {"bin/game.exe", 200000}},
                               1000};
    return client;
}

// Served at 4 MiB/s per connection, so that stops land in the middle of files.
const Client& ResumeClient() {
    static const Client client{"rate-4m/nginx-resume/",
                               {{"config/empty.cfg", 0},
                                {"one.bin", 1},
                                {"data/small.dat", 1000},
                                {"data/exact.pak", 1048576},
                                {"data/a.pak", 5 * 1048576 + 77},
                                {"data/maps/b.pak", 9 * 1048576 + 333},
                                {"movies/c.bik", 12 * 1048576 + 4321},
                                {"bin/game.exe", 700001}},
                               2000};
    return client;
}

// The ranges that nginx was asked for under `folder` since `logOffset`, per file.
std::map<std::string, std::vector<std::string>> RangesAsked(const std::string& folder, size_t logOffset) {
    std::map<std::string, std::vector<std::string>> ranges;
    std::string prefix = "/" + folder;
    for (const LoggedRequest& request : NginxRequests(logOffset)) {
        if (request.path.rfind(prefix, 0) != 0) continue;
        EXPECT_EQ(request.agent, "cFileDownloader") << request.path;
        ranges[request.path.substr(prefix.size())].push_back(request.range);
    }
    return ranges;
}

TEST(NginxTest, MixedClientArrivesByteIdentical) {
    REQUIRE_SERVERS();
    const Client& client = MixedClient();
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));

    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 120000)) << "the run did not end";
    EXPECT_EQ(manager->fileCount, static_cast<int>(client.entries.size()));
    EXPECT_EQ(manager->totalSize, client.Total());
    EXPECT_EQ(manager->receivedSize, client.Total());
    EXPECT_EQ(manager->transferredSize, client.Total());
    ExpectClientIdentical(record, client);
    EXPECT_STREQ(record.app.launchTarget, "bin/game.exe");
    ExpectNothingOutside(record);
    // A fresh client: one request per file, each for the whole resource.
    auto ranges = RangesAsked(client.folder, logOffset);
    EXPECT_EQ(ranges.size(), client.entries.size());
    for (const auto& [name, asked] : ranges) EXPECT_EQ(asked, std::vector<std::string>{"bytes=0-"}) << name;
}

// Stops the run as StopManager does, but reads the counters once the workers too
// have ended and can add nothing more.
struct StoppedRun {
    int64_t receivedSize;
    int64_t transferredSize;
    DWORD stopMs;
};
StoppedRun StopAndJoin(TestRecord& record) {
    DWORD start = GetTickCount();
    cMgrDownloader* manager = record.app.manager;
    manager->Stop();
    for (int i = 0; i < manager->fileCount; ++i) manager->workers[i].Abort();
    for (int i = 0; i < manager->fileCount; ++i) manager->workers[i].Stop();
    StoppedRun result{manager->receivedSize, manager->transferredSize, GetTickCount() - start};
    record.app.StopManager();
    return result;
}

TEST(NginxTest, RunStoppedAndStartedAgainResumesEveryFileFromItsLocalSize) {
    REQUIRE_SERVERS();
    const Client& client = ResumeClient();
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    const int64_t total = client.Total();
    const int stops = 5;

    int resumedFiles = 0;
    for (int run = 0; run <= stops; ++run) {
        // What each file holds as the run begins; a partial file must be continued
        // from exactly there.
        std::map<std::string, int64_t> before;
        std::set<std::string> partial;
        int64_t onDisk = 0;
        for (const Entry& entry : client.entries) {
            int64_t size = std::max<int64_t>(FileSize(LocalPath(record, entry.name)), 0);
            before[entry.name] = size;
            onDisk += size;
            if (size > 0 && size < entry.size) partial.insert(entry.name + " bytes=" + std::to_string(size) + "-");
        }
        size_t logOffset = NginxLogSize();
        cMgrDownloader* manager = StartRun(record);
        if (run < stops) {
            // Each interrupted run moves its share of what is left.
            const int64_t share = (total - onDisk) / (stops - run + 1);
            DWORD start = GetTickCount();
            while (manager->running && manager->transferredSize < share && GetTickCount() - start < 60000) Sleep(1);
            ASSERT_TRUE(manager->running) << "run " << run << " ended before it could be stopped";
            StoppedRun stopped = StopAndJoin(record);
            EXPECT_LT(stopped.stopMs, 10000u) << "the stop of run " << run << " was not prompt";
            int64_t grown = 0;
            for (const Entry& entry : client.entries) {
                int64_t size = std::max<int64_t>(FileSize(LocalPath(record, entry.name)), 0);
                EXPECT_GE(size, before[entry.name]) << entry.name << " lost bytes in run " << run;
                EXPECT_LE(size, entry.size) << entry.name;
                grown += size - before[entry.name];
            }
            // Exact: every byte counted as transferred is a byte that the files grew by.
            EXPECT_EQ(stopped.transferredSize, grown) << "run " << run;
            EXPECT_GE(stopped.receivedSize, stopped.transferredSize) << "run " << run;
            EXPECT_LE(stopped.receivedSize, total) << "run " << run;
        } else {
            ASSERT_TRUE(WaitForRunEnd(manager, 120000)) << "the last run did not end";
            EXPECT_EQ(manager->receivedSize, total);
            EXPECT_EQ(manager->transferredSize, total - onDisk);
        }
        // Every range asked for beyond byte 0 is where a partial file stood; the
        // last run, which reaches every file, asks for each of them.
        std::set<std::string> asked;
        for (const auto& [name, ranges] : RangesAsked(client.folder, logOffset)) {
            for (const std::string& range : ranges) {
                if (range != "bytes=0-") asked.insert(name + " " + range);
            }
        }
        for (const std::string& range : asked) EXPECT_TRUE(partial.count(range)) << "run " << run << ": " << range;
        if (run == stops) {
            EXPECT_EQ(asked, partial);
        }
        resumedFiles += static_cast<int>(asked.size());
    }
    ExpectClientIdentical(record, client);
    ExpectNothingOutside(record);
    // Each run after the first finds files that the stop left in the middle.
    EXPECT_GE(resumedFiles, stops) << "too few files were continued in the middle";
}

}  // namespace
