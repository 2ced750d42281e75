// The schedule's views around the real window (offscreen): they show what
// the schedule answers and hand the viewer's choices to the program.
#include <gtest/gtest.h>
#include <QDialog>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

#include <memory>

#include "app/program.h"
#include "app/qt/desktop_notifier.h"
#include "app/qt/schedule_views.h"
#include "app/window/main_window.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_text.h"
#include "sample_guide_test.h"

namespace {

using rt::qt::toQString;

class ScheduleViewsTest : public qttest::SampleGuideTest {
  protected:
    // Once the schedule has every page it was asked for, too.
    void SetUp() override {
        SampleGuideTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(qttest::waitUntil([&] { return !program_->schedule()->busy(); },
                                      std::chrono::seconds(30)));
    }
    static std::vector<QStringList> rowsOf(QDialog* d) {
        std::vector<QStringList> out;
        auto* t = d->findChild<QTreeWidget*>();
        for (int r = 0; t && r < t->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < t->columnCount(); ++c) cells << t->topLevelItem(r)->text(c);
            out.push_back(cells);
        }
        return out;
    }
    static void trigger(QMenu* menu, const QString& starting) {
        for (QAction* a : menu->actions())
            if (a->text().startsWith(starting)) return a->trigger();
        ADD_FAILURE() << "no action " << starting.toStdString();
    }
};

TEST_F(ScheduleViewsTest, NowNextAndSearchShowTheSchedulesAnswers) {
    const auto& group = catalogue::groups()[0];
    const auto answer = program_->schedule()->nowNext(group);
    const auto shown = rowsOf(views_->showNowNext());
    ASSERT_EQ(shown.size(), group.rows.size());
    for (std::size_t r = 0; r < shown.size(); ++r)
        EXPECT_EQ(shown[r], (QStringList{toQString(group.rows[r].name), toQString(answer[r].now),
                                         toQString(answer[r].next)}))
            << r;

    QDialog* search = views_->showSearch(QStringLiteral("新闻联播"));
    ASSERT_TRUE(qttest::waitUntil([&] { return !program_->schedule()->searching(); },
                                  std::chrono::seconds(60)));
    const auto& hits = program_->schedule()->results();
    ASSERT_FALSE(hits.empty());
    ASSERT_EQ(rowsOf(search).size(), hits.size());
    auto* results = search->findChild<QTreeWidget*>();
    const app::schedule::SearchHit chosen = hits[hits.size() / 2];
    emit results->itemActivated(results->topLevelItem(static_cast<int>(hits.size() / 2)), 0);
    EXPECT_EQ(program_->guide().values().channelBaseUrl, epg_.root() + chosen.path);
    EXPECT_EQ(program_->guide().shownDay().day, chosen.day);
}

// A double click on a channel opens it as a click in the menu would; in a
// narrow window the titles give way so that 下一个 stays in sight.
TEST_F(ScheduleViewsTest, NowNextOpensTheChannelDoubleClickedAndKeepsNextInSight) {
    QDialog* d = views_->showNowNext();
    d->resize(420, 300);
    auto* rows = d->findChild<QTreeWidget*>();
    const QHeaderView* header = rows->header();
    EXPECT_TRUE(qttest::waitUntil([&] {
        return rows->viewport()->width() < 420 &&
               header->sectionViewportPosition(2) + header->sectionSize(2) <=
                   rows->viewport()->width();
    })) << header->sectionViewportPosition(2) + header->sectionSize(2);
    EXPECT_GE(header->sectionSize(2), 50);
    // What Qt makes of a double click (or Enter) on a row.
    const int row = 3;
    emit rows->itemActivated(rows->topLevelItem(row), 0);
    const auto& group = catalogue::groups()[0];
    EXPECT_EQ(program_->guide().values().channelBaseUrl,
              epg_.root() + std::string(group.rows[row].path));
    auto* channels = qobject_cast<QTreeWidget*>(backend_.widget(app::ui::kChannelList));
    EXPECT_EQ(channels->currentIndex().row(), row);
    ASSERT_EQ(channels->selectedItems().size(), 1);
    EXPECT_EQ(channels->indexOfTopLevelItem(channels->selectedItems()[0]), row);
}

TEST_F(ScheduleViewsTest, ContextMenusKeepFavouritesAndSetReminders) {
    const int groups = static_cast<int>(catalogue::groups().size());
    trigger(views_->channelMenu(0, 2), QStringLiteral("加入我的收藏"));
    EXPECT_EQ(program_->guide().menuGroupCount(), groups + 1);
    trigger(views_->channelMenu(groups, 0), QStringLiteral("从我的收藏移除"));
    EXPECT_EQ(program_->guide().menuGroupCount(), groups);

    const auto& programmes = program_->guide().shownDay().programmes;
    int later = -1;
    for (int r = 0; r < static_cast<int>(programmes.size()) && later < 0; ++r)
        if (programmes[r].start && *programmes[r].start > kNowUnix) later = r;
    ASSERT_GE(later, 0);
    trigger(views_->programmeMenu(later), QStringLiteral("提醒我"));
    ASSERT_EQ(program_->schedule()->reminders().size(), 1u);
    EXPECT_EQ(program_->schedule()->reminders()[0].title, programmes[later].title);

    // A started programme offers no reminder; a pending one is checked and
    // listed as pending, and unchecking it takes it back.
    const auto remindAction = [](QMenu* menu) {
        for (QAction* a : menu->actions())
            if (a->text().contains(QStringLiteral(": "))) return a;
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_TRUE(programmes[0].start && *programmes[0].start < kNowUnix);
    QAction* started = remindAction(views_->programmeMenu(0));
    ASSERT_NE(started, nullptr);
    EXPECT_FALSE(started->isEnabled());
    QAction* pending = remindAction(views_->programmeMenu(later));
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(pending->isEnabled());
    EXPECT_TRUE(pending->isChecked());
    EXPECT_EQ(rowsOf(views_->showReminders()).at(0).at(3), QStringLiteral("待提醒"));
    pending->trigger();
    EXPECT_TRUE(program_->schedule()->reminders().empty());
    EXPECT_FALSE(remindAction(views_->programmeMenu(later))->isChecked());

    // Offscreen there is no session bus notification service, nor a tray.
    app::qtui::DesktopNotifier notifier;
    EXPECT_EQ(notifier.show("CCTV-1", "21:00", "x"), QStringLiteral("window"));
}

}  // namespace
