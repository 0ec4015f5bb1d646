#pragma once
// The folder button: the system's folder browse dialog with the download folder
// preselected, a title line with the space the download needs and the space free on
// the selected drive, and OK taken away for a drive's root and for a drive with too
// little space. The chosen folder becomes the download folder and is recorded in
// version.txt.

#include <windows.h>

#include <cstdint>

#include "ui/controls/cButton.h"

class cBtnFolder final : public cButton {
public:
    static constexpr int32_t kFirstPictureId = 138;
    // Given to the dialog as its title, so that the title control can be found.
    static const char kMarkerTitle[];

    // The title control of the dialog being shown; null before the first dialog
    // and while a new dialog has not yet been searched (one dialog at a time: the
    // dialog is modal on the main thread).
    static HWND titleControl;

    cBtnFolder();
    void OnExecute() override;

    // The dialog's callback; `data` is the download folder text. Always 0.
    static int CALLBACK BrowseCallback(HWND dialog, UINT notification, LPARAM parameter, LPARAM data);
    // What a selection of `path` does to the dialog: OK taken away for a root or a
    // drive without room, and the title line rewritten.
    static void ShowSelection(HWND dialog, const char* path);
};

// The title line: required and free space in GB with three decimals; "unknown" when
// the free space cannot be asked for.
void FormatSpaceLine(char (&text)[256], int64_t requiredBytes, int64_t availableBytes, bool availableKnown);
