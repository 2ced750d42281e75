// One client connection of the HTTP side, and what all connections of one
// server share. Only the networking in server/http/ sees this; the rest of the
// server knows http_server.h.
#pragma once

#include <utility>  // before Asio, which uses std::exchange without it

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/http/http_server.h"
#include "server/http/request_head.h"
#include "server/site/site.h"

namespace epg::net {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;
// Each thread runs an io_context of its own and serves the connections the
// listener homed there (see Listener), so a connection's handlers never run
// side by side and need no strand. A concrete executor type spares the
// type-erased one.
using Executor = asio::io_context::executor_type;
using Socket = tcp::socket::rebind_executor<Executor>::other;
using Contexts = std::vector<std::unique_ptr<asio::io_context>>;  // one per thread

// Instants as steady-clock ticks, so that what a session waits for and since
// when are plain atomic numbers that the listener reads from its own thread.
inline SteadyClock::rep ticksNow() {
    return SteadyClock::now().time_since_epoch().count();
}
inline SteadyClock::rep ticksOf(std::chrono::milliseconds d) {
    return std::chrono::duration_cast<SteadyClock::duration>(d).count();
}

// One of these per thread, each on a cache line of its own, so that threads
// do not count on the same line; summed by stats().
struct alignas(64) Counters {
    std::atomic<std::uint64_t> requests{0};
    std::atomic<std::uint64_t> bytesRead{0};
    std::atomic<std::size_t> connections{0};  // homed on the thread now
};

// Where a connection stands when one must go to make room: lower goes first.
using EvictionRank = std::pair<int, SteadyClock::rep>;

class Session;

// What the sessions of one server share: the site they answer from, the
// limits, the tallies and the list of open sessions (for the sweeper, the
// connection limit, stats() and stop()). It must outlive the io_context:
// handlers still queued when the context goes hold the last references to
// their sessions, and a session leaves the list in its destructor.
struct ServerState {
    ServerState(std::shared_ptr<const Site> s, HttpLimits l);

    std::shared_ptr<const Site> site;
    HttpLimits limits;  // settled before the threads start
    std::size_t threadCount;
    std::unique_ptr<Counters[]> counters;  // threadCount of them
    mutable std::mutex mutex;              // guards sessions
    std::list<std::weak_ptr<Session>> sessions;
    std::atomic<int> bulkWriters{0};        // sessions with the bigger send buffer
    std::atomic<std::uint64_t> rehomed{0};  // see HttpStats

    // One of the HttpLimits::bulkWriters places, if one is free.
    bool takeBulkPlace();
    void leaveBulkPlace();

    // A writer with answers unsent to a read from before then is stalled.
    SteadyClock::rep stalledBefore() const;
};

// The Date header's value, formatted again only when the second changes.
class HttpDate {
  public:
    const std::string& now();

  private:
    std::time_t second_ = -1;
    std::string text_;
};

// One connection. Reads go straight into a buffer that the HTTP parser is fed
// from, so a request costs one read. Nothing is read while a response is being
// written: pipelined requests wait in the kernel, not here.
//
// The session owns its deadline: each phase (waiting for a request, reading
// one, writing the answers, lingering) sets how long it may last. The
// deadline is a plain number, not a timer, so no timer is set per read or
// write; the listener's sweeper closes a session once its deadline is past.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(Socket&& socket, ServerState& server, Counters& counters);
    ~Session();  // leaves the server's list
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void registerAt(std::list<std::weak_ptr<Session>>::iterator where) { where_ = where; }
    // Sets the socket up and waits for the first request, on its thread.
    void start();
    // Ends the connection from any thread. Marked at once, so that neither
    // the sweeper nor the connection limit picks it a second time.
    void close();

    // Whether the connection may be let go to make room, and before whom:
    // first writers whose answers have waited since before `stalledBefore`
    // for the client to take them, then connections that have waited as
    // long for a request of their own (or lingered after their last
    // response), then writers of fresh answers, and last those that came or
    // spoke within that grace; the longest waiting first within each. Under
    // a flood of clients that never read, every slot may hold a fresh writer
    // that will stall; the newcomer is then let in in place of the oldest of
    // them rather than refused, and it is the newest, so the last to go.
    std::optional<EvictionRank> evictionRank(SteadyClock::rep stalledBefore) const;
    bool stalled(SteadyClock::rep stalledBefore) const;
    bool closing() const;
    // Past its deadline and not yet told to close.
    bool overdue(SteadyClock::rep now) const;

  private:
    enum class Phase { Waiting, Reading, Writing, Lingering, Closed };

    void setPhase(Phase p, std::chrono::milliseconds allowed);
    void waitForRequest();
    void read();
    void parse();
    void onHeader();
    void respond(Reply reply, bool keepAlive, bool headOnly);
    void moved(std::size_t sent, std::size_t total);  // the client took some of an answer
    void sendBuffer(bool bulk);
    void linger();
    void drain();
    void end(bool forced = false);

    Socket socket_;
    ServerState& server_;
    Counters& counters_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    std::size_t headerBytes_ = 0;  // of the request being read
    JoinedFields joined_;
    std::string head_;
    HttpDate date_;
    std::shared_ptr<const std::string> body_;
    SteadyClock::rep readAt_ = ticksNow();  // the last read
    SteadyClock::rep movedAt_ = 0;          // the last time the client took bytes
    bool bulk_ = false;                     // holds a bulk place, with the bigger buffer
    std::size_t drained_ = 0;
    std::list<std::weak_ptr<Session>>::iterator where_;
    std::atomic<Phase> phase_{Phase::Waiting};
    std::atomic<bool> closing_{false};
    std::atomic<SteadyClock::rep> since_{ticksNow()};
    std::atomic<SteadyClock::rep> deadline_;
};

}  // namespace epg::net
