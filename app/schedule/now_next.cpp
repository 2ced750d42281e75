#include "app/schedule/now_next.h"

#include <algorithm>

#include "runtime/values/text_commands.h"

namespace app::schedule {

namespace {

rt::Text shown(const Programme* p) {
    return p ? rt::joinTexts({shownTime(p->time), " ", p->title}) : rt::Text{};
}

}  // namespace

NowNext nowNext(const std::vector<const ChannelDay*>& pages, std::int64_t instant) {
    const Programme* now = nullptr;
    const Programme* next = nullptr;
    for (const ChannelDay* page : pages) {
        if (!page) continue;
        for (const Programme& p : page->programmes) {
            if (!p.start) continue;
            if (*p.start <= instant) {
                if (!now || *p.start >= *now->start) now = &p;
            } else if (!next || *p.start < *next->start) {
                next = &p;
            }
        }
    }
    if (now && now->end && *now->end <= instant) now = nullptr;
    return {shown(now), shown(next)};
}

std::optional<int> rowOnAirByEnds(const ChannelDay& shown, const ChannelDay& withEnds,
                                  std::int64_t instant) {
    if (std::none_of(withEnds.programmes.begin(), withEnds.programmes.end(),
                     [](const Programme& p) { return p.end.has_value(); }))
        return std::nullopt;
    const Programme* on = nullptr;
    for (const Programme& p : withEnds.programmes)
        if (p.start && *p.start <= instant && (!on || *p.start >= *on->start)) on = &p;
    if (!on || (on->end && *on->end <= instant)) return -1;
    for (std::size_t i = 0; i < shown.programmes.size(); ++i)
        if (shown.programmes[i].start == on->start) return static_cast<int>(i);
    return -1;
}

std::vector<NowNext> nowNextOfGroup(const WeekSchedule& week, const catalogue::Group& group,
                                    int day, std::int64_t instant) {
    std::vector<NowNext> out;
    out.reserve(group.rows.size());
    for (const catalogue::Row& row : group.rows) {
        const ChannelDay* before = day > 1 ? week.find(row.path, day - 1) : nullptr;
        out.push_back(nowNext({before, week.find(row.path, day)}, instant));
    }
    return out;
}

}  // namespace app::schedule
