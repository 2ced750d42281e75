// Text of any encoding iconv knows, made UTF-8 and checked, for readers of
// documents that name their own encoding. Both stop at the first byte that is
// not part of a character, so a caller can say where the text went wrong.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace encoding {

// The offset of the first byte that starts no valid UTF-8 character (a stray
// continuation byte, a cut or overlong sequence, a surrogate, a value above
// U+10FFFF), or npos when all of `text` is UTF-8.
std::size_t firstNonUtf8(std::string_view text);

struct Utf8Conversion {
    bool known = false;     // iconv can read the encoding at all
    std::string text;       // UTF-8 of the input up to `converted`
    std::size_t converted;  // input bytes read; less than the input at a bad byte
};

// `in` read as `from` (an iconv name: "BIG5", "UTF-16LE", "ISO-8859-5" ...)
// into UTF-8, up to the end or the first byte sequence that is not a
// character of `from` (a sequence cut short at the end included).
Utf8Conversion toUtf8(std::string_view in, const std::string& from);

}  // namespace encoding
