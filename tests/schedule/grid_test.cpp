// The grid: a group's rows against one day, each programme a block from its
// start to its end, the feed's end where known, else the next start.
#include "app/schedule/grid.h"

#include <gtest/gtest.h>

#include "schedule_fixtures.h"

namespace {

using schedule_test::beijingDay;
using schedule_test::feedDay;
using schedule_test::utc;

const std::int64_t kWednesdayNoon = utc("2024-12-11T04:00Z");

// "HH:MM-HH:MM title" of each block, Beijing time; "*" after an end the feed gave.
std::vector<std::string> shown(const app::schedule::GridRow& row) {
    std::vector<std::string> out;
    for (const auto& b : row.blocks) {
        const auto s = base::toLocal(b.start, app::beijingZone());
        const auto e = base::toLocal(b.end, app::beijingZone());
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d-%02d:%02d%s ", s.hour, s.minute, e.hour,
                      e.minute, b.endKnown ? "*" : "");
        out.push_back(text + U(b.programme.title));
    }
    return out;
}

TEST(Grid, BlocksRunToTheirEndOrTheNextStartAndGapsStay) {
    using Pages = std::vector<std::shared_ptr<const app::schedule::ChannelDay>>;
    struct Case {
        const char* what;
        Pages pages;  // of channel "a/"
        std::vector<std::string> blocks;
    };
    const Case cases[] = {
        {"day page: to the next start, the last to the day's end",
         {beijingDay("a/", 3, {{" 08:00", "早"}, {" 20:00", "晚"}})},
         {"08:00-20:00 早", "20:00-00:00 晚"}},
        {"the last to the next day's first",
         {beijingDay("a/", 3, {{" 20:00", "晚"}}), beijingDay("a/", 4, {{" 01:00", "明"}})},
         {"20:00-01:00 晚"}},
        {"a page past midnight: its rows of the next date end the day",
         {beijingDay("a/", 3, {{" 20:00", "晚"}, {" 00:30", "夜"}})},
         {"20:00-00:30 晚"}},
        {"the day before runs on past midnight; its earlier rows are not the day's",
         {beijingDay("a/", 2, {{" 21:00", "昨"}, {" 23:00", "夜"}}),
          beijingDay("a/", 3, {{" 02:00", "凌"}})},
         {"23:00-02:00 夜", "02:00-00:00 凌"}},
        {"the feed's ends: a gap stays a gap",
         {feedDay("a/", 3, {{"06:00", "07:00", "早"}, {"09:00", "10:00", "午"}})},
         {"06:00-07:00* 早", "09:00-10:00* 午"}},
        {"an end past the next start gives way to it",
         {feedDay("a/", 3, {{"06:00", "09:30", "早"}, {"09:00", "", "午"}})},
         {"06:00-09:00* 早", "09:00-00:00 午"}},
        {"the day before's end before midnight: not the day's",
         {feedDay("a/", 2, {{"22:00", "23:59", "昨"}}), feedDay("a/", 3, {})},
         {}},
        {"a page of another week is no page of this one",
         {beijingDay("a/", 3, {{" 08:00", "早"}}),
          std::make_shared<const app::schedule::ChannelDay>(
              app::schedule::ChannelDay{"a/", 2, schedule_test::ymd(2024, 12, 3),
                                        beijingDay("a/", 2, {{" 23:00", "旧"}})->programmes})},
         {"08:00-00:00 早"}},
    };
    const catalogue::Group group{G("组"), {{G("甲"), "a/"}}};
    for (const Case& c : cases) {
        app::schedule::WeekSchedule week;
        for (const auto& page : c.pages) week.put(page);
        const auto grid = app::schedule::gridOf(week, group, 3, app::beijingZone(), kWednesdayNoon);
        ASSERT_EQ(grid.rows.size(), 1u);
        EXPECT_EQ(shown(grid.rows[0]), c.blocks) << c.what;
    }
}

TEST(Grid, RowsInTheGroupsOrderNamedWithoutTrailingBlanks) {
    const catalogue::Group group{G("组"), {{G("乙  "), "b/"}, {G("甲"), "a/"}, {G("丙"), "c/"}}};
    app::schedule::WeekSchedule week;
    week.put(beijingDay("a/", 3, {{" 08:00", "早"}}));
    week.put(beijingDay("b/", 3, {}));
    const auto grid = app::schedule::gridOf(week, group, 3, app::beijingZone(), kWednesdayNoon);
    EXPECT_EQ(grid.date, schedule_test::ymd(2024, 12, 11));
    EXPECT_EQ(grid.from, utc("2024-12-10T16:00Z"));
    EXPECT_EQ(grid.to, utc("2024-12-11T16:00Z"));
    ASSERT_EQ(grid.rows.size(), 3u);
    EXPECT_EQ(grid.rows[0].channel, G("乙"));
    EXPECT_EQ(grid.rows[0].path, "b/");
    EXPECT_TRUE(grid.rows[0].held);  // held, and empty
    EXPECT_TRUE(grid.rows[0].blocks.empty());
    EXPECT_TRUE(grid.rows[1].held);
    EXPECT_EQ(grid.rows[1].blocks.size(), 1u);
    EXPECT_FALSE(grid.rows[2].held);
}

TEST(Grid, TheBlockOnAirIsNoneInAGapOrBeforeTheFirst) {
    app::schedule::WeekSchedule week;
    week.put(feedDay("a/", 3, {{"06:00", "07:00", "早"}, {"09:00", "10:00", "午"}}));
    const catalogue::Group group{G("组"), {{G("甲"), "a/"}}};
    const auto grid = app::schedule::gridOf(week, group, 3, app::beijingZone(), kWednesdayNoon);
    struct Case {
        const char* at;  // UTC; Beijing is 8 hours on
        const char* title;
    };
    const Case cases[] = {{"2024-12-10T21:59Z", ""},   {"2024-12-10T22:00Z", "早"},
                          {"2024-12-10T22:59Z", "早"}, {"2024-12-10T23:00Z", ""},
                          {"2024-12-11T01:30Z", "午"}, {"2024-12-11T02:00Z", ""}};
    for (const Case& c : cases) {
        const auto* block = app::schedule::blockOnAir(grid.rows[0], utc(c.at));
        EXPECT_EQ(block ? U(block->programme.title) : "", c.title) << c.at;
    }
}

}  // namespace
