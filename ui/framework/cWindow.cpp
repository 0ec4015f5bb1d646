#include "ui/framework/cWindow.h"

#include <shlwapi.h>

#include "app/cApp.h"

namespace {

const char kWindowClassName[] = "base-window-class";
const WORD kProgramIconId = 101;

// CoInitialize's result, so that only a successful call is balanced.
HRESULT comInitialisation = E_FAIL;

HINSTANCE ProgramInstance() {
    return theApp ? theApp->instance : GetModuleHandleA(nullptr);
}

ComPtr<IDWriteFactory> CreateSharedWriteFactory() {
    ComPtr<IDWriteFactory> factory;
    DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                        reinterpret_cast<IUnknown**>(factory.GetAddressOf()));
    return factory;
}

// COM, the Direct2D and WIC factories and the window class, for the first window.
void PrepareProcessResources() {
    comInitialisation = CoInitialize(nullptr);
    D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, cWindow::D2DFactory.ReleaseAndGetAddressOf());
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(cWindow::WICFactory.ReleaseAndGetAddressOf()));

    HINSTANCE instance = ProgramInstance();
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kProgramIconId));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = cWindow::WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWindowClassName;
    RegisterClassExA(&windowClass);
}

// Undoes PrepareProcessResources when the last window goes.
void ReleaseProcessResources() {
    UnregisterClassA(kWindowClassName, ProgramInstance());
    cWindow::D2DFactory.Reset();
    cWindow::WICFactory.Reset();
    if (SUCCEEDED(comInitialisation)) CoUninitialize();
    comInitialisation = E_FAIL;
}

}  // namespace

int32_t cWindow::windowCount = 0;
ComPtr<ID2D1Factory> cWindow::D2DFactory;
ComPtr<IWICImagingFactory> cWindow::WICFactory;
ComPtr<IDWriteFactory> cWindow::DWriteFactory = CreateSharedWriteFactory();

cWindow::cWindow()
    : hWnd(nullptr), hWndParent(nullptr), x(0), y(0), width(0), height(0), renderTarget(),
      lostFramesInARow(0), deviceResourcesLost(false) {
    if (windowCount == 0) PrepareProcessResources();
    ++windowCount;
}

cWindow::~cWindow() {
    DestroyNativeWindow();
    renderTarget.Reset();
    if (--windowCount == 0) ReleaseProcessResources();
}

void cWindow::OnClose() {}

void cWindow::ReleaseDeviceResources() {}

void cWindow::RecreateDeviceResources() {}

bool cWindow::Create(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height, DWORD style,
                     int showCommand) {
    hWndParent = parent;
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    // WndProc stores the handle already at WM_NCCREATE, so WM_CREATE can use it.
    hWnd = CreateWindowExA(0, kWindowClassName, "no-name", style, x, y, width, height, parent, nullptr,
                           ProgramInstance(), this);
    if (!hWnd) return false;
    ShowWindow(hWnd, showCommand);
    UpdateWindow(hWnd);
    return true;
}

void cWindow::Invalidate() {
    // InvalidateRect with a null window would repaint every window on the screen.
    if (hWnd) InvalidateRect(hWnd, nullptr, FALSE);
}

ID2D1DCRenderTarget* cWindow::GetRenderTarget() {
    if (renderTarget) return renderTarget.Get();
    if (!hWnd || !D2DFactory) return nullptr;
    // A DC render target needs its pixel format spelled out; window DCs take BGRA,
    // and the windows are opaque.
    D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE));
    if (FAILED(D2DFactory->CreateDCRenderTarget(&properties, renderTarget.ReleaseAndGetAddressOf()))) {
        renderTarget.Reset();
        return nullptr;
    }
    if (deviceResourcesLost) {
        // Cleared first: the window's own LoadPicture calls come back here.
        deviceResourcesLost = false;
        RecreateDeviceResources();
    }
    return renderTarget.Get();
}

ID2D1DCRenderTarget* cWindow::BeginFrame(HDC paintDC) {
    ID2D1DCRenderTarget* target = GetRenderTarget();
    if (!target || !paintDC) return nullptr;
    RECT client{};
    GetClientRect(hWnd, &client);
    if (FAILED(target->BindDC(paintDC, &client))) return nullptr;
    target->BeginDraw();
    return target;
}

void cWindow::DiscardRenderTarget() {
    if (!renderTarget) return;
    ReleaseDeviceResources();
    renderTarget.Reset();
    deviceResourcesLost = true;
}

ComPtr<ID2D1Bitmap> cWindow::LoadPicture(WORD resourceId) {
    ID2D1DCRenderTarget* target = GetRenderTarget();
    if (!target || !WICFactory) return nullptr;

    HINSTANCE module = ProgramInstance();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes || size == 0) return nullptr;

    // The intermediates go at the end of this function; only the bitmap stays.
    ComPtr<IStream> stream;
    stream.Attach(SHCreateMemStream(bytes, size));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    ComPtr<ID2D1Bitmap> bitmap;
    if (!stream ||
        FAILED(WICFactory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                   decoder.GetAddressOf())) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf())) ||
        FAILED(WICFactory->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeMedianCut)) ||
        FAILED(target->CreateBitmapFromWicBitmap(converter.Get(), nullptr, bitmap.GetAddressOf()))) {
        return nullptr;
    }
    return bitmap;
}

void cWindow::DestroyNativeWindow() {
    if (!hWnd) return;
    HWND window = hWnd;
    hWnd = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

LRESULT CALLBACK cWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Attach at WM_NCCREATE, not WM_CREATE: a popup gets messages before WM_CREATE.
    if (message == WM_NCCREATE) {
        auto* creation = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* object = static_cast<cWindow*>(creation->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        if (object) object->hWnd = window;
    }
    auto* object = reinterpret_cast<cWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!object) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = object->OnMessage(window, message, wParam, lParam);
    if (result != 0) return result;

    switch (message) {
    case WM_CLOSE:
        object->OnClose();
        return 0;
    case WM_ERASEBKGND:
        return 0;  // every paint covers the whole client area itself
    case WM_NCDESTROY:
        object->hWnd = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) object->OnClose();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ComPtr<IDWriteTextFormat> MakeTextFormat(const wchar_t* family, float size) {
    ComPtr<IDWriteTextFormat> format;
    if (!family || !cWindow::DWriteFactory) return format;
    if (FAILED(cWindow::DWriteFactory->CreateTextFormat(family, nullptr, DWRITE_FONT_WEIGHT_NORMAL,
                                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size,
                                                        L"ko-kr", format.GetAddressOf()))) {
        format.Reset();
    }
    return format;
}
