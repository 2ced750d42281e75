#include "server/channels/channel_match.h"

#include <algorithm>

#include "server/channels/channel_names.h"
#include "server/model/channels.h"

namespace epg {
namespace {

// A feed's text quoted for one line of a log or map file.
std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    return out + "\"";
}

// Map file lines are cut at "#" and trimmed; such ids cannot be written there.
bool writableId(std::string_view id) {
    return !id.empty() && id.find_first_of("#\t\r\n") == std::string_view::npos &&
           id.front() != ' ' && id.back() != ' ';
}

std::string daysText(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " day" : " days");
}

// Who serves the row's days, for --print-map: the channel of most days, the
// others, and those that fit without serving any.
std::string servingText(const RowMatch& m) {
    if (m.serving.empty()) return ", no programmes";
    std::string out = ", " + daysText(m.serving.front().days);
    for (std::size_t i = 1; i < m.serving.size(); ++i)
        out += (i == 1 ? "; also " : ", ") + quote(m.serving[i].id) + " in " + m.serving[i].source +
               ", " + daysText(m.serving[i].days);
    if (m.idle > 0)
        out += "; " + std::to_string(m.idle) + (m.idle == 1 ? " more channel" : " more channels") +
               " serving no day";
    return out;
}

// The names a row's channels go by, each once: their display names,
// or the id of one known by it alone.
void addFeedNames(const XmltvChannel& channel, std::vector<std::string>& names) {
    auto add = [&names](const std::string& n) {
        if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    };
    for (const std::string& n : channel.names) add(n);
    if (channel.names.empty() && !channel.id.empty() &&
        !std::all_of(channel.id.begin(), channel.id.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        add(channel.id);
}

}  // namespace

// Worked out once: it depends on nothing but the catalogue and the built-in
// names.
const std::vector<std::string>& rowKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all;
        for (std::size_t row = 0; row < channelCount(); ++row)
            all.push_back(ChannelNames::builtIn().key(channelNameUtf8(row)));
        return all;
    }();
    return keys;
}

std::size_t CatalogueMatch::count(MatchKind kind) const {
    std::size_t n = 0;
    for (const auto& r : rows) n += r.kind == kind;
    return n;
}

std::set<std::string, std::less<>> CatalogueMatch::ids() const {
    std::set<std::string, std::less<>> out;
    for (const RowMatch& r : rows) {
        if (r.kind != MatchKind::none) out.insert(r.id);
        for (const Serving& s : r.serving) out.insert(s.id);
    }
    return out;
}

CatalogueListings matchCatalogue(const ChannelIndex& index, const ChannelMap* map) {
    CatalogueListings out;
    const std::size_t rows = channelCount();
    out.match.rows.resize(rows);
    out.schedules.resize(rows);
    out.names.resize(rows);
    out.icons.resize(rows);
    std::vector<const std::string*> mapped(rows, nullptr);
    if (map)
        for (const auto& [id, mappedRows] : *map)
            for (std::size_t row : mappedRows)
                if (row < rows) mapped[row] = &id;
    std::vector<bool>& counted = out.taken;
    for (std::size_t row = 0; row < rows; ++row) {
        RowMatch& m = out.match.rows[row];
        std::vector<ChannelIndex::Candidate> candidates;
        if (mapped[row]) {
            m.kind = MatchKind::map;
            m.id = *mapped[row];
            candidates = index.byId(m.id);
            m.how = candidates.empty() ? "from the map (no source has it)" : "from the map";
        } else if (candidates = index.byId(channelXmltvId(row)); !candidates.empty()) {
            m.kind = MatchKind::name;
            m.how = "its id is the row's in XMLTV out";
            // Our own XMLTV (an export, the days kept) beside the feeds: the
            // feeds' channels of the row's name are the same channel; another
            // row of that name in our own XMLTV is that row's.
            for (const ChannelIndex::Candidate& c : index.byKey(rowKeys()[row]))
                if (!channelByXmltvId(index.channel(c).id) &&
                    std::none_of(candidates.begin(), candidates.end(),
                                 [&c](const auto& x) { return x.entry == c.entry; }))
                    candidates.push_back(c);
            std::sort(candidates.begin(), candidates.end(),
                      [](const auto& a, const auto& b) { return a.entry < b.entry; });
        } else if (candidates = index.byId(channelPath(row)); !candidates.empty()) {
            m.kind = MatchKind::name;
            m.how = "its id is the catalogue path";
        } else if (candidates = index.byKey(rowKeys()[row]); !candidates.empty()) {
            m.kind = MatchKind::name;
        } else {
            m.how = "none: no channel of that name";
            continue;
        }
        ChannelIndex::Choice choice = index.choose(candidates);
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (choice.days[i] > 0) order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return choice.days[a] > choice.days[b];
        });
        for (std::size_t i : order) {
            m.serving.push_back({index.channel(candidates[i]).id,
                                 index.source(candidates[i]).source, choice.days[i]});
            addFeedNames(index.channel(candidates[i]), out.names[row]);
            if (out.icons[row].empty()) out.icons[row] = index.channel(candidates[i]).icon;
        }
        // Those serving no day are still this channel under the names of
        // their feeds.
        for (const ChannelIndex::Candidate& c : candidates)
            addFeedNames(index.channel(c), out.names[row]);
        m.idle = candidates.size() - order.size();
        if (m.kind == MatchKind::name) {
            const ChannelIndex::Candidate& main = candidates[order.empty() ? 0 : order.front()];
            m.id = index.channel(main).id;
            if (m.how.empty())
                m.how = "by name " + quote(*main.how) + " in " + index.source(main).source;
        }
        out.schedules[row] = std::move(choice.schedule);
        for (const ChannelIndex::Candidate& c : candidates) {
            if (c.entry >= counted.size()) counted.resize(c.entry + 1, false);
            if (counted[c.entry]) continue;
            counted[c.entry] = true;
            if (const FeedProgrammes* p = index.programmes(c)) {
                out.programmes += p->programmes.size();
                out.skipped += p->skipped;
            }
        }
    }
    counted.resize(index.size(), false);
    return out;
}

std::string channelMapText(const CatalogueMatch& match) {
    std::string out =
        "# catalogue path<TAB>XMLTV channel id, for --map; \"#\" starts a comment.\n"
        "# " +
        std::to_string(match.rows.size()) +
        " catalogue rows: " + std::to_string(match.count(MatchKind::map)) + " from the map, " +
        std::to_string(match.count(MatchKind::name)) + " matched by name, " +
        std::to_string(match.count(MatchKind::none)) +
        " without listings.\n"
        "# Each day of a row comes whole from one channel; the id given serves most days.\n";
    for (std::size_t row = 0; row < match.rows.size(); ++row) {
        const RowMatch& m = match.rows[row];
        std::string name(channelNameUtf8(row));
        while (!name.empty() && name.back() == ' ') name.pop_back();
        std::string path(channelPath(row));
        if (m.kind == MatchKind::none) {
            out += "# " + path + "\t\t# " + name + ", " + m.how + '\n';
        } else if (writableId(m.id)) {
            out += path + '\t' + m.id + "\t# " + name + ", " + m.how + servingText(m) + '\n';
        } else {
            out += "# " + path + "\t\t# " + name + ", " + m.how + servingText(m) + "; its id " +
                   quote(m.id) + " cannot be written here\n";
        }
    }
    return out;
}

}  // namespace epg
