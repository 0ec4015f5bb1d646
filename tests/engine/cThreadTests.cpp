#include <gtest/gtest.h>

#include <atomic>

#include "engine/cThread.h"

namespace {

// A body that runs until it is told to stop (or until `finishBy` is set), and
// records what it saw.
class PollingThread : public cThread {
public:
    PollingThread() : cThread("PollingThread") {}
    ~PollingThread() override { Stop(); }
    void OnExecute() override {
        entered = 1;
        while (running && !finishBy) Sleep(5);
        bodyReturned = 1;
    }
    std::atomic<int> entered{0};
    std::atomic<int> finishBy{0};
    std::atomic<int> bodyReturned{0};
};

TEST(cThreadTest, NeverStartedObjectHasNothingToJoin) {
    PollingThread thread;
    EXPECT_EQ(thread.running, 0);
    EXPECT_EQ(thread.stopped, 0);
    EXPECT_EQ(thread.handleCount, 0);
    EXPECT_EQ(thread.handles, nullptr);
    thread.Stop();
    EXPECT_EQ(thread.stopped, 1);
    EXPECT_EQ(thread.entered, 0);
}

TEST(cThreadTest, RunningIsSetBeforeStartReturnsAndStopJoinsTheBody) {
    PollingThread thread;
    thread.Start();
    EXPECT_EQ(thread.running, 1);  // even if the body has not run yet
    EXPECT_EQ(thread.handleCount, 1);
    ASSERT_NE(thread.handles, nullptr);
    ASSERT_NE(thread.handles[0], nullptr);
    thread.Stop();
    EXPECT_EQ(thread.bodyReturned, 1) << "Stop returned before the body did";
    EXPECT_EQ(thread.running, 0);
    EXPECT_EQ(thread.stopped, 1);
    EXPECT_EQ(WaitForSingleObject(thread.handles[0], 0), WAIT_OBJECT_0);

    // A second Stop returns at once and changes nothing.
    thread.Stop();
    EXPECT_EQ(thread.stopped, 1);
}

TEST(cThreadTest, BodyThatReturnsByItselfClearsRunningButIsNotStopped) {
    PollingThread thread;
    thread.finishBy = 1;
    thread.Start();
    for (int i = 0; i < 400 && thread.running; ++i) Sleep(5);
    EXPECT_EQ(thread.bodyReturned, 1);
    EXPECT_EQ(thread.running, 0);
    EXPECT_EQ(thread.stopped, 0);
    thread.Stop();  // completes the join at once
    EXPECT_EQ(thread.stopped, 1);
}

// A body that sends a message to a window of the thread that stops it: the join
// must keep handling sent messages or both threads would wait for each other.
class SendingThread : public cThread {
public:
    explicit SendingThread(HWND target) : cThread("SendingThread"), target(target) {}
    ~SendingThread() override { Stop(); }
    void OnExecute() override {
        while (running) Sleep(5);
        result = SendMessageA(target, WM_USER + 7, 0, 0);
    }
    HWND target;
    std::atomic<LRESULT> result{0};
};

LRESULT CALLBACK AnswerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) return 77;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(cThreadTest, StopHandlesMessagesSentByTheStoppingBody) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = AnswerWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "cThreadTestAnswer";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("cThreadTestAnswer", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    {
        SendingThread thread(window);
        thread.Start();
        Sleep(20);
        thread.Stop();
        EXPECT_EQ(thread.result, 77);
    }
    DestroyWindow(window);
}

// Records the end of its body outside the object, so that the test can look after
// the object is gone.
class ReportingThread : public cThread {
public:
    explicit ReportingThread(std::atomic<int>& returned) : cThread("ReportingThread"), returned(returned) {}
    ~ReportingThread() override { Stop(); }
    void OnExecute() override {
        while (running) Sleep(5);
        Sleep(50);  // still busy when the stop arrives
        returned = 1;
    }
    std::atomic<int>& returned;
};

TEST(cThreadTest, DestructorJoinsARunningBody) {
    std::atomic<int> returned{0};
    {
        ReportingThread thread(returned);
        thread.Start();
        Sleep(20);
    }
    EXPECT_EQ(returned, 1) << "the object was destroyed while its body still ran";
}

}  // namespace
