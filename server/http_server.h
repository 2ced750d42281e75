// The HTTP side of the EPG server: Boost.Beast over Asio, a fixed small pool
// of threads, every request answered by handleRequest() of site.h.
//
// Defences against clients that misbehave:
//  - the request line and headers together are bounded (431 and close);
//  - a connection that sends nothing is closed after the idle time-out, and a
//    request must be complete within the header time-out of its first byte;
//  - at the connection limit a new client is let in by closing the connection
//    that has been waiting longest for a request, so idle or slow clients
//    cannot lock others out.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "server/site.h"

namespace epg {

struct HttpLimits {
    int threads = 2;
    std::size_t maxHeaderBytes = 8 * 1024;  // request line and all headers
    std::size_t maxTargetBytes = 2 * 1024;
    std::size_t maxConnections = 1024;
    std::chrono::milliseconds idleTimeout{15'000};    // waiting for a request
    std::chrono::milliseconds headerTimeout{10'000};  // first byte to end of headers
    std::chrono::milliseconds writeTimeout{30'000};
};

class HttpServer {
  public:
    HttpServer(std::shared_ptr<const Site> site, HttpLimits limits = {});
    ~HttpServer();  // stops and joins the threads
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and listens; port 0 picks a free one. An error text, or empty.
    std::string listen(const std::string& host, std::uint16_t port);
    std::uint16_t port() const;
    // Starts the threads; returns at once.
    void start();
    // Closes the listener and every connection and joins the threads.
    void stop();

    std::size_t connectionCount() const;

    struct Impl;  // the networking, in the .cpp

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace epg
