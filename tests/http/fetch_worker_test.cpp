// Fetches on the worker thread: a cancel ends a fetch that hangs at once, the
// thread that waits is woken when a fetch ends, and an allocation that fails
// on the worker reaches the thread that takes the result.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "runtime/backend/headless/headless_backend.h"
#include "runtime/http/fetch_worker.h"
#include "runtime/values/allocation_failure.h"
#include "tests/support/gate.h"
#include "tests/support/process_memory.h"
#include "tests/support/sanitizers.h"
#include "tests/support/test_http_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Gate;
using testsupport::Response;
using testsupport::TestHttpServer;

// Waits for a job the way the guide does: through a headless backend that the
// worker wakes when the job ends.
bool waitFor(rt::HeadlessBackend& backend, const rt::FetchWorker::Job& job) {
    return backend.waitForWork([&] { return job.finished(); });
}

TEST(FetchWorker, ACancelEndsTheFetchUnderWayAndTheQueuedOnesAtOnce) {
    TestHttpServer server;
    Gate never;  // opened only as the test ends
    server.fallback([&](const testsupport::Request& r) {
        if (r.target == "/hang") never.pass();
        return Response::ok("page " + r.target);
    });
    rt::HeadlessBackend backend;
    // Time-outs far beyond any test run: only the cancel can end the fetch.
    rt::FetchLimits patient;
    patient.connectTimeout = patient.stallTimeout = patient.deadline = 1h;
    rt::FetchWorker worker(patient);
    const auto wake = [&] { backend.wake(); };
    const auto hanging = worker.start(server.url("hang"), wake);
    const auto queued = worker.start(server.url("queued"), wake);
    const auto later = worker.start(server.url("later"), wake);
    while (server.requestCount() == 0) std::this_thread::sleep_for(1ms);
    queued->cancel();
    hanging->cancel();

    ASSERT_TRUE(waitFor(backend, *hanging));
    EXPECT_EQ(hanging->take().outcome, rt::FetchOutcome::Cancelled);
    ASSERT_TRUE(waitFor(backend, *queued));
    const rt::FetchResult notBegun = queued->take();
    EXPECT_EQ(notBegun.outcome, rt::FetchOutcome::Cancelled);
    EXPECT_TRUE(notBegun.body.empty());
    // The worker goes on with what comes after, through the same rules.
    ASSERT_TRUE(waitFor(backend, *later));
    const rt::FetchResult page = later->take();
    EXPECT_EQ(page.outcome, rt::FetchOutcome::Complete);
    EXPECT_EQ(std::string(page.body.begin(), page.body.end()), "page /later");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/later");
}

TEST(FetchWorker, GoingAwayEndsAHangingFetch) {
    TestHttpServer server;
    Gate never;
    server.fallback([&](const testsupport::Request&) {
        never.pass();
        return Response::ok("late");
    });
    std::shared_ptr<rt::FetchWorker::Job> job;
    {
        rt::FetchLimits patient;
        patient.connectTimeout = patient.stallTimeout = patient.deadline = 1h;
        rt::FetchWorker worker(patient);
        job = worker.start(server.url("W1.htm"));
        while (server.requestCount() == 0) std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(job->finished());
    EXPECT_EQ(job->take().outcome, rt::FetchOutcome::Cancelled);
}

using test_support::kAddressSanitizer;
using test_support::kThreadSanitizer;

using test_support::mappedBytes;

TEST(FetchWorker, ABodyThatCannotBeHeldIsReportedToTheThreadThatTakesIt) {
    if (kAddressSanitizer || kThreadSanitizer)
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit under the limit";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(([] {
                    TestHttpServer server;
                    server.route("/small", Response::ok("x"));
                    server.route("/huge", Response::generated(100u << 20, "abcdefgh"));
                    rt::HeadlessBackend backend;
                    rt::FetchLimits roomy;
                    roomy.maxBodyBytes = 128u << 20;
                    rt::FetchWorker worker(roomy);
                    // The worker's thread exists before the limit; 40 MB more
                    // cannot hold a 100 MB body however the heap lies.
                    auto first = worker.start(server.url("small"), [&] { backend.wake(); });
                    waitFor(backend, *first);
                    const rlim_t limit = mappedBytes() + (40u << 20);
                    const rlimit rl{limit, limit};
                    if (::setrlimit(RLIMIT_AS, &rl) != 0) std::_Exit(2);
                    auto huge = worker.start(server.url("huge"), [&] { backend.wake(); });
                    waitFor(backend, *huge);
                    try {
                        huge->take();
                    } catch (const rt::AllocationFailure& failure) {
                        std::fprintf(stderr, "could not hold %zu bytes\n", failure.bytes());
                        std::_Exit(failure.bytes() > (1u << 20) ? 3 : 4);
                    }
                    std::_Exit(0);
                }()),
                ::testing::ExitedWithCode(3), "could not hold [0-9]+ bytes");
}

}  // namespace
