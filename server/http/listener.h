// Takes connections in, and keeps their number and their deadlines.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "server/http/session.h"

namespace epg::net {

// Accepts connections and admits each as a session. At the connection limit
// it makes room by closing the session that ranks first (see
// Session::evictionRank), so that clients that never read, idle or slow
// ones cannot lock others out. Its sweeper, one timer for every session,
// closes those past their own deadline.
//
// The acceptor and both timers share a strand of their own: stop() closes
// them from outside while an accept may be completing on another thread.
class Listener {
  public:
    Listener(asio::io_context& context, ServerState& server);
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds and listens; port 0 picks a free one. An error text, or empty.
    std::string listen(const std::string& host, std::uint16_t port);
    std::uint16_t port() const;
    bool listening() const;
    // The first accept and the first sweep; the threads running the context
    // carry them on.
    void start();
    // Closes the acceptor and every connection; false when already stopping.
    bool stop();

  private:
    using Timer = asio::basic_waitable_timer<SteadyClock, asio::wait_traits<SteadyClock>, Strand>;

    void accept();
    void sweep();  // closes connections past their deadline
    void admit(Socket socket, Counters& tally);

    asio::io_context& context_;
    ServerState& server_;
    std::atomic<bool> stopping_{false};
    std::size_t nextCounters_ = 0;
    Strand control_;
    asio::basic_socket_acceptor<tcp, Strand> acceptor_;
    Timer retry_;
    Timer sweeper_;
};

}  // namespace epg::net
