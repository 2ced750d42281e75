#include "server/gbk_text.h"

#include <iconv.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace epg {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes UTF-8 into code points; a malformed sequence yields kInvalid for its
// first byte and decoding goes on with the next one.
std::vector<char32_t> decodeUtf8(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(kInvalid);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? b : b & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kInvalid);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One iconv descriptor for the characters of one text.
class GbkEncoder {
  public:
    GbkEncoder() : cd_(iconv_open("GBK", "UTF-8")) {}
    ~GbkEncoder() {
        if (usable()) iconv_close(cd_);
    }
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    // Appends the GBK form of cp; false (nothing appended) when it has none.
    bool append(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            return true;
        }
        if (!usable() || cp == kInvalid) return false;
        std::string utf8;
        appendUtf8(utf8, cp);
        char buf[8];
        char* src = utf8.data();
        std::size_t srcLeft = utf8.size();
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
            srcLeft != 0)
            return false;
        out.append(buf, dst - buf);
        return true;
    }

  private:
    bool usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

}  // namespace

rt::Text toGbkLenient(std::string_view utf8) {
    GbkEncoder enc;
    rt::Text out;
    for (char32_t c : decodeUtf8(utf8))
        if (c == 0 || !enc.append(out, c)) out += '?';
    return out;
}

rt::Text shownTitle(std::string_view utf8) {
    std::vector<char32_t> cps = decodeUtf8(utf8);
    // Runs of white space that hold a control character collapse to one blank.
    std::vector<char32_t> text;
    text.reserve(cps.size());
    for (std::size_t i = 0; i < cps.size();) {
        if (isControl(cps[i]) || cps[i] == ' ' || cps[i] == 0xA0) {
            std::size_t j = i;
            bool control = false;
            while (j < cps.size() && (isControl(cps[j]) || cps[j] == ' ' || cps[j] == 0xA0)) {
                control = control || isControl(cps[j]);
                ++j;
            }
            if (control)
                text.push_back(' ');
            else
                text.insert(text.end(), j - i, ' ');
            i = j;
        } else {
            text.push_back(cps[i++]);
        }
    }
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;

    GbkEncoder enc;
    rt::Text out;
    for (std::size_t i = b; i < e; ++i) {
        char32_t c = text[i];
        if (c == '<')
            c = 0xFF1C;  // ＜
        else if (c == '>')
            c = 0xFF1E;  // ＞
        else if (c == 0x5267 && i + 1 < e && text[i + 1] == 0x60C5)
            c = 0x5287;  // 剧情 -> 劇情
        if (!enc.append(out, c)) out += '?';
    }
    return out;
}

std::string htmlText(std::string_view utf8) {
    GbkEncoder enc;
    std::string out;
    for (char32_t c : decodeUtf8(utf8)) {
        switch (c) {
            case '&': out += "&amp;"; continue;
            case '<': out += "&lt;"; continue;
            case '>': out += "&gt;"; continue;
            case '"': out += "&quot;"; continue;
            case '\'': out += "&#39;"; continue;
            default: break;
        }
        if (c == kInvalid || c == 0) {
            out += "&#xFFFD;";
        } else if (isControl(c)) {
            out += ' ';
        } else if (!enc.append(out, c)) {
            out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ';';
        }
    }
    return out;
}

}  // namespace epg
