// A live unit of a loaded window: the common state every control and the
// window share (geometry, visibility, z-ordered children) and the model of its
// type. The runtime owns controls; backends only read them.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "runtime/window/controls/html_viewer.h"
#include "runtime/window/controls/list_view.h"
#include "runtime/window/controls/outlook_bar.h"
#include "runtime/window/controls/slider_bar.h"
#include "runtime/window/controls/status_bar.h"
#include "runtime/window/template/type_data.h"

namespace rt {

// Window, GroupBox and Label need nothing beyond their design values.
using ControlModel = std::variant<std::monostate, WindowData, GroupBoxData, LabelData, SliderBar,
                                  StatusBar, ListView, OutlookBar, HtmlViewer>;

struct Control {
    std::uint32_t window = 0;
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::uint32_t parent = 0;  // 0 = the window's own unit
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool disabled = false;
    bool tabStop = false;
    std::uint32_t cursor = 0;             // 0 arrow, else a system cursor number
    std::vector<std::uint32_t> children;  // z-order, top first (also the creation and tab order)
    ControlModel model;
    // How many mouse and key messages the control processed itself (those a
    // handler did not suppress).
    int ownInputProcessed = 0;

    template <class M>
    M* as() {
        return std::get_if<M>(&model);
    }
    template <class M>
    const M* as() const {
        return std::get_if<M>(&model);
    }
};

// What changed in a control, so a display can sync just that.
enum class Change {
    Geometry,
    Visible,
    Disabled,
    Parent,
    Children,  // the control moved into another parent
    Caption,
    Colours,  // window title, label/group captions, colours
    Rows,
    Columns,
    Selection,  // ListView
    Marks,      // ListView marked row
    Scroll,     // ListView row to bring into view
    Groups,
    CurrentGroup,  // OutlookBar
    Parts,         // StatusBar
    Slider,        // SliderBar range or position
    Page,          // HtmlViewer address
    Other,
};

}  // namespace rt
