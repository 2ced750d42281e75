// The one place that knows the XMLTV parser and how the sources' documents
// become the listings served: a source's text in, its document out; all
// documents matched to the catalogue rows and combined, in priority order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/channels/channel_map.h"
#include "server/channels/xmltv_listings.h"
#include "server/util/civil_time.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

// A source as --xmltv gives it: a file or URL, and after a "#tz=ZONE" at
// its end the zone its times are wall times of, whatever offset they carry
// (for feeds that write Beijing times with "+0000").
struct SourceOption {
    std::string location;
    std::optional<Zone> zone;
    std::string error;  // an unknown zone; the rest is then unset
};
SourceOption parseSourceOption(std::string_view value);

struct ParsedSource {
    std::shared_ptr<const XmltvDocument> document;  // null on error
    std::string error;                              // "NAME:LINE: what"
};

// Takes the text (freed before returning); `name` is the file or URL for
// messages, `zone` the source's own (see SourceOption). The document does not
// depend on the channel map: a changed map needs no source read again.
ParsedSource parseSource(std::string&& text, std::string_view name,
                         const std::optional<Zone>& zone = std::nullopt);

// The listings of all documents (null ones are left out) under the map and
// name matching, days cut on `zone`, the pages' zone. They point into the
// documents' programme lists, so they keep those documents alive.
XmltvListings combineSources(const SourceDocuments& documents, const ChannelMap& map,
                             const Zone& zone);

// --map FILE (capped, regular files only); an empty map without one.
MapResult loadChannelMap(const std::optional<std::string>& mapFile);

}  // namespace epg
