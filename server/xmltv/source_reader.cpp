#include "server/xmltv/source_reader.h"

#include <utility>

namespace epg {

SourceReader::SourceReader(std::string_view name, const XmltvLimits& limits,
                           const std::optional<Zone>& zone)
    : zone_(zone), reader_(name, limits, zone_ ? &*zone_ : nullptr) {}

ParsedSource SourceReader::finish() {
    XmltvParse parsed = reader_.finish();
    if (!parsed.document) return {nullptr, std::move(parsed.error)};
    return {std::make_shared<const XmltvDocument>(std::move(*parsed.document)), {}};
}

}  // namespace epg
