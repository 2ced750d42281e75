#include "server/http/http_server.h"

#include <array>
#include <atomic>
#include <utility>  // before Asio, which uses std::exchange without it

#include <sys/ioctl.h>
#include <sys/resource.h>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "server/http/http_rules.h"

namespace epg {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;
// Every thread runs the one io_context, so whichever thread is on a CPU
// serves any connection that is ready. With a context per thread, a thread
// the kernel preempted held up all of its connections for a time slice: on a
// loaded 2-core machine the 99th percentile fell from 5.3 to 4.0 ms for 2-4 %
// of the throughput. A strand per connection keeps its handlers in order; a
// concrete executor type spares the type-erased one.
using Strand = asio::strand<asio::io_context::executor_type>;
using Socket = tcp::socket::rebind_executor<Strand>::other;
using Timer = asio::basic_waitable_timer<SteadyClock, asio::wait_traits<SteadyClock>, Strand>;

const char* reasonOf(int status) {
    switch (status) {
        case 200: return "OK";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 414: return "URI Too Long";
        case 431: return "Request Header Fields Too Large";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

// The Date header's value, formatted again only when the second changes.
class HttpDate {
  public:
    const std::string& now() {
        std::time_t t = std::time(nullptr);
        if (t != second_) {
            text_ = httpDate(t);  // strftime would follow the locale
            second_ = t;
        }
        return text_;
    }

  private:
    std::time_t second_ = -1;
    std::string text_;
};

// By hand rather than through Beast's serializer: a few appends, and the
// body goes out beside it in one gather write straight from the snapshot.
std::string responseHead(int status, const Reply& r, bool keepAlive, const std::string& date) {
    std::string h;
    h.reserve(256);
    h += "HTTP/1.1 ";
    h += std::to_string(status);
    h += ' ';
    h += reasonOf(status);
    h += "\r\nServer: tvguide-epgd\r\nDate: ";
    h += date;
    // A 304 carries the validators and caching fields of the page, no body.
    if (status != 304) {
        h += "\r\nContent-Type: ";
        h += r.contentType;
        h += "\r\nContent-Length: ";
        h += std::to_string(r.body->size());
    }
    h += r.headers;
    if (status == 405) h += "\r\nAllow: GET, HEAD";
    h += keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n";
    return h;
}

Reply plainReply(int status, const char* text) {
    return {status,
            std::make_shared<const std::string>(std::to_string(status) + ' ' + text + '\n'),
            kPlainType,
            {}};
}

enum class Phase { Waiting, Reading, Writing, Lingering, Closed };

}  // namespace

class Session;

// Connections are dealt round a few of these, each on a cache line of its
// own, so that threads seldom count on the same line; summed by stats().
struct alignas(64) Counters {
    std::atomic<std::uint64_t> requests{0};
    std::atomic<std::uint64_t> bytesRead{0};
};

struct HttpServer::Impl {
    Impl(std::shared_ptr<const Site> s, HttpLimits l)
        : site(std::move(s)),
          limits(l),
          threadCount(static_cast<std::size_t>(std::max(1, l.threads))),
          context(static_cast<int>(threadCount)),
          counters(std::make_unique<Counters[]>(threadCount)) {}

    std::shared_ptr<const Site> site;
    HttpLimits limits;
    std::mutex mutex;  // guards sessions
    std::list<std::weak_ptr<Session>> sessions;
    std::atomic<bool> stopping{false};
    std::size_t threadCount;
    // Declared after what sessions use, so it goes first: handlers still
    // queued hold the last references to their sessions.
    asio::io_context context;
    std::unique_ptr<Counters[]> counters;  // threadCount of them
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> guard{
        context.get_executor()};
    std::size_t nextCounters = 0;
    // The listener and the timers share a strand of their own: stop() closes
    // them from outside while an accept may be completing on another thread.
    Strand control{asio::make_strand(context)};
    asio::basic_socket_acceptor<tcp, Strand> acceptor{control};
    Timer retry{control};
    Timer sweeper{control};
    std::vector<std::thread> threads;

    void accept();
    void sweep();  // closes connections past their deadline
    void admit(Socket socket, Counters& tally);
    // A writer with answers unsent to a read from before then is stalled.
    SteadyClock::rep stalledBefore() const;
};

SteadyClock::rep ticksNow() {
    return SteadyClock::now().time_since_epoch().count();
}
SteadyClock::rep ticksOf(std::chrono::milliseconds d) {
    return std::chrono::duration_cast<SteadyClock::duration>(d).count();
}

SteadyClock::rep HttpServer::Impl::stalledBefore() const {
    return ticksNow() - ticksOf(limits.stallGrace);
}

// Where a connection stands when one must go to make room: lower goes first.
using EvictionRank = std::pair<int, SteadyClock::rep>;

// One connection. Reads go straight into a buffer that the HTTP parser is fed
// from, so a request costs one read; the deadline of whatever the connection
// waits for is a plain number that the server's sweeper checks, so no timer
// is set per read or write. Nothing is read while a response is being
// written: pipelined requests wait in the kernel, not here.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(Socket&& socket, HttpServer::Impl& server, Counters& counters)
        : socket_(std::move(socket)),
          server_(server),
          counters_(counters),
          // The idle time-out runs from now, not from when this connection's
          // thread gets round to it: under load that can be later than the
          // sweeper's next look.
          deadline_(ticksNow() + ticksOf(server_.limits.idleTimeout)) {}

    ~Session() {
        std::lock_guard lock(server_.mutex);
        server_.sessions.erase(where_);
    }

    void registerAt(std::list<std::weak_ptr<Session>>::iterator where) { where_ = where; }

    void start() {
        beast::error_code ignored;
        socket_.set_option(tcp::no_delay(true), ignored);
        // A small send buffer (the kernel's grows to megabytes) bounds what a
        // client that does not read holds in the kernel and makes its write
        // stall, and so show, after a few pages instead of hundreds.
        if (server_.limits.sendBufferBytes > 0)
            socket_.set_option(asio::socket_base::send_buffer_size(server_.limits.sendBufferBytes),
                               ignored);
        asio::dispatch(socket_.get_executor(),
                       [self = shared_from_this()] { self->waitForRequest(); });
    }

    // Ends the connection from any thread. Marked at once, so that neither
    // the sweeper nor the connection limit picks it a second time.
    void close() {
        if (closing_.exchange(true)) return;
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->end(true); });
    }

    // Whether the connection may be let go to make room, and before whom:
    // first writers whose answers have waited since before `stalledBefore`
    // for the client to take them, then connections that have waited as
    // long for a request of their own (or lingered after their last
    // response), then writers of fresh answers, and last those that came or
    // spoke within that grace; the longest waiting first within each. Under
    // a flood of clients that never read, every slot may hold a fresh writer
    // that will stall; the newcomer is then let in in place of the oldest of
    // them rather than refused, and it is the newest, so the last to go.
    std::optional<EvictionRank> evictionRank(SteadyClock::rep stalledBefore) const {
        if (closing_.load()) return std::nullopt;
        auto since = since_.load();
        bool old = since < stalledBefore;
        switch (phase_.load()) {
            case Phase::Writing: return EvictionRank{old ? 0 : 2, since};
            case Phase::Closed: return std::nullopt;
            default: return EvictionRank{old ? 1 : 3, since};
        }
    }
    bool stalled(SteadyClock::rep stalledBefore) const {
        auto rank = evictionRank(stalledBefore);
        return rank && rank->first == 0;
    }
    bool closing() const { return closing_.load() || phase_.load() == Phase::Closed; }
    bool overdue(SteadyClock::rep now) const {
        return !closing_.load() && phase_.load() != Phase::Closed && deadline_.load() < now;
    }

  private:
    void setPhase(Phase p, std::chrono::milliseconds allowed) {
        auto now = ticksNow();
        phase_ = p;
        since_ = now;
        deadline_ = now + ticksOf(allowed);
    }

    void waitForRequest() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.limits.maxHeaderBytes));
        if (buffer_.size() > 0) {  // a pipelined request is already here
            setPhase(Phase::Reading, server_.limits.headerTimeout);
            return parse();
        }
        setPhase(Phase::Waiting, server_.limits.idleTimeout);
        read();
    }

    void read() {
        socket_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](
                                                           beast::error_code ec, std::size_t n) {
            if (ec || self->phase_ == Phase::Closed) return self->end();
            self->buffer_.commit(n);
            self->readAt_ = ticksNow();
            self->counters_.bytesRead.fetch_add(n, std::memory_order_relaxed);
            // The header time-out runs from the first byte of a request.
            if (self->phase_ == Phase::Waiting)
                self->setPhase(Phase::Reading, self->server_.limits.headerTimeout);
            self->parse();
        });
    }

    void parse() {
        beast::error_code ec;
        while (buffer_.size() > 0 && !parser_->is_header_done()) {
            std::size_t used = parser_->put(buffer_.data(), ec);
            buffer_.consume(used);
            if (ec || used == 0) break;
        }
        if (ec == http::error::need_more) ec = {};
        if (ec == http::error::header_limit)
            return respond(plainReply(431, "request header too large"), false, false);
        if (ec) return respond(plainReply(400, "bad request"), false, false);
        if (!parser_->is_header_done()) {
            // Beast checks the limit only on a complete header; a header that
            // never ends is cut here.
            if (buffer_.size() > server_.limits.maxHeaderBytes)
                return respond(plainReply(431, "request header too large"), false, false);
            return read();
        }
        onHeader();
    }

    void onHeader() {
        const auto& req = parser_->get();
        if (parser_->chunked() || parser_->content_length().value_or(0) > 0)
            return respond(plainReply(400, "a request body is not expected"), false, false);
        if (req.target().size() > server_.limits.maxTargetBytes)
            return respond(plainReply(414, "request target too long"), false, false);
        std::string_view method(req.method_string().data(), req.method_string().size());
        std::string_view target(req.target().data(), req.target().size());
        auto field = [&req](http::field f) {
            auto v = req[f];
            return std::string_view(v.data(), v.size());
        };
        Reply reply =
            handleRequest(*server_.site, {method, target, field(http::field::accept_encoding),
                                          field(http::field::if_none_match),
                                          field(http::field::if_modified_since)});
        bool keepAlive = req.keep_alive() && reply.status != 400 && reply.status != 405;
        bool headOnly = method == "HEAD" || reply.status == 304;
        respond(std::move(reply), keepAlive, headOnly);
    }

    void respond(Reply reply, bool keepAlive, bool headOnly) {
        // Both the deadline and the standing at the connection limit run
        // from the read that brought the request in, not from now: requests
        // pipelined in one read share them, so a client cannot renew either
        // with every answer it leaves unread, nor by reading a trickle.
        phase_ = Phase::Writing;
        since_ = readAt_;
        deadline_ = readAt_ + ticksOf(server_.limits.writeTimeout);
        head_ = responseHead(reply.status, reply, keepAlive, date_.now());
        body_ = std::move(reply.body);
        std::array<asio::const_buffer, 2> buffers{
            asio::buffer(head_), headOnly ? asio::const_buffer() : asio::buffer(*body_)};
        asio::async_write(
            socket_, buffers,
            [self = shared_from_this(), keepAlive](beast::error_code ec, std::size_t) {
                if (ec || self->phase_ == Phase::Closed) return self->end();
                self->counters_.requests.fetch_add(1, std::memory_order_relaxed);
                if (keepAlive) return self->waitForRequest();
                self->linger();
            });
    }

    // After the last response: stop sending, then read and drop what the
    // client still sends for a moment, so closing with unread data does not
    // reset the connection before the client has read the response.
    void linger() {
        setPhase(Phase::Lingering, std::chrono::milliseconds(2000));
        beast::error_code ec;
        socket_.shutdown(tcp::socket::shutdown_send, ec);
        buffer_.clear();
        drained_ = 0;
        drain();
    }

    void drain() {
        socket_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](
                                                           beast::error_code ec, std::size_t n) {
            self->drained_ += n;
            self->buffer_.clear();
            if (ec || self->phase_ == Phase::Closed || self->drained_ > 64 * 1024)
                return self->end();
            self->drain();
        });
    }

    // `forced`: closed by a deadline or to make room. Answers still in the
    // kernel then are dropped with a reset: closed gracefully, the kernel
    // would keep them and retry a client that does not read for minutes.
    void end(bool forced = false) {
        if (phase_.exchange(Phase::Closed) == Phase::Closed && !socket_.is_open()) return;
        beast::error_code ec;
        int unsent = 0;
        if (forced && ::ioctl(socket_.native_handle(), TIOCOUTQ, &unsent) == 0 && unsent > 0)
            socket_.set_option(asio::socket_base::linger(true, 0), ec);
        else
            socket_.shutdown(tcp::socket::shutdown_both, ec);
        socket_.close(ec);
    }

    Socket socket_;
    HttpServer::Impl& server_;
    Counters& counters_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    std::string head_;
    HttpDate date_;
    std::shared_ptr<const std::string> body_;
    SteadyClock::rep readAt_ = ticksNow();  // the last read
    std::size_t drained_ = 0;
    std::list<std::weak_ptr<Session>>::iterator where_;
    std::atomic<Phase> phase_{Phase::Waiting};
    std::atomic<bool> closing_{false};
    std::atomic<SteadyClock::rep> since_{ticksNow()};
    std::atomic<SteadyClock::rep> deadline_;
};

