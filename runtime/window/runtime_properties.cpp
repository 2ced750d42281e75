// Runtime: property reads and writes by (window id, unit id, index).
#include "runtime/values/gbk.h"
#include "runtime/window/runtime.h"
#include "runtime/window/type_properties.h"

namespace rt {
namespace {

Bytes cursorBytes(std::uint32_t cursor) {
    return Bytes{static_cast<std::uint8_t>(cursor), static_cast<std::uint8_t>(cursor >> 8),
                 static_cast<std::uint8_t>(cursor >> 16), static_cast<std::uint8_t>(cursor >> 24)};
}

std::uint32_t cursorFromBytes(const Bytes& b) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < b.size(); ++i)
        v |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    return v;
}

void setFlag(std::uint32_t& flags, std::uint32_t bit, bool on) {
    flags = on ? (flags | bit) : (flags & ~bit);
}

}  // namespace

PropertyValue Runtime::readProperty(ControlRef ref, std::int32_t index,
                                    std::int32_t /*arrayIndex*/) {
    Window* w = findWindow(ref.window);
    if (!w) fatal(std::nullopt, gbk("未载入欲访问窗口组件所在的窗口"));
    Unit* u = findUnit(*w, ref.unit);
    if (!u) fatal(std::nullopt, gbk("指定窗口或窗口组件不存在或尚未载入"));
    const UnitRecord& rec = u->record;
    const Control* c = w->loaded ? u->live.get() : nullptr;
    using P = CommonProperty;
    switch (static_cast<P>(index)) {
        case P::Left: return c ? c->left : rec.left;
        case P::Top: return c ? c->top : rec.top;
        case P::Width: return c ? c->width : rec.width;
        case P::Height: return c ? c->height : rec.height;
        case P::Tag: return rec.tag;
        case P::Visible: return c ? c->visible : (rec.flags & unit_flag::kVisible) != 0;
        case P::Disabled: return c ? c->disabled : (rec.flags & unit_flag::kDisabled) != 0;
        case P::Cursor: return cursorBytes(c ? c->cursor : rec.cursor);
        default: break;
    }
    if (!c) fatal(std::nullopt, gbk("指定窗口尚未载入"));
    return readTypeProperty(*c, index);
}

void Runtime::writeProperty(ControlRef ref, std::int32_t index, const PropertyValue& value,
                            std::int32_t /*arrayIndex*/) {
    Window* w = findWindow(ref.window);
    if (!w) fatal(std::nullopt, gbk("未载入欲访问窗口组件所在的窗口"));
    Unit* u = findUnit(*w, ref.unit);
    if (!u) fatal(std::nullopt, gbk("指定窗口或窗口组件不存在或尚未载入"));
    UnitRecord& rec = u->record;
    Control* c = w->loaded ? u->live.get() : nullptr;
    // Before the window exists, common properties go into the record so the
    // control is created with them.
    using P = CommonProperty;
    switch (static_cast<P>(index)) {
        case P::Left:
        case P::Top:
        case P::Width:
        case P::Height: {
            const std::int32_t v = toInt(value);
            std::int32_t* target[] = {c ? &c->left : &rec.left, c ? &c->top : &rec.top,
                                      c ? &c->width : &rec.width, c ? &c->height : &rec.height};
            *target[index - propertyIndex(P::Left)] = v;
            if (c) changed(*c, Change::Geometry);
            return;
        }
        case P::Tag: rec.tag = toText(value); return;
        case P::Visible:
            if (c) {
                c->visible = toBool(value);
                changed(*c, Change::Visible);
            } else
                setFlag(rec.flags, unit_flag::kVisible, toBool(value));
            return;
        case P::Disabled:
            if (c) {
                c->disabled = toBool(value);
                changed(*c, Change::Disabled);
            } else
                setFlag(rec.flags, unit_flag::kDisabled, toBool(value));
            return;
        case P::Cursor:
            if (c) {
                c->cursor = cursorFromBytes(toBytes(value));
                changed(*c, Change::Other);
            } else
                rec.cursor = cursorFromBytes(toBytes(value));
            return;
        default: break;
    }
    if (!c) fatal(std::nullopt, gbk("指定窗口尚未载入"));
    if (auto* lv = c->as<ListView>(); lv && index == propertyIndex(ListViewProperty::CurrentRow)) {
        // Writing the current row selects it like the select-row command; a
        // negative row clears the selection.
        if (toInt(value) >= 0)
            listSelectRow(ref, toInt(value));
        else {
            lv->click(-1);
            changed(*c, Change::Selection);
        }
        return;
    }
    if (c->as<OutlookBar>() && index == propertyIndex(OutlookBarProperty::CurrentGroup)) {
        openGroup(ref, toInt(value));
        return;
    }
    if (auto what = writeTypeProperty(*c, index, value)) changed(*c, *what);
}

}  // namespace rt
