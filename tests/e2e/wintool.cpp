// wintool: the end-to-end driver's eyes and hands on the Windows side.
//
// The driver (driver.py) runs it under Wine in the same prefix, and so with the
// same wineserver, as the program under test. It prints one JSON object a line on
// stdout and exits with 0, or with 2 and an {"error": ...} line when a command
// cannot be done. Window handles are printed and read as decimal numbers.
//
//   run [--env NAME=VALUE]... [--cwd FOLDER] -- PROGRAM [ARG]...
//       Starts PROGRAM, prints {"started": pid}, waits for it and prints
//       {"exited": pid, "code": c} with the exact (signed 32-bit) exit code.
//   windows [PID]     top-level windows: hwnd, pid, title, class, rect, visible,
//                     style, exstyle, owner and xid (the X window that shows it, 0 if none)
//   boxes [PID]       visible dialogs (#32770): hwnd, pid, caption, text, owner, buttons
//   children HWND     child windows: hwnd, parent, id, class, text, rect, visible, enabled
//   text HWND         the window's text
//   press HWND ID     answers a dialog as if its button ID was clicked
//   close HWND        posts WM_CLOSE
//   kill PID [CODE]   ends the process, if it still runs, and every process it
//                     started; prints the ids of the processes it ended
//   foreground        the foreground window (hwnd, pid)
//   activate HWND     makes the window the foreground window
//   screen            the screen's size as the program sees it
//   hold              keeps the Wine desktop alive until its standard input ends

#include <windows.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// JSON string literal from UTF-16 text; everything outside printable ASCII is escaped,
// so the output is ASCII whatever the code page.
std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out + "\"";
}

std::string Number(HWND window) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(window));
}

// Reads the text the system stores for the window; never sends a message, so a
// program that is busy or blocked cannot make the tool hang.
std::wstring WindowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return buffer;
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return buffer;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::string RectJson(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    char buffer[96];
    snprintf(buffer, sizeof buffer, "[%ld, %ld, %ld, %ld]", rect.left, rect.top, rect.right, rect.bottom);
    return buffer;
}

void Print(const std::string& line) {
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

int Fail(const std::string& message) {
    std::wstring wide(message.begin(), message.end());
    Print("{\"error\": " + Quote(wide) + "}");
    return 2;
}

bool ParseNumber(const char* text, unsigned long long& value) {
    char* end = nullptr;
    value = strtoull(text, &end, 0);
    return end != text && *end == '\0';
}

bool ParseWindow(const char* text, HWND& window) {
    unsigned long long value = 0;
    if (!ParseNumber(text, value)) return false;
    window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
    return IsWindow(window) != FALSE;
}

// Collects each window it is called for into the vector that `list` points to.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Optional process filter: no argument means every process.
bool ParseProcessFilter(int argc, char** argv, DWORD& pid) {
    pid = 0;
    if (argc < 3) return true;
    unsigned long long value = 0;
    if (!ParseNumber(argv[2], value)) return false;
    pid = static_cast<DWORD>(value);
    return true;
}

int ListWindows(int argc, char** argv) {
    DWORD pid = 0;
    if (!ParseProcessFilter(argc, argv, pid)) return Fail("bad process id");
    for (HWND window : TopLevelWindows()) {
        if (pid != 0 && ProcessOf(window) != pid) continue;
        // Wine keeps the X window that shows a top-level window in this property.
        auto xid = reinterpret_cast<std::uintptr_t>(GetPropA(window, "__wine_x11_whole_window"));
        Print("{\"hwnd\": " + Number(window) + ", \"pid\": " + std::to_string(ProcessOf(window)) +
              ", \"title\": " + Quote(WindowText(window)) + ", \"class\": " + Quote(ClassName(window)) +
              ", \"rect\": " + RectJson(window) + ", \"visible\": " + (IsWindowVisible(window) ? "true" : "false") +
              ", \"style\": " + std::to_string(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE))) +
              ", \"exstyle\": " + std::to_string(static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE))) +
              ", \"owner\": " + Number(GetWindow(window, GW_OWNER)) + ", \"xid\": " + std::to_string(xid) + "}");
    }
    return 0;
}

