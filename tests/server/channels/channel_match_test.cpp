// Matching catalogue rows to the channels of a feed shaped like the public
// Chinese ones: several hundred channels, ids like CCTV1, CCTV5+, CCTV4欧洲,
// CGTN西语 or plain numbers, look-alike traps and channels of one name. Every
// one of the 215 rows is checked against the channel it must get, or none;
// names that must never meet, and days taken whole from one channel.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "server/channels/channel_index.h"
#include "server/channels/channel_map.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/channels/xmltv_listings.h"
#include "server/model/channels.h"
#include "server/xmltv/xmltv_read.h"
#include "server_test_util.h"

namespace epg {
namespace {

struct FeedChannel {
    std::string id;
    std::vector<std::string> names;
};

// The feed: named channels first (id, display names), then filler channels
// of every province that no row may take.
std::vector<FeedChannel> chineseFeed() {
    std::vector<FeedChannel> feed = {
        {"CCTV1", {"CCTV-1 综合", "CCTV1高清"}},
        {"CCTV2", {"CCTV-2 财经"}},
        {"CCTV3", {"CCTV-3 综艺"}},
        {"CCTV4", {"CCTV-4 中文国际"}},
        {"CCTV4欧洲", {"CCTV-4 欧洲"}},
        {"CCTV4美洲", {"CCTV-4 美洲"}},
        {"CCTV5", {"CCTV-5 体育"}},
        {"CCTV5+", {"CCTV-5+ 体育赛事"}},
        {"CCTV6", {"CCTV-6 电影"}},
        {"CCTV7", {"CCTV-7 国防军事"}},
        {"CCTV8", {"CCTV-8 电视剧"}},
        {"CCTV9", {"CCTV-9 纪录"}},
        {"CCTV10", {"CCTV-10 科教"}},
        {"CCTV11", {"CCTV-11 戏曲"}},
        {"CCTV12", {"CCTV-12 社会与法"}},
        {"CCTV13", {"CCTV-13 新闻"}},
        {"CCTV14", {"CCTV-14 少儿"}},
        {"CCTV15", {"CCTV-15 音乐"}},
        {"CCTV16", {"CCTV-16 奥林匹克"}},
        {"CCTV17", {"CCTV-17 农业农村"}},
        {"CCTV4K", {"CCTV-4K 超高清"}},
        {"CGTN", {"CGTN 英语"}},
        {"CGTN纪录", {"CGTN 纪录"}},
        {"CGTN西语", {}},
        {"CGTN法语", {}},
        {"CGTN阿语", {}},
        {"CGTN俄语", {}},
        {"CETV1", {"中国教育1台"}},
        {"CETV2", {"中国教育2台"}},
        {"CETV4", {"中国教育4台"}},
        {"湖南卫视", {}},
        {"湖南卫视国际", {}},
        {"湖南电影", {}},
        {"湖南经视", {}},
        {"江苏卫视", {}},
        {"东方卫视", {"上海东方卫视"}},
        {"安徽卫视", {}},
        {"安徽卫视高清", {}},
        {"101", {"浙江卫视", "浙江卫视高清"}},
        {"102", {"北京卫视"}},
        {"山东卫视", {}},
        {"江西卫视", {}},
        {"jxws", {"江西卫视"}},  // two channels of one name: the first on a tie
        {"河南卫视", {}},
        {"重庆卫视", {}},
        {"东南卫视", {}},
        {"广西卫视", {}},
        {"四川卫视", {}},
        {"广东卫视", {}},
        {"广东珠江", {}},
        {"海南卫视", {}},
        {"吉林卫视", {}},
        {"山西卫视", {}},
        {"云南卫视", {}},
        {"天津卫视", {}},
        {"辽宁卫视高清", {}},
        {"辽宁卫视HD", {}},  // both are 辽宁卫视 without their suffixes
        {"湖北卫视", {}},
        {"陕西卫视", {}},
        {"贵州卫视", {}},
        {"河北卫视", {}},
        {"黑龙江卫视", {}},
        {"宁夏卫视", {}},
        {"青海卫视", {}},
        {"甘肃卫视", {}},
        {"内蒙古卫视", {}},
        {"新疆卫视", {}},
        {"西藏卫视", {}},
        {"深圳卫视", {}},
        {"厦门卫视", {}},
        {"兵团卫视", {}},
        {"延边卫视", {}},
        {"凤凰中文", {"凤凰卫视中文台"}},
        {"凤凰资讯", {"凤凰卫视资讯台"}},
        {"凤凰香港", {}},
        {"凤凰电影", {}},
        {"翡翠台", {"TVB Jade"}},
        {"明珠台", {"TVB Pearl"}},
        {"TVB8", {}},
        {"亚视本港台", {}},
        {"星空卫视", {}},
        {"华娱卫视", {}},
        {"澳亚卫视", {}},
        {"ESPN体育台", {}},
        {"AXN", {}},
        {"ANIMAX", {}},
        {"HBO", {}},
        {"Cinemax", {}},
        {"GoalTV1", {"Goal TV 1"}},
        {"风云音乐", {}},
        {"第一剧场", {}},
        {"风云足球", {}},
        {"高尔夫网球", {}},
        {"风云剧场", {}},
        {"世界地理", {}},
        {"怀旧剧场", {}},
        {"央视文化精品", {}},
        {"兵器科技", {}},
        {"女性时尚", {}},
        {"央视台球", {}},
        {"电视指南", {}},
        {"中视购物", {}},
        {"新科动漫", {}},
        {"天元围棋", {}},
        {"梨园频道", {}},
        {"环球奇观", {}},
        {"书画", {}},
        {"发现之旅", {}},
        {"老故事", {}},
        {"央广购物", {}},
        {"早期教育", {}},
        {"全纪实", {}},
        {"动漫秀场", {}},
        {"游戏风云", {}},
        {"优优宝贝", {}},
        {"四海钓鱼", {}},
        {"CHC家庭影院", {}},
        {"CHC高清电影", {}},
        {"CHC动作电影", {}},
        {"中华美食", {}},
        {"中国气象", {}},
        {"欧美影院", {}},
        {"快乐垂钓", {}},
        {"家有购物", {}},
    };
    const char* provinces[] = {"北京",   "上海", "天津", "重庆", "河北", "山西",  "辽宁", "吉林",
                               "黑龙江", "江苏", "浙江", "安徽", "福建", "江西",  "山东", "河南",
                               "湖北",   "湖南", "广东", "广西", "海南", "四川",  "贵州", "云南",
                               "陕西",   "甘肃", "青海", "宁夏", "新疆", "内蒙古"};
    const char* locals[] = {"新闻", "都市", "公共", "经济", "影视", "少儿", "生活", "文体"};
    int n = 1000;
    for (const char* p : provinces)
        for (const char* l : locals)
            feed.push_back(
                {std::to_string(n++), {std::string(p) + l, std::string(p) + l + "高清"}});
    return feed;
}

// Each channel gets one programme titled with its id, so a row's listings
// tell which channel it took.
std::string feedXml(const std::vector<FeedChannel>& feed) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n";
    for (const auto& ch : feed) {
        x += "<channel id=\"" + ch.id + "\">";
        for (const auto& n : ch.names) x += "<display-name lang=\"zh\">" + n + "</display-name>";
        x += "</channel>\n";
    }
    for (const auto& ch : feed)
        x += "<programme channel=\"" + ch.id + "\" start=\"20261207190000 +0800\"><title>" + ch.id +
             "</title></programme>\n";
    return x + "</tv>\n";
}

std::shared_ptr<const XmltvDocument> parsed(const std::string& xml, const char* source) {
    XmltvParse p = parseXmltv(xml, source);
    EXPECT_TRUE(p.document) << p.error;
    return std::make_shared<const XmltvDocument>(p.document ? std::move(*p.document)
                                                            : XmltvDocument{});
}

std::string trimmedName(std::size_t row) {
    std::string name = channelNameUtf8(row);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

// Catalogue name -> the feed channel its row must get ("" for none).
const std::map<std::string, std::string> kExpected = {
    // 央视频道: numbers never run into longer ones, renamed channels only by their new names.
    {"CCTV-1（综合）", "CCTV1"},
    {"CCTV-2（财经）", "CCTV2"},
    {"CCTV-3（综艺）", "CCTV3"},
    {"CCTV-4中文国际（亚）", "CCTV4"},
    {"CCTV-5（体育）", "CCTV5"},
    {"CCTV-6（电影）", "CCTV6"},
    {"CCTV-7（军事 农业）", "CCTV7"},
    {"CCTV-8（电视剧）", "CCTV8"},
    {"CCTV-9（纪录）", "CCTV9"},
    {"CCTV-10（科教）", "CCTV10"},
    {"CCTV-11（戏曲）", "CCTV11"},
    {"CCTV-12（社会与法）", "CCTV12"},
    {"CCTV-13（新闻）", "CCTV13"},
    {"CCTV-14（少儿）", "CCTV14"},
    {"CCTV-15（音乐）", "CCTV15"},
    {"CCTV-E", "CGTN西语"},
    {"CCTV-4中文国际（欧）", "CCTV4欧洲"},
    {"CCTV-4中文国际（美）", "CCTV4美洲"},
    {"CCTV-F", "CGTN法语"},
    {"CCTV-阿拉伯语国际频道", "CGTN阿语"},
    {"CCTV-俄罗斯语国际频道", "CGTN俄语"},
    {"CCTV-9（英）", "CGTN"},
    {"CCTV-NEWS", "CGTN"},
    {"CCTV-1（高清）", "CCTV1"},
    {"CCTV-3（高清）", "CCTV3"},
    {"CCTV-5（高清）", "CCTV5"},
    {"CCTV-8（高清）", "CCTV8"},
    {"CCTV5+", "CCTV5+"},
    // 中国教育电视台
    {"中国教育台-1", "CETV1"},
    {"中国教育台-2", "CETV2"},
    {"中国教育台-3", ""},
    {"CETV空中课堂", ""},
    {"早期教育", "早期教育"},
    {"太阳花在线", ""},
    // 中数传媒
    {"靓妆", ""},
    {"天元围棋", "天元围棋"},
    {"游戏竞技", ""},
    {"汽摩", ""},
    {"留学世界", ""},
    {"孕育指南", ""},
    {"青年学苑", ""},
    {"CCTV电视指南", "电视指南"},
    {"法律服务", ""},
    {"高尔夫", ""},
    {"梨园", "梨园频道"},
    {"英语辅导", ""},
    {"老年福", ""},
    {"摄影", ""},
    {"先锋纪录", ""},
    {"CCTV中视购物", "中视购物"},
    {"环球奇观", "环球奇观"},
    {"育婴宝典", ""},
    {"彩民在线", ""},
    {"快乐购物", ""},
    {"CCTV中学生", ""},
    {"现代女性", ""},
    {"证券资讯", ""},
    {"老故事", "老故事"},
    {"东方物流", ""},
    {"发现之旅", "发现之旅"},
    {"书画频道", "书画"},
    {"DV生活", ""},
    {"财富天下", ""},
    {"城市建设频道", ""},
    {"百姓健康", ""},
    {"宝贝家", ""},
    {"导视", ""},
    {"央广购物", "央广购物"},
    {"CCTV新科动漫", "新科动漫"},
    {"中国3D电视实验频道", ""},
    {"篮球频道", ""},
    // 央视风云: the brand the feed leaves out.
    {"CCTV风云音乐", "风云音乐"},
    {"CCTV第一剧场", "第一剧场"},
    {"CCTV风云足球", "风云足球"},
    {"CCTV高尔夫网球", "高尔夫网球"},
    {"CCTV风云剧场", "风云剧场"},
    {"CCTV世界地理", "世界地理"},
    {"CCTV怀旧剧场", "怀旧剧场"},
    {"CCTV央视文化精品", "央视文化精品"},
    {"CCTV娱乐", ""},
    {"CCTV戏曲", ""},
    {"CCTV国防军事", ""},
    {"CCTV女性时尚", "女性时尚"},
    {"CCTV电影", ""},
    {"CCTV央视台球", "央视台球"},
    // 北广传媒
    {"车迷频道", ""},
    {"考试在线", ""},
    {"优优宝贝", "优优宝贝"},
    {"四海钓鱼", "四海钓鱼"},
    {"动感音乐", ""},
    {"环球旅游", ""},
    {"新娱乐", ""},
    {"京视剧场", ""},
    {"爱家购物", ""},
    {"弈坛春秋", ""},
    {"置业", ""},
    // 数字频道
    {"全纪实", "全纪实"},
    {"动漫秀场", "动漫秀场"},
    {"卫生健康", ""},
    {"游戏风云", "游戏风云"},
    {"车迷", ""},
    {"CHC家庭影院", "CHC家庭影院"},
    {"时代家居", ""},
    {"收藏天下", ""},
    {"吉祥购物", ""},
    {"中华美食频道", "中华美食"},
    {"职业指南频道", ""},
    {"智趣频道", ""},
    {"中国气象频道", "中国气象"},
    {"电子体育", ""},
    {"碟市", ""},
    {"读书频道", ""},
    {"家家购物", ""},
    {"家庭健康", ""},
    {"家庭理财", ""},
    {"快乐宠物", ""},
    {"时代出行", ""},
    {"时代风尚", ""},
    {"时代美食", ""},
    {"CHC高清电影", "CHC高清电影"},
    {"CHC动作电影", "CHC动作电影"},
    {"新动漫", ""},
    {"天盛欧洲足球频道", ""},
    {"北京气象", ""},
    {"先锋乒羽", ""},
    {"人物频道", ""},
    {"音像世界", ""},
    {"家政频道", ""},
    {"快乐垂钓", "快乐垂钓"},
    {"环球购物", ""},
    {"家有购物", "家有购物"},
    {"欧美影院", "欧美影院"},
    {"欧美影院（高清）", "欧美影院"},
    {"风尚音乐", ""},
    {"风尚音乐（高清）", ""},
    {"探索纪录", ""},
    {"探索纪录（高清）", ""},
    // 全国卫视: never 湖南卫视国际 or 湖南电影; 江西 and 辽宁 take the first of two.
    {"湖南卫视", "湖南卫视"},
    {"江苏卫视", "江苏卫视"},
    {"东方卫视(上海卫视)", "东方卫视"},
    {"安徽卫视", "安徽卫视"},
    {"浙江卫视", "101"},
    {"北京卫视(BTV-1)", "102"},
    {"山东卫视", "山东卫视"},
    {"江西卫视", "江西卫视"},
    {"河南卫视", "河南卫视"},
    {"重庆卫视", "重庆卫视"},
    {"东南卫视(福建卫视)", "东南卫视"},
    {"广西卫视", "广西卫视"},
    {"四川卫视", "四川卫视"},
    {"广东卫视", "广东卫视"},
    {"珠江卫视", ""},
    {"中国教育1套", "CETV1"},
    {"旅游卫视(海南卫视)", "海南卫视"},
    {"吉林卫视", "吉林卫视"},
    {"山西卫视", "山西卫视"},
    {"云南卫视", "云南卫视"},
    {"天津卫视", "天津卫视"},
    {"辽宁卫视", "辽宁卫视高清"},
    {"湖北卫视", "湖北卫视"},
    {"陕西卫视", "陕西卫视"},
    {"贵州卫视", "贵州卫视"},
    {"河北卫视", "河北卫视"},
    {"黑龙江卫视", "黑龙江卫视"},
    {"宁夏卫视", "宁夏卫视"},
    {"青海卫视", "青海卫视"},
    {"甘肃卫视", "甘肃卫视"},
    {"内蒙古卫视", "内蒙古卫视"},
    {"新疆卫视", "新疆卫视"},
    {"西藏卫视", "西藏卫视"},
    {"深圳卫视", "深圳卫视"},
    {"厦门卫视", "厦门卫视"},
    {"兵团卫视", "兵团卫视"},
    {"南方卫视", ""},
    {"延边卫视", "延边卫视"},
    // 境外频道
    {"凤凰卫视", "凤凰中文"},
    {"凤凰资讯台", "凤凰资讯"},
    {"凤凰欧洲台", ""},
    {"凤凰美洲台", ""},
    {"星空卫视", "星空卫视"},
    {"华娱卫视", "华娱卫视"},
    {"TVB-翡翠台", "翡翠台"},
    {"TVB-明珠台", "明珠台"},
    {"亚视-本港台", "亚视本港台"},
    {"亚视-国际台", ""},
    {"有线卫视-新知台", ""},
    {"澳亚卫视", "澳亚卫视"},
    {"东风卫视", ""},
    {"阳光卫视", ""},
    // 境外体育: (亚洲) and (台湾) tell channels apart, so ESPN体育台 is neither.
    {"ESPN体育台(亚洲)", ""},
    {"ESPN体育台(台湾)", ""},
    {"卫视体育台(亚洲)", ""},
    {"卫视体育台(台湾)", ""},
    {"Goal TV 1", "GoalTV1"},
    {"Goal TV 2", ""},
    // 境外影视
    {"HBO家庭影院", ""},
    {"Cinemax", "Cinemax"},
    {"卫视西片(Star Movie)", ""},
    {"贺曼影视(Hallmark)", ""},
    {"AXN动作频道(亚洲)", ""},
    {"AXN动作频道(台湾)", ""},
    {"TVB-星河频道", ""},
    {"TVB-8", "TVB8"},
    {"天映电影频道", ""},
    {"凤凰电影台", "凤凰电影"},
    {"ANIMAX(亚洲)", ""},
    {"ANIMAX(台湾)", ""},
};

TEST(ChannelMatch, EveryRowOfTheCatalogueGetsItsChannelOrNone) {
    std::vector<FeedChannel> feed = chineseFeed();
    ASSERT_GT(feed.size(), 300u);
    SourceDocuments docs;
    docs.push_back(parsed(feedXml(feed), "feed.xml"));
    XmltvListings x = listingsFromXmltv(docs, nullptr, beijing());

    std::set<std::string> seen;
    std::size_t expectedMatches = 0;
    for (std::size_t row = 0; row < channelCount(); ++row) {
        std::string name = trimmedName(row);
        auto it = kExpected.find(name);
        ASSERT_NE(it, kExpected.end()) << "no expectation for " << name;
        seen.insert(name);
        const RowMatch& m = x.match.rows[row];
        EXPECT_EQ(m.id, it->second) << name << ": " << m.how;
        EXPECT_EQ(m.kind, it->second.empty() ? MatchKind::none : MatchKind::name) << name;
        expectedMatches += !it->second.empty();
        // The row's listings are that channel's programme, titled with its id.
        auto programmes = x.listings->starting(row, 0, std::numeric_limits<Seconds>::max());
        ASSERT_EQ(programmes.size(), it->second.empty() ? 0u : 1u) << name;
        if (!programmes.empty()) {
            EXPECT_EQ(programmes[0].title, it->second) << name;
        }
    }
    EXPECT_EQ(seen.size(), kExpected.size());  // no stale expectation
    EXPECT_EQ(x.match.count(MatchKind::name), expectedMatches);
    EXPECT_NE(x.summary.find("215 catalogue rows: 0 from the map, " +
                             std::to_string(expectedMatches) + " matched by name"),
              std::string::npos)
        << x.summary;
    // jxws has as many programmes that day as 江西卫视, which comes first.
    const RowMatch& jiangxi = x.match.rows[*channelByPath("programws/TV_23/Channel_45/")];
    EXPECT_EQ(jiangxi.serving, (std::vector<Serving>{{"江西卫视", "feed.xml", 1}}));
    EXPECT_EQ(jiangxi.idle, 1u);
    EXPECT_TRUE(x.notes.empty());  // no row takes days from two channels
}

TEST(ChannelMatch, TheMapWinsAndTheEarlierSourceOnATie) {
    SourceDocuments docs;
    docs.push_back(
        parsed(feedXml({{"hunan-a", {"湖南卫视"}}, {"CCTV1", {}}, {"CCTV10", {}}}), "first.xml"));
    docs.push_back(parsed(feedXml({{"hunan-b", {"湖南卫视"}}, {"Cinemax", {}}, {"hunan-a", {}}}),
                          "second.xml"));
    MapResult map = parseChannelMap(
        "programys/TV_1/Channel_1/\tCCTV10\n"
        "programys/TV_1/Channel_3/\tnowhere\n",
        "m");
    ASSERT_TRUE(map.map);
    XmltvListings x = listingsFromXmltv(docs, &*map.map, beijing());
    auto row = [](const char* path) { return *channelByPath(path); };
    const RowMatch& cctv1 = x.match.rows[row("programys/TV_1/Channel_1/")];
    EXPECT_EQ(cctv1.kind, MatchKind::map);
    EXPECT_EQ(cctv1.id, "CCTV10");  // the map says so, whatever the name
    EXPECT_EQ(x.match.rows[row("programys/TV_1/Channel_3/")].how,
              "from the map (no source has it)");
    EXPECT_EQ(x.match.rows[row("programys/TV_1/Channel_1967/")].id, "CCTV1");  // by name
    std::size_t hunan = row("programws/TV_24/Channel_46/");
    EXPECT_EQ(x.match.rows[hunan].id, "hunan-a");  // as many programmes: the first source's
    EXPECT_EQ(x.match.rows[row("programjw/TV_300/Channel_1260/")].id, "Cinemax");
    auto programmes = x.listings->starting(hunan, 0, std::numeric_limits<Seconds>::max());
    ASSERT_EQ(programmes.size(), 1u);
    EXPECT_EQ(programmes[0].title, "hunan-a");
    EXPECT_EQ(x.match.count(MatchKind::map), 2u);
}

// --print-map's text read back as a map gives every row the same channel.
TEST(ChannelMatch, PrintedMapReadsBackAsTheSameMatch) {
    std::vector<FeedChannel> feed = chineseFeed();
    feed.push_back({"a#b", {"Goal TV 2"}});  // an id the map format cannot hold
    SourceDocuments docs;
    docs.push_back(parsed(feedXml(feed), "feed.xml"));
    CatalogueMatch first = listingsFromXmltv(docs, nullptr, beijing()).match;
    std::string text = channelMapText(first);
    EXPECT_NE(
        text.find("programys/TV_1/Channel_1/\tCCTV1\t# CCTV-1（综合）, by name \"CCTV-1 综合\" in "
                  "feed.xml, 1 day\n"),
        std::string::npos);
    EXPECT_NE(text.find("\nprogramws/TV_23/Channel_45/\t江西卫视\t# 江西卫视, by name \"江西卫视\" "
                        "in feed.xml, 1 day; 1 more channel serving no day\n"),
              std::string::npos);
    EXPECT_NE(text.find("# programys/TV_44/Channel_20/\t\t# 中国教育台-3, none: no channel of "
                        "that name\n"),
              std::string::npos);
    EXPECT_NE(text.find("# programjw/TV_107/Channel_563/\t\t# Goal TV 2, by name"),
              std::string::npos);
    MapResult read = parseChannelMap(text, "printed.map");
    ASSERT_TRUE(read.map) << read.error;
    CatalogueMatch again = listingsFromXmltv(docs, &*read.map, beijing()).match;
    std::size_t lines = 0;
    for (std::size_t row = 0; row < channelCount(); ++row) {
        EXPECT_EQ(again.rows[row].id, first.rows[row].id) << trimmedName(row);
        if (first.rows[row].kind == MatchKind::name && first.rows[row].id != "a#b") {
            EXPECT_EQ(again.rows[row].kind, MatchKind::map) << trimmedName(row);
        }
    }
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, channelCount() + 3);  // three header lines, one per row
}

// Whether a name (as the catalogue or a player writes it) finds a feed's
// channel: every form of one channel does, and no other channel ever.
TEST(ChannelNames, NamesOfOneChannelMeetAndNoOtherChannelDoes) {
    const struct {
        const char* name;
        FeedChannel channel;
        bool fits;
    } cases[] = {
        // Numbers: leading zeros, descriptors spaced or not, Traditional ones.
        {"CCTV-1（综合）", {"1", {"CCTV-01"}}, true},
        {"CCTV-1（综合）", {"cctv1", {"CCTV-1 綜合"}}, true},
        {"CCTV-1（高清）", {"x", {"CCTV1 HD"}}, true},
        {"CCTV16", {"x", {"CCTV-16奥林匹克"}}, true},
        {"CCTV-17", {"x", {"CCTV-17农业农村"}}, true},
        {"CCTV-1（综合）", {"CCTV10", {"CCTV-10 科教"}}, false},
        // CCTV5+ in every form, and never CCTV5.
        {"CCTV5+", {"CCTV5PLUS", {"CCTV-5+ 体育赛事"}}, true},
        {"CCTV5+", {"x", {"CCTV5＋"}}, true},
        {"CCTV5+", {"CCTV5PLUS", {}}, true},
        {"CCTV5+", {"cctv5", {"CCTV-5 体育"}}, false},
        {"CCTV-5（体育）", {"CCTV5+", {"CCTV-5+ 体育赛事"}}, false},
        // CCTV-4: Asia is the plain one; Europe, America and 4K are others.
        {"CCTV-4中文国际（亚）", {"CCTV4", {"CCTV-4 (亚洲)"}}, true},
        {"CCTV-4中文国际（欧）", {"CCTVEUROPE", {}}, true},
        {"CCTV-4中文国际（美）", {"x", {"CCTV-4 中文國際 美洲"}}, true},
        {"CCTV-4中文国际（亚）", {"CCTV4欧洲", {"CCTV-4 欧洲"}}, false},
        {"CCTV-4中文国际（亚）", {"cctvamerica", {"CCTV-4 (美洲)"}}, false},
        {"CCTV-4中文国际（亚）", {"CCTV4K", {"CCTV-4K 超高清"}}, false},
        {"CCTV16", {"x", {"CCTV-16 奥林匹克 4K"}}, false},
        // CCTV-9 is the documentaries; CGTN was CCTV-9 English and CCTV-NEWS.
        {"CCTV-9（纪录）", {"CCTVJILU", {}}, true},
        {"CCTV-9（纪录）", {"CCTV9", {"CCTV-9 纪录"}}, true},
        {"CCTV-9（纪录）", {"CCTV9", {"CGTN"}}, false},
        {"CCTV-9（纪录）", {"CCTV9", {"CCTV-NEWS"}}, false},
        {"CCTV-9（纪录）", {"x", {"CCTV-9 English"}}, false},
        {"CCTV-9（英）", {"CCTV9", {"CGTN"}}, true},
        {"CCTV-NEWS", {"x", {"CGTN 英语"}}, true},
        {"CCTV-14（少儿）", {"CCTVCHILD", {}}, true},
        // CGTN in its own languages.
        {"CCTV-E", {"x", {"CGTN Español"}}, true},
        {"CCTV-E", {"x", {"CCTV-Español"}}, true},
        {"CCTV-F", {"x", {"CCTV-Français"}}, true},
        {"CCTV-阿拉伯语国际频道", {"x", {"CCTV-العربية"}}, true},
        {"CCTV-俄罗斯语国际频道", {"x", {"CGTN Русский"}}, true},
        {"CCTV-E", {"x", {"CGTN Français"}}, false},
        // 中国教育台 by its three names.
        {"中国教育台-1", {"CETV-1", {}}, true},
        {"中国教育台-1", {"x", {"中国教育1台"}}, true},
        {"中国教育1套", {"x", {"CETV1"}}, true},
        {"中国教育台-1", {"CETV2", {"中国教育2台"}}, false},
        // Brands, Traditional names, pinyin and English ids.
        {"老故事", {"x", {"CCTV老故事"}}, true},
        {"凤凰卫视", {"x", {"鳳凰衛視中文台"}}, true},
        {"TVB-翡翠台", {"x", {"翡翠臺"}}, true},
        {"TVB-翡翠台", {"x", {"TVB Jade"}}, true},
        {"湖南卫视", {"HUNAN", {"湖南衛視"}}, true},
        {"湖南卫视", {"湖南卫视", {"Hunan TV"}}, true},  // the id, as nothing else says it
        {"浙江卫视", {"101", {"浙江卫视高清"}}, true},
        // A 卫视 is not its 4K, international or film sibling.
        {"湖南卫视", {"x", {"湖南卫视国际"}}, false},
        {"湖南卫视", {"x", {"湖南电影"}}, false},
        {"湖南卫视", {"x", {"湖南卫视4K"}}, false},
        {"ESPN体育台(亚洲)", {"x", {"ESPN体育台(台湾)"}}, false},
        // What playlists write: picture sizes and stream states in brackets,
        // a superscript plus, English names.
        {"CCTV-1（综合）", {"x", {"CCTV-1 (1080p)"}}, true},
        {"CCTV-1（综合）", {"x", {"CCTV-1 [Geo-blocked]"}}, true},
        {"CCTV-13（新闻）", {"x", {"CCTV-13 新闻 (576i) [Not 24/7]"}}, true},
        {"CCTV16", {"x", {"CCTV-16 (2160p)"}}, true},
        {"CCTV16", {"x", {"CCTV-16 4K (2160p)"}}, false},
        {"CCTV5+", {"x", {"CCTV5⁺"}}, true},
        {"CCTV5+", {"x", {"CCTV5体育赛事"}}, true},
        {"CCTV5+", {"x", {"CCTV-5 体育赛事"}}, true},
        {"CCTV-5（体育）", {"x", {"CCTV5体育赛事"}}, false},
        {"CCTV-5（体育）", {"x", {"CCTV-5 (1080p)"}}, true},
        {"安徽卫视", {"AnhuiTV.cn@SD", {"Anhui TV"}}, true},
        {"东方卫视", {"x", {"Dragon TV (1080p)"}}, true},
        {"湖南卫视", {"x", {"Hunan TV [Geo-blocked]"}}, true},
        {"湖南卫视", {"x", {"Hubei TV"}}, false},
        {"山西卫视", {"x", {"Shaanxi TV"}}, false},
        // CCTV-NEWS is the English news, not the English documentaries.
        {"CCTV-NEWS", {"x", {"CCTV-News"}}, true},
        {"CCTV-NEWS", {"x", {"CCTV-9 纪录(英)"}}, false},
        {"CCTV-NEWS", {"x", {"CGTN Documentary"}}, false},
        {"CCTV-9（纪录）", {"x", {"CCTV-9 纪录(英)"}}, false},
        {"CCTV-E", {"x", {"CGTN Spanish"}}, true},
    };
    const ChannelNames& names = ChannelNames::builtIn();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        ChannelIndex index({parsed(feedXml({c.channel}), "feed.xml")}, beijing());
        EXPECT_EQ(!index.byKey(names.key(c.name)).empty(), c.fits)
            << "case " << i << ": " << c.name << " (key " << names.key(c.name) << ") and "
            << c.channel.id;
    }
}

