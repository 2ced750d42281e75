// The guide tells the truth about its downloads: failures say so, a proxy of
// the environment is used, an offline copy stands in for a failed download,
// and the programme on air is marked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "guide_server.h"
#include "probe_runner.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using testsupport::Response;

constexpr const char* kMondayPage = "/programys/TV_1/Channel_1/W1.htm";
// A computer on Beijing time, where the guide's clock and the pages' agree.
const Environment kBeijing{{"TZ", "Asia/Shanghai"}};

std::vector<std::string> titles(const nlohmann::json& j) {
    std::vector<std::string> out;
    for (const auto& r : j.at("program_list").at("rows")) out.push_back(r.at(1));
    return out;
}

TEST(FailedDownload, TheStatusSaysSoAndTheListShowsWhatCame) {
    const std::string page = namedPage(kMondayPage);
    struct Case {
        const char* what;
        std::optional<Response> monday;  // nothing: no server at all
        std::size_t rows;
    };
    const Case cases[] = {
        {"refused connection", std::nullopt, 0},
        {"time-out", Response::ok(page).stallBeforeResponse(60s), 0},
        {"body cut short", Response::ok(page).droppingAfter(page.size() - 40), 1},
        {"one byte a second", Response::ok(page).trickling(1s), 0},
        {"404", Response::ok("<html>Not Found</html>").withStatus(404, "Not Found"), 0},
    };
    for (const Case& c : cases) {
        GuideServer epg;
        std::string root = epg.root();
        if (c.monday) {
            epg.server.route(kMondayPage, *c.monday);
        } else {
            testsupport::TestHttpServer gone;
            root = gone.root();
        }
        const ProbeRun run = runProbe(
            {"--epg-root", root, "--now", onDay(1), "--fetch-deadline", "2", "--cache-dir",
             (fs::temp_directory_path() / "tvguide-no-such-copies" / std::to_string(::getpid()))
                 .string()});
        ASSERT_EQ(run.exitCode, 0) << c.what << "\n" << run.err;
        const auto j = run.json();
        EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载失败!") << c.what;
        EXPECT_EQ(j.at("program_list").at("rows").size(), c.rows) << c.what;
    }
    fs::remove_all(fs::temp_directory_path() / "tvguide-no-such-copies");
}

// The proxy a user behind one has set: every day page goes through it.
TEST(SystemProxy, TheProxyOfTheEnvironmentSeesEveryRequest) {
    testsupport::TestHttpServer proxy;
    proxy.fallback([](const testsupport::Request& r) {
        const std::string path = r.target.substr(r.target.find('/', r.target.find("//") + 2));
        return Response::ok(namedPage(path));
    });
    ::setenv("http_proxy", proxy.root().c_str(), 1);
    const ProbeRun run = runProbe({"--epg-root", "http://epg.example.invalid/", "--now", onDay(1)});
    ::unsetenv("http_proxy");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto seen = proxy.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].requestLine,
              "GET http://epg.example.invalid/programys/TV_1/Channel_1/W7.htm HTTP/1.0");
    EXPECT_EQ(seen[1].requestLine,
              "GET http://epg.example.invalid/programys/TV_1/Channel_1/W1.htm HTTP/1.0");
    const auto j = run.json();
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载完毕!");
    EXPECT_EQ(titles(j).at(0), std::string(kMondayPage) + " a");
}