void HttpServer::Impl::sweep() {
    auto period = std::min({limits.idleTimeout, limits.headerTimeout, limits.writeTimeout}) / 4;
    period = std::clamp(period, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
    sweeper.expires_after(period);
    sweeper.async_wait([this](beast::error_code ec) {
        if (ec || stopping) return;
        std::vector<std::shared_ptr<Session>> overdue;
        {
            std::lock_guard lock(mutex);
            auto now = ticksNow();
            for (const auto& weak : sessions)
                if (auto s = weak.lock(); s && s->overdue(now)) overdue.push_back(std::move(s));
        }
        for (auto& s : overdue) s->close();
        overdue.clear();  // before the next round: ~Session takes the lock
        sweep();
    });
}

void HttpServer::Impl::accept() {
    std::size_t next = nextCounters++ % threadCount;
    Strand connection = asio::make_strand(context);  // the new connection's own
    acceptor.async_accept(connection, [this, next](beast::error_code ec, Socket socket) {
        if (stopping || ec == asio::error::operation_aborted) return;
        if (!ec) {
            admit(std::move(socket), counters[next]);
            return accept();
        }
        // Out of descriptors or the like: try again shortly instead of spinning.
        retry.expires_after(std::chrono::milliseconds(50));
        retry.async_wait([this](beast::error_code) {
            if (!stopping) accept();
        });
    });
}

void HttpServer::Impl::admit(Socket socket, Counters& tally) {
    // Strong references taken under the lock are dropped after it: the last
    // one runs ~Session, which takes the lock itself.
    std::vector<std::shared_ptr<Session>> held;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(mutex);
        if (sessions.size() >= limits.maxConnections) {
            // Make room by closing the connection that ranks first (see
            // Session::evictionRank): a stalled writer before anyone else.
            Session* victim = nullptr;
            EvictionRank best{};
            auto stalled = stalledBefore();
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
            if (sessions.size() - leaving < limits.maxConnections) {
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
        session = std::make_shared<Session>(std::move(socket), *this, tally);
        sessions.push_back(session);
        session->registerAt(std::prev(sessions.end()));
    }
    session->start();
}

HttpServer::HttpServer(std::shared_ptr<const Site> site, HttpLimits limits)
    : impl_(std::make_unique<Impl>(std::move(site), limits)) {}

HttpServer::~HttpServer() {
    stop();
}

std::string HttpServer::listen(const std::string& host, std::uint16_t port) {
    beast::error_code ec;
    auto address = asio::ip::make_address(host, ec);
    if (ec) {
        // A host name: resolve it, first address wins.
        tcp::resolver resolver(impl_->context);
        auto results = resolver.resolve(host, std::to_string(port), ec);
        if (ec || results.empty()) return "cannot resolve " + host + ": " + ec.message();
        address = results.begin()->endpoint().address();
    }
    tcp::endpoint endpoint(address, port);
    auto& a = impl_->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec) a.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) a.bind(endpoint, ec);
    if (!ec) a.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        beast::error_code ignored;
        a.close(ignored);
        return "cannot listen on " + host + ':' + std::to_string(port) + ": " + ec.message();
    }
    return {};
}

