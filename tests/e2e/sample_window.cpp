// sample_window: a small stand-in for the downloader that the end-to-end driver's
// own test drives. It behaves like the real main window where the driver needs
// it to: a borderless popup dragged from any point, a question before quitting
// (asked by its button, Esc, Alt+F4 and WM_CLOSE), and an exit code of its own.
//
//   sample_window.exe TITLE EXIT_CODE [CHILD_TITLE]
//
// With CHILD_TITLE it also starts a copy of itself showing that title, a process
// that the driver must end along with its parent.
// At start it appends TITLE and a line break to %TEMP%\sample-started.txt, so that
// a test can see which temporary folder the program was given.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

// What the driver's test checks; keep in step with test_driver.py.
const int kLeft = 100, kTop = 120, kWidth = 320, kHeight = 200;
const COLORREF kBackground = RGB(0x33, 0x99, 0x66);
const int kAskButtonId = 100;
const char kBoxCaption[] = "Sample caption";
const char kBoxText[] = "Sample text: end the sample?";

int exitCode = 0;

void AskToQuit(HWND window) {
    if (MessageBoxA(window, kBoxText, kBoxCaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) DestroyWindow(window);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        // The whole surface is a caption: pressing anywhere drags the window.
        return HTCAPTION;
    case WM_COMMAND:
        if (LOWORD(wParam) == kAskButtonId) AskToQuit(window);
        return 0;
    case WM_CLOSE:
        AskToQuit(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(exitCode);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RecordStart(const char* title) {
    char path[MAX_PATH + 32] = {};
    GetTempPathA(MAX_PATH, path);
    strcat(path, "sample-started.txt");
    FILE* file = fopen(path, "ab");
    if (!file) return;
    fprintf(file, "%s\n", title);
    fclose(file);
}

void StartChild(const char* title) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char commandLine[3 * MAX_PATH] = {};
    snprintf(commandLine, sizeof commandLine, "\"%s\" \"%s\" 0", path, title);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 3;
    const char* title = __argv[1];
    exitCode = atoi(__argv[2]);
    RecordStart(title);
    if (__argc > 3) StartChild(__argv[3]);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.lpszClassName = "ZentavSampleWindow";
    if (!RegisterClassA(&windowClass)) return 4;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title, WS_POPUP | WS_VISIBLE, kLeft, kTop, kWidth,
                                  kHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return 5;
    CreateWindowExA(0, "BUTTON", "Ask", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 100, 30, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAskButtonId)), instance, nullptr);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Esc asks wherever the keyboard focus is (the button may have it).
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            AskToQuit(window);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
