#pragma once
// A window for the framework's tests: it records what reaches OnMessage and
// OnClose, answers chosen messages with chosen results, and keeps a picture and a
// brush on its render target, made again after the target was lost.

#include <map>
#include <vector>

#include "ui/framework/Drawing.h"
#include "ui/framework/cWindow.h"

class cProbeWindow final : public cWindow {
public:
    std::map<UINT, LRESULT> answers;  // OnMessage's result per message; 0 for the rest
    std::vector<UINT> messages;       // every message OnMessage saw, in order
    HWND handleAtCreate = nullptr;    // hWnd as OnMessage found it at WM_CREATE
    int closeRequests = 0;
    int releases = 0;
    int recreations = 0;
    WORD pictureId = 102;
    ComPtr<ID2D1Bitmap> picture;
    ComPtr<ID2D1SolidColorBrush> brush;
    int paints = 0;
    bool lastFrameDrawn = false;

    LRESULT OnMessage(HWND, UINT message, WPARAM, LPARAM) override {
        messages.push_back(message);
        if (message == WM_CREATE) {
            handleAtCreate = hWnd;
            MakeResources();
        }
        if (message == WM_PAINT) Paint();
        auto answer = answers.find(message);
        return answer == answers.end() ? 0 : answer->second;
    }

    void OnClose() override { ++closeRequests; }

    bool Saw(UINT message) const {
        for (UINT seen : messages) {
            if (seen == message) return true;
        }
        return false;
    }

private:
    void MakeResources() {
        picture = LoadPicture(pictureId);
        if (ID2D1DCRenderTarget* target = GetRenderTarget()) {
            target->CreateSolidColorBrush(ColourFromRgb(0x33DDFF, 1.0f), brush.ReleaseAndGetAddressOf());
        }
    }

    void Paint() {
        PAINTSTRUCT paint{};
        HDC paintDC = BeginPaint(hWnd, &paint);
        ++paints;
        if (ID2D1DCRenderTarget* target = BeginFrame(paintDC)) {
            target->Clear(ColourFromRgb(0x000000, 1.0f));
            if (picture) target->DrawBitmap(picture.Get());
            if (brush) target->FillRectangle(D2D1::RectF(0, 0, 10, 10), brush.Get());
            lastFrameDrawn = FinishDraw(*this);
        }
        EndPaint(hWnd, &paint);
    }

    void ReleaseDeviceResources() override {
        ++releases;
        picture.Reset();
        brush.Reset();
    }

    void RecreateDeviceResources() override {
        ++recreations;
        MakeResources();
    }
};
