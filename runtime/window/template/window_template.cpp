#include "runtime/window/template/window_template.h"

namespace rt {

const WindowEntry* WindowTemplate::findWindow(std::uint32_t id) const {
    for (const WindowEntry& w : windows) {
        if (w.id == id) return &w;
    }
    return nullptr;
}

const UnitRecord* findUnit(const WindowEntry& window, std::uint32_t unitId) {
    for (const UnitRecord& u : window.units) {
        if (u.id == unitId) return &u;
    }
    return nullptr;
}

UnitRecord copyForControl(const UnitRecord& source, std::uint32_t newId) {
    UnitRecord copy = source;
    copy.id = newId;
    copy.link = source.id;
    copy.children.clear();
    copy.events.clear();
    return copy;
}

}  // namespace rt
