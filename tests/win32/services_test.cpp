// The Win32 layer's window placement, activation, modal windows, edit-box
// appends, progress bars, clipboard file list and message box, over the real
// Windows API in-process. Time margins are generous: these check behaviour,
// not speed.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/desktop.h"
#include "platform/win32/test_support.h"

namespace brenvik::win32 {
namespace {

constexpr int kTimer = 0;
constexpr int kGuard = 1;  // ends a test's loop if the behaviour under test never does
constexpr int kList = 2;
constexpr int kOtherList = 3;
constexpr int kBar = 4;
constexpr int kLabel = 5;

constexpr unsigned kListStyle = ControlStyle::MultiLine | ControlStyle::VScroll | ControlStyle::Disabled;

constexpr ControlSpec kControls[] = {
    {"时钟1", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"时钟2", ControlKind::Timer, 0, 0, 0, 0, "", ControlStyle::None, ControlEvents::Tick},
    {"编辑框1", ControlKind::Edit, 8, 24, 270, 136, "", kListStyle, ControlEvents::None},
    {"编辑框2", ControlKind::Edit, 282, 24, 270, 136, "", kListStyle, ControlEvents::None},
    {"进度条1", ControlKind::ProgressBar, 8, 160, 544, 40, "", ControlStyle::None, ControlEvents::None},
    {"标签1", ControlKind::Label, 16, 200, 160, 24, "", ControlStyle::None, ControlEvents::None},
};

constexpr unsigned kFrame =
    WindowFrame::Caption | WindowFrame::MinimiseBox | WindowFrame::Resizable | WindowFrame::SunkenClient;
constexpr WindowSpec kWindow{"服务测试", 559, 257, kFrame, true, kControls};
constexpr WindowSpec kOtherWindow{"Other", 300, 200, kFrame, false, kControls};

class Win32ServicesTest : public ::testing::Test {
protected:
    Win32CodePage codePage;
    Win32Process process{codePage};
    Win32Ui ui{process};

    static ControlId control(WindowId window, int index) { return ControlId{window, index}; }
    static bool isCentred(const testing::ScreenRect& rect, int width, int height)
    {
        const testing::ScreenRect screen = testing::PrimaryScreen();
        return rect.width == width && rect.height == height && rect.left == (screen.width - width) / 2 &&
               rect.top == (screen.height - height) / 2;
    }
};

// --- placement ------------------------------------------------------------------

TEST_F(Win32ServicesTest, Placement_WritingAVisibleWindowChangesItsRealStateAndMovesRaiseMoved)
{
    std::vector<Placement> seenAtMoved;
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Moved)
            seenAtMoved.push_back(ui.placement(event.window));
    });
    ASSERT_TRUE(window);
    const struct {
        const char* name;
        Placement written;
        Placement read;
    } steps[] = {
        {"minimise", Placement::Minimised, Placement::Minimised},
        {"restore", Placement::Normal, Placement::Normal},
        {"maximise", Placement::Maximised, Placement::Maximised},
        {"show normally", Placement::Normal, Placement::Normal},
        {"minimise again", Placement::Minimised, Placement::Minimised},
        {"above the range is maximised", static_cast<Placement>(7), Placement::Maximised},
        {"below the range is normal", static_cast<Placement>(-1), Placement::Normal},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        seenAtMoved.clear();
        ui.setPlacement(window, step.written);
        EXPECT_EQ(ui.placement(window), step.read);
        EXPECT_TRUE(ui.isVisible(window));
        // The move reports the new state already, as hiding a minimised window relies on.
        ASSERT_FALSE(seenAtMoved.empty());
        EXPECT_EQ(seenAtMoved.back(), step.read);
    }
    ui.destroyWindow(window);
}

TEST_F(Win32ServicesTest, Placement_AHiddenWindowOnlyKeepsTheValue)
{
    int moves = 0;
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Moved)
            ++moves;
    });
    ASSERT_TRUE(testing::MoveWindowTo(ui, window, 10, 20));
    ui.setVisible(window, false);
    moves = 0;

    for (const Placement placement :
         {Placement::Minimised, Placement::Maximised, Placement::Centred, Placement::Normal}) {
        ui.setPlacement(window, placement);
        EXPECT_FALSE(ui.isVisible(window));
        EXPECT_EQ(ui.placement(window), Placement::Normal);
    }
    EXPECT_EQ(moves, 0);
    const std::optional<testing::ScreenRect> rect = testing::WindowRect(ui, window);
    ASSERT_TRUE(rect.has_value());
    EXPECT_EQ(rect->left, 10);
    EXPECT_EQ(rect->top, 20);
    ui.destroyWindow(window);
}

