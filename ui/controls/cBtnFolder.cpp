#include "ui/controls/cBtnFolder.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/cApp.h"
#include "ui/controls/FreeSpace.h"
#include "ui/controls/ValueText.h"
#include "ui/main/cWinMain.h"

namespace {

// Frees an item list that the shell handed out.
struct ItemList {
    LPITEMIDLIST items;
    ~ItemList() {
        if (items) CoTaskMemFree(items);
    }
};

int64_t RequiredBytes() {
    return theApp->mainWindow ? theApp->mainWindow->totalSize : 0;
}

}  // namespace

const char cBtnFolder::kMarkerTitle[] = "_cBtnFolder_";
HWND cBtnFolder::titleControl = nullptr;

void FormatSpaceLine(char (&text)[256], int64_t requiredBytes, int64_t availableBytes, bool availableKnown) {
    if (availableKnown) {
        snprintf(text, sizeof text, "At least %.3fGB is required.\nYour free space : %.3fGB", Gigabytes(requiredBytes),
                 Gigabytes(availableBytes));
    } else {
        snprintf(text, sizeof text, "At least %.3fGB is required.\nYour free space : unknown", Gigabytes(requiredBytes));
    }
}

cBtnFolder::cBtnFolder() : cButton(kFirstPictureId) {}

void cBtnFolder::OnExecute() {
    // A control found in an earlier dialog belongs to a window that no longer exists.
    titleControl = nullptr;
    BROWSEINFOA browse{};
    browse.hwndOwner = hWnd;
    browse.lpszTitle = kMarkerTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(theApp->downloadFolder);
    ItemList chosen{SHBrowseForFolderA(&browse)};
    titleControl = nullptr;
    if (!chosen.items) return;  // cancelled: nothing changes

    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(chosen.items, path)) return;
    theApp->CreateDownloadDirectory(path);
    theApp->WriteVersionFile();
}

int CALLBACK cBtnFolder::BrowseCallback(HWND dialog, UINT notification, LPARAM parameter, LPARAM data) {
    if (notification == BFFM_INITIALIZED) {
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
        SendMessageA(dialog, BFFM_SETEXPANDED, TRUE, data);
        titleControl = nullptr;
        for (HWND child = FindWindowExA(dialog, nullptr, nullptr, nullptr); child;
             child = FindWindowExA(dialog, child, nullptr, nullptr)) {
            char text[1024] = {};
            GetWindowTextA(child, text, sizeof text);
            if (strstr(text, kMarkerTitle)) {
                titleControl = child;
                break;
            }
        }
        // The preselection may have been reported before the title control was
        // known: show its line now.
        const char* folder = reinterpret_cast<const char*>(data);
        if (folder && folder[0]) ShowSelection(dialog, folder);
    } else if (notification == BFFM_SELCHANGED) {
        char path[MAX_PATH] = {};
        SHGetPathFromIDListA(reinterpret_cast<LPITEMIDLIST>(parameter), path);
        ShowSelection(dialog, path);
    }
    return 0;
}

namespace {

// Some dialogs (Wine's) enable OK again themselves after telling the callback of a
// new selection; the posted copy arrives after that and has the last word.
void DisableOk(HWND dialog) {
    SendMessageA(dialog, BFFM_ENABLEOK, 0, 0);
    PostMessageA(dialog, BFFM_ENABLEOK, 0, 0);
}

}  // namespace

void cBtnFolder::ShowSelection(HWND dialog, const char* path) {
    // A drive's root (C:\), or an item without a file-system path.
    if (strlen(path) <= 3) DisableOk(dialog);
    int64_t available = 0;
    bool known = path[0] && AvailableBytes(path, available);
    int64_t required = RequiredBytes();
    if (!HasRoomFor(available, required)) DisableOk(dialog);
    char line[256];
    FormatSpaceLine(line, required, available, known);
    if (titleControl) SetWindowTextA(titleControl, line);
}
