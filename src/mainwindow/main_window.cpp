// MainWindow's layout, its tray icon and menu, and the show/hide rules.
#include "mainwindow/main_window.h"

#include <array>
#include <cstdlib>
#include <span>
#include <string_view>

#include "mainwindow/hotkey_slots.h"
#include "mainwindow/images.h"
#include "mainwindow/settings.h"

namespace brenvik {

namespace {

constexpr unsigned kFolderBoxStyle = ControlStyle::ReadOnly | ControlStyle::WhiteBackground;
constexpr unsigned kLetterBoxStyle = ControlStyle::RedText | ControlStyle::WhiteBackground;
constexpr unsigned kNoStyle = ControlStyle::None;
constexpr unsigned kDoubleClick = ControlEvents::DoubleClick;
constexpr unsigned kClick = ControlEvents::Click;
constexpr unsigned kNoEvents = ControlEvents::None;

// The letter boxes' tops do not follow the folder boxes' regular step.
constexpr std::array<ControlSpec, 20> kMainControls{{
    {"标签1", ControlKind::Label, 8, 16, 40, 24, "路径1"},
    {"标签2", ControlKind::Label, 8, 40, 40, 24, "路径2"},
    {"标签3", ControlKind::Label, 8, 64, 40, 24, "路径3"},
    {"标签4", ControlKind::Label, 8, 88, 40, 24, "路径4"},
    {"标签5", ControlKind::Label, 8, 112, 40, 24, "路径5"},
    {"编辑框_lj1", ControlKind::Edit, 56, 16, 344, 24, "", kFolderBoxStyle, kDoubleClick},
    {"编辑框_lj2", ControlKind::Edit, 56, 40, 344, 24, "", kFolderBoxStyle, kDoubleClick},
    {"编辑框_lj3", ControlKind::Edit, 56, 64, 344, 24, "", kFolderBoxStyle, kDoubleClick},
    {"编辑框_lj4", ControlKind::Edit, 56, 88, 344, 24, "", kFolderBoxStyle, kDoubleClick},
    {"编辑框_lj5", ControlKind::Edit, 56, 112, 344, 24, "", kFolderBoxStyle, kDoubleClick},
    {"编辑框_kj1", ControlKind::Edit, 409, 17, 30, 24, "", kLetterBoxStyle, kNoEvents, 1},
    {"编辑框_kj2", ControlKind::Edit, 409, 45, 30, 24, "", kLetterBoxStyle, kNoEvents, 1},
    {"编辑框_kj3", ControlKind::Edit, 409, 67, 30, 24, "", kLetterBoxStyle, kNoEvents, 1},
    {"编辑框_kj4", ControlKind::Edit, 409, 89, 30, 24, "", kLetterBoxStyle, kNoEvents, 1},
    {"编辑框_kj5", ControlKind::Edit, 409, 112, 30, 24, "", kLetterBoxStyle, kNoEvents, 1},
    {"按钮1", ControlKind::Button, 448, 16, 112, 24, "开启监控", kNoStyle, kClick},
    {"按钮2", ControlKind::Button, 448, 40, 112, 24, "退出程序", kNoStyle, kClick},
    {"图片框1", ControlKind::Picture, 448, 72, 112, 32, ""},
    {"透明标签1", ControlKind::TransparentLabel, 456, 104, 96, 24, "快捷键crrl+字母"},
    {"标签_rj1", ControlKind::Label, 488, -8, 80, 24, "", kNoStyle, ControlEvents::Feedback},
}};

constexpr std::array<std::string_view, 2> kTrayMenuItems{"显示", "退出"};

// The tray icon's tip, as ANSI bytes (plain ASCII).
constexpr std::string_view kTrayTip = "TALMORE!";

constexpr std::string_view kPickerPrompt = "选择要复制到的目录";

}  // namespace

// A caption with system menu, close and minimise boxes, a fixed border and a
// taskbar button; Esc closes it.
const WindowSpec MainWindowLayout{
    .title = "Brenvik1.0",
    .outerWidth = 570,
    .outerHeight = 170,
    .frame = WindowFrame::Caption | WindowFrame::MinimiseBox | WindowFrame::TaskbarButton,
    .escapeCloses = true,
    .controls = kMainControls,
};

MainWindow::MainWindow(Platform& platform, SharedState& state) : platform_(platform), state_(state) {}

bool MainWindow::open()
{
    window_ = platform_.ui.openWindow(MainWindowLayout, [this](const Event& event) { onEvent(event); });
    return static_cast<bool>(window_);
}

void MainWindow::onEvent(const Event& event)
{
    switch (event.kind) {
        case EventKind::Created:
            window_ = event.window;
            InitMainWindow();
            break;
        case EventKind::Destroyed:
            // The window has no handler that could refuse a close: the close box,
            // Alt+F4, Esc and "退出程序" all end here, and the program with it.
            platform_.tray.removeIcon(window_);
            break;
        case EventKind::Moved:
            HideIfMinimised();
            break;
        case EventKind::Tray:
            HandleTrayEvent(event.arg1);
            break;
        case EventKind::MenuCommand:
            if (event.arg1 == TrayMenuItem::Show)
                ShowMainWindow();
            else if (event.arg1 == TrayMenuItem::Exit)
                ExitFromTray();
            break;
        case EventKind::Click:
            if (event.control == MainControl::StartButton)
                StartMonitoring(platform_, state_, window_);
            else if (event.control == MainControl::ExitButton)
                CloseMainWindow();
            break;
        case EventKind::DoubleClick:
            if (event.control >= MainControl::FolderBox1 &&
                event.control < MainControl::FolderBox1 + kSlotCount)
                PickSlotFolder(event.control - MainControl::FolderBox1 + 1);
            break;
        case EventKind::Feedback:
            if (event.control == MainControl::HotkeyReceiver)
                DispatchHotkey(platform_, state_, window_, event.arg1, event.arg2);
            break;
        case EventKind::Tick:
            break;
    }
}

void MainWindow::InitMainWindow()
{
    const std::span<const unsigned char> icon(kIconImage, kIconImageSize);
    platform_.images.setWindowIcon(window_, icon);
    platform_.images.setPicture({window_, MainControl::Logo},
                                std::span<const unsigned char>(kLogoImage, kLogoImageSize));
    platform_.tray.setIcon(window_, icon, kTrayTip);
    RunSettingsStep(platform_, state_, window_);
}

void MainWindow::HandleTrayEvent(int type)
{
    if (type == TrayEventType::RightButtonUp)
        platform_.tray.popupMenu(window_, kTrayMenuItems);
    if (type != TrayEventType::LeftButtonUp)
        return;
    if (platform_.ui.isVisible(window_)) {
        platform_.ui.setVisible(window_, false);  // hidden as it is, not minimised
        return;
    }
    ShowMainWindow();
}

void MainWindow::ShowMainWindow()
{
    platform_.ui.setVisible(window_, true);
    platform_.ui.setPlacement(window_, Placement::Centred);
}

void MainWindow::HideIfMinimised()
{
    // Whatever minimised the window, it goes to the tray, leaving no taskbar button.
    if (platform_.ui.placement(window_) == Placement::Minimised)
        platform_.ui.setVisible(window_, false);
}

void MainWindow::CloseMainWindow()
{
    // Destroyed once this click handler has returned, when the loop takes the request.
    platform_.ui.requestClose(window_);
}

void MainWindow::ExitFromTray()
{
    // The program ends at once, without destroying the window; the icon is
    // removed first so that no dead icon stays in the notification area.
    platform_.tray.removeIcon(window_);
    platform_.process.exitNow(0);
    std::abort();  // exitNow never returns; the compiler cannot know that of a virtual call
}

void MainWindow::PickSlotFolder(int slot)
{
    // A cancelled or failed choice empties the box; nothing is saved here.
    platform_.ui.setText(FolderBox(window_, slot), platform_.folderPicker.pickFolder(kPickerPrompt));
}

}  // namespace brenvik