int ListBoxes(int argc, char** argv) {
    DWORD pid = 0;
    if (!ParseProcessFilter(argc, argv, pid)) return Fail("bad process id");
    for (HWND window : TopLevelWindows()) {
        if (pid != 0 && ProcessOf(window) != pid) continue;
        if (ClassName(window) != L"#32770" || !IsWindowVisible(window)) continue;
        std::string buttons;
        for (HWND child : ChildWindows(window)) {
            if (GetParent(child) != window || _wcsicmp(ClassName(child).c_str(), L"Button") != 0) continue;
            if (!buttons.empty()) buttons += ", ";
            buttons += "{\"id\": " + std::to_string(GetDlgCtrlID(child)) +
                       ", \"text\": " + Quote(WindowText(child)) + "}";
        }
        // A message box shows its text in the static control 0xFFFF.
        HWND textControl = GetDlgItem(window, 0xFFFF);
        Print("{\"hwnd\": " + Number(window) + ", \"pid\": " + std::to_string(ProcessOf(window)) +
              ", \"caption\": " + Quote(WindowText(window)) +
              ", \"text\": " + Quote(textControl ? WindowText(textControl) : std::wstring()) +
              ", \"owner\": " + Number(GetWindow(window, GW_OWNER)) + ", \"buttons\": [" + buttons + "]}");
    }
    return 0;
}

int ListChildren(int argc, char** argv) {
    HWND parent = nullptr;
    if (argc < 3 || !ParseWindow(argv[2], parent)) return Fail("no such window");
    for (HWND child : ChildWindows(parent)) {
        Print("{\"hwnd\": " + Number(child) + ", \"parent\": " + Number(GetParent(child)) +
              ", \"id\": " + std::to_string(GetDlgCtrlID(child)) + ", \"class\": " + Quote(ClassName(child)) +
              ", \"text\": " + Quote(WindowText(child)) + ", \"rect\": " + RectJson(child) +
              ", \"visible\": " + (IsWindowVisible(child) ? "true" : "false") +
              ", \"enabled\": " + (IsWindowEnabled(child) ? "true" : "false") + "}");
    }
    return 0;
}

int ShowText(int argc, char** argv) {
    HWND window = nullptr;
    if (argc < 3 || !ParseWindow(argv[2], window)) return Fail("no such window");
    Print("{\"hwnd\": " + Number(window) + ", \"text\": " + Quote(WindowText(window)) + "}");
    return 0;
}

int Press(int argc, char** argv) {
    HWND dialog = nullptr;
    unsigned long long id = 0;
    if (argc < 4 || !ParseWindow(argv[2], dialog)) return Fail("no such window");
    if (!ParseNumber(argv[3], id)) return Fail("bad button id");
    HWND button = GetDlgItem(dialog, static_cast<int>(id));
    if (!button) return Fail("the dialog has no such button");
    // Posted, not sent: the dialog ends its modal loop after we have gone.
    if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button))) {
        return Fail("PostMessage failed");
    }
    Print("{\"pressed\": " + std::to_string(id) + "}");
    return 0;
}

int Close(int argc, char** argv) {
    HWND window = nullptr;
    if (argc < 3 || !ParseWindow(argv[2], window)) return Fail("no such window");
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) return Fail("PostMessage failed");
    Print("{\"closed\": " + Number(window) + "}");
    return 0;
}

// Every process that descends from `root`, deepest first. Parent ids stay recorded
// after a parent has ended, so the children of a finished program are found too.
std::vector<DWORD> Descendants(DWORD root) {
    std::vector<std::pair<DWORD, DWORD>> processes;  // (pid, parent pid)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return {};
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        processes.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    CloseHandle(snapshot);
    std::vector<DWORD> found = {root};
    // Breadth first from the root; a child is added once, so a cycle cannot loop.
    for (size_t next = 0; next < found.size(); ++next) {
        for (const auto& process : processes) {
            if (process.second == found[next] && process.first != root &&
                std::find(found.begin(), found.end(), process.first) == found.end()) {
                found.push_back(process.first);
            }
        }
    }
    found.erase(found.begin());
    std::reverse(found.begin(), found.end());
    return found;
}

bool Terminate(DWORD pid, UINT code) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool done = TerminateProcess(process, code) && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return done;
}

