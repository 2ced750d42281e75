// Matching catalogue rows to the channels of a feed shaped like the public
// Chinese ones: several hundred channels, ids like CCTV1, CCTV5+, CCTV4欧洲,
// CGTN西语 or plain numbers, look-alike traps and channels that tie. Every
// one of the 215 rows is checked against the channel it must get, or none.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "server/channels/channel_map.h"
#include "server/channels/channel_match.h"
#include "server/channels/channel_names.h"
#include "server/channels/channels.h"
#include "server/channels/xmltv_listings.h"
#include "server/xmltv/xmltv_read.h"

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
        {"jxws", {"江西卫视"}},  // a tie: two channels of one name
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
        {"辽宁卫视HD", {}},  // a tie one level down: both are 辽宁卫视 only without suffix
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
    // 全国卫视: never 湖南卫视国际 or 湖南电影; 江西 and 辽宁 tie.
    {"湖南卫视", "湖南卫视"},
    {"江苏卫视", "江苏卫视"},
    {"东方卫视(上海卫视)", "东方卫视"},
    {"安徽卫视", "安徽卫视"},
    {"浙江卫视", "101"},
    {"北京卫视(BTV-1)", "102"},
    {"山东卫视", "山东卫视"},
    {"江西卫视", ""},
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
    {"辽宁卫视", ""},
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
    XmltvListings x = listingsFromXmltv(docs, nullptr);

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
    // The ties are said, naming the channels that fit.
    ASSERT_EQ(x.notes.size(), 2u);
    EXPECT_NE(x.notes[0].find("江西卫视 (programws/TV_23/Channel_45/): none: \"江西卫视\" and "
                              "\"jxws\" fit equally in feed.xml"),
              std::string::npos)
        << x.notes[0];
    EXPECT_NE(x.notes[1].find("\"辽宁卫视高清\" and \"辽宁卫视HD\""), std::string::npos)
        << x.notes[1];
}

TEST(ChannelMatch, TheMapWinsAndSourcesAreTriedInOrder) {
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
    XmltvListings x = listingsFromXmltv(docs, &*map.map);
    auto row = [](const char* path) { return *channelByPath(path); };
    const RowMatch& cctv1 = x.match.rows[row("programys/TV_1/Channel_1/")];
    EXPECT_EQ(cctv1.kind, MatchKind::map);
    EXPECT_EQ(cctv1.id, "CCTV10");  // the map says so, whatever the name
    EXPECT_EQ(x.match.rows[row("programys/TV_1/Channel_3/")].how,
              "from the map (no source has it)");
    EXPECT_EQ(x.match.rows[row("programys/TV_1/Channel_1967/")].id, "CCTV1");  // by name
    std::size_t hunan = row("programws/TV_24/Channel_46/");
    EXPECT_EQ(x.match.rows[hunan].id, "hunan-a");  // the first source decides
    EXPECT_EQ(x.match.rows[row("programjw/TV_300/Channel_1260/")].id, "Cinemax");
    // The channel's programmes from every source that has it; the first read
    // of two at one start stays.
    auto programmes = x.listings->starting(hunan, 0, std::numeric_limits<Seconds>::max());
    ASSERT_EQ(programmes.size(), 1u);
    EXPECT_EQ(x.match.count(MatchKind::map), 2u);
}

// --print-map's text read back as a map gives every row the same channel.
TEST(ChannelMatch, PrintedMapReadsBackAsTheSameMatch) {
    std::vector<FeedChannel> feed = chineseFeed();
    feed.push_back({"a#b", {"Goal TV 2"}});  // an id the map format cannot hold
    SourceDocuments docs;
    docs.push_back(parsed(feedXml(feed), "feed.xml"));
    CatalogueMatch first = matchCatalogue(docs, nullptr);
    std::string text = channelMapText(first);
    EXPECT_NE(
        text.find("programys/TV_1/Channel_1/\tCCTV1\t# CCTV-1（综合）, by name \"CCTV-1 综合\" in "
                  "feed.xml\n"),
        std::string::npos);
    EXPECT_NE(text.find("# programws/TV_23/Channel_45/\t江西卫视\t# 江西卫视, none: "),
              std::string::npos);  // a tie: commented out, the first channel suggested
    EXPECT_NE(text.find("# programys/TV_44/Channel_20/\t\t# 中国教育台-3, none: no channel of "
                        "that name\n"),
              std::string::npos);
    EXPECT_NE(text.find("# programjw/TV_107/Channel_563/\t\t# Goal TV 2, by name"),
              std::string::npos);
    MapResult read = parseChannelMap(text, "printed.map");
    ASSERT_TRUE(read.map) << read.error;
    CatalogueMatch again = matchCatalogue(docs, &*read.map);
    std::size_t lines = 0;
    for (std::size_t row = 0; row < channelCount(); ++row) {
        EXPECT_EQ(again.rows[row].id, first.rows[row].id) << trimmedName(row);
        if (first.rows[row].kind == MatchKind::name && first.rows[row].id != "a#b") {
            EXPECT_EQ(again.rows[row].kind, MatchKind::map) << trimmedName(row);
        }
    }
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, channelCount() + 2);  // two header lines, one per row
}

TEST(ChannelNames, BuiltInTableNamesCatalogueRowsAndBadTablesNameTheLine) {
    std::set<std::string> names;
    for (std::size_t row = 0; row < channelCount(); ++row) names.insert(trimmedName(row));
    const ChannelNames& builtIn = ChannelNames::builtIn();
    std::size_t renamed = 0;
    for (const std::string& n : names) renamed += builtIn.renamed(n) != nullptr;
    EXPECT_EQ(renamed, 15u);  // every rename of the data file names a catalogue row

    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"# only comments\n\nbrand\tCCTV\n", ""},
        {"\nrename\tCCTV-E\n", "channel_names.txt:2: a rename needs"},
        {"rename\ta\tb\nrename\ta\tc\n", "channel_names.txt:2: \"a\" is renamed twice"},
        {"brand\tA\tB\n", "channel_names.txt:1: brand takes one word"},
        {"prefix\tCCTV\n", "channel_names.txt:1: unknown keyword \"prefix\""},
        {"suffix\t \n", "channel_names.txt:1: suffix takes one word"},
    };
    for (const auto& c : cases) {
        std::string error;
        auto parsed = ChannelNames::parse(c.text, error);
        EXPECT_EQ(parsed.has_value(), *c.error == '\0') << c.text;
        EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << c.text;
    }
}

}  // namespace
}  // namespace epg
