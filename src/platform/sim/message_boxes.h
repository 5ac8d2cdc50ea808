// Message boxes on the simulated desktop: each box shown is recorded, and the
// scripted user dismisses it while its own message loop runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_boxes.h"
#include "platform/ui.h"

namespace brenvik::sim {

class SimUi;

// One information box the program showed.
struct InformationBox {
    enum class End { Open, Dismissed, Quit };  // still up, OK pressed, or ended by a quit message
    std::string textUtf8;
    std::string titleUtf8;
    WindowId owner;                  // always none: the boxes have no owner
    std::vector<WindowId> disabled;  // the windows it disabled while it was up
    std::int64_t shownAtMs = 0;
    std::optional<std::int64_t> endedAtMs;
    End end = End::Open;
};

// Task-modal information boxes: every enabled window of the program is
// disabled while a box is up and enabled again after it; the box's nested loop
// dispatches everything (timers keep ticking) until the user dismisses it. A
// box nobody dismisses leaves the loop with nothing to do, so the run ends Idle.
// A quit message ends the box, as the dialog's loop does, and stays queued.
class SimMessageBoxes final : public MessageBoxes {
public:
    explicit SimMessageBoxes(SimUi& ui) : ui_(ui) {}

    void showInformation(std::string_view textUtf8, std::string_view titleUtf8) override;

    // The user's OK on the box that is up (the latest, when they nest). False
    // when none is up.
    bool dismiss();

    const std::vector<InformationBox>& shown() const { return shown_; }
    // The box that is up (the latest, when they nest); null when none is.
    const InformationBox* current() const;

private:
    SimUi& ui_;
    std::vector<InformationBox> shown_;
    std::vector<std::size_t> up_;  // indices in shown_, innermost last
};

}  // namespace brenvik::sim
