#include "app/schedule/title_search.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "catalogue/catalogue.h"
#include "runtime/values/text_commands.h"

namespace app::schedule {

namespace {

struct Ranked {
    SearchHit hit;
    std::int64_t when = 0;  // start, or the start of the timed row before it
    int order = 0;          // running catalogue order
    int pageRow = 0;
};

}  // namespace

std::vector<SearchHit> searchTitles(const WeekSchedule& week, std::string_view fragment,
                                    int today) {
    std::vector<Ranked> found;
    if (fragment.empty()) return {};
    const auto& groups = catalogue::groups();
    int order = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (std::size_t r = 0; r < groups[g].rows.size(); ++r, ++order) {
            const catalogue::Row& channel = groups[g].rows[r];
            for (int day = 1; day <= 7; ++day) {
                const ChannelDay* page = week.find(channel.path, day);
                if (!page) continue;
                // Before its first timed row a page's rows are at its date's start.
                std::int64_t when = std::numeric_limits<std::int64_t>::min();
                for (std::size_t i = 0; i < page->programmes.size(); ++i) {
                    const Programme& p = page->programmes[i];
                    if (p.start) when = *p.start;
                    if (rt::findText(p.title, fragment, std::nullopt, true) < 0) continue;
                    found.push_back(
                        {{static_cast<int>(g), static_cast<int>(r), channel.name,
                          std::string(channel.path), day, shownTime(p.time), p.title, p.start},
                         when,
                         order,
                         static_cast<int>(i)});
                }
            }
        }
    }
    const int first = today >= 1 && today <= 7 ? today : 1;
    const auto fromToday = [first](int day) { return (day - first + 7) % 7; };
    std::sort(found.begin(), found.end(), [&](const Ranked& a, const Ranked& b) {
        return std::tuple(fromToday(a.hit.day), a.when, a.order, a.pageRow) <
               std::tuple(fromToday(b.hit.day), b.when, b.order, b.pageRow);
    });
    std::vector<SearchHit> hits;
    hits.reserve(found.size());
    for (Ranked& f : found) hits.push_back(std::move(f.hit));
    return hits;
}

}  // namespace app::schedule
