#include "server/sources/reloader.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace epg {

Reloader::Reloader(ListingSources& sources, std::chrono::seconds period, Publish publish,
                   std::size_t parallel)
    : sources_(sources),
      period_(period),
      publish_(std::move(publish)),
      parallel_(std::max<std::size_t>(1, parallel)),
      schedule_(sources.size()) {}

Reloader::~Reloader() {
    stop(std::chrono::milliseconds::max());
}

void Reloader::start(First first, std::function<void()> settled) {
    std::lock_guard lock(mutex_);
    if (!threads_.empty() || stopping_) return;
    settled_ = std::move(settled);
    const auto now = SteadyClock::now();
    for (std::size_t i = 0; i < schedule_.size(); ++i) {
        schedule_[i].next = now + period_;
        if (first == First::FetchUrls && sources_.isUrl(i))
            schedule_[i].pending = ListingSources::Mode::IfChanged;
        if (first == First::CopiesThenUrls && sources_.readAfterStart(i))
            schedule_[i].pending = ListingSources::Mode::LastCopy;
    }
    mapCheck_ = now + period_;
    const std::size_t workers = std::min(parallel_, schedule_.size());
    running_ = workers + 1;
    for (std::size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { work(); });
    threads_.emplace_back([this] { coordinate(); });
}

void Reloader::requestReload() {
    {
        std::lock_guard lock(mutex_);
        for (Schedule& s : schedule_) s.pending = ListingSources::Mode::Everything;
        mapReload_ = true;
    }
    work_.notify_all();
    coordinator_.notify_one();
}

bool Reloader::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    sources_.cancel();
    work_.notify_all();
    coordinator_.notify_all();
    std::unique_lock lock(mutex_);
    if (threads_.empty()) return true;
    auto done = [this] { return running_ == 0; };
    bool finished = grace == std::chrono::milliseconds::max() ? (ended_.wait(lock, done), true)
                                                              : ended_.wait_for(lock, grace, done);
    if (!finished) return false;
    std::vector<std::thread> threads = std::move(threads_);
    lock.unlock();
    for (auto& t : threads) t.join();
    return true;
}

std::size_t Reloader::runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

void Reloader::ended() {
    --running_;
    ended_.notify_all();
}

// A worker: the next source that is due and not being read, read to its end.
void Reloader::work() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        std::optional<std::size_t> pick;
        for (std::size_t k = 0; k < schedule_.size() && !pick; ++k) {
            std::size_t i = (nextPick_ + k) % schedule_.size();
            if (schedule_[i].pending && !schedule_[i].running) pick = i;
        }
        if (!pick) {
            work_.wait(lock);
            continue;
        }
        nextPick_ = *pick + 1;
        Schedule& s = schedule_[*pick];
        const ListingSources::Mode mode = *s.pending;
        s.pending.reset();
        s.running = true;
        lock.unlock();
        ListingSources::Attempt attempt = sources_.attempt(*pick, mode);
        lock.lock();
        s.running = false;
        s.next = SteadyClock::now() + period_;
        // The copy is served meanwhile; the URL itself comes next.
        if (mode == ListingSources::Mode::LastCopy && !s.pending)
            s.pending = ListingSources::Mode::IfChanged;
        finished_.push_back(std::move(attempt));
        coordinator_.notify_one();
    }
    ended();
}

// The coordinator: sources whose period is up made due, the map looked at,
// ended attempts folded in and new listings published.
void Reloader::coordinate() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = SteadyClock::now();
        std::optional<ListingSources::Mode> map;
        bool due = false;
        if (period_.count() > 0) {
            for (Schedule& s : schedule_)
                if (!s.running && !s.pending && now >= s.next) {
                    s.pending = ListingSources::Mode::IfChanged;
                    due = true;
                }
            if (now >= mapCheck_) {
                map = ListingSources::Mode::IfChanged;
                mapCheck_ = now + period_;
            }
        }
        if (due) work_.notify_all();
        if (std::exchange(mapReload_, false)) map = ListingSources::Mode::Everything;
        if (finished_.empty() && !map) {
            if (period_.count() == 0) {
                coordinator_.wait(lock);
                continue;
            }
            auto wake = mapCheck_;
            for (const Schedule& s : schedule_)
                if (!s.running && !s.pending) wake = std::min(wake, s.next);
            coordinator_.wait_until(lock, wake);
            continue;
        }
        std::vector<ListingSources::Attempt> batch = std::move(finished_);
        finished_.clear();
        lock.unlock();
        const std::size_t n = batch.size();
        if (auto listings = sources_.integrate(std::move(batch), map)) {
            publish_(std::move(listings));
            // The parse's leftovers, and the old listings unless a request
            // still holds them.
            returnFreedMemory();
        }
        if (settled_ && sources_.settled()) std::exchange(settled_, {})();
        lock.lock();
        runs_ += n;
    }
    ended();
}

}  // namespace epg
