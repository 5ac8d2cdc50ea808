// The pause: a plain sleep that processes no messages.
#pragma once

namespace brenvik {

class Pause {
public:
    virtual ~Pause() = default;
    // Sleeps `ms` milliseconds (Sleep). Dispatches nothing. 0 or less returns at once.
    virtual void sleep(int ms) = 0;
};

}  // namespace brenvik