TEST_F(Win32ServicesTest, Placement_CentredRestoresThenCentresAndMovesOnlyWhenNeeded)
{
    const struct {
        const char* name;
        Placement before;
        bool moveAway;
        bool expectMoved;
    } cases[] = {
        {"minimised", Placement::Minimised, true, true},
        {"maximised", Placement::Maximised, true, true},
        {"normal, off centre", Placement::Normal, true, true},
        {"normal, centred already", Placement::Normal, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int moves = 0;
        const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
            if (event.kind == EventKind::Moved)
                ++moves;
        });
        if (c.moveAway) {
            ASSERT_TRUE(testing::MoveWindowTo(ui, window, 3, 5));
        }
        ui.setPlacement(window, c.before);
        moves = 0;

        ui.setPlacement(window, Placement::Centred);

        EXPECT_EQ(ui.placement(window), Placement::Normal);
        const std::optional<testing::ScreenRect> rect = testing::WindowRect(ui, window);
        ASSERT_TRUE(rect.has_value());
        EXPECT_TRUE(isCentred(*rect, 559, 257))
            << rect->left << "," << rect->top << " " << rect->width << "x" << rect->height;
        EXPECT_EQ(moves > 0, c.expectMoved);
        ui.destroyWindow(window);
    }
}

TEST_F(Win32ServicesTest, Placement_ShowingAHiddenMinimisedWindowRaisesNoMoved)
{
    // What minimising the main window to the tray does, and showing it again.
    int moves = 0;
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Moved)
            ++moves;
    });
    ui.setPlacement(window, Placement::Minimised);
    ASSERT_GT(moves, 0);
    ui.setVisible(window, false);
    moves = 0;

    ui.setVisible(window, true);
    EXPECT_EQ(moves, 0);
    EXPECT_TRUE(ui.isVisible(window));
    EXPECT_EQ(ui.placement(window), Placement::Minimised);

    ui.setPlacement(window, Placement::Centred);
    EXPECT_GT(moves, 0);
    EXPECT_EQ(ui.placement(window), Placement::Normal);
    const std::optional<testing::ScreenRect> rect = testing::WindowRect(ui, window);
    ASSERT_TRUE(rect.has_value());
    EXPECT_TRUE(isCentred(*rect, 559, 257));
    ui.destroyWindow(window);
}

TEST_F(Win32ServicesTest, Activate_MakesTheWindowForegroundAndActive)
{
    const WindowId first = ui.openWindow(kWindow, [](const Event&) {});
    const WindowId second = ui.openWindow(kOtherWindow, [](const Event&) {});
    ASSERT_TRUE(testing::IsForegroundAndActive(ui, second));

    ui.activate(first);
    EXPECT_TRUE(testing::IsForegroundAndActive(ui, first));
    ui.activate(second);
    EXPECT_TRUE(testing::IsForegroundAndActive(ui, second));
    ui.destroyWindow(first);
    ui.destroyWindow(second);
}

// --- modal windows --------------------------------------------------------------

