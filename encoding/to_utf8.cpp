#include "encoding/to_utf8.h"

#include <cstdint>
#include <cstring>

#include "encoding/iconv_converter.h"

namespace encoding {

std::size_t firstNonUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Listings are mostly ASCII markup: skip it eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;   // overlong below U+0800
            if (c == 0xED) high = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;   // overlong below U+10000
            if (c == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return i;
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high) return i;
        for (std::size_t k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return i;
        i += length;
    }
    return std::string_view::npos;
}

Utf8Conversion toUtf8(std::string_view in, const std::string& from) {
    Utf8Conversion result;
    IconvConverter cv("UTF-8", from.c_str());
    result.known = cv.usable();
    result.converted = 0;
    if (!result.known) return result;
    // Chinese double-byte text grows by half; reserving that spares the
    // copies of a growing string when the input is a whole listings file.
    result.text.reserve(in.size() + in.size() / 2);
    result.converted = cv.convert(in, result.text);
    return result;
}

}  // namespace encoding
