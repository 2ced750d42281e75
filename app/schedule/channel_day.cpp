#include "app/schedule/channel_day.h"

#include "app/schedule/on_air.h"

namespace app::schedule {

namespace {

constexpr int kMinutesPerDay = 24 * 60;

}  // namespace

ChannelDay makeChannelDay(std::string channel, int day, base::Date date,
                          const std::vector<ScheduleRow>& rows, const base::Zone& zone) {
    ChannelDay out{std::move(channel), day, date, {}};
    out.programmes.reserve(rows.size());
    int dayOffset = 0;
    std::optional<int> previous;
    for (const ScheduleRow& row : rows) {
        Programme p{out.channel, day, std::nullopt, row.time, row.title, std::nullopt, {}, {}};
        if (const auto minutes = minutesOfAirTime(row.time)) {
            int pageMinute = *minutes + dayOffset;
            if (previous && pageMinute < *previous) {
                dayOffset += kMinutesPerDay;
                pageMinute += kMinutesPerDay;
            }
            previous = pageMinute;
            // Minutes past midnight roll into the next date before the zone
            // is asked, so a zone with daylight saving sees the clock time of
            // the date the programme is really on.
            p.start = base::fromLocal(date, pageMinute, zone);
        }
        out.programmes.push_back(std::move(p));
    }
    return out;
}

rt::Text shownTime(const rt::Text& timeText) {
    const auto minutes = minutesOfAirTime(timeText);
    if (!minutes) return {};
    const int hour = *minutes / 60;  // 0..29
    const int minute = *minutes % 60;
    return {char('0' + hour / 10), char('0' + hour % 10), ':', char('0' + minute / 10),
            char('0' + minute % 10)};
}

}  // namespace app::schedule
