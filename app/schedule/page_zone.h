// The clock the day pages are written on. Pages give times of day only; the
// zone turns a page's date and time into an instant and back, so the guide
// can compare programmes with "now" on a host in any zone.
//
//   const app::schedule::PageZone& zone = app::schedule::beijingZone();
//   std::int64_t start = zone.instantOf({2024, 12, 9}, 19 * 60);
//   app::schedule::ZoneTime t = zone.timeAt(start);  // {2024-12-09, 1140}
//
// A zone with a tz database behind it implements the same two functions.
// Implementations are called from the store's worker threads and must be
// safe to call concurrently (const and stateless, as these are).
#pragma once

#include <chrono>
#include <cstdint>

#include "app/schedule/civil_date.h"

namespace app::schedule {

struct ZoneTime {
    CivilDate date;
    int minuteOfDay = 0;  // 0..1439
    friend bool operator==(const ZoneTime&, const ZoneTime&) = default;
};

class PageZone {
  public:
    virtual ~PageZone() = default;
    // The zone's date and minute at `unixSeconds`.
    virtual ZoneTime timeAt(std::int64_t unixSeconds) const = 0;
    // When the zone's clocks show `date` at `minuteOfDay` (0..1439), in Unix
    // seconds; for a time shown twice the first, for one skipped the zone's
    // own choice.
    virtual std::int64_t instantOf(CivilDate date, int minuteOfDay) const = 0;
};

// A zone that is always the same distance from UTC.
class FixedOffsetZone final : public PageZone {
  public:
    explicit FixedOffsetZone(std::chrono::minutes eastOfUtc) : offset_(eastOfUtc) {}
    ZoneTime timeAt(std::int64_t unixSeconds) const override;
    std::int64_t instantOf(CivilDate date, int minuteOfDay) const override;

  private:
    std::chrono::minutes offset_;
};

// Beijing time, UTC+8: China has kept no daylight saving time since 1991, so
// a fixed offset is exact for any week the guide shows.
const PageZone& beijingZone();

// The date of day `day` (1 Monday .. 7 Sunday) of the week that holds `now`
// on the zone's clocks: the date page W<day>.htm is for.
CivilDate dateOfDayThisWeek(const PageZone& zone, std::int64_t now, int day);

}  // namespace app::schedule
