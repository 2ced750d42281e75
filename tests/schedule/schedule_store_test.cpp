// The background store: at most four fetches at a time, pages reused for
// five minutes, a page being fetched fetched once, and cancel. Run under
// ThreadSanitizer by the test command.
#include "app/schedule/schedule_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "schedule_fixtures.h"

namespace {

using app::schedule::ChannelDay;
using app::schedule::FetchedPage;
using app::schedule::PageKey;
using app::schedule::PageSource;
using app::schedule::ScheduleStore;
using schedule_test::utc;

constexpr auto kPatience = std::chrono::seconds(30);  // only ever reached by a fault

// A fetch that serves one row titled with the URL, held at a gate until the
// test opens it; counts what it sees.
class FakeServer {
  public:
    std::function<app::schedule::FetchPage()> makeFetch() {
        return [this] {
            ++fetchersMade;
            return [this](const rt::Text& url, std::stop_token stop) { return serve(url, stop); };
        };
    }
    void setGate(bool open) {
        std::lock_guard lock(mutex_);
        open_ = open;
        changed_.notify_all();
    }
    void setSource(PageSource source) {
        std::lock_guard lock(mutex_);
        source_ = source;
    }
    bool waitUntilActive(int n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return active_ == n; });
    }
    int active() const {
        std::lock_guard lock(mutex_);
        return active_;
    }
    int most() const {
        std::lock_guard lock(mutex_);
        return most_;
    }
    std::vector<std::string> urls() const {
        std::lock_guard lock(mutex_);
        return urls_;
    }

    std::atomic<int> fetchersMade{0};

  private:
    FetchedPage serve(const rt::Text& url, std::stop_token stop) {
        std::unique_lock lock(mutex_);
        urls_.push_back(url);
        most_ = std::max(most_, ++active_);
        changed_.notify_all();
        changed_.wait(lock, stop, [&] { return open_; });
        --active_;
        changed_.notify_all();
        const std::string page =
            "<div align='center'><div id='e1' >08:00</div><div id='e2' >" + url + "</div></div>";
        return {rt::Bytes(page.begin(), page.end()), source_};
    }

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool open_ = true;
    PageSource source_ = PageSource::Fetched;
    int active_ = 0;
    int most_ = 0;
    std::vector<std::string> urls_;
};

// What the store delivered, in order.
class Sink {
  public:
    ScheduleStore::OnPage onPage() {
        return [this](std::shared_ptr<const ChannelDay> day) {
            std::lock_guard lock(mutex_);
            days_.push_back(std::move(day));
            changed_.notify_all();
        };
    }
    bool waitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return days_.size() >= n; });
    }
    std::vector<std::shared_ptr<const ChannelDay>> days() const {
        std::lock_guard lock(mutex_);
        return days_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<const ChannelDay>> days_;
};

std::vector<PageKey> pages(int channels, int days) {
    std::vector<PageKey> out;
    for (int c = 0; c < channels; ++c)
        for (int d = 1; d <= days; ++d) out.push_back({"ch" + std::to_string(c) + "/", d});
    return out;
}

std::unique_ptr<ScheduleStore> storeOn(FakeServer& server) {
    return std::make_unique<ScheduleStore>(app::schedule::StoreOptions{"http://epg.test/"},
                                           app::beijingZone(), server.makeFetch());
}

const std::int64_t kWednesday = utc("2024-12-11T04:00Z");

TEST(ScheduleStore, FetchesFourAtATimeOnAFetchPerWorker) {
    FakeServer server;
    Sink sink;
    auto store = storeOn(server);
    server.setGate(false);
    store->request(pages(4, 3), kWednesday, sink.onPage());
    ASSERT_TRUE(server.waitUntilActive(4));
    // Time for a fifth fetch to start, were the bound broken.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.active(), 4);
    server.setGate(true);
    ASSERT_TRUE(sink.waitFor(12));
    EXPECT_EQ(server.most(), 4);
    EXPECT_EQ(server.fetchersMade, 4);

    std::set<std::string> urls, titles;
    for (const auto& u : server.urls()) urls.insert(u);
    for (const auto& d : sink.days()) titles.insert(d->programmes.at(0).title);
    EXPECT_EQ(urls.size(), 12u);
    EXPECT_TRUE(urls.count("http://epg.test/ch2/W3.htm"));
    EXPECT_EQ(titles, urls);  // each page parsed into its own records, once
    const auto held = store->held();
    EXPECT_EQ(held.size(), 12u);
    ASSERT_NE(held.find("ch2/", 3), nullptr);
    EXPECT_EQ(held.find("ch2/", 3)->date, schedule_test::ymd(2024, 12, 11));
}

