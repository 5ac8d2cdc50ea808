// The simulated desktop's shell services: hotkey ids, flags and forwarding,
// the tray icon and its menu, the folder picker's modality, and the checks
// that decide whether icon and PNG bytes make an image.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/desktop.h"
#include "platform/sim/folder_picker.h"
#include "platform/sim/hotkeys.h"
#include "platform/sim/images.h"
#include "platform/sim/tray.h"
#include "platform/sim/ui.h"
#include "temp_folder.h"

namespace brenvik::sim {
namespace {

constexpr ControlSpec kControls[] = {
    {"标签_rj1", ControlKind::Label, 0, 0, 80, 24, "", ControlStyle::None, ControlEvents::Feedback, 0},
    {"标签2", ControlKind::Label, 0, 30, 80, 24, "", ControlStyle::None, ControlEvents::Feedback, 0},
    {"图片框1", ControlKind::Picture, 0, 60, 112, 32, "", ControlStyle::None, ControlEvents::None, 0},
};
constexpr int kLabel = 0, kLabel2 = 1, kPicture = 2;
constexpr WindowSpec kWindow{"壳窗口", 300, 200, WindowFrame::Caption, true, kControls};
constexpr WindowSpec kOther{"另一窗口", 200, 100, WindowFrame::Caption, false, kControls};

using Bytes = std::vector<unsigned char>;

// An icon file with `count` directory entries, the first describing `data`.
Bytes IconFile(int width, int height, int bitCount, std::size_t dataSize, int count = 1)
{
    const std::size_t offset = 6 + 16 * static_cast<std::size_t>(count);
    auto put16 = [](Bytes& b, std::size_t v) {
        b.push_back(static_cast<unsigned char>(v));
        b.push_back(static_cast<unsigned char>(v >> 8));
    };
    Bytes b;
    put16(b, 0);
    put16(b, 1);
    put16(b, static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        b.push_back(static_cast<unsigned char>(width));
        b.push_back(static_cast<unsigned char>(height));
        b.insert(b.end(), {0, 0, 1, 0});  // colours, reserved, planes
        put16(b, static_cast<std::size_t>(bitCount));
        put16(b, dataSize);
        put16(b, 0);
        put16(b, offset);
        put16(b, 0);
    }
    b.resize(offset + dataSize, 0x5A);
    return b;
}

Bytes Png(std::uint32_t width, std::uint32_t height)
{
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<unsigned char>(v >> shift));
    b.insert(b.end(), {8, 2, 0, 0, 0, 1, 2, 3, 4});  // depth, colour type, methods, CRC
    return b;
}

class SimShellTest : public ::testing::Test {
protected:
    simtest::TempFolder folder;
    SimDesktop desktop{folder.path()};
    SimUi& ui = desktop.ui();
    SimHotkeys& hotkeys = SimHotkeys::of(desktop.platform());
    SimTray& tray = SimTray::of(desktop.platform());
    SimFolderPicker& picker = SimFolderPicker::of(desktop.platform());
    SimWindowImages& images = SimWindowImages::of(desktop.platform());
};

// --- hotkeys ------------------------------------------------------------------

TEST_F(SimShellTest, HotkeyIdsCountEveryAttempt_ATakenCombinationIsRefused_UnregisterFreesIt)
{
    hotkeys.holdByOtherProgram(HotkeyFlags::Control, 0x41);
    std::vector<std::int32_t> ids;
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, {});
        const ControlId label{w, kLabel};
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, 0x41));  // held by the other program
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, 0x42));
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, 0x42));  // held by this program
        ids.push_back(p.hotkeys.registerHotkey(w, label, 2, 0x42));  // Shift+B is another combination
        p.hotkeys.unregisterHotkey(w, 33002);
        p.hotkeys.unregisterHotkey(w, 33002);  // no longer registered: nothing happens
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, 0x42));
        // No key has the code -32; the system takes it as given, once.
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, -32));
        ids.push_back(p.hotkeys.registerHotkey(w, label, 1, -32));
        return 0;
    });

    EXPECT_EQ(ids, (std::vector<std::int32_t>{0, 33002, 0, 33004, 33005, 33006, 0}));
    std::vector<std::pair<std::int32_t, bool>> attempts;
    for (const HotkeyAttempt& a : hotkeys.attempts())
        attempts.emplace_back(a.id, a.accepted);
    EXPECT_EQ(attempts, (std::vector<std::pair<std::int32_t, bool>>{{33001, false},
                                                                    {33002, true},
                                                                    {33003, false},
                                                                    {33004, true},
                                                                    {33005, true},
                                                                    {33006, true},
                                                                    {33007, false}}));
    std::vector<std::int32_t> held;
    for (const HotkeyRegistration& r : hotkeys.registered())
        held.push_back(r.id);
    EXPECT_EQ(held, (std::vector<std::int32_t>{0, 33004, 33005, 33006}));  // 0: the other program's
    ASSERT_EQ(hotkeys.unregistrations().size(), 2u);
    EXPECT_TRUE(hotkeys.unregistrations()[0].removed);
    EXPECT_FALSE(hotkeys.unregistrations()[1].removed);
}

