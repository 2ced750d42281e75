// Fetches that cannot succeed return empty bytes, quickly and quietly.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "runtime/http/page_fetcher.h"
#include "tests/support/test_http_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Response;
using testsupport::TestHttpServer;

TEST(FetchFailure, EmptyUrlTouchesNothing) {
    rt::PageFetcher fetcher;
    EXPECT_TRUE(fetcher.fetch("").empty());
    EXPECT_TRUE(fetcher.fetch("#top").empty());
    EXPECT_TRUE(fetcher.fetch(std::string("\0http://127.0.0.1/", 18)).empty());
    EXPECT_FALSE(fetcher.isOpen());
}

TEST(FetchFailure, OnlyHttpAndHttpsAreFetched) {
    TestHttpServer server;
    server.route("/x", Response::ok("served"));
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.port());
    rt::PageFetcher fetcher;
    const std::string urls[] = {"ftp://" + hostPort + "/x",
                                "gopher://" + hostPort + "/x",
                                "file:///etc/hostname",
                                "dict://" + hostPort + "/x",
                                "not a url",
                                "http://",
                                "://x",
                                "/x",
                                hostPort + "/x",  // no scheme: not guessed
                                "httpx://" + hostPort + "/x"};
    for (const std::string& url : urls) {
        EXPECT_TRUE(fetcher.fetch(url).empty()) << url;
    }
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(fetcher.fetch(server.url("x")).size(), 6u);  // the handle still works
}

TEST(FetchFailure, RefusedConnectionGivesEmptyBytes) {
    std::string url;
    {
        TestHttpServer gone;
        url = gone.url("W1.htm");
    }  // nothing listens on that port now
    rt::PageFetcher fetcher;
    EXPECT_TRUE(fetcher.fetch(url).empty());
}

// A listener whose accept queue is full and that never accepts: further
// connection attempts on loopback hang in the handshake.
class FullListener {
  public:
    FullListener() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(listener_, 0), 0);
        EXPECT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        port_ = ntohs(addr.sin_port);
        for (int& fd : fillers_) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        }
        ::usleep(100'000);  // let the queue fill
    }
    ~FullListener() {
        for (int fd : fillers_) ::close(fd);
        ::close(listener_);
    }
    int port() const { return port_; }

  private:
    int listener_ = -1;
    int port_ = 0;
    int fillers_[4] = {-1, -1, -1, -1};
};

TEST(FetchFailure, ConnectionThatNeverOpensEndsAtTheConnectTimeOut) {
    FullListener listener;
    rt::FetchLimits limits;
    limits.connectTimeout = 1s;
    limits.stallTimeout = 1h;  // only the connect time-out can end this fetch
    rt::PageFetcher fetcher(limits);
    EXPECT_TRUE(
        fetcher.fetch("http://127.0.0.1:" + std::to_string(listener.port()) + "/W1.htm").empty());
}

TEST(FetchFailure, UnresolvableHostGivesEmptyBytes) {
    rt::PageFetcher fetcher;
    EXPECT_TRUE(fetcher.fetch("http://no-such-host.invalid/W1.htm").empty());
}

TEST(FetchFailure, HttpsToAPlainHttpPortFailsCleanly) {
    TestHttpServer server;
    server.route("/W1.htm", Response::ok("plain"));
    rt::FetchLimits limits;
    limits.connectTimeout = 5s;  // the handshake counts as connecting
    limits.stallTimeout = 5s;
    rt::PageFetcher fetcher(limits);
    EXPECT_TRUE(
        fetcher.fetch("https://127.0.0.1:" + std::to_string(server.port()) + "/W1.htm").empty());
    EXPECT_EQ(server.requestCount(), 0u);  // nothing readable as a request arrived
}

}  // namespace
