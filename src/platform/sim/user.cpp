// The scripted user of the simulated desktop: what each action does, and when
// queued and armed actions are performed.
#include "platform/sim/ui.h"

#include <algorithm>
#include <utility>

namespace brenvik::sim {

UserAction UserAction::click(ControlId control)
{
    UserAction a;
    a.kind = Kind::Click;
    a.control = control;
    return a;
}

UserAction UserAction::doubleClick(ControlId control)
{
    UserAction a;
    a.kind = Kind::DoubleClick;
    a.control = control;
    return a;
}

UserAction UserAction::type(ControlId control, Text ansi)
{
    UserAction a;
    a.kind = Kind::Type;
    a.control = control;
    a.text = std::move(ansi);
    return a;
}

UserAction UserAction::close(WindowId window)
{
    UserAction a;
    a.kind = Kind::Close;
    a.window = window;
    return a;
}

UserAction UserAction::escape(WindowId window)
{
    UserAction a;
    a.kind = Kind::Escape;
    a.window = window;
    return a;
}

UserAction UserAction::invoke(std::function<void()> call)
{
    UserAction a;
    a.kind = Kind::Call;
    a.call = std::move(call);
    return a;
}

// --- the script -----------------------------------------------------------------

void SimUser::queue(UserAction action, int delayMs)
{
    queued_.push_back({std::move(action), std::int64_t{std::max(delayMs, 0)} * 1000,
                       ui_.clock_.nowUs()});
}

void SimUser::click(ControlId control, int delayMs)
{
    queue(UserAction::click(control), delayMs);
}

void SimUser::doubleClick(ControlId control, int delayMs)
{
    queue(UserAction::doubleClick(control), delayMs);
}

void SimUser::type(ControlId control, Text ansi, int delayMs)
{
    queue(UserAction::type(control, std::move(ansi)), delayMs);
}

void SimUser::close(WindowId window, int delayMs)
{
    queue(UserAction::close(window), delayMs);
}

void SimUser::pressEscape(WindowId window, int delayMs)
{
    queue(UserAction::escape(window), delayMs);
}

void SimUser::call(std::function<void()> call, int delayMs)
{
    queue(UserAction::invoke(std::move(call)), delayMs);
}

void SimUser::whenShown(std::string titleUtf8, std::function<void(WindowId)> action)
{
    onShown_.emplace_back(std::move(titleUtf8), std::move(action));
}

void SimUser::onPendingPass(int pass, std::function<void()> action)
{
    onPass_.emplace(pass, std::move(action));
}

std::optional<std::int64_t> SimUser::nextDueUs() const
{
    if (queued_.empty())
        return std::nullopt;
    const Queued& next = queued_.front();
    return std::max(next.queuedAtUs, lastPerformedUs_) + next.delayUs;
}

void SimUser::performNext()
{
    UserAction action = std::move(queued_.front().action);
    queued_.pop_front();
    lastPerformedUs_ = ui_.clock_.nowUs();
    perform(action);
}

// Each armed action is taken off its list before it runs, so it may arm others.
void SimUser::windowShown(WindowId window, const std::string& titleUtf8)
{
    std::vector<std::function<void(WindowId)>> due;
    auto matches = [&](const auto& armed) { return armed.first == titleUtf8; };
    for (auto& armed : onShown_)
        if (matches(armed))
            due.push_back(std::move(armed.second));
    std::erase_if(onShown_, matches);
    for (auto& action : due)
        action(window);
}

void SimUser::pendingPass(int pass)
{
    std::vector<std::function<void()>> due;
    auto [first, last] = onPass_.equal_range(pass);
    for (auto it = first; it != last; ++it)
        due.push_back(std::move(it->second));
    onPass_.erase(first, last);
    for (auto& action : due)
        action();
}

// --- performing -----------------------------------------------------------------

bool SimUser::drop(UserAction::Kind kind, std::string reason)
{
    dropped_.push_back({kind, std::move(reason), ui_.clock_.nowMs()});
    return false;
}

bool SimUser::perform(const UserAction& action)
{
    using Kind = UserAction::Kind;
    if (ui_.clock_.inert())
        return false;
    if (action.kind == Kind::Call) {
        if (action.call)
            action.call();
        return true;
    }

    // A person can only reach a window that exists, is shown and takes input.
    const bool onControl =
        action.kind == Kind::Click || action.kind == Kind::DoubleClick || action.kind == Kind::Type;
    const WindowId target = onControl ? action.control.window : action.window;
    SimUi::Window* w = ui_.windowAt(target);
    if (w == nullptr)
        return drop(action.kind, "the window does not exist");
    if (!w->visible || w->minimised)
        return drop(action.kind, "the window is not shown");
    if (!w->enabled)
        return drop(action.kind, "the window is disabled");

    if (action.kind == Kind::Close) {
        if ((w->spec->frame & WindowFrame::Caption) == 0)
            return drop(action.kind, "the window has no close box");
        ui_.requestClose(target);
        return true;
    }
    if (action.kind == Kind::Escape) {
        if (!w->spec->escapeCloses)
            return drop(action.kind, "Esc does not close this window");
        ui_.requestClose(target);
        return true;
    }

    if (action.control.index < 0 ||
        static_cast<std::size_t>(action.control.index) >= w->controls.size())
        return drop(action.kind, "the window has no such control");
    SimUi::Control& c = w->controls[static_cast<std::size_t>(action.control.index)];
    if (!c.enabled)
        return drop(action.kind, "the control is disabled");
    const unsigned events = c.spec->events;

    if (action.kind == Kind::Type) {
        if (c.spec->kind != ControlKind::Edit)
            return drop(action.kind, "the control is not an edit box");
        if (c.spec->style & ControlStyle::ReadOnly)
            return drop(action.kind, "the edit box is read-only");
        Text typed = action.text.substr(0, action.text.find('\0'));
        if (c.spec->textLimit > 0) {
            // The limit counts characters, as the code page groups the bytes.
            std::size_t end = 0;
            for (int chars = 0; end < typed.size() && chars < c.spec->textLimit; ++chars)
                end += CharLength(ui_.codePage_, typed, end);
            typed.resize(end);
        }
        c.text = std::move(typed);
        c.textIsUtf8 = false;
        return true;
    }

    // The first press of a double click is a click of its own.
    const bool click = (events & ControlEvents::Click) != 0;
    const bool doubleClick =
        action.kind == Kind::DoubleClick && (events & ControlEvents::DoubleClick) != 0;
    if (!click && !doubleClick)
        return drop(action.kind, "the control raises no event for it");
    if (click)
        ui_.postEvent({EventKind::Click, target, action.control.index});
    if (doubleClick)
        ui_.postEvent({EventKind::DoubleClick, target, action.control.index});
    return true;
}

}  // namespace brenvik::sim
