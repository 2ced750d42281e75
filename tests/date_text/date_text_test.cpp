#include <gtest/gtest.h>

#include "app/window/date_text.h"
#include "gbk_literal.h"
#include "runtime/values/date_time.h"

using app::DatePart;
using app::DateStyle;
using app::formatDateTime;
using app::splitDateTime;
using app::weekdayName;
using rt::DateTime;

namespace {

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return rt::fromCivil(rt::CivilTime{y, mo, d, h, mi, s}).value();
}

std::string text(std::optional<DateTime> v, int style, int part) {
    return U(formatDateTime(v, static_cast<DateStyle>(style), static_cast<DatePart>(part)));
}

const std::string kWrong = "时间_到文本() 命令参数填写有误";

}  // namespace

TEST(WeekdayName, EveryDayOfAWeek) {
    const char* names[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(U(weekdayName(at(2008, 10, 6 + i, 23, 59, 59))), names[i]) << i;
    EXPECT_EQ(U(weekdayName(at(1899, 12, 30))), "星期六");
    EXPECT_EQ(U(weekdayName(DateTime{-1e9})), "星期五");  // clamped to 0100-01-01
}

TEST(WeekdayName, OmittedDateTimeMeansNow) {
    const DateTime sunday = at(2008, 10, 12, 10);
    EXPECT_EQ(U(weekdayName(std::nullopt, sunday)), "星期日");
    EXPECT_EQ(U(weekdayName(at(2008, 10, 6), sunday)), "星期一");  // given wins
    // The real clock: the omitted form agrees with the current date-time (read
    // before and after, in case midnight passes in between).
    const rt::Text before = weekdayName(rt::currentDateTime());
    const rt::Text got = weekdayName();
    const rt::Text after = weekdayName(rt::currentDateTime());
    EXPECT_TRUE(got == before || got == after) << U(got);
}

TEST(SplitDateTime, PiecesArePaddedExceptTheYear) {
    const auto p = splitDateTime(at(2008, 10, 6, 9, 5, 3));
    EXPECT_EQ((std::array<rt::Text, 6>{"2008", "10", "06", "09", "05", "03"}), p);
    const auto small = splitDateTime(at(100, 1, 1));
    EXPECT_EQ((std::array<rt::Text, 6>{"100", "01", "01", "00", "00", "00"}), small);
    const auto late = splitDateTime(at(9999, 12, 31));
    EXPECT_EQ(late[0], "9999");
    EXPECT_EQ(splitDateTime(DateTime{1e9})[0], "9999");
}

TEST(TimeToText, DefaultTextDropsZeroTimeFields) {
    EXPECT_EQ(text(at(2008, 10, 6), 0, 0), "2008年10月6日");
    EXPECT_EQ(text(at(2008, 10, 6, 23), 0, 0), "2008年10月6日23时");
    EXPECT_EQ(text(at(2008, 10, 6, 23, 5), 0, 0), "2008年10月6日23时5分");
    EXPECT_EQ(text(at(2008, 10, 6, 23, 0, 7), 0, 0), "2008年10月6日23时0分7秒");
    // Omitted style and part are 0.
    EXPECT_EQ(U(formatDateTime(at(2008, 10, 6, 23, 5))), "2008年10月6日23时5分");
    EXPECT_EQ(U(formatDateTime(at(100, 1, 1))), "100年1月1日");
}

TEST(TimeToText, EveryStyleAndPart) {
    const DateTime v = at(2008, 10, 6, 9, 5, 3);
    const char* expected[6][4] = {
        {"2008年10月6日9时5分3秒", "2008-10-06 09:05:03", "2008/10/06 09/05/03", "20081006090503"},
        {"2008年10月06日", "2008-10-06", "2008/10/06", "20081006"},
        {"10月06日", "10-06", "10/06", "1006"},
        {"09时05分03秒", "09:05:03", "09/05/03", "090503"},
        {"09时05分", "09:05", "09/05", "0905"},
        {"05分03秒", "05:03", "05/03", "0503"},
    };
    for (int part = 0; part < 6; ++part)
        for (int style = 0; style < 4; ++style)
            EXPECT_EQ(text(v, style, part), expected[part][style])
                << "style " << style << " part " << part;
}

TEST(TimeToText, InvalidStyleOrPartGivesTheFixedText) {
    for (auto [style, part] :
         {std::pair{4, 0}, {-1, 0}, {0, 6}, {0, -1}, {4, 6}, {3, 99}, {-7, 2}}) {
        EXPECT_EQ(text(at(2008, 10, 6), style, part), kWrong) << style << "/" << part;
        EXPECT_EQ(text(std::nullopt, style, part), kWrong) << style << "/" << part;
    }
}

TEST(TimeToText, OmittedDateTimeMeansNow) {
    const DateTime now = at(2008, 10, 6, 9, 5, 3);
    EXPECT_EQ(U(formatDateTime(std::nullopt, DateStyle::Dashed, DatePart::Whole, now)),
              "2008-10-06 09:05:03");
    EXPECT_EQ(U(formatDateTime(at(2001, 2, 3), DateStyle::Dashed, DatePart::Date, now)),
              "2001-02-03");
    // The real clock: the omitted form gives today's date.
    const rt::Text before =
        formatDateTime(rt::currentDateTime(), DateStyle::Dashed, DatePart::Date);
    const rt::Text got = formatDateTime(std::nullopt, DateStyle::Dashed, DatePart::Date);
    const rt::Text after = formatDateTime(rt::currentDateTime(), DateStyle::Dashed, DatePart::Date);
    EXPECT_TRUE(got == before || got == after) << got;
}

TEST(TimeToText, StatusBarTextOfStartUp) {
    // Today's date at midnight, a space and the weekday name.
    const DateTime now = at(2008, 10, 6, 14, 22, 9);
    const rt::Text shown = formatDateTime(rt::datePart(now)) + " " + weekdayName(std::nullopt, now);
    EXPECT_EQ(U(shown), "2008年10月6日 星期一");
}
