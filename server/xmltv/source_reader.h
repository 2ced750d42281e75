// One source's document, read from its (decompressed) bytes as they come.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"
#include "server/xmltv/xmltv_read.h"

namespace epg {

struct ParsedSource {
    std::shared_ptr<const XmltvDocument> document;  // null on error
    std::string error;                              // "NAME:LINE: what"
};

// `name` is the file or the URL as shown, for messages; `zone`, when set,
// the zone the source's times are wall times of. The document does not
// depend on the channel map: a changed map needs no source read again.
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

}  // namespace epg
