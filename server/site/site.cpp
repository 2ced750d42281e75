#include "server/site/site.h"

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "server/model/channels.h"
#include "server/util/body_decoder.h"
#include "server/util/durations.h"
#include "server/util/http_rules.h"

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

}  // namespace

std::optional<std::string> cleanTargetPath(std::string_view target) {
    // Absolute-form (RFC 9112 3.2.2), as a proxy sends it: the path counts.
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!base::startsWithNoCase(target, scheme)) continue;
        const std::size_t path = target.find_first_of("/?#", scheme.size());
        if (path == std::string_view::npos || target[path] == '?') return std::string();
        if (target[path] == '#') return std::nullopt;
        target.remove_prefix(path);
        break;
    }
    if (target.empty() || target[0] != '/') return std::nullopt;
    if (auto q = target.find('?'); q != std::string_view::npos) target = target.substr(0, q);
    std::optional<std::string> decoded = base::percentDecoded(target.substr(1));
    if (!decoded) return std::nullopt;
    std::string path = std::move(*decoded);
    for (char c : path) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '#') return std::nullopt;
    }
    // ".." anywhere, not only as a whole segment: no page name holds it.
    if (path.find("..") != std::string::npos || path.find("//") != std::string::npos)
        return std::nullopt;
    if (!path.empty() && path.front() == '/')
        return std::nullopt;  // "//host/x", or an escaped "/" first
    return path;
}

namespace {

const Listings& noListings() {
    static const StoredListings empty = [] {
        StoredListings l;
        l.finish();
        return l;
    }();
    return empty;
}

Seconds floorMinute(Seconds t) {
    return t - ((t % 60) + 60) % 60;
}

// RFC 3339 in UTC: "2026-12-09T12:15:00Z".
std::string utcText(Seconds t) {
    std::int64_t days = t / 86400 - (t % 86400 < 0 ? 1 : 0);
    Seconds ofDay = t - days * 86400;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%sT%02d:%02d:%02dZ", isoText(civilFromDays(days)).c_str(),
                  static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
                  static_cast<int>(ofDay % 60));
    return buf;
}

}  // namespace

Site::Site(std::shared_ptr<const Listings> listings, Clock clock, Zone zone, FirstSnapshot first,
           int pastDays)
    : clock_(std::move(clock)),
      zone_(zone),
      quickFirst_(first == FirstSnapshot::OnRenderer),
      pastDays_(pastDays),
      listings_(std::move(listings)) {
    if (listings_) loadedAt_ = clock_();
    if (first == FirstSnapshot::Now) render();
}

std::shared_ptr<const Snapshot> Site::current() const {
    std::lock_guard lock(currentMutex_);
    return current_;
}

void Site::publish(std::shared_ptr<const Snapshot> next) {
    {
        std::lock_guard lock(currentMutex_);
        current_.swap(next);
    }
    // The old snapshot, if this was its last reference, goes outside the lock.
}

std::shared_ptr<const Snapshot> Site::waitFor(std::optional<WeekScope> wider) const {
    auto ready = [&](const std::shared_ptr<const Snapshot>& s) {
        return s && (!wider || s->week->scope > *wider);
    };
    if (auto s = current(); ready(s)) return s;
    std::unique_lock lock(mutex_);
    std::shared_ptr<const Snapshot> s;
    published_.wait(lock, [&] { return (s = current(), ready(s)) || stopping_; });
    return ready(s) ? s : nullptr;
}

std::shared_ptr<const Snapshot> Site::snapshot() const {
    return waitFor(WeekScope::DayPages);
}

std::shared_ptr<const Snapshot> Site::firstSnapshot() const {
    return waitFor(std::nullopt);
}

std::shared_ptr<const Snapshot> Site::widerThan(WeekScope scope) const {
    return waitFor(scope);
}

Site::~Site() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    published_.notify_all();
    if (renderer_.joinable()) renderer_.join();
}

void Site::setLoading(std::chrono::milliseconds patience) {
    std::lock_guard lock(mutex_);
    loadingUntil_ = std::chrono::steady_clock::now() + patience;
    loading_ = true;
}

void Site::loaded() {
    {
        std::lock_guard lock(mutex_);
        loading_ = false;
    }
    published_.notify_all();
}

