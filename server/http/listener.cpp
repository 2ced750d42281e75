#include "server/http/listener.h"

#include <algorithm>
#include <vector>

namespace epg::net {

Listener::Listener(asio::io_context& context, ServerState& server)
    : context_(context),
      server_(server),
      control_(asio::make_strand(context)),
      acceptor_(control_),
      retry_(control_),
      sweeper_(control_) {}

std::string Listener::listen(const std::string& host, std::uint16_t port) {
    beast::error_code ec;
    auto address = asio::ip::make_address(host, ec);
    if (ec) {
        // A host name: resolve it, first address wins.
        tcp::resolver resolver(context_);
        auto results = resolver.resolve(host, std::to_string(port), ec);
        if (ec || results.empty()) return "cannot resolve " + host + ": " + ec.message();
        address = results.begin()->endpoint().address();
    }
    tcp::endpoint endpoint(address, port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        beast::error_code ignored;
        acceptor_.close(ignored);
        return "cannot listen on " + host + ':' + std::to_string(port) + ": " + ec.message();
    }
    return {};
}

std::uint16_t Listener::port() const {
    beast::error_code ec;
    auto ep = acceptor_.local_endpoint(ec);
    return ec ? 0 : ep.port();
}

bool Listener::listening() const {
    return acceptor_.is_open();
}

void Listener::start() {
    accept();
    sweep();
}

bool Listener::stop() {
    if (stopping_.exchange(true)) return false;
    asio::post(control_, [this] {
        beast::error_code ignored;
        acceptor_.close(ignored);
        sweeper_.cancel();
    });
    std::vector<std::shared_ptr<Session>> held;
    {
        std::lock_guard lock(server_.mutex);
        for (const auto& weak : server_.sessions)
            if (auto s = weak.lock()) held.push_back(std::move(s));
    }
    for (auto& s : held) s->close();
    return true;
}

void Listener::sweep() {
    const HttpLimits& limits = server_.limits;
    auto period = std::min({limits.idleTimeout, limits.headerTimeout, limits.writeTimeout}) / 4;
    period = std::clamp(period, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
    sweeper_.expires_after(period);
    sweeper_.async_wait([this](beast::error_code ec) {
        if (ec || stopping_) return;
        std::vector<std::shared_ptr<Session>> overdue;
        {
            std::lock_guard lock(server_.mutex);
            auto now = ticksNow();
            for (const auto& weak : server_.sessions)
                if (auto s = weak.lock(); s && s->overdue(now)) overdue.push_back(std::move(s));
        }
        for (auto& s : overdue) s->close();
        overdue.clear();  // before the next round: ~Session takes the lock
        sweep();
    });
}

void Listener::accept() {
    std::size_t next = nextCounters_++ % server_.threadCount;
    Strand connection = asio::make_strand(context_);  // the new connection's own
    acceptor_.async_accept(connection, [this, next](beast::error_code ec, Socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (!ec) {
            admit(std::move(socket), server_.counters[next]);
            return accept();
        }
        // Out of descriptors or the like: try again shortly instead of spinning.
        retry_.expires_after(std::chrono::milliseconds(50));
        retry_.async_wait([this](beast::error_code) {
            if (!stopping_) accept();
        });
    });
}

void Listener::admit(Socket socket, Counters& tally) {
    // Strong references taken under the lock are dropped after it: the last
    // one runs ~Session, which takes the lock itself.
    std::vector<std::shared_ptr<Session>> held;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(server_.mutex);
        auto& sessions = server_.sessions;
        const std::size_t maxConnections = server_.limits.maxConnections;
        if (sessions.size() >= maxConnections) {
            // Make room by closing the connection that ranks first (see
            // Session::evictionRank): a stalled writer before anyone else.
            Session* victim = nullptr;
            EvictionRank best{};
            auto stalled = server_.stalledBefore();
            std::size_t leaving = 0;  // already told to close: their room is as good as free
            for (const auto& weak : sessions) {
                auto s = weak.lock();
                if (!s) continue;
                held.push_back(s);
                if (s->closing()) ++leaving;
                auto rank = s->evictionRank(stalled);
                if (rank && (!victim || *rank < best)) {
                    victim = s.get();
                    best = *rank;
                }
            }
            if (sessions.size() - leaving < maxConnections) {
                victim = nullptr;  // room enough once those are gone
            } else if (!victim) {
                // Everyone is already closing: refuse this one plainly
                // instead of queueing it.
                socket.non_blocking(true);
                static const std::string kBusy =
                    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: "
                    "close\r\n\r\n";
                beast::error_code ignored;
                socket.write_some(asio::buffer(kBusy), ignored);
                socket.close(ignored);
                return;
            }
            if (victim) victim->close();
        }
        session = std::make_shared<Session>(std::move(socket), server_, tally);
        sessions.push_back(session);
        session->registerAt(std::prev(sessions.end()));
    }
    session->start();
}

}  // namespace epg::net
