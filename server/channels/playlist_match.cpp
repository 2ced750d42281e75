#include "server/channels/playlist_match.h"

#include <algorithm>

#include "server/channels/channel_index.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/channels/other_channels.h"
#include "server/model/channels.h"

namespace epg {
namespace {

bool bareNumber(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string catalogueName(std::size_t row) {
    std::string name = channelNameUtf8(row);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::string quotedName(std::string_view s) {
    // Appended: GCC 12 at -O3 takes "literal" + std::string for an
    // overlapping copy (-Wrestrict).
    return std::string("\"").append(s).append("\"");
}

}  // namespace

PlaylistMatcher::PlaylistMatcher(const Listings& listings, Seconds from, Seconds to)
    : listings_(listings), listedRows_(channelCount()) {
    const auto& keys = rowKeys();
    for (std::size_t row = 0; row < channelCount(); ++row) {
        listedRows_[row] = !listings.starting(row, from, to).empty();
        // Of two rows of one key (CCTV-1（综合） and （高清）), the first listed.
        if (listedRows_[row] && !keys[row].empty()) rowOfKey_.try_emplace(keys[row], row);
    }
    const auto others = listings.others();
    for (std::size_t i = 0; i < others.size(); ++i)
        if (others[i].schedule && !others[i].schedule->runs(from, to).empty())
            others_.try_emplace(others[i].id, i);
}

PlaylistMatcher::Target PlaylistMatcher::ofKey(const std::string& key) const {
    if (key.empty()) return {};
    if (auto row = rowOfKey_.find(key); row != rowOfKey_.end())
        return {channelXmltvId(row->second), catalogueName(row->second)};
    if (auto other = others_.find(otherChannelId(key)); other != others_.end()) {
        const OtherChannel& o = listings_.others()[other->second];
        return {o.id, o.names.empty() ? o.id : o.names.front()};
    }
    return {};
}

PlaylistMatcher::Target PlaylistMatcher::byKey(const std::string& key, std::string* why) const {
    auto say = [why](std::string text) {
        if (why) *why = std::move(text);
        return Target{};
    };
    if (key.empty()) return say("nothing of it is a channel's name");
    if (Target t = ofKey(key)) return t;
    const ChannelIndex* index = listings_.channels();
    const std::vector<ChannelIndex::Candidate> found =
        index ? index->byKey(key) : std::vector<ChannelIndex::Candidate>{};
    if (found.empty()) return say("no channel of the sources has that name");
    // A channel's other names ("Phoenix Chinese Channel" beside 鳳凰衛視中文台)
    // bring it under the key players know it by.
    Target one;
    for (const ChannelIndex::Candidate& c : found) {
        Target t = ofKey(index->keyOf(c.entry));
        if (!t) continue;
        if (one && one.id != t.id) return say("a name of more than one channel");
        one = std::move(t);
    }
    if (!one) return say("its channel has no programmes");
    return one;
}

PlaylistMatcher::Target PlaylistMatcher::byOurId(std::string_view id) const {
    std::optional<std::size_t> row = channelByXmltvId(id);
    if (!row) row = channelByPath(id);  // what /epg.xml wrote once
    if (row && listedRows_[*row]) return {channelXmltvId(*row), catalogueName(*row)};
    if (auto other = others_.find(id); other != others_.end()) {
        const OtherChannel& o = listings_.others()[other->second];
        return {o.id, o.names.empty() ? o.id : o.names.front()};
    }
    return {};
}

PlaylistMatcher::Target PlaylistMatcher::byFeedId(const std::string& id, std::string& key,
                                                  std::string* why) const {
    const ChannelIndex* index = listings_.channels();
    if (!index) return {};
    const std::vector<ChannelIndex::Candidate> found = index->byId(id);
    if (found.size() > 1) {
        *why = std::to_string(found.size()) + " channels of the sources have that id";
        return {};
    }
    if (found.empty()) return {};
    key = index->keyOf(found.front().entry);
    Target t = ofKey(key);
    if (!t) *why = "its channel in " + index->source(found.front()).source + " has no programmes";
    return t;
}

EntryChannel PlaylistMatcher::match(const PlaylistEntry& entry) const {
    const ChannelNames& names = ChannelNames::builtIn();
    const std::string tvgId = entry.value("tvg-id"), tvgName = entry.value("tvg-name");
    std::vector<std::string> nameKeys;
    for (const std::string* n : {&tvgName, &entry.title})
        if (std::string k = names.key(*n); !k.empty()) nameKeys.push_back(std::move(k));
    std::vector<std::string> whys;

    if (!tvgId.empty()) {
        if (Target t = byOurId(tvgId))
            return {EntryMatchKind::ourId, t.id, t.name,
                    "by tvg-id " + quotedName(tvgId) + ", ours"};
        std::string idKey, why;
        if (Target t = byFeedId(tvgId, idKey, &why)) {
            // The id is the feed's word for a channel; the names are what the
            // viewer reads. Where they part, the names are believed.
            bool agree = false, disagree = false;
            for (const std::string& k : nameKeys) {
                if (k == idKey) {
                    agree = true;
                    continue;
                }
                Target named = byKey(k, nullptr);
                if (named ? named.id == t.id : !names.definite(k))
                    agree = agree || named;
                else
                    disagree = true;
            }
            if (!disagree && (agree || !bareNumber(tvgId)))
                return {EntryMatchKind::tvgId, t.id, t.name,
                        "by tvg-id " + quotedName(tvgId) +
                            ", the one channel of the sources of that id"};
            whys.push_back("tvg-id " + quotedName(tvgId) + " is " + t.name + " in the sources, " +
                           (disagree ? "but its names say another channel"
                                     : "but it is a bare number and its names do not say so"));
        } else if (!why.empty()) {
            whys.push_back("tvg-id " + quotedName(tvgId) + ": " + why);
        }
    }
    const struct {
        const std::string& text;
        EntryMatchKind kind;
        const char* label;
    } byName[] = {{tvgName, EntryMatchKind::tvgName, "tvg-name"},
                  {entry.title, EntryMatchKind::title, "title"}};
    for (const auto& n : byName) {
        if (n.text.empty()) continue;
        std::string why;
        if (Target t = byKey(names.key(n.text), &why)) {
            // What did not match first is said too.
            std::string how = std::string("by ") + n.label + " " + quotedName(n.text);
            for (std::size_t i = 0; i < whys.size(); ++i)
                how += (i ? "; " : " (") + whys[i] + (i + 1 == whys.size() ? ")" : "");
            return {n.kind, t.id, t.name, std::move(how)};
        }
        whys.push_back(std::string(n.label) + " " + quotedName(n.text) + ": " + why);
    }
    std::string why = "none: ";
    if (whys.empty()) why += "no tvg-id, tvg-name or title";
    for (std::size_t i = 0; i < whys.size(); ++i) why += (i ? "; " : "") + whys[i];
    return {EntryMatchKind::none, {}, {}, std::move(why)};
}

std::string playlistMapText(std::string_view name, const Playlist& playlist,
                            const std::vector<EntryChannel>& channels) {
    std::size_t count[5] = {};
    for (const EntryChannel& c : channels) ++count[static_cast<int>(c.kind)];
    const std::size_t matched = channels.size() - count[0];
    std::string out = "# " + std::string(name) + ": " + std::to_string(channels.size()) +
                      " entries, " + std::to_string(matched) + " with a channel of the guide (" +
                      std::to_string(count[1] + count[2]) + " by tvg-id, " +
                      std::to_string(count[3]) + " by tvg-name, " + std::to_string(count[4]) +
                      " by title), " + std::to_string(count[0]) + " without\n";
    for (std::size_t i = 0; i < channels.size() && i < playlist.entries.size(); ++i) {
        const PlaylistEntry& e = playlist.entries[i];
        const EntryChannel& c = channels[i];
        const std::string& shown = !e.title.empty() ? e.title : e.url;
        if (c.id.empty())
            out += "# " + shown + "\t\t\t# " + c.why + "\n";
        else
            out += shown + "\t" + c.id + "\t" + c.name + "\t# " + c.why + "\n";
    }
    return out;
}

}  // namespace epg
