// The simulated desktop's window placement, activation, modal windows, edit-box
// appends, progress bars, clipboard and message boxes, as the Parts rely on them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"
#include "platform/sim/message_boxes.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik::sim {
namespace {

constexpr ControlSpec kControls[] = {
    {"编辑框1", ControlKind::Edit, 8, 24, 552, 136, "", ControlStyle::MultiLine | ControlStyle::Disabled,
     ControlEvents::None, 0},
    {"编辑框2", ControlKind::Edit, 8, 24, 552, 136, "", ControlStyle::MultiLine, ControlEvents::None, 0},
    {"编辑框3", ControlKind::Edit, 8, 24, 552, 136, "", ControlStyle::MultiLine, ControlEvents::None, 0},
    {"进度条1", ControlKind::ProgressBar, 8, 160, 544, 40, "", ControlStyle::None, ControlEvents::None, 0},
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick, 0},
    {"按钮1", ControlKind::Button, 360, 200, 96, 24, "确认", ControlStyle::None, ControlEvents::Click, 0},
};
constexpr int kEdit1 = 0, kEdit2 = 1, kEdit3 = 2, kBar = 3, kTimer = 4, kButton = 5;

constexpr WindowSpec kMain{"甲", 570, 170, WindowFrame::Caption | WindowFrame::MinimiseBox, true, kControls};
constexpr WindowSpec kOther{"乙", 300, 200, WindowFrame::Caption, true, kControls};
constexpr WindowSpec kModal{"丙", 559, 257, WindowFrame::Caption | WindowFrame::MinimiseBox, true, kControls};
constexpr WindowSpec kInner{"丁", 200, 100, WindowFrame::Caption, true, kControls};

// A Moved event as a handler saw it: where to, and whether the writing call
// had returned yet.
struct Move {
    int left, top;
    friend bool operator==(const Move&, const Move&) = default;
};

class SimServicesTest : public ::testing::Test {
protected:
    simtest::TempFolder folder;
    SimDesktop desktop{folder.path()};
    SimUi& ui = desktop.ui();
    SimClipboard& clipboard = desktop.clipboard();
    SimMessageBoxes& boxes = desktop.messageBoxes();
};

// --- placement ------------------------------------------------------------------

TEST_F(SimServicesTest, Placement_WrittenWhileHidden_IsOnlyRemembered)
{
    for (Placement written : {Placement::Minimised, Placement::Maximised, Placement::Centred}) {
        SCOPED_TRACE(static_cast<int>(written));
        SimDesktop d(folder.path());
        std::vector<Move> moves;
        d.run([&](Platform& p) {
            const WindowId w = p.ui.openWindow(kMain, [&](const Event& e) {
                if (e.kind == EventKind::Moved)
                    moves.push_back({e.arg1, e.arg2});
            });
            p.ui.setVisible(w, false);
            moves.clear();
            p.ui.setPlacement(w, written);
            EXPECT_EQ(p.ui.placement(w), Placement::Normal);
            EXPECT_FALSE(p.ui.isVisible(w));
            const WindowState state = d.ui().windowState(w);
            EXPECT_EQ(state.left, (1024 - 570) / 2);
            EXPECT_EQ(state.top, (768 - 170) / 2);
            EXPECT_FALSE(state.minimised);
            EXPECT_FALSE(state.maximised);
            return 0;
        });
        EXPECT_TRUE(moves.empty());
    }
}

TEST_F(SimServicesTest, Placement_MinimiseMaximiseRestore_ReportTheRealStateAndSendMovedAtOnce)
{
    std::vector<Move> moves;
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kMain, [&](const Event& e) {
            if (e.kind == EventKind::Moved)
                moves.push_back({e.arg1, e.arg2});
        });
        const Move centre{(1024 - 570) / 2, (768 - 170) / 2};
        moves.clear();
        p.ui.setPlacement(w, Placement::Minimised);
        EXPECT_EQ(moves, (std::vector<Move>{{-32000, -32000}}));  // sent before the call returned
        EXPECT_EQ(p.ui.placement(w), Placement::Minimised);
        p.ui.setPlacement(w, Placement::Minimised);  // already there: no move
        p.ui.setPlacement(w, Placement::Maximised);
        EXPECT_EQ(p.ui.placement(w), Placement::Maximised);
        p.ui.setPlacement(w, Placement::Normal);
        EXPECT_EQ(p.ui.placement(w), Placement::Normal);
        EXPECT_EQ(moves, (std::vector<Move>{{-32000, -32000}, {0, 0}, centre}));
        // A value outside the four is taken as the nearest of them.
        p.ui.setPlacement(w, static_cast<Placement>(7));
        EXPECT_EQ(p.ui.placement(w), Placement::Maximised);
        p.ui.setPlacement(w, static_cast<Placement>(-1));
        EXPECT_EQ(p.ui.placement(w), Placement::Normal);
        return 0;
    });
}

