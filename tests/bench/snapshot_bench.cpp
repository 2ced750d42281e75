// What a snapshot of the sample week costs: the time to render it whole (day
// pages, banner, gzip twins, XMLTV out), the time of each stage alone, and
// the memory it holds. Figures only; nothing here is asserted.
//   snapshot_bench [rounds]
#include <malloc.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "server/model/channels.h"
#include "server/site/page_render.h"
#include "server/site/resource.h"
#include "server/site/site.h"
#include "server/site/snapshot.h"
#include "server/site/xmltv_write.h"
#include "server/sources/sample_listings.h"

namespace {

using namespace epg;
using Ms = std::chrono::duration<double, std::milli>;

double msSince(std::chrono::steady_clock::time_point t) {
    return Ms(std::chrono::steady_clock::now() - t).count();
}

// Resident set size in MiB, from /proc.
double rssMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

std::size_t bytesOf(const Resource& r) {
    return r.identity.body.size() + r.identity.headers.size() +
           (r.gzip ? r.gzip->body.size() + r.gzip->headers.size() : 0);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    Zone zone = Zone::named("Asia/Shanghai").value();
    SampleListings sample(zone);
    Seconds now = fromLocal({2026, 12, 9}, 20 * 60 + 15, zone);

    // Memory first, on a fresh process: what one render leaves resident, and
    // that less what the allocator keeps of the render's scratch.
    double before = rssMiB();
    std::shared_ptr<const WeekPages> week = renderWeek(sample, now, zone, now);
    double grown = rssMiB() - before;
    malloc_trim(0);
    double held = rssMiB() - before;
    double whole = 1e300;
    for (int i = 0; i < rounds; ++i) {
        auto t = std::chrono::steady_clock::now();
        auto again = renderWeek(sample, now, zone, now);
        whole = std::min(whole, msSince(t));
    }
    auto t = std::chrono::steady_clock::now();
    auto banner = renderBannerPage(sample, now, zone, now);
    double bannerMs = msSince(t);

    // The stages one by one, on the same week.
    t = std::chrono::steady_clock::now();
    ChannelProgrammes programmes(channelCount());
    for (std::size_t c = 0; c < programmes.size(); ++c)
        programmes[c] = sample.starting(c, week->from, week->to);
    double listingsMs = msSince(t);
    t = std::chrono::steady_clock::now();
    std::size_t pageBytes = 0, gzipBytes = 0;
    for (std::size_t i = 0; i < week->days.size(); ++i) {
        const auto& p = programmes[i / 7];
        Date day = addDays(week->monday, static_cast<int>(i % 7));
        Seconds from = localMidnight(day, zone), to = localMidnight(addDays(day, 1), zone);
        std::vector<Programme> today;
        for (const auto& x : p)
            if (x.start >= from && x.start < to) today.push_back(x);
        pageBytes += renderDayPage(i / 7, day, today, zone).size();
    }
    double pagesMs = msSince(t);
    t = std::chrono::steady_clock::now();
    for (const auto& r : week->days) gzipBytes += gzipped(r.identity.body).size();
    double gzipMs = msSince(t);
    t = std::chrono::steady_clock::now();
    for (const auto& r : week->days) entityTagOf(r.identity.body);
    double tagMs = msSince(t);
    t = std::chrono::steady_clock::now();
    std::string xml = writeXmltv(programmes, zone);
    double xmlMs = msSince(t);
    t = std::chrono::steady_clock::now();
    std::string xmlGz = gzipped(xml);
    double xmlGzMs = msSince(t);

    std::size_t held2 = bytesOf(*banner) + bytesOf(week->xmltv) + bytesOf(week->xmltvGz);
    for (const auto& r : week->days) held2 += bytesOf(r);
    std::printf("sample week: %zu day pages of %zu channels\n", week->days.size(), channelCount());
    std::printf("whole snapshot (pages, gzip, tags, XMLTV, its gzip): %.0f ms (best of %d)\n",
                whole, rounds);
    std::printf("  banner alone:            %8.2f ms\n", bannerMs);
    std::printf("  listings of the week:    %8.1f ms\n", listingsMs);
    std::printf("  day pages (identity):    %8.1f ms, %zu bytes\n", pagesMs, pageBytes);
    std::printf("  gzip of the day pages:   %8.1f ms, %zu bytes\n", gzipMs, gzipBytes);
    std::printf("  entity tags:             %8.1f ms\n", tagMs);
    std::printf("  XMLTV document:          %8.1f ms, %zu bytes\n", xmlMs, xml.size());
    std::printf("  gzip of the XMLTV:       %8.1f ms, %zu bytes\n", xmlGzMs, xmlGz.size());
    std::printf(
        "bytes held by the snapshot: %.1f MiB; resident set grew by %.1f MiB "
        "(%.1f MiB once the allocator gives back the render's scratch)\n",
        static_cast<double>(held2) / 1048576.0, grown, held);

    // The request path alone, without networking: what an I/O thread spends.
    Site site(std::make_shared<SampleListings>(zone), fixedClock(now), zone);
    std::vector<std::string> targets;
    for (const auto& p : site.pagePaths()) targets.push_back("/" + p);
    std::string tag = entityTagOf(*site.page(targets[100].substr(1)));
    struct Kind {
        const char* name;
        Request request;
    } kinds[] = {
        {"identity GET", {"GET", "", "", "", ""}},
        {"gzip GET", {"GET", "", "gzip, deflate, br", "", ""}},
        {"304 by tag", {"GET", "", "", tag, ""}},
    };
    std::printf("request handling per call (%zu targets in turn):\n", targets.size());
    for (auto& k : kinds) {
        constexpr int kCalls = 300000;
        std::size_t sink = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) {
            k.request.target = targets[static_cast<std::size_t>(i) % targets.size()];
            sink += handleRequest(site, k.request).body->size();
        }
        std::printf("  %-13s %6.0f ns (%zu)\n", k.name, msSince(start) * 1e6 / kCalls, sink % 10);
    }

