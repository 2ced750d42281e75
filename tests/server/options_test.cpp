// The command line: what is accepted, and a clear refusal for the rest.
#include <gtest/gtest.h>

#include "server/options.h"
#include "server_test_util.h"

namespace epg {
namespace {

TEST(OptionsTest, DefaultsAndValues) {
    useZone(kBeijing);
    auto r = parseOptions({});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->host, "127.0.0.1");
    EXPECT_EQ(r.options->port, 8610);
    EXPECT_FALSE(r.options->now);

    r = parseOptions({"--listen", "0.0.0.0:80", "--xmltv", "a.xml", "--xmltv=b.xml", "--map",
                      "m.txt", "--now", "2026-12-09T20:15:30", "--threads", "4", "--export",
                      "out"});
    ASSERT_TRUE(r.options) << r.error;
    const Options& o = *r.options;
    EXPECT_EQ(o.host, "0.0.0.0");
    EXPECT_EQ(o.port, 80);
    EXPECT_EQ(o.xmltvFiles, (std::vector<std::string>{"a.xml", "b.xml"}));
    EXPECT_EQ(o.mapFile, "m.txt");
    EXPECT_EQ(o.now, fromLocal({2026, 12, 9}, 20 * 60 + 15) + 30);
    EXPECT_EQ(o.threads, 4);
    EXPECT_EQ(o.exportDir, "out");

    r = parseOptions({"--listen", "[::1]:8080"});
    ASSERT_TRUE(r.options);
    EXPECT_EQ(r.options->host, "::1");
    EXPECT_TRUE(parseOptions({"--help"}).options->help);
}

TEST(OptionsTest, BadOptionsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"extra"},
        {"--listen"},
        {"--listen", "127.0.0.1"},
        {"--listen", "127.0.0.1:65536"},
        {"--listen", "127.0.0.1:-1"},
        {"--listen", ":80"},
        {"--listen", "host:8x"},
        {"--now", "2026-12-09"},
        {"--now", "2026-02-30T10:00:00"},
        {"--now", "2026-12-09T24:00:00"},
        {"--map", "m.txt"},  // without --xmltv
        {"--xmltv", "a", "--map", "m", "--map", "n"},
        {"--threads", "0"},
        {"--threads", "many"},
        {"--export", ""},
    };
    for (const auto& args : bad) {
        auto r = parseOptions(args);
        EXPECT_FALSE(r.options) << args[0];
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
}  // namespace epg
