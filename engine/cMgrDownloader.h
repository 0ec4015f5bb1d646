#pragma once
// One download run on a thread of its own: reads the manifest, starts one worker
// per file in manifest order (at most GetMaxConnections at once, 33 ms apart), waits
// for the last of them and reports the end of the run to the main window. Its
// counters feed the progress display.

#include <atomic>
#include <cstdint>

#include "engine/cThread.h"

class cFileDownloader;
class cLocalNames;
class cManifest;

class cMgrDownloader : public cThread {
public:
    std::atomic<int64_t> totalSize;
    std::atomic<int64_t> receivedSize;      // bytes of the client present locally
    std::atomic<int64_t> transferredSize;   // bytes received over the network in this run
    int fileCount;
    std::atomic<uint32_t> startTick;
    std::atomic<int> finished;
    cFileDownloader* workers;               // owned, fileCount of them

    cMgrDownloader();
    // Aborts and joins every worker; the run's own thread must have been stopped.
    ~cMgrDownloader() override;
    void OnExecute() override;

    // The body of the run. False when it could not begin: no readable manifest, or
    // the download folder could not be made current.
    bool DoDownloadFile();

protected:
    // Connections the run uses at once: GetMaxConnections.
    virtual int ConnectionLimit();

private:
    // Checks entry `index` and starts its worker; a refused entry is reported.
    void StartEntry(const cManifest& manifest, int index, cLocalNames& names);
    void CompleteRun();
};

static_assert(std::atomic<int64_t>::is_always_lock_free, "the counters are read and added to without a lock");
