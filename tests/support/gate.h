// A gate a server's handler waits at, so a test decides when (or whether) a
// response goes out: a server that never answers while the test runs.
//
//   testsupport::Gate gate;   // declared after the server: it opens first as they go
//   server.fallback([&](const Request&) { gate.pass(); return Response::ok(page); });
#pragma once

#include <condition_variable>
#include <mutex>

namespace testsupport {

class Gate {
  public:
    // Opens, then waits for every thread still inside pass() to leave it: a
    // waiter woken by the open reads the gate once more after it wakes.
    ~Gate() {
        open();
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return inside_ == 0; });
    }
    void open() {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    // Blocks until the gate is open.
    void pass() {
        std::unique_lock lock(mutex_);
        ++inside_;
        changed_.wait(lock, [this] { return open_; });
        --inside_;
        if (inside_ == 0) changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int inside_ = 0;  // threads in pass()
};

}  // namespace testsupport
