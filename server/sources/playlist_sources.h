// The household's playlists (--playlist): files, read again when they
// change, and http(s) URLs, fetched as listings are (the same fetch, its
// bounds in time and redirects, the last good copy under the state
// directory, read at start-up), on the same refresh period and at a SIGHUP.
// A playlist is taken whole or not at all: one that cannot be read, fetched
// or parsed keeps what it gave before, and the log says why.
//
// startLocal() and fetchAll() run before start(); after it, one thread of
// its own reads and fetches, and current(), reload() and stop() may be
// called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/channels/m3u_playlist.h"
#include "server/sources/last_good_store.h"
#include "server/sources/source_fetch.h"
#include "server/util/file_read.h"

namespace epg {

struct PlaylistSourcesConfig {
    std::vector<std::string> sources;  // files and http(s) URLs
    std::filesystem::path stateDir;    // empty: keep no copies
    FetchLimits limits;                // limits.cap: what a playlist may hold, files too
    PlaylistLimits playlistLimits;
    std::chrono::seconds refresh{6 * 3600};  // URLs fetched again this often; 0: never
    // Files are looked at this often (a stat each), so that an edit shows
    // soon; never when refresh is 0.
    std::chrono::milliseconds fileCheck{5000};
};

class PlaylistSources {
  public:
    using Log = std::function<void(const std::string&)>;
    using Publish = std::function<void(std::vector<LoadedPlaylist>)>;
    PlaylistSources(PlaylistSourcesConfig config, Log log);
    ~PlaylistSources();  // stop()
    PlaylistSources(const PlaylistSources&) = delete;
    PlaylistSources& operator=(const PlaylistSources&) = delete;

    // Every file read, and the last good copy of every URL: an error naming
    // the first file that cannot be read or parsed (the user named it).
    std::string startLocal();
    // Every URL fetched once, for a run that exits.
    void fetchAll();
    // Every playlist as last read, in the order given.
    std::vector<LoadedPlaylist> current() const;

    // Starts the thread: URLs fetched at once, then every period after their
    // last attempt; files looked at as the config says. `publish` gets every
    // playlist whenever one of them changed.
    void start(Publish publish);
    // Every playlist read and fetched again, unconditionally (SIGHUP).
    void reload();
    // Ends the thread; a transfer under way gives up within a second.
    void stop();

  private:
    using SteadyClock = std::chrono::steady_clock;
    struct Slot {
        std::string source;  // as given: a URL only ever goes to the fetch
        bool url = false;
        LoadedPlaylist loaded;
        FileIdentity file;      // files: what the playlist was read from
        Validators validators;  // URLs: of its body
        SteadyClock::time_point next;
    };
    // One playlist read or fetched; true when it changed.
    bool attempt(std::size_t i, bool unconditional);
    // `error`: where a failure is told instead of logged (at start-up).
    bool readFile(std::size_t i, bool unconditional, std::string* error);
    bool fetchUrl(std::size_t i, bool unconditional);
    void readCopy(std::size_t i);
    void failed(std::size_t i, const std::string& why);
    void adopt(std::size_t i, Playlist playlist, Seconds when);
    void run();

    PlaylistSourcesConfig config_;
    Log log_;
    LastGoodStore store_;
    std::atomic<bool> stop_{false};  // for transfers and reads under way
    mutable std::mutex mutex_;       // guards what follows
    std::vector<Slot> slots_;
    bool reload_ = false, stopping_ = false;
    std::condition_variable wake_;
    Publish publish_;
    std::thread thread_;
};

// The names playlists are served by (/playlists/NAME.m3u): each file's or
// URL's last path segment without its extension, characters other than
// letters, digits, "-" and "_" as "-", and a number after a name taken.
std::vector<std::string> playlistNames(const std::vector<std::string>& sources);

}  // namespace epg
