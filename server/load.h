// The one place that knows the XMLTV parser and how the sources' programmes
// become the listings served: a source's text in, its programmes out; all
// sources' programmes combined, in priority order.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/listings.h"
#include "server/xmltv_read.h"

namespace epg {

// What one source gives: its programmes of mapped channels.
struct SourceDocument {
    StoredListings listings;
    std::size_t programmes = 0;
    std::size_t skipped = 0;  // of mapped channels, without a usable start or title
};

struct ParsedSource {
    std::shared_ptr<const SourceDocument> document;  // null on error
    std::string error;                               // "NAME:LINE: what"
};

// Takes the text (freed before returning); `name` is the file or URL for
// messages.
ParsedSource parseSource(std::string&& text, std::string_view name, const ChannelMap& map);

struct CombinedListings {
    std::shared_ptr<const Listings> listings;
    std::size_t programmes = 0;  // in the listings, repeats dropped
};
// The listings of all documents (null ones are left out); the first
// document's programme stays where two start at the same time on a channel.
CombinedListings combineSources(
    const std::vector<std::shared_ptr<const SourceDocument>>& documents);

// --map FILE (capped, regular files only), or ids that are catalogue paths.
MapResult loadChannelMap(const std::optional<std::string>& mapFile);

}  // namespace epg
