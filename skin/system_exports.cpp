// Host implementations of the Kernel32 and User32 exports. Arguments arrive
// as the 32-bit stdcall words; every guest address is checked against guest
// memory before use, and a bad one is an access fault (nullopt) as it would be
// on Windows, except where the real function survives it (lstrcpynA).
#include <cstring>
#include <string>

#include "skin/system_libraries.h"
#include "skin/virtual_memory_flags.h"

namespace skin {

namespace {

using namespace vm;

using Args = std::span<const std::uint32_t>;
using Result = std::optional<std::uint32_t>;

std::optional<std::string> readString(GuestSpace& space, GuestAddress a) {
    auto n = space.stringLength(a);
    if (!n) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(space.pointer(a, *n)), *n);
}

}  // namespace

std::vector<HostExport> kernel32Exports(SystemLibraries& layer) {
    GuestSpace& space = layer.space();
    WaitableTimers& timers = layer.timers();
    std::vector<HostExport> e;

    e.push_back({"CreateWaitableTimerA", 3, [&timers](Args a) -> Result {
                     return timers.create(a[1] !=
                                          0);  // security and name: unnamed, default security
                 }});
    e.push_back({"SetWaitableTimer", 6, [&space, &timers](Args a) -> Result {
                     const std::uint8_t* due = space.pointer(a[1], 8);
                     if (!due) return std::nullopt;
                     std::int64_t dueTime;
                     std::memcpy(&dueTime, due, 8);
                     return timers.set(a[0], dueTime, std::int32_t(a[2])) ? 1u : 0u;
                 }});
    e.push_back(
        {"CloseHandle", 1, [&timers](Args a) -> Result { return timers.close(a[0]) ? 1u : 0u; }});

    // Copies at most n - 1 bytes and a NUL; with n 0 it copies nothing and
    // returns `dest` (AddressOf relies on that). A bad address gives 0, as the
    // real function catches the fault.
    e.push_back({"lstrcpynA", 3, [&space](Args a) -> Result {
                     std::uint32_t dest = a[0], src = a[1], n = a[2];
                     if (n == 0) return dest;
                     std::uint8_t* d = space.pointer(dest, n);
                     auto len = space.stringLength(src);
                     if (!d || !len) return 0u;
                     std::uint32_t copy = std::min(*len, n - 1);
                     std::memmove(d, space.pointer(src, copy), copy);
                     d[copy] = 0;
                     return dest;
                 }});
    e.push_back({"RtlMoveMemory", 3, [&space](Args a) -> Result {
                     std::uint8_t* d = space.pointer(a[0], a[2]);
                     std::uint8_t* s = space.pointer(a[1], a[2]);
                     if (!d || !s) return std::nullopt;
                     std::memmove(d, s, a[2]);
                     return 0u;
                 }});
    // Every page is read/write/execute whatever protection is asked for.
    e.push_back({"VirtualAlloc", 4, [&space](Args a) -> Result {
                     std::uint32_t address = a[0], size = a[1], type = a[2];
                     if (size == 0 || (type & (kMemCommit | kMemReserve)) == 0) return 0u;
                     if (!(type & kMemReserve) &&
                         address != 0)  // commit inside a region: already committed
                         return space.contains(address, size)
                                    ? address & ~(GuestSpace::kPageSize - 1)
                                    : 0u;
                     return space.allocate(address, size);
                 }});
    e.push_back({"VirtualFree", 3, [&space](Args a) -> Result {
                     std::uint32_t address = a[0], size = a[1], type = a[2];
                     if (type == kMemRelease) return size == 0 && space.release(address) ? 1u : 0u;
                     if (type == kMemDecommit) {  // pages read as zero afterwards
                         std::uint8_t* p = space.pointer(address, size);
                         if (!p || size == 0) return 0u;
                         std::memset(p, 0, size);
                         return 1u;
                     }
                     return 0u;
                 }});
    e.push_back({"LoadLibraryA", 1, [&space, &layer](Args a) -> Result {
                     auto name = readString(space, a[0]);
                     if (!name) return std::nullopt;
                     return layer.load(*name);
                 }});
    e.push_back(
        {"FreeLibrary", 1, [&layer](Args a) -> Result { return layer.release(a[0]) ? 1u : 0u; }});
    // A second argument below 0x10000 is an ordinal, as on Windows.
    e.push_back({"GetProcAddress", 2, [&space, &layer](Args a) -> Result {
                     if (a[1] < 0x10000) return layer.lookupOrdinal(a[0], std::uint16_t(a[1]));
                     auto name = readString(space, a[1]);
                     if (!name) return std::nullopt;
                     return layer.lookup(a[0], *name);
                 }});
    return e;
}

std::vector<HostExport> user32Exports(SystemLibraries& layer) {
    GuestSpace& space = layer.space();
    WaitableTimers& timers = layer.timers();
    SystemColours& colours = layer.colours();
    std::vector<HostExport> e;

    e.push_back({"MsgWaitForMultipleObjects", 5, [&space, &timers](Args a) -> Result {
                     std::uint32_t count = a[0];
                     if (count > 64) return kWaitFailed;
                     std::vector<std::uint32_t> handles(count);
                     if (count) {
                         const std::uint8_t* p = space.pointer(a[1], 4ull * count);
                         if (!p) return kWaitFailed;
                         std::memcpy(handles.data(), p, 4ull * count);
                     }
                     return timers.waitWithMessages(handles, a[2] != 0, a[3]);
                 }});
    // All or nothing: an unknown index changes no colour and returns 0.
    e.push_back({"SetSysColors", 3, [&space, &colours](Args a) -> Result {
                     std::uint32_t count = a[0];
                     if (count == 0) return 1u;
                     const std::uint8_t* idx = space.pointer(a[1], 4ull * count);
                     const std::uint8_t* rgb = space.pointer(a[2], 4ull * count);
                     if (!idx || !rgb) return std::nullopt;
                     std::vector<std::int32_t> indexes(count);
                     std::vector<std::uint32_t> values(count);
                     std::memcpy(indexes.data(), idx, 4ull * count);
                     std::memcpy(values.data(), rgb, 4ull * count);
                     for (std::int32_t i : indexes)
                         if (!SystemColours::validIndex(i)) return 0u;
                     for (std::uint32_t i = 0; i < count; ++i) colours.set(indexes[i], values[i]);
                     return 1u;
                 }});
    e.push_back({"GetSysColor", 1, [&colours](Args a) -> Result {
                     return colours.get(std::int32_t(a[0])).value_or(0);
                 }});
    return e;
}

}  // namespace skin
