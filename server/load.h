// Building the listings the server starts with (or reloads).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/listings.h"

namespace epg {

struct LoadResult {
    std::shared_ptr<const Listings> listings;  // null on error
    std::string error;
    std::string summary;  // a line for the log
};

// Sample listings when xmltvFiles is empty; otherwise every file through the
// map (or, without one, channel ids that are catalogue paths). Any unreadable
// or malformed file fails the whole load.
LoadResult loadListings(const std::vector<std::string>& xmltvFiles,
                        const std::optional<std::string>& mapFile);

}  // namespace epg
