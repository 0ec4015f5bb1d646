// The UI description built into the program (resource 104), read as the startup
// sequence, the layout, the buttons, the panel and the progress bar read it.

#include <gtest/gtest.h>

#include <string>

#include "app/cApp.h"
#include "json/cJson.h"
#include "tests/json/NodePath.h"

namespace {

void ExpectBuiltInValues(cJson& document) {
    ASSERT_NE(document.root, nullptr);
    const std::pair<const char*, const char*> texts[] = {
        {"version", "201904221642"},
        {"window-title", "ZENTAV full-client downloader..."},
        {"use-local-resource", "true"},
        {"folder/x", "128"},
        {"folder/y", "343"},
        {"font/value/name", "Arial"},
        {"font/value/size", "12"},
        {"font/value/alpha", "79"},
        {"font/value/color", "0xccFF00"},
        {"font/tag/name", "Arial"},
        {"font/tag/size", "12"},
        {"font/tag/alpha", "79"},
        {"font/tag/color", "0xFFFFFF"},
        {"font/progressbar/name", "Arial"},
        {"font/progressbar/size", "12"},
        {"font/progressbar/alpha", "79"},
        {"font/progressbar/color", "0xFFFFFF"},
        {"font/title/name", "Arial"},
        {"text/tag/time-remaining/name", "Remained"},
        {"text/tag/time-remaining/x", "0"},
        {"text/tag/elapse-time/name", "Elapsed"},
        {"text/tag/elapse-time/x", "120"},
        {"text/tag/total-recv/name", "Transfered"},
        {"text/tag/total-recv/x", "290"},
        {"text/tag/total-size/name", "Total Size"},
        {"text/tag/total-size/x", "445"},
        {"button/launch/x", "312"},
        {"button/launch/y", "335"},
        {"button/launch/disable", "skin/btn_run_di.jpg"},
        {"button/launch/over", "skin/btn_run_mo.jpg"},
        {"button/launch/down", "skin/btn_run_se.jpg"},
        {"button/launch/normal", "skin/btn_run.jpg"},
        {"button/start/x", "390"},
        {"button/start/y", "335"},
        {"button/start/disable", "skin/btn_start_di.jpg"},
        {"button/start/over", "skin/btn_start_mo.jpg"},
        {"button/start/down", "skin/btn_start_se.jpg"},
        {"button/start/normal", "skin/btn_start.jpg"},
        {"button/pause/x", "468"},
        {"button/pause/y", "335"},
        {"button/pause/disable", "skin/btn_stop_di.jpg"},
        {"button/pause/over", "skin/btn_stop_mo.jpg"},
        {"button/pause/down", "skin/btn_stop_se.jpg"},
        {"button/pause/normal", "skin/btn_stop.jpg"},
        {"button/cancel/x", "546"},
        {"button/cancel/y", "335"},
        {"button/cancel/disable", "skin/btn_close_di.jpg"},
        {"button/cancel/over", "skin/btn_close_mo.jpg"},
        {"button/cancel/down", "skin/btn_close_se.jpg"},
        {"button/cancel/normal", "skin/btn_close.jpg"},
        {"button/folder/x", "29"},
        {"button/folder/y", "335"},
        {"button/folder/disable", "skin/btn_folder_di.jpg"},
        {"button/folder/over", "skin/btn_folder_mo.jpg"},
        {"button/folder/down", "skin/btn_folder_se.jpg"},
        {"button/folder/normal", "skin/btn_folder.jpg"},
        {"progressbar/total/x", "30"},
        {"progressbar/total/y", "306"},
        {"progressbar/total/width", "586"},
        {"progressbar/total/height", "18"},
        {"progressbar/total/bg-color", "0x333333"},
        {"progressbar/total/fg-color", "0x33DDFF"},
        {"progressbar/total/draw-rate-text", "true"},
        {"message-box", "(absent)"},
    };
    for (const auto& [path, text] : texts) EXPECT_EQ(TextAt(document.root, path), text) << path;

    // The default folder is a path under c:\MOXI\download\ that keeps its final backslash.
    std::string folder = TextAt(document.root, "folder/default");
    EXPECT_EQ(folder.rfind("c:\\MOXI\\download\\", 0), 0u) << folder;
    EXPECT_EQ(folder.back(), '\\') << folder;

    // The conversions the readers use.
    EXPECT_EQ(NodeAt(document.root, "folder/x")->GetInt(), 128);
    EXPECT_EQ(NodeAt(document.root, "progressbar/total/fg-color")->GetHex(), 0x33DDFF);
    EXPECT_EQ(NodeAt(document.root, "font/value/color")->GetHex(), 0xCCFF00);
    const wchar_t* title = NodeAt(document.root, "window-title")->GetWString();
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, L"ZENTAV full-client downloader...");
}

TEST(JsonBuiltInDescription, LoadsFromTheProgramsOwnModule) {
    ASSERT_EQ(theApp, nullptr);
    cJson document;
    EXPECT_TRUE(document.LoadFromResource());
    ExpectBuiltInValues(document);
}

TEST(JsonBuiltInDescription, LoadsFromTheApplicationRecordsModule) {
    cApp app(GetModuleHandleA(nullptr));
    theApp = &app;
    cJson document;
    ASSERT_TRUE(document.Parse(R"({"stale":"1"})"));
    EXPECT_TRUE(document.LoadFromResource());
    theApp = nullptr;
    EXPECT_EQ(TextAt(document.root, "stale"), "(absent)");
    ExpectBuiltInValues(document);
}

}  // namespace
