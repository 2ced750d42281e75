// Everything the server serves for one set of listings, one week and one
// minute, rendered ahead of any request and never changed once published:
// requests read a snapshot, the renderer makes the next one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "server/model/listings.h"
#include "server/site/player_answers.h"
#include "server/site/playlist_pages.h"
#include "server/site/resource.h"

namespace epg {

// The day pages of one week and the XMLTV export of the same week.
// How much of a week a render makes. A server that has just started makes
// the pages of the first catalogue group (the one a guide opens with, and
// shows what is on now for) within milliseconds, then every day page without
// gzip twins, then the whole week with the XMLTV export, so that no early
// request waits for all of it.
enum class WeekScope { FirstGroup, DayPages, Whole };

struct WeekPages {
    Date monday;
    Date day;                    // the day it was rendered on: /epg.xml's days count from it
    Seconds from = 0, to = 0;    // the week's first instant and the next week's
    std::vector<Resource> days;  // [channel * 7 + weekday - 1]
    Resource xmltv;              // /epg.xml, with its gzip twin
    Resource xmltvGz;            // /epg.xml.gz: the twin as a file of its own
    std::size_t channelsWithListings = 0;
    WeekScope scope = WeekScope::Whole;
    bool complete() const { return scope == WeekScope::Whole; }
    bool holdsDaysOf(std::size_t channel) const;
};

struct Snapshot {
    std::uint64_t generation = 0;     // of the listings it was made from
    std::optional<Seconds> loadedAt;  // when they were loaded; none: nothing loaded yet
    std::shared_ptr<const WeekPages> week;
    Seconds bannerMinute = 0;
    std::shared_ptr<const Resource> banner;
    // The players' JSON answers of these listings (kept with the week's
    // pages), made on request; bannerMinute is their now.
    std::shared_ptr<const PlayerAnswers> players;
    // The household's playlists matched to these listings (none before the
    // whole week is rendered), of the playlists' generation given.
    std::shared_ptr<const PlaylistPages> playlists;
    std::uint64_t playlistGeneration = 0;
};

// The days /epg.xml holds at `now`: from `pastDays` before today to the last
// any listings may have; the made-up listings' week alone.
std::pair<Seconds, Seconds> xmltvDays(const Listings& listings, Seconds now, const Zone& zone,
                                      int pastDays);

// The week holding `now` on the zone's calendar. Last-Modified of every
// page is the later of loadedAt and the week's start. /epg.xml holds every
// day from `pastDays` days before `now`'s to the last the listings have.
std::shared_ptr<const WeekPages> renderWeek(const Listings& listings, Seconds now, const Zone& zone,
                                            Seconds loadedAt, WeekScope scope = WeekScope::Whole,
                                            int pastDays = 7);

// The banner of the minute holding `now` (its Last-Modified: the later of
// loadedAt and that minute).
std::shared_ptr<const Resource> renderBannerPage(const Listings& listings, Seconds now,
                                                 const Zone& zone, Seconds loadedAt);

}  // namespace epg
