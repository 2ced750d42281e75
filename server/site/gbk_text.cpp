#include "server/site/gbk_text.h"

#include <cstdint>
#include <string>

#include "encoding/text_encoding.h"

namespace epg {
namespace {

using encoding::decodeUtf8;
using encoding::GbkEncoder;
using encoding::kNotUtf8;

bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::string toGbkLenient(std::string_view utf8) {
    GbkEncoder enc;
    std::string out;
    for (char32_t c : decodeUtf8(utf8))
        if (c == 0 || !enc.append(out, c)) out += '?';
    return out;
}

std::string shownTitle(std::string_view utf8) {
    const std::u32string cps = decodeUtf8(utf8);
    // Runs of white space that hold a control character collapse to one blank.
    std::u32string text;
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
    std::string out;
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
        if (c == kNotUtf8 || c == 0) {
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
