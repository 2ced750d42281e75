#include "server/xmltv/xml_pieces.h"

#include <algorithm>
#include <pugixml.hpp>

#include "server/util/size_text.h"
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

// An element's name fit for a message: 40 bytes at most, cut between
// characters.
std::string shownName(std::string_view name) {
    if (name.size() <= 40) return std::string(name);
    std::size_t n = 40;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return std::string(name.substr(0, n)) + "...";
}

// The name of the tag whose '<' is at `at`, as far as the text has it (a
// little more than a message shows).
std::string_view tagName(std::string_view t, std::size_t at) {
    std::string_view rest = t.substr(std::min(at + 1, t.size()), 41);
    return rest.substr(0, rest.find_first_of(" \t\r\n/><"));
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
    // What the scan of the prolog is inside of: between its parts, text
    // outside them (which the parser ignores), or one of them.
    enum class Pro { Between, Outside, Pi, Comment, Doctype, RootName, RootTag };
    // What the scan of the body is inside of.
    enum class Lex { Text, Markup, StartTag, EndTag, Comment, CData, Pi, Decl };
    struct ParseError {
        std::size_t at;  // into the piece's own text
        std::string what;
    };

    std::string rootName, open, close;
    std::function<void(pugi::xml_node)> visit;
    std::size_t pieceSize;
    std::size_t longest;

    std::string text;
    std::size_t dropped = 0;       // bytes before text[0]
    std::size_t droppedLines = 0;  // line feeds in them
    Stage stage = Stage::Prolog;
    Pro pro = Pro::Between;
    int doctypeDepth = 0;  // of brackets, in the doctype's internal subset
    Lex lex = Lex::Text;
    char quote = 0;
    std::size_t depth = 1;  // 1: between the root's children
    std::size_t start = 0;  // of the next piece, in text
    std::size_t scan = 0;   // how far the text is scanned
    // Where the one thing held until it ends began (a child of the root, a
    // comment beside them, the prolog's part being scanned), or npos.
    std::size_t mark = npos;
    std::size_t examined = 0;  // see XmlPieceReader::examined()
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
        return errorAt(at, "the root element is <" + shownName(name) + ">, not <" + rootName + ">");
    }
    // A look-up in text[from, end) that found `at` (or npos), counted.
    std::size_t seek(std::size_t at, std::size_t from, std::size_t end) {
        examined += (at == npos ? end : at + 1) - std::min(from, end);
        return at;
    }
    // Past the next `term` before `end`: false, having gone as far as it
    // can, when there is none.
    bool skipTo(std::string_view term, std::size_t end) {
        std::size_t at = seek(std::string_view(text).substr(0, end).find(term, scan), scan, end);
        if (at == npos) {
            scan = std::max(scan, end - std::min(end, term.size() - 1));
            return false;
        }
        scan = at + term.size();
        return true;
    }
    std::optional<XmlError> prologTooLong() const;
    std::optional<XmlError> bodyTooLong() const;
    std::optional<XmlError> rootStarted(std::size_t at, bool final);
    std::optional<XmlError> prolog(bool final);
    std::optional<XmlError> whole(bool final);
    std::optional<XmlError> body(bool final);
    void dropFront(std::size_t n);
};

std::optional<XmlPieceReader::State::ParseError> XmlPieceReader::State::parse(std::size_t from,
                                                                              std::size_t to,
                                                                              bool wrapOpen,
                                                                              bool wrapClose) {
    examined += to - from;
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
    if (mark != npos) mark -= std::min(mark, n);
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
    if (!root) return errorAt(text.size(), "no root element");
    // The offset of its name, just after the '<'.
    auto nameAt = static_cast<std::size_t>(std::max<std::ptrdiff_t>(root.offset_debug(), 1));
    if (root.name() != rootName) return notRoot(root.name(), nameAt - 1);
    pieceBase = 0;
    piecePrefix = 0;
    stop.reset();
    visit(root);
    stage = Stage::Done;
    return stop;
}

// The prolog did not end within the bound: it is refused where the part
// the scan stopped in began.
std::optional<XmlError> XmlPieceReader::State::prologTooLong() const {
    std::string what;
    switch (pro) {
        case Pro::Pi: what = "a processing instruction"; break;
        case Pro::Comment: what = "a comment"; break;
        case Pro::Doctype: what = "a document type declaration"; break;
        case Pro::RootName:
        case Pro::RootTag: what = "a <" + shownName(tagName(text, mark)) + "> start tag"; break;
        case Pro::Between: what = "markup"; break;
        case Pro::Outside: what = "text"; break;
    }
    return errorAt(mark == npos ? scan : mark,
                   what + " runs past " + sizeText(longest) +
                       " from the start, the most the reader holds before the root element's "
                       "children");
}

