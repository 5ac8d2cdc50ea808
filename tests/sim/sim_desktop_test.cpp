// The simulated desktop's own contract: timers on the virtual clock, the message
// loop and the pending-message pass, the ways a run ends, the scripted user,
// windows built from their tables, and the code pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/code_page.h"
#include "platform/sim/desktop.h"
#include "platform/sim/files.h"
#include "platform/sim/process.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik::sim {
namespace {

constexpr ControlSpec kControls[] = {
    {"按钮1", ControlKind::Button, 10, 10, 80, 24, "确定", ControlStyle::None, ControlEvents::Click, 0},
    {"按钮2", ControlKind::Button, 10, 40, 80, 24, "", ControlStyle::None,
     ControlEvents::Click | ControlEvents::DoubleClick, 0},
    {"编辑框1", ControlKind::Edit, 10, 70, 80, 20, "", ControlStyle::None, ControlEvents::None, 2},
    {"编辑框2", ControlKind::Edit, 10, 100, 80, 20, "只读", ControlStyle::ReadOnly, ControlEvents::None, 0},
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick, 0},
    {"时钟2", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick, 0},
};
constexpr int kButton1 = 0, kButton2 = 1, kEdit = 2, kReadOnly = 3, kTimer1 = 4, kTimer2 = 5;

// A window with a close box that Esc closes, and one with neither.
constexpr WindowSpec kWindow{"测试窗口", 301, 201, WindowFrame::Caption, true, kControls};
constexpr WindowSpec kBare{"第二窗口", 200, 100, 0, false, kControls};

// What a handler saw: the event, the control and the virtual time.
struct Seen {
    EventKind kind;
    int control;
    std::int64_t atMs;
    friend bool operator==(const Seen&, const Seen&) = default;
    friend void PrintTo(const Seen& s, std::ostream* os)
    {
        *os << "{kind " << static_cast<int>(s.kind) << ", control " << s.control << ", at " << s.atMs << "}";
    }
};

class SimDesktopTest : public ::testing::Test {
protected:
    // A handler that records the events of `kinds` and then runs `more`.
    EventHandler recorder(SimDesktop& desktop, std::vector<EventKind> kinds,
                          std::function<void(const Event&)> more = {})
    {
        return [this, &desktop, kinds, more](const Event& e) {
            if (std::find(kinds.begin(), kinds.end(), e.kind) != kinds.end())
                seen.push_back({e.kind, e.control, desktop.nowMs()});
            if (more)
                more(e);
        };
    }

    simtest::TempFolder folder;
    std::vector<Seen> seen;
};

TEST_F(SimDesktopTest, TimerPeriod_NewPeriodRestartsFromNow_SamePeriodChangesNothing_ZeroStops)
{
    SimDesktop desktop(folder.path());
    WindowId w;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow, recorder(desktop, {EventKind::Tick}, [&](const Event& e) {
                                if (e.kind == EventKind::Tick && e.control == kTimer1)
                                    p.ui.setTimerPeriod({w, kTimer1}, 0);
                                if (e.kind == EventKind::Tick && desktop.nowMs() >= 180)
                                    p.ui.destroyWindow(w);
                            }));
        p.ui.setTimerPeriod({w, kTimer1}, 100);
        p.ui.setTimerPeriod({w, kTimer2}, 100);
        p.pause.sleep(30);
        p.ui.setTimerPeriod({w, kTimer1}, 100);  // unchanged: still due at 100
        p.ui.setTimerPeriod({w, kTimer2}, 50);   // restarted: due at 80
        EXPECT_EQ(p.ui.timerPeriod({w, kTimer2}), 50);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 0);
    const std::vector<Seen> expected = {{EventKind::Tick, kTimer2, 80},
                                        {EventKind::Tick, kTimer1, 100},
                                        {EventKind::Tick, kTimer2, 130},
                                        {EventKind::Tick, kTimer2, 180}};
    EXPECT_EQ(seen, expected);
}

