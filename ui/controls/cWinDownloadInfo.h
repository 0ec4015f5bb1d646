#pragma once
// The transfer information panel: four labelled values under the progress bar
// (remaining time, elapsed time, received size, total size) over its own slice of
// the background picture. It owns the program's only periodic timer: every 333 ms
// it turns the download manager's counters into its texts and into the bar's speed
// and rate, and on its first tick without a manager asks for the manifest.

#include <windows.h>

#include <cstdint>

#include "ui/controls/ValueText.h"
#include "ui/controls/cPanel.h"

class cJson;
class cProgressBar;

class cWinDownloadInfo : public cPanel {
public:
    enum Item { kRemainingTime = 0, kElapsedTime = 1, kReceivedSize = 2, kTotalSize = 3, kItemCount = 4 };
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTimerMs = 333;

    ComPtr<ID2D1SolidColorBrush> tagBrush;
    ComPtr<ID2D1SolidColorBrush> valueBrush;
    ComPtr<IDWriteTextFormat> textFormat;
    D2D1_RECT_F tagRects[kItemCount];
    D2D1_RECT_F valueRects[kItemCount];
    wchar_t tagTexts[kItemCount][kValueTextSize];    // each label followed by " :"
    wchar_t valueTexts[kItemCount][kValueTextSize];
    ComPtr<ID2D1Bitmap> background;
    uint32_t tagColor;   // 0xRRGGBB
    float tagAlpha;
    uint32_t valueColor;
    float valueAlpha;
    bool loadRequested;          // the manifest has been asked for
    cProgressBar* progressBar;   // not owned: the main window's bar

    cWinDownloadInfo();
    ~cWinDownloadInfo() override;

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Reads the labels, their places and the colours from the UI description, creates
    // the panel as a child of `parent`, takes `bar` as the bar to feed and starts the
    // timer. False, without a window or a timer, at the first absent key.
    bool CreateFromLayout(cJson& uiDocument, HWND parent, cProgressBar& bar);

    // One refresh; the timer's tick.
    void OnTimer();
    void OnPaint(HDC paintDC);

protected:
    // Asks for the manifest once: the main window's LoadDownloadInfo.
    virtual void LoadManifest();

private:
    void ReleaseDeviceResources() override;
    void RecreateDeviceResources() override;
    void CreateDeviceResources();
};
