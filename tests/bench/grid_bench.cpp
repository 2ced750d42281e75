// The grid (节目总览) of the catalogue's largest group, as tvguide opens it
// on its built-in default: the sample listings served in this process, the
// real window offscreen. Each round opens another day whose pages nobody
// has asked for yet, and prints how long the pages took to come (four
// fetches at a time) and how long the grid then took to fill: the grid
// from the pages held, the view's labels and one full paint. Figures only;
// nothing here is asserted.
//   QT_QPA_PLATFORM=offscreen grid_bench [rounds]   (1 to 4; default 3)
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/program.h"
#include "app/qt/grid_view.h"
#include "app/qt/grid_window.h"
#include "app/qt/schedule_views.h"
#include "app/window/main_window.h"
#include "catalogue/catalogue.h"
#include "qt_wait.h"
#include "runtime/backend/qt/qt_backend.h"
#include "server/background.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 4) : 3;
    epg::BackgroundStart started =
        epg::startSampleServer("127.0.0.1", 0, *epg::Zone::named("Asia/Shanghai"));
    if (!started.server) {
        std::fprintf(stderr, "grid_bench: no sample server: %s\n", started.error.c_str());
        return 1;
    }
    rt::QtBackend backend;
    QObject gui;
    app::ProgramOptions options;
    options.epgRoot = "http://127.0.0.1:" + std::to_string(started.server->port()) + "/";
    options.post = [&gui](std::function<void()> task) {
        QMetaObject::invokeMethod(&gui, std::move(task), Qt::QueuedConnection);
    };
    // The grid's pages are fetched for the grid alone, none ahead of it.
    options.fetchShownGroups = false;
    app::GuideProgram program(backend, options);
    program.loadStartWindow();
    app::qtui::ScheduleViews views(backend, program);
    const auto& groups = catalogue::groups();
    const int largest = static_cast<int>(std::max_element(groups.begin(), groups.end(),
                                                          [](const auto& a, const auto& b) {
                                                              return a.rows.size() < b.rows.size();
                                                          }) -
                                         groups.begin());
    program.runtime().userClickGroupHeader(app::ui::kGroupMenu, largest);
    if (!bench::waitUntil(
            [&] { return program.guide().openGroup(program.runtime()) == largest; })) {
        std::fprintf(stderr, "grid_bench: the group did not open\n");
        return 1;
    }
    app::qtui::GridWindow* window = views.showGrid();
    if (!window) return 1;
    app::qtui::GridView* view = window->view();
    // The list's day, opened first, is in before the rounds begin.
    bench::waitUntil([&] { return !program.schedule()->busy(); });
    const auto held = [&](int day) {
        return day >= 1 && program.schedule()->grid(groups[largest], day).rows[0].held;
    };
    std::printf("group %d (%zu channels), window %dx%d\n", largest, groups[largest].rows.size(),
                window->width(), window->height());
    std::printf("%-4s %8s %8s %10s %9s %9s\n", "day", "pages", "blocks", "fetch ms", "fill ms",
                "paint ms");
    std::vector<double> fills;
    // Days whose pages, and the day before's, nobody has asked for.
    int day = 8;
    for (int round = 0; round < rounds; ++round) {
        do --day;
        while (day >= 1 && (held(day) || held(day - 1)));
        if (day < 1) break;
        const std::size_t before = program.schedule()->pagesHeld();
        const auto asked = Clock::now();
        window->showGroupDay(largest, day);
        const bool in = bench::waitUntil([&] { return !program.schedule()->busy(); });
        const double fetch = msSince(asked);
        if (!in) {
            std::fprintf(stderr, "grid_bench: day %d's pages did not come\n", day);
            return 1;
        }
        // What the last page's arrival costs the window: the grid, the view's
        // labels, and the paint.
        const auto filling = Clock::now();
        window->refresh();
        view->viewport()->repaint();
        const double fill = msSince(filling);
        // A paint alone, scrolled to the evening.
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() * 3 / 4);
        const auto painting = Clock::now();
        view->viewport()->repaint();
        const double paint = msSince(painting);
        std::size_t blocks = 0;
        for (const auto& row : view->grid().rows) blocks += row.blocks.size();
        std::printf("%-4d %8zu %8zu %10.1f %9.2f %9.2f\n", day,
                    program.schedule()->pagesHeld() - before, blocks, fetch, fill, paint);
        fills.push_back(fill);
    }
    std::printf("fill once the pages are in: at most %.2f ms (0.3 s allowed)\n",
                *std::max_element(fills.begin(), fills.end()));
    return 0;
}
