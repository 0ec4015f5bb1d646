#include "engine/cThread.h"

#include <process.h>

#include <cstring>

#include "app/TextCopy.h"

cThread::cThread(const char* threadName) : name{}, running(0), stopped(0), handleCount(0), handles(nullptr) {
    CopyText(name, threadName);
}

cThread::~cThread() {
    Stop();
    if (handles) {
        WaitForThreads(handles, handleCount);
        for (int i = 0; i < handleCount; ++i) {
            if (handles[i]) CloseHandle(handles[i]);
        }
        delete[] handles;
        handles = nullptr;
    }
}

void cThread::Start() {
    running = 1;
    stopped = 0;
    handleCount = 1;
    handles = new HANDLE[1]{};
    handles[0] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &cThread::ThreadEntry, this, 0, nullptr));
    // No thread, no body: an owner that waits for `running` to clear must not wait forever.
    if (!handles[0]) running = 0;
}

void cThread::Stop() {
    if (stopped) return;
    running = 0;
    if (handles) WaitForThreads(handles, handleCount);
    stopped = 1;
}

unsigned __stdcall cThread::ThreadEntry(void* object) {
    cThread* thread = static_cast<cThread*>(object);
    thread->OnExecute();
    thread->running = 0;
    return 1;
}

void WaitForThreads(HANDLE* handles, int count) {
    // One handle at a time: waiting for "all" with MsgWaitForMultipleObjects would
    // also wait for an input event.
    for (int i = 0; i < count; ++i) {
        if (!handles[i]) continue;
        for (;;) {
            // MWMO_INPUTAVAILABLE: a message sent before this wait began, and already
            // seen by a queue status check, still wakes it.
            DWORD result = MsgWaitForMultipleObjectsEx(1, &handles[i], INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
            if (result != WAIT_OBJECT_0 + 1) break;  // ended, or the wait failed
            // Peeking for sent messages dispatches them without taking any posted
            // message or input out of the queue.
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}
