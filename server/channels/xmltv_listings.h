// From parsed XMLTV sources to the server's listings: every channel of every
// source indexed by name, catalogue rows matched to their channels, each day
// of a row taken whole from one of them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "server/channels/channel_match.h"
#include "server/model/listings.h"
#include "server/util/civil_time.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

struct XmltvListings {
    std::shared_ptr<StoredListings> listings;  // finished, with the index of every channel
    CatalogueMatch match;
    std::size_t programmes = 0;  // of the channels that fit some row
    std::size_t skipped = 0;     // of those channels, without a usable start or title
    // For the log: the rows from the map, by name and without listings,
    // skipped programmes and cut texts.
    std::string summary;
    std::vector<std::string> notes;  // more lines for the log
};

// `sources` in priority order: a row's candidates are the map's channel or
// those of its name in every source; each day (of `zone`, the pages' zone)
// comes whole from the candidate with most programmes that day, the earlier
// on a tie. The documents are left as they are: the listings point into
// their programme lists and keep them alive.
XmltvListings listingsFromXmltv(const SourceDocuments& sources, const ChannelMap* map,
                                const Zone& zone);

// How many programmes of `doc` belong to channels the rows of `match` take.
std::size_t programmesTaken(const XmltvDocument& doc, const CatalogueMatch& match);

}  // namespace epg
