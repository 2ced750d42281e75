// Invented listings for every catalogue channel, so the guide shows a filled
// schedule without any listings source. Deterministic: the same channel and
// date always give the same programmes, on any machine (given the same time
// zone). A broadcast day starts at 06:00 local time and runs past midnight
// (news channels round the clock); a day page shows what starts on its date,
// so it opens with the small hours of the previous broadcast day.
#pragma once

#include <vector>

#include "server/listings.h"

namespace epg {

// One channel's broadcast day that starts on date d, in start order.
std::vector<Programme> sampleBroadcastDay(std::size_t channel, const Date& d);

class SampleListings final : public Listings {
  public:
    std::vector<Programme> starting(std::size_t channel, Seconds from, Seconds to) const override;
};

}  // namespace epg
