// Day pages as records: the dates of the week in the pages' zone, and the
// start of each row, past midnight included.
#include "app/schedule/channel_day.h"

#include <gtest/gtest.h>

#include "app/schedule/page_zone.h"
#include "schedule_fixtures.h"

namespace {

using app::beijingZone;
using schedule_test::utc;
using schedule_test::ymd;

TEST(ChannelDay, TheDateOfEachDayIsInThisWeekOfThePagesZone) {
    struct Case {
        const char* now;  // UTC
        int day;
        base::Date date;
    };
    const Case cases[] = {
        {"2024-12-11T04:00Z", 1, ymd(2024, 12, 9)},  // a Wednesday
        {"2024-12-11T04:00Z", 7, ymd(2024, 12, 15)},
        {"2024-12-15T15:59Z", 1, ymd(2024, 12, 9)},   // Sunday 23:59 in Beijing
        {"2024-12-15T16:00Z", 1, ymd(2024, 12, 16)},  // already Monday in Beijing, Sunday in UTC
        {"2024-12-29T20:00Z", 7, ymd(2025, 1, 5)},    // across the year
        {"2024-02-26T00:00Z", 4, ymd(2024, 2, 29)},   // a leap day
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::dateOfDayThisWeek(beijingZone(), utc(c.now), c.day), c.date)
            << c.now << " day " << c.day;
}

TEST(ChannelDay, RowsStartInThePagesZoneAndRunPastMidnight) {
    const base::Zone newYork = *base::Zone::named("America/New_York");  // EST in December
    struct Case {
        const base::Zone* zone;
        std::vector<const char*> times;
        std::vector<const char*> starts;  // UTC; "" for no start
    };
    const Case cases[] = {
        {&beijingZone(),
         {" 06:00", " 23:30", " 00:30", " ", " 02:00"},
         {"2024-12-10T22:00Z", "2024-12-11T15:30Z", "2024-12-11T16:30Z", "", "2024-12-11T18:00Z"}},
        // Hours past 23 count on into the next date, and then go on from there.
        {&beijingZone(),
         {" 23:00", " 24:30", " 1:15"},
         {"2024-12-11T15:00Z", "2024-12-11T16:30Z", "2024-12-11T17:15Z"}},
        // Equal times do not roll over.
        {&beijingZone(), {" 10:00", " 10:00"}, {"2024-12-11T02:00Z", "2024-12-11T02:00Z"}},
        {&newYork, {" 19:00", " 00:10"}, {"2024-12-12T00:00Z", "2024-12-12T05:10Z"}},
    };
    for (const Case& c : cases) {
        std::vector<app::ScheduleRow> rows;
        for (const char* t : c.times) rows.push_back({t, G("节目")});
        const auto day = app::schedule::makeChannelDay("programys/TV_1/Channel_1/", 3,
                                                       ymd(2024, 12, 11), rows, *c.zone);
        ASSERT_EQ(day.programmes.size(), c.starts.size());
        for (std::size_t i = 0; i < c.starts.size(); ++i) {
            const auto& p = day.programmes[i];
            EXPECT_EQ(p.start ? utc(*p.start) : "", c.starts[i]) << c.times[i];
            EXPECT_EQ(p.time, c.times[i]);
            EXPECT_EQ(p.channel, "programys/TV_1/Channel_1/");
            EXPECT_EQ(p.day, 3);
        }
    }
}

// The list's time column shows the page's own hours, past 23 included.
TEST(ChannelDay, ShownTimesAreThePagesHoursAndMinutes) {
    EXPECT_EQ(app::schedule::shownTime(" 8:05"), "08:05");
    EXPECT_EQ(app::schedule::shownTime(" 24:30"), "24:30");
    EXPECT_EQ(app::schedule::shownTime(" "), "");
}

}  // namespace