TEST_F(SimShellTest, HotkeyModifierValuesMapToSystemFlags_UnknownFlagBitsAreRefused)
{
    using namespace HotkeyFlags;
    struct Case {
        std::int32_t modifiers;
        std::uint32_t flags;
        bool accepted;
    };
    const Case cases[] = {
        {1, Control, true},       {2, Shift, true},       {4, Alt, true},  {3, Control | Shift, true},
        {5, Control | Alt, true}, {6, Shift | Alt, true}, {0, 0, true},    {7, 7, true},
        {8, Win, true},           {0x4002, 0x4002, true}, {16, 16, false}, {-1, 0xFFFFFFFFu, false},
    };
    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, {});
        std::int32_t key = 0x41;
        for (const Case& c : cases)
            p.hotkeys.registerHotkey(w, {w, kLabel}, c.modifiers, key++);
        return 0;
    });

    ASSERT_EQ(hotkeys.attempts().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("modifier value " + std::to_string(cases[i].modifiers));
        EXPECT_EQ(hotkeys.attempts()[i].flags, cases[i].flags);
        EXPECT_EQ(hotkeys.attempts()[i].accepted, cases[i].accepted);
    }
}

// What reached a handler: "label" or "window" (the window's own handling), the
// label's index and the id.
struct Reached {
    std::string who;
    int control;
    std::int32_t id;
    friend bool operator==(const Reached&, const Reached&) = default;
    friend void PrintTo(const Reached& r, std::ostream* os)
    {
        *os << "{" << r.who << " " << r.control << " " << r.id << "}";
    }
};

TEST_F(SimShellTest, HotkeysInTheIssuedRangeReachTheLatestLabelFirst_OthersOnlyTheWindow)
{
    std::vector<Reached> reached;
    hotkeys.setWindowHandling([&](WindowId, std::int32_t id) { reached.push_back({"window", -1, id}); });
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind == EventKind::Feedback) {
                EXPECT_EQ(e.arg2, 0);
                reached.push_back({"label", e.control, e.arg1});
            }
        });
        const WindowId unwatched = p.ui.openWindow(kOther, {});
        EXPECT_EQ(p.hotkeys.registerHotkey(w, {w, kLabel}, 1, 0x41), 33001);
        EXPECT_EQ(p.hotkeys.registerHotkey(w, {w, kLabel2}, 1, 0x42), 33002);
        EXPECT_EQ(p.hotkeys.registerHotkey(w, {w, kLabel2}, 1, 0x42), 0);  // 33003, refused

        hotkeys.userPress(HotkeyFlags::Control, 0x41);  // the older registration: still forwarded
        hotkeys.userPress(HotkeyFlags::Control | HotkeyFlags::Shift, 0x41);  // not registered
        hotkeys.userPress(HotkeyFlags::Control, 0x43);                       // not registered
        hotkeys.postHotkeyMessage(w, 33003);  // the latest id issued, though refused
        hotkeys.postHotkeyMessage(w, 33004);  // above the latest
        hotkeys.postHotkeyMessage(w, 33000);  // below the first
        hotkeys.postHotkeyMessage(unwatched, 33001);
        hotkeys.userPress(HotkeyFlags::Control, 0x42, 50);
        ui.user().close(w);
        ui.user().close(unwatched);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(reached, (std::vector<Reached>{{"label", kLabel2, 33001},
                                             {"window", -1, 33001},
                                             {"label", kLabel2, 33003},
                                             {"window", -1, 33003},
                                             {"window", -1, 33004},
                                             {"window", -1, 33000},
                                             {"window", -1, 33001},
                                             {"label", kLabel2, 33002},
                                             {"window", -1, 33002}}));
    EXPECT_EQ(hotkeys.deliveries().size(), 6u);
}

