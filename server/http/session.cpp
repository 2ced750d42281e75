#include "server/http/session.h"

#include <sys/ioctl.h>
#include <array>

#include "server/http/request_head.h"
#include "server/util/http_rules.h"

namespace epg::net {
namespace {

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

}  // namespace

ServerState::ServerState(std::shared_ptr<const Site> s, HttpLimits l)
    : site(std::move(s)),
      limits(l),
      threadCount(static_cast<std::size_t>(std::max(1, l.threads))),
      counters(std::make_unique<Counters[]>(threadCount)) {}

SteadyClock::rep ServerState::stalledBefore() const {
    return ticksNow() - ticksOf(limits.stallGrace);
}

bool ServerState::takeBulkPlace() {
    int n = bulkWriters.load(std::memory_order_relaxed);
    while (n < limits.bulkWriters)
        if (bulkWriters.compare_exchange_weak(n, n + 1, std::memory_order_relaxed)) return true;
    return false;
}

void ServerState::leaveBulkPlace() {
    bulkWriters.fetch_sub(1, std::memory_order_relaxed);
}

const std::string& HttpDate::now() {
    std::time_t t = std::time(nullptr);
    if (t != second_) {
        text_ = httpDate(t);  // strftime would follow the locale
        second_ = t;
    }
    return text_;
}

Session::Session(Socket&& socket, ServerState& server, Counters& counters)
    : socket_(std::move(socket)),
      server_(server),
      counters_(counters),
      // The idle time-out runs from now, not from when this connection's
      // thread gets round to it: under load that can be later than the
      // sweeper's next look.
      deadline_(ticksNow() + ticksOf(server_.limits.idleTimeout)) {
    counters_.connections.fetch_add(1, std::memory_order_relaxed);
}

Session::~Session() {
    counters_.connections.fetch_sub(1, std::memory_order_relaxed);
    if (bulk_) server_.leaveBulkPlace();
    std::lock_guard lock(server_.mutex);
    server_.sessions.erase(where_);
}

void Session::start() {
    beast::error_code ignored;
    socket_.set_option(tcp::no_delay(true), ignored);
    // A small send buffer (the kernel's grows to megabytes) bounds what a
    // client that does not read holds in the kernel and makes its write
    // stall, and so show, after a few pages instead of hundreds.
    if (server_.limits.sendBufferBytes > 0)
        socket_.set_option(asio::socket_base::send_buffer_size(server_.limits.sendBufferBytes),
                           ignored);
    asio::dispatch(socket_.get_executor(), [self = shared_from_this()] { self->waitForRequest(); });
}

void Session::close() {
    if (closing_.exchange(true)) return;
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->end(true); });
}

std::optional<EvictionRank> Session::evictionRank(SteadyClock::rep stalledBefore) const {
    if (closing_.load()) return std::nullopt;
    auto since = since_.load();
    bool old = since < stalledBefore;
    switch (phase_.load()) {
        case Phase::Writing: return EvictionRank{old ? 0 : 2, since};
        case Phase::Closed: return std::nullopt;
        default: return EvictionRank{old ? 1 : 3, since};
    }
}

bool Session::stalled(SteadyClock::rep stalledBefore) const {
    auto rank = evictionRank(stalledBefore);
    return rank && rank->first == 0;
}

bool Session::closing() const {
    return closing_.load() || phase_.load() == Phase::Closed;
}

bool Session::overdue(SteadyClock::rep now) const {
    return !closing_.load() && phase_.load() != Phase::Closed && deadline_.load() < now;
}

void Session::setPhase(Phase p, std::chrono::milliseconds allowed) {
    auto now = ticksNow();
    phase_ = p;
    since_ = now;
    deadline_ = now + ticksOf(allowed);
}

void Session::waitForRequest() {
    parser_.emplace();
    headerBytes_ = 0;
    parser_->header_limit(static_cast<std::uint32_t>(server_.limits.maxHeaderBytes));
    if (buffer_.size() > 0) {  // a pipelined request is already here
        setPhase(Phase::Reading, server_.limits.headerTimeout);
        return parse();
    }
    setPhase(Phase::Waiting, server_.limits.idleTimeout);
    read();
}

