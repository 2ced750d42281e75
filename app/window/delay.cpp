#include "app/window/delay.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "skin/waitable_timers.h"

namespace app {

std::int64_t delayUnitMilliseconds(std::int32_t timeUnit) {
    switch (timeUnit) {
        case 0: return 1;
        case 1: return 1000;
        case 2: return 60000;
        case 3: return 3600000;
        default: return timeUnit;
    }
}

std::int64_t delayDueTime(std::optional<std::int32_t> amount,
                          std::optional<std::int32_t> timeUnit) {
    const double due =
        double(amount.value_or(0)) * double(delayUnitMilliseconds(timeUnit.value_or(0))) * -10000.0;
    constexpr double limit = 9223372036854775807.0;  // 2^63: the first value past the range
    if (due >= limit) return std::numeric_limits<std::int64_t>::max();
    if (due <= -limit) return std::numeric_limits<std::int64_t>::min();
    return std::int64_t(due);  // truncates toward zero
}

bool delay(skin::Declarations& declarations, const std::function<void()>& processPendingMessages,
           std::optional<std::int32_t> amount, std::optional<std::int32_t> timeUnit) {
    using skin::Decl;
    // The due time and the handle array are passed by address, so they live
    // in guest memory for the call (released last-in first-out when nested).
    skin::GuestSpace::Scratch buffer = declarations.space().scratch(12);
    if (!buffer) return true;
    const std::int64_t due = delayDueTime(amount, timeUnit);
    std::memcpy(buffer.data(), &due, 8);
    const skin::GuestAddress dueAddress = buffer.address(), handleAddress = buffer.address() + 8;

    const std::uint32_t timer = declarations.call(Decl::CreateWaitableTimerA, {0, 0, 0});
    declarations.call(Decl::SetWaitableTimer, {timer, dueAddress, 0, 0, 0, 0});
    std::memcpy(buffer.data() + 8, &timer, 4);
    for (;;) {
        const std::uint32_t r = declarations.call(Decl::MsgWaitForMultipleObjects,
                                                  {1, handleAddress, 0, skin::kInfinite, 0xFF});
        if (r == skin::kWaitObject0 || r == skin::kWaitFailed) break;
        if (processPendingMessages) processPendingMessages();
    }
    declarations.call(Decl::CloseHandle, {timer});
    return true;
}

}  // namespace app
