#pragma once
// Helpers of the controls' tests: a record working in a fresh folder, a parent
// window for the controls, a bounded message pump and whether a window waits for a
// repaint.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/cApp.h"
#include "tests/support/ChildProcess.h"
#include "tests/ui/ProbeWindow.h"
#include "tests/ui/RecordFixture.h"

namespace control_tests {

// Dispatches this thread's messages until `done` holds or `timeoutMs` have passed;
// returns whether `done` held.
template <typename Condition>
bool PumpUntil(Condition done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

inline void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

// Whether `window` has asked for a repaint since it was last painted.
inline bool WaitsForPaint(HWND window) {
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

// Paints `window` now, so that only later requests leave an update region.
inline void PaintNow(HWND window) {
    UpdateWindow(window);
}

// One shown top-level window for the whole test program, the parent of the controls
// under test. It also keeps the drawing factories alive (they live from the first
// window object to the last): making them and showing a new top-level window cost
// seconds per test under Wine.
class SharedParent final : public ::testing::Environment {
public:
    static cProbeWindow& Window() {
        static cProbeWindow* window = nullptr;
        if (!window) {
            window = new cProbeWindow();
            window->Create(nullptr, 40, 40, 640, 380, WS_POPUP, SW_SHOW);
        }
        return *window;
    }
    void TearDown() override {
        cProbeWindow* window = &Window();
        if (window->hWnd) DestroyWindow(window->hWnd);
        delete window;
    }
};
inline ::testing::Environment* const sharedParent = ::testing::AddGlobalTestEnvironment(new SharedParent);

// A record with its folders in a fresh temporary folder, and the shared parent that
// stands in for the main window.
struct ControlTest : RecordInTempFolder {
    cProbeWindow& parent = SharedParent::Window();

    ControlTest() : RecordInTempFolder("control test") {}
    void SetUp() override {
        RecordInTempFolder::SetUp();
        ASSERT_TRUE(parent.hWnd);
    }
};

}  // namespace control_tests
