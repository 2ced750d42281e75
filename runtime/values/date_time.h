// Date-time values: days since 1899-12-30 00:00 as a double, the fraction
// being the time of day. Before that day the sign belongs to the day only, as
// in OLE automation dates: -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00.
//
// Every component is taken from the value clamped to [kMinDays, kMaxDays]
// (0100-01-01 .. 9999-12-31 00:00) and rounded to the nearest whole second, so
// a value built for 23:00:07 never reads back as 23:00:06.
#pragma once

#include <ctime>
#include <optional>

#include "runtime/values/value.h"

namespace rt {

struct CivilTime {
    int year = 1899;
    int month = 12;  // 1..12
    int day = 30;    // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// The value limited to the valid range; NaN counts as 0 (1899-12-30).
DateTime clampDateTime(DateTime value);

// The calendar date and time of day of the clamped value.
CivilTime toCivil(DateTime value);

// The value of a calendar date and time; nothing when a field is out of its
// range (year 100..9999, a day the month lacks, hour 24, ...).
std::optional<DateTime> fromCivil(const CivilTime& civil);

// The local date and time of a time_t, to the whole second, clamped to the
// valid range.
DateTime fromTimeT(std::time_t t);

// The local date and time now, to the whole second.
DateTime currentDateTime();

// The same day at 00:00:00.
DateTime datePart(DateTime value);

int yearOf(DateTime value);     // 100..9999
int monthOf(DateTime value);    // 1..12
int dayOf(DateTime value);      // 1..31
int hourOf(DateTime value);     // 0..23
int minuteOf(DateTime value);   // 0..59
int secondOf(DateTime value);   // 0..59
int weekdayOf(DateTime value);  // 1 Sunday, 2 Monday, .. 7 Saturday

}  // namespace rt
