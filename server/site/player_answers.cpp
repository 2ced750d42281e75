#include "server/site/player_answers.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

#include "server/channels/named_channel.h"

namespace epg {
namespace player_answers {

using Json = nlohmann::ordered_json;  // the fields in the order players document them

// A player caches a day for as long as a page; what is on now, a minute.
constexpr ResourceKind kDayAnswer{kPlayerJsonType, "public, max-age=300"};
constexpr ResourceKind kTodayAnswer{kPlayerJsonType, "public, max-age=60"};
constexpr std::string_view kAnyOrigin = "\r\nAccess-Control-Allow-Origin: *";
constexpr Seconds kForever = std::numeric_limits<Seconds>::max();
constexpr Seconds kDay = 86400;

std::string clockText(Seconds t, const Zone& zone) {
    LocalTime lt = toLocal(t, zone);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", lt.hour % 100, lt.minute % 100);
    return buf;
}

// Names and titles may hold bytes that are not UTF-8 (a player's name
// above all); they are replaced, never a reason to fail.
std::string dumped(const Json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::shared_ptr<const Resource> resourceOf(std::string body, const ResourceKind& kind,
                                           Seconds lastModified) {
    Resource r = makeResource(std::move(body), kind, lastModified);
    r.identity.headers += kAnyOrigin;
    if (r.gzip) r.gzip->headers += kAnyOrigin;
    return std::make_shared<const Resource>(std::move(r));
}

std::shared_ptr<const std::string> errorBody(const std::string& message) {
    return std::make_shared<const std::string>(dumped(Json{{"error", message}}) + "\n");
}

// The programmes of a channel starting on one day, with their ends (see
// PlayerProgramme). `list` holds them; the day after is asked for only when
// the last one has no stop.
std::vector<PlayerProgramme> withEnds(const std::vector<Programme>& list, const Listings& listings,
                                      std::string_view name, Seconds dayEnd) {
    std::vector<PlayerProgramme> out;
    out.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back({&list[i], i + 1 < list.size() ? endOf(list[i], list[i + 1].start) : 0});
    if (!out.empty() && out.back().end == 0) {
        const Programme& last = *out.back().programme;
        auto next = last.stop != 0 ? std::vector<Programme>{}
                                   : programmesNamed(listings, name, dayEnd, dayEnd + kDay);
        // Where the listings end, the last one is taken to end with its day.
        out.back().end = last.stop != 0 ? last.stop
                         : next.empty() ? dayEnd
                                        : endOf(last, next.front().start);
    }
    return out;
}

// The name as the player meant it: with its pluses ("CCTV5+"), unless only
// the reading with blanks finds programmes that day ("CCTV-1+综合", as
// TVBox-style apps encode "CCTV-1 综合").
std::string_view nameMeant(const Listings& listings, const PlayerQuery& query, Seconds from,
                           Seconds to) {
    if (query.withBlanks.empty() || !programmesNamed(listings, query.channel, from, to).empty())
        return query.channel;
    if (programmesNamed(listings, query.withBlanks, from, to).empty()) return query.channel;
    return query.withBlanks;
}

std::size_t bytesOf(const std::string& key, const Resource& r) {
    std::size_t n = key.size() + r.identity.body.size() + r.identity.headers.size() + 256;
    if (r.gzip) n += r.gzip->body.size() + r.gzip->headers.size();
    return n;
}

}  // namespace player_answers

std::string diypBody(std::string_view name, const Date& day,
                     std::span<const PlayerProgramme> programmes, const Zone& zone,
                     std::string_view icon) {
    using namespace player_answers;
    Json list = Json::array();
    for (const PlayerProgramme& p : programmes) {
        list.push_back({{"start", clockText(p.programme->start, zone)},
                        {"end", clockText(p.end, zone)},
                        {"title", p.programme->title},
                        {"desc", p.programme->description}});
        if (!p.programme->category.empty()) list.back()["category"] = p.programme->category;
    }
    Json whole = {{"channel_name", name}, {"date", isoText(day)}, {"epg_data", list}};
    if (!icon.empty()) whole["icon"] = icon;
    return dumped(whole) + "\n";
}

std::string epginfoBody(std::string_view name, std::span<const PlayerProgramme> programmes,
                        const PlayerProgramme* onAir, const Zone& zone, std::string_view icon) {
    using namespace player_answers;
    Json list = Json::array();
    for (const PlayerProgramme& p : programmes) {
        list.push_back({{"st", p.programme->start},
                        {"et", p.end},
                        {"t", p.programme->title},
                        {"showTime", clockText(p.programme->start, zone)},
                        {"duration", p.end - p.programme->start}});
        // Beyond what 超级直播 documents, for the guide's details; players
        // skip keys they do not know.
        if (!p.programme->description.empty()) list.back()["desc"] = p.programme->description;
        if (!p.programme->category.empty()) list.back()["category"] = p.programme->category;
    }
    Json channel = {{"isLive", onAir ? onAir->programme->title : std::string()},
                    {"liveSt", onAir ? onAir->programme->start : 0},
                    {"channelName", name},
                    {"program", list}};
    if (!icon.empty()) channel["icon"] = icon;
    Json whole = Json::object();
    whole[std::string(name)] = std::move(channel);
    return dumped(whole) + "\n";
}

AnswerLru::AnswerLru(std::size_t maxEntries, std::size_t maxBytes)
    : maxEntries_(maxEntries), maxBytes_(maxBytes) {
    index_.reserve(maxEntries_);
}

const HeldAnswer* AnswerLru::find(std::string_view key, Seconds now) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    const HeldAnswer& held = it->second->answer;
    if (now < held.from || now >= held.until) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return &held;
}

void AnswerLru::put(std::string_view key, HeldAnswer answer, std::size_t bytes) {
    if (bytes > maxBytes_ || maxEntries_ == 0) return;
    if (auto it = index_.find(key); it != index_.end()) {
        const Order::iterator node = it->second;
        if (node->answer.from > answer.from) return;
        bytes_ -= node->bytes;
        index_.erase(it);
        order_.erase(node);
    }
    while (!order_.empty() && (index_.size() >= maxEntries_ || bytes_ + bytes > maxBytes_)) {
        Node& oldest = order_.back();
        bytes_ -= oldest.bytes;
        index_.erase(oldest.key);
        order_.pop_back();
    }
    order_.push_front({std::string(key), std::move(answer), bytes});
    index_.emplace(order_.front().key, order_.begin());
    bytes_ += bytes;
}

std::vector<std::string> AnswerLru::keys() const {
    std::vector<std::string> out;
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) out.push_back(it->key);
    return out;
}

