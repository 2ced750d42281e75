#include "app/schedule/reminders.h"

#include <algorithm>
#include <tuple>

#include "app/schedule/catalogue_place.h"

namespace app::schedule {

bool Reminders::add(Reminder reminder, std::int64_t now) {
    if (reminder.start <= now || !findInCatalogue(reminder.channel)) return false;
    const auto before = [](const Reminder& a, const Reminder& b) {
        return std::tie(a.start, a.channel) < std::tie(b.start, b.channel);
    };
    const auto at = std::lower_bound(reminders_.begin(), reminders_.end(), reminder, before);
    if (at != reminders_.end() && at->start == reminder.start && at->channel == reminder.channel)
        return false;
    reminders_.insert(at, std::move(reminder));
    return true;
}

bool Reminders::remove(std::string_view channel, std::int64_t start) {
    return std::erase_if(reminders_, [&](const Reminder& r) {
               return r.start == start && r.channel == channel;
           }) > 0;
}

std::vector<Reminder> Reminders::takeDue(std::int64_t now, std::chrono::minutes lead) {
    std::erase_if(reminders_, [&](const Reminder& r) { return r.start <= now; });
    std::vector<Reminder> due;
    const std::int64_t leadSeconds = std::chrono::seconds(lead).count();
    for (Reminder& r : reminders_) {
        if (r.notified || r.start - leadSeconds > now) continue;
        r.notified = true;
        due.push_back(r);
    }
    return due;
}

}  // namespace app::schedule
