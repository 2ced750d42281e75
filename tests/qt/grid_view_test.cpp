// The grid's picture on a grid made here (no server): where keys and clicks
// land, what follows the selection from grid to grid, what is painted where;
// and the details' texts.
#include <gtest/gtest.h>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "app/qt/grid_view.h"
#include "app/qt/programme_details.h"
#include "runtime/values/gbk.h"

// Named, not anonymous: a unity build puts this file with others that
// have helpers of the same names.
namespace grid_view_test {

using app::qtui::GridView;
using app::schedule::Grid;
using app::schedule::GridBlock;
using app::schedule::GridRow;
using Place = GridView::Place;

const base::Zone& beijing() {
    static const base::Zone zone = *base::Zone::named("Asia/Shanghai");
    return zone;
}

constexpr base::Date kWednesday{2026, 12, 9};

std::int64_t at(int hour, int minute = 0, int dayOffset = 0) {
    return base::fromLocal(base::addDays(kWednesday, dayOffset), hour * 60 + minute, beijing());
}

GridBlock block(int fromHour, int fromMinute, int toHour, int toMinute, const char* title,
                int dayOffset = 0) {
    GridBlock b;
    b.start = at(fromHour, fromMinute, dayOffset);
    b.end = at(toHour, toMinute, dayOffset);
    b.programme.start = b.start;
    b.programme.title = rt::gbk(title);
    return b;
}

// A: four programmes with a gap at 21:00; B: nothing yet; C: two.
Grid sampleGrid(int dayOffset = 0) {
    Grid g;
    g.day = 3 + dayOffset;
    g.date = base::addDays(kWednesday, dayOffset);
    g.from = at(0, 0, dayOffset);
    g.to = at(0, 0, dayOffset + 1);
    GridRow a{
        rt::gbk("CCTV-1"),
        "a/",
        true,
        {block(18, 0, 19, 0, "晚间", dayOffset), block(19, 0, 20, 0, "新闻联播", dayOffset),
         block(20, 0, 21, 0, "黄金剧场", dayOffset), block(21, 30, 22, 0, "晚间新闻", dayOffset)}};
    GridRow b{rt::gbk("CCTV-2"), "b/", false, {}};
    GridRow c{rt::gbk("CCTV-3"),
              "c/",
              true,
              {block(19, 30, 20, 30, "综艺", dayOffset), block(20, 30, 23, 0, "电影", dayOffset)}};
    g.rows = {a, b, c};
    return g;
}

class GridViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view_.resize(800, 300);
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
        view_.setGrid(sampleGrid(), at(20, 15), beijing());
    }
    // The middle of the row, at an instant.
    QPoint point(int row, std::int64_t instant) const {
        return {view_.xOf(instant),
                GridView::kRulerHeight + row * GridView::kRowHeight + GridView::kRowHeight / 2};
    }
    GridView view_;
};

TEST_F(GridViewTest, KeysMoveBetweenProgrammes) {
    const struct {
        const char* name;
        std::vector<Qt::Key> keys;
        Place expected;
    } cases[] = {
        {"opens on what is on now", {}, {0, 2}},
        {"right: the next, over the gap", {Qt::Key_Right}, {0, 3}},
        {"right stops at the last", {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}, {0, 3}},
        {"left: the one before", {Qt::Key_Left}, {0, 1}},
        {"down skips a row without programmes", {Qt::Key_Down}, {2, 0}},
        {"down stops at the last row", {Qt::Key_Down, Qt::Key_Down}, {2, 0}},
        {"down and up return to the same programme", {Qt::Key_Down, Qt::Key_Up}, {0, 2}},
        {"up stops at the first row", {Qt::Key_Up}, {0, 2}},
        {"across the lower row", {Qt::Key_Down, Qt::Key_Right}, {2, 1}},
        {"up from a later start", {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up}, {0, 2}},
    };
    for (const auto& c : cases) {
        view_.setGrid(sampleGrid(), at(20, 15), beijing());
        view_.select({0, 2});
        for (Qt::Key k : c.keys) QTest::keyClick(&view_, k);
        EXPECT_EQ(view_.selected(), c.expected) << c.name;
    }
}

