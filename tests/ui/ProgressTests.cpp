// The progress bar and the transfer information panel: the value texts at their
// edges, the bar's fill in integer arithmetic, its frame at and beyond 100 %, no
// repaint for an unchanged value, the panel's refresh formulas, its timer's last
// tick and the manifest asked for once.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/cMgrDownloader.h"
#include "json/cJson.h"
#include "tests/ui/ControlTestSupport.h"
#include "ui/controls/ProgressFigures.h"
#include "ui/controls/ValueText.h"
#include "ui/controls/cProgressBar.h"
#include "ui/controls/cWinDownloadInfo.h"

using namespace control_tests;

namespace {

std::string Narrow(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) result += static_cast<char>(*text);
    return result;
}

TEST(ValueTextTest, DurationsCappedAt99Hours) {
    struct Case {
        uint32_t seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},       {1000, "00:16:40"},      {3725, "01:02:05"},     {86399, "23:59:59"},
        {359999, "99:59:59"},  {360000, "99:59:59"},    {UINT32_MAX, "99:59:59"},
    };
    for (const Case& c : cases) {
        wchar_t text[kValueTextSize];
        FormatDuration(text, c.seconds);
        EXPECT_EQ(Narrow(text), c.text) << c.seconds;
    }
}

// Sizes in MiB with one decimal; what would not fit the 15 characters moves on to
// the next unit, up to the largest size there is.
TEST(ValueTextTest, SizesSwitchUnitBeforeTheyOverflowTheirSlot) {
    const int64_t MiB = 1048576;
    struct Case {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0.0 MBytes"},
        {1572864000, "1500.0 MBytes"},
        {5368709120, "5120.0 MBytes"},
        {MiB / 10, "0.1 MBytes"},
        {99999 * MiB, "99999.0 MBytes"},
        {99999 * MiB + MiB * 96 / 100, "97.7 GBytes"},  // would print as 100000.0 MBytes
        {999999 * MiB + MiB / 2, "976.6 GBytes"},
        {1000000 * MiB, "976.6 GBytes"},
        {1000000LL * 1024 * MiB, "976.6 TBytes"},
        {1000000LL * 1024 * 1024 * MiB, "976.6 PBytes"},
        {INT64_MAX, "8192.0 PBytes"},
        {-MiB, "-1.0 MBytes"},
        {INT64_MIN, "-8192.0 PBytes"},
    };
    for (const Case& c : cases) {
        wchar_t text[kValueTextSize];
        FormatSize(text, c.bytes);
        EXPECT_EQ(Narrow(text), c.text) << c.bytes;
    }
}

TEST(ValueTextTest, RatesAndSpeeds) {
    struct RateCase {
        int32_t rate;
        const char* text;
    } rates[] = {
        {0, "0.00%"},         {1, "0.01%"},          {2500, "25.00%"},     {5000, "50.00%"},
        {9999, "99.99%"},     {10000, "100.00%"},    {99999, "999.99%"},   {100000, "999.99%"},
        {INT32_MAX, "999.99%"}, {-1, "0.00%"},       {INT32_MIN, "0.00%"},
    };
    for (const RateCase& c : rates) {
        wchar_t text[kRateTextSize];
        FormatRate(text, c.rate);
        EXPECT_EQ(Narrow(text), c.text) << c.rate;
    }
    struct SpeedCase {
        float speed;
        const char* text;
    } speeds[] = {
        {0.0f, "0.000 MiB/Sec"},
        {3.0f, "3.000 MiB/Sec"},
        {999.999f, "999.999 MiB/Sec"},
        {1024.0f, "1.000 GiB/Sec"},
        {1.0e30f, "999.999 GiB/Sec"},
        {std::numeric_limits<float>::infinity(), "999.999 GiB/Sec"},
        {-2.0f, "0.000 MiB/Sec"},
        {std::numeric_limits<float>::quiet_NaN(), "0.000 MiB/Sec"},
    };
    for (const SpeedCase& c : speeds) {
        wchar_t text[kValueTextSize];
        FormatSpeed(text, c.speed);
        EXPECT_EQ(Narrow(text), c.text) << c.speed;
    }
}

