// engine-fetch: one download run of the engine without the window, for the
// benchmark. Reads MANIFEST_FOLDER\file.json, downloads into DOWNLOAD_FOLDER and
// prints the counters when the run has ended.
//
//   engine-fetch.exe MANIFEST_FOLDER\ DOWNLOAD_FOLDER\      (both ending with a backslash)
#include <windows.h>

#include <cstdio>

#include "app/TextCopy.h"
#include "app/cApp.h"
#include "engine/cMgrDownloader.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: engine-fetch MANIFEST_FOLDER\\ DOWNLOAD_FOLDER\\\n");
        return 2;
    }
    cApp app(GetModuleHandleA(nullptr));
    theApp = &app;
    CopyText(app.workFolder, argv[1]);
    app.resourceFolder = app.workFolder;
    app.CreateDownloadDirectory(argv[2]);

    DWORD start = GetTickCount();
    app.manager = new cMgrDownloader();
    app.manager->Start();
    while (app.manager->running) Sleep(10);
    DWORD elapsed = GetTickCount() - start;
    printf("files %d, total %lld, received %lld, transferred %lld bytes in %lu ms\n", app.manager->fileCount,
           static_cast<long long>(app.manager->totalSize.load()), static_cast<long long>(app.manager->receivedSize.load()),
           static_cast<long long>(app.manager->transferredSize.load()), elapsed);
    bool complete = app.manager->receivedSize.load() == app.manager->totalSize.load();
    app.StopManager();
    theApp = nullptr;
    return complete ? 0 : 1;
}
