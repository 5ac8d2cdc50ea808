// Message boxes, shown through the wide API so the program's texts are legible
// whatever the code page.
#pragma once

#include <string_view>

namespace brenvik {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // An information box with an OK button only and no icon, without owner and
    // task-modal: every window of the program is disabled while it is up, and
    // enabled again as before when it is dismissed. Returns when the user
    // dismisses it. Its own message loop keeps dispatching, so timers keep
    // ticking. A quit message that arrives meanwhile stays queued.
    virtual void showInformation(std::string_view textUtf8, std::string_view titleUtf8) = 0;
};

}  // namespace brenvik