// The root's start tag ends at `at`.
std::optional<XmlError> XmlPieceReader::State::rootStarted(std::size_t at, bool final) {
    if (text[at - 1] == '/') {
        // An empty root: the document ends here, whatever follows.
        text.resize(at + 1);
        return whole(true);
    }
    // The declaration, doctype and root start tag on their own, closed.
    const std::size_t bodyAt = at + 1;
    if (auto e = parse(0, bodyAt, false, true)) return errorAt(e->at, std::move(e->what));
    dropFront(bodyAt);
    stage = Stage::Body;
    mark = npos;
    lex = Lex::Text;
    quote = 0;
    return body(final);
}

// Scans on from where the last call stopped, so that a part of the prolog
// that comes in many chunks (a start tag of megabytes) is read once. Only
// the first `longest` bytes are looked at: a prolog that does not end there
// is refused, and where it is cut does not depend on the chunks.
std::optional<XmlError> XmlPieceReader::State::prolog(bool final) {
    constexpr std::string_view kComment = "<!--", kDoctype = "<!DOCTYPE";
    // Text before any markup, which the parser ignores (blanks, or a stream
    // of anything but '<'), is dropped as it comes.
    if (scan == 0 && pro == Pro::Between)
        dropFront(std::min(seek(text.find('<'), 0, text.size()), text.size()));
    const std::string_view v = std::string_view(text).substr(0, longest);
    while (scan < v.size()) {
        switch (pro) {
            case Pro::Between: {
                ++examined;
                if (isSpace(v[scan])) {
                    ++scan;
                    continue;
                }
                mark = scan;
                if (v[scan] != '<') {
                    pro = Pro::Outside;
                    continue;
                }
                std::string_view rest = v.substr(scan, kDoctype.size());
                // "<", "<!", "<!-", "<!DOC": what follows tells what it is.
                bool unsure = (rest.size() < kComment.size() && kComment.starts_with(rest)) ||
                              (rest.size() < kDoctype.size() && kDoctype.starts_with(rest));
                if (unsure && !final) goto wait;
                if (rest.starts_with("<?")) {
                    pro = Pro::Pi;
                    scan += 2;
                } else if (rest.starts_with(kComment)) {
                    pro = Pro::Comment;
                    scan += kComment.size();
                } else if (rest.starts_with(kDoctype)) {
                    pro = Pro::Doctype;
                    scan += kDoctype.size();
                    quote = 0;
                    doctypeDepth = 0;
                } else if (rest.starts_with("<![")) {
                    // The parser would take it, and then all that follows
                    // would have to be parsed as one.
                    return errorAt(scan, "a CDATA section outside the root element");
                } else if (rest.size() >= 2 && isNameStart(rest[1])) {
                    pro = Pro::RootName;
                    scan += 1;
                } else {
                    return whole(final);  // "<>", "< tv>", "<!x": the parser says what is wrong
                }
                continue;
            }
            case Pro::Outside: {
                std::size_t lt = seek(v.find('<', scan), scan, v.size());
                scan = lt == npos ? v.size() : lt;
                if (lt != npos) pro = Pro::Between;
                continue;
            }
            case Pro::Pi:
                if (!skipTo("?>", v.size())) goto wait;
                pro = Pro::Between;
                continue;
            case Pro::Comment:
                if (!skipTo("-->", v.size())) goto wait;
                pro = Pro::Between;
                continue;
            case Pro::Doctype: {
                std::size_t i = scan;
                for (; i < v.size(); ++i) {
                    char c = v[i];
                    if (quote) {
                        if (c == quote) quote = 0;
                    } else if (c == '"' || c == '\'') {
                        quote = c;
                    } else if (c == '[') {
                        ++doctypeDepth;
                    } else if (c == ']') {
                        --doctypeDepth;
                    } else if (c == '>' && doctypeDepth <= 0) {
                        pro = Pro::Between;
                        ++i;
                        break;
                    }
                }
                examined += i - scan;
                scan = i;
                continue;
            }
            case Pro::RootName: {
                std::size_t end = seek(v.find_first_of(" \t\r\n/><", scan), scan, v.size());
                if (end == npos) {
                    scan = v.size();
                    continue;
                }
                scan = end;
                std::string_view name = v.substr(mark + 1, end - mark - 1);
                if (name != rootName) return notRoot(name, mark);
                pro = Pro::RootTag;
                quote = 0;
                continue;
            }
            case Pro::RootTag: {
                std::size_t at = seek(quote ? v.find(quote, scan) : v.find_first_of("\"'<>", scan),
                                      scan, v.size());
                if (at == npos) {
                    scan = v.size();
                    continue;
                }
                scan = at + 1;
                if (quote) {
                    quote = 0;
                } else if (v[at] == '"' || v[at] == '\'') {
                    quote = v[at];
                } else if (v[at] == '<') {
                    return whole(final);  // the tag is broken: the parser says where
                } else {
                    return rootStarted(at, final);
                }
                continue;
            }
        }
    }
wait:
    if (text.size() >= longest) return prologTooLong();
    if (!final) return std::nullopt;
    if (pro == Pro::RootName) {
        std::string_view name = std::string_view(text).substr(mark + 1);
        if (name != rootName) return notRoot(name, mark);
    }
    return whole(true);  // cut short: the parser says where
}

