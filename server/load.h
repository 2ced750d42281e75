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
#include "server/xmltv/xmltv_read.h"

namespace epg {

struct ParsedSource {
    std::shared_ptr<const XmltvDocument> document;  // null on error
    std::string error;                              // "NAME:LINE: what"
};

// Takes the text (freed before returning); `name` is the file or URL for
// messages. The document does not depend on the channel map: a changed map
// needs no source read again.
ParsedSource parseSource(std::string&& text, std::string_view name);

// The listings of all documents (null ones are left out) under the map and
// name matching. They share the documents' programme lists where a row is
// fed by one source, so they keep those documents alive.
XmltvListings combineSources(const SourceDocuments& documents, const ChannelMap& map);

// --map FILE (capped, regular files only); an empty map without one.
MapResult loadChannelMap(const std::optional<std::string>& mapFile);

}  // namespace epg
