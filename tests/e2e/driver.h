// Drives a running program from outside its process, as a person at the desktop
// would: finds its windows by title and its controls by class and position,
// clicks and types with real input (SendInput), puts files on the clipboard and
// reads back what the windows show.
//
// This file belongs to a separate test program that starts brenvik.exe and is
// never linked into it, so unlike the program's own code outside the Win32
// layer it includes <windows.h>.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik::e2e {

using std::chrono::milliseconds;

// How long any one step may take before the test gives up on the program.
inline constexpr milliseconds kStepTimeout{20000};

// A step that did not happen: the message says what was awaited and what the
// program showed instead. GoogleTest reports it as the test's failure.
class DriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The ANSI (system code page) bytes of a wide text, and back.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);
// UTF-8 for messages.
std::string ToUtf8(std::wstring_view text);

// A kernel handle, closed when the object goes.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept;
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle();
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// One run of a program, started in a folder. A run still going when the object
// goes (a failed test) is ended by force, so no program outlives its test.
class RunningProgram {
public:
    // Starts `exe` with `folder` as its current directory; throws when it cannot.
    RunningProgram(const std::wstring& exe, const std::wstring& folder);
    RunningProgram(RunningProgram&&) = default;
    RunningProgram& operator=(RunningProgram&&) = default;
    ~RunningProgram();

    DWORD processId() const { return processId_; }
    // True while the process has not ended.
    bool running() const;
    // Waits for the end of the process and returns its exit code (as a signed
    // value, so -1 reads as -1); throws when it is still running after `timeout`.
    int waitForExit(milliseconds timeout = kStepTimeout);

    // Throws when the program has ended or shows its fatal-error box, saying
    // what was being waited for; the box's text is part of the message.
    void checkAlive(std::string_view waitingFor) const;

    // The program's visible top-level window with this title and, when given,
    // window class; waits for it and throws after `timeout`.
    HWND waitForWindow(std::wstring_view title, std::wstring_view windowClass = {},
                       milliseconds timeout = kStepTimeout) const;
    // The program's visible dialog (#32770) that holds a static text `text`.
    HWND waitForDialogWithText(std::wstring_view text, milliseconds timeout = kStepTimeout) const;
    // The program's visible pop-up menu window (#32768).
    HWND waitForMenu(milliseconds timeout = kStepTimeout) const;
    // The program's visible top-level windows.
    std::vector<HWND> topWindows() const;

private:
    UniqueHandle process_;
    DWORD processId_ = 0;
};

// Polls `condition` every few milliseconds until it holds; throws a
// DriverError naming `what` after `timeout`. `alive`, when given, is checked on
// every round so that a program that dies fails at once with its own message.
void WaitUntil(const std::function<bool()>& condition, std::string_view what,
               milliseconds timeout = kStepTimeout, const RunningProgram* alive = nullptr);

// Window texts, read through the window's own message (across processes).
std::wstring WindowText(HWND window);
// A top-level window's caption, as the system keeps it (no message is sent).
std::wstring Title(HWND window);
// The same text as the window's process holds it in the ANSI code page.
std::string WindowTextAnsi(HWND window);
std::wstring ClassName(HWND window);

// What the screen shows within `control`'s rectangle: how many different
// colours, and the commonest of them (0xRRGGBB), which is the background.
struct ScreenSample {
    int colours = 0;
    unsigned commonest = 0;
};
ScreenSample SampleScreen(HWND control);

// The child of `parent` with this class whose top-left corner lies at the
// given client position; throws when there is none.
HWND ChildAt(HWND parent, std::wstring_view windowClass, int left, int top);
// The child of `parent` with this class and text; throws when there is none.
HWND ChildWithText(HWND parent, std::wstring_view windowClass, std::wstring_view text);
// All children of `parent`, in Z order, the nested ones included.
std::vector<HWND> Children(HWND parent);

// Input, as a person gives it. Each brings `window`'s top-level window to the
// foreground first, so the input reaches it.
void BringToForeground(HWND window);
void Click(HWND control);
void DoubleClick(HWND control);
// A click at a point of `window`'s client area.
void ClickAt(HWND window, int clientX, int clientY);
// A click on the close box of `window`'s title bar (found by asking the
// window what lies under the mouse); throws when the window has none.
void ClickCloseBox(HWND window);
// Types the characters through the keyboard (virtual keys for letters and
// digits, Unicode input for anything else) into the window that has the focus.
void TypeText(std::wstring_view text);
void PressKey(WORD virtualKey);
// Holds `modifier` while pressing `key`, such as Ctrl+J.
void PressChord(WORD modifier, WORD key);

// In a shown folder picker (SHBrowseForFolder's dialog), chooses `folder` and
// presses OK: typed into the dialog's edit field when it has one, otherwise
// reached through the folder tree with the keyboard.
void ChooseFolder(HWND picker, const std::wstring& folder);

// In a shown pop-up menu, chooses the item at `position` (0 for the first)
// with the keyboard.
void ChooseMenuItem(HWND menu, int position);

// Files on the clipboard as the shell's file list (CF_HDROP) with ANSI paths,
// as a copy in the shell leaves them. The clipboard's owner window lives as
// long as the object, so the data stays valid for the whole test.
class ClipboardFiles {
public:
    explicit ClipboardFiles(const std::vector<std::string>& ansiPaths);
    ClipboardFiles(const ClipboardFiles&) = delete;
    ClipboardFiles& operator=(const ClipboardFiles&) = delete;
    ~ClipboardFiles();

private:
    HWND owner_ = nullptr;
};

// Files as bytes.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool FileExists(const std::wstring& path);

// The full form of a path: "Z:/tmp" becomes "Z:\\tmp".
std::wstring FullPath(const std::wstring& path);

// A fresh folder of its own under `root`, removed with its content at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& root);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

}  // namespace brenvik::e2e
