// The Qt backend on a small window of its own: input through the runtime,
// no echo of program changes, the message wait, the quit message, the fatal
// report, the page viewer, and the conversions at the widget boundary.
#include <gtest/gtest.h>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>

#include "gbk_literal.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_html_viewer.h"
#include "runtime/backend/qt/qt_list_view.h"
#include "runtime/backend/qt/qt_outlook_bar.h"
#include "runtime/backend/qt/qt_style.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/values/allocation_failure.h"
#include "runtime/values/gbk.h"
#include "runtime/window/runtime.h"
#include "test_http_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = rt::Backend::Clock;

constexpr std::uint32_t kWin = 0x52010001, kOwn = 0x06010000;  // the window and its own unit
constexpr std::uint32_t kList = 0x100, kLabel = 0x101, kBar = 0x102, kPageA = 0x103, kPageB = 0x104,
                        kViewer = 0x105;
constexpr rt::ControlRef ref(std::uint32_t unit) {
    return {kWin, unit};
}

enum Handler {
    kRowChanged,
    kListPress,
    kLabelPress,
    kGroupOpened,
    kRowActivated,
    kLabelDoubleClick,
    kHandlerCount
};

rt::UnitRecord unit(std::uint32_t id, std::uint32_t type, std::array<int, 4> geometry,
                    rt::Bytes data, std::vector<rt::EventBinding> events = {}) {
    rt::UnitRecord u;
    u.id = id;
    u.type = type;
    u.left = geometry[0], u.top = geometry[1], u.width = geometry[2], u.height = geometry[3];
    u.flags = rt::unit_flag::kVisible | rt::unit_flag::kTabStop;
    u.typeData = std::move(data);
    u.events = std::move(events);
    return u;
}

rt::ListViewData listData(int rows) {
    rt::ListViewData d;
    d.selectWithFocus = 1;
    d.columns.push_back(rt::ListColumn{0, -1, 0, 150, G("频道")});
    for (int i = 0; i < rows; ++i) {
        rt::ListRow r;
        r.title = "row " + std::to_string(i);
        d.rows.push_back(r);
    }
    return d;
}

rt::WindowTemplate smallWindow(const std::string& pageUrl) {
    rt::WindowEntry w;
    w.id = kWin;
    rt::WindowData wd;
    wd.title = G("小窗口");
    w.units.push_back(unit(kOwn, rt::unit_type::kWindow, {50, 50, 500, 400}, rt::encode(wd)));
    w.units.push_back(unit(kList, rt::unit_type::kListView, {10, 10, 200, 150},
                           rt::encode(listData(4)),
                           {{0, kRowChanged}, {-1, kListPress}, {1, kRowActivated}}));
    rt::LabelData ld;
    ld.caption = G("星期五");
    w.units.push_back(unit(kLabel, rt::unit_type::kLabel, {220, 10, 60, 24}, rt::encode(ld),
                           {{-1, kLabelPress}, {-3, kLabelDoubleClick}}));
    w.units.push_back(unit(kBar, rt::unit_type::kOutlookBar, {10, 170, 200, 200},
                           rt::encode(rt::OutlookBarData{}), {{1, kGroupOpened}}));
    w.units.push_back(
        unit(kPageA, rt::unit_type::kListView, {0, 0, 10, 10}, rt::encode(listData(2))));
    w.units.push_back(
        unit(kPageB, rt::unit_type::kListView, {0, 0, 10, 10}, rt::encode(listData(3))));
    rt::HtmlViewerData hd;
    hd.startAddress = pageUrl;
    w.units.push_back(
        unit(kViewer, rt::unit_type::kHtmlViewer, {220, 170, 250, 200}, rt::encode(hd)));
    rt::WindowTemplate t;
    t.windows.push_back(std::move(w));
    return t;
}

class QtBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.route("/page.html",
                      testsupport::Response::ok(G("<html><head><meta "
                                                  "http-equiv='refresh' content='10'>"
                                                  "</head><body><p>今日节目</p></body></html>"))
                          .stallBeforeResponse(300ms));
        std::vector<rt::Handler> handlers(kHandlerCount);
        handlers[kRowChanged] = [this](rt::Runtime&, rt::EventArgs) -> std::optional<std::int32_t> {
            ++rowEvents_;
            return std::nullopt;
        };
        handlers[kListPress] = [this](rt::Runtime&, rt::EventArgs) -> std::optional<std::int32_t> {
            if (suppressListPress_) return 0;
            return std::nullopt;
        };
        handlers[kRowActivated] = [this](rt::Runtime&,
                                         rt::EventArgs) -> std::optional<std::int32_t> {
            ++activations_;
            return std::nullopt;
        };
        handlers[kLabelPress] = [this](rt::Runtime&,
                                       rt::EventArgs a) -> std::optional<std::int32_t> {
            labelPresses_.push_back({a[0], a[1], a[2]});
            return std::nullopt;
        };
        handlers[kLabelDoubleClick] = [this](rt::Runtime&,
                                             rt::EventArgs) -> std::optional<std::int32_t> {
            ++labelDoubleClicks_;
            return std::nullopt;
        };
        handlers[kGroupOpened] = [this](rt::Runtime&,
                                        rt::EventArgs a) -> std::optional<std::int32_t> {
            groupEvents_.push_back(a[0]);
            return std::nullopt;
        };
        runtime_.emplace(smallWindow(server_.url("/page.html")), std::move(handlers), backend_);
        runtime_->setExitRoutine([this] { ++exitRuns_; });
        runtime_->loadStartWindow(kWin);
        ASSERT_TRUE(qttest::waitUntil(
            [&] { return backend_.window(kWin) && backend_.window(kWin)->isVisible(); }));
    }

    QTreeWidget* list(std::uint32_t id) {
        return qobject_cast<QTreeWidget*>(backend_.widget(ref(id)));
    }
    void clickRow(QTreeWidget* l, int row) {
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {},
                          l->visualItemRect(l->topLevelItem(row)).center());
    }

    testsupport::TestHttpServer server_;
    rt::QtBackend backend_;
    std::optional<rt::Runtime> runtime_;
    int rowEvents_ = 0;
    int activations_ = 0;
    bool suppressListPress_ = false;
    std::vector<std::array<std::int32_t, 3>> labelPresses_;
    int labelDoubleClicks_ = 0;
    std::vector<std::int32_t> groupEvents_;
    int exitRuns_ = 0;
};

TEST_F(QtBackendTest, RowChangesRaiseOneEventEachAndProgramChangesDoNotEcho) {
    QTreeWidget* l = list(kList);
    ASSERT_EQ(l->topLevelItemCount(), 4);

    runtime_->listSelectRow(ref(kList), 1);  // the program's change: the runtime raises it, once
    QTest::qWait(20);
    EXPECT_EQ(rowEvents_, 1);
    EXPECT_TRUE(l->topLevelItem(1)->isSelected());
    EXPECT_EQ(l->currentIndex().row(), 1);

    clickRow(l, 3);
    EXPECT_EQ(rowEvents_, 2);
    clickRow(l, 3);  // no change, no event
    EXPECT_EQ(rowEvents_, 2);

    l->setFocus();
    QTest::keyClick(l, Qt::Key_Up);
    EXPECT_EQ(rowEvents_, 3);
    EXPECT_EQ(runtime_->control(ref(kList))->as<rt::ListView>()->focusedRow(), 2);
    EXPECT_EQ(l->currentIndex().row(), 2);
    // The page keys, Home and End move through the model as the arrows do
    // (150 pixels show 7 rows: a page is 6).
    struct Step {
        Qt::Key key;
        int row;
        int events;
    };
    const Step steps[] = {{Qt::Key_PageDown, 3, 4}, {Qt::Key_Home, 0, 5},   {Qt::Key_Home, 0, 5},
                          {Qt::Key_End, 3, 6},      {Qt::Key_PageUp, 0, 7}, {Qt::Key_Down, 1, 8},
                          {Qt::Key_End, 3, 9},      {Qt::Key_Up, 2, 10}};
    for (const Step& s : steps) {
        QTest::keyClick(l, s.key);
        EXPECT_EQ(runtime_->control(ref(kList))->as<rt::ListView>()->focusedRow(), s.row) << s.key;
        EXPECT_EQ(l->currentIndex().row(), s.row) << s.key;
        EXPECT_EQ(rowEvents_, s.events) << s.key;
    }
    rowEvents_ = 3;

    // A handler that answers false to the press keeps the list as it is.
    suppressListPress_ = true;
    clickRow(l, 0);
    EXPECT_EQ(rowEvents_, 3);
    EXPECT_EQ(l->currentIndex().row(), 2);
    EXPECT_TRUE(l->topLevelItem(2)->isSelected());

    // Rows the program adds show at once, and keep the selection.
    rt::InsertRowArgs args;
    args.text = G("新行");
    EXPECT_EQ(runtime_->listInsertRow(ref(kList), args), 4);
    ASSERT_EQ(l->topLevelItemCount(), 5);
    EXPECT_EQ(l->topLevelItem(4)->text(0), QStringLiteral("新行"));
    EXPECT_EQ(rowEvents_, 3);
}

