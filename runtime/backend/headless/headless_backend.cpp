#include "runtime/backend/headless/headless_backend.h"

#include <cstdio>
#include <thread>

#include "runtime/values/gbk.h"
#include "runtime/window/runtime.h"

namespace rt {

HeadlessBackend::HeadlessBackend(Options options) : options_(options), clock_(options.start) {}

Backend::Clock::time_point HeadlessBackend::now() {
    return options_.fakeClock ? clock_ : Clock::now();
}

void HeadlessBackend::enqueue(Message m) {
    m.seq = seq_++;
    queue_.push_back(std::move(m));
}

void HeadlessBackend::post(Action action, When at, Kind kind) {
    enqueue(Message{at.value_or(now()), 0, std::nullopt, std::move(action), kind});
}

void HeadlessBackend::postMousePress(ControlRef ref, std::int32_t x, std::int32_t y,
                                     std::int32_t keys, When at) {
    post([=](Runtime& rt) { rt.userMousePress(ref, x, y, keys); }, at);
}

void HeadlessBackend::postRowClick(ControlRef list, std::int32_t row, When at) {
    post([=](Runtime& rt) { rt.userClickRow(list, row); }, at);
}

void HeadlessBackend::postKey(ControlRef ref, std::int32_t keyCode, When at) {
    post([=](Runtime& rt) { rt.userKey(ref, keyCode); }, at);
}

void HeadlessBackend::postHeaderClick(ControlRef bar, std::int32_t group, When at) {
    post([=](Runtime& rt) { rt.userClickGroupHeader(bar, group); }, at);
}

void HeadlessBackend::postClose(std::uint32_t windowId, When at) {
    post([=](Runtime& rt) { rt.userCloseWindow(windowId); }, at, Kind::Close);
}

void HeadlessBackend::postQuit(int exitCode) {
    enqueue(Message{now(), 0, exitCode, {}});
}

std::optional<std::size_t> HeadlessBackend::nextDue(bool passInput) {
    const auto t = now();
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < queue_.size(); ++i) {
        const Message& m = queue_[i];
        if (m.due > t || (!passInput && m.kind == Kind::Input && !m.quitCode)) continue;
        if (!best || m.due < queue_[*best].due ||
            (m.due == queue_[*best].due && m.seq < queue_[*best].seq))
            best = i;
    }
    return best;
}

std::optional<Backend::Clock::time_point> HeadlessBackend::nextScheduled(bool timers) const {
    std::optional<Clock::time_point> t;
    for (const Message& m : queue_)
        if ((timers || m.kind != Kind::Timer) && (!t || m.due < *t)) t = m.due;
    return t;
}

void HeadlessBackend::postTimer(Clock::time_point due, std::function<void(Runtime&)> tick) {
    enqueue(Message{due, 0, std::nullopt, std::move(tick), Kind::Timer});
}

std::size_t HeadlessBackend::queuedCount() const {
    const auto t = const_cast<HeadlessBackend*>(this)->now();
    std::size_t n = 0;
    for (const Message& m : queue_) n += m.due <= t;
    return n;
}

bool HeadlessBackend::quitQueued() const {
    const auto t = const_cast<HeadlessBackend*>(this)->now();
    for (const Message& m : queue_)
        if (m.quitCode && m.due <= t) return true;
    return false;
}

void HeadlessBackend::processPendingMessages() {
    while (auto i = nextDue()) {
        if (queue_[*i].quitCode) return;  // the quit message stays for the loop
        Action action = std::move(queue_[*i].action);
        queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(*i));
        if (runtime_ && action) action(*runtime_);
    }
}

std::optional<int> HeadlessBackend::runLoop() {
    for (;;) {
        if (auto i = nextDue()) {
            Message m = std::move(queue_[*i]);
            queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(*i));
            if (m.quitCode) return m.quitCode;
            if (runtime_ && m.action) m.action(*runtime_);
            continue;
        }
        // Nothing queued and nobody to queue more: timers alone wait.
        if (!nextScheduled(false)) return std::nullopt;
        sleepUntil(*nextScheduled());
    }
}

void HeadlessBackend::sleepUntil(Clock::time_point t) {
    if (options_.fakeClock) {
        if (t > clock_) clock_ = t;
    } else {
        std::this_thread::sleep_until(t);
    }
}

bool HeadlessBackend::waitForMessage(Clock::time_point deadline) {
    if (auto i = nextDue()) {
        if (!queue_[*i].quitCode) return true;
        // Nothing is dispatched past the quit message: waking for it would
        // only wake the waiter again and again. Let the time pass instead.
        if (deadline != Clock::time_point::max()) sleepUntil(deadline);
        return false;
    }
    // Without deadline only a message can end the wait, never a timer alone.
    auto next = nextScheduled(deadline != Clock::time_point::max());
    if (next && *next <= deadline) {
        sleepUntil(*next);
        return true;
    }
    // Nobody types into a headless backend: with nothing scheduled, a wait
    // without deadline would never end (and the fake clock would run out).
    if (deadline == Clock::time_point::max()) return false;
    sleepUntil(deadline);
    return false;
}

bool HeadlessBackend::waitForWork(const std::function<bool()>& finished) {
    const std::uint64_t destroyedBefore = windowsDestroyed_;
    for (;;) {
        if (finished()) return true;
        if (windowsDestroyed_ != destroyedBefore) return false;
        if (auto i = nextDue(false)) {
            if (queue_[*i].quitCode) return false;  // a window closed before the wait
            Action action = std::move(queue_[*i].action);
            queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(*i));
            if (runtime_ && action) action(*runtime_);
            continue;
        }
        std::unique_lock lock(wakeMutex_);
        std::optional<Clock::time_point> next;
        if (!options_.fakeClock)
            for (const Message& m : queue_)
                if (m.kind != Kind::Input && (!next || m.due < *next)) next = m.due;
        if (next)
            wakeCondition_.wait_until(lock, *next, [this] { return woken_; });
        else
            wakeCondition_.wait(lock, [this] { return woken_; });
        woken_ = false;
    }
}

void HeadlessBackend::wake() {
    {
        const std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeCondition_.notify_all();
}

void HeadlessBackend::controlChanged(const Control& c, Change what) {
    if (options_.recordChanges) changes_.push_back(ChangeRecord{ControlRef{c.window, c.id}, what});
}

void HeadlessBackend::showFatalReport(const Text& report) {
    const std::string text = toUtf8(report);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace rt
