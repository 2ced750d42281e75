// Cutting the schedule rows out of a day page.
//
// A day page lists one programme per row as
//   align='center'> ... <div id='e1' >TIME</div> ... <div id='e2' >TITLE</div></div>
// The guide finds every "align='center'>" ... "</div></div>" row in page order,
// takes the first "<div id='e1' >...</div>" and "<div id='e2' >...</div>" of
// each, strips their tags and cuts the title before its first "剧情" (a link
// the old pages put after the title). Nothing is trimmed and character
// references such as "&nbsp;" stay as they are.
#pragma once

#include <string_view>
#include <vector>

#include "runtime/values/value.h"

namespace app {

// The row, air-time and title patterns, as regular expressions.
inline constexpr const char* kRowPattern = "align='center'>(.*?)</div></div>";
inline constexpr const char* kTimePattern = "<div id='e1' >(.*?)</div>";
inline constexpr const char* kTitlePattern = "<div id='e2' >(.*?)</div>";
inline constexpr const char* kTagPattern = "<.*?>";

struct ScheduleRow {
    rt::Text time;   // program list column 0: " " followed by the stripped air time
    rt::Text title;  // column 1: the stripped title, cut before its first "剧情"
    friend bool operator==(const ScheduleRow&, const ScheduleRow&) = default;
};

// The text of a fetched day page: every byte of its body but the NULs. A text
// ends at its first NUL, so a NUL a server lets slip into a page would
// otherwise end the programme list there; no row holds one.
rt::Text pageText(const rt::Bytes& body);

// The rows of a page text (GBK, no NUL). Time linear in the page: the patterns
// are matched by plain substring search, which finds what the regular
// expressions find (leftmost start, shortest body).
std::vector<ScheduleRow> parseSchedule(std::string_view page);

}  // namespace app
