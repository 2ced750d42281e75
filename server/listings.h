// What the server knows about programmes: per catalogue channel, a list of
// programmes in start order. Titles and descriptions are UTF-8 here, as XMLTV
// carries them; the page renderer turns them into GBK.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "server/civil_time.h"

namespace epg {

struct Programme {
    Seconds start = 0;
    Seconds stop = 0;  // 0 = not known
    std::string title;
    std::string description;  // empty = none
    friend bool operator==(const Programme&, const Programme&) = default;
};

// Channels are numbered by their position in the catalogue (group by group,
// row by row), 0 .. channelCount() - 1.
class Listings {
  public:
    virtual ~Listings() = default;
    // Programmes of one channel starting in [from, to), in start order.
    virtual std::vector<Programme> starting(std::size_t channel, Seconds from,
                                            Seconds to) const = 0;
};

// Listings held in memory, as read from XMLTV files.
class StoredListings final : public Listings {
  public:
    StoredListings();
    // Adds a programme; call finish() once all are in.
    void add(std::size_t channel, Programme p);
    // Sorts each channel by start, drops repeats of a start time (the first
    // one added wins) and fills missing stop times from the next start.
    void finish();
    std::vector<Programme> starting(std::size_t channel, Seconds from, Seconds to) const override;
    std::size_t programmeCount() const;

  private:
    std::vector<std::vector<Programme>> channels_;
};

}  // namespace epg
