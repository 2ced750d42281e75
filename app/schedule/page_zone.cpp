#include "app/schedule/page_zone.h"

namespace app::schedule {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

// Floor division: instants before 1970 still fall on the right day.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

ZoneTime FixedOffsetZone::timeAt(std::int64_t unixSeconds) const {
    const std::int64_t local = unixSeconds + std::chrono::seconds(offset_).count();
    const std::int64_t day = floorDiv(local, kSecondsPerDay);
    return {dateOfEpochDay(day), static_cast<int>((local - day * kSecondsPerDay) / 60)};
}

std::int64_t FixedOffsetZone::instantOf(CivilDate date, int minuteOfDay) const {
    return daysSinceEpoch(date) * kSecondsPerDay + std::int64_t{minuteOfDay} * 60 -
           std::chrono::seconds(offset_).count();
}

const PageZone& beijingZone() {
    static const FixedOffsetZone beijing{std::chrono::hours(8)};
    return beijing;
}

CivilDate dateOfDayThisWeek(const PageZone& zone, std::int64_t now, int day) {
    return dateInWeekOf(zone.timeAt(now).date, day);
}

}  // namespace app::schedule
