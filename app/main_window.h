// The controls of the guide's main window the guide's code addresses, by the
// unit ids of the window template.
#pragma once

#include <cstdint>

#include "runtime/window/template/window_template.h"
#include "runtime/window/unit_types.h"

namespace app::ui {

constexpr rt::ControlRef unit(std::uint32_t id) {
    return {rt::kMainWindowId, id};
}

inline constexpr rt::ControlRef kChannelList = unit(0x16011BBC);  // 超级列表框中央
inline constexpr rt::ControlRef kGroupMenu = unit(0x16011BBB);    // 卷帘式菜单
inline constexpr rt::ControlRef kDaySlider = unit(0x16011B63);    // 滑块条1
inline constexpr rt::ControlRef kProgramList = unit(0x16011B4C);  // 超级列表框节目
inline constexpr rt::ControlRef kStatusBar = unit(0x16010003);    // 状态条1

// 标签1 .. 标签7, day 1 (Monday) .. 7 (Sunday).
constexpr rt::ControlRef dayLabel(int day) {
    return unit(0x16011B5C + static_cast<std::uint32_t>(day - 1));
}

// Property indexes the guide reads and writes.
inline constexpr std::int32_t kLabelTextColour = 16;
inline constexpr std::int32_t kSliderPosition = 19;
inline constexpr std::int32_t kListCurrentRow = 35;
inline constexpr std::int32_t kMenuCurrentGroup = 14;

}  // namespace app::ui
