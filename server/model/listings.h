// What the server knows about programmes: per catalogue channel, a list of
// programmes in start order. Titles and descriptions are UTF-8 here, as XMLTV
// carries them; the page renderer turns them into GBK.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/util/civil_time.h"

namespace epg {

struct Programme {
    Seconds start = 0;
    Seconds stop = 0;  // 0 = not known
    std::string title;
    std::string description;  // empty = none
    std::string category;     // the feed's first, in its language; empty = none
    friend bool operator==(const Programme&, const Programme&) = default;
};

class ChannelIndex;
class Schedule;

// A channel the sources carry that no catalogue row takes (CCTV-17, a
// province's second channel, an English channel...): players are given its
// guide too.
struct OtherChannel {
    std::string id;                  // in XMLTV out (otherChannelId)
    std::vector<std::string> names;  // every name a player may look it up by
    std::string icon;                // the feed's, or empty
    std::shared_ptr<const Schedule> schedule;
};

// Channels are numbered by their position in the catalogue (group by group,
// row by row), 0 .. channelCount() - 1.
class Listings {
  public:
    virtual ~Listings() = default;
    // Programmes of one channel starting in [from, to), in start order.
    virtual std::vector<Programme> starting(std::size_t channel, Seconds from,
                                            Seconds to) const = 0;
    // Every channel of the sources by name, catalogue row or not (null for
    // listings not read from sources).
    virtual const ChannelIndex* channels() const { return nullptr; }
    // The display names the sources give a catalogue channel's candidates,
    // each once (none for listings not read from sources).
    virtual std::span<const std::string> feedNames(std::size_t /*channel*/) const { return {}; }
    // Made-up listings, which the banner says are not a real schedule.
    virtual bool madeUp() const { return false; }
    // A catalogue channel's icon, as its feed gives it; empty for none.
    virtual std::string_view icon(std::size_t /*channel*/) const { return {}; }
    // The channels of the sources that no catalogue row takes.
    virtual std::span<const OtherChannel> others() const { return {}; }
};

// Puts one channel's programmes in start order and keeps one of two at the
// same start (one with a length over one that lasts no time, else the
// first). A stop the feed gives is kept (a zero-length programme stays
// one); a missing or nonsense stop is the next start, unless that is more
// than 12 hours away: a gap in the listings stays a gap.
void putInOrder(std::vector<Programme>& programmes);

// The longest a programme without a stop is taken to run to the next start.
inline constexpr Seconds kLongestGuess = 12 * 3600;
// Where a programme is taken to end when a player or the banner needs an
// end: its stop; else the next start (when known and within kLongestGuess);
// else two hours after its start.
Seconds endOf(const Programme& p, Seconds nextStart = 0);

// One channel's programmes in start order, held as runs of lists that live
// elsewhere (a parsed document's): a day taken from one of a channel's
// sources is a run of that source's list, never a copy. Holds what it points
// into alive.
class Schedule {
  public:
    Schedule() = default;
    // A whole list in order (see putInOrder()).
    explicit Schedule(std::shared_ptr<const std::vector<Programme>> list);
    // Adds a run of programmes in order, all starting after those added
    // before; `owner` keeps them alive.
    void append(std::span<const Programme> run, std::shared_ptr<const void> owner);
    // Programmes starting in [from, to), in start order.
    std::vector<Programme> starting(Seconds from, Seconds to) const;
    // The same without a copy: the runs that hold them.
    std::vector<std::span<const Programme>> runs(Seconds from, Seconds to) const;
    std::size_t size() const;
    bool empty() const { return runs_.empty(); }

  private:
    std::vector<std::span<const Programme>> runs_;
    std::vector<std::shared_ptr<const void>> owners_;
};

// Listings held in memory, as read from XMLTV files: a schedule per catalogue
// channel, and the index of every channel the sources carry.
class StoredListings final : public Listings {
  public:
    StoredListings();
    // Adds a programme; call finish() once all are in.
    void add(std::size_t channel, Programme p);
    void set(std::size_t channel, Schedule schedule);
    // Puts every channel in order, a set schedule's programmes before those
    // added.
    void finish();
    std::vector<Programme> starting(std::size_t channel, Seconds from, Seconds to) const override;
    std::size_t programmeCount() const;
    const ChannelIndex* channels() const override { return index_.get(); }
    void setChannels(std::shared_ptr<const ChannelIndex> index) { index_ = std::move(index); }
    std::span<const std::string> feedNames(std::size_t channel) const override;
    void setFeedNames(std::size_t channel, std::vector<std::string> names);
    std::string_view icon(std::size_t channel) const override;
    void setIcon(std::size_t channel, std::string icon);
    std::span<const OtherChannel> others() const override { return others_; }
    void setOthers(std::vector<OtherChannel> others) { others_ = std::move(others); }

  private:
    std::vector<Schedule> schedules_;
    std::vector<std::vector<std::string>> feedNames_;  // by channel, once set
    std::vector<std::string> icons_;                   // by channel, once set
    std::vector<OtherChannel> others_;
    std::vector<std::vector<Programme>> added_;  // until finish()
    std::shared_ptr<const ChannelIndex> index_;
};

}  // namespace epg
