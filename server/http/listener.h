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
// Each connection is homed on one thread: the one numbered after the CPU
// that took its packets, modulo the thread count (round the threads in turn
// when there are more threads than CPUs). A client's connections then share
// a thread, and the scheduler runs the client and that thread back to back
// on one CPU. With connections dealt round, or every thread serving every
// connection from one queue, each thread always had some client's request
// to answer, none slept, and a client that wanted its CPU back waited out a
// whole scheduler tick: with 2 threads on 2 cores shared with wrk (64
// connections) p99 was 4.2 ms at 129,000 requests/s; homed by CPU it is
// 0.5-1.4 ms at 140,000. A client whose threads all connect from one CPU
// gets one thread.
//
// The acceptor and both timers live on the first thread; stop() reaches
// them by posting there.
class Listener {
  public:
    // contexts: one per thread, the first also the listener's own; they
    // outlive the listener.
    Listener(const Contexts& contexts, ServerState& server);
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds and listens; port 0 picks a free one. An error text, or empty.
    std::string listen(const std::string& host, std::uint16_t port);
    std::uint16_t port() const;
    bool listening() const;
    // The first accept and the first sweep; the first thread carries them on.
    void start();
    // Closes the acceptor and every connection; false when already stopping.
    bool stop();

  private:
    using Timer = asio::basic_waitable_timer<SteadyClock, asio::wait_traits<SteadyClock>, Executor>;

    void accept();
    void sweep();  // closes connections past their deadline
    std::size_t homeOf(Socket& socket);
    void admit(Socket socket);

    const Contexts& contexts_;
    ServerState& server_;
    std::atomic<bool> stopping_{false};
    std::size_t cpus_;
    std::size_t nextHome_ = 0;
    asio::basic_socket_acceptor<tcp, Executor> acceptor_;
    Timer retry_;
    Timer sweeper_;
};

}  // namespace epg::net
