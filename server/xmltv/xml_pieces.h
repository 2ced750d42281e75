// Parsing a large XML document a few of its root's children at a time, so
// that the parser's tree never holds more than a piece of it: a whole 100 MB
// listings file as one tree would take about three times its size again,
// a piece of a megabyte a few megabytes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace epg {

struct XmlError {
    std::size_t offset;  // into the text
    std::string what;
};

// Parses `text` (UTF-8) and calls `visit` with an element standing for the
// root, holding the next few of the root's children, until all were seen.
// The root must be named `rootName`. `cutAfter` names the root's children
// after whose end tags the text may be cut (a cut that lands inside a
// comment, CDATA section or attribute fails to parse and is widened).
// Character references to NUL are read as a tab: the parser would end the
// text at the NUL and silently drop the rest of it. A piece ends at the first
// cut `pieceSize` bytes or more after its start.
std::optional<XmlError> parseInPieces(std::string_view text, std::string_view rootName,
                                      const std::vector<std::string_view>& cutAfter,
                                      const std::function<void(pugi::xml_node)>& visit,
                                      std::size_t pieceSize = std::size_t{1} << 20);

}  // namespace epg