// The thing held since `mark` did not end within the bound.
std::optional<XmlError> XmlPieceReader::State::bodyTooLong() const {
    std::string name = shownName(tagName(text, mark)), what;
    if (depth > 1) {
        what = "a <" + name + "> element";
    } else {
        switch (lex) {
            case Lex::StartTag: what = "a <" + name + "> start tag"; break;
            case Lex::EndTag: what = "an end tag"; break;
            case Lex::Comment: what = "a comment"; break;
            case Lex::CData: what = "a CDATA section"; break;
            case Lex::Pi: what = "a processing instruction"; break;
            case Lex::Decl: what = "a declaration"; break;
            case Lex::Text:
            case Lex::Markup: what = "markup"; break;
        }
    }
    return errorAt(
        mark, what + " longer than " + sizeText(longest) + ", the most the reader holds at once");
}

// Only the first `longest` bytes of what must be held (from `mark`) are
// looked at: a thing that does not end there is refused, and where it is
// cut does not depend on the chunks.
std::optional<XmlError> XmlPieceReader::State::body(bool final) {
    // After a child of the root (or a comment, CDATA section or processing
    // instruction beside them), or in the text between them: a cut.
    auto cutHere = [this]() -> std::optional<XmlError> {
        if (scan > start && scan - start >= pieceSize) return piece(scan, false);
        return std::nullopt;
    };
    auto visible = [this] {
        std::size_t end = mark == npos ? text.size() : std::min(text.size(), mark + longest);
        return std::string_view(text).substr(0, end);
    };
    // Past a comment, CDATA section, instruction or declaration.
    auto closeAt = [this](std::string_view term, std::size_t end) {
        if (!skipTo(term, end)) return false;
        lex = Lex::Text;
        return true;
    };
    for (std::string_view v = visible(); scan < v.size(); v = visible()) {
        bool ended = false;  // a construct inside the root ended at scan
        switch (lex) {
            case Lex::Text: {
                std::size_t lt = seek(v.find('<', scan), scan, v.size());
                if (lt == npos) {
                    scan = v.size();
                    if (depth == 1)
                        if (auto e = cutHere()) return e;
                    break;
                }
                scan = lt;
                lex = Lex::Markup;
                if (depth == 1) {
                    // Text between children that came with the next one's
                    // start is not held while that child is.
                    if (auto e = cutHere()) return e;
                    mark = lt;
                }
                continue;
            }
            case Lex::Markup: {
                std::string_view rest = v.substr(scan);
                if (rest.size() < 2) goto more;
                examined += 2;
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
            case Lex::Comment: ended = closeAt("-->", v.size()); break;
            case Lex::CData: ended = closeAt("]]>", v.size()); break;
            case Lex::Pi: ended = closeAt("?>", v.size()); break;
            case Lex::Decl: ended = closeAt(">", v.size()); break;
            case Lex::EndTag: {
                if (!closeAt(">", v.size())) goto more;
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
                std::size_t at = seek(quote ? v.find(quote, scan) : v.find_first_of("\"'>", scan),
                                      scan, v.size());
                if (at == npos) {
                    scan = v.size();
                    goto more;
                }
                scan = at + 1;
                if (quote) {
                    quote = 0;
                    continue;
                }
                if (v[at] != '>') {
                    quote = v[at];
                    continue;
                }
                lex = Lex::Text;
                if (v[at - 1] == '/')
                    ended = true;  // an empty element
                else
                    ++depth;
                break;
            }
        }
        if (ended && depth == 1) {
            mark = npos;
            if (auto e = cutHere()) return e;
        }
        if (!ended && lex != Lex::Text) goto more;
    }
more:
    // Stopped inside what must be held, with all of it that may be held.
    if (mark != npos && text.size() >= mark + longest) return bodyTooLong();
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
                               std::size_t pieceSize, std::size_t longest)
    : s_(std::make_unique<State>()) {
    s_->rootName = rootName;
    s_->open = "<" + s_->rootName + ">";
    s_->close = "</" + s_->rootName + ">";
    s_->visit = std::move(visit);
    s_->pieceSize = pieceSize;
    s_->longest = longest;
    s_->probeAt = std::max(kFirstProbe, 4 * pieceSize);
}

XmlPieceReader::~XmlPieceReader() = default;

std::string& XmlPieceReader::text() {
    return s_->text;
}

std::size_t XmlPieceReader::lineOf(std::size_t offset) const {
    return s_->errorAt(offset, {}).line;
}

std::size_t XmlPieceReader::examined() const {
    return s_->examined;
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
                                      std::size_t pieceSize, std::size_t longest) {
    XmlPieceReader reader(rootName, visit, pieceSize, longest);
    reader.text().assign(text);
    if (auto e = reader.advance()) return e;
    return reader.finish();
}

}  // namespace epg
