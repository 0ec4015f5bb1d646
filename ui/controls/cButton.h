#pragma once
// The picture button: a child window of the main window that shows one of four
// built-in pictures by its state, follows the mouse itself and runs its action
// (OnExecute) when a left click is completed on it. The five buttons of the main
// window derive from it and differ in their action, and launch and pause in
// starting disabled.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "ui/framework/cWindow.h"

class cJson;

class cButton : public cWindow {
public:
    enum State : int32_t { normal = 0, over = 1, down = 2, disable = 3 };
    static constexpr int kStateCount = 4;
    // How long the pointer rests on a button before WM_MOUSEHOVER.
    static constexpr DWORD kHoverMs = 3333;

    // Written by the download manager's thread at the end of a run (SetState), read
    // by the main thread.
    std::atomic<int32_t> state;
    int32_t firstPictureId;                     // resource of the normal picture; state s is firstPictureId + s
    ComPtr<ID2D1Bitmap> pictures[kStateCount];  // absent until OnCreate

    explicit cButton(int32_t firstPictureId);

    // Every message reaches the window base's defaults as well: the result is 0.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Loads the four pictures and takes the size of the normal one.
    virtual void OnCreate();
    virtual void OnPaint();
    // The button's action, run by a completed click.
    virtual void OnExecute() = 0;
    virtual void OnMouseHover();
    virtual void OnMouseMove(WPARAM keys, LPARAM position);
    virtual void OnMouseLeave();
    virtual void OnLButtonDown();
    virtual void OnLButtonUp(WPARAM keys, LPARAM position);

    // Reads "button" / name of the UI description: the position into x and y, and
    // the presence of the four picture names. False at the first absent key; what was
    // read before stays.
    bool ReadLayout(cJson& uiDocument, const char* name);
    // Stores the state and repaints; neither the capture nor the tracking changes.
    void SetState(int32_t newState);

protected:
    ~cButton();

    void ReleaseDeviceResources() override;
    void RecreateDeviceResources() override;

private:
    void LoadPictures();
    // Asks for WM_MOUSEHOVER after kHoverMs at rest and for WM_MOUSELEAVE.
    void TrackMouse();
    void ChangeState(int32_t newState);
};
