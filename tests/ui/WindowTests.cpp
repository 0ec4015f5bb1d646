// The window base: the shared factories and the window class, the dispatch of
// messages with its defaults, render targets, pictures, text formats, the colour
// rule and the end of a frame.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>

#include "app/cApp.h"
#include "tests/support/ChildProcess.h"
#include "tests/ui/ProbeWindow.h"
#include "ui/framework/Drawing.h"
#include "ui/framework/cWindow.h"

using namespace testing_support;

namespace {

const HRESULT kTargetLost = static_cast<HRESULT>(D2DERR_RECREATE_TARGET);

bool ClassRegistered() {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(GetModuleHandleA(nullptr), "base-window-class", &info) != FALSE;
}

// Whether COM is initialised on this thread (a further CoInitialize then says S_FALSE).
bool ComInitialised() {
    HRESULT result = CoInitialize(nullptr);
    if (SUCCEEDED(result)) CoUninitialize();
    return result == S_FALSE;
}

// A record whose messages carry a caption of their own; no window may outlive a test.
struct WindowTest : ::testing::Test {
    cApp app{GetModuleHandleA(nullptr)};
    void SetUp() override {
        snprintf(app.messageTitle, sizeof app.messageTitle, "framework test");
        theApp = &app;
    }
    void TearDown() override {
        theApp = nullptr;
        EXPECT_EQ(cWindow::windowCount, 0) << "a window object outlived its test";
    }
};

TEST_F(WindowTest, FactoriesAndClassArePreparedByTheFirstWindowAndReleasedWithTheLast) {
    // DirectWrite's factory is there before any window, and it is the shared one.
    ASSERT_TRUE(cWindow::DWriteFactory);
    ComPtr<IDWriteFactory> shared;
    DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                        reinterpret_cast<IUnknown**>(shared.GetAddressOf()));
    EXPECT_EQ(shared.Get(), cWindow::DWriteFactory.Get());

    for (int round = 0; round < 2; ++round) {  // a later first window prepares everything again
        SCOPED_TRACE(round);
        ASSERT_EQ(cWindow::windowCount, 0);
        EXPECT_FALSE(cWindow::D2DFactory);
        EXPECT_FALSE(cWindow::WICFactory);
        EXPECT_FALSE(ClassRegistered());
        EXPECT_FALSE(ComInitialised());

        auto first = std::make_unique<cProbeWindow>();
        ID2D1Factory* d2d = cWindow::D2DFactory.Get();
        IWICImagingFactory* wic = cWindow::WICFactory.Get();
        ASSERT_NE(d2d, nullptr);
        ASSERT_NE(wic, nullptr);
        EXPECT_TRUE(ClassRegistered());
        EXPECT_TRUE(ComInitialised());

        auto second = std::make_unique<cProbeWindow>();
        auto third = std::make_unique<cProbeWindow>();
        EXPECT_EQ(cWindow::windowCount, 3);
        EXPECT_EQ(cWindow::D2DFactory.Get(), d2d);
        EXPECT_EQ(cWindow::WICFactory.Get(), wic);

        first.reset();
        second.reset();
        EXPECT_EQ(cWindow::windowCount, 1);
        EXPECT_EQ(cWindow::D2DFactory.Get(), d2d);
        EXPECT_EQ(cWindow::WICFactory.Get(), wic);
        EXPECT_TRUE(ClassRegistered());
        EXPECT_TRUE(ComInitialised());

        third.reset();
        EXPECT_EQ(cWindow::windowCount, 0);
        EXPECT_FALSE(cWindow::D2DFactory);
        EXPECT_FALSE(cWindow::WICFactory);
        EXPECT_FALSE(ClassRegistered());
        EXPECT_FALSE(ComInitialised());
    }
    EXPECT_EQ(shared.Get(), cWindow::DWriteFactory.Get());
}

