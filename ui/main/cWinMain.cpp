#include "ui/main/cWinMain.h"

#include <cwchar>

#include "app/cApp.h"
#include "engine/cMgrDownloader.h"
#include "ui/controls/ProgressFigures.h"
#include "ui/framework/Drawing.h"

namespace {
const WORD kBackgroundPictureId = 102;
// Every button window starts at this size and then takes its picture's.
const int32_t kProvisionalButtonSize = 20;
}  // namespace

POINT MainWindowPosition(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height) {
    // Signed divisions: a picture larger than the screen gives negative positions.
    int32_t margin = (screenHeight - height) / 2;
    return POINT{(screenWidth - width) / 2, margin + margin / 10};
}

cWinMain::cWinMain(cJson& uiDocument)
    : btnLaunch(), btnStart(), btnPause(), btnCancel(), btnFolder(), folderTextRect{0, 0, 0, 0}, totalSize(0),
      progressBar(), downloadInfo(), uiDocument(uiDocument), background(), folderTextFormat(),
      folderTextBrush(), folderTextColour{0, 0, 0, 0} {}

cWinMain::~cWinMain() {
    // Detach first: the native window (still there when the layout failed) must not
    // reach this object while its members go.
    DestroyNativeWindow();
    folderTextFormat.Reset();
    folderTextBrush.Reset();
    background.Reset();
}

LRESULT cWinMain::OnMessage(HWND, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(1);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_NCHITTEST:
        return HTCAPTION;  // a press anywhere on the window's own surface drags it
    case WM_TIMER:
        OnProgressTimer();
        return 0;
    default:
        return 0;
    }
}

void cWinMain::OnCreate() {
    int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    background = LoadPicture(kBackgroundPictureId);
    // Without its picture the window keeps its creation size.
    if (background) {
        D2D1_SIZE_U size = background->GetPixelSize();
        width = static_cast<int32_t>(size.width);
        height = static_cast<int32_t>(size.height);
    }
    POINT position = MainWindowPosition(screenWidth, screenHeight, width, height);
    x = position.x;
    y = position.y;
    if (theApp->resourceFolder) SetCurrentDirectoryA(theApp->resourceFolder);

    if (!LoadLayout()) {
        MessageBoxA(hWnd, "cWinMain::OnCreate :: ux-json error (-21)", theApp->messageTitle, MB_ICONWARNING);
        PostQuitMessage(-1);
        return;
    }
    CreateChildren();
}

void cWinMain::CreateChildren() {
    // A child window that cannot be created is left out; the program goes on without it.
    cButton* const buttons[] = {&btnFolder, &btnLaunch, &btnStart, &btnPause, &btnCancel};
    for (cButton* button : buttons) {
        button->Create(hWnd, button->x, button->y, kProvisionalButtonSize, kProvisionalButtonSize,
                       WS_CHILD | WS_TABSTOP, SW_HIDE);
        ShowWindow(button->hWnd, SW_SHOW);
    }
    progressBar.Create(hWnd, progressBar.x, progressBar.y, progressBar.barWidth, progressBar.barHeight, WS_CHILD,
                       SW_HIDE);
    progressBar.SetFillRect();
    ShowWindow(progressBar.hWnd, SW_SHOW);
    downloadInfo.CreateFromLayout(uiDocument, hWnd, progressBar);
}

void cWinMain::OnProgressTimer() {
    cMgrDownloader* manager = theApp->manager;
    if (!manager || !manager->running || manager->finished) return;
    int64_t total = manager->totalSize;
    int64_t received = manager->receivedSize;
    int64_t transferred = manager->transferredSize;
    if (total == 0) return;
    uint32_t seconds = (GetTickCount() - manager->startTick) / 1000;
    progressBar.SetSpeed(MebibytesPerSecond(AverageSpeed(transferred, seconds)));
    progressBar.SetRate(ProgressRate(received, total));
    Invalidate();
}

void cWinMain::OnPaint() {
    PAINTSTRUCT paint{};
    HDC paintDC = BeginPaint(hWnd, &paint);
    if (ID2D1DCRenderTarget* target = BeginFrame(paintDC)) {
        if (background) {
            D2D1_RECT_F whole = D2D1::RectF(0, 0, static_cast<float>(width), static_cast<float>(height));
            target->DrawBitmap(background.Get(), whole, 0.99f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                               whole);
        }
        if (folderTextFormat && folderTextBrush) {
            const wchar_t* folder = theApp->downloadFolderWide;
            target->DrawText(folder, static_cast<UINT32>(wcslen(folder)), folderTextFormat.Get(), folderTextRect,
                             folderTextBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_CLIP, DWRITE_MEASURING_MODE_NATURAL);
        }
        FinishDraw(*this);
    }
    EndPaint(hWnd, &paint);
    // The children paint themselves over the fresh background.
    cWindow* const children[] = {&btnCancel, &btnFolder, &btnLaunch, &btnPause, &btnStart, &progressBar, &downloadInfo};
    for (cWindow* child : children) child->Invalidate();
}

void cWinMain::OnClose() {
    if (MessageBoxA(hWnd, theApp->exitQuestion, theApp->messageTitle, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    theApp->StopManager();
    DestroyWindow(hWnd);
}

void cWinMain::ReleaseDeviceResources() {
    background.Reset();
    folderTextBrush.Reset();
}

void cWinMain::RecreateDeviceResources() {
    background = LoadPicture(kBackgroundPictureId);
    // The brush exists only for a complete font, which also made the format.
    if (folderTextFormat) CreateFolderTextBrush();
}

void cWinMain::CreateFolderTextBrush() {
    ID2D1DCRenderTarget* target = GetRenderTarget();
    if (!target || FAILED(target->CreateSolidColorBrush(folderTextColour, folderTextBrush.ReleaseAndGetAddressOf()))) {
        folderTextBrush.Reset();
    }
}
