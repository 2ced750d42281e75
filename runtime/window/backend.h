// The seam between the runtime and what shows the window. The runtime's models
// hold all state; a backend shows them, owns the message queue and turns user
// input into calls of Runtime's user* methods (which raise the events). Every
// call here is made on the GUI thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "runtime/values/value.h"
#include "runtime/window/control.h"
#include "runtime/window/unit_types.h"

namespace rt {

class Runtime;

class Backend {
  public:
    using Clock = std::chrono::steady_clock;
    virtual ~Backend() = default;

    // The runtime registers itself once, from its constructor, and detaches in
    // its destructor; input is delivered to the attached runtime only.
    virtual void attach(Runtime& runtime) = 0;
    virtual void detach() = 0;

    // Display sync. These report changes the runtime has already made (by the
    // program or by input); a backend must never turn them back into input.
    virtual void controlCreated(const Control& control) = 0;
    virtual void controlChanged(const Control& control, Change what) = 0;
    virtual void focusChanged(std::optional<ControlRef> focus) = 0;
    virtual void windowDestroyed(std::uint32_t windowId) = 0;

    // Message queue. processPendingMessages dispatches queued messages until
    // the queue is empty or the next one is the quit message, which stays.
    virtual void postQuit(int exitCode) = 0;
    virtual void processPendingMessages() = 0;
    // Dispatches until the quit message and returns its exit code. nullopt:
    // the queue ran dry for good (only a backend without a user can say so).
    virtual std::optional<int> runLoop() = 0;

    // Monotonic time (a fake clock may stand in for it).
    virtual Clock::time_point now() = 0;
    // Blocks until a message is queued (true) or the deadline passes (false).
    // A queued quit message does not count: nothing behind it is dispatched.
    virtual bool waitForMessage(Clock::time_point deadline) = 0;

    // Waits for work another thread does (a page download): dispatches what
    // is not user input (paints, moves, resizes, timers, a window's close)
    // until `finished()` holds (true) or a window has been destroyed
    // meanwhile (false; a queued quit message counts). User input that
    // arrives is held and stays queued, in order, for the next dispatch
    // after the wait, as if the thread had been blocked. `finished` is called
    // on the GUI thread; the other thread calls wake() whenever it may have
    // changed. The pointer shows busy while the wait lasts.
    virtual bool waitForWork(const std::function<bool()>& finished) = 0;
    // Any thread: makes a running or the next waitForWork look at `finished`.
    virtual void wake() = 0;

    // Runs `tick` once with the attached runtime, dispatched like a message,
    // once `due` has come. A timer alone does not keep a loop or a wait
    // without deadline going, is not run past a queued quit message, and is
    // dropped when the runtime detaches.
    virtual void postTimer(Clock::time_point due, std::function<void(Runtime&)> tick) = 0;

    // Shows the fatal report (GBK) and returns once the user has seen it.
    virtual void showFatalReport(const Text& report) = 0;
};

}  // namespace rt
