// Reading an XMLTV document into what the server needs of it: its channels
// (id and display names, for matching catalogue rows) and its programmes by
// channel id. Errors come back as text naming the file and the line.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/model/listings.h"
#include "server/util/text_hash.h"
#include "server/xmltv/xml_pieces.h"

namespace epg {

// Longer texts are cut (on a character boundary) as they are read: nobody
// reads a longer title in a guide's list, and each one costs every page. In
// bytes that is at most 4,000 for a title, a name or an id and 40,000 for a
// description.
inline constexpr std::size_t kTitleCap = 1000;         // characters
inline constexpr std::size_t kDescriptionCap = 10000;  // characters
// A channel's display-names and the ids of channels (a <channel>'s `id`, a
// <programme>'s `channel`, cut alike so that they still meet).
inline constexpr std::size_t kNameCap = 1000;     // characters
inline constexpr std::size_t kCategoryCap = 100;  // characters
inline constexpr std::size_t kIconCap =
    2048;  // bytes of an icon's address; longer ones are left out

// What one document may hold; a bigger one is refused as it is read, before
// it costs more memory. A week of 215 channels is about 60,000 programmes and
// the feeds of all of China a few hundred thousand; a source beyond these is
// a mistake or an attack. No element, start tag, comment or text the reader
// holds to parse may be longer than kLongestMarkup (4 MiB): those of real
// listings are a few kilobytes, and a gigabyte of title would take gigabytes
// to parse before it could be cut. A document refused is never a source's
// last good copy; one with texts cut is.
inline constexpr std::size_t kMaxProgrammes = 1'000'000;
// Titles, descriptions, channel names and ids.
inline constexpr std::size_t kMaxTextBytes = std::size_t{256} << 20;
struct XmltvLimits {
    std::size_t programmes = kMaxProgrammes;
    std::size_t textBytes = kMaxTextBytes;
    std::size_t elementBytes = kLongestMarkup;
};

struct XmltvChannel {
    std::string id;
    std::vector<std::string> names;  // its display-name texts, in document order
    std::string icon;                // its first <icon src>, or empty
};

struct FeedProgrammes {
    // In start order, one per start time (the first in the document stays),
    // missing stops filled from the next start: see putInOrder().
    std::vector<Programme> programmes;
    std::size_t skipped = 0;  // without a usable start or a title
};

struct XmltvDocument {
    std::string source;  // the file or URL, for messages
    // Every <channel>, then the ids that only programmes name (no names).
    std::vector<XmltvChannel> channels;
    std::unordered_map<std::string, FeedProgrammes, TextHash, std::equal_to<>> programmes;
    std::size_t titlesCut = 0;
    std::size_t descriptionsCut = 0;
};

// Documents in their sources' order of priority, shared between the sources
// that read them and the listings built from them; a null one stands for a
// source that has none yet.
using SourceDocuments = std::vector<std::shared_ptr<const XmltvDocument>>;

struct XmltvParse {
    std::optional<XmltvDocument> document;
    std::string error;  // "SOURCE:LINE: what" when there is no document
};

// Reads the (decompressed) bytes of one source as they arrive, in chunks of
// any size: neither the bytes nor the text are kept, only what the document
// holds, and a fault is found in the chunk that brings it. A root other than
// <tv> is an error: a saved error page is not an empty guide.
class XmltvReader {
  public:
    // With `wallClock`, times are read as that zone's wall times whatever
    // offset they carry (a feed whose offsets are wrong).
    explicit XmltvReader(std::string_view source, XmltvLimits limits = {},
                         const Zone* wallClock = nullptr);
    ~XmltvReader();
    XmltvReader(const XmltvReader&) = delete;
    XmltvReader& operator=(const XmltvReader&) = delete;

    // False once the document is refused; error() then says why.
    bool feed(std::string_view bytes);
    // The bytes have ended.
    XmltvParse finish();
    const std::string& error() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};

// The bytes of a whole document; taken by value and freed before the result
// comes back, error or not.
XmltvParse parseXmltv(std::string bytes, std::string_view source, XmltvLimits limits = {},
                      const Zone* wallClock = nullptr);

// "YYYYMMDDhhmmss +zzzz" and its shorter forms; no offset means UTC. With
// `wallClock`, a wall time of that zone: the offset must still be well
// formed, but its value is not used.
std::optional<Seconds> parseXmltvTime(std::string_view text, const Zone* wallClock = nullptr);

}  // namespace epg
