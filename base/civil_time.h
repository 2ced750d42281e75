// Calendar dates and wall clocks of time zones, on the date library. Instants
// travel as Unix seconds (UTC); a date and a time of day exist only on the
// wall clock of a zone, which every caller names: one of the tz database, or
// the process's own local zone (TZ, /etc/localtime).
//
//   const base::Zone beijing = base::Zone::named("Asia/Shanghai").value();
//   base::LocalTime t = base::toLocal(1796817600, beijing);  // 2026-12-09 20:00
//   base::fromLocal(t.date, 20 * 60, beijing);               // 1796817600
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace date {
class time_zone;
}

namespace base {

using Seconds = std::int64_t;  // Unix time, seconds since 1970-01-01 00:00 UTC

struct Date {
    int year = 1970, month = 1, day = 1;
    friend auto operator<=>(const Date&, const Date&) = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(const Date& d);
Date civilFromDays(std::int64_t days);
Date addDays(const Date& d, int n);
// 1 = Monday .. 7 = Sunday.
int isoWeekday(const Date& d);
// The Monday of the week holding d.
Date mondayOf(const Date& d);
bool validDate(int year, int month, int day);
std::string isoText(const Date& d);  // "2026-12-07"

// A small value; copies are cheap and never change, and any thread may use one.
class Zone {
  public:
    Zone() = default;  // the process's local zone
    static Zone local() { return {}; }
    // The zone of an IANA name ("Asia/Shanghai"), or nothing when the tz
    // database lacks it (or is not installed).
    static std::optional<Zone> named(std::string_view name);
    std::string name() const;  // the IANA name, or "local"
    friend bool operator==(const Zone&, const Zone&) = default;

  private:
    friend struct ZoneAccess;
    explicit Zone(const date::time_zone* tz) : tz_(tz) {}
    const date::time_zone* tz_ = nullptr;  // nullptr: the local zone
};

// The wall time of an instant in a zone.
struct LocalTime {
    Date date;
    int hour = 0, minute = 0, second = 0;
    int utcOffsetSeconds = 0;
    int minuteOfDay() const { return hour * 60 + minute; }
};
LocalTime toLocal(Seconds t, const Zone& zone);
// The instant of a wall time in a zone. Minutes past 24:00 roll into the next
// days; a time skipped by a daylight-saving change is moved past the gap (by
// the gap's length), and a time that occurs twice is taken the first time.
Seconds fromLocal(const Date& d, int minuteOfDay, const Zone& zone);
Seconds localMidnight(const Date& d, const Zone& zone);

}  // namespace base
