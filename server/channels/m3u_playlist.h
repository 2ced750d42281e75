// A household's own playlist: M3U as IPTV players read it, "#EXTINF:" lines
// with attributes (tvg-id="..." tvg-name="..." ...) and a title, each
// followed by its stream. It is read so that it can be served again as it
// was given with only the guide's ids changed: every line is kept as it
// came, and of each entry where its attributes stand in its line, so that a
// rewrite touches nothing else. Stream URLs are only carried along.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/util/civil_time.h"

namespace epg {

// Playlists are a few hundred entries; the biggest public ones a few MiB.
inline constexpr std::size_t kMaxPlaylistBytes = 16u << 20;  // 16 MiB

struct PlaylistLimits {
    std::size_t maxBytes = kMaxPlaylistBytes;
    std::size_t maxEntries = 100'000;
};

// name=value in a line: the value without its quotes, and where the whole of
// it stands in the line ([begin, end), the quotes included).
struct M3uAttribute {
    std::string name;
    std::string value;
    std::size_t begin = 0, end = 0;
};

struct PlaylistEntry {
    static constexpr std::size_t kNoInfo = static_cast<std::size_t>(-1);
    // Its "#EXTINF:" line in Playlist::lines; kNoInfo for a stream listed
    // without one.
    std::size_t line = kNoInfo;
    std::vector<M3uAttribute> attributes;  // in the order written
    std::size_t attributesAt = 0;          // where they begin in the line: after the duration
    std::string title;                     // after the comma that ends the attributes
    std::string url;                       // the stream; empty when none followed
    // The first attribute of that name, in any case ("tvg-ID" is tvg-id).
    const M3uAttribute* attribute(std::string_view name) const;
    // Its value, or empty.
    std::string value(std::string_view name) const;
};

struct Playlist {
    std::vector<std::string> lines;     // as given, without line ends or a byte order mark
    std::optional<std::size_t> header;  // the "#EXTM3U" line, when the playlist has one
    std::vector<M3uAttribute> headerAttributes;
    bool crlf = false;  // its lines end with CR LF
    std::vector<PlaylistEntry> entries;
};

// A playlist as its source last gave it, under the name it is served by.
struct LoadedPlaylist {
    std::string name;                          // served as /playlists/NAME.m3u
    std::string source;                        // the file, or the URL as it may be shown
    std::shared_ptr<const Playlist> playlist;  // null while none has been read
    std::string problem;                       // why there is none
    Seconds loadedAt = 0;                      // when it was read or fetched
};

struct PlaylistParse {
    std::optional<Playlist> playlist;
    std::string error;  // why the text is no playlist ("line 3: ..." where a line says)
};

// UTF-8 text, or GB18030 (what Chinese tools save when not UTF-8), read as
// players do: "#EXTM3U" may be missing, blank lines and other directives
// (#EXTGRP, #EXTVLCOPT, #KODIPROP ...) stand anywhere, a stream may come
// without "#EXTINF". Refused: more than the limits, text in neither
// encoding, an HTML or XML page, and a text without a single stream.
PlaylistParse parsePlaylist(std::string_view text, const PlaylistLimits& limits = {});

// The "#EXTM3U" line a playlist is served with: its own attributes, where
// those that name a guide (x-tvg-url, url-tvg, tvg-url) now name
// `guideUrl`, and x-tvg-url and url-tvg added when missing.
std::string servedHeader(const Playlist& playlist, std::string_view guideUrl);

// Every line after the header, as given, except that an entry with an id in
// `ids` (one per entry; empty: leave the entry as it is) gets it as its
// tvg-id; its own tvg-id, when it had one, is kept as x-original-tvg-id.
// Lines end as the playlist's did.
std::string servedEntries(const Playlist& playlist, const std::vector<std::string>& ids);

}  // namespace epg
