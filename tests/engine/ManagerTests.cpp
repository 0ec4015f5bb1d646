// The download manager against nginx: the order and pace at which files start, the
// connection slots, manifests that hold nothing to fetch, files already complete,
// the launch target and the transfer log.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "engine/cFileDownloader.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

// The requests of one client, in the order in which they arrived.
std::vector<LoggedRequest> RequestsFor(const Client& client, size_t logOffset) {
    std::vector<LoggedRequest> requests;
    for (const LoggedRequest& request : NginxRequests(logOffset)) {
        if (request.path.rfind("/" + client.folder, 0) == 0) requests.push_back(request);
    }
    std::stable_sort(requests.begin(), requests.end(),
                     [](const LoggedRequest& a, const LoggedRequest& b) { return a.start < b.start; });
    return requests;
}

std::string NameOf(const Client& client, const LoggedRequest& request) {
    return request.path.substr(client.folder.size() + 1);
}

// How many requests were open at the moment `at` began (itself included). nginx
// logs milliseconds; a request that ended within 2 ms of the start does not count.
int OpenAt(const std::vector<LoggedRequest>& requests, const LoggedRequest& at) {
    int open = 0;
    for (const LoggedRequest& other : requests) {
        if (other.start <= at.start && other.end > at.start + 0.002) ++open;
    }
    return open;
}

// `count` files; each is `growth` bytes longer than the one before it.
Client GrowingFiles(const std::string& folder, int count, int64_t size, uint64_t seed, int64_t growth = 0) {
    Client client{folder, {}, seed};
    for (int i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "file%02d.bin", i);
        client.entries.push_back({name, size + i * growth});
    }
    return client;
}

TEST(ManagerTest, FilesStartInManifestOrderAtMostFourAtOnce) {
    REQUIRE_SERVERS();
    // One to three seconds each at nginx's paced 1 MiB/s: four are always busy. Each
    // file takes a quarter of a second longer than the one before, so slots free up
    // well apart and a thread scheduled late on a busy machine cannot swap the order
    // in which later files reach the server.
    const Client client = GrowingFiles("rate-1m/order/", 10, 1048576, 3000, 262144);
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 60000));
    ExpectClientIdentical(record, client);

    std::vector<LoggedRequest> requests = RequestsFor(client, logOffset);
    ASSERT_EQ(requests.size(), client.entries.size());
    int mostOpen = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(NameOf(client, requests[i]), client.entries[i].name) << "started out of manifest order";
        EXPECT_EQ(requests[i].range, "bytes=0-");
        int open = OpenAt(requests, requests[i]);
        EXPECT_LE(open, 4) << requests[i].path;
        mostOpen = std::max(mostOpen, open);
    }
    EXPECT_EQ(mostOpen, 4);
    // The fifth file waits for a free slot: it starts after one of the first four ended.
    double firstEnd = std::min({requests[0].end, requests[1].end, requests[2].end, requests[3].end});
    EXPECT_GE(requests[4].start, firstEnd - 0.002);
    // The first four start at least 33 ms apart by the manager's clock; the arrival
    // times at the server carry some jitter, so the bound is generous.
    EXPECT_GE(requests[3].start - requests[0].start, 0.066);
}

// A run that has only one connection slot.
class OneSlotManager : public cMgrDownloader {
protected:
    int ConnectionLimit() override { return 1; }
};

TEST(ManagerTest, WithOneSlotFilesAreFetchedStrictlyOneAfterTheOther) {
    REQUIRE_SERVERS();
    // About a second each at nginx's paced 1 MiB/s.
    const Client client = GrowingFiles("rate-1m/one-slot/", 3, 1572864, 3100);
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    cMgrDownloader* manager = StartRun<OneSlotManager>(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 60000));
    ExpectClientIdentical(record, client);

    std::vector<LoggedRequest> requests = RequestsFor(client, logOffset);
    ASSERT_EQ(requests.size(), client.entries.size());
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(NameOf(client, requests[i]), client.entries[i].name);
        if (i > 0) {
            EXPECT_GE(requests[i].start, requests[i - 1].end - 0.002) << "two files at once";
        }
    }
}

