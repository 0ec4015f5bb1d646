#pragma once
// One download run on a thread of its own: reads the manifest, starts one worker
// per file (at most GetMaxConnections at once) and reports the end of the run to
// the main window. Its counters feed the progress display.

#include <atomic>
#include <cstdint>

#include "engine/cThread.h"

class cFileDownloader;

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
    ~cMgrDownloader() override;
    void OnExecute() override;

    // The body of the run.
    void DoDownloadFile();
};