TEST_F(Win32ServicesTest, RunModal_DisablesTheOthersTicksInsideAndGivesTheirStateBackWhenDestroyed)
{
    // As the hotkey dispatcher does it: from a handler of the main loop.
    struct {
        bool visibleAtCreated = true;
        int ticks = 0;
        bool mainEnabled = true, disabledEnabled = true, modalEnabled = false;
        bool returned = false;
        bool mainEnabledAfter = false, disabledEnabledAfter = true, mainActiveAfter = false;
        bool modalAliveAfter = true;
    } seen;
    WindowId modal;
    const WindowId disabled = ui.openWindow(kOtherWindow, [](const Event&) {});
    testing::SetEnabled(ui, disabled, false);
    const WindowId main = ui.openWindow(kOtherWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            ui.setTimerPeriod(control(event.window, kTimer), 20);
            ui.setTimerPeriod(control(event.window, kGuard), 5000);
        } else if (event.kind == EventKind::Tick && event.control == kGuard) {
            ui.destroyWindow(disabled);
            ui.destroyWindow(event.window);
        } else if (event.kind == EventKind::Tick && event.control == kTimer) {
            ui.setTimerPeriod(control(event.window, kTimer), 0);
            ui.runModal(kWindow, [&](const Event& modalEvent) {
                if (modalEvent.kind == EventKind::Created) {
                    modal = modalEvent.window;
                    seen.visibleAtCreated = ui.isVisible(modalEvent.window);
                    ui.setTimerPeriod(control(modalEvent.window, kTimer), 30);
                } else if (modalEvent.kind == EventKind::Tick && modalEvent.control == kTimer &&
                           ++seen.ticks == 3) {
                    seen.mainEnabled = testing::IsEnabled(ui, main);
                    seen.disabledEnabled = testing::IsEnabled(ui, disabled);
                    seen.modalEnabled = testing::IsEnabled(ui, modalEvent.window);
                    ui.destroyWindow(modalEvent.window);
                }
            });
            seen.returned = true;
            seen.modalAliveAfter = ui.isAlive(modal);
            seen.mainEnabledAfter = testing::IsEnabled(ui, event.window);
            seen.disabledEnabledAfter = testing::IsEnabled(ui, disabled);
            seen.mainActiveAfter = testing::IsForegroundAndActive(ui, event.window);
            ui.destroyWindow(disabled);
            ui.destroyWindow(event.window);
        }
    });
    ASSERT_TRUE(main);

    EXPECT_EQ(ui.runMessageLoop(), 0);

    EXPECT_FALSE(seen.visibleAtCreated);
    EXPECT_EQ(seen.ticks, 3);
    EXPECT_FALSE(seen.mainEnabled);
    EXPECT_FALSE(seen.disabledEnabled);
    EXPECT_TRUE(seen.modalEnabled);
    EXPECT_TRUE(seen.returned);
    EXPECT_FALSE(seen.modalAliveAfter);
    EXPECT_TRUE(seen.mainEnabledAfter);
    EXPECT_FALSE(seen.disabledEnabledAfter);
    // Given back before the modal window went, the main window takes the activation.
    EXPECT_TRUE(seen.mainActiveAfter);
}

TEST_F(Win32ServicesTest, RunModal_EscOrACloseRequestEndsIt)
{
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Esc" : "close request");
        bool guardFired = false;
        bool destroyed = false;
        const WindowId other = ui.openWindow(kOtherWindow, [](const Event&) {});
        ui.runModal(kWindow, [&](const Event& event) {
            if (event.kind == EventKind::Created) {
                ui.setTimerPeriod(control(event.window, kGuard), 3000);
                if (byEscape)
                    testing::PostKeyPress(ui, control(event.window, -1), testing::kEscapeKey);
                else
                    ui.requestClose(event.window);
            } else if (event.kind == EventKind::Tick && event.control == kGuard) {
                guardFired = true;
                ui.destroyWindow(event.window);
            } else if (event.kind == EventKind::Destroyed) {
                destroyed = true;
            }
        });
        EXPECT_FALSE(guardFired);
        EXPECT_TRUE(destroyed);
        EXPECT_TRUE(testing::IsEnabled(ui, other));
        ui.destroyWindow(other);
    }
}

TEST_F(Win32ServicesTest, RunModal_AQuitEndsTheNestedLoopAndStaysQueued)
{
    WindowId modal;
    const WindowId other = ui.openWindow(kOtherWindow, [](const Event&) {});
    ui.runModal(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created) {
            modal = event.window;
            ui.setTimerPeriod(control(event.window, kTimer), 30);
        } else if (event.kind == EventKind::Tick) {
            ui.setTimerPeriod(control(event.window, kTimer), 0);
            testing::PostQuit(5);
        }
    });

    EXPECT_TRUE(ui.isAlive(modal));
    EXPECT_TRUE(testing::IsEnabled(ui, other));
    EXPECT_EQ(testing::TakeQuit(), std::optional<int>(5));
    ui.destroyWindow(modal);
    ui.destroyWindow(other);
}

