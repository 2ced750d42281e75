// Writing and reading back gives the same records; the layout description,
// the block built from it and the block embedded in the program agree.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/window/main_window.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"
#include "tests/template/template_samples.h"
#include "tools/template/layout_description.h"

namespace {

std::string readLayoutFile() {
    std::ifstream in(MAIN_WINDOW_LAYOUT, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

tools::Layout parseMainLayout(const rt::Bytes& icon) {
    tools::LayoutResult r = tools::parseLayout(
        readLayoutFile(), [&](std::string_view name) -> std::optional<rt::Bytes> {
            if (name != "tvguide.ico") return std::nullopt;
            return icon;
        });
    EXPECT_TRUE(r.value) << r.error;
    return r.value.value_or(tools::Layout{});
}

TEST(TemplateRoundTrip, BusyTemplateReadsBackEqualAndRewritesToTheSameBytes) {
    const rt::WindowTemplate t = test::busyTemplate();
    const rt::Bytes block = rt::writeTemplate(t);
    rt::TemplateReadResult r = rt::readTemplate(block);
    ASSERT_TRUE(r.value) << r.error;
    EXPECT_EQ(*r.value, t);
    EXPECT_EQ(rt::writeTemplate(*r.value), block);
}

TEST(TemplateRoundTrip, LayoutDescriptionToBlockToRecords) {
    const tools::Layout layout = parseMainLayout({0, 0, 1, 0, 1, 0});
    rt::TemplateReadResult r = rt::readTemplate(rt::writeTemplate(layout.tpl));
    ASSERT_TRUE(r.value) << r.error;
    EXPECT_EQ(*r.value, layout.tpl);
}

TEST(TemplateRoundTrip, EmbeddedBlockIsExactlyTheBlockOfTheLayoutDescription) {
    const auto embedded = app::ui::mainWindowTemplateBlock();
    rt::TemplateReadResult r = rt::readTemplate(embedded);
    ASSERT_TRUE(r.value) << r.error;
    auto window = rt::decodeWindowData(r.value->windows.at(0).units.at(0).typeData);
    ASSERT_TRUE(window);
    const tools::Layout layout = parseMainLayout(window->icon);
    EXPECT_EQ(rt::writeTemplate(layout.tpl), rt::Bytes(embedded.begin(), embedded.end()));
    EXPECT_EQ(layout.handlers.size(), 10u);
}

// Each type's design values with nothing left at its default.
template <typename T, typename Decode>
void expectTypeDataRoundTrip(const T& value, Decode decode, const char* name) {
    SCOPED_TRACE(name);
    const rt::Bytes block = rt::encode(value);
    std::optional<T> back = decode(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value);
    EXPECT_EQ(decode(rt::Bytes{}), T{}) << "an empty block gives the defaults";
    for (std::size_t n = 1; n < block.size(); ++n) {
        ASSERT_FALSE(decode(rt::ByteView(block.data(), n))) << "prefix of " << n << " bytes";
    }
    rt::Bytes longer = block;
    longer.push_back(0);
    EXPECT_FALSE(decode(longer)) << "a trailing byte";
}

rt::FontRecord someFont(const char* face) {
    return {-14, 6, 1, 2, 700, 1, 1, 1, 134, 3, 2, 1, 0x31, face};
}

TEST(TypeData, EveryTypeRoundTripsAndRejectsTruncationAndTrailingBytes) {
    expectTypeDataRoundTrip(rt::WindowData{2, 7, {1, 2, 3}, "title"}, rt::decodeWindowData,
                            "window");
    expectTypeDataRoundTrip(rt::GroupBoxData{"cap", 1, 0x123456, 0xECECEC, someFont("f")},
                            rt::decodeGroupBoxData, "GroupBox");
    expectTypeDataRoundTrip(rt::GroupBoxData{"", 2, 1, 2, std::nullopt}, rt::decodeGroupBoxData,
                            "GroupBox without font");
    expectTypeDataRoundTrip(rt::LabelData{1, 2, 3, {4, 5, 6}, 7, 8, 9, "cap", 1, 2},
                            rt::decodeLabelData, "Label");
    expectTypeDataRoundTrip(rt::SliderBarData{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                            rt::decodeSliderBarData, "SliderBar");
    expectTypeDataRoundTrip(rt::HtmlViewerData{4, 1, 1, "http://x/"}, rt::decodeHtmlViewerData,
                            "HtmlViewer");
    expectTypeDataRoundTrip(rt::StatusBarData{1, {{10, 2, 3, "a", "tip"}, {20, 0, -1, "", ""}}},
                            rt::decodeStatusBarData, "StatusBar");
    rt::ListViewData list;
    list.viewType = 1, list.textColour = 0x808000, list.selectWithFocus = 1, list.currentRow = 4;
    list.autoArrange = 1, list.gridLines = 1;
    list.font = someFont("face");
    list.columns = {{1, 2, 1, 70, "c1"}, {0, -1, 0, 437, ""}};
    list.rows = {{1, 2, 3, 4, 5, "r1 "}, {0, -1, 0, 0, 0, ""}};
    expectTypeDataRoundTrip(list, rt::decodeListViewData, "ListView");
    expectTypeDataRoundTrip(rt::OutlookBarData{1, 2, 3, 4, someFont("a"), someFont("b"), 5, 6, 7},
                            rt::decodeOutlookBarData, "OutlookBar");
}

TEST(TypeData, VersionWordsAndFixedSizesAreChecked) {
    rt::Bytes label = rt::encode(rt::LabelData{});
    test::writeU32(label, 0, 1);
    EXPECT_FALSE(rt::decodeLabelData(label)) << "Label blocks are version 2";

    rt::Bytes box = rt::encode(rt::GroupBoxData{"", 0, 0, 0, someFont("x")});
    test::writeU32(box, 20, 59);  // the font block's count: one byte short of a font record
    EXPECT_FALSE(rt::decodeGroupBoxData(box));

    rt::ListViewData list;
    list.rows = {{0, -1, 0, 0, 0, "row"}};
    rt::Bytes rows = rt::encode(list);
    rows.back() = 1;  // the row's closing byte
    EXPECT_FALSE(rt::decodeListViewData(rows));

    rt::Bytes status = rt::encode(rt::StatusBarData{});
    test::writeU32(status, 8, 0x7FFFFFFF);  // part count
    EXPECT_FALSE(rt::decodeStatusBarData(status));
}

TEST(TypeData, TextsAreCutAtNulAndFaceNamesAt31Bytes) {
    rt::LabelData label;
    label.caption = std::string("ab\0cd", 5);
    EXPECT_EQ(rt::decodeLabelData(rt::encode(label))->caption, "ab");

    rt::OutlookBarData bar;
    bar.headerFont.faceName = std::string(40, 'F');
    EXPECT_EQ(rt::decodeOutlookBarData(rt::encode(bar))->headerFont.faceName, std::string(31, 'F'));
}

}  // namespace
