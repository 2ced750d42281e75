#include "runtime/window/controls/outlook_bar.h"

namespace rt {

std::int32_t OutlookBar::addGroup(OutlookGroup group, std::optional<std::int32_t> position) {
    std::size_t at = groups_.size();
    if (position && *position >= 0 && static_cast<std::size_t>(*position) < groups_.size())
        at = static_cast<std::size_t>(*position);
    // Shifting only makes sense when a group already is current: in an empty
    // bar the first group, wherever it goes, becomes group 0.
    if (!groups_.empty() && static_cast<std::int32_t>(at) <= current_) ++current_;
    groups_.insert(groups_.begin() + static_cast<std::ptrdiff_t>(at), std::move(group));
    if (groups_.size() == 1) current_ = 0;
    return current_;
}

std::int32_t OutlookBar::removeGroup(std::int32_t index) {
    if (!validGroup(index)) return currentGroup();
    groups_.erase(groups_.begin() + index);
    if (index < current_ || (index == current_ && current_ > 0)) --current_;
    return currentGroup();
}

bool OutlookBar::holdsContent(std::uint32_t unit) const {
    for (const auto& g : groups_)
        if (g.content == unit) return true;
    return false;
}

Text OutlookBar::groupTitle(std::int32_t index) const {
    if (!validGroup(index)) return {};
    return groups_[static_cast<std::size_t>(index)].title;
}

}  // namespace rt
