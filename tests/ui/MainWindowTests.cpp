// The main window: its size and place from the background picture, the folder
// text's place, font and colour from the UI description with the default folder,
// dragging, the quit message, painting and a lost render target.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/cApp.h"
#include "json/cJson.h"
#include "tests/support/ChildProcess.h"
#include "tests/ui/RecordFixture.h"
#include "ui/main/cWinMain.h"

using namespace testing_support;

namespace {

const char kDefaultFolder[] = "c:\\MOXI\\download\\VM_cn_cbt\\";

// The settings of the buttons and the progress bar, without which the layout fails.
const char kControls[] = R"(,
  "button": {
    "launch": { "x": 312, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "start": { "x": 390, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "pause": { "x": 468, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "cancel": { "x": 546, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "folder": { "x": 29, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" }
  },
  "progressbar": {
    "total": { "x": 30, "y": 306, "width": 586, "height": 18, "bg-color": "0x333333", "fg-color": "0x33DDFF", "draw-rate-text": true }
  })";
const char kProgressBarFont[] = R"("progressbar": { "name": "Arial", "size": 12, "alpha": 79, "color": "0xFFFFFF" })";

// A description of the two blocks this window reads itself, with the controls'
// settings (the information panel's are left out: no manifest is asked for).
std::string Description(const std::string& folder, const std::string& fontValue) {
    std::string text = "{\n  \"version\": \"201904221642\"";
    if (!folder.empty()) text += ",\n  \"folder\": {" + folder + "}";
    text += ",\n  \"font\": {" + std::string(kProgressBarFont);
    if (!fontValue.empty()) text += ", \"value\": {" + fontValue + "}";
    text += "}";
    return text + kControls + "\n}\n";
}

const char kFont[] = R"("name": "Arial", "size": 12, "bold": 500, "alpha": 79, "color": "0xccFF00")";

// A record working in a fresh folder, and the description the window reads.
struct MainWindowTest : RecordInTempFolder {
    cJson document;

    MainWindowTest() : RecordInTempFolder("main window test") {}
    void TearDown() override {
        RecordInTempFolder::TearDown();
        EXPECT_EQ(cWindow::windowCount, 0);
    }

    void SetDownloadFolder(const char* folder) {
        snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", folder);
        MultiByteToWideChar(CP_ACP, 0, folder, -1, app.downloadFolderWide, 260);
    }
};

// The centring rule, also where the picture does not fit the screen (divisions
// truncate towards zero).
TEST(MainWindowPlacementTest, CentredAcrossAndATenthOfTheMarginBelowTheMiddle) {
    struct Case {
        int32_t screenWidth, screenHeight, width, height;
        LONG x, y;
    } cases[] = {
        {1920, 1080, 640, 380, 640, 385},
        {1280, 1024, 640, 380, 320, 354},
        {640, 380, 640, 380, 0, 0},
        {601, 301, 640, 380, -19, -42},
    };
    for (const Case& c : cases) {
        POINT position = MainWindowPosition(c.screenWidth, c.screenHeight, c.width, c.height);
        EXPECT_EQ(position.x, c.x) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(position.y, c.y) << c.screenWidth << "x" << c.screenHeight;
    }
}

TEST_F(MainWindowTest, TakesTheBackgroundsSizeAndItsPlaceOnTheScreen) {
    ASSERT_TRUE(document.Parse(Description("", "").c_str()));
    cWinMain window(document);
    ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));
    ASSERT_TRUE(window.background);
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.height, 380);
    int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int32_t margin = (GetSystemMetrics(SM_CYSCREEN) - 380) / 2;
    EXPECT_EQ(window.x, (screenWidth - 640) / 2);
    EXPECT_EQ(window.y, margin + margin / 10);

    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_EQ(std::string(current) + "\\", temp.Path()) << "the resource folder is not current";

    // Every point of the window's own surface drags it.
    EXPECT_EQ(SendMessageA(window.hWnd, WM_NCHITTEST, 0, MAKELPARAM(window.x + 300, window.y + 200)), HTCAPTION);
    DestroyWindow(window.hWnd);
}

TEST_F(MainWindowTest, FolderTextAndDefaultFolderFromTheDescription) {
    struct Case {
        const char* name;
        std::string folder;      // members of "folder"
        std::string fontValue;   // members of "font" / "value"
        const char* known;       // download folder before the layout
        D2D1_RECT_F rect;
        const char* folderAfter;
        bool font;
    } cases[] = {
        {"complete", R"("x": 128, "y": 343, "default": "yes")", kFont, "", {128, 343, 301, 362}, kDefaultFolder,
         true},
        {"folder already known", R"("default": "yes", "x": 128, "y": 343)", kFont, "D:\\Client\\",
         {128, 343, 301, 362}, "D:\\Client\\", true},
        {"no default", R"("x": 128, "y": 343)", kFont, "", {0, 0, 0, 0}, "", true},
        {"default without y", R"("x": 50, "default": "yes")", kFont, "", {50, 0, 223, 0}, kDefaultFolder, true},
        {"no folder block", "", kFont, "", {0, 0, 0, 0}, "", true},
        {"font without colour", R"("x": 128, "y": 343, "default": "yes")",
         R"("name": "Arial", "size": 12, "alpha": 79)", "", {128, 343, 301, 362}, kDefaultFolder, false},
        {"font without name", R"("x": 128, "y": 343, "default": "yes")",
         R"("size": 12, "alpha": 79, "color": "0xccFF00")", "", {128, 343, 301, 362}, kDefaultFolder, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDownloadFolder(c.known);
        ASSERT_TRUE(document.Parse(Description(c.folder, c.fontValue).c_str()));
        cWinMain window(document);
        ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));

        EXPECT_FLOAT_EQ(window.folderTextRect.left, c.rect.left);
        EXPECT_FLOAT_EQ(window.folderTextRect.top, c.rect.top);
        EXPECT_FLOAT_EQ(window.folderTextRect.right, c.rect.right);
        EXPECT_FLOAT_EQ(window.folderTextRect.bottom, c.rect.bottom);
        EXPECT_STREQ(app.downloadFolder, c.folderAfter);
        if (strcmp(c.folderAfter, kDefaultFolder) == 0) {
            EXPECT_TRUE(FolderExists("c:\\MOXI\\download\\VM_cn_cbt"));
        }
        EXPECT_EQ(ReadFile(temp.Path() + "version.txt"), std::string("201904221642\n") + c.folderAfter);

        EXPECT_EQ(bool(window.folderTextFormat), c.font);
        EXPECT_EQ(bool(window.folderTextBrush), c.font);
        if (c.font && window.folderTextFormat && window.folderTextBrush) {
            EXPECT_FLOAT_EQ(window.folderTextFormat->GetFontSize(), 12.0f);
            WCHAR family[32] = {};
            window.folderTextFormat->GetFontFamilyName(family, 32);
            EXPECT_EQ(std::wstring(family), L"Arial");
            D2D1_COLOR_F colour = window.folderTextBrush->GetColor();
            EXPECT_FLOAT_EQ(colour.r, 0.8f);
            EXPECT_FLOAT_EQ(colour.g, 1.0f);
            EXPECT_FLOAT_EQ(colour.b, 0.0f);
            EXPECT_FLOAT_EQ(colour.a, 0.79f);
        }
        // Painting does not depend on the folder text being drawable.
        window.Invalidate();
        UpdateWindow(window.hWnd);
        EXPECT_EQ(window.lostFramesInARow, 0);
        DestroyWindow(window.hWnd);
        SetDownloadFolder("");
    }
}

TEST_F(MainWindowTest, LostRenderTargetBringsBackPictureAndBrush) {
    ASSERT_TRUE(document.Parse(Description(R"("x": 128, "y": 343, "default": "yes")", kFont).c_str()));
    SetDownloadFolder("D:\\Client\\");
    cWinMain window(document);
    ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));
    IDWriteTextFormat* format = window.folderTextFormat.Get();
    ASSERT_TRUE(window.background);
    ASSERT_TRUE(window.folderTextBrush);

    window.DiscardRenderTarget();
    EXPECT_FALSE(window.background);
    EXPECT_FALSE(window.folderTextBrush);
    EXPECT_EQ(window.folderTextFormat.Get(), format) << "a text format does not belong to a render target";

    window.Invalidate();
    UpdateWindow(window.hWnd);
    ASSERT_TRUE(window.renderTarget);
    ASSERT_TRUE(window.background);
    EXPECT_EQ(window.background->GetPixelSize().width, 640u);
    ASSERT_TRUE(window.folderTextBrush);
    D2D1_COLOR_F colour = window.folderTextBrush->GetColor();
    EXPECT_FLOAT_EQ(colour.g, 1.0f);
    EXPECT_FLOAT_EQ(colour.a, 0.79f);
    DestroyWindow(window.hWnd);
}

TEST_F(MainWindowTest, DestroyingTheWindowEndsTheLoopWithOne) {
    ASSERT_TRUE(document.Parse(Description("", "").c_str()));
    MSG quit{};
    {
        cWinMain window(document);
        ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));
        DestroyWindow(window.hWnd);
        EXPECT_EQ(window.hWnd, nullptr);
        ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(quit.wParam, 1u);
    }
    // An object destroyed while its window still exists (after a failed layout) takes
    // the window along without posting another quit.
    HWND handle = nullptr;
    {
        cWinMain window(document);
        ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));
        handle = window.hWnd;
    }
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
