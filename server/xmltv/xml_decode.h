// The bytes of an XML document as UTF-8: the encoding told by a byte order
// mark or the first bytes (UTF-16, UTF-32), else by the XML declaration
// (UTF-8 when it names none). Bytes that are not characters of that encoding
// and NUL characters are refused, as XML has it, with the line they are on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace epg {

struct DecodedXml {
    std::optional<std::string> text;  // UTF-8, without a byte order mark
    std::string error;                // "FILE:LINE: what" when text is empty
};

// Takes the bytes by value: UTF-8 documents are checked and handed back
// without a copy, others are freed once converted.
DecodedXml decodeXml(std::string bytes, std::string_view fileName);

// 1 + the number of line feeds before `offset` (clamped to the text).
std::size_t lineAt(std::string_view text, std::size_t offset);

}  // namespace epg
