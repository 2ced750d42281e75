// Instants written as UTC text, and channel-days built from (time, title)
// rows, for the schedule tests.
#pragma once

#include <date/date.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/schedule/channel_day.h"
#include "app/schedule/page_zone.h"
#include "catalogue/catalogue.h"
#include "gbk_literal.h"

namespace schedule_test {

// The path of a catalogue row.
inline std::string pathOf(int group, int row) {
    return std::string(catalogue::groups()[group].rows[row].path);
}

// "2024-12-09T11:00Z" <-> Unix seconds.
inline std::string utc(std::int64_t unixSeconds) {
    return date::format("%FT%RZ", date::sys_seconds{std::chrono::seconds(unixSeconds)});
}
inline std::int64_t utc(const char* text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::sscanf(text, "%d-%d-%dT%d:%dZ", &y, &mo, &d, &h, &mi);
    const auto day = date::sys_days{date::year(y) / mo / d};
    return (day.time_since_epoch() + std::chrono::minutes(h * 60 + mi)) / std::chrono::seconds(1);
}

// A date of the calendar.
inline base::Date ymd(int y, int m, int d) {
    return {y, m, d};
}

// A page of `channel` for `day` of the week of 9 December 2024 (a Monday), on
// Beijing time. Rows are (time text, title), both UTF-8 here.
inline std::shared_ptr<const app::schedule::ChannelDay> beijingDay(
    std::string channel, int day, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::vector<app::ScheduleRow> parsed;
    for (const auto& [time, title] : rows) parsed.push_back({G(time), G(title)});
    return std::make_shared<const app::schedule::ChannelDay>(app::schedule::makeChannelDay(
        std::move(channel), day, ymd(2024, 12, 8 + day), parsed, app::beijingZone()));
}

// A channel-day as the players' JSON gives it, in the same week: rows are
// (start, end, title) as Beijing "HH:MM" of that day ("" end: none given; an
// end before its start is on the next day), UTF-8 here.
struct FeedRow {
    std::string start, end, title;
};
inline std::shared_ptr<const app::schedule::ChannelDay> feedDay(std::string channel, int day,
                                                                const std::vector<FeedRow>& rows) {
    const base::Date date = ymd(2024, 12, 8 + day);
    const auto at = [&](const std::string& hhmm, int plusDays) {
        const int minute = std::stoi(hhmm.substr(0, 2)) * 60 + std::stoi(hhmm.substr(3, 2));
        return base::fromLocal(base::addDays(date, plusDays), minute, app::beijingZone());
    };
    app::schedule::ChannelDay out{channel, day, date, {}};
    for (const FeedRow& r : rows) {
        const std::int64_t start = at(r.start, 0);
        std::optional<std::int64_t> end;
        if (!r.end.empty()) end = at(r.end, r.end < r.start ? 1 : 0);
        out.programmes.push_back({channel, day, start, G(" " + r.start), G(r.title), end, {}, {}});
    }
    return std::make_shared<const app::schedule::ChannelDay>(std::move(out));
}

}  // namespace schedule_test
