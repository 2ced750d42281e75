// What a TV box or phone player asks the server for: which interface (the
// path), which channel and which day (the query). Players build these
// addresses by pasting a name into a template ("?ch={name}&date={date}"),
// mostly unencoded, so a raw "+" in the query is a plus ("CCTV5+"), as is
// "%2B", and never a blank.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"

namespace epg {

enum class PlayerApi {
    Diyp,     // DIYP / 百川: "/?ch=NAME&date=DATE", also "/diyp"
    Epginfo,  // 超级直播: "/epginfo?ch=NAME" or "?channel=NAME", today unless dated
};

// The interface behind a cleaned request path (see cleanTargetPath()): ""
// or "diyp" for DIYP, "epginfo"; a trailing "/" is allowed after a name.
std::optional<PlayerApi> playerApiOf(std::string_view path);

// Longest channel name answered, in bytes once decoded; no channel's name
// comes near it.
inline constexpr std::size_t kPlayerNameCap = 256;

struct PlayerQuery {
    std::string channel;       // decoded, as the player wrote it ("+" a plus)
    std::string withBlanks;    // the same with every unescaped "+" a blank; empty without one
    std::optional<Date> date;  // none: today in the server's zone
    std::string error;         // set when the query cannot be answered (400)
};

// The query of a request target (all after its first "?"). The channel is
// `ch`, else `channel`, else `id`; the first of a repeated parameter
// counts; unknown ones are ignored. An empty `date` is no date.
PlayerQuery parsePlayerQuery(PlayerApi api, std::string_view target);

// The same parameters as they stand in the target, still escaped (empty:
// none): what tells two requests apart before anything is decoded.
struct RawPlayerQuery {
    std::string_view channel, date;
};
RawPlayerQuery rawPlayerQuery(PlayerApi api, std::string_view target);

// "YYYY-MM-DD" or "YYYYMMDD", a real date of the Gregorian calendar.
std::optional<Date> parsePlayerDate(std::string_view text);

}  // namespace epg
