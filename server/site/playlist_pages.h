// The household's playlists as served: /playlist.m3u (with several, a list
// of them, each at /playlists/NAME.m3u), every entry as given but with the
// /epg.xml id of its channel, and a header naming the guide. Entries are
// matched when the snapshot is made; a request only puts its Host into the
// header line, once per host, and the answers are kept with the snapshot.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "server/channels/m3u_playlist.h"
#include "server/channels/playlist_match.h"
#include "server/model/listings.h"
#include "server/site/resource.h"

namespace epg {

inline constexpr std::string_view kM3uType = "audio/x-mpegurl; charset=UTF-8";
inline constexpr std::string_view kPlaylistPath = "playlist.m3u";
inline constexpr std::string_view kPlaylistFolder = "playlists/";

class PlaylistPages {
  public:
    // `from`, `to`: the days /epg.xml holds; `loadedAt`: when the listings
    // were loaded.
    PlaylistPages(std::vector<LoadedPlaylist> playlists, const Listings& listings, Seconds from,
                  Seconds to, Seconds loadedAt);

    // Whether a path is one of the playlists' ("playlist.m3u", "playlists/...").
    static bool claims(std::string_view path);

    struct Answer {
        int status = 404;
        std::shared_ptr<const Resource> resource;  // for 200
        std::string error;                         // otherwise
    };
    // `base`: "http://HOST" as the request names this server. Until the first
    // load has ended (`settled` false) the answer says that no one may keep it.
    Answer answer(std::string_view path, std::string_view base, bool settled) const;

    // The channel of every entry, by playlist in the order given.
    struct Served {
        LoadedPlaylist loaded;
        std::vector<EntryChannel> channels;
        std::string entries;  // the text after the header line
    };
    const std::vector<Served>& playlists() const { return served_; }
    // Every playlist's --print-playlist-map text, one after another.
    std::string mapText() const;

  private:
    std::shared_ptr<const Resource> make(std::size_t which, std::string_view base,
                                         bool settled) const;

    std::vector<Served> served_;
    Seconds listingsLoadedAt_ = 0;
    // Made on request, once per playlist, host and settledness.
    mutable std::mutex mutex_;
    mutable std::map<std::string, std::shared_ptr<const Resource>, std::less<>> made_;
    mutable std::size_t madeBytes_ = 0;
};

// "http://HOST" for a request's Host field (host, host:port, [v6]:port);
// empty when it is none of these.
std::string baseUrlOf(std::string_view host);

}  // namespace epg
