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
    ~Gate() { open(); }
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
        changed_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

}  // namespace testsupport
