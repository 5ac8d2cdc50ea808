// Windows, controls, timers and the message loops of the simulated desktop.
#include "platform/sim/ui.h"

#include "platform/sim/process.h"

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

}  // namespace

SimUi::SimUi(SimClock& clock, const CodePage& codePage, Process& process, int screenWidth,
             int screenHeight)
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
    setVisible(id, true);
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
    dispatch({EventKind::Destroyed, id});
    windows_.erase(id.value);  // its timers' heap entries go stale with it
    if (windows_.empty() && loopStarted_)
        postQuit(0);
}

void SimUi::requestClose(WindowId id)
{
    if (clock_.inert() || windowAt(id) == nullptr)
        return;
    queue_.push_back({true, {EventKind::Destroyed, id}});
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
}

void SimUi::setTextUtf8(ControlId id, std::string_view utf8)
{
    Control* c = controlAt(id);
    if (c == nullptr || clock_.inert())
        return;
    c->text = std::string(UpToZero(utf8));
    c->textIsUtf8 = true;
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
    timers_.push({clock_.nowUs() + std::int64_t{periodMs} * 1000, c->timerStart, id.window,
                  id.index, c->timerGeneration});
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
        queue_.push_back({false, event});
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
    if (message.close)
        destroyWindow(message.event.window);  // nothing can refuse the close
    else
        dispatch(message.event);
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
    return {true,    w->visible, w->enabled, w->minimised, w->left, w->top, w->spec->outerWidth,
            w->spec->outerHeight, w->titleUtf8};
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

// --- services that are not built yet -------------------------------------------
// Each ends the run as a fatal error, so a Part that reaches one fails loudly.

void SimUi::setPlacement(WindowId, Placement)
{
    process_.fatalError("simulated desktop: window placement is not built yet");
}

Placement SimUi::placement(WindowId) const
{
    process_.fatalError("simulated desktop: window placement is not built yet");
    std::abort();  // fatalError never returns
}

void SimUi::activate(WindowId)
{
    process_.fatalError("simulated desktop: activating a window is not built yet");
}

void SimUi::runModal(const WindowSpec&, EventHandler)
{
    process_.fatalError("simulated desktop: modal windows are not built yet");
}

void SimUi::appendText(ControlId, const Text&)
{
    process_.fatalError("simulated desktop: appending to an edit box is not built yet");
}

void SimUi::setProgress(ControlId, int)
{
    process_.fatalError("simulated desktop: progress bars are not built yet");
}

int SimUi::progress(ControlId) const
{
    process_.fatalError("simulated desktop: progress bars are not built yet");
    std::abort();  // fatalError never returns
}

}  // namespace brenvik::sim
