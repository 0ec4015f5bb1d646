// The demo client: stands in for the game that the downloader starts at the end.
// It records that it ran (a line in "client-started.txt" in its current folder,
// which the downloader has made the download folder) and shows a window saying so.
#include <windows.h>

#include <cstdio>

namespace {

const char kTitle[] = "ZENTAV client";
const char kMessage[] = "The ZENTAV client started.";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        HBRUSH background = CreateSolidBrush(RGB(24, 28, 40));
        FillRect(dc, &area, background);
        DeleteObject(background);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(51, 221, 255));
        DrawTextA(dc, kMessage, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RecordStart(const char* commandLine) {
    FILE* file = fopen("client-started.txt", "ab");
    if (!file) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    fprintf(file, "%04d-%02d-%02d %02d:%02d:%02d started, arguments \"%s\"\n", now.wYear, now.wMonth, now.wDay,
            now.wHour, now.wMinute, now.wSecond, commandLine);
    fclose(file);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    RecordStart(commandLine);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "zentav-demo-client";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("zentav-demo-client", kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                480, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
