// The small system-library layer: the modules "Kernel32.dll", "Gdi32.dll",
// "User32.dll", "Advapi32.dll", "Mpr.dll" and "Shell32.dll" with the exports
// this program and its skin library use, each a host procedure with a fixed
// stdcall argument count behind a thunk in guest memory.
//
// Module names match without regard to case, and ".dll" may be left off as
// Windows allows ("kernel32" loads Kernel32.dll). Export names match exactly;
// ordinals are numbered from 1 in each module's alphabetical export list. A
// module handle is the guest address of the module's name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/guest_space.h"
#include "skin/host_environment.h"
#include "skin/system_colours.h"
#include "skin/waitable_timers.h"

namespace skin {

struct HostExport {
    std::string name;
    std::uint32_t argumentCount;
    HostProcedure procedure;
};

struct SystemExport {
    std::string module;
    std::string name;
    std::uint16_t ordinal;
    std::uint32_t argumentCount;
    GuestAddress address;  // its thunk
};

// One step of module use, for observing the search order.
struct LibraryEvent {
    enum class Kind { Load, Lookup, Release };
    Kind kind;
    std::string library;   // the name asked for (Load) or the module's name
    std::string key;       // Lookup: the export name or "#ordinal"
    std::uint32_t result;  // Load: handle or 0; Lookup: address or 0; Release: 1 or 0
};

class SystemLibraries {
  public:
    // Null when the thunks or module records cannot be placed in `space`.
    static std::unique_ptr<SystemLibraries> create(GuestSpace& space, HostEnvironment& env);

    // LoadLibraryA: the module's handle (one more reference), or 0.
    std::uint32_t load(std::string_view name);
    // FreeLibrary: false for an unknown handle or one without references.
    bool release(std::uint32_t handle);
    // GetProcAddress by name or by ordinal; 0 when the module lacks it.
    GuestAddress lookup(std::uint32_t handle, std::string_view name);
    GuestAddress lookupOrdinal(std::uint32_t handle, std::uint16_t ordinal);
    // The export behind a thunk address, or null.
    const SystemExport* exportAt(GuestAddress address) const;
    // Calls the host procedure behind `address` directly (no guest code).
    std::optional<std::uint32_t> invoke(GuestAddress address, std::span<const std::uint32_t> args);

    GuestSpace& space() { return space_; }
    WaitableTimers& timers() { return timers_; }
    SystemColours& colours() { return colours_; }
    void setEventLog(std::function<void(const LibraryEvent&)> log) { log_ = std::move(log); }

  private:
    struct Module {
        std::string name;
        std::uint32_t handle = 0;
        int references = 0;
        std::vector<SystemExport> exports;
    };
    SystemLibraries(GuestSpace& space, HostEnvironment& env) : space_(space), timers_(env) {}
    bool addModule(std::string name, std::vector<HostExport> exports);
    Module* moduleByHandle(std::uint32_t handle);
    void note(LibraryEvent::Kind k, std::string library, std::string key, std::uint32_t result);

    GuestSpace& space_;
    WaitableTimers timers_;
    SystemColours colours_;
    std::vector<Module> modules_;
    struct Binding {
        std::size_t module, index;
        HostProcedure procedure;
    };
    std::map<GuestAddress, Binding> byAddress_;
    std::function<void(const LibraryEvent&)> log_;
    GuestAddress namesBase_ = 0;
};

// The exports of each module (system_exports.cpp).
std::vector<HostExport> kernel32Exports(SystemLibraries& layer);
std::vector<HostExport> user32Exports(SystemLibraries& layer);

}  // namespace skin
