// Runtime: event dispatch and the processing of user input.
#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <optional>

#include "runtime/values/allocation_failure.h"
#include "runtime/values/gbk.h"
#include "runtime/window/fatal_report.h"
#include "runtime/window/runtime.h"

namespace rt {

EventOutcome Runtime::raiseEvent(ControlRef source, std::int32_t event, EventArgs args) {
    if (reportingFatal_) return {};
    Window* w = findWindow(source.window);
    if (!w) fatal(std::nullopt, gbk("未找到引发事件的窗口"));
    Unit* u = findUnit(*w, source.unit);
    if (!u) fatal(std::nullopt, gbk("未找到引发事件的窗口组件"));

    // Copies reach the handlers of the unit they were copied from. The step
    // bound guards against a link cycle in a hand-made template.
    for (std::size_t steps = 0; u->record.link != 0 && steps < w->units.size(); ++steps) {
        Unit* from = findUnit(*w, u->record.link);
        if (!from || from->record.type != u->record.type) break;
        u = from;
    }
    if (!unit_type::isWindowUnit(u->record.type))
        fatal(std::nullopt, gbk("引发事件的窗口组件无效"));

    std::int32_t handler = kNoHandler;
    if (u->record.type == unit_type::kMenuItem) {
        if (!u->record.events.empty()) handler = u->record.events.front().handler;
    } else {
        for (const auto& b : u->record.events)
            if (b.event == event) {
                handler = b.handler;
                break;
            }
    }
    if (handler < 0 || static_cast<std::size_t>(handler) >= handlers_.size() || !handlers_[handler])
        return {};

    // Nested dispatch (a handler pumping messages) restores the outer source.
    const auto outer = eventSource_;
    eventSource_ = source;
    std::optional<std::int32_t> value;
    try {
        value = handlers_[static_cast<std::size_t>(handler)](*this, args);
    } catch (const std::bad_alloc& failure) {
        // The handler, the runtime under it or a backend ran out of memory:
        // the runtime's report, never an exception into the backend's loop.
        fatal(std::nullopt, allocationFailureMessage(failedAllocationSize(failure)));
    }
    eventSource_ = outer;
    return EventOutcome{true, value};
}

void Runtime::moveFocus(std::optional<ControlRef> to) {
    if (focus_ == to) return;
    const auto from = focus_;
    focus_ = to;
    backend_.focusChanged(focus_);
    if (from && live(*from)) raiseEvent(*from, event::kFocusLost);
    if (to && live(*to)) raiseEvent(*to, event::kFocusGained);
}

void Runtime::setFocus(ControlRef ref) {
    if (!live(ref)) fatal(std::nullopt, gbk("指定窗口或窗口组件不存在或尚未载入"));
    moveFocus(ref);
}

std::pair<std::int32_t, std::int32_t> Runtime::rowPoint(const Control& list, std::int32_t row) {
    const ListView* lv = list.as<ListView>();
    const std::int32_t header = lv && lv->design.headerHidden ? 0 : ListView::kHeaderHeight;
    // Widened: a row far beyond the list must stay below it, not wrap onto a row.
    const std::int64_t y =
        std::int64_t{header} + std::int64_t{row} * ListView::kRowHeight + ListView::kRowHeight / 2;
    return {4, static_cast<std::int32_t>(std::clamp<std::int64_t>(y, INT32_MIN, INT32_MAX))};
}

std::pair<std::int32_t, std::int32_t> Runtime::headerPoint(const Control& bar, std::int32_t group) {
    const OutlookBar* ob = bar.as<OutlookBar>();
    if (!ob) return {0, 0};
    const std::int32_t h = ob->design.headerHeight;
    const std::int32_t n = static_cast<std::int32_t>(ob->groups().size());
    const std::int32_t current = ob->currentGroup();
    // Headers up to the current group sit at the top, the rest at the bottom.
    const std::int32_t top = group <= current ? group * h : bar.height - (n - group) * h;
    return {bar.width / 2, top + h / 2};
}

namespace {

std::int32_t rowAt(const Control& list, const ListView& lv, std::int32_t y) {
    const std::int32_t header = lv.design.headerHidden ? 0 : ListView::kHeaderHeight;
    if (y < header) return -2;  // on the column headers
    (void)list;
    return (y - header) / ListView::kRowHeight;
}

std::int32_t headerAt(const Control& bar, const OutlookBar& ob, std::int32_t y) {
    const std::int32_t h = ob.design.headerHeight;
    const std::int32_t n = static_cast<std::int32_t>(ob.groups().size());
    if (h <= 0) return -1;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t top = i <= ob.currentGroup() ? i * h : bar.height - (n - i) * h;
        if (y >= top && y < top + h) return i;
    }
    return -1;
}

// The list's own handling of a navigation key (Up, Down, PageUp, PageDown,
// Home, End): whether the focus moved; nullopt for any other key. A page is
// the rows the list shows, less one, so one row of context stays in view.
std::optional<bool> navigate(const Control& c, ListView& lv, std::int32_t keyCode) {
    const std::int32_t header = lv.design.headerHidden ? 0 : ListView::kHeaderHeight;
    const std::int32_t page = std::max(1, (c.height - header) / ListView::kRowHeight - 1);
    switch (keyCode) {
        case 0x26: return lv.moveFocus(-1);     // Up
        case 0x28: return lv.moveFocus(1);      // Down
        case 0x21: return lv.moveFocus(-page);  // PageUp
        case 0x22: return lv.moveFocus(page);   // PageDown
        case 0x24: return lv.moveFocusTo(0);    // Home
        case 0x23: return lv.moveFocusTo(static_cast<std::int32_t>(lv.rows().size()) - 1);  // End
        default: return std::nullopt;
    }
}

}  // namespace

