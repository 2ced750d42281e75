#include "app/schedule/civil_date.h"

#include <chrono>

namespace app::schedule {

long long daysSinceEpoch(CivilDate date) {
    using namespace std::chrono;
    const year_month_day ymd{year{date.year}, month{static_cast<unsigned>(date.month)},
                             day{static_cast<unsigned>(date.day)}};
    return sys_days{ymd}.time_since_epoch().count();
}

CivilDate dateOfEpochDay(long long days) {
    using namespace std::chrono;
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

CivilDate addDays(CivilDate date, long long days) {
    return dateOfEpochDay(daysSinceEpoch(date) + days);
}

int weekdayOf(CivilDate date) {
    using namespace std::chrono;
    return static_cast<int>(
        weekday{sys_days{std::chrono::days{daysSinceEpoch(date)}}}.iso_encoding());
}

CivilDate dateInWeekOf(CivilDate today, int day) {
    return addDays(today, day - weekdayOf(today));
}

}  // namespace app::schedule
