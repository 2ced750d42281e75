// Everything the server answers, apart from the networking: which targets
// exist, the snapshot of rendered pages behind them (made by a renderer
// thread, never by a request), and the rules every request passes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/model/listings.h"
#include "server/site/snapshot.h"
#include "server/sources/source_health.h"

namespace epg {

using Clock = std::function<Seconds()>;
Clock systemClock();
Clock fixedClock(Seconds t);

inline constexpr std::string_view kBannerPath = "soft/down/a1.html";

// The path a request target names, without its leading "/", percent-escapes
// decoded and any query dropped; of an absolute-form target
// ("http://host/path"), its path. Nothing for a target that is empty,
// another form ("*", "host:port"), badly escaped, or holds "..", a
// backslash, a NUL or another control character.
std::optional<std::string> cleanTargetPath(std::string_view target);

// What the answer depends on: the request line and the header fields that
// choose a representation or make the request conditional (empty: absent).
struct Request {
    std::string_view method, target;
    std::string_view acceptEncoding = {}, ifNoneMatch = {}, ifModifiedSince = {};
    std::string_view host = {};  // the Host field: playlists name the guide's URL by it
};

struct Reply {
    int status = 404;
    // Never null; not sent for HEAD or 304. Owns (shares) whatever the views
    // below point into.
    std::shared_ptr<const std::string> body;
    std::string_view contentType;
    std::string_view headers;  // more header lines, each "\r\nName: value"
};

// When a new site's first snapshot is rendered: before the constructor
// returns, or first thing on the renderer thread. There the week is widened
// step by step (see WeekScope): the first group's pages and the banner
// within milliseconds; a request for what is not there yet waits for the
// step that brings it.
enum class FirstSnapshot { Now, OnRenderer };

class Site {
  public:
    // listings null: nothing loaded yet (pages without programmes, /healthz
    // 503). `pastDays`: the days before today /epg.xml holds.
    Site(std::shared_ptr<const Listings> listings, Clock clock, Zone zone,
         FirstSnapshot first = FirstSnapshot::Now, int pastDays = 7);
    ~Site();  // stops the renderer
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    // Starts the renderer thread, which renders the next snapshot when the
    // listings change, when the week turns and, for the banner, every minute.
    void startRenderer();
    // Brings the snapshot up to date with the clock on the calling thread:
    // what the renderer does each minute; for a site without one.
    void render();
    // Swaps in new listings (loaded at the clock's now); returns once
    // requests see pages of them.
    void replaceListings(std::shared_ptr<const Listings> listings);
    // How the sources fare, asked whenever /healthz is (it may change between
    // swaps: a fetch starts, fails, is confirmed); or a fixed list.
    void setSourceHealth(std::function<std::vector<SourceHealth>()> sources);
    void setSourceHealth(std::vector<SourceHealth> sources);
    // The household's playlists, as their sources last gave them: matched
    // to the listings on the renderer, as every new listings are; returns
    // once requests see them.
    void setPlaylists(std::vector<LoadedPlaylist> playlists);

    // Until loaded(), the sources' first load is under way: what a request
    // asks for (anything but /healthz) waits for it until `patience` from
    // now, and is answered 503 after that, never an empty page that a
    // player or a cache would keep.
    void setLoading(std::chrono::milliseconds patience);
    void loaded();
    // Whether the first load has ended, waiting for it as setLoading() said.
    bool awaitFirstLoad() const;

    // The snapshot of the whole week; null only when the site stops before
    // one was made.
    std::shared_ptr<const Snapshot> snapshot() const;
    // The latest snapshot, maybe the first group's week alone (see
    // FirstSnapshot): what a request looks in first.
    std::shared_ptr<const Snapshot> firstSnapshot() const;
    // The first snapshot whose week goes beyond `scope`.
    std::shared_ptr<const Snapshot> widerThan(WeekScope scope) const;
    const Zone& zone() const { return zone_; }
    // /healthz: its status (200, or 503 while no catalogue row has a
    // programme this week) and JSON body.
    std::pair<int, std::string> health() const;

    // Every path the server has a page for (day pages, then the banner).
    std::vector<std::string> pagePaths() const;
    // The identity body behind a path from pagePaths() (or nullptr).
    std::shared_ptr<const std::string> page(std::string_view path) const;

  private:
    void renderLocked();
    void rendererLoop();
    std::shared_ptr<const Snapshot> waitFor(std::optional<WeekScope> wider) const;

    const Clock clock_;
    const Zone zone_;
    const bool quickFirst_;
    const int pastDays_;
    // The snapshot requests read, behind a mutex held for a reference
    // count: libstdc++ 12's std::atomic<std::shared_ptr> ends a load with a
    // relaxed unlock, so on weakly ordered CPUs (arm64) a load may pair the
    // new pointer with the old count (ThreadSanitizer reports the race).
    std::shared_ptr<const Snapshot> current() const;
    void publish(std::shared_ptr<const Snapshot> next);
    // With `lock` on mutex_ after a change: renders it here when no renderer
    // runs, else wakes the renderer and waits until a published snapshot
    // holds it (`holds`) or the site stops.
    void renderChange(std::unique_lock<std::mutex>& lock,
                      const std::function<bool(const Snapshot&)>& holds);
    mutable std::mutex currentMutex_;
    std::shared_ptr<const Snapshot> current_;

    mutable std::mutex mutex_;  // guards what follows
    std::shared_ptr<const Listings> listings_;
    std::optional<Seconds> loadedAt_;
    std::uint64_t generation_ = 0;
    std::function<std::vector<SourceHealth>()> sources_;
    std::shared_ptr<const std::vector<LoadedPlaylist>> playlists_;
    std::uint64_t playlistGeneration_ = 0;
    bool stopping_ = false;
    std::atomic<bool> loading_{false};

    std::chrono::steady_clock::time_point loadingUntil_;
    std::condition_variable wake_;               // the renderer: something to do
    mutable std::condition_variable published_;  // a new snapshot is out

    std::mutex renderMutex_;  // one render at a time
    std::thread renderer_;
};

// The whole request handling. A bad target is refused (400) before anything
// else; then only GET and HEAD are served (405). A page answers 304 when the
// request's validators still name it (If-None-Match first, If-Modified-Since
// only without it), and in gzip when Accept-Encoding allows.
Reply handleRequest(const Site& site, const Request& request);

}  // namespace epg
