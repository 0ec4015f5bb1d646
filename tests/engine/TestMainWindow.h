#pragma once
// The main window's part in a run, played on the test's thread: a cWinMain whose
// native window is a plain window of the test, so that the manager's completion step
// reaches a real window of this thread without the whole user interface. It counts
// the last updates (WM_TIMER 333) and what the manager's flags said during each.

#include <windows.h>

#include <atomic>

#include "json/cJson.h"
#include "tests/engine/EngineTestSupport.h"
#include "ui/main/cWinMain.h"

namespace engine_testing {

class TestMainWindow {
public:
    explicit TestMainWindow(TestRecord& record);
    ~TestMainWindow();  // detaches from the record and destroys the window
    TestMainWindow(const TestMainWindow&) = delete;
    TestMainWindow& operator=(const TestMainWindow&) = delete;

    HWND Handle() const { return window; }

    std::atomic<int> lastUpdates{0};          // WM_TIMER 333 received
    std::atomic<int> finishedDuringUpdate{0}; // the manager's `finished` seen during one (must stay 0)
    std::atomic<int> runningDuringUpdate{0};  // its `running` seen during the last one

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    TestRecord& record;
    cJson uiDocument;
    cWinMain winMain{uiDocument};
    HWND window = nullptr;
};

}  // namespace engine_testing
