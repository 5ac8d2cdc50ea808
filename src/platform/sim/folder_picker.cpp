// The shell's folder picker on the simulated desktop.
#include "platform/sim/folder_picker.h"

#include <utility>

namespace brenvik::sim {

Text SimFolderPicker::pickFolder(std::string_view promptUtf8)
{
    const WindowId active = ui_.activeWindow();
    const std::size_t record = pickers_.size();
    pickers_.push_back({std::string(promptUtf8), active, {}});

    // The picker is modal for the whole program: every top-level window is
    // disabled while it is open and gets its former state back afterwards.
    std::vector<std::pair<WindowId, bool>> former;
    for (WindowId w : ui_.windows()) {
        former.emplace_back(w, ui_.windowState(w).enabled);
        ui_.setWindowEnabled(w, false);
    }

    Open open;
    open_.push_back(&open);
    // A quit message ends the dialog as a cancel and stays queued for the loop outside.
    ui_.runLoopUntil([&] { return open.answer.has_value(); });
    std::erase(open_, &open);

    for (const auto& [w, enabled] : former)
        if (ui_.isAlive(w))
            ui_.setWindowEnabled(w, enabled);
    if (active && ui_.isAlive(active))
        ui_.activate(active);

    Text result = open.answer.value_or(Text{});
    pickers_[record].result = result;
    return result;
}

void SimFolderPicker::answer(Text path)
{
    if (open_.empty() || open_.back()->answer) {
        ++missed_;
        return;
    }
    // The shell's conversion fails for a path longer than its buffer holds.
    path = path.substr(0, path.find('\0'));
    if (path.size() > kMaxPickedPathBytes)
        path.clear();
    open_.back()->answer = std::move(path);
}

void SimFolderPicker::scriptChoice(Text path, int delayMs)
{
    ui_.user().call([this, path = std::move(path)] { answer(path); }, delayMs);
}

void SimFolderPicker::scriptCancel(int delayMs)
{
    ui_.user().call([this] { answer({}); }, delayMs);
}

void SimFolderPicker::scriptChoiceWithoutPath(int delayMs)
{
    ui_.user().call([this] { answer({}); }, delayMs);
}

}  // namespace brenvik::sim