// The panel's formulas one by one: average speed over whole seconds, the remaining
// time from it, and the rate in hundredths of a percent.
TEST(ProgressFiguresTest, Formulas) {
    EXPECT_FLOAT_EQ(AverageSpeed(3145728, 0), 0.0f);
    EXPECT_FLOAT_EQ(AverageSpeed(3145728, 1), 3145728.0f);
    EXPECT_FLOAT_EQ(MebibytesPerSecond(AverageSpeed(3145728, 1)), 3.0f);
    EXPECT_FLOAT_EQ(AverageSpeed(10, 4), 2.5f);

    struct Remaining {
        int64_t missing;
        float speed;
        uint32_t seconds;
    } remaining[] = {
        {1048576000, 1048576.0f, 1000}, {0, 1048576.0f, 0},   {1048576000, 0.0f, 0}, {0, 0.0f, 0},
        {-5000, 1000.0f, 0},            {999, 1000.0f, 0},    {1999, 1000.0f, 1},
        {INT64_MAX, 1.0f, UINT32_MAX},  {1, std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Remaining& c : remaining) {
        EXPECT_EQ(RemainingSeconds(c.missing, c.speed), c.seconds) << c.missing << " at " << c.speed;
    }

    struct Rate {
        int64_t received, total;
        int32_t rate;
    } rateCases[] = {
        {2500, 10000, 2500}, {0, 10000, 0}, {10000, 10000, 10000}, {1, 3, 3333}, {2, 3, 6666},
        {15000, 10000, 15000}, {5, 0, 0}, {INT64_MAX, 1, 2000000000}, {-INT64_MAX, 1, -2000000000},
    };
    for (const Rate& c : rateCases) {
        EXPECT_EQ(ProgressRate(c.received, c.total), c.rate) << c.received << " of " << c.total;
    }
}

// A bar of the built-in description as a child of the shared parent.
struct BarTest : ControlTest {
    cJson description;
    cProgressBar bar;

    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(description.LoadFromResource());
        ASSERT_TRUE(bar.ReadLayout(description));
        bar.SetTextRects();
    }
    void TearDown() override {
        if (bar.hWnd) DestroyWindow(bar.hWnd);
        ControlTest::TearDown();
    }
    void ShowBar() {
        ASSERT_TRUE(bar.Create(parent.hWnd, bar.x, bar.y, bar.barWidth, bar.barHeight, WS_CHILD, SW_HIDE));
        bar.SetFillRect();
        ShowWindow(bar.hWnd, SW_SHOW);
        PaintNow(bar.hWnd);
    }
};

TEST_F(BarTest, BuiltInLayoutAndTextRectangles) {
    EXPECT_EQ(bar.x, 30);
    EXPECT_EQ(bar.y, 306);
    EXPECT_EQ(bar.barWidth, 586);
    EXPECT_EQ(bar.barHeight, 18);
    EXPECT_EQ(bar.bgColor, 0x333333u);
    EXPECT_EQ(bar.fgColor, 0x33DDFFu);
    EXPECT_TRUE(bar.drawRateText);
    EXPECT_FLOAT_EQ(bar.rateRect.left, 263);
    EXPECT_FLOAT_EQ(bar.rateRect.top, 3);
    EXPECT_FLOAT_EQ(bar.rateRect.right, 323);
    EXPECT_FLOAT_EQ(bar.rateRect.bottom, 13);
    EXPECT_FLOAT_EQ(bar.speedRect.left, 486);
    EXPECT_FLOAT_EQ(bar.speedRect.right, 581);
    EXPECT_EQ(Narrow(bar.rateText), "0.00%");
    EXPECT_EQ(Narrow(bar.speedText), "0.000 MiB/Sec");
}

