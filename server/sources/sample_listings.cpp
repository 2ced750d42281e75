#include "server/sources/sample_listings.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "encoding/fnv1a.h"
#include "server/channels/channel_kind.h"
#include "server/model/channels.h"

namespace epg {
namespace {

using Pool = std::span<const std::string_view>;

// splitmix64: fixed arithmetic, so every platform draws the same numbers.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    std::string_view pick(Pool pool) {
        return pool[static_cast<std::size_t>(below(static_cast<int>(pool.size())))];
    }
    std::string_view pick(std::initializer_list<std::string_view> pool) {
        return pick(Pool(pool.begin(), pool.size()));
    }

  private:
    std::uint64_t s_;
};

// The sample week has always been drawn from this basis, a digit short of
// FNV's own (14695981039346656037). Every sample programme, and so every
// sample page and its entity tag, follows from it: replicas and caches of
// the sample pages, and anyone comparing weeks, would see them all change.
constexpr std::uint64_t kSampleSeedBasis = 1469598103934665603ULL;

constexpr std::string_view kDramas[] = {
    "人间正道",   "大江大河", "父母爱情", "山海情",     "幸福到万家", "觉醒年代",
    "人世间",     "县委大院", "欢乐颂",   "琅琊榜",     "亮剑",       "潜伏",
    "士兵突击",   "闯关东",   "大宅门",   "渴望",       "西游记",     "红楼梦",
    "三国演义",   "水浒传",   "家有儿女", "金婚",       "老有所依",   "平凡的世界",
    "情满四合院", "知青",     "血色浪漫", "北平无战事", "白鹿原",     "外来媳妇本地郎"};
constexpr std::string_view kPlots[] = {
    "一家人为老房子拆迁的事各执一词，父亲终于说出了多年的心里话。",
    "新来的厂长在职工大会上立下军令状，老同事们却另有打算。",
    "一封迟到的家书揭开了尘封多年的往事。",
    "兄妹俩在南下的火车上走散，各自踏上了不同的道路。",
    "村里修路的钱有了着落，可谁来带头又成了难题。",
    "面对突如其来的变故，她决定独自扛起整个家。",
    "老战友重逢，说起当年那场没有打完的仗。",
    "一场误会让两家人闹得不可开交，孩子们想出了办法。"};
constexpr std::string_view kFilms[] = {
    "英雄",         "霸王别姬",     "活着",       "红高粱",   "大话西游",   "甲方乙方",
    "卧虎藏龙",     "天下无贼",     "疯狂的石头", "让子弹飞", "流浪地球",   "我不是药神",
    "一个都不能少", "那山那人那狗", "城南旧事",   "开国大典", "地道战",     "小兵张嘎",
    "五朵金花",     "冰山上的来客", "庐山恋",     "牧马人",   "少林寺",     "黄飞鸿",
    "唐山大地震",   "集结号",       "十月围城",   "芳华",     "秋菊打官司", "阳光灿烂的日子"};
constexpr std::string_view kForeignFilms[] = {
    "泰坦尼克号", "阿甘正传", "肖申克的救赎", "指环王：护戒使者", "哈利·波特与魔法石",
    "侏罗纪公园", "星球大战", "黑客帝国",     "狮子王",           "教父",
    "罗马假日",   "乱世佳人", "音乐之声",     "终结者",           "夺宝奇兵",
    "回到未来",   "虎胆龙威", "碟中谍",       "加勒比海盗",       "蝙蝠侠：黑暗骑士"};
constexpr std::string_view kFilmPlots[] = {
    "一个普通人被卷入一场意想不到的风波，靠着勇气与智慧走出困境。",
    "根据真实事件改编，讲述一群年轻人在动荡年代里的青春与理想。",
    "一段跨越半个世纪的爱情，在时代的洪流中几经沉浮。",
    "小镇上的一桩怪事，引出了一连串令人捧腹的误会。", "硬汉警探追查一宗悬案，真相远比想象的复杂。"};
constexpr std::string_view kFootballTeams[] = {
    "曼联",   "切尔西",   "阿森纳",   "利物浦",   "曼城",     "热刺",
    "皇马",   "巴萨",     "拜仁",     "多特蒙德", "尤文图斯", "国际米兰",
    "AC米兰", "山东泰山", "上海海港", "北京国安", "广州队",   "成都蓉城"};
constexpr std::string_view kLeagues[] = {"英超联赛", "西甲联赛", "德甲联赛",
                                         "意甲联赛", "中超联赛", "欧洲冠军联赛"};
