// The Win32 layer's shell services over the real Windows API, in-process:
// hotkey ids, modifiers and delivery to a label, the tray icon with its
// callback, the shell's restart and the pop-up menu, the folder picker, the
// window icon and the picture, and the data texts the controls keep byte for
// byte.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/images.h"
#include "platform/win32/desktop.h"
#include "platform/win32/shell_test_support.h"
#include "platform/win32/test_support.h"
#include "temp_folder.h"

namespace brenvik::win32 {
namespace {

using namespace testing;

constexpr int kLabel = 0;
constexpr int kOtherLabel = 1;
constexpr int kPicture = 2;
constexpr int kLine = 3;
constexpr int kLines = 4;

constexpr ControlSpec kControls[] = {
    {"标签_rj1", ControlKind::Label, 488, -8, 80, 24, "", ControlStyle::None, ControlEvents::Feedback},
    {"标签_rj2", ControlKind::Label, 8, 140, 80, 24, "", ControlStyle::None, ControlEvents::Feedback},
    {"图片框1", ControlKind::Picture, 448, 72, 112, 32, ""},
    {"编辑框1", ControlKind::Edit, 56, 16, 344, 24, "", ControlStyle::WhiteBackground},
    {"编辑框2", ControlKind::Edit, 56, 48, 344, 80, "", ControlStyle::MultiLine},
};

constexpr unsigned kFrame = WindowFrame::Caption | WindowFrame::MinimiseBox | WindowFrame::TaskbarButton;
constexpr WindowSpec kWindow{"壳服务测试", 570, 170, kFrame, false, kControls};
constexpr WindowSpec kOtherWindow{"Other", 300, 200, kFrame, false, kControls};

constexpr unsigned kVirtualKeyQ = 'Q';
constexpr unsigned kVirtualKeyW = 'W';
constexpr unsigned kVirtualKeyF1 = 0x70;

std::span<const unsigned char> IconFile()
{
    return {kIconImage, kIconImageSize};
}

std::span<const unsigned char> LogoFile()
{
    return {kLogoImage, kLogoImageSize};
}

class Win32ShellTest : public ::testing::Test {
protected:
    Win32CodePage codePage;
    Win32Process process{codePage};
    Win32Ui ui{process};
    std::vector<Event> events;

    void SetUp() override { ASSERT_TRUE(process.initialise()); }

    WindowId open(const WindowSpec& spec = kWindow)
    {
        const WindowId window = ui.openWindow(spec, [this](const Event& event) { events.push_back(event); });
        DispatchPending();
        events.clear();
        return window;
    }

