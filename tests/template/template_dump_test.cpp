// The dump leaves out nothing: any change that reads back as a different
// template dumps differently, so comparing dumps cannot miss a change.
#include <gtest/gtest.h>

#include <set>

#include "app/window/main_window.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"
#include "tests/template/template_samples.h"
#include "tools/template/template_dump.h"

namespace {

constexpr std::uint8_t kFlips[] = {0x01, 0x80};

TEST(TemplateDump, EveryChangeOfTheRecordsShows) {
    const rt::WindowTemplate original = test::busyTemplate();
    const rt::Bytes block = rt::writeTemplate(original);
    const std::string dump = tools::dumpTemplate(original);
    int changes = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        for (std::uint8_t flip : kFlips) {
            rt::Bytes changed = block;
            changed[i] ^= flip;
            rt::TemplateReadResult r = rt::readTemplate(changed);
            if (!r.value || *r.value == original) continue;
            ++changes;
            EXPECT_NE(tools::dumpTemplate(*r.value), dump) << "byte " << i << " ^ " << int(flip);
        }
    }
    EXPECT_GT(changes, 100);
}

// Type data in a canonical form: decoded and encoded again, so two blocks are
// the same design values exactly when their canonical forms are equal.
std::optional<rt::Bytes> canonical(std::uint32_t type, rt::ByteView data) {
    using namespace rt::unit_type;
    auto again = [](const auto& decoded) -> std::optional<rt::Bytes> {
        if (!decoded) return std::nullopt;
        return rt::encode(*decoded);
    };
    switch (type) {
        case kWindow: return again(rt::decodeWindowData(data));
        case kGroupBox: return again(rt::decodeGroupBoxData(data));
        case kLabel: return again(rt::decodeLabelData(data));
        case kSliderBar: return again(rt::decodeSliderBarData(data));
        case kHtmlViewer: return again(rt::decodeHtmlViewerData(data));
        case kStatusBar: return again(rt::decodeStatusBarData(data));
        case kListView: return again(rt::decodeListViewData(data));
        case kOutlookBar: return again(rt::decodeOutlookBarData(data));
        default: return rt::Bytes(data.begin(), data.end());
    }
}

// Every unit type of the main window, one unit at a time; the window's icon is
// left out to keep the run short (it shows as a checksum of all its bytes).
TEST(TemplateDump, EveryChangeOfTypeDataShows) {
    rt::WindowTemplate main = rt::readTemplate(app::ui::mainWindowTemplateBlock()).value.value();
    std::set<std::uint32_t> types;
    for (rt::UnitRecord unit : main.windows.at(0).units) {
        if (unit.type == rt::unit_type::kWindow) {
            rt::WindowData w = rt::decodeWindowData(unit.typeData).value();
            w.icon = {1, 2, 3};
            unit.typeData = rt::encode(w);
        }
        types.insert(unit.type);
        SCOPED_TRACE("unit type " + std::to_string(unit.type));
        rt::WindowTemplate one;
        one.windows.push_back({1, {0, 0}, {"", ""}, {unit}});
        const std::string dump = tools::dumpTemplate(one);
        const auto same = canonical(unit.type, unit.typeData);
        for (std::size_t i = 0; i < unit.typeData.size(); ++i) {
            for (std::uint8_t flip : kFlips) {
                rt::UnitRecord changed = unit;
                changed.typeData[i] ^= flip;
                const auto values = canonical(unit.type, changed.typeData);
                if (!values || values == same) continue;
                one.windows[0].units[0] = changed;
                EXPECT_NE(tools::dumpTemplate(one), dump) << "byte " << i << " ^ " << int(flip);
            }
        }
    }
    EXPECT_EQ(types.size(), 8u) << "every type with design values";
}

}  // namespace
