// The runtime frame under arbitrary sequences of commands, property access and
// user input on a small window (lists, copies, a roll-up menu, nested message
// pumps inside handlers). Fatal paths are avoided on purpose; everything else
// must keep the models consistent and never crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/backend/headless/headless_backend.h"
#include "runtime/window/runtime.h"
#include "small_window.h"

namespace {

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool done() const { return at >= size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::int32_t small() { return static_cast<std::int8_t>(byte()); }
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Every live control sits in exactly its parent's child list; lists have at
// most one focused and (single selection) one selected row; the menu's
// current group is in range and its groups' contents are its children.
void check(const rt::Runtime& r) {
    const auto all = r.controls(small::kWin);
    for (const rt::Control* c : all) {
        if (c->id == small::kOwn) continue;
        int listed = 0;
        for (const rt::Control* p : all)
            for (std::uint32_t k : p->children)
                if (k == c->id) {
                    ++listed;
                    const std::uint32_t expected = p->id == small::kOwn ? 0 : p->id;
                    if (c->parent != expected) fail("parent field differs from the listing parent");
                }
        if (listed != 1) fail("a control is listed by no parent or by several");
        if (const auto* lv = c->as<rt::ListView>()) {
            int focused = 0, selected = 0;
            for (const auto& row : lv->rows()) {
                focused += row.focused;
                selected += row.selected;
            }
            if (focused > 1) fail("two focused rows");
            if (lv->design.singleSelection && selected > 1)
                fail("two selected rows in a single-selection list");
        }
        if (const auto* ob = c->as<rt::OutlookBar>()) {
            const std::int32_t n = static_cast<std::int32_t>(ob->groups().size());
            if (ob->currentGroup() < -1 || ob->currentGroup() >= n)
                fail("current group out of range");
            for (const auto& g : ob->groups()) {
                const rt::Control* k = r.control(rt::ControlRef{small::kWin, g.content});
                if (!k || k->parent != c->id) fail("a group's content is not the menu's child");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    rt::HeadlessBackend backend;
    std::vector<rt::Handler> table(small::kHandlerCount);
    int depth = 0;
    // Handlers answer with a value from the input, and may pump messages
    // (bounded, so nesting ends).
    for (auto& h : table)
        h = [&](rt::Runtime& r, rt::EventArgs) -> std::optional<std::int32_t> {
            const std::uint8_t b = in.byte();
            if ((b & 0x10) && depth < 3) {
                ++depth;
                r.processPendingMessages();
                --depth;
            }
            if (b & 0x01) return std::nullopt;
            return static_cast<std::int32_t>(b >> 5);  // 0 suppresses
        };
    rt::Runtime r(small::smallTemplate(), table, backend);
    r.loadStartWindow(small::kWin);

    std::vector<std::uint32_t> units;
    for (const rt::Control* c : r.controls(small::kWin)) units.push_back(c->id);
    std::vector<std::uint32_t> lists{small::kChannels, small::kProgram};
    auto pick = [&](const std::vector<std::uint32_t>& from) {
        return rt::ControlRef{small::kWin, from[in.byte() % from.size()]};
    };
    using namespace std::chrono_literals;

    while (!in.done() && r.windowLoaded(small::kWin)) {
        switch (in.byte() % 16) {
            case 0:
                r.listInsertRow(pick(lists),
                                {.position = in.small(), .text = std::string(in.byte() % 8, 'r')});
                break;
            case 1: r.listDeleteAllRows(pick(lists)); break;
            case 2: r.listSelectRow(pick(lists), in.small()); break;
            case 3:
                r.listSetCellText(pick(lists), in.small(), in.small(),
                                  std::string(in.byte() * 3u, 'c'));
                break;
            case 4: {
                rt::TypedControlRef v{{}, rt::unit_type::kListView};
                if (units.size() < 40 &&
                    r.copyControl({pick(lists), rt::unit_type::kListView}, v)) {
                    units.push_back(v.ref.unit);
                    lists.push_back(v.ref.unit);
                }
                break;
            }
            case 5:
                r.outlookAddGroup({small::kWin, small::kMenu}, "g", pick(units), in.small());
                break;
            case 6: backend.postHeaderClick({small::kWin, small::kMenu}, in.small()); break;
            case 7: backend.postRowClick(pick(lists), in.small()); break;
            case 8: backend.postKey(pick(lists), in.byte() & 1 ? 0x26 : 0x28); break;
            case 9:
                backend.postMousePress(pick(units), in.small(), in.small() * 8, 0,
                                       backend.now() + in.byte() * 1ms);
                break;
            case 10: r.writeProperty(pick(units), in.byte() % 40, std::int32_t{in.small()}); break;
            case 11: (void)r.readProperty(pick(units), in.byte() % 40); break;
            case 12: r.processPendingMessages(); break;
            case 13:
                while (backend.waitForMessage(backend.now() + in.byte() * 1ms))
                    r.processPendingMessages();
                break;
            case 14: r.setFocus(pick(units)); break;
            case 15:
                if (in.byte() == 0xFF) backend.postClose(small::kWin);
                break;
        }
        if (r.windowLoaded(small::kWin)) check(r);
    }
    return 0;
}
