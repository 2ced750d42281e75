// The EPG server inside another program: the guide starts it on its built-in
// root when nothing answers there, so it shows schedules without a server of
// its own, offline with the sample listings or from the XMLTV sources it is
// given.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/util/civil_time.h"

namespace epg {

class Service;

struct BuiltInListings {
    // Files or http(s) URLs, each maybe with "#tz=ZONE", as tvguide-epgd's
    // --xmltv takes them; none: the sample listings.
    std::vector<std::string> xmltvSources;
    std::filesystem::path stateDir;               // last good copies of URL sources
    Zone zone;                                    // of the pages, their weeks and the clock
    std::function<void(const std::string&)> log;  // the sources' log lines; may be empty
};

// Serves on threads of its own until destroyed.
class BackgroundServer {
  public:
    explicit BackgroundServer(std::unique_ptr<Service> service);
    ~BackgroundServer();  // stops reading sources, then serving
    BackgroundServer(const BackgroundServer&) = delete;
    BackgroundServer& operator=(const BackgroundServer&) = delete;
    std::uint16_t port() const;

  private:
    std::unique_ptr<Service> service_;
};

struct BackgroundStart {
    std::unique_ptr<BackgroundServer> server;  // null on error
    std::string error;
};

// Binds host:port (port 0: any free one) and serves at once: the sample
// listings, or what the sources' files and last good copies hold, while URLs
// are fetched; every source read again every 6 hours, as tvguide-epgd does.
// The first group's week answers within milliseconds, the whole week is
// rendered on a thread of its own. A source file that cannot be read is an
// error (nothing is served then).
BackgroundStart startBuiltInServer(const std::string& host, std::uint16_t port,
                                   BuiltInListings listings);

// The sample listings in `zone`.
BackgroundStart startSampleServer(const std::string& host, std::uint16_t port, Zone zone);

// Whether something accepts a TCP connection on host:port within timeout.
bool somethingAnswers(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(300));

}  // namespace epg
