#include "server/service.h"

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/site/resource.h"
#include "server/site/xmltv_write.h"
#include "server/sources/listing_sources.h"
#include "server/sources/playlist_sources.h"
#include "server/sources/reloader.h"
#include "server/sources/sample_listings.h"
#include "server/util/unique_fd.h"

namespace epg {
namespace {

constexpr const char* kPastDaysFile = "past-days.xml.gz";

}  // namespace

Service::Service() = default;

Service::~Service() {
    stop();
}

Service::Made Service::make(ServiceConfig config, Run run) {
    std::unique_ptr<Service> s(new Service());
    if (!config.log) config.log = [](const std::string&) {};
    s->config_ = std::move(config);
    const ServiceConfig& c = s->config_;
    std::shared_ptr<const Listings> listings;
    if (c.xmltvSources.empty()) {
        listings = std::make_shared<SampleListings>(c.zone);
        c.log("sample listings");
    } else {
        SourcesConfig sources;
        sources.sources = c.xmltvSources;
        sources.mapFile = c.mapFile;
        sources.zone = c.zone;
        sources.stateDir = c.stateDir;
        sources.limits.totalTimeout = c.fetchTimeout;
        if (!c.stateDir.empty() && c.keepDays > 0) sources.pastDays = c.stateDir / kPastDaysFile;
        s->sources_ = std::make_unique<ListingSources>(std::move(sources), c.log);
        // Serving, the last good copies are read after the server listens:
        // one may be large or damaged, and a restart is to answer at once.
        ListingSources::Start start = run == Run::Serve
                                          ? s->sources_->startLocal(ListingSources::Copies::Later)
                                          : s->sources_->start();
        if (!start.listings) return {nullptr, std::move(start.error)};
        c.log(start.summary);
        for (const auto& note : start.notes) c.log(note);
        s->match_ = std::move(start.match);
        listings = std::move(start.listings);
        s->latest_ = listings;
    }
    s->site_ = std::make_shared<Site>(std::move(listings), c.clock, c.zone,
                                      run == Run::Serve ? c.first : FirstSnapshot::Now, c.keepDays);
    if (s->sources_)
        s->site_->setSourceHealth([sources = s->sources_.get()] { return sources->health(); });
    else
        s->site_->setSourceHealth(std::vector<SourceHealth>{
            {"sample listings", SourceHealth::State::Ok, c.clock(), c.clock(), {}, {}}});
    if (!c.playlists.empty()) {
        PlaylistSourcesConfig playlists;
        playlists.sources = c.playlists;
        playlists.stateDir = c.stateDir;
        playlists.limits.cap = kMaxPlaylistBytes;
        playlists.limits.totalTimeout = c.fetchTimeout;
        playlists.refresh = c.refresh;
        s->playlists_ = std::make_unique<PlaylistSources>(std::move(playlists), c.log);
        if (std::string err = s->playlists_->startLocal(); !err.empty()) return {nullptr, err};
        if (run == Run::Once) s->playlists_->fetchAll();
        s->site_->setPlaylists(s->playlists_->current());
    }
    return {std::move(s), {}};
}

std::string Service::listen(const std::string& host, std::uint16_t port) {
    if (!http_) http_ = std::make_unique<HttpServer>(site_, config_.http);
    return http_->listen(host, port);
}

void Service::start() {
    if (sources_ && !sources_->settled()) site_->setLoading(config_.firstLoadPatience);
    if (http_) http_->start();
    site_->startRenderer();
    if (playlists_)
        playlists_->start([site = site_](std::vector<LoadedPlaylist> playlists) {
            site->setPlaylists(std::move(playlists));
        });
    if (!sources_) return;
    reloader_ = std::make_unique<Reloader>(*sources_, config_.refresh,
                                           [this](std::shared_ptr<const Listings> fresh) {
                                               latest_ = fresh;
                                               site_->replaceListings(std::move(fresh));
                                               keepPastDays();
                                           });
    reloader_->start(Reloader::First::CopiesThenUrls, [this] {
        site_->loaded();
        keepPastDays();
    });
}

// The days before today that the listings hold, for a restart after a feed
// has dropped them (catch-up players want the past week): written whole and
// put in place at once, readable by us alone like the last good copies.
void Service::keepPastDays() {
    if (!latest_ || latest_->madeUp() || config_.stateDir.empty() || config_.keepDays <= 0) return;
    const Date today = toLocal(config_.clock(), config_.zone).date;
    const std::string text =
        gzipped(writeXmltv(*latest_, localMidnight(addDays(today, -config_.keepDays), config_.zone),
                           localMidnight(today, config_.zone), config_.zone));
    const std::filesystem::path file = config_.stateDir / kPastDaysFile;
    std::error_code ec;
    if (std::filesystem::create_directories(config_.stateDir, ec))
        std::filesystem::permissions(config_.stateDir, std::filesystem::perms::owner_all, ec);
    std::string temp = file.string() + ".part-XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return config_.log(file.string() + ": cannot write: " + std::strerror(errno));
    bool ok = ::fchmod(fd.get(), 0600) == 0;
    for (std::string_view rest = text; ok && !rest.empty();) {
        const ssize_t n = ::write(fd.get(), rest.data(), rest.size());
        ok = n > 0 || (n < 0 && errno == EINTR);
        if (n > 0) rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = ok && ::fsync(fd.get()) == 0 && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        config_.log(file.string() + ": cannot write: " + std::strerror(errno));
        ::unlink(temp.c_str());
    }
}

std::uint16_t Service::port() const {
    return http_ ? http_->port() : 0;
}

void Service::reload() {
    if (reloader_) reloader_->requestReload();
    if (playlists_) playlists_->reload();
}

bool Service::stop(std::chrono::milliseconds grace) {
    if (stopped_) return true;
    stopped_ = true;
    if (http_) http_->stop();
    // Transfers and reads give up within a second.
    const bool ended = !reloader_ || reloader_->stop(grace);
    if (playlists_) playlists_->stop();
    if (sources_) sources_->removeDrafts();
    return ended;
}

std::string Service::playlistMapText() const {
    auto snap = site_->snapshot();
    return snap && snap->playlists ? snap->playlists->mapText() : std::string();
}

HttpStats Service::httpStats() const {
    return http_ ? http_->stats() : HttpStats{};
}

}  // namespace epg
