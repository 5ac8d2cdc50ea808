// Message boxes on the simulated desktop.
#include "platform/sim/message_boxes.h"

namespace brenvik::sim {

void SimMessageBoxes::showInformation(std::string_view, std::string_view)
{
    process_.fatalError("simulated desktop: message boxes are not built yet");
}

}  // namespace brenvik::sim
