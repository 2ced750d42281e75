// Which XMLTV channels feed each catalogue row: the rows the --map file names
// take the channel of that id; the others the channels whose names have the
// row's key (ChannelNames::key), in every source. Each day of a row comes
// whole from one of them (ChannelIndex::choose).
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "server/channels/channel_index.h"
#include "server/channels/channel_map.h"
#include "server/model/listings.h"

namespace epg {

enum class MatchKind { none, map, name };

// A channel of one source serving some days of a row.
struct Serving {
    std::string id;
    std::string source;  // the file or URL
    std::size_t days = 0;
    friend bool operator==(const Serving&, const Serving&) = default;
};

struct RowMatch {
    MatchKind kind = MatchKind::none;
    std::string id;   // the channel serving most days (the map's); empty for none
    std::string how;  // for the log and --print-map
    // Every channel serving some days, most days first (the earlier in the
    // sources' order on a tie); the first is `id`'s unless no channel has a
    // programme.
    std::vector<Serving> serving;
    std::size_t idle = 0;  // channels that fit but serve no day (none, or fewer programmes)
    friend bool operator==(const RowMatch&, const RowMatch&) = default;
};

struct CatalogueMatch {
    std::vector<RowMatch> rows;  // one per catalogue channel, in catalogue order
    std::size_t count(MatchKind kind) const;
    // The ids the rows take: each row's own, and those serving some of its
    // days.
    std::set<std::string, std::less<>> ids() const;
    friend bool operator==(const CatalogueMatch&, const CatalogueMatch&) = default;
};

struct CatalogueListings {
    CatalogueMatch match;
    std::vector<Schedule> schedules;  // one per catalogue channel
    // Per catalogue channel, the names its channels go by (those serving
    // most days first), each once.
    std::vector<std::vector<std::string>> names;
    std::vector<std::string> icons;  // per catalogue channel: its main channel's, or empty
    std::vector<bool> taken;         // by the index's number: the channels some row takes
    // Programmes and skipped ones of the channels that fit some row, each
    // channel counted once.
    std::size_t programmes = 0, skipped = 0;
};

// Every catalogue row's key (ChannelNames::key of its name), by row.
const std::vector<std::string>& rowKeys();

// A row's candidates: the map's id in every source; else the channels whose
// id is the row's id in XMLTV out (what --write-sample-xmltv and /epg.xml
// write) or its catalogue path (what they wrote before); else those whose
// names have the row's key.
CatalogueListings matchCatalogue(const ChannelIndex& index, const ChannelMap* map);

// The match as a --map file, one line per catalogue row in catalogue order,
// each saying how it matched, which channel serves most days and which serve
// the others; rows without a channel are comment lines.
std::string channelMapText(const CatalogueMatch& match);

}  // namespace epg
