// The --map file: which XMLTV channel feeds which catalogue row, as the user
// wrote it. Errors come back as text naming the file and the line.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/util/text_hash.h"

namespace epg {

// XMLTV channel id -> catalogue channels (one id may feed several rows).
using ChannelMap =
    std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>>;

struct MapResult {
    std::optional<ChannelMap> map;
    std::string error;  // "FILE:LINE: what", when map is empty
};

// One line per channel, catalogue path TAB channel id; "#" starts a comment;
// blank lines are ignored. A row may be named once.
MapResult parseChannelMap(std::string_view text, std::string_view fileName);
MapResult readChannelMap(const std::string& fileName);
// --map FILE (capped, regular files only); an empty map without one.
MapResult loadChannelMap(const std::optional<std::string>& mapFile);

}  // namespace epg