    // The players' answers: every catalogue channel by name on every day of
    // the week, each made once and then taken from the cache.
    std::vector<std::string> players;
    for (std::size_t c = 0; c < channelCount(); ++c)
        for (int d = 7; d <= 13; ++d)
            players.push_back("/?ch=" + channelNameUtf8(c) + "&date=2026-12-" + std::to_string(d));
    for (const auto& target : players) handleRequest(site, {"GET", target});
    std::printf("players' answers per call (%zu targets in turn, cached):\n", players.size());
    for (const char* encoding : {"", "gzip"}) {
        constexpr int kCalls = 300000;
        std::size_t sink = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i)
            sink +=
                handleRequest(
                    site, {"GET", players[static_cast<std::size_t>(i) % players.size()], encoding})
                    .body->size();
        std::printf("  DIYP %-8s %6.0f ns (%zu)\n", *encoding ? encoding : "identity",
                    msSince(start) * 1e6 / kCalls, sink % 10);
    }

    // A flood of names no source has, each new, as a hostile client sends
    // them: what each costs, and what the known answers cost afterwards
    // (taken from the cache, or made again if the flood pushed them out).
    {
        constexpr int kFlood = 20000;
        std::size_t sink = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFlood; ++i)
            sink += handleRequest(
                        site, {"GET", "/?ch=nochannel-" + std::to_string(i) + "&date=2026-12-09"})
                        .body->size();
        std::printf("  unknown name   %6.0f ns (%d, each new; %zu)\n",
                    msSince(start) * 1e6 / kFlood, kFlood, sink % 10);
        start = std::chrono::steady_clock::now();
        for (const auto& target : players)
            sink += handleRequest(site, {"GET", target}).body->size();
        std::printf("  known, after   %6.0f ns (%zu)\n",
                    msSince(start) * 1e6 / static_cast<double>(players.size()), sink % 10);
    }
    return 0;
}
