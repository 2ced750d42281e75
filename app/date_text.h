// The weekday name and the date texts the main window shows. All results are
// GBK. Each function that reads the clock when the date-time is omitted also
// has an overload taking `now`, for callers with a clock of their own.
#pragma once

#include <array>
#include <optional>

#include "runtime/values/value.h"

namespace app {

// "星期日" .. "星期六" for weekday 1 (Sunday) .. 7 (Saturday).
rt::Text WeekdayName(std::optional<rt::DateTime> dateTime = std::nullopt);
rt::Text WeekdayName(std::optional<rt::DateTime> dateTime, rt::DateTime now);

// Year (unpadded), month, day, hour, minute, second; all but the year padded
// with "0" to two characters.
std::array<rt::Text, 6> SplitDateTime(rt::DateTime dateTime);

// The date-time, or a part of it (0 whole, 1 date, 2 month and day, 3 time,
// 4 hour and minute, 5 minute and second), in one of four styles (0 with
// 年月日时分秒, 1 with "-" and ":", 2 with "/" throughout, 3 digits only).
// Style 0 part 0 is the runtime's default date-time text. Any other style or
// part gives the text "时间_到文本() 命令参数填写有误".
rt::Text 时间_到文本(std::optional<rt::DateTime> dateTime = std::nullopt, int style = 0,
                     int part = 0);
rt::Text 时间_到文本(std::optional<rt::DateTime> dateTime, int style, int part, rt::DateTime now);

}  // namespace app
