// The control models on their own: the edges the guide relies on.
#include <gtest/gtest.h>

#include "gbk_literal.h"
#include "runtime/window/controls/list_view.h"
#include "runtime/window/controls/outlook_bar.h"
#include "runtime/window/controls/slider_bar.h"
#include "runtime/window/controls/status_bar.h"

namespace {

rt::ListView listOf(int rows, bool selectWithFocus = true) {
    rt::ListViewData d;
    d.selectWithFocus = selectWithFocus ? 1 : 0;
    d.columns = {rt::ListColumn{0, -1, 0, 70, "a"}, rt::ListColumn{0, -1, 0, 400, "b"}};
    for (int i = 0; i < rows; ++i)
        // Appended: GCC 12 at -O3 takes "r" + std::string for an overlapping copy.
        d.rows.push_back(rt::ListRow{0, -1, 0, 0, 0, std::string("r").append(std::to_string(i))});
    return rt::ListView(d);
}

TEST(ListViewModel, InsertRowPositionsAndOmittedArguments) {
    rt::ListView lv = listOf(5);
    EXPECT_EQ(lv.insertRow({}), 5);  // omitted position appends
    EXPECT_EQ(lv.insertRow({.position = -3, .text = "neg"}), 6);
    EXPECT_EQ(lv.insertRow({.position = 99, .text = "far"}), 7);
    EXPECT_EQ(lv.insertRow({.position = 0, .text = "first"}), 0);
    EXPECT_EQ(lv.cellText(0, 0), "first");
    EXPECT_EQ(lv.cellText(1, 0), "r0");
    EXPECT_EQ(lv.cellText(7, 0), "neg");

    const rt::ListViewRow& defaults = lv.rows()[6];  // inserted with everything omitted
    EXPECT_EQ(defaults.cells.at(0), "");
    EXPECT_EQ(defaults.image, -1);
    EXPECT_EQ(defaults.stateImage, 0);
    EXPECT_EQ(defaults.indent, 0);
    EXPECT_EQ(defaults.itemData, 0);

    const std::int32_t at =
        lv.insertRow({.image = -7, .stateImage = 2, .indent = -4, .itemData = 42});
    const rt::ListViewRow& r = lv.rows()[static_cast<std::size_t>(at)];
    EXPECT_EQ(r.image, -1);      // below -1 becomes -1
    EXPECT_EQ(r.stateImage, 3);  // stored as index + 1
    EXPECT_EQ(r.indent, 0);
    EXPECT_EQ(r.itemData, 42);
}

TEST(ListViewModel, CellTextsKeepWholeTextAndIgnoreMissingCells) {
    rt::ListView lv = listOf(2);
    const std::string longText(600, 'x');
    EXPECT_TRUE(lv.setCellText(1, 1, longText));
    EXPECT_EQ(lv.cellText(1, 1), longText);
    EXPECT_EQ(lv.cellText(0, 1), "");  // never set
    EXPECT_EQ(lv.cellText(2, 0), "");  // missing row
    EXPECT_EQ(lv.cellText(0, 5), "");  // missing column
    EXPECT_EQ(lv.cellText(-1, 0), "");
    EXPECT_FALSE(lv.setCellText(5, 0, "x"));
    EXPECT_FALSE(lv.setCellText(0, 2, "x"));  // only two columns
    EXPECT_TRUE(lv.setColumnTitle(1, G("新标题")));
    EXPECT_FALSE(lv.setColumnTitle(2, "x"));
    EXPECT_EQ(lv.columns()[1].title, G("新标题"));
    lv.deleteAllRows();
    EXPECT_TRUE(lv.rows().empty());
    EXPECT_EQ(lv.columns().size(), 2u);
    EXPECT_EQ(lv.currentRow(), -1);
}

TEST(ListViewModel, SelectionAndFocus) {
    rt::ListView lv = listOf(4);
    EXPECT_EQ(lv.currentRow(), -1);
    EXPECT_TRUE(lv.select(2));   // newly focused
    EXPECT_FALSE(lv.select(2));  // re-selecting the focused row
    EXPECT_EQ(lv.currentRow(), 2);
    EXPECT_TRUE(lv.select(1));
    EXPECT_EQ(lv.currentRow(), 1);  // single selection: row 2 lost it
    EXPECT_FALSE(lv.rows()[2].selected);
    EXPECT_FALSE(lv.select(-1));
    EXPECT_FALSE(lv.select(4));
    EXPECT_EQ(lv.focusedRow(), 1);

    rt::ListView plain = listOf(3, false);
    EXPECT_FALSE(plain.select(0));  // selected, but the focus does not follow
    EXPECT_EQ(plain.currentRow(), 0);
    EXPECT_EQ(plain.focusedRow(), -1);
}

TEST(ListViewModel, ClicksAndArrowKeysMoveFocusAndSelection) {
    rt::ListView lv = listOf(3);
    EXPECT_TRUE(lv.click(1));
    EXPECT_FALSE(lv.click(1));
    EXPECT_TRUE(lv.moveFocus(+1));
    EXPECT_EQ(lv.currentRow(), 2);
    EXPECT_FALSE(lv.moveFocus(+1));  // already on the last row
    EXPECT_TRUE(lv.moveFocus(-1));
    EXPECT_EQ(lv.focusedRow(), 1);
    EXPECT_FALSE(lv.click(7));  // below the rows: selection cleared, focus stays
    EXPECT_EQ(lv.currentRow(), -1);
    EXPECT_EQ(lv.focusedRow(), 1);
    EXPECT_TRUE(lv.click(1));  // the focused row selected again is a change
    EXPECT_EQ(lv.currentRow(), 1);
    EXPECT_FALSE(lv.click(1));

    rt::ListView fresh = listOf(3);
    EXPECT_TRUE(fresh.moveFocus(-1));  // no focus yet: the first row gets it
    EXPECT_EQ(fresh.focusedRow(), 0);
    rt::ListView empty = listOf(0);
    EXPECT_FALSE(empty.moveFocus(1));
}

TEST(ListViewModel, StoredCurrentRowIsSelectedAtCreation) {
    rt::ListViewData d;
    d.selectWithFocus = 1;
    d.currentRow = 1;
    d.rows = {rt::ListRow{0, -1, 0, 0, 0, "a"}, rt::ListRow{0, -1, 0, 0, 0, "b"}};
    rt::ListView lv(d);
    EXPECT_EQ(lv.currentRow(), 1);
    EXPECT_EQ(lv.focusedRow(), 1);
}

TEST(OutlookBarModel, AddGroupKeepsTheSameGroupCurrent) {
    rt::OutlookBar bar;
    EXPECT_EQ(bar.currentGroup(), -1);
    EXPECT_EQ(bar.addGroup({"a", 0, 1}, std::nullopt), 0);
    EXPECT_EQ(bar.addGroup({"b", 0, 2}, std::nullopt), 0);
    bar.setCurrent(1);                           // "b" current
    EXPECT_EQ(bar.addGroup({"c", 0, 3}, 0), 2);  // inserted before: index moves up
    EXPECT_EQ(bar.groupTitle(2), "b");
    EXPECT_EQ(bar.addGroup({"d", 0, 4}, 2), 3);   // inserted at the current index
    EXPECT_EQ(bar.addGroup({"e", 0, 5}, 4), 3);   // after it: unchanged
    EXPECT_EQ(bar.addGroup({"f", 0, 6}, -1), 3);  // negative appends
    EXPECT_EQ(bar.groupTitle(5), "f");
    EXPECT_EQ(bar.groupTitle(6), "");
    EXPECT_EQ(bar.groupTitle(-1), "");
    EXPECT_TRUE(bar.holdsContent(4));
    EXPECT_FALSE(bar.holdsContent(9));
}

TEST(OutlookBarModel, FirstGroupAtPositionZeroIsCurrent) {
    rt::OutlookBar bar;
    EXPECT_EQ(bar.addGroup({"a", 0, 1}, 0), 0);
    EXPECT_EQ(bar.currentGroup(), 0);
}

TEST(SliderBarModel, WritesAreClampedIntoTheRange) {
    rt::SliderBarData d;
    d.minimum = 1;
    d.maximum = 7;
    d.position = 1;
    rt::SliderBar s(d);
    s.setPosition(9);
    EXPECT_EQ(s.position(), 7);
    s.setPosition(0);
    EXPECT_EQ(s.position(), 1);
    s.setPosition(4);
    s.setMaximum(3);
    EXPECT_EQ(s.position(), 3);  // a narrower range pulls the thumb in
    s.setMinimum(5);
    EXPECT_EQ(s.maximum(), 5);
    EXPECT_EQ(s.position(), 5);
    d.position = 40;  // a stored position outside the range
    EXPECT_EQ(rt::SliderBar(d).position(), 7);
}

TEST(StatusBarModel, SetPartTextOutsideDoesNothing) {
    rt::StatusBarData d;
    d.parts.resize(2);
    d.parts[0].text = "a";
    rt::StatusBar sb(d);
    EXPECT_TRUE(sb.setPartText(1, "x"));
    EXPECT_FALSE(sb.setPartText(2, "y"));
    EXPECT_FALSE(sb.setPartText(-1, "y"));
    EXPECT_TRUE(sb.setPartText(0, {}));
    EXPECT_EQ(sb.parts[0].text, "");
    EXPECT_EQ(sb.parts[1].text, "x");
}

}  // namespace
