#include "server/xmltv/xml_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "encoding/to_utf8.h"
#include "server/util/file_place.h"

namespace epg {
namespace {

DecodedXml failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The encoding named in the XML declaration, as written; empty when none.
std::string declaredEncoding(std::string_view bytes) {
    if (!startsWith(bytes, "<?xml") || bytes.size() < 6 ||
        std::strchr(" \t\r\n", bytes[5]) == nullptr || bytes[5] == '\0')
        return {};
    std::string_view decl = bytes.substr(0, std::min(bytes.find("?>"), std::size_t{1024}));
    auto at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    auto q = decl.find_first_of("'\"", at);
    if (q == std::string_view::npos) return {};
    auto e = decl.find(decl[q], q + 1);
    if (e == std::string_view::npos) return {};
    return std::string(decl.substr(q + 1, e - q - 1));
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A declared name fit to quote in a message: printable ASCII, not too long.
std::string printableQuoted(std::string_view name) {
    std::string out = "\"";
    for (char c : name.substr(0, 40)) out += c >= 0x20 && c < 0x7F ? c : '?';
    if (name.size() > 40) out += "...";
    return out + "\"";
}

// Encoding names are letters, digits and a little punctuation; anything else
// (a "//" suffix that would change how iconv converts, say) is no encoding.
bool plausibleName(std::string_view name) {
    if (name.empty() || name.size() > 40) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               (c != '\0' && std::strchr("-_.:()+", c) != nullptr);
    });
}

std::string hexBytes(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes.substr(0, 4)) {
        char b[8];
        std::snprintf(b, sizeof b, "%s0x%02X", out.empty() ? "" : " ", c);
        out += b;
    }
    return out;
}

// The encodings with zero bytes in their ASCII, told by a byte order mark or
// by how "<?" comes out; the mark's length, or 0 for none.
const char* wideEncoding(std::string_view b, std::size_t& mark) {
    struct Form {
        std::string_view start;
        const char* name;
        std::size_t mark;
    };
    static const Form kForms[] = {
        {{"\0\0\xFE\xFF", 4}, "UTF-32BE", 4}, {{"\xFF\xFE\0\0", 4}, "UTF-32LE", 4},
        {{"\xFE\xFF", 2}, "UTF-16BE", 2},     {{"\xFF\xFE", 2}, "UTF-16LE", 2},
        {{"\0\0\0<", 4}, "UTF-32BE", 0},      {{"<\0\0\0", 4}, "UTF-32LE", 0},
        {{"\0<\0?", 4}, "UTF-16BE", 0},       {{"<\0?\0", 4}, "UTF-16LE", 0},
    };
    for (const Form& f : kForms)
        if (startsWith(b, f.start)) {
            mark = f.mark;
            return f.name;
        }
    return nullptr;
}

DecodedXml checkedUtf8(std::string text, std::string_view fileName, std::string_view why) {
    std::size_t bad = encoding::firstNonUtf8(text);
    if (bad != std::string_view::npos)
        return failure(where(fileName, lineAt(text, bad)) + "not UTF-8 text, as " +
                       std::string(why) + ": bytes " +
                       hexBytes(std::string_view(text).substr(bad)));
    return {std::move(text), {}};
}

// `bytes` read as `from` (an iconv name); `shown` is the encoding as the
// document names it.
DecodedXml converted(std::string_view bytes, const std::string& from, std::string_view shown,
                     std::string_view fileName, std::string_view why) {
    encoding::Utf8Conversion c = encoding::toUtf8(bytes, from);
    if (!c.known)
        return failure(where(fileName, 1) + "unknown encoding " + printableQuoted(shown) +
                       " in the XML declaration");
    if (c.converted != bytes.size())
        return failure(where(fileName, lineAt(c.text, c.text.size())) + "not " +
                       std::string(shown) + " text, as " + std::string(why) + ": bytes " +
                       hexBytes(bytes.substr(c.converted)));
    return {std::move(c.text), {}};
}

// Takes the caller's string itself: a moved copy of it is, to GCC 12 at -O3,
// a short string whose inline bytes may be uninitialised when compared.
DecodedXml toUtf8(std::string&& bytes, std::string_view fileName) {
    std::size_t mark = 0;
    if (const char* wide = wideEncoding(bytes, mark))
        return converted(std::string_view(bytes).substr(mark), wide, wide, fileName,
                         "its first bytes say");
    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
        std::string declared = lower(declaredEncoding(bytes));
        if (!declared.empty() && declared != "utf-8" && declared != "utf8")
            return failure(where(fileName, 1) +
                           "a UTF-8 byte order mark, but the declaration says " +
                           printableQuoted(declared));
        return checkedUtf8(std::move(bytes), fileName, "its byte order mark says");
    }
    std::string declared = declaredEncoding(bytes);
    std::string name = lower(declared);
    if (name.empty())
        return checkedUtf8(std::move(bytes), fileName,
                           "XML assumes without an encoding declaration");
    if (name == "utf-8" || name == "utf8")
        return checkedUtf8(std::move(bytes), fileName, "its XML declaration says");
    if (name.starts_with("utf-16") || name.starts_with("utf-32") || name.starts_with("ucs"))
        return failure(where(fileName, 1) + "declared " + printableQuoted(declared) +
                       " but written in single bytes");
    if (!plausibleName(declared))
        return failure(where(fileName, 1) + "unknown encoding " + printableQuoted(declared) +
                       " in the XML declaration");
    // Files labelled GB2312 or GBK routinely hold characters of the wider
    // sets; GB18030 reads all of them the same way and the rest besides.
    bool gb = name == "gb2312" || name == "gbk" || name == "cp936" || name == "x-gbk";
    return converted(bytes, gb ? "GB18030" : declared, declared, fileName,
                     "its XML declaration says");
}

}  // namespace

std::size_t lineAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<std::size_t>(std::count(
                   text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

DecodedXml decodeXml(std::string bytes, std::string_view fileName) {
    DecodedXml d = toUtf8(std::move(bytes), fileName);
    if (d.text) {
        // A NUL would end the parser's text early; XML has no such character.
        if (auto nul = d.text->find('\0'); nul != std::string::npos) {
            std::size_t line = lineAt(*d.text, nul);
            return failure(where(fileName, line) + "a NUL character, which XML does not allow");
        }
    }
    return d;
}

}  // namespace epg
