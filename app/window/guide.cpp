#include "app/window/guide.h"

#include "app/schedule/favourites.h"
#include "app/schedule/now_next.h"
#include "app/schedule/on_air.h"
#include "app/schedule/schedule_parse.h"
#include "app/window/date_text.h"
#include "app/window/day_load.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "runtime/values/conversions.h"
#include "runtime/values/date_time.h"
#include "runtime/values/gbk.h"
#include "runtime/values/text_commands.h"

namespace app {

int dayNumberOf(const rt::Text& weekday) {
    static const rt::Text names[] = {rt::gbk("星期一"), rt::gbk("星期二"), rt::gbk("星期三"),
                                     rt::gbk("星期四"), rt::gbk("星期五"), rt::gbk("星期六")};
    for (int k = 0; k < 6; ++k)
        if (rt::compareBytes(weekday, names[k]) == 0) return k + 1;
    return 7;
}

Guide::Guide(rt::Text epgRoot, GuideServices services)
    : epgRoot_(std::move(epgRoot)), services_(std::move(services)) {}

std::vector<rt::Handler> Guide::handlers() {
    std::vector<rt::Handler> table(ui::kHandlerCount);
    auto at = [&](ui::HandlerId id) -> rt::Handler& { return table[static_cast<size_t>(id)]; };
    at(ui::HandlerId::Created) = [this](rt::Runtime& rt,
                                        rt::EventArgs) -> std::optional<std::int32_t> {
        created(rt);
        return std::nullopt;
    };
    at(ui::HandlerId::GroupOpened) = [this](rt::Runtime& rt,
                                            rt::EventArgs) -> std::optional<std::int32_t> {
        groupOpened(rt);
        return std::nullopt;
    };
    at(ui::HandlerId::ChannelSelected) = [this](rt::Runtime& rt,
                                                rt::EventArgs) -> std::optional<std::int32_t> {
        channelSelected(rt);
        return std::nullopt;
    };
    const ui::HandlerId days[] = {ui::HandlerId::Monday,    ui::HandlerId::Tuesday,
                                  ui::HandlerId::Wednesday, ui::HandlerId::Thursday,
                                  ui::HandlerId::Friday,    ui::HandlerId::Saturday,
                                  ui::HandlerId::Sunday};
    for (int day = 1; day <= 7; ++day)
        at(days[day - 1]) = [this, day](rt::Runtime& rt,
                                        rt::EventArgs) -> std::optional<std::int32_t> {
            dayLabelPressed(rt, day);
            return std::nullopt;
        };
    return table;
}

void Guide::release() {
    values_.pageText.clear();
    values_.channelBaseUrl.clear();
    values_.startupWeekday.clear();
}

rt::ControlRef Guide::groupList(int group) const {
    if (group == 0) return ui::kChannelList;
    const auto at = static_cast<std::size_t>(group - 1);
    return group > 0 && at < values_.groupLists.size() ? values_.groupLists[at].ref
                                                       : rt::ControlRef{};
}

const catalogue::Group* Guide::menuGroup(int group) const {
    const auto& groups = catalogue::groups();
    if (group < 0) return nullptr;
    if (static_cast<std::size_t>(group) < groups.size())
        return &groups[static_cast<std::size_t>(group)];
    if (static_cast<std::size_t>(group) == groups.size() && favouritesShown_)
        return &favouritesGroup_;
    return nullptr;
}

int Guide::menuGroupCount() const {
    return static_cast<int>(catalogue::groups().size()) + (favouritesShown_ ? 1 : 0);
}

int Guide::openGroup(const rt::Runtime& rt) const {
    const rt::Control* c = rt.control(ui::kGroupMenu);
    const rt::OutlookBar* bar = c ? c->as<rt::OutlookBar>() : nullptr;
    return bar && bar->validGroup(bar->currentGroup()) ? bar->currentGroup() : -1;
}

void Guide::setFavourites(schedule::Favourites favourites) {
    favourites_ = std::move(favourites);
    favouritesGroup_ = schedule::favouritesGroup(favourites_);
}

void Guide::created(rt::Runtime& rt) {
    if (services_.attachSkin) services_.attachSkin(rt);

    const auto& groups = catalogue::groups();
    rt.outlookAddGroup(ui::kGroupMenu, groups[0].title, ui::kChannelList);
    const rt::TypedControlRef source{ui::kChannelList, rt::unit_type::kListView};
    values_.groupLists.assign(groups.size() - 1, {});
    for (std::size_t k = 1; k < groups.size(); ++k) {
        rt::TypedControlRef& copy = values_.groupLists[k - 1];
        copy.type = rt::unit_type::kListView;
        rt.copyControl(source, copy);
        rt.outlookAddGroup(ui::kGroupMenu, groups[k].title, copy.ref);
    }
    if (!favourites_.empty()) showFavouritesGroup(rt, true);

    // Raises the channel selection at once: the start-up weekday is still
    // empty here, so that load is of day 7.
    rt.listSelectRow(ui::kChannelList, 0);
    // The window may have been closed from inside that load's waits.
    if (!rt.windowLoaded(ui::kMainWindowId)) return;

    values_.startupWeekday = weekdayName(services_.now());
    values_.channelBaseUrl = catalogue::channelBaseUrl(epgRoot_, 0, 0);
    const int today = dayNumberOf(values_.startupWeekday);
    rt.writeProperty(ui::dayLabel(today), rt::LabelProperty::TextColour, rt::Colour{255});
    loadDay(rt, today, false);
    if (!rt.windowLoaded(ui::kMainWindowId)) return;

    const rt::Text date = formatDateTime(rt::datePart(services_.now()));
    rt.statusSetPartText(ui::kStatusBar, 1, rt::joinTexts({date, " ", values_.startupWeekday}));
    if (services_.groupShown)
        if (const catalogue::Group* open = menuGroup(openGroup(rt)))
            services_.groupShown(rt, *open);
    checkOnAirAtNextMinute(rt);
}

void Guide::fillGroupList(rt::Runtime& rt, int group) {
    const rt::ControlRef list = groupList(group);
    const catalogue::Group* g = menuGroup(group);
    if (!g) return;
    rt.listDeleteAllRows(list);
    for (const catalogue::Row& row : g->rows) {
        rt::InsertRowArgs args;
        args.text = row.name;
        rt.listInsertRow(list, args);
    }
}

// Every group after the first is recognised by its title and refilled; the
// first keeps the template's rows and its selection.
void Guide::groupOpened(rt::Runtime& rt) {
    if (menuChanging_) return;
    for (int k = 1; k < menuGroupCount(); ++k) {
        const std::int32_t g =
            rt::toInt(rt.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup));
        const rt::Text title = rt.outlookGroupTitle(ui::kGroupMenu, g);
        if (rt::compareBytes(title, menuGroup(k)->title) != 0) continue;
        fillGroupList(rt, k);
    }
    if (services_.groupShown)
        if (const catalogue::Group* open = menuGroup(openGroup(rt)))
            services_.groupShown(rt, *open);
}

