// Windows, controls, timers and the message loop of the simulated desktop, and
// the scripted user who clicks, types and closes in them. Windows are kept as
// an in-memory tree built from their layout tables; everything is observable.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/sim/clock.h"
#include "platform/ui.h"

namespace brenvik::sim {

class SimUi;
class SimClipboard;
class SimMessageBoxes;

// One thing the scripted user does.
struct UserAction {
    enum class Kind {
        Click,
        DoubleClick,
        Type,
        Close,
        Escape,
        Call,
        Minimise,           // the window's minimise box
        DismissMessageBox,  // OK in the message box that is up
        CopyFiles,          // files copied in the shell: the clipboard holds their list
        CopyText,           // text copied in another program: the clipboard holds only text
        Drag,               // the window dragged by its title bar to `left`, `top`
    };
    Kind kind = Kind::Call;
    ControlId control;           // Click, DoubleClick, Type
    WindowId window;             // Close, Escape, Minimise, Drag
    int left = 0, top = 0;       // Drag: the new outer position
    Text text;                   // Type: ANSI bytes
    std::vector<Text> files;     // CopyFiles: full ANSI paths, in the list's order
    std::function<void()> call;  // Call: a check or an action of the test

    static UserAction click(ControlId control);
    static UserAction doubleClick(ControlId control);
    static UserAction type(ControlId control, Text ansi);
    static UserAction close(WindowId window);
    static UserAction escape(WindowId window);
    static UserAction invoke(std::function<void()> call);
    static UserAction minimise(WindowId window);
    static UserAction dismissMessageBox();
    static UserAction copyFiles(std::vector<Text> ansiPaths);
    static UserAction copyText();
    static UserAction drag(WindowId window, int left, int top);
};

// An action the desktop refused, with the reason, for tests to inspect.
struct DroppedAction {
    UserAction::Kind kind;
    std::string reason;
    std::int64_t atMs;
};

// The scripted user. Queued actions are performed one at a time, in order,
// whenever a blocking message loop (the program's loop or a nested one) has
// nothing to dispatch; an action with a delay waits that long after the
// previous action was performed (or after it was queued, if later), and the
// loop moves the clock there, running any timer that falls due first.
// Performing an action posts what the real input would cause (a click, a
// close request); the program's handler runs when a loop dispatches it.
class SimUser {
public:
    explicit SimUser(SimUi& ui) : ui_(ui) {}

    void queue(UserAction action, int delayMs = 0);
    void click(ControlId control, int delayMs = 0);
    void doubleClick(ControlId control, int delayMs = 0);
    // Selects the box's whole text and types `ansi` over it. Refused for a
    // read-only box; stops at the box's character limit.
    void type(ControlId control, Text ansi, int delayMs = 0);
    // Clicks the window's close box.
    void close(WindowId window, int delayMs = 0);
    // Presses Esc in the window; it closes the window if its table says so.
    void pressEscape(WindowId window, int delayMs = 0);
    // Runs `call` at that point of the script.
    void call(std::function<void()> call, int delayMs = 0);
    // Clicks the window's minimise box. Refused for a window without one.
    void minimise(WindowId window, int delayMs = 0);
    // Presses OK in the message box that is up (the latest one, if boxes nest).
    // Refused when no box is up.
    void dismissMessageBox(int delayMs = 0);
    // Copies these files in the shell: from then on the clipboard holds their
    // list. Refused while the program holds the clipboard open.
    void copyFiles(std::vector<Text> ansiPaths, int delayMs = 0);
    // Copies some text in another program: the clipboard then holds no file list.
    void copyText(int delayMs = 0);
    // Drags the window by its title bar so that its outer rectangle starts at
    // `left`, `top`. Refused for a window without a caption or a maximised one.
    void drag(WindowId window, int left, int top, int delayMs = 0);

    // The desktop connects the services the user's actions reach besides the windows.
    void attach(SimClipboard& clipboard, SimMessageBoxes& messageBoxes);

    // Armed actions run at the moment of their trigger, once: when a window
    // with this title is shown (made visible), or at the start of the n-th
    // pending-message pass (counted from 1). They may perform() or queue more.
    void whenShown(std::string titleUtf8, std::function<void(WindowId)> action);
    void onPendingPass(int pass, std::function<void()> action);