// Centred restores first (one move), then moves to the centre only if the
// window is not there (a second move); a centred window does not move at all.
TEST_F(SimServicesTest, Placement_Centred_RestoresThenCentresOnlyWhenNeeded)
{
    struct Case {
        const char* name;
        bool minimise;
        bool drag;
        int expectedMoves;
    };
    const Case cases[] = {
        {"restored and centred", false, false, 0},
        {"restored, dragged away", false, true, 1},
        {"minimised, centred underneath", true, false, 1},
        {"minimised after a drag", true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDesktop d(folder.path(), SimOptions{.screenWidth = 801, .screenHeight = 600});
        std::vector<Move> moves;
        WindowId w;
        d.ui().user().call([&] {
            if (c.drag)
                d.ui().user().perform(UserAction::drag(w, 5, 7));
            if (c.minimise)
                d.platform().ui.setPlacement(w, Placement::Minimised);
            moves.clear();
            d.platform().ui.setPlacement(w, Placement::Centred);
            d.platform().ui.destroyWindow(w);
        });
        d.run([&](Platform& p) {
            w = p.ui.openWindow(kModal, [&](const Event& e) {
                if (e.kind == EventKind::Moved)
                    moves.push_back({e.arg1, e.arg2});
                if (e.kind == EventKind::Destroyed) {
                    const WindowState s = d.ui().windowState(w);
                    EXPECT_EQ(p.ui.placement(w), Placement::Normal);
                    EXPECT_EQ(s.left, (801 - 559) / 2);
                    EXPECT_EQ(s.top, (600 - 257) / 2);
                }
            });
            return p.ui.runMessageLoop();
        });
        ASSERT_EQ(static_cast<int>(moves.size()), c.expectedMoves);
        if (!moves.empty()) {
            EXPECT_EQ(moves.back(), (Move{(801 - 559) / 2, (600 - 257) / 2}));
        }
        if (c.drag && c.minimise) {
            EXPECT_EQ(moves.front(), (Move{5, 7}));  // restored to where it was dragged
        }
    }
}

// The main window's rule: a move that leaves it minimised hides it. Showing the
// hidden, minimised window must not move it, or the rule would hide it again.
TEST_F(SimServicesTest, MinimiseBoxHidesThroughMoved_ShowingAgainSendsNoMove_CentredRestores)
{
    int moves = 0;
    WindowId w;
    SimUser& user = ui.user();
    auto showAgain = [&] {
        EXPECT_FALSE(ui.isVisible(w));
        EXPECT_EQ(ui.placement(w), Placement::Minimised);
        const int before = moves;
        ui.setVisible(w, true);
        EXPECT_EQ(moves, before);
        EXPECT_TRUE(ui.isVisible(w));
        EXPECT_EQ(ui.placement(w), Placement::Minimised);
        ui.setPlacement(w, Placement::Centred);
        EXPECT_EQ(moves, before + 1);
        EXPECT_TRUE(ui.isVisible(w));
        EXPECT_EQ(ui.placement(w), Placement::Normal);
        ui.destroyWindow(w);
    };
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kMain, [&](const Event& e) {
            if (e.kind != EventKind::Moved)
                return;
            ++moves;
            if (p.ui.placement(w) == Placement::Minimised)
                p.ui.setVisible(w, false);
        });
        user.minimise(w);
        user.call(showAgain);
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_TRUE(user.dropped().empty());
}

