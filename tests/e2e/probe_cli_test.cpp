#include <gtest/gtest.h>

#include "guide_server.h"
#include "probe_runner.h"

namespace {

TEST(ProbeCommandLine, BadOptionsAndActionsPrintUsageAndExit2) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--epg-root"},
        {"--now", "2008-10-06"},
        {"--now", "2008-13-01T00:00:00"},
        {"click-label:8"},
        {"click-label:0"},
        {"open-group:10"},
        {"open-group:x"},
        {"select-row:-1"},
        {"select-row:"},
        {"+"},
        {"close:1"},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        const ProbeRun run = runProbe(bad[i]);
        EXPECT_EQ(run.exitCode, 2) << "case " << i;
        EXPECT_NE(run.err.find("usage: tvguide-probe"), std::string::npos) << "case " << i;
        EXPECT_TRUE(run.out.empty()) << "case " << i;
    }
}

TEST(ProbeCommandLine, TextsAreEscapedAndInvalidGbkShownAsReplacement) {
    GuideServer epg;
    const std::string title = "q\"b\\s\x01t\tz\x81";
    epg.server.route("/programys/TV_1/Channel_1/W1.htm",
                     testsupport::Response::ok(scheduleRow("1", title)));
    const ProbeRun run = runProbe({"--epg-root", epg.root(), "--now", onDay(1)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find('\x01'), std::string::npos);
    EXPECT_EQ(run.out.find('\t'), std::string::npos);
    EXPECT_EQ(run.json()["program_list"]["rows"][0][1].str(), "q\"b\\s\x01t\tz\xEF\xBF\xBD");
}

TEST(ProbeCommandLine, TheRootGainsItsFinalSlash) {
    GuideServer epg;
    std::string root = epg.root();
    root.pop_back();
    const auto j = runProbe({"--epg-root", root, "--now", onDay(1)}).json();
    EXPECT_EQ(j["requests"][1].str(), epg.channel1(1));
}

}  // namespace
