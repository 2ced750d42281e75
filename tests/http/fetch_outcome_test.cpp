// How a fetch ended, told beside the body, which stays what the body rules say.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "runtime/http/page_fetcher.h"
#include "tests/support/body_text.h"
#include "tests/support/test_http_server.h"

namespace {

using namespace std::chrono_literals;
using rt::FetchOutcome;
using testsupport::pattern;
using testsupport::Response;
using testsupport::TestHttpServer;
using Framing = Response::Framing;

TEST(FetchOutcome, EachEndingIsToldApart) {
    TestHttpServer server;
    const std::string page = pattern(20'000);
    server.route("/ok", Response::ok(page));
    server.route("/close", Response::ok(page).withFraming(Framing::CloseDelimited));
    server.route("/chunked", Response::ok(page).withFraming(Framing::Chunked));
    server.route("/404", Response::ok("<html>no such day</html>").withStatus(404, "Not Found"));
    server.route("/500", Response::ok("broken").withStatus(500, "Internal Server Error"));
    server.route("/redirected", Response::redirect("/ok"));
    server.route("/short", Response::ok(page).droppingAfter(5'000));
    server.route("/short-chunked",
                 Response::ok(page).withFraming(Framing::Chunked).droppingAfter(5'000));
    server.route("/reset",
                 Response::ok(page).withFraming(Framing::CloseDelimited).resettingAfter(5'000));
    server.route("/head-only", Response::ok(page).droppingAfter(0));
    server.route("/big", Response::generated(100'000, "0123456789"));
    server.route("/exact", Response::generated(50'000, "0123456789"));
    server.route("/stalled", Response::ok(page).stallAfter(1'000, 60s));
    server.route("/silent", Response::ok(page).stallBeforeResponse(60s));

    rt::FetchLimits limits;
    limits.maxBodyBytes = 50'000;
    limits.stallTimeout = 500ms;
    rt::PageFetcher fetcher(limits);
    struct Case {
        const char* path;
        FetchOutcome outcome;
        std::size_t bodyBytes;
        long status;
    };
    const Case cases[] = {
        {"ok", FetchOutcome::Complete, 20'000, 200},
        {"close", FetchOutcome::Complete, 20'000, 200},
        {"chunked", FetchOutcome::Complete, 20'000, 200},
        {"404", FetchOutcome::HttpError, 24, 404},
        {"500", FetchOutcome::HttpError, 6, 500},
        {"redirected", FetchOutcome::Complete, 20'000, 200},
        {"short", FetchOutcome::CutShort, 5'000, 200},
        {"short-chunked", FetchOutcome::CutShort, 5'000, 200},
        {"reset", FetchOutcome::CutShort, 5'000, 200},
        {"head-only", FetchOutcome::CutShort, 0, 200},
        {"big", FetchOutcome::TooLarge, 50'000, 200},
        {"exact", FetchOutcome::Complete, 50'000, 200},
        {"stalled", FetchOutcome::TimedOut, 1'000, 200},
        {"silent", FetchOutcome::TimedOut, 0, 0},
    };
    for (const Case& c : cases) {
        const rt::FetchResult r = fetcher.fetchPage(server.url(c.path));
        EXPECT_EQ(r.outcome, c.outcome) << c.path;
        EXPECT_EQ(r.body.size(), c.bodyBytes) << c.path;
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(r.complete(), c.outcome == FetchOutcome::Complete) << c.path;
    }
}

TEST(FetchOutcome, NoServerIsNotFetched) {
    std::string url;
    {
        TestHttpServer gone;
        url = gone.url("W1.htm");
    }
    rt::PageFetcher fetcher;
    for (const std::string& u : {url, std::string("ftp://127.0.0.1/W1.htm"), std::string()}) {
        const rt::FetchResult r = fetcher.fetchPage(u);
        EXPECT_EQ(r.outcome, FetchOutcome::NotFetched) << u;
        EXPECT_TRUE(r.body.empty()) << u;
        EXPECT_EQ(r.status, 0) << u;
    }
}

// One byte a second never trips the stall watch; the deadline ends it, and
// the bytes that came are kept.
TEST(FetchOutcome, ATricklingServerIsEndedByTheDeadline) {
    TestHttpServer server;
    server.route("/W1.htm", Response::ok(pattern(1'000)).trickling(1s));
    rt::FetchLimits limits;
    limits.deadline = 2500ms;
    rt::PageFetcher fetcher(limits);
    const rt::FetchResult r = fetcher.fetchPage(server.url("W1.htm"));
    EXPECT_EQ(r.outcome, FetchOutcome::DeadlinePassed);
    EXPECT_FALSE(r.body.empty());
    EXPECT_LT(r.body.size(), 10u);
    EXPECT_EQ(std::string(r.body.begin(), r.body.end()), pattern(r.body.size()));
}

}  // namespace
