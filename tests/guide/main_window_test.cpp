// The guide's real window: the embedded template built into live controls
// that hold the block's design values, and the frame driven the way the
// guide's start-up drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/window/main_window.h"
#include "gbk_literal.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/window/runtime.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace {

using app::ui::HandlerId;
using rt::ControlRef;
namespace ui = app::ui;
namespace ut = rt::unit_type;

constexpr std::uint32_t kWin = ui::kMainWindowId;
constexpr ControlRef ref(std::uint32_t unit) {
    return ControlRef{kWin, unit};
}

struct Calls {
    std::vector<std::pair<HandlerId, ControlRef>> log;
    std::vector<std::int32_t> groupArgs;
    std::size_t count(HandlerId id) const {
        std::size_t n = 0;
        for (const auto& c : log) n += c.first == id;
        return n;
    }
};

// A table whose every handler logs; `extra` adds behaviour to some.
std::vector<rt::Handler> table(Calls& calls,
                               std::map<HandlerId, std::function<void(rt::Runtime&)>> extra = {}) {
    std::vector<rt::Handler> t;
    for (std::size_t i = 0; i < ui::kHandlerCount; ++i) {
        const auto id = static_cast<HandlerId>(i);
        auto more = extra.count(id) ? extra[id] : nullptr;
        t.push_back(
            [&calls, id, more](rt::Runtime& r, rt::EventArgs args) -> std::optional<std::int32_t> {
                calls.log.emplace_back(id, r.currentEventSource().value_or(ControlRef{}));
                if (id == HandlerId::GroupOpened)
                    calls.groupArgs.push_back(args.empty() ? -99 : args[0]);
                if (more) more(r);
                return std::nullopt;
            });
    }
    return t;
}

const rt::WindowEntry& mainWindowRecords() {
    static const rt::WindowTemplate tpl =
        rt::readTemplate(ui::mainWindowTemplateBlock()).value.value();
    return *tpl.findWindow(kWin);
}

std::size_t presetRowCount() {
    const rt::UnitRecord* list = rt::findUnit(mainWindowRecords(), ui::kChannelList.unit);
    return rt::decodeListViewData(list->typeData).value().rows.size();
}

// Each control's model against the design values of its record.
void expectDesignValues(const rt::Control& c, const rt::UnitRecord& rec) {
    const rt::ByteView data = rec.typeData;
    switch (rec.type) {
        case ut::kWindow: {
            const auto design = rt::decodeWindowData(data).value();
            EXPECT_EQ(c.as<rt::WindowData>()->title, design.title);
            EXPECT_EQ(c.as<rt::WindowData>()->icon, design.icon);
            EXPECT_FALSE(design.icon.empty());
            break;
        }
        case ut::kGroupBox:
            EXPECT_EQ(*c.as<rt::GroupBoxData>(), rt::decodeGroupBoxData(data).value());
            break;
        case ut::kLabel:
            EXPECT_EQ(*c.as<rt::LabelData>(), rt::decodeLabelData(data).value());
            break;
        case ut::kSliderBar: {
            const auto design = rt::decodeSliderBarData(data).value();
            const auto* s = c.as<rt::SliderBar>();
            EXPECT_EQ((std::array{s->minimum(), s->maximum(), s->position()}),
                      (std::array{design.minimum, design.maximum, design.position}));
            break;
        }
        case ut::kListView: {
            const auto design = rt::decodeListViewData(data).value();
            const auto* l = c.as<rt::ListView>();
            EXPECT_EQ(l->columns(), design.columns);
            ASSERT_EQ(l->rows().size(), design.rows.size());
            for (std::size_t i = 0; i < design.rows.size(); ++i)
                EXPECT_EQ(l->rows()[i].cells.at(0), design.rows[i].title) << "row " << i;
            EXPECT_EQ(l->currentRow(), design.currentRow);
            EXPECT_EQ(l->design.selectWithFocus, design.selectWithFocus);
            EXPECT_EQ(l->design.textColour, design.textColour);
            EXPECT_EQ(l->design.backgroundColour, design.backgroundColour);
            EXPECT_EQ(l->design.font, design.font);
            break;
        }
        case ut::kStatusBar:
            EXPECT_EQ(c.as<rt::StatusBar>()->parts, rt::decodeStatusBarData(data).value().parts);
            break;
        case ut::kHtmlViewer:
            EXPECT_EQ(c.as<rt::HtmlViewer>()->url,
                      rt::decodeHtmlViewerData(data).value().startAddress);
            break;
        case ut::kOutlookBar:
            EXPECT_TRUE(c.as<rt::OutlookBar>()->groups().empty());
            EXPECT_EQ(c.as<rt::OutlookBar>()->design, rt::decodeOutlookBarData(data).value());
            break;
        default: ADD_FAILURE() << "unexpected unit type " << rec.type;
    }
}

