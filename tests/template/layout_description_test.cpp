// The layout description parser: what a description becomes, and the errors
// that point at the offending line.
#include <gtest/gtest.h>

#include "runtime/window/template/type_data.h"
#include "tests/support/gbk_literal.h"
#include "tools/template/ids_header.h"
#include "tools/template/layout_description.h"

namespace {

const char* kHeader =
    "handlers created day_clicked\n"
    "window 0x52010001\n"
    "unit 0x06010000 window\n"
    "  event 0 created\n";

tools::LayoutResult parse(const std::string& body) {
    return tools::parseLayout(std::string(kHeader) + body, [](std::string_view name) {
        return name == "a.ico" ? std::optional<rt::Bytes>(rt::Bytes{1, 2}) : std::nullopt;
    });
}

TEST(LayoutDescription, StatementsBecomeRecordsAndTypeData) {
    tools::LayoutResult r = parse(
        "  icon a.ico\n"
        "  title \"标题 \\\"q\\\"\"  # a comment after a value\n"
        "unit 0x16000002 Label \"标签\"\n"
        "  parent \"框\"\n"
        "  geometry -1 2 30 0x10\n"
        "  flags visible disabled tabstop\n"
        "  cursor hand\n"
        "  event -1 day_clicked\n"
        "  event -2 none\n"
        "  textcolour rgb(255,0,0)\n"
        "  background transparent\n"
        "unit 0x16000001 GroupBox \"框\"\n"
        "unit 0x16000003 GroupBox \"框2\"\n"
        "  parent \"框\"\n");
    ASSERT_TRUE(r.value) << r.error;
    EXPECT_EQ(r.value->handlers, (std::vector<std::string>{"created", "day_clicked"}));
    const auto& units = r.value->tpl.windows.at(0).units;
    ASSERT_EQ(units.size(), 4u);

    auto window = rt::decodeWindowData(units[0].typeData);
    ASSERT_TRUE(window);
    EXPECT_EQ(U(window->title), "标题 \"q\"");
    EXPECT_EQ(window->icon, (rt::Bytes{1, 2}));
    EXPECT_EQ(units[0].events, (std::vector<rt::EventBinding>{{0, 0}}));

    const rt::UnitRecord& label = units[1];
    EXPECT_EQ(label.name, G("标签"));
    EXPECT_EQ(label.parent, 0x16000001u);
    EXPECT_EQ((std::array{label.left, label.top, label.width, label.height}),
              (std::array{-1, 2, 30, 16}));
    EXPECT_EQ(label.flags, 7u);
    EXPECT_EQ(label.cursor, rt::kCursorHand);
    EXPECT_EQ(label.events, (std::vector<rt::EventBinding>{{-1, 1}, {-2, rt::kNoHandler}}));
    auto data = rt::decodeLabelData(label.typeData);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->textColour, 0x0000FFu);
    EXPECT_EQ(data->backgroundColour, rt::kColourTransparent);

    // A parent declared after its child still lists it, in record order.
    EXPECT_EQ(units[2].children, (std::vector<std::uint32_t>{0x16000002, 0x16000003}));
    EXPECT_TRUE(units[2].typeData.empty()) << "no design values: empty type data";
}

TEST(LayoutDescription, ErrorsNameTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"  bogus 1\n", "line 5: unknown key 'bogus'"},
        {"unit 0x16000001 Label \"a\"\n  event -1 nowhere\n", "line 6: handler 'nowhere'"},
        {"unit 0x16000001 Label \"a\"\n  parent \"b\"\n", "line 5: parent 'b'"},
        {"unit 0x16000001 Label \"a\"\n  caption \"😀\"\n",
         "line 6: 'caption': \"😀\" has no GBK form"},
        {"  icon missing.ico\n", "line 5: no file 'missing.ico'"},
        {"unit 0x16000001 Label \"a\"\nunit 0x16000002 Label \"a\"\n", "unit name used twice"},
        {"unit 0x16000001 Label \"a\"\n  geometry 1 2 3 4294967296\n",
         "line 6: 'geometry': 4294967296 is out of range"},
        {"unit 0x16000001 Label \"a\"\n  geometry 1 2 3\n", "line 6: 'geometry' needs more values"},
        {"unit 0x16000001 Label \"a\"\n  caption x\n",
         "line 6: 'caption': texts are written in double quotes"},
        {"unit 0x16000001 Label \"a\"\n  textcolour rgb(256,0,0)\n",
         "line 6: 'textcolour': bad colour"},
        {"unit 0x16000001 Label \"a\"\n  flags visible 1\n", "unknown flag '1'"},
        {"unit 0x16000001 Label \"a\"\n  caption \"x\" \"y\"\n",
         "line 6: 'caption': unexpected 'y'"},
        {"unit 0x16000001 Label \"a\n", "line 5: unterminated"},
        {"unit 0x06010000 Label \"a\"\n", "appears twice"},
        {"unit 0x16000001 Slider \"a\"\n", "unknown unit type 'Slider'"},
    };
    for (const auto& [body, error] : cases) {
        tools::LayoutResult r = parse(body);
        EXPECT_FALSE(r.value) << body;
        EXPECT_NE(r.error.find(error), std::string::npos) << body << "gave: " << r.error;
    }
}

TEST(LayoutDescription, IdsHeaderNamesHandlersWindowAndCodeNamedUnits) {
    tools::LayoutResult r = tools::parseLayout(
        "handlers created group_opened monday\n"
        "window 0x52010001\n"
        "code mainWindow\n"
        "unit 0x06010000 window\n"
        "unit 0x16000001 Label \"标签1\"\n"
        "  code dayLabel1\n"
        "unit 0x16000002 Label \"标签2\"\n"
        "window 0x52010002\n"
        "unit 0x06010000 window\n"
        "unit 0x16000003 GroupBox\n"
        "  code frame\n",
        nullptr);
    ASSERT_TRUE(r.value) << r.error;
    const std::string header = tools::idsHeader(*r.value, "app::ui");
    for (const char* part : {
             "namespace app::ui {",
             "Created = 0,\n    GroupOpened = 1,\n    Monday = 2,\n};",
             "kHandlerCount = 3;",
             "inline constexpr std::uint32_t kMainWindowId = 0x52010001;",
             "inline constexpr rt::ControlRef kDayLabel1{kMainWindowId, 0x16000001};  // 标签1\n",
             // A window without a code name: its units carry its id as a number.
             "inline constexpr rt::ControlRef kFrame{0x52010002, 0x16000003};\n",
         })
        EXPECT_NE(header.find(part), std::string::npos) << part << "\nin:\n" << header;
    EXPECT_EQ(header.find("0x16000002"), std::string::npos) << "a unit without a code name";

    const std::pair<std::string, std::string> refused[] = {
        {"handlers Bad\n", "not lower_case"},
        {"code early\n", "'code' before any 'window'"},
        {"window 1\nunit 2 window\n  code Upper\n", "line 3: code name 'Upper' is not camelCase"},
        {"window 1\nunit 2 window\n  code a_b\n", "not camelCase"},
        {"window 1\ncode a\nunit 2 window\n  code a\n", "line 4: code name 'a' is used twice"},
        {"window 1\nunit 2 window\n  code a\n  code b\n", "has a code name already"},
    };
    for (const auto& [text, error] : refused) {
        tools::LayoutResult bad = tools::parseLayout(text, nullptr);
        EXPECT_FALSE(bad.value) << text;
        EXPECT_NE(bad.error.find(error), std::string::npos) << text << "gave: " << bad.error;
    }
}

}  // namespace
