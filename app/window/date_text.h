// The weekday name and the date texts the main window shows. All results are
// GBK. Each function that reads the clock when the date-time is omitted also
// has an overload taking `now`, for callers with a clock of their own.
#pragma once

#include <array>
#include <optional>

#include "runtime/values/value.h"

namespace app {

// "星期日" .. "星期六" for weekday 1 (Sunday) .. 7 (Saturday).
rt::Text weekdayName(std::optional<rt::DateTime> dateTime = std::nullopt);
rt::Text weekdayName(std::optional<rt::DateTime> dateTime, rt::DateTime now);

// Year (unpadded), month, day, hour, minute, second; all but the year padded
// with "0" to two characters.
std::array<rt::Text, 6> splitDateTime(rt::DateTime dateTime);

// How formatDateTime writes the fields.
enum class DateStyle : int {
    Chinese = 0,  // 年月日时分秒 after the fields
    Dashed = 1,   // "-" in the date, ":" in the time
    Slashed = 2,  // "/" throughout
    Digits = 3,   // digits only
};

// Which fields formatDateTime writes.
enum class DatePart : int {
    Whole = 0,
    Date = 1,
    MonthDay = 2,
    Time = 3,
    HourMinute = 4,
    MinuteSecond = 5,
};

// The date-time, or a part of it, in one of the four styles. Chinese Whole is
// the runtime's default date-time text. A style or part outside the enums (the
// command took plain numbers) gives the text "时间_到文本() 命令参数填写有误".
rt::Text formatDateTime(std::optional<rt::DateTime> dateTime = std::nullopt,
                        DateStyle style = DateStyle::Chinese, DatePart part = DatePart::Whole);
rt::Text formatDateTime(std::optional<rt::DateTime> dateTime, DateStyle style, DatePart part,
                        rt::DateTime now);

}  // namespace app
