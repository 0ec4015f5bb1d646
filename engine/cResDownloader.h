#pragma once
// Fetches one resource whole into one local file in the caller's thread (Download);
// the manifest is fetched this way. It reports nothing while it runs.

#include <cstdint>

#include "engine/cHttp.h"

class cResDownloader : public cHttp {
public:
    cResDownloader();
    ~cResDownloader() override;
    void OnReceived(int32_t count) override;
};
