// The invented listings: deterministic, every channel, a full broadcast day,
// programmes that fit the kind of channel.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "server/channels/channel_kind.h"
#include "server/model/channels.h"
#include "server/sources/sample_listings.h"
#include "server_test_util.h"

namespace epg {
namespace {

class SampleTest : public ::testing::Test {
  protected:
    void SetUp() override { useZone(kUtc); }
};

std::size_t channelNamed(const std::string& utf8) {
    for (std::size_t c = 0; c < channelCount(); ++c)
        if (channelNameUtf8(c) == utf8) return c;
    ADD_FAILURE() << "no channel " << utf8;
    return 0;
}

TEST_F(SampleTest, KindsFollowTheChannelNames) {
    struct Case {
        const char* name;
        int group;
        ChannelKind kind;
    } cases[] = {
        {"CCTV-13（新闻）", 0, ChannelKind::News},
        {"CCTV-5（体育）", 0, ChannelKind::Sport},
        {"CCTV-6（电影）", 0, ChannelKind::Film},
        {"CCTV-8（电视剧）", 0, ChannelKind::Drama},
        {"CCTV-14（少儿）", 0, ChannelKind::Children},
        {"CCTV-15（音乐）", 0, ChannelKind::Music},
        {"CCTV-11（戏曲）", 0, ChannelKind::Opera},
        {"CCTV中视购物", 2, ChannelKind::Shopping},
        {"中国气象频道", 5, ChannelKind::Weather},
        {"CCTV-9（纪录）", 0, ChannelKind::Documentary},
        {"中国教育台-1", 1, ChannelKind::Education},
        {"凤凰卫视", 7, ChannelKind::Foreign},
        {"CCTV-F", 0, ChannelKind::Foreign},
        {"湖南卫视", 6, ChannelKind::General},
        {"CCTV-1（综合） ", 0, ChannelKind::General},
        {"凤凰资讯台", 7, ChannelKind::News},
        {"HBO家庭影院", 9, ChannelKind::Film},
        {"ESPN体育台(亚洲)", 8, ChannelKind::Sport},
    };
    for (const auto& c : cases) EXPECT_EQ(channelKind(c.name, c.group), c.kind) << c.name;
}

TEST_F(SampleTest, SameDateSameProgrammesOtherDateOthers) {
    Date d{2026, 12, 9};
    for (std::size_t c : {std::size_t{0}, std::size_t{100}, channelCount() - 1}) {
        auto a = sampleBroadcastDay(c, d, beijing());
        EXPECT_EQ(a, sampleBroadcastDay(c, d, beijing()));
        EXPECT_NE(a, sampleBroadcastDay(c, addDays(d, 1), beijing()));
    }
    EXPECT_NE(sampleBroadcastDay(0, d, beijing()), sampleBroadcastDay(1, d, beijing()));
}

TEST_F(SampleTest, EveryChannelRunsFromSixToPastMidnightWithoutGapsOrOverlaps) {
    Date d{2026, 12, 9};
    for (std::size_t c = 0; c < channelCount(); ++c) {
        auto day = sampleBroadcastDay(c, d, beijing());
        ASSERT_GE(day.size(), 10u) << channelNameUtf8(c);
        EXPECT_EQ(day.front().start, fromLocal(d, 6 * 60, beijing())) << channelNameUtf8(c);
        EXPECT_GT(day.back().stop, localMidnight(addDays(d, 1), beijing())) << channelNameUtf8(c);
        EXPECT_LE(day.back().stop, fromLocal(addDays(d, 1), 6 * 60, beijing()))
            << channelNameUtf8(c);
        for (std::size_t i = 0; i < day.size(); ++i) {
            EXPECT_LT(day[i].start, day[i].stop);
            EXPECT_FALSE(day[i].title.empty());
            if (i > 0) {
                EXPECT_EQ(day[i - 1].stop, day[i].start) << channelNameUtf8(c) << " " << i;
            }
        }
    }
}

TEST_F(SampleTest, ProgrammesFitTheirChannel) {
    Date d{2026, 12, 9};
    auto titles = [&](const char* name) {
        std::string all;
        for (const auto& p : sampleBroadcastDay(channelNamed(name), d, beijing()))
            all += p.title + "\n";
        return all;
    };
    std::string drama = titles("CCTV-8（电视剧）");
    EXPECT_TRUE(std::regex_search(drama, std::regex("电视剧：.+（[0-9]+）"))) << drama;
    EXPECT_NE(titles("CCTV-13（新闻）").find("新闻联播"), std::string::npos);
    EXPECT_NE(titles("CCTV-6（电影）").find("："), std::string::npos);
    EXPECT_NE(titles("中国气象频道").find("天气"), std::string::npos);
    EXPECT_NE(titles("CCTV-11（戏曲）").find("剧"), std::string::npos);
    std::string shopping = titles("CCTV中视购物");
    EXPECT_TRUE(shopping.find("好物推荐") != std::string::npos ||
                shopping.find("购物直播") != std::string::npos);
    // Episode numbers climb through the day.
    std::regex ep("(电视剧：.+)（([0-9]+)）");
    std::map<std::string, int> last;  // serial -> last episode seen
    for (const auto& p : sampleBroadcastDay(channelNamed("CCTV-8（电视剧）"), d, beijing())) {
        std::smatch m;
        if (std::regex_search(p.title, m, ep)) {
            EXPECT_GT(std::stoi(m[2]), last[m[1]]) << p.title;
            last[m[1]] = std::stoi(m[2]);
            EXPECT_FALSE(p.description.empty());  // drama has a plot: the page links it
        }
    }
    EXPECT_FALSE(last.empty());
}

// A week that holds a daylight-saving change: programmes still in order,
// every one on the page of its local start date, none twice.
TEST_F(SampleTest, DaylightSavingWeekStaysOrdered) {
    SampleListings s(berlin());
    Date monday{2026, 3, 23};  // clocks go forward on Sunday 29 March
    for (std::size_t c : {std::size_t{0}, std::size_t{12}}) {
        std::set<Seconds> seen;
        for (int w = 0; w < 7; ++w) {
            Date day = addDays(monday, w);
            auto list = s.starting(c, localMidnight(day, berlin()),
                                   localMidnight(addDays(day, 1), berlin()));
            ASSERT_FALSE(list.empty());
            for (std::size_t i = 0; i < list.size(); ++i) {
                EXPECT_EQ(toLocal(list[i].start, berlin()).date, day);
                if (i > 0) {
                    EXPECT_LT(list[i - 1].start, list[i].start);
                }
                EXPECT_TRUE(seen.insert(list[i].start).second);
            }
        }
    }
}

}  // namespace
}  // namespace epg
