// Writing listings as XMLTV: one <channel> per catalogue channel that has
// programmes, with the catalogue path as its id (stable across runs, and a
// file read back needs no map) and the catalogue name as display-name.
#pragma once

#include <string>
#include <vector>

#include "server/listings.h"

namespace epg {

// Programmes per catalogue channel (index = channel number), in start order.
using ChannelProgrammes = std::vector<std::vector<Programme>>;

// Titles and descriptions as the listings hold them; start and stop on the
// zone's clock with its UTC offset.
std::string writeXmltv(const ChannelProgrammes& channels, const Zone& zone);
// The programmes of every channel that start in [from, to).
std::string writeXmltv(const Listings& listings, Seconds from, Seconds to, const Zone& zone);

// Writes the same to a file; an error text naming it, or empty.
std::string writeXmltvFile(const std::string& fileName, const Listings& listings, Seconds from,
                           Seconds to, const Zone& zone);

std::string xmltvTime(Seconds t, const Zone& zone);  // "20261207060000 +0800"

}  // namespace epg