constexpr std::string_view kBasketballTeams[] = {
    "湖人", "勇士", "凯尔特人", "热火", "马刺", "火箭", "公牛", "尼克斯",
    "广东", "辽宁", "北京",     "新疆", "浙江", "上海", "山东", "深圳"};
constexpr std::string_view kCartoons[] = {
    "喜羊羊与灰太狼", "熊出没",     "大头儿子和小头爸爸", "黑猫警长",       "葫芦兄弟", "海尔兄弟",
    "蓝猫淘气三千问", "舒克和贝塔", "小鲤鱼历险记",       "虹猫蓝兔七侠传", "洛宝贝",   "哪吒传奇"};
constexpr std::string_view kOperas[] = {
    "京剧《锁麟囊》",         "京剧《贵妃醉酒》", "京剧《空城计》", "越剧《红楼梦》",
    "越剧《梁山伯与祝英台》", "黄梅戏《天仙配》", "豫剧《花木兰》", "昆曲《牡丹亭》",
    "评剧《花为媒》",         "川剧《白蛇传》",   "秦腔《三滴血》", "粤剧《帝女花》"};
constexpr std::string_view kProducts[] = {
    "家用净水器", "真丝睡衣套装", "不粘锅三件套", "羊绒围巾", "按摩椅", "智能电饭煲",
    "黄金首饰",   "空气净化器",   "茶叶礼盒",     "羽绒被",   "养生壶", "护肤套装"};
constexpr std::string_view kCities[] = {"北京", "上海", "广州", "深圳", "成都",   "重庆",
                                        "武汉", "西安", "杭州", "南京", "哈尔滨", "乌鲁木齐",
                                        "拉萨", "昆明", "海口", "沈阳"};
constexpr std::string_view kDocs[] = {"自然传奇",  "动物世界",       "人与自然", "探索·发现",
                                      "地理·中国", "走近科学",       "航拍中国", "舌尖上的中国",
                                      "大国工匠",  "我在故宫修文物", "美丽中国", "河西走廊",
                                      "本草中国",  "如果国宝会说话"};
constexpr std::string_view kDocPlots[] = {
    "镜头深入高原无人区，记录雪豹一家度过漫长的冬天。", "走访古镇老街，寻找正在消失的手艺。",
    "从一粒种子说起，讲述一种作物改变一方水土的故事。", "跟随考古队员，揭开一座古墓的千年之谜。"};
constexpr std::string_view kLessons[] = {"初中数学", "高中物理", "小学语文", "初中英语",
                                         "高中化学", "小学科学", "高中历史", "初中地理"};

struct Slot {
    std::string title;
    int minutes = 30;
    std::string description;
};

// What a planner knows while it fills one broadcast day.
struct Day {
    Rng rng;
    std::int64_t number;  // days since 1970-01-01
    std::uint64_t channelSeed;
    std::string name;         // channel name, UTF-8
    int episode[2] = {0, 0};  // episodes of today's two serials shown so far

    // The serial a channel runs changes every 15 days.
    std::string serial(int slot = 0) {
        std::int64_t period = number / 15;
        Rng r(channelSeed ^ static_cast<std::uint64_t>(period * 31 + slot));
        return std::string(r.pick(kDramas));
    }
    Slot episodeSlot(std::string_view prefix, int slot = 0) {
        int n = static_cast<int>(number % 15) * 10 + 1 + episode[slot & 1]++;
        std::string title = std::string(prefix) + serial(slot) + "（" + std::to_string(n) + "）";
        return {title, 45, "第" + std::to_string(n) + "集：" + std::string(rng.pick(kPlots))};
    }
    Slot film(Pool names, std::string_view prefix = "电影：") {
        return {std::string(prefix) + std::string(rng.pick(names)), 90 + 5 * rng.below(7),
                std::string(rng.pick(kFilmPlots))};
    }
    Slot plain(std::string_view title, int minutes) { return {std::string(title), minutes, {}}; }
    std::string versus(Pool teams) {
        std::string_view a = rng.pick(teams), b = rng.pick(teams);
        while (b == a) b = rng.pick(teams);
        return std::string(a) + "－" + std::string(b);
    }
};

enum Band { Morning, Daytime, Evening, Late };
Band bandOf(int minute) {
    if (minute < 9 * 60) return Morning;
    if (minute < 18 * 60) return Daytime;
    if (minute < 22 * 60 + 30) return Evening;
    return Late;
}

