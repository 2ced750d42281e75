#include "runtime/window/template/byte_reader.h"
#include "runtime/window/template/template_codec.h"

namespace rt {
namespace {

using tpl::ByteWriter;

using tpl::kReservedHead;
using tpl::kReservedTail;

void writeRecord(ByteWriter& w, const UnitRecord& u) {
    w.u32(u.type), w.u32(u.link), w.zeros(kReservedHead);
    w.nulText(u.name), w.nulText(u.comment);
    if (u.type == unit_type::kMenuItem) {
        const MenuItemFields menu = u.menu.value_or(MenuItemFields{});
        for (std::uint32_t word : menu.words) w.u32(word);
        w.nulText(menu.caption);
        w.i32(u.events.empty() ? kNoHandler : u.events.front().handler);
        return;
    }
    w.u32(0);  // live object
    w.i32(u.left), w.i32(u.top), w.i32(u.width), w.i32(u.height);
    w.u32(0);  // live cursor
    w.u32(u.parent), w.u32(static_cast<std::uint32_t>(u.children.size()));
    for (std::uint32_t c : u.children) w.u32(c);
    w.u32(4), w.u32(u.cursor);  // mouse pointer block
    w.nulText(u.tag);
    w.u32(0);  // reserved
    w.u32(u.flags), w.u32(u.tabOrder), w.u32(static_cast<std::uint32_t>(u.events.size()));
    for (const EventBinding& e : u.events) w.i32(e.event), w.i32(e.handler);
    w.zeros(kReservedTail);
    w.raw(u.typeData);
}

void writeWindow(ByteWriter& w, const WindowEntry& win) {
    w.u32(win.reservedWords[0]), w.u32(win.reservedWords[1]);
    w.countedText(win.reservedTexts[0]), w.countedText(win.reservedTexts[1]);
    const auto count = static_cast<std::uint32_t>(win.units.size());
    w.u32(count);
    const std::size_t tableBytesAt = w.size();
    w.u32(0);  // patched below
    for (const UnitRecord& u : win.units) w.u32(u.id);
    const std::size_t offsetsAt = w.size();
    w.zeros(4 * win.units.size());

    const std::size_t areaAt = w.size();
    for (std::size_t i = 0; i < win.units.size(); ++i) {
        const std::size_t recordAt = w.size();
        w.patchU32(offsetsAt + 4 * i, static_cast<std::uint32_t>(recordAt - areaAt));
        w.u32(0);  // record length, patched below
        writeRecord(w, win.units[i]);
        w.patchU32(recordAt, static_cast<std::uint32_t>(w.size() - recordAt - 4));
    }
    w.patchU32(tableBytesAt, static_cast<std::uint32_t>(w.size() - tableBytesAt - 4));
}

}  // namespace

Bytes writeTemplate(const WindowTemplate& tpl) {
    Bytes out;
    ByteWriter w(out);
    w.u32(static_cast<std::uint32_t>(8 * tpl.windows.size()));
    for (const WindowEntry& win : tpl.windows) w.u32(win.id);
    w.zeros(4 * tpl.windows.size());  // window object slots, filled by a loader
    for (const WindowEntry& win : tpl.windows) writeWindow(w, win);
    return out;
}

}  // namespace rt
