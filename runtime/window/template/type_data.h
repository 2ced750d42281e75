// Typed views of a unit's type data: the design values each unit type keeps
// in its record. decode*() of an empty block gives the type's defaults (the
// struct's initialisers); a malformed block gives nothing. encode() writes the
// full block, so decode(encode(x)) == x. Colours are 0x00BBGGRR words. Texts
// inside these blocks are cut at a NUL, as every Text is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "runtime/values/value.h"

namespace rt {

using ByteView = std::span<const std::uint8_t>;

inline constexpr std::uint32_t kColourTransparent = 0xFF000000;  // parent shows through
inline constexpr std::uint32_t kColourBlack = 0x000000;
inline constexpr std::uint32_t kColourWhite = 0xFFFFFF;

// 60 bytes on disk; the face name is at most 31 bytes (longer is cut).
struct FontRecord {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 400;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, charset = 0;
    std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    Text faceName;
    friend bool operator==(const FontRecord&, const FontRecord&) = default;
};
inline constexpr std::uint8_t kCharsetGb2312 = 134;
inline constexpr std::int32_t kWeightBold = 700;

struct WindowData {
    std::uint32_t borderStyle = 1;  // 0 none, 1 fixed single, 2 sizeable
    std::uint32_t buttons = 0x5;    // bit0 close/system menu, bit1 maximise, bit2 minimise
    Bytes icon;                     // a complete .ico file; empty = none
    Text title;
    friend bool operator==(const WindowData&, const WindowData&) = default;
};

struct GroupBoxData {
    Text caption;
    std::uint32_t alignment = 0;  // 0 left, 1 centre, 2 right
    std::uint32_t textColour = kColourBlack;
    std::uint32_t backgroundColour = kColourTransparent;
    std::optional<FontRecord> font;  // nothing = the default font
    friend bool operator==(const GroupBoxData&, const GroupBoxData&) = default;
};

struct LabelData {
    std::int32_t effect = 0;                                                      // property 9
    std::int32_t borderWidth = 0;                                                 // property 11
    std::int32_t border = 0;                                                      // property 10
    std::uint32_t borderColours[3] = {kColourBlack, kColourBlack, kColourBlack};  // 12..14
    std::uint32_t textColour = kColourBlack;                                      // property 16
    std::uint32_t backgroundColour = kColourTransparent;                          // property 17
    std::uint32_t options = 0;                                                    // bit0 word wrap
    Text caption;
    std::int32_t horizontalAlign = 0, verticalAlign = 0;  // 0 left/top, 1 centre, 2 right/bottom
    friend bool operator==(const LabelData&, const LabelData&) = default;
};

struct SliderBarData {  // properties 8..19 in index order
    std::int32_t border = 0, orientation = 0, tickStyle = 1, tickFrequency = 1;
    std::int32_t pageSize = 1, lineSize = 1, showSelection = 0, selectionStart = 0,
                 selectionEnd = 0;
    std::int32_t minimum = 0, maximum = 10, position = 0;  // 17, 18, 19
    friend bool operator==(const SliderBarData&, const SliderBarData&) = default;
};

struct HtmlViewerData {
    std::int32_t fontSize = 2;  // 0 smallest .. 4 largest; 2 is the middle size
    std::int32_t offline = 0, silent = 0;
    Text startAddress;
    friend bool operator==(const HtmlViewerData&, const HtmlViewerData&) = default;
};

struct StatusPart {
    std::int32_t width = 100;
    std::int32_t borderStyle = 0;  // 0 sunken, 1 none, 2 raised
    std::int32_t image = -1;       // -1 none
    Text text, tip;
    friend bool operator==(const StatusPart&, const StatusPart&) = default;
};
struct StatusBarData {
    std::uint32_t settings = 0;  // bit0 size grip
    std::vector<StatusPart> parts;
    friend bool operator==(const StatusBarData&, const StatusBarData&) = default;
};

struct ListColumn {
    std::uint8_t flags = 0;
    std::int32_t image = -1, alignment = 0, width = 100;  // alignment 0 left, 1 right, 2 centre
    Text title;
    friend bool operator==(const ListColumn&, const ListColumn&) = default;
};
struct ListRow {
    std::uint8_t flags = 0;
    std::int32_t image = -1, stateImage = 0, indent = 0;  // stateImage 0 = none, else index + 1
    std::uint32_t itemData = 0;
    Text title;  // column 0's text
    friend bool operator==(const ListRow&, const ListRow&) = default;
};
struct ListViewData {
    // Stored in this order: 8, 9, 10, 11, 13, 14, 15, 16, 18, 20..23, 26..36.
    std::int32_t viewType = 3;  // 8: 0 icons, 1 small icons, 2 list, 3 report
    std::int32_t border = 1, iconAlignment = 0, sortOrder = 0;                          // 9, 10, 11
    std::uint32_t textColour = kColourBlack, backgroundColour = kColourWhite;           // 13, 14
    std::uint32_t textBackgroundColour = kColourWhite;                                  // 15
    std::int32_t singleSelection = 1, alwaysShowSelection = 1;                          // 16, 18
    std::int32_t gridLines = 0, fullRowSelect = 1, checkBoxes = 0, headerDragDrop = 0;  // 20..23
    std::int32_t hotTrack = 0, oneClickActivate = 0, twoClickActivate = 0;              // 26..28
    std::int32_t underlineHot = 0, flatScrollBars = 0, infoTips = 0;                    // 29..31
    std::int32_t labelEditable = 0, headerHidden = 0;                                   // 32, 33
    std::int32_t selectWithFocus = 0;                                                   // 34
    std::int32_t currentRow = -1;                                                       // 35
    std::int32_t autoArrange = 0;                                                       // 36
    std::optional<FontRecord> font;  // nothing = the default font
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;  // preset rows
    friend bool operator==(const ListViewData&, const ListViewData&) = default;
};

struct OutlookBarData {  // no version word, no groups
    std::uint32_t headerColour = 0xC8C8C8, headerTextColour = kColourBlack;
    std::uint32_t backgroundColour = kColourWhite, itemTextColour = kColourBlack;
    FontRecord headerFont, itemFont;
    std::int32_t headerHeight = 22, itemHeight = 18, animationSteps = 8;
    friend bool operator==(const OutlookBarData&, const OutlookBarData&) = default;
};

std::optional<WindowData> decodeWindowData(ByteView block);
std::optional<GroupBoxData> decodeGroupBoxData(ByteView block);
std::optional<LabelData> decodeLabelData(ByteView block);
std::optional<SliderBarData> decodeSliderBarData(ByteView block);
std::optional<HtmlViewerData> decodeHtmlViewerData(ByteView block);
std::optional<StatusBarData> decodeStatusBarData(ByteView block);
std::optional<ListViewData> decodeListViewData(ByteView block);
std::optional<OutlookBarData> decodeOutlookBarData(ByteView block);

Bytes encode(const WindowData&);
Bytes encode(const GroupBoxData&);
Bytes encode(const LabelData&);
Bytes encode(const SliderBarData&);
Bytes encode(const HtmlViewerData&);
Bytes encode(const StatusBarData&);
Bytes encode(const ListViewData&);
Bytes encode(const OutlookBarData&);

// Whether a block decodes for the given unit type (unknown types: always).
bool typeDataValid(std::uint32_t unitType, ByteView block);

}  // namespace rt
