// What the server knows about programmes: per catalogue channel, a list of
// programmes in start order. Titles and descriptions are UTF-8 here, as XMLTV
// carries them; the page renderer turns them into GBK.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "server/util/civil_time.h"

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

// Puts one channel's programmes in start order (of two at the same start the
// first one stays) and fills missing or nonsense stop times from the next
// start.
void putInOrder(std::vector<Programme>& programmes);

// Listings held in memory, as read from XMLTV files. A channel's list may be
// shared with whoever else holds it (a parsed document), never copied.
class StoredListings final : public Listings {
  public:
    StoredListings();
    // Adds a programme; call finish() once all are in.
    void add(std::size_t channel, Programme p);
    // A list already put in order, used as it is.
    void share(std::size_t channel, std::shared_ptr<const std::vector<Programme>> programmes);
    // Puts every channel in order, a shared list's programmes before those
    // added.
    void finish();
    std::vector<Programme> starting(std::size_t channel, Seconds from, Seconds to) const override;
    std::size_t programmeCount() const;

  private:
    std::vector<std::shared_ptr<const std::vector<Programme>>> lists_;
    std::vector<std::vector<Programme>> added_;  // until finish()
};

}  // namespace epg
