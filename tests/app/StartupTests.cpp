// The startup sequence, run in child processes as the program runs it: with the
// UI description of each test (scenario "startup") or as the real program.

#include <gtest/gtest.h>

#include <ole2.h>

#include <cstdlib>
#include <string>

#include "app/Entry.h"
#include "app/Startup.h"
#include "app/cApp.h"
#include "json/cJson.h"
#include "tests/support/ChildProcess.h"

using namespace testing_support;

namespace {

const char kDefaultFolder[] = "c:\\MOXI\\download\\VM_cn_cbt\\";

// The real program, built beside the tests.
std::string ProgramPath() {
    std::string folder = SelfPath();
    for (int level = 0; level < 3; ++level) folder = folder.substr(0, folder.rfind('\\'));  // build folder
    return folder + "\\app\\zentav-downloader.exe";
}

// Reads the UI description from the file that the test names.
bool LoadTestDescription(cJson& document) {
    const char* path = getenv("ZENTAV_TEST_UI_FILE");
    return path && document.Load(path);
}

// The program's body as its entry runs it, without the single-instance guard and
// with the test's UI description.
CHILD_SCENARIO(startup) {
    OleInitialize(nullptr);
    cApp app(GetModuleHandleA(nullptr));
    theApp = &app;
    PrepareWorkFolder(app.workFolder);
    int result = RunStartup(app, LoadTestDescription);
    app.StopManager();
    theApp = nullptr;
    OleUninitialize();
    return result;
}

const char kTitle[] = "startup test window";

// A description the whole layout accepts. It has no transfer information panel,
// so the program never asks a server for its manifest.
std::string Description(const std::string& head) {
    std::string text = "{\n" + head;
    text += R"(
  "folder": { "x": 128, "y": 343, "default": "yes" },
  "font": {
    "value": { "name": "Arial", "size": 12, "alpha": 79, "color": "0xccFF00" },
    "progressbar": { "name": "Arial", "size": 12, "alpha": 79, "color": "0xFFFFFF" }
  },
  "button": {
    "launch": { "x": 312, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "start": { "x": 390, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "pause": { "x": 468, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "cancel": { "x": 546, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" },
    "folder": { "x": 29, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d" }
  },
  "progressbar": {
    "total": { "x": 30, "y": 306, "width": 586, "height": 18, "bg-color": "0x333333", "fg-color": "0x33DDFF", "draw-rate-text": true }
  }
})";
    return text + "\n";
}

const std::string kVersionAndTitle = std::string("  \"version\": \"7\",\n  \"window-title\": \"") + kTitle + "\",\n";

// A run of the "startup" scenario in a temporary folder of its own, which is also
// its temporary folder, so that its working folder lies inside.
struct StartupRun {
    TempFolder temp;
    ChildProcess child;

    std::string WorkFolder() const { return temp.Path() + "PluvoLauncher_Live\\VM_cn_cbt\\"; }

    bool Start(const std::string& description, const char* versionFile = nullptr) {
        if (versionFile) {
            CreateDirectoryA((temp.Path() + "PluvoLauncher_Live").c_str(), nullptr);
            CreateDirectoryA(WorkFolder().c_str(), nullptr);
            if (!WriteFile(WorkFolder() + "version.txt", versionFile)) return false;
        }
        std::string descriptionFile = temp.Path() + "ux.json";
        if (!WriteFile(descriptionFile, description)) return false;
        return child.StartScenario("startup", {"TMP=" + temp.Path(), "TEMP=" + temp.Path(),
                                               "ZENTAV_TEST_UI_FILE=" + descriptionFile});
    }
};

// Asks the window to close, answers the question with OK and expects the exit code 1.
void CloseWithOk(ChildProcess& child, HWND window, const char* caption, const char* question) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(child.WaitForMessageBox(box));
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, question);
    EXPECT_EQ(box.owner, window);
    ChildProcess::Answer(box, IDOK);
    int exitCode = 0;
    ASSERT_TRUE(child.WaitForExit(15000, exitCode));
    EXPECT_EQ(exitCode, 1);
}

TEST(StartupTest, MessageTextsFromTheDescriptionOrTheirDefaults) {
    struct Case {
        const char* description;
        const char* title;
        const char* exit;
        const char* error;
    } cases[] = {
        {R"({ "version": "7" })", "zentav-downloader...", "Are you really going to quit?",
         "network error, try again."},
        {R"({ "message-box": { "exit": "Leave now?" } })", "zentav-downloader...", "Leave now?",
         "network error, try again."},
        {R"({ "message-box": { "error": "E", "title": "T", "exit": "X" } })", "T", "X", "E"},
    };
    for (const Case& c : cases) {
        cJson document;
        ASSERT_TRUE(document.Parse(c.description));
        cApp app(GetModuleHandleA(nullptr));
        ApplyMessageTexts(app, document);
        EXPECT_STREQ(app.messageTitle, c.title) << c.description;
        EXPECT_STREQ(app.exitQuestion, c.exit) << c.description;
        EXPECT_STREQ(app.networkErrorText, c.error) << c.description;
    }
}

TEST(StartupTest, WindowIsPlacedTitledAndAsksBeforeQuitting) {
    StartupRun run;
    ASSERT_TRUE(run.Start(Description(kVersionAndTitle +
                                      R"(  "message-box": { "title": "Startup test", "exit": "Stop the test?" },)")));
    HWND window = run.child.FindWindowByTitle(kTitle);
    ASSERT_NE(window, nullptr) << "no window titled " << kTitle;

    RECT rect{};
    GetWindowRect(window, &rect);
    int32_t margin = (GetSystemMetrics(SM_CYSCREEN) - 380) / 2;
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 640) / 2);
    EXPECT_EQ(rect.top, margin + margin / 10);
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 380);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0) << "the window has a frame";

    // Cancel keeps the program running; OK ends it with 1.
    PostMessageA(window, WM_CLOSE, 0, 0);
    MessageBoxInfo box;
    ASSERT_TRUE(run.child.WaitForMessageBox(box));
    EXPECT_EQ(box.text, "Stop the test?");
    ChildProcess::Answer(box, IDCANCEL);
    Sleep(500);
    EXPECT_TRUE(run.child.Running());
    EXPECT_TRUE(IsWindow(window));
    CloseWithOk(run.child, window, "Startup test", "Stop the test?");
}

