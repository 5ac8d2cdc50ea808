// The Win32 windows, timers and message loops: timer periods over real time,
// the pending-message pass, the quit rule, the Esc key, control events and
// texts. Time margins are generous: these check behaviour, not speed.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"

namespace brenvik::win32 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimerA = 0;
constexpr int kTimerB = 1;
constexpr int kGuard = 2;  // ends a test's loop if the behaviour under test never does
constexpr int kButton = 3;
constexpr int kEdit = 4;
constexpr int kLabel = 5;

constexpr ControlSpec kControls[] = {
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"时钟2", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"时钟3", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"按钮1", ControlKind::Button, 360, 100, 96, 24, "确认复制", ControlStyle::None, ControlEvents::Click},
    {"编辑框1", ControlKind::Edit, 8, 8, 400, 24, "", ControlStyle::None, ControlEvents::DoubleClick},
    {"标签1", ControlKind::Label, 8, 100, 160, 24, "", ControlStyle::None, ControlEvents::None},
};

constexpr WindowSpec kEscapeWindow{"测试窗口", 570,      170, WindowFrame::Caption | WindowFrame::MinimiseBox,
                                   true,       kControls};
constexpr WindowSpec kPlainWindow{"Plain", 300,      200, WindowFrame::Caption | WindowFrame::Resizable,
                                  false,   kControls};

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Win32UiTest : public ::testing::Test {
protected:
    Win32CodePage codePage;
    Win32Process process{codePage};
    Win32Ui ui{process};

    ControlId control(WindowId window, int index) const { return ControlId{window, index}; }
};

TEST_F(Win32UiTest, OpenWindow_HasTheTablesOuterSizeIsCentredAndShownAfterCreated)
{
    bool visibleAtCreated = true;
    Text labelAtCreated = "not raised";
    WindowId window = ui.openWindow(kEscapeWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            visibleAtCreated = ui.isVisible(event.window);
            labelAtCreated = ui.text(control(event.window, kButton));
        }
    });
    ASSERT_TRUE(window);

    const std::optional<testing::ScreenRect> rect = testing::WindowRect(ui, window);
    const testing::ScreenRect screen = testing::PrimaryScreen();
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->width, 570);
    EXPECT_EQ(rect->height, 170);
    EXPECT_EQ(rect->left, (screen.width - 570) / 2);
    EXPECT_EQ(rect->top, (screen.height - 170) / 2);
    EXPECT_FALSE(visibleAtCreated);
    EXPECT_EQ(labelAtCreated, codePage.fromUtf8("确认复制"));
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_EQ(ui.text(control(window, -1)), codePage.fromUtf8("测试窗口"));

    ui.setVisible(window, false);
    EXPECT_FALSE(ui.isVisible(window));
    ui.destroyWindow(window);
    EXPECT_FALSE(ui.isAlive(window));
}

TEST_F(Win32UiTest, Timer_ANewPeriodRestartsItFromNow)
{
    // A runs at 300 ms; at 200 ms B changes A to 400 ms, so A's first tick
    // comes at 600 ms, not at 300 or 400.
    const Clock::time_point start = Clock::now();
    double firstTickOfA = -1;
    ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            ui.setTimerPeriod(control(event.window, kTimerA), 300);
            ui.setTimerPeriod(control(event.window, kTimerB), 200);
            ui.setTimerPeriod(control(event.window, kGuard), 3000);
        } else if (event.kind == EventKind::Tick && event.control == kTimerB) {
            ui.setTimerPeriod(control(event.window, kTimerB), 0);
            ui.setTimerPeriod(control(event.window, kTimerA), 400);
            EXPECT_EQ(ui.timerPeriod(control(event.window, kTimerA)), 400);
        } else if (event.kind == EventKind::Tick && event.control == kTimerA) {
            firstTickOfA = MsSince(start);
            ui.destroyWindow(event.window);
        } else if (event.kind == EventKind::Tick && event.control == kGuard) {
            ui.destroyWindow(event.window);
        }
    });

    EXPECT_EQ(ui.runMessageLoop(), 0);

    EXPECT_GE(firstTickOfA, 550.0);
    EXPECT_LT(firstTickOfA, 2500.0);
}

