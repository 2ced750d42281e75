#include "server/channels/channel_kind.h"

#include <initializer_list>

namespace epg {
namespace {

bool hasAny(std::string_view name, std::initializer_list<std::string_view> words) {
    for (auto w : words)
        if (name.find(w) != std::string_view::npos) return true;
    return false;
}

}  // namespace

ChannelKind channelKind(std::string_view n, int group) {
    // Order matters: "CCTV-4中文国际" is general, "中国气象频道" weather, not news.
    if (hasAny(n, {"气象"})) return ChannelKind::Weather;
    if (hasAny(n, {"购物", "购"})) return ChannelKind::Shopping;
    if (hasAny(n, {"新闻", "NEWS", "资讯"})) return ChannelKind::News;
    if (hasAny(n, {"戏曲", "梨园"})) return ChannelKind::Opera;
    if (hasAny(n, {"少儿", "动漫", "动画", "卡通", "宝贝", "早期教育", "育婴", "ANIMAX", "太阳花",
                   "孕育"}))
        return ChannelKind::Children;
    if (hasAny(n, {"音乐", "MTV", "音像"})) return ChannelKind::Music;
    if (hasAny(n, {"体育", "足球", "篮球", "高尔夫", "台球", "乒羽", "Goal", "ESPN", "钓鱼", "垂钓",
                   "围棋", "弈坛", "竞技", "CCTV5", "CCTV-5", "汽摩", "车迷", "网球"}))
        return ChannelKind::Sport;
    if (hasAny(n, {"电视剧", "剧场"})) return ChannelKind::Drama;
    if (hasAny(n, {"电影", "影院", "HBO", "Cinemax", "Movie", "天映", "CHC", "影视"}))
        return ChannelKind::Film;
    if (hasAny(n, {"纪录", "纪实", "探索", "发现", "地理", "奇观", "科教", "人物", "新知", "旅游",
                   "书画"}))
        return ChannelKind::Documentary;
    if (hasAny(n, {"教育", "课堂", "考试", "英语", "学苑", "留学", "CCTV中学生", "读书"}))
        return ChannelKind::Education;
    if (group >= 7) return ChannelKind::Foreign;
    if (hasAny(n, {"CCTV-E", "CCTV-F", "阿拉伯", "俄罗斯", "（英）"})) return ChannelKind::Foreign;
    return ChannelKind::General;
}

}  // namespace epg
