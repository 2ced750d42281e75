// What a request gets from the snapshot, without networking: validators and
// 304, gzip twins, /healthz, the XMLTV export read back, and new snapshots
// on new listings, a new week and a new minute.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <thread>

#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server/site/resource.h"
#include "server/site/site.h"
#include "server/sources/sample_listings.h"
#include "server/util/http_rules.h"
#include "server/xmltv/source_reader.h"
#include "server/xmltv/xmltv_read.h"
#include "server_test_util.h"

namespace epg {
namespace {

constexpr const char* kDayPage = "/programys/TV_1/Channel_1/W3.htm";  // Wednesday

// One programme a day on the first two channels, titled `title`.
std::shared_ptr<const Listings> listingsTitled(const std::string& title) {
    auto l = std::make_shared<StoredListings>();
    for (int d = 0; d < 7; ++d)
        for (std::size_t c : {0, 1})
            l->add(c, {fromLocal(addDays({2026, 12, 7}, d), 19 * 60, beijing()), 0, title,
                       c == 0 ? "" : "About " + title, ""});
    l->finish();
    return l;
}

std::string header(const Reply& r, std::string_view name) {
    std::string key = "\r\n" + std::string(name) + ": ";
    auto at = r.headers.find(key);
    if (at == std::string_view::npos) return {};
    auto from = at + key.size();
    return std::string(r.headers.substr(from, r.headers.find("\r\n", from) - from));
}

class CachingTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
    Seconds now_ = fromLocal({2026, 12, 9}, 20 * 60 + 15, beijing());
};

TEST_F(CachingTest, ValidatorsGiveNotModifiedAndNewListingsNewTags) {
    Site site(listingsTitled("First"), fixedClock(now_), beijing());
    Reply full = handleRequest(site, {"GET", kDayPage});
    ASSERT_EQ(full.status, 200);
    std::string tag = header(full, "ETag");
    std::string date = header(full, "Last-Modified");
    ASSERT_EQ(tag.front(), '"');
    ASSERT_EQ(date, httpDate(now_));
    EXPECT_EQ(header(full, "Cache-Control"), "public, max-age=300");
    EXPECT_EQ(header(full, "Vary"), "Accept-Encoding");
    std::string earlier = httpDate(now_ - 1), later = httpDate(now_ + 3600);
    struct Case {
        const char* method;
        std::string ifNoneMatch, ifModifiedSince;
        int status;
    } cases[] = {
        {"GET", tag, "", 304},        {"HEAD", tag, "", 304},
        {"GET", "W/" + tag, "", 304}, {"GET", "\"x\", " + tag, "", 304},
        {"GET", "*", "", 304},        {"GET", "\"x\"", "", 200},
        {"GET", "", date, 304},       {"HEAD", "", later, 304},
        {"GET", "", earlier, 200},    {"GET", "", "not a date", 200},
        {"GET", "\"x\"", later, 200},  // If-None-Match decides alone
        {"GET", tag, earlier, 304},
    };
    for (const auto& c : cases) {
        Reply r = handleRequest(site, {c.method, kDayPage, "", c.ifNoneMatch, c.ifModifiedSince});
        EXPECT_EQ(r.status, c.status)
            << c.method << " [" << c.ifNoneMatch << "] [" << c.ifModifiedSince << "]";
        // A 304 still names the page and how long to keep it.
        EXPECT_EQ(header(r, "ETag"), tag);
        EXPECT_EQ(header(r, "Cache-Control"), "public, max-age=300");
    }

    // New listings: the changed page has a new tag and a later date, so old
    // validators get the whole page; a page that did not change keeps its tag.
    // Appended: GCC 12 at -O3 takes "/" + std::string for an overlapping copy.
    const std::string unchanged =
        std::string("/").append(channelPath(100)).append("W3.htm");  // empty both times
    std::string unchangedTag = header(handleRequest(site, {"GET", unchanged}), "ETag");
    site.replaceListings(listingsTitled("Second"));
    Reply again = handleRequest(site, {"GET", kDayPage, "", tag});
    EXPECT_EQ(again.status, 200);
    EXPECT_NE(again.body->find("Second"), std::string::npos);
    EXPECT_NE(header(again, "ETag"), tag);
    EXPECT_EQ(handleRequest(site, {"GET", kDayPage, "", "", date}).status, 200);
    EXPECT_EQ(handleRequest(site, {"GET", kDayPage, "", header(again, "ETag")}).status, 304);
    EXPECT_EQ(handleRequest(site, {"GET", unchanged, "", unchangedTag}).status, 304);

    // The banner changes every minute: kept for one minute only.
    Reply banner = handleRequest(site, {"GET", "/soft/down/a1.html"});
    EXPECT_EQ(header(banner, "Cache-Control"), "public, max-age=60");
}

TEST_F(CachingTest, GzipTwinsForClientsThatAskAndIdentityForTheRest) {
    Site site(std::make_shared<SampleListings>(beijing()), fixedClock(now_), beijing());
    for (const char* target : {kDayPage, "/soft/down/a1.html", "/epg.xml"}) {
        Reply plain = handleRequest(site, {"GET", target});
        Reply zipped = handleRequest(site, {"GET", target, "gzip, deflate"});
        Reply refused = handleRequest(site, {"GET", target, "gzip;q=0, deflate"});
        ASSERT_EQ(plain.status, 200) << target;
        ASSERT_EQ(zipped.status, 200) << target;
        EXPECT_EQ(header(plain, "Content-Encoding"), "") << target;
        EXPECT_EQ(header(zipped, "Content-Encoding"), "gzip") << target;
        EXPECT_EQ(header(zipped, "Vary"), "Accept-Encoding") << target;
        EXPECT_LT(zipped.body->size(), plain.body->size()) << target;
        EXPECT_EQ(gunzip(*zipped.body), *plain.body) << target;
        EXPECT_EQ(*refused.body, *plain.body) << target;
        // A strong tag names exact bytes: each encoding has its own.
        EXPECT_NE(header(zipped, "ETag"), header(plain, "ETag")) << target;
        EXPECT_EQ(handleRequest(site, {"GET", target, "gzip", header(plain, "ETag")}).status, 200);
        EXPECT_EQ(handleRequest(site, {"GET", target, "gzip", header(zipped, "ETag")}).status, 304);
        // Made once: every request shares the same bytes.
        EXPECT_EQ(handleRequest(site, {"GET", target, "gzip"}).body, zipped.body) << target;
    }
    // Identity is exactly the page the guide has always read.
    Reply page = handleRequest(site, {"GET", kDayPage});
    EXPECT_EQ(*page.body, *site.page(std::string(kDayPage).substr(1)));
    EXPECT_EQ(page.contentType, kHtmlType);
    // epg.xml.gz is a gzip file in any case, never encoded twice.
    Reply file = handleRequest(site, {"GET", "/epg.xml.gz", "gzip"});
    EXPECT_EQ(file.contentType, kGzipType);
    EXPECT_EQ(header(file, "Content-Encoding"), "");
    EXPECT_EQ(gunzip(*file.body), *handleRequest(site, {"GET", "/epg.xml"}).body);
}

// A balancer takes the server out while no row has a programme this week:
// before anything is loaded, and when what loaded holds nothing for this
// week (a feed that failed, with no copy). Each source says how it fares.
// The twin's buffer starts at a quarter of the text and grows: texts that
// pack to less, to more and to nothing at all come back whole.
TEST(GzipTwinTest, ComesBackWholeHoweverMuchItPacks) {
    std::string noise(300'000, '\0');
    std::uint32_t x = 12345;
    for (char& ch : noise) ch = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
    std::string listing;
    while (listing.size() < 3'000'000)
        listing += "<programme start=\"20261208\">新闻联播</programme>\n";
    for (const std::string& text : {std::string(), std::string("x"), noise, listing}) {
        const std::string gz = gzipped(text);
        EXPECT_EQ(gunzip(gz), text) << text.size();
    }
}

TEST_F(CachingTest, HealthIsUnavailableWithoutListingsAndSaysHowEachSourceFares) {
    auto nothing = std::make_shared<StoredListings>();
    nothing->finish();
    for (const std::shared_ptr<const Listings>& l :
         {std::shared_ptr<const Listings>(), std::shared_ptr<const Listings>(nothing)}) {
        Site site(l, fixedClock(now_), beijing());
        Reply r = handleRequest(site, {"GET", "/healthz"});
        EXPECT_EQ(r.status, 503) << (l ? "empty" : "none");
        EXPECT_EQ(r.contentType, kJsonType);
        EXPECT_EQ(header(r, "Cache-Control"), "no-store");
        auto j = nlohmann::json::parse(*r.body);
        EXPECT_EQ(j["status"], "no listings");
        EXPECT_EQ(j["rows_with_listings"], 0);
        // Pages are there, empty, meanwhile.
        EXPECT_EQ(handleRequest(site, {"GET", kDayPage}).status, 200);
    }

    Site site(nullptr, fixedClock(now_), beijing());
    const Seconds real = systemClock()();
    using State = SourceHealth::State;
    site.setSourceHealth(
        std::vector<SourceHealth>{{"https://example.org/e.xml?key=…", State::Stale, real - 3 * 3600,
                                   real - 3 * 3600, "HTTP/1.1 503 Busy", real - 5},
                                  {"local.xml", State::Ok, now_, now_, "", std::nullopt},
                                  {"https://example.net/f.xml", State::Failing, std::nullopt,
                                   std::nullopt, "refused", std::nullopt}});
    site.replaceListings(listingsTitled("First"));
    Reply after = handleRequest(site, {"HEAD", "/healthz"});
    EXPECT_EQ(after.status, 200);
    auto j = nlohmann::json::parse(*after.body);
    EXPECT_EQ(j["status"], "degraded");  // serving, but not all is well
    EXPECT_EQ(j["listings_loaded_at"], "2026-12-09T12:15:00Z");
    EXPECT_EQ(j["time_zone"], "Asia/Shanghai");
    EXPECT_EQ(j["week"], "2026-12-07");
    EXPECT_EQ(j["catalogue_rows"], channelCount());
    EXPECT_EQ(j["rows_with_listings"], 2);
    ASSERT_EQ(j["sources"].size(), 3u);
    const auto& stale = j["sources"][0];
    EXPECT_EQ(stale["state"], "stale");
    EXPECT_EQ(stale["age"], "3 h 0 min");
    EXPECT_EQ(stale["last_error"], "HTTP/1.1 503 Busy");
    EXPECT_FALSE(stale["fetching_since"].is_null());
    const auto& ok = j["sources"][1];
    EXPECT_EQ(ok["state"], "ok");
    EXPECT_EQ(ok["last_good"], "2026-12-09T12:15:00Z");
    EXPECT_TRUE(ok["last_error"].is_null());
    EXPECT_TRUE(ok["age"].is_null());
    EXPECT_TRUE(ok["fetching_since"].is_null());
    EXPECT_EQ(j["sources"][2]["state"], "failing");
    EXPECT_TRUE(j["sources"][2]["serving_since"].is_null());
}

// The export read back by the server's own XMLTV reader gives the same
// programmes: times, titles and descriptions as the listings had them (the
// reader drops blanks at a title's ends as layout, so none are given here).
TEST_F(CachingTest, XmltvExportReadsBackToTheSameProgrammes) {
    auto listings = std::make_shared<StoredListings>();
    Date monday{2026, 12, 7};
    std::vector<std::string> titles = {"新闻联播", "A < B & \"C\"", "剧情 in the title",
                                       "spaced  inside", "Ünïcödé 𝄞"};
    for (std::size_t i = 0; i < titles.size(); ++i)
        listings->add(3,
                      {fromLocal(addDays(monday, static_cast<int>(i)), 23 * 60 + 30, beijing()), 0,
                       titles[i], i % 2 ? "第" + std::to_string(i) + "集 <b>plot</b>" : "", ""});
    listings->add(200, {localMidnight(monday, beijing()), 0, "First of the week", "", ""});
    listings->add(200, {localMidnight(monday, beijing()) - 1, 0, "Last week", "", ""});
    const Date today = toLocal(now_, beijing()).date;
    listings->add(200, {localMidnight(addDays(today, -3), beijing()) - 1, 0, "Too old", "", ""});
    listings->finish();
    Site site(listings, fixedClock(now_), beijing(), FirstSnapshot::Now, 3);
    std::string xml = *handleRequest(site, {"GET", "/epg.xml"}).body;
    EXPECT_NE(xml.find("start=\"20261207233000 +0800\""), std::string::npos);
    // Catch-up: the days before today, as many as asked for.
    EXPECT_NE(xml.find("Last week"), std::string::npos);
    EXPECT_EQ(xml.find("Too old"), std::string::npos);
    // Channels with listings only, with their catalogue names.
    std::size_t channels = 0;
    for (auto at = xml.find("<channel "); at != std::string::npos;
         at = xml.find("<channel ", at + 1))
        ++channels;
    EXPECT_EQ(channels, 2u);
    EXPECT_NE(xml.find(channelNameUtf8(3)), std::string::npos);

    SourceReader reader("epg.xml", {});
    ASSERT_TRUE(reader.feed(xml)) << reader.error();
    ParsedSource parsed = reader.finish();
    ASSERT_TRUE(parsed.document) << parsed.error;
    XmltvListings combined = listingsFromXmltv({parsed.document}, nullptr, beijing());
    const StoredListings& back = *combined.listings;
    Seconds from = localMidnight(monday, beijing()),
            to = localMidnight(addDays(monday, 7), beijing());
    for (std::size_t c = 0; c < channelCount(); ++c)
        ASSERT_EQ(back.starting(c, from, to), listings->starting(c, from, to)) << c;
    EXPECT_EQ(back.programmeCount(), titles.size() + 2);
}

// The week turns and the minute turns: the renderer's step makes new pages
// and a new banner; between those, the snapshot stays the very same.
TEST_F(CachingTest, NewSnapshotsOnlyForANewWeekOrMinute) {
    auto clock = std::make_shared<std::atomic<Seconds>>(
        fromLocal({2026, 12, 13}, 23 * 60 + 59, beijing()));  // Sunday 23:59
    Site site(
        std::make_shared<SampleListings>(beijing()), [clock] { return clock->load(); }, beijing());
    auto first = site.snapshot();
    clock->fetch_add(30);
    site.render();
    EXPECT_EQ(site.snapshot(), first);  // same minute: nothing to do
    clock->fetch_add(30);               // Monday 00:00
    site.render();
    auto next = site.snapshot();
    EXPECT_NE(next->week, first->week);
    EXPECT_EQ(next->week->monday, (Date{2026, 12, 14}));
    Reply r = handleRequest(site, {"GET", kDayPage});
    EXPECT_EQ(header(r, "Last-Modified"), httpDate(localMidnight({2026, 12, 14}, beijing())));
    clock->fetch_add(60);
    site.render();
    EXPECT_EQ(site.snapshot()->week, next->week);  // the banner alone is new
    EXPECT_NE(site.snapshot()->banner, next->banner);
}

// With the renderer thread running, listings replaced while clients read:
// every answer is a whole page of the old listings or of the new ones, and
// replaceListings returns only once the new ones are served.
TEST_F(CachingTest, ReplacementsWhileServingNeverMixOrLag) {
    auto site = std::make_shared<Site>(listingsTitled("Old"), fixedClock(now_), beijing());
    site->startRenderer();
    std::atomic<bool> done{false};
    std::atomic<int> bad{0}, seen{0};
    std::thread reader([&] {
        while (!done) {
            Reply r = handleRequest(*site, {"GET", kDayPage, "gzip"});
            std::string page = gunzip(*r.body);
            bool old = page.find("Old") != std::string::npos;
            bool fresh = page.find("New") != std::string::npos;
            if (r.status != 200 || old == fresh || page.find("</html>") == std::string::npos) ++bad;
            ++seen;
        }
    });
    for (int i = 0; i < 6; ++i) {
        site->replaceListings(listingsTitled(i % 2 ? "Old" : "New"));
        std::string page = *handleRequest(*site, {"GET", kDayPage}).body;
        EXPECT_NE(page.find(i % 2 ? "Old" : "New"), std::string::npos) << i;
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(seen.load(), 0);
}

}  // namespace
}  // namespace epg
