// tvguide: the guide in its window on Qt 6 Widgets.
//
// On the built-in EPG root, when nothing answers there, the sample EPG server
// starts inside this process first, so the first window already shows a
// schedule without any network.
#include <cstdio>
#include <memory>

#include <QApplication>

#include "app/epg_root.h"
#include "app/program.h"
#include "runtime/backend/qt/qt_backend.h"
#include "server/background.h"

namespace {

constexpr const char* kBuiltInHost = "127.0.0.1";
constexpr std::uint16_t kBuiltInPort = 8610;

std::unique_ptr<epg::BackgroundServer> startBuiltInServerIfNeeded(const rt::Text& root) {
    if (root != app::kBuiltInEpgRoot || epg::somethingAnswers(kBuiltInHost, kBuiltInPort))
        return nullptr;
    epg::BackgroundStart started = epg::startSampleServer(kBuiltInHost, kBuiltInPort);
    if (!started.server)
        std::fprintf(stderr, "tvguide: the built-in EPG server could not start: %s\n",
                     started.error.c_str());
    return std::move(started.server);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);  // Qt's own options only; the guide reads no command line
    const rt::Text root = app::epgRootFromEnvironment();
    const std::unique_ptr<epg::BackgroundServer> server = startBuiltInServerIfNeeded(root);

    rt::QtBackend backend;
    app::GuideProgram program(backend, app::ProgramOptions{root, {}, {}});
    if (skin::SkinSystem* skin = program.skin())
        backend.watchSystemColours([skin] { return skin->colours().generation(); },
                                   [skin] { return skin->colours().changed(); });
    program.loadStartWindow();
    return program.runMessageLoop().value_or(0);
}
