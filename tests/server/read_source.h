// A whole XMLTV text read as a source is, in one piece.
#pragma once

#include <optional>
#include <string_view>

#include "server/xmltv/source_reader.h"

inline epg::ParsedSource parseSource(std::string_view text, std::string_view name,
                                     const std::optional<epg::Zone>& zone = std::nullopt) {
    epg::SourceReader reader(name, {}, zone);
    if (!reader.feed(text)) return {nullptr, reader.error()};
    return reader.finish();
}
