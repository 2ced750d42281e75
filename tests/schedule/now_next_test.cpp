// On now and next: the programme that began last and the one after it, from
// the day's page and what runs on from the page before midnight.
#include "app/schedule/now_next.h"

#include <gtest/gtest.h>

#include "schedule_fixtures.h"

namespace {

using schedule_test::beijingDay;
using schedule_test::feedDay;
using schedule_test::utc;

TEST(NowNext, TheProgrammeThatBeganLastAndTheOneAfterIt) {
    // Tuesday 10 December and the Monday before it, Beijing time (UTC+8).
    const auto monday = beijingDay("c/", 1, {{" 20:00", "晚间新闻"}, {" 01:00", "重播"}});
    const auto tuesday = beijingDay(
        "c/", 2, {{" 06:00", "早间新闻"}, {" ", "广告"}, {" 8:30", "电视剧"}, {" 23:30", "夜话"}});
    struct Case {
        const char* at;  // UTC
        const char* now;
        const char* next;
    };
    const Case cases[] = {
        {"2024-12-09T16:30Z", "20:00 晚间新闻", "01:00 重播"},  // 00:30 Tuesday
        {"2024-12-09T21:59Z", "01:00 重播", "06:00 早间新闻"},
        {"2024-12-09T22:00Z", "06:00 早间新闻", "08:30 电视剧"},  // a start is on now
        {"2024-12-10T00:29Z", "06:00 早间新闻", "08:30 电视剧"},  // a row without time is skipped
        {"2024-12-10T15:30Z", "23:30 夜话", ""},                  // the last stays on
    };
    for (const Case& c : cases) {
        const auto shown = app::schedule::nowNext({monday.get(), tuesday.get()}, utc(c.at));
        EXPECT_EQ(U(shown.now), c.now) << c.at;
        EXPECT_EQ(U(shown.next), c.next) << c.at;
    }
    // Before anything began, and with nothing at all.
    const auto early = app::schedule::nowNext({tuesday.get()}, utc("2024-12-09T21:00Z"));
    EXPECT_EQ(early, (app::schedule::NowNext{"", G("06:00 早间新闻")}));
    EXPECT_EQ(app::schedule::nowNext({nullptr}, 0), app::schedule::NowNext{});
}

TEST(NowNext, OnePerRowOfTheGroupEmptyWherePagesAreMissing) {
    const catalogue::Group group{G("组"), {{G("甲"), "a/"}, {G("乙"), "b/"}, {G("丙"), "c/"}}};
    app::schedule::WeekSchedule week;
    week.put(beijingDay("a/", 3, {{" 10:00", "甲节目"}, {" 12:00", "甲午间"}}));
    week.put(beijingDay("c/", 2, {{" 23:00", "丙夜场"}, {" 02:00", "丙凌晨"}}));
    week.put(beijingDay("c/", 4, {{" 00:00", "丙明天"}}));
    // Wednesday 11 December, 11:00 Beijing.
    const auto rows = app::schedule::nowNextOfGroup(week, group, 3, utc("2024-12-11T03:00Z"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(U(rows[0].now), "10:00 甲节目");
    EXPECT_EQ(U(rows[0].next), "12:00 甲午间");
    EXPECT_EQ(rows[1], app::schedule::NowNext{});
    // No Wednesday page: Tuesday's rows past midnight still count; Thursday's do not.
    EXPECT_EQ(U(rows[2].now), "02:00 丙凌晨");
    EXPECT_EQ(rows[2].next, "");
}

// Where the feed gives ends, nothing is on in a gap: in now and next, and in
// the mark of the day page's list, which follows the feed's programme by its
// start; a feed without ends leaves the mark to the page's own rule.
TEST(NowNext, NothingIsOnInAGapOfTheFeed) {
    const auto feed = feedDay("c/", 2, {{"06:00", "07:00", "早间新闻"}, {"09:00", "", "电视剧"}});
    const auto page =
        beijingDay("c/", 2, {{" 05:00", "另一行"}, {" 06:00", "早间新闻"}, {" 09:00", "电视剧"}});
    const auto noEnds = feedDay("c/", 2, {{"06:00", "", "早间新闻"}});
    struct Case {
        const char* at;  // UTC; Beijing is 8 hours on
        const char* now;
        std::optional<int> row;
    };
    const Case cases[] = {
        {"2024-12-09T21:59Z", "", -1},  // before the first the feed has: the page's 05:00 is not
        {"2024-12-09T22:30Z", "06:00 早间新闻", 1},
        {"2024-12-09T23:00Z", "", -1},             // the gap
        {"2024-12-10T15:00Z", "09:00 电视剧", 2},  // no end: on until the next
    };
    for (const Case& c : cases) {
        const auto shown = app::schedule::nowNext({feed.get()}, utc(c.at));
        EXPECT_EQ(U(shown.now), c.now) << c.at;
        EXPECT_EQ(app::schedule::rowOnAirByEnds(*page, *feed, utc(c.at)), c.row) << c.at;
    }
    EXPECT_EQ(U(app::schedule::nowNext({feed.get()}, utc("2024-12-09T23:00Z")).next),
              "09:00 电视剧");
    EXPECT_EQ(app::schedule::rowOnAirByEnds(*page, *noEnds, utc("2024-12-09T22:30Z")),
              std::nullopt);
}

}  // namespace
