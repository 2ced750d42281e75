// Writing listings as XMLTV that players and XMLTV's own validator accept:
// one <channel> per catalogue channel that has programmes, with its dotted
// id (channelXmltvId: stable across runs, and a file read back needs no
// map) and as display-names every name a player may look it up by; then
// every other channel the sources carry (Listings::others()). Icons,
// descriptions and categories as the feeds give them.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "server/model/listings.h"

namespace epg {

// Programmes per catalogue channel (index = channel number), in start order.
using ChannelProgrammes = std::vector<std::vector<Programme>>;

// Titles and descriptions as the listings hold them (less characters XML
// cannot carry; a programme whose title is blank is left out); start and
// stop on the zone's clock with its UTC offset. `names` gives the feeds'
// names of each channel (Listings::feedNames).
std::string writeXmltv(const ChannelProgrammes& channels, const Zone& zone,
                       const Listings* names = nullptr);

// A catalogue channel's display-names: its catalogue name (without the
// catalogue's trailing blanks), its short form where it has one ("CCTV1"
// for "CCTV-1（综合）"), then the feeds' names, each once.
std::vector<std::string> xmltvDisplayNames(std::size_t channel,
                                           std::span<const std::string> feedNames);
// The programmes of every channel, the others too, that start in [from, to).
std::string writeXmltv(const Listings& listings, Seconds from, Seconds to, const Zone& zone);

// Writes the same to a file; an error text naming it, or empty.
std::string writeXmltvFile(const std::string& fileName, const Listings& listings, Seconds from,
                           Seconds to, const Zone& zone);

std::string xmltvTime(Seconds t, const Zone& zone);  // "20261207060000 +0800"

}  // namespace epg
