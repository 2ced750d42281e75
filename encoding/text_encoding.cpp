#include "encoding/text_encoding.h"

#include <cstdio>
#include <cstdlib>

#include "encoding/iconv_converter.h"

namespace encoding {
namespace {

// glibc loads a gconv module (GBK, GB18030, UTF-32) at an iconv_open and
// unloads it when its last descriptor closes: with a descriptor per call
// that was 470 loads and unloads while the guide started, and threads doing
// it at once race inside the dynamic loader. One descriptor of each, opened
// once and never closed (nor used), keeps the modules loaded.
void keepModulesLoaded() {
    struct Kept {
        IconvConverter toGbk{"GBK", "UTF-8"}, fromGbk{"UTF-8", "GBK"},
            fromGb18030{"UTF-8", "GB18030"}, toUtf32{"UTF-32LE", "UTF-8"},
            utf32ToGbk{"GBK", "UTF-32LE"};
    };
    static const Kept* const kept = new Kept;
    (void)kept;
}

// One descriptor per call keeps the functions free of shared state; with
// the modules loaded, an open costs a fraction of a microsecond.
IconvConverter open(const char* to, const char* from) {
    keepModulesLoaded();
    IconvConverter cv(to, from);
    if (!cv.usable()) {
        std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
        std::abort();
    }
    return cv;
}

char32_t fromUtf32le(const char* p) {
    auto b = [p](int i) { return static_cast<char32_t>(static_cast<unsigned char>(p[i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

}  // namespace

std::optional<std::string> gbkStrict(std::string_view utf8) {
    IconvConverter cv = open("GBK", "UTF-8");
    std::string out;
    if (cv.convert(utf8, out) != utf8.size()) return std::nullopt;
    return out;
}

std::string gbk(std::string_view utf8) {
    std::optional<std::string> out = gbkStrict(utf8);
    if (!out) {
        std::fprintf(stderr, "text has no GBK form: %.*s\n", static_cast<int>(utf8.size()),
                     utf8.data());
        std::abort();
    }
    return *out;
}

std::string gbkToUtf8(std::string_view gbkText) {
    IconvConverter cv = open("UTF-8", "GBK");
    std::string out;
    while (!gbkText.empty()) {
        gbkText.remove_prefix(cv.convert(gbkText, out));
        if (gbkText.empty()) break;
        // Skip one undecodable byte (or a lone lead byte at the end).
        out += "\xEF\xBF\xBD";
        gbkText.remove_prefix(1);
    }
    return out;
}

std::optional<std::string> gb18030ToUtf8(std::string_view gb18030) {
    keepModulesLoaded();
    IconvConverter cv("UTF-8", "GB18030");
    std::string out;
    if (!cv.usable() || cv.convert(gb18030, out) != gb18030.size()) return std::nullopt;
    return out;
}

std::u32string decodeUtf8(std::string_view utf8) {
    IconvConverter cv = open("UTF-32LE", "UTF-8");
    std::u32string out;
    out.reserve(utf8.size());
    std::string units;
    while (!utf8.empty()) {
        units.clear();
        utf8.remove_prefix(cv.convert(utf8, units));
        for (std::size_t i = 0; i + 4 <= units.size(); i += 4) out += fromUtf32le(&units[i]);
        if (utf8.empty()) break;
        out += kNotUtf8;
        utf8.remove_prefix(1);
    }
    return out;
}

GbkEncoder::GbkEncoder() {
    keepModulesLoaded();
    toGbk_ = std::make_unique<IconvConverter>("GBK", "UTF-32LE");
}

GbkEncoder::~GbkEncoder() = default;

bool GbkEncoder::append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return true;
    }
    if (c == kNotUtf8) return false;
    const char unit[4] = {static_cast<char>(c), static_cast<char>(c >> 8),
                          static_cast<char>(c >> 16), static_cast<char>(c >> 24)};
    std::string gbkForm;
    if (toGbk_->convert({unit, 4}, gbkForm) != 4) return false;
    out += gbkForm;
    return true;
}

}  // namespace encoding
