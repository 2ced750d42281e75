#include "server/http/listener.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace epg::net {

Listener::Listener(const Contexts& contexts, ServerState& server)
    : contexts_(contexts),
      server_(server),
      cpus_(static_cast<std::size_t>(std::max(1L, ::sysconf(_SC_NPROCESSORS_CONF)))),
      acceptor_(contexts_.front()->get_executor()),
      retry_(acceptor_.get_executor()),
      sweeper_(acceptor_.get_executor()) {}

std::string Listener::listen(const std::string& host, std::uint16_t port) {
    beast::error_code ec;
    auto address = asio::ip::make_address(host, ec);
    if (ec) {
        // A host name: resolve it, first address wins.
        tcp::resolver resolver(*contexts_.front());
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
    asio::post(acceptor_.get_executor(), [this] {
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
    acceptor_.async_accept([this](beast::error_code ec, Socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (!ec) {
            admit(std::move(socket));
            return accept();
        }
        // Out of descriptors or the like: try again shortly instead of spinning.
        retry_.expires_after(std::chrono::milliseconds(50));
        retry_.async_wait([this](beast::error_code) {
            if (!stopping_) accept();
        });
    });
}

std::size_t chooseHome(std::span<const std::size_t> loads, std::optional<std::size_t> incomingCpu,
                       std::size_t turn) {
    const std::size_t n = loads.size();
    if (n <= 1) return 0;
    const std::size_t preferred = (incomingCpu ? *incomingCpu : turn) % n;
    const std::size_t least =
        static_cast<std::size_t>(std::min_element(loads.begin(), loads.end()) - loads.begin());
    const std::size_t all = std::accumulate(loads.begin(), loads.end(), std::size_t{0});
    const std::size_t margin = std::max<std::size_t>(16, all / n / 4);
    return loads[preferred] > loads[least] + margin ? least : preferred;
}

std::size_t Listener::homeOf(Socket& socket) {
    const std::size_t threads = contexts_.size();
    if (threads == 1) return 0;
    std::optional<std::size_t> incoming;
    int cpu = -1;
    socklen_t size = sizeof cpu;
    if (threads <= cpus_ &&
        ::getsockopt(socket.native_handle(), SOL_SOCKET, SO_INCOMING_CPU, &cpu, &size) == 0 &&
        cpu >= 0)
        incoming = static_cast<std::size_t>(cpu);
    loads_.resize(threads);
    for (std::size_t i = 0; i < threads; ++i)
        loads_[i] = server_.counters[i].connections.load(std::memory_order_relaxed);
    const std::size_t home = chooseHome(loads_, incoming, incoming ? 0 : nextHome_++);
    if (incoming && home != *incoming % threads)
        server_.rehomed.fetch_add(1, std::memory_order_relaxed);
    return home;
}

void Listener::admit(Socket socket) {
    // Accepted on the first thread; moved to its home's context, whose
    // reactor then watches it.
    std::size_t home = homeOf(socket);
    if (home != 0) {
        beast::error_code ec;
        auto protocol = socket.local_endpoint(ec).protocol();
        if (ec) return;  // already reset by the client: nothing to serve
        Socket moved(contexts_[home]->get_executor());
        auto fd = socket.release(ec);
        if (ec) return;  // still the socket's, and closed with it
        moved.assign(protocol, fd, ec);
        if (ec) {
            ::close(fd);
            return;
        }
        socket = std::move(moved);
    }
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
        session = std::make_shared<Session>(std::move(socket), server_, server_.counters[home]);
        sessions.push_back(session);
        session->registerAt(std::prev(sessions.end()));
    }
    session->start();
}

}  // namespace epg::net
