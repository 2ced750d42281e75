// The cooperative delay on a fake clock with scripted messages: its due time,
// the wait, messages dispatched inside it (nested delays too), and that it
// never spins when the wait cannot work.
#include <gtest/gtest.h>

#include <limits>

#include "app/window/delay.h"
#include "tests/skin/fakes.h"

using namespace skin;
using namespace skin_test;

namespace {

TEST(DelayDueTime, UnitsAndTruncation) {
    struct {
        std::optional<std::int32_t> amount, unit;
        std::int64_t due;
    } cases[] = {
        {500, std::nullopt, -5'000'000},
        {2, 1, -20'000'000},
        {1, 3, -36'000'000'000},
        {3, 2, -1'800'000'000},
        {5, 7, -350'000},  // any other unit is milliseconds per unit
        {3, -2, 60'000},   // a negative unit gives an absolute time in the past
        {std::nullopt, std::nullopt, 0},
        {0, 3, 0},
        {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
         std::numeric_limits<std::int64_t>::min()},
        {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
         std::numeric_limits<std::int64_t>::max()},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(app::delayDueTime(cases[i].amount, cases[i].unit), cases[i].due) << "case " << i;
}

struct DelayTest : ::testing::Test {
    // Dispatches every queued message; `onMessage` runs for each.
    std::function<void()> dispatcher() {
        return [this] {
            ++processCalls;
            while (layer.env.queued > 0) {
                --layer.env.queued;
                dispatchedAt.push_back(layer.env.elapsed());
                if (onMessage) onMessage();
            }
        };
    }
    Layer layer;
    int processCalls = 0;
    std::vector<HostEnvironment::Clock::duration> dispatchedAt;
    std::function<void()> onMessage;
};

TEST_F(DelayTest, WaitsItsTimeOnTheClock) {
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 500));
    EXPECT_EQ(layer.env.elapsed(), 500ms);
    EXPECT_EQ(processCalls, 0);
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 2, 1));
    EXPECT_EQ(layer.env.elapsed(), 2500ms);
    EXPECT_FALSE(layer.libraries->timers().exists(0x100)) << "the timer is closed";
}

TEST_F(DelayTest, ZeroOrOmittedReturnsAtOnce) {
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher()));
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 0, 2));
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), -5));
    EXPECT_EQ(layer.env.elapsed(), 0ms);
    EXPECT_EQ(layer.env.waits, 0);
}

TEST_F(DelayTest, MessagesAreDispatchedDuringTheWait) {
    layer.env.messageAt(100ms);
    layer.env.messageAt(300ms);
    layer.env.messageAt(900ms);  // after the delay: stays queued
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 500));
    EXPECT_EQ(dispatchedAt, (std::vector<HostEnvironment::Clock::duration>{100ms, 300ms}));
    EXPECT_EQ(layer.env.elapsed(), 500ms);
    EXPECT_EQ(layer.env.script.size(), 1u);
}

TEST_F(DelayTest, AHandlerMayRunANestedDelay) {
    layer.env.messageAt(100ms);
    layer.env.messageAt(200ms);  // arrives inside the nested delay
    int nested = 0;
    onMessage = [&] {
        if (nested++ == 0) {
            EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 300));
            EXPECT_EQ(layer.env.elapsed(), 400ms);
        }
    };
    EXPECT_TRUE(app::delay(*layer.declarations, dispatcher(), 500));
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(dispatchedAt, (std::vector<HostEnvironment::Clock::duration>{100ms, 200ms}));
    EXPECT_EQ(layer.env.elapsed(), 500ms);
}

TEST_F(DelayTest, AMessageThatStaysQueuedDoesNotMakeItSpin) {
    // Like a quit message that processing leaves in the queue: every wait
    // wakes at once and the clock stands still.
    layer.env.queued = 1;
    auto leaveIt = [this] { ++processCalls; };
    EXPECT_TRUE(app::delay(*layer.declarations, leaveIt, 500));
    EXPECT_LT(processCalls, 2000);
}

TEST_F(DelayTest, EveryDelayWaitsItsTimeThoughEachStartsWithAQueuedMessage) {
    // One message is waiting whenever a delay starts (a repaint, say): the
    // first wait of each delay wakes at once. Those wakes belong to separate
    // delays and must not add up to look like a stuck message.
    for (int i = 1; i <= 1100; ++i) {
        layer.env.queued = 1;
        ASSERT_TRUE(app::delay(*layer.declarations, dispatcher(), 500));
        ASSERT_EQ(layer.env.elapsed(), i * 500ms) << "delay " << i;
    }
}

