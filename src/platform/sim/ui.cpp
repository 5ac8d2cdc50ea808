// Windows, controls, timers and the message loops of the simulated desktop.
#include "platform/sim/ui.h"

#include "platform/sim/process.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

namespace brenvik::sim {

namespace {

[[noreturn]] void Misuse(const char* what, int index)
{
    std::fprintf(stderr, "brenvik sim: %s (control index %d)\n", what, index);
    std::abort();
}

// A text never holds a zero byte: the Windows functions stop at the first one.
std::string_view UpToZero(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

// Where Windows puts a minimised window, and a maximised one.
constexpr int kMinimisedPosition = -32000;
constexpr int kMaximisedPosition = 0;

// The 0-based line of an edit box's text that holds byte `offset`: the number
// of line ends (CR LF) before it.
std::size_t LineAt(std::string_view text, std::size_t offset)
{
    std::size_t line = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string_view::npos && at + 2 <= offset;
         at = text.find("\r\n", at + 2))
        ++line;
    return line;
}

// The lines an edit box shows: its height less the frame, at 16 pixels a line.
std::size_t VisibleLines(const ControlSpec& spec)
{
    return static_cast<std::size_t>(std::max(1, (spec.height - 4) / 16));
}

}  // namespace

SimUi::SimUi(SimClock& clock, const CodePage& codePage, Process& process, int screenWidth, int screenHeight)
    : clock_(clock),
      codePage_(codePage),
      process_(process),
      screenWidth_(screenWidth),
      screenHeight_(screenHeight),
      user_(*this)
{
}

SimUi::~SimUi() = default;

// --- lookup -------------------------------------------------------------------

SimUi::Window* SimUi::windowAt(WindowId id)
{
    auto it = windows_.find(id.value);
    return it == windows_.end() ? nullptr : it->second.get();
}

const SimUi::Window* SimUi::windowAt(WindowId id) const
{
    auto it = windows_.find(id.value);
    return it == windows_.end() ? nullptr : it->second.get();
}

SimUi::Control* SimUi::controlAt(ControlId id)
{
    return const_cast<Control*>(std::as_const(*this).controlAt(id));
}

// A gone window's controls are gone too (null, as GetDlgItem fails); an index
// outside a live window's table is a mistake in the program and stops the test.
const SimUi::Control* SimUi::controlAt(ControlId id) const
{
    const Window* w = windowAt(id.window);
    if (w == nullptr)
        return nullptr;
    if (id.index < 0 || static_cast<std::size_t>(id.index) >= w->controls.size())
        Misuse("no such control in the window's table", id.index);
    return &w->controls[static_cast<std::size_t>(id.index)];
}

// --- windows ------------------------------------------------------------------

WindowId SimUi::openWindow(const WindowSpec& spec, EventHandler handler)
{
    const WindowId id = createWindow(spec, std::move(handler));
    if (id)
        setVisible(id, true);
    return id;
}

// Makes the window and raises its creation events; it is not shown yet. Returns
// 0 when the window is gone by then.
WindowId SimUi::createWindow(const WindowSpec& spec, EventHandler handler)
{
    if (clock_.inert())
        return {};
    auto w = std::make_unique<Window>();
    w->id = WindowId{++lastWindowId_};
    w->spec = &spec;
    w->handler = std::make_shared<const EventHandler>(std::move(handler));
    w->titleUtf8 = std::string(spec.title);
    w->left = (screenWidth_ - spec.outerWidth) / 2;
    w->top = (screenHeight_ - spec.outerHeight) / 2;
    for (const ControlSpec& c : spec.controls) {
        Control control{&c, std::string(UpToZero(c.text))};
        control.enabled = (c.style & ControlStyle::Disabled) == 0;
        w->controls.push_back(std::move(control));
    }
    const WindowId id = w->id;
    const int left = w->left, top = w->top;
    windows_.emplace(id.value, std::move(w));

    // Creation sends its messages synchronously: the created event, then the
    // first position, both before the window is shown.
    dispatch({EventKind::Created, id});
    if (!isAlive(id))
        return {};
    dispatch({EventKind::Moved, id, -1, left, top});
    if (!isAlive(id))
        return {};
    return id;
}

void SimUi::destroyWindow(WindowId id)
{
    if (clock_.inert())
        return;
    Window* w = windowAt(id);
    if (w == nullptr || w->destroying)
        return;
    w->destroying = true;
    // A modal window gives the others back before it goes, so that one of them
    // can become the active window.
    restoreOthers(*w);
    dispatch({EventKind::Destroyed, id});
    windows_.erase(id.value);  // its timers' heap entries go stale with it
    if (active_ == id)
        activateNext(id);
    if (windows_.empty() && loopStarted_)
        postQuit(0);
}

void SimUi::requestClose(WindowId id)
{
    if (clock_.inert() || windowAt(id) == nullptr)
        return;
    queue_.push_back({Message::Kind::Close, {EventKind::Destroyed, id}});
}

bool SimUi::isAlive(WindowId id) const
{
    return windowAt(id) != nullptr;
}

void SimUi::setVisible(WindowId id, bool visible)
{
    Window* w = windowAt(id);
    if (clock_.inert() || w == nullptr || w->visible == visible)
        return;
    w->visible = visible;
    // Showing activates the window; hiding hands activation to another one.
    if (visible)
        makeActive(*w);
    else if (active_ == id)
        activateNext(id);
    if (visible)
        user_.windowShown(id, w->titleUtf8);
}

bool SimUi::isVisible(WindowId id) const
{
    const Window* w = windowAt(id);
    return w != nullptr && w->visible;
}

void SimUi::setWindowEnabled(WindowId id, bool enabled)
{
    if (Window* w = windowAt(id); w != nullptr && !clock_.inert())
        w->enabled = enabled;
}

// --- controls -----------------------------------------------------------------

Text SimUi::text(ControlId id) const
{
    const Control* c = controlAt(id);
    if (c == nullptr)
        return {};
    return c->textIsUtf8 ? codePage_.fromUtf8(c->text) : c->text;
}

void SimUi::setText(ControlId id, const Text& ansi)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    c->text = std::string(UpToZero(ansi));
    c->textIsUtf8 = false;
    c->caret = 0;  // a new text puts an edit box's caret at its start, scrolled to the top
    c->firstLine = 0;
}

