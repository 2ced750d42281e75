// The block embedded in the program holds the main window exactly as
// designed. Its readable dump is compared with the checked-in
// tests/template/main_window.dump, so any change of the layout, the icon or
// the block writer shows there line by line. After a wanted change, write the
// copy again (from the build directory the tests ran in):
//   build/tools/template_dump build/app/window/main_window.tpl > tests/template/main_window.dump
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"
#include "tests/support/gbk_literal.h"
#include "tools/template/template_dump.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
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
    rt::WindowTemplate tpl_;
};

TEST_F(MainWindowTemplate, DumpIsTheCheckedInCopy) {
    std::ifstream in(MAIN_WINDOW_DUMP, std::ios::binary);
    ASSERT_TRUE(in) << "cannot read " << MAIN_WINDOW_DUMP;
    std::ostringstream golden;
    golden << in.rdbuf();
    const auto expected = lines(golden.str());
    const auto actual = lines(tools::dumpTemplateBlock(app::ui::mainWindowTemplateBlock()));
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        const std::string e = i < expected.size() ? expected[i] : "(end of the copy)";
        const std::string a = i < actual.size() ? actual[i] : "(end of the dump)";
        ASSERT_EQ(a, e) << "first difference at line " << i + 1 << " of " << MAIN_WINDOW_DUMP
                        << "; regenerate it with tools/template_dump if the change is wanted";
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

TEST_F(MainWindowTemplate, WindowIconIsAWhole64x64x32IconFile) {
    const rt::UnitRecord& own = tpl_.windows[0].units.at(0);
    ASSERT_EQ(own.type, rt::unit_type::kWindow);
    auto w = rt::decodeWindowData(own.typeData);
    ASSERT_TRUE(w);
    expectIcon64x64x32(w->icon);
}

// The generated handler table and the block's bindings agree: every binding
// names a handler of the table, and every handler of the table is bound.
TEST_F(MainWindowTemplate, BindingsUseEveryHandlerOfTheGeneratedTable) {
    std::set<std::int32_t> bound;
    for (const rt::UnitRecord& u : tpl_.windows[0].units)
        for (const rt::EventBinding& e : u.events) {
            EXPECT_GE(e.handler, 0) << U(u.name);
            EXPECT_LT(e.handler, static_cast<std::int32_t>(app::ui::kHandlerCount)) << U(u.name);
            bound.insert(e.handler);
        }
    EXPECT_EQ(bound.size(), app::ui::kHandlerCount);
}

// The channel list's preset rows are the catalogue's first group, in order:
// the catalogue is the source the layout's rows were typed from.
TEST_F(MainWindowTemplate, ChannelListPresetRowsAreTheFirstCatalogueGroup) {
    const auto list = rt::decodeListViewData(unit(app::ui::kChannelList.unit).typeData);
    ASSERT_TRUE(list);
    const auto& group = catalogue::groups().at(0);
    ASSERT_EQ(list->rows.size(), group.rows.size());
    for (std::size_t i = 0; i < group.rows.size(); ++i)
        EXPECT_EQ(U(list->rows[i].title), U(group.rows[i].name)) << "row " << i;
}

}  // namespace
