#include "server/site.h"

#include <chrono>

#include "catalogue/catalogue.h"
#include "server/channels.h"
#include "server/page_render.h"

namespace epg {

Clock systemClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
}

Clock fixedClock(Seconds t) {
    return [t] { return t; };
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Day page paths end in "W1.htm" .. "W7.htm" after a catalogue path.
struct DaySlot {
    std::size_t channel;
    int weekday;
};
std::optional<DaySlot> daySlot(std::string_view path) {
    constexpr std::size_t kTail = 6;  // "Wn.htm"
    if (path.size() <= kTail) return std::nullopt;
    std::string_view tail = path.substr(path.size() - kTail);
    if (tail[0] != 'W' || tail[1] < '1' || tail[1] > '7' || tail.substr(2) != ".htm")
        return std::nullopt;
    auto channel = channelByPath(path.substr(0, path.size() - kTail));
    if (!channel) return std::nullopt;
    return DaySlot{*channel, tail[1] - '0'};
}

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

std::shared_ptr<const std::string> text(std::string s) {
    return std::make_shared<const std::string>(std::move(s));
}

}  // namespace

std::optional<std::string> cleanTargetPath(std::string_view target) {
    if (target.empty() || target[0] != '/') return std::nullopt;
    if (auto q = target.find('?'); q != std::string_view::npos) target = target.substr(0, q);
    std::string path;
    path.reserve(target.size());
    for (std::size_t i = 1; i < target.size(); ++i) {
        char c = target[i];
        if (c == '%') {
            if (i + 2 >= target.size()) return std::nullopt;
            int hi = hexValue(target[i + 1]), lo = hexValue(target[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '#') return std::nullopt;
        path += c;
    }
    // ".." anywhere, not only as a whole segment: no page name holds it.
    if (path.find("..") != std::string::npos || path.find("//") != std::string::npos)
        return std::nullopt;
    if (!path.empty() && path.front() == '/')
        return std::nullopt;  // "//host/x", or an escaped "/" first
    return path;
}

struct Site::Cache {
    std::int64_t week;  // days number of the Monday
    Seconds from, to;   // the week's first instant and the next week's
    std::vector<std::shared_ptr<const std::string>> pages;
};

Site::Site(std::shared_ptr<const Listings> listings, Clock clock)
    : clock_(std::move(clock)), listings_(std::move(listings)) {}

void Site::replaceListings(std::shared_ptr<const Listings> listings) {
    std::lock_guard lock(mutex_);
    listings_ = std::move(listings);
    cache_.reset();
    banner_.reset();
}

std::shared_ptr<const std::string> Site::dayPage(std::size_t channel, int weekday) const {
    Seconds now = clock_();
    std::size_t slot = channel * 7 + static_cast<std::size_t>(weekday - 1);
    std::shared_ptr<const Listings> listings;
    std::shared_ptr<Cache> cache;
    {
        std::lock_guard lock(mutex_);
        // The local calendar is consulted only when the week may have changed.
        if (!cache_ || now < cache_->from || now >= cache_->to) {
            Date monday = mondayOf(toLocal(now).date);
            if (!cache_ || daysFromCivil(monday) != cache_->week) {
                cache_ = std::make_shared<Cache>();
                cache_->week = daysFromCivil(monday);
                cache_->from = localMidnight(monday);
                cache_->to = localMidnight(addDays(monday, 7));
                cache_->pages.resize(channelCount() * 7);
            }
        }
        if (cache_->pages[slot]) return cache_->pages[slot];
        listings = listings_;
        cache = cache_;
    }
    // Rendered outside the lock; two threads may render the same page once
    // each, and either copy is the same.
    Date day = addDays(civilFromDays(cache->week), weekday - 1);
    auto page = text(renderDayPage(
        channel, day,
        listings->starting(channel, localMidnight(day), localMidnight(addDays(day, 1)))));
    std::lock_guard lock(mutex_);
    if (cache_ == cache) cache_->pages[slot] = page;
    return page;
}

std::shared_ptr<const std::string> Site::banner() const {
    Seconds now = clock_();
    Seconds minute = now - now % 60;
    std::shared_ptr<const Listings> listings;
    {
        std::lock_guard lock(mutex_);
        if (banner_ && bannerMinute_ == minute) return banner_;
        listings = listings_;
    }
    std::vector<std::vector<Programme>> lists;
    std::vector<NowOn> rows;
    for (std::size_t c : bannerChannels()) {
        lists.push_back(listings->starting(c, now - 12 * 3600, now + 1));
        rows.push_back({c, nullptr});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& list = lists[i];
        if (list.empty()) continue;
        const Programme& p = list.back();
        // Without a stop time a programme counts as on for at most two hours.
        Seconds stop = p.stop != 0 ? p.stop : p.start + 2 * 3600;
        if (now < stop) rows[i].programme = &p;
    }
    auto page = text(renderBanner(now, rows));
    std::lock_guard lock(mutex_);
    if (listings_ == listings) {
        bannerMinute_ = minute;
        banner_ = page;
    }
    return page;
}

std::shared_ptr<const std::string> Site::page(std::string_view path) const {
    if (path == kBannerPath) return banner();
    if (auto slot = daySlot(path)) return dayPage(slot->channel, slot->weekday);
    return nullptr;
}

namespace {

Reply badTarget() {
    static const auto kBody = text("400 bad request target\n");
    return {400, kBody, false};
}

Reply pageOrNotFound(const Site& site, const std::string& path) {
    static const auto kNotFound = text("404 not found\n");
    if (auto body = site.page(path)) return {200, std::move(body), true};
    return {404, kNotFound, false};
}

}  // namespace

Reply Site::get(std::string_view target) const {
    auto path = cleanTargetPath(target);
    return path ? pageOrNotFound(*this, *path) : badTarget();
}

std::vector<std::string> Site::pagePaths() const {
    std::vector<std::string> out;
    out.reserve(channelCount() * 7 + 1);
    for (std::size_t c = 0; c < channelCount(); ++c)
        for (int w = 1; w <= 7; ++w)
            out.push_back(std::string(channelPath(c)) + 'W' + char('0' + w) + ".htm");
    out.emplace_back(kBannerPath);
    return out;
}

Reply handleRequest(const Site& site, std::string_view method, std::string_view target) {
    static const auto kBadMethod = std::make_shared<const std::string>("405 only GET and HEAD\n");
    // A bad target is refused before anything else looks at the request.
    auto path = cleanTargetPath(target);
    if (!path) return badTarget();
    if (method != "GET" && method != "HEAD") return {405, kBadMethod, false};
    return pageOrNotFound(site, *path);
}

}  // namespace epg
