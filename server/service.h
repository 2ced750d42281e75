// The whole server as one object: the sources read into listings, the site
// rendered from them, the HTTP server in front, and the reloader that keeps
// the listings fresh. tvguide-epgd, the guide's built-in server and the
// screenshot program build it the same way.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/channels/channel_match.h"
#include "server/http/http_server.h"
#include "server/site/site.h"
#include "server/util/civil_time.h"

namespace epg {

class ListingSources;
class PlaylistSources;
class Reloader;

struct ServiceConfig {
    // Files or http(s) URLs, each maybe with "#tz=ZONE"; none: the sample
    // listings of the clock's week.
    std::vector<std::string> xmltvSources;
    std::optional<std::string> mapFile;
    // The household's playlists (files or http(s) URLs), served with the
    // guide's ids.
    std::vector<std::string> playlists;
    std::filesystem::path stateDir;  // last good copies of URL sources; empty: none kept
    Zone zone;                       // of the pages, their weeks and the clock
    Clock clock = systemClock();
    std::chrono::seconds refresh{6 * 3600};  // 0: never
    std::chrono::seconds fetchTimeout{600};  // the whole of one URL fetch
    HttpLimits http;
    int keepDays = 7;  // days before today in /epg.xml
    // How long requests wait for the sources' first load before they are
    // answered 503 (see Site::setLoading()).
    std::chrono::milliseconds firstLoadPatience{3000};
    FirstSnapshot first = FirstSnapshot::OnRenderer;
    std::function<void(const std::string&)> log;  // log lines; may be empty
};

class Service {
  public:
    // Serve: what needs no network is read (files, last good copies), URLs
    // are fetched once serving has begun. Once: every source is read and
    // fetched before make() returns, for a run that exits (an export, the
    // printed map); nothing listens.
    enum class Run { Serve, Once };
    struct Made {
        std::unique_ptr<Service> service;  // null on error
        std::string error;
    };
    // A source or playlist file that cannot be read is an error (nothing
    // is served).
    static Made make(ServiceConfig config, Run run);
    ~Service();  // stop(), if not yet stopped
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Binds host:port (0: any free port); then start() serves.
    std::string listen(const std::string& host, std::uint16_t port);
    void start();
    std::uint16_t port() const;
    // Every source and playlist read again, unconditionally (SIGHUP).
    void reload();
    // Stops reading sources, then serving. False when folding new listings
    // in was still under way after `grace` (what it would write is written
    // atomically, so leaving it loses nothing).
    bool stop(std::chrono::milliseconds grace = std::chrono::milliseconds(1500));

    const Site& site() const { return *site_; }
    HttpStats httpStats() const;
    // How the catalogue rows matched the sources (empty for the samples).
    const CatalogueMatch& match() const { return match_; }
    // Each playlist entry's channel, as --print-playlist-map prints it.
    std::string playlistMapText() const;

  private:
    Service();
    ServiceConfig config_;
    std::unique_ptr<ListingSources> sources_;
    std::shared_ptr<Site> site_;
    std::unique_ptr<HttpServer> http_;
    std::unique_ptr<Reloader> reloader_;
    std::unique_ptr<PlaylistSources> playlists_;
    CatalogueMatch match_;
    std::shared_ptr<const Listings> latest_;  // on the reloader's thread once it runs
    bool stopped_ = false;
    void keepPastDays();
};

}  // namespace epg