bool Site::awaitFirstLoad() const {
    if (!loading_) return true;
    // One deadline for every request: however many wait, a server thread is
    // held up for the patience once at most.
    std::unique_lock lock(mutex_);
    published_.wait_until(lock, loadingUntil_, [this] { return !loading_ || stopping_; });
    return !loading_;
}

void Site::startRenderer() {
    std::lock_guard lock(mutex_);
    if (renderer_.joinable() || stopping_) return;
    renderer_ = std::thread([this] { rendererLoop(); });
}

void Site::render() {
    std::lock_guard lock(renderMutex_);
    renderLocked();
}

void Site::renderLocked() {
    std::shared_ptr<const Listings> listings;
    std::optional<Seconds> loadedAt;
    std::uint64_t generation, playlistGeneration;
    std::shared_ptr<const std::vector<LoadedPlaylist>> playlists;
    {
        std::lock_guard lock(mutex_);
        listings = listings_;
        loadedAt = loadedAt_;
        generation = generation_;
        playlists = playlists_;
        playlistGeneration = playlistGeneration_;
    }
    const Listings& l = listings ? *listings : noListings();
    Seconds now = clock_();
    Seconds minute = floorMinute(now);
    auto last = current();
    // A new day moves the days /epg.xml holds.
    bool newWeek = !last || last->generation != generation || !last->week->complete() ||
                   now < last->week->from || now >= last->week->to ||
                   toLocal(now, zone_).date != last->week->day;
    const bool newPlaylists = !last || last->playlistGeneration != playlistGeneration;
    if (!newWeek && !newPlaylists && last->bannerMinute == minute) return;
    // A site that has just started widens its first week step by step.
    WeekScope scope = WeekScope::Whole;
    if (quickFirst_ && !last) scope = WeekScope::FirstGroup;
    if (quickFirst_ && last && last->week->scope == WeekScope::FirstGroup)
        scope = WeekScope::DayPages;
    const bool quick = scope != WeekScope::Whole;

    auto next = std::make_shared<Snapshot>();
    next->generation = generation;
    next->loadedAt = loadedAt;
    next->week =
        newWeek ? renderWeek(l, now, zone_, loadedAt.value_or(0), scope, pastDays_) : last->week;
    next->bannerMinute = minute;
    next->banner = renderBannerPage(l, now, zone_, loadedAt.value_or(0));
    next->players =
        newWeek ? std::make_shared<const PlayerAnswers>(listings, zone_, loadedAt.value_or(0))
                : last->players;
    // Playlists are matched against the whole week's listings, so not in a
    // quick first render; again whenever the listings or the days change.
    if (!quick && playlists && (newWeek || newPlaylists)) {
        const auto [from, to] = xmltvDays(l, now, zone_, pastDays_);
        next->playlists =
            std::make_shared<const PlaylistPages>(*playlists, l, from, to, loadedAt.value_or(0));
        next->playlistGeneration = playlistGeneration;
    } else if (last && !quick) {
        next->playlists = last->playlists;
        next->playlistGeneration = last->playlistGeneration;
    }
    publish(std::move(next));
    {
        std::lock_guard lock(mutex_);  // so that no waiter misses the news
    }
    published_.notify_all();
    if (quick) return renderLocked();
    // A week's render leaves megabytes of scratch the allocator would keep.
    if (newWeek) malloc_trim(0);
}

void Site::rendererLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        render();
        lock.lock();
        // Woken at the next minute of the clock (a little after, so that the
        // minute has surely turned), or at once for new listings.
        Seconds now = clock_();
        auto wait =
            std::chrono::seconds(60 - (now - floorMinute(now))) + std::chrono::milliseconds(20);
        wake_.wait_for(lock, wait, [this] {
            auto s = current();
            return stopping_ || !s || s->generation != generation_ ||
                   s->playlistGeneration != playlistGeneration_;
        });
    }
}

void Site::replaceListings(std::shared_ptr<const Listings> listings) {
    std::unique_lock lock(mutex_);
    listings_ = std::move(listings);
    // Last-Modified must move on whenever pages may have changed, even for
    // two loads within one second (or under a fixed clock).
    Seconds now = clock_();
    loadedAt_ = loadedAt_ && now <= *loadedAt_ ? *loadedAt_ + 1 : now;
    const std::uint64_t generation = ++generation_;
    renderChange(lock, [generation](const Snapshot& s) { return s.generation >= generation; });
}

