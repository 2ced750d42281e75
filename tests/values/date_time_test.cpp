#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "civil_date.h"
#include "runtime/values/date_time.h"

using rt::CivilTime;
using rt::DateTime;

using civil::at;

TEST(DateTime, DayNumbersOfKnownDates) {
    EXPECT_EQ(at(1899, 12, 30).days, 0.0);
    EXPECT_EQ(at(1899, 12, 31).days, 1.0);
    EXPECT_EQ(at(2008, 10, 6).days, 39727.0);
    EXPECT_EQ(at(100, 1, 1).days, rt::kMinDays);
    EXPECT_EQ(at(9999, 12, 31).days, rt::kMaxDays);
    EXPECT_EQ(at(1900, 3, 1).days, 61.0);                        // 1900 is no leap year
    EXPECT_EQ(at(2000, 3, 1).days - at(2000, 2, 28).days, 2.0);  // 2000 is one
}

TEST(DateTime, EveryWholeSecondOfADayReadsBackExactly) {
    // The fraction of a second is never representable exactly, so a reader that
    // truncates loses a second on many of these.
    const double day = at(2008, 10, 6).days;
    for (int secs = 0; secs < 86400; ++secs) {
        const DateTime v{day + secs / 86400.0};
        const CivilTime c = rt::toCivil(v);
        ASSERT_EQ(c.hour * 3600 + c.minute * 60 + c.second, secs) << secs;
        ASSERT_EQ(c.day, 6) << secs;
    }
    const CivilTime c = rt::toCivil(at(2008, 10, 6, 23, 0, 7));
    EXPECT_EQ((CivilTime{2008, 10, 6, 23, 0, 7}), c);
}

TEST(DateTime, CivilRoundTripAcrossTheRange) {
    std::srand(7);
    for (int i = 0; i < 20000; ++i) {
        const CivilTime c{100 + std::rand() % 9900, 1 + std::rand() % 12, 1 + std::rand() % 28,
                          std::rand() % 24,         std::rand() % 60,     std::rand() % 60};
        ASSERT_EQ(rt::toCivil(at(c.year, c.month, c.day, c.hour, c.minute, c.second)), c)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute << ":"
            << c.second;
    }
}

TEST(DateTime, NearlyMidnightRoundsIntoTheNextDay) {
    const double day = at(2008, 10, 6).days;
    EXPECT_EQ(rt::toCivil(DateTime{day + 1 - 0.2 / 86400}), (CivilTime{2008, 10, 7, 0, 0, 0}));
    EXPECT_EQ(rt::toCivil(DateTime{day + 1 - 0.7 / 86400}), (CivilTime{2008, 10, 6, 23, 59, 59}));
}

TEST(DateTime, BeforeTheEpochTheFractionStillCountsForwards) {
    EXPECT_EQ(rt::toCivil(DateTime{-1.25}), (CivilTime{1899, 12, 29, 6, 0, 0}));
    EXPECT_EQ(rt::toCivil(DateTime{-0.5}), (CivilTime{1899, 12, 30, 12, 0, 0}));
    EXPECT_EQ(at(1899, 12, 29, 6).days, -1.25);
    EXPECT_EQ(at(1800, 1, 1, 18).days, at(1800, 1, 1).days - 0.75);
    EXPECT_EQ(rt::datePart(DateTime{-1.25}).days, -1.0);
    EXPECT_EQ(rt::weekdayOf(DateTime{-1.75}), 6);  // 1899-12-29, a Friday
}

TEST(DateTime, OutOfRangeValuesAreClampedBeforeComponents) {
    EXPECT_EQ(rt::toCivil(DateTime{-1e9}), (CivilTime{100, 1, 1, 0, 0, 0}));
    EXPECT_EQ(rt::toCivil(DateTime{rt::kMinDays - 0.5}), (CivilTime{100, 1, 1, 0, 0, 0}));
    EXPECT_EQ(rt::toCivil(DateTime{1e12}), (CivilTime{9999, 12, 31, 0, 0, 0}));
    // Clamping happens first: the time of day on the last day is lost too.
    EXPECT_EQ(rt::toCivil(DateTime{rt::kMaxDays + 0.5}), (CivilTime{9999, 12, 31, 0, 0, 0}));
    EXPECT_EQ(rt::toCivil(DateTime{INFINITY}).year, 9999);
    EXPECT_EQ(rt::toCivil(DateTime{-INFINITY}).year, 100);
    EXPECT_EQ(rt::toCivil(DateTime{NAN}), (CivilTime{1899, 12, 30, 0, 0, 0}));
    EXPECT_EQ(rt::yearOf(DateTime{-7e5}), 100);
    EXPECT_EQ(rt::weekdayOf(DateTime{3e6}), rt::weekdayOf(DateTime{rt::kMaxDays}));
    EXPECT_EQ(rt::clampDateTime(DateTime{5.5}).days, 5.5);
}

TEST(DateTime, InvalidCivilFieldsAreRefused) {
    EXPECT_FALSE(rt::fromCivil({99, 12, 31}));
    EXPECT_FALSE(rt::fromCivil({10000, 1, 1}));
    EXPECT_FALSE(rt::fromCivil({2007, 2, 29}));
    EXPECT_TRUE(rt::fromCivil({2008, 2, 29}));
    EXPECT_FALSE(rt::fromCivil({2008, 4, 31}));
    EXPECT_FALSE(rt::fromCivil({2008, 13, 1}));
    EXPECT_FALSE(rt::fromCivil({2008, 1, 0}));
    EXPECT_FALSE(rt::fromCivil({2008, 1, 1, 24, 0, 0}));
    EXPECT_FALSE(rt::fromCivil({2008, 1, 1, 0, 60, 0}));
    EXPECT_FALSE(rt::fromCivil({2008, 1, 1, 0, 0, -1}));
}

TEST(DateTime, ComponentsAndWeekdays) {
    const DateTime v = at(2008, 10, 6, 9, 5, 3);
    EXPECT_EQ(rt::yearOf(v), 2008);
    EXPECT_EQ(rt::monthOf(v), 10);
    EXPECT_EQ(rt::dayOf(v), 6);
    EXPECT_EQ(rt::hourOf(v), 9);
    EXPECT_EQ(rt::minuteOf(v), 5);
    EXPECT_EQ(rt::secondOf(v), 3);
    EXPECT_EQ(rt::weekdayOf(v), 2);                // Monday
    EXPECT_EQ(rt::weekdayOf(at(2008, 10, 5)), 1);  // a Sunday
    EXPECT_EQ(rt::weekdayOf(at(2008, 10, 11, 23, 59, 59)), 7);
    EXPECT_EQ(rt::weekdayOf(at(1899, 12, 30)), 7);  // a Saturday
    EXPECT_EQ(rt::weekdayOf(at(100, 1, 1)), 6);     // a Friday, proleptic Gregorian
    EXPECT_EQ(rt::datePart(v), at(2008, 10, 6));
}

TEST(DateTime, LocalClockConversions) {
    // 2008-10-06 09:05:03 in whatever zone the test runs, built with mktime.
    std::tm tm{};
    tm.tm_year = 108;
    tm.tm_mon = 9;
    tm.tm_mday = 6;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    EXPECT_EQ(rt::toCivil(rt::fromTimeT(t)), (CivilTime{2008, 10, 6, 9, 5, 3}));

    const DateTime now = rt::currentDateTime();
    const double seconds = now.days * 86400;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-3);  // whole seconds only
    EXPECT_GE(rt::yearOf(now), 2020);
}
