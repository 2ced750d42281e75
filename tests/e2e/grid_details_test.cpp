// The grid, the details and the on-air mark through the probe, against three
// roots: the sample server (its players' JSON), tvguide-epgd serving a feed
// with descriptions and a gap, and a root of day pages alone.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "probe_runner.h"
#include "runtime/values/gbk.h"
#include "sample_epg.h"
#include "test_http_server.h"

// Named, not anonymous: a unity build puts this file with others that
// have helpers of the same names.
namespace grid_details_test {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kNow = "2026-12-09T20:15:00";  // a Wednesday, Beijing time
constexpr epg::Seconds kNowUnix = 1796818500;
const Environment kBeijing{{"TZ", "Asia/Shanghai"}};

std::string minuteText(epg::Seconds t) {
    const epg::LocalTime at = epg::toLocal(t, *epg::Zone::named("Asia/Shanghai"));
    char clock[32];
    std::snprintf(clock, sizeof clock, "T%02d:%02d", at.hour, at.minute);
    return epg::isoText(at.date) + clock;
}

std::string trimmedName(const catalogue::Row& row) {
    std::string name = rt::toUtf8(row.name);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

// The id the server's XMLTV gives a catalogue row, which its answers take
// as the channel: names are no key (a few are on two rows).
std::string xmltvId(std::string_view path) {
    std::string id;
    for (char c : path) id += c == '/' ? '.' : c == '_' ? '-' : c;
    return id.substr(0, id.size() - 1);
}

json probe(const std::string& root, std::vector<std::string> args) {
    std::vector<std::string> all = {"--epg-root", root, "--now", kNow};
    all.insert(all.end(), args.begin(), args.end());
    const ProbeRun run = runProbe(all, kBeijing);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.json();
}

// The grid of the open group, on the slider's day, holds each channel's
// programmes as the server lists them for that day: from its answers of the
// day and the day before, each to its own end.
TEST(GridThroughTheProbe, RowsAndBlocksAreTheServersListingsOfTheGroupsDay) {
    SampleEpg epg{kNowUnix};
    ASSERT_EQ(epg.error(), "");
    rt::PageFetcher fetcher;
    const int group = 2;
    const json grid =
        probe(epg.root(), {"open-group:" + std::to_string(group), "open-grid"}).at("grid");
    EXPECT_EQ(grid.at("day"), "2026-12-09");
    EXPECT_EQ(grid.at("now"), "2026-12-09T20:15");
    const auto& rows = catalogue::groups()[group].rows;
    ASSERT_EQ(grid.at("rows").size(), rows.size());
    const epg::Seconds from = kNowUnix - (20 * 60 + 15) * 60, to = from + 86400;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        json expected = json::array();
        for (const char* date : {"2026-12-08", "2026-12-09"}) {
            const rt::Bytes body =
                fetcher.fetch(epg.root() + "epginfo?ch=" + xmltvId(rows[r].path) + "&date=" + date);
            const json answer = json::parse(body.begin(), body.end());
            for (const json& p : answer.begin()->at("program"))
                if (p.at("et").get<epg::Seconds>() > from && p.at("st").get<epg::Seconds>() < to)
                    expected.push_back({{"start", minuteText(p.at("st"))},
                                        {"end", minuteText(p.at("et"))},
                                        {"title", p.at("t")}});
        }
        const json& row = grid.at("rows")[r];
        EXPECT_EQ(row.at("channel"), trimmedName(rows[r]));
        EXPECT_GT(expected.size(), 3u) << r;
        EXPECT_EQ(row.at("programmes"), expected) << r;
    }
}

// tvguide-epgd as a process, serving one XMLTV file on a fixed clock.
class Epgd {
  public:
    Epgd(const fs::path& xmltv) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 2);
            close(fds[0]);
            const std::string file = xmltv.string();
            const char* argv[] = {TVGUIDE_EPGD_PATH, "--listen",   "127.0.0.1:0", "--now", kNow,
                                  "--xmltv",         file.c_str(), nullptr};
            execv(TVGUIDE_EPGD_PATH, const_cast<char**>(argv));
            _exit(127);
        }
        close(fds[1]);
        err_ = fds[0];
    }
    ~Epgd() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (err_ >= 0) close(err_);
    }
    // The root it serves at once it says so; empty when it does not.
    std::string root() {
        const std::string said = "serving on http://127.0.0.1:";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (log_.find(said) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{err_, POLLIN, 0};
            if (poll(&p, 1, 50) != 1) continue;
            char buf[1024];
            const ssize_t n = read(err_, buf, sizeof buf);
            if (n <= 0) break;
            log_.append(buf, static_cast<std::size_t>(n));
        }
        const auto at = log_.find(said);
        if (at == std::string::npos) return {};
        return "http://127.0.0.1:" + std::to_string(std::atoi(log_.c_str() + at + said.size())) +
               "/";
    }

  private:
    pid_t pid_ = -1;
    int err_ = -1;
    std::string log_;
};