TEST_F(SimServicesTest, MinimiseBox_TheMinimiseComesThroughTheLoop_RefusedWithoutTheBox)
{
    WindowId main, other;
    bool minimisedWithinPerform = true;
    ui.user().call([&] {
        EXPECT_TRUE(ui.user().perform(UserAction::minimise(main)));
        minimisedWithinPerform = ui.placement(main) == Placement::Minimised;
        EXPECT_FALSE(ui.user().perform(UserAction::minimise(other)));
    });
    ui.user().call([&] {
        EXPECT_EQ(ui.placement(main), Placement::Minimised);
        EXPECT_TRUE(ui.isVisible(main));
        ui.destroyWindow(main);
        ui.destroyWindow(other);
    });
    desktop.run([&](Platform& p) {
        main = p.ui.openWindow(kMain, {});
        other = p.ui.openWindow(kOther, {});
        return p.ui.runMessageLoop();
    });
    EXPECT_FALSE(minimisedWithinPerform);
    ASSERT_EQ(ui.user().dropped().size(), 1u);
    EXPECT_EQ(ui.user().dropped()[0].reason, "the window has no minimise box");
}

// --- activation -----------------------------------------------------------------

TEST_F(SimServicesTest, Activation_OpeningActivates_HidingAndMinimisingHandItOn)
{
    desktop.run([&](Platform& p) {
        const WindowId a = p.ui.openWindow(kMain, {});
        const WindowId b = p.ui.openWindow(kOther, {});
        EXPECT_EQ(ui.activeWindow(), b);
        p.ui.activate(a);
        EXPECT_EQ(ui.activeWindow(), a);
        EXPECT_TRUE(ui.windowState(a).active);
        EXPECT_FALSE(ui.windowState(b).active);
        p.ui.activate(a);
        EXPECT_EQ(ui.activateCalls(), (std::vector<WindowId>{a, a}));
        p.ui.setVisible(a, false);
        EXPECT_EQ(ui.activeWindow(), b);
        p.ui.setPlacement(b, Placement::Minimised);
        EXPECT_FALSE(ui.activeWindow());  // the one left is hidden
        p.ui.setPlacement(b, Placement::Normal);
        EXPECT_EQ(ui.activeWindow(), b);
        p.ui.destroyWindow(b);
        EXPECT_FALSE(ui.activeWindow());
        return 0;
    });
}

// --- modal windows --------------------------------------------------------------

TEST_F(SimServicesTest, RunModal_DisablesTheOthers_DispatchesTimers_GivesTheirStatesBackOnDestroy)
{
    WindowId main, other, modal, inner;
    std::vector<std::string> steps;
    int ticks = 0;
    SimUser& user = ui.user();
    user.whenShown("丙", [&](WindowId w) {
        EXPECT_TRUE(ui.windowState(w).enabled);
        EXPECT_FALSE(ui.windowState(main).enabled);
        EXPECT_FALSE(ui.windowState(other).enabled);
        EXPECT_EQ(ui.activeWindow(), w);
        user.click({main, kButton});   // refused: disabled
        user.click({w, kButton}, 10);  // opens the inner modal window
    });
    user.whenShown("丁", [&](WindowId w) {
        EXPECT_FALSE(ui.windowState(modal).enabled);
        EXPECT_FALSE(ui.windowState(main).enabled);
        user.call([&, w] { ui.destroyWindow(w); }, 10);
        user.close(modal, 1000);
    });
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        EventHandler modalHandler = [&](const Event& e) {
            if (e.kind == EventKind::Created) {
                modal = e.window;
                steps.push_back(ui.windowState(main).enabled ? "created, main enabled"
                                                             : "created, main disabled");
                p.ui.setTimerPeriod({e.window, kTimer}, 100);
            }
            if (e.kind == EventKind::Tick)
                ++ticks;
            if (e.kind == EventKind::Click) {
                p.ui.runModal(kInner, [&](const Event& ie) {
                    if (ie.kind == EventKind::Created)
                        inner = ie.window;
                });
                steps.push_back("inner returned");
                EXPECT_TRUE(ui.windowState(modal).enabled);
                EXPECT_FALSE(ui.windowState(main).enabled);
            }
            if (e.kind == EventKind::Destroyed) {
                // The others have their former state back before the window goes.
                EXPECT_TRUE(ui.windowState(main).enabled);
                EXPECT_FALSE(ui.windowState(other).enabled);
                steps.push_back("destroyed");
            }
        };
        main = p.ui.openWindow(kMain, [&](const Event& e) {
            if (e.kind == EventKind::Click) {
                p.ui.runModal(kModal, modalHandler);
                steps.push_back("modal returned");
                p.ui.destroyWindow(main);
                p.ui.destroyWindow(other);
            }
        });
        other = p.ui.openWindow(kOther, {});
        ui.setWindowEnabled(other, false);  // disabled before: stays disabled after
        p.ui.activate(main);
        user.click({main, kButton});
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(steps, (std::vector<std::string>{"created, main enabled", "inner returned", "destroyed",
                                               "modal returned"}));
    EXPECT_EQ(ticks, 10);  // 100 ms ticks until the close at 1020 ms, none under the inner window
    ASSERT_EQ(user.dropped().size(), 1u);
    EXPECT_EQ(user.dropped()[0].reason, "the window is disabled");
    EXPECT_FALSE(ui.isAlive(inner));
}

