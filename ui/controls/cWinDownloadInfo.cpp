#include "ui/controls/cWinDownloadInfo.h"

#include <cstring>
#include <cwchar>

#include "app/cApp.h"
#include "engine/cMgrDownloader.h"
#include "json/cJson.h"
#include "ui/controls/ProgressFigures.h"
#include "ui/controls/cProgressBar.h"
#include "ui/framework/Drawing.h"
#include "ui/main/cWinMain.h"

namespace {

const WORD kBackgroundPictureId = 102;

// The panel's fixed place in the main window.
const int32_t kPanelX = 32;
const int32_t kPanelY = 287;
const int32_t kPanelWidth = 590;
const int32_t kPanelHeight = 20;
// The slice of the background picture behind it (3 pixels left of and above it).
const D2D1_RECT_F kDestination = {0, 0, 610, 20};
const D2D1_RECT_F kPictureSlice = {29, 284, 639, 304};

// A label holds 13 characters; " :" follows it.
const size_t kLabelLength = kValueTextSize - 3;

// The items: their key in "text" / "tag", and where label and value begin and end
// relative to the item's "x".
struct ItemPlace {
    const char* key;
    float labelRight;
    float valueLeft;
};
const ItemPlace kItems[cWinDownloadInfo::kItemCount] = {
    {"time-remaining", 100, 64},
    {"elapse-time", 85, 54},
    {"total-recv", 100, 67},
    {"total-size", 100, 63},
};
const float kValueRight = 165;
const float kTextTop = 0;
const float kTextBottom = 20;

void CopyLabel(wchar_t (&label)[kValueTextSize], const wchar_t* name) {
    size_t length = name ? wcslen(name) : 0;
    if (length > kLabelLength) length = kLabelLength;  // a longer name is cut to fit its " :"
    wmemcpy(label, name ? name : L"", length);
    wcscpy(label + length, L" :");
}

}  // namespace

cWinDownloadInfo::cWinDownloadInfo()
    : tagBrush(), valueBrush(), textFormat(), tagRects{}, valueRects{}, tagTexts{}, valueTexts{}, background(),
      tagColor(0), tagAlpha(0), valueColor(0), valueAlpha(0), loadRequested(false), progressBar(nullptr) {
    wcscpy(valueTexts[kRemainingTime], L"00:00:00");
    wcscpy(valueTexts[kElapsedTime], L"00:00:00");
    wcscpy(valueTexts[kReceivedSize], L"000.0 MBytes");
    wcscpy(valueTexts[kTotalSize], L"000.0 MBytes");
}

cWinDownloadInfo::~cWinDownloadInfo() {
    DestroyNativeWindow();
    tagBrush.Reset();
    valueBrush.Reset();
    textFormat.Reset();
    background.Reset();
}

LRESULT cWinDownloadInfo::OnMessage(HWND, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE:
        CreateDeviceResources();
        return 0;
    case WM_DESTROY:
        KillTimer(hWnd, kTimerId);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        OnPaint(BeginPaint(hWnd, &paint));
        EndPaint(hWnd, &paint);
        return 0;
    }
    case WM_NCHITTEST:
        // The panel lets the point through to the main window, which answers that it is the
        // caption: a press on the panel drags the window, and a pointer that only passes
        // over it leaves the window where it is.
        return HTTRANSPARENT;
    case WM_TIMER:
        OnTimer();
        return 0;
    default:
        return 0;
    }
}

