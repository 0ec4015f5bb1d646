#include "engine/cFileDownloader.h"

#include <cinttypes>
#include <cstdio>

#include "app/cApp.h"
#include "engine/TransferLog.h"
#include "engine/cMgrDownloader.h"

cFileDownloader::cFileDownloader() : cHttp("cFileDownloader") {}

cFileDownloader::~cFileDownloader() = default;

void cFileDownloader::OnStart(int64_t offset) {
    cMgrDownloader* manager = theApp ? theApp->manager : nullptr;
    if (!manager || offset == 0) return;
    char line[222];
    snprintf(line, sizeof line, TRANSFER_LOG_STAMP "cMgrDownloader::OnStart %" PRId64 "\n", offset);
    AppendTransferLog(line);
    manager->receivedSize += offset;
}

void cFileDownloader::OnReceived(int32_t count) {
    cMgrDownloader* manager = theApp ? theApp->manager : nullptr;
    if (!manager || manager->totalSize <= 0) return;
    manager->transferredSize += count;
    manager->receivedSize += count;
    if (manager->receivedSize > manager->totalSize) {
        theApp->ShowMessage("cMgrDownloader::OnReceived size error", MB_ICONWARNING);
    }
}