TEST_F(SimServicesTest, RunModal_AQuitEndsTheNestedLoop_StaysQueued_OthersGetTheirStateBack)
{
    WindowId main, modal;
    bool returned = false;
    ui.user().whenShown("丙", [&](WindowId w) {
        modal = w;
        ui.user().call([&] { ui.postQuit(7); }, 50);
    });
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        main = p.ui.openWindow(kMain, {});
        p.ui.runModal(kModal, {});
        returned = true;
        EXPECT_TRUE(p.ui.isAlive(modal));
        EXPECT_TRUE(ui.windowState(main).enabled);
        EXPECT_EQ(ui.queuedQuit(), std::optional<int>(7));
        return p.ui.runMessageLoop();
    });
    EXPECT_TRUE(returned);
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 7);
}

// --- edit boxes and progress bars -----------------------------------------------

// One append per line and one append of the joined lines leave the same text,
// caret and scroll position: the caret at the end and the last line shown. A
// set-text of the same text puts the caret at the start, scrolled to the top.
TEST_F(SimServicesTest, AppendText_OneByOneEqualsOneJoinedAppend_SetTextStartsAtTheTop)
{
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kMain, {});
        const ControlId oneByOne{w, kEdit1}, joined{w, kEdit2}, set{w, kEdit3};
        Text all;
        p.ui.setText(oneByOne, "");
        for (int i = 1; i <= 20; ++i) {
            const Text line = "C:\\\xC4\xE3\\" + std::to_string(i) + ".txt\r\n";
            p.ui.appendText(oneByOne, line);
            all += line;
        }
        p.ui.appendText(joined, all);
        p.ui.setText(set, all);

        EXPECT_EQ(p.ui.text(oneByOne), all);
        EXPECT_EQ(p.ui.text(joined), all);
        const EditState a = ui.editState(oneByOne), b = ui.editState(joined), s = ui.editState(set);
        EXPECT_EQ(a.caret, all.size());
        EXPECT_TRUE(a.caretAtEnd);
        EXPECT_EQ(a.lineCount, 21);  // ends with an empty line
        EXPECT_EQ(a.visibleLines, (136 - 4) / 16);
        EXPECT_EQ(a.firstVisibleLine, 21 - a.visibleLines);
        EXPECT_TRUE(a.showsLastLine);
        EXPECT_EQ(b.caret, a.caret);
        EXPECT_EQ(b.firstVisibleLine, a.firstVisibleLine);
        EXPECT_TRUE(b.showsLastLine);
        EXPECT_EQ(a.appends, 20);
        EXPECT_EQ(b.appends, 1);
        EXPECT_EQ(s.caret, 0u);
        EXPECT_EQ(s.firstVisibleLine, 0);
        EXPECT_FALSE(s.showsLastLine);
        EXPECT_EQ(s.appends, 0);

        // An append after a set-text goes to the end, whatever the caret was.
        p.ui.appendText(set, "x");
        EXPECT_EQ(p.ui.text(set), all + "x");
        EXPECT_TRUE(ui.editState(set).showsLastLine);
        // ANSI bytes appended to a text set as UTF-8 read as the code page says.
        p.ui.setTextUtf8(set, "你好");
        p.ui.appendText(set, "\xC4\xE3");
        EXPECT_EQ(ui.displayText(set), "你好你");
        return 0;
    });
}

TEST_F(SimServicesTest, Progress_ClampedTo0Through100)
{
    const std::pair<int, int> cases[] = {{-1, 0},    {INT_MIN, 0}, {0, 0},        {42, 42},
                                         {100, 100}, {101, 100},   {INT_MAX, 100}};
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kMain, {});
        EXPECT_EQ(p.ui.progress({w, kBar}), 0);
        for (const auto& [written, read] : cases) {
            p.ui.setProgress({w, kBar}, written);
            EXPECT_EQ(p.ui.progress({w, kBar}), read) << written;
        }
        p.ui.destroyWindow(w);
        EXPECT_EQ(p.ui.progress({w, kBar}), 0);  // a gone bar reads 0
        return 0;
    });
}

