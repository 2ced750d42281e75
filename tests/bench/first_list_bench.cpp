// What a viewer waits for at start-up on the built-in default: from the
// program's start to the program list filled with today's schedule, as
// tvguide wires it (the sample server in this process, the real window
// offscreen), with the times on the way: the server answering, the start
// window loaded, the list filled. The start-up's own two pauses (before the
// day page is asked for and before it is parsed) are inside the last
// figure. Figures only; nothing here is asserted.
//   QT_QPA_PLATFORM=offscreen first_list_bench
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <functional>

#include "app/program.h"
#include "app/window/main_window.h"
#include "qt_wait.h"
#include "runtime/backend/qt/qt_backend.h"
#include "server/background.h"

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();

double secondsSinceStart() {
    return std::chrono::duration<double>(Clock::now() - started).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    epg::BackgroundStart server =
        epg::startSampleServer("127.0.0.1", 0, *epg::Zone::named("Asia/Shanghai"));
    if (!server.server) {
        std::fprintf(stderr, "first_list_bench: no sample server: %s\n", server.error.c_str());
        return 1;
    }
    const double serving = secondsSinceStart();
    rt::QtBackend backend;
    QObject gui;
    app::ProgramOptions options;
    options.epgRoot = "http://127.0.0.1:" + std::to_string(server.server->port()) + "/";
    options.post = [&gui](std::function<void()> task) {
        QMetaObject::invokeMethod(&gui, std::move(task), Qt::QueuedConnection);
    };
    app::GuideProgram program(backend, options);
    program.loadStartWindow();
    const double loaded = secondsSinceStart();
    const auto filled = [&] {
        const rt::Control* c = program.runtime().control(app::ui::kProgramList);
        const auto* list = c ? c->as<rt::ListView>() : nullptr;
        return list && !list->rows().empty();
    };
    if (!bench::waitUntil(filled)) {
        std::fprintf(stderr, "first_list_bench: the list was never filled\n");
        return 1;
    }
    const double shown = secondsSinceStart();
    std::printf("server answering %.3f s, start window loaded %.3f s, list filled %.3f s\n",
                serving, loaded, shown);
    return 0;
}
