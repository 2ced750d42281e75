// The proxy settings of the environment, as a user behind a proxy has them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "runtime/http/page_fetcher.h"
#include "tests/support/test_http_server.h"

namespace {

using testsupport::Response;
using testsupport::TestHttpServer;

const char* const kProxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                       "HTTPS_PROXY", "all_proxy",  "ALL_PROXY",
                                       "no_proxy",    "NO_PROXY",   "REQUEST_METHOD"};

// Sets exactly the given variables of kProxyVariables for its lifetime.
class ProxyEnvironment {
  public:
    explicit ProxyEnvironment(const std::vector<std::pair<std::string, std::string>>& set) {
        for (const char* name : kProxyVariables) ::unsetenv(name);
        for (const auto& [name, value] : set) ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~ProxyEnvironment() {
        for (const char* name : kProxyVariables) ::unsetenv(name);
    }
};

TEST(FetchProxy, TheEnvironmentChoosesTheProxy) {
    TestHttpServer proxy;
    proxy.fallback([](const testsupport::Request&) { return Response::ok("via proxy"); });
    const std::string p = proxy.root();
    const std::string page = "http://epg.example.invalid/W1.htm";
    struct Case {
        std::vector<std::pair<std::string, std::string>> env;
        std::string url;
        bool proxied;
    };
    const Case cases[] = {
        {{}, page, false},
        {{{"http_proxy", p}}, page, true},
        {{{"HTTP_PROXY", p}}, page, true},
        {{{"HTTP_PROXY", p}, {"REQUEST_METHOD", "GET"}}, page, false},  // a CGI request
        {{{"http_proxy", ""}, {"HTTP_PROXY", p}}, page, false},         // lower case wins
        {{{"all_proxy", p}}, page, true},
        {{{"ALL_PROXY", p}}, page, true},
        {{{"http_proxy", p}, {"no_proxy", "example.invalid"}}, page, false},
        {{{"HTTP_PROXY", p}, {"NO_PROXY", "epg.example.invalid"}}, page, false},
        {{{"http_proxy", p}, {"no_proxy", "other.invalid"}}, page, true},
        {{{"https_proxy", p}}, "https://epg.example.invalid/W1.htm", true},
        {{{"HTTPS_PROXY", p}}, "https://epg.example.invalid/W1.htm", true},
        {{{"http_proxy", p}}, "https://epg.example.invalid/W1.htm", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        proxy.clearRequests();
        rt::FetchResult result;
        {
            ProxyEnvironment env(c.env);
            rt::PageFetcher fetcher;
            result = fetcher.fetchPage(c.url);
        }
        const auto seen = proxy.requests();
        ASSERT_EQ(seen.size(), c.proxied ? 1u : 0u) << "case " << i;
        if (!c.proxied) {
            EXPECT_EQ(result.outcome, rt::FetchOutcome::NotFetched) << "case " << i;
        } else if (c.url.starts_with("http:")) {
            EXPECT_EQ(seen[0].requestLine, "GET " + page + " HTTP/1.0") << "case " << i;
            EXPECT_EQ(std::string(result.body.begin(), result.body.end()), "via proxy");
            EXPECT_EQ(result.outcome, rt::FetchOutcome::Complete) << "case " << i;
        } else {
            EXPECT_EQ(seen[0].method, "CONNECT") << "case " << i;
            EXPECT_EQ(seen[0].target, "epg.example.invalid:443") << "case " << i;
        }
    }
}

}  // namespace
