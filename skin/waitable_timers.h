// Waitable timers and the message wait of the library layer, on the clock and
// message source of a HostEnvironment. Handles are small non-zero numbers.
#pragma once

#include <cstdint>
#include <map>
#include <span>

#include "skin/host_environment.h"

namespace skin {

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 0x102;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

class WaitableTimers {
  public:
    explicit WaitableTimers(HostEnvironment& env) : env_(env) {}

    std::uint32_t create(bool manualReset);
    // `dueTime` in 100 ns units: negative is relative to now, otherwise an
    // absolute UTC time counted from 1601 (as FILETIME). `periodMs` > 0
    // re-arms the timer each time it fires. False for an unknown handle.
    bool set(std::uint32_t handle, std::int64_t dueTime, std::int32_t periodMs);
    bool close(std::uint32_t handle);
    bool exists(std::uint32_t handle) const { return timers_.count(handle) != 0; }

    // MsgWaitForMultipleObjects over timer handles: the index of the
    // signalled timer (an auto-reset timer is reset by it), `handles.size()`
    // when a message is queued, kWaitTimeout, or kWaitFailed for an unknown
    // handle, too many handles, or a wait that nothing could ever end. Any
    // queued message wakes it, whatever the wake mask says. A message that
    // keeps waking the wait at once, call after call (one that message
    // processing leaves queued, like the quit message) ends it with
    // kWaitFailed after a while rather than spinning, whether the clock stands
    // still or moves.
    std::uint32_t waitWithMessages(std::span<const std::uint32_t> handles, bool waitAll,
                                   std::uint32_t timeoutMs);

  private:
    using TimePoint = HostEnvironment::Clock::time_point;
    struct Timer {
        bool manualReset = false;
        bool armed = false;
        bool signalled = false;
        TimePoint due{};
        std::int32_t periodMs = 0;
    };
    void update(Timer& t, TimePoint now);
    void consume(Timer& t);

    HostEnvironment& env_;
    std::map<std::uint32_t, Timer> timers_;
    std::uint32_t nextHandle_ = 0x100;
    int staleMessageWakes_ = 0;
};

}  // namespace skin
