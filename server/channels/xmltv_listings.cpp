#include "server/channels/xmltv_listings.h"

#include "server/channels/channel_index.h"
#include "server/channels/other_channels.h"

namespace epg {

XmltvListings listingsFromXmltv(const SourceDocuments& sources, const ChannelMap* map,
                                const Zone& zone) {
    XmltvListings out;
    auto index = std::make_shared<const ChannelIndex>(sources, zone);
    CatalogueListings rows = matchCatalogue(*index, map);
    out.match = std::move(rows.match);
    out.programmes = rows.programmes;
    out.skipped = rows.skipped;
    out.listings = std::make_shared<StoredListings>();
    for (std::size_t row = 0; row < rows.schedules.size(); ++row) {
        out.listings->set(row, std::move(rows.schedules[row]));
        out.listings->setFeedNames(row, std::move(rows.names[row]));
        if (!rows.icons[row].empty()) out.listings->setIcon(row, std::move(rows.icons[row]));
    }
    out.listings->finish();
    out.listings->setOthers(otherChannels(*index, rows.taken));
    out.listings->setChannels(std::move(index));

    std::size_t titlesCut = 0, descriptionsCut = 0, present = 0;
    for (const auto& doc : sources)
        if (doc) {
            ++present;
            titlesCut += doc->titlesCut;
            descriptionsCut += doc->descriptionsCut;
        }
    const CatalogueMatch& m = out.match;
    std::size_t shared = 0;  // rows whose days come from several channels
    for (const RowMatch& r : m.rows) shared += r.serving.size() > 1;
    if (shared > 0)
        out.notes.push_back(
            std::to_string(shared) +
            (shared == 1 ? " catalogue row takes its days" : " catalogue rows take their days") +
            " from more than one channel (see --print-map)");
    out.summary = std::to_string(m.rows.size()) +
                  " catalogue rows: " + std::to_string(m.count(MatchKind::map)) +
                  " from the map, " + std::to_string(m.count(MatchKind::name)) +
                  " matched by name, " + std::to_string(m.count(MatchKind::none)) +
                  " without listings (" + std::to_string(out.skipped) + " programmes skipped";
    if (titlesCut + descriptionsCut > 0)
        out.summary += "; " + std::to_string(titlesCut) + " titles cut to " +
                       std::to_string(kTitleCap) + " and " + std::to_string(descriptionsCut) +
                       " descriptions to " + std::to_string(kDescriptionCap) + " characters";
    out.summary += ")";
    if (out.programmes == 0 && present > 0)
        out.summary += "; no programme belongs to a catalogue row (see --print-map)";
    return out;
}

std::size_t programmesTaken(const XmltvDocument& doc, const CatalogueMatch& match) {
    std::size_t n = 0;
    for (const std::string& id : match.ids())
        if (auto it = doc.programmes.find(id); it != doc.programmes.end())
            n += it->second.programmes.size();
    return n;
}

}  // namespace epg
