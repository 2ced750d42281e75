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
    return Slot{PropertyType::TextValue, nullptr, nullptr, &v, nullptr, ch, readOnly};
}

constexpr auto kInt = PropertyType::Int;
constexpr auto kBool = PropertyType::Bool;
constexpr auto kColour = PropertyType::Colour;

std::optional<Slot> slotOf(Control& c, std::int32_t index) {
    if (auto* w = c.as<WindowData>()) {
        using P = WindowProperty;
        switch (static_cast<P>(index)) {
            case P::Title: return text(w->title, Change::Caption);
            case P::BorderStyle: return num(kInt, w->borderStyle);
            case P::Buttons: return num(kInt, w->buttons);
            case P::Icon:
                return Slot{
                    PropertyType::BytesValue, nullptr, nullptr, nullptr, &w->icon, Change::Other};
            default: break;
        }
    } else if (auto* g = c.as<GroupBoxData>()) {
        using P = GroupBoxProperty;
        switch (static_cast<P>(index)) {
            case P::Caption: return text(g->caption, Change::Caption);
            case P::Alignment: return num(kInt, g->alignment, Change::Caption);
            case P::TextColour: return num(kColour, g->textColour, Change::Colours);
            case P::BackgroundColour: return num(kColour, g->backgroundColour, Change::Colours);
            default: break;
        }
    } else if (auto* l = c.as<LabelData>()) {
        using P = LabelProperty;
        switch (static_cast<P>(index)) {
            case P::Caption: return text(l->caption, Change::Caption);
            case P::Effect: return num(kInt, l->effect, Change::Colours);
            case P::Border: return num(kInt, l->border, Change::Colours);
            case P::BorderWidth: return num(kInt, l->borderWidth, Change::Colours);
            case P::BorderColour1:
            case P::BorderColour2:
            case P::BorderColour3:
                return num(kColour, l->borderColours[index - propertyIndex(P::BorderColour1)],
                           Change::Colours);
            case P::Options: return num(kInt, l->options, Change::Caption);
            case P::TextColour: return num(kColour, l->textColour, Change::Colours);
            case P::BackgroundColour: return num(kColour, l->backgroundColour, Change::Colours);
            case P::HorizontalAlign: return num(kInt, l->horizontalAlign, Change::Caption);
            case P::VerticalAlign: return num(kInt, l->verticalAlign, Change::Caption);
            default: break;
        }
    } else if (auto* s = c.as<SliderBar>()) {
        // Border .. SelectionEnd are plain words; the range and the position
        // are kept consistent by the model (see readTypeProperty).
        using P = SliderBarProperty;
        auto& v = s->values();
        std::int32_t* words[] = {&v.border,        &v.orientation,    &v.tickStyle,
                                 &v.tickFrequency, &v.pageSize,       &v.lineSize,
                                 &v.showSelection, &v.selectionStart, &v.selectionEnd};
        if (index >= propertyIndex(P::Border) && index <= propertyIndex(P::SelectionEnd))
            return num(kInt, *words[index - propertyIndex(P::Border)], Change::Slider);
    } else if (auto* sb = c.as<StatusBar>()) {
        if (index == propertyIndex(StatusBarProperty::Settings))
            return num(kInt, sb->settings, Change::Parts);
    } else if (auto* lv = c.as<ListView>()) {
        using P = ListViewProperty;
        auto& d = lv->design;
        switch (static_cast<P>(index)) {
            case P::ViewType: return num(kInt, d.viewType);
            case P::Border: return num(kInt, d.border);
            case P::IconAlignment: return num(kInt, d.iconAlignment);
            case P::SortOrder: return num(kInt, d.sortOrder);
            case P::TextColour: return num(kColour, d.textColour, Change::Colours);
            case P::BackgroundColour: return num(kColour, d.backgroundColour, Change::Colours);
            case P::TextBackgroundColour:
                return num(kColour, d.textBackgroundColour, Change::Colours);
            case P::SingleSelection: return num(kBool, d.singleSelection);
            case P::AlwaysShowSelection: return num(kBool, d.alwaysShowSelection);
            case P::GridLines: return num(kBool, d.gridLines);
            case P::FullRowSelect: return num(kBool, d.fullRowSelect);
            case P::CheckBoxes: return num(kBool, d.checkBoxes);
            case P::HeaderDragDrop: return num(kBool, d.headerDragDrop);
            case P::HotTrack: return num(kBool, d.hotTrack);
            case P::OneClickActivate: return num(kBool, d.oneClickActivate);
            case P::TwoClickActivate: return num(kBool, d.twoClickActivate);
            case P::UnderlineHot: return num(kBool, d.underlineHot);
            case P::FlatScrollBars: return num(kBool, d.flatScrollBars);
            case P::InfoTips: return num(kBool, d.infoTips);
            case P::LabelEditable: return num(kBool, d.labelEditable);
            case P::HeaderHidden: return num(kBool, d.headerHidden);
            case P::SelectWithFocus: return num(kBool, d.selectWithFocus);
            case P::AutoArrange: return num(kBool, d.autoArrange);
            default: break;  // CurrentRow is the model's, see readTypeProperty
        }
    } else if (auto* ob = c.as<OutlookBar>()) {
        using P = OutlookBarProperty;
        auto& d = ob->design;
        switch (static_cast<P>(index)) {
            case P::HeaderColour: return num(kColour, d.headerColour, Change::Colours);
            case P::HeaderTextColour: return num(kColour, d.headerTextColour, Change::Colours);
            case P::BackgroundColour: return num(kColour, d.backgroundColour, Change::Colours);
            case P::ItemTextColour: return num(kColour, d.itemTextColour, Change::Colours);
            case P::HeaderHeight: return num(kInt, d.headerHeight, Change::Groups);
            case P::ItemHeight: return num(kInt, d.itemHeight, Change::Groups);
            case P::AnimationSteps: return num(kInt, d.animationSteps);
            default: break;  // CurrentGroup is the model's, see readTypeProperty
        }
    } else if (auto* h = c.as<HtmlViewer>()) {
        using P = HtmlViewerProperty;
        switch (static_cast<P>(index)) {
            case P::FontSize: return num(kInt, h->design.fontSize, Change::Page);
            case P::Offline: return num(kBool, h->design.offline, Change::Page);
            case P::Silent: return num(kBool, h->design.silent, Change::Page);
            case P::Address: return text(h->url, Change::Page);
            case P::StatusText: return text(h->statusText, Change::Page, true);
            case P::Caption: return text(h->caption, Change::Page, true);
            default: break;
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
    if ((unitType == unit_type::kSliderBar && index >= propertyIndex(SliderBarProperty::Minimum) &&
         index <= propertyIndex(SliderBarProperty::Position)) ||
        (unitType == unit_type::kListView &&
         index == propertyIndex(ListViewProperty::CurrentRow)) ||
        (unitType == unit_type::kOutlookBar &&
         index == propertyIndex(OutlookBarProperty::CurrentGroup)))
        return PropertyType::Int;
    Control c = defaultControl(unitType);
    auto slot = slotOf(c, index);
    if (!slot) return std::nullopt;
    return slot->type;
}

PropertyValue readTypeProperty(const Control& c, std::int32_t index) {
    if (auto* s = c.as<SliderBar>()) {
        switch (static_cast<SliderBarProperty>(index)) {
            case SliderBarProperty::Minimum: return s->minimum();
            case SliderBarProperty::Maximum: return s->maximum();
            case SliderBarProperty::Position: return s->position();
            default: break;
        }
    }
    if (auto* lv = c.as<ListView>(); lv && index == propertyIndex(ListViewProperty::CurrentRow))
        return lv->currentRow();
    if (auto* ob = c.as<OutlookBar>();
        ob && index == propertyIndex(OutlookBarProperty::CurrentGroup))
        return ob->currentGroup();

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
        switch (static_cast<SliderBarProperty>(index)) {
            case SliderBarProperty::Minimum: s->setMinimum(toInt(value)); return Change::Slider;
            case SliderBarProperty::Maximum: s->setMaximum(toInt(value)); return Change::Slider;
            case SliderBarProperty::Position: s->setPosition(toInt(value)); return Change::Slider;
            default: break;
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
