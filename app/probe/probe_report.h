// The probe's view of the main window and the guide, as one JSON object.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/schedule/grid.h"
#include "runtime/values/value.h"
#include "runtime/window/runtime.h"

namespace app {
class Guide;
class GuideSchedule;
}  // namespace app

namespace app::probe {

// Keys: title, groups, current_group, channel_list {rows, current_row,
// now_next [{now, next}] per row ("HH:MM title", "" where none)},
// channel_base_url, labels [{caption, color}], slider, program_list {columns,
// rows, now_row (the row marked on air, -1 none)}, status, requests, skin
// (the system colours the skin changed, as
// {"index": 0x00BBGGRR, ...}), search {text, results [{group, row, channel,
// day, time, title}]}, favourites [{channel, path}], reminders and
// notifications [{channel, start (YYYY-MM-DDTHH:MM on the pages' clock),
// title}], grid {day, now, rows [{channel, programmes [{start, end, title}]}]}
// and details {channel, start, end, title, desc} (times YYYY-MM-DDTHH:MM on
// the pages' clock; both null until asked for). Texts are shown as UTF-8. An
// unloaded window gives empty values.
struct ProbeViews {
    std::optional<schedule::Grid> grid;
    std::int64_t now = 0;  // Unix seconds, when the grid was taken
    struct Details {
        rt::Text channel;  // GBK, as the catalogue names it
        schedule::GridBlock block;
    };
    std::optional<Details> details;
};
std::string stateJson(const rt::Runtime& rt, const Guide& guide, const GuideSchedule* schedule,
                      const std::vector<rt::Text>& requests,
                      const std::map<int, std::uint32_t>& skinColours,
                      const ProbeViews& views = {});

}  // namespace app::probe
