#include "server/util/civil_time.h"

#include <date/tz.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace epg {

// Howard Hinnant's days_from_civil / civil_from_days.
std::int64_t daysFromCivil(const Date& d) {
    std::int64_t y = d.year - (d.month <= 2 ? 1 : 0);
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yoe = y - era * 400;
    std::int64_t mp = (d.month + 9) % 12;
    std::int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date civilFromDays(std::int64_t z) {
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

Date addDays(const Date& d, int n) {
    return civilFromDays(daysFromCivil(d) + n);
}

int isoWeekday(const Date& d) {
    std::int64_t z = daysFromCivil(d);       // 1970-01-01 was a Thursday
    std::int64_t w = ((z % 7) + 7 + 3) % 7;  // 0 = Monday
    return static_cast<int>(w) + 1;
}

Date mondayOf(const Date& d) {
    return addDays(d, 1 - isoWeekday(d));
}

bool validDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    return civilFromDays(daysFromCivil({year, month, day})) == Date{year, month, day};
}

std::string isoText(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

struct ZoneAccess {
    static const date::time_zone* tz(const Zone& z) { return z.tz_; }
    static Zone make(const date::time_zone* tz) { return Zone(tz); }
};

std::optional<Zone> Zone::named(std::string_view name) {
    try {
        return ZoneAccess::make(date::locate_zone(name));
    } catch (const std::exception&) {
        // An unknown name, or no tz database at all.
        return std::nullopt;
    }
}

std::string Zone::name() const {
    return tz_ ? std::string(tz_->name()) : "local";
}

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

LocalTime processLocal(Seconds t) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return {{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday},
            tm.tm_hour,
            tm.tm_min,
            tm.tm_sec,
            static_cast<int>(tm.tm_gmtoff)};
}

Seconds processFromLocal(const Date& d, int minuteOfDay) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day + minuteOfDay / (24 * 60);
    tm.tm_hour = (minuteOfDay % (24 * 60)) / 60;
    tm.tm_min = minuteOfDay % 60;
    tm.tm_isdst = -1;
    return static_cast<Seconds>(std::mktime(&tm));
}

}  // namespace

LocalTime toLocal(Seconds t, const Zone& zone) {
    const date::time_zone* tz = ZoneAccess::tz(zone);
    if (!tz) return processLocal(t);
    auto offset = tz->get_info(date::sys_seconds(std::chrono::seconds(t))).offset.count();
    Seconds wall = t + offset;
    std::int64_t days = floorDiv(wall, 86400);
    Seconds ofDay = wall - days * 86400;
    return {civilFromDays(days), static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
            static_cast<int>(ofDay % 60), static_cast<int>(offset)};
}

Seconds fromLocal(const Date& d, int minuteOfDay, const Zone& zone) {
    const date::time_zone* tz = ZoneAccess::tz(zone);
    if (!tz) return processFromLocal(d, minuteOfDay);
    Seconds wall = daysFromCivil(d) * 86400 + Seconds{minuteOfDay} * 60;
    // The offset in force before the wall time: for a time in a gap that is
    // the offset before the change, which puts it past the gap; for a time
    // that occurs twice, the first occurrence.
    auto info = tz->get_info(date::local_seconds(std::chrono::seconds(wall)));
    return wall - info.first.offset.count();
}

Seconds localMidnight(const Date& d, const Zone& zone) {
    return fromLocal(d, 0, zone);
}

}  // namespace epg
