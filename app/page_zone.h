// The zone the EPG pages are written in. Which programme is on air, and when
// the day of the pages ends, is read on their clock; the weekday labels and
// the date in the status bar keep the computer's own.
#pragma once

#include <optional>
#include <string>

#include "runtime/values/value.h"

namespace date {
class time_zone;
}

namespace app {

inline constexpr const char* kDefaultPageZone = "Asia/Shanghai";

class PageZone {
  public:
    // Nothing for a name the time-zone database does not know.
    static std::optional<PageZone> named(const std::string& name);
    // The computer's own zone, for a machine without a time-zone database.
    static PageZone local() { return PageZone("local time", nullptr); }

    const std::string& name() const { return name_; }

    // The wall-clock time in this zone at the moment the computer's local
    // clock (the guide's clock, which honours TZ) reads `hostLocal`.
    rt::DateTime fromHostLocal(rt::DateTime hostLocal) const;

  private:
    PageZone(std::string name, const date::time_zone* zone) : name_(std::move(name)), zone_(zone) {}
    std::string name_;
    const date::time_zone* zone_;  // null: the computer's own
};

}  // namespace app