TEST_F(QtBackendTest, DoubleClickAndEnterActivateTheRowOnce) {
    QTreeWidget* l = list(kList);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {},
                       l->visualItemRect(l->topLevelItem(2)).center());
    EXPECT_EQ(activations_, 1);
    EXPECT_EQ(rowEvents_, 1);  // the press moved the focus; the double click adds no move
    EXPECT_EQ(runtime_->control(ref(kList))->as<rt::ListView>()->focusedRow(), 2);

    l->setFocus();
    QTest::keyClick(l, Qt::Key_Return);
    EXPECT_EQ(activations_, 2);
    EXPECT_EQ(rowEvents_, 1);
}

TEST_F(QtBackendTest, LabelPressCarriesPointAndKeys) {
    QWidget* label = backend_.widget(ref(kLabel));
    EXPECT_EQ(qobject_cast<QLabel*>(label)->text(), QStringLiteral("星期五"));
    QTest::mouseClick(label, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(7, 9));
    ASSERT_EQ(labelPresses_.size(), 1u);
    EXPECT_EQ(labelPresses_[0],
              (std::array<std::int32_t, 3>{7, 9, rt::key_state::kCtrl | rt::key_state::kShift}));
    runtime_->writeProperty(ref(kLabel), 16, rt::Colour{255});
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

// One press and then the double-click event: a double click on a day label
// is one download, not two.
TEST_F(QtBackendTest, DoubleClickOnALabelIsOnePressThenTheDoubleClick) {
    QWidget* label = backend_.widget(ref(kLabel));
    // As the window system delivers one: press, release, double click, release.
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 6));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(5, 6));
    QTest::mouseDClick(label, Qt::LeftButton, {}, QPoint(5, 6));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(5, 6));
    EXPECT_EQ(labelPresses_.size(), 1u);
    EXPECT_EQ(labelDoubleClicks_, 1);
}

