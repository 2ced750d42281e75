#include <gtest/gtest.h>

#include "guide_server.h"
#include "probe_runner.h"

namespace {

using namespace std::chrono_literals;

nlohmann::json probe(const GuideServer& epg, std::vector<std::string> actions, int weekday = 1) {
    std::vector<std::string> args{"--epg-root", epg.root(), "--now", onDay(weekday)};
    args.insert(args.end(), actions.begin(), actions.end());
    const ProbeRun run = runProbe(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.json();
}

TEST(DayLabels, EachLabelLoadsItsDayOfTheCurrentChannel) {
    GuideServer epg;
    const auto j = probe(epg, {"click-label:3"});
    EXPECT_EQ(j.at("slider").get<long long>(), 3);
    EXPECT_EQ(j.at("requests").get<std::vector<std::string>>().back(), epg.channel1(3));
    EXPECT_EQ(j.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_1/W3.htm a");
    EXPECT_EQ(j.at("labels").at(0).at("color").get<long long>(),
              255);  // the start-up day keeps the red

    // The same label twice downloads twice; the list holds one copy.
    const auto twice = probe(epg, {"click-label:7", "click-label:7"});
    const auto requests = twice.at("requests").get<std::vector<std::string>>();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2], epg.channel1(7));
    EXPECT_EQ(requests[3], epg.channel1(7));
    EXPECT_EQ(twice.at("program_list").at("rows").size(), 2u);
}

TEST(ChannelSelection, AGroupIsRefilledWhenOpenedAndItsRowsLoadTheStartUpDay) {
    GuideServer epg;
    const auto opened = probe(epg, {"open-group:1"});
    EXPECT_EQ(opened.at("current_group").get<long long>(), 1);
    EXPECT_EQ(opened.at("channel_list").at("rows").get<std::vector<std::string>>(),
              (std::vector<std::string>{"中国教育台-1", "中国教育台-2", "中国教育台-3",
                                        "CETV空中课堂", "早期教育", "太阳花在线"}));
    EXPECT_EQ(opened.at("channel_list").at("current_row").get<long long>(), -1);
    EXPECT_EQ(opened.at("requests").size(), 2u);  // opening a group loads nothing

    const auto j = probe(epg, {"open-group:1", "select-row:2"}, 4);
    EXPECT_EQ(j.at("channel_base_url").get<std::string>(),
              epg.root() + "programys/TV_44/Channel_20/");
    EXPECT_EQ(j.at("program_list").at("columns").at(1).get<std::string>(), "中国教育台-3 节目预告");
    EXPECT_EQ(j.at("requests").get<std::vector<std::string>>().back(),
              epg.root() + "programys/TV_44/Channel_20/W4.htm");
    EXPECT_EQ(j.at("channel_list").at("current_row").get<long long>(), 2);
    EXPECT_EQ(j.at("slider").get<long long>(), 4);
}

TEST(ChannelSelection, AChannelNameWithATrailingBlankGivesTwoBlanksInTheColumnTitle) {
    GuideServer epg;
    const auto j = probe(epg, {"open-group:4", "select-row:0"});
    EXPECT_EQ(j.at("channel_list").at("rows").at(0).get<std::string>(), "车迷频道 ");
    EXPECT_EQ(j.at("program_list").at("columns").at(1).get<std::string>(), "车迷频道  节目预告");
}

TEST(ChannelSelection, ReopeningAGroupRebuildsItWithoutSelection) {
    GuideServer epg;
    const auto j = probe(epg, {"open-group:2", "select-row:3", "open-group:5", "open-group:2"});
    EXPECT_EQ(j.at("current_group").get<long long>(), 2);
    EXPECT_EQ(j.at("channel_list").at("rows").size(), 38u);
    EXPECT_EQ(j.at("channel_list").at("current_row").get<long long>(), -1);
    const std::string chosen = j.at("requests").get<std::vector<std::string>>().back();
    EXPECT_EQ(j.at("channel_base_url").get<std::string>() + "W1.htm", chosen);
}

TEST(ChannelSelection, ClickingTheFocusedRowLoadsNothing) {
    GuideServer epg;
    const auto j = probe(epg, {"select-row:0"});
    EXPECT_EQ(j.at("requests").size(), 2u);
    const auto other = probe(epg, {"select-row:5", "select-row:5"});
    EXPECT_EQ(other.at("requests").size(), 3u);
}

TEST(NestedLoads, TheNewestRequestWinsAndItsRowsAppearOnce) {
    GuideServer epg;
    const auto j = probe(epg, {"click-label:3", "+click-label:5"});
    EXPECT_EQ(j.at("slider").get<long long>(), 5);
    const auto requests = j.at("requests").get<std::vector<std::string>>();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2], epg.channel1(3));
    EXPECT_EQ(requests[3], epg.channel1(5));
    const auto& rows = j.at("program_list").at("rows");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at(0).at(1).get<std::string>(), "/programys/TV_1/Channel_1/W5.htm a");
    EXPECT_EQ(rows.at(1).at(1).get<std::string>(), "/programys/TV_1/Channel_1/W5.htm b ");
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载完毕!");

    // Three deep, and a channel click inside a day load.
    const auto chain = probe(epg, {"click-label:2", "+click-label:3", "+click-label:4"});
    ASSERT_EQ(chain.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(chain.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_1/W4.htm a");
    const auto channel = probe(epg, {"click-label:6", "+select-row:1"});
    ASSERT_EQ(channel.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(channel.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_3/W1.htm a");
    EXPECT_EQ(channel.at("slider").get<long long>(), 1);
}

TEST(NestedLoads, AClickDuringTheStartUpLoadWins) {
    GuideServer epg;
    const auto j = probe(epg, {"+click-label:2"}, 1);
    const auto requests = j.at("requests").get<std::vector<std::string>>();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], epg.channel1(7));
    EXPECT_EQ(requests[1], epg.channel1(2));
    EXPECT_EQ(requests[2], epg.channel1(1));
    // The start-up's own load of today comes after the nested one and is the newest.
    ASSERT_EQ(j.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(j.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_1/W1.htm a");
    EXPECT_EQ(j.at("slider").get<long long>(), 1);
}

}  // namespace

// Input that arrives while a page downloads waits until the download is over
// and then comes in the order it was given; a close does not wait.
TEST(DownloadWait, InputArrivesAfterTheDownloadInOrderAndACloseAtOnce) {
    GuideServer epg;
    // Wednesday's page comes half a second late, so that the input surely
    // arrives while it downloads, however busy the machine: answered at
    // once, it could be in before the guide began to wait for it.
    epg.server.route("/programys/TV_1/Channel_1/W3.htm",
                     testsupport::Response::ok(namedPage("/programys/TV_1/Channel_1/W3.htm"))
                         .stallBeforeResponse(500ms));
    const auto j = probe(epg, {"click-label:3", "@click-label:5", "@click-label:2"});
    const auto requests = j.at("requests").get<std::vector<std::string>>();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[2], epg.channel1(3));
    EXPECT_EQ(requests[3], epg.channel1(5));
    EXPECT_EQ(requests[4], epg.channel1(2));
    EXPECT_EQ(j.at("slider").get<long long>(), 2);
    ASSERT_EQ(j.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(j.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_1/W2.htm a");

    // The click queued before the close is still held when the close ends
    // the run, so Friday is never asked for.
    const auto closed = probe(epg, {"click-label:3", "@click-label:5", "@close"});
    EXPECT_EQ(closed.at("requests").size(), 3u);
    EXPECT_EQ(closed.at("slider").get<long long>(), 3);
}

TEST(DownloadWait, ACloseEndsADownloadThatWouldLastForDays) {
    GuideServer epg;
    // A byte a second, never a pause long enough for the stall time-out, and
    // a deadline a day away: only the close can end this download.
    epg.server.route("/programys/TV_1/Channel_1/W3.htm",
                     testsupport::Response::generated(1u << 20, "x").trickling(1s));
    const ProbeRun run = runProbe({"--epg-root", epg.root(), "--now", onDay(1), "--fetch-deadline",
                                   "86400", "click-label:3", "@close"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto j = run.json();
    EXPECT_EQ(j.at("requests").size(), 3u);
    EXPECT_EQ(j.at("slider").get<long long>(), 3);
}