TEST_F(Win32UiTest, Timer_TheSamePeriodAgainChangesNothing)
{
    // B writes A's own period every 50 ms; a restart would keep A from ever ticking.
    int ticksOfA = 0;
    ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            ui.setTimerPeriod(control(event.window, kTimerA), 200);
            ui.setTimerPeriod(control(event.window, kTimerB), 50);
            ui.setTimerPeriod(control(event.window, kGuard), 1000);
        } else if (event.kind == EventKind::Tick && event.control == kTimerB) {
            ui.setTimerPeriod(control(event.window, kTimerA), 200);
        } else if (event.kind == EventKind::Tick && event.control == kTimerA) {
            ++ticksOfA;
        } else if (event.kind == EventKind::Tick && event.control == kGuard) {
            ui.destroyWindow(event.window);
        }
    });

    EXPECT_EQ(ui.runMessageLoop(), 0);

    EXPECT_GE(ticksOfA, 3);
    EXPECT_LE(ticksOfA, 6);
}

TEST_F(Win32UiTest, Timer_PeriodZeroStopsIt)
{
    int ticksOfA = 0;
    int periodAfterStop = -1;
    ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            ui.setTimerPeriod(control(event.window, kTimerA), 50);
            ui.setTimerPeriod(control(event.window, kGuard), 500);
        } else if (event.kind == EventKind::Tick && event.control == kTimerA) {
            ++ticksOfA;
            ui.setTimerPeriod(control(event.window, kTimerA), 0);
            periodAfterStop = ui.timerPeriod(control(event.window, kTimerA));
        } else if (event.kind == EventKind::Tick && event.control == kGuard) {
            ui.destroyWindow(event.window);
        }
    });

    EXPECT_EQ(ui.runMessageLoop(), 0);

    EXPECT_EQ(ticksOfA, 1);
    EXPECT_EQ(periodAfterStop, 0);
}

TEST_F(Win32UiTest, ProcessPending_NeverWaits)
{
    // The guard timer would end a wait after 300 ms; the pass must return long before.
    WindowId window = ui.openWindow(kPlainWindow, [](const Event&) {});
    ui.setTimerPeriod(control(window, kGuard), 300);
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ui.processPending();
    }

    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ui.processPending();
    ui.processPending();

    EXPECT_LT(MsSince(start), 100.0);
    ui.destroyWindow(window);
}

TEST_F(Win32UiTest, ProcessPending_DispatchesWhatIsQueuedAndLeavesTheQuitMessageQueued)
{
    bool destroyed = false;
    WindowId window = ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Destroyed)
            destroyed = true;
    });
    ui.requestClose(window);
    testing::PostQuit(42);
    EXPECT_TRUE(ui.isAlive(window));

    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ui.processPending();

    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(ui.isAlive(window));
    EXPECT_EQ(testing::TakeQuit(), std::optional<int>(42));
}

TEST_F(Win32UiTest, ProcessPending_DeliversDueTicksWhenCalledAfterEveryChunk)
{
    // As the copy engine does: a pass after every tiny piece of work, for 300 ms.
    int ticks = 0;
    WindowId window = ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Tick)
            ++ticks;
    });
    ui.setTimerPeriod(control(window, kTimerA), 20);

    const Clock::time_point start = Clock::now();
    while (MsSince(start) < 300.0)
        ui.processPending();

    EXPECT_GE(ticks, 5);
    ui.destroyWindow(window);
}

TEST_F(Win32UiTest, QuitRule_TheLoopEndsWhenTheLastWindowIsDestroyed)
{
    std::vector<int> destroyedOrder;
    WindowId first, second;
    auto handlerFor = [&](int which, int afterMs) {
        return [&, which, afterMs](const Event& event) {
            if (event.kind == EventKind::Created)
                ui.setTimerPeriod(control(event.window, kTimerA), afterMs);
            else if (event.kind == EventKind::Tick)
                ui.destroyWindow(event.window);
            else if (event.kind == EventKind::Destroyed)
                destroyedOrder.push_back(which);
        };
    };
    first = ui.openWindow(kPlainWindow, handlerFor(1, 50));
    second = ui.openWindow(kPlainWindow, handlerFor(2, 250));

    EXPECT_EQ(ui.runMessageLoop(), 0);

    EXPECT_EQ(destroyedOrder, (std::vector<int>{1, 2}));
    EXPECT_FALSE(ui.isAlive(first));
    EXPECT_FALSE(ui.isAlive(second));
}

