// Day pages of many channels, fetched on worker threads and held as
// programme records for the queries (now and next, search).
//
//   app::schedule::ScheduleStore store({root}, zone, makeFetch);  // zone: base::Zone
//   store.request(pages, nowUnix, [&](std::shared_ptr<const ChannelDay> d) {
//       postToGuiThread([d] { showNowNext(*d); });   // runs on a worker thread
//   });
//   ... later, on the GUI thread: searchTitles(store.held(), fragment);
//   store.cancel();                                  // at shutdown: no call after this
//
// Where the root answers the players' JSON (epginfo?ch=NAME&date=DATE, see
// player_day.h) a catalogue channel's day comes from it, with ends and
// details; otherwise, and for the rest of the store's life once the root has
// given one answer that is no such JSON, from its day page W<day>.htm.
//
// At most `parallel` pages are fetched at a time. A page fetched whole within
// `reuseFor` of a request, for the same week, is delivered again without
// fetching; a page asked for while it is already being fetched waits for that
// fetch. request() never waits for the network.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include "app/schedule/channel_day.h"
#include "app/schedule/page_zone.h"
#include "app/schedule/week_schedule.h"
#include "runtime/values/value.h"

namespace app::schedule {

enum class PageSource { Fetched, OfflineCopy, Failed };

struct FetchedPage {
    rt::Bytes body;  // parsed whatever its source, as the day list parses it
    PageSource source = PageSource::Failed;
};

// Fetches one URL, a day page or a players' JSON answer (Fetched only for
// the whole body of a 2xx answer); should return early (anything) once
// `stop` is requested.
using FetchPage = std::function<FetchedPage(const rt::Text& url, std::stop_token stop)>;

struct StoreOptions {
    rt::Text root;  // the EPG root, ending in "/"
    int parallel = 4;
    std::chrono::seconds reuseFor{300};
};

class ScheduleStore {
  public:
    using OnPage = std::function<void(std::shared_ptr<const ChannelDay>)>;

    // `makeFetch` runs once on each worker thread, concurrently, and gives
    // that thread the fetch it alone uses.
    ScheduleStore(StoreOptions options, base::Zone zone, std::function<FetchPage()> makeFetch);
    // Cancels, then waits for the fetches in progress to return.
    ~ScheduleStore();
    ScheduleStore(const ScheduleStore&) = delete;
    ScheduleStore& operator=(const ScheduleStore&) = delete;

    // Each page of `pages` (days 1..7) comes to `onPage` once, on a worker
    // thread, one call at a time; `onPage` must neither throw nor call the
    // store. `now` (Unix seconds, the caller's clock) picks the week the
    // pages' dates are in and ages the held pages.
    void request(const std::vector<PageKey>& pages, std::int64_t now, OnPage onPage);

    // Drops every queued page and asks the fetches in progress to stop. Once
    // it returns no `onPage` of an earlier request runs. Later requests work.
    void cancel();

    // The days parsed so far, the newest of each page.
    WeekSchedule held() const;

  private:
    struct State;
    void work();

    std::unique_ptr<State> state_;
};

}  // namespace app::schedule
