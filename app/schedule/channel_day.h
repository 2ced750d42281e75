// One channel's day page as programme records: what the page lists, in page
// order, each with the instant it starts.
//
//   auto rows = app::parseSchedule(pageText);
//   app::schedule::ChannelDay day = app::schedule::makeChannelDay(
//       "programys/TV_1/Channel_1/", 3, app::dateOfDayThisWeek(zone, now, 3), rows, zone);
//
// Pages run past midnight: a time earlier than the row before it belongs to
// the next date, as for the on-air row (app/on_air.h). Hours 24..29 count on
// into the next date too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/schedule/page_zone.h"
#include "app/schedule/schedule_parse.h"
#include "runtime/values/value.h"

namespace app::schedule {

struct Programme {
    std::string channel;                // catalogue path, e.g. "programys/TV_1/Channel_1/"
    int day = 0;                        // the page it is listed on: 1 Monday .. 7 Sunday
    std::optional<std::int64_t> start;  // Unix seconds; none when the time text holds no time
    rt::Text time;                      // as parsed (GBK), e.g. " 08:00"
    rt::Text title;                     // as parsed (GBK), as the list shows it
    // Known only where the EPG root answers the players' JSON: day pages
    // give a start and a title alone.
    std::optional<std::int64_t> end;  // Unix seconds
    rt::Text description;             // GBK
    rt::Text category;                // GBK
};

struct ChannelDay {
    std::string channel;
    int day = 0;
    base::Date date;  // the date the page's first row is on
    std::vector<Programme> programmes;
};

ChannelDay makeChannelDay(std::string channel, int day, base::Date date,
                          const std::vector<ScheduleRow>& rows, const base::Zone& zone);

// "HH:MM" of the air time as the page writes it (" 8:05" gives "08:05",
// " 24:30" stays "24:30"); empty when the text holds no time.
rt::Text shownTime(const rt::Text& timeText);

}  // namespace app::schedule
