#include "tests/engine/TestMainWindow.h"

namespace engine_testing {

namespace {
const char kClassName[] = "EngineTestMainWindow";
}

TestMainWindow::TestMainWindow(TestRecord& record) : record(record) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    window = CreateWindowA(kClassName, "engine test main window", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    winMain.hWnd = window;
    record.app.mainWindow = &winMain;
}

TestMainWindow::~TestMainWindow() {
    record.app.StopManager();
    record.app.mainWindow = nullptr;
    winMain.hWnd = nullptr;  // the window is the test's: cWinMain must not destroy it
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

LRESULT CALLBACK TestMainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TestMainWindow* self = reinterpret_cast<TestMainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == WM_TIMER && wParam == 333) {
        ++self->lastUpdates;
        cMgrDownloader* manager = self->record.app.manager;
        if (manager) {
            if (manager->finished) self->finishedDuringUpdate = 1;
            self->runningDuringUpdate = manager->running.load();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace engine_testing
