// The picture button: the four states and the mouse transitions on a real child
// window, the hover time asked of the system, the capture, the click test with its
// edges, SetState, the size taken from the pictures, and the five buttons' pictures
// and first states.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/ActionButtons.h"
#include "ui/controls/cBtnFolder.h"
#include "ui/controls/cButton.h"

using namespace control_tests;

namespace {

// A button whose action counts its runs and may set a state, as the start button does.
class cCountingButton final : public cButton {
public:
    int executions = 0;
    int hovers = 0;
    int32_t stateSetByAction = -1;
    cCountingButton() : cButton(cBtnStart::kFirstPictureId) {}
    void OnExecute() override {
        ++executions;
        if (stateSetByAction >= 0) SetState(stateSetByAction);
    }
    void OnMouseHover() override {
        ++hovers;
        cButton::OnMouseHover();
    }
};

const char* StateName(int32_t state) {
    static const char* const names[] = {"normal", "over", "down", "disable"};
    return state >= 0 && state < 4 ? names[state] : "?";
}

struct ButtonTest : ControlTest {
    cCountingButton button;

    void SetUp() override {
        ControlTest::SetUp();
        button.x = 100;
        button.y = 200;
        ASSERT_TRUE(button.Create(parent.hWnd, button.x, button.y, 20, 20, WS_CHILD | WS_TABSTOP, SW_HIDE));
        ShowWindow(button.hWnd, SW_SHOW);
    }
    void TearDown() override {
        ReleaseCapture();
        if (button.hWnd) DestroyWindow(button.hWnd);
        ControlTest::TearDown();
    }

