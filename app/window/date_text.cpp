#include "app/window/date_text.h"

#include "runtime/values/conversions.h"
#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {
namespace {

rt::Text padTwo(int n) {
    rt::Text t = rt::toText(static_cast<std::int32_t>(n));
    return t.size() < 2 ? rt::repeatText(2 - static_cast<int>(t.size()), "0") + t : t;
}

}  // namespace

rt::Text weekdayName(std::optional<rt::DateTime> dateTime, rt::DateTime now) {
    static const std::array<rt::Text, 7> kNames = {
        rt::gbk("星期日"), rt::gbk("星期一"), rt::gbk("星期二"), rt::gbk("星期三"),
        rt::gbk("星期四"), rt::gbk("星期五"), rt::gbk("星期六")};
    const int weekday = rt::weekdayOf(dateTime.value_or(now));
    return weekday >= 1 && weekday <= 7 ? kNames[weekday - 1] : rt::Text{};
}

rt::Text weekdayName(std::optional<rt::DateTime> dateTime) {
    return weekdayName(dateTime, dateTime ? *dateTime : rt::currentDateTime());
}

std::array<rt::Text, 6> splitDateTime(rt::DateTime dateTime) {
    const rt::CivilTime c = rt::toCivil(dateTime);
    return {rt::toText(static_cast<std::int32_t>(c.year)),
            padTwo(c.month),
            padTwo(c.day),
            padTwo(c.hour),
            padTwo(c.minute),
            padTwo(c.second)};
}

rt::Text formatDateTime(std::optional<rt::DateTime> dateTime, DateStyle dateStyle,
                        DatePart datePart, rt::DateTime now) {
    static const rt::Text kYear = rt::gbk("年"), kMonth = rt::gbk("月"), kDay = rt::gbk("日");
    static const rt::Text kHour = rt::gbk("时"), kMinute = rt::gbk("分"), kSecond = rt::gbk("秒");
    static const rt::Text kWrongArguments = rt::gbk("时间_到文本() 命令参数填写有误");
    const rt::DateTime value = dateTime.value_or(now);
    const auto [Y, M, D, h, m, s] = splitDateTime(value);
    const int style = static_cast<int>(dateStyle), part = static_cast<int>(datePart);
    if (part < 0 || part > 5 || style < 0 || style > 3) return kWrongArguments;

    // Separators of styles 1..3: between date fields, between date and time,
    // between time fields.
    struct Separators {
        const char* date;
        const char* middle;
        const char* time;
    };
    static const Separators kStyles[4] = {
        {"", "", ""}, {"-", " ", ":"}, {"/", " ", "/"}, {"", "", ""}};
    const Separators& sep = kStyles[style];
    if (style == 0) {
        switch (part) {
            case 0: return rt::toText(value);
            case 1: return rt::joinTexts({Y, kYear, M, kMonth, D, kDay});
            case 2: return rt::joinTexts({M, kMonth, D, kDay});
            case 3: return rt::joinTexts({h, kHour, m, kMinute, s, kSecond});
            case 4: return rt::joinTexts({h, kHour, m, kMinute});
            default: return rt::joinTexts({m, kMinute, s, kSecond});
        }
    }
    switch (part) {
        case 0:
            return rt::joinTexts(
                {Y, sep.date, M, sep.date, D, sep.middle, h, sep.time, m, sep.time, s});
        case 1: return rt::joinTexts({Y, sep.date, M, sep.date, D});
        case 2: return rt::joinTexts({M, sep.date, D});
        case 3: return rt::joinTexts({h, sep.time, m, sep.time, s});
        case 4: return rt::joinTexts({h, sep.time, m});
        default: return rt::joinTexts({m, sep.time, s});
    }
}

rt::Text formatDateTime(std::optional<rt::DateTime> dateTime, DateStyle style, DatePart part) {
    return formatDateTime(dateTime, style, part, dateTime ? *dateTime : rt::currentDateTime());
}

}  // namespace app
