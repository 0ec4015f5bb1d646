#include "engine/cMgrDownloader.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/TextCopy.h"
#include "app/cApp.h"
#include "engine/cFileDownloader.h"
#include "engine/cHttp.h"
#include "engine/cLocalNames.h"
#include "engine/cManifest.h"
#include "ui/main/cWinMain.h"

namespace {

constexpr DWORD kPollMs = 33;

// Milliseconds from a fine clock. The spacing of file starts is measured with it:
// GetTickCount may advance in steps of about 16 ms, and a wait of 33 ms that it
// sees as 32 would cost a whole further poll for every file.
int64_t PreciseMs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<int64_t>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<int64_t>(now.QuadPart) * 1000 / frequency;
}
constexpr WPARAM kLastUpdateTimerId = 333;

void Warn(const char* problem, const char* detail) {
    char text[1400];
    snprintf(text, sizeof text, "cMgrDownloader::DoDownloadFile :: %s%s%.1024s", problem, detail ? "\n" : "",
             detail ? detail : "");
    theApp->ShowMessage(text, MB_ICONWARNING);
}

// The client's executable: ".exe" found for the first time at the very end.
bool IsLaunchTarget(const char* name) {
    const char* found = strstr(name, ".exe");
    return found && found[4] == '\0';
}

}  // namespace

cMgrDownloader::cMgrDownloader()
    : cThread("cMgrDownloader"), totalSize(0), receivedSize(0), transferredSize(0), fileCount(0), startTick(0),
      finished(0), workers(nullptr) {}

cMgrDownloader::~cMgrDownloader() {
    Stop();
    if (workers) {
        // Abort all first, so that every blocked network call returns at once, then join.
        for (int i = 0; i < fileCount; ++i) workers[i].Abort();
        for (int i = 0; i < fileCount; ++i) workers[i].Stop();
        delete[] workers;
        workers = nullptr;
    }
}

int cMgrDownloader::ConnectionLimit() {
    return cHttp::GetMaxConnections();
}

void cMgrDownloader::OnExecute() {
    finished = 0;
    if (!DoDownloadFile()) return;
    CompleteRun();
}

void cMgrDownloader::CompleteRun() {
    HWND window = theApp->MainWindowHandle();
    if (!window || !running) return;
    // A stop that begins after the test above waits in a join that keeps handling
    // sent messages (WaitForThreads), so this send cannot deadlock against it.
    SendMessageA(window, WM_TIMER, kLastUpdateTimerId, 0);
    finished = 1;

    // Only launch and cancel are left to press.
    if (cWinMain* mainWindow = theApp->mainWindow) {
        mainWindow->btnPause.SetState(cButton::disable);
        mainWindow->btnLaunch.SetState(cButton::normal);
    }

    SetFocus(window);
    SetActiveWindow(window);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = window;
    flash.dwFlags = FLASHW_ALL;
    flash.uCount = 3;
    flash.dwTimeout = 0;
    FlashWindowEx(&flash);
}

bool cMgrDownloader::DoDownloadFile() {
    cManifest manifest;
    if (!theApp->resourceFolder || !SetCurrentDirectoryA(theApp->resourceFolder) || !manifest.Load("file.json")) {
        Warn("file.json loading error (-65)", nullptr);
        return false;
    }
    if (manifest.problems[0]) Warn("file.json incomplete (-66)", manifest.problems + 1);
    fileCount = manifest.fileCount;
    totalSize = manifest.totalSize;
    workers = new cFileDownloader[fileCount];

    // Every local path of the run is relative to the download folder; a run that
    // cannot stand in it would write its files elsewhere.
    if (!SetCurrentDirectoryA(theApp->downloadFolder)) {
        Warn("download folder error (-67)", theApp->downloadFolder);
        return false;
    }

    std::vector<int> slots(ConnectionLimit(), -1);  // worker index per connection, -1 when free
    startTick = GetTickCount();
    cLocalNames names;
    bool freeSlotSeen = false;
    int64_t nextStart = 0;
    for (int i = 0; i < fileCount && running; ++i) {
        StartEntry(manifest, i, names);
        for (int& slot : slots) {
            if (slot == -1) {
                slot = i;
                freeSlotSeen = false;
                nextStart = PreciseMs() + kPollMs;
                break;
            }
        }
        // Wait for a free slot and for the earliest next start.
        while (running) {
            int64_t untilNextStart = nextStart - PreciseMs();
            if (freeSlotSeen && untilNextStart <= 0) break;
            for (int& slot : slots) {
                if (slot == -1 || !workers[slot].running) {
                    slot = -1;
                    freeSlotSeen = true;
                    break;
                }
            }
            // With a slot free, only the spacing is left to wait for.
            Sleep(freeSlotSeen && untilNextStart > 0 && untilNextStart < kPollMs ? static_cast<DWORD>(untilNextStart)
                                                                                   : kPollMs);
        }
    }

    // Wait for the last workers: done after one sweep that finds none running.
    for (int i = 0; i < fileCount && running;) {
        if (workers[i].running) {
            Sleep(kPollMs);
            i = 0;
        } else {
            ++i;
        }
    }
    return true;
}

void cMgrDownloader::StartEntry(const cManifest& manifest, int index, cLocalNames& names) {
    size_t urlLength = strlen(manifest.url);
    if (urlLength == 0 || manifest.url[urlLength - 1] != '/') {
        Warn("file.json URL format error", nullptr);
        return;
    }
    const char* name = manifest.Name(index);
    // Nothing may be written outside the download folder.
    if (!name || !cLocalNames::IsInsideFolder(name)) {
        Warn("file.json Name format error (-61)", name ? name : "(no Name)");
        return;
    }
    // Two workers writing one file would corrupt it: the later entry is refused.
    if (!names.Add(name)) {
        Warn("file.json Name repeated (-62)", name);
        return;
    }
    std::string requestUrl = std::string(manifest.url) + name;
    if (!workers[index].BeginDownload(requestUrl.c_str(), name)) return;  // refused with its message
    if (IsLaunchTarget(name)) CopyText(theApp->launchTarget, name);
}