namespace player_answers {

// A shard holds at least this many entries, so that which one a key falls
// in does not let an answer go long before the least recently used overall.
constexpr std::size_t kShardEntries = 256;
constexpr std::size_t kMaxShards = 8;

}  // namespace player_answers

AnswerCache::AnswerCache(std::size_t maxEntries, std::size_t maxBytes) {
    using namespace player_answers;
    const std::size_t n = std::clamp<std::size_t>(maxEntries / kShardEntries, 1, kMaxShards);
    for (std::size_t i = 0; i < n; ++i)
        shards_.push_back(
            std::make_unique<Shard>(maxEntries / n + (i < maxEntries % n), maxBytes / n));
}

const AnswerCache::Shard& AnswerCache::shardOf(std::string_view key) const {
    // The maps inside take the same hash modulo a prime number of buckets,
    // so a shard's keys still spread over all of its buckets.
    return *shards_[std::hash<std::string_view>{}(key) % shards_.size()];
}

std::shared_ptr<const Resource> AnswerCache::find(std::string_view key, Seconds now) const {
    const Shard& shard = shardOf(key);
    std::lock_guard lock(shard.mutex);
    const HeldAnswer* held = shard.lru.find(key, now);
    return held ? held->resource : nullptr;
}

void AnswerCache::put(std::string_view key, HeldAnswer answer, std::size_t bytes) const {
    const Shard& shard = shardOf(key);
    std::lock_guard lock(shard.mutex);
    shard.lru.put(key, std::move(answer), bytes);
}

std::size_t AnswerCache::entries() const {
    std::size_t n = 0;
    for (const auto& shard : shards_) {
        std::lock_guard lock(shard->mutex);
        n += shard->lru.entries();
    }
    return n;
}

std::size_t AnswerCache::bytes() const {
    std::size_t n = 0;
    for (const auto& shard : shards_) {
        std::lock_guard lock(shard->mutex);
        n += shard->lru.bytes();
    }
    return n;
}

PlayerAnswers::PlayerAnswers(std::shared_ptr<const Listings> listings, Zone zone, Seconds loadedAt,
                             PlayerCacheLimits limits)
    : listings_(std::move(listings)),
      zone_(zone),
      loadedAt_(loadedAt),
      answers_(limits.entries, limits.bytes),
      empty_(limits.emptyEntries, limits.emptyBytes) {}

