// When a page shown in a viewer asks to be fetched again: its
// <meta http-equiv="refresh" content="N"> (N seconds, perhaps followed by
// "; url=...", which is not followed: the same address is fetched again).
#pragma once

#include <chrono>
#include <string_view>

namespace rt {

inline constexpr std::chrono::seconds kShortestReload{10};
inline constexpr std::chrono::seconds kLongestReload{3600};
inline constexpr std::chrono::seconds kReloadWithoutRefresh{300};

// The seconds the page's first refresh asks for, kept within 10 s .. 1 h so
// that no page can make the viewer hammer its server or fall asleep; five
// minutes when the page asks for none that can be read.
std::chrono::seconds reloadInterval(std::string_view page);

}  // namespace rt
