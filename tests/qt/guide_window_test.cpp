// The guide in its real window (offscreen), against the sample EPG server
// started in-process on an ephemeral port.
#include <gtest/gtest.h>
#include <QAbstractScrollArea>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/schedule/page_zone.h"
#include "app/schedule/schedule_parse.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "gbk_literal.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_outlook_bar.h"
#include "runtime/backend/qt/qt_simple_widgets.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/backend/qt/qt_window_fit.h"
#include "runtime/http/page_fetcher.h"
#include "server/background.h"

namespace {

using rt::qt::toQString;

class GuideWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        auto started =
            epg::startSampleServer("127.0.0.1", 0, *epg::Zone::named(app::kDefaultPageZone));
        ASSERT_TRUE(started.server) << started.error;
        server_ = std::move(started.server);
        root_ = "http://127.0.0.1:" + std::to_string(server_->port()) + "/";
        backend_ = std::make_unique<rt::QtBackend>();
        app::ProgramOptions options;
        options.epgRoot = root_;
        options.onFetch = [this](const rt::Text& url) { fetched_.push_back(url); };
        program_ = std::make_unique<app::GuideProgram>(*backend_, options);
        if (skin::SkinSystem* skin = program_->skin())
            backend_->watchSystemColours([skin] { return skin->colours().generation(); },
                                         [skin] { return skin->colours().changed(); });
        program_->loadStartWindow();
        ASSERT_TRUE(qttest::waitUntil([&] { return window() && window()->isVisible(); }));
    }

    void TearDown() override {
        program_.reset();
        backend_.reset();
        server_.reset();
    }

    QWidget* window() const { return backend_->window(app::ui::kMainWindowId); }
    QTreeWidget* list(rt::ControlRef ref) const {
        return qobject_cast<QTreeWidget*>(backend_->widget(ref));
    }
    QTreeWidget* programList() const { return list(app::ui::kProgramList); }
    rt::Runtime& runtime() { return program_->runtime(); }

    std::vector<app::ScheduleRow> serverRows(int group, int row, int day) {
        rt::PageFetcher fetcher;
        const rt::Text url =
            catalogue::channelBaseUrl(root_, group, row) + "W" + std::to_string(day) + ".htm";
        return app::parseSchedule(app::pageText(fetcher.fetch(url)));
    }

    // The program list as shown, against the rows the server's page holds.
    void expectShows(const std::vector<app::ScheduleRow>& rows) {
        QTreeWidget* shown = programList();
        ASSERT_EQ(shown->topLevelItemCount(), static_cast<int>(rows.size()));
        for (int i = 0; i < shown->topLevelItemCount(); ++i) {
            EXPECT_EQ(shown->topLevelItem(i)->text(0), toQString(rows[size_t(i)].time))
                << "row " << i;
            EXPECT_EQ(shown->topLevelItem(i)->text(1), toQString(rows[size_t(i)].title))
                << "row " << i;
        }
    }

    int shownDay() {
        auto* slider = qobject_cast<QSlider*>(backend_->widget(app::ui::kDaySlider));
        return slider ? slider->value() : -1;
    }

    void clickRow(QTreeWidget* l, int row) {
        const QRect r = l->visualItemRect(l->topLevelItem(row));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
    }

    std::unique_ptr<epg::BackgroundServer> server_;
    rt::Text root_;
    std::vector<rt::Text> fetched_;
    std::unique_ptr<rt::QtBackend> backend_;
    std::unique_ptr<app::GuideProgram> program_;
};

bool fontHasGlyphs(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    for (const char32_t c : text.toUcs4())
        if (!metrics.inFontUcs4(c)) return false;
    return true;
}

