#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "runtime/window/template/byte_reader.h"
#include "runtime/window/template/template_codec.h"
#include "runtime/window/template/type_data.h"

namespace rt {
namespace {

using tpl::ByteReader;

using tpl::kReservedHead;
using tpl::kReservedTail;

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

bool readHandler(ByteReader& r, std::int32_t& handler) {
    if (!r.i32(handler)) return false;
    return handler >= kNoHandler || r.fail("handler offset " + std::to_string(handler));
}

// `r` spans exactly the record's bytes after its length word.
bool readRecord(ByteReader& r, UnitRecord& u) {
    r.u32(u.type), r.u32(u.link), r.skip(kReservedHead, "reserved head");
    r.nulText(u.name, "name"), r.nulText(u.comment, "comment");
    if (u.type == unit_type::kMenuItem) {
        MenuItemFields& menu = u.menu.emplace();
        for (std::uint32_t& word : menu.words) r.u32(word);
        r.nulText(menu.caption, "menu caption");
        EventBinding& selected = u.events.emplace_back();
        readHandler(r, selected.handler);
        return r.expectEnd("menu item");
    }
    std::uint32_t childCount = 0;
    r.skip(4, "live object");
    r.i32(u.left), r.i32(u.top), r.i32(u.width), r.i32(u.height);
    r.skip(4, "live cursor");
    r.u32(u.parent), r.u32(childCount);
    if (r.ok() && childCount > r.remaining() / 4) {
        return r.fail("child count " + std::to_string(childCount) + " exceeds the record");
    }
    u.children.resize(childCount);
    for (std::uint32_t& c : u.children) r.u32(c);

    std::span<const std::uint8_t> pointer;
    if (r.countedBlock(pointer, "mouse pointer") && pointer.size() != 4) {
        return r.fail("mouse pointer block is not 4 bytes");
    }
    ByteReader(pointer).u32(u.cursor);
    r.nulText(u.tag, "tag"), r.skip(4, "reserved");

    std::uint32_t eventCount = 0;
    r.u32(u.flags), r.u32(u.tabOrder), r.u32(eventCount);
    if (r.ok() && eventCount > r.remaining() / 8) {
        return r.fail("event count " + std::to_string(eventCount) + " exceeds the record");
    }
    u.events.resize(eventCount);
    for (EventBinding& e : u.events) r.i32(e.event), readHandler(r, e.handler);
    r.skip(kReservedTail, "reserved tail");
    if (!r.ok()) return false;
    std::span<const std::uint8_t> typeData;
    r.bytes(r.remaining(), typeData, "type data");
    u.typeData.assign(typeData.begin(), typeData.end());
    return true;
}

bool readWindow(ByteReader& r, std::span<const std::uint8_t> block, WindowEntry& win) {
    std::uint32_t count = 0, tableBytes = 0;
    r.u32(win.reservedWords[0]), r.u32(win.reservedWords[1]);
    r.countedText(win.reservedTexts[0], "window text 1"),
        r.countedText(win.reservedTexts[1], "window text 2");
    r.u32(count), r.u32(tableBytes);
    if (!r.ok()) return false;
    if (tableBytes > r.remaining()) return r.fail("unit table runs past the block");
    if (count > tableBytes / 8)
        return r.fail("unit count " + std::to_string(count) + " exceeds the unit table");

    const std::size_t tableAt = r.offset();
    std::vector<std::uint32_t> ids(count), offsets(count);
    for (std::uint32_t& id : ids) r.u32(id);
    for (std::uint32_t& off : offsets) r.u32(off);
    const std::size_t areaSize = tableBytes - std::size_t{8} * count;
    const std::size_t areaAt = tableAt + std::size_t{8} * count;
    if (!r.skip(areaSize, "record area")) return false;
    const auto area = block.subspan(areaAt, areaSize);

    win.units.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        UnitRecord& u = win.units[i];
        u.id = ids[i];
        const std::size_t off = offsets[i];
        if (off > areaSize || areaSize - off < 4) {
            return r.fail("record offset " + std::to_string(off) + " of unit " + hex(u.id) +
                          " lies outside the record area");
        }
        std::uint32_t length = 0;
        ByteReader(area.subspan(off, 4)).u32(length);
        if (length > areaSize - off - 4) {
            return r.fail("record of unit " + hex(u.id) + " runs past the record area");
        }
        ByteReader rec(area.subspan(off + 4, length), areaAt + off + 4);
        if (!readRecord(rec, u)) return r.fail("unit " + hex(u.id) + ": " + rec.error());
    }
    return true;
}

// What the runtime relies on beyond the byte layout; see readTemplate().
std::string checkWindow(const WindowEntry& win) {
    const std::string where = "window " + hex(win.id) + ": ";
    if (win.units.empty() || win.units.front().type != unit_type::kWindow) {
        return where + "the first unit is not the window's own unit";
    }
    std::unordered_map<std::uint32_t, const UnitRecord*> byId;
    for (const UnitRecord& u : win.units) {
        if (u.id == 0) return where + "unit id 0";
        if (!byId.emplace(u.id, &u).second) return where + "unit " + hex(u.id) + " appears twice";
        if (&u != &win.units.front() && u.type == unit_type::kWindow) {
            return where + "second window unit " + hex(u.id);
        }
    }
    for (const UnitRecord& u : win.units) {
        const std::string unit = where + "unit " + hex(u.id) + ": ";
        if (u.parent != 0 && (u.parent == u.id || !byId.count(u.parent))) {
            return unit + "parent " + hex(u.parent) + " is not another unit of the window";
        }
        for (std::uint32_t c : u.children) {
            if (c == u.id || !byId.count(c))
                return unit + "child " + hex(c) + " is not another unit";
        }
        if (!typeDataValid(u.type, u.typeData)) return unit + "type data does not decode";
    }
    // Every parent exists now; a chain of parents longer than the unit count must loop.
    for (const UnitRecord& u : win.units) {
        std::uint32_t p = u.parent;
        for (std::size_t steps = 0; p != 0; ++steps) {
            if (steps > win.units.size())
                return where + "unit " + hex(u.id) + ": its parents form a cycle";
            p = byId.at(p)->parent;
        }
    }
    return {};
}

}  // namespace

TemplateReadResult readTemplate(std::span<const std::uint8_t> block) {
    TemplateReadResult result;
    ByteReader r(block);
    std::uint32_t listBytes = 0;
    r.u32(listBytes);
    if (r.ok() && listBytes % 8 != 0) r.fail("window list byte count is not a multiple of 8");
    if (r.ok() && listBytes > r.remaining()) r.fail("window list runs past the block");

    WindowTemplate tpl;
    const std::size_t windowCount = r.ok() ? listBytes / 8 : 0;
    tpl.windows.resize(windowCount);
    for (WindowEntry& w : tpl.windows) r.u32(w.id);
    r.skip(4 * windowCount, "window object slots");
    for (WindowEntry& w : tpl.windows) {
        if (!readWindow(r, block, w)) break;
    }
    r.expectEnd("the last window");
    if (!r.ok()) {
        result.error = r.error();
        return result;
    }

    std::unordered_set<std::uint32_t> windowIds;
    for (const WindowEntry& w : tpl.windows) {
        if (!windowIds.insert(w.id).second) {
            result.error = "window " + hex(w.id) + " appears twice";
            return result;
        }
        if (std::string err = checkWindow(w); !err.empty()) {
            result.error = std::move(err);
            return result;
        }
    }
    result.value = std::move(tpl);
    return result;
}

}  // namespace rt