TEST_F(SimDesktopTest, TimerTiesGoByStartOrder_AndPostedInputBeforeTicks)
{
    SimDesktop desktop(folder.path());
    WindowId w;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow,
                            recorder(desktop, {EventKind::Tick, EventKind::Click}, [&](const Event& e) {
                                if (e.control == kTimer1 && desktop.nowMs() == 200)
                                    p.ui.destroyWindow(w);
                            }));
        // Started in the opposite order of the table, so only start order explains the result.
        p.ui.setTimerPeriod({w, kTimer2}, 100);
        p.ui.setTimerPeriod({w, kTimer1}, 100);
        desktop.ui().user().click({w, kButton1}, 100);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    const std::vector<Seen> expected = {{EventKind::Click, kButton1, 100},
                                        {EventKind::Tick, kTimer2, 100},
                                        {EventKind::Tick, kTimer1, 100},
                                        {EventKind::Tick, kTimer2, 200},
                                        {EventKind::Tick, kTimer1, 200}};
    EXPECT_EQ(seen, expected);
}

TEST_F(SimDesktopTest, PauseAdvancesClockAndDispatchesNothing_MissedTicksComeAsOne)
{
    SimDesktop desktop(folder.path());
    WindowId w;
    bool exitAtTick = false;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow,
                            recorder(desktop, {EventKind::Tick, EventKind::Click}, [&](const Event& e) {
                                if (e.kind == EventKind::Tick && exitAtTick)
                                    p.process.exitNow(7);
                            }));
        p.ui.setTimerPeriod({w, kTimer1}, 10);
        desktop.ui().postEvent({EventKind::Click, w, kButton1});
        p.pause.sleep(1000);
        EXPECT_EQ(desktop.nowMs(), 1000);
        EXPECT_TRUE(seen.empty());

        p.ui.processPending();
        p.ui.processPending();
        const std::vector<Seen> expected = {{EventKind::Click, kButton1, 1000},
                                            {EventKind::Tick, kTimer1, 1000}};
        EXPECT_EQ(seen, expected);

        exitAtTick = true;
        p.ui.runMessageLoop();
        ADD_FAILURE() << "exitNow returned";
        return 0;
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 7);
    EXPECT_EQ(desktop.nowMs(), 1010);  // the next tick is a period after the late one
}

TEST_F(SimDesktopTest, PendingPassNeverWaits_AndLeavesAQueuedQuitQueued)
{
    SimDesktop desktop(folder.path());
    SimUi& ui = desktop.ui();
    WindowId w;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow, recorder(desktop, {EventKind::Tick, EventKind::Click}));
        p.ui.setTimerPeriod({w, kTimer1}, 50);
        ui.postEvent({EventKind::Click, w, kButton1});
        p.ui.processPending();
        EXPECT_EQ(desktop.nowMs(), 0);
        EXPECT_EQ(seen, (std::vector<Seen>{{EventKind::Click, kButton1, 0}}));

        ui.postQuit(3);
        ui.postEvent({EventKind::Click, w, kButton2});
        p.ui.processPending();
        EXPECT_EQ(ui.queuedQuit(), 3);
        EXPECT_EQ(ui.queuedMessages(), 1u);
        EXPECT_EQ(ui.pendingPassCount(), 2);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(seen, (std::vector<Seen>{{EventKind::Click, kButton1, 0}}));
    EXPECT_FALSE(ui.queuedQuit());
}

TEST_F(SimDesktopTest, QuitIsPostedOnlyWhenTheLastWindowGoesAfterTheLoopStarted)
{
    SimDesktop desktop(folder.path());
    SimUi& ui = desktop.ui();
    WindowId a, b;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        const WindowId early = p.ui.openWindow(kBare, {});
        p.ui.destroyWindow(early);
        EXPECT_FALSE(ui.queuedQuit()) << "the loop has not started";

        a = p.ui.openWindow(kWindow, recorder(desktop, {EventKind::Destroyed}, [&](const Event& e) {
                                if (e.kind == EventKind::Click)
                                    p.ui.destroyWindow(b);
                            }));
        b = p.ui.openWindow(kBare, recorder(desktop, {EventKind::Destroyed}));
        ui.user().click({a, kButton1});
        ui.user().call([&] {
            EXPECT_FALSE(ui.isAlive(b));
            EXPECT_TRUE(ui.isAlive(a));
            EXPECT_FALSE(ui.queuedQuit()) << "a window is left";
        });
        ui.user().close(a);
        return p.ui.runMessageLoop() + 40;
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 40);
    EXPECT_EQ(seen, (std::vector<Seen>{{EventKind::Destroyed, -1, 0}, {EventKind::Destroyed, -1, 0}}));
    EXPECT_TRUE(ui.windows().empty());
}

