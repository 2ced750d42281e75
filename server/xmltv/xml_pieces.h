// Parsing a large XML document a few of its root's children at a time, as its
// text arrives, so that neither the text nor the parser's tree is ever held
// whole: a 100 MB listings file as one tree would take about three times its
// size again, a piece of a megabyte a few megabytes.
//
// A light scan of the text (comments, CDATA sections, processing
// instructions, tags with their quoted values, element depth) finds where a
// child of the root ends; the text is cut there, so that every piece parses
// as it would inside the whole document and an error in it is a real one,
// found as soon as its piece is complete, at the offset the whole document
// would give. Text between the root's children (layout, blanks) may be cut
// anywhere, so a stream of blanks costs no memory. What follows the root's
// end tag is not read: the parser would accept anything there.
//
// The scan goes over every byte once, whatever the chunks the text comes in,
// and what it must hold until it ends has a bound (see kLongestMarkup).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_node;
}

namespace epg {

// The longest one thing may be that the reader has to hold whole until it
// ends: a child of the root with everything inside it, a comment, CDATA
// section, processing instruction or declaration beside them, and what comes
// before the root's children (the XML declaration, the doctype, comments and
// the root's start tag, together). A piece is parsed whole and its tree takes
// a few times its text, so one such thing of a gigabyte would take gigabytes;
// real listings' longest are a few kilobytes (a programme with its credits, a
// channel with an icon). Past the bound the document is refused at the line
// where that thing starts, as soon as the scan is that far into it.
inline constexpr std::size_t kLongestMarkup = std::size_t{4} << 20;

struct XmlError {
    std::size_t offset = 0;  // into the whole text
    std::size_t line = 1;
    std::string what;
};

class XmlPieceReader {
  public:
    // `visit` is called with an element standing for the root, holding the
    // next few of the root's children, until all were seen; it may call
    // stopAt() to end the document with an error there. The root must be
    // named `rootName`. A piece ends at the first cut `pieceSize` bytes or
    // more after its start. Character references to NUL are read as a tab:
    // the parser would end the text at the NUL and silently drop the rest.
    // Nothing held may be longer than `longest` bytes (kLongestMarkup).
    XmlPieceReader(std::string_view rootName, std::function<void(pugi::xml_node)> visit,
                   std::size_t pieceSize = std::size_t{1} << 20,
                   std::size_t longest = kLongestMarkup);
    ~XmlPieceReader();
    XmlPieceReader(const XmlPieceReader&) = delete;
    XmlPieceReader& operator=(const XmlPieceReader&) = delete;

    // The UTF-8 text not yet parsed: append what comes next here, then call
    // advance(). Offsets into it stay valid until then.
    std::string& text();
    // Parses every piece the text completes; the first error ends the
    // document, and advance() and finish() give it again.
    std::optional<XmlError> advance();
    // The text has ended: parses what is left.
    std::optional<XmlError> finish();
    // Inside `visit`: ends the document with `what` at `node`.
    void stopAt(const pugi::xml_node& node, std::string what);
    // The line of an offset into text().
    std::size_t lineOf(std::size_t offset) const;
    // Bytes looked at so far by the scan and the parser, as often as each
    // was: about twice the text, since each byte is scanned once and parsed
    // once (a little more where an unfinished element is parsed early to
    // find an error in it), whatever the chunks it came in.
    std::size_t examined() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};

// The whole text at once.
std::optional<XmlError> parseInPieces(std::string_view text, std::string_view rootName,
                                      const std::function<void(pugi::xml_node)>& visit,
                                      std::size_t pieceSize = std::size_t{1} << 20,
                                      std::size_t longest = kLongestMarkup);

}  // namespace epg