    // Puts the button in `state` with nothing waiting to be painted and no capture.
    void Prepare(int32_t state) {
        ReleaseCapture();
        button.SetState(state);
        PaintNow(button.hWnd);
        button.executions = 0;
    }
};

TEST_F(ButtonTest, TakesTheSizeOfItsNormalPictureAndStaysInPlace) {
    EXPECT_EQ(button.width, 70);
    EXPECT_EQ(button.height, 30);
    RECT client{};
    GetClientRect(button.hWnd, &client);
    EXPECT_EQ(client.right, 70);
    EXPECT_EQ(client.bottom, 30);
    RECT bounds{};
    GetWindowRect(button.hWnd, &bounds);
    POINT corner{bounds.left, bounds.top};
    ScreenToClient(parent.hWnd, &corner);
    EXPECT_EQ(corner.x, 100);
    EXPECT_EQ(corner.y, 200);
    EXPECT_TRUE(IsWindowVisible(button.hWnd));
    for (int s = 0; s < cButton::kStateCount; ++s) {
        ASSERT_TRUE(button.pictures[s]) << StateName(s);
        EXPECT_EQ(button.pictures[s]->GetPixelSize().width, 70u);
        EXPECT_EQ(button.pictures[s]->GetPixelSize().height, 30u);
    }
}

// Every row of the mouse transition table, from every state: the state after the
// message, whether a repaint was asked for, the capture afterwards and whether
// the action ran. A row that does not apply does nothing at all.
TEST_F(ButtonTest, MouseTransitionTable) {
    const LPARAM inside = MAKELPARAM(10, 10);
    struct Case {
        int32_t from;
        UINT message;
        WPARAM keys;
        int32_t to;
        bool repaint;
        bool captured;
        int executions;
    } cases[] = {
        // A move with the left button held.
        {cButton::normal, WM_MOUSEMOVE, MK_LBUTTON, cButton::down, true, false, 0},
        {cButton::over, WM_MOUSEMOVE, MK_LBUTTON, cButton::down, true, false, 0},
        {cButton::down, WM_MOUSEMOVE, MK_LBUTTON, cButton::down, false, false, 0},
        {cButton::disable, WM_MOUSEMOVE, MK_LBUTTON, cButton::disable, false, false, 0},
        // A move without it.
        {cButton::normal, WM_MOUSEMOVE, 0, cButton::over, true, false, 0},
        {cButton::over, WM_MOUSEMOVE, 0, cButton::over, false, false, 0},
        {cButton::down, WM_MOUSEMOVE, MK_RBUTTON, cButton::over, true, false, 0},
        {cButton::disable, WM_MOUSEMOVE, 0, cButton::disable, false, false, 0},
        // Hover: back to over, also from down.
        {cButton::normal, WM_MOUSEHOVER, 0, cButton::over, true, false, 0},
        {cButton::over, WM_MOUSEHOVER, 0, cButton::over, false, false, 0},
        {cButton::down, WM_MOUSEHOVER, 0, cButton::over, true, false, 0},
        {cButton::disable, WM_MOUSEHOVER, 0, cButton::disable, false, false, 0},
        // Leave.
        {cButton::normal, WM_MOUSELEAVE, 0, cButton::normal, false, false, 0},
        {cButton::over, WM_MOUSELEAVE, 0, cButton::normal, true, false, 0},
        {cButton::down, WM_MOUSELEAVE, 0, cButton::normal, true, false, 0},
        {cButton::disable, WM_MOUSELEAVE, 0, cButton::disable, false, false, 0},
        // Press: the capture is taken with the state.
        {cButton::normal, WM_LBUTTONDOWN, MK_LBUTTON, cButton::down, true, true, 0},
        {cButton::over, WM_LBUTTONDOWN, MK_LBUTTON, cButton::down, true, true, 0},
        {cButton::down, WM_LBUTTONDOWN, MK_LBUTTON, cButton::down, false, false, 0},
        {cButton::disable, WM_LBUTTONDOWN, MK_LBUTTON, cButton::disable, false, false, 0},
        // Release inside: only from down, and then the action runs.
        {cButton::normal, WM_LBUTTONUP, 0, cButton::normal, false, false, 0},
        {cButton::over, WM_LBUTTONUP, 0, cButton::over, false, false, 0},
        {cButton::down, WM_LBUTTONUP, 0, cButton::over, true, false, 1},
        {cButton::disable, WM_LBUTTONUP, 0, cButton::disable, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << c.message << std::dec << " keys " << c.keys
                                        << " from " << StateName(c.from));
        Prepare(c.from);
        ASSERT_FALSE(WaitsForPaint(button.hWnd));
        // A release must give the capture back in every state, the disabled one included.
        if (c.message == WM_LBUTTONUP) SetCapture(button.hWnd);
        EXPECT_EQ(SendMessageA(button.hWnd, c.message, c.keys, inside), 0);
        EXPECT_STREQ(StateName(button.state), StateName(c.to));
        EXPECT_EQ(WaitsForPaint(button.hWnd), c.repaint);
        EXPECT_EQ(GetCapture() == button.hWnd, c.captured);
        EXPECT_EQ(button.executions, c.executions);
    }
}

// The click test on the release point (client coordinates, signed 16-bit halves):
// the right and bottom edges count as inside, anything left of or above the button
// does not, and a release far away after the capture does not either.
TEST_F(ButtonTest, ClickTestOnTheReleasePoint) {
    struct Case {
        int x, y;
        int executions;
    } cases[] = {
        {0, 0, 1},    {35, 15, 1},  {70, 30, 1},  {70, 0, 1},    {0, 30, 1},    {71, 15, 0},
        {35, 31, 0},  {-1, 15, 0},  {35, -1, 0},  {-300, -2, 0}, {500, 500, 0}, {32767, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "release at " << c.x << "," << c.y);
        Prepare(cButton::normal);
        SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        ASSERT_EQ(GetCapture(), button.hWnd);
        SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(button.executions, c.executions);
        EXPECT_EQ(button.state, cButton::over) << "a completed release shows over, with or without the action";
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(ButtonTest, StateSetByTheActionIsTheOneThatStays) {
    Prepare(cButton::normal);
    button.stateSetByAction = cButton::disable;
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(button.executions, 1);
    EXPECT_EQ(button.state, cButton::disable);
    // The disabled button now ignores the next click.
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(button.executions, 1);
}

// Sequences a person makes: moving onto the button with the left button held and
// releasing there runs the action; a press held until the hover notice returns the
// button to over and the release runs nothing.
TEST_F(ButtonTest, PressSequences) {
    Prepare(cButton::normal);
    SendMessageA(button.hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(button.state, cButton::down);
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(button.executions, 1);

    Prepare(cButton::normal);
    SendMessageA(button.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(button.hWnd, WM_MOUSEHOVER, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(button.state, cButton::over);
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(button.executions, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

// SetState stores any state, repaints, and touches neither the capture nor the
// tracking; the same state again still repaints.
TEST_F(ButtonTest, SetStateKeepsCaptureAndTracking) {
    Prepare(cButton::normal);
    SetCursorPos(0, 0);
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(GetCapture(), button.hWnd);
    for (int32_t s : {cButton::disable, cButton::normal, cButton::over, cButton::down, cButton::down}) {
        PaintNow(button.hWnd);
        button.SetState(s);
        EXPECT_EQ(button.state, s);
        EXPECT_TRUE(WaitsForPaint(button.hWnd)) << StateName(s);
        EXPECT_EQ(GetCapture(), button.hWnd) << StateName(s);
    }
    ReleaseCapture();
}

// The hover notice is asked for with 3333 ms and the leave notice with it, once the
// pointer has moved onto the button; what the system then reports (queried, not timed).
TEST_F(ButtonTest, MoveAsksForHoverAfter3333MsAndForTheLeaveNotice) {
    RECT bounds{};
    GetWindowRect(button.hWnd, &bounds);
    SetCursorPos(bounds.left + 30, bounds.top + 15);
    ASSERT_EQ(WindowFromPoint(POINT{bounds.left + 30, bounds.top + 15}), button.hWnd) << "the button is covered";
    Prepare(cButton::normal);
    SendMessageA(button.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 15));
    TRACKMOUSEEVENT query{};
    query.cbSize = sizeof query;
    query.dwFlags = TME_QUERY;
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, button.hWnd);
    EXPECT_EQ(query.dwFlags & (TME_HOVER | TME_LEAVE), static_cast<DWORD>(TME_HOVER | TME_LEAVE));
    EXPECT_EQ(query.dwHoverTime, 3333u);

    // The pointer leaves: the system's leave notice brings the button back to normal.
    SetCursorPos(bounds.right + 200, bounds.bottom + 200);
    EXPECT_TRUE(PumpUntil([&] { return button.state == cButton::normal; }, 5000))
        << "no leave notice; state " << StateName(button.state);
}

// A press held still on the button: the system's hover notice, asked for with the
// move, returns it to over, and the release then runs nothing.
TEST_F(ButtonTest, HeldPressReturnsToOverWithTheHoverNotice) {
    RECT bounds{};
    GetWindowRect(button.hWnd, &bounds);
    SetCursorPos(bounds.left + 30, bounds.top + 15);
    ASSERT_EQ(WindowFromPoint(POINT{bounds.left + 30, bounds.top + 15}), button.hWnd) << "the button is covered";
    PumpFor(200);  // the system's own move to the new position, before the press
    Prepare(cButton::normal);
    button.hovers = 0;
    SendMessageA(button.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 15));
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 15));
    ASSERT_EQ(button.state, cButton::down);
    EXPECT_TRUE(PumpUntil([&] { return button.hovers > 0; }, 10000)) << "no hover notice";
    EXPECT_EQ(button.state, cButton::over);
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(30, 15));
    EXPECT_EQ(button.executions, 0);
    EXPECT_EQ(button.state, cButton::over);
}

// Press, move off and release outside: no action, over until the leave notice.
TEST_F(ButtonTest, ReleaseOutsideAfterMovingOffRunsNothing) {
    RECT bounds{};
    GetWindowRect(button.hWnd, &bounds);
    SetCursorPos(bounds.left + 30, bounds.top + 15);
    ASSERT_EQ(WindowFromPoint(POINT{bounds.left + 30, bounds.top + 15}), button.hWnd) << "the button is covered";
    Prepare(cButton::normal);
    SendMessageA(button.hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, 15));
    SendMessageA(button.hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 15));
    SetCursorPos(bounds.right + 100, bounds.top + 15);
    SendMessageA(button.hWnd, WM_LBUTTONUP, 0, MAKELPARAM(170, 15));
    EXPECT_EQ(button.executions, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return button.state == cButton::normal; }, 5000))
        << "state " << StateName(button.state);
    EXPECT_EQ(button.executions, 0);
}

