// Which unit types are windows and copyable controls, the pair that names one
// control, and the indexes of the common events.
#pragma once

#include <cstdint>

#include "runtime/window/template/window_template.h"

namespace rt {

namespace unit_type {
// Types that own a native window and so may raise events.
constexpr bool isWindowUnit(std::uint32_t type) {
    switch (type) {
        case kWindow:
        case kMenuItem:
        case kGroupBox:
        case kLabel:
        case kSliderBar:
        case kStatusBar:
        case kListView:
        case kOutlookBar:
        case kHtmlViewer: return true;
        default: return false;
    }
}

// Controls the copy command can clone: every window unit except the window
// itself and menu items.
constexpr bool isCopyableControl(std::uint32_t type) {
    return isWindowUnit(type) && type != kWindow && type != kMenuItem;
}
}  // namespace unit_type

// A control as a program's code names it. Unit id 0 means the window's own unit.
struct ControlRef {
    std::uint32_t window = 0;
    std::uint32_t unit = 0;
    friend bool operator==(const ControlRef&, const ControlRef&) = default;
};

// A control argument or control variable: the reference and its declared type.
struct TypedControlRef {
    ControlRef ref;
    std::uint32_t type = 0;
};

// Common event indexes (raised for every control and the window).
namespace event {
inline constexpr int kLeftDown = -1;
inline constexpr int kLeftUp = -2;
inline constexpr int kLeftDoubleClick = -3;
inline constexpr int kRightDown = -4;
inline constexpr int kRightUp = -5;
inline constexpr int kMouseMove = -6;
inline constexpr int kFocusGained = -7;
inline constexpr int kFocusLost = -8;
inline constexpr int kKeyDown = -9;
inline constexpr int kKeyUp = -10;
inline constexpr int kCharacter = -11;
inline constexpr int kWheel = -12;
// Type-specific ones.
inline constexpr int kCreated = 0;            // window
inline constexpr int kCurrentRowChanged = 0;  // ListView
inline constexpr int kRowActivated = 1;       // ListView
inline constexpr int kGroupOpened = 1;        // OutlookBar
}  // namespace event

// Key-state bits of mouse and key events.
namespace key_state {
inline constexpr int kCtrl = 1;
inline constexpr int kShift = 2;
inline constexpr int kAlt = 4;
}  // namespace key_state

}  // namespace rt
