#include "server/xmltv/xml_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "encoding/iconv_converter.h"
#include "encoding/to_utf8.h"

namespace epg {
namespace {

// No character of any encoding takes this many bytes: a rest this long that
// does not convert is no cut character but a wrong one.
constexpr std::size_t kLongestCharacter = 16;
// How far the encoding declaration is looked for.
constexpr std::size_t kDeclarationBytes = 1024;

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The encoding named in the XML declaration, as written; empty when none.
std::string declaredEncoding(std::string_view bytes) {
    if (!startsWith(bytes, "<?xml") || bytes.size() < 6 ||
        std::strchr(" \t\r\n", bytes[5]) == nullptr || bytes[5] == '\0')
        return {};
    std::string_view decl = bytes.substr(0, std::min(bytes.find("?>"), kDeclarationBytes));
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

// Whether the first bytes tell the encoding: four of them for the wide
// forms, and a declaration's end (or as far as it is looked for).
bool enoughToDecide(std::string_view head) {
    if (head.size() < 4) return false;
    std::size_t mark = 0;
    if (wideEncoding(head, mark)) return true;
    if (startsWith(head, "\xEF\xBB\xBF")) head.remove_prefix(3);
    constexpr std::string_view kDecl = "<?xml";
    if (!startsWith(kDecl, head.substr(0, kDecl.size()))) return true;
    if (head.size() <= kDecl.size()) return false;
    if (std::strchr(" \t\r\n", head[5]) == nullptr || head[5] == '\0') return true;
    return head.find("?>") != std::string_view::npos || head.size() > kDeclarationBytes + 8;
}

// The length of a UTF-8 character cut short at the end of `s`, or 0.
std::size_t cutCharacter(std::string_view s) {
    for (std::size_t k = 1; k <= std::min<std::size_t>(3, s.size()); ++k) {
        auto c = static_cast<unsigned char>(s[s.size() - k]);
        if ((c & 0xC0) == 0x80) continue;
        if (c < 0xC0) return 0;
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        return length > k ? k : 0;
    }
    return 0;
}

}  // namespace

struct XmlDecoder::Converter {
    explicit Converter(const std::string& from) : cv("UTF-8", from.c_str()) {}
    encoding::IconvConverter cv;
};

XmlDecoder::XmlDecoder() = default;
XmlDecoder::~XmlDecoder() = default;

std::size_t lineAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<std::size_t>(std::count(
                   text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

bool XmlDecoder::fail(std::size_t at, std::string what) {
    fault_ = Fault{at, std::move(what)};
    pending_.clear();
    head_.clear();
    converter_.reset();
    return false;
}

bool XmlDecoder::decode(std::string_view bytes, std::string& out) {
    if (fault_) return false;
    if (mode_ != Mode::Undecided) return take(bytes, out, false);
    head_.append(bytes);
    if (!enoughToDecide(head_)) return true;
    return decide(out, false);
}

bool XmlDecoder::finish(std::string& out) {
    if (fault_) return false;
    if (mode_ == Mode::Undecided) return decide(out, true);
    return take({}, out, true);
}

bool XmlDecoder::decide(std::string& out, bool final) {
    std::string bytes = std::move(head_);
    head_.clear();
    std::size_t mark = 0;
    std::string iconvName;
    if (const char* wide = wideEncoding(bytes, mark)) {
        bytes.erase(0, mark);
        iconvName = shown_ = wide;
        why_ = "its first bytes say";
    } else if (startsWith(bytes, "\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
        std::string declared = lower(declaredEncoding(bytes));
        if (!declared.empty() && declared != "utf-8" && declared != "utf8")
            return fail(0, "a UTF-8 byte order mark, but the declaration says " +
                               printableQuoted(declared));
        why_ = "its byte order mark says";
    } else {
        std::string declared = declaredEncoding(bytes);
        std::string name = lower(declared);
        why_ = name.empty() ? "XML assumes without an encoding declaration"
                            : "its XML declaration says";
        if (name.starts_with("utf-16") || name.starts_with("utf-32") || name.starts_with("ucs"))
            return fail(0,
                        "declared " + printableQuoted(declared) + " but written in single bytes");
        if (!name.empty() && name != "utf-8" && name != "utf8") {
            if (!plausibleName(declared))
                return fail(
                    0, "unknown encoding " + printableQuoted(declared) + " in the XML declaration");
            // Files labelled GB2312 or GBK routinely hold characters of the
            // wider sets; GB18030 reads all of them the same way and the rest
            // besides.
            bool gb = name == "gb2312" || name == "gbk" || name == "cp936" || name == "x-gbk";
            iconvName = gb ? "GB18030" : declared;
            shown_ = declared;
        }
    }
    if (!iconvName.empty()) {
        converter_ = std::make_unique<Converter>(iconvName);
        if (!converter_->cv.usable())
            return fail(0,
                        "unknown encoding " + printableQuoted(shown_) + " in the XML declaration");
        mode_ = Mode::Converted;
    } else {
        mode_ = Mode::Utf8;
    }
    return take(bytes, out, final);
}

bool XmlDecoder::take(std::string_view bytes, std::string& out, bool final) {
    return mode_ == Mode::Utf8 ? takeUtf8(bytes, out, final) : takeConverted(bytes, out, final);
}

bool XmlDecoder::takeUtf8(std::string_view bytes, std::string& out, bool final) {
    const std::size_t from = out.size();
    out.append(pending_);
    out.append(bytes);
    pending_.clear();
    std::string_view fresh(out.data() + from, out.size() - from);
    std::string_view whole = fresh.substr(0, fresh.size() - (final ? 0 : cutCharacter(fresh)));
    if (std::size_t bad = encoding::firstNonUtf8(whole); bad != std::string_view::npos)
        return fail(from + bad,
                    "not UTF-8 text, as " + why_ + ": bytes " + hexBytes(fresh.substr(bad)));
    // A NUL would end the parser's text early; XML has no such character.
    if (std::size_t nul = whole.find('\0'); nul != std::string_view::npos)
        return fail(from + nul, "a NUL character, which XML does not allow");
    pending_.assign(fresh.substr(whole.size()));
    out.resize(from + whole.size());
    return true;
}

bool XmlDecoder::takeConverted(std::string_view bytes, std::string& out, bool final) {
    std::string joined;
    if (!pending_.empty()) {
        joined = std::move(pending_);
        joined.append(bytes);
        bytes = joined;
    }
    pending_.clear();
    const std::size_t from = out.size();
    std::size_t done = converter_->cv.convert(bytes, out, true);
    if (std::size_t nul = out.find('\0', from); nul != std::string::npos)
        return fail(nul, "a NUL character, which XML does not allow");
    std::string_view rest = bytes.substr(done);
    if (rest.empty()) return true;
    if (final || rest.size() >= kLongestCharacter)
        return fail(out.size(),
                    "not " + shown_ + " text, as " + why_ + ": bytes " + hexBytes(rest));
    pending_.assign(rest);  // a character cut by the chunk's end, most likely
    return true;
}

}  // namespace epg