// The row on air: bold on a tint of the highlight colour, whatever colours
// the palette (the skin's) has; the rows' texts are unchanged.
TEST_F(QtBackendTest, TheMarkedRowIsDrawnOnATintAndScrolledTo) {
    for (int i = 0; i < 20; ++i) runtime_->listInsertRow(ref(kList), {});
    QTreeWidget* l = list(kList);
    const auto background = [&](int row) {
        const QRect r = l->visualItemRect(l->topLevelItem(row));
        return l->viewport()->grab().toImage().pixelColor(r.right() - 3, r.center().y());
    };
    const QColor plain = background(1);
    runtime_->listSetMarkedRow(ref(kList), 1);
    QTest::qWait(20);
    const QColor tint = rt::qt::ListViewWidget::markColour(l->palette());
    EXPECT_NE(tint, plain);
    EXPECT_EQ(background(1), tint);
    EXPECT_EQ(background(2), plain);
    EXPECT_EQ(l->topLevelItem(1)->text(0), QStringLiteral("row 1"));

    backend_.setSystemColours({{13, 0x00204080}});  // COLOR_HIGHLIGHT, as a skin sets it
    QTest::qWait(20);
    EXPECT_EQ(background(1), rt::qt::ListViewWidget::markColour(l->palette()));
    EXPECT_NE(background(1), tint);

    EXPECT_EQ(l->verticalScrollBar()->value(), 0);
    runtime_->listShowRow(ref(kList), 20);
    EXPECT_GT(l->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(l->viewport()->rect().intersects(l->visualItemRect(l->topLevelItem(20))));
}

TEST_F(QtBackendTest, RollUpMenuOpensGroupsAndReportsEveryHeaderClick) {
    ASSERT_TRUE(runtime_->outlookAddGroup(ref(kBar), G("甲"), ref(kPageA)));
    ASSERT_TRUE(runtime_->outlookAddGroup(ref(kBar), G("乙"), ref(kPageB)));
    EXPECT_EQ(groupEvents_, (std::vector<std::int32_t>{0, 0}));
    auto* bar = dynamic_cast<rt::qt::OutlookBarWidget*>(backend_.widget(ref(kBar)));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->headerTops(), (std::vector<int>{0, 200 - 22}));
    EXPECT_EQ(list(kPageA)->parentWidget(), bar);
    EXPECT_TRUE(list(kPageA)->isVisible());
    EXPECT_FALSE(list(kPageB)->isVisible());

    // The user's click focuses the open group's list; the runtime keeps that
    // focus when the list is hidden by another group's opening.
    clickRow(list(kPageA), 1);
    ASSERT_EQ(runtime_->focus(), ref(kPageA));
    EXPECT_TRUE(list(kPageA)->hasFocus());

    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(50, 200 - 10));
    EXPECT_EQ(runtime_->focus(), ref(kPageA));
    EXPECT_EQ(groupEvents_.back(), 1);
    EXPECT_TRUE(bar->animating());
    EXPECT_FALSE(list(kPageA)->isVisible());
    EXPECT_TRUE(list(kPageB)->isVisible());
    ASSERT_TRUE(qttest::waitUntil([&] { return !bar->animating(); }));
    EXPECT_EQ(bar->headerTops(), (std::vector<int>{0, 22}));
    EXPECT_EQ(list(kPageB)->geometry(), QRect(0, 44, 200, 200 - 44));

    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(50, 30));  // the open group again
    EXPECT_EQ(groupEvents_, (std::vector<std::int32_t>{0, 0, 1, 1}));
    EXPECT_FALSE(bar->animating());
}

