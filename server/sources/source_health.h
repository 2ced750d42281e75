// How one listings source fares, for /healthz: kept by whatever loads the
// listings, read by the site whenever /healthz is asked.
#pragma once

#include <optional>
#include <string>

#include "server/util/civil_time.h"

namespace epg {

struct SourceHealth {
    enum class State {
        Starting,  // not read yet, nothing of it served
        Ok,        // its latest read, fetch or confirmation went well
        Stale,     // serving what an earlier fetch or its last good copy gave
        Failing,   // its latest attempt failed and nothing of it is served
    };
    std::string name;  // the path, or the URL as shown (no secrets)
    State state = State::Starting;
    // When it last read, fetched or was confirmed unchanged well; for a last
    // good copy used at start-up, when that copy was fetched.
    std::optional<Seconds> lastGood;
    // When what is served of it was fetched or read.
    std::optional<Seconds> servingSince;
    std::string lastError;                 // of the latest attempt; empty when it went well
    std::optional<Seconds> fetchingSince;  // a read or fetch under way
};

const char* stateName(SourceHealth::State state);

}  // namespace epg
