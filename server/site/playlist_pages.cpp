#include "server/site/playlist_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace epg {
namespace {

// What the answers kept for hosts may hold: a household asks by one or two
// names of the server; anything beyond is made per request.
constexpr std::size_t kMostMade = 32;
constexpr std::size_t kMostMadeBytes = 64u << 20;

constexpr std::size_t kList = static_cast<std::size_t>(-1);  // the list of several playlists

bool hostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool port(std::string_view s) {
    return !s.empty() && s.size() <= 5 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A name as a path segment: unreserved characters as they are, the rest
// %-escaped (a name may be Chinese).
std::string escaped(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
            c == '~') {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

}  // namespace

std::string baseUrlOf(std::string_view host) {
    if (host.empty() || host.size() > 255) return {};
    std::string_view rest = host;
    if (rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close < 3) return {};
        for (char c : rest.substr(1, close - 1))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return {};
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t end = std::min(rest.find(':'), rest.size());
        if (end == 0 || !std::all_of(rest.begin(), rest.begin() + end, hostChar)) return {};
        rest.remove_prefix(end);
    }
    if (!rest.empty() && (rest.front() != ':' || !port(rest.substr(1)))) return {};
    return std::string("http://").append(host);
}

PlaylistPages::PlaylistPages(std::vector<LoadedPlaylist> playlists, const Listings& listings,
                             Seconds from, Seconds to, Seconds loadedAt)
    : listingsLoadedAt_(loadedAt) {
    const PlaylistMatcher matcher(listings, from, to);
    for (LoadedPlaylist& loaded : playlists) {
        Served s;
        if (loaded.playlist) {
            std::vector<std::string> ids;
            for (const PlaylistEntry& e : loaded.playlist->entries) {
                s.channels.push_back(matcher.match(e));
                ids.push_back(s.channels.back().id);
            }
            s.entries = servedEntries(*loaded.playlist, ids);
        }
        s.loaded = std::move(loaded);
        served_.push_back(std::move(s));
    }
}

bool PlaylistPages::claims(std::string_view path) {
    return path == kPlaylistPath || path.starts_with(kPlaylistFolder);
}

PlaylistPages::Answer PlaylistPages::answer(std::string_view path, std::string_view base,
                                            bool settled) const {
    if (served_.empty()) return {404, nullptr, "404 no playlist is served (see --playlist)\n"};
    std::size_t which = kList;
    if (path == kPlaylistPath) {
        if (served_.size() == 1) which = 0;
    } else {
        std::string_view name = path.substr(kPlaylistFolder.size());
        if (!name.ends_with(".m3u")) return {404, nullptr, "404 not found\n"};
        name.remove_suffix(4);
        auto it = std::find_if(served_.begin(), served_.end(),
                               [name](const Served& s) { return s.loaded.name == name; });
        if (it == served_.end()) return {404, nullptr, "404 no playlist of that name\n"};
        which = static_cast<std::size_t>(it - served_.begin());
    }
    if (base.empty())
        return {400, nullptr,
                "400 a playlist names this server's guide by the Host the request was sent "
                "to: send a Host field\n"};
    if (which != kList && !served_[which].loaded.playlist) {
        const LoadedPlaylist& l = served_[which].loaded;
        return {503, nullptr,
                "503 " + l.source + ": " +
                    (l.problem.empty() ? "not read yet; try again shortly" : l.problem) + "\n"};
    }
    std::string key = std::to_string(which) + (settled ? " settled " : " loading ");
    key += base;
    {
        std::lock_guard lock(mutex_);
        if (auto it = made_.find(key); it != made_.end()) return {200, it->second, {}};
    }
    std::shared_ptr<const Resource> made = make(which, base, settled);
    const std::size_t bytes =
        made->identity.body.size() + (made->gzip ? made->gzip->body.size() : 0);
    std::lock_guard lock(mutex_);
    if (made_.size() < kMostMade && madeBytes_ + bytes <= kMostMadeBytes &&
        made_.emplace(std::move(key), made).second)
        madeBytes_ += bytes;
    return {200, std::move(made), {}};
}

std::shared_ptr<const Resource> PlaylistPages::make(std::size_t which, std::string_view base,
                                                    bool settled) const {
    const std::string guide = std::string(base) + "/epg.xml.gz";
    std::string body;
    Seconds lastModified = listingsLoadedAt_;
    if (which == kList) {
        body = "#EXTM3U x-tvg-url=\"" + guide + "\" url-tvg=\"" + guide + "\"\n";
        for (const Served& s : served_) {
            body += "#EXTINF:-1," + s.loaded.name + "\n" + std::string(base) + "/" +
                    std::string(kPlaylistFolder) + escaped(s.loaded.name) + ".m3u\n";
            lastModified = std::max(lastModified, s.loaded.loadedAt);
        }
    } else {
        const Served& s = served_[which];
        body = servedHeader(*s.loaded.playlist, guide) + (s.loaded.playlist->crlf ? "\r\n" : "\n") +
               s.entries;
        lastModified = std::max(lastModified, s.loaded.loadedAt);
    }
    // Kept by players and caches as the guide's pages are, but not while
    // the first load may still change every id in it.
    const ResourceKind kind{kM3uType, settled ? "public, max-age=300" : "no-store", true};
    return std::make_shared<const Resource>(makeResource(std::move(body), kind, lastModified));
}

std::string PlaylistPages::mapText() const {
    std::string out;
    for (const Served& s : served_) {
        if (!out.empty()) out += "\n";
        if (!s.loaded.playlist) {
            out += "# " + s.loaded.name + ": " +
                   (s.loaded.problem.empty() ? "not read" : s.loaded.problem) + "\n";
            continue;
        }
        out += playlistMapText(s.loaded.source, *s.loaded.playlist, s.channels);
    }
    return out;
}

}  // namespace epg
