#include "app/Entry.h"

#include <ole2.h>

#include <cstring>

#include "app/TextCopy.h"
#include "app/cApp.h"

namespace {

const char kInstanceMutexName[] = "zentav-downloader...";

// The temporary folder, asked for once per process.
char tempFolder[261];

void PrepareModuleFolder(HINSTANCE instance, char (&moduleFolder)[260]) {
    DWORD length = GetModuleFileNameA(instance, moduleFolder, sizeof moduleFolder);
    if (length == 0 || length >= sizeof moduleFolder) {
        moduleFolder[0] = '\0';
        return;
    }
    char* lastSeparator = strrchr(moduleFolder, '\\');
    if (lastSeparator) lastSeparator[1] = '\0';
}

}  // namespace

void PrepareWorkFolder(char (&workFolder)[260]) {
    if (tempFolder[0] == '\0') GetTempPathA(sizeof tempFolder, tempFolder);
    CopyText(workFolder, tempFolder);
    // Both levels must fit, or the folder would be cut into another one.
    if (strlen(workFolder) + strlen("PluvoLauncher_Live\\VM_cn_cbt\\") >= sizeof workFolder) return;
    strcat(workFolder, "PluvoLauncher_Live\\");
    CreateDirectoryA(workFolder, nullptr);
    strcat(workFolder, "VM_cn_cbt\\");
    CreateDirectoryA(workFolder, nullptr);
}

int RunProgram(HINSTANCE instance) {
    HANDLE instanceMutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(instanceMutex);
        MessageBoxA(nullptr, "The downloader is already running.", "zentav-downloader...", MB_ICONWARNING);
        return 0;
    }
    OleInitialize(nullptr);

    theApp = new cApp(instance);
    PrepareModuleFolder(instance, theApp->moduleFolder);
    PrepareWorkFolder(theApp->workFolder);

    int result = theApp->OnExecute();

    theApp->StopManager();
    delete theApp;
    theApp = nullptr;
    OleUninitialize();
    ReleaseMutex(instanceMutex);
    return result;
}
