// Request targets, methods, the week a page belongs to and the page cache.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/schedule/schedule_parse.h"
#include "server/model/channels.h"
#include "server/site/site.h"
#include "server/sources/sample_listings.h"
#include "server_test_util.h"

namespace epg {
namespace {

class SiteTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
};

TEST_F(SiteTest, TargetsAreCleanedOrRefused) {
    struct Case {
        const char* target;
        std::optional<std::string> path;
    } cases[] = {
        {"/programys/TV_1/Channel_1/W1.htm", "programys/TV_1/Channel_1/W1.htm"},
        {"/programys/TV_1/Channel_1/W1.htm?x=1", "programys/TV_1/Channel_1/W1.htm"},
        {"/programys%2FTV_1/Channel_%31/W1.htm", "programys/TV_1/Channel_1/W1.htm"},
        {"/", ""},
        {"", std::nullopt},
        {"programys/TV_1/Channel_1/W1.htm", std::nullopt},            // relative
        {"http://127.0.0.1/soft/down/a1.html", "soft/down/a1.html"},  // absolute-form
        {"HTTPS://tv.example:8610/a%20b?x=1", "a b"},
        {"http://tv.example?x=1", ""},
        {"http://tv.example/../etc/passwd", std::nullopt},
        {"http://tv.example//etc/passwd", std::nullopt},
        {"ftp://tv.example/a", std::nullopt},
        {"*", std::nullopt},
        {"/../etc/passwd", std::nullopt},
        {"/a/../b", std::nullopt},
        {"/%2e%2e/etc/passwd", std::nullopt},
        {"/%2E%2e%2fetc", std::nullopt},
        {"/..", std::nullopt},
        {"/a\\..\\b", std::nullopt},
        {"/a%5cb", std::nullopt},
        {"/a%00b", std::nullopt},
        {"/a%0d%0ab", std::nullopt},
        {"/a%zzb", std::nullopt},
        {"/a%2", std::nullopt},
        {"/a%", std::nullopt},
        {"//etc/passwd", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(cleanTargetPath(c.target), c.path) << c.target;
}

TEST_F(SiteTest, MethodsAndTargetsGetTheirStatus) {
    Site site(std::make_shared<SampleListings>(beijing()),
              fixedClock(fromLocal({2026, 12, 9}, 600, beijing())), beijing());
    struct Case {
        const char* method;
        const char* target;
        int status;
    } cases[] = {
        {"GET", "/programys/TV_1/Channel_1/W1.htm", 200},
        {"HEAD", "/programys/TV_1/Channel_1/W7.htm", 200},
        {"GET", "/programjw/TV_/Channel_290/W3.htm", 200},
        {"GET", "/soft/down/a1.html", 200},
        {"GET", "/programys/TV_1/Channel_1/W0.htm", 404},
        {"GET", "/programys/TV_1/Channel_1/W8.htm", 404},
        {"GET", "/programys/TV_1/Channel_1/W1.html", 404},
        {"GET", "/programys/TV_1/Channel_2/W1.htm", 404},
        {"GET", "/programys/TV_1/Channel_1/", 404},
        {"GET", "/", 400},  // the players' interface, asked for no channel
        {"GET", "/W1.htm", 404},
        {"GET", "/../programys/TV_1/Channel_1/W1.htm", 400},
        {"POST", "/programys/TV_1/Channel_1/W1.htm", 405},
        {"get", "/programys/TV_1/Channel_1/W1.htm", 405},
        {"DELETE", "/soft/down/a1.html", 405},
        {"POST", "/../etc/passwd", 400},  // the target is judged first
    };
    for (const auto& c : cases) {
        Reply r = handleRequest(site, {c.method, c.target});
        EXPECT_EQ(r.status, c.status) << c.method << ' ' << c.target;
        ASSERT_TRUE(r.body);
        EXPECT_EQ(r.contentType == kHtmlType, c.status == 200);
    }
}

// While the sources' first load is under way, what would be an empty page is
// not answered 200 for a player or a cache to keep: a request waits for the
// load, until one deadline for all, then is told to come back.
TEST_F(SiteTest, RequestsWaitForTheFirstLoadThenAreToldToComeBack) {
    using namespace std::chrono_literals;
    Site site(std::make_shared<StoredListings>(), fixedClock(0), beijing());
    const char* targets[] = {"/programys/TV_1/Channel_1/W1.htm", "/soft/down/a1.html",
                             "/?ch=CCTV1&date=2026-12-09", "/epginfo?ch=CCTV1", "/nothing"};
    site.setLoading(50ms);
    for (const char* target : targets) {
        Reply r = handleRequest(site, {"GET", target});
        EXPECT_EQ(r.status, 503) << target;
        EXPECT_NE(r.headers.find("\r\nRetry-After: 5"), std::string_view::npos) << target;
        EXPECT_NE(r.headers.find("\r\nCache-Control: no-store"), std::string_view::npos);
    }
    EXPECT_EQ(handleRequest(site, {"GET", "/healthz"}).status, 503);  // at once, as ever

    site.setLoading(10s);
    std::thread loader([&] {
        std::this_thread::sleep_for(100ms);
        site.replaceListings(std::make_shared<SampleListings>(beijing()));
        site.loaded();
    });
    Reply r = handleRequest(site, {"GET", targets[0]});
    loader.join();
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(app::parseSchedule(*r.body).empty());
}

TEST_F(SiteTest, PagesFollowTheClockIntoTheNextWeek) {
    auto now = std::make_shared<std::atomic<Seconds>>(
        fromLocal({2026, 12, 13}, 23 * 60 + 59, beijing()));  // Sunday
    Site site(
        std::make_shared<SampleListings>(beijing()), [now] { return now->load(); }, beijing());
    auto listings = SampleListings(beijing());
    auto expectDay = [&](Date d) {
        auto rows = app::parseSchedule(*site.page("programys/TV_1/Channel_1/W1.htm"));
        auto list = listings.starting(0, localMidnight(d, beijing()),
                                      localMidnight(addDays(d, 1), beijing()));
        ASSERT_EQ(rows.size(), list.size());
    };
    auto before = site.page("programys/TV_1/Channel_1/W1.htm");
    EXPECT_NE(before->find("2026-12-07"), std::string::npos);         // Monday of that week
    EXPECT_EQ(site.page("programys/TV_1/Channel_1/W1.htm"), before);  // kept, not rendered again
    expectDay({2026, 12, 7});
    now->store(fromLocal({2026, 12, 14}, 1, beijing()));
    site.render();  // what the renderer thread does each minute
    auto after = site.page("programys/TV_1/Channel_1/W1.htm");
    EXPECT_NE(after->find("2026-12-14"), std::string::npos);
    expectDay({2026, 12, 14});
}

TEST_F(SiteTest, ReplacedListingsReplaceThePages) {
    Site site(std::make_shared<SampleListings>(beijing()),
              fixedClock(fromLocal({2026, 12, 9}, 600, beijing())), beijing());
    auto sample = site.page("programys/TV_1/Channel_1/W3.htm");
    EXPECT_FALSE(app::parseSchedule(*sample).empty());
    auto empty = std::make_shared<StoredListings>();
    empty->finish();
    site.replaceListings(empty);
    EXPECT_TRUE(app::parseSchedule(*site.page("programys/TV_1/Channel_1/W3.htm")).empty());
}

}  // namespace
}  // namespace epg