void SimUi::setTextUtf8(ControlId id, std::string_view utf8)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    c->text = std::string(UpToZero(utf8));
    c->textIsUtf8 = true;
    c->caret = 0;
    c->firstLine = 0;
}

void SimUi::setTimerPeriod(ControlId id, int periodMs)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    if (c->spec->kind != ControlKind::Timer)
        Misuse("a timer period set on a control that is not a timer", id.index);
    if (periodMs < 0)
        periodMs = 0;
    if (periodMs == c->periodMs)
        return;
    c->periodMs = periodMs;
    ++c->timerGeneration;
    if (periodMs == 0)
        return;
    c->timerStart = ++lastTimerStart_;
    timers_.push({clock_.nowUs() + std::int64_t{periodMs} * 1000, c->timerStart, id.window, id.index,
                  c->timerGeneration});
}

int SimUi::timerPeriod(ControlId id) const
{
    const Control* c = controlAt(id);
    return c == nullptr ? 0 : c->periodMs;
}

// --- events and timers ----------------------------------------------------------

void SimUi::postEvent(const Event& event)
{
    if (!clock_.inert())
        queue_.push_back({Message::Kind::Event, event});
}

void SimUi::sendEvent(const Event& event)
{
    if (!clock_.inert())
        dispatch(event);
}

void SimUi::postQuit(int code)
{
    if (!clock_.inert())
        quit_ = code;
}

void SimUi::dispatch(const Event& event)
{
    const Window* w = windowAt(event.window);
    if (w == nullptr)
        return;
    // The handler is held here, so that it survives the window it destroys.
    std::shared_ptr<const EventHandler> handler = w->handler;
    if (!*handler)
        return;
    try {
        (*handler)(event);
    } catch (const std::bad_alloc&) {
        process_.fatalError(kOutOfMemoryMessage);
    }
}