    std::vector<Event> eventsOf(EventKind kind) const
    {
        std::vector<Event> found;
        for (const Event& event : events)
            if (event.kind == kind)
                found.push_back(event);
        return found;
    }
};

// --- hotkeys --------------------------------------------------------------------

TEST_F(Win32ShellTest, Hotkey_IdsCountEveryAttemptAndATakenCombinationIsRefused)
{
    Win32Hotkeys hotkeys{process, ui};
    const WindowId window = open();
    const ControlId label{window, kLabel};
    const WindowId gone = open(kOtherWindow);
    ui.destroyWindow(gone);

    EXPECT_EQ(hotkeys.registerHotkey(window, label, 1, kVirtualKeyQ), 33001);
    EXPECT_EQ(hotkeys.registerHotkey(window, label, 1, kVirtualKeyQ), 0);  // the same combination: refused
    EXPECT_EQ(hotkeys.registerHotkey(window, label, 1, kVirtualKeyW), 33003);
    EXPECT_EQ(hotkeys.registerHotkey(gone, label, 1, kVirtualKeyF1), 0);  // no window: refused, id used up
    EXPECT_EQ(hotkeys.registerHotkey(window, label, 1, kVirtualKeyF1), 33005);
    EXPECT_FALSE(IsHotkeyFree(ui, window, kModControl, kVirtualKeyQ));

    // Unregistering frees the combination; an id never registered changes nothing.
    hotkeys.unregisterHotkey(window, 33001);
    hotkeys.unregisterHotkey(window, 33002);
    EXPECT_TRUE(IsHotkeyFree(ui, window, kModControl, kVirtualKeyQ));
    EXPECT_FALSE(IsHotkeyFree(ui, window, kModControl, kVirtualKeyW));
    EXPECT_EQ(hotkeys.registerHotkey(window, label, 1, kVirtualKeyQ), 33006);

    // Another service counts from the start: the count is the service's own.
    Win32Hotkeys fresh{process, ui};
    EXPECT_EQ(fresh.registerHotkey(window, label, 1, kVirtualKeyQ), 0);  // taken by the first
    EXPECT_EQ(fresh.registerHotkey(window, label, 2, kVirtualKeyQ), 33002);
    ui.destroyWindow(window);
}

TEST_F(Win32ShellTest, Hotkey_ModifierValuesBecomeTheSystemsFlags)
{
    struct Case {
        std::int32_t value;
        unsigned flags;
    };
    const Case cases[] = {
        {1, kModControl},
        {2, kModShift},
        {4, kModAlt},
        {3, kModControl | kModShift},
        {5, kModControl | kModAlt},
        {6, kModShift | kModAlt},
        {8, kModWin},  // any other value is passed on unchanged
        {kModControl | kModWin, kModControl | kModWin},
    };
    Win32Hotkeys hotkeys{process, ui};
    const WindowId window = open();
    unsigned key = kVirtualKeyF1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_TRUE(IsHotkeyFree(ui, window, c.flags, key));
        EXPECT_NE(hotkeys.registerHotkey(window, {window, kLabel}, c.value, static_cast<std::int32_t>(key)),
                  0);
        EXPECT_FALSE(IsHotkeyFree(ui, window, c.flags, key));
        ++key;
    }
    ui.destroyWindow(window);
}

TEST_F(Win32ShellTest, Hotkey_APressInRangeReachesTheLatestLabelBeforeTheWindow)
{
    Win32Hotkeys hotkeys{process, ui};
    std::vector<std::string> order;
    const WindowId window = ui.openWindow(kWindow, [&](const Event& event) {
        if (event.kind == EventKind::Feedback)
            order.push_back("label " + std::to_string(event.control) + " " + std::to_string(event.arg1) +
                            " " + std::to_string(event.arg2));
    });
    ASSERT_TRUE(window);
    // Installed before the service watches the window, so it sees the
    // message after the service and before the window's own procedure.
    MessageSpy windowSide(ui, {window, -1}, kHotkeyMessage, [&](std::uintptr_t wParam, std::intptr_t) {
        order.push_back("window " + std::to_string(wParam));
    });

    EXPECT_EQ(hotkeys.registerHotkey(window, {window, kLabel}, 1, kVirtualKeyQ), 33001);
    EXPECT_EQ(hotkeys.registerHotkey(window, {window, kLabel}, 1, kVirtualKeyQ), 0);
    EXPECT_EQ(hotkeys.registerHotkey(window, {window, kOtherLabel}, 1, kVirtualKeyW), 33003);
    for (const std::uintptr_t id : {33001u, 33002u, 33003u, 33000u, 33004u, 5u}) {
        ASSERT_TRUE(PostToWindow(ui, {window, -1}, kHotkeyMessage, id, 0x00510002));
        DispatchPending();
    }

    // Ids 33001 to 33003, the refused one included, go to the latest label
    // first; every id then reaches the window.
    const std::vector<std::string> expected{
        "label 1 33001 0", "window 33001", "label 1 33002 0", "window 33002", "label 1 33003 0",
        "window 33003",    "window 33000", "window 33004",    "window 5",
    };
    EXPECT_EQ(order, expected);
    ui.destroyWindow(window);
}

// --- the tray icon ----------------------------------------------------------------

TEST_F(Win32ShellTest, Tray_AddChangeAndRemoveTheIcon)
{
    Win32Tray tray{process, ui};
    const WindowId window = open();
    const std::array<unsigned char, 6> garbage{0, 0, 1, 0, 1, 0};

    EXPECT_FALSE(tray.setIcon(window, garbage, "TALMORE!"));  // no icon made, none there
    EXPECT_FALSE(TrayIconExists(ui, window));
    EXPECT_TRUE(tray.setIcon(window, IconFile(), "TALMORE!"));
    EXPECT_TRUE(TrayIconExists(ui, window));
    EXPECT_TRUE(tray.setIcon(window, IconFile(), std::string(80, 'x')));  // replaced; the tip cut
    EXPECT_TRUE(tray.setIcon(window, garbage, "TALMORE!"));               // nothing changed
    EXPECT_TRUE(TrayIconExists(ui, window));

    tray.removeIcon(window);
    EXPECT_FALSE(TrayIconExists(ui, window));
    tray.removeIcon(window);  // none left: nothing happens

    const WindowId gone = open(kOtherWindow);
    ui.destroyWindow(gone);
    EXPECT_FALSE(tray.setIcon(gone, IconFile(), "TALMORE!"));
    ui.destroyWindow(window);
}

TEST_F(Win32ShellTest, Tray_TheShellsNotificationsBecomeTrayEvents)
{
    struct Case {
        std::intptr_t mouse;
        int type;  // 0: no event
    };
    const Case cases[] = {
        {kLeftButtonUp, 1},   {kLeftDoubleClick, 2}, {kRightButtonUp, 3}, {kContextMenu, 3},
        {kLeftButtonDown, 0}, {kRightButtonDown, 0}, {kMouseMove, 0},
    };
    Win32Tray tray{process, ui};
    const WindowId window = open();
    ASSERT_TRUE(tray.setIcon(window, IconFile(), "TALMORE!"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mouse);
        events.clear();
        ASSERT_TRUE(PostToWindow(ui, {window, -1}, kTrayCallbackMessage, 100, c.mouse));
        DispatchPending();
        const std::vector<Event> tray_events = eventsOf(EventKind::Tray);
        if (c.type == 0) {
            EXPECT_TRUE(tray_events.empty());
        } else {
            ASSERT_EQ(tray_events.size(), 1u);
            EXPECT_EQ(tray_events[0].arg1, c.type);
            EXPECT_EQ(tray_events[0].control, -1);
        }
    }
    tray.removeIcon(window);
    ui.destroyWindow(window);
}

TEST_F(Win32ShellTest, Tray_TheIconComesBackWhenTheShellRestarts)
{
    Win32Tray tray{process, ui};
    const WindowId window = open();
    const WindowId removed = open(kOtherWindow);
    ASSERT_TRUE(tray.setIcon(window, IconFile(), "TALMORE!"));
    ASSERT_TRUE(tray.setIcon(removed, IconFile(), "TALMORE!"));
    tray.removeIcon(removed);

    // The restarted shell knows no icon, then broadcasts its start.
    ASSERT_TRUE(DeleteTrayIcon(ui, window));
    ASSERT_FALSE(TrayIconExists(ui, window));
    ASSERT_TRUE(PostToWindow(ui, {window, -1}, TaskbarCreatedMessage(), 0, 0));
    ASSERT_TRUE(PostToWindow(ui, {removed, -1}, TaskbarCreatedMessage(), 0, 0));
    DispatchPending();

    EXPECT_TRUE(TrayIconExists(ui, window));
    EXPECT_FALSE(TrayIconExists(ui, removed));  // removed on purpose: stays away
    // It is the service's again: removing it takes it from the shell.
    tray.removeIcon(window);
    EXPECT_FALSE(TrayIconExists(ui, window));
    ui.destroyWindow(window);
    ui.destroyWindow(removed);
}

TEST_F(Win32ShellTest, Tray_TheMenuSendsTheChosenItemAndANullMessage)
{
    const std::array<std::string_view, 2> items{"显示", "退出"};
    for (const int choice : {0, 1, -1}) {
        SCOPED_TRACE(choice);
        Win32Tray tray{process, ui};
        const WindowId window = open();
        int nullMessages = 0;
        MessageSpy nulls(ui, {window, -1}, 0x0000, [&](std::uintptr_t, std::intptr_t) { ++nullMessages; });
        std::vector<std::string> shown;
        {
            MenuDriver user(choice);
            tray.popupMenu(window, items);
            shown = user.items();
        }
        // The command was sent before the call returned; the null message is queued.
        const std::vector<Event> commands = eventsOf(EventKind::MenuCommand);
        EXPECT_EQ(nullMessages, 0);
        DispatchPending();
        EXPECT_EQ(nullMessages, 1);

        EXPECT_EQ(shown, (std::vector<std::string>{"显示", "退出"}));
        if (choice < 0) {
            EXPECT_TRUE(commands.empty());
        } else {
            ASSERT_EQ(commands.size(), 1u);
            EXPECT_EQ(commands[0].arg1, choice);
            EXPECT_EQ(commands[0].window, window);
        }
        ui.destroyWindow(window);
        events.clear();
    }
}

// --- the folder picker ------------------------------------------------------------

TEST_F(Win32ShellTest, FolderPicker_ReturnsTheChosenFolderInAnsiAndGivesTheWindowsTheirStateBack)
{
    const brenvik::testing::TempFolder temp;
    std::filesystem::create_directories(temp.path() / std::filesystem::u8path("目标文件夹"));
    const std::string folderUtf8 = temp.path().string() + "\\目标文件夹";
    struct Case {
        std::optional<std::string> typed;
        Text expected;
    };
    const Case cases[] = {
        {folderUtf8, temp.text() + "\\" + codePage.fromUtf8("目标文件夹")},
        {std::string("C:\\"), "C:\\"},  // a drive root keeps its backslash
        {std::nullopt, ""},             // cancelled
    };
    Win32FolderPicker picker{process};
    const WindowId active = open();
    const WindowId disabled = open(kOtherWindow);
    SetEnabled(ui, disabled, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.value_or("(cancel)"));
        ui.activate(active);
        DispatchPending();
        ASSERT_TRUE(IsForegroundAndActive(ui, active));
        FolderPickerDriver user(ui, {active, disabled}, c.typed);
        const Text chosen = picker.pickFolder("选择要复制到的目录");
        const SeenPicker seen = user.seen();

        EXPECT_EQ(chosen, c.expected);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.windowsEnabled, (std::vector<bool>{false, false}));
        EXPECT_EQ(seen.owner, ui.nativeHandle({active, -1}));
        EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), "选择要复制到的目录"), seen.texts.end());
        DispatchPending();
        EXPECT_TRUE(IsEnabled(ui, active));
        EXPECT_FALSE(IsEnabled(ui, disabled));
        EXPECT_TRUE(IsForegroundAndActive(ui, active));
    }
    ui.destroyWindow(active);
    ui.destroyWindow(disabled);
}

