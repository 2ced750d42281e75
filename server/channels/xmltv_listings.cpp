#include "server/channels/xmltv_listings.h"

#include "server/channels/channels.h"

namespace epg {
namespace {

using SharedList = std::shared_ptr<const std::vector<Programme>>;

}  // namespace

XmltvListings listingsFromXmltv(const SourceDocuments& sources, const ChannelMap* map) {
    XmltvListings out;
    out.match = matchCatalogue(sources, map);
    out.listings = std::make_shared<StoredListings>();
    std::size_t titlesCut = 0, descriptionsCut = 0, present = 0;
    for (const auto& doc : sources)
        if (doc) {
            ++present;
            titlesCut += doc->titlesCut;
            descriptionsCut += doc->descriptionsCut;
        }
    for (const auto& [id, rows] : out.match.channelMap()) {
        std::vector<SharedList> lists;  // the channel's, source by source
        for (const auto& doc : sources) {
            if (!doc) continue;
            auto it = doc->programmes.find(id);
            if (it == doc->programmes.end()) continue;
            const FeedProgrammes& found = it->second;
            out.programmes += found.programmes.size();
            out.skipped += found.skipped;
            // Points into the document and keeps it alive.
            if (!found.programmes.empty()) lists.emplace_back(doc, &found.programmes);
        }
        if (lists.empty()) continue;
        SharedList list = lists.front();
        if (lists.size() > 1) {
            std::vector<Programme> merged;
            for (const SharedList& l : lists) merged.insert(merged.end(), l->begin(), l->end());
            putInOrder(merged);
            list = std::make_shared<const std::vector<Programme>>(std::move(merged));
        }
        for (std::size_t row : rows) out.listings->set(row, Schedule(list));
    }
    out.listings->finish();

    const CatalogueMatch& m = out.match;
    for (std::size_t row = 0; row < m.rows.size(); ++row)
        if (!m.rows[row].tied.empty()) {
            std::string name = channelNameUtf8(row);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            out.notes.push_back(name + " (" + std::string(channelPath(row)) +
                                "): " + m.rows[row].how + "; give it with --map");
        }
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
    for (const auto& [id, rows] : match.channelMap())
        if (auto it = doc.programmes.find(id); it != doc.programmes.end())
            n += it->second.programmes.size();
    return n;
}

}  // namespace epg