bool SimUi::dispatchOneMessage()
{
    if (queue_.empty())
        return false;
    Message message = queue_.front();
    queue_.pop_front();
    switch (message.kind) {
        case Message::Kind::Close:
            destroyWindow(message.event.window);  // nothing can refuse the close
            break;
        case Message::Kind::Minimise:
            // The minimise command of a window that was hidden meanwhile finds nothing to minimise.
            if (isVisible(message.event.window))
                setPlacement(message.event.window, Placement::Minimised);
            break;
        case Message::Kind::Event:
            dispatch(message.event);
            break;
    }
    return true;
}

// The earliest live timer, after dropping the heap entries that a stop, a
// restart or a destroyed window left behind.
const SimUi::TimerEntry* SimUi::nextTimer()
{
    while (!timers_.empty()) {
        const TimerEntry& top = timers_.top();
        const Window* w = windowAt(top.window);
        if (w != nullptr && !w->destroying &&
            w->controls[static_cast<std::size_t>(top.index)].timerGeneration == top.generation)
            return &top;
        timers_.pop();
    }
    return nullptr;
}

bool SimUi::fireDueTimer()
{
    const TimerEntry* next = nextTimer();
    if (next == nullptr || next->dueUs > clock_.nowUs())
        return false;
    TimerEntry entry = *next;
    timers_.pop();
    const Control& c = windowAt(entry.window)->controls[static_cast<std::size_t>(entry.index)];
    // Ticks that were missed while nothing dispatched come as one.
    const std::int64_t periodUs = std::int64_t{c.periodMs} * 1000;
    entry.dueUs += periodUs;
    if (entry.dueUs <= clock_.nowUs())
        entry.dueUs = clock_.nowUs() + periodUs;
    timers_.push(entry);
    if (c.spec->events & ControlEvents::Tick)
        dispatch({EventKind::Tick, entry.window, entry.index});
    return true;
}

// --- loops --------------------------------------------------------------------

// Nothing is queued and no timer is due: the user acts, or time passes until
// the next timer, whichever comes first; with neither the run is idle.
void SimUi::idle()
{
    const std::optional<std::int64_t> actionDue = user_.nextDueUs();
    const TimerEntry* timer = nextTimer();
    if (actionDue && (timer == nullptr || *actionDue <= timer->dueUs)) {
        clock_.advanceToUs(*actionDue);
        user_.performNext();
        return;
    }
    if (timer != nullptr) {
        clock_.advanceToUs(timer->dueUs);
        return;
    }
    clock_.endRun({RunEnd::Idle, 0});
}

bool SimUi::runLoopUntil(const std::function<bool()>& done)
{
    while (!clock_.inert()) {
        if (done && done())
            return true;
        if (quit_)
            return false;
        if (dispatchOneMessage() || fireDueTimer())
            continue;
        idle();
    }
    return false;
}

int SimUi::runMessageLoop()
{
    if (clock_.inert())
        return 0;
    loopStarted_ = true;
    if (windows_.empty())
        return 0;
    runLoopUntil({});
    if (!quit_)
        return 0;
    const int code = *quit_;
    quit_.reset();
    return code;
}

void SimUi::processPending()
{
    if (clock_.inert())
        return;
    const int pass = ++passCount_;
    if (passHook_)
        passHook_(pass);
    user_.pendingPass(pass);
    // A queued quit stops the pass and stays first in line for the loop outside.
    while (!quit_ && !clock_.inert() && (dispatchOneMessage() || fireDueTimer())) {
    }
}

// --- observation --------------------------------------------------------------

WindowId SimUi::findWindow(std::string_view titleUtf8) const
{
    for (const auto& [value, w] : windows_)
        if (w->titleUtf8 == titleUtf8)
            return w->id;
    return {};
}

ControlId SimUi::control(WindowId id, std::string_view nameUtf8) const
{
    if (const Window* w = windowAt(id))
        for (std::size_t i = 0; i < w->controls.size(); ++i)
            if (w->controls[i].spec->name == nameUtf8)
                return {id, static_cast<int>(i)};
    return {id, -1};
}