// What a control does with a left press nobody suppressed.
void Runtime::pressProcessing(ControlRef ref, Control& c, std::int32_t x, std::int32_t y) {
    (void)x;
    ++c.ownInputProcessed;
    if (auto* lv = c.as<ListView>()) {
        const std::int32_t row = rowAt(c, *lv, y);
        if (row == -2) return;
        const bool moved = lv->click(row);
        changed(c, Change::Selection);
        if (c.tabStop) moveFocus(ref);
        if (moved && live(ref)) raiseEvent(ref, event::kCurrentRowChanged);
    } else if (auto* ob = c.as<OutlookBar>()) {
        const std::int32_t group = headerAt(c, *ob, y);
        if (group >= 0) openGroup(ref, group);
    }
}

void Runtime::userMousePress(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys) {
    if (reportingFatal_ || !live(ref)) return;
    const std::array<std::int32_t, 3> args{x, y, keys};
    if (suppressed(raiseEvent(ref, event::kLeftDown, args))) return;
    if (Control* c = live(ref)) pressProcessing(ref, *c, x, y);
}

void Runtime::userMouseRelease(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys) {
    if (reportingFatal_ || !live(ref)) return;
    const std::array<std::int32_t, 3> args{x, y, keys};
    if (suppressed(raiseEvent(ref, event::kLeftUp, args))) return;
    if (Control* c = live(ref)) ++c->ownInputProcessed;
}

void Runtime::userDoubleClick(ControlRef ref, std::int32_t x, std::int32_t y, std::int32_t keys) {
    if (reportingFatal_ || !live(ref)) return;
    const std::array<std::int32_t, 3> args{x, y, keys};
    if (suppressed(raiseEvent(ref, event::kLeftDoubleClick, args))) return;
    Control* c = live(ref);
    if (!c) return;
    ++c->ownInputProcessed;
    ListView* lv = c->as<ListView>();
    if (!lv) return;
    const std::int32_t row = rowAt(*c, *lv, y);
    if (row < 0 || static_cast<std::size_t>(row) >= lv->rows().size()) return;
    const bool moved = lv->click(row);
    changed(*c, Change::Selection);
    if (moved) raiseEvent(ref, event::kCurrentRowChanged);
    if (live(ref)) raiseEvent(ref, event::kRowActivated);
}

void Runtime::userClickRow(ControlRef list, std::int32_t row, std::int32_t keys) {
    const Control* c = live(list);
    if (!c) return;
    const auto [x, y] = rowPoint(*c, row);
    userMousePress(list, x, y, keys);
    userMouseRelease(list, x, y, keys);
}

void Runtime::userClickGroupHeader(ControlRef bar, std::int32_t group) {
    const Control* c = live(bar);
    if (!c || !c->as<OutlookBar>() || !c->as<OutlookBar>()->validGroup(group)) return;
    const auto [x, y] = headerPoint(*c, group);
    userMousePress(bar, x, y);
    userMouseRelease(bar, x, y);
}

void Runtime::userKey(ControlRef ref, std::int32_t keyCode, std::int32_t keys) {
    if (reportingFatal_ || !live(ref)) return;
    const std::array<std::int32_t, 2> args{keyCode, keys};
    if (!suppressed(raiseEvent(ref, event::kKeyDown, args))) {
        if (Control* c = live(ref)) {
            ++c->ownInputProcessed;
            auto* lv = c->as<ListView>();
            if (const auto moved = lv ? navigate(*c, *lv, keyCode) : std::nullopt) {
                changed(*c, Change::Selection);
                if (*moved) raiseEvent(ref, event::kCurrentRowChanged);
            } else if (lv && keyCode == 0x0D && lv->focusedRow() >= 0) {
                raiseEvent(ref, event::kRowActivated);  // Enter activates the focused row
            }
        }
    }
    if (!live(ref)) return;
    if (suppressed(raiseEvent(ref, event::kKeyUp, args))) return;
    if (Control* c = live(ref)) ++c->ownInputProcessed;
}

std::int32_t Runtime::userCharacter(ControlRef ref, std::int32_t character) {
    if (reportingFatal_ || !live(ref)) return 0;
    const std::array<std::int32_t, 1> args{character};
    const EventOutcome o = raiseEvent(ref, event::kCharacter, args);
    if (suppressed(o)) return 0;
    if (o.value) character = *o.value;
    if (Control* c = live(ref)) ++c->ownInputProcessed;
    return character;
}

}  // namespace rt
