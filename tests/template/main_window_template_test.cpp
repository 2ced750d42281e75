// The embedded block holds the main window exactly as designed: every unit,
// in record order, with its geometry, flags, cursor, bindings and design values.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"
#include "tests/support/gbk_literal.h"

namespace {

using namespace rt::unit_type;
constexpr std::uint32_t V = rt::unit_flag::kVisible, D = rt::unit_flag::kDisabled,
                        T = rt::unit_flag::kTabStop;
constexpr std::uint32_t kHand = rt::kCursorHand, kArrow = rt::kCursorArrow;
constexpr std::uint32_t kBox1 = 0x16011B47, kBox2 = 0x16011B4B, kBox3 = 0x16011E1D;
constexpr std::uint32_t kOwnUnit = 0x06010000;

struct Expected {
    std::uint32_t id;
    const char* name;
    std::uint32_t type, parent;
    std::int32_t left, top, width, height;
    std::uint32_t flags, cursor;
    std::vector<rt::EventBinding> events;
};

std::int32_t h(app::ui::HandlerId id) {
    return static_cast<std::int32_t>(id);
}

const std::vector<Expected>& expectedUnits() {
    using H = app::ui::HandlerId;
    static const std::vector<Expected> units = {
        {kOwnUnit, "", kWindow, 0, 50, 50, 750, 680, V, kArrow, {{0, h(H::Created)}}},
        {0x16011E24, "超文本浏览框1", kHtmlViewer, kBox3, -2, -2, 749, 111, V | T, kArrow, {}},
        {kBox3, "分组框3", kGroupBox, 0, 3, 3, 728, 90, V, kArrow, {}},
        {0x16011BBC,
         "超级列表框中央",
         kListView,
         kBox1,
         5,
         89,
         197,
         288,
         V | T,
         kHand,
         {{0, h(H::ChannelSelected)}}},
        {0x16011BBB,
         "卷帘式菜单",
         kOutlookBar,
         kBox1,
         5,
         11,
         197,
         502,
         V | T,
         kArrow,
         {{1, h(H::GroupOpened)}}},
        {0x16011B5C, "标签1", kLabel, kBox2, 5, 464, 36, 24, V, kHand, {{-1, h(H::Monday)}}},
        {0x16011B5D, "标签2", kLabel, kBox2, 85, 464, 36, 24, V, kHand, {{-1, h(H::Tuesday)}}},
        {0x16011B5E, "标签3", kLabel, kBox2, 163, 464, 36, 24, V, kHand, {{-1, h(H::Wednesday)}}},
        {0x16011B5F, "标签4", kLabel, kBox2, 242, 464, 35, 24, V, kHand, {{-1, h(H::Thursday)}}},
        {0x16011B60, "标签5", kLabel, kBox2, 321, 464, 34, 24, V, kHand, {{-1, h(H::Friday)}}},
        {0x16011B61, "标签6", kLabel, kBox2, 401, 464, 36, 24, V, kHand, {{-1, h(H::Saturday)}}},
        {0x16011B62, "标签7", kLabel, kBox2, 477, 464, 34, 24, V, kHand, {{-1, h(H::Sunday)}}},
        {0x16011B63, "滑块条1", kSliderBar, kBox2, 8, 483, 502, 34, V | D | T, kArrow, {}},
        {0x16011B4C, "超级列表框节目", kListView, kBox2, 4, 11, 507, 441, V | T, kArrow, {}},
        {kBox2, "分组框2", kGroupBox, 0, 214, 95, 517, 520, V, kArrow, {}},
        {kBox1, "分组框1", kGroupBox, 0, 3, 95, 208, 520, V, kArrow, {}},
        {0x16010003, "状态条1", kStatusBar, 0, 0, 452, 744, 20, V, kArrow, {}},
    };
    return units;
}

class MainWindowTemplate : public ::testing::Test {
  protected:
    void SetUp() override {
        rt::TemplateReadResult r = rt::readTemplate(app::ui::mainWindowTemplateBlock());
        ASSERT_TRUE(r.value) << r.error;
        tpl_ = std::move(*r.value);
        ASSERT_EQ(tpl_.windows.size(), 1u);
        ASSERT_EQ(tpl_.windows[0].id, app::ui::kMainWindowId);
    }
    const rt::UnitRecord& unit(std::uint32_t id) {
        const rt::UnitRecord* u = rt::findUnit(tpl_.windows[0], id);
        if (!u) ADD_FAILURE() << "no unit " << std::hex << id;
        static const rt::UnitRecord none;
        return u ? *u : none;
    }
    rt::ListViewData list(std::uint32_t id) {
        return rt::decodeListViewData(unit(id).typeData).value_or(rt::ListViewData{});
    }
    rt::WindowTemplate tpl_;
};

TEST_F(MainWindowTemplate, UnitsInRecordOrderWithGeometryFlagsCursorsAndBindings) {
    const auto& units = tpl_.windows[0].units;
    const auto& expected = expectedUnits();
    ASSERT_EQ(units.size(), expected.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const rt::UnitRecord& u = units[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("record " + std::to_string(i) + " " + e.name);
        EXPECT_EQ(u.id, e.id);
        EXPECT_EQ(U(u.name), e.name);
        EXPECT_EQ(u.type, e.type);
        EXPECT_EQ(u.parent, e.parent);
        EXPECT_EQ((std::array{u.left, u.top, u.width, u.height}),
                  (std::array{e.left, e.top, e.width, e.height}));
        EXPECT_EQ(u.flags, e.flags);
        EXPECT_EQ(u.cursor, e.cursor);
        EXPECT_EQ(u.events, e.events);
        EXPECT_EQ(u.link, 0u);
        EXPECT_TRUE(u.comment.empty() && u.tag.empty());
        EXPECT_EQ(u.tabOrder, 0u);
    }
    EXPECT_EQ(app::ui::kHandlerCount, 10u);
}

TEST_F(MainWindowTemplate, ChildrenOfTheGroupBoxesInRecordOrder) {
    EXPECT_EQ(unit(kBox3).children, (std::vector<std::uint32_t>{0x16011E24}));
    EXPECT_EQ(unit(kBox1).children, (std::vector<std::uint32_t>{0x16011BBC, 0x16011BBB}));
    EXPECT_EQ(unit(kBox2).children, (std::vector<std::uint32_t>{
                                        0x16011B5C, 0x16011B5D, 0x16011B5E, 0x16011B5F, 0x16011B60,
                                        0x16011B61, 0x16011B62, 0x16011B63, 0x16011B4C}));
    for (const rt::UnitRecord& u : tpl_.windows[0].units) {
        if (u.type != kGroupBox) {
            EXPECT_TRUE(u.children.empty()) << U(u.name);
        }
    }
}

// A complete .ico file holding one 64x64 image of 32 bits per pixel.
void expectIcon64x64x32(const rt::Bytes& ico) {
    auto u16 = [&](std::size_t at) { return ico.at(at) | ico.at(at + 1) << 8; };
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16;
    };
    ASSERT_EQ(ico.size(), 16958u);
    EXPECT_EQ((std::array{u16(0), u16(2), u16(4)}), (std::array{0, 1, 1}));  // one icon
    EXPECT_EQ((std::array{ico[6], ico[7]}), (std::array<std::uint8_t, 2>{64, 64}));
    EXPECT_EQ((std::array{u16(10), u16(12)}), (std::array{1, 32}));  // planes, bits
    const std::uint32_t bytes = u32(14), offset = u32(18);
    EXPECT_EQ(std::size_t{offset} + bytes, ico.size());
    EXPECT_EQ(u32(offset), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(u32(offset + 4), 64u);
    EXPECT_EQ(u32(offset + 8), 128u);  // colour rows and mask rows
    EXPECT_EQ((std::array{u16(offset + 12), u16(offset + 14)}), (std::array{1, 32}));
    EXPECT_EQ(u32(offset + 16), 0u);  // uncompressed
    // The picture is drawn: both clear and opaque pixels, and the AND mask
    // marks exactly the clear ones.
    int clear = 0, opaque = 0;
    const std::size_t pixels = offset + 40, mask = pixels + 64 * 64 * 4;
    for (int row = 0; row < 64; ++row) {
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t alpha = ico[pixels + (row * 64 + x) * 4 + 3];
            const bool masked = ico[mask + row * 8 + x / 8] & (0x80 >> (x % 8));
            clear += alpha == 0, opaque += alpha == 255;
            ASSERT_EQ(masked, alpha == 0) << "row " << row << " x " << x;
        }
    }
    EXPECT_GT(clear, 100);
    EXPECT_GT(opaque, 1000);
}

TEST_F(MainWindowTemplate, WindowTitleAndIcon) {
    auto w = rt::decodeWindowData(unit(kOwnUnit).typeData);
    ASSERT_TRUE(w);
    EXPECT_EQ(U(w->title), "澜欣电视节目预告_v08.10");
    expectIcon64x64x32(w->icon);
}

TEST_F(MainWindowTemplate, ViewerAndGroupBoxes) {
    auto viewer = rt::decodeHtmlViewerData(unit(0x16011E24).typeData);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->startAddress, "http://127.0.0.1:8610/soft/down/a1.html");
    EXPECT_EQ(viewer->fontSize, 2);
    EXPECT_EQ(viewer->offline, 0);
    EXPECT_EQ(viewer->silent, 1);