std::uint16_t HttpServer::port() const {
    beast::error_code ec;
    auto ep = impl_->acceptor.local_endpoint(ec);
    return ec ? 0 : ep.port();
}

void HttpServer::start() {
    if (!impl_->threads.empty() || !impl_->acceptor.is_open()) return;
    // The connection limit must bite before the descriptor limit does, or a
    // flood would stop accept() and no idle connection would be let go.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
        files.rlim_cur > 64)
        impl_->limits.maxConnections =
            std::min<std::size_t>(impl_->limits.maxConnections, files.rlim_cur - 48);
    impl_->accept();
    impl_->sweep();
    for (std::size_t i = 0; i < impl_->threadCount; ++i)
        impl_->threads.emplace_back([this] { impl_->context.run(); });
}

void HttpServer::stop() {
    if (impl_->stopping.exchange(true)) return;
    asio::post(impl_->control, [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->sweeper.cancel();
    });
    std::vector<std::shared_ptr<Session>> held;
    {
        std::lock_guard lock(impl_->mutex);
        for (const auto& weak : impl_->sessions)
            if (auto s = weak.lock()) held.push_back(std::move(s));
    }
    for (auto& s : held) s->close();
    impl_->guard.reset();
    impl_->context.stop();
    for (auto& t : impl_->threads) t.join();
    impl_->threads.clear();
}

std::size_t HttpServer::connectionCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sessions.size();
}

HttpStats HttpServer::stats() const {
    HttpStats out;
    for (std::size_t i = 0; i < impl_->threadCount; ++i) {
        out.requests += impl_->counters[i].requests.load(std::memory_order_relaxed);
        out.bytesRead += impl_->counters[i].bytesRead.load(std::memory_order_relaxed);
    }
    std::vector<std::shared_ptr<Session>> held;  // dropped after the lock: ~Session takes it
    std::lock_guard lock(impl_->mutex);
    out.connections = impl_->sessions.size();
    auto stalled = impl_->stalledBefore();
    for (const auto& weak : impl_->sessions)
        if (auto s = weak.lock()) {
            if (s->stalled(stalled)) ++out.stalled;
            held.push_back(std::move(s));
        }
    return out;
}

}  // namespace epg
