// From parsed XMLTV sources to the server's listings: catalogue rows matched
// to channels, then the programmes of those channels from every source.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "server/channels/channel_match.h"
#include "server/listings.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

struct XmltvListings {
    std::shared_ptr<StoredListings> listings;  // finished
    CatalogueMatch match;
    std::size_t programmes = 0;  // read for the matched channels
    std::size_t skipped = 0;     // of those channels, without a usable start or title
    // For the log: the rows from the map, by name and without listings,
    // skipped programmes and cut texts.
    std::string summary;
    std::vector<std::string> notes;  // a log line per row that two channels fit equally
};

// `sources` in priority order: a row's channel comes from the map or the
// first source where its name finds one; that channel's programmes come from
// every source that has it, and of two at the same start the first source's
// stays. The documents are left as they are: a channel found in one source
// only is served from the document's own list, which the listings then keep
// alive; the lists of a channel found in several are merged into a copy.
XmltvListings listingsFromXmltv(const SourceDocuments& sources, const ChannelMap* map);

// How many programmes of `doc` the rows of `match` take.
std::size_t programmesTaken(const XmltvDocument& doc, const CatalogueMatch& match);

}  // namespace epg
