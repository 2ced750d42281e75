#include "server/site/page_render.h"

#include <cstdio>

#include "encoding/text_encoding.h"
#include "server/model/channels.h"
#include "server/site/gbk_text.h"

namespace epg {
namespace {

std::string hhmm(Seconds t, const Zone& zone) {
    LocalTime lt = toLocal(t, zone);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", lt.hour, lt.minute);
    return buf;
}

std::string head(const std::string& gbkTitle) {
    return "<!DOCTYPE html>\n<html><head>"
           "<meta http-equiv='Content-Type' content='text/html; charset=GBK'>"
           "<title>" +
           gbkTitle + "</title></head>\n<body>\n";
}

const char* weekdayName(int w) {
    static const char* const kNames[] = {"星期一", "星期二", "星期三", "星期四",
                                         "星期五", "星期六", "星期日"};
    return kNames[(w - 1) % 7];
}

}  // namespace

std::string renderDayPage(std::size_t channel, const Date& date,
                          std::span<const Programme> programmes, const Zone& zone) {
    std::string name = htmlText(channelNameUtf8(channel));
    std::string when =
        encoding::gbk(std::string(weekdayName(isoWeekday(date))) + " ") + isoText(date);
    std::string page = head(name + ' ' + when);
    page.reserve(programmes.size() * 120 + 512);
    page += "<h3>" + name + ' ' + when + "</h3>\n";
    static const std::string kPlot = encoding::gbk("剧情");
    int described = 0;
    for (const auto& p : programmes) {
        page += "<div align='center'><div id='e1' >";
        page += hhmm(p.start, zone);
        page += "</div><div id='e2' >";
        page += shownTitle(p.title);
        if (!p.description.empty())
            page += "<a href='#d" + std::to_string(++described) + "'>" + kPlot + "</a>";
        page += "</div></div>\n";
    }
    if (described > 0) {
        page += "<hr>\n";
        described = 0;
        for (const auto& p : programmes) {
            if (p.description.empty()) continue;
            page += "<p id='d" + std::to_string(++described) + "'>" + hhmm(p.start, zone) + ' ' +
                    htmlText(p.title) + ": " + htmlText(p.description) + "</p>\n";
        }
    }
    page += "</body></html>\n";
    return page;
}

std::string renderBanner(Seconds now, const std::vector<NowOn>& rows, const Zone& zone,
                         bool madeUp) {
    LocalTime lt = toLocal(now, zone);
    char clock[32];
    std::snprintf(clock, sizeof clock, " %s %02d:%02d", isoText(lt.date).c_str(), lt.hour,
                  lt.minute);
    std::string page =
        "<!DOCTYPE html>\n<html><head>"
        "<meta http-equiv='Content-Type' content='text/html; charset=GBK'>"
        "<meta http-equiv='refresh' content='60'>"
        "<title>" +
        encoding::gbk("正在播出") +
        "</title>"
        "<style>body{margin:4px;font-size:12px;background:#f4f7fb}"
        "td{padding:1px 8px;white-space:nowrap}th{text-align:left;color:#25508c}</style>"
        "</head>\n<body>\n<table>\n";
    if (madeUp)
        page += "<tr><th colspan='3' style='color:#b03020'>" +
                encoding::gbk("示例节目表（非真实节目）— 用 --xmltv 接入真实节目表") +
                "</th></tr>\n";
    page += "<tr><th colspan='3'>" + encoding::gbk("正在播出") + clock + "</th></tr>\n";
    for (const auto& r : rows) {
        page += "<tr><td>" + htmlText(channelNameUtf8(r.channel)) + "</td><td>";
        if (r.programme != nullptr) {
            page += hhmm(r.programme->start, zone) + "</td><td>" + htmlText(r.programme->title);
        } else {
            page += "</td><td>" + encoding::gbk("暂无节目信息");
        }
        page += "</td></tr>\n";
    }
    page += "</table>\n</body></html>\n";
    return page;
}

}  // namespace epg
