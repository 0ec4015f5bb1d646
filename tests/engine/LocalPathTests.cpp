// Local paths of a run: which manifest names may become files, which name the same
// file, the folders a path creates and the size of what an earlier run left.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/LocalFiles.h"
#include "engine/cLocalNames.h"
#include "tests/support/ChildProcess.h"

using namespace testing_support;

namespace {

TEST(cLocalNamesTest, OnlyNamesThatStayInsideTheDownloadFolderAreAccepted) {
    struct Case {
        const char* name;
        bool inside;
    } cases[] = {
        {"a.bin", true},
        {"data/maps/region1/a.pak", true},
        {"data\\maps\\a.pak", true},
        {"data/maps\\mixed.pak", true},
        {"./a.bin", true},
        {"a//b.bin", true},
        {"...a.bin", true},          // dots inside a name are fine
        {"console.log", true},       // only the device names themselves are refused
        {"COM10", true},
        {"", false},
        {"/etc/passwd", false},
        {"\\Windows\\evil.dll", false},
        {"\\\\server\\share\\x", false},
        {"C:\\evil.exe", false},
        {"C:evil.exe", false},
        {"a:stream", false},
        {"..", false},
        {"../evil.exe", false},
        {"..\\evil.exe", false},
        {"a/../../evil.exe", false},
        {"a/../b.bin", false},       // refused, even if it would stay inside
        {"a/.../b.bin", false},      // trims to nothing on Windows
        {"a/.. /b.bin", false},
        {"a/. ./b.bin", false},
        {"data/", false},            // a folder, not a file
        {"data\\", false},
        {"data/.", false},
        {"NUL", false},
        {"data/con.txt", false},
        {"aux", false},
        {"lpt1.dat", false},
        {"COM3", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cLocalNames::IsInsideFolder(c.name), c.inside) << "\"" << c.name << "\"";
    }
}

TEST(cLocalNamesTest, ALaterNameForTheSameFileIsRefused) {
    struct Case {
        const char* first;
        const char* later;
        bool sameFile;
    } cases[] = {
        {"data/a.bin", "data/a.bin", true},
        {"data/a.bin", "DATA/A.BIN", true},
        {"data/a.bin", "data\\a.bin", true},
        {"data/a.bin", "data//a.bin", true},
        {"data/a.bin", "./data/./a.bin", true},
        {"data/a.bin", "data/a.bin.", true},     // Windows drops trailing dots and blanks
        {"data/a.bin", "data/a.bin ", true},
        {"data/a.bin", "data/a.bin2", false},
        {"data/a.bin", "data/b/a.bin", false},
        {"data/a.bin", "dat/a.bin", false},
    };
    for (const Case& c : cases) {
        cLocalNames names;
        EXPECT_TRUE(names.Add(c.first));
        EXPECT_EQ(names.Add(c.later), !c.sameFile) << c.first << " then " << c.later;
    }
}

// Runs `body` with `folder` as the current folder.
template <typename Body>
void InFolder(const std::string& folder, Body body) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    body();
    SetCurrentDirectoryA(previous);
}

TEST(LocalFilesTest, CreateFolderTreeCreatesEveryParentOutermostFirst) {
    struct Case {
        const char* path;
        std::vector<const char*> folders;
    } cases[] = {
        {"a/b/c.bin", {"a", "a\\b"}},
        {"d\\e\\f.bin", {"d", "d\\e"}},
        {"g\\h/i\\j.bin", {"g", "g\\h", "g\\h\\i"}},  // mixed separators: every parent first
        {"k/l/m.bin", {"k", "k\\l"}},
        {"plain.bin", {}},
    };
    TempFolder temp;
    InFolder(temp.Path(), [&] {
        for (const Case& c : cases) {
            std::string before = c.path;
            CreateFolderTree(c.path);
            EXPECT_EQ(before, c.path);
            for (const char* folder : c.folders) {
                EXPECT_TRUE(FolderExists(temp.Path() + folder)) << folder << " for " << c.path;
            }
            // The last component is the file's own name: never made a folder.
            std::string last = std::string(c.path);
            EXPECT_FALSE(FolderExists(temp.Path() + last)) << c.path;
            EXPECT_FALSE(FileExists(temp.Path() + last)) << c.path;
        }
        // Existing folders are fine.
        CreateFolderTree("a/b/c.bin");
        EXPECT_TRUE(FolderExists(temp.Path() + "a\\b"));
    });
}

TEST(LocalFilesTest, GetLocalFileSizeReadsWhatIsOnDisk) {
    TempFolder temp;
    InFolder(temp.Path(), [&] {
        ASSERT_TRUE(WriteFile(temp.Path() + "thousand.bin", std::string(1000, 'x')));
        ASSERT_TRUE(WriteFile(temp.Path() + "empty.bin", ""));
        CreateDirectoryA("folder.bin", nullptr);
        EXPECT_EQ(GetLocalFileSize("thousand.bin"), 1000);
        EXPECT_EQ(GetLocalFileSize("empty.bin"), 0);
        EXPECT_EQ(GetLocalFileSize("missing.bin"), 0);
        EXPECT_EQ(GetLocalFileSize("folder.bin"), 0);

        // Beyond 4 GiB, without writing 4 GiB: a file extended by seeking.
        HANDLE file = CreateFileA("large.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER size;
        size.QuadPart = 5000000000LL;
        DWORD ignored = 0;
        FILE_SET_SPARSE_BUFFER sparse{TRUE};
        DeviceIoControl(file, FSCTL_SET_SPARSE, &sparse, sizeof sparse, nullptr, 0, &ignored, nullptr);
        ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
        EXPECT_EQ(GetLocalFileSize("large.bin"), 5000000000LL);
        DeleteFileA("large.bin");
    });
}

}  // namespace