TEST_F(GridViewTest, AClickChoosesTheBlockUnderIt) {
    const struct {
        const char* name;
        QPoint where;
        Place expected;
    } cases[] = {
        {"inside a block", point(0, at(20, 30)), {0, 2}},
        {"its first minute", point(0, at(20, 0) + 30), {0, 2}},
        {"in a gap", point(0, at(21, 15)), {}},
        {"a row not yet come", point(1, at(20, 30)), {}},
        {"the lower row", point(2, at(21, 0)), {2, 1}},
        {"below the rows", point(4, at(20, 30)), {}},
        {"the names column", QPoint(40, point(0, 0).y()), {}},
        {"the ruler", QPoint(point(0, at(20, 30)).x(), 4), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(view_.blockAt(c.where), c.expected) << c.name;
}

TEST_F(GridViewTest, TheSelectionFollowsItsProgrammeFromGridToGrid) {
    view_.select({2, 1});  // CCTV-3's 20:30 film
    Grid more = sampleGrid();
    more.rows[2].blocks.insert(more.rows[2].blocks.begin(), block(18, 0, 19, 30, "早些"));
    view_.setGrid(more, at(20, 16), beijing());
    EXPECT_EQ(view_.selected(), (Place{2, 2})) << "a block came before it";

    const int scrolled = view_.horizontalScrollBar()->value();
    view_.setGrid(sampleGrid(1), at(20, 16), beijing());
    EXPECT_EQ(view_.selected(), (Place{2, 1})) << "the next day: the same time of day";
    EXPECT_EQ(view_.horizontalScrollBar()->value(), scrolled);

    Grid gone = sampleGrid(1);
    gone.rows[2].blocks.clear();
    view_.setGrid(gone, at(20, 16), beijing());
    EXPECT_FALSE(view_.selected().valid());
    view_.setGrid(sampleGrid(1), at(20, 16), beijing());
    EXPECT_EQ(view_.selected(), (Place{2, 1})) << "back once its pages come";
}

TEST_F(GridViewTest, PaintsNowThePastAndTheSelection) {
    view_.select({2, 1});
    view_.horizontalScrollBar()->setValue((19 * 60 + 45) * GridView::kPixelsPerMinute);
    const QImage image = view_.viewport()->grab().toImage();
    // Left of the texts, inside the border: the block's own colour.
    const auto corner = [&](Place p) {
        const QRect r = view_.blockRect(p);
        return image.pixel(std::max(r.left(), GridView::kNameWidth) + 2, r.bottom() - 2);
    };
    const int nowX = view_.xOf(at(20, 15));
    const int emptyRowY = point(1, 0).y();
    EXPECT_TRUE(image.pixel(nowX, emptyRowY) == qRgb(220, 30, 30) ||
                image.pixel(nowX - 1, emptyRowY) == qRgb(220, 30, 30))
        << "the line at now";
    EXPECT_EQ(corner({0, 1}), qRgb(236, 236, 236)) << "ended: grey";
    EXPECT_EQ(corner({0, 3}), qRgb(228, 238, 251)) << "to come";
    EXPECT_EQ(corner({0, 2}), qRgb(255, 243, 205)) << "on air";
    EXPECT_EQ(corner({2, 1}), view_.palette().highlight().color().rgb()) << "selected";
}

TEST(ProgrammeDetailsText, SaysWhatIsKnown) {
    GridBlock late = block(23, 30, 0, 30, "午夜剧场", 0);
    late.end = at(0, 30, 1);
    late.endKnown = true;
    late.programme.description = rt::gbk("  一部电影。 ");
    late.programme.category = rt::gbk("电影");
    GridBlock open = block(20, 0, 0, 0, "新闻");
    open.end = 0;
    GridBlock untimed;
    untimed.programme.time = rt::gbk(" 待定");
    untimed.programme.title = rt::gbk("特别节目");
    const struct {
        const char* name;
        GridBlock block;
        app::qtui::ProgrammeDetails expected;
    } cases[] = {
        {"past midnight, with details",
         late,
         {"CCTV-6", "12月9日 星期三", "23:30–00:30 (次日)", "午夜剧场", "一部电影。", "电影"}},
        {"no end known", open, {"CCTV-6", "12月9日 星期三", "20:00", "新闻", "", ""}},
        {"no time", untimed, {"CCTV-6", "", "待定", "特别节目", "", ""}},
    };
    for (const auto& c : cases) {
        const auto d = app::qtui::programmeDetails(c.block, rt::gbk("CCTV-6  "), beijing());
        EXPECT_EQ((QStringList{d.channel, d.day, d.time, d.title, d.description, d.category}),
                  (QStringList{c.expected.channel, c.expected.day, c.expected.time,
                               c.expected.title, c.expected.description, c.expected.category}))
            << c.name;
    }
}

}  // namespace grid_view_test