TEST_F(Win32ServicesTest, RunModal_AWindowDestroyedByItsCreatedHandlerReturnsAtOnce)
{
    const WindowId other = ui.openWindow(kOtherWindow, [](const Event&) {});
    bool destroyed = false;
    ui.runModal(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Created)
            ui.destroyWindow(event.window);
        else if (event.kind == EventKind::Destroyed)
            destroyed = true;
    });
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(testing::IsEnabled(ui, other));
    ui.destroyWindow(other);
}

// --- edit boxes and progress bars -----------------------------------------------

std::vector<Text> ListLines(const CodePage& codePage, int count)
{
    // Paths of about 40 bytes, the Chinese ones as GBK under code page 936.
    std::vector<Text> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back(codePage.fromUtf8("D:\\备份\\项目资料\\第" + std::to_string(i) + "号文件.txt\r\n"));
    return lines;
}

TEST_F(Win32ServicesTest, AppendText_OneJoinedAppendShowsWhatAppendingLineByLineShows)
{
    const WindowId window = ui.openWindow(kWindow, [](const Event&) {});
    const std::vector<Text> lines = ListLines(codePage, 40);
    Text joined;
    for (const Text& line : lines) {
        ui.appendText(control(window, kList), line);
        joined += line;
    }
    ui.appendText(control(window, kOtherList), joined);

    EXPECT_EQ(ui.text(control(window, kList)), joined);
    EXPECT_EQ(ui.text(control(window, kOtherList)), joined);
    const std::optional<testing::EditView> byLine = testing::ViewOfEdit(ui, control(window, kList));
    const std::optional<testing::EditView> atOnce = testing::ViewOfEdit(ui, control(window, kOtherList));
    ASSERT_TRUE(byLine.has_value());
    ASSERT_TRUE(atOnce.has_value());
    EXPECT_EQ(*byLine, *atOnce);
    // The caret at the end, the empty last line shown, the first lines scrolled away.
    EXPECT_EQ(byLine->selectionStart, byLine->selectionEnd);
    EXPECT_EQ(byLine->lineCount, 41);
    EXPECT_GT(byLine->visibleLines, 1);
    EXPECT_GT(byLine->firstVisibleLine, 0);
    EXPECT_LT(byLine->lineCount - 1, byLine->firstVisibleLine + byLine->visibleLines);

    // Appending again adds at the end, wherever the caret was put meanwhile.
    ui.setText(control(window, kOtherList), codePage.fromUtf8("第一行\r\n"));
    ui.appendText(control(window, kOtherList), lines[0]);
    EXPECT_EQ(ui.text(control(window, kOtherList)), codePage.fromUtf8("第一行\r\n") + lines[0]);
    ui.destroyWindow(window);
}

TEST_F(Win32ServicesTest, AppendText_TenThousandPathsAreNotCutByTheDefaultLimit)
{
    const WindowId window = ui.openWindow(kWindow, [](const Event&) {});
    Text joined;
    for (const Text& line : ListLines(codePage, 10000))
        joined += line;
    ASSERT_GT(joined.size(), 300000u);

    ui.appendText(control(window, kList), joined);

    const Text shown = ui.text(control(window, kList));
    EXPECT_EQ(shown.size(), joined.size());
    EXPECT_TRUE(shown == joined);
    const std::optional<testing::EditView> view = testing::ViewOfEdit(ui, control(window, kList));
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->lineCount, 10001);
    EXPECT_EQ(view->selectionStart, view->selectionEnd);
    EXPECT_LT(view->lineCount - 1, view->firstVisibleLine + view->visibleLines);
    EXPECT_GT(view->firstVisibleLine, 9000);
    ui.destroyWindow(window);
}