bool cWinDownloadInfo::CreateFromLayout(cJson& uiDocument, HWND parent, cProgressBar& bar) {
    JsonNode* root = uiDocument.root;
    cJson::Node* texts = root ? (*root)["text"] : nullptr;
    cJson::Node* tags = texts ? texts->GetNode("tag") : nullptr;
    if (!tags) return false;
    for (int i = 0; i < kItemCount; ++i) {
        cJson::Node* item = tags->GetNode(kItems[i].key);
        cJson::Node* name = item ? item->GetNode("name") : nullptr;
        if (!name) return false;
        CopyLabel(tagTexts[i], name->GetWString());
        cJson::Node* left = item->GetNode("x");
        if (!left) return false;
        float x = static_cast<float>(left->GetInt());
        tagRects[i] = D2D1::RectF(x, kTextTop, x + kItems[i].labelRight, kTextBottom);
        valueRects[i] = D2D1::RectF(x + kItems[i].valueLeft, kTextTop, x + kValueRight, kTextBottom);
    }

    cJson::Node* fonts = (*root)["font"];
    cJson::Node* tagFont = fonts ? fonts->GetNode("tag") : nullptr;
    cJson::Node* family = tagFont ? tagFont->GetNode("name") : nullptr;
    // A font without a size is treated like any other incomplete font.
    cJson::Node* size = family ? tagFont->GetNode("size") : nullptr;
    if (!size) return false;
    textFormat = MakeTextFormat(family->GetWString(), static_cast<float>(size->GetInt()));
    cJson::Node* colour = tagFont->GetNode("color");
    if (!colour) return false;
    tagColor = static_cast<uint32_t>(colour->GetHex());
    cJson::Node* alpha = tagFont->GetNode("alpha");
    if (!alpha) return false;
    tagAlpha = static_cast<float>(alpha->GetInt()) / 100.0f;

    cJson::Node* valueFont = fonts->GetNode("value");
    colour = valueFont ? valueFont->GetNode("color") : nullptr;
    if (!colour) return false;
    valueColor = static_cast<uint32_t>(colour->GetHex());
    alpha = valueFont->GetNode("alpha");
    if (!alpha) return false;
    valueAlpha = static_cast<float>(alpha->GetInt()) / 100.0f;

    Create(parent, kPanelX, kPanelY, kPanelWidth, kPanelHeight, WS_CHILD | WS_TABSTOP, SW_HIDE);
    ShowWindow(hWnd, SW_SHOW);
    progressBar = &bar;
    SetTimer(hWnd, kTimerId, kTimerMs, nullptr);
    return true;
}

void cWinDownloadInfo::LoadManifest() {
    if (theApp->mainWindow) theApp->mainWindow->LoadDownloadInfo();
}

void cWinDownloadInfo::OnTimer() {
    cMgrDownloader* manager = theApp->manager;
    if (!manager) {
        // Set before the call: a message box during the load dispatches further ticks.
        if (!loadRequested) {
            loadRequested = true;
            LoadManifest();
        }
        return;
    }
    // This tick still shows the run's last figures; none follows it.
    if (manager->finished) KillTimer(hWnd, kTimerId);

    int64_t total = manager->totalSize;
    int64_t received = manager->receivedSize;
    int64_t transferred = manager->transferredSize;
    if (total == 0) return;

    FormatSize(valueTexts[kReceivedSize], received);
    uint32_t seconds = (GetTickCount() - manager->startTick) / 1000;
    FormatDuration(valueTexts[kElapsedTime], seconds);
    float speed = AverageSpeed(transferred, seconds);
    FormatDuration(valueTexts[kRemainingTime], RemainingSeconds(total - received, speed));
    if (progressBar) {
        progressBar->SetSpeed(MebibytesPerSecond(speed));
        progressBar->SetRate(ProgressRate(received, total));
    }
    Invalidate();
}

void cWinDownloadInfo::OnPaint(HDC paintDC) {
    ID2D1DCRenderTarget* target = BeginFrame(paintDC);
    if (!target) return;
    if (background) {
        target->DrawBitmap(background.Get(), kDestination, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                           kPictureSlice);
    }
    if (textFormat && tagBrush && valueBrush) {
        for (int i = 0; i < kItemCount; ++i) {
            target->DrawText(tagTexts[i], static_cast<UINT32>(wcslen(tagTexts[i])), textFormat.Get(), tagRects[i],
                             tagBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_NO_SNAP, DWRITE_MEASURING_MODE_NATURAL);
        }
        for (int i = 0; i < kItemCount; ++i) {
            target->DrawText(valueTexts[i], static_cast<UINT32>(wcslen(valueTexts[i])), textFormat.Get(),
                             valueRects[i], valueBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_NO_SNAP,
                             DWRITE_MEASURING_MODE_NATURAL);
        }
    }
    FinishDraw(*this);
}

void cWinDownloadInfo::CreateDeviceResources() {
    ID2D1DCRenderTarget* target = GetRenderTarget();
    if (!target) return;
    if (FAILED(target->CreateSolidColorBrush(ColourFromRgb(tagColor, tagAlpha), tagBrush.ReleaseAndGetAddressOf()))) {
        tagBrush.Reset();
    }
    if (FAILED(target->CreateSolidColorBrush(ColourFromRgb(valueColor, valueAlpha),
                                             valueBrush.ReleaseAndGetAddressOf()))) {
        valueBrush.Reset();
    }
    background = LoadPicture(kBackgroundPictureId);
}

void cWinDownloadInfo::ReleaseDeviceResources() {
    tagBrush.Reset();
    valueBrush.Reset();
    background.Reset();
}

void cWinDownloadInfo::RecreateDeviceResources() {
    CreateDeviceResources();
}
