#include "server/load.h"

#include <utility>

#include "server/sources/source_file.h"
#include "server/sources/source_name.h"

namespace epg {

SourceOption parseSourceOption(std::string_view value) {
    constexpr std::string_view kZone = "#tz=";
    auto at = value.rfind(kZone);
    if (at == std::string_view::npos) return {std::string(value), std::nullopt, {}};
    std::string_view name = value.substr(at + kZone.size());
    auto zone = Zone::named(name);
    if (!zone)
        return {{},
                std::nullopt,
                "unknown time zone \"" + std::string(name) + "\" after #tz= in \"" +
                    std::string(value) + "\" (an IANA name, such as Asia/Shanghai)"};
    return {std::string(value.substr(0, at)), zone, {}};
}

std::string sourceOptionError(std::string_view value, std::string_view from) {
    const std::string label(from);
    SourceOption parsed = parseSourceOption(value);
    if (!parsed.error.empty()) return label + ": " + parsed.error;
    const std::string& v = parsed.location;
    if (v.empty()) return label + ": no file or URL before #tz=";
    auto scheme = v.find("://");
    if (scheme != std::string::npos && scheme > 0 && !isUrlSource(v) && v.find('/') > scheme)
        // Only the scheme is shown: the rest may hold a password.
        return label + " takes a file or an http or https URL, not a \"" + v.substr(0, scheme) +
               "://\" URL";
    if (isUrlSource(v))
        for (unsigned char c : v)
            if (c <= ' ' || c == 0x7f)
                return label + ": a URL holds no blank or control character: \"" + shownUrl(v) +
                       "\"";
    return {};
}

SourceReader::SourceReader(std::string_view name, const XmltvLimits& limits,
                           const std::optional<Zone>& zone)
    : zone_(zone), reader_(name, limits, zone_ ? &*zone_ : nullptr) {}

ParsedSource SourceReader::finish() {
    XmltvParse parsed = reader_.finish();
    if (!parsed.document) return {nullptr, std::move(parsed.error)};
    return {std::make_shared<const XmltvDocument>(std::move(*parsed.document)), {}};
}

XmltvListings combineSources(const SourceDocuments& documents, const ChannelMap& map,
                             const Zone& zone) {
    return listingsFromXmltv(documents, &map, zone);
}

MapResult loadChannelMap(const std::optional<std::string>& mapFile) {
    if (!mapFile) return {ChannelMap{}, {}};
    return readChannelMap(*mapFile);
}

}  // namespace epg
