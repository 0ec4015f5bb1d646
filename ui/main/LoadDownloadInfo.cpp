// Bringing the local copy of the download manifest up to date from the content server.
#include <cstdio>

#include "app/cApp.h"
#include "engine/cResDownloader.h"
#include "json/cJson.h"
#include "ui/controls/ValueText.h"
#include "ui/main/cWinMain.h"

namespace {

const char kManifest[] = "file.json";        // the copy the download runs read
const char kFreshManifest[] = "fileT.json";  // the server's copy until it has been compared

// A document that can serve as the manifest here: an object with "Version" and "TotalSize".
bool IsManifest(const cJson& document) {
    return document.root && document.root->GetNode("Version") && document.root->GetNode("TotalSize");
}

int32_t VersionOf(const cJson& document) {
    cJson::Node* version = document.root ? document.root->GetNode("Version") : nullptr;
    return version ? version->GetInt() : 0;
}

// Fetches the manifest into `file`. Nothing fetched ends the process: there is nothing
// to download without it.
void Fetch(cResDownloader& downloader, const char* url, const char* file) {
    if (downloader.Download(url, file) != 0) return;
    theApp->ShowMessage("cWinMain::LoadDownloadInfo :: network error, try again...", MB_ICONWARNING);
    ExitProcess(0);
}

}  // namespace

void cWinMain::LoadDownloadInfo() {
    if (theApp->resourceFolder) SetCurrentDirectoryA(theApp->resourceFolder);
    char url[512];
    snprintf(url, sizeof url, "%sfile.json", theApp->serverBaseUrl);
    cResDownloader downloader;

    cJson local;
    if (!local.Load(kManifest)) {
        // No local copy to protect: the reply becomes it.
        Fetch(downloader, url, kManifest);
    } else {
        if (!local.root || !local.root->GetNode("Version")) {
            Fetch(downloader, url, kManifest);
            local.Load(kManifest);
        }
        Fetch(downloader, url, kFreshManifest);
        cJson fresh;
        fresh.Load(kFreshManifest);
        // A reply that is not a manifest never replaces the local copy. The local copy
        // gives way to a manifest of a higher version, or when it is none itself.
        bool replace = IsManifest(fresh) && (!IsManifest(local) || VersionOf(local) < VersionOf(fresh));
        // One rename over the old copy: whenever the program stops, a file.json exists.
        if (!replace || !MoveFileExA(kFreshManifest, kManifest, MOVEFILE_REPLACE_EXISTING)) remove(kFreshManifest);
    }

    cJson manifest;
    manifest.Load(kManifest);
    cJson::Node* total = manifest.root ? manifest.root->GetNode("TotalSize") : nullptr;
    // Without a usable total the free-space checks ask for nothing, and the run that
    // reads this manifest reports what it lacks.
    totalSize = total ? total->GetInt64() : 0;
    FormatSize(downloadInfo.valueTexts[cWinDownloadInfo::kTotalSize], totalSize);
    downloadInfo.Invalidate();
}
