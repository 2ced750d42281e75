#include "skin/system_libraries.h"

#include <algorithm>
#include <cstring>

namespace skin {

namespace {

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return r;
}

// "kernel32", "KERNEL32.DLL" and "Kernel32.dll" all name Kernel32.dll.
bool namesModule(std::string_view asked, std::string_view module) {
    std::string a = lower(asked), m = lower(module);
    if (a == m) return true;
    return a.find('.') == std::string::npos && a + ".dll" == m;
}

}  // namespace

std::unique_ptr<SystemLibraries> SystemLibraries::create(GuestSpace& space, HostEnvironment& env) {
    std::unique_ptr<SystemLibraries> layer(new SystemLibraries(space, env));
    layer->namesBase_ = space.allocate(0, GuestSpace::kPageSize);
    if (!layer->namesBase_) return nullptr;
    layer->modules_.reserve(6);
    // The program's declarations need nothing from Gdi32, Advapi32, Mpr and
    // Shell32, but the default search passes through them.
    bool ok = layer->addModule("Kernel32.dll", kernel32Exports(*layer)) &&
              layer->addModule("Gdi32.dll", {}) &&
              layer->addModule("User32.dll", user32Exports(*layer)) &&
              layer->addModule("Advapi32.dll", {}) && layer->addModule("Mpr.dll", {}) &&
              layer->addModule("Shell32.dll", {});
    return ok ? std::move(layer) : nullptr;
}

bool SystemLibraries::addModule(std::string name, std::vector<HostExport> exports) {
    Module m;
    m.name = std::move(name);
    m.handle = namesBase_ + 32 * std::uint32_t(modules_.size());
    std::uint8_t* slot = space_.pointer(m.handle, 32);
    if (!slot || m.name.size() >= 32) return false;
    std::memcpy(slot, m.name.c_str(), m.name.size() + 1);
    std::sort(exports.begin(), exports.end(),
              [](const HostExport& a, const HostExport& b) { return a.name < b.name; });
    for (std::size_t i = 0; i < exports.size(); ++i) {
        GuestAddress thunk = space_.addThunk(exports[i].argumentCount, exports[i].procedure);
        if (!thunk) return false;
        m.exports.push_back(
            {m.name, exports[i].name, std::uint16_t(i + 1), exports[i].argumentCount, thunk});
        byAddress_[thunk] = Binding{modules_.size(), i, std::move(exports[i].procedure)};
    }
    modules_.push_back(std::move(m));
    return true;
}

void SystemLibraries::note(LibraryEvent::Kind k, std::string library, std::string key,
                           std::uint32_t result) {
    if (log_) log_(LibraryEvent{k, std::move(library), std::move(key), result});
}

SystemLibraries::Module* SystemLibraries::moduleByHandle(std::uint32_t handle) {
    for (Module& m : modules_)
        if (m.handle == handle) return &m;
    return nullptr;
}

std::uint32_t SystemLibraries::load(std::string_view name) {
    for (Module& m : modules_) {
        if (namesModule(name, m.name)) {
            ++m.references;
            note(LibraryEvent::Kind::Load, std::string(name), {}, m.handle);
            return m.handle;
        }
    }
    note(LibraryEvent::Kind::Load, std::string(name), {}, 0);
    return 0;
}

bool SystemLibraries::release(std::uint32_t handle) {
    Module* m = moduleByHandle(handle);
    bool ok = m && m->references > 0;
    if (ok) --m->references;
    note(LibraryEvent::Kind::Release, m ? m->name : std::string(), {}, ok);
    return ok;
}

GuestAddress SystemLibraries::lookup(std::uint32_t handle, std::string_view name) {
    Module* m = moduleByHandle(handle);
    GuestAddress found = 0;
    if (m)
        for (const SystemExport& e : m->exports)
            if (e.name == name) found = e.address;
    note(LibraryEvent::Kind::Lookup, m ? m->name : std::string(), std::string(name), found);
    return found;
}

GuestAddress SystemLibraries::lookupOrdinal(std::uint32_t handle, std::uint16_t ordinal) {
    Module* m = moduleByHandle(handle);
    GuestAddress found = 0;
    if (m && ordinal >= 1 && ordinal <= m->exports.size()) found = m->exports[ordinal - 1].address;
    // Appended: GCC 12 at -O3 takes "#" + std::string for an overlapping copy.
    note(LibraryEvent::Kind::Lookup, m ? m->name : std::string(),
         std::string("#").append(std::to_string(ordinal)), found);
    return found;
}

const SystemExport* SystemLibraries::exportAt(GuestAddress address) const {
    auto it = byAddress_.find(address);
    if (it == byAddress_.end()) return nullptr;
    return &modules_[it->second.module].exports[it->second.index];
}

std::optional<std::uint32_t> SystemLibraries::invoke(GuestAddress address,
                                                     std::span<const std::uint32_t> args) {
    auto it = byAddress_.find(address);
    if (it == byAddress_.end()) return std::nullopt;
    return it->second.procedure(args);
}

}  // namespace skin