TEST_F(QtBackendTest, WaitEndsOnInputOrAtItsDeadline) {
    const auto start = Clock::now();
    EXPECT_FALSE(backend_.waitForMessage(start + 50ms));
    EXPECT_GE(Clock::now(), start + 50ms);

    // A press arriving during a long wait is handled inside it and ends it.
    QWidget* label = backend_.widget(ref(kLabel));
    QTimer::singleShot(30, label,
                       [label] { QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(3, 4)); });
    const auto deadline = Clock::now() + 10s;
    EXPECT_TRUE(backend_.waitForMessage(deadline));
    EXPECT_LT(Clock::now(), deadline);
    EXPECT_EQ(labelPresses_.size(), 1u);

    // Input queued before the wait ends it at once.
    QCoreApplication::postEvent(
        label,
        new QMouseEvent(QEvent::MouseButtonPress, QPointF(2, 3), label->mapToGlobal(QPointF(2, 3)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    const auto later = Clock::now() + 10s;
    EXPECT_TRUE(backend_.waitForMessage(later));
    EXPECT_LT(Clock::now(), later);
    ASSERT_EQ(labelPresses_.size(), 2u);
    EXPECT_EQ(labelPresses_[1][0], 2);
}

// Any input wakes the wait, a pointer move as much as a press, and so does a
// window's close; a paint does not.
TEST_F(QtBackendTest, EveryKindOfInputAndACloseEndAWait) {
    QWidget elsewhere;
    const QPointF at(2, 3);
    const std::pair<const char*, std::function<QEvent*()>> wakers[] = {
        {"move",
         [at] {
             return new QMouseEvent(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton,
                                    Qt::NoModifier);
         }},
        {"key", [] { return new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier); }},
        {"wheel",
         [at] {
             return new QWheelEvent(at, at, {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                                    Qt::NoScrollPhase, false);
         }},
        {"close", [] { return new QCloseEvent; }},
    };
    for (const auto& [name, make] : wakers) {
        QCoreApplication::postEvent(&elsewhere, make());
        const auto deadline = Clock::now() + 10s;
        EXPECT_TRUE(backend_.waitForMessage(deadline)) << name;
        EXPECT_LT(Clock::now(), deadline) << name;
    }
    QCoreApplication::postEvent(&elsewhere, new QEvent(QEvent::UpdateRequest));
    EXPECT_FALSE(backend_.waitForMessage(Clock::now() + 50ms));
}

TEST_F(QtBackendTest, QuitMessageStaysQueuedUntilTheLoop) {
    bool ran = false;
    QObject scope;  // the timer dies with the test
    QTimer::singleShot(0, &scope, [&] { ran = true; });
    backend_.postQuit(3);
    runtime_->processPendingMessages();
    EXPECT_FALSE(ran);  // nothing is dispatched past the quit message
    EXPECT_FALSE(backend_.waitForMessage(Clock::now() + 10ms));
    EXPECT_FALSE(ran);
    EXPECT_EQ(backend_.runLoop(), 3);
}

TEST_F(QtBackendTest, ClosingTheWindowEndsTheLoopOnceAndDropsItsWidgets) {
    QTimer::singleShot(20, backend_.window(kWin), [this] { backend_.window(kWin)->close(); });
    EXPECT_EQ(runtime_->runMessageLoop(), 0);
    EXPECT_EQ(exitRuns_, 1);
    EXPECT_EQ(backend_.window(kWin), nullptr);
    EXPECT_EQ(backend_.widget(ref(kList)), nullptr);
    EXPECT_FALSE(runtime_->windowLoaded(kWin));
}

TEST_F(QtBackendTest, PageViewerLoadsInTheBackground) {
    auto* viewer = dynamic_cast<rt::qt::HtmlViewerWidget*>(backend_.widget(ref(kViewer)));
    ASSERT_NE(viewer, nullptr);
    // The server answers only after 300 ms; the window was up before that.
    EXPECT_TRUE(viewer->loading());
    ASSERT_TRUE(qttest::waitUntil(
        [&] { return viewer->toPlainText().contains(QStringLiteral("今日节目")); }));
    EXPECT_FALSE(viewer->openLinks());
}

// The banner page asks to be fetched every 10 s; here a second of the page's
// is 10 ms of the test's.
TEST_F(QtBackendTest, PageViewerReloadsAsThePageAsksAndKeepsItsLastGoodPage) {
    backend_.setPageReloadDelay(
        [](std::chrono::seconds s) { return std::chrono::milliseconds(10 * s.count()); });
    auto* viewer = dynamic_cast<rt::qt::HtmlViewerWidget*>(backend_.widget(ref(kViewer)));
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(qttest::waitUntil([&] { return viewer->pagesShown() == 1; }));
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("今日节目")));
    server_.route("/page.html",
                  testsupport::Response::ok(
                      G("<meta http-equiv='refresh' content='10'><p>正在播出: 新闻联播</p>")));
    ASSERT_TRUE(qttest::waitUntil([&] { return viewer->pagesShown() == 2; }));
    EXPECT_EQ(viewer->toPlainText(), QStringLiteral("正在播出: 新闻联播"));

    // The server fails: each reload keeps what is shown, and reloads go on.
    const std::size_t before = server_.requestCount();
    server_.route("/page.html", testsupport::Response::ok("gone").withStatus(500, "Oops"));
    ASSERT_TRUE(qttest::waitUntil([&] { return server_.requestCount() >= before + 2; }));
    EXPECT_EQ(viewer->pagesShown(), 2);
    EXPECT_EQ(viewer->toPlainText(), QStringLiteral("正在播出: 新闻联播"));
}

