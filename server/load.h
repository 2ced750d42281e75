// The one place that knows the XMLTV parser and how the sources' documents
// become the listings served: a source's bytes in, as they arrive, its
// document out; all documents matched to the catalogue rows and combined, in
// priority order.
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
// What keeps a source from being read at all (an unknown zone, a scheme
// other than http or https, a blank in a URL), said as coming from `from`
// ("--xmltv"); empty when there is nothing.
std::string sourceOptionError(std::string_view value, std::string_view from);

struct ParsedSource {
    std::shared_ptr<const XmltvDocument> document;  // null on error
    std::string error;                              // "NAME:LINE: what"
};

// One source's document, read from its (decompressed) bytes as they come;
// `name` is the file or the URL as shown, for messages, `zone` the source's
// own (see SourceOption). The document does not depend on the channel map: a
// changed map needs no source read again.
class SourceReader {
  public:
    SourceReader(std::string_view name, const XmltvLimits& limits,
                 const std::optional<Zone>& zone = std::nullopt);
    // False once the bytes are refused; error() says why.
    bool feed(std::string_view bytes) { return reader_.feed(bytes); }
    const std::string& error() const { return reader_.error(); }
    ParsedSource finish();

  private:
    std::optional<Zone> zone_;  // before the reader, which points at it
    XmltvReader reader_;
};

// The listings of all documents (null ones are left out) under the map and
// name matching, days cut on `zone`, the pages' zone. They point into the
// documents' programme lists, so they keep those documents alive.
XmltvListings combineSources(const SourceDocuments& documents, const ChannelMap& map,
                             const Zone& zone);

// --map FILE (capped, regular files only); an empty map without one.
MapResult loadChannelMap(const std::optional<std::string>& mapFile);

}  // namespace epg
