// The command line: what is accepted, and a clear refusal for the rest.
#include <gtest/gtest.h>

#include "server/options.h"
#include "server/util/durations.h"
#include "server_test_util.h"

namespace epg {
namespace {

TEST(OptionsTest, DefaultsAndValues) {
    useZone(kUtc);  // --now is on Beijing time whatever TZ says
    auto r = parseOptions({});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->host, "127.0.0.1");
    EXPECT_EQ(r.options->port, 8610);
    EXPECT_FALSE(r.options->now);
    EXPECT_EQ(r.options->refresh, std::chrono::hours(6));
    EXPECT_FALSE(r.options->stateDir);

    r = parseOptions({"--listen", "0.0.0.0:80", "--xmltv", "a.xml", "--xmltv=b.xml", "--map",
                      "m.txt", "--now", "2026-12-09T20:15:30", "--threads", "4", "--export",
                      "out"});
    ASSERT_TRUE(r.options) << r.error;
    const Options& o = *r.options;
    EXPECT_EQ(o.host, "0.0.0.0");
    EXPECT_EQ(o.port, 80);
    EXPECT_EQ(o.xmltvSources, (std::vector<std::string>{"a.xml", "b.xml"}));
    EXPECT_EQ(o.mapFile, "m.txt");
    EXPECT_EQ(o.now, fromLocal({2026, 12, 9}, 20 * 60 + 15, beijing()) + 30);
    EXPECT_EQ(o.threads, 4);
    EXPECT_EQ(o.exportDir, "out");

    r = parseOptions({"--xmltv", "https://example.org/e.xml.gz", "--xmltv", "HTTP://h/x", "--xmltv",
                      "./odd://name", "--xmltv", "https://example.org/e.xml#tz=Asia/Shanghai",
                      "--refresh", "90s", "--state-dir", "/var/x"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->xmltvSources.size(), 4u);
    EXPECT_EQ(r.options->refresh, std::chrono::seconds(90));
    EXPECT_EQ(r.options->stateDir, "/var/x");

    r = parseOptions({"--listen", "[::1]:8080"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->host, "::1");
    EXPECT_TRUE(parseOptions({"--help"}).options->help);
}

TEST(OptionsTest, RepeatedOptions) {
    // The last --listen counts; every --xmltv is kept; help in either spelling.
    auto r = parseOptions({"--listen", "127.0.0.1:1", "--xmltv", "a", "--listen=[::1]:2", "--xmltv",
                           "b", "--threads", "3", "--threads", "64"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->host, "::1");
    EXPECT_EQ(r.options->port, 2);
    EXPECT_EQ(r.options->xmltvSources, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(r.options->threads, 64);
    r = parseOptions({"--playlist", "a.m3u", "--playlist", "https://example.org/b.m3u8",
                      "--print-playlist-map"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->playlists,
              (std::vector<std::string>{"a.m3u", "https://example.org/b.m3u8"}));
    EXPECT_TRUE(r.options->printPlaylistMap);
    for (const char* help : {"--help", "-h"}) {
        r = parseOptions({"--threads", "4", help});
        ASSERT_TRUE(r.options) << help;
        EXPECT_TRUE(r.options->help);
    }
}

TEST(OptionsTest, BadOptionsAreRefusedWithAReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--bogus"}, "--bogus"},
        {{"-x"}, "-x"},
        {{"extra"}, "extra"},
        {{"--listen"}, "--listen"},
        {{"--listen", "127.0.0.1"}, "--listen wants HOST:PORT"},
        {{"--listen", "127.0.0.1:65536"}, "--listen wants HOST:PORT"},
        {{"--listen", "127.0.0.1:-1"}, "--listen wants HOST:PORT"},
        {{"--listen", ":80"}, "--listen wants HOST:PORT"},
        {{"--listen", "host:8x"}, "--listen wants HOST:PORT, not \"host:8x\""},
        {{"--now", "2026-12-09"}, "--now wants YYYY-MM-DDTHH:MM:SS"},
        {{"--now", "2026-02-30T10:00:00"}, "--now wants YYYY-MM-DDTHH:MM:SS"},
        {{"--now", "2026-12-09T24:00:00"}, "--now wants YYYY-MM-DDTHH:MM:SS"},
        {{"--map", "m.txt"}, "--map needs at least one --xmltv"},
        {{"--print-playlist-map"}, "--print-playlist-map needs at least one --playlist"},
        {{"--playlist", ""}, "--playlist needs a value"},
        {{"--playlist", "rtsp://example.org/a.m3u"},
         "--playlist takes a file or an http or https URL"},
        {{"--playlist", "a.m3u#tz=UTC"}, "--playlist: a playlist has no times"},
        {{"--xmltv", "a", "--map", "m", "--map", "n"}, "--map given twice"},
        {{"--threads", "0"}, "--threads wants a number from 1 to 64"},
        {{"--threads", "65"}, "--threads wants a number from 1 to 64"},
        {{"--threads", "many"}, "--threads wants a number from 1 to 64"},
        {{"--export", ""}, "--export needs a value"},
        {{"--xmltv", ""}, "--xmltv needs a value"},
        {{"--xmltv", "ftp://example.org/e.xml"}, "--xmltv takes a file or an http or https URL"},
        {{"--xmltv", "http://example.org/a b.xml"}, "no blank or control character"},
        {{"--xmltv", "a.xml#tz=Asia/Nowhere"},
         "--xmltv: unknown time zone \"Asia/Nowhere\" after #tz= in \"a.xml#tz=Asia/Nowhere\""},
        {{"--xmltv", "#tz=Asia/Shanghai"}, "--xmltv: no file or URL before #tz="},
        {{"--xmltv", "ftp://e.org/x#tz=UTC"}, "--xmltv takes a file or an http or https URL"},
        {{"--refresh", "6"}, "--refresh wants a duration such as 90s"},
        {{"--refresh", "0s"}, "--refresh wants a duration"},
        {{"--refresh", "-5m"}, "--refresh wants a duration"},
        {{"--refresh", "5w"}, "--refresh wants a duration"},
        {{"--refresh", "400d"}, "--refresh wants a duration"},
    };
    for (const auto& [args, reason] : bad) {
        auto r = parseOptions(args);
        EXPECT_FALSE(r.options) << args[0];
        EXPECT_NE(r.error.find(reason), std::string::npos) << args[0] << ": " << r.error;
    }
}

TEST(OptionsTest, Durations) {
    const std::pair<const char*, long long> good[] = {
        {"0", 0}, {"90s", 90}, {"30m", 1800}, {"6h", 21600}, {"2d", 172800}, {"366d", 366 * 86400}};
    for (const auto& [text, seconds] : good)
        EXPECT_EQ(parseDuration(text), std::chrono::seconds(seconds)) << text;
    for (const char* text : {"", "s", "00", "1.5h", "h6", "6H", "6 h", "367d"})
        EXPECT_FALSE(parseDuration(text)) << text;
}

}  // namespace
}  // namespace epg