    auto box3 = rt::decodeGroupBoxData(unit(kBox3).typeData);
    ASSERT_TRUE(box3);
    EXPECT_EQ(box3->caption, "");
    EXPECT_EQ(box3->backgroundColour, 0xECECECu);  // RGB(236,236,236)
    EXPECT_TRUE(unit(kBox1).typeData.empty());
    EXPECT_TRUE(unit(kBox2).typeData.empty());
    EXPECT_EQ(rt::decodeGroupBoxData(unit(kBox1).typeData), rt::GroupBoxData{});
}

TEST_F(MainWindowTemplate, ChannelListColumnFontColoursAndTwentyEightRowsInOrder) {
    const rt::ListViewData l = list(0x16011BBC);
    EXPECT_EQ(l.viewType, 3);  // report
    ASSERT_EQ(l.columns.size(), 1u);
    EXPECT_EQ(U(l.columns[0].title), "频道");
    EXPECT_EQ(l.columns[0].width, 180);
    EXPECT_EQ(l.columns[0].alignment, 0);
    ASSERT_TRUE(l.font);
    EXPECT_EQ(U(l.font->faceName), "宋体");
    EXPECT_EQ(l.font->height, -14);
    EXPECT_EQ(l.font->weight, 700);
    EXPECT_EQ(l.font->charset, rt::kCharsetGb2312);
    EXPECT_EQ(l.textColour, 0x808000u);        // RGB(0,128,128)
    EXPECT_EQ(l.backgroundColour, 0xFFF7F7u);  // RGB(247,247,255)
    EXPECT_EQ(l.selectWithFocus, 1);
    EXPECT_EQ(l.currentRow, -1);
    const char* rows[] = {"CCTV-1（综合） ",
                          "CCTV-2（财经）",
                          "CCTV-3（综艺）",
                          "CCTV-4中文国际（亚）",
                          "CCTV-5（体育）",
                          "CCTV-6（电影）",
                          "CCTV-7（军事 农业）",
                          "CCTV-8（电视剧）",
                          "CCTV-9（纪录）",
                          "CCTV-10（科教）",
                          "CCTV-11（戏曲）",
                          "CCTV-12（社会与法）",
                          "CCTV-13（新闻）",
                          "CCTV-14（少儿）",
                          "CCTV-15（音乐）",
                          "CCTV-E",
                          "CCTV-4中文国际（欧）",
                          "CCTV-4中文国际（美）",
                          "CCTV-F",
                          "CCTV-阿拉伯语国际频道",
                          "CCTV-俄罗斯语国际频道",
                          "CCTV-9（英）",
                          "CCTV-NEWS",
                          "CCTV-1（高清）",
                          "CCTV-3（高清）",
                          "CCTV-5（高清）",
                          "CCTV-8（高清）",
                          "CCTV5+"};
    ASSERT_EQ(l.rows.size(), 28u);
    for (std::size_t i = 0; i < 28; ++i) {
        EXPECT_EQ(l.rows[i].title, G(rows[i])) << "row " << i;
        EXPECT_EQ(l.rows[i].image, -1) << "row " << i;
    }
}

