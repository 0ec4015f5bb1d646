#include "tests/support/ChildProcess.h"

#include <shellapi.h>

#include <cstdio>
#include <map>

namespace testing_support {

namespace {

// Builds an environment block: ours, with the given entries replacing or adding.
std::vector<char> EnvironmentBlock(const std::vector<std::string>& overrides) {
    std::map<std::string, std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry; entry += strlen(entry) + 1) {
        std::string text(entry);
        size_t equals = text.find('=', 1);
        if (equals == std::string::npos) continue;
        entries[text.substr(0, equals)] = text;
    }
    FreeEnvironmentStringsA(block);
    for (const std::string& text : overrides) {
        size_t equals = text.find('=', 1);
        if (equals != std::string::npos) entries[text.substr(0, equals)] = text;
    }
    std::vector<char> result;
    for (const auto& [name, text] : entries) {
        result.insert(result.end(), text.begin(), text.end());
        result.push_back('\0');
    }
    result.push_back('\0');
    return result;
}

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM parameter) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::string WindowText(HWND window) {
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::string& commandLine, const std::vector<std::string>& environment,
                         const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    std::vector<char> block = EnvironmentBlock(environment);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, block.data(),
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    process = info.hProcess;
    processId = info.dwProcessId;
    return true;
}

bool ChildProcess::StartScenario(const std::string& scenario, const std::vector<std::string>& environment,
                                 const std::string& folder) {
    return Start("\"" + SelfPath() + "\" --child " + scenario, environment, folder);
}

bool ChildProcess::Running() const {
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForMessageBox(MessageBoxInfo& box, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DialogSearch search{processId, nullptr};
        EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            box.window = search.found;
            box.caption = WindowText(search.found);
            // The text of a message box is its static control 0xFFFF.
            box.text = WindowText(GetDlgItem(search.found, 0xFFFF));
            box.owner = GetWindow(search.found, GW_OWNER);
            return true;
        }
        if (!Running()) return false;
        Sleep(50);
    }
    return false;
}

void ChildProcess::Answer(const MessageBoxInfo& box, int buttonId) {
    HWND button = GetDlgItem(box.window, buttonId);
    if (button) {
        PostMessageA(button, BM_CLICK, 0, 0);
    } else {
        PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
    }
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, int& exitCode) {
    if (!process) return false;
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    exitCode = static_cast<int>(code);
    return true;
}

struct TitleSearch {
    DWORD processId;
    const std::string* title;
    HWND found;
};

static BOOL CALLBACK FindTitledWindow(HWND window, LPARAM parameter) {
    TitleSearch* search = reinterpret_cast<TitleSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && WindowText(window) == *search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND ChildProcess::FindWindowByTitle(const std::string& title, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        TitleSearch search{processId, &title, nullptr};
        EnumWindows(FindTitledWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (!Running()) return nullptr;
        Sleep(50);
    }
    return nullptr;
}

void ChildProcess::Kill() {
    if (!process) return;
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    process = nullptr;
}

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

TempFolder::TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    static LONG counter = 0;
    char name[MAX_PATH];
    for (;;) {
        snprintf(name, sizeof name, "%szt%lu_%ld\\", base, GetCurrentProcessId(), InterlockedIncrement(&counter));
        if (CreateDirectoryA(name, nullptr)) break;
    }
    path = name;
}

TempFolder::~TempFolder() {
    RemoveTree(path);
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFile(const std::string& path) {
    std::string content;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return content;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
    fclose(file);
    return content;
}

bool WriteFile(const std::string& path, const std::string& content) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}

void RemoveTree(const std::string& path) {
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() == '\\') pattern.pop_back();
    std::vector<char> from(pattern.begin(), pattern.end());
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
}

}  // namespace testing_support
