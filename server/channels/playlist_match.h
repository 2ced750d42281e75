// Which channel of the guide each entry of a household's playlist is: the
// catalogue row or other channel of the sources that /epg.xml writes, by
// its id there, so that the playlist can be served with ids a player finds
// in /epg.xml. Names go through ChannelNames::key and nothing else: an
// entry whose names have no channel's key gets none, never a near miss.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/channels/m3u_playlist.h"
#include "server/model/listings.h"
#include "server/util/text_hash.h"

namespace epg {

// Which of the entry's attributes found its channel.
enum class EntryMatchKind { none, ourId, tvgId, tvgName, title };

struct EntryChannel {
    EntryMatchKind kind = EntryMatchKind::none;
    std::string id;    // in /epg.xml; empty for none
    std::string name;  // the channel's name: the catalogue's, or the sources' first
    std::string why;   // how it matched, or why it did not, for --print-playlist-map
    friend bool operator==(const EntryChannel&, const EntryChannel&) = default;
};

class PlaylistMatcher {
  public:
    // The channels /epg.xml writes: those with programmes starting in
    // [from, to). Keeps a reference to `listings`.
    PlaylistMatcher(const Listings& listings, Seconds from, Seconds to);

    // In turn, the first that finds a channel:
    // - tvg-id: one of /epg.xml's own ids, or the id of exactly one channel
    //   of the sources; not when the entry's names say another channel, and
    //   a bare number ("101", a playlist's own channel number as often as a
    //   feed's code) only when they say the same one;
    // - tvg-name, then the title, by key: the catalogue row of that key,
    //   else the one channel of the sources that has a name of that key.
    EntryChannel match(const PlaylistEntry& entry) const;

  private:
    struct Target {
        std::string id, name;
        explicit operator bool() const { return !id.empty(); }
    };
    // The channel /epg.xml writes under a key, and the sources' channels
    // with a name of that key; with `why` when there is none.
    Target byKey(const std::string& key, std::string* why) const;
    // The channel /epg.xml writes for a key players know a channel by.
    Target ofKey(const std::string& key) const;
    Target byOurId(std::string_view id) const;
    Target byFeedId(const std::string& id, std::string& key, std::string* why) const;

    const Listings& listings_;
    std::vector<bool> listedRows_;  // by catalogue number
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> others_;  // by id
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> rowOfKey_;
};

// The --print-playlist-map text of one playlist: a line per entry, its
// title, the id and name of its channel and how it matched (or why none),
// after a line that counts them.
std::string playlistMapText(std::string_view name, const Playlist& playlist,
                            const std::vector<EntryChannel>& channels);

}  // namespace epg
