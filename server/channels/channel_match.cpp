#include "server/channels/channel_match.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "server/channels/channel_names.h"
#include "server/channels/channels.h"

namespace epg {
namespace {

enum Form { kWhole, kCore, kStripped };

// One source's channels by every form of every name they go by.
class SourceIndex {
  public:
    struct Hit {
        std::size_t channel;  // in the document's channels
        const std::string* name;
    };

    SourceIndex(const XmltvDocument& doc, const ChannelNames& names) : doc_(doc) {
        for (std::size_t c = 0; c < doc.channels.size(); ++c) {
            const XmltvChannel& ch = doc.channels[c];
            ids_.emplace(ch.id, c);
            add(c, ch.id, names);
            for (const std::string& n : ch.names) add(c, n, names);
        }
    }

    const XmltvChannel* byId(std::string_view id) const {
        auto it = ids_.find(id);
        return it == ids_.end() ? nullptr : &doc_.channels[it->second];
    }
    const std::vector<Hit>* find(Form form, const std::u32string& key) const {
        auto it = forms_[form].find(key);
        return it == forms_[form].end() ? nullptr : &it->second;
    }
    const XmltvDocument& doc() const { return doc_; }

  private:
    void add(std::size_t channel, const std::string& name, const ChannelNames& names) {
        NameForms f = names.forms(name);
        const std::u32string* keys[] = {&f.whole, &f.core, &f.stripped};
        for (int form = kWhole; form <= kStripped; ++form) {
            if (keys[form]->empty()) continue;
            auto& hits = forms_[form][*keys[form]];
            if (hits.empty() || hits.back().channel != channel) hits.push_back({channel, &name});
        }
    }

    const XmltvDocument& doc_;
    std::unordered_map<std::string_view, std::size_t> ids_;
    std::unordered_map<std::u32string, std::vector<Hit>> forms_[3];
};

struct Attempt {
    std::u32string key;
    Form form;
};

// The forms a row's name is tried in, in order.
std::vector<Attempt> attemptsFor(std::string_view rowName, const ChannelNames& names) {
    std::vector<Attempt> out;
    auto all = [&out](const NameForms& f) {
        out.push_back({f.whole, kWhole});
        out.push_back({f.core, kCore});
        out.push_back({f.stripped, kStripped});
    };
    NameForms own = names.forms(rowName);
    if (const auto* renamed = names.renamed(rowName)) {
        // Not its short forms: "CCTV-9（英）" without its bracket is CCTV9,
        // the documentary channel.
        out.push_back({own.whole, kWhole});
        for (const std::string& n : *renamed) all(names.forms(n));
    } else {
        all(own);
        if (auto branded = names.withoutBrand(rowName)) all(*branded);
    }
    std::erase_if(out, [](const Attempt& a) { return a.key.empty(); });
    return out;
}

// Every catalogue row's tries, worked out once: they depend on nothing but
// the catalogue and the built-in names.
const std::vector<std::vector<Attempt>>& rowAttempts() {
    static const std::vector<std::vector<Attempt>> all = [] {
        std::vector<std::vector<Attempt>> rows;
        for (std::size_t row = 0; row < channelCount(); ++row)
            rows.push_back(attemptsFor(channelNameUtf8(row), ChannelNames::builtIn()));
        return rows;
    }();
    return all;
}

// A feed's text quoted for one line of a log or map file.
std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    return out + "\"";
}

// The row's channel in one source; nothing when no channel fits at all.
std::optional<RowMatch> matchIn(const SourceIndex& index, std::size_t row,
                                const std::vector<Attempt>& attempts) {
    const XmltvDocument& doc = index.doc();
    if (const XmltvChannel* ch = index.byId(channelPath(row)))
        return RowMatch{MatchKind::name, ch->id, "its id is the catalogue path", {}};
    for (const Attempt& a : attempts) {
        const auto* hits = index.find(a.form, a.key);
        if (!hits) continue;
        if (hits->size() == 1) {
            const XmltvChannel& ch = doc.channels[hits->front().channel];
            std::string how = "by name " + quote(*hits->front().name) + " in " + doc.source;
            return RowMatch{MatchKind::name, ch.id, std::move(how), {}};
        }
        RowMatch tie;
        for (const auto& hit : *hits) tie.tied.push_back(doc.channels[hit.channel].id);
        std::size_t shown = std::min<std::size_t>(tie.tied.size(), 4);
        tie.how = "none: ";
        for (std::size_t i = 0; i < shown; ++i)
            tie.how += (i == 0                                       ? ""
                        : i + 1 == shown && shown == tie.tied.size() ? " and "
                                                                     : ", ") +
                       quote(tie.tied[i]);
        if (shown < tie.tied.size())
            tie.how += " and " + std::to_string(tie.tied.size() - shown) + " more";
        tie.how += " fit equally in " + doc.source;
        return tie;
    }
    return std::nullopt;
}

bool anySourceHas(const SourceDocuments& sources, std::string_view id) {
    for (const auto& doc : sources) {
        if (!doc) continue;
        if (doc->programmes.contains(id)) return true;
        for (const auto& ch : doc->channels)
            if (ch.id == id) return true;
    }
    return false;
}

// Map file lines are cut at "#" and trimmed; such ids cannot be written there.
bool writableId(std::string_view id) {
    return !id.empty() && id.find_first_of("#\t\r\n") == std::string_view::npos &&
           id.front() != ' ' && id.back() != ' ';
}

}  // namespace

