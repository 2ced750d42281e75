#include "server/site/snapshot.h"

#include <algorithm>
#include <span>

#include "catalogue/catalogue.h"
#include "server/model/channels.h"
#include "server/site/page_render.h"
#include "server/site/xmltv_write.h"

namespace epg {
namespace {

// Shared caches may keep a day page or the XMLTV export for five minutes and
// the banner, which changes every minute, for one.
constexpr ResourceKind kDayPage{kHtmlType, "public, max-age=300"};
constexpr ResourceKind kBanner{kHtmlType, "public, max-age=60"};
constexpr ResourceKind kXmltv{kXmlType, "public, max-age=300"};
constexpr ResourceKind kXmltvGz{kGzipType, "public, max-age=300", false};

// How far ahead /epg.xml reaches at most: beyond any feed's last day.
constexpr int kFutureDays = 60;

// The channels the banner shows, as (group, row) of the catalogue: CCTV-1,
// CCTV-5, CCTV-6, CCTV-8, the first satellite channel and the first channel
// from outside the mainland.
std::vector<std::size_t> bannerChannels() {
    static const int kRows[][2] = {{0, 0}, {0, 4}, {0, 5}, {0, 7}, {6, 0}, {7, 0}};
    std::vector<std::size_t> out;
    const auto& groups = catalogue::groups();
    for (const auto& gr : kRows)
        if (gr[0] < static_cast<int>(groups.size()) &&
            gr[1] < static_cast<int>(groups[gr[0]].rows.size()))
            if (auto c = channelByPath(groups[gr[0]].rows[gr[1]].path)) out.push_back(*c);
    return out;
}

// The programmes of a list (in start order) that start in [from, to).
std::span<const Programme> starting(const std::vector<Programme>& list, Seconds from, Seconds to) {
    auto byStart = [](const Programme& p, Seconds t) { return p.start < t; };
    auto lo = std::lower_bound(list.begin(), list.end(), from, byStart);
    auto hi = std::lower_bound(lo, list.end(), to, byStart);
    return {lo, hi};
}

}  // namespace

std::pair<Seconds, Seconds> xmltvDays(const Listings& listings, Seconds now, const Zone& zone,
                                      int pastDays) {
    const Date today = toLocal(now, zone).date;
    // Catch-up players want the days gone, planners the days to come; the
    // made-up listings are of the week alone, as its pages are.
    if (listings.madeUp()) {
        const Date monday = mondayOf(today);
        return {localMidnight(monday, zone), localMidnight(addDays(monday, 7), zone)};
    }
    return {localMidnight(addDays(today, -pastDays), zone),
            localMidnight(addDays(today, kFutureDays), zone)};
}

bool WeekPages::holdsDaysOf(std::size_t channel) const {
    return scope != WeekScope::FirstGroup || channelGroup(channel) == 0;
}

std::shared_ptr<const WeekPages> renderWeek(const Listings& listings, Seconds now, const Zone& zone,
                                            Seconds loadedAt, WeekScope scope, int pastDays) {
    auto week = std::make_shared<WeekPages>();
    week->scope = scope;
    week->monday = mondayOf(toLocal(now, zone).date);
    Seconds midnights[8];
    for (int d = 0; d <= 7; ++d) midnights[d] = localMidnight(addDays(week->monday, d), zone);
    week->from = midnights[0];
    week->to = midnights[7];
    Seconds lastModified = std::max(loadedAt, week->from);
    ResourceKind dayPage = kDayPage;
    dayPage.gzipTwin = scope == WeekScope::Whole;

    // Each channel's week is asked for once and cut into days here.
    ChannelProgrammes programmes(channelCount());
    week->days.reserve(channelCount() * 7);
    for (std::size_t c = 0; c < programmes.size(); ++c) {
        if (!week->holdsDaysOf(c)) {
            week->days.resize(week->days.size() + 7);
            continue;
        }
        programmes[c] = listings.starting(c, week->from, week->to);
        if (!programmes[c].empty()) ++week->channelsWithListings;
        for (int d = 0; d < 7; ++d) {
            std::string page =
                renderDayPage(c, addDays(week->monday, d),
                              starting(programmes[c], midnights[d], midnights[d + 1]), zone);
            week->days.push_back(makeResource(std::move(page), dayPage, lastModified));
        }
    }
    if (!week->complete()) return week;
    week->day = toLocal(now, zone).date;
    // The made-up listings are of this week alone, just asked for: making
    // them up again would double the cost of every start on the samples.
    std::string xmltv;
    if (listings.madeUp()) {
        xmltv = writeXmltv(programmes, zone, &listings);
    } else {
        const auto [from, to] = xmltvDays(listings, now, zone, pastDays);
        xmltv = writeXmltv(listings, from, to, zone);
    }
    week->xmltv = makeResource(std::move(xmltv), kXmltv, lastModified);
    week->xmltvGz = makeResource(week->xmltv.gzip->body, kXmltvGz, lastModified);
    return week;
}

std::shared_ptr<const Resource> renderBannerPage(const Listings& listings, Seconds now,
                                                 const Zone& zone, Seconds loadedAt) {
    Seconds minute = now - now % 60;
    std::vector<std::vector<Programme>> lists;
    std::vector<NowOn> rows;
    for (std::size_t c : bannerChannels()) {
        lists.push_back(listings.starting(c, now - 12 * 3600, now + 1));
        rows.push_back({c, nullptr});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& list = lists[i];
        if (list.empty()) continue;
        const Programme& p = list.back();
        if (now < endOf(p)) rows[i].programme = &p;
    }
    return std::make_shared<const Resource>(makeResource(
        renderBanner(now, rows, zone, listings.madeUp()), kBanner, std::max(loadedAt, minute)));
}

}  // namespace epg