void Session::read() {
    socket_.async_read_some(
        buffer_.prepare(4096), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
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

void Session::parse() {
    beast::error_code ec;
    while (buffer_.size() > 0 && !parser_->is_header_done()) {
        std::size_t used = parser_->put(buffer_.data(), ec);
        buffer_.consume(used);
        headerBytes_ += used;
        if (ec || used == 0) break;
    }
    if (ec == http::error::need_more) ec = {};
    if (ec == http::error::header_limit)
        return respond(plainReply(431, "request header too large"), false, false);
    if (ec) return respond(plainReply(400, "bad request"), false, false);
    if (!parser_->is_header_done()) {
        // Beast checks the limit only on a complete header; a header that
        // never ends is cut here.
        if (headerBytes_ + buffer_.size() > server_.limits.maxHeaderBytes)
            return respond(plainReply(431, "request header too large"), false, false);
        return read();
    }
    onHeader();
}

// The request is handed to handleRequest(), which knows nothing of sockets;
// what is decided here is only what HTTP itself asks of the connection.
void Session::onHeader() {
    const auto& limits = server_.limits;
    if (auto no = refusalOf(*parser_, headerBytes_, limits.maxHeaderBytes, limits.maxTargetBytes))
        return respond(plainReply(no->status, no->why), false, false);
    Request request = requestOf(*parser_, joined_);
    Reply reply = handleRequest(*server_.site, request);
    bool keepAlive = parser_->get().keep_alive() && reply.status != 400 && reply.status != 405;
    bool headOnly = request.method == "HEAD" || reply.status == 304;
    respond(std::move(reply), keepAlive, headOnly);
}

void Session::respond(Reply reply, bool keepAlive, bool headOnly) {
    // Both the deadline and the standing at the connection limit run from
    // the read that brought the request in, or from the last bytes the
    // client took if later, not from now: a client cannot renew either with
    // every answer it leaves unread, only by taking its answers.
    const auto from = std::max(readAt_, movedAt_);
    phase_ = Phase::Writing;
    since_ = from;
    deadline_ = from + ticksOf(server_.limits.writeTimeout);
    head_ = responseHead(reply.status, reply, keepAlive, date_.now());
    body_ = std::move(reply.body);
    std::array<asio::const_buffer, 2> buffers{
        asio::buffer(head_), headOnly ? asio::const_buffer() : asio::buffer(*body_)};
    const std::size_t total = asio::buffer_size(buffers);
    // Asked after each piece the kernel took, and how much may go next: all
    // that is left (asio's default stops at 64 KiB a call). The write's own
    // handler keeps the session alive as long as this.
    auto progress = [this, total](const beast::error_code& ec, std::size_t sent) -> std::size_t {
        if (ec || sent == total) return 0;
        if (sent > 0) moved(sent, total);
        return total - sent;
    };
    asio::async_write(socket_, buffers, std::move(progress),
                      [self = shared_from_this(), keepAlive](beast::error_code ec, std::size_t) {
                          if (self->bulk_) self->sendBuffer(false);
                          if (ec || self->phase_ == Phase::Closed) return self->end();
                          // The last of it went too: the next answer's deadline
                          // runs from here, whether or not it had to wait for room.
                          self->movedAt_ = ticksNow();
                          self->counters_.requests.fetch_add(1, std::memory_order_relaxed);
                          if (keepAlive) return self->waitForRequest();
                          self->linger();
                      });
}

// Part of an answer went; the rest has a new deadline. Called only while an
// answer is unfinished, so a small one costs nothing here.
void Session::moved(std::size_t sent, std::size_t total) {
    const auto now = ticksNow();
    movedAt_ = now;
    since_ = now;
    deadline_ = now + ticksOf(server_.limits.writeTimeout);
    // A big body to a client that has taken more than the first buffer: it
    // reads, so a bigger buffer serves it rather than holding memory for
    // one that never will.
    const auto small = static_cast<std::size_t>(std::max(server_.limits.sendBufferBytes, 0));
    if (!bulk_ && small > 0 && total > 4 * small && sent > 2 * small && server_.takeBulkPlace()) {
        bulk_ = true;
        sendBuffer(true);
    }
}

void Session::sendBuffer(bool bulk) {
    beast::error_code ignored;
    const auto& limits = server_.limits;
    socket_.set_option(asio::socket_base::send_buffer_size(bulk ? limits.bulkSendBufferBytes
                                                                : limits.sendBufferBytes),
                       ignored);
    if (!bulk && bulk_) {
        bulk_ = false;
        server_.leaveBulkPlace();
    }
}

// After the last response: stop sending, then read and drop what the
// client still sends for a moment, so closing with unread data does not
// reset the connection before the client has read the response.
void Session::linger() {
    setPhase(Phase::Lingering, std::chrono::milliseconds(2000));
    beast::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
    buffer_.clear();
    drained_ = 0;
    drain();
}

void Session::drain() {
    socket_.async_read_some(
        buffer_.prepare(4096), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
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
void Session::end(bool forced) {
    if (phase_.exchange(Phase::Closed) == Phase::Closed && !socket_.is_open()) return;
    beast::error_code ec;
    int unsent = 0;
    if (forced && ::ioctl(socket_.native_handle(), TIOCOUTQ, &unsent) == 0 && unsent > 0)
        socket_.set_option(asio::socket_base::linger(true, 0), ec);
    else
        socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
}

}  // namespace epg::net
