#include "app/guide.h"

#include "app/date_text.h"
#include "app/main_window.h"
#include "catalogue/catalogue.h"
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
    return group == 0 ? ui::kChannelList : values_.groupLists[static_cast<size_t>(group - 1)].ref;
}

void Guide::created(rt::Runtime& rt) {
    if (services_.attachSkin) services_.attachSkin(rt);

    const auto& groups = catalogue::groups();
    rt.outlookAddGroup(ui::kGroupMenu, groups[0].title, ui::kChannelList);
    const rt::TypedControlRef source{ui::kChannelList, rt::unit_type::kListView};
    for (int k = 1; k <= 9; ++k) {
        rt::TypedControlRef& copy = values_.groupLists[static_cast<size_t>(k - 1)];
        copy.type = rt::unit_type::kListView;
        rt.copyControl(source, copy);
        rt.outlookAddGroup(ui::kGroupMenu, groups[static_cast<size_t>(k)].title, copy.ref);
    }

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
    checkOnAirAtNextMinute(rt);
}

void Guide::groupOpened(rt::Runtime& rt) {
    const auto& groups = catalogue::groups();
    for (int k = 1; k <= 9; ++k) {
        const std::int32_t g =
            rt::toInt(rt.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup));
        const rt::Text title = rt.outlookGroupTitle(ui::kGroupMenu, g);
        const catalogue::Group& group = groups[static_cast<size_t>(k)];
        if (rt::compareBytes(title, group.title) != 0) continue;
        const rt::ControlRef list = groupList(k);
        rt.listDeleteAllRows(list);
        for (const catalogue::Row& row : group.rows) {
            rt::InsertRowArgs args;
            args.text = row.name;
            rt.listInsertRow(list, args);
        }
    }
}

void Guide::channelSelected(rt::Runtime& rt) {
    static const rt::Text columnSuffix = rt::gbk(" 节目预告");
    const std::int32_t g =
        rt::toInt(rt.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup));
    if (g >= 0 && g <= 9) {
        const rt::ControlRef list = groupList(g);
        const std::int32_t row = rt::toInt(rt.readProperty(list, rt::ListViewProperty::CurrentRow));
        values_.channelBaseUrl = catalogue::channelBaseUrl(epgRoot_, g, row);
        rt.setFocus(list);
        const std::int32_t current =
            rt::toInt(rt.readProperty(list, rt::ListViewProperty::CurrentRow));
        const rt::Text name = rt.listCellText(list, current, 0);
        rt.listSetColumnTitle(ui::kProgramList, 1, rt::joinTexts({name, columnSuffix}));
    }
    loadDay(rt, dayNumberOf(values_.startupWeekday), true);
}

}  // namespace app
