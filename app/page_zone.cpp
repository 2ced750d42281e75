#include "app/page_zone.h"

#include <date/tz.h>

#include <chrono>
#include <ctime>
#include <stdexcept>

#include "runtime/values/date_time.h"

namespace app {

namespace {

using Seconds = std::chrono::seconds;

ZoneTime splitLocal(std::int64_t localSeconds) {
    const date::local_seconds local{Seconds(localSeconds)};
    const auto day = date::floor<date::days>(local);
    return {date::sys_days{day.time_since_epoch()},
            static_cast<int>(date::floor<std::chrono::minutes>(local - day).count())};
}

}  // namespace

std::optional<PageZone> PageZone::named(const std::string& name) {
    try {
        return PageZone(name, date::locate_zone(name));
    } catch (const std::runtime_error&) {  // unknown, or no database at all
        return std::nullopt;
    }
}

ZoneTime PageZone::timeAt(std::int64_t unixSeconds) const {
    if (zone_) {
        const date::sys_seconds utc{Seconds(unixSeconds)};
        return splitLocal(zone_->to_local(utc).time_since_epoch().count());
    }
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return splitLocal(unixSeconds);
    return splitLocal(unixSeconds + tm.tm_gmtoff);
}

std::int64_t PageZone::instantOf(date::sys_days day, int minuteOfDay) const {
    const date::local_seconds local{
        Seconds(day.time_since_epoch() + std::chrono::minutes(minuteOfDay))};
    if (zone_) {
        const date::local_info info = zone_->get_info(local);
        // Ambiguous: the first of the two (the earlier offset); skipped: the
        // offset before the jump, which lands on the moment of the jump or after.
        const Seconds offset = info.first.offset;
        return (local.time_since_epoch() - offset).count();
    }
    const date::year_month_day ymd{day};
    std::tm tm{};
    tm.tm_year = static_cast<int>(ymd.year()) - 1900;
    tm.tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
    tm.tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
    tm.tm_hour = minuteOfDay / 60;
    tm.tm_min = minuteOfDay % 60;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

rt::DateTime PageZone::fromHostLocal(rt::DateTime hostLocal) const {
    if (!zone_) return hostLocal;
    const std::int64_t instant = unixOfHostLocal(hostLocal);
    const date::sys_seconds utc{Seconds(instant)};
    const auto local = zone_->to_local(utc);
    const auto day = date::floor<date::days>(local);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<Seconds> time{local - day};
    const auto there = rt::fromCivil(
        {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
         static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
         static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())});
    return there.value_or(hostLocal);
}

std::int64_t unixOfHostLocal(rt::DateTime hostLocal) {
    const rt::CivilTime c = rt::toCivil(hostLocal);
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_isdst = -1;  // the C library knows whether summer time applies
    return static_cast<std::int64_t>(std::mktime(&tm));
}

const PageZone& beijingZone() {
    static const PageZone beijing = PageZone::named(kDefaultPageZone).value_or(PageZone::local());
    return beijing;
}

date::sys_days dateOfDayThisWeek(const PageZone& zone, std::int64_t now, int day) {
    const date::sys_days today = zone.timeAt(now).date;
    const date::weekday weekday{today};
    return today - date::days(weekday.iso_encoding() - 1) + date::days(day - 1);
}

}  // namespace app
