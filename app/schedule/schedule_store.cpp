#include "app/schedule/schedule_store.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "app/schedule/catalogue_place.h"
#include "app/schedule/player_day.h"
#include "app/schedule/schedule_parse.h"
#include "runtime/values/conversions.h"

namespace app::schedule {

namespace {

struct Waiter {
    std::uint64_t generation = 0;
    std::shared_ptr<const ScheduleStore::OnPage> onPage;
};

struct Job {
    PageKey key;
    base::Date date;
    std::int64_t requestedAt = 0;
    std::shared_ptr<const ChannelDay> ready;  // set: deliver this, fetch nothing
    std::vector<Waiter> waiters;
};

struct Held {
    std::shared_ptr<const ChannelDay> day;
    std::int64_t fetchedAt = 0;
    PageSource source = PageSource::Failed;
};

}  // namespace

struct ScheduleStore::State {
    StoreOptions options;
    std::optional<base::Zone> zone;
    std::function<FetchPage()> makeFetch;

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<Job>> queue;
    std::map<PageKey, std::shared_ptr<Job>> pending;  // queued or being fetched
    std::map<PageKey, Held> held;
    std::stop_source stop;  // of the fetches since the last cancel
    bool closing = false;
    // Cleared by the first answer that is no players' JSON: from then on
    // only day pages are asked for, not two addresses for every page.
    std::atomic<bool> rootHasJson{true};

    // Bumped by cancel: deliveries of an older generation are dropped.
    std::atomic<std::uint64_t> generation{0};
    // Held while an onPage runs, so cancel can wait one out.
    std::mutex delivering;

    std::vector<std::thread> workers;
};

namespace {

bool reusable(const Held& held, base::Date date, std::int64_t now, std::chrono::seconds reuseFor) {
    const std::int64_t age = now - held.fetchedAt;
    return held.source == PageSource::Fetched && held.day->date == date && age >= 0 &&
           age < reuseFor.count();
}

// Where a worker fetches from, and what it has learnt of the root.
struct Where {
    const rt::Text& root;
    const base::Zone& zone;
    std::atomic<bool>& rootHasJson;
};

FetchedPage fetchOrNothing(const FetchPage& fetch, const rt::Text& url, std::stop_token stop) {
    try {
        if (fetch) return fetch(url, std::move(stop));
    } catch (...) {
        // A fetch that cannot hold the body has nothing to show; the day
        // stays empty and is fetched again on the next request.
    }
    return {};
}

// The players' JSON of the day where the root answers it, for the ends and
// details the day pages lack; nothing where it does not (and the root is
// then known to have none) or the channel has no catalogue name to ask by.
std::shared_ptr<const ChannelDay> fetchPlayerDay(const FetchPage& fetch, const Where& where,
                                                 const Job& job, std::stop_token stop) {
    if (!findInCatalogue(job.key.channel) || !where.rootHasJson.load()) return nullptr;
    const FetchedPage answer =
        fetchOrNothing(fetch, playerDayUrl(where.root, job.key.channel, job.date), stop);
    if (stop.stop_requested()) return nullptr;
    std::optional<ChannelDay> day;
    if (answer.source == PageSource::Fetched)
        day = playerDay(
            std::string_view(reinterpret_cast<const char*>(answer.body.data()), answer.body.size()),
            job.key.channel, job.key.day, job.date, where.zone);
    if (!day) {
        where.rootHasJson = false;
        return nullptr;
    }
    return std::make_shared<const ChannelDay>(std::move(*day));
}

std::shared_ptr<const ChannelDay> fetchDay(const FetchPage& fetch, const Where& where,
                                           const Job& job, std::stop_token stop,
                                           PageSource& source) {
    if (auto day = fetchPlayerDay(fetch, where, job, stop)) {
        source = PageSource::Fetched;
        return day;
    }
    const rt::Text url =
        where.root + job.key.channel + "W" + rt::toText(std::int32_t{job.key.day}) + ".htm";
    const FetchedPage page = fetchOrNothing(fetch, url, std::move(stop));
    source = page.source;
    const std::vector<ScheduleRow> rows = parseSchedule(pageText(page.body));
    return std::make_shared<const ChannelDay>(
        makeChannelDay(job.key.channel, job.key.day, job.date, rows, where.zone));
}

}  // namespace

ScheduleStore::ScheduleStore(StoreOptions options, base::Zone zone,
                             std::function<FetchPage()> makeFetch)
    : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    state_->zone = std::move(zone);
    state_->makeFetch = std::move(makeFetch);
    const int workers = std::max(1, state_->options.parallel);
    try {
        for (int i = 0; i < workers; ++i) state_->workers.emplace_back([this] { work(); });
    } catch (...) {
        {
            std::lock_guard lock(state_->mutex);
            state_->closing = true;
        }
        state_->wake.notify_all();
        for (auto& t : state_->workers) t.join();
        throw;
    }
}

