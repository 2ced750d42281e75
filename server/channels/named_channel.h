// A channel as a player names it ("CCTV5+", "cctv-5+", "CCTV-1 综合",
// "鳳凰衛視中文台"), brought to its key once (ChannelNames::key): the
// catalogue row of that key, with the days its pages show (a --map line
// included), else any channel of the sources by that key.
#pragma once

#include <string_view>
#include <vector>

#include "server/model/listings.h"

namespace epg {

// Programmes starting in [from, to), in start order; none for a name no
// channel has. A catalogue row without programmes then gives way to the
// sources' channels of its key. A row's id in XMLTV out names that row.
std::vector<Programme> programmesNamed(const Listings& listings, std::string_view name,
                                       Seconds from, Seconds to);

// The icon of the channel a name finds, as its feed gives it; empty for none.
std::string iconNamed(const Listings& listings, std::string_view name);

}  // namespace epg
