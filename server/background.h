// The EPG server inside another program: the guide starts it on its built-in
// root when nothing answers there, so it shows schedules offline.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace epg {

class HttpServer;

// Serves the sample listings on its own thread until destroyed.
class BackgroundServer {
  public:
    explicit BackgroundServer(std::unique_ptr<HttpServer> http);
    ~BackgroundServer();
    BackgroundServer(const BackgroundServer&) = delete;
    BackgroundServer& operator=(const BackgroundServer&) = delete;
    std::uint16_t port() const;

  private:
    std::unique_ptr<HttpServer> http_;
};

struct BackgroundStart {
    std::unique_ptr<BackgroundServer> server;  // null on error
    std::string error;
};

// Binds host:port (port 0: any free one) and serves the sample listings on
// the process's local clock. Returns at once; the pages are rendered on a
// thread of their own.
BackgroundStart startSampleServer(const std::string& host, std::uint16_t port);

// Whether something accepts a TCP connection on host:port within timeout.
bool somethingAnswers(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(300));

}  // namespace epg
