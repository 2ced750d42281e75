// The record of a control copy: what it keeps from its source and what it drops.
#include <gtest/gtest.h>

#include "app/window/main_window.h"
#include "runtime/window/template/template_codec.h"

namespace {

TEST(CopyForControl, KeepsLookAndPlaceDropsChildrenAndBindingsAndLinksToTheSource) {
    rt::TemplateReadResult r = rt::readTemplate(app::ui::mainWindowTemplateBlock());
    ASSERT_TRUE(r.value) << r.error;
    rt::WindowEntry& window = r.value->windows.at(0);
    const std::uint32_t list = app::ui::kChannelList.unit;
    const rt::UnitRecord* box = rt::findUnit(window, rt::findUnit(window, list)->parent);
    ASSERT_TRUE(box && !box->children.empty());
    for (std::uint32_t sourceId : {list, box->id}) {  // the channel list; a group box with children
        const rt::UnitRecord* source = rt::findUnit(window, sourceId);
        ASSERT_TRUE(source);
        const rt::UnitRecord copy = rt::copyForControl(*source, 0x16020001);
        EXPECT_EQ(copy.id, 0x16020001u);
        EXPECT_EQ(copy.link, sourceId);
        EXPECT_TRUE(copy.children.empty());
        EXPECT_TRUE(copy.events.empty());
        EXPECT_EQ(copy.type, source->type);
        EXPECT_EQ(copy.parent, source->parent);
        EXPECT_EQ((std::array{copy.left, copy.top, copy.width, copy.height}),
                  (std::array{source->left, source->top, source->width, source->height}));
        EXPECT_EQ(copy.flags, source->flags);
        EXPECT_EQ(copy.cursor, source->cursor);
        EXPECT_EQ(copy.typeData, source->typeData);
        EXPECT_EQ(copy.name, source->name);

        // A template holding the copy is still a readable block.
        rt::WindowTemplate withCopy = *r.value;
        withCopy.windows[0].units.push_back(copy);
        rt::TemplateReadResult back = rt::readTemplate(rt::writeTemplate(withCopy));
        ASSERT_TRUE(back.value) << back.error;
        EXPECT_EQ(back.value->windows[0].units.back(), copy);
    }
    EXPECT_FALSE(rt::findUnit(window, 0x16020001));
}

}  // namespace
