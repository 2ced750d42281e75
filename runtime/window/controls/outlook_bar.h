// Model of the roll-up menu: ordered groups, each showing one content control
// below the headers while it is the current group.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/template/type_data.h"

namespace rt {

struct OutlookGroup {
    Text title;
    std::int32_t image = 0;
    std::uint32_t content = 0;  // unit id of the content control
};

class OutlookBar {
  public:
    OutlookBar() = default;
    explicit OutlookBar(const OutlookBarData& designValues) : design(designValues) {}

    OutlookBarData design;  // colours, fonts, header and item heights

    const std::vector<OutlookGroup>& groups() const { return groups_; }

    // Property 14: the current group, -1 while there are no groups.
    std::int32_t currentGroup() const { return groups_.empty() ? -1 : current_; }

    // Inserts a group (omitted, negative or past-the-end position appends) and
    // keeps the same group current. Returns the index of the group that must
    // now be made current again; the caller checks the content first.
    std::int32_t addGroup(OutlookGroup group, std::optional<std::int32_t> position);

    // Removes a valid group and keeps the same group current; when that was
    // the removed one, the group before it (group 0 for the first). Returns
    // the group to make current again, -1 when none is left.
    std::int32_t removeGroup(std::int32_t index);

    bool holdsContent(std::uint32_t unit) const;
    Text groupTitle(std::int32_t index) const;

    bool validGroup(std::int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < groups_.size();
    }
    // Makes a valid group current; the caller hides and shows the contents.
    void setCurrent(std::int32_t index) { current_ = index; }

  private:
    std::vector<OutlookGroup> groups_;
    std::int32_t current_ = 0;
};

}  // namespace rt
