#include "app/schedule/now_next.h"

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
    return {shown(now), shown(next)};
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