Slot newsSlot(Day& d, int t) {
    switch (bandOf(t)) {
        case Morning: return d.plain(d.rng.pick({"朝闻天下", "早间新闻", "新闻早班车"}), 30);
        case Daytime:
            return d.plain(
                d.rng.pick({"新闻直播间", "整点新闻", "新闻30分", "法治在线", "环球视线"}), 30);
        case Evening:
            return d.plain(d.rng.pick({"新闻联播", "焦点访谈", "东方时空", "新闻1+1", "国际时讯"}),
                           30);
        default: return d.plain(d.rng.pick({"晚间新闻", "午夜新闻", "新闻周刊", "整点新闻"}), 30);
    }
}

Slot dramaSlot(Day& d, int t) {
    Band b = bandOf(t);
    if (b == Morning && d.rng.below(3) == 0) return d.plain("剧场导视", 10);
    if (b == Late && d.rng.below(2) == 0) return d.film(kFilms, "午夜剧场：");
    return d.episodeSlot("电视剧：", b == Evening ? 0 : 1);
}

Slot filmSlot(Day& d, int t, bool foreign) {
    if (d.rng.below(5) == 0)
        return d.plain(d.rng.pick({"影视快讯", "电影频道节目导视", "光影周刊", "佳片有约"}), 15);
    if (foreign) return d.film(kForeignFilms, "");
    static constexpr std::string_view kClassics[] = {"小兵张嘎", "地道战",   "五朵金花", "少林寺",
                                                     "黄飞鸿",   "城南旧事", "庐山恋",   "芳华",
                                                     "英雄",     "活着"};
    return d.film(bandOf(t) == Evening ? Pool(kFilms) : Pool(kClassics));
}

Slot sportSlot(Day& d, int) {
    const std::string& n = d.name;
    auto has = [&](std::string_view w) { return n.find(w) != std::string::npos; };
    int r = d.rng.below(4);
    if (has("高尔夫") || has("网球"))
        return r < 2 ? d.plain(d.rng.pick({"美巡赛精华", "欧巡赛第三轮", "高尔夫视界", "网球大师赛",
                                           "网球时空"}),
                               60)
                     : d.plain("高尔夫教学", 30);
    if (has("台球"))
        return d.plain(d.rng.pick({"斯诺克大师赛", "台球世界", "九球公开赛", "斯诺克名局回放"}),
                       60);
    if (has("钓鱼") || has("垂钓"))
        return d.plain(d.rng.pick({"钓遍天下", "路亚时光", "野钓日记", "渔具课堂"}), 30);
    if (has("围棋") || has("弈坛"))
        return d.plain(d.rng.pick({"名局赏析", "围棋大讲堂", "象棋世界", "棋坛春秋"}), 45);
    if (has("篮球"))
        return r == 0 ? d.plain("篮球公园", 30)
                      : Slot{"NBA常规赛：" + d.versus(kBasketballTeams), 120, {}};
    if (has("足球") || has("Goal"))
        return r == 0 ? d.plain("足球之夜", 30)
                      : Slot{std::string(d.rng.pick(kLeagues)) + "：" + d.versus(kFootballTeams),
                             120,
                             {}};
    switch (r) {
        case 0: return d.plain(d.rng.pick({"体育新闻", "体育世界", "健身动起来", "体坛快讯"}), 30);
        case 1: return {"CBA联赛：" + d.versus(kBasketballTeams), 120, {}};
        case 2:
            return {std::string(d.rng.pick(kLeagues)) + "：" + d.versus(kFootballTeams), 120, {}};
        default:
            return d.plain(
                d.rng.pick({"天下足球", "赛车时代", "乒乓球世界杯", "排球联赛", "田径大奖赛"}), 60);
    }
}

Slot childrenSlot(Day& d, int t) {
    if (bandOf(t) == Late)
        return d.plain(d.rng.pick({"晚安宝贝", "睡前故事", "动画城（重播）"}), 30);
    if (d.rng.below(3) == 0)
        return d.plain(
            d.rng.pick({"智慧树", "大风车", "七巧板", "动画城", "第一动画乐园", "小小智慧树"}), 30);
    std::string_view c = d.rng.pick(kCartoons);
    int ep = static_cast<int>(d.number % 40) + 1 + d.rng.below(3);
    return {"动画片：" + std::string(c) + "（" + std::to_string(ep) + "）", 20, {}};
}

