// tvguide-epgd: the EPG server the guide reads its day pages from.
#include <sys/resource.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "server/options.h"
#include "server/service.h"
#include "server/site/export.h"
#include "server/site/xmltv_write.h"
#include "server/sources/last_good_store.h"
#include "server/sources/sample_listings.h"

namespace {

using namespace epg;

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "tvguide-epgd: %s\n", message.c_str());
    return code;
}

void logLine(const std::string& line) {
    std::fprintf(stderr, "tvguide-epgd: %s\n", line.c_str());
}

void blockSignals(std::initializer_list<int> which, sigset_t& set) {
    for (int s : which) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// --write-sample-xmltv: the sample week as an XMLTV file.
int writeSampleWeek(const Options& o, const Clock& clock) {
    Date monday = mondayOf(toLocal(clock(), o.zone).date);
    std::string err =
        writeXmltvFile(*o.sampleXmltvFile, SampleListings(o.zone), localMidnight(monday, o.zone),
                       localMidnight(addDays(monday, 7), o.zone), o.zone);
    if (!err.empty()) return fail(err, 1);
    std::fprintf(stderr, "tvguide-epgd: wrote the sample listings of the week of %s to %s\n",
                 isoText(monday).c_str(), o.sampleXmltvFile->c_str());
    return 0;
}

ServiceConfig serviceConfig(const Options& o, Clock clock) {
    ServiceConfig c;
    c.xmltvSources = o.xmltvSources;
    c.mapFile = o.mapFile;
    c.playlists = o.playlists;
    c.stateDir = o.stateDir ? std::filesystem::path(*o.stateDir)
                            : defaultStateDir(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    c.zone = o.zone;
    c.clock = std::move(clock);
    c.refresh = o.refresh;
    c.fetchTimeout = o.fetchTimeout;
    c.http.threads = o.threads;
    c.keepDays = o.keepDays;
    c.first = FirstSnapshot::Now;
    c.log = logLine;
    return c;
}

// Room for many connections: the soft descriptor limit up to the hard one.
void raiseFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

// Serves until SIGTERM or SIGINT; SIGHUP reloads every source.
int serve(const Options& o, Service& service, sigset_t& signals) {
    // Signals are taken by sigwait below, so every thread must block them,
    // the server's threads and the reload worker included: block before they
    // start.
    blockSignals({SIGINT, SIGTERM}, signals);
    raiseFileLimit();
    if (std::string err = service.listen(o.host, o.port); !err.empty()) return fail(err, 1);
    service.start();
    std::fprintf(stderr, "tvguide-epgd: serving on http://%s:%u/ with %d thread(s)\n",
                 o.host.c_str(), static_cast<unsigned>(service.port()), o.threads);
    // This thread only waits for signals and hands reloads on, so it is
    // always free to take SIGTERM.
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig != SIGHUP) break;
        service.reload();
    }
    if (!service.stop()) {
        // Folding new listings in cannot be interrupted; what it would
        // write is written atomically, so leaving it loses nothing.
        std::fprintf(stderr, "tvguide-epgd: stopped during a reload\n");
        std::fflush(stderr);
        std::_Exit(0);
    }
    std::fprintf(stderr, "tvguide-epgd: stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    OptionsResult parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "tvguide-epgd: %s\n%s", parsed.error.c_str(), usageText().c_str());
        return 2;
    }
    const Options& o = *parsed.options;
    if (o.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    Clock clock = o.now ? fixedClock(*o.now) : systemClock();
    if (o.sampleXmltvFile) {
        if (int code = writeSampleWeek(o, clock); code != 0 || !o.exportDir) return code;
    }

    // A SIGHUP during the first load waits and reloads once serving starts;
    // SIGTERM and SIGINT still end a slow start-up at once.
    sigset_t signals;
    sigemptyset(&signals);
    blockSignals({SIGHUP}, signals);

    // A run that serves listens first, on what needs no network, and fetches
    // after: a feed that hangs or drips holds up nothing but itself. A run
    // that exits fetches first.
    const bool serving = !o.printMap && !o.printPlaylistMap && !o.exportDir;
    Service::Made made =
        Service::make(serviceConfig(o, clock), serving ? Service::Run::Serve : Service::Run::Once);
    if (!made.service) return fail(made.error, 1);
    Service& service = *made.service;
    if (o.printMap || o.printPlaylistMap) {
        if (o.printMap) std::fputs(channelMapText(service.match()).c_str(), stdout);
        if (o.printMap && o.printPlaylistMap) std::fputs("\n", stdout);
        if (o.printPlaylistMap) std::fputs(service.playlistMapText().c_str(), stdout);
        return 0;
    }
    if (o.exportDir) {
        std::size_t written = 0;
        std::string err = exportSite(service.site(), *o.exportDir, &written);
        if (!err.empty()) return fail(err, 1);
        std::fprintf(stderr, "tvguide-epgd: wrote %zu pages below %s\n", written,
                     o.exportDir->c_str());
        return 0;
    }
    return serve(o, service, signals);
}
