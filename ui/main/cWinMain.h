#pragma once
// The program's only top-level window: a borderless popup the size of the
// background picture, centred on the screen a little below the middle. It paints
// the picture and the download folder's path, can be dragged by any point of its
// own surface and asks before quitting.

#include <windows.h>

#include <cstdint>

#include "ui/controls/ActionButtons.h"
#include "ui/controls/cBtnFolder.h"
#include "ui/controls/cProgressBar.h"
#include "ui/controls/cWinDownloadInfo.h"
#include "ui/framework/cWindow.h"

class cJson;

class cWinMain final : public cWindow {
public:
    cBtnLaunch btnLaunch;
    cBtnStart btnStart;
    cBtnPause btnPause;
    cBtnCancel btnCancel;
    cBtnFolder btnFolder;
    D2D1_RECT_F folderTextRect;  // where the folder path is drawn; all 0 until the layout sets it
    int64_t totalSize;           // "TotalSize" of the current manifest, in bytes; 0 until known
    cProgressBar progressBar;
    cWinDownloadInfo downloadInfo;
    cJson& uiDocument;           // not owned: the startup sequence keeps it alive longer than the window
    ComPtr<ID2D1Bitmap> background;
    ComPtr<IDWriteTextFormat> folderTextFormat;    // absent when the description has no complete font
    ComPtr<ID2D1SolidColorBrush> folderTextBrush;  // absent likewise
    D2D1_COLOR_F folderTextColour;                 // the brush's colour, kept to make it again

    // No native window yet: the startup sequence creates it.
    explicit cWinMain(cJson& uiDocument);
    ~cWinMain();

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Asks whether to quit; on OK stops any download run and destroys the window.
    void OnClose() override;

    // WM_CREATE: size and place the window on its background picture and lay it out.
    void OnCreate();
    void OnPaint();
    // Reads the layout from the UI description; false when an element is missing.
    bool LoadLayout();
    // The five buttons, the progress bar and the information panel, after the layout.
    void CreateChildren();
    // WM_TIMER: the progress bar's last update at the end of a run.
    void OnProgressTimer();
    // Brings the local manifest (file.json) up to date from the server and takes its
    // total size; ends the process when nothing can be fetched.
    void LoadDownloadInfo();

private:
    void ReleaseDeviceResources() override;
    void RecreateDeviceResources() override;
    void CreateFolderTextBrush();
};

// Where the main window of width x height goes on a screen of screenWidth x
// screenHeight: centred across, and a tenth of the vertical margin below the middle.
POINT MainWindowPosition(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height);
