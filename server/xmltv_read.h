// Reading listings from XMLTV files, through a map from catalogue paths to
// XMLTV channel ids. Errors come back as text naming the file and the line.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/listings.h"

namespace epg {

// Lets the map be searched with a string_view, without a string per lookup.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// XMLTV channel id -> catalogue channels (one id may feed several rows).
using ChannelMap =
    std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>>;

struct MapResult {
    std::optional<ChannelMap> map;
    std::string error;  // "FILE:LINE: what", when map is empty
};

// The map file: one line per channel, catalogue path TAB channel id; "#"
// starts a comment; blank lines are ignored.
MapResult parseChannelMap(std::string_view text, std::string_view fileName);
MapResult readChannelMap(const std::string& fileName);
// Used without a map file: every channel id that is itself a catalogue path.
ChannelMap identityChannelMap();

struct XmltvResult {
    bool ok = false;
    std::string error;           // "FILE:LINE: what" when not ok
    std::size_t programmes = 0;  // added to the listings
    std::size_t skipped = 0;     // of mapped channels, without a usable start or title
};

// Adds the programmes of mapped channels to `into` (call into.finish() after
// the last file). Declared GB2312/GBK/GB18030 files are converted first.
XmltvResult readXmltv(std::string_view bytes, std::string_view fileName, const ChannelMap& map,
                      StoredListings& into);
XmltvResult readXmltvFile(const std::string& fileName, const ChannelMap& map, StoredListings& into);

// "YYYYMMDDhhmmss +zzzz" and its shorter forms; no offset means UTC.
std::optional<Seconds> parseXmltvTime(std::string_view text);

}  // namespace epg
