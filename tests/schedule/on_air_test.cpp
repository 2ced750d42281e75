// Which row of a day's list is on air: the air-time texts as pages write
// them, and pages that run past midnight.
#include "app/schedule/on_air.h"

#include <gtest/gtest.h>

namespace {

TEST(OnAir, AirTimesAsPagesWriteThem) {
    struct Case {
        const char* text;
        std::optional<int> minutes;
    };
    const Case cases[] = {
        {" 08:00", 480},
        {" 8:05", 485},
        {"23:59", 1439},
        {" &nbsp;19:30", 1170},
        {" 00:00", 0},
        {" 24:30", 1470},
        {" 29:59", 1799},
        {" 30:00", std::nullopt},
        {" 12:60", std::nullopt},
        {" 123:45", std::nullopt},
        {" 12:345", std::nullopt},
        {" ", std::nullopt},
        {" 早间:新闻", std::nullopt},
        {"a:12 07:30", 450},
    };
    for (const Case& c : cases) EXPECT_EQ(app::minutesOfAirTime(c.text), c.minutes) << c.text;
}

TEST(OnAir, TheLastRowThatHasBegun) {
    const std::vector<rt::Text> day = {
        " 06:00", " 08:30", " ",      " 12:00",
        " 19:00", " 23:30", " 00:30", " 02:00"};  // the last two after midnight
    struct Case {
        int minute;
        int row;
    };
    const Case cases[] = {
        {0, -1},   {359, -1}, {360, 0},  {509, 0},  {510, 1},  {719, 1}, {720, 3},
        {1139, 3}, {1140, 4}, {1409, 4}, {1410, 5}, {1439, 5},  // the rows past midnight are
                                                                // tomorrow's
    };
    for (const Case& c : cases) EXPECT_EQ(app::rowOnAir(day, c.minute), c.row) << c.minute;
    EXPECT_EQ(app::rowOnAir({}, 600), -1);
    EXPECT_EQ(app::rowOnAir({" ", ""}, 600), -1);
    // Equal times: the later row has begun too.
    EXPECT_EQ(app::rowOnAir({" 10:00", " 10:00", " 11:00"}, 600), 1);
}

}  // namespace
