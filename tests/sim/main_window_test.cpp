// The whole program on the simulated desktop: MainWindow's tray icon and
// menu, its show/hide rules, picking folders, "开启监控" and the hotkeys that
// open the copy window, and every way the program ends.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "app/shared_state.h"
#include "app/startup.h"
#include "mainwindow/images.h"
#include "mainwindow/main_window.h"
#include "platform/sim/desktop.h"
#include "platform/sim/files.h"
#include "platform/sim/folder_picker.h"
#include "platform/sim/hotkeys.h"
#include "platform/sim/images.h"
#include "platform/sim/process.h"
#include "platform/sim/tray.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik {
namespace {

using sim::HotkeyFlags::Control;

constexpr int kCentredLeft = (1024 - 570) / 2;
constexpr int kCentredTop = (768 - 170) / 2;

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : desk_(folder_.path())
    {
        // Everything the test scripts happens once MainWindow is up.
        user().whenShown("Brenvik1.0", [this](WindowId window) {
            main_ = window;
            if (script_)
                script_();
        });
    }

    sim::RunOutcome run(std::function<void()> script)
    {
        script_ = std::move(script);
        return desk_.run([this](Platform& platform) { return Startup(platform, state_); });
    }

    sim::SimUser& user() { return desk_.ui().user(); }
    sim::SimTray& tray() { return sim::SimTray::of(desk_.platform()); }
    sim::SimHotkeys& hotkeys() { return sim::SimHotkeys::of(desk_.platform()); }
    sim::SimFolderPicker& picker() { return sim::SimFolderPicker::of(desk_.platform()); }
    sim::WindowState mainState() { return desk_.ui().windowState(main_); }
    ControlId control(int index) { return {main_, index}; }

