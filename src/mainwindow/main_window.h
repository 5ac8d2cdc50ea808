// MainWindow: the start-up window with the five destination slots, the tray
// icon and its menu, and the rules by which the window hides in the tray and
// comes back.
#pragma once

#include "app/shared_state.h"
#include "platform/platform.h"

namespace brenvik {

// The fixed properties and controls of MainWindow.
extern const WindowSpec MainWindowLayout;

// Positions of MainWindow's controls in its layout table.
namespace MainControl {
inline constexpr int SlotLabel1 = 0;       // 标签1 .. 标签5
inline constexpr int FolderBox1 = 5;       // 编辑框_lj1 .. 编辑框_lj5
inline constexpr int LetterBox1 = 10;      // 编辑框_kj1 .. 编辑框_kj5
inline constexpr int StartButton = 15;     // 按钮1 "开启监控"
inline constexpr int ExitButton = 16;      // 按钮2 "退出程序"
inline constexpr int Logo = 17;            // 图片框1
inline constexpr int Hint = 18;            // 透明标签1
inline constexpr int HotkeyReceiver = 19;  // 标签_rj1
}  // namespace MainControl

inline constexpr int kSlotCount = 5;

// The folder box and the letter box of a slot, 1 to 5.
inline ControlId FolderBox(WindowId window, int slot)
{
    return {window, MainControl::FolderBox1 + slot - 1};
}
inline ControlId LetterBox(WindowId window, int slot)
{
    return {window, MainControl::LetterBox1 + slot - 1};
}

// The tray menu's items, in their order.
namespace TrayMenuItem {
inline constexpr int Show = 0;  // "显示"
inline constexpr int Exit = 1;  // "退出"
}  // namespace TrayMenuItem

class MainWindow {
public:
    MainWindow(Platform& platform, SharedState& state);

    // Creates the window from its layout, centred; its created handler runs
    // InitMainWindow before it is first shown. False when it cannot be made.
    bool open();

    WindowId id() const { return window_; }

private:
    void onEvent(const Event& event);

    // The handlers bound to MainWindow's events.
    void InitMainWindow();
    void HandleTrayEvent(int type);
    void ShowMainWindow();
    void HideIfMinimised();
    void CloseMainWindow();
    [[noreturn]] void ExitFromTray();
    void PickSlotFolder(int slot);

    Platform& platform_;
    SharedState& state_;
    WindowId window_;
};

}  // namespace brenvik
