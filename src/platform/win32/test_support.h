// Helpers for the Win32 layer's own tests, which run in-process under Wine and
// must not include <windows.h> themselves: starting the test program again as
// a child, acting on windows as a user would, reading a window's native state,
// filling or holding the clipboard, and posting quit messages.
// Nothing of the program calls them.
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

// Starts the running executable again with `arguments` (UTF-8) as its command
// line after the program name, waits up to `timeoutMs` for it to end and
// returns its exit code; nothing when it could not be started or did not end
// in time (it is then terminated).
std::optional<std::uint32_t> RunSelfAsChild(std::string_view arguments, unsigned timeoutMs = 60000);

// Posts a key press (WM_KEYDOWN, then WM_KEYUP) of a virtual key to a control
// or, with index -1, to the window itself, as the system does for the focus.
bool PostKeyPress(const Win32Ui& ui, ControlId target, unsigned virtualKey);
inline constexpr unsigned kEscapeKey = 0x1B;  // VK_ESCAPE

// Clicks a button (BM_CLICK), as the mouse would, and returns when the click
// has been handled.
bool ClickButton(const Win32Ui& ui, ControlId button);

// Posts a double click of the left mouse button at a control's top-left corner.
bool PostDoubleClick(const Win32Ui& ui, ControlId control);

// A window's outer rectangle in screen pixels, and the primary screen's size.
struct ScreenRect {
    int left = 0, top = 0, width = 0, height = 0;
};
std::optional<ScreenRect> WindowRect(const Win32Ui& ui, WindowId window);
ScreenRect PrimaryScreen();

// Moves a window's top-left corner without activating it (SetWindowPos).
bool MoveWindowTo(const Win32Ui& ui, WindowId window, int left, int top);

// A window's enabled state (IsWindowEnabled, EnableWindow).
bool IsEnabled(const Win32Ui& ui, WindowId window);
void SetEnabled(const Win32Ui& ui, WindowId window, bool enabled);

// True when the window is the system's foreground window and this thread's active one.
bool IsForegroundAndActive(const Win32Ui& ui, WindowId window);

// What a multi-line edit box shows: the selection (the caret when both are
// equal), its number of lines, the first line it shows and how many lines fit
// in it, all in the box's own units (UTF-16 units, 0-based lines).
struct EditView {
    int selectionStart = 0, selectionEnd = 0;
    int lineCount = 0, firstVisibleLine = 0, visibleLines = 0;
    friend bool operator==(const EditView&, const EditView&) = default;
};
std::optional<EditView> ViewOfEdit(const Win32Ui& ui, ControlId edit);

// Fills the clipboard as the shell does when files are copied: a CF_HDROP
// block of `paths`, held as ANSI bytes or, with `wide`, as UTF-16 converted
// from the code page.
bool PutFilesOnClipboard(const std::vector<Text>& paths, bool wide = false);
// Fills the clipboard with text only (CF_TEXT), or with nothing.
bool PutTextOnClipboard(const Text& ansi);
bool EmptyTheClipboard();

// Keeps the clipboard open on a thread of its own, as another program might,
// from when it is made until it is destroyed.
class ClipboardHolder {
public:
    ClipboardHolder();
    ~ClipboardHolder();
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;
    // True when the thread did open it.
    bool holding() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Gives a file a new length without writing data (SetEndOfFile), so that a
// test can reach lengths beyond 4 GiB at once.
bool SetFileLength(const Text& path, std::int64_t length);

// Posts the quit message with `code` to this thread's queue (PostQuitMessage).
void PostQuit(int code);

// Takes a queued quit message from this thread's queue, if there is one, and
// returns its code.
std::optional<int> TakeQuit();

// Watches, on a thread of its own, for a message box with `title` shown by
// the thread that makes the watcher and, `settleMs` after it appeared, reports
// the box's text through `seen` (on the watcher's thread) and presses its OK
// button, as a user would. Stops watching when destroyed.
// What the watcher saw of a box before it pressed OK.
struct SeenBox {
    std::string text;  // UTF-8
    bool hasOwner = false;
    bool hasIcon = false;
    int buttons = 0;  // visible push buttons
};

class MessageBoxWatcher {
public:
    MessageBoxWatcher(std::wstring_view title, std::function<void(const std::string& utf8Text)> seen,
                      unsigned settleMs = 0);
    MessageBoxWatcher(std::wstring_view title, std::function<void(const SeenBox& box)> seen,
                      unsigned settleMs = 0);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace brenvik::win32::testing
