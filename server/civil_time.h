// Calendar dates and the server's local wall clock. Programme times travel as
// Unix seconds (UTC); only pages and the banner show them in local time.
#pragma once

#include <cstdint>
#include <string>

namespace epg {

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

// Local wall time of an instant in the process's time zone (TZ).
struct LocalTime {
    Date date;
    int hour = 0, minute = 0, second = 0;
    int utcOffsetSeconds = 0;
};
LocalTime toLocal(Seconds t);
// The instant of a local wall time; minutes past 24:00 roll into the next days,
// and a time skipped by a daylight-saving change is moved past the gap.
Seconds fromLocal(const Date& d, int minuteOfDay);
Seconds localMidnight(const Date& d);

}  // namespace epg
