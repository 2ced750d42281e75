// What is on now and what comes next on a channel, for the rows of an open
// group: "HH:MM title" as the page writes time and title (GBK), empty where
// there is none.
#pragma once

#include <cstdint>
#include <vector>

#include "app/schedule/channel_day.h"
#include "app/schedule/week_schedule.h"
#include "catalogue/catalogue.h"
#include "runtime/values/value.h"

namespace app::schedule {

struct NowNext {
    rt::Text now;
    rt::Text next;
    friend bool operator==(const NowNext&, const NowNext&) = default;
};

// Over the programmes of `pages` (null entries skipped) that have a start:
// now is the one that began last at or before `instant` (the later page's on
// a tie), next the first to begin after it. The last programme stays on now
// since pages give no end.
NowNext nowNext(const std::vector<const ChannelDay*>& pages, std::int64_t instant);

// One per row of `group`, from each channel's page of `day` (1..7) and, for
// the programmes still running from before midnight, its page of the day
// before (none for Monday: last week's Sunday is not held).
std::vector<NowNext> nowNextOfGroup(const WeekSchedule& week, const catalogue::Group& group,
                                    int day, std::int64_t instant);

}  // namespace app::schedule
