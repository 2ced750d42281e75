// A whole week of every catalogue channel through the schedule store, against
// the sample EPG server in this process: four workers, each with a fetcher of
// its own, over HTTP on loopback, each page parsed into records; then a title
// search over that week. Figures only; nothing here is asserted.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/schedule/schedule_store.h"
#include "app/schedule/title_search.h"
#include "catalogue/catalogue.h"
#include "runtime/http/page_fetcher.h"
#include "runtime/values/gbk.h"
#include "server/background.h"

namespace {

using namespace app::schedule;

// The sample server, started once; its first answer waits for its pages.
const rt::Text& sampleRoot() {
    static const rt::Text root = [] {
        static epg::BackgroundStart started =
            epg::startSampleServer("127.0.0.1", 0, *epg::Zone::named("Asia/Shanghai"));
        if (!started.server) {
            std::fprintf(stderr, "bench: no sample server: %s\n", started.error.c_str());
            std::exit(1);
        }
        const rt::Text r = "http://127.0.0.1:" + std::to_string(started.server->port()) + "/";
        rt::PageFetcher warm;
        const auto& first = catalogue::groups()[0].rows[0].path;
        warm.fetchPage(r + std::string(first) + "W1.htm");
        return r;
    }();
    return root;
}

std::vector<PageKey> wholeWeek() {
    std::vector<PageKey> keys;
    for (const auto& group : catalogue::groups())
        for (const auto& row : group.rows)
            for (int day = 1; day <= 7; ++day) keys.push_back({std::string(row.path), day});
    return keys;
}

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct WeekRun {
    WeekSchedule week;
    int complete = 0;
    std::size_t programmes = 0;
};

WeekRun fetchWeek(const std::vector<PageKey>& keys) {
    std::atomic<int> complete{0};
    ScheduleStore store({sampleRoot()}, app::beijingZone(), [&complete]() -> FetchPage {
        auto fetcher = std::make_shared<rt::PageFetcher>();
        return [fetcher, &complete](const rt::Text& url, std::stop_token) {
            rt::FetchResult r = fetcher->fetchPage(url);
            if (r.complete()) ++complete;
            return FetchedPage{std::move(r.body),
                               r.complete() ? PageSource::Fetched : PageSource::Failed};
        };
    });
    std::mutex mutex;
    std::condition_variable done;
    std::size_t delivered = 0;
    std::size_t programmes = 0;
    store.request(keys, unixNow(), [&](std::shared_ptr<const ChannelDay> day) {
        std::lock_guard lock(mutex);
        ++delivered;
        programmes += day->programmes.size();
        done.notify_all();
    });
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return delivered == keys.size(); });
    return {store.held(), complete.load(), programmes};
}

void BM_WeekOfEveryChannel(benchmark::State& state) {
    const auto keys = wholeWeek();
    sampleRoot();
    WeekRun last;
    for (auto _ : state) last = fetchWeek(keys);
    state.counters["pages"] = static_cast<double>(keys.size());
    state.counters["complete"] = last.complete;
    state.counters["programmes"] = static_cast<double>(last.programmes);
}
BENCHMARK(BM_WeekOfEveryChannel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SearchTheWeek(benchmark::State& state) {
    const WeekSchedule week = fetchWeek(wholeWeek()).week;
    const rt::Text fragment = rt::gbk("新闻");
    std::size_t hits = 0;
    for (auto _ : state) {
        auto found = searchTitles(week, fragment);
        hits = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_SearchTheWeek)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
