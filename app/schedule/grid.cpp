// TEMP: a stand-in for the grid model so that the views build and run; the
// model's own implementation replaces this file.
#include "app/schedule/grid.h"

#include <algorithm>

namespace app::schedule {

namespace {

void addPage(const ChannelDay* page, const ChannelDay* next, std::int64_t from, std::int64_t to,
             std::vector<GridBlock>& out) {
    if (!page) return;
    const auto& ps = page->programmes;
    for (std::size_t i = 0; i < ps.size(); ++i) {
        if (!ps[i].start) continue;
        GridBlock b;
        b.start = *ps[i].start;
        b.programme = ps[i];
        if (ps[i].end) {
            b.end = *ps[i].end;
            b.endKnown = true;
        } else {
            std::optional<std::int64_t> following;
            for (std::size_t j = i + 1; j < ps.size() && !following; ++j) following = ps[j].start;
            if (!following && next)
                for (const Programme& p : next->programmes)
                    if (p.start) {
                        following = p.start;
                        break;
                    }
            b.end = following ? *following : std::max(to, b.start + 60);
        }
        if (b.end <= b.start) continue;
        if (b.end > from && b.start < to) out.push_back(std::move(b));
    }
}

}  // namespace

Grid gridOf(const WeekSchedule& week, const catalogue::Group& group, int day,
            const base::Zone& zone, std::int64_t now) {
    Grid g;
    g.day = day;
    g.date = dateOfDayThisWeek(zone, now, day);
    g.from = base::localMidnight(g.date, zone);
    g.to = base::localMidnight(base::addDays(g.date, 1), zone);
    for (const catalogue::Row& r : group.rows) {
        GridRow row;
        row.channel = r.name;
        while (!row.channel.empty() && row.channel.back() == ' ') row.channel.pop_back();
        row.path = std::string(r.path);
        const ChannelDay* today = week.find(r.path, day);
        row.held = today != nullptr;
        if (day > 1) addPage(week.find(r.path, day - 1), today, g.from, g.to, row.blocks);
        addPage(today, day < 7 ? week.find(r.path, day + 1) : nullptr, g.from, g.to, row.blocks);
        std::stable_sort(row.blocks.begin(), row.blocks.end(),
                         [](const GridBlock& a, const GridBlock& b) { return a.start < b.start; });
        row.blocks.erase(std::unique(row.blocks.begin(), row.blocks.end(),
                                     [](const GridBlock& a, const GridBlock& b) {
                                         return a.start == b.start;
                                     }),
                         row.blocks.end());
        g.rows.push_back(std::move(row));
    }
    return g;
}

const GridBlock* blockOnAir(const GridRow& row, std::int64_t instant) {
    for (const GridBlock& b : row.blocks)
        if (b.start <= instant && instant < b.end) return &b;
    return nullptr;
}

}  // namespace app::schedule