WindowState SimUi::windowState(WindowId id) const
{
    const Window* w = windowAt(id);
    if (w == nullptr)
        return {};
    return {true,         w->visible,   w->enabled,          w->minimised,
            w->left,      w->top,       w->spec->outerWidth, w->spec->outerHeight,
            w->titleUtf8, w->maximised, active_ == id};
}

std::vector<WindowId> SimUi::windows() const
{
    std::vector<WindowId> ids;
    for (const auto& [value, w] : windows_)
        ids.push_back(w->id);
    return ids;
}

std::string SimUi::displayText(ControlId id) const
{
    const Control* c = controlAt(id);
    if (c == nullptr)
        return {};
    return c->textIsUtf8 ? c->text : codePage_.toUtf8(c->text);
}

bool SimUi::textIsUtf8(ControlId id) const
{
    const Control* c = controlAt(id);
    return c != nullptr && c->textIsUtf8;
}

bool SimUi::controlEnabled(ControlId id) const
{
    const Control* c = controlAt(id);
    return c != nullptr && c->enabled;
}

EditState SimUi::editState(ControlId id) const
{
    const Control* c = controlAt(id);
    if (c == nullptr)
        return {};
    if (c->spec->kind != ControlKind::Edit)
        Misuse("an edit box's state asked of a control that is not an edit box", id.index);
    const std::size_t lines = LineAt(c->text, c->text.size()) + 1;
    const std::size_t visible = VisibleLines(*c->spec);
    return {c->caret,
            c->caret == c->text.size(),
            static_cast<int>(lines),
            static_cast<int>(c->firstLine),
            static_cast<int>(visible),
            lines - 1 >= c->firstLine && lines - 1 < c->firstLine + visible,
            c->appends};
}

// --- placement and activation ---------------------------------------------------

void SimUi::makeActive(Window& w)
{
    active_ = w.id;
    w.lastActivated = ++lastActivation_;
}

// The window leaving the foreground hands it to the most recently active
// window that is shown, not minimised and enabled; with none, none is active.
void SimUi::activateNext(WindowId leaving)
{
    Window* next = nullptr;
    for (auto& [value, w] : windows_) {
        if (w->id == leaving || w->destroying || !w->visible || w->minimised || !w->enabled)
            continue;
        if (next == nullptr || w->lastActivated > next->lastActivated)
            next = w.get();
    }
    if (next != nullptr)
        makeActive(*next);
    else
        active_ = {};
}

// Minimises, maximises or restores the window, and sends Moved when that moved
// it, as ShowWindow sends WM_MOVE before it returns. Minimising hands the
// activation on; maximising and restoring activate the window.
void SimUi::changeState(WindowId id, bool minimised, bool maximised)
{
    Window* w = windowAt(id);
    auto position = [](const Window& window) {
        if (window.minimised)
            return std::pair{kMinimisedPosition, kMinimisedPosition};
        if (window.maximised)
            return std::pair{kMaximisedPosition, kMaximisedPosition};
        return std::pair{window.left, window.top};
    };
    const auto before = position(*w);
    w->minimised = minimised;
    w->maximised = maximised;
    if (minimised) {
        if (active_ == id)
            activateNext(id);
    } else {
        makeActive(*w);
    }
    const auto after = position(*w);
    if (after != before)
        dispatch({EventKind::Moved, id, -1, after.first, after.second});
}