TEST_F(SimShellTest, ADestroyedWindowsHotkeysAreReleased)
{
    desktop.run([&](Platform& p) {
        const WindowId a = p.ui.openWindow(kWindow, {});
        EXPECT_EQ(p.hotkeys.registerHotkey(a, {a, kLabel}, 1, 0x41), 33001);
        p.ui.destroyWindow(a);
        const WindowId b = p.ui.openWindow(kOther, {});
        EXPECT_EQ(p.hotkeys.registerHotkey(b, {b, kLabel}, 1, 0x41), 33002);
        return 0;
    });
    ASSERT_EQ(hotkeys.registered().size(), 1u);
    EXPECT_EQ(hotkeys.registered()[0].id, 33002);
}

// --- tray -----------------------------------------------------------------------

TEST_F(SimShellTest, TrayIconAddModifyDelete_TipCutAt62BytesWithoutSplittingACharacter)
{
    const Bytes icon = IconFile(33, 32, 32, 40);
    const Bytes other = IconFile(16, 16, 32, 20);
    const std::string longTip(70, 'x');
    const std::string dbcsTip = std::string(61, 'y') + "\xB0\xA1" + "z";  // a character across byte 62
    WindowId w;
    desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow, {});
        EXPECT_FALSE(p.tray.setIcon(w, Bytes{1, 2, 3}, "bad")) << "no icon, none made";
        EXPECT_FALSE(tray.hasIcon(w));
        EXPECT_TRUE(p.tray.setIcon(w, icon, longTip));
        EXPECT_EQ(tray.icon(w).tipAnsi, std::string(62, 'x'));
        EXPECT_TRUE(p.tray.setIcon(w, other, dbcsTip));
        EXPECT_EQ(tray.icon(w).tipAnsi, std::string(61, 'y'));
        EXPECT_TRUE(p.tray.setIcon(w, Bytes{0, 0, 2, 0}, "ignored")) << "an icon is still there";
        EXPECT_EQ(tray.icon(w).iconFile, other);
        EXPECT_EQ(tray.icon(w).tipAnsi, std::string(61, 'y'));
        p.tray.removeIcon(w);
        p.tray.removeIcon(w);
        EXPECT_TRUE(p.tray.setIcon(w, icon, "TALMORE!"));
        return 0;
    });

    const TrayIconState state = tray.icon(w);
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.tipAnsi, "TALMORE!");
    EXPECT_EQ(state.iconFile, icon);
    EXPECT_EQ(state.adds, 2);
    EXPECT_EQ(state.modifies, 1);
    EXPECT_EQ(state.deletes, 1);
}

TEST_F(SimShellTest, TrayClicksReachTheOwnerAsTheShellReportsThem_OnlyWhileItHasAnIcon)
{
    std::vector<int> types;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind == EventKind::Tray)
                types.push_back(e.arg1);
        });
        const WindowId noIcon = p.ui.openWindow(kOther, [&](const Event& e) {
            if (e.kind == EventKind::Tray)
                ADD_FAILURE() << "a window without an icon got a tray event";
        });
        p.tray.setIcon(w, IconFile(33, 32, 32, 40), "tip");
        tray.userClick(w, TrayEventType::LeftButtonUp);
        tray.userDoubleClick(w, 10);
        tray.userRightClick(w, 10);
        tray.userRightClick(noIcon);
        ui.user().call([&] { p.tray.removeIcon(w); });
        tray.userClick(w, TrayEventType::LeftButtonUp);
        ui.user().close(w);
        ui.user().close(noIcon);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(types, (std::vector<int>{1, 1, 2, 1, 3}));
}