// --- clipboard ------------------------------------------------------------------

// The calls a reader of the clipboard's file list makes, in their order, with
// the 260-byte buffer of spaces.
std::vector<Text> ReadFiles(Clipboard& clipboard)
{
    std::vector<Text> list;
    if (!clipboard.isFormatAvailable(kClipboardFileList) || !clipboard.open())
        return list;
    const ClipboardData data = clipboard.data(kClipboardFileList);
    const std::uint32_t count = clipboard.fileCount(data);
    std::string buffer(260, ' ');
    for (std::uint32_t k = 0; k < count; ++k) {
        clipboard.queryFile(data, k, buffer.data(), 260);
        list.emplace_back(buffer.c_str());
    }
    clipboard.close();
    return list;
}

TEST_F(SimServicesTest, Clipboard_TheFourContents_LogAndOpenCloseAccounting)
{
    const std::vector<Text> files = {"C:\\a.txt", "D:\\\xC4\xE3\\b", "C:\\folder"};
    struct Case {
        const char* name;
        std::function<void(SimClipboard&)> set;
        std::vector<Text> list;
        std::vector<std::string> log;
        int opens;
    };
    const std::vector<Case> cases = {
        {"files",
         [&](SimClipboard& c) { c.holdFiles(files); },
         files,
         {"IsClipboardFormatAvailable(15)", "OpenClipboard", "GetClipboardData(15)", "DragQueryFileA(count)",
          "DragQueryFileA(0)", "DragQueryFileA(1)", "DragQueryFileA(2)", "CloseClipboard"},
         1},
        {"text only", [](SimClipboard& c) { c.holdText(); }, {}, {"IsClipboardFormatAvailable(15)"}, 0},
        {"empty", [](SimClipboard& c) { c.empty(); }, {}, {"IsClipboardFormatAvailable(15)"}, 0},
        {"busy",
         [&](SimClipboard& c) {
             c.holdFiles(files);
             c.setBusy(true);
         },
         {},
         {"IsClipboardFormatAvailable(15)", "OpenClipboard"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimClipboard clip;
        c.set(clip);
        EXPECT_EQ(ReadFiles(clip), c.list);
        EXPECT_EQ(clip.log(), c.log);
        EXPECT_EQ(clip.opens(), c.opens);
        EXPECT_EQ(clip.closes(), c.opens);
        EXPECT_FALSE(clip.isOpen());
        EXPECT_TRUE(clip.faults().empty());
    }
    SimClipboard text;
    text.holdText();
    EXPECT_TRUE(text.isFormatAvailable(1));  // CF_TEXT
}

TEST_F(SimServicesTest, Clipboard_QueryCutsToTheBuffer_HandlesLiveWhileOpen_MisusesAreFaults)
{
    clipboard.holdFiles({"C:\\abcdefgh", "C:\\x"});
    ASSERT_TRUE(clipboard.open());
    const ClipboardData data = clipboard.data(kClipboardFileList);
    EXPECT_FALSE(clipboard.data(1));  // no text on the clipboard
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(clipboard.queryFile(data, 0, buffer, 5), 4u);
    EXPECT_EQ(std::string(buffer, 6), std::string("C:\\a\0#", 6));
    EXPECT_EQ(clipboard.queryFile(data, 2, buffer, 8), 0u);  // out of range: nothing written
    EXPECT_EQ(buffer[0], 'C');
    EXPECT_EQ(clipboard.fileCount({}), 0u);  // a null handle is answered with 0, no fault
    EXPECT_FALSE(clipboard.holdText());      // nobody else can write while it is open
    EXPECT_TRUE(clipboard.faults().empty());
    clipboard.close();

    EXPECT_EQ(clipboard.fileCount(data), 0u);  // the handle died with the open clipboard
    clipboard.close();
    EXPECT_EQ(clipboard.faults(),
              (std::vector<std::string>{"DragQueryFileA with a handle that is not the open clipboard's",
                                        "CloseClipboard while the clipboard is not open"}));
    EXPECT_EQ(clipboard.opens(), 1);
    EXPECT_EQ(clipboard.closes(), 1);
    EXPECT_EQ(ReadFiles(clipboard), (std::vector<Text>{"C:\\abcdefgh", "C:\\x"}));
}

TEST_F(SimServicesTest, Clipboard_TheUsersCopyTakesEffectForLaterReads)
{
    std::vector<std::vector<Text>> reads;
    ui.user().copyFiles({"C:\\1.txt", "C:\\2.txt"});
    ui.user().call([&] { reads.push_back(ReadFiles(clipboard)); });
    ui.user().copyText(100);
    ui.user().call([&] { reads.push_back(ReadFiles(clipboard)); });
    desktop.run([&](Platform& p) {
        p.ui.openWindow(kMain, {});
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(reads, (std::vector<std::vector<Text>>{{"C:\\1.txt", "C:\\2.txt"}, {}}));
    EXPECT_EQ(clipboard.opens(), 1);
    EXPECT_EQ(clipboard.closes(), 1);
}

// --- message boxes --------------------------------------------------------------

TEST_F(SimServicesTest, MessageBox_TaskModal_TimersTickUnderIt_ReturnsWhenDismissed)
{
    WindowId main, other;
    std::vector<std::int64_t> ticks;
    std::int64_t returnedAt = -1;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        main = p.ui.openWindow(kMain, [&](const Event& e) {
            if (e.kind == EventKind::Tick) {
                ticks.push_back(desktop.nowMs());
                if (const InformationBox* box = boxes.current()) {
                    EXPECT_EQ(box->textUtf8, "复制完成");
                    EXPECT_FALSE(ui.windowState(main).enabled);
                    EXPECT_FALSE(ui.windowState(other).enabled);
                }
            }
            if (e.kind == EventKind::Click) {
                p.ui.setTimerPeriod({main, kTimer}, 100);
                ui.user().dismissMessageBox(350);
                p.messageBoxes.showInformation("复制完成", "信息提示");
                returnedAt = desktop.nowMs();
                EXPECT_TRUE(ui.windowState(main).enabled);
                EXPECT_FALSE(ui.windowState(other).enabled);  // disabled before the box
                p.ui.destroyWindow(other);
                p.ui.destroyWindow(main);
            }
        });
        other = p.ui.openWindow(kOther, {});
        ui.setWindowEnabled(other, false);
        ui.user().click({main, kButton});
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{100, 200, 300}));
    EXPECT_EQ(returnedAt, 350);
    ASSERT_EQ(boxes.shown().size(), 1u);
    const InformationBox& box = boxes.shown()[0];
    EXPECT_EQ(box.titleUtf8, "信息提示");
    EXPECT_FALSE(box.owner);
    EXPECT_EQ(box.disabled, (std::vector<WindowId>{main}));
    EXPECT_EQ(box.shownAtMs, 0);
    EXPECT_EQ(box.endedAtMs, std::optional<std::int64_t>(350));
    EXPECT_EQ(box.end, InformationBox::End::Dismissed);
    EXPECT_EQ(boxes.current(), nullptr);
}

TEST_F(SimServicesTest, MessageBox_UndismissedEndsTheRunIdle_AQuitEndsItAndStaysQueued)
{
    {
        const RunOutcome outcome = desktop.run([&](Platform& p) {
            p.ui.openWindow(kMain, {});
            p.messageBoxes.showInformation("甲", "乙");
            ADD_FAILURE() << "the box returned without a dismissal";
            return 0;
        });
        EXPECT_EQ(outcome.end, RunEnd::Idle);
        ASSERT_NE(boxes.current(), nullptr);
        EXPECT_EQ(boxes.current()->end, InformationBox::End::Open);
    }
    SimDesktop d(folder.path());
    d.ui().user().call([&] { d.ui().postQuit(3); }, 20);
    const RunOutcome outcome = d.run([&](Platform& p) {
        p.ui.openWindow(kMain, {});
        p.messageBoxes.showInformation("甲", "乙");
        EXPECT_EQ(d.ui().queuedQuit(), std::optional<int>(3));
        // OK with no box up is refused.
        EXPECT_FALSE(d.ui().user().perform(UserAction::dismissMessageBox()));
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(d.messageBoxes().shown().at(0).end, InformationBox::End::Quit);
    ASSERT_EQ(d.ui().user().dropped().size(), 1u);
    EXPECT_EQ(d.ui().user().dropped()[0].reason, "no message box is up");
}

}  // namespace
}  // namespace brenvik::sim
