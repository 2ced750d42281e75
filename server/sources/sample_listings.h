// Invented listings for every catalogue channel, so the guide shows a filled
// schedule without any listings source. Deterministic: the same channel and
// date always give the same programmes, on any machine, in the zone they are
// made for. A broadcast day starts at 06:00 on the zone's clock and runs past midnight
// (news channels round the clock); a day page shows what starts on its date,
// so it opens with the small hours of the previous broadcast day.
#pragma once

#include <vector>

#include "server/model/listings.h"

namespace epg {

// One channel's broadcast day that starts on date d, in start order.
std::vector<Programme> sampleBroadcastDay(std::size_t channel, const Date& d, const Zone& zone);

class SampleListings final : public Listings {
  public:
    explicit SampleListings(Zone zone) : zone_(zone) {}
    std::vector<Programme> starting(std::size_t channel, Seconds from, Seconds to) const override;
    bool madeUp() const override { return true; }

  private:
    Zone zone_;
};

}  // namespace epg
