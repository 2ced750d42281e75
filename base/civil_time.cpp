#include "base/civil_time.h"

#include <date/date.h>
#include <date/tz.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace base {

namespace {

// The date library's calendar counts days from 1970-01-01, as Seconds do.
// Dates here are real ones: what comes from outside passes validDate() first.
date::sys_days sysDays(const Date& d) {
    return date::year_month_day{date::year{d.year}, date::month{static_cast<unsigned>(d.month)},
                                date::day{static_cast<unsigned>(d.day)}};
}

Date dateOf(date::sys_days days) {
    date::year_month_day ymd{days};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

}  // namespace

std::int64_t daysFromCivil(const Date& d) {
    return sysDays(d).time_since_epoch().count();
}

Date civilFromDays(std::int64_t days) {
    return dateOf(date::sys_days{date::days{static_cast<date::days::rep>(days)}});
}

Date addDays(const Date& d, int n) {
    return dateOf(sysDays(d) + date::days{n});
}

int isoWeekday(const Date& d) {
    return static_cast<int>(date::weekday{sysDays(d)}.iso_encoding());
}

Date mondayOf(const Date& d) {
    date::sys_days day = sysDays(d);
    return dateOf(day - (date::weekday{day} - date::Monday));
}

bool validDate(int year, int month, int day) {
    // The bounds first: the library keeps a month and a day in a byte each.
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
    return date::year_month_day{date::year{year}, date::month{static_cast<unsigned>(month)},
                                date::day{static_cast<unsigned>(day)}}
        .ok();
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
    date::sys_seconds wall{std::chrono::seconds(t + offset)};
    date::sys_days day = date::floor<date::days>(wall);
    Seconds ofDay = (wall - day).count();
    return {dateOf(day), static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
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

}  // namespace base
