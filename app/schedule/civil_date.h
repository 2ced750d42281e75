// Dates as a calendar shows them, and the guide's week: day 1 is Monday, day
// 7 Sunday, as the day pages W1.htm .. W7.htm are numbered.
#pragma once

#include <compare>

namespace app::schedule {

struct CivilDate {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    friend auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

// Days since 1970-01-01 (negative before), and back.
long long daysSinceEpoch(CivilDate date);
CivilDate dateOfEpochDay(long long days);

CivilDate addDays(CivilDate date, long long days);

// 1 Monday .. 7 Sunday.
int weekdayOf(CivilDate date);

// The date of day `day` (1..7) in the Monday-to-Sunday week holding `today`.
CivilDate dateInWeekOf(CivilDate today, int day);

}  // namespace app::schedule
