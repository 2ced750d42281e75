#include "server/load.h"

#include <chrono>
#include <cstdio>

#include "server/sample_listings.h"
#include "server/xmltv_read.h"

namespace epg {

LoadResult loadListings(const std::vector<std::string>& xmltvFiles,
                        const std::optional<std::string>& mapFile) {
    if (xmltvFiles.empty()) return {std::make_shared<SampleListings>(), {}, "sample listings"};
    ChannelMap map;
    if (mapFile) {
        MapResult m = readChannelMap(*mapFile);
        if (!m.map) return {nullptr, m.error, {}};
        map = std::move(*m.map);
    } else {
        map = identityChannelMap();
    }
    auto started = std::chrono::steady_clock::now();
    auto listings = std::make_shared<StoredListings>();
    std::size_t programmes = 0, skipped = 0;
    for (const auto& file : xmltvFiles) {
        XmltvResult r = readXmltvFile(file, map, *listings);
        if (!r.ok) return {nullptr, r.error, {}};
        programmes += r.programmes;
        skipped += r.skipped;
    }
    listings->finish();
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    char summary[160];
    std::snprintf(summary, sizeof summary,
                  "%zu programmes read from %zu XMLTV file(s) in %.0f ms (%zu skipped)", programmes,
                  xmltvFiles.size(), ms, skipped);
    std::string line = summary;
    if (programmes == 0)
        line += mapFile ? "; no programme belongs to a channel of the map"
                        : "; no programme has a catalogue path as its channel id (give --map)";
    return {std::move(listings), {}, line};
}

}  // namespace epg
