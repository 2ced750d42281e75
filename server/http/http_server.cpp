#include "server/http/http_server.h"

#include <sys/resource.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "server/http/listener.h"
#include "server/http/session.h"

namespace epg {

// The order of the members is the order of their end, backwards: the
// listener's acceptor and timers go while the contexts still run their
// services, and the contexts go before the server state, since handlers
// still queued hold the last references to their sessions.
struct HttpServer::Impl {
    Impl(std::shared_ptr<const Site> site, HttpLimits limits)
        : server(std::move(site), limits),
          contexts(makeContexts(server.threadCount)),
          listener(contexts, server) {
        for (auto& c : contexts) guards.emplace_back(c->get_executor());
    }

    // One per thread, each run by that thread alone.
    static net::Contexts makeContexts(std::size_t n) {
        net::Contexts out;
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(std::make_unique<net::asio::io_context>(1));
        return out;
    }

    net::ServerState server;
    net::Contexts contexts;
    std::vector<net::asio::executor_work_guard<net::Executor>> guards;
    net::Listener listener;
    std::vector<std::thread> threads;
};

HttpServer::HttpServer(std::shared_ptr<const Site> site, HttpLimits limits)
    : impl_(std::make_unique<Impl>(std::move(site), limits)) {}

HttpServer::~HttpServer() {
    stop();
}

std::string HttpServer::listen(const std::string& host, std::uint16_t port) {
    return impl_->listener.listen(host, port);
}

std::uint16_t HttpServer::port() const {
    return impl_->listener.port();
}

void HttpServer::start() {
    if (!impl_->threads.empty() || !impl_->listener.listening()) return;
    // The connection limit must bite before the descriptor limit does, or a
    // flood would stop accept() and no idle connection would be let go.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
        files.rlim_cur > 64)
        impl_->server.limits.maxConnections =
            std::min<std::size_t>(impl_->server.limits.maxConnections, files.rlim_cur - 48);
    impl_->listener.start();
    for (auto& c : impl_->contexts)
        impl_->threads.emplace_back([context = c.get()] { context->run(); });
}

void HttpServer::stop() {
    if (!impl_->listener.stop()) return;
    impl_->guards.clear();
    for (auto& c : impl_->contexts) c->stop();
    for (auto& t : impl_->threads) t.join();
    impl_->threads.clear();
}

std::size_t HttpServer::connectionCount() const {
    std::lock_guard lock(impl_->server.mutex);
    return impl_->server.sessions.size();
}

HttpStats HttpServer::stats() const {
    const net::ServerState& server = impl_->server;
    HttpStats out;
    for (std::size_t i = 0; i < server.threadCount; ++i) {
        out.requestsByThread.push_back(server.counters[i].requests.load(std::memory_order_relaxed));
        out.requests += out.requestsByThread.back();
        out.bytesRead += server.counters[i].bytesRead.load(std::memory_order_relaxed);
        out.connectionsByThread.push_back(
            server.counters[i].connections.load(std::memory_order_relaxed));
    }
    out.bulkWriters = server.bulkWriters.load(std::memory_order_relaxed);
    out.rehomed = server.rehomed.load(std::memory_order_relaxed);
    std::vector<std::shared_ptr<net::Session>> held;  // dropped after the lock: ~Session takes it
    std::lock_guard lock(server.mutex);
    out.connections = server.sessions.size();
    auto stalled = server.stalledBefore();
    for (const auto& weak : server.sessions)
        if (auto s = weak.lock()) {
            if (s->stalled(stalled)) ++out.stalled;
            held.push_back(std::move(s));
        }
    return out;
}

}  // namespace epg
