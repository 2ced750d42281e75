// The day page load, the schedule parse into the program list, and the mark
// of the programme on air.
#include "app/day_load.h"

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

ShownPage choosePage(rt::FetchResult fetched, const rt::Text& url, const PageCopies& copies,
                     rt::DateTime now) {
    if (fetched.complete()) {
        if (copies.keep) copies.keep(url, fetched.body);
        return {std::move(fetched.body), PageOrigin::Downloaded, {}};
    }
    if (auto copy = copies.recall ? copies.recall(url) : std::nullopt;
        copy && inWeekOf(copy->fetched, now))
        return {std::move(copy->body), PageOrigin::OfflineCopy, copy->fetched};
    return {std::move(fetched.body), PageOrigin::Failed, {}};
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

void Guide::loadDay(rt::Runtime& rt, int day, bool pump) {
    const std::uint64_t generation = ++generation_;
    rt.writeProperty(ui::kDaySlider, rt::SliderBarProperty::Position, std::int32_t{day});
    const rt::Text url = dayPageUrl(values_.channelBaseUrl, day);
    rt::FetchResult fetched = services_.fetch ? services_.fetch(url) : rt::FetchResult{};
    // Closed while the page downloaded: nothing is left to show it in.
    if (!rt.windowLoaded(ui::kMainWindowId)) return;
    ShownPage page = choosePage(std::move(fetched), url, {services_.keepCopy, services_.recallCopy},
                                services_.now());
    values_.pageText = pageText(page.body);
    if (pump) {
        rt.processPendingMessages();
        // A load run from the pump has parsed the newer page already; a
        // window closed from the pump has nothing left to show.
        if (generation != generation_ || !rt.windowLoaded(ui::kMainWindowId)) return;
    }
    parseIntoProgramList(rt, generation, page.origin, page.copyFetched);
}

void Guide::parseIntoProgramList(rt::Runtime& rt, std::uint64_t generation, PageOrigin origin,
                                 rt::DateTime copyFetched) {
    static const rt::Text busy = rt::gbk("当前状态: 正在下载节目列表");
    rt.listDeleteAllRows(ui::kProgramList);
    shown_ = {};
    rt.statusSetPartText(ui::kStatusBar, 0, busy);
    if (services_.delay) services_.delay(rt, 500);
    // A load run inside the pause has filled the list with the newer page and
    // set the done status; parsing again would append a second copy.
    if (generation != generation_ || !rt.windowLoaded(ui::kMainWindowId)) return;

    const int day = rt::toInt(rt.readProperty(ui::kDaySlider, rt::SliderBarProperty::Position));
    shown_ = dayRecords(channelPathOf(values_.channelBaseUrl, epgRoot_), day,
                        parseSchedule(values_.pageText), zone(), unixOfHostLocal(services_.now()));
    fillProgramList(rt, shown_);
    markProgrammeOnAir(rt, true);
    rt.statusSetPartText(ui::kStatusBar, 0, downloadStatus(origin, copyFetched));
}

rt::DateTime Guide::pageNow() const {
    return services_.pageNow ? services_.pageNow() : services_.now();
}

int Guide::markProgrammeOnAir(rt::Runtime& rt, bool scroll) {
    const rt::DateTime now = pageNow();
    const int today = (rt::weekdayOf(now) + 5) % 7 + 1;  // weekdayOf counts from Sunday
    int row = -1;
    if (shown_.day == today && shown_.day != 0) {
        std::vector<rt::Text> times;
        times.reserve(shown_.programmes.size());
        for (const schedule::Programme& p : shown_.programmes) times.push_back(p.time);
        row = rowOnAir(times, rt::hourOf(now) * 60 + rt::minuteOf(now));
    }
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
        if (services_.minuteTick) services_.minuteTick(r);
        checkOnAirAtNextMinute(r);
    });
}

}  // namespace app