TEST_F(GuideWindow, ComesUpWithTenGroupsTodaysScheduleAndChineseGlyphs) {
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("澜欣电视节目预告_v08.10"));
    EXPECT_FALSE(window()->windowIcon().isNull());
    EXPECT_EQ(window()->minimumSize(), window()->maximumSize());    // not resizable
    EXPECT_EQ(window()->frameGeometry(), QRect(50, 50, 750, 680));  // outer frame as laid out

    auto* bar = dynamic_cast<rt::qt::OutlookBarWidget*>(backend_->widget(app::ui::kGroupMenu));
    ASSERT_NE(bar, nullptr);
    const auto* menu = runtime().control(app::ui::kGroupMenu)->as<rt::OutlookBar>();
    ASSERT_EQ(menu->groups().size(), 10u);
    EXPECT_EQ(bar->headerTops().size(), 10u);
    EXPECT_EQ(menu->currentGroup(), 0);
    // The open group's list lies between the first header and the second.
    QTreeWidget* channels = list(app::ui::kChannelList);
    ASSERT_TRUE(channels->isVisible());
    EXPECT_EQ(channels->parentWidget(), bar);
    EXPECT_EQ(channels->geometry().top(), bar->headerTops()[0] + 22);
    EXPECT_LE(channels->geometry().bottom(), bar->headerTops()[1]);
    EXPECT_EQ(channels->topLevelItem(0)->text(0), QStringLiteral("CCTV-1（综合） "));

    const int today = shownDay();
    ASSERT_GE(today, 1);
    ASSERT_LE(today, 7);
    const auto rows = serverRows(0, 0, today);
    ASSERT_FALSE(rows.empty());
    expectShows(rows);
    EXPECT_EQ(programList()->headerItem()->text(1), QStringLiteral("CCTV-1（综合）  节目预告"));

    // Today's label is red, the others keep their teal.
    for (int day = 1; day <= 7; ++day) {
        auto* label = qobject_cast<QLabel*>(backend_->widget(app::ui::dayLabel(day)));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  day == today ? QColor(255, 0, 0) : QColor(0, 128, 128))
            << "day " << day;
        EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(channels->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(programList()->viewport()->cursor().shape(), Qt::ArrowCursor);

    auto* slider = qobject_cast<QSlider*>(backend_->widget(app::ui::kDaySlider));
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_EQ(slider->minimum(), 1);
    EXPECT_EQ(slider->maximum(), 7);

    auto* status = dynamic_cast<rt::qt::StatusBarWidget*>(backend_->widget(app::ui::kStatusBar));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry().bottom(), window()->height() - 1);  // docked at the bottom
    EXPECT_EQ(status->part(0)->text(), QStringLiteral("当前状态: 下载完毕!"));
    EXPECT_FALSE(status->part(1)->text().isEmpty());
    EXPECT_EQ(status->part(2)->text(), QStringLiteral("澜欣电视节目预告 - 版本:08.10"));
    EXPECT_EQ(status->part(1)->width() + 2, 150);

    // Chinese texts render with real glyphs in every font the window uses.
    const QString chinese = QStringLiteral("央视频道星期五节目预告播出时间当前状态综合");
    EXPECT_TRUE(fontHasGlyphs(channels->font(), chinese))
        << QFontInfo(channels->font()).family().toStdString();
    EXPECT_TRUE(fontHasGlyphs(programList()->font(), chinese));
    EXPECT_TRUE(fontHasGlyphs(backend_->widget(app::ui::dayLabel(1))->font(), chinese));
    EXPECT_TRUE(fontHasGlyphs(rt::qt::fontFor(menu->design.headerFont), chinese));
    EXPECT_TRUE(fontHasGlyphs(status->part(0)->font(), chinese));

    const QString shot = QStringLiteral(TVGUIDE_SCREENSHOT_DIR "/tvguide_window.png");
    EXPECT_TRUE(window()->grab().save(shot, "PNG")) << shot.toStdString();
}

// Wherever the template puts the window, its frame stays inside the
// screen's available area; what the shown client area cannot hold scrolls.
TEST(WindowFit, TheFrameStaysOnTheScreenAndTheRestScrolls) {
    const QSize frame(8, 34);
    const QRect screen(0, 0, 1280, 800);
    struct Case {
        const char* what;
        QRect outer, available;
        QPoint topLeft;
        QSize shown;
    };
    const Case cases[] = {
        {"fits where it is", {100, 50, 750, 680}, screen, {100, 50}, {742, 646}},
        {"fits once moved up", {100, 300, 750, 680}, screen, {100, 120}, {742, 646}},
        {"fits once moved left", {700, 50, 750, 680}, screen, {530, 50}, {742, 646}},
        {"taller than the screen: at its top, cut",
         {0, 0, 750, 680},
         {0, 0, 1024, 600},
         {0, 0},
         {742, 566}},
        {"a panel on the left and one on top",
         {0, 0, 750, 680},
         {60, 30, 1220, 770},
         {60, 30},
         {742, 646}},
        {"scale 1.5 on a 1366x768 laptop",
         {0, 0, 1125, 1020},
         {0, 0, 911, 512},
         {0, 0},
         {903, 478}},
        {"unknown screen: as the template says", {700, 300, 750, 680}, {}, {700, 300}, {742, 646}},
    };
    for (const Case& c : cases) {
        const rt::qt::WindowFit fit = rt::qt::fitWithin(c.outer, frame, c.available);
        EXPECT_EQ(fit.topLeft, c.topLeft) << c.what;
        EXPECT_EQ(fit.shownClient, c.shown) << c.what;
        if (!c.available.isEmpty()) {
            EXPECT_TRUE(c.available.contains(QRect(fit.topLeft, fit.shownClient + frame)))
                << c.what;
        }
    }
}

