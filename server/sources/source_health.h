// How one listings source fares, for /healthz: kept by whatever loads the
// listings, handed to the site with Site::setSourceHealth().
#pragma once

#include <optional>
#include <string>

#include "server/util/civil_time.h"

namespace epg {

struct SourceHealth {
    std::string name;  // the path or URL given
    // When it last read, fetched or was confirmed unchanged well; for a last
    // good copy used at start-up, when that copy was fetched.
    std::optional<Seconds> lastGood;
    std::string lastError;  // of the latest attempt; empty when it went well
};

}  // namespace epg
