#pragma once
// The base of every window. All windows belong to one registered window class,
// "base-window-class", whose procedure hands each message to the object that owns
// the native window. A window also gets its Direct2D render target, pictures
// decoded from the program's resources and DirectWrite text formats from here.
//
// The render target is a DC render target: each frame is bound to the paint DC and
// ends with a GDI copy into the window. Window render targets of child windows are
// shown by Windows' compositor, but Wine never brings them to the screen (and a
// parent's window target covers its children there); a frame that ends in the
// window's own DC is shown everywhere, clipped like any other painting. Binding
// takes the client area's size at every frame, so a resize needs nothing more.
//
// The drawing factories are shared by the process: DirectWrite's from static
// initialisation to exit, Direct2D's and WIC's (and COM on the main thread) from
// the construction of the first window object to the destruction of the last.
//
// Device-dependent resources (bitmaps, brushes) belong to the render target that
// made them. When the target is lost it is released together with them
// (DiscardRenderTarget, which calls ReleaseDeviceResources), and the next
// GetRenderTarget makes a new one and calls RecreateDeviceResources. A window
// that keeps such resources overrides both.

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <cstdint>

#include "ui/framework/ComPtr.h"

class cWindow {
public:
    HWND hWnd;           // null until created, null again after WM_NCDESTROY
    HWND hWndParent;     // null for the main window
    int32_t x;           // in the parent's client coordinates (screen for the main window)
    int32_t y;
    int32_t width;
    int32_t height;
    ComPtr<ID2D1DCRenderTarget> renderTarget;    // made on first use
    int32_t lostFramesInARow;                     // frames ended by a lost target since the last good one

    static int32_t windowCount;                   // live window objects
    static ComPtr<ID2D1Factory> D2DFactory;       // multi-threaded; first window to last
    static ComPtr<IWICImagingFactory> WICFactory; // first window to last
    static ComPtr<IDWriteFactory> DWriteFactory;  // shared; static initialisation to exit

    cWindow();
    cWindow(const cWindow&) = delete;
    cWindow& operator=(const cWindow&) = delete;

    // The object's own handler. A result other than 0 means handled, with that
    // result; 0 lets the defaults of WndProc run.
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The close request (WM_CLOSE, Esc). The base keeps the window open.
    virtual void OnClose();

    // Creates the native window with this object attached; shows and updates it
    // with `showCommand` when it was created.
    bool Create(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height, DWORD style, int showCommand);
    // Repaints the whole client area without erasing; nothing without a window.
    void Invalidate();
    // The window's render target, made on first use; null while there is no
    // native window or the target cannot be made. Bitmaps and brushes can be made
    // on it at any time; drawing goes through BeginFrame.
    ID2D1DCRenderTarget* GetRenderTarget();
    // Binds the render target to `paintDC` (from BeginPaint) over the whole client
    // area and begins a frame, which FinishDraw ends. Null, with no frame begun, when
    // there is no target or it cannot be bound.
    ID2D1DCRenderTarget* BeginFrame(HDC paintDC);
    // Decodes the RCDATA picture `resourceId` into a bitmap of this window's render
    // target. Null when the resource is missing or cannot be decoded, or when the
    // window has no render target yet.
    ComPtr<ID2D1Bitmap> LoadPicture(WORD resourceId);
    // Drops the render target and, through ReleaseDeviceResources, everything made
    // on it. The next GetRenderTarget makes everything again.
    void DiscardRenderTarget();

    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Not virtual: every window object is destroyed through its own class.
    ~cWindow();

    // Release the bitmaps and brushes made on the render target that is being discarded.
    virtual void ReleaseDeviceResources();
    // Make them again on the render target that has just replaced a discarded one.
    virtual void RecreateDeviceResources();

    // Detaches the object from its native window and destroys that window, so that
    // an object destroyed before its window gets no more messages.
    void DestroyNativeWindow();

private:
    bool deviceResourcesLost;  // a target was discarded; the next one recreates the resources
};

// A DirectWrite text format of normal weight, style and stretch, locale "ko-kr",
// from the system's fonts. Null when it cannot be made.
ComPtr<IDWriteTextFormat> MakeTextFormat(const wchar_t* family, float size);