// The five buttons: their picture ids, their first states, and each window 70 x 30
// whatever its provisional size.
TEST_F(ControlTest, FiveButtonsPicturesAndFirstStates) {
    cBtnCancel cancel;
    cBtnFolder folder;
    cBtnLaunch launch;
    cBtnStart start;
    cBtnPause pause;
    struct Case {
        const char* name;
        cButton* button;
        int32_t firstPictureId;
        int32_t firstState;
    } cases[] = {
        {"cancel", &cancel, 134, cButton::normal}, {"folder", &folder, 138, cButton::normal},
        {"launch", &launch, 142, cButton::disable}, {"start", &start, 146, cButton::normal},
        {"pause", &pause, 150, cButton::disable},
    };
    int provisional = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.button->firstPictureId, c.firstPictureId);
        EXPECT_EQ(c.button->state, cButton::normal) << "before its window";
        ASSERT_TRUE(c.button->Create(parent.hWnd, 10, 10, provisional, provisional, WS_CHILD | WS_TABSTOP, SW_HIDE));
        provisional += 20;
        EXPECT_EQ(c.button->state, c.firstState);
        RECT client{};
        GetClientRect(c.button->hWnd, &client);
        EXPECT_EQ(client.right, 70);
        EXPECT_EQ(client.bottom, 30);
        for (int s = 0; s < cButton::kStateCount; ++s) EXPECT_TRUE(c.button->pictures[s]) << "state " << s;
        DestroyWindow(c.button->hWnd);
    }
}

// Each state draws its own picture: the four states paint four different images.
TEST_F(ButtonTest, EachStateDrawsItsOwnPicture) {
    std::vector<COLORREF> seen[cButton::kStateCount];
    HDC dc = GetDC(button.hWnd);
    for (int s = 0; s < cButton::kStateCount; ++s) {
        button.SetState(s);
        PaintNow(button.hWnd);
        GdiFlush();
        for (int py = 0; py < 30; py += 2) {
            for (int px = 0; px < 70; px += 2) seen[s].push_back(GetPixel(dc, px, py));
        }
    }
    ReleaseDC(button.hWnd, dc);
    for (int a = 0; a < cButton::kStateCount; ++a) {
        for (int b = a + 1; b < cButton::kStateCount; ++b) {
            EXPECT_NE(seen[a], seen[b]) << StateName(a) << " and " << StateName(b) << " look the same";
        }
    }
}

}  // namespace
