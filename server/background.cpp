#include "server/background.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <cstring>

#include "server/service.h"
#include "server/util/unique_fd.h"

namespace epg {

BackgroundServer::BackgroundServer(std::unique_ptr<Service> service)
    : service_(std::move(service)) {}

BackgroundServer::~BackgroundServer() = default;

std::uint16_t BackgroundServer::port() const {
    return service_->port();
}

BackgroundStart startBuiltInServer(const std::string& host, std::uint16_t port,
                                   BuiltInListings listings) {
    ServiceConfig config;
    config.xmltvSources = std::move(listings.xmltvSources);
    config.stateDir = std::move(listings.stateDir);
    config.zone = listings.zone;
    config.http.threads = 1;
    // Pages on the renderer's thread while the program builds its window:
    // the first group's week within milliseconds, then the whole week.
    config.first = FirstSnapshot::OnRenderer;
    config.log = std::move(listings.log);
    Service::Made made = Service::make(std::move(config), Service::Run::Serve);
    if (!made.service) return {nullptr, std::move(made.error)};
    if (std::string err = made.service->listen(host, port); !err.empty()) return {nullptr, err};
    made.service->start();
    return {std::make_unique<BackgroundServer>(std::move(made.service)), {}};
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