// The real window on the screen the test runs on: inside its available
// area, and every control reachable by scrolling where it does not fit.
TEST_F(GuideWindow, NeverLargerThanTheScreenItIsOn) {
    const QRect available = window()->screen()->availableGeometry();
    EXPECT_LE(window()->width(), available.width());
    EXPECT_LE(window()->height(), available.height());
    auto* view = window()->findChild<QScrollArea*>();
    ASSERT_NE(view, nullptr);
    auto* status = backend_->widget(app::ui::kStatusBar);
    const int hidden = status->geometry().bottom() + 1 - view->viewport()->height();
    EXPECT_EQ(view->verticalScrollBar()->maximum(), std::max(0, hidden));
}

// The banner lies within its frame, so its scroll bar reaches every row.
TEST_F(GuideWindow, TheBannerScrollsToAllItsRows) {
    auto* banner = window()->findChild<QTextBrowser*>();
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(banner->parentWidget()->rect().contains(banner->geometry()))
        << banner->geometry().bottom() << " in " << banner->parentWidget()->height();
    QScrollBar* bar = banner->verticalScrollBar();
    ASSERT_TRUE(qttest::waitUntil([&] { return bar->maximum() > 0; }));
    EXPECT_TRUE(bar->isVisibleTo(window()));
}