TEST_F(SimDesktopTest, LoopWithNoWindowReturnsZeroAtOnce)
{
    SimDesktop desktop(folder.path());
    const RunOutcome outcome = desktop.run([](Platform& p) { return p.ui.runMessageLoop() + 9; });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 9);
    EXPECT_TRUE(desktop.ui().loopStarted());
}

TEST_F(SimDesktopTest, ALoopWithNothingLeftEndsIdle_NotHanging)
{
    SimDesktop desktop(folder.path());
    bool checked = false;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        p.process.initialise();
        p.ui.openWindow(kWindow, {});
        desktop.ui().user().call([&] { checked = true; }, 250);
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::Idle);
    EXPECT_TRUE(checked);
    EXPECT_EQ(desktop.nowMs(), 250);
    EXPECT_EQ(desktop.process().comReleaseCount(), 0) << "an idle run is not a program end";
}

TEST_F(SimDesktopTest, ATimerThatNeverStopsEndsAtTheTimeLimit)
{
    SimOptions options;
    options.timeLimitMs = 1000;
    SimDesktop desktop(folder.path(), options);
    int ticks = 0;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        const WindowId w =
            p.ui.openWindow(kWindow, [&](const Event& e) { ticks += e.kind == EventKind::Tick ? 1 : 0; });
        p.ui.setTimerPeriod({w, kTimer1}, 100);
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::TimeLimit);
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(desktop.nowMs(), 1100);
}

// --- program end --------------------------------------------------------------

struct Tag {
    std::vector<int>* log;
    int id;
};
void RecordTag(void* context)
{
    auto* tag = static_cast<Tag*>(context);
    tag->log->push_back(tag->id);
}
void RecordTagPlus100(void* context)
{
    auto* tag = static_cast<Tag*>(context);
    tag->log->push_back(tag->id + 100);
}

enum class Route { EntryReturns, ExitNow, FatalError, OutOfMemory };

struct EndCase {
    Route route;
    int exitCode;
    std::vector<int> routinesRun;
    std::string fatalMessage;  // empty: no message box
    friend void PrintTo(const EndCase& c, std::ostream* os) { *os << "route " << static_cast<int>(c.route); }
};