Slot musicSlot(Day& d, int) {
    return d.plain(d.rng.pick({"音乐厅", "精彩音乐汇", "民歌·中国", "风华国乐", "童声唱", "经典MTV",
                               "乐享汇", "音乐人生", "中国节拍", "环球音乐榜", "歌声与微笑"}),
                   d.rng.below(2) ? 30 : 60);
}

Slot operaSlot(Day& d, int) {
    int r = d.rng.below(3);
    if (r == 0)
        return d.plain(
            d.rng.pick({"空中剧院", "名段欣赏", "九州大戏台", "戏曲采风", "戏苑百家", "青春戏苑"}),
            45);
    return {std::string(d.rng.pick(kOperas)), 90 + 15 * d.rng.below(3), "名家名段，全剧录像。"};
}

Slot shoppingSlot(Day& d, int) {
    return {std::string(d.rng.pick({"好物推荐：", "购物直播：", "特惠专场：", "品质生活："})) +
                std::string(d.rng.pick(kProducts)),
            d.rng.below(2) ? 30 : 60,
            {}};
}

Slot weatherSlot(Day& d, int) {
    int r = d.rng.below(4);
    if (r == 0) return {std::string(d.rng.pick(kCities)) + "天气", 10, {}};
    return d.plain(d.rng.pick({"天气预报", "城市天气", "交通气象", "农业气象", "生活气象",
                               "海洋气象", "全国天气联播", "气象科普"}),
                   r == 1 ? 15 : 30);
}

Slot documentarySlot(Day& d, int) {
    return {"纪录片：" + std::string(d.rng.pick(kDocs)), d.rng.below(2) ? 30 : 50,
            std::string(d.rng.pick(kDocPlots))};
}

Slot educationSlot(Day& d, int t) {
    if (bandOf(t) == Daytime && d.rng.below(2) == 0)
        return {"空中课堂：" + std::string(d.rng.pick(kLessons)), 45, {}};
    return d.plain(d.rng.pick({"百家讲坛", "英语辅导", "考试指南", "家庭教育", "读书时间",
                               "法律讲堂", "健康之路"}),
                   30);
}

Slot foreignSlot(Day& d, int t) {
    switch (bandOf(t)) {
        case Morning:
            return d.plain(d.rng.pick({"早晨新闻", "财经快讯", "世界早晨", "News Today"}), 30);
        case Daytime:
            if (d.rng.below(3) == 0)
                return d.plain(d.rng.pick({"午间新闻", "环球视野", "Asia Business", "旅游天地"}),
                               30);
            return d.episodeSlot("港剧场：", 1);
        case Evening:
            if (d.rng.below(3) == 0)
                return d.plain(d.rng.pick({"六点半新闻报道", "国际新闻", "World Report"}), 30);
            return d.episodeSlot("翡翠剧场：");
        default:
            return d.rng.below(2) ? d.film(kForeignFilms, "午夜电影：") : d.plain("深宵新闻", 20);
    }
}

Slot generalSlot(Day& d, int t) {
    switch (bandOf(t)) {
        case Morning:
            return d.rng.below(2) ? d.plain(d.rng.pick({"早间新闻", "朝闻天下", "健康早班车"}), 30)
                                  : d.plain(d.rng.pick({"动画城", "生活早参考"}), 30);
        case Daytime:
            if (d.rng.below(4) == 0)
                return d.plain(d.rng.pick({"午间新闻", "生活帮", "致富经", "今日说法"}), 30);
            return d.episodeSlot("电视剧：", 1);
        case Evening:
            if (d.rng.below(3) == 0)
                return d.plain(
                    d.rng.pick({"快乐大本营", "天天向上", "星光大道", "综艺大观", "非诚勿扰"}), 90);
            return d.episodeSlot("黄金剧场：");
        default:
            return d.rng.below(2) ? d.plain(d.rng.pick({"晚间新闻", "午夜剧场", "经典回顾"}), 30)
                                  : d.film(kFilms, "午夜影院：");
    }
}

struct Anchor {
    int minute;
    std::string_view title;
    int minutes;
};

struct KindPlan {
    int endMinute;  // past 24:00 means after midnight
    std::vector<Anchor> anchors;
};

KindPlan planOf(ChannelKind k) {
    switch (k) {
        case ChannelKind::News: return {30 * 60, {{19 * 60, "新闻联播", 30}}};
        case ChannelKind::Weather: return {30 * 60, {{19 * 60 + 30, "全国天气联播", 15}}};
        case ChannelKind::Shopping: return {26 * 60, {}};
        case ChannelKind::Children: return {24 * 60 + 30, {{19 * 60, "大风车", 30}}};
        case ChannelKind::General:
            return {25 * 60 + 30, {{12 * 60, "午间新闻", 30}, {19 * 60, "新闻联播", 30}}};
        case ChannelKind::Foreign: return {26 * 60, {}};
        default: return {25 * 60, {}};
    }
}