TEST(StartupTest, DescriptionThatCannotBeLoadedEndsTheProgram) {
    struct Case {
        const char* name;
        const char* description;  // null: the file is missing
    } cases[] = {
        {"not an object", "[ 1, 2 ]"},
        {"empty", ""},
        {"missing", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        std::string file = temp.Path() + "ux.json";
        if (c.description) {
            ASSERT_TRUE(WriteFile(file, c.description));
        }
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario("startup", {"TMP=" + temp.Path(), "TEMP=" + temp.Path(),
                                                    "ZENTAV_TEST_UI_FILE=" + file}));
        MessageBoxInfo box;
        ASSERT_TRUE(child.WaitForMessageBox(box));
        EXPECT_EQ(box.text, "cApp::OnExecute :: file(ux.json) loading error (-22)");
        EXPECT_EQ(box.caption, "");  // before the description's texts
        EXPECT_EQ(box.owner, nullptr);
        ChildProcess::Answer(box, IDOK);
        int exitCode = -5;
        ASSERT_TRUE(child.WaitForExit(15000, exitCode));
        EXPECT_EQ(exitCode, 0);
    }
}

TEST(StartupTest, DescriptionWithoutVersionEndsTheProgram) {
    StartupRun run;
    ASSERT_TRUE(run.Start(Description(std::string("  \"window-title\": \"") + kTitle +
                                      R"(",  "message-box": { "title": "Startup test" },)")));
    MessageBoxInfo box;
    ASSERT_TRUE(run.child.WaitForMessageBox(box));
    EXPECT_EQ(box.text, "cApp::CheckVersion :: version check error(-41)");
    EXPECT_EQ(box.caption, "") << "the texts are taken after the version check";
    EXPECT_EQ(box.owner, nullptr);
    ChildProcess::Answer(box, IDOK);
    int exitCode = -5;
    ASSERT_TRUE(run.child.WaitForExit(15000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(FileExists(run.WorkFolder() + "version.txt")) << "the window was laid out";
}

TEST(StartupTest, DescriptionWithoutTitleEndsWithoutMessageLoop) {
    StartupRun run;
    ASSERT_TRUE(run.Start(Description("  \"version\": \"7\",")));
    // Nobody closes the window: only a run without a message loop ends by itself.
    int exitCode = -5;
    ASSERT_TRUE(run.child.WaitForExit(20000, exitCode)) << "the program waits in a message loop";
    EXPECT_EQ(exitCode, 0);
    // The window had been created and laid out.
    EXPECT_EQ(ReadFile(run.WorkFolder() + "version.txt"), std::string("7\n") + kDefaultFolder);
}

TEST(StartupTest, DownloadFolderComesBackFromTheVersionFile) {
    TempFolder client;  // the restored download folder lies in here
    const std::string restored = client.Path() + "Client\\Sub\\";
    struct Case {
        const char* name;
        std::string versionFile;  // empty: no file
        std::string folder;       // the download folder afterwards
    } cases[] = {
        {"folder restored", "201904221642\n" + restored, restored},
        {"no file", "", kDefaultFolder},
        {"first line only", "201904221642", kDefaultFolder},
        {"empty second line", "201904221642\n", kDefaultFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartupRun run;
        ASSERT_TRUE(run.Start(Description(kVersionAndTitle),
                              c.versionFile.empty() ? nullptr : c.versionFile.c_str()));
        HWND window = run.child.FindWindowByTitle(kTitle);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(FolderExists(c.folder));
        if (c.folder == restored) {
            EXPECT_TRUE(FolderExists(client.Path() + "Client"));
        }
        // Rewritten by the layout: this run's version, one line feed, the folder, nothing after it.
        EXPECT_EQ(ReadFile(run.WorkFolder() + "version.txt"), "7\n" + c.folder);
        CloseWithOk(run.child, window, "zentav-downloader...", "Are you really going to quit?");
    }
}

TEST(StartupTest, RunningProgramRefusesASecondOne) {
    TempFolder temp;
    std::vector<std::string> environment = {"TMP=" + temp.Path(), "TEMP=" + temp.Path()};
    ChildProcess first;
    ASSERT_TRUE(first.Start("\"" + ProgramPath() + "\"", environment));
    ASSERT_NE(first.FindWindowByTitle("ZENTAV full-client downloader..."), nullptr) << ProgramPath();

    ChildProcess second;
    ASSERT_TRUE(second.Start("\"" + ProgramPath() + "\"", environment));
    MessageBoxInfo box;
    ASSERT_TRUE(second.WaitForMessageBox(box));
    EXPECT_EQ(box.text, "The downloader is already running.");
    EXPECT_EQ(box.caption, "zentav-downloader...");
    EXPECT_EQ(box.owner, nullptr);
    ChildProcess::Answer(box, IDOK);
    int exitCode = -5;
    ASSERT_TRUE(second.WaitForExit(15000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(first.Running());
    first.Kill();
}

}  // namespace