TEST_F(GuideWindow, FridayLabelFillsTheListWithFridaysRows) {
    const std::size_t before = fetched_.size();
    QWidget* friday = backend_->widget(app::ui::dayLabel(5));
    QTest::mouseClick(friday, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(shownDay(), 5);
    ASSERT_EQ(fetched_.size(), before + 1);
    EXPECT_EQ(fetched_.back(), catalogue::channelBaseUrl(root_, 0, 0) + "W5.htm");
    const auto rows = serverRows(0, 0, 5);
    ASSERT_FALSE(rows.empty());
    expectShows(rows);

    // A right press is no day choice.
    QTest::mouseClick(backend_->widget(app::ui::dayLabel(2)), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(shownDay(), 5);
    EXPECT_EQ(fetched_.size(), before + 1);
}

TEST_F(GuideWindow, OpeningAGroupAndChoosingARowRetitlesTheProgramColumn) {
    auto* bar = dynamic_cast<rt::qt::OutlookBarWidget*>(backend_->widget(app::ui::kGroupMenu));
    const int group = 3;
    const QPoint header(bar->width() / 2, bar->headerTops()[group] + 5);
    QTest::mouseClick(bar, Qt::LeftButton, {}, header);
    EXPECT_EQ(runtime().control(app::ui::kGroupMenu)->as<rt::OutlookBar>()->currentGroup(), group);
    EXPECT_TRUE(bar->animating());  // the click returned while the headers still move
    ASSERT_TRUE(qttest::waitUntil([&] { return !bar->animating(); }));

    const rt::ControlRef groupRef = program_->guide().values().groupLists[group - 1].ref;
    QTreeWidget* groupList = list(groupRef);
    ASSERT_NE(groupList, nullptr);
    EXPECT_TRUE(groupList->isVisible());
    EXPECT_FALSE(list(app::ui::kChannelList)->isVisible());
    const auto& catalogueRows = catalogue::groups()[group].rows;
    ASSERT_EQ(groupList->topLevelItemCount(), static_cast<int>(catalogueRows.size()));
    EXPECT_EQ(groupList->geometry().top(), bar->headerTops()[group] + 22);

    const std::size_t before = fetched_.size();
    clickRow(groupList, 2);
    ASSERT_EQ(fetched_.size(), before + 1);  // one current-row event, one load
    EXPECT_EQ(fetched_.back().substr(0, catalogue::channelBaseUrl(root_, group, 2).size()),
              catalogue::channelBaseUrl(root_, group, 2));
    EXPECT_EQ(programList()->headerItem()->text(1),
              toQString(catalogueRows[2].name) + QStringLiteral(" 节目预告"));
    EXPECT_EQ(groupList->currentIndex().row(), 2);
    EXPECT_TRUE(groupList->topLevelItem(2)->isSelected());

    // The same row again moves nothing and raises nothing.
    clickRow(groupList, 2);
    EXPECT_EQ(fetched_.size(), before + 1);

    // An arrow key moves the focus by one row: one more event.
    groupList->setFocus();
    QTest::keyClick(groupList, Qt::Key_Down);
    ASSERT_EQ(fetched_.size(), before + 2);
    EXPECT_EQ(programList()->headerItem()->text(1),
              toQString(catalogueRows[3].name) + QStringLiteral(" 节目预告"));
    EXPECT_EQ(groupList->currentIndex().row(), 3);

    // A click on the open group's header opens it again: its list is refilled
    // and keeps no selection, and no load starts.
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      QPoint(bar->width() / 2, bar->headerTops()[group] + 5));
    EXPECT_FALSE(bar->animating());
    EXPECT_EQ(groupList->selectedItems().size(), 0);
    EXPECT_EQ(fetched_.size(), before + 2);
}

// A search result opened leaves the menu, the channel list and the program
// list as clicks would: the result's group open with its row selected, the
// programme's row selected, and a click back on the first group's first
// channel loads that channel again.
TEST_F(GuideWindow, AnOpenedResultLeavesTheMenuAsClicksWould) {
    auto* bar = dynamic_cast<rt::qt::OutlookBarWidget*>(backend_->widget(app::ui::kGroupMenu));
    const auto& groups = catalogue::groups();
    int group = -1;
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g].title == rt::gbk("境外影视")) group = static_cast<int>(g);
    ASSERT_GT(group, 0);
    const int day = shownDay() % 7 + 1;  // not the start-up day
    const auto rows = serverRows(group, 1, day);
    ASSERT_GT(rows.size(), 3u);
    const std::size_t chosen = rows.size() - 2;  // near the end: scrolled into view
    app::schedule::SearchHit hit;
    hit.group = group;
    hit.row = 1;
    hit.channel = groups[static_cast<std::size_t>(group)].rows[1].name;
    hit.path = groups[static_cast<std::size_t>(group)].rows[1].path;
    hit.day = day;
    hit.time = rows[chosen].time;
    hit.title = rows[chosen].title;
    program_->openResult(hit);
    ASSERT_TRUE(qttest::waitUntil([&] { return !bar->animating(); }));

    EXPECT_EQ(shownDay(), day);
    expectShows(rows);
    const rt::ControlRef groupRef = program_->guide().groupList(group);
    QTreeWidget* channels = list(groupRef);
    ASSERT_NE(channels, nullptr);
    EXPECT_TRUE(channels->isVisible());
    EXPECT_FALSE(list(app::ui::kChannelList)->isVisible());
    EXPECT_EQ(channels->currentIndex().row(), 1);
    ASSERT_EQ(channels->selectedItems().size(), 1);
    EXPECT_EQ(channels->indexOfTopLevelItem(channels->selectedItems()[0]), 1);
    EXPECT_EQ(runtime().control(app::ui::kGroupMenu)->as<rt::OutlookBar>()->currentGroup(), group);

    QTreeWidget* programmes = programList();
    EXPECT_EQ(programmes->selectedItems().size(), 1);
    EXPECT_TRUE(programmes->topLevelItem(static_cast<int>(chosen))->isSelected());
    const QRect shown = programmes->visualItemRect(programmes->topLevelItem(int(chosen)));
    EXPECT_GE(shown.top(), 0);
    EXPECT_LE(shown.bottom(), programmes->viewport()->height());

    // Back to the first group and its first channel by clicks: it loads.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->headerTops()[0] + 5));
    ASSERT_TRUE(qttest::waitUntil([&] { return !bar->animating(); }));
    const std::size_t before = fetched_.size();
    clickRow(list(app::ui::kChannelList), 0);
    ASSERT_EQ(fetched_.size(), before + 1);
    EXPECT_EQ(programmes->headerItem()->text(1), QStringLiteral("CCTV-1（综合）  节目预告"));
}

TEST_F(GuideWindow, ClosingTheWindowEndsTheLoopAndRunsTheExitRoutineOnce) {
    EXPECT_FALSE(program_->guide().values().pageText.empty());
    QTimer::singleShot(50, window(), [w = window()] { w->close(); });
    const std::optional<int> code = program_->runMessageLoop();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0);
    EXPECT_TRUE(program_->guide().values().pageText.empty());
    EXPECT_EQ(backend_->window(app::ui::kMainWindowId), nullptr);
}

TEST_F(GuideWindow, ClosingDuringALoadsPauseEndsTheProgramAfterThatHandler) {
    // The close arrives while the Friday load waits in its pause: the window
    // goes at once, the handler runs out, and the loop then ends at once.
    QTimer::singleShot(100, window(), [w = window()] { w->close(); });
    QTest::mouseClick(backend_->widget(app::ui::dayLabel(5)), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(runtime().windowLoaded(app::ui::kMainWindowId));
    EXPECT_FALSE(program_->guide().values().pageText.empty());  // the exit routine has not run yet
    EXPECT_EQ(program_->runMessageLoop(), 0);
    EXPECT_TRUE(program_->guide().values().pageText.empty());
}

}  // namespace