TEST(MainWindow, BuiltWindowHoldsEveryDesignValueOfTheBlock) {
    rt::HeadlessBackend backend;
    Calls calls;
    rt::Runtime r(ui::mainWindowTemplateBlock(), table(calls), backend);
    r.loadStartWindow(kWin);
    ASSERT_EQ(calls.count(HandlerId::Created), 1u);

    const auto& records = mainWindowRecords().units;
    const auto built = r.controls(kWin);
    ASSERT_EQ(built.size(), records.size());
    for (std::size_t i = 0; i < built.size(); ++i) {
        const rt::Control& c = *built[i];
        const rt::UnitRecord& rec = records[i];
        SCOPED_TRACE("record " + std::to_string(i) + " " + U(rec.name));
        EXPECT_EQ(c.id, rec.id);
        EXPECT_EQ(c.type, rec.type);
        EXPECT_EQ(c.parent, rec.parent);
        EXPECT_EQ((std::array{c.left, c.top, c.width, c.height}),
                  (std::array{rec.left, rec.top, rec.width, rec.height}));
        EXPECT_EQ(c.visible, (rec.flags & rt::unit_flag::kVisible) != 0);
        EXPECT_EQ(c.disabled, (rec.flags & rt::unit_flag::kDisabled) != 0);
        EXPECT_EQ(c.tabStop, (rec.flags & rt::unit_flag::kTabStop) != 0);
        EXPECT_EQ(c.cursor, rec.cursor);
        if (c.parent != 0) {
            const auto& siblings = r.control(ref(c.parent))->children;
            EXPECT_NE(std::find(siblings.begin(), siblings.end(), c.id), siblings.end());
        }
        expectDesignValues(c, rec);
    }
    EXPECT_EQ(rt::toInt(r.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup)), -1);

    // The bindings reach the right handlers.
    for (int day = 1; day <= 7; ++day) {
        const std::int32_t args[] = {1, 1, 0};
        EXPECT_TRUE(r.raiseEvent(ui::dayLabel(day), -1, args).handled);
        EXPECT_EQ(calls.log.back().first,
                  static_cast<HandlerId>(static_cast<int>(HandlerId::Monday) + day - 1));
    }
    EXPECT_FALSE(r.raiseEvent(ui::kProgramList, 0).handled);
    EXPECT_FALSE(r.raiseEvent(ui::kDaySlider, -1).handled);
}

// The frame side of the start-up: ten groups (the list and nine copies), row 0
// selected, the channel handler focusing the list and retitling the program.
TEST(MainWindow, StartUpThroughTheFrame) {
    rt::HeadlessBackend backend;
    Calls calls;
    std::vector<rt::TypedControlRef> copies;
    auto created = [&](rt::Runtime& r) {
        r.outlookAddGroup(ui::kGroupMenu, rt::gbk("央视频道"), ui::kChannelList);
        for (int k = 1; k <= 9; ++k) {
            rt::TypedControlRef v{{}, ut::kListView};
            EXPECT_TRUE(r.copyControl({ui::kChannelList, ut::kListView}, v));
            copies.push_back(v);
            r.outlookAddGroup(ui::kGroupMenu, "group" + std::to_string(k), v.ref);
        }
        r.listSelectRow(ui::kChannelList, 0);
        r.writeProperty(ui::dayLabel(1), rt::LabelProperty::TextColour, std::int32_t{255});
    };
    auto selected = [&](rt::Runtime& r) {
        const std::int32_t g =
            rt::toInt(r.readProperty(ui::kGroupMenu, rt::OutlookBarProperty::CurrentGroup));
        const ControlRef list =
            g == 0 ? ui::kChannelList : copies.at(static_cast<std::size_t>(g - 1)).ref;
        const std::int32_t row = rt::toInt(r.readProperty(list, rt::ListViewProperty::CurrentRow));
        r.setFocus(list);
        r.listSetColumnTitle(ui::kProgramList, 1, r.listCellText(list, row) + rt::gbk(" 节目预告"));
    };
    rt::Runtime r(
        ui::mainWindowTemplateBlock(),
        table(calls, {{HandlerId::Created, created}, {HandlerId::ChannelSelected, selected}}),
        backend);
    r.loadStartWindow(kWin);

    EXPECT_EQ(calls.groupArgs, std::vector<std::int32_t>(10, 0));
    ASSERT_EQ(calls.count(HandlerId::ChannelSelected), 1u);
    EXPECT_EQ(r.focus(), ui::kChannelList);
    EXPECT_EQ(U(r.control(ui::kProgramList)->as<rt::ListView>()->columns()[1].title),
              "CCTV-1（综合）  节目预告");
    EXPECT_EQ(r.control(ui::dayLabel(1))->as<rt::LabelData>()->textColour, 255u);

    const auto* bar = r.control(ui::kGroupMenu)->as<rt::OutlookBar>();
    ASSERT_EQ(bar->groups().size(), 10u);
    EXPECT_TRUE(r.control(ui::kChannelList)->visible);
    for (const auto& c : copies) {
        EXPECT_FALSE(r.control(c.ref)->visible);
        EXPECT_EQ(r.control(c.ref)->parent, ui::kGroupMenu.unit);
        EXPECT_EQ(r.control(c.ref)->as<rt::ListView>()->rows().size(), presetRowCount());
        EXPECT_EQ(r.control(c.ref)->as<rt::ListView>()->currentRow(), -1);
    }
    EXPECT_EQ(r.controls(kWin).size(), mainWindowRecords().units.size() + 9u);

    // Opening group 4 by its header and clicking a row of that copy reaches the
    // channel handler with the copy as the event source.
    backend.postHeaderClick(ui::kGroupMenu, 4);
    backend.postRowClick(copies[3].ref, 2);
    r.processPendingMessages();
    EXPECT_EQ(calls.groupArgs.back(), 4);
    ASSERT_EQ(calls.count(HandlerId::ChannelSelected), 2u);
    EXPECT_EQ(calls.log.back().second, copies[3].ref);
    EXPECT_EQ(r.focus(), copies[3].ref);
    EXPECT_EQ(U(r.control(ui::kProgramList)->as<rt::ListView>()->columns()[1].title),
              "CCTV-3（综艺） 节目预告");
    EXPECT_FALSE(r.control(ui::kChannelList)->visible);
    EXPECT_TRUE(r.control(copies[3].ref)->visible);
}

}  // namespace
