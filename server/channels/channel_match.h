// Which XMLTV channel feeds each catalogue row: the rows the --map file names
// take its channel; the others are found by name in the sources, in their
// order of priority (the first source where a row finds its channel decides).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "server/channels/channel_map.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

enum class MatchKind { none, map, name };

struct RowMatch {
    MatchKind kind = MatchKind::none;
    std::string id;                 // the XMLTV channel id; empty for none
    std::string how;                // for the log and --print-map
    std::vector<std::string> tied;  // ids that fit equally, so none was taken
    friend bool operator==(const RowMatch&, const RowMatch&) = default;
};

struct CatalogueMatch {
    std::vector<RowMatch> rows;  // one per catalogue channel, in catalogue order
    std::size_t count(MatchKind kind) const;
    ChannelMap channelMap() const;  // id -> rows, of the rows that have a channel
    friend bool operator==(const CatalogueMatch&, const CatalogueMatch&) = default;
};

// Name matching compares a row's name with every channel's id and display
// names: its catalogue path as an id first, then its name whole, without a
// bracketed descriptor, without a suffix such as 高清; a renamed channel only
// by its own whole name and its names in the built-in table; then without a
// brand prefix. The first of these that any channel fits decides; two
// channels fitting it equally give none.
CatalogueMatch matchCatalogue(const SourceDocuments& sources, const ChannelMap* map);

// The match as a --map file, one line per catalogue row in catalogue order,
// each saying how it matched; rows without a channel are comment lines.
std::string channelMapText(const CatalogueMatch& match);

}  // namespace epg
