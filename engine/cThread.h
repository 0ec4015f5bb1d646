#pragma once
// Base of every object that does its work on a thread of its own. Stopping is
// cooperative: Stop clears `running` and waits until the body has returned.

#include <windows.h>

#include <atomic>

class cThread {
public:
    char name[128];
    std::atomic<int> running;
    std::atomic<int> stopped;
    int handleCount;
    HANDLE* handles;  // owned; room for one handle once started

    explicit cThread(const char* name);
    virtual ~cThread();
    virtual void OnExecute() = 0;

    cThread(const cThread&) = delete;
    cThread& operator=(const cThread&) = delete;

    // Starts the body on a new thread; `running` is 1 before this returns.
    void Start();
    // Clears `running` and waits, without a time-out, until the body has returned.
    void Stop();

    static unsigned __stdcall ThreadEntry(void* object);
};

// Waits until every thread in `handles` has ended. While it waits, the calling
// thread still handles messages that other threads send to its windows, so a body
// that sends to (or shows a box owned by) a window of the waiting thread cannot
// deadlock against the wait.
void WaitForThreads(HANDLE* handles, int count);