class ProgramEndTest : public SimDesktopTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ProgramEndTest, EndsWithItsCode_ExitRoutinesRunOnceInOrderOrNotAtAll)
{
    const EndCase& c = GetParam();
    SimDesktop desktop(folder.path());
    std::vector<int> log;
    Tag first{&log, 1}, second{&log, 2};
    bool ranPastTheEnd = false;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        EXPECT_TRUE(p.process.initialise());
        p.process.addExitRoutine({&RecordTag, &first});
        p.process.addExitRoutine({&RecordTagPlus100, &first});
        p.process.addExitRoutine({&RecordTag, &first});  // already held
        p.process.addExitRoutine({&RecordTag, &second});
        const WindowId w = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind != EventKind::Click)
                return;
            if (c.route == Route::ExitNow)
                p.process.exitNow(5);
            if (c.route == Route::FatalError)
                p.process.fatalError("致命错误");
            if (c.route == Route::OutOfMemory)
                throw std::bad_alloc();
            ranPastTheEnd = true;
        });
        desktop.ui().user().click({w, kButton1});
        desktop.ui().user().close(w);
        const int loop = p.ui.runMessageLoop();
        EXPECT_TRUE(log.empty()) << "no routine runs before the program ends";
        return loop + 42;
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(log, c.routinesRun);
    EXPECT_EQ(ranPastTheEnd, c.route == Route::EntryReturns);
    const SimProcess& process = desktop.process();
    EXPECT_TRUE(process.exitRoutines().empty());
    EXPECT_EQ(process.exitRoutinesRun().size(), c.routinesRun.size());
    EXPECT_EQ(process.comInitialiseCount(), 1);
    EXPECT_EQ(process.comReleaseCount(), 1);
    if (c.fatalMessage.empty()) {
        EXPECT_TRUE(process.fatalMessages().empty());
    } else {
        ASSERT_EQ(process.fatalMessages().size(), 1u);
        EXPECT_EQ(process.fatalMessages()[0].textUtf8, c.fatalMessage);
        EXPECT_FALSE(process.fatalMessages()[0].owner);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, ProgramEndTest,
    ::testing::Values(EndCase{Route::EntryReturns, 42, {1, 101, 2}, ""},
                      EndCase{Route::ExitNow, 5, {1, 101, 2}, ""},
                      EndCase{Route::FatalError, -1, {}, "致命错误"},
                      EndCase{Route::OutOfMemory, -1, {}, std::string(kOutOfMemoryMessage)}));

// A crash or an immediate exit ends the run on the spot: the destructors that
// unwind the program's frames reach no handler, move no clock and run no routine.
TEST_F(SimDesktopTest, ACrashOrImmediateExitRunsNothingWhileUnwinding)
{
    for (const bool crash : {true, false}) {
        SCOPED_TRACE(crash ? "crash" : "exitNow");
        simtest::TempFolder own;
        SimDesktop desktop(own.path());
        std::vector<int> log;
        Tag tag{&log, 1};
        WindowId w;
        seen.clear();
        const RunOutcome outcome = desktop.run([&](Platform& p) {
            p.process.initialise();
            p.process.addExitRoutine({&RecordTag, &tag});
            w = p.ui.openWindow(kWindow, recorder(desktop, {EventKind::Destroyed}, [&](const Event& e) {
                                    if (e.kind == EventKind::Click && crash)
                                        throw InjectedCrash{};
                                    if (e.kind == EventKind::Click)
                                        p.process.exitNow(4);
                                }));
            struct Closer {
                Platform& p;
                WindowId w;
                ~Closer()
                {
                    p.ui.destroyWindow(w);
                    p.pause.sleep(100);
                }
            } closer{p, w};
            desktop.ui().user().click({w, kButton1});
            return p.ui.runMessageLoop();
        });
        EXPECT_EQ(outcome.end, crash ? RunEnd::Crashed : RunEnd::Exited);
        EXPECT_EQ(log, crash ? std::vector<int>{} : std::vector<int>{1});
        EXPECT_EQ(desktop.process().comReleaseCount(), crash ? 0 : 1);
        EXPECT_TRUE(seen.empty()) << "no Destroyed event after the end";
        EXPECT_TRUE(desktop.ui().isAlive(w));
        EXPECT_EQ(desktop.nowMs(), 0);
    }
}

struct FolderCase {
    const char* executable;
    const char* folder;
    const char* current;
    friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.executable; }
};

