#include <gtest/gtest.h>

#include "app/probe/probe_options.h"
#include "guide_server.h"
#include "probe_runner.h"
#include "runtime/values/date_time.h"

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

// What the probe makes of the command lines it accepts: options and actions
// in any order, "--opt=value", the last of a repeated option, "+" actions.
TEST(ProbeCommandLine, AcceptedCommandLines) {
    using app::probe::ProbeAction;
    using app::probe::ProbeOptions;
    using K = ProbeAction::Kind;
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> epgRoot;
        std::vector<ProbeAction> actions;
        bool help = false;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt, {}},
        {{"open-group:1", "--epg-root", "http://a", "select-row:2"},
         "http://a",
         {{K::OpenGroup, 1, false}, {K::SelectRow, 2, false}}},
        {{"--epg-root=http://a/", "--epg-root", "http://b/"}, "http://b/", {}},
        {{"click-label:3", "+click-label:5", "+close", "open-group:9"},
         std::nullopt,
         {{K::ClickLabel, 3, false},
          {K::ClickLabel, 5, true},
          {K::Close, 0, true},
          {K::OpenGroup, 9, false}}},
        {{"--help"}, std::nullopt, {}, true},
        {{"-h", "close"}, std::nullopt, {{K::Close, 0, false}}, true},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto parsed = app::probe::parseProbeArguments(cases[i].args);
        ASSERT_TRUE(std::holds_alternative<ProbeOptions>(parsed)) << "case " << i;
        const ProbeOptions& o = std::get<ProbeOptions>(parsed);
        EXPECT_EQ(o.epgRoot, cases[i].epgRoot) << "case " << i;
        EXPECT_EQ(o.actions, cases[i].actions) << "case " << i;
        EXPECT_EQ(o.help, cases[i].help) << "case " << i;
    }
    const auto timed = app::probe::parseProbeArguments({"--now=2008-10-06T09:30:05"});
    EXPECT_EQ(std::get<ProbeOptions>(timed).now, rt::fromCivil({2008, 10, 6, 9, 30, 5}));
}

// Every text of the report is GBK shown as UTF-8 (U+FFFD for bytes that form
// no GBK character), with control characters escaped in the document.
TEST(ProbeCommandLine, TextsAreUtf8WithControlCharactersEscaped) {
    struct Case {
        std::string gbk, utf8;
    };
    const std::vector<Case> cases = {
        {"q\"b\\s", "q\"b\\s"},
        {"a\x01"
         "b\x1F"
         "c\td",
         "a\x01"
         "b\x1F"
         "c\td"},
        {"d\x7F"
         "e",
         "d\x7F"
         "e"},
        {G("朝闻天下") + "/x", "朝闻天下/x"},
        {"z\x81", "z\xEF\xBF\xBD"},  // a lead byte without its trail byte
        {"\xFF"
         "y",
         "\xEF\xBF\xBD"
         "y"},  // a byte no GBK character starts with
    };
    std::string page;
    for (size_t i = 0; i < cases.size(); ++i)
        page += scheduleRow(std::to_string(i + 1), cases[i].gbk);
    GuideServer epg;
    epg.server.route("/programys/TV_1/Channel_1/W1.htm", testsupport::Response::ok(page));
    const ProbeRun run = runProbe({"--epg-root", epg.root(), "--now", onDay(1)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string document = run.out.substr(0, run.out.find_last_not_of('\n') + 1);
    for (char c : document)
        ASSERT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != '\x7F')
            << "raw control character " << static_cast<int>(c) << " in " << document;
    const auto rows = run.json().at("program_list").at("rows");
    ASSERT_EQ(rows.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(rows.at(i).at(1).get<std::string>(), cases[i].utf8) << "case " << i;
}

TEST(ProbeCommandLine, TheRootGainsItsFinalSlash) {
    GuideServer epg;
    std::string root = epg.root();
    root.pop_back();
    const auto j = runProbe({"--epg-root", root, "--now", onDay(1)}).json();
    EXPECT_EQ(j.at("requests").at(1).get<std::string>(), epg.channel1(1));
}

}  // namespace