TEST_F(WindowTest, ObjectIsAttachedFromNcCreateOn) {
    cProbeWindow parent;
    ASSERT_TRUE(parent.Create(nullptr, 10, 10, 200, 200, WS_POPUP, SW_HIDE));
    cProbeWindow child;
    ASSERT_TRUE(child.Create(parent.hWnd, 5, 6, 50, 40, WS_CHILD, SW_SHOW));
    ASSERT_NE(child.hWnd, nullptr);
    ASSERT_FALSE(child.messages.empty());
    EXPECT_EQ(child.messages.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(child.handleAtCreate, child.hWnd);
    EXPECT_EQ(child.hWndParent, parent.hWnd);
    EXPECT_EQ((std::vector<int32_t>{child.x, child.y, child.width, child.height}),
              (std::vector<int32_t>{5, 6, 50, 40}));
    // Shown with its own show command; the parent stays hidden with SW_HIDE.
    EXPECT_TRUE(GetWindowLongA(child.hWnd, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongA(parent.hWnd, GWL_STYLE) & WS_VISIBLE);
    DestroyWindow(parent.hWnd);
    EXPECT_EQ(child.hWnd, nullptr);  // destroyed with its parent
}

TEST_F(WindowTest, CloseRequestsReachOnCloseAndLeaveTheWindowOpen) {
    cProbeWindow parent;
    ASSERT_TRUE(parent.Create(nullptr, 10, 10, 200, 200, WS_POPUP, SW_SHOW));
    cProbeWindow child;
    ASSERT_TRUE(child.Create(parent.hWnd, 0, 0, 50, 50, WS_CHILD, SW_SHOW));

    EXPECT_EQ(SendMessageA(child.hWnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(child.closeRequests, 1);
    EXPECT_TRUE(IsWindow(child.hWnd));

    SendMessageA(child.hWnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(child.closeRequests, 1) << "only Esc is a close request";
    SendMessageA(child.hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(child.closeRequests, 2);
    EXPECT_TRUE(IsWindow(child.hWnd));
    EXPECT_EQ(parent.closeRequests, 0);
    DestroyWindow(parent.hWnd);
}

TEST_F(WindowTest, HandledMessagesSkipTheDefaults) {
    cProbeWindow window;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    window.answers = {{WM_CLOSE, 5}, {WM_KEYDOWN, 6}, {WM_ERASEBKGND, 7}};
    EXPECT_EQ(SendMessageA(window.hWnd, WM_CLOSE, 0, 0), 5);
    EXPECT_EQ(SendMessageA(window.hWnd, WM_KEYDOWN, VK_ESCAPE, 0), 6);
    EXPECT_EQ(window.closeRequests, 0);
    EXPECT_EQ(SendMessageA(window.hWnd, WM_ERASEBKGND, 0, 0), 7);

    // Not handled: nothing is erased (the class brush would make DefWindowProc answer 1).
    window.answers.clear();
    HDC dc = GetDC(window.hWnd);
    EXPECT_EQ(SendMessageA(window.hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(window.hWnd, dc);
    DestroyWindow(window.hWnd);
}

TEST_F(WindowTest, RenderTargetIsMadeOnceAndEachFrameCoversTheClientArea) {
    cProbeWindow window;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    ID2D1DCRenderTarget* target = window.GetRenderTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(window.GetRenderTarget(), target);

    SetWindowPos(window.hWnd, nullptr, 0, 0, 640, 380, SWP_NOMOVE | SWP_NOZORDER);
    HDC dc = GetDC(window.hWnd);
    ASSERT_EQ(window.BeginFrame(dc), target);
    EXPECT_EQ(target->GetPixelSize().width, 640u);
    EXPECT_EQ(target->GetPixelSize().height, 380u);
    EXPECT_TRUE(FinishDraw(window));
    ReleaseDC(window.hWnd, dc);
    EXPECT_EQ(window.BeginFrame(nullptr), nullptr) << "no frame without a DC";
    DestroyWindow(window.hWnd);
}

// Every window's frames reach the screen, a child's over its parent's: the
// controls are child windows drawn over the main window's background.
TEST_F(WindowTest, FramesOfParentAndChildBothReachTheWindow) {
    cProbeWindow parent;
    ASSERT_TRUE(parent.Create(nullptr, 0, 0, 200, 120, WS_POPUP, SW_SHOW));
    cProbeWindow child;
    child.pictureId = 1;  // none: the child is black with its marker square
    ASSERT_TRUE(child.Create(parent.hWnd, 100, 60, 50, 40, WS_CHILD | WS_VISIBLE, SW_SHOW));
    RedrawWindow(parent.hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ASSERT_TRUE(parent.lastFrameDrawn);
    ASSERT_TRUE(child.lastFrameDrawn);

    const COLORREF marker = RGB(0x33, 0xDD, 0xFF);
    HDC dc = GetDC(parent.hWnd);
    EXPECT_EQ(GetPixel(dc, 5, 5), marker) << "the parent's own marker";
    EXPECT_EQ(GetPixel(dc, 105, 65), marker) << "the child's marker, over the parent";
    EXPECT_EQ(GetPixel(dc, 130, 90), RGB(0, 0, 0)) << "the child's cleared area";
    EXPECT_NE(GetPixel(dc, 60, 90), RGB(0, 0, 0)) << "the parent's picture around the child";
    ReleaseDC(parent.hWnd, dc);
    DestroyWindow(parent.hWnd);
}

TEST_F(WindowTest, DestroyedWindowLeavesNoHandle) {
    cProbeWindow window;
    EXPECT_EQ(window.GetRenderTarget(), nullptr) << "no target without a native window";
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    HWND handle = window.hWnd;
    DestroyWindow(handle);
    EXPECT_EQ(window.hWnd, nullptr);
    EXPECT_TRUE(window.Saw(WM_NCDESTROY));
    size_t seen = window.messages.size();
    window.Invalidate();
    UpdateWindow(handle);
    EXPECT_EQ(window.messages.size(), seen);

    // An object that goes before its window takes the window with it, and the
    // window's last messages do not reach the object.
    auto early = std::make_unique<cProbeWindow>();
    ASSERT_TRUE(early->Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    handle = early->hWnd;
    early.reset();
    EXPECT_FALSE(IsWindow(handle));
}

TEST_F(WindowTest, LoadPictureDecodesResourcePictures) {
    cProbeWindow unborn;
    EXPECT_FALSE(unborn.LoadPicture(102)) << "no render target yet";

    cProbeWindow window;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    ComPtr<ID2D1Bitmap> background = window.LoadPicture(102);
    ASSERT_TRUE(background);
    EXPECT_EQ(background->GetPixelSize().width, 640u);
    EXPECT_EQ(background->GetPixelSize().height, 380u);
    ComPtr<ID2D1Bitmap> button = window.LoadPicture(134);
    ASSERT_TRUE(button);
    EXPECT_GT(button->GetPixelSize().width, 0u);

    const WORD unusable[] = {9999, 104};  // missing; present but not a picture
    for (WORD id : unusable) EXPECT_FALSE(window.LoadPicture(id)) << id;
    DestroyWindow(window.hWnd);
}

TEST_F(WindowTest, WindowWithoutItsPictureStillPaints) {
    cProbeWindow window;
    window.pictureId = 9999;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    EXPECT_FALSE(window.picture);
    window.Invalidate();
    UpdateWindow(window.hWnd);
    EXPECT_GT(window.paints, 0);
    EXPECT_TRUE(window.lastFrameDrawn);
    DestroyWindow(window.hWnd);
}

TEST_F(WindowTest, DiscardedRenderTargetIsMadeAgainWithItsResources) {
    cProbeWindow window;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 640, 380, WS_POPUP, SW_SHOW));
    ASSERT_TRUE(window.picture);
    ASSERT_TRUE(window.brush);

    window.DiscardRenderTarget();
    EXPECT_EQ(window.releases, 1);
    EXPECT_FALSE(window.renderTarget);
    EXPECT_FALSE(window.picture);
    EXPECT_FALSE(window.brush);
    window.DiscardRenderTarget();
    EXPECT_EQ(window.releases, 1) << "nothing left to discard";
    EXPECT_EQ(window.recreations, 0);

    ASSERT_NE(window.GetRenderTarget(), nullptr);
    EXPECT_EQ(window.recreations, 1);
    ASSERT_TRUE(window.picture);
    EXPECT_EQ(window.picture->GetPixelSize().width, 640u);
    EXPECT_TRUE(window.brush);
    window.GetRenderTarget();
    EXPECT_EQ(window.recreations, 1);

    window.Invalidate();
    UpdateWindow(window.hWnd);
    EXPECT_TRUE(window.lastFrameDrawn);
    DestroyWindow(window.hWnd);
}

TEST_F(WindowTest, LostFrameIsRepaintedOnANewTarget) {
    cProbeWindow window;
    ASSERT_TRUE(window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW));
    UpdateWindow(window.hWnd);
    int paints = window.paints;

    EXPECT_FALSE(HandleEndDrawResult(window, kTargetLost));
    EXPECT_FALSE(window.renderTarget);
    EXPECT_EQ(window.releases, 1);
    RECT due{};
    EXPECT_TRUE(GetUpdateRect(window.hWnd, &due, FALSE)) << "no repaint asked for";

    UpdateWindow(window.hWnd);
    EXPECT_EQ(window.paints, paints + 1);
    EXPECT_EQ(window.recreations, 1);
    EXPECT_TRUE(window.lastFrameDrawn);
    EXPECT_EQ(window.lostFramesInARow, 0);
    DestroyWindow(window.hWnd);
}

// Ends one frame per result in a window of its own; 5 when each frame counted as
// drawn exactly when its result was a success.
int EndFrames(std::initializer_list<HRESULT> results) {
    cApp app(GetModuleHandleA(nullptr));
    snprintf(app.messageTitle, sizeof app.messageTitle, "framework test");
    theApp = &app;
    int exitCode = 5;
    {
        cProbeWindow window;
        window.Create(nullptr, 0, 0, 100, 100, WS_POPUP, SW_SHOW);
        for (HRESULT result : results) {
            window.GetRenderTarget();
            if (HandleEndDrawResult(window, result) != SUCCEEDED(result)) exitCode = 7;
        }
        DestroyWindow(window.hWnd);
    }
    theApp = nullptr;
    return exitCode;
}

CHILD_SCENARIO(frame_lost) { return EndFrames({kTargetLost}); }
CHILD_SCENARIO(frame_lost_after_good_frames) { return EndFrames({kTargetLost, S_OK, kTargetLost}); }
CHILD_SCENARIO(frame_lost_twice) { return EndFrames({kTargetLost, kTargetLost}); }
CHILD_SCENARIO(frame_failed) { return EndFrames({E_FAIL}); }

TEST(EndOfFrameTest, ErrorMessageOnlyWhenDrawingKeepsFailing) {
    struct Case {
        const char* scenario;
        bool message;
    } cases[] = {
        {"frame_lost", false},
        {"frame_lost_after_good_frames", false},
        {"frame_lost_twice", true},
        {"frame_failed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario(c.scenario));
        if (c.message) {
            MessageBoxInfo box;
            ASSERT_TRUE(child.WaitForMessageBox(box));
            EXPECT_EQ(box.text, "error");
            EXPECT_EQ(box.caption, "framework test");
            ChildProcess::Answer(box, IDOK);
        }
        // A message box that nobody answers keeps the child from ending.
        int exitCode = 0;
        ASSERT_TRUE(child.WaitForExit(15000, exitCode));
        EXPECT_EQ(exitCode, 5);
    }
}

TEST(ColourTest, RgbAndOpacityBecomeFourFloats) {
    struct Case {
        uint32_t rgb;
        float alpha;
        D2D1_COLOR_F expected;
    } cases[] = {
        {0xccFF00, 79 / 100.0f, {0.8f, 1.0f, 0.0f, 0.79f}},
        {0x33DDFF, 1.0f, {0.2f, 221 / 255.0f, 1.0f, 1.0f}},
        {0x000000, 0.0f, {0.0f, 0.0f, 0.0f, 0.0f}},
        {0x7F123456, 0.5f, {0x12 / 255.0f, 0x34 / 255.0f, 0x56 / 255.0f, 0.5f}},  // only the low 24 bits
    };
    for (const Case& c : cases) {
        D2D1_COLOR_F colour = ColourFromRgb(c.rgb, c.alpha);
        EXPECT_FLOAT_EQ(colour.r, c.expected.r) << std::hex << c.rgb;
        EXPECT_FLOAT_EQ(colour.g, c.expected.g) << std::hex << c.rgb;
        EXPECT_FLOAT_EQ(colour.b, c.expected.b) << std::hex << c.rgb;
        EXPECT_FLOAT_EQ(colour.a, c.expected.a) << std::hex << c.rgb;
    }
}

TEST(TextFormatTest, NormalFaceInTheKoreanLocale) {
    ComPtr<IDWriteTextFormat> format = MakeTextFormat(L"Arial", 12.0f);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->GetFontWeight(), DWRITE_FONT_WEIGHT_NORMAL);
    EXPECT_EQ(format->GetFontStyle(), DWRITE_FONT_STYLE_NORMAL);
    EXPECT_EQ(format->GetFontStretch(), DWRITE_FONT_STRETCH_NORMAL);
    EXPECT_FLOAT_EQ(format->GetFontSize(), 12.0f);
    WCHAR text[64] = {};
    format->GetLocaleName(text, 64);
    EXPECT_EQ(std::wstring(text), L"ko-kr");
    format->GetFontFamilyName(text, 64);
    EXPECT_EQ(std::wstring(text), L"Arial");
    EXPECT_FALSE(MakeTextFormat(nullptr, 12.0f));
}

}  // namespace
