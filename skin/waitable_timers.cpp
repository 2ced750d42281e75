#include "skin/waitable_timers.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace skin {

namespace {
constexpr std::size_t kMaximumHandles = 63;  // MAXIMUM_WAIT_OBJECTS less the message queue
constexpr int kEarlyWakeLimit = 1000;
// A message wake quicker than this did not wait at all.
constexpr auto kAtOnce = std::chrono::milliseconds(1);
// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000;
}  // namespace

std::uint32_t WaitableTimers::create(bool manualReset) {
    std::uint32_t h = nextHandle_;
    nextHandle_ += 4;
    timers_[h].manualReset = manualReset;
    return h;
}

bool WaitableTimers::set(std::uint32_t handle, std::int64_t dueTime, std::int32_t periodMs) {
    auto it = timers_.find(handle);
    if (it == timers_.end()) return false;
    using std::chrono::duration_cast;
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    TimePoint now = env_.now();
    Ticks fromNow{0};
    if (dueTime < 0) {
        fromNow = Ticks(dueTime == INT64_MIN ? INT64_MAX : -dueTime);
    } else {
        auto wall =
            duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count() +
            kFileTimeUnixEpoch;
        fromNow = Ticks(std::max<std::int64_t>(0, dueTime - wall));
    }
    Timer& t = it->second;
    // Saturate far-away due times instead of overflowing the clock.
    auto room = duration_cast<Ticks>(TimePoint::max() - now);
    t.due = fromNow >= room ? TimePoint::max() : now + duration_cast<TimePoint::duration>(fromNow);
    t.armed = true;
    t.signalled = false;
    t.periodMs = std::max(0, periodMs);
    return true;
}

bool WaitableTimers::close(std::uint32_t handle) {
    return timers_.erase(handle) != 0;
}

void WaitableTimers::update(Timer& t, TimePoint now) {
    if (t.armed && t.due != TimePoint::max() && now >= t.due) {
        t.signalled = true;
        if (t.periodMs > 0) {
            const auto period = std::chrono::duration_cast<TimePoint::duration>(
                std::chrono::milliseconds(t.periodMs));
            t.due += period * ((now - t.due) / period + 1);  // the next period after now
        } else {
            t.armed = false;
        }
    }
}

void WaitableTimers::consume(Timer& t) {
    if (!t.manualReset) t.signalled = false;
}

std::uint32_t WaitableTimers::waitWithMessages(std::span<const std::uint32_t> handles, bool waitAll,
                                               std::uint32_t timeoutMs) {
    if (handles.size() > kMaximumHandles) return kWaitFailed;
    std::vector<Timer*> ts;
    for (std::uint32_t h : handles) {
        auto it = timers_.find(h);
        if (it == timers_.end()) return kWaitFailed;
        ts.push_back(&it->second);
    }
    const TimePoint start = env_.now();
    const TimePoint timeoutAt =
        timeoutMs == kInfinite ? TimePoint::max() : start + std::chrono::milliseconds(timeoutMs);
    int earlyWakes = 0;
    // Only at-once message wakes in a row count as stuck; a wait that ends
    // any other way breaks the row.
    auto endedWaiting = [this](std::uint32_t result) {
        staleMessageWakes_ = 0;
        return result;
    };
    for (;;) {
        TimePoint now = env_.now();
        for (Timer* t : ts) update(*t, now);
        if (!ts.empty()) {
            if (waitAll) {
                if (std::all_of(ts.begin(), ts.end(), [](Timer* t) { return t->signalled; })) {
                    for (Timer* t : ts) consume(*t);
                    return endedWaiting(kWaitObject0);
                }
            } else {
                for (std::size_t i = 0; i < ts.size(); ++i)
                    if (ts[i]->signalled) {
                        consume(*ts[i]);
                        return endedWaiting(kWaitObject0 + std::uint32_t(i));
                    }
            }
        }
        if (now >= timeoutAt) return endedWaiting(kWaitTimeout);
        TimePoint deadline = timeoutAt;
        for (Timer* t : ts)
            if (t->armed) deadline = std::min(deadline, t->due);
        const TimePoint before = env_.now();
        if (env_.waitForMessage(deadline)) {
            // Woken at once, call after call: a message that processing
            // leaves queued. The clock may stand still or keep moving (a real
            // one), so only the wait's own length tells.
            if (env_.now() - before < kAtOnce) {
                if (++staleMessageWakes_ > kEarlyWakeLimit) {
                    staleMessageWakes_ = 0;
                    return kWaitFailed;
                }
            } else {
                staleMessageWakes_ = 0;
            }
            return kWaitObject0 + std::uint32_t(handles.size());
        }
        staleMessageWakes_ = 0;
        // Nothing can end a wait without deadline, and an environment that
        // keeps waking early must not turn this into a spin.
        if (deadline == TimePoint::max()) return kWaitFailed;
        if (env_.now() < deadline && ++earlyWakes > kEarlyWakeLimit) return kWaitFailed;
    }
}

}  // namespace skin