ScheduleStore::~ScheduleStore() {
    cancel();
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
    }
    state_->wake.notify_all();
    for (auto& t : state_->workers) t.join();
}

void ScheduleStore::request(const std::vector<PageKey>& pages, std::int64_t now, OnPage onPage) {
    State& s = *state_;
    const auto shared = std::make_shared<const OnPage>(std::move(onPage));
    std::vector<std::shared_ptr<Job>> ready;
    {
        std::lock_guard lock(s.mutex);
        const Waiter waiter{s.generation.load(), shared};
        for (const PageKey& key : pages) {
            const base::Date date = dateOfDayThisWeek(*s.zone, now, key.day);
            if (auto h = s.held.find(key);
                h != s.held.end() && reusable(h->second, date, now, s.options.reuseFor)) {
                ready.push_back(
                    std::make_shared<Job>(Job{key, date, now, h->second.day, {waiter}}));
                continue;
            }
            auto& job = s.pending[key];
            if (!job) {
                job = std::make_shared<Job>(Job{key, date, now, nullptr, {}});
                s.queue.push_back(job);
            }
            job->waiters.push_back(waiter);
        }
        // Held pages go first: they cost no fetch.
        s.queue.insert(s.queue.begin(), ready.begin(), ready.end());
    }
    s.wake.notify_all();
}

void ScheduleStore::cancel() {
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        ++s.generation;
        s.queue.clear();
        s.pending.clear();
        s.stop.request_stop();
        s.stop = std::stop_source();
    }
    // A delivery that read the old generation finishes before this returns.
    std::lock_guard wait(s.delivering);
}

WeekSchedule ScheduleStore::held() const {
    WeekSchedule week;
    std::lock_guard lock(state_->mutex);
    for (const auto& [key, held] : state_->held) week.put(held.day);
    return week;
}

void ScheduleStore::work() {
    State& s = *state_;
    FetchPage fetch;
    try {
        if (s.makeFetch) fetch = s.makeFetch();
    } catch (...) {
        // Without a fetch of its own the worker still serves its share of the
        // queue: every page it takes comes out failed and empty.
    }
    for (;;) {
        std::shared_ptr<Job> job;
        std::stop_token stop;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&] { return s.closing || !s.queue.empty(); });
            if (s.closing) return;
            job = std::move(s.queue.front());
            s.queue.pop_front();
            stop = s.stop.get_token();
        }
        std::shared_ptr<const ChannelDay> day = job->ready;
        std::vector<Waiter> waiters;
        if (!day) {
            PageSource source = PageSource::Failed;
            day = fetchDay(fetch, {s.options.root, *s.zone, s.rootHasJson}, *job, std::move(stop),
                           source);
            std::lock_guard lock(s.mutex);
            s.held[job->key] = Held{day, job->requestedAt, source};
            if (auto p = s.pending.find(job->key); p != s.pending.end() && p->second == job)
                s.pending.erase(p);
            waiters = std::move(job->waiters);
        } else {
            std::lock_guard lock(s.mutex);
            waiters = std::move(job->waiters);
        }
        std::lock_guard delivering(s.delivering);
        for (const Waiter& w : waiters)
            if (w.generation == s.generation.load()) (*w.onPage)(day);
    }
}

}  // namespace app::schedule