void Site::setPlaylists(std::vector<LoadedPlaylist> playlists) {
    std::unique_lock lock(mutex_);
    playlists_ = std::make_shared<const std::vector<LoadedPlaylist>>(std::move(playlists));
    const std::uint64_t generation = ++playlistGeneration_;
    renderChange(lock,
                 [generation](const Snapshot& s) { return s.playlistGeneration >= generation; });
}

void Site::renderChange(std::unique_lock<std::mutex>& lock,
                        const std::function<bool(const Snapshot&)>& holds) {
    if (!renderer_.joinable()) {
        lock.unlock();
        render();
        return;
    }
    wake_.notify_all();
    published_.wait(lock, [&] {
        auto s = current();
        return stopping_ || (s && holds(*s));
    });
}

void Site::setSourceHealth(std::function<std::vector<SourceHealth>()> sources) {
    std::lock_guard lock(mutex_);
    sources_ = std::move(sources);
}

void Site::setSourceHealth(std::vector<SourceHealth> sources) {
    setSourceHealth([sources = std::move(sources)] { return sources; });
}

std::pair<int, std::string> Site::health() const {
    auto snap = current();
    if (!snap || !snap->week->complete()) return {503, "{\"status\": \"starting\"}\n"};
    std::function<std::vector<SourceHealth>()> ask;
    {
        std::lock_guard lock(mutex_);
        ask = sources_;
    }
    const Seconds now = systemClock()();
    auto instant = [](const std::optional<Seconds>& t) {
        return t ? nlohmann::json(utcText(*t)) : nlohmann::json();
    };
    nlohmann::json sources = nlohmann::json::array();
    bool allOk = true;
    for (const auto& s : ask ? ask() : std::vector<SourceHealth>{}) {
        allOk = allOk && s.state == SourceHealth::State::Ok;
        const bool stale = s.state == SourceHealth::State::Stale && s.servingSince;
        sources.push_back({
            {"name", s.name},
            {"state", stateName(s.state)},
            {"last_good", instant(s.lastGood)},
            {"serving_since", instant(s.servingSince)},
            {"age", stale ? nlohmann::json(durationText(
                                std::chrono::seconds(now - std::min(now, *s.servingSince))))
                          : nlohmann::json()},
            {"last_error", s.lastError.empty() ? nlohmann::json() : nlohmann::json(s.lastError)},
            {"fetching_since", instant(s.fetchingSince)},
        });
    }
    bool loaded = snap->loadedAt.has_value();
    // A balancer takes this server out of service while it has nothing to
    // show: whatever was loaded, not one row has a programme this week.
    const bool listed = snap->week->channelsWithListings > 0;
    nlohmann::json j = {
        {"status", !listed ? "no listings"
                   : allOk ? "ok"
                           : "degraded"},
        {"listings_loaded_at", loaded ? nlohmann::json(utcText(*snap->loadedAt)) : nullptr},
        {"time_zone", zone_.name()},
        {"week", isoText(snap->week->monday)},
        {"catalogue_rows", channelCount()},
        {"rows_with_listings", snap->week->channelsWithListings},
        {"sources", std::move(sources)},
    };
    // Titles and names may hold anything; never let the dump throw.
    return {listed ? 200 : 503,
            j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"};
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

namespace {

// The resource behind a path in a snapshot, with a pointer that owns it.
struct Found {
    const Resource* resource = nullptr;
    std::shared_ptr<const void> owner;
};

Found find(const Snapshot& snap, std::string_view path) {
    const auto& week = snap.week;
    if (path == kBannerPath) return {snap.banner.get(), snap.banner};
    if (path == "epg.xml" || path == "epg.xml.gz") {
        if (!week->complete()) return {};
        return {path == "epg.xml" ? &week->xmltv : &week->xmltvGz, week};
    }
    if (auto slot = daySlot(path)) {
        if (!week->holdsDaysOf(slot->channel)) return {};
        return {&week->days[slot->channel * 7 + static_cast<std::size_t>(slot->weekday - 1)], week};
    }
    return {};
}

std::shared_ptr<const std::string> text(std::string s) {
    return std::make_shared<const std::string>(std::move(s));
}

Reply plain(int status, std::shared_ptr<const std::string> body) {
    return {status, std::move(body), kPlainType, {}};
}

// What a found resource is sent as: 304 when the request's validators
// still name it (If-None-Match first, If-Modified-Since only without it), in
// gzip when Accept-Encoding allows.
Reply answerWith(Found f, const Request& request) {
    const Resource& r = *f.resource;
    const Variant& v = r.gzip && acceptsGzip(request.acceptEncoding) ? *r.gzip : r.identity;
    bool unchanged = false;
    if (!request.ifNoneMatch.empty()) {
        unchanged = noneMatchHits(request.ifNoneMatch, v.entityTag);
    } else if (!request.ifModifiedSince.empty()) {
        auto since = parseHttpDate(request.ifModifiedSince);
        unchanged = since && r.lastModified <= *since;
    }
    return {unchanged ? 304 : 200, {std::move(f.owner), &v.body}, r.contentType, v.headers};
}

// The host a request was sent to: an absolute-form target's, else its Host.
std::string_view hostOf(const Request& request) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!base::startsWithNoCase(request.target, scheme)) continue;
        std::string_view authority = request.target.substr(scheme.size());
        return authority.substr(0, authority.find_first_of("/?#"));
    }
    return request.host;
}

