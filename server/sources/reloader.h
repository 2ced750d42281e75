// Reads the listings again off every other thread. Each source keeps its own
// schedule (a refresh a period after its last attempt ended) and is read by
// one of a few workers, so that a slow or hanging source delays none of the
// others; a coordinator folds what the workers bring into the listings and
// hands new ones to `publish`. Requests never block and coalesce: however
// many reloads are asked while a source is being read, it is read once more
// at most.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "server/sources/listing_sources.h"

namespace epg {

class Reloader {
  public:
    // New listings, on the coordinator's thread.
    using Publish = std::function<void(std::shared_ptr<const Listings> listings)>;
    // At most this many sources are read at once.
    static constexpr std::size_t kParallel = 4;

    // period 0: no periodic refresh.
    Reloader(ListingSources& sources, std::chrono::seconds period, Publish publish,
             std::size_t parallel = kParallel);
    ~Reloader();  // stops and waits for the threads
    Reloader(const Reloader&) = delete;
    Reloader& operator=(const Reloader&) = delete;

    enum class First {
        AfterPeriod,     // every source is next read a period from now
        FetchUrls,       // URLs at once (the start-up served their last good copies)
        CopiesThenUrls,  // each URL's last good copy read at once, then the URL fetched
    };
    // `settled`, when given, is called once every source serves something or
    // has had its first read or fetch end (see ListingSources::settled()).
    void start(First first = First::AfterPeriod, std::function<void()> settled = {});
    void requestReload();
    // Asks the threads to end, cancelling transfers and reads under way, and
    // waits up to `grace`; false when one is still busy then (folding in).
    bool stop(std::chrono::milliseconds grace);
    // Attempts folded in so far.
    std::size_t runs() const;

  private:
    using SteadyClock = std::chrono::steady_clock;
    struct Schedule {
        bool running = false;
        std::optional<ListingSources::Mode> pending;
        SteadyClock::time_point next;
    };
    void work();
    void coordinate();
    void ended();

    ListingSources& sources_;
    const std::chrono::seconds period_;
    Publish publish_;
    const std::size_t parallel_;
    mutable std::mutex mutex_;  // guards what follows
    std::condition_variable work_, coordinator_, ended_;
    std::vector<Schedule> schedule_;
    std::vector<ListingSources::Attempt> finished_;
    bool mapReload_ = false;
    SteadyClock::time_point mapCheck_;
    std::size_t nextPick_ = 0;  // where workers start looking, in turn
    bool stopping_ = false;
    std::size_t running_ = 0;  // threads not yet ended
    std::size_t runs_ = 0;
    std::vector<std::thread> threads_;
    std::function<void()> settled_;  // until called
};

}  // namespace epg
