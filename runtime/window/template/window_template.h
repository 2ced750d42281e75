// The window template: the design-time description of every window and of
// each unit (the window's own unit and its controls), as the runtime reads it
// from the embedded block at start-up. Loading a window creates its units from
// these records, property reads of units not yet created answer from them, and
// event dispatch searches their event tables.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/values/value.h"

namespace rt {

// Unit types: (library number << 16) | unit number. The same value is the type
// code of a control argument.
namespace unit_type {
inline constexpr std::uint32_t kWindow = 0x10001;
inline constexpr std::uint32_t kMenuItem = 0x10003;
inline constexpr std::uint32_t kGroupBox = 0x10009;
inline constexpr std::uint32_t kLabel = 0x1000A;
inline constexpr std::uint32_t kSliderBar = 0x10014;
inline constexpr std::uint32_t kStatusBar = 0x20002;
inline constexpr std::uint32_t kListView = 0x20004;
inline constexpr std::uint32_t kOutlookBar = 0x30001;
inline constexpr std::uint32_t kHtmlViewer = 0x60001;
}  // namespace unit_type

// Bits of UnitRecord::flags.
namespace unit_flag {
inline constexpr std::uint32_t kVisible = 1u << 0;
inline constexpr std::uint32_t kDisabled = 1u << 1;
inline constexpr std::uint32_t kTabStop = 1u << 2;
}  // namespace unit_flag

inline constexpr std::uint32_t kCursorArrow = 0;     // the default pointer
inline constexpr std::uint32_t kCursorHand = 32649;  // system hand cursor
inline constexpr std::int32_t kNoHandler = -1;

// The fatal runtime-error message for a block that cannot be read.
inline constexpr std::string_view kTemplateLoadError =
    "载入窗口模板数据段出错!";  // UTF-8; rt::gbk() it

struct EventBinding {
    std::int32_t event = 0;             // negative: common mouse/keyboard events
    std::int32_t handler = kNoHandler;  // index into the program's handler table
    friend bool operator==(const EventBinding&, const EventBinding&) = default;
};

// A menu item's record holds three words and a caption after its name and
// comment; its one handler (its selection) is events[0] with event index 0.
struct MenuItemFields {
    std::uint32_t words[3] = {0, 0, 0};
    Text caption;
    friend bool operator==(const MenuItemFields&, const MenuItemFields&) = default;
};

struct UnitRecord {
    std::uint32_t id = 0;
    std::uint32_t type = 0;  // unit_type::k...
    std::uint32_t link = 0;  // copies: the unit id this one was copied from
    Text name;               // empty for the window's own unit
    Text comment;
    std::int32_t left = 0, top = 0, width = 0, height = 0;  // parent's client area
    std::uint32_t parent = 0;                               // 0 = the window itself
    std::vector<std::uint32_t> children;
    std::uint32_t cursor = kCursorArrow;
    Text tag;
    std::uint32_t flags = 0;  // unit_flag bits
    std::uint32_t tabOrder = 0;
    std::vector<EventBinding> events;
    Bytes typeData;                      // the type's own design values; empty = all defaults
    std::optional<MenuItemFields> menu;  // set only for unit_type::kMenuItem

    friend bool operator==(const UnitRecord&, const UnitRecord&) = default;
};

struct WindowEntry {
    std::uint32_t id = 0;
    std::array<std::uint32_t, 2> reservedWords{};  // kept for the runtime, never read
    std::array<Text, 2> reservedTexts;
    std::vector<UnitRecord> units;  // record order; the window's own unit first
    friend bool operator==(const WindowEntry&, const WindowEntry&) = default;
};

struct WindowTemplate {
    std::vector<WindowEntry> windows;
    friend bool operator==(const WindowTemplate&, const WindowTemplate&) = default;

    const WindowEntry* findWindow(std::uint32_t id) const;
};

// Finds a unit of a window by id; nullptr when absent.
const UnitRecord* findUnit(const WindowEntry& window, std::uint32_t unitId);

// The record of a copy made by the copy-control command: same type, geometry,
// parent, flags, cursor, tag and type data; link = the source's id; no
// children and no event bindings (the copy's events reach the source's
// handlers through the link).
UnitRecord copyForControl(const UnitRecord& source, std::uint32_t newId);

}  // namespace rt