TEST(BarLayoutTest, DrawRateTextOnlyForExactlyTrue) {
    struct Case {
        const char* value;
        bool on;
    } cases[] = {{"true", true}, {"\"true\"", true}, {"\"True\"", false}, {"false", false}, {"1", false}};
    for (const Case& c : cases) {
        std::string text = std::string(R"({"progressbar": {"total": {"x": 1, "y": 2, "width": 100, "height": 10,
            "bg-color": "0x000000", "fg-color": "0xFFFFFF", "draw-rate-text": )") +
                           c.value + R"(}}, "font": {"progressbar": {"name": "Arial", "size": 12, "alpha": 79,
            "color": "0xFFFFFF"}}})";
        cJson document;
        ASSERT_TRUE(document.Parse(text.c_str())) << text;
        cProgressBar bar;
        ASSERT_TRUE(bar.ReadLayout(document));
        EXPECT_EQ(bar.drawRateText, c.on) << c.value;
    }
    // Without "total" the layout fails instead of reading nothing.
    cJson document;
    ASSERT_TRUE(document.Parse(R"({"progressbar": {}})"));
    cProgressBar bar;
    EXPECT_FALSE(bar.ReadLayout(document));
}

// The fill in integer arithmetic: truncated, never beyond the inner width (a rate
// above 100 % or a negative one), also where the product leaves 32 bits.
TEST(BarFillTest, FillWidthAtTheEdges) {
    struct Case {
        int32_t width;
        int32_t rate;
        int32_t fill;
    } cases[] = {
        {586, 5000, 292},   {586, 10000, 584},      {586, 0, 0},          {586, 1, 0},
        {586, 2500, 146},   {587, 9999, 584},       {587, 10000, 585},    {586, 15000, 584},
        {586, INT32_MAX, 584}, {586, -1, 0},        {586, INT32_MIN, 0},  {2, 10000, 0},
        {1, 10000, 0},      {0, 5000, 0},           {300000, 10000, 299998}, {300000, 5000, 149999},
    };
    for (const Case& c : cases) {
        cProgressBar bar;
        bar.barWidth = c.width;
        bar.barHeight = 18;
        bar.SetFillRect();
        bar.rate = c.rate == 0 ? 1 : 0;  // so that the rate is a change
        bar.SetRate(c.rate);
        EXPECT_EQ(bar.fillWidth, c.fill) << c.width << " wide at " << c.rate;
        EXPECT_FLOAT_EQ(bar.fillRect.left, 1.0f);
        EXPECT_FLOAT_EQ(bar.fillRect.top, 1.0f);
        EXPECT_FLOAT_EQ(bar.fillRect.right, static_cast<float>(c.fill) + 1.0f);
        EXPECT_FLOAT_EQ(bar.fillRect.bottom, 17.0f);
    }
}

// The two texts follow the values only when they are drawn; the fill always does.
TEST(BarFillTest, TextsOnlyWhenDrawn) {
    cProgressBar shown;
    shown.barWidth = 586;
    shown.drawRateText = true;
    shown.SetRate(2500);
    shown.SetSpeed(3.0f);
    EXPECT_EQ(Narrow(shown.rateText), "25.00%");
    EXPECT_EQ(Narrow(shown.speedText), "3.000 MiB/Sec");
    shown.SetRate(0);
    EXPECT_EQ(Narrow(shown.rateText), "0.00%");
    EXPECT_EQ(shown.fillWidth, 0);

    cProgressBar hidden;
    hidden.barWidth = 586;
    hidden.drawRateText = false;
    hidden.SetRate(2500);
    hidden.SetSpeed(3.0f);
    EXPECT_EQ(hidden.fillWidth, 146);
    EXPECT_EQ(hidden.rate, 2500);
    EXPECT_EQ(Narrow(hidden.rateText), "0.00%");
    EXPECT_EQ(Narrow(hidden.speedText), "0.000 MiB/Sec");
}

