// A backend without a display, for tests and the probe program: its own
// message queue, an optional fake clock, messages that become due at a clock
// time, and synthetic user input.
//
// With the fake clock, waitForMessage does not sleep: it moves the clock to the
// next scheduled message or to the deadline. So a click scheduled at
// start + 100 ms arrives inside a 500 ms pause at once and deterministically.
// A wait without deadline and nothing scheduled returns false at once, since
// no user can queue anything meanwhile; timers alone do not count.
//
// Messages are input (clicks, keys: what post() queues unless told
// otherwise), a window's close, or timers. A wait for another thread's work
// dispatches only closes and timers that are due and leaves input queued; it
// takes no time on the fake clock, as a blocking call would not.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/window/backend.h"

namespace rt {

class HeadlessBackend : public Backend {
  public:
    struct Options {
        bool fakeClock = true;
        Clock::time_point start{};   // the fake clock's first reading
        bool recordChanges = false;  // keep a log of display notifications
    };
    using Action = std::function<void(Runtime&)>;
    using When = std::optional<Clock::time_point>;  // nullopt: queued now
    enum class Kind { Input, Close, Timer };

    HeadlessBackend() : HeadlessBackend(Options{}) {}
    explicit HeadlessBackend(Options options);

    // Synthetic input; each is one queued message.
    void postMousePress(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys = 0,
                        When at = {});
    void postRowClick(ControlRef list, std::int32_t row, When at = {});
    void postKey(ControlRef ref, std::int32_t keyCode, When at = {});  // e.g. kKeyUp, kKeyHome
    void postHeaderClick(ControlRef bar, std::int32_t group, When at = {});
    void postClose(std::uint32_t windowId, When at = {});
    void post(Action action, When at = {}, Kind kind = Kind::Input);

    static constexpr std::int32_t kKeyPageUp = 0x21;
    static constexpr std::int32_t kKeyPageDown = 0x22;
    static constexpr std::int32_t kKeyEnd = 0x23;
    static constexpr std::int32_t kKeyHome = 0x24;
    static constexpr std::int32_t kKeyUp = 0x26;
    static constexpr std::int32_t kKeyDown = 0x28;

    // Moves the fake clock on (messages falling due become queued).
    void advance(Clock::duration d) { clock_ += d; }
    std::size_t queuedCount() const;  // due messages, the quit message included
    bool quitQueued() const;
    struct ChangeRecord {
        ControlRef ref;
        Change what;
    };
    const std::vector<ChangeRecord>& changes() const { return changes_; }
    std::size_t createdCount() const { return created_; }

    // Backend
    void attach(Runtime& runtime) override { runtime_ = &runtime; }
    void detach() override { runtime_ = nullptr; }
    void controlCreated(const Control&) override { ++created_; }
    void controlChanged(const Control& c, Change what) override;
    void focusChanged(std::optional<ControlRef>) override {}
    void windowDestroyed(std::uint32_t) override { ++windowsDestroyed_; }
    void postQuit(int exitCode) override;
    void processPendingMessages() override;
    std::optional<int> runLoop() override;
    Clock::time_point now() override;
    bool waitForMessage(Clock::time_point deadline) override;
    bool waitForWork(const std::function<bool()>& finished) override;
    void wake() override;
    void postTimer(Clock::time_point due, std::function<void(Runtime&)> tick) override;
    void showFatalReport(const Text& report) override;  // to stderr, as UTF-8

  private:
    struct Message {
        Clock::time_point due;
        std::uint64_t seq = 0;
        std::optional<int> quitCode;  // set: the quit message
        Action action;
        Kind kind = Kind::Input;  // a timer does not keep the queue from running dry
    };
    void enqueue(Message m);
    // Index of the next due message, if any; input only when `passInput`.
    std::optional<std::size_t> nextDue(bool passInput = true);
    std::optional<Clock::time_point> nextScheduled(bool timers = true) const;
    void sleepUntil(Clock::time_point t);

    Options options_;
    Clock::time_point clock_;
    std::vector<Message> queue_;
    std::uint64_t seq_ = 0;
    Runtime* runtime_ = nullptr;
    std::vector<ChangeRecord> changes_;
    std::size_t created_ = 0;
    std::uint64_t windowsDestroyed_ = 0;
    std::mutex wakeMutex_;  // wake() is the one call made from other threads
    std::condition_variable wakeCondition_;
    bool woken_ = false;
};

}  // namespace rt
