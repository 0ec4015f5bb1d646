#pragma once
// The transfer of one client file for the download manager: its hooks add the bytes
// found on disk and the bytes received to the manager's counters.

#include <cstdint>

#include "engine/cHttp.h"

class cFileDownloader : public cHttp {
public:
    cFileDownloader();
    ~cFileDownloader() override;

    // Adds the chunk to the manager's counters; warns when more bytes are present
    // than the manifest announced.
    void OnReceived(int32_t count) override;
    // Logs a resumed file and adds the bytes already on disk to `receivedSize`.
    void OnStart(int64_t startOffset) override;
};
