#include "runtime/values/date_time.h"

#include <cmath>
#include <cstdint>

namespace rt {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kEpochFromUnixDays = -25569;  // 1899-12-30 counted from 1970-01-01

// Day number of a proleptic Gregorian date counted from 1970-01-01
// (H. Hinnant's algorithm, exact over the whole int range we use).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

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
    CivilTime c;
    civilFromDays(day + kEpochFromUnixDays, c.year, c.month, c.day);
    c.hour = secs / 3600;
    c.minute = secs / 60 % 60;
    c.second = secs % 60;
    return c;
}

std::optional<DateTime> fromCivil(const CivilTime& c) {
    if (c.year < 100 || c.year > 9999 || c.month < 1 || c.month > 12 || c.day < 1 ||
        c.day > daysInMonth(c.year, c.month) || c.hour < 0 || c.hour > 23 || c.minute < 0 ||
        c.minute > 59 || c.second < 0 || c.second > 59)
        return std::nullopt;
    const std::int64_t day =
        daysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) -
        kEpochFromUnixDays;
    return fromDayAndSeconds(day, c.hour * 3600 + c.minute * 60 + c.second);
}

DateTime fromTimeT(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return DateTime{t < 0 ? kMinDays : kMaxDays};
    const std::int64_t year = static_cast<std::int64_t>(tm.tm_year) + 1900;
    if (year < 100) return DateTime{kMinDays};
    if (year > 9999) return DateTime{kMaxDays};
    const CivilTime c{
        static_cast<int>(year),         tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
        tm.tm_sec > 59 ? 59 : tm.tm_sec};
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
    // Day 0, 1899-12-30, was a Saturday (7).
    return static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
}

}  // namespace rt