void SimUi::setPlacement(WindowId id, Placement placement)
{
    Window* w = windowAt(id);
    // A hidden window only keeps the value, and since reading the placement
    // reports the real state, nothing ever reads it back: nothing happens.
    if (clock_.inert() || w == nullptr || w->destroying || !w->visible)
        return;
    // A value outside the four is taken as the nearest of them.
    const int value = std::clamp(static_cast<int>(placement), 0, 3);
    switch (static_cast<Placement>(value)) {
        case Placement::Normal:
            if (w->minimised || w->maximised)
                changeState(id, false, false);
            else
                makeActive(*w);  // showing normally activates a restored window too
            return;
        case Placement::Minimised:
            if (!w->minimised)
                changeState(id, true, false);
            return;
        case Placement::Maximised:
            if (!w->maximised)
                changeState(id, false, true);
            else
                makeActive(*w);
            return;
        case Placement::Centred:
            break;
    }
    if (w->minimised || w->maximised) {
        changeState(id, false, false);
        // The restore's Moved handler may have destroyed or hidden the window.
        w = windowAt(id);
        if (w == nullptr || w->destroying || !w->visible)
            return;
    }
    // Integer division truncates toward zero, as the centring rule asks.
    const int left = (screenWidth_ - w->spec->outerWidth) / 2;
    const int top = (screenHeight_ - w->spec->outerHeight) / 2;
    if (left == w->left && top == w->top)
        return;
    w->left = left;
    w->top = top;
    dispatch({EventKind::Moved, id, -1, left, top});  // moved without activation or a z-order change
}

Placement SimUi::placement(WindowId id) const
{
    const Window* w = windowAt(id);
    if (w == nullptr)
        return Placement::Normal;
    if (w->minimised)
        return Placement::Minimised;
    if (w->maximised)
        return Placement::Maximised;
    return Placement::Normal;
}

void SimUi::activate(WindowId id)
{
    Window* w = windowAt(id);
    if (clock_.inert() || w == nullptr || w->destroying)
        return;
    activateCalls_.push_back(id);
    makeActive(*w);
}

// --- modal windows ----------------------------------------------------------------

void SimUi::restoreOthers(Window& modal)
{
    std::vector<std::pair<WindowId, bool>> others;
    others.swap(modal.disabledOthers);
    for (const auto& [id, wasEnabled] : others)
        setWindowEnabled(id, wasEnabled);
}

void SimUi::runModal(const WindowSpec& spec, EventHandler handler)
{
    const WindowId id = createWindow(spec, std::move(handler));
    // Not made, or destroyed by its own created handler: nothing to wait for.
    if (!id)
        return;
    Window& modal = *windowAt(id);
    for (auto& [value, other] : windows_) {
        if (other->id == id || other->destroying)
            continue;
        modal.disabledOthers.emplace_back(other->id, other->enabled);
        other->enabled = false;
    }
    setVisible(id, true);
    runLoopUntil([&] { return !isAlive(id); });
    // Left while the window is still open (a quit message): the others get
    // their state back all the same.
    if (Window* open = windowAt(id))
        restoreOthers(*open);
}

// --- edit boxes and progress bars -------------------------------------------------

void SimUi::scrollCaretIntoView(Control& c) const
{
    const std::size_t line = LineAt(c.text, c.caret);
    const std::size_t visible = VisibleLines(*c.spec);
    if (line < c.firstLine)
        c.firstLine = line;
    else if (line >= c.firstLine + visible)
        c.firstLine = line - visible + 1;
}

void SimUi::appendText(ControlId id, const Text& ansi)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    if (c->spec->kind != ControlKind::Edit)
        Misuse("text appended to a control that is not an edit box", id.index);
    ++c->appends;
    c->caret = c->text.size();
    scrollCaretIntoView(*c);
    const std::string_view added = UpToZero(ansi);
    if (c->text.empty()) {
        c->text = std::string(added);
        c->textIsUtf8 = false;
    } else if (c->textIsUtf8) {
        // The box holds its text in one form: an ANSI insert is converted, as
        // the wide box converts it from the code page.
        c->text += codePage_.toUtf8(added);
    } else {
        c->text += added;
    }
    c->caret = c->text.size();
    scrollCaretIntoView(*c);
}

void SimUi::setProgress(ControlId id, int position)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    if (c->spec->kind != ControlKind::ProgressBar)
        Misuse("a progress position set on a control that is not a progress bar", id.index);
    c->position = std::clamp(position, 0, 100);
}

int SimUi::progress(ControlId id) const
{
    const Control* c = controlAt(id);
    if (c == nullptr)
        return 0;
    if (c->spec->kind != ControlKind::ProgressBar)
        Misuse("a progress position read from a control that is not a progress bar", id.index);
    return c->position;
}

}  // namespace brenvik::sim
