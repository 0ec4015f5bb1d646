// The main window's manifest loading against a server of this program on
// 127.0.0.1 (the four situations, the version comparison, replies that are not a
// manifest, the files between fetching and replacing), the layout failure, and the
// actions that need no network: the free-space rule with its message, pause and
// cancel without a run, launch without an executable, and the folder dialog's rules.
// What ends the process or shows a message box runs in a child process.

#include "tests/ui/LoopbackServer.h"  // before windows.h: it needs winsock2.h first

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "engine/cMgrDownloader.h"
#include "json/cJson.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/ActionButtons.h"
#include "ui/controls/FreeSpace.h"
#include "ui/controls/cBtnFolder.h"
#include "ui/main/cWinMain.h"

using namespace control_tests;
using namespace testing_support;

namespace {

std::string Narrow(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) result += static_cast<char>(*text);
    return result;
}

std::string Manifest(const std::string& version, const std::string& total) {
    return "{\n  \"Version\": " + version + ",\n  \"TotalSize\": " + total +
           ",\n  \"FileCount\": 0,\n  \"Files\": [\n  ]\n}\n";
}

const char kNotAnEntry[] = "\x01";  // marks "no such file" in the tables below

// Runs `scenario` in a child process working in `folder`: it must show one box with
// `text` (caption "child test"), and end with `exitCode` once the box is answered.
void ExpectOneBoxThenExit(const char* scenario, const std::string& folder, const char* text, int exitCode) {
    ChildProcess child;
    ASSERT_TRUE(child.StartScenario(scenario, {"ZENTAV_TEST_FOLDER=" + folder}));
    MessageBoxInfo box;
    ASSERT_TRUE(child.WaitForMessageBox(box, 30000));
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "child test");
    ChildProcess::Answer(box, IDOK);
    int exitCodeSeen = 0;
    ASSERT_TRUE(child.WaitForExit(30000, exitCodeSeen));
    EXPECT_EQ(exitCodeSeen, exitCode);
}

// A record working in a fresh folder, with a server of its own.
struct ManifestTest : ControlTest {
    cLoopbackServer server;
    cJson description;
    std::mutex seenLock;
    std::vector<std::string> localCopyAtRequest;  // file.json at each request (kNotAnEntry: absent)

    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(server.Start());
        snprintf(app.serverBaseUrl, sizeof app.serverBaseUrl, "%s", server.BaseUrl().c_str());
        server.onRequest = [this] {
            std::string path = temp.Path() + "file.json";
            std::lock_guard<std::mutex> hold(seenLock);
            localCopyAtRequest.push_back(FileExists(path) ? ReadFile(path) : kNotAnEntry);
        };
    }
    void TearDown() override {
        server.Stop();
        ControlTest::TearDown();
    }
    std::string Local(const char* name) {
        std::string path = temp.Path() + name;
        return FileExists(path) ? ReadFile(path) : kNotAnEntry;
    }
};

