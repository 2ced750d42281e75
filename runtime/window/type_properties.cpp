#include "runtime/window/type_properties.h"

namespace rt {
namespace {

// Where one property lives in a model. Exactly one pointer is set.
struct Slot {
    PropertyType type = PropertyType::Int;
    std::int32_t* i = nullptr;
    std::uint32_t* u = nullptr;
    Text* t = nullptr;
    Bytes* b = nullptr;
    Change change = Change::Other;
    bool readOnly = false;
};

Slot num(PropertyType type, std::int32_t& v, Change ch = Change::Other) {
    return Slot{type, &v, nullptr, nullptr, nullptr, ch};
}
Slot num(PropertyType type, std::uint32_t& v, Change ch = Change::Other) {
    return Slot{type, nullptr, &v, nullptr, nullptr, ch};
}
Slot text(Text& v, Change ch, bool readOnly = false) {
    return Slot{PropertyType::Text, nullptr, nullptr, &v, nullptr, ch, readOnly};
}

constexpr auto kInt = PropertyType::Int;
constexpr auto kBool = PropertyType::Bool;
constexpr auto kColour = PropertyType::Colour;

std::optional<Slot> slotOf(Control& c, std::int32_t index) {
    if (auto* w = c.as<WindowData>()) {
        switch (index) {
            case 8: return text(w->title, Change::Caption);
            case 9: return num(kInt, w->borderStyle);
            case 10: return num(kInt, w->buttons);
            case 11:
                return Slot{PropertyType::Bytes, nullptr, nullptr, nullptr, &w->icon,
                            Change::Other};
        }
    } else if (auto* g = c.as<GroupBoxData>()) {
        switch (index) {
            case 8: return text(g->caption, Change::Caption);
            case 9: return num(kInt, g->alignment, Change::Caption);
            case 10: return num(kColour, g->textColour, Change::Colours);
            case 11: return num(kColour, g->backgroundColour, Change::Colours);
        }
    } else if (auto* l = c.as<LabelData>()) {
        switch (index) {
            case 8: return text(l->caption, Change::Caption);
            case 9: return num(kInt, l->effect, Change::Colours);
            case 10: return num(kInt, l->border, Change::Colours);
            case 11: return num(kInt, l->borderWidth, Change::Colours);
            case 12:
            case 13:
            case 14: return num(kColour, l->borderColours[index - 12], Change::Colours);
            case 15: return num(kInt, l->options, Change::Caption);
            case 16: return num(kColour, l->textColour, Change::Colours);
            case 17: return num(kColour, l->backgroundColour, Change::Colours);
            case 18: return num(kInt, l->horizontalAlign, Change::Caption);
            case 19: return num(kInt, l->verticalAlign, Change::Caption);
        }
    } else if (auto* s = c.as<SliderBar>()) {
        auto& v = s->values();
        std::int32_t* words[] = {&v.border,        &v.orientation,    &v.tickStyle,
                                 &v.tickFrequency, &v.pageSize,       &v.lineSize,
                                 &v.showSelection, &v.selectionStart, &v.selectionEnd};
        if (index >= 8 && index <= 16) return num(kInt, *words[index - 8], Change::Slider);
    } else if (auto* sb = c.as<StatusBar>()) {
        if (index == 8) return num(kInt, sb->settings, Change::Parts);
    } else if (auto* lv = c.as<ListView>()) {
        auto& d = lv->design;
        switch (index) {
            case 8: return num(kInt, d.viewType);
            case 9: return num(kInt, d.border);
            case 10: return num(kInt, d.iconAlignment);
            case 11: return num(kInt, d.sortOrder);
            case 13: return num(kColour, d.textColour, Change::Colours);
            case 14: return num(kColour, d.backgroundColour, Change::Colours);
            case 15: return num(kColour, d.textBackgroundColour, Change::Colours);
            case 16: return num(kBool, d.singleSelection);
            case 18: return num(kBool, d.alwaysShowSelection);
            case 20: return num(kBool, d.gridLines);
            case 21: return num(kBool, d.fullRowSelect);
            case 22: return num(kBool, d.checkBoxes);
            case 23: return num(kBool, d.headerDragDrop);
            case 26: return num(kBool, d.hotTrack);
            case 27: return num(kBool, d.oneClickActivate);
            case 28: return num(kBool, d.twoClickActivate);
            case 29: return num(kBool, d.underlineHot);
            case 30: return num(kBool, d.flatScrollBars);
            case 31: return num(kBool, d.infoTips);
            case 32: return num(kBool, d.labelEditable);
            case 33: return num(kBool, d.headerHidden);
            case 34: return num(kBool, d.selectWithFocus);
            case 36: return num(kBool, d.autoArrange);
        }
    } else if (auto* ob = c.as<OutlookBar>()) {
        auto& d = ob->design;
        switch (index) {
            case 8: return num(kColour, d.headerColour, Change::Colours);
            case 9: return num(kColour, d.headerTextColour, Change::Colours);
            case 10: return num(kColour, d.backgroundColour, Change::Colours);
            case 11: return num(kColour, d.itemTextColour, Change::Colours);
            case 12: return num(kInt, d.headerHeight, Change::Groups);
            case 13: return num(kInt, d.itemHeight, Change::Groups);
            case 15: return num(kInt, d.animationSteps);
        }
    } else if (auto* h = c.as<HtmlViewer>()) {
        switch (index) {
            case 8: return num(kInt, h->design.fontSize, Change::Page);
            case 9: return num(kBool, h->design.offline, Change::Page);
            case 10: return num(kBool, h->design.silent, Change::Page);
            case 11: return text(h->url, Change::Page);
            case 12: return text(h->statusText, Change::Page, true);
            case 13: return text(h->caption, Change::Page, true);
        }
    }
    return std::nullopt;
}

Control defaultControl(std::uint32_t unitType) {
    Control c;
    switch (unitType) {
        case unit_type::kWindow: c.model = WindowData{}; break;
        case unit_type::kGroupBox: c.model = GroupBoxData{}; break;
        case unit_type::kLabel: c.model = LabelData{}; break;
        case unit_type::kSliderBar: c.model = SliderBar{}; break;
        case unit_type::kStatusBar: c.model = StatusBar{}; break;
        case unit_type::kListView: c.model = ListView{}; break;
        case unit_type::kOutlookBar: c.model = OutlookBar{}; break;
        case unit_type::kHtmlViewer: c.model = HtmlViewer{}; break;
        default: break;
    }
    return c;
}

}  // namespace

std::optional<PropertyType> typePropertyType(std::uint32_t unitType, std::int32_t index) {
    if ((unitType == unit_type::kSliderBar && index >= 17 && index <= 19) ||
        (unitType == unit_type::kListView && index == 35) ||
        (unitType == unit_type::kOutlookBar && index == 14))
        return PropertyType::Int;
    Control c = defaultControl(unitType);
    auto slot = slotOf(c, index);
    if (!slot) return std::nullopt;
    return slot->type;
}

PropertyValue readTypeProperty(const Control& c, std::int32_t index) {
    if (auto* s = c.as<SliderBar>()) {
        if (index == 17) return s->minimum();
        if (index == 18) return s->maximum();
        if (index == 19) return s->position();
    }
    if (auto* lv = c.as<ListView>(); lv && index == 35) return lv->currentRow();
    if (auto* ob = c.as<OutlookBar>(); ob && index == 14) return ob->currentGroup();

    auto slot = slotOf(const_cast<Control&>(c), index);  // read only
    if (!slot) return std::int32_t{0};
    if (slot->t) return *slot->t;
    if (slot->b) return *slot->b;
    const std::int32_t n = slot->i ? *slot->i : static_cast<std::int32_t>(*slot->u);
    switch (slot->type) {
        case PropertyType::Bool: return n != 0;
        case PropertyType::Colour: return Colour{static_cast<std::uint32_t>(n)};
        default: return n;
    }
}

std::optional<Change> writeTypeProperty(Control& c, std::int32_t index,
                                        const PropertyValue& value) {
    if (auto* s = c.as<SliderBar>()) {
        if (index == 17) {
            s->setMinimum(toInt(value));
            return Change::Slider;
        }
        if (index == 18) {
            s->setMaximum(toInt(value));
            return Change::Slider;
        }
        if (index == 19) {
            s->setPosition(toInt(value));
            return Change::Slider;
        }
    }
    auto slot = slotOf(c, index);
    if (!slot || slot->readOnly) return std::nullopt;
    if (slot->t)
        *slot->t = toText(value);
    else if (slot->b)
        *slot->b = toBytes(value);
    else {
        std::int32_t n = slot->type == PropertyType::Bool ? (toBool(value) ? 1 : 0) : toInt(value);
        if (slot->i)
            *slot->i = n;
        else
            *slot->u = static_cast<std::uint32_t>(n);
    }
    return slot->change;
}

}  // namespace rt
