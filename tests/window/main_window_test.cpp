// The guide's real window: the embedded template built into live controls,
// and the frame driven the way the guide's start-up drives it.
#include <gtest/gtest.h>

#include <map>

#include "gbk_literal.h"
#include "runtime/backend/headless/headless_backend.h"
#include "runtime/window/runtime.h"
#include "runtime/window/template/handler_ids.h"
#include "runtime/window/template/template_codec.h"

namespace {

using rt::ControlRef;
using rt::HandlerId;
namespace ut = rt::unit_type;

constexpr std::uint32_t kWin = rt::kMainWindowId;
constexpr std::uint32_t kViewer = 0x16011E24, kFrame3 = 0x16011E1D, kChannels = 0x16011BBC,
                        kMenu = 0x16011BBB;
constexpr std::uint32_t kLabel1 = 0x16011B5C, kSlider = 0x16011B63, kProgram = 0x16011B4C;
constexpr std::uint32_t kFrame2 = 0x16011B4B, kFrame1 = 0x16011B47, kStatus = 0x16010003;
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
    for (std::size_t i = 0; i < rt::kHandlerCount; ++i) {
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

struct Expected {
    std::uint32_t id, type, parent;
    std::int32_t left, top, width, height;
    bool visible, disabled, tabStop;
    std::uint32_t cursor;
};

TEST(MainWindow, BuiltWindowHoldsEveryDesignValue) {
    rt::HeadlessBackend backend;
    Calls calls;
    rt::Runtime r(rt::mainWindowTemplateBlock(), table(calls), backend);
    r.loadStartWindow(kWin);
    ASSERT_EQ(calls.count(HandlerId::Created), 1u);

    const Expected units[] = {
        {rt::kWindowUnitId, ut::kWindow, 0, 50, 50, 750, 680, true, false, false, 0},
        {kViewer, ut::kHtmlViewer, kFrame3, -2, -2, 749, 111, true, false, true, 0},
        {kFrame3, ut::kGroupBox, 0, 3, 3, 728, 90, true, false, false, 0},
        {kChannels, ut::kListView, kFrame1, 5, 89, 197, 288, true, false, true, 32649},
        {kMenu, ut::kOutlookBar, kFrame1, 5, 11, 197, 502, true, false, true, 0},
        {0x16011B5C, ut::kLabel, kFrame2, 5, 464, 36, 24, true, false, false, 32649},
        {0x16011B5D, ut::kLabel, kFrame2, 85, 464, 36, 24, true, false, false, 32649},
        {0x16011B5E, ut::kLabel, kFrame2, 163, 464, 36, 24, true, false, false, 32649},
        {0x16011B5F, ut::kLabel, kFrame2, 242, 464, 35, 24, true, false, false, 32649},
        {0x16011B60, ut::kLabel, kFrame2, 321, 464, 34, 24, true, false, false, 32649},
        {0x16011B61, ut::kLabel, kFrame2, 401, 464, 36, 24, true, false, false, 32649},
        {0x16011B62, ut::kLabel, kFrame2, 477, 464, 34, 24, true, false, false, 32649},
        {kSlider, ut::kSliderBar, kFrame2, 8, 483, 502, 34, true, true, true, 0},
        {kProgram, ut::kListView, kFrame2, 4, 11, 507, 441, true, false, true, 0},
        {kFrame2, ut::kGroupBox, 0, 214, 95, 517, 520, true, false, false, 0},
        {kFrame1, ut::kGroupBox, 0, 3, 95, 208, 520, true, false, false, 0},
        {kStatus, ut::kStatusBar, 0, 0, 452, 744, 20, true, false, false, 0},
    };
    const auto built = r.controls(kWin);
    ASSERT_EQ(built.size(), std::size(units));
    for (std::size_t i = 0; i < built.size(); ++i) {
        SCOPED_TRACE(i);
        const rt::Control& c = *built[i];
        const Expected& e = units[i];
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.type, e.type);
        EXPECT_EQ(c.parent, e.parent);
        EXPECT_EQ((std::array{c.left, c.top, c.width, c.height}),
                  (std::array{e.left, e.top, e.width, e.height}));
        EXPECT_EQ(c.visible, e.visible);
        EXPECT_EQ(c.disabled, e.disabled);
        EXPECT_EQ(c.tabStop, e.tabStop);
        EXPECT_EQ(c.cursor, e.cursor);
        if (c.parent != 0) {
            const auto& siblings = r.control(ref(c.parent))->children;
            EXPECT_NE(std::find(siblings.begin(), siblings.end(), c.id), siblings.end());
        }
    }

    const auto* win = r.control(ref(0))->as<rt::WindowData>();
    ASSERT_NE(win, nullptr);
    EXPECT_EQ(U(win->title), "澜欣电视节目预告_v08.10");
    ASSERT_GE(win->icon.size(), 22u);  // one 64x64 32-bit image in an icon file
    EXPECT_EQ((std::vector<std::uint8_t>(win->icon.begin(), win->icon.begin() + 6)),
              (std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0}));
    EXPECT_EQ(win->icon[6], 64);
    EXPECT_EQ(win->icon[7], 64);
    EXPECT_EQ(win->icon[12], 32);