// Ends the process, if it still runs, and every process it started.
int Kill(int argc, char** argv) {
    unsigned long long pid = 0;
    unsigned long long code = 1;
    if (argc < 3 || !ParseNumber(argv[2], pid)) return Fail("bad process id");
    if (argc >= 4 && !ParseNumber(argv[3], code)) return Fail("bad exit code");
    std::vector<DWORD> victims = Descendants(static_cast<DWORD>(pid));
    victims.push_back(static_cast<DWORD>(pid));
    std::string killed;
    for (DWORD victim : victims) {
        if (!Terminate(victim, static_cast<UINT>(code))) continue;
        if (!killed.empty()) killed += ", ";
        killed += std::to_string(victim);
    }
    Print("{\"killed\": [" + killed + "]}");
    return 0;
}

int Foreground() {
    HWND window = GetForegroundWindow();
    Print("{\"hwnd\": " + Number(window) + ", \"pid\": " + std::to_string(window ? ProcessOf(window) : 0) + "}");
    return 0;
}

int Activate(int argc, char** argv) {
    HWND window = nullptr;
    if (argc < 3 || !ParseWindow(argv[2], window)) return Fail("no such window");
    if (!SetForegroundWindow(window)) return Fail("SetForegroundWindow failed");
    Print("{\"activated\": " + Number(window) + "}");
    return 0;
}

// Wine ends its desktop process (explorer.exe) when the last program on the desktop
// has ended and starts a new one with the next program. A program that starts
// while that happens can read the old desktop's pointer-clipping window and unmap
// whatever X window now has its id (its own, as likely as not) or die of an X error
// when it first clips the cursor, as a window move does. Holding the desktop for a
// whole test run keeps one desktop process alive, so every program finds it ready.
int Hold() {
    HWND desktop = GetDesktopWindow();
    // A message-only window keeps this process on the desktop.
    CreateWindowExW(0, L"STATIC", L"wintool hold", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Print("{\"held\": " + Number(desktop) + "}");
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    return 0;
}

int Screen() {
    Print("{\"width\": " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) +
          ", \"height\": " + std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "}");
    return 0;
}

// One argument of a command line, quoted the way the C run-time splits it again.
std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

int Run(int argc, char** argv) {
    const char* folder = nullptr;
    int index = 2;
    for (; index < argc && strcmp(argv[index], "--") != 0; ++index) {
        if (strcmp(argv[index], "--env") == 0 && index + 1 < argc) {
            std::string entry = argv[++index];
            size_t equals = entry.find('=');
            if (equals == std::string::npos || equals == 0) return Fail("--env wants NAME=VALUE");
            // The child inherits our environment, with these entries on top.
            SetEnvironmentVariableA(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str());
        } else if (strcmp(argv[index], "--cwd") == 0 && index + 1 < argc) {
            folder = argv[++index];
        } else {
            return Fail(std::string("unknown option ") + argv[index]);
        }
    }
    if (index + 1 >= argc) return Fail("run wants -- PROGRAM");
    std::string commandLine;
    for (int i = index + 1; i < argc; ++i) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += QuoteArgument(argv[i]);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[index + 1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
        return Fail("CreateProcess failed with error " + std::to_string(GetLastError()));
    }
    CloseHandle(process.hThread);
    Print("{\"started\": " + std::to_string(process.dwProcessId) + "}");
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    Print("{\"exited\": " + std::to_string(process.dwProcessId) +
          ", \"code\": " + std::to_string(static_cast<std::int32_t>(code)) + "}");
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends, whatever the run-time's text mode would make of them.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        return Fail("usage: wintool run|windows|boxes|children|text|press|close|kill|foreground|activate|screen|hold");
    }
    std::string command = argv[1];
    if (command == "run") return Run(argc, argv);
    if (command == "windows") return ListWindows(argc, argv);
    if (command == "boxes") return ListBoxes(argc, argv);
    if (command == "children") return ListChildren(argc, argv);
    if (command == "text") return ShowText(argc, argv);
    if (command == "press") return Press(argc, argv);
    if (command == "close") return Close(argc, argv);
    if (command == "kill") return Kill(argc, argv);
    if (command == "foreground") return Foreground();
    if (command == "activate") return Activate(argc, argv);
    if (command == "screen") return Screen();
    if (command == "hold") return Hold();
    return Fail("unknown command " + command);
}
