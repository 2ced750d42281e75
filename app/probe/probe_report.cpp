#include "app/probe/probe_report.h"

#include "app/guide.h"
#include "app/main_window.h"
#include "app/probe/json_text.h"

namespace app::probe {
namespace {

template <class M>
const M* model(const rt::Runtime& rt, rt::ControlRef ref) {
    const rt::Control* c = rt.control(ref);
    return c ? c->as<M>() : nullptr;
}

std::string list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
    return out + "]";
}

}  // namespace

std::string stateJson(const rt::Runtime& rt, const Guide& guide,
                      const std::vector<rt::Text>& requests,
                      const std::map<int, std::uint32_t>& skinColours) {
    std::string title;
    if (const auto* w = model<rt::WindowData>(rt, {rt::kMainWindowId, 0})) title = w->title;

    std::vector<std::string> groups;
    int currentGroup = -1;
    rt::ControlRef openList{};
    if (const auto* bar = model<rt::OutlookBar>(rt, ui::kGroupMenu)) {
        for (const rt::OutlookGroup& g : bar->groups()) groups.push_back(jsonString(g.title));
        currentGroup = bar->currentGroup();
        if (bar->validGroup(currentGroup))
            openList = {rt::kMainWindowId,
                        bar->groups()[static_cast<size_t>(currentGroup)].content};
    }

    std::vector<std::string> channelRows;
    int currentRow = -1;
    if (const auto* lv = model<rt::ListView>(rt, openList)) {
        for (const rt::ListViewRow& row : lv->rows())
            channelRows.push_back(jsonString(row.cells.empty() ? rt::Text{} : row.cells[0]));
        currentRow = lv->currentRow();
    }

    std::vector<std::string> labels;
    for (int day = 1; day <= 7; ++day)
        if (const auto* l = model<rt::LabelData>(rt, ui::dayLabel(day)))
            labels.push_back("{\"caption\":" + jsonString(l->caption) +
                             ",\"color\":" + std::to_string(l->textColour) + "}");

    int slider = 0;
    if (const auto* s = model<rt::SliderBar>(rt, ui::kDaySlider)) slider = s->position();

    std::vector<std::string> columns, programRows;
    if (const auto* lv = model<rt::ListView>(rt, ui::kProgramList)) {
        for (const rt::ListColumn& c : lv->columns()) columns.push_back(jsonString(c.title));
        for (int r = 0; r < static_cast<int>(lv->rows().size()); ++r)
            programRows.push_back("[" + jsonString(lv->cellText(r, 0)) + "," +
                                  jsonString(lv->cellText(r, 1)) + "]");
    }

    std::vector<std::string> status;
    if (const auto* bar = model<rt::StatusBar>(rt, ui::kStatusBar))
        for (const rt::StatusPart& p : bar->parts) status.push_back(jsonString(p.text));

    std::vector<std::string> urls;
    for (const rt::Text& url : requests) urls.push_back(jsonString(url));

    std::string skin = "{";
    for (const auto& [index, colour] : skinColours)
        skin += (skin.size() > 1 ? ",\"" : "\"") + std::to_string(index) +
                "\":" + std::to_string(colour);
    skin += "}";

    return "{\"title\":" + jsonString(title) + ",\"groups\":" + list(groups) +
           ",\"current_group\":" + std::to_string(currentGroup) +
           ",\"channel_list\":{\"rows\":" + list(channelRows) +
           ",\"current_row\":" + std::to_string(currentRow) +
           "},\"channel_base_url\":" + jsonString(guide.values().channelBaseUrl) +
           ",\"labels\":" + list(labels) + ",\"slider\":" + std::to_string(slider) +
           ",\"program_list\":{\"columns\":" + list(columns) + ",\"rows\":" + list(programRows) +
           "},\"status\":" + list(status) + ",\"requests\":" + list(urls) + ",\"skin\":" + skin +
           "}";
}

}  // namespace app::probe
