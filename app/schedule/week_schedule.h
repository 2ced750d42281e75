// The channel-days at hand, by channel and day: what the queries run over.
// A copy is cheap (the days are shared) and never changes under its reader.
#pragma once

#include <compare>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "app/schedule/channel_day.h"

namespace app::schedule {

struct PageKey {
    std::string channel;  // catalogue path
    int day = 0;          // 1..7
    friend auto operator<=>(const PageKey&, const PageKey&) = default;
};

class WeekSchedule {
  public:
    // Replaces any day held under the same channel and day.
    void put(std::shared_ptr<const ChannelDay> day);
    // Null when that page is not held.
    const ChannelDay* find(std::string_view channel, int day) const;
    std::size_t size() const { return days_.size(); }

  private:
    std::map<std::pair<std::string, int>, std::shared_ptr<const ChannelDay>> days_;
};

}  // namespace app::schedule
