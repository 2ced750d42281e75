#include "app/schedule/page_zone.h"

#include "runtime/values/date_time.h"

namespace app {

const base::Zone& beijingZone() {
    static const base::Zone beijing =
        base::Zone::named(kDefaultPageZone).value_or(base::Zone::local());
    return beijing;
}

std::int64_t unixOfHostLocal(rt::DateTime hostLocal) {
    const rt::CivilTime c = rt::toCivil(hostLocal);
    return base::fromLocal({c.year, c.month, c.day}, c.hour * 60 + c.minute, base::Zone::local()) +
           c.second;
}

rt::DateTime pageTimeOf(const base::Zone& zone, rt::DateTime hostLocal) {
    if (zone == base::Zone::local()) return hostLocal;
    const base::LocalTime there = base::toLocal(unixOfHostLocal(hostLocal), zone);
    return rt::fromCivil({there.date.year, there.date.month, there.date.day, there.hour,
                          there.minute, there.second})
        .value_or(hostLocal);
}

base::Date dateOfDayThisWeek(const base::Zone& zone, std::int64_t now, int day) {
    return base::addDays(base::mondayOf(base::toLocal(now, zone).date), day - 1);
}

}  // namespace app
