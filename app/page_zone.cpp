#include "app/page_zone.h"

#include <date/tz.h>

#include <chrono>
#include <ctime>
#include <stdexcept>

#include "runtime/values/date_time.h"

namespace app {

std::optional<PageZone> PageZone::named(const std::string& name) {
    try {
        return PageZone(name, date::locate_zone(name));
    } catch (const std::runtime_error&) {  // unknown, or no database at all
        return std::nullopt;
    }
}

rt::DateTime PageZone::fromHostLocal(rt::DateTime hostLocal) const {
    if (!zone_) return hostLocal;
    const rt::CivilTime c = rt::toCivil(hostLocal);
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    tm.tm_isdst = -1;  // the C library knows whether summer time applies
    const std::time_t instant = std::mktime(&tm);
    if (instant == static_cast<std::time_t>(-1)) return hostLocal;
    const date::sys_seconds utc{std::chrono::seconds(instant)};
    const auto local = zone_->to_local(utc);
    const auto day = date::floor<date::days>(local);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<std::chrono::seconds> time{local - day};
    const auto there = rt::fromCivil(
        {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
         static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
         static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())});
    return there.value_or(hostLocal);
}

}  // namespace app