// --- window icons and pictures ----------------------------------------------------

std::vector<std::vector<unsigned char>> BadImages(std::span<const unsigned char> good)
{
    std::vector<unsigned char> truncated(good.begin(),
                                         good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
    std::vector<unsigned char> text{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    return {{}, text, truncated};
}

TEST_F(Win32ShellTest, WindowIcon_TakesTheFilesFirstImageAndRefusesBadBytes)
{
    Win32WindowImages images{process, ui};
    const WindowId window = open();
    const WindowId fresh = open(kOtherWindow);

    std::vector<std::vector<unsigned char>> bad = BadImages(IconFile());
    bad.emplace_back(kLogoImage, kLogoImage + kLogoImageSize);  // not an icon file
    std::vector<unsigned char> farOffset(kIconImage, kIconImage + kIconImageSize);
    farOffset[6 + 12] = 0xFF;  // the first image beyond the end
    bad.push_back(farOffset);
    std::vector<unsigned char> tooBig(kIconImage, kIconImage + kIconImageSize);
    tooBig[22 + 8] = 0x80;  // the image claims twice the height the bytes hold
    bad.push_back(tooBig);

    ASSERT_TRUE(images.setWindowIcon(window, IconFile()));
    EXPECT_EQ(WindowIconSize(ui, window, true), (ImageSize{33, 32}));
    EXPECT_TRUE(WindowIconSize(ui, window, false).has_value());
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(images.setWindowIcon(window, bad[i]));
        EXPECT_FALSE(images.setWindowIcon(fresh, bad[i]));
        EXPECT_EQ(WindowIconSize(ui, window, true), (ImageSize{33, 32}));
        EXPECT_FALSE(WindowIconSize(ui, fresh, true).has_value());
    }
    ui.destroyWindow(window);
    ui.destroyWindow(fresh);
}

TEST_F(Win32ShellTest, Picture_TheLogoIsScaledIntoTheBoxAndBadBytesChangeNothing)
{
    Win32WindowImages images{process, ui};
    const WindowId window = open();
    const ControlId picture{window, kPicture};

    EXPECT_FALSE(images.setPicture({window, kLine}, LogoFile()));  // not a picture box
    ASSERT_TRUE(images.setPicture(picture, LogoFile()));
    const std::optional<PictureBits> shown = PictureOf(ui, picture);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->width, 112);
    EXPECT_EQ(shown->height, 32);
    // 125 x 27 scaled to 112 x 24, centred: four rows of background above and below.
    const std::uint32_t background = WindowBackground();
    for (int x = 0; x < 112; ++x) {
        for (const int y : {0, 3, 28, 31})
            EXPECT_EQ(shown->at(x, y), background) << x << "," << y;
    }
    // Inside: the blue band (36, 92, 170) and the white letters.
    bool white = false, blue = false;
    for (int x = 0; x < 112; ++x) {
        const std::uint32_t pixel = shown->at(x, 16);
        white = white || pixel == 0xFFFFFF;
        blue = blue || pixel == 0x245CAA;
    }
    EXPECT_TRUE(white);
    EXPECT_TRUE(blue);

    for (const std::vector<unsigned char>& bytes : BadImages(LogoFile())) {
        SCOPED_TRACE(bytes.size());
        EXPECT_FALSE(images.setPicture(picture, bytes));
        const std::optional<PictureBits> after = PictureOf(ui, picture);
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(after->pixels, shown->pixels);
    }
    ui.destroyWindow(window);
}

// --- data texts keep their bytes ----------------------------------------------------

TEST_F(Win32ShellTest, Text_BytesTheControlCannotKeepComeBackAsTheyWereSet)
{
    const WindowId window = open();
    const Text valid = codePage.fromUtf8("D:\\资料");
    const Text cases[] = {"\xFF\xFE", "a\r\nb", "D:\\x\r\n", "\x81", valid, ""};
    for (const int box : {kLine, kLines}) {
        for (const Text& bytes : cases) {
            SCOPED_TRACE(::testing::Message() << box << " " << ::testing::PrintToString(bytes));
            const ControlId control{window, box};
            ui.setText(control, bytes);
            EXPECT_EQ(ui.text(control), bytes);
            EXPECT_EQ(ui.text(control), bytes);  // reading changes nothing

            // Once the user has typed, the box's real text is what counts.
            ASSERT_TRUE(TypeCharacters(ui, control, "x"));
            const Text typed = ui.text(control);
            EXPECT_NE(typed, bytes);
            EXPECT_NE(typed.find('x'), Text::npos);
            ui.setTextUtf8(control, "abc");
            EXPECT_EQ(ui.text(control), "abc");
        }
    }
    ui.destroyWindow(window);
}

}  // namespace
}  // namespace brenvik::win32
