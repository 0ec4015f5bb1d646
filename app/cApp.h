#pragma once
// The one application record: process-wide texts, folders and the download
// manager, shared by every subsystem.

#include <windows.h>

class cJson;
class cWinMain;
class cMgrDownloader;

class cApp {
public:
    char messageTitle[128];
    char exitQuestion[128];
    char networkErrorText[128];
    HINSTANCE instance;
    cWinMain* mainWindow;          // not owned: the startup sequence owns it
    char version[64];
    char serverBaseUrl[260];
    cMgrDownloader* manager;       // owned while a download run exists
    char workFolder[260];
    char moduleFolder[260];
    wchar_t downloadFolderWide[260];
    char downloadFolder[260];
    char launchTarget[260];
    char* resourceFolder;          // points at workFolder or moduleFolder

    explicit cApp(HINSTANCE instance);
    ~cApp();

    cApp(const cApp&) = delete;
    cApp& operator=(const cApp&) = delete;

    // Startup sequence and message loop; the result is the process's exit code.
    int OnExecute();
    void CheckVersion(cJson& uiDocument);
    void CreateDownloadDirectory(const char* path);
    void WriteVersionFile();

    // The standard warning box: owner the main window while it exists,
    // caption messageTitle. The answer is discarded.
    void ShowMessage(const char* text, UINT style);
    // Stops, joins and destroys the download manager, if any.
    void StopManager();

    // The main window's handle, or null while there is none.
    HWND MainWindowHandle() const;
};

// The process-wide record; null before the entry point creates it and after shutdown.
extern cApp* theApp;

// The built-in content server base URL (fixed at build time).
extern const char kServerBaseUrl[];