class ExecutableFolderTest : public SimDesktopTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(ExecutableFolderTest, InitialiseRecordsTheFolderAndMakesItCurrent_Once)
{
    SimOptions options;
    options.executablePath = GetParam().executable;
    SimDesktop desktop(folder.path(), options);
    desktop.run([](Platform& p) {
        EXPECT_TRUE(p.process.initialise());
        EXPECT_TRUE(p.process.initialise());
        return 0;
    });
    EXPECT_EQ(desktop.platform().process.executableDirectory(), GetParam().folder);
    EXPECT_TRUE(desktop.process().currentDirectorySet());
    EXPECT_EQ(desktop.files().currentDirectory(), GetParam().current);
    EXPECT_EQ(desktop.process().comInitialiseCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExecutableFolderTest,
                         ::testing::Values(FolderCase{"C:\\Brenvik\\brenvik.exe", "C:\\Brenvik",
                                                      "C:\\Brenvik"},
                                           FolderCase{"D:\\brenvik.exe", "D:", "D:\\"}));

// --- the scripted user and windows --------------------------------------------

TEST_F(SimDesktopTest, ScriptedUser_RefusesWhatAPersonCouldNotDo)
{
    SimDesktop desktop(folder.path());
    SimUi& ui = desktop.ui();
    SimUser& user = ui.user();
    WindowId a, b;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        a = p.ui.openWindow(kWindow, {});
        b = p.ui.openWindow(kBare, recorder(desktop, {EventKind::Click, EventKind::DoubleClick}));
        ui.setWindowEnabled(b, false);
        user.click({b, kButton1});                   // disabled window
        user.type({a, kReadOnly}, "x");              // read-only box
        user.type({a, kEdit}, "\xD6\xD0\xCE\xC4x");  // "中文x" into a two-character box
        user.call([&] { ui.setWindowEnabled(b, true); });
        user.close(b);        // no close box
        user.pressEscape(b);  // Esc does not close it
        user.doubleClick({b, kButton2});
        user.pressEscape(a);
        user.click({a, kButton1});  // gone by now
        user.call([&] { p.ui.destroyWindow(b); });
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(seen,
              (std::vector<Seen>{{EventKind::Click, kButton2, 0}, {EventKind::DoubleClick, kButton2, 0}}));
    std::vector<std::pair<UserAction::Kind, std::string>> dropped;
    for (const DroppedAction& d : user.dropped())
        dropped.emplace_back(d.kind, d.reason);
    using K = UserAction::Kind;
    const std::vector<std::pair<UserAction::Kind, std::string>> expected = {
        {K::Click, "the window is disabled"},
        {K::Type, "the edit box is read-only"},
        {K::Close, "the window has no close box"},
        {K::Escape, "Esc does not close this window"},
        {K::Click, "the window does not exist"}};
    EXPECT_EQ(dropped, expected);
}

TEST_F(SimDesktopTest, Windows_AreCentredCreatedBeforeShown_TextsKeepTheirCodePage)
{
    SimOptions options;
    options.screenWidth = 1025;
    options.screenHeight = 769;
    SimDesktop desktop(folder.path(), options);
    SimUi& ui = desktop.ui();
    WindowId w;
    bool visibleAtCreation = true;
    WindowId shown;
    ui.user().whenShown("测试窗口", [&](WindowId id) { shown = id; });
    desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind == EventKind::Created) {
                visibleAtCreation = p.ui.isVisible(e.window);
                p.ui.setText({e.window, kEdit}, "\xD6\xD0");  // ANSI "中"
            }
        });
        return 0;
    });

    EXPECT_FALSE(visibleAtCreation);
    EXPECT_EQ(shown, w);
    const WindowState state = ui.windowState(w);
    EXPECT_TRUE(state.visible);
    EXPECT_EQ(state.left, (1025 - 301) / 2);
    EXPECT_EQ(state.top, (769 - 201) / 2);
    EXPECT_EQ(ui.text({w, kButton1}), "\xC8\xB7\xB6\xA8");  // "确定" as ANSI bytes
    EXPECT_EQ(ui.displayText({w, kButton1}), "确定");
    EXPECT_EQ(ui.displayText({w, kEdit}), "中");
    EXPECT_FALSE(ui.textIsUtf8({w, kEdit}));
    EXPECT_EQ(ui.control(w, "时钟2").index, kTimer2);
    EXPECT_EQ(ui.findWindow("测试窗口"), w);
}

