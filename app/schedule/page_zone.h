// The zone the EPG pages are written in. Pages give times of day only; the
// zone turns a page's date and time into an instant and back, so that which
// programme is on air, when the pages' day ends and when a reminder is due
// are read on the pages' clock on a host in any zone. The weekday labels and
// the date in the status bar keep the computer's own clock.
//
//   const base::Zone& zone = app::beijingZone();
//   std::int64_t start = base::fromLocal({2024, 12, 9}, 19 * 60, zone);
//   base::LocalTime t = base::toLocal(start, zone);  // 2024-12-09 19:00
#pragma once

#include <cstdint>

#include "base/civil_time.h"
#include "runtime/values/value.h"

namespace app {

inline constexpr const char* kDefaultPageZone = "Asia/Shanghai";

// Beijing time, the zone of the pages unless configured; the computer's own
// on a machine without a time-zone database.
const base::Zone& beijingZone();

// The instant at which the computer's local clock (the guide's clock, which
// honours TZ) reads `hostLocal`.
std::int64_t unixOfHostLocal(rt::DateTime hostLocal);

// The wall-clock time in `zone` at the moment the computer's local clock
// reads `hostLocal`.
rt::DateTime pageTimeOf(const base::Zone& zone, rt::DateTime hostLocal);

// The date of day `day` (1 Monday .. 7 Sunday) of the week that holds `now`
// on the zone's clocks: the date page W<day>.htm is for.
base::Date dateOfDayThisWeek(const base::Zone& zone, std::int64_t now, int day);

}  // namespace app