TEST_F(Win32UiTest, QuitRule_NoQuitMessageBeforeTheLoopHasStarted)
{
    WindowId window = ui.openWindow(kPlainWindow, [](const Event&) {});
    ui.destroyWindow(window);

    EXPECT_EQ(testing::TakeQuit(), std::nullopt);
    // With no window left the loop does not run at all.
    EXPECT_EQ(ui.runMessageLoop(), 0);
}

TEST_F(Win32UiTest, RequestClose_DestroysTheWindowWhenALoopTakesIt)
{
    bool destroyed = false;
    WindowId window = ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Destroyed)
            destroyed = true;
    });
    ui.requestClose(window);
    EXPECT_FALSE(destroyed);

    EXPECT_EQ(ui.runMessageLoop(), 0);
    EXPECT_TRUE(destroyed);
}

TEST_F(Win32UiTest, EscapeKey_ClosesOnlyAWindowWhoseTableSaysSo)
{
    const struct {
        const char* name;
        const WindowSpec* spec;
        int target;
        bool closes;
    } cases[] = {
        {"Esc to the window", &kEscapeWindow, -1, true},
        {"Esc to one of its controls", &kEscapeWindow, kEdit, true},
        {"Esc to a window without it", &kPlainWindow, -1, false},
        {"Esc to a control of a window without it", &kPlainWindow, kEdit, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool guardFired = false;
        WindowId window = ui.openWindow(*c.spec, [&](const Event& event) {
            if (event.kind == EventKind::Created) {
                ui.setTimerPeriod(control(event.window, kGuard), 500);
            } else if (event.kind == EventKind::Tick && event.control == kGuard) {
                guardFired = true;
                ui.destroyWindow(event.window);
            }
        });
        ASSERT_TRUE(testing::PostKeyPress(ui, control(window, c.target), testing::kEscapeKey));

        EXPECT_EQ(ui.runMessageLoop(), 0);

        EXPECT_EQ(guardFired, !c.closes);
        EXPECT_FALSE(ui.isAlive(window));
    }
}

TEST_F(Win32UiTest, Events_ClickAndDoubleClickReachTheHandlerWithTheControl)
{
    std::vector<std::pair<EventKind, int>> seen;
    WindowId window = ui.openWindow(kPlainWindow, [&](const Event& event) {
        if (event.kind == EventKind::Click || event.kind == EventKind::DoubleClick)
            seen.emplace_back(event.kind, event.control);
        if (event.kind == EventKind::DoubleClick ||
            (event.kind == EventKind::Tick && event.control == kGuard))
            ui.destroyWindow(event.window);
    });
    ui.setTimerPeriod(control(window, kGuard), 2000);

    ASSERT_TRUE(testing::ClickButton(ui, control(window, kButton)));
    ASSERT_TRUE(testing::PostDoubleClick(ui, control(window, kEdit)));
    EXPECT_EQ(ui.runMessageLoop(), 0);

    const std::vector<std::pair<EventKind, int>> expected = {{EventKind::Click, kButton},
                                                             {EventKind::DoubleClick, kEdit}};
    EXPECT_EQ(seen, expected);
}

TEST_F(Win32UiTest, Texts_DataTextsAreAnsiBytesAndFixedTextsUtf8)
{
    WindowId window = ui.openWindow(kPlainWindow, [](const Event&) {});
    const std::string utf8 = codePage.id() == 936 ? "你有3个文件需要复制到D:\\备份" : "Copie vers D:\\Café";
    const Text ansi = codePage.fromUtf8(utf8);

    ui.setText(control(window, kEdit), ansi);
    ui.setTextUtf8(control(window, kLabel), utf8);

    EXPECT_EQ(ui.text(control(window, kEdit)), ansi);
    EXPECT_EQ(ui.text(control(window, kLabel)), ansi);
    ui.destroyWindow(window);
    EXPECT_EQ(ui.text(control(window, kEdit)), "");
}

}  // namespace
}  // namespace brenvik::win32
