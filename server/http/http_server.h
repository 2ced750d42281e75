// The HTTP side of the EPG server: Boost.Beast over Asio, a fixed small pool
// of threads, every request answered by handleRequest() of site/site.h. A
// listener takes connections in (listener.h), a session per connection reads
// requests and writes the answers (session.h).
//
// Defences against clients that misbehave:
//  - the request line and headers together are bounded (431 and close);
//  - a connection that sends nothing is closed after the idle time-out, and a
//    request must be complete within the header time-out of its first byte;
//  - a response must move: the client must take some of it within the write
//    time-out of the read that brought its request in, and again within the
//    time-out of the last bytes it took. A slow client that keeps taking gets
//    the whole of the biggest answer; one that takes nothing is closed within
//    seconds however many requests it queued, and nothing is read from a
//    connection while its answer is unsent (what one read took in is all it
//    can have pending);
//  - the kernel's send buffer per connection is kept small, so a client that
//    does not read ties up little memory before its writes stall; a few
//    clients that take a big answer as it comes get a bigger one;
//  - at the connection limit a new client is let in by closing the writer
//    whose answers have waited longest for its client, else the connection
//    waiting longest for a request, so non-readers, idle or slow clients
//    cannot lock others out.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/site/site.h"

namespace epg {

struct HttpLimits {
    int threads = 2;
    std::size_t maxHeaderBytes = 8 * 1024;  // request line and all headers
    std::size_t maxTargetBytes = 2 * 1024;
    std::size_t maxConnections = 1024;
    std::chrono::milliseconds idleTimeout{15'000};    // waiting for a request
    std::chrono::milliseconds headerTimeout{10'000};  // first byte to end of headers
    // A response must move within this of the read that brought its request
    // in, and then within this of the last bytes the client took.
    std::chrono::milliseconds writeTimeout{10'000};
    // A writer whose answers are still unwritten this long after the read
    // that asked for them counts as stalled (its client does not take them)
    // and is the first to go at the connection limit.
    std::chrono::milliseconds stallGrace{100};
    int sendBufferBytes = 32 * 1024;  // SO_SNDBUF of each connection; 0: the kernel's
    // SO_SNDBUF while a body of more than four times sendBufferBytes is
    // written to a client that has taken a first buffer of it, for at most
    // bulkWriters connections at once. With the small buffer, the kernel
    // waited out a delayed acknowledgement every buffer or two: 9 MB took
    // 4-5 s on loopback.
    int bulkSendBufferBytes = 256 * 1024;
    int bulkWriters = 32;
};

struct HttpStats {
    std::uint64_t requests = 0;                   // answered in full (handed to the kernel)
    std::vector<std::uint64_t> requestsByThread;  // the same, by the thread that answered
    std::uint64_t bytesRead = 0;                  // taken from clients' sockets
    std::size_t connections = 0;
    std::vector<std::size_t> connectionsByThread;  // homed on each thread
    // Connections homed away from the thread of their CPU, which held too
    // many (see Listener).
    std::uint64_t rehomed = 0;
    std::size_t stalled = 0;  // writers behind by HttpLimits::stallGrace or more
    int bulkWriters = 0;      // connections with the bigger send buffer now
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
    HttpStats stats() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace epg