Slot nextSlot(ChannelKind k, Day& d, int t) {
    switch (k) {
        case ChannelKind::News: return newsSlot(d, t);
        case ChannelKind::Drama: return dramaSlot(d, t);
        case ChannelKind::Film:
            return filmSlot(d, t,
                            d.name.find("CHC") == std::string::npos &&
                                d.name.find("天映") == std::string::npos);
        case ChannelKind::Sport: return sportSlot(d, t);
        case ChannelKind::Children: return childrenSlot(d, t);
        case ChannelKind::Music: return musicSlot(d, t);
        case ChannelKind::Opera: return operaSlot(d, t);
        case ChannelKind::Shopping: return shoppingSlot(d, t);
        case ChannelKind::Weather: return weatherSlot(d, t);
        case ChannelKind::Documentary: return documentarySlot(d, t);
        case ChannelKind::Education: return educationSlot(d, t);
        case ChannelKind::Foreign: return foreignSlot(d, t);
        case ChannelKind::General: return generalSlot(d, t);
    }
    return d.plain("节目预告", 30);
}

}  // namespace

std::vector<Programme> sampleBroadcastDay(std::size_t channel, const Date& date, const Zone& zone) {
    if (channel >= channelCount()) return {};
    std::string name = channelNameUtf8(channel);
    ChannelKind kind = channelKind(name, channelGroup(channel));
    std::uint64_t channelSeed = encoding::fnv1a(channelPath(channel), kSampleSeedBasis);
    std::int64_t number = daysFromCivil(date);
    Day d{Rng(channelSeed ^ (static_cast<std::uint64_t>(number) * 0x2545F4914F6CDD1DULL)), number,
          channelSeed, name};
    KindPlan plan = planOf(kind);

    std::vector<std::pair<int, Slot>> slots;
    int t = 6 * 60;
    std::size_t nextAnchor = 0;
    while (t < plan.endMinute) {
        if (nextAnchor < plan.anchors.size() && t >= plan.anchors[nextAnchor].minute) {
            const Anchor& a = plan.anchors[nextAnchor++];
            slots.push_back({t, d.plain(a.title, a.minutes)});
            t += a.minutes;
            continue;
        }
        Slot s = nextSlot(kind, d, t);
        // Round-the-clock channels hand over to the next broadcast day at 06:00.
        if (t + s.minutes > 30 * 60) {
            if (30 * 60 - t < 5) break;
            s.minutes = 30 * 60 - t;
        }
        if (nextAnchor < plan.anchors.size()) {
            int room = plan.anchors[nextAnchor].minute - t;
            // A programme that would run into a fixed one ends early; a sliver
            // of time is left to the one before.
            if (room < 10) {
                t = plan.anchors[nextAnchor].minute;
                continue;
            }
            if (s.minutes > room) s.minutes = room;
        }
        int minutes = s.minutes;
        slots.push_back({t, std::move(s)});
        t += minutes;
    }

    std::vector<Programme> out;
    out.reserve(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        int end = i + 1 < slots.size() ? slots[i + 1].first : t;
        Seconds start = fromLocal(date, slots[i].first, zone);
        // Wall times in a daylight-saving gap move past it and may land on or
        // after a later programme: such a programme is dropped.
        if (!out.empty() && start <= out.back().start) continue;
        if (!out.empty()) out.back().stop = start;
        out.push_back({start,
                       fromLocal(date, end, zone),
                       std::move(slots[i].second.title),
                       std::move(slots[i].second.description),
                       {}});
    }
    return out;
}

std::vector<Programme> SampleListings::starting(std::size_t channel, Seconds from,
                                                Seconds to) const {
    std::vector<Programme> out;
    if (to <= from) return out;
    // A broadcast day ends before 06:00 of the next date, so the day before the
    // first date is the earliest one that can reach into the range.
    Date first = addDays(toLocal(from, zone_).date, -1);
    Date last = toLocal(to - 1, zone_).date;
    for (Date d = first; d <= last; d = addDays(d, 1))
        for (auto& p : sampleBroadcastDay(channel, d, zone_))
            if (p.start >= from && p.start < to) out.push_back(std::move(p));
    return out;
}

}  // namespace epg
