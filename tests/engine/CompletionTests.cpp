// The end of a run and the main window: one last update sent to the window's thread
// before `finished`, nothing for a stopped run, and a stop that begins while that
// update waits for the window's thread ends without either thread waiting for the
// other.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/TestMainWindow.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

const Client& SmallClient() {
    static const Client client{"completion/", {{"a.bin", 20000}, {"b/c.exe", 30000}, {"empty.bin", 0}}, 9000};
    return client;
}

void PumpOnce() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

// Ends the test program with a message when a wait that must return does not: a
// deadlock would otherwise hold the run until CTest's time-out.
class Watchdog {
public:
    Watchdog(DWORD ms, const char* what) : ms(ms), what(what), done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        thread = CreateThread(nullptr, 0, &Watchdog::Watch, this, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(done);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(done);
    }

private:
    static DWORD WINAPI Watch(void* parameter) {
        Watchdog* self = static_cast<Watchdog*>(parameter);
        if (WaitForSingleObject(self->done, self->ms) == WAIT_TIMEOUT) {
            fprintf(stderr, "DEADLOCK: %s did not return within %lu ms\n", self->what, self->ms);
            fflush(stderr);
            ExitProcess(3);
        }
        return 0;
    }
    DWORD ms;
    const char* what;
    HANDLE done;
    HANDLE thread;
};

TEST(CompletionTest, ARunThatEndsSendsOneLastUpdateBeforeItFinishes) {
    REQUIRE_SERVERS();
    const Client& client = SmallClient();
    ASSERT_TRUE(client.Publish());
    struct Row {
        const char* what;
        std::string manifest;
    } rows[] = {
        {"three files", ManifestText(NginxUrl(client.folder), client.entries)},
        {"no files", ManifestText(NginxUrl(client.folder), {})},
    };
    for (const Row& row : rows) {
        TestRecord record;
        TestMainWindow window(record);
        ASSERT_TRUE(record.WriteManifest(row.manifest));
        cMgrDownloader* manager = StartRun(record);
        for (DWORD start = GetTickCount(); manager->running && GetTickCount() - start < 30000;) PumpOnce();
        ASSERT_EQ(manager->running, 0) << row.what;
        EXPECT_EQ(window.lastUpdates, 1) << row.what;
        EXPECT_EQ(window.finishedDuringUpdate, 0) << row.what << ": finished before the last update";
        EXPECT_EQ(window.runningDuringUpdate, 1) << row.what;
        EXPECT_EQ(manager->finished, 1) << row.what;
        EXPECT_EQ(manager->receivedSize, manager->totalSize) << row.what;
    }
}

TEST(CompletionTest, AStoppedRunSendsNoUpdateAndDoesNotFinish) {
    REQUIRE_SERVERS();
    const Client& client = SmallClient();
    ASSERT_TRUE(client.Publish());
    TestRecord record;
    TestMainWindow window(record);
    // At 1 MiB/s the run is still busy when it is stopped.
    const Client slow{"rate-1m/completion/", {{"big.bin", 3 * 1048576}}, 9100};
    ASSERT_TRUE(slow.Publish());
    ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(slow.folder), slow.entries)));
    cMgrDownloader* manager = StartRun(record);
    for (DWORD start = GetTickCount(); !FileExists(LocalPath(record, "big.bin")) && GetTickCount() - start < 20000;) {
        PumpOnce();
    }
    manager->Stop();
    EXPECT_EQ(manager->finished, 0);
    record.app.StopManager();
    EXPECT_EQ(window.lastUpdates, 0);
}

// The manager's thread sends the last update and waits for this thread; this thread
// begins a stop and waits for the manager's thread. The join handles the sent
// message, so both go on. Repeated, since it is about a moment.
TEST(CompletionTest, AStopThatBeginsWhileTheLastUpdateWaitsEndsWithoutDeadlock) {
    REQUIRE_SERVERS();
    const Client& client = SmallClient();
    ASSERT_TRUE(client.Publish());
    for (int round = 0; round < 5; ++round) {
        TestRecord record;
        TestMainWindow window(record);
        ASSERT_TRUE(record.WriteManifest(ManifestText(NginxUrl(client.folder), client.entries)));
        StartRun(record);
        // No message is handled here: the last update stays pending, sent and not
        // yet received, until the stop's join takes it. It is the only message that
        // can be sent to this thread once every file is complete.
        auto complete = [&] {
            for (const Entry& entry : client.entries) {
                if (FileSize(LocalPath(record, entry.name)) != entry.size) return false;
            }
            return true;
        };
        bool pending = false;
        for (DWORD start = GetTickCount(); !pending && GetTickCount() - start < 30000; Sleep(1)) {
            pending = complete() && (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
        }
        ASSERT_TRUE(pending) << "round " << round << ": the last update was never sent";
        {
            Watchdog watchdog(30000, "StopManager during the last update");
            record.app.StopManager();
        }
        EXPECT_EQ(window.lastUpdates, 1) << "round " << round;
        EXPECT_EQ(window.finishedDuringUpdate, 0) << "round " << round;
        ExpectClientIdentical(record, client);
    }
}

}  // namespace
