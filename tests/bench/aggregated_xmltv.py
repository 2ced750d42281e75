# A feed shaped like the big public aggregations, about 40 MB: 1,500
# channels, every one of 750 names under a number and a prefixed id, the
# twin empty or serving some days; 200,000 programmes.
#   python3 tests/bench/aggregated_xmltv.py FILE
import datetime, random, sys
random.seed(19)
provinces = "北京 上海 天津 重庆 河北 山西 辽宁 吉林 黑龙江 江苏 浙江 安徽 福建 江西 山东 河南 湖北 湖南 广东 广西 海南 四川 贵州 云南 陕西 甘肃 青海 宁夏 新疆 内蒙古".split()
kinds = "卫视 新闻综合 都市 公共 经济 影视 少儿 生活 文体 科教 农业 交通 法治 娱乐 国际 购物 体育 电影 戏曲 纪实 音乐 旅游 教育 文旅 综艺".split()
names = [f"CCTV-{n}" for n in range(1, 18)] + ["CCTV-5+体育赛事", "CGTN", "CETV-1", "CETV-2"]
names += [p + k for p in provinces for k in kinds]
names = names[:750]
titles = "新闻联播 朝闻天下 电视剧 纪录片 天气预报 综艺节目 体育新闻 动画片 午夜剧场 法治在线 经济半小时 戏曲大观".split()
days = [datetime.date(2026, 1, 5) + datetime.timedelta(d) for d in range(8)]
out = open(sys.argv[1], "w", encoding="utf-8")
out.write('<?xml version="1.0" encoding="UTF-8"?>\n<tv generator-info-name="bench">\n')
ids = []
for i, name in enumerate(names):
    number, prefixed = str(1001 + i), f"src{i % 7}_{1001 + i}"
    for cid in (number, prefixed):
        out.write(f'<channel id="{cid}"><display-name lang="zh">{name}</display-name></channel>\n')
    ids.append((number, prefixed))
per_day = 200000 // (len(names) * len(days))
for i, (number, prefixed) in enumerate(ids):
    main, twin = (number, prefixed) if i % 2 else (prefixed, number)
    for d, day in enumerate(days):
        # A quarter of the channels have the twin serve their last days instead.
        cid = twin if i % 4 == 0 and d >= 5 else main
        for k in range(per_day):
            start = datetime.datetime.combine(day, datetime.time(5)) + datetime.timedelta(minutes=43 * k)
            stop = start + datetime.timedelta(minutes=43)
            title = f"{random.choice(titles)} 第{random.randint(1, 60)}集"
            out.write(f'<programme start="{start:%Y%m%d%H%M%S} +0800" stop="{stop:%Y%m%d%H%M%S} +0800" '
                      f'channel="{cid}">\n  <title lang="zh">{title}</title>\n'
                      f'  <desc lang="zh">{title}：第{k + 1}段故事。</desc>\n</programme>\n')
out.write("</tv>\n")