TEST(OfflineCopy, ShownWithItsTimeWhenTheServerIsGoneAndIgnoredWhenDamaged) {
    const fs::path copies =
        fs::temp_directory_path() / ("tvguide-offline-" + std::to_string(::getpid()));
    fs::remove_all(copies);
    std::string root;
    {
        GuideServer epg;
        root = epg.root();
        const auto j =
            runProbe({"--epg-root", root, "--now", onDay(1), "--cache-dir", copies.string()},
                     kBeijing)
                .json();
        EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载完毕!");
    }
    // The server is gone; later that Monday the copies stand in.
    ProbeRun run = runProbe(
        {"--epg-root", root, "--now", "2008-10-06T18:45:00", "--cache-dir", copies.string()},
        kBeijing);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto j = run.json();
    EXPECT_EQ(j.at("status").at(0).get<std::string>(),
              "当前状态: 离线, 显示 10月6日 09:30 下载的节目表");
    EXPECT_EQ(titles(j), (std::vector<std::string>{std::string(kMondayPage) + " a",
                                                   std::string(kMondayPage) + " b "}));
    EXPECT_EQ(j.at("program_list").at("now_row").get<int>(), 0);

    // A copy damaged on disk is no copy, and no reason to stop.
    for (const auto& file : fs::directory_iterator(copies)) {
        std::fstream f(file.path(), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(-5, std::ios::end);
        f.put('#');
    }
    run = runProbe(
        {"--epg-root", root, "--now", "2008-10-06T18:45:00", "--cache-dir", copies.string()},
        kBeijing);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    j = run.json();
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载失败!");
    EXPECT_TRUE(titles(j).empty());
    fs::remove_all(copies);
}

// A copy stands in only during the week it was fetched in: the pages are a
// week's, and last week's Sunday is not this week's.
TEST(OfflineCopy, OnlyACopyFetchedThisWeekStandsIn) {
    const fs::path copies =
        fs::temp_directory_path() / ("tvguide-week-" + std::to_string(::getpid()));
    fs::remove_all(copies);
    std::string root;
    {
        GuideServer epg;
        root = epg.root();
        // Sunday's and Monday's pages, fetched on Monday 6 October.
        ASSERT_EQ(runProbe({"--epg-root", root, "--now", onDay(1), "--cache-dir", copies.string()})
                      .exitCode,
                  0);
    }
    struct Case {
        const char* now;  // the server is gone
        std::string status;
    };
    const Case cases[] = {
        {"2008-10-06T09:31:00", "当前状态: 离线, 显示 10月6日 09:30 下载的节目表"},
        {"2008-10-12T23:59:00", "当前状态: 离线, 显示 10月6日 09:30 下载的节目表"},  // Sunday
        {"2008-10-13T00:00:00", "当前状态: 下载失败!"},  // the next Monday
        {"2008-10-15T12:00:00", "当前状态: 下载失败!"},
        {"2008-10-05T12:00:00", "当前状态: 下载失败!"},  // the week before (a clock set back)
    };
    for (const Case& c : cases) {
        const ProbeRun run =
            runProbe({"--epg-root", root, "--now", c.now, "--cache-dir", copies.string()});
        ASSERT_EQ(run.exitCode, 0) << c.now << "\n" << run.err;
        const auto j = run.json();
        EXPECT_EQ(j.at("status").at(0).get<std::string>(), c.status) << c.now;
        EXPECT_EQ(titles(j).empty(), c.status == "当前状态: 下载失败!") << c.now;
    }
    fs::remove_all(copies);
}

// The Monday page has rows at 08:00 and 20:00 on the pages' clock, Beijing
// time unless --page-tz says otherwise; the start-up takes a second of the
// guide's clock. The computer's zone (TZ) decides which day the start-up
// loads and what --now means.
TEST(OnAir, TheRowOnAirByThePagesClockOnAnyComputer) {
    GuideServer epg;
    struct Case {
        const char* tz;
        const char* now;  // the computer's local time
        std::vector<std::string> more;
        int row;
    };
    const Case cases[] = {
        {"Asia/Shanghai", "2008-10-06T07:59:00", {}, -1},  // just before the first row
        {"Asia/Shanghai", "2008-10-06T08:00:00", {}, 0},
        {"Asia/Shanghai", "2008-10-06T19:58:00", {}, 0},
        {"Asia/Shanghai", "2008-10-06T20:00:00", {}, 1},
        {"Asia/Shanghai", "2008-10-06T23:59:00", {}, 1},
        {"Asia/Shanghai", "2008-10-06T12:00:00", {"click-label:3"}, -1},  // another day's page
        {"Asia/Shanghai", "2008-10-07T00:00:30", {"click-label:1"}, -1},  // past midnight
        {"Asia/Shanghai", "2008-10-07T00:30:00", {}, -1},  // today's page, nothing begun yet
        {"UTC", "2008-10-06T12:15:00", {}, 1},             // 20:15 in Beijing
        {"UTC", "2008-10-06T12:15:00", {"--page-tz", "UTC"}, 0},
        {"America/New_York", "2008-10-06T07:30:00", {}, 0},  // 19:30 in Beijing
        // Sunday evening in New York is Monday morning in Beijing: the
        // start-up shows Sunday's page (the computer's day), Monday's is on.
        {"America/New_York", "2008-10-05T20:30:00", {}, -1},
        {"America/New_York", "2008-10-05T20:30:00", {"click-label:1"}, 0},
        {"America/New_York", "2008-10-06T12:00:30", {"click-label:1"}, -1},  // past midnight there
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--epg-root", epg.root(), "--now", c.now};
        args.insert(args.end(), c.more.begin(), c.more.end());
        const ProbeRun run = runProbe(args, {{"TZ", c.tz}});
        const std::string what = std::string(c.tz) + " " + c.now;
        ASSERT_EQ(run.exitCode, 0) << what << "\n" << run.err;
        EXPECT_EQ(run.json().at("program_list").at("now_row").get<int>(), c.row) << what;
    }
}

}  // namespace
