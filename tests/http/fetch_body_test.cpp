// Bodies as servers send them: any status, any framing, broken, stalled, huge.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/http/page_fetcher.h"
#include "runtime/values/allocation_failure.h"
#include "tests/support/body_text.h"
#include "tests/support/process_memory.h"
#include "tests/support/sanitizers.h"
#include "tests/support/test_http_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::pattern;
using testsupport::Response;
using testsupport::str;
using testsupport::TestHttpServer;
using Framing = Response::Framing;

TEST(FetchBody, AnyStatusReturnsItsBody) {
    TestHttpServer server;
    server.route("/404", Response::ok("<html>no such day</html>").withStatus(404, "Not Found"));
    server.route("/500", Response::ok("broken").withStatus(500, "Internal Server Error"));
    server.route("/204", Response::ok("").withStatus(204, "No Content"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("404"))), "<html>no such day</html>");
    EXPECT_EQ(str(fetcher.fetch(server.url("500"))), "broken");
    EXPECT_TRUE(fetcher.fetch(server.url("204")).empty());
}

TEST(FetchBody, EveryFramingGivesTheWholeBody) {
    TestHttpServer server;
    const std::string page = pattern(50'000);
    server.route("/length", Response::ok(page));
    server.route("/close", Response::ok(page).withFraming(Framing::CloseDelimited));
    Response chunked = Response::ok(page).withFraming(Framing::Chunked);
    chunked.chunkSize = 777;
    server.route("/chunked", chunked);
    server.route("/zero", Response::ok("").withHeader("Content-Length", "0"));
    server.route("/empty-close", Response::ok("").withFraming(Framing::CloseDelimited));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("length"))), page);
    EXPECT_EQ(str(fetcher.fetch(server.url("close"))), page);
    EXPECT_EQ(str(fetcher.fetch(server.url("chunked"))), page);
    EXPECT_TRUE(fetcher.fetch(server.url("zero")).empty());
    EXPECT_TRUE(fetcher.fetch(server.url("empty-close")).empty());
}

TEST(FetchBody, BytesArePassedThroughUntouched) {
    TestHttpServer server;
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);  // NULs and GBK lead bytes
    server.route("/raw", Response::ok(bytes, "text/html; charset=gb2312"));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("raw"))), bytes);
}

TEST(FetchBody, DroppedConnectionKeepsWhatArrived) {
    TestHttpServer server;
    const std::string page = pattern(30'000);
    server.route("/length", Response::ok(page).droppingAfter(12'345));
    server.route("/close",
                 Response::ok(page).withFraming(Framing::CloseDelimited).droppingAfter(12'345));
    server.route("/chunked",
                 Response::ok(page).withFraming(Framing::Chunked).droppingAfter(12'345));
    server.route("/head-only", Response::ok(page).droppingAfter(0));
    rt::PageFetcher fetcher;
    EXPECT_EQ(str(fetcher.fetch(server.url("length"))), page.substr(0, 12'345));
    EXPECT_EQ(str(fetcher.fetch(server.url("close"))), page.substr(0, 12'345));
    EXPECT_EQ(str(fetcher.fetch(server.url("chunked"))), page.substr(0, 12'345));
    EXPECT_TRUE(fetcher.fetch(server.url("head-only")).empty());
}

TEST(FetchBody, StalledTransferEndsKeepingWhatArrived) {
    TestHttpServer server;
    const std::string page = pattern(5'000);
    server.route("/mid", Response::ok(page).stallAfter(1'000, 60s));
    server.route("/before", Response::ok(page).stallBeforeResponse(60s));
    server.route("/brief", Response::ok(page).stallAfter(1'000, 100ms));
    rt::FetchLimits limits;
    limits.stallTimeout = 800ms;
    rt::PageFetcher fetcher(limits);
    EXPECT_EQ(str(fetcher.fetch(server.url("mid"))), page.substr(0, 1'000));
    EXPECT_TRUE(fetcher.fetch(server.url("before")).empty());
    EXPECT_EQ(str(fetcher.fetch(server.url("brief"))), page);  // a pause shorter than the limit
}

TEST(FetchBody, BodyIsCutAtTheCap) {
    TestHttpServer server;
    server.route("/big", Response::generated(100'000, "0123456789"));
    server.route("/exact", Response::generated(4'096, "0123456789"));
    server.route("/big-chunked",
                 Response::generated(100'000, "0123456789").withFraming(Framing::Chunked));
    rt::FetchLimits limits;
    limits.maxBodyBytes = 4'096;
    rt::PageFetcher fetcher(limits);
    const std::string first = str(fetcher.fetch(server.url("big")));
    ASSERT_EQ(first.size(), 4'096u);
    EXPECT_EQ(first.substr(4'090), "012345");
    EXPECT_EQ(str(fetcher.fetch(server.url("exact"))).size(), 4'096u);
    EXPECT_EQ(str(fetcher.fetch(server.url("big-chunked"))), first);
}

TEST(FetchBody, DefaultCapIs32MiB) {
    TestHttpServer server;
    constexpr std::uint64_t kCap = 32u << 20;
    server.route("/huge", Response::generated(kCap + 100'000, "abcdefgh"));
    rt::PageFetcher fetcher;
    rt::Bytes body = fetcher.fetch(server.url("huge"));
    ASSERT_EQ(body.size(), kCap);
    EXPECT_EQ(body[kCap - 1], 'h');
    EXPECT_EQ(body[kCap - 8], 'a');
}

using test_support::kAddressSanitizer;
using test_support::kThreadSanitizer;

using test_support::mappedBytes;

// A body that does not fit the memory left ends the fetch with the size it
// needed, thrown only once libcurl is out of the way.
TEST(FetchBody, ABodyThatCannotBeHeldIsAnAllocationFailureWithItsSize) {
    if (kAddressSanitizer || kThreadSanitizer)
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit under the limit";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(([] {
                    TestHttpServer server;
                    server.route("/huge", Response::generated(30u << 20, "abcdefgh"));
                    rt::PageFetcher fetcher;
                    // 48 MB more: the server's thread and a 16 MB body fit, the
                    // step to a 32 MB buffer does not.
                    const rlim_t limit = mappedBytes() + (48u << 20);
                    const rlimit rl{limit, limit};
                    if (::setrlimit(RLIMIT_AS, &rl) != 0) std::_Exit(2);
                    try {
                        fetcher.fetchPage(server.url("huge"));
                    } catch (const rt::AllocationFailure& failure) {
                        std::fprintf(stderr, "could not hold %zu bytes\n", failure.bytes());
                        std::_Exit(failure.bytes() > (1u << 20) ? 3 : 4);
                    }
                    std::_Exit(0);
                }()),
                ::testing::ExitedWithCode(3), "could not hold [0-9]+ bytes");
}

}  // namespace
