// Reminders of programmes: a timer per programme that fires `lead` minutes
// before its start, once, and is gone once the programme has started.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/values/value.h"

namespace app::schedule {

struct Reminder {
    std::string channel;     // catalogue path
    std::int64_t start = 0;  // Unix seconds
    rt::Text title;          // GBK, as the list shows it
    bool notified = false;
    friend bool operator==(const Reminder&, const Reminder&) = default;
};

class Reminders {
  public:
    // False, and nothing set, when the programme has started by `now`, the
    // catalogue does not list the channel, or that channel and start has
    // one already.
    bool add(Reminder reminder, std::int64_t now);
    bool remove(std::string_view channel, std::int64_t start);
    // By start, then channel.
    const std::vector<Reminder>& all() const { return reminders_; }

    // At `now`: drops the reminders whose programme has started, then marks
    // and returns those due (`lead` or less before the start) that were not
    // returned before.
    std::vector<Reminder> takeDue(std::int64_t now, std::chrono::minutes lead);

  private:
    std::vector<Reminder> reminders_;
};

}  // namespace app::schedule
