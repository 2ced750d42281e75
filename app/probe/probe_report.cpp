#include "app/probe/probe_report.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/guide_schedule.h"
#include "app/schedule/catalogue_place.h"
#include "app/window/guide.h"
#include "app/window/main_window.h"
#include "runtime/values/gbk.h"

namespace app::probe {
namespace {

// Keys keep the order they are written in, as the README lists them.
using Json = nlohmann::ordered_json;

template <class M>
const M* model(const rt::Runtime& rt, rt::ControlRef ref) {
    const rt::Control* c = rt.control(ref);
    return c ? c->as<M>() : nullptr;
}

// A GBK text as UTF-8; bytes that form no GBK character become U+FFFD.
std::string text(std::string_view gbk) {
    return rt::toUtf8(gbk);
}

// The compact document. nlohmann escapes quotes, backslashes and C0 control
// characters; DEL is a control character too, and a byte 0x7F can only stand
// inside a string of the dump (never in a UTF-8 sequence), so it is escaped
// here. Invalid UTF-8 cannot come from the conversion; should it, it shows as
// U+FFFD rather than ending the probe.
std::string dump(const Json& document) {
    const std::string compact = document.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(compact.size());
    for (char c : compact) {
        if (c == '\x7F')
            out += "\\u007f";
        else
            out += c;
    }
    return out;
}

// Reminders and notifications alike.
Json reminderList(const std::vector<schedule::Reminder>& reminders, const base::Zone& zone) {
    Json out = Json::array();
    for (const schedule::Reminder& r : reminders) {
        const auto place = schedule::findInCatalogue(r.channel);
        const base::LocalTime t = base::toLocal(r.start, zone);
        char clock[32];
        std::snprintf(clock, sizeof clock, "T%02d:%02d", t.hour, t.minute);
        out.push_back({{"channel", text(place ? place->channel->name : rt::Text{})},
                       {"start", base::isoText(t.date) + clock},
                       {"title", text(r.title)}});
    }
    return out;
}

// "YYYY-MM-DDTHH:MM" on the pages' clock.
std::string minuteText(std::int64_t t, const base::Zone& zone) {
    const base::LocalTime at = base::toLocal(t, zone);
    char clock[32];
    std::snprintf(clock, sizeof clock, "T%02d:%02d", at.hour, at.minute);
    return base::isoText(at.date) + clock;
}

std::string withoutTrailingBlanks(std::string gbk) {
    while (!gbk.empty() && (gbk.back() == ' ' || gbk.back() == '\t')) gbk.pop_back();
    return gbk;
}

Json gridState(const ProbeViews& views, const base::Zone& zone) {
    if (!views.grid) return nullptr;
    Json rows = Json::array();
    for (const schedule::GridRow& row : views.grid->rows) {
        Json programmes = Json::array();
        for (const schedule::GridBlock& b : row.blocks)
            programmes.push_back({{"start", minuteText(b.start, zone)},
                                  {"end", minuteText(b.end, zone)},
                                  {"title", text(b.programme.title)}});
        rows.push_back({{"channel", text(row.channel)}, {"programmes", std::move(programmes)}});
    }
    return {{"day", base::isoText(views.grid->date)},
            {"now", minuteText(views.now, zone)},
            {"rows", std::move(rows)}};
}

Json detailsState(const ProbeViews& views, const base::Zone& zone) {
    if (!views.details) return nullptr;
    const schedule::GridBlock& b = views.details->block;
    return {{"channel", text(withoutTrailingBlanks(views.details->channel))},
            {"start", minuteText(b.start, zone)},
            {"end", minuteText(b.end, zone)},
            {"title", text(b.programme.title)},
            {"desc", text(b.programme.description)}};
}

// The roll-up menu: its group captions, the open group and the list it shows.
struct MenuState {
    Json groups = Json::array();
    int current = -1;
    rt::ControlRef openList{};
};

MenuState menuState(const rt::Runtime& rt) {
    MenuState menu;
    if (const auto* bar = model<rt::OutlookBar>(rt, ui::kGroupMenu)) {
        for (const rt::OutlookGroup& g : bar->groups()) menu.groups.push_back(text(g.title));
        menu.current = bar->currentGroup();
        if (bar->validGroup(menu.current))
            menu.openList = {ui::kMainWindowId,
                             bar->groups()[static_cast<size_t>(menu.current)].content};
    }
    return menu;
}

// The open group's channel rows, the selected one, and what is on now and
// next on each as the schedule around the window answers.
Json channelList(const rt::Runtime& rt, const MenuState& menu, const Guide& guide,
                 const GuideSchedule* schedule) {
    Json rows = Json::array();
    int currentRow = -1;
    if (const auto* lv = model<rt::ListView>(rt, menu.openList)) {
        for (const rt::ListViewRow& row : lv->rows())
            rows.push_back(text(row.cells.empty() ? rt::Text{} : row.cells[0]));
        currentRow = lv->currentRow();
    }
    Json nowNext = Json::array();
    const catalogue::Group* openGroup = guide.menuGroup(menu.current);
    std::vector<schedule::NowNext> shown;
    if (schedule && openGroup) shown = schedule->nowNext(*openGroup);
    for (std::size_t i = 0; i < rows.size(); ++i)
        nowNext.push_back({{"now", text(i < shown.size() ? shown[i].now : rt::Text{})},
                           {"next", text(i < shown.size() ? shown[i].next : rt::Text{})}});
    return {
        {"rows", std::move(rows)}, {"current_row", currentRow}, {"now_next", std::move(nowNext)}};
}

Json dayLabels(const rt::Runtime& rt) {
    Json labels = Json::array();
    for (int day = 1; day <= 7; ++day)
        if (const auto* l = model<rt::LabelData>(rt, ui::dayLabel(day)))
            labels.push_back({{"caption", text(l->caption)}, {"color", l->textColour}});
    return labels;
}

Json programList(const rt::Runtime& rt) {
    Json columns = Json::array(), rows = Json::array();
    int nowRow = -1;
    if (const auto* lv = model<rt::ListView>(rt, ui::kProgramList)) {
        for (const rt::ListColumn& c : lv->columns()) columns.push_back(text(c.title));
        for (int r = 0; r < static_cast<int>(lv->rows().size()); ++r)
            rows.push_back(Json::array({text(lv->cellText(r, 0)), text(lv->cellText(r, 1))}));
        nowRow = lv->markedRow();
    }
    return {{"columns", std::move(columns)}, {"rows", std::move(rows)}, {"now_row", nowRow}};
}

Json statusParts(const rt::Runtime& rt) {
    Json status = Json::array();
    if (const auto* bar = model<rt::StatusBar>(rt, ui::kStatusBar))
        for (const rt::StatusPart& p : bar->parts) status.push_back(text(p.text));
    return status;
}

Json search(const GuideSchedule* schedule) {
    Json results = Json::array();
    if (schedule)
        for (const schedule::SearchHit& hit : schedule->results())
            results.push_back({{"group", hit.group},
                               {"row", hit.row},
                               {"channel", text(hit.channel)},
                               {"day", hit.day},
                               {"time", text(hit.time)},
                               {"title", text(hit.title)}});
    return {{"text", text(schedule ? schedule->searchText() : rt::Text{})},
            {"results", std::move(results)}};
}

Json favouriteList(const Guide& guide) {
    Json favourites = Json::array();
    for (const catalogue::Row& row : schedule::favouritesGroup(guide.favourites()).rows)
        favourites.push_back({{"channel", text(row.name)}, {"path", std::string(row.path)}});
    return favourites;
}

}  // namespace

std::string stateJson(const rt::Runtime& rt, const Guide& guide, const GuideSchedule* schedule,
                      const std::vector<rt::Text>& requests,
                      const std::map<int, std::uint32_t>& skinColours, const ProbeViews& views) {
    Json state;
    const auto* window = model<rt::WindowData>(rt, {ui::kMainWindowId, 0});
    state["title"] = text(window ? window->title : rt::Text{});
    MenuState menu = menuState(rt);
    state["groups"] = std::move(menu.groups);
    state["current_group"] = menu.current;
    state["channel_list"] = channelList(rt, menu, guide, schedule);
    state["channel_base_url"] = text(guide.values().channelBaseUrl);
    state["labels"] = dayLabels(rt);
    const auto* slider = model<rt::SliderBar>(rt, ui::kDaySlider);
    state["slider"] = slider ? slider->position() : 0;
    state["program_list"] = programList(rt);
    state["status"] = statusParts(rt);

    Json urls = Json::array();
    for (const rt::Text& url : requests) urls.push_back(text(url));
    state["requests"] = std::move(urls);
    Json skin = Json::object();
    for (const auto& [index, colour] : skinColours) skin[std::to_string(index)] = colour;
    state["skin"] = std::move(skin);

    state["search"] = search(schedule);
    state["favourites"] = favouriteList(guide);
    static const std::vector<schedule::Reminder> none;
    state["reminders"] = reminderList(schedule ? schedule->reminders() : none, guide.zone());
    state["notifications"] =
        reminderList(schedule ? schedule->notifications() : none, guide.zone());
    state["grid"] = gridState(views, guide.zone());
    state["details"] = detailsState(views, guide.zone());
    return dump(state);
}

}  // namespace app::probe
