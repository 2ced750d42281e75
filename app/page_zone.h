// The zone the EPG pages are written in. Pages give times of day only; the
// zone turns a page's date and time into an instant and back, so that which
// programme is on air, when the pages' day ends and when a reminder is due
// are read on the pages' clock on a host in any zone. The weekday labels and
// the date in the status bar keep the computer's own clock.
//
//   const app::PageZone& zone = app::beijingZone();
//   std::int64_t start = zone.instantOf(date::sys_days{2024_y / 12 / 9}, 19 * 60);
//   app::ZoneTime t = zone.timeAt(start);  // {2024-12-09, 1140}
//
// A PageZone is a small value, and its calls are safe from any thread (the
// schedule store's workers use one concurrently).
#pragma once

#include <date/date.h>

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/values/value.h"

namespace date {
class time_zone;
}

namespace app {

inline constexpr const char* kDefaultPageZone = "Asia/Shanghai";

struct ZoneTime {
    date::sys_days date;
    int minuteOfDay = 0;  // 0..1439
    friend bool operator==(const ZoneTime&, const ZoneTime&) = default;
};

class PageZone {
  public:
    // Nothing for a name the time-zone database does not know.
    static std::optional<PageZone> named(const std::string& name);
    // The computer's own zone, for a machine without a time-zone database.
    static PageZone local() { return PageZone("local time", nullptr); }

    const std::string& name() const { return name_; }

    // The zone's date and minute at `unixSeconds`.
    ZoneTime timeAt(std::int64_t unixSeconds) const;
    // When the zone's clocks show `date` at `minuteOfDay` (0..1439), in Unix
    // seconds: for a time shown twice the first, for one skipped the moment
    // the clocks jumped over it.
    std::int64_t instantOf(date::sys_days date, int minuteOfDay) const;

    // The wall-clock time in this zone at the moment the computer's local
    // clock (the guide's clock, which honours TZ) reads `hostLocal`.
    rt::DateTime fromHostLocal(rt::DateTime hostLocal) const;

  private:
    PageZone(std::string name, const date::time_zone* zone) : name_(std::move(name)), zone_(zone) {}
    std::string name_;
    const date::time_zone* zone_;  // null: the computer's own
};

// The instant at which the computer's local clock reads `hostLocal`.
std::int64_t unixOfHostLocal(rt::DateTime hostLocal);

// Beijing time, the zone of the pages unless configured; the computer's own
// on a machine without a time-zone database.
const PageZone& beijingZone();

// The date of day `day` (1 Monday .. 7 Sunday) of the week that holds `now`
// on the zone's clocks: the date page W<day>.htm is for.
date::sys_days dateOfDayThisWeek(const PageZone& zone, std::int64_t now, int day);

}  // namespace app
