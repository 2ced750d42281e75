// tvguide-epgd: the EPG server the guide reads its day pages from.
#include <sys/resource.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "server/channels/channel_match.h"
#include "server/http/http_server.h"
#include "server/options.h"
#include "server/site/export.h"
#include "server/site/site.h"
#include "server/sources/listing_sources.h"
#include "server/sources/reloader.h"
#include "server/sources/sample_listings.h"
#include "server/xmltv/xmltv_write.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    using namespace epg;
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
        Date monday = mondayOf(toLocal(clock(), o.zone).date);
        std::string err = writeXmltvFile(*o.sampleXmltvFile, SampleListings(o.zone),
                                         localMidnight(monday, o.zone),
                                         localMidnight(addDays(monday, 7), o.zone), o.zone);
        if (!err.empty()) return fail(err, 1);
        std::fprintf(stderr, "tvguide-epgd: wrote the sample listings of the week of %s to %s\n",
                     isoText(monday).c_str(), o.sampleXmltvFile->c_str());
        if (!o.exportDir) return 0;
    }

    // A SIGHUP during the first load waits and reloads once serving starts;
    // SIGTERM and SIGINT still end a slow start-up at once.
    sigset_t signals;
    sigemptyset(&signals);
    blockSignals({SIGHUP}, signals);

    std::unique_ptr<ListingSources> sources;
    std::shared_ptr<const Listings> listings;
    // A run that serves listens first, on what needs no network (files and
    // the last good copies of URLs), and fetches after: a feed that hangs or
    // drips holds up nothing but itself. A run that exits fetches first.
    const bool serving = !o.printMap && !o.exportDir;
    if (o.xmltvSources.empty()) {
        listings = std::make_shared<SampleListings>(o.zone);
        logLine("sample listings");
    } else {
        SourcesConfig config;
        config.sources = o.xmltvSources;
        config.mapFile = o.mapFile;
        config.zone = o.zone;
        config.stateDir = o.stateDir
                              ? std::filesystem::path(*o.stateDir)
                              : defaultStateDir(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
        config.limits.totalTimeout = o.fetchTimeout;
        sources = std::make_unique<ListingSources>(std::move(config), logLine);
        ListingSources::Start start = serving ? sources->startLocal() : sources->start();
        if (!start.listings) return fail(start.error, 1);
        logLine(start.summary);
        for (const auto& note : start.notes) logLine(note);
        if (o.printMap) {
            std::fputs(channelMapText(start.match).c_str(), stdout);
            return 0;
        }
        listings = std::move(start.listings);
    }
    auto site = std::make_shared<Site>(listings, clock, o.zone);
    listings.reset();
    if (sources)
        site->setSourceHealth([s = sources.get()] { return s->health(); });
    else
        site->setSourceHealth(std::vector<SourceHealth>{
            {"sample listings", SourceHealth::State::Ok, clock(), clock(), {}, {}}});

    if (o.exportDir) {
        std::size_t written = 0;
        std::string err = exportSite(*site, *o.exportDir, &written);
        if (!err.empty()) return fail(err, 1);
        std::fprintf(stderr, "tvguide-epgd: wrote %zu pages below %s\n", written,
                     o.exportDir->c_str());
        return 0;
    }

    // Signals are taken by sigwait below, so every thread must block them,
    // the server's threads and the reload worker included: block before they
    // start.
    blockSignals({SIGINT, SIGTERM}, signals);

    // Room for many connections: the soft descriptor limit up to the hard one.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    HttpLimits limits;
    limits.threads = o.threads;
    HttpServer http(site, limits);
    if (std::string err = http.listen(o.host, o.port); !err.empty()) return fail(err, 1);
    http.start();
    site->startRenderer();
    std::fprintf(stderr, "tvguide-epgd: serving on http://%s:%u/ with %d thread(s)\n",
                 o.host.c_str(), static_cast<unsigned>(http.port()), o.threads);

    std::unique_ptr<Reloader> reloader;
    if (sources) {
        reloader = std::make_unique<Reloader>(*sources, o.refresh,
                                              [site](std::shared_ptr<const Listings> fresh) {
                                                  site->replaceListings(std::move(fresh));
                                              });
        reloader->start(Reloader::First::FetchUrls);
    }

    // This thread only waits for signals and hands reloads to the worker, so
    // it is always free to take SIGTERM.
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig != SIGHUP) break;
        if (reloader) reloader->requestReload();
    }
    http.stop();
    // Transfers and reads give up within a second; folding new listings in
    // cannot be interrupted, and what it would write is written atomically,
    // so leaving it unfinished loses nothing. Bodies on their way to the
    // state directory go either way.
    if (reloader && !reloader->stop(std::chrono::milliseconds(1500))) {
        sources->removeDrafts();
        std::fprintf(stderr, "tvguide-epgd: stopped during a reload\n");
        std::fflush(stderr);
        std::_Exit(0);
    }
    if (sources) sources->removeDrafts();
    std::fprintf(stderr, "tvguide-epgd: stopped\n");
    return 0;
}
