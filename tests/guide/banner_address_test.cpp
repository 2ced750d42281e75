#include <gtest/gtest.h>

#include "app/window/banner_address.h"
#include "app/window/main_window.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace {

rt::Text bannerOf(const rt::WindowTemplate& tpl) {
    for (const auto& unit : tpl.windows.at(0).units)
        if (unit.type == rt::unit_type::kHtmlViewer)
            return rt::decodeHtmlViewerData(unit.typeData).value().startAddress;
    return "(no viewer)";
}

TEST(BannerAddress, FollowsTheConfiguredServerAndKeepsItsPath) {
    auto tpl = rt::readTemplate(app::ui::mainWindowTemplateBlock()).value.value();
    EXPECT_EQ(bannerOf(tpl), "http://127.0.0.1:8610/soft/down/a1.html");

    auto same = tpl;
    app::moveBannerToRoot(same, "http://127.0.0.1:8610/");
    EXPECT_EQ(rt::writeTemplate(same), rt::writeTemplate(tpl));

    auto moved = tpl;
    app::moveBannerToRoot(moved, "http://epg.lan:8080/");
    EXPECT_EQ(bannerOf(moved), "http://epg.lan:8080/soft/down/a1.html");
    // The rest of the template is untouched and still reads back.
    ASSERT_TRUE(rt::readTemplate(rt::writeTemplate(moved)).value.has_value());
    EXPECT_EQ(moved.windows[0].units.size(), tpl.windows[0].units.size());
}

}  // namespace