    std::string settingsBytes()
    {
        std::ifstream in(desk_.files().hostPath("C:\\Brenvik\\pz.txt"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Checks, at that point of the script, where the window stands.
    void expectShownCentred()
    {
        user().call([this] {
            const sim::WindowState state = mainState();
            EXPECT_TRUE(state.visible);
            EXPECT_FALSE(state.minimised);
            EXPECT_EQ(state.left, kCentredLeft);
            EXPECT_EQ(state.top, kCentredTop);
        });
    }
    void expectHidden(bool minimised)
    {
        user().call([this, minimised] {
            EXPECT_FALSE(mainState().visible);
            EXPECT_EQ(mainState().minimised, minimised);
        });
    }

    simtest::TempFolder folder_;
    sim::SimDesktop desk_;
    SharedState state_;
    WindowId main_;
    std::function<void()> script_;
};

TEST_F(ProgramTest, StartsWithItsIconsLogoAndAnEmptySettingsFile)
{
    run([] {});
    EXPECT_TRUE(tray().hasIcon(main_));
    EXPECT_EQ(tray().icon(main_).tipAnsi, "TALMORE!");
    EXPECT_EQ(tray().icon(main_).adds, 1);
    const std::vector<unsigned char> icon(kIconImage, kIconImage + kIconImageSize);
    EXPECT_EQ(sim::SimWindowImages::of(desk_.platform()).windowIcon(main_), icon);
    EXPECT_EQ(sim::SimWindowImages::of(desk_.platform()).picture(control(MainControl::Logo)).size(),
              kLogoImageSize);
    EXPECT_EQ(state_.SettingsPath, "C:\\Brenvik\\pz.txt");
    EXPECT_EQ(settingsBytes(), "");
    EXPECT_EQ(desk_.ui().displayText(control(MainControl::StartButton)), "开启监控");
}

TEST_F(ProgramTest, TrayClicksToggleTheWindow_ADoubleClickTogglesTwice)
{
    run([this] {
        tray().userClick(main_, TrayEventType::LeftButtonUp);
        expectHidden(/*minimised=*/false);
        user().drag(main_, 10, 10);  // hidden windows are not dragged; shown again it is centred
        tray().userClick(main_, TrayEventType::LeftButtonUp);
        expectShownCentred();
        tray().userDoubleClick(main_);  // up, double, up: hidden, nothing, shown
        expectShownCentred();
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
    EXPECT_TRUE(tray().menus().empty());
}

TEST_F(ProgramTest, MinimisingHidesInTheTray_ALeftClickBringsItBackRestoredAndCentred)
{
    run([this] {
        user().minimise(main_);
        expectHidden(/*minimised=*/true);
        tray().userClick(main_, TrayEventType::LeftButtonUp);
        expectShownCentred();
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
}

TEST_F(ProgramTest, TrayMenuShowRecentresAShownWindow_AndShowsAHiddenOne)
{
    run([this] {
        user().drag(main_, 5, 7);
        tray().userRightClick(main_);
        tray().chooseMenuItem(TrayMenuItem::Show);
        expectShownCentred();
        user().minimise(main_);
        tray().userRightClick(main_);
        tray().chooseMenuItem(TrayMenuItem::Show);
        expectShownCentred();
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
    ASSERT_EQ(tray().menus().size(), 2u);
    EXPECT_EQ(tray().menus()[0].itemsUtf8, (std::vector<std::string>{"显示", "退出"}));
}

// Every way of ending gives exit code 0 and runs ReleaseGlobals once; the
// tray icon is removed on each, so none is left dead in the notification area.
enum class End { ExitButton, CloseBox, Escape, TrayExitWhileHidden };

class ExitRouteTest : public ProgramTest, public ::testing::WithParamInterface<End> {};

TEST_P(ExitRouteTest, EndsWithCodeZero_RemovingTheTrayIcon)
{
    const sim::RunOutcome outcome = run([this] {
        switch (GetParam()) {
            case End::ExitButton:
                user().click(control(MainControl::ExitButton));
                break;
            case End::CloseBox:
                user().close(main_);
                break;
            case End::Escape:
                user().pressEscape(main_);
                break;
            case End::TrayExitWhileHidden:
                user().minimise(main_);
                tray().userRightClick(main_);
                tray().chooseMenuItem(TrayMenuItem::Exit);
                break;
        }
    });
    EXPECT_EQ(outcome.end, sim::RunEnd::Exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(state_.releaseCount, 1);
    EXPECT_FALSE(tray().hasIcon(main_));
    EXPECT_EQ(tray().icon(main_).deletes, 1);
    // Only the tray's "退出" ends without destroying the window.
    EXPECT_EQ(desk_.ui().isAlive(main_), GetParam() == End::TrayExitWhileHidden);
    EXPECT_FALSE(mainState().visible);
}

INSTANTIATE_TEST_SUITE_P(Routes, ExitRouteTest,
                         ::testing::Values(End::ExitButton, End::CloseBox, End::Escape,
                                           End::TrayExitWhileHidden));

TEST_F(ProgramTest, TheTrayIconComesBackWhenTheShellRestarts)
{
    run([this] { user().call([this] { tray().simulateShellRestart(); }); });
    EXPECT_TRUE(tray().hasIcon(main_));
    EXPECT_EQ(tray().icon(main_).adds, 2);
}

TEST_F(ProgramTest, PickingAFolderFillsTheBox_CancellingEmptiesIt_NothingIsSaved)
{
    run([this] {
        user().doubleClick(control(MainControl::FolderBox1 + 1));
        picker().scriptChoice("D:\\photos");
        user().doubleClick(control(MainControl::FolderBox1 + 2));
        picker().scriptChoice("E:\\");
        user().call(
            [this] { EXPECT_EQ(desk_.ui().text(control(MainControl::FolderBox1 + 1)), "D:\\photos"); });
        user().doubleClick(control(MainControl::FolderBox1 + 1));
        picker().scriptCancel();
        user().type(control(MainControl::FolderBox1), "typed");  // refused: the box is read-only
    });
    EXPECT_EQ(desk_.ui().text(control(MainControl::FolderBox1)), "");
    EXPECT_EQ(desk_.ui().text(control(MainControl::FolderBox1 + 1)), "");
    EXPECT_EQ(desk_.ui().text(control(MainControl::FolderBox1 + 2)), "E:\\");
    ASSERT_EQ(picker().pickers().size(), 3u);
    EXPECT_EQ(picker().pickers()[0].promptUtf8, "选择要复制到的目录");
    EXPECT_EQ(settingsBytes(), "");
}

// "开启监控" with folders and letters in place: the file, the registrations,
// the window in the tray, and a press that opens the copy window for its slot.
class MonitoringTest : public ProgramTest {
protected:
    void setSlot(int slot, const Text& folder, const Text& letter)
    {
        user().call([=, this] { desk_.platform().ui.setText(FolderBox(main_, slot), folder); });
        user().type(LetterBox(main_, slot), letter);
    }

    // Presses Ctrl+key; the copy window it opens records its folder and closes.
    void pressAndRecord(std::int32_t key) { hotkeys().userPress(Control, key); }

    void SetUp() override { armCopyWindowWatch(); }

    // Every copy window that opens records its folder and is closed at once,
    // before the script goes on. An armed action fires once, so it re-arms itself.
    void armCopyWindowWatch()
    {
        user().whenShown("Quorvex", [this](WindowId copyWindow) {
            opened_.push_back(state_.TargetFolder);
            user().perform(sim::UserAction::escape(copyWindow));
            armCopyWindowWatch();
        });
    }

    std::vector<Text> opened_;
};

TEST_F(MonitoringTest, SavesRegistersHidesAndOpensTheCopyWindowForThePressedSlot)
{
    run([this] {
        setSlot(2, "D:\\x", "d");
        setSlot(5, "E:\\y", "e");
        user().type(LetterBox(main_, 1), "ab");  // the box takes one character
        user().click(control(MainControl::StartButton));
        expectHidden(/*minimised=*/true);
        pressAndRecord('D');
        pressAndRecord('E');
        pressAndRecord('A');  // slot 1's folder box is empty
        pressAndRecord('B');  // registered by nobody
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
    EXPECT_EQ(settingsBytes(), "|D:\\x|||E:\\y");
    EXPECT_EQ(desk_.ui().text(LetterBox(main_, 1)), "a");
    // Slots 3 and 4 both ask for Ctrl with the key value -32 of an empty box:
    // the system takes the first and refuses the second as a duplicate.
    EXPECT_EQ(state_.HotkeyIds, (std::array<std::int32_t, 5>{33001, 33002, 33003, 0, 33005}));
    EXPECT_EQ(hotkeys().attempts()[1].key, 'D');
    EXPECT_EQ(hotkeys().attempts()[1].flags, Control);
    EXPECT_EQ(opened_, (std::vector<Text>{"D:\\x", "E:\\y", ""}));
}

TEST_F(MonitoringTest, AFailedFirstRegistrationStillUsesUpItsId_TheSameLetterTwiceRefusesTheLater)
{
    hotkeys().holdByOtherProgram(Control, 'A');
    run([this] {
        setSlot(1, "C:\\one", "a");
        setSlot(2, "C:\\two", "b");
        setSlot(3, "C:\\three", "b");
        user().click(control(MainControl::StartButton));
        pressAndRecord('B');
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
    EXPECT_EQ(state_.HotkeyIds[0], 0);
    EXPECT_EQ(state_.HotkeyIds[1], 33002);
    EXPECT_EQ(state_.HotkeyIds[2], 0);
    EXPECT_EQ(opened_, (std::vector<Text>{"C:\\two"}));
}

TEST_F(MonitoringTest, StartingAgainKeepsUnchangedLettersWorking_AndMovesAChangedOne)
{
    run([this] {
        setSlot(1, "C:\\one", "a");
        setSlot(2, "C:\\two", "b");
        user().click(control(MainControl::StartButton));
        tray().userClick(main_, TrayEventType::LeftButtonUp);
        user().type(LetterBox(main_, 2), "c");
        // A folder picked now is read at the next press, without a new start.
        user().doubleClick(control(MainControl::FolderBox1));
        picker().scriptChoice("C:\\uno");
        user().click(control(MainControl::StartButton));
        pressAndRecord('A');
        pressAndRecord('B');  // slot 2's old letter was released
        pressAndRecord('C');
        user().call([this] { desk_.platform().process.exitNow(0); });
    });
    EXPECT_EQ(state_.HotkeyIds[0], 33006);
    EXPECT_EQ(state_.HotkeyIds[1], 33007);
    EXPECT_EQ(opened_, (std::vector<Text>{"C:\\uno", "C:\\two"}));
    EXPECT_EQ(settingsBytes(), "C:\\uno|C:\\two|||");
}

}  // namespace
}  // namespace brenvik
