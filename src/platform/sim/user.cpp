// The scripted user of the simulated desktop: what each action does, and when
// queued and armed actions are performed.
#include "platform/sim/ui.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/sim/clipboard.h"
#include "platform/sim/message_boxes.h"

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

UserAction UserAction::minimise(WindowId window)
{
    UserAction a;
    a.kind = Kind::Minimise;
    a.window = window;
    return a;
}

UserAction UserAction::dismissMessageBox()
{
    UserAction a;
    a.kind = Kind::DismissMessageBox;
    return a;
}

UserAction UserAction::copyFiles(std::vector<Text> ansiPaths)
{
    UserAction a;
    a.kind = Kind::CopyFiles;
    a.files = std::move(ansiPaths);
    return a;
}

UserAction UserAction::copyText()
{
    UserAction a;
    a.kind = Kind::CopyText;
    return a;
}

UserAction UserAction::drag(WindowId window, int left, int top)
{
    UserAction a;
    a.kind = Kind::Drag;
    a.window = window;
    a.left = left;
    a.top = top;
    return a;
}

// --- the script -----------------------------------------------------------------

void SimUser::attach(SimClipboard& clipboard, SimMessageBoxes& messageBoxes)
{
    clipboard_ = &clipboard;
    messageBoxes_ = &messageBoxes;
}

void SimUser::queue(UserAction action, int delayMs)
{
    queued_.push_back({std::move(action), std::int64_t{std::max(delayMs, 0)} * 1000, ui_.clock_.nowUs()});
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

void SimUser::minimise(WindowId window, int delayMs)
{
    queue(UserAction::minimise(window), delayMs);
}

void SimUser::dismissMessageBox(int delayMs)
{
    queue(UserAction::dismissMessageBox(), delayMs);
}

void SimUser::copyFiles(std::vector<Text> ansiPaths, int delayMs)
{
    queue(UserAction::copyFiles(std::move(ansiPaths)), delayMs);
}

void SimUser::copyText(int delayMs)
{
    queue(UserAction::copyText(), delayMs);
}

void SimUser::drag(WindowId window, int left, int top, int delayMs)
{
    queue(UserAction::drag(window, left, top), delayMs);
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
    if (action.kind == Kind::DismissMessageBox || action.kind == Kind::CopyFiles ||
        action.kind == Kind::CopyText) {
        if (clipboard_ == nullptr || messageBoxes_ == nullptr) {
            std::fputs("brenvik sim: the user has no clipboard or message boxes attached\n", stderr);
            std::abort();
        }
        if (action.kind == Kind::DismissMessageBox)
            return messageBoxes_->dismiss() || drop(action.kind, "no message box is up");
        const bool copied =
            action.kind == Kind::CopyFiles ? clipboard_->holdFiles(action.files) : clipboard_->holdText();
        return copied || drop(action.kind, "the program holds the clipboard open");
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
    // Reaching into a window brings it to the foreground first.
    ui_.makeActive(*w);

    if (action.kind == Kind::Minimise) {
        if ((w->spec->frame & WindowFrame::MinimiseBox) == 0)
            return drop(action.kind, "the window has no minimise box");
        ui_.queue_.push_back({SimUi::Message::Kind::Minimise, {EventKind::Moved, target}});
        return true;
    }

    if (action.kind == Kind::Drag) {
        if ((w->spec->frame & WindowFrame::Caption) == 0)
            return drop(action.kind, "the window has no title bar");
        if (w->maximised)
            return drop(action.kind, "a maximised window cannot be dragged");
        // The drag's own loop moves the window and sends each move at once.
        if (w->left != action.left || w->top != action.top) {
            w->left = action.left;
            w->top = action.top;
            ui_.dispatch({EventKind::Moved, target, -1, action.left, action.top});
        }
        return true;
    }
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

    if (action.control.index < 0 || static_cast<std::size_t>(action.control.index) >= w->controls.size())
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
        c.caret = c.text.size();
        c.firstLine = 0;
        ui_.scrollCaretIntoView(c);
        return true;
    }

    // The first press of a double click is a click of its own.
    const bool click = (events & ControlEvents::Click) != 0;
    const bool doubleClick = action.kind == Kind::DoubleClick && (events & ControlEvents::DoubleClick) != 0;
    if (!click && !doubleClick)
        return drop(action.kind, "the control raises no event for it");
    if (click)
        ui_.postEvent({EventKind::Click, target, action.control.index});
    if (doubleClick)
        ui_.postEvent({EventKind::DoubleClick, target, action.control.index});
    return true;
}

}  // namespace brenvik::sim