TEST_F(SimShellTest, TrayMenuRunsALoopUntilChosen_TheCommandArrivesAfterItCloses)
{
    std::vector<std::string> log;
    constexpr std::string_view kItems[] = {"显示", "退出"};
    WindowId w, other;
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        w = p.ui.openWindow(kWindow, [&](const Event& e) {
            if (e.kind == EventKind::Tray && e.arg1 == TrayEventType::RightButtonUp) {
                p.tray.popupMenu(w, kItems);
                log.push_back("menu closed");
            }
            if (e.kind == EventKind::Tray && e.arg1 == TrayEventType::LeftButtonUp)
                log.push_back("click during the menu");
            if (e.kind == EventKind::MenuCommand)
                log.push_back("command " + std::to_string(e.arg1));
        });
        other = p.ui.openWindow(kOther, {});
        p.tray.setIcon(w, IconFile(33, 32, 32, 40), "tip");
        tray.chooseMenuItem(0);  // no menu is open yet: missed
        tray.userRightClick(w);
        ui.user().call([&] {
            EXPECT_TRUE(tray.menuOpen());
            EXPECT_EQ(ui.activeWindow(), w) << "the owner comes to the foreground";
        });
        tray.userClick(w, TrayEventType::LeftButtonUp);
        tray.chooseMenuItem(2);  // no such item: missed, the menu stays open
        tray.chooseMenuItem(1, 20);
        tray.userRightClick(w);
        tray.dismissMenu();
        ui.user().close(other);
        ui.user().close(w);
        return p.ui.runMessageLoop();
    });

    EXPECT_EQ(outcome.end, RunEnd::Exited);
    EXPECT_EQ(log,
              (std::vector<std::string>{"click during the menu", "menu closed", "command 1", "menu closed"}));
    ASSERT_EQ(tray.menus().size(), 2u);
    EXPECT_EQ(tray.menus()[0].owner, w);
    EXPECT_EQ(tray.menus()[0].itemsUtf8, (std::vector<std::string>{"显示", "退出"}));
    EXPECT_EQ(tray.menus()[0].chosen, 1);
    EXPECT_EQ(tray.menus()[1].chosen, std::nullopt);
    EXPECT_EQ(tray.nullMessagesPosted(), 2);
    EXPECT_EQ(tray.missedActions(), 2);
}

TEST_F(SimShellTest, AShellRestartAddsTheIconsOfLiveOwnersAgain)
{
    WindowId live, gone, removed;
    desktop.run([&](Platform& p) {
        const Bytes icon = IconFile(33, 32, 32, 40);
        live = p.ui.openWindow(kWindow, {});
        gone = p.ui.openWindow(kOther, {});
        removed = p.ui.openWindow(kOther, {});
        for (WindowId w : {live, gone, removed})
            p.tray.setIcon(w, icon, "tip");
        p.tray.removeIcon(removed);
        p.ui.destroyWindow(gone);  // without removing its icon, which lingers
        EXPECT_TRUE(tray.hasIcon(gone));
        tray.simulateShellRestart();
        return 0;
    });

    EXPECT_EQ(tray.shellRestarts(), 1);
    EXPECT_TRUE(tray.hasIcon(live));
    EXPECT_EQ(tray.icon(live).adds, 2);
    EXPECT_EQ(tray.icon(live).tipAnsi, "tip");
    EXPECT_FALSE(tray.hasIcon(gone));
    EXPECT_FALSE(tray.hasIcon(removed));
    EXPECT_EQ(tray.icon(removed).adds, 1);
}

// --- folder picker ----------------------------------------------------------------

TEST_F(SimShellTest, FolderPickerDisablesEveryWindowWhileOpen_ThenRestoresThemAndTheActiveOne)
{
    struct Case {
        const char* name;
        std::function<void()> answer;
        Text expected;
    };
    const Text chinese = "D:\\\xCE\xC4\xBC\xFE";  // D:\文件 in code page 936
    const Case cases[] = {
        {"folder", [&] { picker.scriptChoice(chinese); }, chinese},
        {"drive root keeps its backslash", [&] { picker.scriptChoice("C:\\"); }, "C:\\"},
        {"cancel", [&] { picker.scriptCancel(); }, ""},
        {"no file-system path", [&] { picker.scriptChoiceWithoutPath(); }, ""},
        {"longer than the shell's buffer", [&] { picker.scriptChoice("C:\\" + std::string(257, 'a')); }, ""},
        {"just fits", [&] { picker.scriptChoice("C:\\" + std::string(256, 'a')); },
         "C:\\" + std::string(256, 'a')},
    };
    std::vector<Text> results;
    WindowId b;
    desktop.run([&](Platform& p) {
        const WindowId a = p.ui.openWindow(kWindow, {});
        b = p.ui.openWindow(kOther, {});
        ui.setWindowEnabled(a, false);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            p.ui.activate(b);
            ui.user().call([&] {
                EXPECT_TRUE(picker.isOpen());
                EXPECT_FALSE(ui.windowState(a).enabled);
                EXPECT_FALSE(ui.windowState(b).enabled);
                p.ui.activate(a);  // something else comes to the foreground meanwhile
            });
            c.answer();
            results.push_back(p.folderPicker.pickFolder("选择要复制到的目录"));
            EXPECT_FALSE(picker.isOpen());
            EXPECT_FALSE(ui.windowState(a).enabled) << "disabled before, disabled after";
            EXPECT_TRUE(ui.windowState(b).enabled);
            EXPECT_EQ(ui.activeWindow(), b);
        }
        picker.scriptCancel();  // no picker is open when it is performed
        ui.user().call([&] {
            p.ui.destroyWindow(a);
            p.ui.destroyWindow(b);
        });
        p.ui.runMessageLoop();
        return 0;
    });

    std::vector<Text> expected;
    for (const Case& c : cases)
        expected.push_back(c.expected);
    EXPECT_EQ(results, expected);
    ASSERT_EQ(picker.pickers().size(), std::size(cases));
    EXPECT_EQ(picker.pickers()[0].promptUtf8, "选择要复制到的目录");
    EXPECT_EQ(picker.pickers()[0].owner, b);
    EXPECT_EQ(picker.pickers()[0].result, chinese);
    EXPECT_EQ(picker.missedActions(), 1);
}