TEST_F(BarTest, RepaintsOnlyWhenAValueChanges) {
    ShowBar();
    struct Step {
        const char* what;
        bool rate;  // else speed
        double value;
        bool repaint;
    } steps[] = {
        {"speed 0 on a fresh bar", false, 0.0, false},
        {"rate 0 on a fresh bar", true, 0, false},
        {"rate 5000", true, 5000, true},
        {"rate 5000 again", true, 5000, false},
        {"speed 3", false, 3.0, true},
        {"speed 3 again", false, 3.0, false},
        {"speed not a number", false, std::nan(""), true},
        {"speed not a number again", false, std::nan(""), true},
        {"rate 0", true, 0, true},
    };
    for (const Step& step : steps) {
        PaintNow(bar.hWnd);
        ASSERT_FALSE(WaitsForPaint(bar.hWnd));
        if (step.rate) {
            bar.SetRate(static_cast<int32_t>(step.value));
        } else {
            bar.SetSpeed(static_cast<float>(step.value));
        }
        EXPECT_EQ(WaitsForPaint(bar.hWnd), step.repaint) << step.what;
    }
    EXPECT_EQ(Narrow(bar.rateText), "0.00%");
    EXPECT_EQ(Narrow(bar.speedText), "0.000 MiB/Sec");
}

// On screen: a frame of the background colour on every side, at 100 % and beyond,
// and the fill up to the pixel before the right edge. The texts are off so that
// they cover no pixel looked at.
TEST_F(BarTest, FrameKeptAtAndBeyondAHundredPercent) {
    bar.drawRateText = false;
    ShowBar();
    const COLORREF background = RGB(0x33, 0x33, 0x33);
    const COLORREF fill = RGB(0x33, 0xDD, 0xFF);
    for (int32_t rate : {10000, 15000, INT32_MAX, 5000}) {
        SCOPED_TRACE(rate);
        bar.SetRate(rate);
        PaintNow(bar.hWnd);
        GdiFlush();
        HDC dc = GetDC(bar.hWnd);
        int last = bar.fillWidth;  // the fill covers x = 1 .. fillWidth
        EXPECT_EQ(GetPixel(dc, 0, 9), background) << "left frame";
        EXPECT_EQ(GetPixel(dc, 585, 9), background) << "right frame";
        EXPECT_EQ(GetPixel(dc, 100, 0), background) << "top frame";
        EXPECT_EQ(GetPixel(dc, 100, 17), background) << "bottom frame";
        EXPECT_EQ(GetPixel(dc, 1, 9), fill);
        EXPECT_EQ(GetPixel(dc, last, 9), fill);
        if (last < 584) {
            EXPECT_EQ(GetPixel(dc, last + 1, 9), background);
        }
        ReleaseDC(bar.hWnd, dc);
    }
}

// A panel whose manifest loading is counted; a load takes longer than a tick and
// dispatches messages meanwhile, as a message box or a slow transfer would.
class cCountingPanel final : public cWinDownloadInfo {
public:
    int loads = 0;
    DWORD loadMs = 0;
    void LoadManifest() override {
        ++loads;
        if (loadMs) PumpFor(loadMs);
    }
};

struct PanelTest : ControlTest {
    cJson description;
    cProgressBar bar;
    cCountingPanel panel;
    cMgrDownloader* manager = nullptr;

    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(description.LoadFromResource());
        ASSERT_TRUE(bar.ReadLayout(description));
        bar.SetTextRects();
    }
    void TearDown() override {
        app.manager = nullptr;
        delete manager;  // never started
        if (panel.hWnd) DestroyWindow(panel.hWnd);
        ControlTest::TearDown();
    }
    // A manager that is not running, with counters as a run `elapsedMs` old has them.
    void SetCounters(int64_t total, int64_t received, int64_t transferred, uint32_t elapsedMs) {
        if (!manager) manager = new cMgrDownloader();
        manager->totalSize = total;
        manager->receivedSize = received;
        manager->transferredSize = transferred;
        manager->startTick = GetTickCount() - elapsedMs;
        app.manager = manager;
    }
    std::string Value(int item) const { return Narrow(panel.valueTexts[item]); }
};

