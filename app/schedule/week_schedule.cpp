#include "app/schedule/week_schedule.h"

namespace app::schedule {

void WeekSchedule::put(std::shared_ptr<const ChannelDay> day) {
    if (!day) return;
    auto key = std::make_pair(day->channel, day->day);
    days_[std::move(key)] = std::move(day);
}

const ChannelDay* WeekSchedule::find(std::string_view channel, int day) const {
    const auto it = days_.find(std::make_pair(std::string(channel), day));
    return it == days_.end() ? nullptr : it->second.get();
}

}  // namespace app::schedule
