#pragma once
// The overall progress bar: filled from the left in proportion to the progress,
// with the percentage in its middle and the average speed at its right end. It keeps
// no counters: the information panel's refresh and the main window's last refresh
// hand it a rate and a speed, and the start action resets the rate to 0.

#include <windows.h>

#include <cstdint>

#include "ui/controls/ValueText.h"
#include "ui/framework/cWindow.h"

class cJson;

class cProgressBar final : public cWindow {
public:
    int32_t barWidth;
    int32_t barHeight;
    uint32_t bgColor;              // 0xRRGGBB, the whole bar
    uint32_t fgColor;              // 0xRRGGBB, the filled part
    bool drawRateText;             // the two texts are updated and drawn
    wchar_t rateText[kRateTextSize];
    D2D1_RECT_F rateRect;          // the percentage, drawn from its left edge
    wchar_t speedText[kValueTextSize];
    D2D1_RECT_F speedRect;         // the speed, drawn up to its right edge
    ComPtr<IDWriteTextFormat> textFormat;
    ComPtr<ID2D1SolidColorBrush> textBrush;
    uint32_t textColor;            // 0xRRGGBB
    float textAlpha;               // 0 to 1
    int32_t rate;                  // hundredths of a percent
    float speed;                   // MiB per second
    int32_t fillWidth;             // pixels
    D2D1_RECT_F fillRect;          // (1, 1, fillWidth + 1, barHeight - 1)
    ComPtr<ID2D1SolidColorBrush> fgBrush;

    cProgressBar();
    ~cProgressBar();

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Reads "progressbar" / "total" and the font "progressbar"; false at the first
    // absent key.
    bool ReadLayout(cJson& uiDocument);
    // The text rectangles from barWidth, in the bar's own coordinates.
    void SetTextRects();
    // The fill rectangle from fillWidth and barHeight.
    void SetFillRect();

    // Nothing changes, and nothing is repainted, when the value is the one shown.
    void SetRate(int32_t newRate);
    void SetSpeed(float newSpeed);

    void OnPaint(HDC paintDC);

private:
    void ReleaseDeviceResources() override;
    void RecreateDeviceResources() override;
    void CreateBrushes();
};