TEST(ChannelNames, BadTablesNameTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"# only comments\n\nbrand\tCCTV\nsame\tA-{N}\tA{N}X\n", ""},
        {"\nsame\tCCTV-E\n", "channel_names.txt:2: same needs two names at least"},
        {"same\ta\tb\nsame\tc\tB\n", "channel_names.txt:2: \"B\" is already a name of \"a\""},
        {"suffix\t台\nsame\t翡翠台\t翡翠\n",
         "channel_names.txt:2: \"翡翠\" is already a name of \"翡翠\""},
        {"brand\tA\tB\n", "channel_names.txt:1: brand takes one word"},
        {"prefix\tCCTV\n", "channel_names.txt:1: unknown keyword \"prefix\""},
        {"suffix\t \n", "channel_names.txt:1: suffix takes one word"},
        {"other\n", "channel_names.txt:1: other needs a word"},
    };
    for (const auto& c : cases) {
        std::string error;
        auto parsed = ChannelNames::parse(c.text, error);
        EXPECT_EQ(parsed.has_value(), *c.error == '\0') << c.text;
        EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << c.text;
    }
}

// One channel under three ids in two sources: each day from the one with
// most programmes that day (the earlier source on a tie), never two mixed.
TEST(ChannelIndex, EachDayComesWholeFromTheChannelWithMostProgrammes) {
    auto programme = [](const char* id, const char* day, const char* time, const char* title) {
        return std::string("<programme channel=\"") + id + "\" start=\"202612" + day + time +
               "00 +0800\"><title>" + title + "</title></programme>\n";
    };
    std::string a =
        "<tv><channel id=\"cztv_101\"><display-name>浙江卫视</display-name></channel>"
        "<channel id=\"101\"><display-name>浙江卫视 高清</display-name></channel>"
        "<channel id=\"nj\"><display-name>南京新闻综合</display-name></channel>";
    std::string b = "<tv><channel id=\"zj\"><display-name>浙江衛視</display-name></channel>";
    for (const char* t : {"0800", "1200", "1900"}) a += programme("101", "07", t, "a-mon");
    for (const char* t : {"0800", "1900"}) a += programme("101", "09", t, "a-wed");
    a += programme("nj", "07", "1800", "nj-mon");
    for (const char* t : {"0800", "1000", "1200"}) b += programme("zj", "07", t, "b-mon");
    for (const char* t : {"0800", "1000", "1200", "2330"}) b += programme("zj", "08", t, "b-tue");
    // Wednesday: three programmes, one of them twice; as many as a.xml's two.
    for (const char* t : {"0900", "0900", "2000"}) b += programme("zj", "09", t, "b-wed");
    SourceDocuments docs{parsed(a + "</tv>", "a.xml"), parsed(b + "</tv>", "b.xml")};
    XmltvListings x = listingsFromXmltv(docs, nullptr, beijing());

    const std::size_t zhejiang = *channelByPath("programws/TV_21/Channel_43/");
    const struct {
        Date day;
        const char* title;  // of every programme that day
        std::size_t count;
    } days[] = {
        {{2026, 12, 6}, "", 0},      {{2026, 12, 7}, "a-mon", 3}, {{2026, 12, 8}, "b-tue", 4},
        {{2026, 12, 9}, "a-wed", 2}, {{2026, 12, 10}, "", 0},
    };
    for (const auto& d : days) {
        auto got = x.listings->starting(zhejiang, localMidnight(d.day, beijing()),
                                        localMidnight(addDays(d.day, 1), beijing()));
        ASSERT_EQ(got.size(), d.count) << isoText(d.day);
        for (const Programme& p : got) EXPECT_EQ(p.title, d.title) << isoText(d.day);
    }
    // The empty cztv_101 comes first in a.xml, yet 101 serves most days.
    EXPECT_NE(channelMapText(x.match).find(
                  "\nprogramws/TV_21/Channel_43/\t101\t# 浙江卫视, by name \"浙江卫视 高清\" in "
                  "a.xml, 2 days; also \"zj\" in b.xml, 1 day; 1 more channel serving no day\n"),
              std::string::npos)
        << channelMapText(x.match);
    EXPECT_EQ(x.notes, (std::vector<std::string>{"1 catalogue row takes its days from more than "
                                                 "one channel (see --print-map)"}));

    // A player asks for any channel by any of its names, catalogue row or not.
    const ChannelIndex* all = x.listings->channels();
    ASSERT_NE(all, nullptr);
    auto everything = [](const Schedule& s) {
        return s.starting(0, std::numeric_limits<Seconds>::max());
    };
    EXPECT_EQ(everything(all->find("浙江卫视HD")),
              x.listings->starting(zhejiang, 0, std::numeric_limits<Seconds>::max()));
    auto nanjing = everything(all->find("南京新闻综合 高清"));
    ASSERT_EQ(nanjing.size(), 1u);
    EXPECT_EQ(nanjing[0].title, "nj-mon");
    EXPECT_TRUE(all->find("南京新闻综合4K").empty());
}

}  // namespace
}  // namespace epg
