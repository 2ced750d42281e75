#include "server/background.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <cstring>

#include "server/http/http_server.h"
#include "server/site/site.h"
#include "server/sources/listing_sources.h"
#include "server/sources/reloader.h"
#include "server/sources/sample_listings.h"
#include "server/util/unique_fd.h"

namespace epg {

BackgroundServer::BackgroundServer() = default;

BackgroundServer::~BackgroundServer() {
    // Whatever a source is doing gives up within a second; what it would
    // write is written atomically, so leaving it loses nothing.
    if (reloader_) reloader_->stop(std::chrono::milliseconds(1500));
    if (http_) http_->stop();
    if (sources_) sources_->removeDrafts();
}

std::uint16_t BackgroundServer::port() const {
    return http_ ? http_->port() : 0;
}

struct BackgroundStarter {
    static BackgroundStart start(const std::string& host, std::uint16_t port,
                                 BuiltInListings given) {
        auto server = std::make_unique<BackgroundServer>();
        auto log = given.log ? given.log : [](const std::string&) {};
        std::shared_ptr<const Listings> listings;
        if (given.xmltvSources.empty()) {
            listings = std::make_shared<SampleListings>(given.zone);
        } else {
            SourcesConfig config;
            config.sources = given.xmltvSources;
            config.zone = given.zone;
            config.stateDir = given.stateDir;
            server->sources_ = std::make_unique<ListingSources>(std::move(config), log);
            ListingSources::Start start = server->sources_->startLocal();
            if (!start.listings) return {nullptr, start.error};
            log(start.summary);
            listings = std::move(start.listings);
        }
        // Pages on the renderer's thread while the program builds its window:
        // the first group's week within milliseconds, then the whole week.
        server->site_ = std::make_shared<Site>(std::move(listings), systemClock(), given.zone,
                                               FirstSnapshot::OnRenderer);
        if (server->sources_)
            server->site_->setSourceHealth([s = server->sources_.get()] { return s->health(); });
        HttpLimits limits;
        limits.threads = 1;
        server->http_ = std::make_unique<HttpServer>(server->site_, limits);
        if (std::string err = server->http_->listen(host, port); !err.empty())
            return {nullptr, err};
        server->site_->startRenderer();
        server->http_->start();
        if (server->sources_) {
            server->reloader_ = std::make_unique<Reloader>(
                *server->sources_, std::chrono::hours(6),
                [site = server->site_](std::shared_ptr<const Listings> fresh) {
                    site->replaceListings(std::move(fresh));
                });
            server->reloader_->start(Reloader::First::FetchUrls);
        }
        return {std::move(server), {}};
    }
};

BackgroundStart startBuiltInServer(const std::string& host, std::uint16_t port,
                                   BuiltInListings listings) {
    return BackgroundStarter::start(host, port, std::move(listings));
}

BackgroundStart startSampleServer(const std::string& host, std::uint16_t port, Zone zone) {
    BuiltInListings samples;
    samples.zone = zone;
    return startBuiltInServer(host, port, std::move(samples));
}

namespace {

bool connects(const addrinfo* ai, std::chrono::milliseconds timeout) {
    UniqueFd fd(
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
    if (fd.get() < 0) return false;
    if (::connect(fd.get(), ai->ai_addr, ai->ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd p{fd.get(), POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) return false;
    int err = 0;
    socklen_t len = sizeof err;
    return ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
}

}  // namespace

bool somethingAnswers(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
    bool ok = false;
    for (addrinfo* ai = list; ai && !ok; ai = ai->ai_next) ok = connects(ai, timeout);
    ::freeaddrinfo(list);
    return ok;
}

}  // namespace epg