    // Performs `action` at once. False when the desktop refused it.
    bool perform(const UserAction& action);

    bool hasQueued() const { return !queued_.empty(); }
    const std::vector<DroppedAction>& dropped() const { return dropped_; }

private:
    friend class SimUi;
    struct Queued {
        UserAction action;
        std::int64_t delayUs;
        std::int64_t queuedAtUs;
    };
    std::optional<std::int64_t> nextDueUs() const;
    void performNext();
    void windowShown(WindowId window, const std::string& titleUtf8);
    void pendingPass(int pass);
    bool drop(UserAction::Kind kind, std::string reason);

    SimUi& ui_;
    SimClipboard* clipboard_ = nullptr;
    SimMessageBoxes* messageBoxes_ = nullptr;
    std::deque<Queued> queued_;
    std::int64_t lastPerformedUs_ = 0;
    std::vector<std::pair<std::string, std::function<void(WindowId)>>> onShown_;
    std::multimap<int, std::function<void()>> onPass_;
    std::vector<DroppedAction> dropped_;
};

// What a test can see of a window.
struct WindowState {
    bool alive = false;
    bool visible = false;
    bool enabled = false;
    bool minimised = false;
    int left = 0, top = 0, width = 0, height = 0;  // restored outer rectangle, screen pixels
    std::string titleUtf8;
    bool maximised = false;
    bool active = false;  // the active (foreground) window
};

// What a test can see of an edit box beyond its text. Offsets count bytes of
// the text as the box holds it. The box shows (height - 4) / 16 lines, at
// least one; lines end at CR LF and are not wrapped.
struct EditState {
    std::size_t caret = 0;
    bool caretAtEnd = false;
    int lineCount = 0;         // CR LF pairs + 1: a text ending in CR LF ends with an empty line
    int firstVisibleLine = 0;  // 0-based
    int visibleLines = 0;
    bool showsLastLine = false;
    int appends = 0;  // appendText calls since the box was made
};

class SimUi final : public Ui {
public:
    SimUi(SimClock& clock, const CodePage& codePage, Process& process, int screenWidth, int screenHeight);
    ~SimUi() override;
    SimUi(const SimUi&) = delete;
    SimUi& operator=(const SimUi&) = delete;

    // --- Ui --------------------------------------------------------------------
    WindowId openWindow(const WindowSpec& spec, EventHandler handler) override;
    void destroyWindow(WindowId window) override;
    void requestClose(WindowId window) override;
    bool isAlive(WindowId window) const override;
    void setVisible(WindowId window, bool visible) override;
    bool isVisible(WindowId window) const override;
    Text text(ControlId control) const override;
    void setText(ControlId control, const Text& ansi) override;
    void setTextUtf8(ControlId control, std::string_view utf8) override;
    void setTimerPeriod(ControlId timer, int periodMs) override;
    int timerPeriod(ControlId timer) const override;
    int runMessageLoop() override;
    void processPending() override;
    void setPlacement(WindowId window, Placement placement) override;
    Placement placement(WindowId window) const override;
    void activate(WindowId window) override;
    void runModal(const WindowSpec& spec, EventHandler handler) override;
    void appendText(ControlId edit, const Text& ansi) override;
    void setProgress(ControlId bar, int position) override;
    int progress(ControlId bar) const override;

    // --- for the other simulated services --------------------------------------

    // A nested message loop (as a modal window or a menu runs one): dispatches
    // messages, timer ticks and scripted actions until `done` returns true
    // (checked before every step) or a quit message is queued, which it leaves
    // queued. Returns true when `done` ended it.
    bool runLoopUntil(const std::function<bool()>& done);
    // Queues an event for a window (PostMessage), or dispatches it at once (SendMessage).
    void postEvent(const Event& event);
    void sendEvent(const Event& event);
    // PostQuitMessage: the next loop to look ends with `code`.
    void postQuit(int code);
    // EnableWindow: a disabled window takes no user input.
    void setWindowEnabled(WindowId window, bool enabled);
    std::int64_t nowMs() const { return clock_.nowMs(); }
    // Called with the pass number at the start of every pending-message pass.
    void setPendingPassHook(std::function<void(int pass)> hook) { passHook_ = std::move(hook); }

    SimUser& user() { return user_; }

    // --- observation -----------------------------------------------------------

