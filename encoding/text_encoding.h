// Text encodings at the edges of every layer: GBK (code page 936) is what the
// guide's texts and the day pages hold, UTF-8 is what sources, listings,
// terminals and Qt use, GB18030 is what some listings files declare. All of
// it goes through glibc iconv.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace encoding {

class IconvConverter;

// UTF-8 literal to GBK. The literal must be encodable; a character GBK lacks
// is a programming error and aborts with a message naming the text.
std::string gbk(std::string_view utf8);

// UTF-8 to GBK, or nothing when some character has no GBK form or the input
// is not valid UTF-8.
std::optional<std::string> gbkStrict(std::string_view utf8);

// GBK to UTF-8 for display. Bytes that do not form a GBK character become
// U+FFFD, so any page a server sends can be shown.
std::string gbkToUtf8(std::string_view gbkText);

// GB18030 to UTF-8, or nothing when the input is not valid GB18030.
std::optional<std::string> gb18030ToUtf8(std::string_view gb18030);

// UTF-8 to code points. Each byte that starts no valid character (a stray
// continuation byte, a cut or overlong sequence, a surrogate, a value above
// U+10FFFF) gives kNotUtf8, and decoding goes on with the next byte.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;
std::u32string decodeUtf8(std::string_view utf8);

// Appends code points as GBK one at a time, for callers that choose their own
// stand-in for the characters GBK lacks.
class GbkEncoder {
  public:
    GbkEncoder();
    ~GbkEncoder();
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    // Appends the GBK form of `c`; false, with nothing appended, when it has
    // none (kNotUtf8 included).
    bool append(std::string& out, char32_t c);

  private:
    std::unique_ptr<IconvConverter> toGbk_;
};

}  // namespace encoding