// A feed with descriptions and an hour without a programme, 20:00 to 21:00,
// around the probe's clock (20:15): details carry the feed's description,
// and in the gap nothing is on air, in the list's mark and in now/next.
TEST(GridThroughTheProbe, AFeedsDetailsAndGapReachTheListAndNowNext) {
    const fs::path xml =
        fs::temp_directory_path() / ("tvguide-gap-" + std::to_string(::getpid()) + ".xml");
    const auto programme = [](const char* channel, const char* start, const char* stop,
                              const char* title, const char* desc) {
        return std::string("<programme channel=\"") + channel + "\" start=\"20261209" + start +
               "00 +0800\" stop=\"20261209" + stop + "00 +0800\"><title>" + title +
               "</title><desc>" + desc + "</desc></programme>\n";
    };
    const char* cctv1 = "programys/TV_1/Channel_1/";
    const char* cctv2 = "programys/TV_1/Channel_3/";
    std::ofstream(xml) << "<tv>\n"
                       << programme(cctv1, "1800", "1900", "晚间新闻", "今日要闻")
                       << programme(cctv1, "1900", "2000", "新闻联播", "国内外大事")
                       << programme(cctv1, "2100", "2200", "晚间剧场", "第一集")
                       << programme(cctv2, "1900", "2100", "经济半小时", "财经") << "</tv>\n";
    Epgd epgd(xml);
    const std::string root = epgd.root();
    ASSERT_FALSE(root.empty());
    const json j = probe(root, {"--now-next", "details:1"});
    fs::remove(xml);

    EXPECT_EQ(
        j.at("program_list").at("rows"),
        json::parse(R"([[" 18:00", "晚间新闻"], [" 19:00", "新闻联播"], [" 21:00", "晚间剧场"]])"));
    EXPECT_EQ(j.at("program_list").at("now_row"), -1);
    const json& nowNext = j.at("channel_list").at("now_next");
    EXPECT_EQ(nowNext[0], (json{{"now", ""}, {"next", "21:00 晚间剧场"}}));
    EXPECT_EQ(nowNext[1], (json{{"now", "19:00 经济半小时"}, {"next", ""}}));
    EXPECT_EQ(j.at("details"), (json{{"channel", "CCTV-1（综合）"},
                                     {"start", "2026-12-09T19:00"},
                                     {"end", "2026-12-09T20:00"},
                                     {"title", "新闻联播"},
                                     {"desc", "国内外大事"}}));
}

// A root of day pages alone (no players' JSON): the grid still fills, each
// programme running to the next one's start.
TEST(GridThroughTheProbe, DayPagesAloneFillTheGridEndsFromTheNextStart) {
    SampleEpg epg{kNowUnix};
    ASSERT_EQ(epg.error(), "");
    testsupport::TestHttpServer pagesOnly;
    pagesOnly.fallback([&epg](const testsupport::Request& r) {
        if (!r.target.ends_with(".htm")) {
            testsupport::Response missing;
            missing.status = 404;
            missing.reason = "Not Found";
            return missing;
        }
        rt::PageFetcher fetcher;
        const rt::Bytes body = fetcher.fetch(epg.root() + r.target.substr(1));
        return testsupport::Response::ok(std::string(body.begin(), body.end()));
    });
    const json grid = probe(pagesOnly.root(), {"open-grid"}).at("grid");
    const auto& rows = catalogue::groups()[0].rows;
    ASSERT_EQ(grid.at("rows").size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto page = epg.rows(rows[r].path, 3);
        const json& blocks = grid.at("rows")[r].at("programmes");
        ASSERT_GE(blocks.size(), page.size()) << r;
        // Yesterday's last, running past midnight, may open the row.
        const std::size_t first = blocks.size() - page.size();
        for (std::size_t i = 0; i < page.size(); ++i) {
            const json& b = blocks[first + i];
            EXPECT_EQ(b.at("start"), "2026-12-09T" + rt::toUtf8(page[i].time.substr(1))) << r;
            EXPECT_EQ(b.at("title"), rt::toUtf8(page[i].title)) << r;
        }
        for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
            EXPECT_EQ(blocks[i].at("end"), blocks[i + 1].at("start")) << r << " " << i;
        EXPECT_EQ(blocks.back().at("end"), "2026-12-10T00:00") << r;
    }
    // Once the root has said it has no JSON it is asked for none: at most
    // the fetches already under way then (four at a time) asked.
    std::size_t asked = 0;
    for (const auto& request : pagesOnly.requests())
        asked += request.target.starts_with("/epginfo");
    EXPECT_GE(asked, 1u);
    EXPECT_LE(asked, 4u);
}

}  // namespace grid_details_test
