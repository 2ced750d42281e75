#include "app/window/day_load.h"

#include <string>

#include "app/window/date_text.h"
#include "app/window/main_window.h"
#include "runtime/values/conversions.h"
#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {

rt::Text downloadStatus(PageOrigin origin, rt::DateTime copyFetched) {
    switch (origin) {
        case PageOrigin::Downloaded: return rt::gbk("当前状态: 下载完毕!");
        case PageOrigin::Failed: return rt::gbk("当前状态: 下载失败!");
        case PageOrigin::OfflineCopy: break;
    }
    const rt::CivilTime c = rt::toCivil(copyFetched);
    return rt::joinTexts({rt::gbk("当前状态: 离线, 显示 "), std::to_string(c.month), rt::gbk("月"),
                          std::to_string(c.day), rt::gbk("日 "),
                          formatDateTime(copyFetched, DateStyle::Dashed, DatePart::HourMinute),
                          rt::gbk(" 下载的节目表")});
}

rt::Text dayPageUrl(const rt::Text& channelBaseUrl, int day) {
    return rt::joinTexts({channelBaseUrl, "W", rt::toText(std::int32_t{day}), ".htm"});
}

std::string channelPathOf(const rt::Text& channelBaseUrl, const rt::Text& root) {
    if (channelBaseUrl.size() <= root.size() || channelBaseUrl.compare(0, root.size(), root) != 0)
        return {};
    return channelBaseUrl.substr(root.size());
}

schedule::ChannelDay dayRecords(std::string channel, int day, const std::vector<ScheduleRow>& rows,
                                const base::Zone& zone, std::int64_t now) {
    const int page = day >= 1 && day <= 7 ? day : 7;
    return schedule::makeChannelDay(std::move(channel), day, dateOfDayThisWeek(zone, now, page),
                                    rows, zone);
}

void fillProgramList(rt::Runtime& rt, const schedule::ChannelDay& day) {
    for (std::size_t i = 0; i < day.programmes.size(); ++i) {
        rt::InsertRowArgs args;
        args.text = day.programmes[i].time;
        rt.listInsertRow(ui::kProgramList, args);
        rt.listSetCellText(ui::kProgramList, static_cast<std::int32_t>(i), 1,
                           day.programmes[i].title);
    }
}

}  // namespace app
