// A stop that begins at any moment of a run (loading, starting files, draining, the
// completion step, after the end) returns promptly, leaves no message box open and
// leaves every file a prefix of the served one; nothing is written outside the
// download folder. A real window on the test's thread plays the main window, and the
// thread handles its messages until the stop, as the program's main thread does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/cFileDownloader.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/TestMainWindow.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

// About a second and a half of work at nginx's 4 MiB/s per connection.
const Client& StopClient() {
    static const Client client{"rate-4m/stops/",
                               {{"a/empty.bin", 0},
                                {"a/small.bin", 1000},
                                {"b/one.bin", 300000},
                                {"b/two.bin", 2 * 1048576 + 5},
                                {"c/three.bin", 5 * 1048576 + 77},
                                {"c/four.bin", 4 * 1048576 + 1},
                                {"d/five.bin", 1500000},
                                {"d/game.exe", 700000}},
                               4000};
    return client;
}

// Runs the message loop of this thread for `ms` milliseconds, as a window's thread would.
void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && strcmp(className, "#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

bool MessageBoxOpen() {
    HWND found = nullptr;
    EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&found));
    return found != nullptr;
}

// Each local file holds the start of the served one, never other bytes.
void ExpectPrefixesOfServed(const TestRecord& record, const Client& client, const std::string& when) {
    for (const Entry& entry : client.entries) {
        std::string local = ReadFile(LocalPath(record, entry.name));
        std::string served = ReadFile(client.Served(entry));
        EXPECT_LE(local.size(), served.size()) << entry.name << " " << when;
        EXPECT_TRUE(served.compare(0, local.size(), local) == 0) << entry.name << " is not a prefix " << when;
    }
}

// Stops the run of `record` as the pause button does, and checks what must hold.
void StopAndCheck(TestRecord& record, const std::string& when) {
    DWORD start = GetTickCount();
    record.app.StopManager();
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 5000u) << "the stop " << when << " was not prompt";
    EXPECT_EQ(record.app.manager, nullptr);
    EXPECT_FALSE(MessageBoxOpen()) << when;
    ExpectPrefixesOfServed(record, StopClient(), when);
    ExpectNothingOutside(record);
}

bool AnyLocalFile(const TestRecord& record, const Client& client) {
    for (const Entry& entry : client.entries) {
        if (FileExists(LocalPath(record, entry.name))) return true;
    }
    return false;
}

TEST(StopTest, StopAfterAnyDelayEndsTheRunPromptly) {
    REQUIRE_SERVERS();
    const Client& client = StopClient();
    ASSERT_TRUE(client.Publish());
    // From "at once" (the manifest is still being read) to after the end of the run.
    const DWORD delays[] = {0, 1, 3, 8, 20, 40, 70, 120, 200, 350, 600, 1000, 1600};
    for (DWORD delay : delays) {
        TestRecord record;
        TestMainWindow window(record);
        ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
        StartRun(record);
        PumpMessages(delay);
        StopAndCheck(record, "after " + std::to_string(delay) + " ms");
    }
}

// Waits, pumping messages, until `condition` holds; false after 20 s.
template <typename Condition>
bool PumpUntil(Condition condition) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > 20000) return false;
        PumpMessages(1);
    }
    return true;
}

TEST(StopTest, StopInEachPhaseEndsTheRunPromptly) {
    REQUIRE_SERVERS();
    const Client& client = StopClient();
    ASSERT_TRUE(client.Publish());
    const std::string last = client.entries.back().name;
    struct Phase {
        const char* name;
        bool (*reached)(const TestRecord& record, const Client& client);
    } phases[] = {
        {"while the first files start",
         [](const TestRecord& record, const Client& c) { return AnyLocalFile(record, c); }},
        {"while the last files are drained",
         [](const TestRecord& record, const Client& c) {
             return FileExists(LocalPath(record, c.entries.back().name));
         }},
        {"after the run ended by itself",
         [](const TestRecord& record, const Client&) { return record.app.manager->running == 0; }},
        // (A stop while the last update waits for this thread: CompletionTests.)
    };
    for (const Phase& phase : phases) {
        TestRecord record;
        TestMainWindow window(record);
        ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
        cMgrDownloader* manager = StartRun(record);
        ASSERT_TRUE(PumpUntil([&] { return phase.reached(record, client); })) << phase.name;
        bool ended = manager->running == 0;
        StopAndCheck(record, phase.name);
        EXPECT_EQ(window.lastUpdates, ended ? 1 : 0) << phase.name;
        if (std::string(phase.name) != "after the run ended by itself") {
            EXPECT_FALSE(ended) << "the run ended before the stop " << phase.name;
        }
    }
}

// A worker whose read waits on a server that has stopped sending ends without a
// message box once stopped. On Windows, closing the session fails the waiting read
// at once; Wine's WinINet lets the read wait until data or the end of the connection
// come, so here the stop lasts as long as the server's stall (3 s).
TEST(StopTest, StopWhileAReadWaitsOnAStalledServerShowsNoMessage) {
    REQUIRE_SERVERS();
    const std::string name = "stops/stalled.bin";
    ASSERT_TRUE(WriteContentFile(ServedPath(name), 4100, 400000));
    ASSERT_TRUE(ResetContentServer());
    ASSERT_TRUE(SetFaults(R"([{"path": "/)" + name +
                          R"(", "fault": "stall", "seconds": 3, "after_bytes": 50000, "times": 1}])"));
    TestRecord record;
    TestMainWindow window(record);
    ASSERT_TRUE(record.WriteManifest(ManifestText(ContentUrl("stops/"), {{"stalled.bin", 400000}})));
    StartRun(record);
    PumpMessages(1000);  // the 50000 bytes arrived at once; the worker waits in its read
    DWORD start = GetTickCount();
    record.app.StopManager();
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_FALSE(MessageBoxOpen());
    EXPECT_EQ(window.lastUpdates, 0);
    std::string local = ReadFile(LocalPath(record, "stalled.bin"));
    EXPECT_EQ(local.size(), 50000u);
    EXPECT_TRUE(local == ReadFile(ServedPath(name)).substr(0, 50000)) << "not the start of the resource";
    std::vector<ServerRequest> requests = ContentRequests("/" + name);
    EXPECT_EQ(requests.size(), 1u) << "the stopped worker began another pass";
    SetFaults("[]");
}

}  // namespace
