// tvguide-epgd as a process with URL sources: it listens before it fetches
// and serves its last good copy while a feed hangs, a SIGHUP storm is one
// reload or two, SIGTERM ends it while a fetch hangs and leaves no partial
// copy, and inputs that never end are refused at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "gzip_text.h"
#include "server_test_util.h"
#include "test_http_server.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Response;
using namespace std::chrono_literals;

// The server as a child process, its stderr collected.
class Epgd {
  public:
    explicit Epgd(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 2);
            close(fds[0]);
            std::vector<char*> argv{const_cast<char*>(EPGD_PATH)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(EPGD_PATH, argv.data());
            _exit(127);
        }
        close(fds[1]);
        err_ = fds[0];
    }
    ~Epgd() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (err_ >= 0) close(err_);
    }
    // Reads stderr until it holds `what` or `limit` passes.
    bool waitFor(const std::string& what, std::chrono::milliseconds limit = 10s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (log_.find(what) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{err_, POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                char buf[1024];
                ssize_t n = read(err_, buf, sizeof buf);
                if (n > 0) log_.append(buf, static_cast<std::size_t>(n));
                if (n == 0) break;
            }
        }
        return log_.find(what) != std::string::npos;
    }
    void signal(int sig) { kill(pid_, sig); }
    // The exit status, or nothing when it has not ended within `limit`.
    std::optional<int> waitExit(std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (!status_ && std::chrono::steady_clock::now() < end) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = st;
            else
                std::this_thread::sleep_for(20ms);
        }
        waitFor("\x01", 100ms);  // whatever it said last
        return status_;
    }
    const std::string& log() const { return log_; }

  private:
    pid_t pid_ = -1;
    int err_ = -1;
    std::string log_;
    std::optional<int> status_;
};

// The port a server started with --listen 127.0.0.1:0 says it serves on.
std::uint16_t servingPort(const std::string& log) {
    const std::string said = "serving on http://127.0.0.1:";
    auto at = log.find(said);
    return at == std::string::npos
               ? 0
               : static_cast<std::uint16_t>(std::atoi(log.c_str() + at + said.size()));
}

std::string httpGet(std::uint16_t port, const std::string& target) {
    RawClient c(port);
    c.send("GET " + target + " HTTP/1.0\r\n\r\n");
    std::string out;
    c.readUntilClosed(out);
    return out;
}

bool anyPartialCopy(const fs::path& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().find(".part-") != std::string::npos) return true;
    return false;
}

class EpgdProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        useZone(kBeijing);
        state_ = fs::temp_directory_path() /
                 ("epgd_process_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(state_);
        body_ = gzipText(
            "<tv><programme channel=\"programys/TV_1/Channel_1/\" start=\"20261209190000 +0800\">"
            "<title>Evening</title></programme></tv>");
    }
    void TearDown() override { fs::remove_all(state_); }
    std::vector<std::string> args(const std::string& url) {
        return {"--listen", "127.0.0.1:0", "--now", "2026-12-09T20:00:00", "--xmltv",
                url,        "--refresh",   "0",     "--state-dir",         state_.string()};
    }
    fs::path state_;
    std::string body_;
    testsupport::TestHttpServer server_;
};

TEST_F(EpgdProcessTest, HangupStormIsOneReloadAndTermEndsAHangingFetch) {
    server_.route("/e.xml.gz", Response::ok(body_));
    Epgd epgd(args(server_.url("/e.xml.gz")));
    ASSERT_TRUE(epgd.waitFor("fetched: 1 programmes")) << epgd.log();

    // Every reload now takes a second; fifty SIGHUPs within it.
    server_.route("/e.xml.gz", Response::ok(body_).stallBeforeResponse(1000ms));
    server_.clearRequests();
    for (int i = 0; i < 50; ++i) epgd.signal(SIGHUP);
    EXPECT_TRUE(epgd.waitFor("reloaded")) << epgd.log();
    std::this_thread::sleep_for(2500ms);  // room for any reload still to come
    EXPECT_GE(server_.requestCount(), 1u);
    EXPECT_LE(server_.requestCount(), 2u);

    // A fetch that would hang for minutes; SIGTERM while it does.
    server_.route("/e.xml.gz", Response::ok(body_).stallBeforeResponse(std::chrono::minutes(5)));
    server_.clearRequests();
    epgd.signal(SIGHUP);
    for (int i = 0; i < 200 && server_.requestCount() == 0; ++i) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(server_.requestCount(), 1u);
    epgd.signal(SIGTERM);
    auto status = epgd.waitExit(30s);  // a guard against a hang, not a timing
    ASSERT_TRUE(status) << epgd.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << epgd.log();
    EXPECT_NE(epgd.log().find("stopped"), std::string::npos);
}