void Guide::channelSelected(rt::Runtime& rt) {
    static const rt::Text columnSuffix = rt::gbk(" 节目预告");
    const std::int32_t g =
        rt::toInt(rt.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup));
    if (const catalogue::Group* group = menuGroup(g)) {
        const rt::ControlRef list = groupList(g);
        const std::int32_t row = rt::toInt(rt.readProperty(list, rt::ListViewProperty::CurrentRow));
        values_.channelBaseUrl =
            row >= 0 && static_cast<std::size_t>(row) < group->rows.size()
                ? epgRoot_ + std::string(group->rows[static_cast<std::size_t>(row)].path)
                : rt::Text{};
        rt.setFocus(list);
        const std::int32_t current =
            rt::toInt(rt.readProperty(list, rt::ListViewProperty::CurrentRow));
        const rt::Text name = rt.listCellText(list, current, 0);
        rt.listSetColumnTitle(ui::kProgramList, 1, rt::joinTexts({name, columnSuffix}));
        // One channel is shown: a list the menu keeps while its group is
        // closed (the first group's) must not highlight another, and a click
        // on that one must choose it again.
        for (int other = 0; other < menuGroupCount(); ++other) {
            const rt::ControlRef kept = groupList(other);
            if (other == g || !rt.control(kept)) continue;
            if (rt::toInt(rt.readProperty(kept, rt::ListViewProperty::CurrentRow)) >= 0)
                rt.writeProperty(kept, rt::ListViewProperty::CurrentRow, std::int32_t{-1});
        }
    }
    loadDay(rt, dayNumberOf(values_.startupWeekday), true);
}

bool Guide::toggleFavourite(rt::Runtime& rt, std::string_view path) {
    const bool added = favourites_.toggle(path);
    favouritesGroup_ = schedule::favouritesGroup(favourites_);
    const int index = static_cast<int>(catalogue::groups().size());
    const bool wasOpen = favouritesShown_ && openGroup(rt) == index;
    showFavouritesGroup(rt, !favourites_.empty());
    if (wasOpen && favouritesShown_) {
        // The open list changes under the viewer: its rows are the new ones.
        fillGroupList(rt, index);
        if (services_.groupShown) services_.groupShown(rt, favouritesGroup_);
    } else if (wasOpen) {
        groupOpened(rt);  // the group before it is open now
    }
    return added;
}

void Guide::showFavouritesGroup(rt::Runtime& rt, bool shown) {
    if (shown == favouritesShown_) return;
    const int index = static_cast<int>(catalogue::groups().size());
    menuChanging_ = true;
    if (shown) {
        if (values_.groupLists.size() < static_cast<std::size_t>(index)) {
            rt::TypedControlRef copy{{}, rt::unit_type::kListView};
            rt.copyControl({ui::kChannelList, rt::unit_type::kListView}, copy);
            values_.groupLists.push_back(copy);
        }
        favouritesShown_ = true;
        fillGroupList(rt, index);
        rt.outlookAddGroup(ui::kGroupMenu, favouritesGroup_.title, groupList(index));
    } else {
        favouritesShown_ = false;
        rt.outlookRemoveGroup(ui::kGroupMenu, index);
    }
    menuChanging_ = false;
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
    const schedule::ChannelDay* held = services_.heldDay && shown_.day != 0
                                           ? services_.heldDay(shown_.channel, shown_.day)
                                           : nullptr;
    std::optional<int> byEnds;
    if (shown_.day == today && held && held->date == shown_.date)
        byEnds = schedule::rowOnAirByEnds(shown_, *held, unixOfHostLocal(services_.now()));
    if (byEnds) {
        row = *byEnds;
    } else if (shown_.day == today && shown_.day != 0) {
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
