#include "tests/engine/ChildRuns.h"

#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <cstring>

#include "app/cApp.h"
#include "engine/cFileDownloader.h"
#include "engine/cMgrDownloader.h"
#include "engine/cResDownloader.h"
#include "tests/support/ChildProcess.h"

using namespace testing_support;

namespace engine_testing {

ChildOutcome RunChild(const char* scenario, const std::vector<std::string>& environment, const std::string& resultPath,
                      unsigned timeoutMs) {
    ChildOutcome outcome;
    ChildProcess child;
    if (!child.StartScenario(scenario, environment)) return outcome;
    DWORD start = GetTickCount();
    MessageBoxInfo box;
    while (GetTickCount() - start < timeoutMs && child.WaitForMessageBox(box, timeoutMs - (GetTickCount() - start))) {
        outcome.texts.push_back(box.text);
        outcome.captions.push_back(box.caption);
        if (box.owner) outcome.ownerless = false;
        ChildProcess::Answer(box, IDOK);
        // The box must be gone before the next search, or it is counted twice.
        for (int i = 0; i < 400 && IsWindow(box.window) && IsWindowVisible(box.window); ++i) Sleep(10);
    }
    DWORD left = timeoutMs - std::min<DWORD>(timeoutMs, GetTickCount() - start);
    outcome.exited = child.WaitForExit(left, outcome.exitCode);
    std::string text = ReadFile(resultPath);
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        size_t equals = line.find('=');
        if (equals != std::string::npos) outcome.result[line.substr(0, equals)] = line.substr(equals + 1);
        begin = end + 1;
    }
    return outcome;
}

}  // namespace engine_testing

// ---------------------------------------------------------------------------
// The scenarios, run in the child.

namespace {

std::string Environment(const char* name) {
    char value[2048];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// The child's application record: folders from the environment, no main window.
void PrepareRecord(cApp& app) {
    snprintf(app.messageTitle, sizeof app.messageTitle, "engine test");
    snprintf(app.workFolder, sizeof app.workFolder, "%s", Environment("ZT_WORK").c_str());
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", Environment("ZT_DOWNLOAD").c_str());
    app.resourceFolder = app.workFolder;
    theApp = &app;
}

void WriteResult(const std::string& text) {
    FILE* file = fopen(Environment("ZT_RESULT").c_str(), "wb");
    if (!file) return;
    fputs(text.c_str(), file);
    fclose(file);
}

std::string Counters(const cMgrDownloader& manager) {
    return "received=" + std::to_string(manager.receivedSize) + "\ntransferred=" +
           std::to_string(manager.transferredSize) + "\n";
}

}  // namespace

// A whole download run with the manifest in ZT_WORK.
CHILD_SCENARIO(manager_run) {
    cApp app(GetModuleHandleA(nullptr));
    PrepareRecord(app);
    cMgrDownloader* manager = new cMgrDownloader();
    app.manager = manager;
    manager->Start();
    while (manager->running) Sleep(10);
    WriteResult(Counters(*manager) + "launchTarget=" + app.launchTarget + "\nfileCount=" +
                std::to_string(manager->fileCount) + "\n");
    app.StopManager();
    theApp = nullptr;
    return 0;
}

// One transfer of ZT_URL into ZT_NAME under ZT_DOWNLOAD: "resume" (a file worker on
// its thread, counting into a manager that holds ZT_TOTAL) or "whole" (Download).
CHILD_SCENARIO(transfer) {
    cApp app(GetModuleHandleA(nullptr));
    PrepareRecord(app);
    cMgrDownloader* counters = new cMgrDownloader();  // never started: its counters only
    counters->totalSize = _atoi64(Environment("ZT_TOTAL").c_str());
    app.manager = counters;
    SetCurrentDirectoryA(app.downloadFolder);
    std::string url = Environment("ZT_URL");
    std::string name = Environment("ZT_NAME");
    if (Environment("ZT_MODE") == "whole") {
        cResDownloader transfer;
        int64_t bytes = transfer.Download(url.c_str(), name.c_str());
        WriteResult("returned=" + std::to_string(bytes) + "\n");
    } else {
        cFileDownloader transfer;
        if (transfer.BeginDownload(url.c_str(), name.c_str())) {
            while (transfer.running) Sleep(10);
        }
        WriteResult(Counters(*counters) + "position=" + std::to_string(transfer.position) + "\n");
    }
    app.StopManager();
    theApp = nullptr;
    return 0;
}