PlayerAnswer PlayerAnswers::answer(PlayerApi api, std::string_view target, Seconds now) const {
    // Keyed by the query as sent: a request found here is neither decoded
    // nor checked again (no answer to a bad one is kept). A day asked for
    // without a date ("T") and 超级直播's today ("E") hold only until their
    // `until`, so they need no date here.
    const RawPlayerQuery raw = rawPlayerQuery(api, target);
    thread_local std::string key;
    key.clear();
    key += api == PlayerApi::Epginfo ? 'E' : raw.date.empty() ? 'T' : 'D';
    key += raw.date;
    key += '\n';
    key += raw.channel;
    if (auto found = answers_.find(key, now)) return {200, std::move(found), nullptr};
    if (auto found = empty_.find(key, now)) return {200, std::move(found), nullptr};
    PlayerQuery query = parsePlayerQuery(api, target);
    if (!query.error.empty()) return {400, nullptr, player_answers::errorBody(query.error)};
    const Date day = query.date.value_or(toLocal(now, zone_).date);
    // Made without a lock: two threads may make the same answer at once,
    // and both are right.
    Made made = make(api, query, day, now);
    const std::size_t bytes = player_answers::bytesOf(key, *made.resource);
    (made.empty ? empty_ : answers_).put(key, made, bytes);
    return {200, std::move(made.resource), nullptr};
}

PlayerAnswers::Made PlayerAnswers::make(PlayerApi api, const PlayerQuery& query, const Date& day,
                                        Seconds now) const {
    return api == PlayerApi::Epginfo ? makeToday(query, day, now) : makeDay(query, day);
}

PlayerAnswers::Made PlayerAnswers::makeDay(const PlayerQuery& query, const Date& day) const {
    using namespace player_answers;
    const Seconds from = localMidnight(day, zone_), to = localMidnight(addDays(day, 1), zone_);
    std::vector<Programme> list;
    std::vector<PlayerProgramme> shown;
    Programme sinceMidnight;  // yesterday's last, while it runs past midnight
    std::string icon;
    if (listings_) {
        const std::string_view name = nameMeant(*listings_, query, from, to);
        list = programmesNamed(*listings_, name, from, to);
        // A programme that started the day before and runs on opens the day
        // as its 00:00 piece: players show what is on from the day's list.
        auto yesterday = programmesNamed(*listings_, name, from - kDay, from);
        if (!yesterday.empty()) {
            const Programme& last = yesterday.back();
            const Seconds end = endOf(last, list.empty() ? 0 : list.front().start);
            if (end > from && (list.empty() || list.front().start > from)) {
                sinceMidnight = last;
                sinceMidnight.start = from;
                shown.push_back({&sinceMidnight, end});
            }
        }
        for (const PlayerProgramme& p : withEnds(list, *listings_, name, to)) shown.push_back(p);
        icon = iconNamed(*listings_, name);
    }
    std::string body = diypBody(query.channel, day, shown, zone_, icon);
    // Without a date the same address shows another day from midnight on.
    if (!query.date)
        return {{resourceOf(std::move(body), kDayAnswer, std::max(loadedAt_, from)), from, to},
                shown.empty()};
    return {{resourceOf(std::move(body), kDayAnswer, loadedAt_), -kForever, kForever},
            shown.empty()};
}

PlayerAnswers::Made PlayerAnswers::makeToday(const PlayerQuery& query, const Date& day,
                                             Seconds now) const {
    using namespace player_answers;
    const Seconds from = localMidnight(day, zone_), to = localMidnight(addDays(day, 1), zone_);
    std::vector<Programme> list, yesterday;
    std::vector<PlayerProgramme> shown, before;
    std::string icon;
    if (listings_) {
        const std::string_view name = nameMeant(*listings_, query, from, to);
        icon = iconNamed(*listings_, name);
        list = programmesNamed(*listings_, name, from, to);
        shown = withEnds(list, *listings_, name, to);
        // Before today's first programme, yesterday's last may still be on.
        if (list.empty() || list.front().start > now) {
            yesterday = programmesNamed(*listings_, name, from - kDay, from);
            if (!yesterday.empty()) {
                yesterday.erase(yesterday.begin(), yesterday.end() - 1);
                before = withEnds(yesterday, *listings_, name, from);
            }
        }
    }
    const PlayerProgramme* onAir = nullptr;
    // The answer holds while nothing comes on or goes off the air.
    Seconds since = from, until = to;
    auto edge = [&](Seconds t) {
        if (t <= now)
            since = std::max(since, t);
        else
            until = std::min(until, t);
    };
    for (const auto* part : {&before, &shown})
        for (const PlayerProgramme& p : *part) {
            if (p.programme->start <= now && now < p.end) onAir = &p;
            edge(p.programme->start);
            edge(p.end);
        }
    std::string body = epginfoBody(query.channel, shown, onAir, zone_, icon);
    return {{resourceOf(std::move(body), kTodayAnswer, std::max(loadedAt_, since)), since, until},
            shown.empty() && !onAir};
}

std::size_t PlayerAnswers::cachedEntries() const {
    return answers_.entries() + empty_.entries();
}

std::size_t PlayerAnswers::cachedBytes() const {
    return answers_.bytes() + empty_.bytes();
}

}  // namespace epg
