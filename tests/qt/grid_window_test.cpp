// The grid and the details around the real window (offscreen), on the
// sample listings: what the schedule holds is what the grid shows, and the
// viewer's keys and clicks reach the main window as its own clicks would.
#include <gtest/gtest.h>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTest>

#include <memory>

#include "app/program.h"
#include "app/qt/grid_view.h"
#include "app/qt/grid_window.h"
#include "app/qt/schedule_views.h"
#include "app/window/main_window.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_text.h"
#include "sample_guide_test.h"

// Named, not anonymous: a unity build puts this file with others that
// have helpers of the same names.
namespace grid_window_test {

using app::qtui::GridView;
using rt::qt::toQString;

class GridWindowTest : public qttest::SampleGuideTest {
  protected:
    // The grid window once every row's pages are in and painted.
    app::qtui::GridWindow* filledGrid() {
        app::qtui::GridWindow* w = views_->showGrid();
        EXPECT_TRUE(w);
        const bool filled = w && qttest::waitUntil(
                                     [&] {
                                         const auto& rows = w->view()->grid().rows;
                                         return !program_->schedule()->busy() && !rows.empty() &&
                                                std::all_of(rows.begin(), rows.end(),
                                                            [](const auto& r) { return r.held; });
                                     },
                                     std::chrono::seconds(30));
        EXPECT_TRUE(filled);
        return w;
    }
    static QStringList valuesOf(QDialog* d) {
        QStringList out;
        for (QLabel* l : d->findChildren<QLabel*>(QStringLiteral("value"))) out << l->text();
        return out;
    }
};

TEST_F(GridWindowTest, ShowsTheOpenGroupsDayAsTheScheduleHoldsIt) {
    app::qtui::GridWindow* w = filledGrid();
    ASSERT_TRUE(w);
    const auto& group = catalogue::groups()[0];
    EXPECT_EQ(w->group(), 0);
    EXPECT_EQ(w->day(), 3);
    const app::schedule::Grid& shown = w->view()->grid();
    const app::schedule::Grid held = program_->schedule()->grid(group, 3);
    ASSERT_EQ(shown.rows.size(), group.rows.size());
    for (std::size_t r = 0; r < shown.rows.size(); ++r) {
        EXPECT_EQ(shown.rows[r].path, group.rows[r].path) << r;
        ASSERT_EQ(shown.rows[r].blocks.size(), held.rows[r].blocks.size()) << r;
        EXPECT_FALSE(shown.rows[r].blocks.empty()) << r;
        for (std::size_t b = 0; b < shown.rows[r].blocks.size(); ++b)
            EXPECT_EQ(shown.rows[r].blocks[b].programme.title,
                      held.rows[r].blocks[b].programme.title);
    }
    EXPECT_EQ(w->view()->selectedBlock(),
              app::schedule::blockOnAir(w->view()->grid().rows[0], kNowUnix))
        << "opens on what is on now on the first channel";

    const struct {
        Qt::Key key;
        int day;
    } steps[] = {{Qt::Key_PageDown, 4}, {Qt::Key_PageUp, 3}, {Qt::Key_PageUp, 2}};
    for (const auto& s : steps) {
        QTest::keyClick(w->view(), s.key);
        EXPECT_EQ(w->day(), s.day);
        ASSERT_TRUE(qttest::waitUntil(
            [&] {
                const auto& g = w->view()->grid();
                return g.day == s.day && !g.rows.empty() && g.rows[0].held;
            },
            std::chrono::seconds(30)))
            << s.day;
    }

    const QPointer<app::qtui::GridWindow> gone = w;
    QTest::keyClick(w->view(), Qt::Key_Escape);
    EXPECT_TRUE(qttest::waitUntil([&] { return gone.isNull() || !gone->isVisible(); }));
}

TEST_F(GridWindowTest, EnterShowsDetailsAndADoubleClickOpensTheChannelAndDay) {
    app::qtui::GridWindow* w = filledGrid();
    ASSERT_TRUE(w);
    QTest::keyClick(w->view(), Qt::Key_PageDown);  // Thursday, not the list's day
    GridView* view = w->view();
    ASSERT_TRUE(qttest::waitUntil([&] {
        const auto& rows = view->grid().rows;
        return view->grid().day == 4 && rows.size() > 2 && rows[2].held;
    }));
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Right);
    const GridView::Place chosen = view->selected();
    ASSERT_EQ(chosen.row, 2);
    const app::schedule::GridBlock block = *view->selectedBlock();
    const auto& group = catalogue::groups()[0];

    QTest::keyClick(view, Qt::Key_Return);
    QDialog* details = nullptr;
    ASSERT_TRUE(qttest::waitUntil([&] {
        for (QDialog* d : w->parentWidget()->findChildren<QDialog*>())
            if (d->windowTitle().startsWith(QStringLiteral("节目详情"))) details = d;
        return details != nullptr;
    }));
    const QStringList values = valuesOf(details);
    ASSERT_GE(values.size(), 4);
    EXPECT_EQ(values[0], toQString(block.programme.title));
    EXPECT_EQ(values[1], toQString(group.rows[2].name).trimmed());
    EXPECT_TRUE(values[2].startsWith(QStringLiteral("12月10日"))) << values[2].toStdString();

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->blockRect(chosen).center());
    ASSERT_TRUE(qttest::waitUntil([&] { return program_->guide().shownDay().day == 4; }));
    EXPECT_EQ(program_->guide().values().channelBaseUrl,
              epg_.root() + std::string(group.rows[2].path));
    EXPECT_EQ(program_->guide().shownDay().channel, std::string(group.rows[2].path));
}

TEST_F(GridWindowTest, DetailsOfARowOfTheList) {
    ASSERT_TRUE(
        qttest::waitUntil([&] { return !program_->schedule()->busy(); }, std::chrono::seconds(30)));
    const auto& listed = program_->guide().shownDay().programmes;
    ASSERT_GT(listed.size(), 3u);
    const int row = 2;
    for (QAction* a : views_->programmeMenu(row)->actions())
        if (a->text().startsWith(QStringLiteral("节目详情"))) a->trigger();
    QDialog* details = nullptr;
    ASSERT_TRUE(qttest::waitUntil([&] {
        for (QDialog* d : backend_.window(app::ui::kMainWindowId)->findChildren<QDialog*>())
            if (d->windowTitle().startsWith(QStringLiteral("节目详情")) && d->isVisible())
                details = d;
        return details != nullptr;
    }));
    const QStringList values = valuesOf(details);
    ASSERT_GE(values.size(), 4);
    EXPECT_EQ(values[0], toQString(listed[row].title));
    const auto shown = app::schedule::shownTime(listed[row].time);
    const auto next = app::schedule::shownTime(listed[row + 1].time);
    EXPECT_EQ(values[3], toQString(shown) + QStringLiteral("–") + toQString(next))
        << "ends where the next row starts";
}

}  // namespace grid_window_test
