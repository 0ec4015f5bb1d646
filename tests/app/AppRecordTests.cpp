#include <gtest/gtest.h>

#include <string>

#include "app/Entry.h"
#include "app/cApp.h"
#include "tests/support/ChildProcess.h"

using namespace testing_support;

namespace {

// The real program, built beside the tests.
std::string ProgramPath() {
    std::string self = SelfPath();
    std::string folder = self.substr(0, self.rfind('\\'));            // tests\app
    folder = folder.substr(0, folder.rfind('\\'));                    // tests
    folder = folder.substr(0, folder.rfind('\\'));                    // build folder
    return folder + "\\app\\zentav-downloader.exe";
}

// A record whose working folder is a fresh temporary folder.
struct RecordFixture : ::testing::Test {
    TempFolder temp;
    cApp app{GetModuleHandleA(nullptr)};
    void SetUp() override {
        snprintf(app.workFolder, sizeof app.workFolder, "%s", temp.Path().c_str());
        snprintf(app.version, sizeof app.version, "201904221642");
        theApp = &app;
    }
    void TearDown() override { theApp = nullptr; }
};

TEST_F(RecordFixture, CreateDownloadDirectoryCreatesEveryLevelAfterTheDrive) {
    struct Case {
        const char* relative;
        std::vector<const char*> folders;
    } cases[] = {
        {"MOXI\\download\\VM_cn_cbt\\", {"MOXI", "MOXI\\download", "MOXI\\download\\VM_cn_cbt"}},
        {"A\\B", {"A", "A\\B"}},
        {"C\\", {"C"}},
    };
    for (const Case& c : cases) {
        std::string path = temp.Path() + c.relative;
        app.CreateDownloadDirectory(path.c_str());
        EXPECT_STREQ(app.downloadFolder, path.c_str());
        EXPECT_EQ(std::wstring(app.downloadFolderWide), std::wstring(path.begin(), path.end()));
        for (const char* folder : c.folders) {
            EXPECT_TRUE(FolderExists(temp.Path() + folder)) << folder << " missing for " << c.relative;
        }
    }
}

TEST_F(RecordFixture, WriteVersionFileHoldsExactlyTwoLines) {
    snprintf(app.downloadFolder, sizeof app.downloadFolder, "D:\\Client\\");
    app.WriteVersionFile();
    EXPECT_EQ(ReadFile(temp.Path() + "version.txt"), "201904221642\nD:\\Client\\");

    app.downloadFolder[0] = '\0';
    app.WriteVersionFile();
    EXPECT_EQ(ReadFile(temp.Path() + "version.txt"), "201904221642\n");
}

TEST(AppRecordTest, StopManagerWithoutManagerDoesNothing) {
    cApp app(GetModuleHandleA(nullptr));
    app.StopManager();
    app.StopManager();
    EXPECT_EQ(app.manager, nullptr);
}

CHILD_SCENARIO(create_download_directory_without_separator) {
    cApp app(GetModuleHandleA(nullptr));
    theApp = &app;
    app.CreateDownloadDirectory("nowhere");
    // The text stays stored even though no folder can be made of it.
    return strcmp(app.downloadFolder, "nowhere") == 0 ? 5 : 6;
}

CHILD_SCENARIO(create_download_directory_too_long) {
    cApp app(GetModuleHandleA(nullptr));
    theApp = &app;
    std::string path = "C:\\" + std::string(300, 'x') + "\\";
    app.CreateDownloadDirectory("D:\\Kept\\");
    app.CreateDownloadDirectory(path.c_str());
    return strcmp(app.downloadFolder, "D:\\Kept\\") == 0 ? 5 : 6;
}

TEST(AppRecordTest, DownloadFolderMessages) {
    struct Case {
        const char* scenario;
        const char* text;
    } cases[] = {
        {"create_download_directory_without_separator", "cApp::CreateDownloadDirectory :: error (-32)"},
        {"create_download_directory_too_long", "cApp::CreateDownloadDirectory :: folder path too long (-33)"},
    };
    for (const Case& c : cases) {
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario(c.scenario));
        MessageBoxInfo box;
        ASSERT_TRUE(child.WaitForMessageBox(box)) << c.scenario;
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.caption, "");  // before the UI description's texts are set
        EXPECT_EQ(box.owner, nullptr);
        ChildProcess::Answer(box, IDOK);
        int exitCode = 0;
        ASSERT_TRUE(child.WaitForExit(10000, exitCode));
        EXPECT_EQ(exitCode, 5) << c.scenario;
    }
}

CHILD_SCENARIO(prepare_work_folder) {
    char workFolder[260] = {};
    PrepareWorkFolder(workFolder);
    char expected[260] = {};
    GetTempPathA(sizeof expected, expected);
    strcat(expected, "PluvoLauncher_Live\\VM_cn_cbt\\");
    return strcmp(workFolder, expected) == 0 ? 5 : 6;
}

TEST(AppRecordTest, WorkFolderHasBothLevelsWhetherOrNotTheyExisted) {
    TempFolder temp;
    for (int run = 0; run < 2; ++run) {
        ChildProcess child;
        ASSERT_TRUE(child.StartScenario("prepare_work_folder", {"TMP=" + temp.Path(), "TEMP=" + temp.Path()}));
        int exitCode = 0;
        ASSERT_TRUE(child.WaitForExit(10000, exitCode));
        EXPECT_EQ(exitCode, 5);
        EXPECT_TRUE(FolderExists(temp.Path() + "PluvoLauncher_Live\\VM_cn_cbt"));
    }
}

TEST(AppRecordTest, SecondInstanceIsRefusedWithoutCreatingFolders) {
    HANDLE firstInstance = CreateMutexA(nullptr, TRUE, "zentav-downloader...");
    ASSERT_NE(firstInstance, nullptr);
    TempFolder temp;
    ChildProcess child;
    ASSERT_TRUE(child.Start("\"" + ProgramPath() + "\"", {"TMP=" + temp.Path(), "TEMP=" + temp.Path()}));
    MessageBoxInfo box;
    ASSERT_TRUE(child.WaitForMessageBox(box)) << "no message box from " << ProgramPath();
    EXPECT_EQ(box.caption, "zentav-downloader...");
    EXPECT_EQ(box.text, "The downloader is already running.");
    EXPECT_EQ(box.owner, nullptr);
    ChildProcess::Answer(box, IDOK);
    int exitCode = -1;
    ASSERT_TRUE(child.WaitForExit(10000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(FolderExists(temp.Path() + "PluvoLauncher_Live"));
    ReleaseMutex(firstInstance);
    CloseHandle(firstInstance);
}

}  // namespace
