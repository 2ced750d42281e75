// What is on now and what comes next on a channel, for the rows of an open
// group: "HH:MM title" as the page writes time and title (GBK), empty where
// there is none.
#pragma once

#include <cstdint>
#include <optional>
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
// a tie), unless its end is known and has come (a gap in the feed: nothing
// is on); next the first to begin after it. Without an end the last
// programme stays on now, as day pages give none.
NowNext nowNext(const std::vector<const ChannelDay*>& pages, std::int64_t instant);

// The row of `shown` (a day page's rows, in page order) on air at `instant`
// when `withEnds`, the same channel-day as the feed gives it, knows ends: the
// row that starts when the programme on air there began, -1 in a gap or when
// the list has no such row. Nothing when `withEnds` knows no end, and the
// page's own rule (rowOnAir) decides.
std::optional<int> rowOnAirByEnds(const ChannelDay& shown, const ChannelDay& withEnds,
                                  std::int64_t instant);

// One per row of `group`, from each channel's page of `day` (1..7) and, for
// the programmes still running from before midnight, its page of the day
// before (none for Monday: last week's Sunday is not held).
std::vector<NowNext> nowNextOfGroup(const WeekSchedule& week, const catalogue::Group& group,
                                    int day, std::int64_t instant);

}  // namespace app::schedule
