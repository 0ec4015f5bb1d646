#include "app/cApp.h"

#include "engine/cMgrDownloader.h"

cApp* theApp = nullptr;
const char kServerBaseUrl[] = ZENTAV_SERVER_BASE_URL;

cApp::cApp(HINSTANCE instance)
    : messageTitle{}, exitQuestion{}, networkErrorText{}, instance(instance), mainWindow(nullptr),
      version{}, serverBaseUrl{}, manager(nullptr), workFolder{}, moduleFolder{},
      downloadFolderWide{}, downloadFolder{}, launchTarget{}, resourceFolder(nullptr) {}

cApp::~cApp() {
    StopManager();
}

void cApp::ShowMessage(const char* text, UINT style) {
    MessageBoxA(MainWindowHandle(), text, messageTitle, style);
}

void cApp::StopManager() {
    if (!manager) return;
    // Stop first (joins the run's thread), then the destructor joins the workers.
    manager->Stop();
    delete manager;
    manager = nullptr;
}
