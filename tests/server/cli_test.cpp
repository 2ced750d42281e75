// tvguide-epgd as a program: exit codes and messages, export, the sample
// XMLTV round trip through files, feeds in the styles of the public Chinese
// ones, and reload on SIGHUP keeping old listings when the new ones are
// broken.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/schedule/schedule_parse.h"
#include "runtime/values/gbk.h"
#include "server/model/channels.h"
#include "server/site/gbk_text.h"
#include "server/sources/sample_listings.h"
#include "server_test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Reads a child's stderr from `fd` into `log` until it holds `what` or a
// minute has passed: a server under the sanitizers on a busy machine can
// take many seconds to render its first week.
bool readUntil(int fd, std::string& log, const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (log.find(what) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) != 1) continue;
        char buf[1024];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            log.append(buf, static_cast<std::size_t>(n));
        else
            break;  // closed: it said all it will
    }
    return log.find(what) != std::string::npos;
}

struct Outcome {
    int exitCode = -1;
    std::string err;
};

// Runs the server with args (no shell), collecting stderr; stdout goes to
// `out` when given.
Outcome runEpgd(const std::vector<std::string>& args, const fs::path& out = {}) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], 2);
        close(pipeFd[0]);
        if (!out.empty()) {
            FILE* f = std::fopen(out.c_str(), "wb");
            if (!f) _exit(126);
            dup2(fileno(f), 1);
        }
        std::vector<char*> argv{const_cast<char*>(EPGD_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(EPGD_PATH, argv.data());
        _exit(127);
    }
    close(pipeFd[1]);
    Outcome r;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0)
        r.err.append(buf, static_cast<std::size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("epgd_cli_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // The server keeps Beijing time whatever TZ says, for this process
        // and the programs it starts.
        useZone(kUtc);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(CliTest, BadOptionsExitWithTwoAndSayWhy) {
    Outcome r = runEpgd({"--listen", "nowhere"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--listen wants HOST:PORT"), std::string::npos) << r.err;
    EXPECT_EQ(runEpgd({"--frobnicate"}).exitCode, 2);
    EXPECT_EQ(runEpgd({"--help"}).exitCode, 0);
    r = runEpgd({"--tz", "Mars/Olympus", "--export", (dir_ / "out").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown time zone \"Mars/Olympus\""), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

// The process runs on UTC: pages, the week and --now follow --tz (Beijing
// time unless told otherwise), never the host's TZ.
TEST_F(CliTest, PagesAreOnTheServersZoneWhateverTheHostSays) {
    fs::path xml = dir_ / "l.xml";
    std::ofstream(xml) << "<tv><programme channel=\"programys/TV_1/Channel_1/\" "
                          "start=\"20261209190000 +0800\"><title>Evening</title></programme>"
                          "<programme channel=\"programys/TV_1/Channel_1/\" "
                          "start=\"20261210013000 +0800\"><title>Night</title></programme></tv>\n";
    struct Case {
        std::vector<std::string> tz;
        const char* now;                                        // on that zone's clock
        std::vector<std::pair<const char*, const char*>> rows;  // page, start time
    } cases[] = {
        // Sunday 23:00 in Beijing (15:00 UTC): still the week of the 7th.
        {{}, "2026-12-13T23:00:00", {{"W3.htm", "19:00"}, {"W4.htm", "01:30"}}},
        {{"--tz", "Europe/London"},
         "2026-12-09T12:00:00",
         {{"W3.htm", "11:00"}, {"W3.htm", "17:30"}}},
        {{"--tz", "America/New_York"},
         "2026-12-09T12:00:00",
         {{"W3.htm", "06:00"}, {"W3.htm", "12:30"}}},
    };
    for (const auto& c : cases) {
        fs::path out = dir_ / "out";
        fs::remove_all(out);
        std::vector<std::string> args = {"--xmltv", xml.string(), "--now",
                                         c.now,     "--export",   out.string()};
        args.insert(args.end(), c.tz.begin(), c.tz.end());
        Outcome r = runEpgd(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const auto& [file, row] : c.rows) {
            std::string page = readFile(out / "programys/TV_1/Channel_1" / file);
            EXPECT_NE(page.find(std::string("<div id='e1' >") + row + "</div>"), std::string::npos)
                << c.now << ' ' << file << ' ' << row << '\n'
                << page;
        }
    }
}

TEST_F(CliTest, BrokenInputsAreRefusedNamingFileAndLine) {
    std::ofstream(dir_ / "bad.xml") << "<tv>\n<programme channel=\"x\">\n</tv>\n";
    Outcome r =
        runEpgd({"--xmltv", (dir_ / "bad.xml").string(), "--export", (dir_ / "out").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find((dir_ / "bad.xml").string() + ":3: "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out"));

    r = runEpgd({"--xmltv", (dir_ / "missing.xml").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("missing.xml"), std::string::npos);

    std::ofstream(dir_ / "ok.xml") << "<tv/>\n";
    std::ofstream(dir_ / "bad.map") << "# map\nprogramys/TV_1/Channel_1/ one\n";
    r = runEpgd({"--xmltv", (dir_ / "ok.xml").string(), "--map", (dir_ / "bad.map").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("bad.map:2: "), std::string::npos) << r.err;
}

// A saved error page instead of listings stops the start with its line.
TEST_F(CliTest, ADocumentThatIsNotXmltvIsRefused) {
    std::ofstream(dir_ / "page.xml") << "<!DOCTYPE html>\n<html><body>502</body></html>\n";
    Outcome r = runEpgd({"--xmltv", (dir_ / "page.xml").string(), "--listen", "127.0.0.1:0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("page.xml:2: the root element is <html>, not <tv>"), std::string::npos)
        << r.err;
}

// --print-map prints a map file that, passed back with --map, gives the
// same rows their channels, now from the map.
TEST_F(CliTest, PrintMapWritesAMapThatReadsBack) {
    std::ofstream(dir_ / "feed.xml")
        << "<tv><channel id=\"CCTV1\"><display-name>CCTV-1 综合</display-name></channel>"
           "<channel id=\"hn\"><display-name>湖南卫视</display-name></channel>"
           "<programme channel=\"hn\" start=\"20261209190000 +0800\"><title>x</title>"
           "</programme></tv>\n";
    fs::path printed = dir_ / "printed.map";
    Outcome r = runEpgd({"--xmltv", (dir_ / "feed.xml").string(), "--print-map"}, printed);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("215 catalogue rows: 0 from the map, 3 matched by name, 212 without"),
              std::string::npos)
        << r.err;
    std::string map = readFile(printed);
    EXPECT_NE(map.find("\nprogramys/TV_1/Channel_1/\tCCTV1\t# CCTV-1（综合）, by name"),
              std::string::npos)
        << map;
    EXPECT_NE(map.find("\nprogramws/TV_24/Channel_46/\thn\t# 湖南卫视, by name"),
              std::string::npos);
    EXPECT_NE(map.find("\n# programys/TV_1/Channel_3/\t\t# CCTV-2（财经）, none"),
              std::string::npos);

    r = runEpgd({"--xmltv", (dir_ / "feed.xml").string(), "--map", printed.string(), "--print-map"},
                dir_ / "again.map");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("3 from the map, 0 matched by name"), std::string::npos) << r.err;
    EXPECT_EQ(runEpgd({"--print-map"}).exitCode, 2);  // nothing to match
}

// --print-playlist-map says, entry by entry, which channel of the guide each
// gets and why; a playlist file that is none stops the start, as a feed does.
TEST_F(CliTest, PrintPlaylistMapSaysWhichChannelEachEntryGets) {
    const std::string fixtures = FIXTURE_DIR;
    fs::path printed = dir_ / "playlist.map";
    Outcome r = runEpgd({"--xmltv", fixtures + "/cntv.xml", "--playlist",
                         fixtures + "/playlists/named_ids.m3u", "--print-playlist-map"},
                        printed);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string map = readFile(printed);
    EXPECT_NE(map.find("named_ids.m3u: 47 entries, "), std::string::npos) << map;
    EXPECT_NE(
        map.find("\nCCTV-1\tprogramys.TV-1.Channel-1\tCCTV-1（综合）\t# by tvg-name \"CCTV1\""),
        std::string::npos)
        << map;
    EXPECT_NE(map.find("\n# 安徽卫视\t\t\t# none: "), std::string::npos) << map;

    std::ofstream(dir_ / "page.m3u") << "<!DOCTYPE html>\n";
    r = runEpgd({"--playlist", (dir_ / "page.m3u").string(), "--listen", "127.0.0.1:0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("page.m3u: line 1: an HTML or XML page, not a playlist"),
              std::string::npos)
        << r.err;
}

// The fixture feeds, each in the style of a kind of public Chinese feed, read
// without a map on a UTC host. Their titles say which channel, which id,
// and the Beijing date and time they are for ("HUNAN/106 12-09 19:30 ..."):
// every row a feed carries shows that channel on every day the feed has it,
// at the time its titles say, each day from one id; every other row shows
// nothing.
TEST_F(CliTest, FixtureFeedsFillEveryRowTheyCarryOnBeijingTime) {
    const std::map<std::string, std::string> cctv = {
        {"programys/TV_1/Channel_1/", "CCTV1"},      {"programys/TV_1/Channel_1967/", "CCTV1"},
        {"programys/TV_1/Channel_5/", "CCTV4"},      {"programys/TV_1/Channel_1080/", "CCTV4EU"},
        {"programys/TV_1/Channel_1081/", "CCTV4AM"}, {"programys/TV_1/Channel_6/", "CCTV5"},
        {"programys/TV_1/Channel_2239/", "CCTV5"},   {"programys/TV_1/Channel_2300/", "CCTV5PLUS"},
        {"programys/TV_1/Channel_10/", "CCTV9"},     {"programys/TV_1/Channel_1774/", "CGTN"},
        {"programys/TV_1/Channel_1775/", "CGTN"},    {"programws/TV_24/Channel_46/", "HUNAN"},
        {"programws/TV_22/Channel_44/", "JIANGSU"},  {"programws/TV_11/Channel_81/", "DONGFANG"},
        {"programws/TV_21/Channel_43/", "ZHEJIANG"},
    };
    auto with = [&cctv](std::map<std::string, std::string> more) {
        more.insert(cctv.begin(), cctv.end());
        return more;
    };
    const struct {
        const char* file;
        const char* zone;  // the --xmltv suffix
        std::map<std::string, std::string> rows;
    } fixtures[] = {
        // Every channel under a number and a prefixed id, one of them often
        // empty, some days from each.
        {"aggregated.xml", "",
         with({{"programys/TV_44/Channel_18/", "CETV1"},
               {"programws/TV_44/Channel_18/", "CETV1"},
               {"programws/TV_19/Channel_41/", "SHANDONG"},
               {"programws/TV_36/Channel_58/", "SICHUAN"}})},
        // Pinyin ids, numbers with their descriptors, CGTN in its languages.
        {"cntv.xml", "",
         with({{"programys/TV_1/Channel_3/", "CCTV2"},
               {"programys/TV_1/Channel_4/", "CCTV3"},
               {"programys/TV_1/Channel_2238/", "CCTV3"},
               {"programys/TV_1/Channel_7/", "CCTV6"},
               {"programys/TV_1/Channel_8/", "CCTV7"},
               {"programys/TV_1/Channel_9/", "CCTV8"},
               {"programys/TV_1/Channel_2240/", "CCTV8"},
               {"programys/TV_1/Channel_11/", "CCTV10"},
               {"programys/TV_1/Channel_12/", "CCTV11"},
               {"programys/TV_1/Channel_13/", "CCTV12"},
               {"programys/TV_1/Channel_14/", "CCTV13"},
               {"programys/TV_1/Channel_15/", "CCTV14"},
               {"programys/TV_1/Channel_16/", "CCTV15"},
               {"programys/TV_1/Channel_17/", "CGTNES"},
               {"programys/TV_1/Channel_1208/", "CGTNFR"},
               {"programys/TV_1/Channel_1545/", "CGTNAR"},
               {"programys/TV_1/Channel_1547/", "CGTNRU"},
               {"programys/TV_83/Channel_1152/", "LAOGUSHI"},
               {"programws/TV_38/Channel_60/", "BEIJING"}})},
        // Programmes before channels, many names each, Traditional ones, and
        // Beijing times that say "+0000".
        {"multiname.xml",
         "#tz=Asia/Shanghai",
         {{"programys/TV_1/Channel_1/", "CCTV1"},
          {"programys/TV_1/Channel_1967/", "CCTV1"},
          {"programys/TV_1/Channel_14/", "CCTV13"},
          {"programws/TV_24/Channel_46/", "HUNAN"},
          {"programws/TV_11/Channel_81/", "DONGFANG"},
          {"programjw/TV_5/Channel_26/", "PHOENIXCN"},
          {"programjw/TV_5/Channel_27/", "PHOENIXINFO"},
          {"programjw/TV_5/Channel_28/", "PHOENIXMOVIE"},
          {"programjw/TV_4/Channel_24/", "JADE"},
          {"programjw/TV_4/Channel_25/", "PEARL"},
          {"programjw/TV_7/Channel_30/", "STAR"},
          {"programjw/TV_6/Channel_29/", "HUAYU"},
          {"programjw/TV_150/Channel_737/", "MACAUASIA"},
          {"programjw/TV_3/Channel_22/", "ATVHOME"},
          {"programjw/TV_47/Channel_1221/", "ESPNTW"}}},
    };
    const epg::Date monday{2026, 12, 7};
    for (const auto& f : fixtures) {
        const fs::path feed = fs::path(FIXTURE_DIR) / f.file;
        const std::string text = readFile(feed);
        ASSERT_FALSE(text.empty()) << feed;
        // The dates ("MM-DD") the feed has programmes for, by channel.
        std::map<std::string, std::set<std::string>> carried;
        for (auto at = text.find("<title"); at != std::string::npos; at = text.find("<title", at)) {
            at = text.find('>', at) + 1;
            std::string title = text.substr(at, text.find('<', at) - at);
            carried[title.substr(0, title.find('/'))].insert(title.substr(title.find(' ') + 1, 5));
        }
        fs::path out = dir_ / "out";
        fs::remove_all(out);
        Outcome r = runEpgd({"--xmltv", feed.string() + f.zone, "--now", "2026-12-09T12:00:00",
                             "--export", out.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find(std::to_string(f.rows.size()) + " matched by name"), std::string::npos)
            << f.file << ": " << r.err;
        for (std::size_t row = 0; row < epg::channelCount(); ++row) {
            const std::string path(epg::channelPath(row));
            auto expected = f.rows.find(path);
            const std::string channel = expected == f.rows.end() ? "" : expected->second;
            std::set<std::string> shown;  // the dates with programmes
            for (int w = 1; w <= 7; ++w) {
                const epg::Date day = epg::addDays(monday, w - 1);
                char date[8];
                std::snprintf(date, sizeof date, "%02d-%02d", day.month, day.day);
                const char page[] = {'W', static_cast<char>('0' + w), '.', 'h', 't', 'm', '\0'};
                std::set<std::string> ids;
                for (const app::ScheduleRow& p : app::parseSchedule(readFile(out / path / page))) {
                    // ASCII is the same in GBK: "TAG/ID MM-DD HH:MM ...".
                    const std::string& t = p.title;
                    const auto slash = t.find('/'), blank = t.find(' ');
                    ASSERT_TRUE(slash != std::string::npos && blank != std::string::npos) << t;
                    EXPECT_EQ(t.substr(0, slash), channel) << f.file << ' ' << path;
                    EXPECT_EQ(t.substr(blank + 1, 5), date) << f.file << ' ' << path << ' ' << t;
                    EXPECT_EQ(t.substr(blank + 7, 5), p.time.substr(1)) << f.file << ' ' << t;
                    ids.insert(t.substr(slash + 1, blank - slash - 1));
                    shown.insert(date);
                }
                EXPECT_LE(ids.size(), 1u) << f.file << ' ' << path << " W" << w;  // never mixed
            }
            if (!channel.empty()) {
                EXPECT_EQ(shown, carried[channel]) << f.file << ' ' << path;
            }
        }
    }
}

// Export of the sample week, and of the same week written as XMLTV and read
// back: the same files, byte for byte, all inside the export directories,
// but for the samples' notice in the banner.
TEST_F(CliTest, ExportOfSampleAndOfItsXmltvAreTheSame) {
    const std::string now = "2026-12-09T20:15:00";
    fs::path xml = dir_ / "sample.xml", a = dir_ / "a", b = dir_ / "b";
    ASSERT_EQ(runEpgd({"--now", now, "--write-sample-xmltv", xml.string()}).exitCode, 0);
    Outcome ra = runEpgd({"--now", now, "--export", a.string()});
    ASSERT_EQ(ra.exitCode, 0) << ra.err;
    Outcome rb = runEpgd({"--now", now, "--xmltv", xml.string(), "--export", b.string()});
    ASSERT_EQ(rb.exitCode, 0) << rb.err;

    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(a)) {
        if (!e.is_regular_file()) continue;
        ++files;
        fs::path rel = fs::relative(e.path(), a);
        if (rel.stem() == "a1" || rel.stem() == "a1.html") {
            // The banner of the samples alone says that they are made up.
            bool gz = rel.extension() == ".gz";
            std::string sample = readFile(e.path()), real = readFile(b / rel);
            if (gz) sample = gunzip(sample), real = gunzip(real);
            auto row = sample.find("<tr><th colspan='3' style=");
            ASSERT_NE(row, std::string::npos) << rel;
            sample.erase(row, sample.find('\n', row) + 1 - row);
            ASSERT_EQ(sample, real) << rel;
            continue;
        }
        ASSERT_EQ(readFile(e.path()), readFile(b / rel)) << rel;
    }
    EXPECT_EQ(files, 2 * (215u * 7 + 2));  // pages, banner and epg.xml, each with its .gz
    // Every .gz is its twin, gzipped: what nginx's gzip_static will send.
    for (const auto& e : fs::recursive_directory_iterator(a)) {
        if (e.path().extension() != ".gz") continue;
        fs::path twin = e.path();
        twin.replace_extension();
        ASSERT_EQ(gunzip(readFile(e.path())), readFile(twin)) << e.path();
    }
    EXPECT_TRUE(fs::exists(a / "soft/down/a1.html"));
    EXPECT_TRUE(fs::exists(a / "programjw/TV_/Channel_290/W7.htm"));
    std::size_t everything = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
        if (e.is_regular_file()) ++everything;
    EXPECT_EQ(everything, 2 * files + 1);  // the two exports and sample.xml, nothing else
}

TEST_F(CliTest, ReloadOnHangupKeepsOldListingsWhenNewOnesAreBroken) {
    fs::path xml = dir_ / "l.xml";
    auto writeListing = [&](const char* title) {
        std::ofstream(xml) << "<tv><programme channel=\"programys/TV_1/Channel_1/\" "
                              "start=\"20261209190000 +0800\">"
                              "<title>"
                           << title << "</title></programme></tv>\n";
    };
    writeListing("First");
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], 2);
        close(pipeFd[0]);
        execl(EPGD_PATH, EPGD_PATH, "--listen", "127.0.0.1:0", "--now", "2026-12-09T20:00:00",
              "--xmltv", xml.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    std::string log;
    // Waits (bounded) until the log holds `what`.
    auto waitFor = [&](const std::string& what) { return readUntil(pipeFd[0], log, what); };
    ASSERT_TRUE(waitFor("serving on http://127.0.0.1:")) << log;
    auto at = log.find("127.0.0.1:") + 10;
    auto port = static_cast<std::uint16_t>(std::stoi(log.substr(at)));
    auto page = [&] {
        RawClient c(port);
        c.send("GET /programys/TV_1/Channel_1/W3.htm HTTP/1.0\r\n\r\n");
        std::string out;
        c.readUntilClosed(out);
        return out;
    };
    EXPECT_NE(page().find("First"), std::string::npos);

    std::ofstream(xml) << "<tv><programme>\n";
    kill(pid, SIGHUP);
    EXPECT_TRUE(waitFor("reload failed")) << log;
    EXPECT_NE(page().find("First"), std::string::npos);

    writeListing("Second");
    kill(pid, SIGHUP);
    EXPECT_TRUE(waitFor("reloaded")) << log;
    // The new pages are rendered after the reload is logged; they replace
    // the old ones whole, so a page is either all old or all new.
    std::string second = page();
    for (int i = 0; i < 50 && second.find("Second") == std::string::npos; ++i) {
        EXPECT_NE(second.find("First"), std::string::npos);
        usleep(100'000);
        second = page();
    }
    EXPECT_NE(second.find("Second"), std::string::npos);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(pipeFd[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The whole road: the guide (its probe, fetching over HTTP) against the
// server, and the list shows every sample title of the day in order.
TEST_F(CliTest, TheGuideShowsTheSampleScheduleFromTheServer) {
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    pid_t server = fork();
    if (server == 0) {
        dup2(pipeFd[1], 2);
        close(pipeFd[0]);
        execl(EPGD_PATH, EPGD_PATH, "--listen", "127.0.0.1:0", "--now", "2026-12-09T20:15:00",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    std::string log;
    ASSERT_TRUE(readUntil(pipeFd[0], log, "serving on http://127.0.0.1:")) << log;
    std::string root = log.substr(log.find("http://127.0.0.1:"));
    root = root.substr(0, root.find('/', 7) + 1);

    std::string out = [&] {
        int outFd[2];
        if (pipe(outFd) != 0) return std::string();
        pid_t probe = fork();
        if (probe == 0) {
            dup2(outFd[1], 1);
            close(outFd[0]);
            execl(PROBE_PATH, PROBE_PATH, "--epg-root", root.c_str(), "--now",
                  "2026-12-09T20:15:00", "open-group:6", "select-row:0", "click-label:5", "close",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(outFd[1]);
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = read(outFd[0], buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        close(outFd[0]);
        waitpid(probe, nullptr, 0);
        return text;
    }();
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    close(pipeFd[0]);

    // Group 6 row 0 is the first satellite channel (catalogue number 141),
    // label 5 is Friday 2026-12-11.
    epg::Date friday{2026, 12, 11};
    auto expected = epg::SampleListings(beijing()).starting(
        141, epg::localMidnight(friday, beijing()),
        epg::localMidnight(epg::addDays(friday, 1), beijing()));
    ASSERT_GE(expected.size(), 8u);
    std::size_t at = 0;
    for (const auto& p : expected) {
        epg::LocalTime t = epg::toLocal(p.start, beijing());
        char time[16];
        std::snprintf(time, sizeof time, "\" %02d:%02d\"", t.hour, t.minute);
        std::string row =
            std::string("[") + time + ",\"" + rt::toUtf8(epg::shownTitle(p.title)) + "\"]";
        auto found = out.find(row, at);
        ASSERT_NE(found, std::string::npos) << row << "\n" << out;
        at = found + row.size();
    }
}

}  // namespace
