// Model of a status bar: an ordered list of parts (rt::StatusPart of the
// template: width, border style, image, text, tip).
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/values/value.h"
#include "runtime/window/template/type_data.h"

namespace rt {

class StatusBar {
  public:
    StatusBar() = default;
    explicit StatusBar(StatusBarData design)
        : settings(design.settings), parts(std::move(design.parts)) {}

    std::uint32_t settings = 0;  // property 8; bit 0 size grip
    std::vector<StatusPart> parts;

    // A part index outside the list does nothing; an empty text clears.
    bool setPartText(std::int32_t index, Text text) {
        if (index < 0 || static_cast<std::size_t>(index) >= parts.size()) return false;
        parts[static_cast<std::size_t>(index)].text = std::move(text);
        return true;
    }
};

}  // namespace rt
