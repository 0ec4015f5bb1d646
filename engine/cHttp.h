#pragma once
// Moves one resource from an HTTP URL into one local file over WinINet. A transfer
// is a series of passes: each asks the server for the whole resource's length, then
// continues the local file from its size (`resume`) or rewrites it from byte 0, and
// a pass whose connection breaks is followed by another at once. Derived classes
// hear of the transfer through OnStart, OnReceived and OnFinish.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "engine/cThread.h"

class cHttp : public cThread {
public:
    // The session of the current pass. Whoever closes it takes it out of the field
    // first (exchange), so it is closed exactly once even when another thread aborts
    // the transfer; closing it also closes `hRequest` and fails a call blocked in it.
    std::atomic<HINTERNET> hInternet;
    HINTERNET hRequest;           // the current request of the pass
    char url[1024];
    char localPath[256];          // relative to the current folder; either separator
    int resume;                   // 1: passes continue the local file; 0: rewrite it
    int64_t startOffset;          // where the current pass began writing
    int64_t position;             // bytes in the local file

    explicit cHttp(const char* name);
    ~cHttp() override;
    void OnExecute() override;

    // After each chunk written to the file.
    virtual void OnReceived(int32_t count) = 0;
    // Once per transfer, when the server has reported the resource's length.
    virtual void OnStart(int64_t startOffset);
    // When the transfer ends after written data, or finds the file already complete.
    virtual void OnFinish(int64_t startOffset, int64_t position);

    // Starts a resuming transfer on a thread of its own. False, with a message, when
    // a text does not fit its field; nothing is started then.
    bool BeginDownload(const char* url, const char* localPath);
    // Fetches the whole resource in the caller's thread, from byte 0; returns the
    // bytes in the local file, 0 when nothing could be fetched.
    int64_t Download(const char* url, const char* localPath);

    // Ends the transfer from another thread: clears `running`, then closes the
    // session so that a network call blocked in the transfer returns at once.
    void Abort();

    // Simultaneous connections per server that WinINet allows (asked once, then
    // cached); never 0: a 0 ends the process.
    static int GetMaxConnections();

private:
    enum class PassEnd { kDone, kBroken };

    bool SetTarget(const char* operation, const char* url, const char* localPath);
    PassEnd RunPass(bool firstPass, int& brokenPasses, char* buffer);
    // The reply could not be used: the process ends while the transfer runs, the
    // pass ends quietly when it is being stopped.
    PassEnd NoUsableReply();
    // One chunk, with up to 10 attempts; false when stopped between attempts.
    bool ReadChunk(char* buffer, DWORD& count);
    HINTERNET OpenRequest(HINTERNET session, int64_t rangeStart);
    void CloseHandles();
};
