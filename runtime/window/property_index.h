// The property indexes of every unit and of each unit type. The runtime's
// property API takes the index (templates and programs address properties by
// number); these enums name the numbers once, for the runtime and programs.
#pragma once

#include <concepts>
#include <cstdint>
#include <type_traits>

namespace rt {

// 0..7: every unit and the window.
enum class CommonProperty : std::int32_t {
    Left = 0,
    Top = 1,
    Width = 2,
    Height = 3,
    Tag = 4,
    Visible = 5,
    Disabled = 6,
    Cursor = 7
};

// 8 and up: by type. Numbers a type skips are no property of it.
enum class WindowProperty : std::int32_t { Title = 8, BorderStyle = 9, Buttons = 10, Icon = 11 };

enum class GroupBoxProperty : std::int32_t {
    Caption = 8,
    Alignment = 9,
    TextColour = 10,
    BackgroundColour = 11
};

enum class LabelProperty : std::int32_t {
    Caption = 8,
    Effect = 9,
    Border = 10,
    BorderWidth = 11,
    BorderColour1 = 12,
    BorderColour2 = 13,
    BorderColour3 = 14,
    Options = 15,
    TextColour = 16,
    BackgroundColour = 17,
    HorizontalAlign = 18,
    VerticalAlign = 19
};

enum class SliderBarProperty : std::int32_t {
    Border = 8,
    Orientation = 9,
    TickStyle = 10,
    TickFrequency = 11,
    PageSize = 12,
    LineSize = 13,
    ShowSelection = 14,
    SelectionStart = 15,
    SelectionEnd = 16,
    Minimum = 17,
    Maximum = 18,
    Position = 19
};

enum class StatusBarProperty : std::int32_t { Settings = 8 };

enum class ListViewProperty : std::int32_t {
    ViewType = 8,
    Border = 9,
    IconAlignment = 10,
    SortOrder = 11,
    TextColour = 13,
    BackgroundColour = 14,
    TextBackgroundColour = 15,
    SingleSelection = 16,
    AlwaysShowSelection = 18,
    GridLines = 20,
    FullRowSelect = 21,
    CheckBoxes = 22,
    HeaderDragDrop = 23,
    HotTrack = 26,
    OneClickActivate = 27,
    TwoClickActivate = 28,
    UnderlineHot = 29,
    FlatScrollBars = 30,
    InfoTips = 31,
    LabelEditable = 32,
    HeaderHidden = 33,
    SelectWithFocus = 34,
    CurrentRow = 35,
    AutoArrange = 36
};

enum class OutlookBarProperty : std::int32_t {
    HeaderColour = 8,
    HeaderTextColour = 9,
    BackgroundColour = 10,
    ItemTextColour = 11,
    HeaderHeight = 12,
    ItemHeight = 13,
    CurrentGroup = 14,
    AnimationSteps = 15
};

enum class HtmlViewerProperty : std::int32_t {
    FontSize = 8,
    Offline = 9,
    Silent = 10,
    Address = 11,
    StatusText = 12,
    Caption = 13
};

template <class P>
concept PropertyName = std::same_as<P, CommonProperty> || std::same_as<P, WindowProperty> ||
    std::same_as<P, GroupBoxProperty> || std::same_as<P, LabelProperty> ||
    std::same_as<P, SliderBarProperty> || std::same_as<P, StatusBarProperty> ||
    std::same_as<P, ListViewProperty> || std::same_as<P, OutlookBarProperty> ||
    std::same_as<P, HtmlViewerProperty>;

template <PropertyName P>
constexpr std::int32_t propertyIndex(P property) {
    return static_cast<std::int32_t>(property);
}

}  // namespace rt
