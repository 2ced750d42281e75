// The server on real sockets (127.0.0.1, ephemeral ports): correct answers,
// refusals of oversized or odd requests, time-outs, the connection limit, and
// service going on under load and after abuse. Every wait is bounded.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "server/background.h"
#include "server/http_server.h"
#include "server/sample_listings.h"
#include "server_test_util.h"

namespace epg {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPage = "/programys/TV_1/Channel_1/W3.htm";

class HttpTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kBeijing); }

    void serve(HttpLimits limits = {}) {
        site_ = std::make_shared<Site>(std::make_shared<SampleListings>(),
                                       fixedClock(fromLocal({2026, 12, 9}, 600)));
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

TEST_F(HttpTest, OddAndHostileRequestsAreRefusedAndTheConnectionClosed) {
    serve();
    struct Case {
        std::string request;
        int status;
    } cases[] = {
        {"GET /../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET http://127.0.0.1/soft/down/a1.html HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET programys/TV_1/Channel_1/W1.htm HTTP/1.1\r\nHost: x\r\n\r\n", 400},
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
    }
    EXPECT_EQ(statusOf(get(kPage)), 200);  // and it still serves
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

TEST(BackgroundServerTest, StartsAnswersAndStops) {
    useZone(kBeijing);
    std::uint16_t port = 0;
    {
        BackgroundStart started = startSampleServer("127.0.0.1", 0);
        ASSERT_TRUE(started.server) << started.error;
        port = started.server->port();
        EXPECT_TRUE(somethingAnswers("127.0.0.1", port));
        RawClient c(port);
        c.send(std::string("GET ") + kPage + " HTTP/1.0\r\n\r\n");
        std::string out;
        c.readUntilClosed(out);
        EXPECT_EQ(statusOf(out), 200);

        BackgroundStart clash = startSampleServer("127.0.0.1", port);  // the port is taken
        EXPECT_FALSE(clash.server);
        EXPECT_NE(clash.error.find(std::to_string(port)), std::string::npos);
    }
    EXPECT_FALSE(somethingAnswers("127.0.0.1", port));
}

}  // namespace
}  // namespace epg
