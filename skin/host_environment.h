// What the system-library layer needs from the program around it: a clock and
// a way to sleep until a window message arrives. The runtime's backend has
// both; tests supply a fake clock and a scripted message source.
#pragma once

#include <chrono>

namespace skin {

class HostEnvironment {
  public:
    using Clock = std::chrono::steady_clock;
    virtual ~HostEnvironment() = default;
    virtual Clock::time_point now() = 0;
    // Returns true as soon as a window message is queued (at once when one
    // already is), false once `deadline` has passed without one.
    // Clock::time_point::max() means no deadline.
    virtual bool waitForMessage(Clock::time_point deadline) = 0;
};

}  // namespace skin
