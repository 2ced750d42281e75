// The grid (节目总览): the channels of a group as rows against the hours of
// one day, each programme a block from its start to its end.
//
//   app::schedule::Grid grid = app::schedule::gridOf(week, group, 3, zone);
//   for (const GridRow& row : grid.rows)
//       for (const GridBlock& b : row.blocks) paint(b.start, b.end, b.programme.title);
//
// Ends are the feed's where the EPG root gave them; otherwise the next
// programme's start, and the last of a page runs to the first of the next
// day's page when that is held, else to the day's end. A programme with a
// known end never reaches past it: a gap stays a gap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/schedule/channel_day.h"
#include "app/schedule/page_zone.h"
#include "app/schedule/week_schedule.h"
#include "catalogue/catalogue.h"
#include "runtime/values/value.h"

namespace app::schedule {

struct GridBlock {
    std::int64_t start = 0;  // Unix seconds
    std::int64_t end = 0;    // after start
    bool endKnown = false;   // the feed's own end, not a guess
    Programme programme;     // as held (title, description, category GBK)
};

struct GridRow {
    rt::Text channel;               // the catalogue name, without its trailing blanks (GBK)
    std::string path;               // catalogue path
    bool held = false;              // its pages have come (possibly empty)
    std::vector<GridBlock> blocks;  // in start order, each overlapping [from, to)
};

struct Grid {
    int day = 0;      // 1 Monday .. 7 Sunday
    base::Date date;  // that day in the week of the request
    std::int64_t from = 0;
    std::int64_t to = 0;        // the day's midnights on the pages' clock
    std::vector<GridRow> rows;  // one per row of the group, in its order
};

// The grid of `group` on `day` of the week that holds `now`, from the pages
// held: each channel's page of that day, and of the day before for what
// runs past midnight into it.
Grid gridOf(const WeekSchedule& week, const catalogue::Group& group, int day,
            const base::Zone& zone, std::int64_t now);

// The block on air at `instant` in `row`; null in a gap or before the first.
const GridBlock* blockOnAir(const GridRow& row, std::int64_t instant);

// Row `row` of a day page's list as a block, for its details: the feed's
// record of the same start where `held` (the schedule's same channel-day)
// has one, with its end and description; otherwise the row itself, running
// to the next row's start, the last to the end of its date. Nothing for a
// row outside the list or without a time.
std::optional<GridBlock> blockOfListRow(const ChannelDay& shown, const ChannelDay* held,
                                        std::size_t row, const base::Zone& zone);

}  // namespace app::schedule
