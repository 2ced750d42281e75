// What a fetch puts on the wire, and how redirects are followed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/http/page_fetcher.h"
#include "tests/support/body_text.h"
#include "tests/support/test_http_server.h"

namespace {

using testsupport::Response;
using testsupport::str;
using testsupport::TestHttpServer;

TEST(FetchRequest, GetOverHttp10WithTheGuidesHeaders) {
    TestHttpServer server;
    server.route("/programys/TV_1/Channel_1/W1.htm", Response::ok("page"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("programys/TV_1/Channel_1/W1.htm"))), "page");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0];
    EXPECT_EQ(r.requestLine, "GET /programys/TV_1/Channel_1/W1.htm HTTP/1.0");
    EXPECT_EQ(r.header("User-Agent").value_or(""), rt::kUserAgent);
    EXPECT_EQ(r.header("Accept").value_or(""), "*/*");
    EXPECT_EQ(r.header("Host").value_or(""), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(r.header("Cache-Control").value_or(""), "no-cache");
    EXPECT_EQ(r.header("Pragma").value_or(""), "no-cache");
    int accepts = 0;
    for (const auto& h : r.headers) accepts += h.first == "Accept";
    EXPECT_EQ(accepts, 1);
}

// A proxy cannot reach this machine's loopback, so servers there (the
// built-in EPG server among them) are asked directly whatever is set, under
// every name and address the loopback has.
TEST(FetchRequest, LoopbackIsReachedDirectlyWhateverTheEnvironmentSays) {
    TestHttpServer server;
    server.route("/W1.htm", Response::ok("direct"));
    TestHttpServer proxy;  // answers everything it gets, so a proxied fetch would show
    proxy.fallback([](const testsupport::Request&) { return Response::ok("proxied"); });
    const std::string port = std::to_string(server.port());
    const std::string hosts[] = {"127.0.0.1", "localhost",          "localhost.",     "LocalHost",
                                 "127.1",     "[::ffff:127.0.0.1]", "[::ffff:7f00:1]"};
    for (const char* name : {"http_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        ::setenv(name, proxy.root().c_str(), 1);
    std::vector<std::string> bodies;
    for (const std::string& host : hosts) {
        rt::PageFetcher fetcher;
        bodies.push_back(str(fetcher.fetch("http://" + host + ":" + port + "/W1.htm")));
    }
    for (const char* name : {"http_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        ::unsetenv(name);
    // Not every resolver knows the fully qualified "localhost."; what counts
    // is that no proxy is asked for it.
    for (std::size_t i = 0; i < std::size(hosts); ++i) {
        if (hosts[i] == "localhost.") continue;
        EXPECT_EQ(bodies[i], "direct") << hosts[i];
    }
    EXPECT_EQ(proxy.requestCount(), 0u);
}

TEST(FetchRequest, FragmentIsNeverSentButTheQueryIs) {
    TestHttpServer server;
    server.route("/W3.htm", Response::ok("wednesday"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("W3.htm#top"))), "wednesday");
    EXPECT_EQ(str(fetcher.fetch(server.url("W3.htm?x=1#a?b#c"))), "wednesday");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET /W3.htm HTTP/1.0");
    EXPECT_EQ(requests[1].target, "/W3.htm?x=1");
}

TEST(FetchRequest, UnusualPathsReachTheServerInASafeForm) {
    TestHttpServer server;
    server.fallback([](const testsupport::Request&) { return Response::ok("any"); });
    rt::PageFetcher fetcher;
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(fetcher.fetch(server.url("a b.htm")).size(), 3u);
    EXPECT_EQ(fetcher.fetch(server.url("\xBE\xE7.htm")).size(), 3u);  // GBK bytes
    EXPECT_EQ(fetcher.fetch(server.url("x/../y/./W1.htm")).size(), 3u);
    EXPECT_EQ(fetcher.fetch("HTTP://" + hostPort + "/upper").size(), 3u);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].target, "/a%20b.htm");
    EXPECT_EQ(requests[1].target, "/%be%e7.htm");
    EXPECT_EQ(requests[2].target, "/y/W1.htm");
    EXPECT_EQ(requests[3].target, "/upper");
}

TEST(FetchRequest, OneHandleServesEveryFetch) {
    TestHttpServer server;
    server.route("/a", Response::ok("A"));
    server.route("/b", Response::ok("B"));
    rt::PageFetcher fetcher;
    EXPECT_FALSE(fetcher.isOpen());
    EXPECT_EQ(str(fetcher.fetch(server.url("a"))), "A");
    EXPECT_TRUE(fetcher.isOpen());
    EXPECT_TRUE(fetcher.fetch("ftp://127.0.0.1/").empty());
    EXPECT_EQ(str(fetcher.fetch(server.url("b"))), "B");
    EXPECT_EQ(str(fetcher.fetch(server.url("a"))), "A");
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST(FetchRequest, RedirectsAreFollowedWithTheSameRequest) {
    TestHttpServer server;
    server.route("/1", Response::redirect(server.url("2")));
    server.route("/2", Response::redirect("/3", 301));
    server.route("/3", Response::redirect("4"));  // relative to /3
    server.route("/4", Response::ok("landed"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("1"))), "landed");  // no redirect body mixed in
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].requestLine, "GET /" + std::to_string(i + 1) + " HTTP/1.0");
        EXPECT_EQ(requests[i].header("User-Agent").value_or(""), rt::kUserAgent);
    }
}

TEST(FetchRequest, RedirectsStopAfterTheLimit) {
    TestHttpServer server;
    // /hop/N sends to /hop/N+1 forever.
    server.fallback([&](const testsupport::Request& req) {
        const int n = std::stoi(req.target.substr(5));
        return Response::redirect("/hop/" + std::to_string(n + 1));
    });
    server.route("/hop/10", Response::ok("ten hops"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("hop/0"))), "ten hops");  // exactly 10 redirects

    server.route("/hop/10", Response::redirect("/hop/11"));
    server.clearRequests();
    EXPECT_TRUE(fetcher.fetch(server.url("hop/0")).empty());
    EXPECT_EQ(server.requestCount(), 11u);  // the first request and ten redirects

    server.clearRequests();
    rt::FetchLimits strict;
    strict.maxRedirects = 2;
    rt::PageFetcher strictFetcher(strict);
    EXPECT_TRUE(strictFetcher.fetch(server.url("hop/0")).empty());
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST(FetchRequest, RedirectToAnotherSchemeIsNotFollowed) {
    TestHttpServer server;
    server.route("/ftp", Response::redirect("ftp://127.0.0.1/x"));
    server.route("/file", Response::redirect("file:///etc/hostname"));
    rt::PageFetcher fetcher;
    EXPECT_TRUE(fetcher.fetch(server.url("ftp")).empty());
    EXPECT_TRUE(fetcher.fetch(server.url("file")).empty());
}

}  // namespace
