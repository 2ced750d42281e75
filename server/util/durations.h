// Lengths of time as the server's options take them and its messages say them.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace epg {

// "90s", "30m", "6h", "2d", or "0" (never); a year at most.
std::optional<std::chrono::seconds> parseDuration(std::string_view text);
// "45 s", "12 min", "3 h 5 min", "4 days": how long, for messages.
std::string durationText(std::chrono::seconds d);
// The same of how long ago, for the log.
std::string ageText(std::chrono::system_clock::duration age);

}  // namespace epg