TEST(ManagerTest, ManifestWithoutFilesCompletesAtOnceWithoutARequest) {
    REQUIRE_SERVERS();
    const Client client = GrowingFiles("none/", 1, 1000, 3200);
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    // TotalCount 0 with an element in FileList: nothing is fetched.
    std::string manifest = ManifestText(NginxUrl(client.folder), client.entries);
    manifest.replace(manifest.find("\"TotalCount\": 1"), 15, "\"TotalCount\": 0");
    ASSERT_TRUE(record.WriteManifest(manifest));
    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 5000));
    EXPECT_EQ(manager->fileCount, 0);
    EXPECT_TRUE(RequestsFor(client, logOffset).empty());
    EXPECT_TRUE(TestRecord::Listing(record.downloadFolder).empty());
}

TEST(ManagerTest, EntriesBeyondTotalCountAreIgnored) {
    REQUIRE_SERVERS();
    const Client client = GrowingFiles("beyond/", 4, 5000, 3300);
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    std::string manifest = ManifestText(NginxUrl(client.folder), client.entries);
    manifest.replace(manifest.find("\"TotalCount\": 4"), 15, "\"TotalCount\": 2");
    ASSERT_TRUE(record.WriteManifest(manifest));
    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 20000));
    EXPECT_EQ(TestRecord::Listing(record.downloadFolder), (std::vector<std::string>{"file00.bin", "file01.bin"}));
}

TEST(ManagerTest, FilesCompleteOnDiskAreCountedButNotTransferred) {
    REQUIRE_SERVERS();
    const Client client{"complete/", {{"a.bin", 1000}, {"sub/b.bin", 2500000}, {"empty.bin", 0}}, 3400};
    ASSERT_TRUE(client.Publish());
    size_t logOffset = NginxLogSize();
    TestRecord record;
    CreateDirectoryA((record.downloadFolder + "sub").c_str(), nullptr);
    for (const Entry& entry : client.entries) {
        ASSERT_TRUE(CopyFileA(client.Served(entry).c_str(), LocalPath(record, entry.name).c_str(), FALSE));
    }
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 20000));
    EXPECT_EQ(manager->receivedSize, client.Total());
    EXPECT_EQ(manager->transferredSize, 0);
    ExpectClientIdentical(record, client);
    // One request per file: the length query finds each one complete.
    std::vector<LoggedRequest> requests = RequestsFor(client, logOffset);
    EXPECT_EQ(requests.size(), client.entries.size());
    for (const LoggedRequest& request : requests) EXPECT_EQ(request.range, "bytes=0-");

    // Each resumed size is logged after the build stamp (month, day padded to two,
    // year, time) of the component that wrote it; an empty file adds nothing.
    std::string log = record.Log();
    const std::regex line("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} cMgrDownloader::OnStart ([0-9]+)\r\n");
    std::vector<std::string> logged;
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) logged.push_back((*it)[1]);
    std::sort(logged.begin(), logged.end());
    EXPECT_EQ(logged, (std::vector<std::string>{"1000", "2500000"})) << log;
    EXPECT_EQ(std::regex_replace(log, line, ""), "") << "unexpected log text";
}

TEST(ManagerTest, LaunchTargetIsTheLastNameThatEndsWithExe) {
    REQUIRE_SERVERS();
    const Client client{"launch/",
                        {{"bin/first.exe", 10}, {"bin/game.EXE", 10}, {"bin/later.exe", 10}, {"a.exe.bak", 10},
                         {"tools/x.exe.cfg", 10}},
                        3500};
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
    cMgrDownloader* manager = StartRun(record);
    ASSERT_TRUE(WaitForRunEnd(manager, 20000));
    EXPECT_STREQ(record.app.launchTarget, "bin/later.exe");
    ExpectClientIdentical(record, client);
}

}  // namespace
