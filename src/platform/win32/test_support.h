// Helpers for the Win32 layer's own tests, which run in-process under Wine and
// must not include <windows.h> themselves: starting the test program again as
// a child, acting on windows as a user would, and posting quit messages.
// Nothing of the program calls them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
class MessageBoxWatcher {
public:
    MessageBoxWatcher(std::wstring_view title, std::function<void(const std::string& utf8Text)> seen,
                      unsigned settleMs = 0);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace brenvik::win32::testing
