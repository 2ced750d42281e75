#include <gtest/gtest.h>

#include "guide_server.h"
#include "probe_runner.h"

namespace {

constexpr long long kTemplateLabelColour = 0x00808000;  // rgb(0,128,128)
constexpr long long kRed = 255;

std::vector<long long> labelColours(const nlohmann::json& j) {
    std::vector<long long> out;
    for (const auto& l : j.at("labels")) out.push_back(l.at("color").get<long long>());
    return out;
}

TEST(StartUp, OnAMondayLoadsSundayThenMondayAndShowsMonday) {
    GuideServer epg;
    const ProbeRun run = runProbe({"--epg-root", epg.root(), "--now", onDay(1)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto j = run.json();

    EXPECT_EQ(j.at("title").get<std::string>(), "澜欣电视节目预告_v08.10");
    EXPECT_EQ(
        j.at("groups").get<std::vector<std::string>>(),
        (std::vector<std::string>{"央视频道", "中国教育电视台", "中数传媒", "央视风云", "北广传媒",
                                  "数字频道", "全国卫视", "境外频道", "境外体育", "境外影视"}));
    EXPECT_EQ(j.at("current_group").get<long long>(), 0);
    EXPECT_EQ(j.at("channel_list").at("rows").size(), 28u);
    EXPECT_EQ(j.at("channel_list").at("rows").at(0).get<std::string>(), "CCTV-1（综合） ");
    EXPECT_EQ(j.at("channel_list").at("current_row").get<long long>(), 0);
    EXPECT_EQ(j.at("channel_base_url").get<std::string>(),
              epg.root() + "programys/TV_1/Channel_1/");
    EXPECT_EQ(j.at("requests").get<std::vector<std::string>>(),
              (std::vector<std::string>{epg.channel1(7), epg.channel1(1)}));

    std::vector<long long> colours(7, kTemplateLabelColour);
    colours[0] = kRed;
    EXPECT_EQ(labelColours(j), colours);
    EXPECT_EQ(j.at("labels").at(6).at("caption").get<std::string>(), "星期日");
    EXPECT_EQ(j.at("slider").get<long long>(), 1);

    EXPECT_EQ(j.at("program_list").at("columns").get<std::vector<std::string>>(),
              (std::vector<std::string>{"播出时间", "CCTV-1（综合）  节目预告"}));
    const auto& rows = j.at("program_list").at("rows");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at(0).get<std::vector<std::string>>(),
              (std::vector<std::string>{" 08:00", "/programys/TV_1/Channel_1/W1.htm a"}));
    EXPECT_EQ(rows.at(1).get<std::vector<std::string>>(),
              (std::vector<std::string>{" 20:00", "/programys/TV_1/Channel_1/W1.htm b "}));
    EXPECT_EQ(j.at("status").get<std::vector<std::string>>(),
              (std::vector<std::string>{"当前状态: 下载完毕!", "2008年10月6日 星期一",
                                        "澜欣电视节目预告 - 版本:08.10", ""}));
    EXPECT_EQ(epg.server.requestCount(), 2u);
}

TEST(StartUp, OnASundayLoadsSundayTwice) {
    GuideServer epg;
    const auto j = runProbe({"--epg-root", epg.root(), "--now", onDay(7)}).json();
    EXPECT_EQ(j.at("requests").get<std::vector<std::string>>(),
              (std::vector<std::string>{epg.channel1(7), epg.channel1(7)}));
    std::vector<long long> colours(7, kTemplateLabelColour);
    colours[6] = kRed;
    EXPECT_EQ(labelColours(j), colours);
    EXPECT_EQ(j.at("slider").get<long long>(), 7);
    EXPECT_EQ(j.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(j.at("status").at(1).get<std::string>(), "2008年10月12日 星期日");
}

TEST(StartUp, WithTheNetworkDownTheWindowStillComesUpComplete) {
    std::string deadRoot;
    {
        testsupport::TestHttpServer gone;  // its port is closed once it is gone
        deadRoot = gone.root();
    }
    const ProbeRun run = runProbe({"--epg-root", deadRoot, "--now", onDay(3)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto j = run.json();
    EXPECT_EQ(j.at("groups").size(), 10u);
    EXPECT_EQ(j.at("channel_list").at("current_row").get<long long>(), 0);
    EXPECT_EQ(j.at("labels").at(2).at("color").get<long long>(), kRed);
    EXPECT_EQ(j.at("slider").get<long long>(), 3);
    EXPECT_EQ(j.at("program_list").at("rows").size(), 0u);
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 下载失败!");
    EXPECT_EQ(j.at("status").at(1).get<std::string>(), "2008年10月8日 星期三");
    EXPECT_EQ(j.at("requests").size(), 2u);
}

TEST(StartUp, TheRedLabelAndStartUpDayStayForTheWholeRun) {
    GuideServer epg;
    // Started on a Wednesday; after Friday is shown, another channel loads
    // Wednesday again and moves the slider back.
    const auto j =
        runProbe({"--epg-root", epg.root(), "--now", onDay(3), "click-label:5", "select-row:1"})
            .json();
    EXPECT_EQ(j.at("slider").get<long long>(), 3);
    const auto requests = j.at("requests").get<std::vector<std::string>>();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[2], epg.channel1(5));
    EXPECT_EQ(requests[3], epg.root() + "programys/TV_1/Channel_3/W3.htm");
    EXPECT_EQ(j.at("labels").at(2).at("color").get<long long>(), kRed);
    EXPECT_EQ(j.at("labels").at(4).at("color").get<long long>(), kTemplateLabelColour);
    EXPECT_EQ(j.at("program_list").at("rows").at(0).at(1).get<std::string>(),
              "/programys/TV_1/Channel_3/W3.htm a");
}

TEST(StartUp, CloseReportsTheWindowAsItWasAndEndsNormally) {
    GuideServer epg;
    const ProbeRun run =
        runProbe({"--epg-root", epg.root(), "--now", onDay(2), "click-label:4", "close"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto j = run.json();
    EXPECT_EQ(j.at("slider").get<long long>(), 4);
    EXPECT_EQ(j.at("program_list").at("rows").size(), 2u);
    EXPECT_EQ(j.at("requests").size(), 3u);
}

TEST(StartUp, ClosingInsideALoadEndsTheRunCleanly) {
    GuideServer epg;
    // Closed during the pause of a label's load: the state is that of the
    // pause (busy status, empty list), and the load does not touch the gone
    // window afterwards.
    ProbeRun run = runProbe(
        {"--epg-root", epg.root(), "--now", onDay(1), "click-label:3", "+close", "click-label:4"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto j = run.json();
    EXPECT_EQ(j.at("slider").get<long long>(), 3);
    EXPECT_EQ(j.at("status").at(0).get<std::string>(), "当前状态: 正在下载节目列表");
    EXPECT_EQ(j.at("program_list").at("rows").size(), 0u);
    EXPECT_EQ(j.at("requests").size(), 3u);
    // Closed inside the start-up itself.
    run = runProbe({"--epg-root", epg.root(), "--now", onDay(1), "+close"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.json().at("requests").size(), 1u);
}

TEST(StartUp, TheSkinSetsSystemColours) {
    GuideServer epg;
    const auto j = runProbe({"--epg-root", epg.root(), "--now", onDay(1)}).json();
    const auto& colours = j.at("skin");
    EXPECT_FALSE(colours.empty());
    for (const auto& [index, colour] : colours.items()) {
        EXPECT_GE(std::stoi(index), 0);
        EXPECT_LT(std::stoi(index), 31);
        EXPECT_LE(colour.get<long long>(), 0xFFFFFF);
    }
}

}  // namespace
