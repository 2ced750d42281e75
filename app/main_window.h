// The guide's main window as its code addresses it: the embedded template
// block, and the ids generated from main_window.layout.
#pragma once

#include <cstdint>

#include "app/main_window_ids.h"
#include "mainWindowTemplateBlock.h"

namespace app::ui {

// 标签1 .. 标签7, for day 1 (Monday) .. 7 (Sunday); `day` must be in 1..7.
constexpr rt::ControlRef dayLabel(int day) {
    constexpr rt::ControlRef labels[] = {kDayLabel1, kDayLabel2, kDayLabel3, kDayLabel4,
                                         kDayLabel5, kDayLabel6, kDayLabel7};
    return labels[day - 1];
}

// Property indexes the guide reads and writes.
inline constexpr std::int32_t kLabelTextColour = 16;
inline constexpr std::int32_t kSliderPosition = 19;
inline constexpr std::int32_t kListCurrentRow = 35;
inline constexpr std::int32_t kMenuCurrentGroup = 14;

}  // namespace app::ui