// The banner goes through the proxy the environment names, as the day pages
// do (loopback servers excepted).
TEST(PageViewer, UsesTheProxyOfTheEnvironment) {
    testsupport::TestHttpServer proxy;
    proxy.fallback(
        [](const testsupport::Request&) { return testsupport::Response::ok(G("<p>经代理</p>")); });
    ::setenv("http_proxy", proxy.root().c_str(), 1);
    rt::QtBackend backend;
    rt::Runtime runtime(smallWindow("http://banner.example.invalid/soft/down/a1.html"),
                        std::vector<rt::Handler>(kHandlerCount), backend);
    runtime.loadStartWindow(kWin);
    auto* viewer = dynamic_cast<rt::qt::HtmlViewerWidget*>(backend.widget(ref(kViewer)));
    ASSERT_NE(viewer, nullptr);
    const bool shown = qttest::waitUntil([&] { return viewer->pagesShown() == 1; });
    ::unsetenv("http_proxy");
    ASSERT_TRUE(shown);
    EXPECT_EQ(viewer->toPlainText(), QStringLiteral("经代理"));
    ASSERT_EQ(proxy.requestCount(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, "http://banner.example.invalid/soft/down/a1.html");
}

TEST_F(QtBackendTest, FatalReportGoesToStderrOffscreenAndExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(runtime_->fatal(6, G("调用DLL命令后发现堆栈错误")), ::testing::ExitedWithCode(255),
                "运行时出错!\n\n错误代码：6\n\n错误信息：调用DLL命令后发现堆栈错误");
    EXPECT_EQ(exitRuns_, 0);
}

// A backend whose box says that it was the box.
class MarkedReportBackend : public rt::QtBackend {
  public:
    void showFatalReport(const rt::Text& report) override {
        std::fputs("[the box] ", stderr);
        rt::QtBackend::showFatalReport(report);
    }
};

// Qt carries no exception through its loop: one thrown in Qt's own dispatch
// (a timer, a queued result of a download) is the report of the runtime whose
// window is up, shown the way that runtime's backend shows it.
TEST(QtApplication, AnAllocationThatFailsInQtsDispatchIsTheWindowsFatalReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(([] {
                    MarkedReportBackend backend;
                    rt::Runtime runtime(smallWindow("about:blank"),
                                        std::vector<rt::Handler>(kHandlerCount), backend);
                    runtime.setExitRoutine([] { std::_Exit(3); });
                    runtime.loadStartWindow(kWin);
                    QTimer::singleShot(0, [] { throw rt::AllocationFailure(4321); });
                    QTest::qWait(1000);
                    std::_Exit(0);
                }()),
                ::testing::ExitedWithCode(255),
                "\\[the box\\] 运行时出错!\n\n错误信息：分配 4321 字节内存失败!");
}

TEST(QtBoundary, TextsConvertOnlyAtTheWidgets) {
    EXPECT_EQ(rt::qt::toQString(G("星期五 CCTV-1（综合）")),
              QStringLiteral("星期五 CCTV-1（综合）"));
    EXPECT_EQ(rt::qt::fromQString(QStringLiteral("节目预告")), G("节目预告"));
    // A character GBK lacks costs itself only, a surrogate pair counting once.
    EXPECT_EQ(rt::qt::fromQString(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                    "b\xE2\x82\xAC")),
              "a?b\x80");
    EXPECT_EQ(rt::qt::fromQString(QString(QChar(0))), "?");  // no NUL inside a text
}

TEST(QtBoundary, PageBytesDecodeByTheirCharset) {
    using rt::qt::HtmlViewerWidget;
    const std::string gbkPage = G("<p>今日</p>");
    EXPECT_EQ(HtmlViewerWidget::decodePage(QByteArray::fromStdString(gbkPage)),
              QStringLiteral("<p>今日</p>"));
    const QByteArray utf8Page("<meta charset=\"UTF-8\"><p>\xE4\xBB\x8A\xE6\x97\xA5</p>");
    EXPECT_TRUE(HtmlViewerWidget::decodePage(utf8Page).contains(QStringLiteral("今日")));
}

TEST(QtBoundary, SystemColoursBecomePaletteRoles) {
    const std::map<int, std::uint32_t> colours{{15, 0x0000FF}, {5, 0xFF0000},  {8, 0x00FF00},
                                               {13, 0x808080}, {17, 0x123456}, {2, 0x00FFFF}};
    const QPalette base;
    const QPalette p = rt::qt::paletteWithSystemColours(base, colours);
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Window), QColor(255, 0, 0));  // 0x00BBGGRR
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Button), QColor(255, 0, 0));
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Text), QColor(0, 255, 0));
    EXPECT_EQ(p.color(QPalette::Active, QPalette::Highlight), QColor(128, 128, 128));
    EXPECT_EQ(p.color(QPalette::Disabled, QPalette::Text), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(p.color(QPalette::Active, QPalette::HighlightedText),
              base.color(QPalette::Active, QPalette::HighlightedText));
}

}  // namespace
