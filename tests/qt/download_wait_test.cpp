// The window while a day page downloads from a server that does not answer:
// it paints, moves and closes, shows the busy pointer, and holds the clicks
// that come meanwhile until the download is over.
#include <gtest/gtest.h>
#include <QCursor>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "gate.h"
#include "qt_test_app.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/backend/qt/qt_text.h"
#include "runtime/values/date_time.h"
#include "test_http_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Response;

// Counts the paints a widget receives.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Runs `then` on the GUI thread once `ready` holds, looking every 10 ms; the
// waits of the guide dispatch timers, so this works inside a download.
void once(std::function<bool()> ready, std::function<void()> then) {
    QTimer::singleShot(10ms, [ready = std::move(ready), then = std::move(then)]() mutable {
        if (ready())
            then();
        else
            once(std::move(ready), std::move(then));
    });
}

class DownloadWait : public ::testing::Test {
  protected:
    void SetUp() override {
        // Every page names itself; the start-up's first page (Sunday's)
        // waits at the gate.
        server_.fallback([this](const testsupport::Request& r) {
            if (r.target.ends_with("/W7.htm")) sunday_.pass();
            return Response::ok("<div align='center'><div id='e1' >08:00</div><div id='e2' >" +
                                r.target + "</div></div>");
        });
        backend_ = std::make_unique<rt::QtBackend>();
        app::ProgramOptions options;
        options.epgRoot = server_.root();
        options.now = [] { return *rt::fromCivil({2008, 10, 6, 9, 30, 0}); };  // a Monday
        options.onFetch = [this](const rt::Text& url) { fetched_.push_back(url); };
        // Only the test decides when a download ends, never a time-out.
        options.fetchLimits.connectTimeout = options.fetchLimits.stallTimeout =
            options.fetchLimits.deadline = 1h;
        program_ = std::make_unique<app::GuideProgram>(*backend_, options);
    }

    void TearDown() override {
        sunday_.open();
        program_.reset();
        backend_.reset();
    }

    QWidget* window() const { return backend_->window(app::ui::kMainWindowId); }
    rt::Text page(int day) const {
        return catalogue::channelBaseUrl(server_.root(), 0, 0) + "W" + std::to_string(day) + ".htm";
    }
    // A click as the window system delivers it: at the top-level window.
    void clickLabel(int day) {
        QWidget* label = backend_->widget(app::ui::dayLabel(day));
        QTest::mouseClick(window()->windowHandle(), Qt::LeftButton, {},
                          label->mapTo(window(), QPoint(5, 5)));
    }
    bool busyPointer() const {
        const QCursor* c = QGuiApplication::overrideCursor();
        return c && c->shape() == Qt::BusyCursor;
    }

    testsupport::TestHttpServer server_;
    testsupport::Gate sunday_;
    std::vector<rt::Text> fetched_;
    std::unique_ptr<rt::QtBackend> backend_;
    std::unique_ptr<app::GuideProgram> program_;
};

TEST_F(DownloadWait, TheWindowPaintsMovesAndClosesWhileTheDownloadHangs) {
    PaintCounter counter;
    bool busy = false, repainted = false;
    QPoint movedTo;
    std::size_t fetchesBeforeClose = 0;
    once([&] { return window() && window()->isVisible(); },
         [&] {
             // The window or anything in it: its controls cover it whole.
             window()->installEventFilter(&counter);
             for (QWidget* w : window()->findChildren<QWidget*>()) w->installEventFilter(&counter);
             busy = busyPointer();
             movedTo = window()->pos() + QPoint(40, 30);
             window()->move(movedTo);
             window()->update();
             once([&] { return counter.paints > 0 && window()->pos() == movedTo; },
                  [&] {
                      repainted = true;
                      clickLabel(5);  // held; the close below drops it
                      fetchesBeforeClose = fetched_.size();
                      window()->windowHandle()->close();  // as the window manager closes it
                  });
         });
    // The start-up's first download never ends: only the close gets us past it.
    program_->loadStartWindow();
    EXPECT_TRUE(busy);
    EXPECT_TRUE(repainted);
    EXPECT_EQ(fetchesBeforeClose, 1u);
    EXPECT_EQ(fetched_, std::vector<rt::Text>{page(7)});
    EXPECT_FALSE(program_->runtime().windowLoaded(app::ui::kMainWindowId));
    EXPECT_EQ(program_->runMessageLoop(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(DownloadWait, ClicksDuringTheDownloadComeAfterItInTheirOrder) {
    std::size_t fetchesWhileHeld = 0;
    once([&] { return window() && window()->isVisible(); },
         [&] {
             clickLabel(5);
             clickLabel(3);
             fetchesWhileHeld = fetched_.size();
             sunday_.open();
         });
    program_->loadStartWindow();
    EXPECT_EQ(fetchesWhileHeld, 1u);
    // Sunday's page came; the pump after it took Friday's click, Friday's
    // pump Wednesday's; then the start-up loaded today, Monday.
    EXPECT_EQ(fetched_, (std::vector<rt::Text>{page(7), page(5), page(3), page(1)}));
    auto* list = qobject_cast<QTreeWidget*>(backend_->widget(app::ui::kProgramList));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_TRUE(list->topLevelItem(0)->text(1).endsWith(QStringLiteral("/W1.htm")));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
