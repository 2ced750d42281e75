#include "app/schedule/grid.h"

#include <algorithm>

namespace app::schedule {

namespace {

// The page of `path` on `day` when it is the one of `date`: a page of an
// earlier week held over is no guide to this one.
const ChannelDay* pageOf(const WeekSchedule& week, std::string_view path, int day,
                         const base::Date& date) {
    if (day < 1 || day > 7) return nullptr;
    const ChannelDay* page = week.find(path, day);
    return page && page->date == date ? page : nullptr;
}

rt::Text withoutTrailingBlanks(rt::Text name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    return name;
}

// The programmes of `pages` that have a start, in start order; of two at
// one start the later page's, which lists it as its own day's.
std::vector<const Programme*> inStartOrder(std::initializer_list<const ChannelDay*> pages) {
    std::vector<const Programme*> all;
    for (const ChannelDay* page : pages) {
        if (!page) continue;
        for (const Programme& p : page->programmes)
            if (p.start) all.push_back(&p);
    }
    std::stable_sort(all.begin(), all.end(),
                     [](const Programme* a, const Programme* b) { return *a->start < *b->start; });
    std::vector<const Programme*> out;
    for (const Programme* p : all) {
        if (!out.empty() && *out.back()->start == *p->start)
            out.back() = p;
        else
            out.push_back(p);
    }
    return out;
}

GridRow rowOf(const WeekSchedule& week, const catalogue::Row& channel, const Grid& grid) {
    GridRow row;
    row.channel = withoutTrailingBlanks(channel.name);
    row.path = std::string(channel.path);
    const ChannelDay* before =
        pageOf(week, channel.path, grid.day - 1, base::addDays(grid.date, -1));
    const ChannelDay* page = pageOf(week, channel.path, grid.day, grid.date);
    const ChannelDay* after = pageOf(week, channel.path, grid.day + 1, base::addDays(grid.date, 1));
    row.held = page != nullptr;
    const std::vector<const Programme*> list = inStartOrder({before, page});

    // Where the last of the list runs to when the feed gave it no end.
    std::int64_t last = grid.to;
    if (after)
        for (const Programme& p : after->programmes)
            if (p.start && *p.start >= grid.to) {
                last = *p.start;
                break;
            }

    for (std::size_t i = 0; i < list.size(); ++i) {
        const Programme& p = *list[i];
        const std::int64_t start = *p.start;
        const std::int64_t next = i + 1 < list.size() ? *list[i + 1]->start : last;
        std::int64_t end = p.end ? *p.end : next;
        // Blocks never overlap: a feed's end past the next start gives way to it.
        if (i + 1 < list.size()) end = std::min(end, next);
        if (end <= start || end <= grid.from || start >= grid.to) continue;
        row.blocks.push_back({start, end, p.end.has_value(), p});
    }
    return row;
}

}  // namespace

Grid gridOf(const WeekSchedule& week, const catalogue::Group& group, int day,
            const base::Zone& zone, std::int64_t now) {
    Grid grid;
    grid.day = day;
    grid.date = dateOfDayThisWeek(zone, now, day);
    grid.from = base::localMidnight(grid.date, zone);
    grid.to = base::localMidnight(base::addDays(grid.date, 1), zone);
    grid.rows.reserve(group.rows.size());
    for (const catalogue::Row& channel : group.rows)
        grid.rows.push_back(rowOf(week, channel, grid));
    return grid;
}

const GridBlock* blockOnAir(const GridRow& row, std::int64_t instant) {
    for (const GridBlock& b : row.blocks)
        if (b.start <= instant && instant < b.end) return &b;
    return nullptr;
}

std::optional<GridBlock> blockOfListRow(const ChannelDay& shown, const ChannelDay* held,
                                        std::size_t row, const base::Zone& zone) {
    if (row >= shown.programmes.size() || !shown.programmes[row].start) return std::nullopt;
    const Programme& listed = shown.programmes[row];
    const std::int64_t start = *listed.start;
    const Programme* fed = nullptr;
    if (held)
        for (const Programme& p : held->programmes)
            if (p.start == listed.start) fed = &p;
    if (fed && fed->end) return GridBlock{start, *fed->end, true, *fed};
    std::int64_t end = 0;
    for (std::size_t i = row + 1; i < shown.programmes.size() && end == 0; ++i)
        if (shown.programmes[i].start && *shown.programmes[i].start > start)
            end = *shown.programmes[i].start;
    if (end == 0)
        end = base::localMidnight(base::addDays(base::toLocal(start, zone).date, 1), zone);
    return GridBlock{start, end, false, fed ? *fed : listed};
}

}  // namespace app::schedule
