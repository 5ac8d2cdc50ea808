// Windows, controls, timers and the message loop, as the Parts use them. Both
// desktops implement this interface: win32/ui.cpp over the Windows API and
// sim/ui.cpp as an in-process simulation.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/layout.h"
#include "platform/text.h"

namespace brenvik {

// Opaque handle of a window. 0 is no window; a destroyed window's id is never
// reused within a run.
struct WindowId {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(WindowId, WindowId) = default;
};

// A control: its window and its 0-based position in the window's layout table.
struct ControlId {
    WindowId window;
    int index = -1;
    friend bool operator==(ControlId, ControlId) = default;
};

enum class EventKind {
    Created,      // the window and its controls exist; raised once, before it is first shown
    Destroyed,    // the window is being destroyed; its controls still exist
    Moved,        // the window moved (WM_MOVE), including the move of minimising or restoring
    Click,        // a button was clicked
    DoubleClick,  // a control was double-clicked
    Tick,         // a timer's period elapsed
    Feedback,     // a notification sent to a control; arg1 and arg2 carry its values
    Tray,         // the window's tray icon was clicked; arg1 is the TrayEventType
    MenuCommand,  // an item of the window's pop-up menu was chosen; arg1 is its 0-based index
};

struct Event {
    EventKind kind;
    WindowId window;
    int control = -1;  // index in the layout table, -1 for the window itself
    std::int32_t arg1 = 0;
    std::int32_t arg2 = 0;
};

using EventHandler = std::function<void(const Event&)>;

// A window's placement as the program writes and reads it.
enum class Placement {
    Normal = 0,   // shown normally (restored)
    Centred = 1,  // restored if needed, then centred on the primary screen; never read back
    Minimised = 2,
    Maximised = 3,
};

class Ui {
public:
    virtual ~Ui() = default;

    // --- windows ---------------------------------------------------------------

    // Creates a top-level window and its controls from `layout`, centred on the
    // primary screen, raises Created through `handler`, then shows and activates
    // it. `layout` must outlive the window. Returns 0 if the window cannot be made.
    virtual WindowId openWindow(const WindowSpec& layout, EventHandler handler) = 0;

    // Destroys the window at once: raises Destroyed, stops its timers, removes it.
    // When it was the program's last window and the message loop has started,
    // the quit message (code 0) is posted. Does nothing for a window that is gone.
    virtual void destroyWindow(WindowId window) = 0;

    // Queues a close request (WM_CLOSE); the window is destroyed when a message
    // loop next takes the request, after the current handler has returned.
    virtual void requestClose(WindowId window) = 0;

    // True while the window exists.
    virtual bool isAlive(WindowId window) const = 0;

    // Shows (SW_SHOW, in whatever state the window is in) or hides (SW_HIDE).
    virtual void setVisible(WindowId window, bool visible) = 0;
    virtual bool isVisible(WindowId window) const = 0;

    // Writes the placement. Only while the window is visible: a hidden window
    // merely remembers the value and nothing happens. Centred restores a
    // minimised or maximised window, then moves it to the centre of the primary
    // screen ((screen - size) / 2) only if it is not there already, without
    // activating it or changing its z-order. Minimising or restoring moves the
    // window, which raises Moved.
    virtual void setPlacement(WindowId window, Placement placement) = 0;
    // The window's real state: Minimised, Maximised, or Normal; never Centred.
    virtual Placement placement(WindowId window) const = 0;

    // Brings the window to the foreground and makes it the active window.
    virtual void activate(WindowId window) = 0;

    // Opens a window as openWindow does, modally and without owner: every other
    // top-level window of the program is disabled, a nested loop dispatches
    // everything until the window is destroyed, then the other windows get
    // their former enabled state back and the call returns. A quit message
    // that arrives meanwhile ends the nested loop and stays queued.
    virtual void runModal(const WindowSpec& layout, EventHandler handler) = 0;

    // --- controls --------------------------------------------------------------

    // A control's text as ANSI bytes (GetWindowTextA). Empty for a gone control.
    virtual Text text(ControlId control) const = 0;
    // Sets a data text given as ANSI bytes (SetWindowTextA).
    virtual void setText(ControlId control, const Text& ansi) = 0;
    // Sets a text given as UTF-8, shown legibly whatever the code page (SetWindowTextW).
    virtual void setTextUtf8(ControlId control, std::string_view utf8) = 0;

    // Puts the caret at the end of an edit box's text, scrolls it into view and
    // inserts `ansi` there (EM_SETSEL, EM_SCROLLCARET, EM_REPLACESEL): the box
    // then shows its last line.
    virtual void appendText(ControlId edit, const Text& ansi) = 0;

    // A progress bar's position, clamped to 0..100 (PBM_SETPOS).
    virtual void setProgress(ControlId bar, int position) = 0;
    virtual int progress(ControlId bar) const = 0;

    // A timer control's period in milliseconds, 0 when stopped. Writing a period
    // that differs from the current one stops the timer and, when positive,
    // starts it again from now; writing the current period changes nothing.
    virtual void setTimerPeriod(ControlId timer, int periodMs) = 0;
    virtual int timerPeriod(ControlId timer) const = 0;

    // --- message loop ----------------------------------------------------------

    // Runs the program's message loop: marks it started; if no window of the
    // program exists, returns 0 at once; otherwise takes and dispatches messages
    // until the quit message arrives and returns its code.
    virtual int runMessageLoop() = 0;

    // Dispatches every pending message, due timer ticks included, and returns as
    // soon as the queue is empty. Never waits. A queued quit message stays queued.
    virtual void processPending() = 0;
};

}  // namespace brenvik