// A feed that hangs holds up nothing: the server listens at once on its
// last good copy, says in /healthz that it is serving that copy and fetching,
// and gives the fetch up at --fetch-timeout, naming the source.
TEST_F(EpgdProcessTest, ListensAtOnceAndServesItsCopyWhileTheFeedHangs) {
    server_.route("/e.xml.gz", Response::ok(body_));
    {
        Epgd first(args(server_.url("/e.xml.gz")));
        ASSERT_TRUE(first.waitFor("fetched: 1 programmes")) << first.log();
        first.signal(SIGTERM);
        ASSERT_TRUE(first.waitExit(30s));
    }
    server_.route("/e.xml.gz", Response::ok(body_).stallBeforeResponse(std::chrono::minutes(5)));
    auto a = args(server_.url("/e.xml.gz"));
    a.insert(a.end(), {"--fetch-timeout", "6s"});
    server_.clearRequests();
    Epgd epgd(a);
    // Well before the 60 s a silent feed is waited for.
    ASSERT_TRUE(epgd.waitFor("serving on", 10s)) << epgd.log();
    const std::uint16_t port = servingPort(epgd.log());
    ASSERT_NE(port, 0);
    for (int i = 0; i < 250 && server_.requestCount() == 0; ++i) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(server_.requestCount(), 1u);  // the fetch is under way
    std::string page = httpGet(port, "/programys/TV_1/Channel_1/W3.htm");
    EXPECT_NE(page.find("Evening"), std::string::npos) << page;
    std::string health = httpGet(port, "/healthz");
    EXPECT_EQ(statusOf(health), 200);
    auto j = nlohmann::json::parse(health.substr(health.find("\r\n\r\n") + 4));
    EXPECT_EQ(j["status"], "degraded");
    EXPECT_EQ(j["sources"][0]["state"], "stale");
    EXPECT_FALSE(j["sources"][0]["fetching_since"].is_null()) << j.dump();
    EXPECT_TRUE(epgd.waitFor(server_.url("/e.xml.gz") +
                             ": cannot fetch (timed out after 6 s (--fetch-timeout), with 0 bytes "
                             "of the body received); serving its last good copy"))
        << epgd.log();
    epgd.signal(SIGTERM);
    EXPECT_TRUE(epgd.waitExit(30s));
}

// Told to stop while a body is on its way into the state directory, the
// server leaves no partial file there.
TEST_F(EpgdProcessTest, TermLeavesNoPartialCopy) {
    server_.route("/e.xml.gz", Response::generated(64 << 20, "<!-- filler -->\n")
                                   .stallAfter(1 << 20, std::chrono::minutes(5)));
    Epgd epgd(args(server_.url("/e.xml.gz")));
    for (int i = 0; i < 500 && !anyPartialCopy(state_); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(anyPartialCopy(state_)) << epgd.log();
    epgd.signal(SIGTERM);
    auto status = epgd.waitExit(30s);  // a guard against a hang, not a timing
    ASSERT_TRUE(status) << epgd.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << epgd.log();
    EXPECT_FALSE(anyPartialCopy(state_));
}

TEST_F(EpgdProcessTest, StartsWithoutItsSourceAndSaysSo) {
    server_.route("/e.xml.gz", Response::ok("").withStatus(500, "Internal Server Error"));
    Epgd epgd(args(server_.url("/e.xml.gz")));
    ASSERT_TRUE(epgd.waitFor("serving on")) << epgd.log();
    EXPECT_TRUE(
        epgd.waitFor("(HTTP/1.1 500 Internal Server Error); no last good copy: its "
                     "channels stay empty until a refresh"))
        << epgd.log();
    // Serving empty pages meanwhile, and no balancer should send viewers here.
    EXPECT_EQ(statusOf(httpGet(servingPort(epgd.log()), "/healthz")), 503);
    // The next reload brings them.
    server_.route("/e.xml.gz", Response::ok(body_));
    epgd.signal(SIGHUP);
    EXPECT_TRUE(epgd.waitFor("reloaded: 1 programmes")) << epgd.log();
    epgd.signal(SIGTERM);
    EXPECT_TRUE(epgd.waitExit(30s));
}

TEST_F(EpgdProcessTest, EndlessInputsAreRefusedAtOnce) {
    fs::create_directories(state_);
    const fs::path fifo = state_ / "fifo", ok = state_ / "ok.xml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    { std::ofstream(ok) << "<tv/>\n"; }
    struct Case {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--xmltv", "/dev/zero"}, "/dev/zero: is a character device, not a regular file"},
        {{"--xmltv", ok.string(), "--map", "/dev/zero"}, "/dev/zero: is a character device"},
        {{"--xmltv", fifo.string()}, fifo.string() + ": is a FIFO, not a regular file"},
        {{"--xmltv", state_.string()}, ": is a directory, not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> a = c.args;
        a.insert(a.end(), {"--export", (state_ / "out").string()});
        Epgd epgd(a);
        auto status = epgd.waitExit(30s);
        ASSERT_TRUE(status) << c.said;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << c.said;
        EXPECT_NE(epgd.log().find(c.said), std::string::npos) << epgd.log();
    }
}

}  // namespace
