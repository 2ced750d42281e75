// The JSON answers for TV boxes and phone players: DIYP / 百川 (a day of a
// channel) and 超级直播 (today, and what is on now). They are made from one
// snapshot's listings the first time they are asked for and kept in a
// bounded cache that lives and dies with those listings: a reload brings a
// new PlayerAnswers, so no answer mixes two loads, and no request reads a
// source. Times are on the server's zone; titles and descriptions are the
// feeds' own (the day pages' forms are for the guide alone).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/model/listings.h"
#include "server/site/player_query.h"
#include "server/site/resource.h"
#include "server/util/text_hash.h"

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
    struct Made {
        std::shared_ptr<const Resource> resource;
        Seconds from = 0, until = 0;  // the instants between which it holds
    };
    Made make(PlayerApi api, const PlayerQuery& query, const Date& day, Seconds now) const;
    Made makeDay(const PlayerQuery& query, const Date& day) const;
    Made makeToday(const PlayerQuery& query, const Date& day, Seconds now) const;

    std::shared_ptr<const Listings> listings_;
    const Zone zone_;
    const Seconds loadedAt_;
    const PlayerCacheLimits limits_;

    // Requests only read the cache, side by side; an answer made anew takes
    // it alone, and makes room by letting go of those least recently used.
    struct Entry {
        Made made;
        std::size_t bytes = 0;
        std::atomic<std::int64_t> used{0};  // steady-clock ticks of its last use
    };
    using Entries =
        std::unordered_map<std::string, std::unique_ptr<Entry>, TextHash, std::equal_to<>>;
    mutable std::shared_mutex mutex_;
    mutable Entries entries_;
    mutable std::size_t bytes_ = 0;
};

// One programme as the players show it: its end is the listings' stop, or
// else the next programme's start, or else the end of its day.
struct PlayerProgramme {
    const Programme* programme;
    Seconds end;
};

// The bodies, apart from caching. `name` is echoed as the player sent it.
std::string diypBody(std::string_view name, const Date& day,
                     std::span<const PlayerProgramme> programmes, const Zone& zone);
std::string epginfoBody(std::string_view name, std::span<const PlayerProgramme> programmes,
                        const PlayerProgramme* onAir, const Zone& zone);

}  // namespace epg
