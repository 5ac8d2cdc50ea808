// Message boxes on the simulated desktop.
#pragma once

#include "platform/message_boxes.h"
#include "platform/process.h"

namespace brenvik::sim {

// Not built yet: showing a box ends the run as a fatal error.
class SimMessageBoxes final : public MessageBoxes {
public:
    explicit SimMessageBoxes(Process& process) : process_(process) {}
    void showInformation(std::string_view textUtf8, std::string_view titleUtf8) override;

private:
    Process& process_;
};

}  // namespace brenvik::sim