TEST_F(SimShellTest, FolderPickerEndsAsACancelWhenAQuitArrives_LeavingTheQuitQueued)
{
    Text result = "unset";
    const RunOutcome outcome = desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, {});
        ui.user().call([&] { ui.postQuit(4); });
        result = p.folderPicker.pickFolder("选择");
        EXPECT_TRUE(ui.windowState(w).enabled);
        return p.ui.runMessageLoop();
    });
    EXPECT_EQ(outcome.exitCode, 4);
    EXPECT_EQ(result, "");
}

// --- images -----------------------------------------------------------------------

TEST_F(SimShellTest, ImagesAreKeptOnlyWhenTheBytesMakeOne)
{
    const Bytes icon = IconFile(33, 32, 32, 40);
    Bytes badReserved = icon, cursor = icon, noImages = icon, cutData = icon;
    badReserved[0] = 1;
    cursor[2] = 2;
    noImages[4] = 0;
    cutData.pop_back();
    const Bytes shortDirectory = {0, 0, 1, 0, 2, 0};
    const Bytes png = Png(125, 27);
    Bytes badSignature = png, notIhdr = png;
    badSignature[1] = 'p';
    notIhdr[12] = 'X';
    struct IconCase {
        const char* name;
        Bytes bytes;
        bool accepted;
    };
    const IconCase iconCases[] = {
        {"valid", icon, true},
        {"reserved not 0", badReserved, false},
        {"a cursor", cursor, false},
        {"no image", noImages, false},
        {"data cut", cutData, false},
        {"directory cut", shortDirectory, false},
        {"two images", IconFile(16, 16, 8, 10, 2), true},
    };
    const IconCase pngCases[] = {
        {"valid", png, true},
        {"bad signature", badSignature, false},
        {"no IHDR first", notIhdr, false},
        {"zero width", Png(0, 27), false},
        {"cut short", Bytes(png.begin(), png.begin() + 20), false},
    };

    desktop.run([&](Platform& p) {
        const WindowId w = p.ui.openWindow(kWindow, {});
        const ControlId picture{w, kPicture};
        for (const IconCase& c : iconCases) {
            SCOPED_TRACE(c.name);
            const Bytes before = images.windowIcon(w);
            EXPECT_EQ(p.images.setWindowIcon(w, c.bytes), c.accepted);
            EXPECT_EQ(images.windowIcon(w), c.accepted ? c.bytes : before);
        }
        for (const IconCase& c : pngCases) {
            SCOPED_TRACE(c.name);
            const Bytes before = images.picture(picture);
            EXPECT_EQ(p.images.setPicture(picture, c.bytes), c.accepted);
            EXPECT_EQ(images.picture(picture), c.accepted ? c.bytes : before);
        }
        p.ui.destroyWindow(w);
        EXPECT_FALSE(p.images.setWindowIcon(w, icon)) << "the window is gone";
        return 0;
    });

    ASSERT_TRUE(ReadIconFile(icon));
    EXPECT_EQ(ReadIconFile(icon)->width, 33);
    EXPECT_EQ(ReadIconFile(icon)->height, 32);
    EXPECT_EQ(ReadIconFile(icon)->bitCount, 32);
    ASSERT_TRUE(ReadPngHeader(png));
    EXPECT_EQ(ReadPngHeader(png)->width, 125u);
    EXPECT_EQ(ReadPngHeader(png)->height, 27u);
}

}  // namespace
}  // namespace brenvik::sim
