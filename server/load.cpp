#include "server/load.h"

#include <utility>

#include "server/sources/source_file.h"

namespace epg {

SourceReader::SourceReader(std::string_view name, const XmltvLimits& limits)
    : reader_(name, limits) {}

ParsedSource SourceReader::finish() {
    XmltvParse parsed = reader_.finish();
    if (!parsed.document) return {nullptr, std::move(parsed.error)};
    return {std::make_shared<const XmltvDocument>(std::move(*parsed.document)), {}};
}

XmltvListings combineSources(const SourceDocuments& documents, const ChannelMap& map) {
    return listingsFromXmltv(documents, &map);
}

MapResult loadChannelMap(const std::optional<std::string>& mapFile) {
    if (!mapFile) return {ChannelMap{}, {}};
    return readChannelMap(*mapFile);
}

}  // namespace epg
