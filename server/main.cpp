// tvguide-epgd: the EPG server the guide reads its day pages from.
#include <sys/resource.h>
#include <csignal>
#include <cstdio>
#include <memory>

#include "server/export.h"
#include "server/http_server.h"
#include "server/load.h"
#include "server/options.h"
#include "server/sample_listings.h"
#include "server/site.h"
#include "server/xmltv_write.h"

namespace {

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "tvguide-epgd: %s\n", message.c_str());
    return code;
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
        Date monday = mondayOf(toLocal(clock()).date);
        std::string err = writeXmltvFile(*o.sampleXmltvFile, SampleListings(),
                                         localMidnight(monday), localMidnight(addDays(monday, 7)));
        if (!err.empty()) return fail(err, 1);
        std::fprintf(stderr, "tvguide-epgd: wrote the sample listings of the week of %s to %s\n",
                     isoText(monday).c_str(), o.sampleXmltvFile->c_str());
        if (!o.exportDir) return 0;
    }

    LoadResult loaded = loadListings(o.xmltvFiles, o.mapFile);
    if (!loaded.listings) return fail(loaded.error, 1);
    std::fprintf(stderr, "tvguide-epgd: %s\n", loaded.summary.c_str());
    auto site = std::make_shared<Site>(loaded.listings, clock);

    if (o.exportDir) {
        std::size_t written = 0;
        std::string err = exportSite(*site, *o.exportDir, &written);
        if (!err.empty()) return fail(err, 1);
        std::fprintf(stderr, "tvguide-epgd: wrote %zu pages below %s\n", written,
                     o.exportDir->c_str());
        return 0;
    }

    // Signals are taken by sigwait below, so every thread must block them,
    // the server's threads included: block before they start.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

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
    std::fprintf(stderr, "tvguide-epgd: serving on http://%s:%u/ with %d thread(s)\n",
                 o.host.c_str(), static_cast<unsigned>(http.port()), o.threads);

    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) continue;
        if (sig != SIGHUP) break;
        if (o.xmltvFiles.empty()) continue;
        LoadResult again = loadListings(o.xmltvFiles, o.mapFile);
        if (!again.listings) {
            std::fprintf(stderr, "tvguide-epgd: reload failed, keeping the listings I have: %s\n",
                         again.error.c_str());
            continue;
        }
        site->replaceListings(again.listings);
        std::fprintf(stderr, "tvguide-epgd: reloaded: %s\n", again.summary.c_str());
    }
    http.stop();
    std::fprintf(stderr, "tvguide-epgd: stopped\n");
    return 0;
}
