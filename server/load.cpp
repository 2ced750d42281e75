#include "server/load.h"

#include <limits>
#include <utility>

#include "server/channels.h"
#include "server/source_file.h"

namespace epg {

ParsedSource parseSource(std::string&& text, std::string_view name, const ChannelMap& map) {
    std::string bytes = std::move(text);  // dies with this call, whatever happens
    auto doc = std::make_shared<SourceDocument>();
    XmltvResult r = readXmltv(bytes, name, map, doc->listings);
    if (!r.ok) return {nullptr, std::move(r.error)};
    doc->listings.finish();
    doc->programmes = r.programmes;
    doc->skipped = r.skipped;
    return {std::move(doc), {}};
}

CombinedListings combineSources(
    const std::vector<std::shared_ptr<const SourceDocument>>& documents) {
    std::vector<const SourceDocument*> present;
    for (const auto& d : documents)
        if (d) present.push_back(d.get());
    // One source, the usual case: its listings as they are, not a copy.
    if (present.size() == 1)
        for (const auto& d : documents)
            if (d)
                return {std::shared_ptr<const Listings>(d, &d->listings),
                        d->listings.programmeCount()};
    auto all = std::make_shared<StoredListings>();
    constexpr Seconds kAll = std::numeric_limits<Seconds>::max();
    for (const SourceDocument* d : present)
        for (std::size_t c = 0; c < channelCount(); ++c)
            for (Programme& p : d->listings.starting(c, -kAll, kAll)) all->add(c, std::move(p));
    all->finish();
    std::size_t programmes = all->programmeCount();
    return {std::move(all), programmes};
}

MapResult loadChannelMap(const std::optional<std::string>& mapFile) {
    if (!mapFile) return {identityChannelMap(), {}};
    FileBytes f = readWholeFile(*mapFile, kMaxMapBytes);
    if (!f.bytes) return {std::nullopt, f.error};
    return parseChannelMap(*f.bytes, *mapFile);
}

}  // namespace epg
