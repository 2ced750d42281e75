// The day page load and the schedule parse into the program list.
#include "app/guide.h"
#include "app/main_window.h"
#include "app/schedule_parse.h"
#include "runtime/values/conversions.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {

void Guide::loadDay(rt::Runtime& rt, int day, bool pump) {
    const std::uint64_t generation = ++generation_;
    rt.writeProperty(ui::kDaySlider, rt::SliderBarProperty::Position, std::int32_t{day});
    const rt::Text url =
        rt::joinTexts({values_.channelBaseUrl, "W", rt::toText(std::int32_t{day}), ".htm"});
    const rt::Bytes page = services_.fetch ? services_.fetch(url) : rt::Bytes{};
    values_.pageText = rt::toText(page);
    if (pump) {
        rt.processPendingMessages();
        // A load run from the pump has parsed the newer page already; a
        // window closed from the pump has nothing left to show.
        if (generation != generation_ || !rt.windowLoaded(ui::kMainWindowId)) return;
    }
    parseIntoProgramList(rt, generation);
}

void Guide::parseIntoProgramList(rt::Runtime& rt, std::uint64_t generation) {
    static const rt::Text busy = rt::gbk("当前状态: 正在下载节目列表");
    static const rt::Text done = rt::gbk("当前状态: 下载完毕!");
    rt.listDeleteAllRows(ui::kProgramList);
    rt.statusSetPartText(ui::kStatusBar, 0, busy);
    if (services_.delay) services_.delay(rt, 500);
    // A load run inside the pause has filled the list with the newer page and
    // set the done status; parsing again would append a second copy.
    if (generation != generation_ || !rt.windowLoaded(ui::kMainWindowId)) return;

    const std::vector<ScheduleRow> rows = parseSchedule(values_.pageText);
    for (size_t i = 0; i < rows.size(); ++i) {
        rt::InsertRowArgs args;
        args.text = rows[i].time;
        rt.listInsertRow(ui::kProgramList, args);
        rt.listSetCellText(ui::kProgramList, static_cast<std::int32_t>(i), 1, rows[i].title);
    }
    rt.statusSetPartText(ui::kStatusBar, 0, done);
}

}  // namespace app
