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
#include "server/sources/sample_listings.h"
#include "server/util/unique_fd.h"

namespace epg {

BackgroundServer::BackgroundServer(std::unique_ptr<HttpServer> http) : http_(std::move(http)) {}
BackgroundServer::~BackgroundServer() = default;

std::uint16_t BackgroundServer::port() const {
    return http_ ? http_->port() : 0;
}

BackgroundStart startSampleServer(const std::string& host, std::uint16_t port) {
    // The guide's own zone, so that the pages match the guide's clock.
    // The pages are rendered on the site's own thread while the guide builds
    // its window; a request that comes first waits for them.
    auto site = std::make_shared<Site>(std::make_shared<SampleListings>(Zone::local()),
                                       systemClock(), Zone::local(), FirstSnapshot::OnRenderer);
    site->startRenderer();
    HttpLimits limits;
    limits.threads = 1;
    auto http = std::make_unique<HttpServer>(site, limits);
    if (std::string err = http->listen(host, port); !err.empty()) return {nullptr, err};
    http->start();
    return {std::make_unique<BackgroundServer>(std::move(http)), {}};
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
