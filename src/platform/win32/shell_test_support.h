// Helpers for the tests of the Win32 layer's shell services (tray, hotkeys,
// folder picker, images), which run in-process under Wine and must not
// include <windows.h> themselves: posting window messages, asking the system
// about hotkeys, tray icons, window icons and pictures, watching a window's
// messages, and driving the pop-up menu and the folder picker from a thread
// of their own as a user would. Nothing of the program calls them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/desktop.h"

namespace brenvik::win32::testing {

// Window messages, and the mouse messages the shell passes in a tray icon's
// callback, by their system values.
inline constexpr unsigned kHotkeyMessage = 0x0312;        // WM_HOTKEY
inline constexpr unsigned kCommandMessage = 0x0111;       // WM_COMMAND
inline constexpr unsigned kTrayCallbackMessage = 0x8064;  // the layer's tray callback
inline constexpr std::intptr_t kMouseMove = 0x0200;
inline constexpr std::intptr_t kLeftButtonDown = 0x0201;
inline constexpr std::intptr_t kLeftButtonUp = 0x0202;
inline constexpr std::intptr_t kLeftDoubleClick = 0x0203;
inline constexpr std::intptr_t kRightButtonDown = 0x0204;
inline constexpr std::intptr_t kRightButtonUp = 0x0205;
inline constexpr std::intptr_t kContextMenu = 0x007B;

// The system's hotkey modifier flags.
inline constexpr unsigned kModAlt = 0x1;
inline constexpr unsigned kModControl = 0x2;
inline constexpr unsigned kModShift = 0x4;
inline constexpr unsigned kModWin = 0x8;

// Posts a message to a control or, with index -1, to the window itself.
bool PostToWindow(const Win32Ui& ui, ControlId target, unsigned message, std::uintptr_t wParam,
                  std::intptr_t lParam);

// The shell's taskbar-created broadcast message.
unsigned TaskbarCreatedMessage();

// Dispatches every message queued for this thread and returns when none is
// left; a quit message is put back.
void DispatchPending();

// True when the system would register this combination for the window now:
// the helper registers it under an id of its own and releases it again.
bool IsHotkeyFree(const Win32Ui& ui, WindowId window, unsigned flags, unsigned virtualKey);

// Whether the shell holds the window's tray icon (id 100), asked by changing
// none of its fields; and the icon deleted behind the tray service's back, as
// a restarting shell loses it. The second returns whether there was one.
bool TrayIconExists(const Win32Ui& ui, WindowId window);
bool DeleteTrayIcon(const Win32Ui& ui, WindowId window);

// The size in pixels of a window's own icon (WM_GETICON), big or small;
// nothing when the window has none of its own.
struct ImageSize {
    int width = 0, height = 0;
    friend bool operator==(const ImageSize&, const ImageSize&) = default;
};
std::optional<ImageSize> WindowIconSize(const Win32Ui& ui, WindowId window, bool big);

// The bitmap a picture control shows (STM_GETIMAGE), with its pixels as
// 0xRRGGBB, rows top first; nothing when it shows none.
struct PictureBits {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
std::optional<PictureBits> PictureOf(const Win32Ui& ui, ControlId picture);

// The windows' background colour (the button face), as 0xRRGGBB.
std::uint32_t WindowBackground();

// Types text into a control as the keyboard would, one WM_CHAR per UTF-16
// unit, and returns when the control has taken it.
bool TypeCharacters(const Win32Ui& ui, ControlId control, std::string_view utf8);

// Calls `seen` with a message's wParam and lParam whenever the window or
// control receives it, through a subclass installed when the spy is made;
// a subclass installed later sees the message first. Removed when destroyed.
class MessageSpy {
public:
    MessageSpy(const Win32Ui& ui, ControlId target, unsigned message,
               std::function<void(std::uintptr_t wParam, std::intptr_t lParam)> seen);
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Waits, on a thread of its own, for a pop-up menu of the thread that makes
// the driver, reads its items' texts and then chooses the item at `choice`
// with the arrow keys and Enter, or closes it with Esc when `choice` is
// negative. Stops waiting when destroyed.
class MenuDriver {
public:
    explicit MenuDriver(int choice);
    ~MenuDriver();
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;
    // The texts of the menu it found (UTF-8); empty before it found one.
    std::vector<std::string> items() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// What a folder-picker driver saw while the picker was open.
struct SeenPicker {
    bool found = false;
    bool owned = false;                // the dialog had an owner window
    void* owner = nullptr;             // that owner's native window
    std::vector<bool> windowsEnabled;  // the watched windows' enabled states
    std::vector<std::string> texts;    // the dialog's static texts (UTF-8)
    bool hasEditField = false;         // Wine 8's picker has none
};

// Waits, on a thread of its own, for the folder picker of the thread that
// makes the driver; notes the enabled state of `watched` windows and what the
// dialog shows; then selects the folder `typedPathUtf8` in the tree, types
// its path into the edit field if the dialog has one, and presses OK; or
// presses Cancel when nothing is given. Stops waiting when destroyed.
class FolderPickerDriver {
public:
    FolderPickerDriver(const Win32Ui& ui, std::vector<WindowId> watched,
                       std::optional<std::string> typedPathUtf8);
    ~FolderPickerDriver();
    FolderPickerDriver(const FolderPickerDriver&) = delete;
    FolderPickerDriver& operator=(const FolderPickerDriver&) = delete;
    SeenPicker seen() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace brenvik::win32::testing
