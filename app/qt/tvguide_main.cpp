// tvguide: the guide in its window on Qt 6 Widgets.
//
// On the built-in EPG root, when nothing answers there, the EPG server starts
// inside this process first, with the sample listings or the --xmltv
// sources, so the first window already shows a schedule without a server of
// its own. The EPG root comes from --epg-root,
// TVGUIDE_EPG_ROOT, the settings file or the built-in root, in that order,
// the pages' zone from --page-tz, the settings file or Beijing time; a root
// or zone that cannot be used ends the program with 2 before any window.
// Offline copies of the day pages go to --cache-dir or the XDG cache.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/config/epg_root.h"
#include "app/config/guide_options.h"
#include "app/config/guide_setup.h"
#include "app/config/settings_file.h"
#include "app/program.h"
#include "app/qt/desktop_notifier.h"
#include "app/qt/schedule_views.h"
#include "app/schedule/page_cache.h"
#include "base/shown_url.h"
#include "runtime/backend/qt/qt_application.h"
#include "runtime/backend/qt/qt_backend.h"
#include "runtime/values/allocation_failure.h"
#include "runtime/window/fatal_report.h"
#include "server/background.h"
#include "server/sources/last_good_store.h"
#include "server/sources/source_option.h"

namespace {

constexpr const char* kBuiltInHost = "127.0.0.1";
constexpr std::uint16_t kBuiltInPort = 8610;

struct BuiltInServer {
    std::unique_ptr<epg::BackgroundServer> server;
    // Listings the user named cannot be read: better said and stopped than a
    // window of empty days.
    bool refused = false;
};

// The built-in server, on the built-in root when nothing answers there;
// --xmltv (or the settings file's xmltv=) names its listings.
BuiltInServer startBuiltInServerIfNeeded(const app::GuideSetup& setup) {
    for (const std::string& source : setup.xmltvSources)
        if (std::string error = epg::sourceOptionError(source, setup.xmltvFrom); !error.empty()) {
            std::fprintf(stderr, "tvguide: %s\n", error.c_str());
            return {nullptr, true};
        }
    const bool builtInRoot = setup.epgRoot.root == app::kBuiltInEpgRoot;
    if (!builtInRoot || epg::somethingAnswers(kBuiltInHost, kBuiltInPort)) {
        if (!setup.xmltvSources.empty())
            std::fprintf(stderr, "tvguide: %s not used: the guide reads the EPG server at %s%s\n",
                         setup.xmltvFrom.c_str(), base::shownUrl(setup.epgRoot.root).c_str(),
                         builtInRoot ? ", which already answers" : "");
        return {};
    }
    epg::BuiltInListings listings;
    listings.xmltvSources = setup.xmltvSources;
    listings.stateDir = epg::defaultStateDir(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    listings.zone = setup.pageZone;
    listings.log = [](const std::string& line) {
        std::fprintf(stderr, "tvguide: built-in EPG server: %s\n", line.c_str());
    };
    epg::BackgroundStart started =
        epg::startBuiltInServer(kBuiltInHost, kBuiltInPort, std::move(listings));
    if (!started.server)
        std::fprintf(stderr, "tvguide: the built-in EPG server could not start: %s\n",
                     started.error.c_str());
    const bool refused = !started.server && !setup.xmltvSources.empty();
    return {std::move(started.server), refused};
}

int run(int argc, char** argv) {
    auto parsed = app::parseGuideArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<app::GuideUsageError>(&parsed)) {
        std::fprintf(stderr, "tvguide: %s\n%s", error->message.c_str(), app::guideUsage().c_str());
        return 2;
    }
    app::GuideOptions& options = std::get<app::GuideOptions>(parsed);
    if (options.help) {  // before Qt, which needs a display
        std::fputs(app::guideUsage().c_str(), stdout);
        return 0;
    }
    app::SettingsFile settings;
    if (const auto path = app::settingsFilePath()) settings = app::readSettingsFile(*path);
    for (const std::string& problem : settings.problems)
        std::fprintf(stderr, "tvguide: the settings file %s %s\n", settings.path.c_str(),
                     problem.c_str());
    auto resolved = app::resolveGuideSetup(
        {options.epgRoot, options.pageZone, &settings, options.xmltvSources});
    if (const auto* refused = std::get_if<app::SetupRefused>(&resolved)) {
        std::fprintf(stderr, "tvguide: %s\n", refused->message.c_str());
        return 2;
    }
    const app::GuideSetup& setup = std::get<app::GuideSetup>(resolved);
    for (const std::string& note : setup.notes) std::fprintf(stderr, "tvguide: %s\n", note.c_str());
    // First, so that its pages are ready when the window asks for them.
    const BuiltInServer builtIn = startBuiltInServerIfNeeded(setup);
    if (builtIn.refused) return 2;
    // Qt takes its own options out of what is left; anything it leaves is unknown.
    std::vector<char*> qtArgv{argv[0]};
    for (std::string& arg : options.toolkitArguments) qtArgv.push_back(arg.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgv.size()) - 1;
    rt::QtApplication qapp(qtArgc, qtArgv.data());
    if (qtArgc > 1) {
        // A stray word may be a URL meant for --xmltv, password and all.
        std::fprintf(stderr, "tvguide: The following argument was not expected: %s\n%s",
                     base::shownUrl(qtArgv[1]).c_str(), app::guideUsage().c_str());
        return 2;
    }
    const rt::Text& root = setup.epgRoot.root;

    rt::QtBackend backend;
    QObject gui;  // the schedule's deliveries are queued to it
    app::qtui::DesktopNotifier notifier;
    app::ProgramOptions programOptions;
    programOptions.post = [&gui](std::function<void()> task) {
        QMetaObject::invokeMethod(&gui, std::move(task), Qt::QueuedConnection);
    };
    programOptions.settingsFile = app::settingsFilePath();
    const base::Zone zone = setup.pageZone;
    programOptions.notify = [&notifier, zone](const app::schedule::Reminder& r,
                                              const rt::Text& channel) {
        const base::LocalTime t = base::toLocal(r.start, zone);
        notifier.show(
            channel,
            QStringLiteral("%1:%2").arg(t.hour, 2, 10, QChar('0')).arg(t.minute, 2, 10, QChar('0')),
            r.title);
    };
    programOptions.epgRoot = root;
    programOptions.pageZone = setup.pageZone;
    if (options.cacheDir)
        programOptions.cacheDirectory = *options.cacheDir;
    else
        programOptions.cacheDirectory = app::defaultCacheDirectory();
    app::GuideProgram program(backend, std::move(programOptions));
    if (skin::SkinSystem* skin = program.skin())
        backend.watchSystemColours([skin] { return skin->colours().generation(); },
                                   [skin] { return skin->colours().changed(); });
    // From here on a failed allocation is the runtime's report, in a box:
    // in Qt's dispatch through the application, in a handler through the
    // runtime, and here, outside both.
    try {
        program.loadStartWindow();
        std::optional<app::qtui::ScheduleViews> views;
        if (program.schedule()) views.emplace(backend, program);
        return program.runMessageLoop().value_or(0);
    } catch (const std::bad_alloc& failure) {
        program.runtime().fatal(std::nullopt,
                                rt::allocationFailureMessage(rt::failedAllocationSize(failure)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc& failure) {
        // Before the window's runtime exists: no box yet, the report on stderr.
        rt::exitOnAllocationFailure(rt::failedAllocationSize(failure));
    }
}
