// The calendar beneath them, wall clocks of named zones, whatever the
// process's own TZ says, and the process's local zone for the server inside
// the guide.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "base/civil_time.h"

namespace base {
namespace {

void useZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}
constexpr const char* kUtc = "UTC0";

const Zone& beijing() {
    static const Zone zone = Zone::named("Asia/Shanghai").value();
    return zone;
}
const Zone& berlin() {
    static const Zone zone = Zone::named("Europe/Berlin").value();
    return zone;
}

Seconds utc(Date d, int h, int m) {
    return daysFromCivil(d) * 86400 + h * 3600 + m * 60;
}

class ZoneTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
    void TearDown() override { useZone(kUtc); }
};

// Dates from feeds and requests are checked here before any arithmetic.
TEST(Calendar, OnlyRealDatesAreValid) {
    const struct {
        int year, month, day;
        bool valid;
    } cases[] =
        {
            {2024, 2, 29, true},   {2000, 2, 29, true},  {2100, 2, 29, false},
            {2026, 4, 31, false},  {2026, 1, 0, false},  {2026, 13, 1, false},
            {2026, 1, 261, false},  // 261 would wrap to 5 in a byte
            {2026, 257, 1, false}, {1, 1, 1, true},      {0, 12, 31, false},
            {9999, 12, 31, true},  {10000, 1, 1, false},
        };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(validDate(c.year, c.month, c.day), c.valid) << "case " << i;
    }
}

TEST(Calendar, WeeksRunFromMondayAcrossMonthsAndYears) {
    const struct {
        Date date;
        int weekday;
        Date monday;
    } cases[] = {
        {{1970, 1, 1}, 4, {1969, 12, 29}},   {{2026, 12, 7}, 1, {2026, 12, 7}},
        {{2024, 12, 29}, 7, {2024, 12, 23}}, {{2024, 3, 2}, 6, {2024, 2, 26}},
        {{1969, 12, 31}, 3, {1969, 12, 29}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(isoWeekday(c.date), c.weekday) << "case " << i;
        EXPECT_EQ(mondayOf(c.date), c.monday) << "case " << i;
        EXPECT_EQ(addDays(c.monday, c.weekday - 1), c.date) << "case " << i;
    }
}

TEST_F(ZoneTest, NamesOfTheTzDatabaseAndNothingElse) {
    ASSERT_TRUE(Zone::named("Asia/Shanghai"));
    EXPECT_EQ(Zone::named("Asia/Shanghai")->name(), "Asia/Shanghai");
    EXPECT_TRUE(Zone::named("UTC"));
    EXPECT_TRUE(Zone::named("Europe/London"));
    for (const char* bad : {"", "Mars/Olympus", "asia/shanghai", "../../etc/passwd", "CST-8",
                            "/usr/share/zoneinfo/Asia/Shanghai"})
        EXPECT_FALSE(Zone::named(bad)) << bad;
    EXPECT_EQ(Zone::local().name(), "local");
    EXPECT_EQ(Zone(), Zone::local());
    EXPECT_NE(Zone::named("Asia/Shanghai"), Zone::named("UTC"));
}

// One table per direction; the process runs on UTC throughout.
TEST_F(ZoneTest, WallClockOfAnInstantAndBack) {
    struct Case {
        const Zone& zone;
        Seconds t;
        Date date;
        int hour, minute, offset;
    } cases[] = {
        {beijing(), utc({2026, 12, 9}, 12, 0), {2026, 12, 9}, 20, 0, 8 * 3600},
        {beijing(), utc({2026, 12, 9}, 16, 30), {2026, 12, 10}, 0, 30, 8 * 3600},
        {beijing(), utc({2026, 12, 6}, 15, 59), {2026, 12, 6}, 23, 59, 8 * 3600},
        {beijing(), -1, {1970, 1, 1}, 7, 59, 8 * 3600},
        {berlin(), utc({2026, 1, 15}, 12, 0), {2026, 1, 15}, 13, 0, 3600},
        {berlin(), utc({2026, 7, 15}, 12, 0), {2026, 7, 15}, 14, 0, 7200},
        {berlin(), utc({2026, 3, 29}, 0, 59), {2026, 3, 29}, 1, 59, 3600},
        {berlin(), utc({2026, 3, 29}, 1, 0), {2026, 3, 29}, 3, 0, 7200},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        LocalTime lt = toLocal(c.t, c.zone);
        EXPECT_EQ(lt.date, c.date) << i;
        EXPECT_EQ(lt.hour, c.hour) << i;
        EXPECT_EQ(lt.minute, c.minute) << i;
        EXPECT_EQ(lt.utcOffsetSeconds, c.offset) << i;
        if (c.t >= 0) {
            EXPECT_EQ(fromLocal(c.date, c.hour * 60 + c.minute, c.zone), c.t - c.t % 60) << i;
        }
    }
}

TEST_F(ZoneTest, WallTimesRollOverMidnightAndPastDaylightSavingChanges) {
    EXPECT_EQ(localMidnight({2026, 12, 7}, beijing()), utc({2026, 12, 6}, 16, 0));
    EXPECT_EQ(fromLocal({2026, 12, 9}, 25 * 60, beijing()),
              fromLocal({2026, 12, 10}, 60, beijing()));
    // 02:30 does not exist on 29 March in Berlin: moved past the gap, to 03:30.
    EXPECT_EQ(fromLocal({2026, 3, 29}, 2 * 60 + 30, berlin()), utc({2026, 3, 29}, 1, 30));
    // 02:30 happens twice on 25 October: the first one, still on summer time.
    EXPECT_EQ(fromLocal({2026, 10, 25}, 2 * 60 + 30, berlin()), utc({2026, 10, 25}, 0, 30));
    // A day of 23 hours and one of 25.
    EXPECT_EQ(localMidnight({2026, 3, 30}, berlin()) - localMidnight({2026, 3, 29}, berlin()),
              23 * 3600);
    EXPECT_EQ(localMidnight({2026, 10, 26}, berlin()) - localMidnight({2026, 10, 25}, berlin()),
              25 * 3600);
}

TEST_F(ZoneTest, TheLocalZoneFollowsTheProcessAndNamedOnesDoNot) {
    Seconds t = utc({2026, 12, 9}, 20, 0);
    EXPECT_EQ(toLocal(t, Zone::local()).hour, 20);
    EXPECT_EQ(toLocal(t, beijing()).hour, 4);
    useZone("XST+11");  // eleven hours behind UTC
    EXPECT_EQ(toLocal(t, Zone::local()).hour, 9);
    EXPECT_EQ(toLocal(t, Zone::local()).utcOffsetSeconds, -11 * 3600);
    EXPECT_EQ(fromLocal({2026, 12, 9}, 9 * 60, Zone::local()), t);
    EXPECT_EQ(toLocal(t, beijing()).hour, 4);
    EXPECT_EQ(toLocal(t, beijing()).date, (Date{2026, 12, 10}));
}

}  // namespace
}  // namespace base