// An environment whose clock never moves and that never has a message.
struct FrozenEnvironment : HostEnvironment {
    Clock::time_point now() override { return Clock::time_point() + 5h; }
    bool waitForMessage(Clock::time_point) override {
        ++waits;
        return false;
    }
    int waits = 0;
};

// A 500 ms delay over the system-library layer on `env`; returns how often
// it processed messages.
int delay500On(HostEnvironment& env) {
    ThrowingReporter reporter;
    auto space = GuestSpace::create();
    auto libraries = SystemLibraries::create(*space, env);
    Declarations d(*libraries, reporter);
    int processed = 0;
    EXPECT_TRUE(app::delay(
        d, [&] { ++processed; }, 500));
    return processed;
}

TEST(DelayFailures, AWaitThatCannotWorkEndsTheDelay) {
    FrozenEnvironment env;
    EXPECT_EQ(delay500On(env), 0);
    EXPECT_LT(env.waits, 2000);
}

// A real clock keeps moving while a message that processing leaves queued
// (the quit message) wakes every wait at once.
struct StuckMessageEnvironment : HostEnvironment {
    Clock::time_point now() override { return t += 1us; }
    bool waitForMessage(Clock::time_point) override {
        ++waits;
        return true;
    }
    Clock::time_point t = Clock::time_point() + 5h;
    int waits = 0;
};

TEST(DelayFailures, AMessageLeftQueuedOnAMovingClockDoesNotMakeItSpin) {
    StuckMessageEnvironment env;
    EXPECT_LT(delay500On(env), 2000);
    EXPECT_LT(env.waits, 2000);
}

TEST(DelayFailures, AnUnknownTimerHandleFailsTheWaitAtOnce) {
    Layer layer;
    std::uint32_t bogus = 0xDEAD;
    GuestAddress p = layer.put(&bogus, 4);
    EXPECT_EQ(layer.declarations->call(Decl::MsgWaitForMultipleObjects, {1, p, 0, kInfinite, 0xFF}),
              kWaitFailed);
    EXPECT_EQ(layer.declarations->call(Decl::SetWaitableTimer, {bogus, p, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(layer.declarations->call(Decl::CloseHandle, {bogus}), 0u);
    EXPECT_EQ(layer.env.waits, 0);
}

TEST(WaitableTimers, AutoResetPeriodicAndTimeout) {
    FakeEnvironment env;
    WaitableTimers t(env);
    std::uint32_t autoReset = t.create(false), manual = t.create(true);
    const std::uint32_t both[] = {autoReset, manual};
    EXPECT_EQ(t.waitWithMessages(both, false, 50), kWaitTimeout)
        << "not set: only the timeout ends it";
    EXPECT_EQ(env.elapsed(), 50ms);
    ASSERT_TRUE(t.set(autoReset, -1'000'000, 0));  // 100 ms
    ASSERT_TRUE(t.set(manual, -3'000'000, 0));     // 300 ms
    EXPECT_EQ(t.waitWithMessages(both, false, kInfinite), 0u);
    EXPECT_EQ(env.elapsed(), 150ms);
    EXPECT_EQ(t.waitWithMessages(both, false, kInfinite), 1u) << "the auto-reset timer was reset";
    EXPECT_EQ(env.elapsed(), 350ms);
    EXPECT_EQ(t.waitWithMessages(both, false, kInfinite), 1u)
        << "a manual-reset timer stays signalled";
    const std::uint32_t one[] = {autoReset};
    ASSERT_TRUE(t.set(autoReset, -1'000'000, 250));
    EXPECT_EQ(t.waitWithMessages(one, false, kInfinite), 0u);
    EXPECT_EQ(env.elapsed(), 450ms);
    EXPECT_EQ(t.waitWithMessages(one, false, kInfinite), 0u) << "periodic: fires again";
    EXPECT_EQ(env.elapsed(), 700ms);
    env.messageAt(710ms);
    EXPECT_EQ(t.waitWithMessages(one, false, kInfinite), 1u) << "a message wakes it first";
    EXPECT_EQ(env.elapsed(), 710ms);
    EXPECT_EQ(t.waitWithMessages({}, false, kInfinite), 0u) << "no handles: only a message ends it";
    env.queued = 0;
    EXPECT_EQ(t.waitWithMessages({}, false, kInfinite), kWaitFailed) << "nothing could ever end it";
}

}  // namespace