TEST_F(PanelTest, LabelsPlacesAndFirstValuesFromTheBuiltInDescription) {
    ASSERT_TRUE(panel.CreateFromLayout(description, parent.hWnd, bar));
    const char* labels[] = {"Remained :", "Elapsed :", "Transfered :", "Total Size :"};
    const float x[] = {0, 120, 290, 445};
    const float labelRight[] = {100, 85, 100, 100};
    const float valueLeft[] = {64, 54, 67, 63};
    for (int i = 0; i < cWinDownloadInfo::kItemCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Narrow(panel.tagTexts[i]), labels[i]);
        EXPECT_FLOAT_EQ(panel.tagRects[i].left, x[i]);
        EXPECT_FLOAT_EQ(panel.tagRects[i].right, x[i] + labelRight[i]);
        EXPECT_FLOAT_EQ(panel.valueRects[i].left, x[i] + valueLeft[i]);
        EXPECT_FLOAT_EQ(panel.valueRects[i].right, x[i] + 165);
        EXPECT_FLOAT_EQ(panel.tagRects[i].top, 0);
        EXPECT_FLOAT_EQ(panel.valueRects[i].bottom, 20);
    }
    EXPECT_EQ(Value(0), "00:00:00");
    EXPECT_EQ(Value(1), "00:00:00");
    EXPECT_EQ(Value(2), "000.0 MBytes");
    EXPECT_EQ(Value(3), "000.0 MBytes");
    EXPECT_EQ(panel.progressBar, &bar);
    RECT client{};
    GetClientRect(panel.hWnd, &client);
    EXPECT_EQ(client.right, 590);
    EXPECT_EQ(client.bottom, 20);
}

// One tick with the manager's counters: the texts and what the bar receives, for the
// figures the panel is known by and at the edges where values do not fit.
TEST_F(PanelTest, TickTurnsTheCountersIntoTextsAndFeedsTheBar) {
    panel.progressBar = &bar;
    const int64_t MiB = 1048576;
    struct Case {
        const char* what;
        int64_t total, received, transferred;
        uint32_t elapsedMs;
        const char* remaining;
        const char* elapsed;
        const char* receivedText;
        const char* speedText;
        int32_t rate;
    } cases[] = {
        {"1.5 s at 3 MiB", 100 * MiB, 3 * MiB, 3 * MiB, 1500, "00:00:32", "00:00:01", "3.0 MBytes", "3.000 MiB/Sec", 300},
        {"3725 s", 4000 * MiB, 3725 * MiB, 3725 * MiB, 3725400, "00:04:35", "01:02:05", "3725.0 MBytes",
         "1.000 MiB/Sec", 9312},
        {"1000 MiB missing at 1 MiB/s", 1000 * MiB + 10 * MiB, 10 * MiB, 10 * MiB, 10000, "00:16:40", "00:00:10",
         "10.0 MBytes", "1.000 MiB/Sec", 99},
        {"first second", 10000, 2500, 2500, 500, "00:00:00", "00:00:00", "0.0 MBytes", "0.000 MiB/Sec", 2500},
        {"1500 MiB on disk", 1572864000, 1572864000, 0, 2000, "00:00:00", "00:00:02", "1500.0 MBytes",
         "0.000 MiB/Sec", 10000},
        {"more on disk than the total", 1000, 1500, 1500, 3000, "00:00:00", "00:00:03", "0.0 MBytes",
         "0.000 MiB/Sec", 15000},
        {"a run of 150 hours", 1000 * MiB, MiB, MiB, 540000000, "99:59:59", "99:59:59", "1.0 MBytes",
         "0.000 MiB/Sec", 10},
        {"1000000 MiB received", 2000000 * MiB, 1000000 * MiB, 0, 1000, "00:00:00", "00:00:01", "976.6 GBytes",
         "0.000 MiB/Sec", 5000},
        {"the largest total, one byte a second", INT64_MAX, 0, 1, 1000, "99:59:59", "00:00:01", "0.0 MBytes",
         "0.000 MiB/Sec", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bar.drawRateText = true;
        bar.rate = -1;  // so that every rate is a change
        bar.speed = -1.0f;
        SetCounters(c.total, c.received, c.transferred, c.elapsedMs);
        panel.OnTimer();
        EXPECT_EQ(Value(0), c.remaining);
        EXPECT_EQ(Value(1), c.elapsed);
        EXPECT_EQ(Value(2), c.receivedText);
        EXPECT_EQ(Narrow(bar.speedText), c.speedText);
        EXPECT_EQ(bar.rate, c.rate);
        for (int i = 0; i < cWinDownloadInfo::kItemCount; ++i) EXPECT_LT(wcslen(panel.valueTexts[i]), 16u);
    }
    EXPECT_EQ(panel.loads, 0) << "with a manager the manifest is not asked for";
}

// A manager without a total changes nothing: the texts of the last run stay, as
// they do after pause (no manager at all).
TEST_F(PanelTest, TicksWithoutATotalOrWithoutAManagerKeepTheTexts) {
    panel.progressBar = &bar;
    SetCounters(10000, 2500, 2500, 2000);
    panel.OnTimer();
    std::string before[4] = {Value(0), Value(1), Value(2), Value(3)};
    int32_t rate = bar.rate;
    SetCounters(0, 9000, 9000, 9000);
    panel.OnTimer();
    app.manager = nullptr;
    panel.loadRequested = true;
    panel.OnTimer();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Value(i), before[i]) << i;
    EXPECT_EQ(bar.rate, rate);
}

