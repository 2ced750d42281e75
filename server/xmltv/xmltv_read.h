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

#include "server/listings.h"
#include "server/util/text_hash.h"

namespace epg {

// Longer texts are cut (on a character boundary) as they are read: nobody
// reads a longer title in a guide's list, and each one costs every page.
inline constexpr std::size_t kTitleCap = 1000;         // characters
inline constexpr std::size_t kDescriptionCap = 10000;  // characters

struct XmltvChannel {
    std::string id;
    std::vector<std::string> names;  // its display-name texts, in document order
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

// Parses the (decompressed) bytes of one source. They are taken by value and
// freed before the result comes back, error or not; the document holds what
// was read from them. A root other than <tv> is an error: a saved error page
// is not an empty guide. With `wallClock`, times are read as that zone's
// wall times whatever offset they carry (a feed whose offsets are wrong).
XmltvParse parseXmltv(std::string bytes, std::string_view source, const Zone* wallClock = nullptr);

// "YYYYMMDDhhmmss +zzzz" and its shorter forms; no offset means UTC. With
// `wallClock`, a wall time of that zone: the offset must still be well
// formed, but its value is not used.
std::optional<Seconds> parseXmltvTime(std::string_view text, const Zone* wallClock = nullptr);

}  // namespace epg
