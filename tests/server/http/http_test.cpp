// The server on real sockets (127.0.0.1, ephemeral ports): correct answers,
// refusals of oversized or odd requests, time-outs, the connection limit, and
// service going on under load and after abuse. Every wait is bounded.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "encoding/text_encoding.h"
#include "server/background.h"
#include "server/http/http_server.h"
#include "server/http/listener.h"
#include "server/site/xmltv_write.h"
#include "server/sources/sample_listings.h"
#include "server_test_util.h"

namespace epg {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPage = "/programys/TV_1/Channel_1/W3.htm";

const std::string kPageRequest = std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n";

// A client that sends many requests for the day page at once and reads the
// answers only when told to, through a small receive buffer, so that the
// server's writes stall after a few pages.
class Pipeliner {
  public:
    Pipeliner(std::uint16_t port, int requests) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string all;
        for (int i = 0; i < requests; ++i) all += kPageRequest;
        sent_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                ::send(fd_, all.data(), all.size(), MSG_NOSIGNAL) == ssize_t(all.size());
    }
    ~Pipeliner() { ::close(fd_); }
    Pipeliner(const Pipeliner&) = delete;
    Pipeliner& operator=(const Pipeliner&) = delete;

    bool sent() const { return sent_; }
    // Whether the server has closed or reset the connection; reads nothing.
    bool closedByServer() const {
        pollfd p{fd_, POLLRDHUP, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }

    struct Taken {
        int answers = 0;  // complete ones
        bool closed = false;
    };
    // Reads 4 KiB at a time, `pause` after each read, until the server closes
    // the connection or says nothing for two seconds, or `reads` reads are
    // done (then reads no more).
    Taken take(std::chrono::milliseconds pause = {}, int reads = -1) {
        Taken t;
        std::string pending;
        char buf[4096];
        for (int i = 0; i != reads; ++i) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 2000) != 1) return t;
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                t.closed = true;
                return t;
            }
            pending.append(buf, std::size_t(n));
            for (std::size_t end; (end = pending.find("\r\n\r\n")) != std::string::npos;) {
                auto length = std::strtoul(pending.c_str() + pending.find("Content-Length: ") + 16,
                                           nullptr, 10);
                if (pending.size() < end + 4 + length) break;
                pending.erase(0, end + 4 + length);
                ++t.answers;
            }
            std::this_thread::sleep_for(pause);
        }
        return t;
    }

  private:
    int fd_ = -1;
    bool sent_ = false;
};

// Waits up to five seconds for `done`.
bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

class HttpTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }

    void serve(HttpLimits limits = {}) {
        site_ =
            std::make_shared<Site>(std::make_shared<SampleListings>(beijing()),
                                   fixedClock(fromLocal({2026, 12, 9}, 600, beijing())), beijing());
        server_ = std::make_unique<HttpServer>(site_, limits);
        ASSERT_EQ(server_->listen("127.0.0.1", 0), "");
        server_->start();
        port_ = server_->port();
        ASSERT_NE(port_, 0);
    }
    std::string get(const std::string& target, const char* version = "HTTP/1.0") {
        RawClient c(port_);
        EXPECT_TRUE(c.connected());
        c.send("GET " + target + " " + version + "\r\nHost: x\r\nConnection: close\r\n\r\n");
        std::string out;
        c.readUntilClosed(out);
        return out;
    }
    std::string expectedPage() { return *site_->page(std::string(kPage).substr(1)); }

    std::shared_ptr<Site> site_;
    std::unique_ptr<HttpServer> server_;
    std::uint16_t port_ = 0;
};

