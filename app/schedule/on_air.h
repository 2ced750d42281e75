// Which programme of a day's list is on air at a time of day.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "runtime/values/value.h"

namespace app {

// The first "H:MM" or "HH:MM" in an air-time text (" 08:00", " &nbsp;19:30")
// as minutes after midnight; hours up to 29 for pages that count past
// midnight. Nothing when the text holds no such time.
std::optional<int> minutesOfAirTime(std::string_view text);

// The row on air at `minuteOfDay` (0..1439) among rows with these air-time
// texts, in page order: the last row whose time is not after it. A time
// earlier than the row before belongs to the next day (a page that runs past
// midnight), so such rows are never on air today. -1 when no row has begun.
int rowOnAir(const std::vector<rt::Text>& airTimes, int minuteOfDay);

}  // namespace app
