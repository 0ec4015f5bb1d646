#include "ui/controls/ActionButtons.h"

#include <shellapi.h>

#include <cstdio>

#include "app/cApp.h"
#include "engine/cMgrDownloader.h"
#include "ui/controls/FreeSpace.h"
#include "ui/main/cWinMain.h"

const char kNoSpaceCaption[] = "Downloader - ZENTAV ...";

void FormatNoSpaceMessage(char (&text)[256], const char* drive) {
    snprintf(text, sizeof text,
             "This disk drive(%s) does not have enough capacity.\n"
             "Please change the download folder or free up capacity.   ",
             drive);
}

cBtnCancel::cBtnCancel() : cButton(kFirstPictureId) {}

void cBtnCancel::OnExecute() {
    if (theApp->mainWindow) theApp->mainWindow->OnClose();
}

cBtnLaunch::cBtnLaunch() : cButton(kFirstPictureId) {}

void cBtnLaunch::OnCreate() {
    cButton::OnCreate();
    SetState(disable);
}

void cBtnLaunch::OnExecute() {
    if (theApp->launchTarget[0] == '\0') {
        theApp->ShowMessage("cBtnLaunch::OnExecute :: can't find an executable module.", MB_ICONWARNING);
        ExitProcess(1);
    }
    // The manifest names the executable relative to the download folder, and the
    // client starts in the current folder (no directory is given).
    SetCurrentDirectoryA(theApp->downloadFolder);
    SHELLEXECUTEINFOA execute{};
    execute.cbSize = sizeof execute;
    execute.lpVerb = "runas";
    execute.lpFile = theApp->launchTarget;
    execute.lpParameters = "";
    execute.lpDirectory = "";
    execute.nShow = SW_SHOWNORMAL;
    // A declined elevation or a failure is not reported: the program closes in any case.
    ShellExecuteExA(&execute);
    if (HWND window = theApp->MainWindowHandle()) DestroyWindow(window);
}

cBtnStart::cBtnStart() : cButton(kFirstPictureId) {}

void cBtnStart::OnExecute() {
    // A folder whose space cannot be asked for gets no run: it could not take the files.
    int64_t available = 0;
    AvailableBytes(theApp->downloadFolder, available);
    StartRun(available);
}

void cBtnStart::StartRun(int64_t availableBytes) {
    cWinMain* mainWindow = theApp->mainWindow;
    int64_t required = mainWindow ? mainWindow->totalSize : 0;
    if (!HasRoomFor(availableBytes, required)) {
        // The drive is the folder's first two characters ("C:"), fewer when it is shorter.
        char drive[3] = {};
        for (int i = 0; i < 2 && theApp->downloadFolder[i]; ++i) drive[i] = theApp->downloadFolder[i];
        char text[256];
        FormatNoSpaceMessage(text, drive);
        MessageBoxA(theApp->MainWindowHandle(), text, kNoSpaceCaption, MB_ICONINFORMATION);
        return;
    }
    SetState(disable);
    if (mainWindow) {
        mainWindow->btnFolder.SetState(disable);
        mainWindow->btnPause.SetState(normal);
        mainWindow->progressBar.SetRate(0);
    }
    theApp->StopManager();
    // Registered before it starts, so that its workers always find it in the record.
    cMgrDownloader* manager = new cMgrDownloader();
    theApp->manager = manager;
    manager->Start();
}

cBtnPause::cBtnPause() : cButton(kFirstPictureId) {}

void cBtnPause::OnCreate() {
    cButton::OnCreate();
    SetState(disable);
}

void cBtnPause::OnExecute() {
    SetState(disable);
    theApp->StopManager();
    if (cWinMain* mainWindow = theApp->mainWindow) {
        mainWindow->btnFolder.SetState(normal);
        mainWindow->btnStart.SetState(normal);
    }
}