// The four situations of the table and the version comparison (signed 32-bit), with
// the total size into the main window and the panel.
TEST_F(ManifestTest, FourSituationsAndTheVersionComparison) {
    const std::string v5 = Manifest("5", "1572864000");
    const std::string v6 = Manifest("6", "5368709120");
    const std::string v7 = Manifest("7", "1048576");
    struct Case {
        const char* what;
        std::string local;  // kNotAnEntry: none
        std::string served;
        int requests;
        bool serversCopy;   // file.json afterwards: the server's (else the local one)
        int64_t total;
        const char* totalText;
    } cases[] = {
        {"no local copy", kNotAnEntry, v6, 1, true, 5368709120, "5120.0 MBytes"},
        {"local copy without Version", "{\"TotalSize\": 3}", v6, 2, true, 5368709120, "5120.0 MBytes"},
        {"local 5, server 6", v5, v6, 1, true, 5368709120, "5120.0 MBytes"},
        {"local 7, server 6", v7, v6, 1, false, 1048576, "1.0 MBytes"},
        {"equal versions", v5, Manifest("5", "99"), 1, false, 1572864000, "1500.0 MBytes"},
        {"local -1, server 1", Manifest("-1", "1"), Manifest("1", "0"), 1, true, 0, "0.0 MBytes"},
        {"local highest, server lowest", Manifest("2147483647", "1"), Manifest("-2147483648", "2"), 1, false, 1,
         "0.0 MBytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(temp.Path() + "file.json");
        if (c.local != kNotAnEntry) {
            ASSERT_TRUE(WriteFile(temp.Path() + "file.json", c.local));
        }
        server.body = c.served;
        server.requests = 0;
        cWinMain window(description);
        window.LoadDownloadInfo();
        EXPECT_EQ(server.requests, c.requests);
        EXPECT_EQ(Local("file.json"), c.serversCopy ? c.served : c.local);
        EXPECT_EQ(Local("fileT.json"), kNotAnEntry) << "the fresh copy remains";
        EXPECT_EQ(window.totalSize, c.total);
        EXPECT_EQ(Narrow(window.downloadInfo.valueTexts[cWinDownloadInfo::kTotalSize]), c.totalText);
    }
    EXPECT_NE(server.lastRequest.find("GET /client/file.json "), std::string::npos) << server.lastRequest;
}

// A reply that is not a complete manifest never replaces a complete local copy; a
// local copy that is not complete gives way to a complete reply. Nothing crashes,
// and the total comes from the copy that stays.
TEST_F(ManifestTest, RepliesThatAreNotAManifest) {
    const std::string good = Manifest("5", "1572864000");
    struct Case {
        const char* what;
        std::string local;
        std::string served;
        bool serversCopy;
        int64_t total;
    } cases[] = {
        {"not JSON", good, "<html>502 Bad Gateway</html>", false, 1572864000},
        {"an array", good, "[1, 2, 3]", false, 1572864000},
        {"without Version", good, "{\"TotalSize\": 7}", false, 1572864000},
        {"without TotalSize", good, "{\"Version\": 9}", false, 1572864000},
        {"cut short", good, good.substr(0, good.size() / 2), false, 1572864000},
        {"local without TotalSize", "{\"Version\": 5}", Manifest("5", "2048"), true, 2048},
        {"local not JSON", "garbage", Manifest("1", "4096"), true, 4096},
        {"neither is a manifest", "{\"Version\": 5}", "{\"Version\": 6}", false, 0},
        {"no local copy, reply not a manifest", kNotAnEntry, "{}", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(temp.Path() + "file.json");
        if (c.local != kNotAnEntry) {
            ASSERT_TRUE(WriteFile(temp.Path() + "file.json", c.local));
        }
        server.body = c.served;
        cWinMain window(description);
        window.LoadDownloadInfo();
        EXPECT_EQ(Local("file.json"), c.serversCopy ? c.served : c.local);
        EXPECT_EQ(Local("fileT.json"), kNotAnEntry);
        EXPECT_EQ(window.totalSize, c.total);
    }
}

// Between fetching the fresh copy and replacing the local one, file.json is the
// complete local copy: a program stopped there (while the fresh copy is on its way,
// or with it left beside file.json) still has a manifest, and the next run finds the
// leftover fresh copy harmless.
TEST_F(ManifestTest, LocalCopyStaysWholeUntilReplacedInOneStep) {
    const std::string v5 = Manifest("5", "1572864000");
    const std::string v6 = Manifest("6", "5368709120");
    ASSERT_TRUE(WriteFile(temp.Path() + "file.json", v5));
    ASSERT_TRUE(WriteFile(temp.Path() + "fileT.json", "{\"Version\": 99, \"TotalSize\": 1, \"left\": \"by a stop\"}"));
    server.body = v6;
    cWinMain window(description);
    window.LoadDownloadInfo();
    ASSERT_EQ(localCopyAtRequest.size(), 1u);
    EXPECT_EQ(localCopyAtRequest[0], v5) << "file.json while the fresh copy was fetched";
    EXPECT_EQ(Local("file.json"), v6);
    EXPECT_EQ(Local("fileT.json"), kNotAnEntry);
}

// The scenarios in a child process: the folders and the server's URL come through
// the environment.
void ChildRecord(cApp& app) {
    snprintf(app.workFolder, sizeof app.workFolder, "%s", getenv("ZENTAV_TEST_FOLDER"));
    app.resourceFolder = app.workFolder;
    snprintf(app.messageTitle, sizeof app.messageTitle, "child test");
    snprintf(app.version, sizeof app.version, "201904221642");
    const char* url = getenv("ZENTAV_TEST_URL");
    snprintf(app.serverBaseUrl, sizeof app.serverBaseUrl, "%s", url ? url : "");
    const char* folder = getenv("ZENTAV_TEST_DOWNLOAD_FOLDER");
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", folder ? folder : "");
    theApp = &app;
}

CHILD_SCENARIO(LoadManifest) {
    cApp app(GetModuleHandleA(nullptr));
    ChildRecord(app);
    cJson description;
    cWinMain window(description);
    window.LoadDownloadInfo();
    theApp = nullptr;
    return 55;  // the loading came back instead of ending the process
}

// A failed fetch ends the program with its message, and the local copy stays whole.
TEST_F(ManifestTest, FailedFetchEndsTheProgramAndKeepsTheLocalCopy) {
    const std::string good = Manifest("5", "1572864000");
    cLoopbackServer closed;  // a port that nobody listens on any more
    ASSERT_TRUE(closed.Start());
    std::string closedUrl = closed.BaseUrl();
    closed.Stop();
    struct Case {
        const char* what;
        std::string url;
        std::string served;
        bool freshIsFolder;  // fileT.json cannot be written
        std::vector<std::string> texts;
        int exitCode;
    } cases[] = {
        {"server unreachable", closedUrl, "", false,
         {"Currently you are not able to reach the server.\nPlease check your network and retry again."}, -11},
        {"empty reply", server.BaseUrl(), "", false, {"cWinMain::LoadDownloadInfo :: network error, try again..."}, 0},
        {"fresh copy cannot be written", server.BaseUrl(), Manifest("6", "1"), true,
         {"cHttp::OnExecute :: file open error (-31)", "cWinMain::LoadDownloadInfo :: network error, try again..."},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFile(temp.Path() + "file.json", good));
        RemoveTree(temp.Path() + "fileT.json");
        if (c.freshIsFolder) {
            ASSERT_TRUE(CreateDirectoryA((temp.Path() + "fileT.json").c_str(), nullptr));
        }
        server.body = c.served;
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario("LoadManifest", {"ZENTAV_TEST_FOLDER=" + temp.Path(), "ZENTAV_TEST_URL=" + c.url}));
        for (const std::string& text : c.texts) {
            MessageBoxInfo box;
            ASSERT_TRUE(child.WaitForMessageBox(box, 30000)) << "no box: " << text;
            EXPECT_EQ(box.text, text);
            EXPECT_EQ(box.caption, "child test");
            ChildProcess::Answer(box, IDOK);
            // The next box is a new one: wait until this one has gone.
            for (int i = 0; i < 500 && IsWindow(box.window); ++i) Sleep(10);
        }
        int exitCode = 0;
        ASSERT_TRUE(child.WaitForExit(30000, exitCode));
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_EQ(Local("file.json"), good);
        RemoveTree(temp.Path() + "fileT.json");
    }
}

// A description whose "button" lacks "pause": the layout fails after launch and start
// were read, no child window is made, and the loop ends with -1 after the message.
CHILD_SCENARIO(LayoutWithoutPause) {
    cApp app(GetModuleHandleA(nullptr));
    ChildRecord(app);
    cJson description;
    if (!description.Parse(R"({"button": {
          "launch": {"x": 312, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d"},
          "start": {"x": 390, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d"},
          "cancel": {"x": 546, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d"},
          "folder": {"x": 29, "y": 335, "normal": "a", "over": "b", "down": "c", "disable": "d"}},
        "progressbar": {"total": {"x": 30, "y": 306, "width": 586, "height": 18, "bg-color": "0x333333",
          "fg-color": "0x33DDFF", "draw-rate-text": true}}})")) {
        return 70;
    }
    cWinMain window(description);
    app.mainWindow = &window;
    window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    bool readBeforeTheGap = window.btnLaunch.x == 312 && window.btnStart.x == 390 && window.btnCancel.x == 0;
    bool noChildren = !window.btnLaunch.hWnd && !window.btnStart.hWnd && !window.btnFolder.hWnd &&
                      !window.progressBar.hWnd && !window.downloadInfo.hWnd;
    app.mainWindow = nullptr;
    theApp = nullptr;
    if (!readBeforeTheGap) return 71;
    if (!noChildren) return 72;
    return static_cast<int>(message.wParam);
}

TEST_F(ControlTest, LayoutFailureShowsItsMessageAndEndsWithMinusOne) {
    ExpectOneBoxThenExit("LayoutWithoutPause", temp.Path(), "cWinMain::OnCreate :: ux-json error (-21)", -1);
}

// The start refused for too little space: the message names the folder's drive,
// and no button, no bar and no manager changes.
CHILD_SCENARIO(StartWithoutRoom) {
    cApp app(GetModuleHandleA(nullptr));
    ChildRecord(app);
    cJson description;
    cWinMain window(description);
    app.mainWindow = &window;
    window.totalSize = atoll(getenv("ZENTAV_TEST_TOTAL"));
    window.progressBar.barWidth = 586;
    window.progressBar.SetRate(4200);
    window.btnPause.SetState(cButton::disable);
    window.btnStart.StartRun(atoll(getenv("ZENTAV_TEST_AVAILABLE")));
    bool unchanged = window.btnStart.state == cButton::normal && window.btnFolder.state == cButton::normal &&
                     window.btnPause.state == cButton::disable && window.progressBar.rate == 4200 && !app.manager;
    app.mainWindow = nullptr;
    theApp = nullptr;
    return unchanged ? 0 : 73;
}

TEST_F(ControlTest, StartRefusedForTooLittleSpaceWithItsMessage) {
    struct Case {
        const char* folder;
        const char* available;
        const char* total;
        const char* drive;
    } cases[] = {
        {"D:\\Games\\", "1000", "1000", "D:"},
        {"C:\\MOXI\\download\\VM_cn_cbt\\", "0", "0", "C:"},
        {"E", "5", "9223372036854775807", "E"},
        {"", "-1", "0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario(
            "StartWithoutRoom", {"ZENTAV_TEST_FOLDER=" + temp.Path(), std::string("ZENTAV_TEST_DOWNLOAD_FOLDER=") + c.folder,
                                 std::string("ZENTAV_TEST_AVAILABLE=") + c.available,
                                 std::string("ZENTAV_TEST_TOTAL=") + c.total}));
        MessageBoxInfo box;
        ASSERT_TRUE(child.WaitForMessageBox(box, 30000));
        EXPECT_EQ(box.text, std::string("This disk drive(") + c.drive +
                                ") does not have enough capacity.\nPlease change the download folder or free up "
                                "capacity.   ");
        EXPECT_EQ(box.caption, "Downloader - ZENTAV ...");
        ChildProcess::Answer(box, IDOK);
        int exitCode = -100;
        ASSERT_TRUE(child.WaitForExit(30000, exitCode));
        EXPECT_EQ(exitCode, 0) << "the refused start changed something";
    }
}

TEST(FreeSpaceTest, StrictlyMoreThanRequired) {
    struct Case {
        int64_t available, required;
        bool room;
    } cases[] = {
        {1001, 1000, true}, {1000, 1000, false}, {999, 1000, false}, {1, 0, true}, {0, 0, false},
        {INT64_MAX, INT64_MAX - 1, true}, {INT64_MAX, INT64_MAX, false}, {0, -1, true},
    };
    for (const Case& c : cases) EXPECT_EQ(HasRoomFor(c.available, c.required), c.room) << c.available;

    int64_t bytes = -1;
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    EXPECT_TRUE(AvailableBytes(folder, bytes));
    EXPECT_GT(bytes, 0);
    EXPECT_FALSE(AvailableBytes("Q:\\no\\such\\folder\\", bytes));
    EXPECT_EQ(bytes, 0);
    EXPECT_FALSE(AvailableBytes(nullptr, bytes));
}

// Pause and cancel without a run or a main window: states only, nothing breaks.
TEST_F(ControlTest, PauseAndCancelWithoutARun) {
    cJson description;
    cWinMain window(description);
    app.mainWindow = &window;
    window.btnStart.SetState(cButton::disable);
    window.btnFolder.SetState(cButton::disable);
    window.btnPause.SetState(cButton::normal);
    window.progressBar.barWidth = 586;
    window.progressBar.SetRate(3000);
    window.btnPause.OnExecute();
    EXPECT_EQ(window.btnPause.state, cButton::disable);
    EXPECT_EQ(window.btnStart.state, cButton::normal);
    EXPECT_EQ(window.btnFolder.state, cButton::normal);
    EXPECT_EQ(window.btnLaunch.state, cButton::normal) << "launch is not touched by pause";
    EXPECT_EQ(window.progressBar.rate, 3000) << "the bar keeps its value";
    EXPECT_EQ(app.manager, nullptr);
    app.mainWindow = nullptr;

    cBtnPause pause;
    pause.OnExecute();
    EXPECT_EQ(pause.state, cButton::disable);
    cBtnCancel cancel;
    cancel.OnExecute();  // no main window to ask
    EXPECT_EQ(cancel.state, cButton::normal);
}

CHILD_SCENARIO(LaunchWithoutExecutable) {
    cApp app(GetModuleHandleA(nullptr));
    ChildRecord(app);
    cBtnLaunch launch;
    launch.OnExecute();
    theApp = nullptr;
    return 56;  // came back instead of ending the process
}

TEST_F(ControlTest, LaunchWithoutExecutableWarnsAndEndsWithOne) {
    ExpectOneBoxThenExit("LaunchWithoutExecutable", temp.Path(),
                         "cBtnLaunch::OnExecute :: can't find an executable module.", 1);
}

TEST(FolderSpaceLineTest, RequiredAndFreeInGigabytes) {
    const int64_t GiB = 1073741824;
    struct Case {
        int64_t required, available;
        bool known;
        const char* text;
    } cases[] = {
        {5 * GiB, 100 * GiB, true, "At least 5.000GB is required.\nYour free space : 100.000GB"},
        {0, GiB / 2, true, "At least 0.000GB is required.\nYour free space : 0.500GB"},
        {1572864000, 0, false, "At least 1.465GB is required.\nYour free space : unknown"},
        {INT64_MAX, INT64_MAX, true,
         "At least 8589934592.000GB is required.\nYour free space : 8589934592.000GB"},
    };
    for (const Case& c : cases) {
        char text[256];
        FormatSpaceLine(text, c.required, c.available, c.known);
        EXPECT_STREQ(text, c.text);
    }
}

// The dialog's callback against a window that plays the dialog: it records what
// the callback sends, and has the title control among its children.
struct FolderDialogTest : ControlTest {
    cProbeWindow dialog;
    HWND title = nullptr;
    cJson description;
    cWinMain* window = nullptr;

    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(dialog.Create(parent.hWnd, 0, 0, 300, 200, WS_CHILD, SW_SHOW));
        CreateWindowExA(0, "STATIC", "Choose a folder", WS_CHILD, 0, 0, 200, 20, dialog.hWnd, nullptr, nullptr,
                        nullptr);
        title = CreateWindowExA(0, "STATIC", "_cBtnFolder_", WS_CHILD, 0, 30, 200, 40, dialog.hWnd, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(title);
        window = new cWinMain(description);
        app.mainWindow = window;
    }
    void TearDown() override {
        app.mainWindow = nullptr;
        delete window;
        cBtnFolder::titleControl = nullptr;
        if (dialog.hWnd) DestroyWindow(dialog.hWnd);
        ControlTest::TearDown();
    }
    int OkDisabled() const {
        int count = 0;
        for (UINT message : dialog.messages) count += message == BFFM_ENABLEOK;
        return count;
    }
    std::string Title() const {
        char text[256] = {};
        GetWindowTextA(title, text, sizeof text);
        return text;
    }
};

TEST_F(FolderDialogTest, OkTakenAwayForARootAndForTooLittleSpace) {
    std::string folder = temp.Path().substr(0, temp.Path().size() - 1);
    cBtnFolder::titleControl = title;
    struct Case {
        const char* what;
        std::string path;
        int64_t required;
        bool okDisabled;
        const char* titleStart;
    } cases[] = {
        {"a folder with room", folder, 0, false, "At least 0.000GB is required.\nYour free space : "},
        {"a drive's root", "C:\\", 0, true, "At least 0.000GB is required.\nYour free space : "},
        {"no file-system path", "", 0, true, "At least 0.000GB is required.\nYour free space : unknown"},
        {"too little room", folder, INT64_MAX, true, "At least 8589934592.000GB is required."},
        {"a drive that is not there", "Q:\\nothing\\here", 0, true,
         "At least 0.000GB is required.\nYour free space : unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->totalSize = c.required;
        dialog.messages.clear();
        cBtnFolder::ShowSelection(dialog.hWnd, c.path.c_str());
        EXPECT_EQ(OkDisabled() > 0, c.okDisabled);
        EXPECT_EQ(Title().rfind(c.titleStart, 0), 0u) << Title();
    }
}

// Opening: the download folder is preselected and expanded, the title control is
// found by its marker, and the preselection's line is shown at once.
TEST_F(FolderDialogTest, InitialisationFindsTheTitleAndShowsThePreselection) {
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", temp.Path().c_str());
    cBtnFolder::titleControl = nullptr;
    window->totalSize = 5LL * 1073741824;
    dialog.messages.clear();
    EXPECT_EQ(cBtnFolder::BrowseCallback(dialog.hWnd, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(app.downloadFolder)),
              0);
    EXPECT_EQ(cBtnFolder::titleControl, title);
    ASSERT_GE(dialog.messages.size(), 2u);
    EXPECT_EQ(dialog.messages[0], static_cast<UINT>(BFFM_SETSELECTIONA));
    EXPECT_EQ(dialog.messages[1], static_cast<UINT>(BFFM_SETEXPANDED));
    EXPECT_EQ(Title().rfind("At least 5.000GB is required.\nYour free space : ", 0), 0u) << Title();

    // A dialog without the marker leaves no title control from an earlier dialog.
    SetWindowTextA(title, "something else");
    cBtnFolder::BrowseCallback(dialog.hWnd, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(app.downloadFolder));
    EXPECT_EQ(cBtnFolder::titleControl, nullptr);
    EXPECT_EQ(Title(), "something else");
}

}  // namespace

namespace {

// The manifest of a client of one file, game.exe, which the server answers with this
// very text: its size is the text's own length.
std::string SelfServingManifest(const std::string& baseUrl) {
    size_t size = 0;
    std::string text;
    for (int round = 0; round < 4; ++round) {
        std::string total = std::to_string(size);
        text = "{\r\n  \"Version\": 1,\r\n  \"TotalCount\": 1,\r\n  \"TotalSize\": " + total + ",\r\n  \"URL\": \"" +
               baseUrl + "\",\r\n  \"FileList\": [\r\n    { \"Name\": \"game.exe\", \"Size\": " + total +
               " }\r\n  ]\r\n}\r\n";
        if (text.size() == size) break;
        size = text.size();
    }
    return text;
}

void Click(cButton& button) {
    SendMessageA(button.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// The whole road in one window of the built-in description: the first tick loads
// the manifest, start (clicked) sets the buttons, resets the bar and registers a new
// run, the run's end leaves only launch and cancel, and a second start drops the bar
// to 0.00% before it climbs back to 100.00% from the file on disk.
TEST_F(ManifestTest, StartToCompletionAndStartAgain) {
    std::string downloadFolder = temp.Path() + "download\\";
    ASSERT_TRUE(CreateDirectoryA(downloadFolder.c_str(), nullptr));
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "%s", downloadFolder.c_str());
    MultiByteToWideChar(CP_ACP, 0, app.downloadFolder, -1, app.downloadFolderWide, 260);
    server.body = SelfServingManifest(server.BaseUrl());
    const int64_t size = static_cast<int64_t>(server.body.size());
    ASSERT_TRUE(description.LoadFromResource());

    cWinMain window(description);
    app.mainWindow = &window;
    ASSERT_TRUE(window.Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW));
    ASSERT_TRUE(window.btnStart.hWnd);
    ASSERT_TRUE(PumpUntil([&] { return window.totalSize != 0; }, 10000)) << "the manifest was not loaded";
    EXPECT_EQ(window.totalSize, size);
    EXPECT_EQ(Local("file.json"), server.body);
    EXPECT_EQ(window.btnLaunch.state, cButton::disable);
    EXPECT_EQ(window.btnPause.state, cButton::disable);

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first start" : "start again");
        if (run == 1) window.btnStart.SetState(cButton::normal);  // as pause would leave it
        Click(window.btnStart);
        cMgrDownloader* manager = app.manager;
        ASSERT_TRUE(manager) << "no run registered";
        EXPECT_EQ(window.btnStart.state, cButton::disable);
        EXPECT_EQ(window.btnFolder.state, cButton::disable);
        EXPECT_EQ(window.btnPause.state, cButton::normal);
        EXPECT_EQ(window.progressBar.rate, 0);
        EXPECT_EQ(Narrow(window.progressBar.rateText), "0.00%");

        ASSERT_TRUE(PumpUntil([&] { return manager->finished != 0; }, 20000)) << "the run did not end";
        // The panel's tick that sees the end, and nothing after it.
        ASSERT_TRUE(PumpUntil([&] { return window.progressBar.rate == 10000; }, 3000));
        EXPECT_EQ(Narrow(window.progressBar.rateText), "100.00%");
        EXPECT_EQ(window.btnPause.state, cButton::disable);
        EXPECT_EQ(window.btnLaunch.state, cButton::normal);
        EXPECT_EQ(window.btnStart.state, cButton::disable);
        EXPECT_STREQ(app.launchTarget, "game.exe");
        EXPECT_EQ(ReadFile(downloadFolder + "game.exe"), server.body);
    }
    app.StopManager();
    app.mainWindow = nullptr;
    DestroyWindow(window.hWnd);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the window's own end of the loop
}

}  // namespace