TEST_F(SimDesktopTest, ArmedActions_RunAtTheNthPendingPass)
{
    SimDesktop desktop(folder.path());
    SimUi& ui = desktop.ui();
    std::vector<int> hookPasses;
    ui.setPendingPassHook([&](int pass) { hookPasses.push_back(pass); });
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, recorder(desktop, {EventKind::Click}));
        ui.user().onPendingPass(2, [&] { ui.user().perform(UserAction::click({w, kButton2})); });
        p.ui.processPending();
        EXPECT_TRUE(seen.empty());
        p.ui.processPending();
        EXPECT_EQ(seen, (std::vector<Seen>{{EventKind::Click, kButton2, 0}}));
        p.ui.processPending();
        return 0;
    });
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(hookPasses, (std::vector<int>{1, 2, 3}));
}

TEST_F(SimDesktopTest, NestedLoop_EndsWhenItsConditionHolds_OrLeavesAQuitForTheOuterLoop)
{
    SimDesktop desktop(folder.path());
    SimUi& ui = desktop.ui();
    WindowId a, b;
    std::vector<std::pair<bool, std::optional<int>>> nested;  // result, quit queued after it
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        a = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind != EventKind::Click)
                return;
            b = p.ui.openWindow(kBare, {});
            if (e.control == kButton1) {
                ui.user().call([&] { p.ui.destroyWindow(b); });
                ui.user().click({a, kButton2});
            } else {
                ui.user().call([&] { ui.postQuit(7); });
                ui.user().call([&] { ADD_FAILURE() << "ran after the quit"; });
            }
            const bool ended = ui.runLoopUntil([&] { return !p.ui.isAlive(b); });
            nested.emplace_back(ended, ui.queuedQuit());
        });
        ui.user().click({a, kButton1});
        return p.ui.runMessageLoop() + 20;
    });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 27);
    const std::vector<std::pair<bool, std::optional<int>>> expected = {{true, std::nullopt}, {false, 7}};
    EXPECT_EQ(nested, expected);
}

// --- code pages ---------------------------------------------------------------

struct CodePageCase {
    unsigned id;
    std::string ansi;
    std::string utf8;
    bool roundTrip;  // false: the conversion loses something
    friend void PrintTo(const CodePageCase& c, std::ostream* os)
    {
        *os << c.id << " bytes";
        for (unsigned char byte : c.ansi)
            *os << ' ' << std::hex << static_cast<unsigned>(byte) << std::dec;
    }
};

class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, ConvertsWithoutFailing)
{
    const CodePageCase& c = GetParam();
    SimCodePage codePage(c.id);
    EXPECT_EQ(codePage.toUtf8(c.ansi), c.utf8);
    if (c.roundTrip) {
        EXPECT_EQ(codePage.fromUtf8(c.utf8), c.ansi);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CodePageTest,
                         ::testing::Values(CodePageCase{936, "C:\\\xD6\xD0\xCE\xC4\\a.txt", "C:\\中文\\a.txt",
                                                        true},
                                           CodePageCase{936, "\x80", "€", true},
                                           CodePageCase{936,
                                                        "a\xFF"
                                                        "b",
                                                        "a\xEF\xBF\xBD"
                                                        "b",
                                                        false},
                                           CodePageCase{936, "a\xD6", "a\xEF\xBF\xBD", false},
                                           CodePageCase{1252, "C:\\Caf\xE9\\a.txt", "C:\\Café\\a.txt", true},
                                           CodePageCase{1252, "\x81\x9D", "\xC2\x81\xC2\x9D", true}));

TEST(CodePage, LeadBytesAndUnmappableCharacters)
{
    SimCodePage chinese(936), western(1252);
    EXPECT_TRUE(chinese.isLeadByte(0x80));
    EXPECT_TRUE(chinese.isLeadByte(0xFF));
    EXPECT_FALSE(chinese.isLeadByte(0x7F));
    EXPECT_FALSE(western.isLeadByte(0xE9));
    EXPECT_EQ(western.fromUtf8("a中b"), "a?b");
    EXPECT_EQ(chinese.fromUtf8("a\xE2\x82"
                               "b"),
              "a?b");                                      // cut-off UTF-8
    EXPECT_EQ(chinese.fromUtf8("\xF0\x9F\x98\x80"), "?");  // no emoji in 936
}

}  // namespace
}  // namespace brenvik::sim