    // The first live window (in creation order) with this title; 0 if none.
    WindowId findWindow(std::string_view titleUtf8) const;
    // The control of this name in the window's table; index -1 if none.
    ControlId control(WindowId window, std::string_view nameUtf8) const;
    WindowState windowState(WindowId window) const;
    std::vector<WindowId> windows() const;  // live windows, in creation order
    // A control's text as the user sees it, in UTF-8 (an ANSI text converted).
    std::string displayText(ControlId control) const;
    // True when the control's text was last set as UTF-8 (or is its initial text).
    bool textIsUtf8(ControlId control) const;
    bool controlEnabled(ControlId control) const;
    EditState editState(ControlId edit) const;
    // The active (foreground) window; 0 when none is.
    WindowId activeWindow() const { return active_; }
    // Every window the program passed to activate(), in order.
    const std::vector<WindowId>& activateCalls() const { return activateCalls_; }
    int pendingPassCount() const { return passCount_; }
    bool loopStarted() const { return loopStarted_; }
    std::optional<int> queuedQuit() const { return quit_; }
    std::size_t queuedMessages() const { return queue_.size(); }

private:
    friend class SimUser;

    struct Control {
        const ControlSpec* spec;
        std::string text;  // UTF-8 or ANSI bytes, as textIsUtf8 says
        bool textIsUtf8 = true;
        bool enabled = true;
        int periodMs = 0;
        int position = 0;           // progress bars
        std::size_t caret = 0;      // edit boxes: byte offset in `text`
        std::size_t firstLine = 0;  // edit boxes: first line shown
        int appends = 0;
        std::uint64_t timerGeneration = 0;  // changes whenever the timer stops or restarts
        std::uint64_t timerStart = 0;       // start order, breaks ties between due times
    };
    struct Window {
        WindowId id;
        const WindowSpec* spec;
        std::shared_ptr<const EventHandler> handler;
        std::string titleUtf8;
        bool visible = false;
        bool enabled = true;
        bool minimised = false;
        bool maximised = false;
        bool destroying = false;
        int left = 0, top = 0;            // the restored position
        std::uint64_t lastActivated = 0;  // activation order, for choosing the next active window
        std::vector<std::pair<WindowId, bool>> disabledOthers;  // a modal window's, with former states
        std::vector<Control> controls;
    };
    struct Message {
        enum class Kind { Event, Close, Minimise };
        Kind kind = Kind::Event;  // a close request, a minimise command, or `event` to dispatch
        Event event;
    };
    struct TimerEntry {
        std::int64_t dueUs;
        std::uint64_t start;
        WindowId window;
        int index;
        std::uint64_t generation;
    };
    struct LaterTimer {
        bool operator()(const TimerEntry& a, const TimerEntry& b) const
        {
            return a.dueUs != b.dueUs ? a.dueUs > b.dueUs : a.start > b.start;
        }
    };

    Window* windowAt(WindowId id);
    const Window* windowAt(WindowId id) const;
    Control* controlAt(ControlId id);
    const Control* controlAt(ControlId id) const;
    WindowId createWindow(const WindowSpec& spec, EventHandler handler);
    void restoreOthers(Window& modal);
    void makeActive(Window& w);
    void activateNext(WindowId leaving);
    void changeState(WindowId id, bool minimised, bool maximised);
    void scrollCaretIntoView(Control& c) const;
    void dispatch(const Event& event);
    bool dispatchOneMessage();
    const TimerEntry* nextTimer();
    bool fireDueTimer();
    void idle();

    SimClock& clock_;
    const CodePage& codePage_;
    Process& process_;
    int screenWidth_, screenHeight_;
    std::map<std::uint32_t, std::unique_ptr<Window>> windows_;
    std::uint32_t lastWindowId_ = 0;
    std::deque<Message> queue_;
    std::optional<int> quit_;
    bool loopStarted_ = false;
    std::priority_queue<TimerEntry, std::vector<TimerEntry>, LaterTimer> timers_;
    std::uint64_t lastTimerStart_ = 0;
    int passCount_ = 0;
    WindowId active_;
    std::uint64_t lastActivation_ = 0;
    std::vector<WindowId> activateCalls_;
    std::function<void(int)> passHook_;
    SimUser user_;
};

}  // namespace brenvik::sim
