// Takes connections in, and keeps their number and their deadlines.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "server/http/session.h"

namespace epg::net {

// Accepts connections and admits each as a session. At the connection limit
// it makes room by closing the session that ranks first (see
// Session::evictionRank), so that clients that never read, idle or slow
// ones cannot lock others out. Its sweeper, one timer for every session,
// closes those past their own deadline.
//
// Each connection is homed on one thread (see chooseHome): the one numbered
// after the CPU that took its packets, modulo the thread count (round the
// threads in turn when there are more threads than CPUs), unless that
// thread already holds well over its share. A client's connections then
// share a thread, and the scheduler runs the client and that thread back to
// back on one CPU. With connections dealt round, or every thread serving
// every connection from one queue, each thread always had some client's
// request to answer, none slept, and a client that wanted its CPU back
// waited out a whole scheduler tick: with 2 threads on 2 cores shared with
// wrk (64 connections) p99 was 4.2 ms at 129,000 requests/s; homed by CPU
// it is 0.5-1.4 ms at 140,000.
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
    std::vector<std::size_t> loads_;  // scratch for homeOf

    const Contexts& contexts_;
    ServerState& server_;
    std::atomic<bool> stopping_{false};
    std::size_t cpus_;
    std::size_t nextHome_ = 0;
    asio::basic_socket_acceptor<tcp, Executor> acceptor_;
    Timer retry_;
    Timer sweeper_;
};

// Which thread a new connection is homed on, given the connections each
// thread holds (`loads`, one per thread) and the CPU that took its packets
// (`incomingCpu`; none when unknown or when there are more threads than
// CPUs, and `turn` counts round instead). That CPU's thread, modulo the
// thread count, unless it holds more than the least loaded thread by over
// 16 connections and over a quarter of the average: then the least loaded
// (the first of equals). All of one client's connections come from one CPU
// when it runs on one thread, and behind a network card with one receive
// queue so do everyone's; homed by CPU alone, they all went to one thread
// and the others sat idle. The margin lets a client's threads connect in
// any order without one of them being split off.
std::size_t chooseHome(std::span<const std::size_t> loads, std::optional<std::size_t> incomingCpu,
                       std::size_t turn);

}  // namespace epg::net
