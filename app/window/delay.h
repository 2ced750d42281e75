// The cooperative delay: waits on a waitable timer of the library layer while
// dispatching window messages, so the window keeps painting and handlers may
// run nested inside the wait.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "skin/declarations.h"

namespace app {

// Milliseconds per unit: 0 ms, 1 s, 2 min, 3 h; any other value is itself the
// number of milliseconds per unit.
std::int64_t delayUnitMilliseconds(std::int32_t timeUnit);
// The timer's due time in 100 ns units: amount × unit × −10000, truncated
// toward zero (saturated at the ends of the 64-bit range).
std::int64_t delayDueTime(std::optional<std::int32_t> amount, std::optional<std::int32_t> timeUnit);

// Waits `amount` units (omitted: 0, which returns at once) through the
// declared CreateWaitableTimerA, SetWaitableTimer, MsgWaitForMultipleObjects
// and CloseHandle, calling `processPendingMessages` whenever the wait is woken
// by a message. Never spins: a failed wait ends the delay. Always true.
bool delay(skin::Declarations& declarations, const std::function<void()>& processPendingMessages,
           std::optional<std::int32_t> amount = std::nullopt,
           std::optional<std::int32_t> timeUnit = std::nullopt);

}  // namespace app
