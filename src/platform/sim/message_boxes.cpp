// Message boxes on the simulated desktop: task-modal disabling, the box's own
// nested loop, and dismissal by the scripted user.
#include "platform/sim/message_boxes.h"

#include "platform/sim/ui.h"

namespace brenvik::sim {

void SimMessageBoxes::showInformation(std::string_view textUtf8, std::string_view titleUtf8)
{
    const std::size_t index = shown_.size();
    shown_.push_back(
        {std::string(textUtf8), std::string(titleUtf8), {}, {}, ui_.nowMs(), {}, InformationBox::End::Open});
    // Task-modal: every window of the program that is enabled now is disabled
    // while the box is up, and only those are enabled again after it.
    for (WindowId window : ui_.windows()) {
        if (ui_.windowState(window).enabled) {
            ui_.setWindowEnabled(window, false);
            shown_[index].disabled.push_back(window);
        }
    }
    up_.push_back(index);
    const bool dismissed =
        ui_.runLoopUntil([&] { return shown_[index].end == InformationBox::End::Dismissed; });
    up_.pop_back();
    InformationBox& box = shown_[index];
    if (!dismissed && !ui_.queuedQuit())
        return;  // the run is over; the box stays up in the record
    if (!dismissed)
        box.end = InformationBox::End::Quit;
    box.endedAtMs = ui_.nowMs();
    for (WindowId window : box.disabled)
        ui_.setWindowEnabled(window, true);
}

bool SimMessageBoxes::dismiss()
{
    if (up_.empty() || shown_[up_.back()].end != InformationBox::End::Open)
        return false;
    shown_[up_.back()].end = InformationBox::End::Dismissed;
    return true;
}

const InformationBox* SimMessageBoxes::current() const
{
    return up_.empty() ? nullptr : &shown_[up_.back()];
}

}  // namespace brenvik::sim