TEST_F(Win32ServicesTest, Progress_IsClampedToZeroToHundred)
{
    const WindowId window = ui.openWindow(kWindow, [](const Event&) {});
    EXPECT_EQ(ui.progress(control(window, kBar)), 0);
    const struct {
        int written;
        int read;
    } cases[] = {{37, 37}, {100, 100}, {0, 0}, {101, 100}, {-5, 0}, {INT_MAX, 100}, {INT_MIN, 0}, {1, 1}};
    for (const auto& c : cases) {
        ui.setProgress(control(window, kBar), c.written);
        EXPECT_EQ(ui.progress(control(window, kBar)), c.read) << "written " << c.written;
    }

    // Only a progress bar takes a position, and only an edit box takes an append.
    ui.setProgress(control(window, kLabel), 50);
    ui.appendText(control(window, kLabel), "x");
    EXPECT_EQ(ui.progress(control(window, kLabel)), 0);
    EXPECT_EQ(ui.text(control(window, kLabel)), "");
    ui.destroyWindow(window);
    EXPECT_EQ(ui.progress(control(window, kBar)), 0);
}

// --- clipboard --------------------------------------------------------------------

// Reads the list as the clipboard file list does: format, open, data, count,
// each path into a buffer of 260 spaces, close.
struct ReadResult {
    bool available = false;
    bool opened = false;
    bool hasData = false;
    std::uint32_t count = 0;
    std::vector<Text> paths;
    std::vector<std::uint32_t> lengths;
};

ReadResult ReadInTheListsOrder(Clipboard& clipboard)
{
    ReadResult result;
    result.available = clipboard.isFormatAvailable(kClipboardFileList);
    if (!result.available)
        return result;
    result.opened = clipboard.open();
    if (!result.opened)
        return result;
    const ClipboardData data = clipboard.data(kClipboardFileList);
    result.hasData = static_cast<bool>(data);
    result.count = clipboard.fileCount(data);
    std::string buffer(260, ' ');
    buffer.push_back('\0');
    for (std::uint32_t i = 0; i < result.count; ++i) {
        result.lengths.push_back(clipboard.queryFile(data, i, buffer.data(), 260));
        result.paths.push_back(Text(buffer.c_str()));
    }
    clipboard.close();
    return result;
}