namespace {

// The main window's last update (WM_TIMER from the run's end): the bar gets the
// run's speed and rate while the run is on and has a total; otherwise nothing.
TEST_F(ControlTest, LastUpdateOfTheBarAtTheRunsEnd) {
    cJson description;
    cWinMain window(description);
    window.progressBar.barWidth = 586;
    window.progressBar.drawRateText = true;
    cMgrDownloader manager;
    app.manager = &manager;
    struct Case {
        const char* what;
        int running, finished;
        int64_t total;
        int32_t rate;
        const char* speed;
    } cases[] = {
        {"running", 1, 0, 10000, 2500, "0.002 MiB/Sec"},
        {"already finished", 1, 1, 10000, -1, "?"},
        {"stopped", 0, 0, 10000, -1, "?"},
        {"no total", 1, 0, 0, -1, "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window.progressBar.rate = -1;
        window.progressBar.speed = -1.0f;
        wcscpy(window.progressBar.speedText, L"?");
        manager.running = c.running;
        manager.finished = c.finished;
        manager.totalSize = c.total;
        manager.receivedSize = 2500;
        manager.transferredSize = 4000;
        manager.startTick = GetTickCount() - 2100;
        window.OnProgressTimer();
        EXPECT_EQ(window.progressBar.rate, c.rate);
        EXPECT_EQ(Narrow(window.progressBar.speedText), c.speed);
    }
    manager.running = 0;
    app.manager = nullptr;
}

}  // namespace