// The household's playlists. A player without its playlist has no channel
// at all, so one is served while the first load goes on too, marked as
// nothing to keep.
Reply playlistReply(const Site& site, const Request& request, std::string_view path) {
    const bool settled = site.awaitFirstLoad();
    auto snap = site.snapshot();
    if (!snap) return plain(503, text("503 stopping\n"));
    if (!snap->playlists) return plain(404, text("404 not found\n"));
    PlaylistPages::Answer a = snap->playlists->answer(path, baseUrlOf(hostOf(request)), settled);
    if (!a.resource) {
        auto body = text(std::move(a.error));
        if (a.status == 503)
            return {503, body, kPlainType, "\r\nRetry-After: 30\r\nCache-Control: no-store"};
        return {a.status, body, kPlainType, {}};
    }
    return answerWith({a.resource.get(), std::move(a.resource)}, request);
}

}  // namespace

std::shared_ptr<const std::string> Site::page(std::string_view path) const {
    auto snap = snapshot();
    if (!snap) return nullptr;
    Found f = find(*snap, path);
    if (!f.resource || f.resource->contentType != kHtmlType) return nullptr;
    return {std::move(f.owner), &f.resource->identity.body};
}

Reply handleRequest(const Site& site, const Request& request) {
    static const auto kBadTarget = text("400 bad request target\n");
    static const auto kBadMethod = text("405 only GET and HEAD\n");
    static const auto kNotFound = text("404 not found\n");
    static const auto kLoading = text("503 the listings are being read; try again shortly\n");
    // A bad target is refused before anything else looks at the request.
    auto path = cleanTargetPath(request.target);
    if (!path) return plain(400, kBadTarget);
    if (request.method != "GET" && request.method != "HEAD") return plain(405, kBadMethod);
    if (*path == "healthz") {
        auto [status, body] = site.health();
        return {status, text(std::move(body)), kJsonType, "\r\nCache-Control: no-store"};
    }
    if (PlaylistPages::claims(*path)) return playlistReply(site, request, *path);
    if (!site.awaitFirstLoad())
        return {503, kLoading, kPlainType, "\r\nRetry-After: 5\r\nCache-Control: no-store"};
    auto snap = site.firstSnapshot();
    if (!snap) return plain(503, text("503 stopping\n"));
    Found f = find(*snap, *path);
    if (auto api = playerApiOf(*path); api && snap->players) {
        PlayerAnswer a = snap->players->answer(*api, request.target, snap->bannerMinute);
        if (!a.resource) return {a.status, std::move(a.error), kPlayerJsonType, kPlayerErrorFields};
        f = {a.resource.get(), std::move(a.resource)};
    }
    while (!f.resource && !snap->week->complete()) {
        // Not yet rendered by a site that has just started: a moment away.
        snap = site.widerThan(snap->week->scope);
        if (!snap) return plain(503, text("503 stopping\n"));
        f = find(*snap, *path);
    }
    if (!f.resource) return plain(404, kNotFound);
    return answerWith(std::move(f), request);
}

}  // namespace epg
