// The channel catalogue: ten groups, their channels in row order and each
// channel's path below the EPG server root. Names are shown exactly as written,
// trailing blanks included (they end up in the program list's column title).
// Generated once from the listing tables and kept by hand since.
#include "catalogue/catalogue.h"

#include "encoding/text_encoding.h"

namespace catalogue {
namespace {

struct RawRow {
    const char* name;
    const char* path;
};

struct RawGroup {
    const char* title;
    std::initializer_list<RawRow> rows;
};

// clang-format off
const RawGroup kGroups[] = {
    {"央视频道", {
        {"CCTV-1（综合） ", "programys/TV_1/Channel_1/"},
        {"CCTV-2（财经）", "programys/TV_1/Channel_3/"},
        {"CCTV-3（综艺）", "programys/TV_1/Channel_4/"},
        {"CCTV-4中文国际（亚）", "programys/TV_1/Channel_5/"},
        {"CCTV-5（体育）", "programys/TV_1/Channel_6/"},
        {"CCTV-6（电影）", "programys/TV_1/Channel_7/"},
        {"CCTV-7（军事 农业）", "programys/TV_1/Channel_8/"},
        {"CCTV-8（电视剧）", "programys/TV_1/Channel_9/"},
        {"CCTV-9（纪录）", "programys/TV_1/Channel_10/"},
        {"CCTV-10（科教）", "programys/TV_1/Channel_11/"},
        {"CCTV-11（戏曲）", "programys/TV_1/Channel_12/"},
        {"CCTV-12（社会与法）", "programys/TV_1/Channel_13/"},
        {"CCTV-13（新闻）", "programys/TV_1/Channel_14/"},
        {"CCTV-14（少儿）", "programys/TV_1/Channel_15/"},
        {"CCTV-15（音乐）", "programys/TV_1/Channel_16/"},
        {"CCTV-E", "programys/TV_1/Channel_17/"},
        {"CCTV-4中文国际（欧）", "programys/TV_1/Channel_1080/"},
        {"CCTV-4中文国际（美）", "programys/TV_1/Channel_1081/"},
        {"CCTV-F", "programys/TV_1/Channel_1208/"},
        {"CCTV-阿拉伯语国际频道", "programys/TV_1/Channel_1545/"},
        {"CCTV-俄罗斯语国际频道", "programys/TV_1/Channel_1547/"},
        {"CCTV-9（英）", "programys/TV_1/Channel_1774/"},
        {"CCTV-NEWS", "programys/TV_1/Channel_1775/"},
        {"CCTV-1（高清）", "programys/TV_1/Channel_1967/"},
        {"CCTV-3（高清）", "programys/TV_1/Channel_2238/"},
        {"CCTV-5（高清）", "programys/TV_1/Channel_2239/"},
        {"CCTV-8（高清）", "programys/TV_1/Channel_2240/"},
        {"CCTV5+", "programys/TV_1/Channel_2300/"},
    }},
    {"中国教育电视台", {
        {"中国教育台-1", "programys/TV_44/Channel_18/"},
        {"中国教育台-2", "programys/TV_44/Channel_19/"},
        {"中国教育台-3", "programys/TV_44/Channel_20/"},
        {"CETV空中课堂", "programys/TV_44/Channel_21/"},
        {"早期教育", "programys/TV_44/Channel_1196/"},
        {"太阳花在线", "programys/TV_44/Channel_1957/"},
    }},
    {"中数传媒", {
        {"靓妆", "programys/TV_83/Channel_412/"},
        {"天元围棋", "programys/TV_83/Channel_416/"},
        {"游戏竞技", "programys/TV_83/Channel_417/"},
        {"汽摩", "programys/TV_83/Channel_418/"},
        {"留学世界", "programys/TV_83/Channel_419/"},
        {"孕育指南", "programys/TV_83/Channel_420/"},
        {"青年学苑", "programys/TV_83/Channel_427/"},
        {"CCTV电视指南", "programys/TV_83/Channel_428/"},
        {"法律服务", "programys/TV_83/Channel_885/"},
        {"高尔夫", "programys/TV_83/Channel_886/"},
        {"早期教育", "programys/TV_83/Channel_887/"},
        {"梨园", "programys/TV_83/Channel_889/"},
        {"英语辅导", "programys/TV_83/Channel_890/"},
        {"老年福", "programys/TV_83/Channel_1141/"},
        {"摄影", "programys/TV_83/Channel_1142/"},
        {"先锋纪录", "programys/TV_83/Channel_1143/"},
        {"CCTV中视购物", "programys/TV_83/Channel_1144/"},
        {"环球奇观", "programys/TV_83/Channel_1145/"},
        {"育婴宝典", "programys/TV_83/Channel_1146/"},
        {"彩民在线", "programys/TV_83/Channel_1147/"},
        {"快乐购物", "programys/TV_83/Channel_1148/"},
        {"CCTV中学生", "programys/TV_83/Channel_1149/"},
        {"现代女性", "programys/TV_83/Channel_1150/"},
        {"证券资讯", "programys/TV_83/Channel_1151/"},
        {"老故事", "programys/TV_83/Channel_1152/"},
        {"东方物流", "programys/TV_83/Channel_1153/"},
        {"发现之旅", "programys/TV_83/Channel_1154/"},
        {"书画频道", "programys/TV_83/Channel_1155/"},
        {"DV生活", "programys/TV_83/Channel_1157/"},
        {"财富天下", "programys/TV_83/Channel_1501/"},
        {"城市建设频道", "programys/TV_83/Channel_1548/"},
        {"百姓健康", "programys/TV_83/Channel_1555/"},
        {"宝贝家", "programys/TV_83/Channel_1601/"},
        {"导视", "programys/TV_83/Channel_1606/"},
        {"央广购物", "programys/TV_83/Channel_1955/"},
        {"CCTV新科动漫", "programys/TV_83/Channel_1960/"},
        {"中国3D电视实验频道", "programys/TV_83/Channel_2013/"},
        {"篮球频道", "programys/TV_83/Channel_2210/"},
    }},
    {"央视风云", {
        {"CCTV风云音乐", "programys/TV_202/Channel_398/"},
        {"CCTV第一剧场", "programys/TV_202/Channel_399/"},
        {"CCTV风云足球", "programys/TV_202/Channel_400/"},
        {"CCTV高尔夫网球", "programys/TV_202/Channel_401/"},
        {"CCTV风云剧场", "programys/TV_202/Channel_421/"},
        {"CCTV世界地理", "programys/TV_202/Channel_422/"},
        {"CCTV怀旧剧场", "programys/TV_202/Channel_423/"},
        {"CCTV央视文化精品", "programys/TV_202/Channel_424/"},
        {"CCTV娱乐", "programys/TV_202/Channel_425/"},
        {"CCTV戏曲", "programys/TV_202/Channel_426/"},
        {"CCTV国防军事", "programys/TV_202/Channel_888/"},
        {"CCTV女性时尚", "programys/TV_202/Channel_1158/"},
        {"CCTV电影", "programys/TV_202/Channel_1469/"},
        {"CCTV央视台球", "programys/TV_202/Channel_1610/"},
    }},
    {"北广传媒", {
        {"车迷频道 ", "programys/TV_249/Channel_1083/"},
        {"考试在线", "programys/TV_249/Channel_1084/"},
        {"优优宝贝", "programys/TV_249/Channel_1085/"},
        {"四海钓鱼", "programys/TV_249/Channel_1086/"},
        {"动感音乐", "programys/TV_249/Channel_1087/"},
        {"环球旅游", "programys/TV_249/Channel_1088/"},
        {"新娱乐", "programys/TV_249/Channel_1089/"},
        {"京视剧场", "programys/TV_249/Channel_1090/"},
        {"爱家购物", "programys/TV_249/Channel_1091/"},
        {"弈坛春秋", "programys/TV_249/Channel_1092/"},
        {"置业", "programys/TV_249/Channel_1093/"},
    }},
    {"数字频道", {
        {"全纪实 ", "programys/TV_280/Channel_402/"},
        {"动漫秀场", "programys/TV_280/Channel_403/"},
        {"卫生健康", "programys/TV_280/Channel_404/"},
        {"游戏风云", "programys/TV_280/Channel_406/"},
        {"优优宝贝", "programys/TV_280/Channel_407/"},
        {"四海钓鱼", "programys/TV_280/Channel_408/"},
        {"考试在线", "programys/TV_280/Channel_409/"},
        {"车迷", "programys/TV_280/Channel_410/"},
        {"CHC家庭影院", "programys/TV_280/Channel_411/"},
        {"时代家居", "programys/TV_280/Channel_413/"},
        {"收藏天下", "programys/TV_280/Channel_414/"},
        {"吉祥购物", "programys/TV_280/Channel_415/"},
        {"中华美食频道", "programys/TV_280/Channel_884/"},
        {"职业指南频道", "programys/TV_280/Channel_1166/"},
        {"智趣频道", "programys/TV_280/Channel_1167/"},
        {"中国气象频道", "programys/TV_280/Channel_1168/"},
        {"电子体育", "programys/TV_280/Channel_1169/"},
        {"碟市", "programys/TV_280/Channel_1170/"},
        {"读书频道", "programys/TV_280/Channel_1171/"},
        {"家家购物", "programys/TV_280/Channel_1172/"},
        {"家庭健康", "programys/TV_280/Channel_1173/"},
        {"家庭理财", "programys/TV_280/Channel_1174/"},
        {"快乐宠物", "programys/TV_280/Channel_1175/"},
        {"时代出行", "programys/TV_280/Channel_1176/"},
        {"时代风尚", "programys/TV_280/Channel_1177/"},
        {"时代美食", "programys/TV_280/Channel_1178/"},
        {"CHC高清电影", "programys/TV_280/Channel_1179/"},
        {"CHC动作电影", "programys/TV_280/Channel_1180/"},
        {"新动漫", "programys/TV_280/Channel_1181/"},
        {"天盛欧洲足球频道", "programys/TV_280/Channel_1187/"},
        {"北京气象", "programys/TV_280/Channel_1500/"},
        {"先锋乒羽", "programys/TV_280/Channel_1506/"},
        {"人物频道", "programys/TV_280/Channel_1513/"},
        {"音像世界", "programys/TV_280/Channel_1549/"},
        {"家政频道", "programys/TV_280/Channel_1550/"},
        {"快乐垂钓", "programys/TV_280/Channel_1983/"},
        {"环球购物", "programys/TV_280/Channel_2073/"},
        {"家有购物", "programys/TV_280/Channel_2233/"},
        {"欧美影院", "programys/TV_280/Channel_2291/"},
        {"欧美影院（高清）", "programys/TV_280/Channel_2292/"},
        {"风尚音乐", "programys/TV_280/Channel_2293/"},
        {"风尚音乐（高清）", "programys/TV_280/Channel_2294/"},
        {"探索纪录", "programys/TV_280/Channel_2295/"},
        {"探索纪录（高清）", "programys/TV_280/Channel_2296/"},
    }},
    {"全国卫视", {
        {"湖南卫视", "programws/TV_24/Channel_46/"},
        {"江苏卫视", "programws/TV_22/Channel_44/"},
        {"东方卫视(上海卫视)", "programws/TV_11/Channel_81/"},
        {"安徽卫视", "programws/TV_20/Channel_42/"},
        {"浙江卫视", "programws/TV_21/Channel_43/"},
        {"北京卫视(BTV-1)", "programws/TV_38/Channel_60/"},
        {"山东卫视", "programws/TV_19/Channel_41/"},
        {"江西卫视", "programws/TV_23/Channel_45/"},
        {"河南卫视", "programws/TV_16/Channel_38/"},
        {"重庆卫视", "programws/TV_37/Channel_59/"},
        {"东南卫视(福建卫视)", "programws/TV_29/Channel_51/"},
        {"广西卫视", "programws/TV_28/Channel_50/"},
        {"四川卫视", "programws/TV_36/Channel_58/"},
        {"广东卫视", "programws/TV_39/Channel_70/"},
        {"珠江卫视", "programws/TV_39/Channel_71/"},
        {"中国教育1套", "programws/TV_44/Channel_18/"},
        {"旅游卫视(海南卫视)", "programws/TV_8/Channel_31/"},
        {"吉林卫视", "programws/TV_13/Channel_35/"},
        {"山西卫视", "programws/TV_17/Channel_39/"},
        {"云南卫视", "programws/TV_27/Channel_49/"},
        {"天津卫视", "programws/TV_35/Channel_57/"},
        {"辽宁卫视", "programws/TV_14/Channel_36/"},
        {"湖北卫视", "programws/TV_25/Channel_47/"},
        {"陕西卫视", "programws/TV_18/Channel_40/"},
        {"贵州卫视", "programws/TV_26/Channel_48/"},
        {"河北卫视", "programws/TV_15/Channel_37/"},
        {"黑龙江卫视", "programws/TV_12/Channel_34/"},
        {"宁夏卫视", "programws/TV_31/Channel_53/"},
        {"青海卫视", "programws/TV_114/Channel_592/"},
        {"甘肃卫视", "programws/TV_30/Channel_52/"},
        {"内蒙古卫视", "programws/TV_34/Channel_56/"},
        {"新疆卫视", "programws/TV_33/Channel_55/"},
        {"西藏卫视", "programws/TV_32/Channel_54/"},
        {"深圳卫视", "programws/TV_42/Channel_93/"},
        {"厦门卫视", "programws/TV_77/Channel_337/"},
        {"兵团卫视", "programws/TV_312/Channel_1476/"},
        {"南方卫视", "programws/TV_40/Channel_102/"},
        {"延边卫视", "programws/TV_235/Channel_1044/"},
    }},
    {"境外频道", {
        {"凤凰卫视", "programjw/TV_5/Channel_26/"},
        {"凤凰资讯台", "programjw/TV_5/Channel_27/"},
        {"凤凰欧洲台", "programjw/TV_5/Channel_1078/"},
        {"凤凰美洲台", "programjw/TV_5/Channel_1079/"},
        {"星空卫视", "programjw/TV_7/Channel_30/"},
        {"华娱卫视", "programjw/TV_6/Channel_29/"},
        {"TVB-翡翠台", "programjw/TV_4/Channel_24/"},
        {"TVB-明珠台", "programjw/TV_4/Channel_25/"},
        {"亚视-本港台", "programjw/TV_3/Channel_22/"},
        {"亚视-国际台", "programjw/TV_3/Channel_23/"},
        {"有线卫视-新知台", "programjw/TV_/Channel_290/"},
        {"澳亚卫视", "programjw/TV_150/Channel_737/"},
        {"东风卫视", "programjw/TV_93/Channel_496/"},
        {"阳光卫视", "programjw/TV_59/Channel_209/"},
    }},
    {"境外体育", {
        {"ESPN体育台(亚洲)", "programjw/TV_47/Channel_107/"},
        {"ESPN体育台(台湾)", "programjw/TV_47/Channel_1221/"},
        {"卫视体育台(亚洲)", "programjw/TV_48/Channel_108/"},
        {"卫视体育台(台湾)", "programjw/TV_48/Channel_1220/"},
        {"Goal TV 1", "programjw/TV_107/Channel_562/"},
        {"Goal TV 2", "programjw/TV_107/Channel_563/"},
        {"天盛欧洲足球频道", "programjw/TV_280/Channel_1187/"},
    }},
    {"境外影视", {
        {"HBO家庭影院", "programjw/TV_86/Channel_369/"},
        {"Cinemax", "programjw/TV_300/Channel_1260/"},
        {"卫视西片(Star Movie)", "programjw/TV_68/Channel_1620/"},
        {"贺曼影视(Hallmark)", "programjw/TV_300/Channel_1274/"},
        {"AXN动作频道(亚洲)", "programjw/TV_148/Channel_735/"},
        {"AXN动作频道(台湾)", "programjw/TV_148/Channel_1255/"},
        {"TVB-星河频道", "programjw/TV_4/Channel_184/"},
        {"TVB-8", "programjw/TV_4/Channel_183/"},
        {"天映电影频道", "programjw/TV_153/Channel_740/"},
        {"CHC家庭影院", "programjw/TV_280/Channel_411/"},
        {"CHC高清电影", "programjw/TV_280/Channel_1179/"},
        {"CHC动作电影", "programjw/TV_280/Channel_1180/"},
        {"凤凰电影台", "programjw/TV_5/Channel_28/"},
        {"ANIMAX(亚洲)", "programjw/TV_260/Channel_1218/"},
        {"ANIMAX(台湾)", "programjw/TV_260/Channel_1115/"},
    }},
};
// clang-format on

std::vector<Group> build() {
    std::vector<Group> groups;
    for (const RawGroup& raw : kGroups) {
        Group group{encoding::gbk(raw.title), {}};
        for (const RawRow& row : raw.rows)
            group.rows.push_back({encoding::gbk(row.name), row.path});
        groups.push_back(std::move(group));
    }
    return groups;
}

}  // namespace

const std::vector<Group>& groups() {
    static const std::vector<Group> all = build();
    return all;
}

std::string channelBaseUrl(const std::string& root, int group, int row) {
    const auto& all = groups();
    if (group < 0 || group >= static_cast<int>(all.size())) return {};
    const auto& rows = all[group].rows;
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    return root + std::string(rows[row].path);
}

}  // namespace catalogue
