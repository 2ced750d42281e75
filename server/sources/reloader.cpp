#include "server/sources/reloader.h"

namespace epg {

Reloader::Reloader(ListingSources& sources, std::chrono::seconds period, Publish publish)
    : sources_(sources), period_(period), publish_(std::move(publish)) {}

Reloader::~Reloader() {
    stop(std::chrono::milliseconds::max());
}

void Reloader::start() {
    std::lock_guard lock(mutex_);
    if (!worker_.joinable() && !stopping_) worker_ = std::thread([this] { work(); });
}

void Reloader::requestReload() {
    {
        std::lock_guard lock(mutex_);
        reloadPending_ = true;
    }
    wake_.notify_one();
}

bool Reloader::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    sources_.cancel();
    wake_.notify_one();
    std::unique_lock lock(mutex_);
    if (!worker_.joinable()) return true;
    bool ended = grace == std::chrono::milliseconds::max()
                     ? (ended_.wait(lock, [this] { return done_; }), true)
                     : ended_.wait_for(lock, grace, [this] { return done_; });
    if (!ended) return false;
    lock.unlock();
    worker_.join();
    return true;
}

std::size_t Reloader::runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

void Reloader::work() {
    using SteadyClock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    auto next = SteadyClock::now() + period_;
    while (!stopping_) {
        const bool reload = reloadPending_;
        const bool due = period_.count() > 0 && SteadyClock::now() >= next;
        if (reload || due) {
            reloadPending_ = false;
            lock.unlock();
            auto mode = reload ? ListingSources::Mode::Everything : ListingSources::Mode::IfChanged;
            auto listings = sources_.refresh(mode);
            const bool swapped = listings != nullptr;
            publish_(std::move(listings), sources_.health());
            // The parse's leftovers, and the old listings unless a request
            // still holds them.
            if (swapped) returnFreedMemory();
            lock.lock();
            ++runs_;
            next = SteadyClock::now() + period_;
            continue;
        }
        if (period_.count() > 0)
            wake_.wait_until(lock, next);
        else
            wake_.wait(lock);
    }
    done_ = true;
    ended_.notify_all();
}

}  // namespace epg
