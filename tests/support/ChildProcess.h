#pragma once
// Test support: runs a Windows program (or a scenario of the test program
// itself) as a child process, and finds, reads and answers its message boxes.
// Every wait is bounded; a stuck child is killed and the test fails with a message.

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // kills a child that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine`. `environment` entries ("NAME=value") are set on top of
    // this process's environment; `folder` is the child's current folder (empty: ours).
    bool Start(const std::string& commandLine, const std::vector<std::string>& environment = {},
               const std::string& folder = {});
    // Starts this test program again with `--child <scenario>`.
    bool StartScenario(const std::string& scenario, const std::vector<std::string>& environment = {},
                       const std::string& folder = {});

    // Waits for a message box of the child (a dialog of class #32770). Returns false
    // after timeoutMs, or when the child has ended first.
    bool WaitForMessageBox(MessageBoxInfo& box, DWORD timeoutMs = 20000);
    // Presses a button of a message box (IDOK, IDCANCEL, ...).
    static void Answer(const MessageBoxInfo& box, int buttonId);
    // Waits for the child to end; returns false on time-out (the child is then killed).
    bool WaitForExit(DWORD timeoutMs, int& exitCode);
    // A top-level visible window of the child whose title is `title`, or null.
    HWND FindWindowByTitle(const std::string& title, DWORD timeoutMs = 20000);

    DWORD Id() const { return processId; }
    bool Running() const;
    void Kill();

private:
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// This test program's own path.
std::string SelfPath();

// A fresh, empty folder under the temporary folder, removed with all its content
// when the object goes away. The path ends with a backslash.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path; }

private:
    std::string path;
};

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);
void RemoveTree(const std::string& path);

}  // namespace testing_support

// Child scenarios: a test program's `--child NAME` runs the body registered here and
// exits with its result, so that a test can watch message boxes and exit codes of code
// that ends the process.
using ChildScenarioBody = int (*)();
bool RegisterChildScenario(const char* name, ChildScenarioBody body);
#define CHILD_SCENARIO(name)                                                          \
    static int ChildScenario_##name();                                                \
    static const bool childScenarioRegistered_##name =                                \
        RegisterChildScenario(#name, &ChildScenario_##name);                          \
    static int ChildScenario_##name()