// With the real timer: ticks follow a running manager; the tick that sees finished
// updates the texts one last time, and no tick follows it.
TEST_F(PanelTest, TimerStopsAfterTheTickThatSeesFinished) {
    SetCounters(10000, 1000, 1000, 2000);
    ASSERT_TRUE(panel.CreateFromLayout(description, parent.hWnd, bar));
    ASSERT_TRUE(PumpUntil([&] { return bar.rate == 1000; }, 3000)) << "no tick followed the run";

    SetCounters(10000, 2000, 2000, 2000);
    manager->finished = 1;
    ASSERT_TRUE(PumpUntil([&] { return bar.rate == 2000; }, 3000)) << "no last tick";
    // Counters that still change are not shown any more.
    SetCounters(10000, 3000, 3000, 2000);
    PumpFor(1200);
    EXPECT_EQ(bar.rate, 2000);
    EXPECT_EQ(Value(2), "0.0 MBytes");
    EXPECT_EQ(panel.loads, 0);
}

// The manifest is asked for on the first tick without a manager, and once only,
// even when loading it lasts several ticks and dispatches them.
TEST_F(PanelTest, ManifestAskedForOnceEvenWhenLoadingOutlastsATick) {
    panel.loadMs = 1200;
    ASSERT_TRUE(panel.CreateFromLayout(description, parent.hWnd, bar));
    EXPECT_EQ(panel.loads, 0) << "not before the first tick";
    ASSERT_TRUE(PumpUntil([&] { return panel.loads > 0; }, 3000));
    PumpFor(1500);
    EXPECT_EQ(panel.loads, 1);
    EXPECT_TRUE(panel.loadRequested);
    // A run that ends and leaves no manager (pause) does not ask again.
    SetCounters(100, 50, 50, 1000);
    PumpFor(400);
    app.manager = nullptr;
    PumpFor(700);
    EXPECT_EQ(panel.loads, 1);
}

TEST_F(PanelTest, IncompleteDescriptionLeavesNoWindowAndNoTimer) {
    struct Case {
        const char* what;
        const char* text;
    } cases[] = {
        {"no text", R"({"font": {}})"},
        {"a tag without x", R"({"text": {"tag": {"time-remaining": {"name": "R"}}}})"},
        {"font without size",
         R"({"text": {"tag": {"time-remaining": {"name": "R", "x": 0}, "elapse-time": {"name": "E", "x": 1},
            "total-recv": {"name": "T", "x": 2}, "total-size": {"name": "S", "x": 3}}},
            "font": {"tag": {"name": "Arial", "color": "0xFFFFFF", "alpha": 79}, "value": {"color": "0x0", "alpha": 1}}})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cJson document;
        ASSERT_TRUE(document.Parse(c.text));
        cCountingPanel lone;
        EXPECT_FALSE(lone.CreateFromLayout(document, parent.hWnd, bar));
        EXPECT_EQ(lone.hWnd, nullptr);
    }
}

