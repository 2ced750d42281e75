// The guide's main window as its code addresses it: the embedded template
// block, and the ids generated from main_window.layout.
#pragma once

#include "app/window/main_window_ids.h"
#include "mainWindowTemplateBlock.h"

namespace app::ui {

// 标签1 .. 标签7, for day 1 (Monday) .. 7 (Sunday); `day` must be in 1..7.
constexpr rt::ControlRef dayLabel(int day) {
    constexpr rt::ControlRef labels[] = {kDayLabel1, kDayLabel2, kDayLabel3, kDayLabel4,
                                         kDayLabel5, kDayLabel6, kDayLabel7};
    return labels[day - 1];
}

}  // namespace app::ui
