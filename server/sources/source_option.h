// A source as --xmltv (or the guide's xmltv=) names it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/util/civil_time.h"

namespace epg {

// A file or URL, and after a "#tz=ZONE" at its end the zone its times are
// wall times of, whatever offset they carry (for feeds that write Beijing
// times with "+0000").
struct SourceOption {
    std::string location;
    std::optional<Zone> zone;
    std::string error;  // an unknown zone; the rest is then unset
};
SourceOption parseSourceOption(std::string_view value);

// What keeps a source from being read at all (an unknown zone, a scheme
// other than http or https, a blank in a URL), said as coming from `from`
// ("--xmltv"); empty when there is nothing.
std::string sourceOptionError(std::string_view value, std::string_view from);

}  // namespace epg
