#include "ui/controls/cProgressBar.h"

#include <cstring>
#include <cwchar>

#include "json/cJson.h"
#include "ui/framework/Drawing.h"

namespace {

// Where the texts stand, from the bar's width.
const float kRateTextHalfWidth = 30.0f;
const float kRateTextWidth = 60.0f;
const float kSpeedTextFromRight = 100.0f;
const float kSpeedTextWidth = 95.0f;
const float kTextTop = 3.0f;
const float kTextBottom = 13.0f;

}  // namespace

cProgressBar::cProgressBar()
    : barWidth(0), barHeight(0), bgColor(0), fgColor(0), drawRateText(false), rateText{}, rateRect{0, 0, 0, 0},
      speedText{}, speedRect{0, 0, 0, 0}, textFormat(), textBrush(), textColor(0), textAlpha(0), rate(0), speed(0),
      fillWidth(0), fillRect{0, 0, 0, 0}, fgBrush() {
    wcscpy(rateText, L"0.00%");
    wcscpy(speedText, L"0.000 MiB/Sec");
}

cProgressBar::~cProgressBar() {
    DestroyNativeWindow();
    textFormat.Reset();
    textBrush.Reset();
    fgBrush.Reset();
}

LRESULT cProgressBar::OnMessage(HWND, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CREATE:
        CreateBrushes();
        SetWindowPos(hWnd, HWND_TOP, x, y, barWidth, barHeight, SWP_SHOWWINDOW);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        OnPaint(BeginPaint(hWnd, &paint));
        EndPaint(hWnd, &paint);
        return 0;
    }
    case WM_NCHITTEST:
        // The bar lets the point through to the main window, which answers that it is the
        // caption: a press on the bar drags the window, and a pointer that only passes
        // over it leaves the window where it is.
        return HTTRANSPARENT;
    default:
        return 0;
    }
}

bool cProgressBar::ReadLayout(cJson& uiDocument) {
    JsonNode* root = uiDocument.root;
    cJson::Node* bars = root ? (*root)["progressbar"] : nullptr;
    cJson::Node* total = bars ? bars->GetNode("total") : nullptr;
    if (!total) return false;

    struct IntKey {
        const char* key;
        int32_t* field;
    } ints[] = {{"x", &x}, {"y", &y}, {"width", &barWidth}, {"height", &barHeight}};
    for (const IntKey& item : ints) {
        cJson::Node* node = total->GetNode(item.key);
        if (!node) return false;
        *item.field = node->GetInt();
    }
    cJson::Node* background = total->GetNode("bg-color");
    if (!background) return false;
    bgColor = static_cast<uint32_t>(background->GetHex());
    cJson::Node* foreground = total->GetNode("fg-color");
    if (!foreground) return false;
    fgColor = static_cast<uint32_t>(foreground->GetHex());
    cJson::Node* rateTextOption = total->GetNode("draw-rate-text");
    if (!rateTextOption) return false;
    // Exactly "true": "True" or anything else turns the texts off.
    const char* option = rateTextOption->GetString();
    drawRateText = option && strcmp(option, "true") == 0;

    cJson::Node* fonts = (*root)["font"];
    cJson::Node* font = fonts ? fonts->GetNode("progressbar") : nullptr;
    cJson::Node* name = font ? font->GetNode("name") : nullptr;
    cJson::Node* size = name ? font->GetNode("size") : nullptr;
    if (!size) return false;
    textFormat = MakeTextFormat(name->GetWString(), static_cast<float>(size->GetInt()));
    cJson::Node* alpha = font->GetNode("alpha");
    if (!alpha) return false;
    textAlpha = static_cast<float>(alpha->GetInt()) / 100.0f;
    cJson::Node* colour = font->GetNode("color");
    if (!colour) return false;
    textColor = static_cast<uint32_t>(colour->GetHex());
    return true;
}

void cProgressBar::SetTextRects() {
    float left = static_cast<float>(barWidth) * 0.5f - kRateTextHalfWidth;
    rateRect = D2D1::RectF(left, kTextTop, left + kRateTextWidth, kTextBottom);
    left = static_cast<float>(barWidth) - kSpeedTextFromRight;
    speedRect = D2D1::RectF(left, kTextTop, left + kSpeedTextWidth, kTextBottom);
}

void cProgressBar::SetFillRect() {
    fillRect = D2D1::RectF(1.0f, 1.0f, static_cast<float>(fillWidth) + 1.0f, static_cast<float>(barHeight) - 1.0f);
}

void cProgressBar::SetRate(int32_t newRate) {
    if (newRate == rate) return;
    if (drawRateText) FormatRate(rateText, newRate);
    rate = newRate;
    // The product in 64 bits, then clamped to the inner width: a rate beyond 100 %
    // (more on disk than the manifest's total) must not paint over the frame.
    int64_t inner = barWidth > 2 ? barWidth - 2 : 0;
    int64_t filled = static_cast<int64_t>(newRate) * inner / 10000;
    if (filled < 0) filled = 0;
    if (filled > inner) filled = inner;
    fillWidth = static_cast<int32_t>(filled);
    fillRect.right = static_cast<float>(fillWidth) + 1.0f;
    Invalidate();
}

void cProgressBar::SetSpeed(float newSpeed) {
    if (newSpeed == speed) return;  // a speed that is not a number never equals
    speed = newSpeed;
    if (drawRateText) FormatSpeed(speedText, newSpeed);
    Invalidate();
}

void cProgressBar::OnPaint(HDC paintDC) {
    ID2D1DCRenderTarget* target = BeginFrame(paintDC);
    if (!target) return;
    target->Clear(ColourFromRgb(bgColor, 1.0f));
    if (fgBrush) target->FillRectangle(fillRect, fgBrush.Get());
    if (drawRateText && textFormat && textBrush) {
        textFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
        target->DrawText(rateText, static_cast<UINT32>(wcslen(rateText)), textFormat.Get(), rateRect, textBrush.Get(),
                         D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
        textFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
        target->DrawText(speedText, static_cast<UINT32>(wcslen(speedText)), textFormat.Get(), speedRect,
                         textBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
    }
    FinishDraw(*this);
}

void cProgressBar::CreateBrushes() {
    ID2D1DCRenderTarget* target = GetRenderTarget();
    if (!target) return;
    if (FAILED(target->CreateSolidColorBrush(ColourFromRgb(fgColor, 1.0f), fgBrush.ReleaseAndGetAddressOf()))) {
        fgBrush.Reset();
    }
    if (FAILED(target->CreateSolidColorBrush(ColourFromRgb(textColor, textAlpha), textBrush.ReleaseAndGetAddressOf()))) {
        textBrush.Reset();
    }
}

void cProgressBar::ReleaseDeviceResources() {
    fgBrush.Reset();
    textBrush.Reset();
}

void cProgressBar::RecreateDeviceResources() {
    CreateBrushes();
}
