#include "runtime/values/date_time.h"

#include <cmath>
#include <cstdint>

#include "base/civil_time.h"

namespace rt {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kEpochFromUnixDays = -25569;  // 1899-12-30 counted from 1970-01-01

// Seconds since 1899-12-30 00:00 on a straight time line, rounded to the
// nearest second. The clamp bounds this to about 2.6e11, far inside the
// precision of a double, so rounding is exact for values built from seconds.
std::int64_t linearSeconds(DateTime value) {
    const double v = clampDateTime(value).days;
    if (v >= 0) return std::llround(v * kSecondsPerDay);
    const double day = std::ceil(v);   // the day, towards zero
    const double timeOfDay = day - v;  // the fraction, always counted forwards
    return static_cast<std::int64_t>(day) * kSecondsPerDay +
           std::llround(timeOfDay * kSecondsPerDay);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

DateTime fromDayAndSeconds(std::int64_t day, std::int64_t secondsOfDay) {
    const double fraction = static_cast<double>(secondsOfDay) / kSecondsPerDay;
    const double d = static_cast<double>(day);
    return DateTime{day < 0 ? d - fraction : d + fraction};
}

}  // namespace

DateTime clampDateTime(DateTime value) {
    if (std::isnan(value.days)) return DateTime{0.0};
    if (value.days < kMinDays) return DateTime{kMinDays};
    if (value.days > kMaxDays) return DateTime{kMaxDays};
    return value;
}

CivilTime toCivil(DateTime value) {
    const std::int64_t total = linearSeconds(value);
    const std::int64_t day = floorDiv(total, kSecondsPerDay);
    const auto secs = static_cast<int>(total - day * kSecondsPerDay);
    const base::Date date = base::civilFromDays(day + kEpochFromUnixDays);
    CivilTime c{date.year, date.month, date.day};
    c.hour = secs / 3600;
    c.minute = secs / 60 % 60;
    c.second = secs % 60;
    return c;
}

std::optional<DateTime> fromCivil(const CivilTime& c) {
    if (c.year < 100 || c.year > 9999 || !base::validDate(c.year, c.month, c.day) || c.hour < 0 ||
        c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59)
        return std::nullopt;
    const std::int64_t day = base::daysFromCivil({c.year, c.month, c.day}) - kEpochFromUnixDays;
    return fromDayAndSeconds(day, c.hour * 3600 + c.minute * 60 + c.second);
}

DateTime fromTimeT(std::time_t t) {
    // Two days beyond the range on either side hold every zone's offset; past
    // them the local year is out of range anyway, and may not fit the calendar.
    constexpr base::Seconds kSlack = 2 * kSecondsPerDay;
    static const base::Seconds first = base::daysFromCivil({100, 1, 1}) * kSecondsPerDay - kSlack;
    static const base::Seconds last = base::daysFromCivil({10000, 1, 1}) * kSecondsPerDay + kSlack;
    if (t < first) return DateTime{kMinDays};
    if (t > last) return DateTime{kMaxDays};
    const base::LocalTime local = base::toLocal(t, base::Zone::local());
    if (local.date.year < 100) return DateTime{kMinDays};
    if (local.date.year > 9999) return DateTime{kMaxDays};
    // A leap second reads as the second before it.
    const CivilTime c{local.date.year, local.date.month, local.date.day,
                      local.hour,      local.minute,     local.second > 59 ? 59 : local.second};
    return *fromCivil(c);
}

DateTime currentDateTime() {
    return fromTimeT(std::time(nullptr));
}

DateTime datePart(DateTime value) {
    const CivilTime c = toCivil(value);
    return *fromCivil(CivilTime{c.year, c.month, c.day, 0, 0, 0});
}

int yearOf(DateTime value) {
    return toCivil(value).year;
}
int monthOf(DateTime value) {
    return toCivil(value).month;
}
int dayOf(DateTime value) {
    return toCivil(value).day;
}
int hourOf(DateTime value) {
    return toCivil(value).hour;
}
int minuteOf(DateTime value) {
    return toCivil(value).minute;
}
int secondOf(DateTime value) {
    return toCivil(value).second;
}

int weekdayOf(DateTime value) {
    const std::int64_t day = floorDiv(linearSeconds(value), kSecondsPerDay);
    // Monday 1 .. Sunday 7 turned into Sunday 1 .. Saturday 7.
    return base::isoWeekday(base::civilFromDays(day + kEpochFromUnixDays)) % 7 + 1;
}

}  // namespace rt
