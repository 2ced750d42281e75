// Runtime: commands on lists, the roll-up menu, the status bar, and the copy
// and focus commands. Commands on a unit that is missing or of another type do
// nothing (or give -1, false, the empty text).
#include <algorithm>
#include <array>

#include "runtime/window/runtime.h"

namespace rt {

std::int32_t Runtime::listInsertRow(ControlRef list, const InsertRowArgs& args) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (!lv) return -1;
    const std::int32_t at = lv->insertRow(args);
    changed(*c, Change::Rows);
    return at;
}

void Runtime::listDeleteAllRows(ControlRef list) {
    Control* c = live(list);
    if (ListView* lv = c ? c->as<ListView>() : nullptr) {
        lv->deleteAllRows();
        changed(*c, Change::Rows);
    }
}

Text Runtime::listCellText(ControlRef list, std::int32_t row, std::optional<std::int32_t> column) {
    const ListView* lv = liveModel<ListView>(list);
    return lv ? lv->cellText(row, column.value_or(0)) : Text{};
}

bool Runtime::listSetCellText(ControlRef list, std::int32_t row, std::optional<std::int32_t> column,
                              std::optional<Text> text) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (!lv || !lv->setCellText(row, column.value_or(0), text.value_or(Text{}))) return false;
    changed(*c, Change::Rows);
    return true;
}

void Runtime::listSelectRow(ControlRef list, std::int32_t row) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (!lv || row < 0) return;
    const bool focusMoved = lv->select(row);
    changed(*c, Change::Selection);
    if (focusMoved) raiseEvent(list, event::kCurrentRowChanged);
}

void Runtime::listSetColumnTitle(ControlRef list, std::int32_t column, std::optional<Text> title) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (lv && lv->setColumnTitle(column, title.value_or(Text{}))) changed(*c, Change::Columns);
}

void Runtime::listSetMarkedRow(ControlRef list, std::int32_t row) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (!lv) return;
    const std::int32_t before = lv->markedRow();
    lv->setMarkedRow(row);
    if (lv->markedRow() != before) changed(*c, Change::Marks);
}

void Runtime::listShowRow(ControlRef list, std::int32_t row) {
    Control* c = live(list);
    ListView* lv = c ? c->as<ListView>() : nullptr;
    if (!lv) return;
    lv->setShownRow(row);
    if (lv->shownRow() >= 0) changed(*c, Change::Scroll);
}

void Runtime::statusSetPartText(ControlRef bar, std::int32_t part, std::optional<Text> text) {
    Control* c = live(bar);
    StatusBar* sb = c ? c->as<StatusBar>() : nullptr;
    if (sb && sb->setPartText(part, text.value_or(Text{}))) changed(*c, Change::Parts);
}

Text Runtime::outlookGroupTitle(ControlRef bar, std::int32_t group) {
    const OutlookBar* ob = liveModel<OutlookBar>(bar);
    return ob ? ob->groupTitle(group) : Text{};
}

bool Runtime::outlookAddGroup(ControlRef bar, const Text& title, ControlRef content,
                              std::optional<std::int32_t> position,
                              std::optional<std::int32_t> image) {
    Control* b = live(bar);
    OutlookBar* ob = b ? b->as<OutlookBar>() : nullptr;
    Control* k = content.window == bar.window ? live(content) : nullptr;
    if (!ob || !k || k == b || k->type == unit_type::kWindow) return false;
    // The content may not be the bar's parent (nor any unit the bar lies in).
    for (std::uint32_t p = b->parent; p != 0;) {
        if (p == k->id) return false;
        const Control* pc = live(ControlRef{bar.window, p});
        p = pc ? pc->parent : 0;
    }
    for (const Control* other : controls(bar.window))
        if (const OutlookBar* o = other->as<OutlookBar>(); o && o->holdsContent(k->id))
            return false;

    // The content becomes the bar's child, hidden until its group is current.
    if (Control* old = k->parent == 0 ? live(ControlRef{bar.window, 0})
                                      : live(ControlRef{bar.window, k->parent})) {
        std::erase(old->children, k->id);
        changed(*old, Change::Children);
    }
    k->parent = b->id;
    b->children.push_back(k->id);
    k->visible = false;
    changed(*k, Change::Parent);
    changed(*b, Change::Children);
    changed(*k, Change::Visible);

    const std::int32_t current =
        ob->addGroup(OutlookGroup{title, image.value_or(0), k->id}, position);
    changed(*b, Change::Groups);
    openGroup(bar, current);
    return true;
}

