// Writing listings as an XMLTV file, one <channel> per catalogue channel with
// the catalogue path as its id, so that reading the file back needs no map.
#pragma once

#include <string>

#include "server/listings.h"

namespace epg {

// The programmes of every channel that start in [from, to), times written with
// the local UTC offset of each.
std::string writeXmltv(const Listings& listings, Seconds from, Seconds to);

// Writes the same to a file; an error text naming it, or empty.
std::string writeXmltvFile(const std::string& fileName, const Listings& listings, Seconds from,
                           Seconds to);

std::string xmltvTime(Seconds t);  // "20261207060000 +0800"

}  // namespace epg
