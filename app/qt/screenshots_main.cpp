// tvguide-screenshots DIR: the guide's window and each view of the schedule
// as PNGs in DIR (window.png, now_next.png, search.png, grid.png,
// details.png, favourites.png, reminders.png), on the sample listings served in this process, with
// the clock fixed at Wednesday 9 December 2026, 20:15 Beijing time. Run with
// QT_QPA_PLATFORM=offscreen and TZ=Asia/Shanghai (scripts/screenshots.sh).
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/program.h"
#include "app/qt/grid_view.h"
#include "app/qt/grid_window.h"
#include "app/qt/schedule_views.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/values/date_time.h"
#include "server/service.h"

namespace {

constexpr epg::Seconds kNowUnix = 1796818500;  // 2026-12-09 20:15 in Beijing

bool waitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QApplication::processEvents();
    return done();
}

bool save(const QPixmap& picture, const QString& dir, const char* name) {
    const QString file = dir + "/" + name;
    if (!picture.save(file)) {
        std::fprintf(stderr, "tvguide-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The window with a menu drawn where it would open.
QPixmap withMenu(QWidget* window, QMenu* menu, QPoint at) {
    QPixmap picture = window->grab();
    menu->adjustSize();
    QPainter painter(&picture);
    painter.drawPixmap(at, menu->grab());
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tvguide-screenshots DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const epg::Zone beijing = *epg::Zone::named("Asia/Shanghai");
    epg::ServiceConfig config;
    config.zone = beijing;
    config.clock = epg::fixedClock(kNowUnix);
    config.first = epg::FirstSnapshot::Now;
    epg::Service::Made made = epg::Service::make(std::move(config), epg::Service::Run::Serve);
    std::string err = made.service ? made.service->listen("127.0.0.1", 0) : made.error;
    if (!err.empty()) {
        std::fprintf(stderr, "tvguide-screenshots: %s\n", err.c_str());
        return 1;
    }
    epg::Service& server = *made.service;
    server.start();

    rt::QtBackend backend;
    QObject gui;
    app::ProgramOptions options;
    options.epgRoot = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    options.now = [] { return *rt::fromCivil({2026, 12, 9, 20, 15, 0}); };
    options.post = [&gui](std::function<void()> task) {
        QMetaObject::invokeMethod(&gui, std::move(task), Qt::QueuedConnection);
    };
    app::GuideProgram program(backend, options);
    program.loadStartWindow();
    app::qtui::ScheduleViews views(backend, program);
    QWidget* window = backend.window(app::ui::kMainWindowId);
    rt::Runtime& rt = program.runtime();
    const auto listFilled = [&] {
        const rt::Control* c = rt.control(app::ui::kProgramList);
        const auto* lv = c ? c->as<rt::ListView>() : nullptr;
        return lv && !lv->rows().empty();
    };
    const auto settled = [&] { return !program.schedule()->busy(); };
    bool ok = waitUntil(listFilled) && waitUntil(settled);
    ok = ok && save(window->grab(), dir, "window.png");

    QDialog* nowNext = views.showNowNext();
    waitUntil(settled);
    views.showNowNext();
    ok = ok && save(nowNext->grab(), dir, "now_next.png");
    nowNext->close();

    QDialog* search = views.showSearch(QStringLiteral("新闻联播"));
    waitUntil([&] { return !program.schedule()->searching(); }, 60000);
    views.showSearch();
    ok = ok && save(search->grab(), dir, "search.png");
    search->close();

    app::qtui::GridWindow* grid = views.showGrid();
    waitUntil([&] {
        const auto& rows = grid->view()->grid().rows;
        return settled() && !rows.empty() &&
               std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.held; });
    });
    grid->refresh();
    ok = ok && save(grid->grab(), dir, "grid.png");
    QDialog* details = nullptr;
    if (const app::schedule::GridBlock* chosen = grid->view()->selectedBlock())
        details = views.showDetails(
            *chosen, grid->view()
                         ->grid()
                         .rows[static_cast<std::size_t>(grid->view()->selected().row)]
                         .channel);
    QApplication::processEvents();
    ok = ok && details && save(details->grab(), dir, "details.png");
    if (details) details->close();
    grid->close();

    const auto& groups = catalogue::groups();
    program.toggleFavourite(groups[0].rows[0].path);
    program.toggleFavourite(groups[6].rows[2].path);
    rt.userClickGroupHeader(app::ui::kGroupMenu, static_cast<std::int32_t>(groups.size()));
    QElapsedTimer rolling;  // the menu rolls its groups into place
    rolling.start();
    waitUntil([&] { return rolling.elapsed() > 1500 && settled(); });
    QWidget* favourites =
        backend.widget(program.guide().groupList(static_cast<int>(groups.size())));
    const QPoint menuAt = favourites ? favourites->mapTo(window, QPoint(40, 30)) : QPoint(40, 200);
    ok = ok && save(withMenu(window, views.channelMenu(static_cast<int>(groups.size()), 0), menuAt),
                    dir, "favourites.png");

    rt.userClickGroupHeader(app::ui::kGroupMenu, 0);
    rt.userClickRow(app::ui::kChannelList, 1);
    waitUntil(listFilled);
    for (int row = 0; row < 40; ++row) {
        const auto& p = program.guide().shownDay().programmes;
        if (row < static_cast<int>(p.size()) && p[row].start && *p[row].start > kNowUnix)
            program.remindRow(row);
        if (program.schedule()->reminders().size() >= 2) break;
    }
    QDialog* reminders = views.showReminders();
    QApplication::processEvents();
    ok = ok && save(reminders->grab(), dir, "reminders.png");
    return ok ? 0 : 1;
}