TEST(ScheduleStore, ReusesAWholePageOfTheSameWeekForFiveMinutes) {
    struct Case {
        const char* what;
        const char* first;  // UTC
        int later;          // seconds after the first request
        PageSource source;
        bool fetchedAgain;
    };
    const Case cases[] = {
        {"at once", "2024-12-11T04:00Z", 0, PageSource::Fetched, false},
        {"just within", "2024-12-11T04:00Z", 299, PageSource::Fetched, false},
        {"five minutes on", "2024-12-11T04:00Z", 300, PageSource::Fetched, true},
        {"clock went back", "2024-12-11T04:00Z", -10, PageSource::Fetched, true},
        {"offline copy", "2024-12-11T04:00Z", 10, PageSource::OfflineCopy, true},
        {"failed", "2024-12-11T04:00Z", 10, PageSource::Failed, true},
        {"a new week in Beijing", "2024-12-15T15:58Z", 180, PageSource::Fetched, true},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.setSource(c.source);
        Sink sink;
        auto store = storeOn(server);
        store->request({{"ch/", 1}}, utc(c.first), sink.onPage());
        ASSERT_TRUE(sink.waitFor(1)) << c.what;
        store->request({{"ch/", 1}}, utc(c.first) + c.later, sink.onPage());
        ASSERT_TRUE(sink.waitFor(2)) << c.what;
        EXPECT_EQ(server.urls().size(), c.fetchedAgain ? 2u : 1u) << c.what;
        const auto days = sink.days();
        EXPECT_EQ(days[0] == days[1], !c.fetchedAgain) << c.what;
    }
}

TEST(ScheduleStore, APageBeingFetchedIsFetchedOnceForEveryoneWaiting) {
    FakeServer server;
    Sink sink;
    auto store = storeOn(server);
    server.setGate(false);
    store->request({{"ch/", 2}}, kWednesday, sink.onPage());
    ASSERT_TRUE(server.waitUntilActive(1));
    store->request({{"ch/", 2}, {"ch/", 3}}, kWednesday, sink.onPage());
    server.setGate(true);
    ASSERT_TRUE(sink.waitFor(3));
    EXPECT_EQ(server.urls().size(), 2u);
}

TEST(ScheduleStore, CancelDropsEverythingAndStopsTheFetches) {
    FakeServer server;
    Sink cancelled, later;
    auto store = storeOn(server);
    server.setGate(false);
    store->request(pages(5, 2), kWednesday, cancelled.onPage());
    ASSERT_TRUE(server.waitUntilActive(4));
    store->cancel();
    // The four fetches under way saw the stop; the queued six never start.
    ASSERT_TRUE(server.waitUntilActive(0));
    server.setGate(true);
    store->request({{"other/", 1}}, kWednesday, later.onPage());
    ASSERT_TRUE(later.waitFor(1));
    store.reset();
    EXPECT_TRUE(cancelled.days().empty());
    EXPECT_EQ(server.urls().size(), 5u);
}

// A catalogue channel's day comes from the players' JSON where the root
// answers it; any other answer brings the day page, and the root is not
// asked for JSON again.
TEST(ScheduleStore, TheDayFromThePlayersJsonWhereTheRootAnswersIt) {
    const std::string path0 = schedule_test::pathOf(0, 0), path1 = schedule_test::pathOf(0, 1);
    const std::int64_t eight = utc("2024-12-11T00:00Z");  // 08:00 Wednesday
    const std::string st = std::to_string(eight), et = std::to_string(eight + 3600);
    struct Case {
        const char* what;
        std::string answer;  // to any epginfo request
        PageSource source;   // the answer's
        std::size_t programmes;
        std::size_t urls;  // for both channels
    };
    const Case cases[] = {
        {"JSON", R"({"x": {"program": [{"st": )" + st + R"(, "et": )" + et + R"(, "t": "a"}]}})",
         PageSource::Fetched, 1, 2},
        {"JSON, no programmes that day", R"({"x": {"program": []}})", PageSource::Fetched, 0, 2},
        {"not found", R"({"x": {"program": []}})", PageSource::Failed, 1, 3},
        {"a page", "<html></html>", PageSource::Fetched, 1, 3},
    };
    for (const Case& c : cases) {
        std::mutex mutex;
        std::vector<std::string> urls;
        auto makeFetch = [&] {
            return [&](const rt::Text& url, std::stop_token) -> FetchedPage {
                {
                    std::lock_guard lock(mutex);
                    urls.push_back(url);
                }
                const std::string body = url.find("/epginfo?") != std::string::npos
                                             ? c.answer
                                             : "<div align='center'><div id='e1' >08:00</div><div "
                                               "id='e2' >p</div></div>";
                return {rt::Bytes(body.begin(), body.end()),
                        url.ends_with(".htm") ? PageSource::Fetched : c.source};
            };
        };
        Sink sink;
        ScheduleStore store(app::schedule::StoreOptions{"http://epg.test/", 1}, app::beijingZone(),
                            makeFetch);
        store.request({{path0, 3}, {path1, 3}}, kWednesday, sink.onPage());
        ASSERT_TRUE(sink.waitFor(2)) << c.what;
        for (const auto& day : sink.days()) {
            EXPECT_EQ(day->programmes.size(), c.programmes) << c.what;
            if (c.programmes == 1 && c.urls == 2) {
                EXPECT_EQ(day->programmes[0].end, eight + 3600) << c.what;
            }
        }
        std::lock_guard lock(mutex);
        EXPECT_EQ(urls.size(), c.urls) << c.what;
        EXPECT_EQ(urls[0].find("http://epg.test/epginfo?ch="), 0u) << c.what;
        EXPECT_TRUE(urls[0].ends_with("&date=2024-12-11")) << c.what;
    }
}

}  // namespace
