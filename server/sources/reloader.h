// Re-reads the listings off every other thread: a worker that refreshes what
// changed on a period and reloads everything on request (SIGHUP). Requests
// never block and coalesce: however many arrive while a reload runs, at most
// one more follows it. New listings and the sources' health go to `publish`,
// on the worker.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "server/sources/listing_sources.h"

namespace epg {

class Reloader {
  public:
    // listings: null when those served stay.
    using Publish = std::function<void(std::shared_ptr<const Listings> listings,
                                       const std::vector<SourceHealth>& health)>;
    // period 0: no periodic refresh.
    Reloader(ListingSources& sources, std::chrono::seconds period, Publish publish);
    ~Reloader();  // stops and waits for the worker
    Reloader(const Reloader&) = delete;
    Reloader& operator=(const Reloader&) = delete;

    void start();
    void requestReload();
    // Asks the worker to end, cancelling a transfer under way, and waits up to
    // `grace`; false when it is still busy then (inside a parse).
    bool stop(std::chrono::milliseconds grace);
    // Reloads and refreshes run so far.
    std::size_t runs() const;

  private:
    void work();

    ListingSources& sources_;
    std::chrono::seconds period_;
    Publish publish_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, ended_;
    bool reloadPending_ = false, stopping_ = false, done_ = false;
    std::size_t runs_ = 0;
    std::thread worker_;
};

}  // namespace epg
