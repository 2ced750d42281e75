#include "server/xmltv/xml_pieces.h"

#include <algorithm>
#include <pugixml.hpp>

namespace epg {
namespace {

// Blanks between elements are kept as text so that a title's text content
// keeps the blanks between its child elements.
constexpr unsigned kOptions = pugi::parse_default | pugi::parse_ws_pcdata;
constexpr auto npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The end of a doctype declaration starting at `at`, past its internal subset.
std::size_t doctypeEnd(std::string_view t, std::size_t at) {
    char quote = 0;
    int depth = 0;
    for (std::size_t i = at; i < t.size(); ++i) {
        char c = t[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '>' && depth <= 0) {
            return i + 1;
        }
    }
    return npos;
}

// Where the root element's start tag begins: past blanks, the declaration,
// processing instructions, comments and the doctype.
std::size_t skipProlog(std::string_view t) {
    std::size_t i = 0;
    for (;;) {
        while (i < t.size() && isSpace(t[i])) ++i;
        std::string_view rest = t.substr(i);
        std::size_t end;
        if (rest.starts_with("<?")) {
            end = t.find("?>", i + 2);
            if (end != npos) end += 2;
        } else if (rest.starts_with("<!--")) {
            end = t.find("-->", i + 4);
            if (end != npos) end += 3;
        } else if (rest.starts_with("<!DOCTYPE")) {
            end = doctypeEnd(t, i + 9);
        } else {
            return i;
        }
        if (end == npos) return t.size();
        i = end;
    }
}

// The '>' that ends the tag starting at `at`, past quoted attribute values.
std::size_t tagEnd(std::string_view t, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at + 1; i < t.size(); ++i) {
        char c = t[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        } else if (c == '<') {
            return npos;
        }
    }
    return npos;
}

// Just past the first end tag of one of `names` at or after `from`.
std::size_t findCut(std::string_view t, std::size_t from,
                    const std::vector<std::string_view>& names) {
    for (std::size_t at = t.find("</", from); at != npos; at = t.find("</", at + 2)) {
        std::string_view rest = t.substr(at + 2);
        for (std::string_view name : names) {
            if (!rest.starts_with(name)) continue;
            std::size_t k = at + 2 + name.size();
            while (k < t.size() && isSpace(t[k])) ++k;
            if (k < t.size() && t[k] == '>') return k + 1;
        }
    }
    return npos;
}

// "&#0;", "&#x00;" ... become "&#9;", "&#x09;": the same length, so the
// parser's error offsets still hold. CDATA sections are left as they are.
void blankNulReferences(std::string& s) {
    std::size_t cdata = s.find("<![CDATA[");
    for (std::size_t i = s.find("&#"); i != npos; i = s.find("&#", i)) {
        if (cdata < i) {  // a CDATA section starts first: go past it
            std::size_t end = s.find("]]>", cdata + 9);
            if (end == npos) return;
            i = end + 3;
            cdata = s.find("<![CDATA[", i);
            continue;
        }
        std::size_t k = i + 2;
        if (k < s.size() && s[k] == 'x') ++k;
        std::size_t zeros = k;
        while (k < s.size() && s[k] == '0') ++k;
        if (k > zeros && k < s.size() && s[k] == ';') s[k - 1] = '9';
        i += 2;
    }
}

}  // namespace

std::optional<XmlError> parseInPieces(std::string_view text, std::string_view rootName,
                                      const std::vector<std::string_view>& cutAfter,
                                      const std::function<void(pugi::xml_node)>& visit,
                                      std::size_t pieceSize) {
    pugi::xml_document doc;
    std::string scratch;
    // Parses scratch, whose byte `prefix` is byte `base` of the text.
    auto parse = [&](std::size_t base, std::size_t prefix) -> std::optional<XmlError> {
        blankNulReferences(scratch);
        pugi::xml_parse_result r =
            doc.load_buffer_inplace(scratch.data(), scratch.size(), kOptions, pugi::encoding_utf8);
        if (r) return std::nullopt;
        auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(r.offset, 0));
        offset = offset < prefix ? 0 : offset - prefix;
        return XmlError{std::min(base + offset, text.size()), r.description()};
    };
    auto notRoot = [&](std::string_view name, std::size_t at) {
        std::string shown(name.substr(0, 40));
        return XmlError{at, "the root element is <" + shown + (name.size() > 40 ? "...>" : ">") +
                                ", not <" + std::string(rootName) + ">"};
    };

    std::size_t rootAt = skipProlog(text);
    std::size_t nameEnd = rootAt + 1;
    while (nameEnd < text.size() && !isSpace(text[nameEnd]) && text[nameEnd] != '/' &&
           text[nameEnd] != '>' && text[nameEnd] != '<')
        ++nameEnd;
    if (rootAt + 1 < text.size() && text[rootAt] == '<' && isNameStart(text[rootAt + 1])) {
        std::string_view name = text.substr(rootAt + 1, nameEnd - rootAt - 1);
        if (name != rootName) return notRoot(name, rootAt);
    }
    std::size_t headEnd = rootAt < text.size() ? tagEnd(text, rootAt) : npos;
    if (headEnd == npos || text[headEnd - 1] == '/') {
        // No usable start tag, or an empty root: the whole text is small or
        // broken, and the parser says which.
        scratch.assign(text);
        if (auto e = parse(0, 0)) return e;
        pugi::xml_node root = doc.document_element();
        if (!root) return XmlError{rootAt, "no root element"};
        if (root.name() != rootName) return notRoot(root.name(), rootAt);
        visit(root);
        return std::nullopt;
    }

    const std::string open = "<" + std::string(rootName) + ">";
    const std::string close = "</" + std::string(rootName) + ">";
    std::size_t bodyAt = headEnd + 1;
    // The declaration, doctype and root start tag on their own, closed.
    scratch.assign(text.substr(0, bodyAt)).append(close);
    if (auto e = parse(0, 0)) return e;

    std::size_t at = bodyAt, want = pieceSize;
    for (;;) {
        std::size_t cut = want < text.size() - at ? findCut(text, at + want, cutAfter) : npos;
        bool last = cut == npos;
        std::size_t end = last ? text.size() : cut;
        doc.reset();
        scratch.assign(open).append(text.substr(at, end - at));
        if (!last) scratch.append(close);
        if (auto e = parse(at, open.size())) {
            if (last) return e;
            want = want * 2 + 1;  // cut inside a comment, CDATA or a value; or a real error
            continue;
        }
        visit(doc.document_element());
        if (last) return std::nullopt;
        at = end;
        want = pieceSize;
    }
}

}  // namespace epg
