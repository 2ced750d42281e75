// The day page load, the schedule parse into the program list, and the mark
// of the programme on air.
#include <string>

#include "app/date_text.h"
#include "app/guide.h"
#include "app/main_window.h"
#include "app/schedule/on_air.h"
#include "app/schedule/schedule_parse.h"
#include "runtime/values/conversions.h"
#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {

namespace {

// Whether `fetched` lies in the week (Monday to Sunday) of `now`: the pages
// are a week's, and last week's Wednesday is no stand-in for this one's.
bool inWeekOf(rt::DateTime fetched, rt::DateTime now) {
    const double monday = rt::datePart(now).days - (rt::weekdayOf(now) + 5) % 7;
    return fetched.days >= monday && fetched.days < monday + 7;
}

}  // namespace

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

void Guide::loadDay(rt::Runtime& rt, int day, bool pump) {
    const std::uint64_t generation = ++generation_;
    rt.writeProperty(ui::kDaySlider, rt::SliderBarProperty::Position, std::int32_t{day});
    const rt::Text url =
        rt::joinTexts({values_.channelBaseUrl, "W", rt::toText(std::int32_t{day}), ".htm"});
    rt::FetchResult fetched = services_.fetch ? services_.fetch(url) : rt::FetchResult{};
    // Closed while the page downloaded: nothing is left to show it in.
    if (!rt.windowLoaded(ui::kMainWindowId)) return;
    PageOrigin origin = PageOrigin::Downloaded;
    rt::DateTime copyFetched;
    if (fetched.complete()) {
        if (services_.keepCopy) services_.keepCopy(url, fetched.body);
    } else if (auto copy = services_.recallCopy ? services_.recallCopy(url) : std::nullopt;
               copy && inWeekOf(copy->fetched, services_.now())) {
        fetched.body = std::move(copy->body);
        origin = PageOrigin::OfflineCopy;
        copyFetched = copy->fetched;
    } else {
        origin = PageOrigin::Failed;
    }
    values_.pageText = rt::toText(fetched.body);
    if (pump) {
        rt.processPendingMessages();
        // A load run from the pump has parsed the newer page already; a
        // window closed from the pump has nothing left to show.
        if (generation != generation_ || !rt.windowLoaded(ui::kMainWindowId)) return;
    }
    parseIntoProgramList(rt, generation, origin, copyFetched);
}

void Guide::parseIntoProgramList(rt::Runtime& rt, std::uint64_t generation, PageOrigin origin,
                                 rt::DateTime copyFetched) {
    static const rt::Text busy = rt::gbk("当前状态: 正在下载节目列表");
    rt.listDeleteAllRows(ui::kProgramList);
    shownDay_ = 0;
    shownTimes_.clear();
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
        shownTimes_.push_back(rows[i].time);
    }
    shownDay_ = rt::toInt(rt.readProperty(ui::kDaySlider, rt::SliderBarProperty::Position));
    markProgrammeOnAir(rt, true);
    rt.statusSetPartText(ui::kStatusBar, 0, downloadStatus(origin, copyFetched));
}

rt::DateTime Guide::pageNow() const {
    return services_.pageNow ? services_.pageNow() : services_.now();
}

int Guide::markProgrammeOnAir(rt::Runtime& rt, bool scroll) {
    const rt::DateTime now = pageNow();
    const int today = (rt::weekdayOf(now) + 5) % 7 + 1;  // weekdayOf counts from Sunday
    const int row = shownDay_ == today && shownDay_ != 0
                        ? rowOnAir(shownTimes_, rt::hourOf(now) * 60 + rt::minuteOf(now))
                        : -1;
    rt.listSetMarkedRow(ui::kProgramList, row);
    if (scroll && row >= 0) rt.listShowRow(ui::kProgramList, row);
    return row;
}

// At the next full minute of the pages' clock, and from there on every
// minute, for as long as the window is up.
void Guide::checkOnAirAtNextMinute(rt::Runtime& rt) {
    const int second = rt::secondOf(pageNow());
    rt.startTimer(std::chrono::seconds(60 - second), [this](rt::Runtime& r) {
        if (!r.windowLoaded(ui::kMainWindowId)) return;
        markProgrammeOnAir(r, false);
        checkOnAirAtNextMinute(r);
    });
}

}  // namespace app