TEST_F(HttpTest, ServesPagesOverHttp10And11WithKeepAliveAndPipelining) {
    serve();
    std::string r = get(kPage);
    EXPECT_EQ(statusOf(r), 200);
    EXPECT_NE(r.find("Content-Type: text/html; charset=GBK\r\n"), std::string::npos);
    EXPECT_EQ(r.substr(r.find("\r\n\r\n") + 4), expectedPage());

    RawClient c(port_);
    std::string one, two, three;
    ASSERT_TRUE(c.send(std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_TRUE(c.readResponse(one));
    ASSERT_TRUE(c.send(std::string("HEAD ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n" +
                       "GET /soft/down/a1.html HTTP/1.1\r\nHost: x\r\n\r\n"));  // two at once
    ASSERT_TRUE(c.readResponse(two, true));
    ASSERT_TRUE(c.readResponse(three));
    EXPECT_EQ(statusOf(one), 200);
    EXPECT_EQ(statusOf(two), 200);
    EXPECT_EQ(two.substr(two.find("\r\n\r\n") + 4), "");  // HEAD: headers only
    EXPECT_NE(two.find("Content-Length: " + std::to_string(expectedPage().size())),
              std::string::npos);
    EXPECT_EQ(statusOf(three), 200);

    // HTTP/1.0 keeps the connection only when asked to.
    RawClient k(port_);
    ASSERT_TRUE(
        k.send(std::string("GET ") + kPage + " HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"));
    ASSERT_TRUE(k.readResponse(one));
    EXPECT_NE(one.find("Connection: keep-alive"), std::string::npos);
    ASSERT_TRUE(k.send(std::string("GET ") + kPage + " HTTP/1.0\r\n\r\n"));
    std::string rest;
    EXPECT_TRUE(k.readUntilClosed(rest));
    EXPECT_EQ(statusOf(rest), 200);
}

// A connection is answered by the thread numbered after the CPU its client
// sends from, so a client and the thread that answers it can take turns on
// one CPU; a connection moved to another thread's loop on the way in is
// served like any other, pipelined requests in order.
TEST_F(HttpTest, AConnectionIsServedByTheThreadOfItsClientsCpu) {
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    std::vector<int> cpus;  // one even and one odd, if the process may run on both
    for (int parity : {0, 1})
        for (int c = parity; c < CPU_SETSIZE; c += 2)
            if (CPU_ISSET(c, &allowed)) {
                cpus.push_back(c);
                break;
            }
    if (cpus.size() < 2) GTEST_SKIP() << "needs CPUs of both parities";
    HttpLimits limits;
    limits.threads = 2;
    serve(limits);
    const std::string twoRequests =
        kPageRequest + "GET /soft/down/a1.html HTTP/1.1\r\nHost: x\r\n\r\n";
    for (int round = 0; round < 2; ++round, std::reverse(cpus.begin(), cpus.end()))
        for (int cpu : cpus) {
            auto before = server_->stats().requestsByThread;
            std::string first, second;
            std::thread client([&] {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpu, &one);
                ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
                RawClient c(port_);
                ASSERT_TRUE(c.send(twoRequests));
                ASSERT_TRUE(c.readResponse(first));
                ASSERT_TRUE(c.readResponse(second));
            });
            client.join();
            EXPECT_EQ(first.substr(first.find("\r\n\r\n") + 4), expectedPage());
            EXPECT_EQ(statusOf(second), 200);
            std::size_t home = std::size_t(cpu) % 2;
            EXPECT_TRUE(eventually([&] {
                return server_->stats().requestsByThread[home] == before[home] + 2;
            })) << "from CPU "
                << cpu;
            EXPECT_EQ(server_->stats().requestsByThread[1 - home], before[1 - home]);
        }
    EXPECT_EQ(server_->stats().rehomed, 0u);
}

// Where a new connection goes, given the connections each thread holds and
// the CPU it came in on (none: counted round by `turn`).
TEST(ChooseHomeTest, TheThreadOfItsCpuUnlessThatHoldsFarMoreThanItsShare) {
    struct Case {
        const char* name;
        std::vector<std::size_t> loads;
        std::optional<std::size_t> cpu;
        std::size_t turn;
        std::size_t home;
    } cases[] = {
        {"one thread takes all", {500}, 3, 0, 0},
        {"its CPU's thread", {0, 0}, 1, 0, 1},
        {"CPUs beyond the threads count round", {0, 0}, 3, 0, 1},
        {"a client's threads connecting unevenly stay home", {16, 0}, 0, 0, 0},
        {"more than 16 over the least goes to the least", {17, 0}, 0, 0, 1},
        {"... whichever thread that is", {30, 40, 5, 22}, 1, 0, 2},
        {"a lighter thread than the least plus the margin stays", {4, 20}, 1, 0, 1},
        {"many connections: a quarter of the average is the margin", {330, 270}, 0, 0, 0},
        {"... and past it they go to the least", {340, 260}, 0, 0, 1},
        {"no CPU: dealt round", {3, 3, 3}, std::nullopt, 7, 1},
        {"no CPU, dealt to a heavy thread: the least, the first of equals",
         {0, 40, 0},
         std::nullopt,
         1,
         0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(net::chooseHome(c.loads, c.cpu, c.turn), c.home) << c.name;
}

// All of a client's connections come in on one CPU when it runs on one
// thread; past its share they go to the other thread, and both threads
// serve them. Closed, they leave the counts.
TEST_F(HttpTest, ManyConnectionsFromOneCpuAreSharedOut) {
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    if (::sysconf(_SC_NPROCESSORS_CONF) < 2) GTEST_SKIP() << "homed by CPU only with two";
    int cpu = 0;
    while (cpu < CPU_SETSIZE && !CPU_ISSET(cpu, &allowed)) ++cpu;
    HttpLimits limits;
    limits.threads = 2;
    serve(limits);
    std::vector<std::unique_ptr<RawClient>> clients;
    std::thread client([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
        for (int i = 0; i < 64; ++i) {
            clients.push_back(std::make_unique<RawClient>(port_));
            std::string r;
            ASSERT_TRUE(clients.back()->send(kPageRequest));
            ASSERT_TRUE(clients.back()->readResponse(r));
            ASSERT_EQ(statusOf(r), 200);
        }
    });
    client.join();
    HttpStats stats = server_->stats();
    ASSERT_EQ(stats.connectionsByThread.size(), 2u);
    const auto home = std::size_t(cpu) % 2;
    EXPECT_EQ(stats.connectionsByThread[0] + stats.connectionsByThread[1], 64u);
    EXPECT_EQ(stats.connectionsByThread[home], 40u);  // the other's 24, and 16 more
    EXPECT_EQ(stats.rehomed, 24u);
    // Counted once the write's handler has run, which may be after the
    // client has its answer.
    EXPECT_TRUE(eventually([&] {
        auto by = server_->stats().requestsByThread;
        return by[home] == 40u && by[1 - home] == 24u;
    }));
    clients.clear();
    EXPECT_TRUE(eventually([&] {
        auto by = server_->stats().connectionsByThread;
        return by[0] == 0 && by[1] == 0;
    }));
}

// Over the wire: a 304 has no body and no length and the connection goes
// on; gzip comes with its headers, HEAD with the gzip length.
TEST_F(HttpTest, NotModifiedAndGzipOnTheWire) {
    serve();
    RawClient c(port_);
    std::string first, notModified, zipped, head;
    ASSERT_TRUE(c.send(std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_TRUE(c.readResponse(first));
    auto at = first.find("\r\nETag: ");
    ASSERT_NE(at, std::string::npos);
    std::string tag = first.substr(at + 8, first.find("\r\n", at + 2) - at - 8);
    // The tag on the second of two If-None-Match lines: the lines make one list.
    ASSERT_TRUE(c.send(std::string("GET ") + kPage +
                       " HTTP/1.1\r\nHost: x\r\nIf-None-Match: \"other\"\r\nIf-None-Match: " + tag +
                       "\r\n\r\n" + "GET " + kPage +
                       " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n" + "HEAD " + kPage +
                       " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n"));
    ASSERT_TRUE(c.readResponse(notModified, true));
    ASSERT_TRUE(c.readResponse(zipped));
    ASSERT_TRUE(c.readResponse(head, true));
    EXPECT_EQ(statusOf(notModified), 304);
    EXPECT_EQ(notModified.find("Content-Length"), std::string::npos);
    EXPECT_NE(notModified.find("\r\nETag: " + tag + "\r\n"), std::string::npos);
    EXPECT_TRUE(notModified.ends_with("\r\n\r\n"));
    EXPECT_EQ(statusOf(zipped), 200);
    EXPECT_NE(zipped.find("\r\nContent-Encoding: gzip\r\n"), std::string::npos);
    EXPECT_NE(zipped.find("\r\nVary: Accept-Encoding\r\n"), std::string::npos);
    std::string body = zipped.substr(zipped.find("\r\n\r\n") + 4);
    EXPECT_EQ(gunzip(body), expectedPage());
    EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(first.find("Content-Encoding"), std::string::npos);
}

// Each refused, and nothing after its head read as another request: a
// proxy in front might have taken those bytes for a body.
TEST_F(HttpTest, OddAndHostileRequestsAreRefusedAndTheConnectionClosed) {
    serve();
    const std::string next = "GET /soft/down/a1.html HTTP/1.1\r\nHost: x\r\n\r\n";
    std::string smallFields = "GET / HTTP/1.1\r\nHost: x\r\n";
    while (smallFields.size() < 8300) smallFields += "X-Small: 0123456789\r\n";
    struct Case {
        std::string request;
        int status;
    } cases[] = {
        {"GET /../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET http://127.0.0.1/../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET * HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET programys/TV_1/Channel_1/W1.htm HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip\r\n\r\n" + next, 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: xchunked\r\n\r\n" + next, 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked, identity\r\n\r\n" + next, 400},
        {"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\nContent-Length: 0\r\n\r\n" +
             next,
         400},
        {"GET / HTTP/1.0\r\nTransfer-Encoding: gzip\r\n\r\n" + next, 400},
        {"GET /soft/down/a1.html HTTP/1.1\r\n\r\n", 400},
        {"GET /soft/down/a1.html HTTP/1.1\r\nHost: x\r\nHost: y\r\n\r\n", 400},
        {smallFields + "\r\n", 431},
        {"GET /a\\..\\b HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"POST /soft/down/a1.html HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", 405},
        {"GET /soft/down/a1.html HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 400},
        {"GET /soft/down/a1.html HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
        {"NOT-HTTP\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nBad Header\r\n\r\n", 400},
        {"GET /" + std::string(3000, 'a') + " HTTP/1.1\r\n\r\n", 414},
        {"GET / HTTP/1.1\r\nX: " + std::string(20000, 'b') + "\r\n\r\n", 431},
        {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", 431},
        {"GET /nothing-here HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 404},
    };
    for (const auto& c : cases) {
        RawClient client(port_);
        ASSERT_TRUE(client.connected());
        client.send(c.request);
        std::string out;
        EXPECT_TRUE(client.readUntilClosed(out))
            << c.request.substr(0, 60);  // closed by the server
        EXPECT_EQ(statusOf(out), c.status) << c.request.substr(0, 60);
        EXPECT_EQ(out.find("HTTP/1.1", 1), std::string::npos) << c.request.substr(0, 60);
    }
    EXPECT_EQ(statusOf(get(kPage)), 200);  // and it still serves
    // As a proxy asks: the absolute form's path, whatever the host.
    std::string viaProxy = get(std::string("http://tv.example") + kPage, "HTTP/1.1");
    EXPECT_EQ(statusOf(viaProxy), 200);
    EXPECT_EQ(viaProxy.substr(viaProxy.find("\r\n\r\n") + 4), expectedPage());
    // HTTP/1.0 needs no Host.
    RawClient old(port_);
    old.send(std::string("GET ") + kPage + " HTTP/1.0\r\n\r\n");
    std::string oldOut;
    old.readUntilClosed(oldOut);
    EXPECT_EQ(statusOf(oldOut), 200);
}

TEST_F(HttpTest, IdleAndSlowClientsAreCut) {
    HttpLimits limits;
    limits.idleTimeout = 200ms;
    limits.headerTimeout = 400ms;
    serve(limits);
    RawClient idle(port_);
    std::string out;
    EXPECT_TRUE(idle.readUntilClosed(out, 3000ms));  // says nothing: closed
    EXPECT_TRUE(out.empty());

    // A client trickling its headers one byte at a time is closed when the
    // header time-out ends, though it never stays silent for long.
    RawClient slow(port_);
    std::string request = "GET / HTTP/1.1\r\nX-Slow: " + std::string(100, 's');
    bool closed = false;
    for (std::size_t i = 0; i < request.size() && !closed; ++i) {
        closed = !slow.send(request.substr(i, 1));
        std::this_thread::sleep_for(20ms);
        std::string got;
        if (!closed) closed = slow.readUntilClosed(got, 1ms) && got.empty();
    }
    EXPECT_TRUE(closed);

    // After a response, the same idle time-out applies to the next request.
    RawClient kept(port_);
    ASSERT_TRUE(kept.send(std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_TRUE(kept.readResponse(out));
    std::string after;
    EXPECT_TRUE(kept.readUntilClosed(after, 3000ms));
}

TEST_F(HttpTest, IdleConnectionsCannotLockNewClientsOut) {
    HttpLimits limits;
    limits.maxConnections = 4;
    serve(limits);
    std::vector<std::unique_ptr<RawClient>> hogs;
    for (int i = 0; i < 8; ++i) {
        hogs.push_back(std::make_unique<RawClient>(port_));
        hogs.back()->send("GET / HTTP/1.1\r\n");  // starts a request and stalls
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(statusOf(get(kPage)), 200) << i;
    // The oldest stalled connections were closed to make room.
    std::string out;
    EXPECT_TRUE(hogs.front()->readUntilClosed(out, 2000ms));
    // Closed connections leave the count as soon as their last handler ran.
    for (int i = 0; i < 200 && server_->connectionCount() > limits.maxConnections; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_LE(server_->connectionCount(), limits.maxConnections);
}

// Clients that leave their answers unread lose their place: by the response
// deadline, which only bytes the client takes renew (not answers queued
// behind unread ones), and at the connection limit, where they go before a
// connection waiting for its request and before the newcomer. Every row: an
// idle client that has begun a request, then the pipeliners (each stalled
// before the next comes, when the row waits for that), then an honest
// client; the first pipeliner must have been cut short, unless it kept
// taking its answers, and the idle client must still be served.
TEST_F(HttpTest, ClientsThatDoNotTakeTheirAnswersLoseTheirPlace) {
    enum class Await { Stalled, Gone, Nothing };
    struct Case {
        const char* name;
        std::size_t maxConnections;
        std::chrono::milliseconds writeTimeout;
        int pipeliners;
        int requests;  // each
        Await await;
        std::chrono::milliseconds readPause;  // how the first one reads, in the end
        int reads = -1;                       // ... and how many times before it stops
        bool servedWhole = false;
    } cases[] = {
        {"never reads: the deadline ends it", 16, 300ms, 2, 400, Await::Gone, 0ms},
        // All it sent was read, so a graceful close would queue its FIN
        // behind answers it never takes: only a reset tells it (and frees
        // the kernel of them).
        {"never reads, asked for a few: reset, not left to the kernel", 16, 300ms, 1, 8,
         Await::Gone, 0ms},
        // Slower than the deadline in all, but never idle that long.
        {"reads a trickle: served, since every read renews the deadline", 16, 300ms, 1, 40,
         Await::Nothing, 20ms, -1, true},
        {"reads a trickle, then stops: cut a deadline after the last bytes it took", 16, 300ms, 1,
         40, Await::Nothing, 20ms, 25},
        {"at the limit the stalled writer goes first", 3, 60'000ms, 2, 400, Await::Stalled, 0ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpLimits limits;
        limits.maxConnections = c.maxConnections;
        limits.writeTimeout = c.writeTimeout;
        limits.stallGrace = 50ms;
        limits.sendBufferBytes = 4096;
        serve(limits);
        RawClient idle(port_);
        ASSERT_TRUE(idle.send(std::string("GET ") + kPage + " HTTP/1.1\r\n"));
        std::vector<std::unique_ptr<Pipeliner>> pipeliners;
        for (int i = 0; i < c.pipeliners; ++i) {
            pipeliners.push_back(std::make_unique<Pipeliner>(port_, c.requests));
            ASSERT_TRUE(pipeliners.back()->sent());
            if (c.await == Await::Stalled) {
                ASSERT_TRUE(
                    eventually([&] { return server_->stats().stalled == std::size_t(i) + 1; }));
            }
        }
        if (c.await == Await::Gone) {
            ASSERT_TRUE(eventually([&] {
                return std::all_of(pipeliners.begin(), pipeliners.end(),
                                   [](const auto& p) { return p->closedByServer(); });
            }));
        }

        EXPECT_EQ(statusOf(get(kPage)), 200);
        Pipeliner::Taken first = pipeliners.front()->take(c.readPause, c.reads);
        if (c.servedWhole) {
            EXPECT_FALSE(first.closed);
            EXPECT_EQ(first.answers, c.requests);
        } else {
            EXPECT_TRUE(first.closed ||
                        eventually([&] { return pipeliners.front()->closedByServer(); }));
            EXPECT_LT(first.answers, c.requests);
        }
        std::string answer;
        ASSERT_TRUE(idle.send("Host: x\r\n\r\n"));
        ASSERT_TRUE(idle.readResponse(answer));
        EXPECT_EQ(statusOf(answer), 200);
        server_.reset();
    }
}

// A client that asks for one answer and reads it at its own pace through a
// small receive buffer.
class PacedReader {
  public:
    PacedReader(std::uint16_t port, const std::string& target) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int buffer = 64 * 1024;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
        sent_ =
            ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
    }
    ~PacedReader() { ::close(fd_); }
    PacedReader(const PacedReader&) = delete;
    PacedReader& operator=(const PacedReader&) = delete;

    bool sent() const { return sent_; }
    // Reads 16 KiB at most at a time, `pause` after each read, until the
    // server closes, or says nothing for two seconds, or `upTo` bytes came;
    // `each` after every read. True when the server closed.
    bool read(
        std::string& out, std::chrono::milliseconds pause, std::size_t upTo,
        const std::function<void()>& each = [] {}) {
        char buf[16384];
        while (out.size() < upTo) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 2000) != 1) return false;
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return true;
            out.append(buf, std::size_t(n));
            each();
            std::this_thread::sleep_for(pause);
        }
        return false;
    }
    bool closedByServer() const {
        pollfd p{fd_, POLLRDHUP, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }

  private:
    int fd_ = -1;
    bool sent_ = false;
};

// The biggest answer (/epg.xml, 9 MB) to clients far slower than the write
// deadline allows for the whole of it: one that keeps taking bytes is served
// to the end, with the bigger send buffer meanwhile (one client at a time
// here); one that stops taking them is cut a deadline after its last bytes.
// Either way the bigger buffer is given back.
TEST_F(HttpTest, AClientThatKeepsTakingABigAnswerGetsAllOfIt) {
    HttpLimits limits;
    limits.writeTimeout = 400ms;
    limits.bulkWriters = 1;
    serve(limits);
    const std::string document = *handleRequest(*site_, {"GET", "/epg.xml"}).body;
    ASSERT_GT(document.size(), 4'000'000u);

    PacedReader steady(port_, "/epg.xml");
    ASSERT_TRUE(steady.sent());
    std::string got;
    int bulk = 0;
    // Some 20 reads a second of 16 KiB at most, 10 MB: over a second in all.
    bool closed = steady.read(got, 3ms, std::size_t(-1),
                              [&] { bulk = std::max(bulk, server_->stats().bulkWriters); });
    EXPECT_TRUE(closed);
    auto end = got.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(statusOf(got), 200);
    EXPECT_EQ(got.size() - end - 4, document.size());
    EXPECT_TRUE(got.compare(end + 4, std::string::npos, document) == 0);
    EXPECT_EQ(bulk, 1);
    EXPECT_TRUE(eventually([&] { return server_->stats().bulkWriters == 0; }));

    PacedReader stops(port_, "/epg.xml");
    ASSERT_TRUE(stops.sent());
    std::string part;
    EXPECT_FALSE(stops.read(part, 3ms, 1'000'000));
    EXPECT_EQ(server_->stats().bulkWriters, 1);
    EXPECT_TRUE(eventually([&] { return stops.closedByServer(); }));
    EXPECT_TRUE(eventually([&] { return server_->stats().bulkWriters == 0; }));
}

// Nothing is read from a connection while its answer is unsent: what the
// server has taken in from a client that never reads is what it answered
// plus at most one read's worth, however much the client queued.
TEST_F(HttpTest, PipelinedRequestsAreNotReadAheadOfUnsentAnswers) {
    HttpLimits limits;
    limits.stallGrace = 50ms;
    limits.sendBufferBytes = 4096;
    serve(limits);
    Pipeliner hog(port_, 400);
    ASSERT_TRUE(hog.sent());
    ASSERT_TRUE(eventually([&] { return server_->stats().stalled == 1; }));
    HttpStats stats = server_->stats();
    EXPECT_LE(stats.bytesRead, (stats.requests + 1) * kPageRequest.size() + 4096);
    EXPECT_LT(stats.requests, 400u);
}

// A flood of clients that pipeline and never read fills every slot with
// writers whose answers are still fresh; a newcomer then takes the place of
// the oldest of them instead of being refused, and is itself not the next
// to go.
TEST_F(HttpTest, ANewcomerIsLetInWhenEverySlotHoldsAFreshWriter) {
    HttpLimits limits;
    limits.maxConnections = 3;
    limits.stallGrace = 60'000ms;  // nobody stalls within the test
    limits.sendBufferBytes = 4096;
    serve(limits);
    std::vector<std::unique_ptr<Pipeliner>> flood;
    for (int i = 0; i < 3; ++i) {
        flood.push_back(std::make_unique<Pipeliner>(port_, 400));
        ASSERT_TRUE(flood.back()->sent());
        ASSERT_TRUE(eventually([&] { return server_->connectionCount() == std::size_t(i) + 1; }));
        // Each writer's standing runs from its last read: let this one block
        // on its full buffer before the next comes, so the order is theirs.
        ASSERT_TRUE(eventually([&] {
            auto before = server_->stats().bytesRead;
            std::this_thread::sleep_for(300ms);
            return before > 0 && server_->stats().bytesRead == before;
        }));
    }
    EXPECT_EQ(statusOf(get(kPage)), 200);
    EXPECT_TRUE(eventually([&] { return flood.front()->closedByServer(); }));
    EXPECT_FALSE(flood.back()->closedByServer());
}

TEST_F(HttpTest, KeepsServingUnderLoadAndAbuse) {
    serve();
    std::atomic<int> good{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            RawClient c(port_);
            for (int i = 0; i < 150; ++i) {
                if (t % 3 == 2) {  // an abusive client: garbage on fresh connections
                    RawClient bad(port_);
                    bad.send("\x16\x03\x01 garbage\r\n\r\n");
                    std::string ignored;
                    bad.readUntilClosed(ignored, 2000ms);
                    continue;
                }
                std::string r;
                if (!c.send(std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n") ||
                    !c.readResponse(r)) {
                    ++wrong;
                    return;
                }
                (statusOf(r) == 200 ? good : wrong)++;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(good.load(), 4 * 150);
    EXPECT_EQ(statusOf(get(kPage)), 200);
}

// The server inside the guide keeps the zone it is given (the guide's pages'
// zone): here the process's own, eleven hours behind UTC, not Beijing time.
TEST(BackgroundServerTest, StartsAnswersAndStops) {
    useZone("XST+11");
    std::uint16_t port = 0;
    {
        BackgroundStart started = startSampleServer("127.0.0.1", 0, Zone::local());
        ASSERT_TRUE(started.server) << started.error;
        port = started.server->port();
        EXPECT_TRUE(somethingAnswers("127.0.0.1", port));
        RawClient c(port);
        c.send(std::string("GET ") + kPage + " HTTP/1.0\r\n\r\n");
        std::string out;
        c.readUntilClosed(out);
        EXPECT_EQ(statusOf(out), 200);
        // The banner's clock, allowing for a minute that turns meanwhile.
        auto shows = [](const std::string& banner, Seconds t) {
            LocalTime lt = toLocal(t, Zone::local());
            char text[32];
            std::snprintf(text, sizeof text, "%s %02d:%02d", isoText(lt.date).c_str(), lt.hour,
                          lt.minute);
            return banner.find(text) != std::string::npos;
        };
        Seconds before = std::time(nullptr);
        RawClient b(port);
        b.send("GET /soft/down/a1.html HTTP/1.0\r\n\r\n");
        std::string banner;
        b.readUntilClosed(banner);
        Seconds after = std::time(nullptr);
        EXPECT_TRUE(shows(banner, before - 60) || shows(banner, before) || shows(banner, after))
            << banner;

        BackgroundStart clash =
            startSampleServer("127.0.0.1", port, Zone::local());  // the port is taken
        EXPECT_FALSE(clash.server);
        EXPECT_NE(clash.error.find(std::to_string(port)), std::string::npos);
    }
    EXPECT_FALSE(somethingAnswers("127.0.0.1", port));
    useZone(kUtc);
}

// The server a guide starts inside itself, on the XMLTV sources it names:
// their programmes on the pages' clock, a banner that does not call them
// samples, and a clear refusal of a file that is not there.
TEST(BackgroundServerTest, ServesTheSourcesItIsGivenAndRefusesMissingOnes) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("builtin-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // 12:00 Beijing on every day of this week, on CCTV-1.
    const Date monday = mondayOf(toLocal(std::time(nullptr), beijing()).date);
    std::string xml = "<tv><channel id='c1'><display-name>CCTV-1</display-name></channel>";
    for (int d = 0; d < 7; ++d) {
        Seconds noon = localMidnight(addDays(monday, d), beijing()) + 12 * 3600;
        xml += "<programme channel='c1' start='" + xmltvTime(noon, beijing()) + "' stop='" +
               xmltvTime(noon + 1800, beijing()) + "'><title>Real noon show</title></programme>";
    }
    xml += "</tv>";
    std::ofstream(dir / "real.xml") << xml;

    BuiltInListings given{{(dir / "real.xml").string()}, dir / "state", beijing(), {}};
    BackgroundStart started = startBuiltInServer("127.0.0.1", 0, given);
    ASSERT_TRUE(started.server) << started.error;
    auto get = [port = started.server->port()](const std::string& path) {
        RawClient c(port);
        c.send("GET /" + path + " HTTP/1.0\r\n\r\n");
        std::string out;
        c.readUntilClosed(out);
        return out;
    };
    for (int w = 1; w <= 7; ++w) {
        std::string page = get("programys/TV_1/Channel_1/W" + std::to_string(w) + ".htm");
        EXPECT_EQ(statusOf(page), 200) << w;
        EXPECT_NE(page.find("12:00"), std::string::npos) << w;
        EXPECT_NE(page.find("Real noon show"), std::string::npos) << w;
    }
    // A channel of a later group, empty here, comes once its step is rendered.
    EXPECT_EQ(statusOf(get("programjw/TV_4/Channel_25/W3.htm")), 200);
    std::string banner = get("soft/down/a1.html");
    EXPECT_EQ(statusOf(banner), 200);
    EXPECT_FALSE(gbkContains(banner, encoding::gbk("示例节目表")));
    started.server.reset();

    given.xmltvSources = {(dir / "none.xml").string()};
    BackgroundStart missing = startBuiltInServer("127.0.0.1", 0, given);
    EXPECT_FALSE(missing.server);
    EXPECT_NE(missing.error.find("none.xml"), std::string::npos) << missing.error;
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epg