std::size_t CatalogueMatch::count(MatchKind kind) const {
    std::size_t n = 0;
    for (const auto& r : rows) n += r.kind == kind;
    return n;
}

ChannelMap CatalogueMatch::channelMap() const {
    ChannelMap map;
    for (std::size_t row = 0; row < rows.size(); ++row)
        if (rows[row].kind != MatchKind::none) map[rows[row].id].push_back(row);
    return map;
}

CatalogueMatch matchCatalogue(const SourceDocuments& sources, const ChannelMap* map) {
    const ChannelNames& names = ChannelNames::builtIn();
    CatalogueMatch match;
    match.rows.resize(channelCount());
    if (map) {
        for (const auto& [id, rows] : *map) {
            bool known = anySourceHas(sources, id);
            for (std::size_t row : rows)
                if (row < match.rows.size())
                    match.rows[row] = {MatchKind::map,
                                       id,
                                       known ? "from the map" : "from the map (no source has it)",
                                       {}};
        }
    }
    std::vector<SourceIndex> indexes;
    indexes.reserve(sources.size());
    for (const auto& doc : sources)
        if (doc) indexes.emplace_back(*doc, names);
    for (std::size_t row = 0; row < match.rows.size(); ++row) {
        RowMatch& m = match.rows[row];
        if (m.kind == MatchKind::map) continue;
        m.how = "none: no channel of that name";
        for (const SourceIndex& index : indexes) {
            if (auto found = matchIn(index, row, rowAttempts()[row])) {
                m = std::move(*found);
                break;
            }
        }
    }
    return match;
}

std::string channelMapText(const CatalogueMatch& match) {
    std::string out =
        "# catalogue path<TAB>XMLTV channel id, for --map; \"#\" starts a comment.\n"
        "# " +
        std::to_string(match.rows.size()) +
        " catalogue rows: " + std::to_string(match.count(MatchKind::map)) + " from the map, " +
        std::to_string(match.count(MatchKind::name)) + " matched by name, " +
        std::to_string(match.count(MatchKind::none)) + " without listings.\n";
    for (std::size_t row = 0; row < match.rows.size(); ++row) {
        const RowMatch& m = match.rows[row];
        std::string name(channelNameUtf8(row));
        while (!name.empty() && name.back() == ' ') name.pop_back();
        std::string path(channelPath(row));
        if (m.kind != MatchKind::none && writableId(m.id)) {
            out += path + '\t' + m.id + "\t# " + name + ", " + m.how + '\n';
        } else if (m.kind != MatchKind::none) {
            out += "# " + path + "\t\t# " + name + ", " + m.how + "; its id " + quote(m.id) +
                   " cannot be written here\n";
        } else {
            std::string suggestion =
                m.tied.empty() || !writableId(m.tied.front()) ? "" : m.tied.front();
            out += "# " + path + '\t' + suggestion + "\t# " + name + ", " + m.how + '\n';
        }
    }
    return out;
}

}  // namespace epg