// A label longer than its slot is cut so that " :" still follows it.
TEST_F(PanelTest, LongLabelsAreCutToTheirSlot) {
    cJson document;
    ASSERT_TRUE(document.Parse(
        R"({"text": {"tag": {"time-remaining": {"name": "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "x": 0},
            "elapse-time": {"name": "", "x": 1}, "total-recv": {"name": "Exactly13Char", "x": 2},
            "total-size": {"name": "S", "x": 3}}},
            "font": {"tag": {"name": "Arial", "size": 12, "color": "0xFFFFFF", "alpha": 79},
                     "value": {"color": "0x0", "alpha": 1}}})"));
    ASSERT_TRUE(panel.CreateFromLayout(document, parent.hWnd, bar));
    EXPECT_EQ(Narrow(panel.tagTexts[0]), "ABCDEFGHIJKLM :");
    EXPECT_EQ(Narrow(panel.tagTexts[1]), " :");
    EXPECT_EQ(Narrow(panel.tagTexts[2]), "Exactly13Char :");
    EXPECT_EQ(Narrow(panel.tagTexts[3]), "S :");
}

}  // namespace

namespace {

// The widest texts of the times, of sizes (five digits of MiB at most, then the larger
// units) stay left of the next label: what is drawn changes no pixel from the next
// label's left edge on. (Six digits of MiB would fit the text slot but reach about
// 4 pixels into "Total Size" with the built-in font, so sizes switch to GBytes first.)
TEST_F(PanelTest, WidestValuesStayClearOfTheNextLabel) {
    ASSERT_TRUE(panel.CreateFromLayout(description, parent.hWnd, bar));
    KillTimer(panel.hWnd, cWinDownloadInfo::kTimerId);  // the texts are set here only
    auto capture = [&] {
        panel.Invalidate();
        PaintNow(panel.hWnd);
        GdiFlush();
        std::vector<COLORREF> pixels;
        HDC dc = GetDC(panel.hWnd);
        for (int py = 0; py < 20; ++py) {
            for (int px = 0; px < 590; ++px) pixels.push_back(GetPixel(dc, px, py));
        }
        ReleaseDC(panel.hWnd, dc);
        return pixels;
    };
    struct Case {
        int item;
        const wchar_t* text;
        int nextLabel;
    } cases[] = {
        {cWinDownloadInfo::kRemainingTime, L"99:59:59", 120},
        {cWinDownloadInfo::kElapsedTime, L"99:59:59", 290},
        {cWinDownloadInfo::kReceivedSize, L"99999.9 MBytes", 445},
        {cWinDownloadInfo::kReceivedSize, L"976.6 GBytes", 445},
        {cWinDownloadInfo::kReceivedSize, L"8192.0 PBytes", 445},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        for (auto& value : panel.valueTexts) value[0] = L'\0';
        std::vector<COLORREF> empty = capture();
        wcscpy(panel.valueTexts[c.item], c.text);
        std::vector<COLORREF> shown = capture();
        int first = 590;
        int last = -1;
        for (size_t i = 0; i < empty.size(); ++i) {
            if (empty[i] == shown[i]) continue;
            int px = static_cast<int>(i % 590);
            first = std::min(first, px);
            last = std::max(last, px);
        }
        ASSERT_GE(last, 0) << "the value was not drawn";
        EXPECT_GE(first, static_cast<int>(panel.valueRects[c.item].left) - 1) << "drawn left of its place";
        EXPECT_LT(last, c.nextLabel) << "runs into the next label";
    }
}

}  // namespace
