#include "server/load.h"

#include <utility>

#include "server/sources/source_file.h"

namespace epg {

ParsedSource parseSource(std::string&& text, std::string_view name) {
    XmltvParse parsed = parseXmltv(std::move(text), name);
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
