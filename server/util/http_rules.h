// The parts of HTTP semantics the server decides by itself, as plain
// functions: which content coding a client accepts, whether its validators
// still name what it has, and HTTP dates.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"

namespace epg {

// Whether an Accept-Encoding field value lets the server send gzip: "gzip"
// (or "x-gzip") with a q-value above 0, or else "*" with one. An absent or
// empty field, "gzip;q=0" and an unreadable q-value mean identity only; the
// list is read up to the first character that breaks its grammar.
bool acceptsGzip(std::string_view acceptEncoding);

// Whether an If-None-Match field value names entityTag (quoted, as sent in
// ETag): "*", or any tag of the list equal to it by the weak comparison
// (a "W/" prefix ignored), as the field asks.
bool noneMatchHits(std::string_view ifNoneMatch, std::string_view entityTag);

// "Wed, 09 Dec 2026 12:15:00 GMT", whatever the process's locale.
std::string httpDate(Seconds t);
// An HTTP-date in any of its three forms (IMF-fixdate, the obsolete RFC 850
// and asctime ones); nothing for anything else.
std::optional<Seconds> parseHttpDate(std::string_view text);

}  // namespace epg