    EXPECT_EQ(r.control(ref(kFrame3))->as<rt::GroupBoxData>()->backgroundColour, 0xECECECu);
    EXPECT_EQ(r.control(ref(kFrame3))->as<rt::GroupBoxData>()->caption, "");

    const char* captions[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    for (std::uint32_t k = 0; k < 7; ++k) {
        const auto* label = r.control(ref(kLabel1 + k))->as<rt::LabelData>();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(U(label->caption), captions[k]);
        EXPECT_EQ(label->textColour, 0x00808000u);
        EXPECT_EQ(label->backgroundColour, rt::kColourTransparent);
    }

    const auto* slider = r.control(ref(kSlider))->as<rt::SliderBar>();
    EXPECT_EQ((std::array{slider->minimum(), slider->maximum(), slider->position()}),
              (std::array{1, 7, 1}));

    const auto* channels = r.control(ref(kChannels))->as<rt::ListView>();
    ASSERT_EQ(channels->columns().size(), 1u);
    EXPECT_EQ(U(channels->columns()[0].title), "频道");
    EXPECT_EQ(channels->columns()[0].width, 180);
    ASSERT_EQ(channels->rows().size(), 28u);
    EXPECT_EQ(U(channels->rows()[0].cells[0]), "CCTV-1（综合） ");
    EXPECT_EQ(U(channels->rows()[19].cells[0]), "CCTV-阿拉伯语国际频道");
    EXPECT_EQ(U(channels->rows()[27].cells[0]), "CCTV5+");
    EXPECT_EQ(channels->currentRow(), -1);
    EXPECT_EQ(channels->design.selectWithFocus, 1);
    EXPECT_EQ(channels->design.textColour, 0x00808000u);
    EXPECT_EQ(channels->design.backgroundColour, 0x00FFF7F7u);
    ASSERT_TRUE(channels->design.font.has_value());
    EXPECT_EQ(U(channels->design.font->faceName), "宋体");
    EXPECT_EQ(channels->design.font->height, -14);
    EXPECT_EQ(channels->design.font->weight, 700);
    EXPECT_EQ(channels->design.font->charset, rt::kCharsetGb2312);

    const auto* program = r.control(ref(kProgram))->as<rt::ListView>();
    ASSERT_EQ(program->columns().size(), 2u);
    EXPECT_EQ(U(program->columns()[0].title), "播出时间");
    EXPECT_EQ(program->columns()[0].width, 70);
    EXPECT_EQ(U(program->columns()[1].title), "节目预告");
    EXPECT_EQ(program->columns()[1].width, 437);
    EXPECT_TRUE(program->rows().empty());
    EXPECT_EQ(program->design.selectWithFocus, 1);

    const auto& parts = r.control(ref(kStatus))->as<rt::StatusBar>()->parts;
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ((std::array{parts[0].width, parts[1].width, parts[2].width, parts[3].width}),
              (std::array{400, 150, 200, 50}));
    EXPECT_EQ(U(parts[0].text), "当前状态:");
    EXPECT_EQ(parts[1].text, "");
    EXPECT_EQ(U(parts[2].text), "澜欣电视节目预告 - 版本:08.10");
    EXPECT_EQ(parts[3].text, "");

    EXPECT_EQ(r.control(ref(kViewer))->as<rt::HtmlViewer>()->url,
              "http://127.0.0.1:8610/soft/down/a1.html");
    EXPECT_EQ(rt::toInt(r.readProperty(ref(kMenu), 14)), -1);

    // The bindings reach the right handlers.
    for (std::uint32_t k = 0; k < 7; ++k) {
        const std::int32_t args[] = {1, 1, 0};
        EXPECT_TRUE(r.raiseEvent(ref(kLabel1 + k), -1, args).handled);
        EXPECT_EQ(calls.log.back().first,
                  static_cast<HandlerId>(static_cast<int>(HandlerId::Monday) + k));
    }
    EXPECT_FALSE(r.raiseEvent(ref(kProgram), 0).handled);
    EXPECT_FALSE(r.raiseEvent(ref(kSlider), -1).handled);
}

// The frame side of the start-up: ten groups (the list and nine copies), row 0
// selected, the channel handler focusing the list and retitling the program.
TEST(MainWindow, StartUpThroughTheFrame) {
    rt::HeadlessBackend backend;
    Calls calls;
    std::vector<rt::TypedControlRef> copies;
    auto created = [&](rt::Runtime& r) {
        r.outlookAddGroup(ref(kMenu), rt::gbk("央视频道"), ref(kChannels));
        for (int k = 1; k <= 9; ++k) {
            rt::TypedControlRef v{{}, ut::kListView};
            EXPECT_TRUE(r.copyControl({ref(kChannels), ut::kListView}, v));
            copies.push_back(v);
            r.outlookAddGroup(ref(kMenu), "group" + std::to_string(k), v.ref);
        }
        r.listSelectRow(ref(kChannels), 0);
        r.writeProperty(ref(kLabel1), 16, std::int32_t{255});
    };
    auto selected = [&](rt::Runtime& r) {
        const std::int32_t g = rt::toInt(r.readProperty(ref(kMenu), 14));
        const ControlRef list =
            g == 0 ? ref(kChannels) : copies.at(static_cast<std::size_t>(g - 1)).ref;
        const std::int32_t row = rt::toInt(r.readProperty(list, 35));
        r.setFocus(list);
        r.listSetColumnTitle(ref(kProgram), 1, r.listCellText(list, row) + rt::gbk(" 节目预告"));
    };
    rt::Runtime r(
        rt::mainWindowTemplateBlock(),
        table(calls, {{HandlerId::Created, created}, {HandlerId::ChannelSelected, selected}}),
        backend);
    r.loadStartWindow(kWin);

    EXPECT_EQ(calls.groupArgs, std::vector<std::int32_t>(10, 0));
    ASSERT_EQ(calls.count(HandlerId::ChannelSelected), 1u);
    EXPECT_EQ(r.focus(), ref(kChannels));
    EXPECT_EQ(U(r.control(ref(kProgram))->as<rt::ListView>()->columns()[1].title),
              "CCTV-1（综合）  节目预告");
    EXPECT_EQ(r.control(ref(kLabel1))->as<rt::LabelData>()->textColour, 255u);

    const auto* bar = r.control(ref(kMenu))->as<rt::OutlookBar>();
    ASSERT_EQ(bar->groups().size(), 10u);
    EXPECT_TRUE(r.control(ref(kChannels))->visible);
    for (const auto& c : copies) {
        EXPECT_FALSE(r.control(c.ref)->visible);
        EXPECT_EQ(r.control(c.ref)->parent, kMenu);
        EXPECT_EQ(r.control(c.ref)->as<rt::ListView>()->rows().size(), 28u);
        EXPECT_EQ(r.control(c.ref)->as<rt::ListView>()->currentRow(), -1);
    }
    EXPECT_EQ(r.controls(kWin).size(), 17u + 9u);

    // Opening group 4 by its header and clicking a row of that copy reaches the
    // channel handler with the copy as the event source.
    backend.postHeaderClick(ref(kMenu), 4);
    backend.postRowClick(copies[3].ref, 2);
    r.processPendingMessages();
    EXPECT_EQ(calls.groupArgs.back(), 4);
    ASSERT_EQ(calls.count(HandlerId::ChannelSelected), 2u);
    EXPECT_EQ(calls.log.back().second, copies[3].ref);
    EXPECT_EQ(r.focus(), copies[3].ref);
    EXPECT_EQ(U(r.control(ref(kProgram))->as<rt::ListView>()->columns()[1].title),
              "CCTV-3（综艺） 节目预告");
    EXPECT_FALSE(r.control(ref(kChannels))->visible);
    EXPECT_TRUE(r.control(copies[3].ref)->visible);
}

}  // namespace