TEST_F(MainWindowTemplate, ProgramListColumnsAndFont) {
    const rt::ListViewData l = list(0x16011B4C);
    EXPECT_EQ(l.viewType, 3);
    ASSERT_EQ(l.columns.size(), 2u);
    EXPECT_EQ(U(l.columns[0].title), "播出时间");
    EXPECT_EQ(l.columns[0].width, 70);
    EXPECT_EQ(U(l.columns[1].title), "节目预告");
    EXPECT_EQ(l.columns[1].width, 437);
    EXPECT_EQ(l.columns[0].alignment, 0);
    EXPECT_EQ(l.columns[1].alignment, 0);
    ASSERT_TRUE(l.font);
    EXPECT_EQ(U(l.font->faceName), "宋体");
    EXPECT_EQ(l.font->height, -14);
    EXPECT_EQ(l.font->weight, 400);
    EXPECT_EQ(l.textColour, 0x000000u);
    EXPECT_EQ(l.backgroundColour, 0xFFFFFFu);
    EXPECT_EQ(l.selectWithFocus, 1);
    EXPECT_TRUE(l.rows.empty());
}

TEST_F(MainWindowTemplate, LabelsSliderRollUpMenuAndStatusBar) {
    const char* captions[] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
    for (std::uint32_t i = 0; i < 7; ++i) {
        auto l = rt::decodeLabelData(unit(0x16011B5C + i).typeData);
        ASSERT_TRUE(l) << i;
        EXPECT_EQ(U(l->caption), captions[i]);
        EXPECT_EQ(l->textColour, 0x808000u) << i;
        EXPECT_EQ(l->backgroundColour, rt::kColourTransparent) << i;
    }

    auto slider = rt::decodeSliderBarData(unit(0x16011B63).typeData);
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->minimum, 1);
    EXPECT_EQ(slider->maximum, 7);
    EXPECT_EQ(slider->position, 1);

    auto bar = rt::decodeOutlookBarData(unit(0x16011BBB).typeData);
    ASSERT_TRUE(bar);
    for (const rt::FontRecord* f : {&bar->headerFont, &bar->itemFont}) {
        EXPECT_EQ(f->faceName, "SimSun");
        EXPECT_EQ(f->height, -12);
        EXPECT_EQ(f->weight, 400);
        EXPECT_EQ(f->charset, rt::kCharsetGb2312);
    }

    auto status = rt::decodeStatusBarData(unit(0x16010003).typeData);
    ASSERT_TRUE(status);
    ASSERT_EQ(status->parts.size(), 4u);
    const std::pair<int, const char*> parts[] = {
        {400, "当前状态:"}, {150, ""}, {200, "澜欣电视节目预告 - 版本:08.10"}, {50, ""}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(status->parts[i].width, parts[i].first) << i;
        EXPECT_EQ(U(status->parts[i].text), parts[i].second) << i;
        EXPECT_EQ(status->parts[i].borderStyle, 0) << i;
        EXPECT_EQ(status->parts[i].image, -1) << i;
    }
}

}  // namespace
