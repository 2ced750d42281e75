#include "server/xmltv/xml_pieces.h"

#include <algorithm>
#include <pugixml.hpp>

#include "server/xmltv/xml_decode.h"

namespace epg {
namespace {

// Blanks between elements are kept as text so that a title's text content
// keeps the blanks between its child elements.
constexpr unsigned kOptions = pugi::parse_default | pugi::parse_ws_pcdata;
constexpr auto npos = std::string_view::npos;
constexpr std::string_view kCdata = "<![CDATA[";
// Bytes without a cut after which the text so far is parsed to see whether
// it is already wrong (doubling after each look).
constexpr std::size_t kFirstProbe = 64 * 1024;

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
// processing instructions, comments, the doctype and any text (which the
// parser ignores outside the root); the text's size while one of them is
// unfinished.
std::size_t skipProlog(std::string_view t) {
    std::size_t i = 0;
    for (;;) {
        while (i < t.size() && isSpace(t[i])) ++i;
        std::string_view rest = t.substr(i);
        std::size_t end;
        if (!rest.empty() && rest[0] != '<') {
            end = t.find('<', i);
        } else if (rest.starts_with("<?")) {
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
struct TagEnd {
    enum class Kind { Found, More, Broken } kind;
    std::size_t at = 0;
};
TagEnd tagEnd(std::string_view t, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at + 1; i < t.size(); ++i) {
        char c = t[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return {TagEnd::Kind::Found, i};
        } else if (c == '<') {
            return {TagEnd::Kind::Broken, i};
        }
    }
    return {TagEnd::Kind::More, t.size()};
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

struct XmlPieceReader::State {
    enum class Stage { Prolog, Body, Whole, Done };
    // What the scan of the body is inside of.
    enum class Lex { Text, Markup, StartTag, EndTag, Comment, CData, Pi, Decl };
    struct ParseError {
        std::size_t at;  // into the piece's own text
        std::string what;
    };

    std::string rootName, open, close;
    std::function<void(pugi::xml_node)> visit;
    std::size_t pieceSize;

    std::string text;
    std::size_t dropped = 0;       // bytes before text[0]
    std::size_t droppedLines = 0;  // line feeds in them
    Stage stage = Stage::Prolog;
    Lex lex = Lex::Text;
    char quote = 0;
    std::size_t depth = 1;  // 1: between the root's children
    std::size_t start = 0;  // of the next piece, in text
    std::size_t scan = 0;   // how far the body is scanned
    std::size_t probeAt = kFirstProbe;
    std::optional<XmlError> error;

    pugi::xml_document doc;
    std::string scratch;
    std::size_t pieceBase = 0, piecePrefix = 0;  // of the piece being visited
    std::optional<XmlError> stop;                // from stopAt()

    XmlError errorAt(std::size_t at, std::string what) const {
        at = std::min(at, text.size());
        return {dropped + at, droppedLines + lineAt(text, at), std::move(what)};
    }
    std::optional<ParseError> parse(std::size_t from, std::size_t to, bool wrapOpen,
                                    bool wrapClose);
    std::optional<XmlError> piece(std::size_t to, bool last);
    std::optional<XmlError> notRoot(std::string_view name, std::size_t at) const {
        std::string shown(name.substr(0, 40));
        return errorAt(at, "the root element is <" + shown + (name.size() > 40 ? "...>" : ">") +
                               ", not <" + rootName + ">");
    }
    std::optional<XmlError> prolog(bool final);
    std::optional<XmlError> whole(bool final);
    std::optional<XmlError> body(bool final);
    void dropFront(std::size_t n);
};

std::optional<XmlPieceReader::State::ParseError> XmlPieceReader::State::parse(std::size_t from,
                                                                              std::size_t to,
                                                                              bool wrapOpen,
                                                                              bool wrapClose) {
    scratch.assign(wrapOpen ? open : std::string());
    const std::size_t prefix = scratch.size();
    scratch.append(text, from, to - from);
    if (wrapClose) scratch.append(close);
    blankNulReferences(scratch);
    pieceBase = from;
    piecePrefix = prefix;
    pugi::xml_parse_result r =
        doc.load_buffer_inplace(scratch.data(), scratch.size(), kOptions, pugi::encoding_utf8);
    if (r) return std::nullopt;
    auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(r.offset, 0));
    return ParseError{offset < prefix ? 0 : offset - prefix, r.description()};
}

// Parses text[start, to) inside the root (closed for it unless it is the
// last piece, which holds the root's end tag) and hands it to visit.
std::optional<XmlError> XmlPieceReader::State::piece(std::size_t to, bool last) {
    if (auto e = parse(start, to, true, !last)) return errorAt(start + e->at, std::move(e->what));
    stop.reset();
    visit(doc.document_element());
    if (stop) return stop;
    start = to;
    probeAt = std::max(kFirstProbe, 4 * pieceSize);
    return std::nullopt;
}

void XmlPieceReader::State::dropFront(std::size_t n) {
    droppedLines += static_cast<std::size_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), '\n'));
    dropped += n;
    text.erase(0, n);
    start -= std::min(start, n);
    scan -= std::min(scan, n);
}

// The whole text parsed as one: a small or broken document, or an empty
// root. Before the text has ended this only looks for the error.
std::optional<XmlError> XmlPieceReader::State::whole(bool final) {
    if (auto e = parse(0, text.size(), false, false)) return errorAt(e->at, std::move(e->what));
    if (!final) {
        stage = Stage::Whole;
        return std::nullopt;
    }
    pugi::xml_node root = doc.document_element();
    std::size_t rootAt = skipProlog(text);
    if (!root) return errorAt(rootAt, "no root element");
    if (root.name() != rootName) return notRoot(root.name(), rootAt);
    pieceBase = 0;
    piecePrefix = 0;
    stop.reset();
    visit(root);
    stage = Stage::Done;
    return stop;
}

std::optional<XmlError> XmlPieceReader::State::prolog(bool final) {
    // Text before any markup, which the parser ignores (blanks, or a stream
    // of anything but '<'), is dropped as it comes.
    dropFront(std::min(text.find('<'), text.size()));
    std::size_t rootAt = skipProlog(text);
    if (rootAt + 1 >= text.size()) return final ? whole(true) : std::nullopt;
    if (isNameStart(text[rootAt + 1])) {
        std::size_t nameEnd = rootAt + 1;
        while (nameEnd < text.size() && !isSpace(text[nameEnd]) && text[nameEnd] != '/' &&
               text[nameEnd] != '>' && text[nameEnd] != '<')
            ++nameEnd;
        if (nameEnd >= text.size() && !final) return std::nullopt;
        std::string_view name = std::string_view(text).substr(rootAt + 1, nameEnd - rootAt - 1);
        if (name != rootName) return notRoot(name, rootAt);
    } else {
        return whole(final);  // "<>", "< tv>", "<![CDATA[": the parser says what is wrong
    }
    TagEnd end = tagEnd(text, rootAt);
    if (end.kind == TagEnd::Kind::More) return final ? whole(true) : std::nullopt;
    if (end.kind == TagEnd::Kind::Broken) return whole(final);
    if (text[end.at - 1] == '/') {
        // An empty root: the document ends here, whatever follows.
        text.resize(end.at + 1);
        return whole(true);
    }
    // The declaration, doctype and root start tag on their own, closed.
    const std::size_t bodyAt = end.at + 1;
    if (auto e = parse(0, bodyAt, false, true)) return errorAt(e->at, std::move(e->what));
    dropFront(bodyAt);
    stage = Stage::Body;
    return body(final);
}

std::optional<XmlError> XmlPieceReader::State::body(bool final) {
    // After a child of the root (or a comment, CDATA section or processing
    // instruction beside them), or in the text between them: a cut.
    auto cutHere = [this]() -> std::optional<XmlError> {
        if (scan > start && scan - start >= pieceSize) return piece(scan, false);
        return std::nullopt;
    };
    // Past a comment, CDATA section, instruction or declaration.
    auto closeAt = [this](std::string_view term) {
        std::size_t at = text.find(term, scan);
        if (at == npos) {
            scan = std::max(scan, text.size() - std::min(text.size(), term.size() - 1));
            return false;
        }
        scan = at + term.size();
        lex = Lex::Text;
        return true;
    };
    while (scan < text.size()) {
        bool ended = false;  // a construct inside the root ended at scan
        switch (lex) {
            case Lex::Text: {
                std::size_t lt = text.find('<', scan);
                if (lt == npos) {
                    scan = text.size();
                    if (depth == 1)
                        if (auto e = cutHere()) return e;
                    break;
                }
                scan = lt;
                lex = Lex::Markup;
                continue;
            }
            case Lex::Markup: {
                std::string_view rest = std::string_view(text).substr(scan);
                if (rest.size() < 2) goto more;
                if (rest[1] == '/') {
                    lex = Lex::EndTag;
                    scan += 2;
                } else if (rest[1] == '?') {
                    lex = Lex::Pi;
                    scan += 2;
                } else if (rest[1] != '!') {
                    lex = Lex::StartTag;
                    quote = 0;
                    scan += 1;
                } else if (rest.starts_with("<!--")) {
                    lex = Lex::Comment;
                    scan += 4;
                } else if (rest.starts_with(kCdata)) {
                    lex = Lex::CData;
                    scan += kCdata.size();
                } else if (rest.size() < kCdata.size() &&
                           (kCdata.starts_with(rest) ||
                            std::string_view("<!--").starts_with(rest))) {
                    goto more;
                } else {
                    lex = Lex::Decl;
                    scan += 2;
                }
                continue;
            }
            case Lex::Comment: ended = closeAt("-->"); break;
            case Lex::CData: ended = closeAt("]]>"); break;
            case Lex::Pi: ended = closeAt("?>"); break;
            case Lex::Decl: ended = closeAt(">"); break;
            case Lex::EndTag: {
                if (!closeAt(">")) goto more;
                if (depth > 0) --depth;
                if (depth == 0) {  // the root's end tag: the last piece
                    if (auto e = piece(scan, true)) return e;
                    stage = Stage::Done;
                    dropFront(text.size());
                    return std::nullopt;
                }
                ended = true;
                break;
            }
            case Lex::StartTag: {
                std::size_t at = quote ? text.find(quote, scan) : text.find_first_of("\"'>", scan);
                if (at == npos) {
                    scan = text.size();
                    goto more;
                }
                scan = at + 1;
                if (quote) {
                    quote = 0;
                    continue;
                }
                if (text[at] != '>') {
                    quote = text[at];
                    continue;
                }
                lex = Lex::Text;
                if (text[at - 1] == '/')
                    ended = true;  // an empty element
                else
                    ++depth;
                break;
            }
        }
        if (ended && depth == 1)
            if (auto e = cutHere()) return e;
        if (!ended && lex != Lex::Text) goto more;
    }
more:
    // Deep inside an element for long: parse what there is of it, closed,
    // to see whether it is wrong already. Only an error before the end is
    // one; the closing tag put after it fails, as it must.
    if (!final && lex == Lex::Text && depth >= 2 && scan - start >= probeAt) {
        if (auto e = parse(start, scan, true, true); e && e->at < scan - start)
            return errorAt(start + e->at, std::move(e->what));
        probeAt *= 2;
    }
    if (final) return piece(text.size(), true);  // cut short: the parser says where
    dropFront(start);
    return std::nullopt;
}

XmlPieceReader::XmlPieceReader(std::string_view rootName, std::function<void(pugi::xml_node)> visit,
                               std::size_t pieceSize)
    : s_(std::make_unique<State>()) {
    s_->rootName = rootName;
    s_->open = "<" + s_->rootName + ">";
    s_->close = "</" + s_->rootName + ">";
    s_->visit = std::move(visit);
    s_->pieceSize = pieceSize;
    s_->probeAt = std::max(kFirstProbe, 4 * pieceSize);
}

XmlPieceReader::~XmlPieceReader() = default;

std::string& XmlPieceReader::text() {
    return s_->text;
}

std::size_t XmlPieceReader::lineOf(std::size_t offset) const {
    return s_->errorAt(offset, {}).line;
}

void XmlPieceReader::stopAt(const pugi::xml_node& node, std::string what) {
    auto at = static_cast<std::size_t>(std::max<std::ptrdiff_t>(node.offset_debug(), 0));
    at = at < s_->piecePrefix ? 0 : at - s_->piecePrefix;
    if (!s_->stop) s_->stop = s_->errorAt(s_->pieceBase + at, std::move(what));
}

std::optional<XmlError> XmlPieceReader::advance() {
    State& s = *s_;
    if (s.error) return s.error;
    switch (s.stage) {
        case State::Stage::Prolog: s.error = s.prolog(false); break;
        case State::Stage::Body: s.error = s.body(false); break;
        case State::Stage::Whole: break;  // everything is parsed at the end
        case State::Stage::Done: s.dropFront(s.text.size()); break;
    }
    return s.error;
}

std::optional<XmlError> XmlPieceReader::finish() {
    State& s = *s_;
    if (s.error) return s.error;
    switch (s.stage) {
        case State::Stage::Prolog: s.error = s.prolog(true); break;
        case State::Stage::Body: s.error = s.body(true); break;
        case State::Stage::Whole: s.error = s.whole(true); break;
        case State::Stage::Done: break;
    }
    s.stage = State::Stage::Done;
    s.text = std::string();
    return s.error;
}

std::optional<XmlError> parseInPieces(std::string_view text, std::string_view rootName,
                                      const std::function<void(pugi::xml_node)>& visit,
                                      std::size_t pieceSize) {
    XmlPieceReader reader(rootName, visit, pieceSize);
    reader.text().assign(text);
    if (auto e = reader.advance()) return e;
    return reader.finish();
}

}  // namespace epg