TEST_F(Win32ServicesTest, Clipboard_ReadsTheFileListInItsOrderAsAnsiBytes)
{
    const std::string longName(300, 'n');
    const struct {
        const char* name;
        bool wide;
    } cases[] = {{"list held as ANSI bytes", false}, {"list held as UTF-16, as the shell holds it", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Text> paths = {codePage.fromUtf8("C:\\a.txt"),
                                         codePage.fromUtf8("D:\\备份\\报告一.doc"),
                                         codePage.fromUtf8("Z:\\tmp\\文件夹"), "C:\\" + longName};
        ASSERT_TRUE(testing::PutFilesOnClipboard(paths, c.wide));
        Win32Clipboard clipboard;

        const ReadResult read = ReadInTheListsOrder(clipboard);

        EXPECT_TRUE(read.available);
        EXPECT_TRUE(read.opened);
        EXPECT_TRUE(read.hasData);
        ASSERT_EQ(read.count, 4u);
        EXPECT_EQ(read.paths[0], paths[0]);
        EXPECT_EQ(read.paths[1], paths[1]);
        EXPECT_EQ(read.paths[2], paths[2]);
        // A path longer than the buffer arrives cut to 259 bytes.
        EXPECT_EQ(read.paths[3], paths[3].substr(0, 259));
        const std::vector<std::uint32_t> lengths = {static_cast<std::uint32_t>(paths[0].size()),
                                                    static_cast<std::uint32_t>(paths[1].size()),
                                                    static_cast<std::uint32_t>(paths[2].size()), 259};
        EXPECT_EQ(read.lengths, lengths);
        // Closed: another thread can open it now.
        EXPECT_TRUE(testing::ClipboardHolder().holding());
    }
}

TEST_F(Win32ServicesTest, Clipboard_QueriesOutsideTheListWriteNothing)
{
    ASSERT_TRUE(testing::PutFilesOnClipboard({"C:\\a.txt", "C:\\b.txt"}));
    Win32Clipboard clipboard;
    EXPECT_FALSE(clipboard.data(kClipboardFileList)) << "not open";
    ASSERT_TRUE(clipboard.open());
    const ClipboardData data = clipboard.data(kClipboardFileList);
    char buffer[16] = "untouched";

    EXPECT_EQ(clipboard.queryFile(data, 2, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(clipboard.queryFile(ClipboardData{}, 0, buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(clipboard.fileCount(ClipboardData{}), 0u);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(clipboard.queryFile(data, 1, buffer, 5), 4u);
    EXPECT_STREQ(buffer, "C:\\b");
    clipboard.close();
}

TEST_F(Win32ServicesTest, Clipboard_WithoutAFileListTheFormatIsUnavailable)
{
    for (const bool textOnly : {true, false}) {
        SCOPED_TRACE(textOnly ? "text only" : "empty");
        ASSERT_TRUE(textOnly ? testing::PutTextOnClipboard("C:\\a.txt") : testing::EmptyTheClipboard());
        Win32Clipboard clipboard;
        EXPECT_FALSE(clipboard.isFormatAvailable(kClipboardFileList));
        ASSERT_TRUE(clipboard.open());
        EXPECT_FALSE(clipboard.data(kClipboardFileList));
        clipboard.close();
    }
}

TEST_F(Win32ServicesTest, Clipboard_HeldOpenElsewhereCannotBeOpened)
{
    ASSERT_TRUE(testing::PutFilesOnClipboard({"C:\\a.txt"}));
    Win32Clipboard clipboard;
    {
        const testing::ClipboardHolder holder;
        ASSERT_TRUE(holder.holding());
        EXPECT_TRUE(clipboard.isFormatAvailable(kClipboardFileList));
        EXPECT_FALSE(clipboard.open());
    }
    // Left open by its user, it is closed when the object goes.
    {
        Win32Clipboard forgetful;
        ASSERT_TRUE(forgetful.open());
        EXPECT_FALSE(testing::ClipboardHolder().holding());
    }
    EXPECT_TRUE(testing::ClipboardHolder().holding());
}

// --- message box ------------------------------------------------------------------

TEST_F(Win32ServicesTest, MessageBox_TaskModalWithoutOwnerOrIconWhileTimersTick)
{
    std::optional<testing::SeenBox> seenBox;
    int ticks = 0;
    int ticksWhileEnabled = 0;
    const WindowId disabled = ui.openWindow(kOtherWindow, [](const Event&) {});
    testing::SetEnabled(ui, disabled, false);
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Tick) {
            ++ticks;
            if (testing::IsEnabled(ui, event.window) || testing::IsEnabled(ui, disabled))
                ++ticksWhileEnabled;
        }
    });
    ui.setTimerPeriod(control(window, kTimer), 30);
    Win32MessageBoxes boxes(process);
    {
        testing::MessageBoxWatcher watcher(
            L"信息提示", [&](const testing::SeenBox& box) { seenBox = box; }, 400);
        boxes.showInformation("复制完成", "信息提示");
    }

    ASSERT_TRUE(seenBox.has_value());
    EXPECT_EQ(seenBox->text, "复制完成");
    EXPECT_FALSE(seenBox->hasOwner);
    EXPECT_FALSE(seenBox->hasIcon);
    EXPECT_EQ(seenBox->buttons, 1);
    EXPECT_GE(ticks, 4);
    EXPECT_EQ(ticksWhileEnabled, 0);
    EXPECT_TRUE(testing::IsEnabled(ui, window));
    EXPECT_FALSE(testing::IsEnabled(ui, disabled));
    ui.destroyWindow(window);
    ui.destroyWindow(disabled);
}

TEST_F(Win32ServicesTest, MessageBox_AQuitEndsItAndStaysQueued)
{
    std::atomic<bool> answered{false};
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Tick) {
            ui.setTimerPeriod(control(event.window, kTimer), 0);
            testing::PostQuit(9);
        }
    });
    ui.setTimerPeriod(control(window, kTimer), 50);
    Win32MessageBoxes boxes(process);
    {
        // The watcher answers only long after the quit.
        testing::MessageBoxWatcher watcher(
            L"信息提示", [&](const std::string&) { answered = true; }, 1500);
        boxes.showInformation("复制完成", "信息提示");
        EXPECT_FALSE(answered.load());
    }
    EXPECT_EQ(testing::TakeQuit(), std::optional<int>(9));
    EXPECT_TRUE(testing::IsEnabled(ui, window));
    ui.destroyWindow(window);
}

}  // namespace
}  // namespace brenvik::win32
