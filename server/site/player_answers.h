// The JSON answers for TV boxes and phone players: DIYP / 百川 (a day of a
// channel) and 超级直播 (today, and what is on now). They are made from one
// snapshot's listings the first time they are asked for and kept in a
// bounded cache that lives and dies with those listings: a reload brings a
// new PlayerAnswers, so no answer mixes two loads, and no request reads a
// source. Times are on the server's zone; titles and descriptions are the
// feeds' own (the day pages' forms are for the guide alone).
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "server/model/listings.h"
#include "server/site/player_query.h"
#include "server/site/resource.h"

namespace epg {

inline constexpr std::string_view kPlayerJsonType = "application/json; charset=utf-8";
// Header fields of an answer that is not a Resource (a 400). Players in web
// pages read the answers too, so every one allows any origin.
inline constexpr std::string_view kPlayerErrorFields =
    "\r\nAccess-Control-Allow-Origin: *\r\nCache-Control: no-store";

struct PlayerAnswer {
    int status = 200;
    // 200: the body in both encodings with its validators and header fields.
    std::shared_ptr<const Resource> resource;
    // 400: {"error": "..."}.
    std::shared_ptr<const std::string> error;
};

struct PlayerCacheLimits {
    std::size_t entries = 4096;
    std::size_t bytes = 32u << 20;  // bodies (both encodings), headers and keys
    // Answers without a programme (a name no channel has, a day without
    // listings) are kept apart, so that any number of names made up on the
    // spot never pushes out the answers of channels that exist.
    std::size_t emptyEntries = 512;
    std::size_t emptyBytes = 1u << 20;
};

// A cached answer and the instants between which it holds.
struct HeldAnswer {
    std::shared_ptr<const Resource> resource;
    Seconds from = 0, until = 0;
};

// Answers by key within a number of entries and of bytes, the least
// recently used let go first. Finding, keeping and letting go each cost the
// same however many are held: a hash map into a list kept in order of use.
// Not safe for threads by itself (AnswerCache locks it).
class AnswerLru {
  public:
    AnswerLru(std::size_t maxEntries, std::size_t maxBytes);
    AnswerLru(const AnswerLru&) = delete;
    AnswerLru& operator=(const AnswerLru&) = delete;

    // The answer of `key` if it holds at `now`, marked as the last used.
    const HeldAnswer* find(std::string_view key, Seconds now);
    // Keeps `answer` under `key`, counted as `bytes`, letting go of the
    // least recently used until it fits; one bigger than all the room is
    // not kept. An answer already held that holds from later stays: a
    // request of a snapshot a minute older must not push out what is on now.
    void put(std::string_view key, HeldAnswer answer, std::size_t bytes);

    std::size_t entries() const { return index_.size(); }
    std::size_t bytes() const { return bytes_; }
    std::vector<std::string> keys() const;  // the least recently used first

  private:
    struct Node {
        std::string key;
        HeldAnswer answer;
        std::size_t bytes;
    };
    using Order = std::list<Node>;  // the most recently used first

    const std::size_t maxEntries_, maxBytes_;
    Order order_;
    std::unordered_map<std::string_view, Order::iterator> index_;  // views of the nodes' keys
    std::size_t bytes_ = 0;
};

// AnswerLrus side by side, each key's in the one its hash picks, each under
// its own lock: two threads wait for each other only when their keys fall in
// one shard, and then for a look-up, never for a scan. Big caches are split
// in up to eight shards, each with its share of both bounds; small ones are
// one, exactly least recently used.
class AnswerCache {
  public:
    AnswerCache(std::size_t maxEntries, std::size_t maxBytes);

    // Shared, not copied; null when none holds at `now`.
    std::shared_ptr<const Resource> find(std::string_view key, Seconds now) const;
    void put(std::string_view key, HeldAnswer answer, std::size_t bytes) const;
    std::size_t entries() const;
    std::size_t bytes() const;

  private:
    struct alignas(64) Shard {
        Shard(std::size_t entries, std::size_t bytes) : lru(entries, bytes) {}
        mutable std::mutex mutex;
        mutable AnswerLru lru;
    };
    const Shard& shardOf(std::string_view key) const;

    std::vector<std::unique_ptr<Shard>> shards_;
};

class PlayerAnswers {
  public:
    // listings null: nothing loaded yet (every list empty). Last-Modified of
    // an answer is loadedAt, or when what it shows began if later (today's
    // midnight for a day asked for without a date; the programme on air).
    PlayerAnswers(std::shared_ptr<const Listings> listings, Zone zone, Seconds loadedAt,
                  PlayerCacheLimits limits = {});
    PlayerAnswers(const PlayerAnswers&) = delete;
    PlayerAnswers& operator=(const PlayerAnswers&) = delete;

    // The answer to a request of `api` for `target` (its query says which
    // channel and day) at `now`, which says which day is today and what is
    // on air. Any thread; a cached answer is shared, not copied.
    PlayerAnswer answer(PlayerApi api, std::string_view target, Seconds now) const;

    std::size_t cachedEntries() const;
    std::size_t cachedBytes() const;

  private:
    struct Made : HeldAnswer {
        bool empty = false;  // no programme in it
    };
    Made make(PlayerApi api, const PlayerQuery& query, const Date& day, Seconds now) const;
    Made makeDay(const PlayerQuery& query, const Date& day) const;
    Made makeToday(const PlayerQuery& query, const Date& day, Seconds now) const;

    std::shared_ptr<const Listings> listings_;
    const Zone zone_;
    const Seconds loadedAt_;

    const AnswerCache answers_;  // with at least one programme
    const AnswerCache empty_;    // without
};

// One programme as the players show it: its end is the listings' stop, or
// else the next programme's start, or else the end of its day.
struct PlayerProgramme {
    const Programme* programme;
    Seconds end;
};

// The bodies, apart from caching. `name` is echoed as the player sent it.
// `icon`: the channel's, or empty for none (then left out).
std::string diypBody(std::string_view name, const Date& day,
                     std::span<const PlayerProgramme> programmes, const Zone& zone,
                     std::string_view icon = {});
std::string epginfoBody(std::string_view name, std::span<const PlayerProgramme> programmes,
                        const PlayerProgramme* onAir, const Zone& zone, std::string_view icon = {});

}  // namespace epg
