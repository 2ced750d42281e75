// Finding programmes by a fragment of their title over this week of every
// catalogue channel: a filter over the held records, nothing fetched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/week_schedule.h"
#include "runtime/values/value.h"

namespace app::schedule {

struct SearchHit {
    int group = 0;  // catalogue place: opening the hit is a click on this row
    int row = 0;
    rt::Text channel;  // the catalogue's name (GBK)
    std::string path;
    int day = 0;     // 1..7
    rt::Text time;   // "HH:MM" as the page writes it, empty when it gives none
    rt::Text title;  // as the list shows it (GBK)
    std::optional<std::int64_t> start;
};

// Every programme of days 1..7 of each catalogue row whose title holds
// `fragment` (GBK; ASCII letters in either case; never matched from the
// second byte of a double-byte character), by day, start, catalogue order
// and page order. A row without a time sorts with the row before it. An
// empty fragment finds nothing. Pages not held are not searched.
// Given `today` (1..7), the days run from it to Sunday and the days gone
// come last: a viewer searches for what is still to come.
std::vector<SearchHit> searchTitles(const WeekSchedule& week, std::string_view fragment,
                                    int today = 1);

}  // namespace app::schedule