bool Runtime::outlookRemoveGroup(ControlRef bar, std::int32_t group) {
    Control* b = live(bar);
    OutlookBar* ob = b ? b->as<OutlookBar>() : nullptr;
    if (!ob || !ob->validGroup(group)) return false;
    Control* k =
        live(ControlRef{bar.window, ob->groups()[static_cast<std::size_t>(group)].content});
    const std::int32_t current = ob->removeGroup(group);
    if (k && k->visible) {
        k->visible = false;
        changed(*k, Change::Visible);
    }
    changed(*b, Change::Groups);
    openGroup(bar, current);
    return true;
}

void Runtime::openGroup(ControlRef bar, std::int32_t group) {
    Control* b = live(bar);
    OutlookBar* ob = b ? b->as<OutlookBar>() : nullptr;
    if (!ob || !ob->validGroup(group)) return;
    Control* shown =
        live(ControlRef{bar.window, ob->groups()[static_cast<std::size_t>(group)].content});
    if (!shown) return;  // the group cannot be opened
    for (const auto& g : ob->groups()) {
        Control* k = live(ControlRef{bar.window, g.content});
        if (k && k != shown && k->visible) {
            k->visible = false;
            changed(*k, Change::Visible);
        }
    }
    ob->setCurrent(group);
    // The content fills the area between the upper and the lower headers.
    const std::int32_t h = ob->design.headerHeight;
    const std::int32_t n = static_cast<std::int32_t>(ob->groups().size());
    shown->left = 0;
    shown->top = (group + 1) * h;
    shown->width = b->width;
    shown->height = std::max(0, b->height - n * h);
    shown->visible = true;
    changed(*shown, Change::Geometry);
    changed(*shown, Change::Visible);
    changed(*b, Change::CurrentGroup);
    const std::array<std::int32_t, 1> args{group};
    raiseEvent(bar, event::kGroupOpened, args);
}

bool Runtime::copyControl(const TypedControlRef& source, TypedControlRef& destination) {
    if (source.type != destination.type || !unit_type::isCopyableControl(source.type)) return false;
    Window* w = findWindow(source.ref.window);
    if (!w || !w->loaded || source.ref.unit == 0) return false;
    Unit* src = findUnit(*w, source.ref.unit);
    if (!src || src->record.type != source.type || !src->live) return false;

    std::uint32_t id = source.ref.unit;
    do ++id;
    while (id == 0 || findUnit(*w, id));
    UnitRecord rec = copyForControl(src->record, id);
    auto made = createControl(w->id, rec);
    if (!made) return false;

    const std::uint32_t srcId = src->record.id;
    Control* parent =
        rec.parent == 0 ? w->units.front().live.get() : live(ControlRef{w->id, rec.parent});
    if (!parent) parent = w->units.front().live.get();
    // The source may have been re-parented since (into a roll-up menu): the
    // copy goes where the source is now, just above it in the z-order.
    if (Control* srcLive = src->live.get(); srcLive->parent != rec.parent) {
        Control* now = live(ControlRef{w->id, srcLive->parent});
        if (now) parent = now;
    }
    made->parent = parent == w->units.front().live.get() ? 0 : parent->id;
    auto& kids = parent->children;
    auto at = std::find(kids.begin(), kids.end(), srcId);
    kids.insert(at == kids.end() ? kids.end() : at + 1, id);

    w->units.push_back(Unit{std::move(rec), std::move(made)});
    Control& c = *w->units.back().live;
    backend_.controlCreated(c);
    changed(*parent, Change::Children);
    destination.ref = ControlRef{w->id, id};
    return true;
}

}  // namespace rt
