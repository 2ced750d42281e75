// The flags of VirtualAlloc and VirtualFree, numbered as the system's headers
// number them: the library loader passes them to the guest's allocator, and
// the system's exports take them from the guest.
#pragma once

#include <cstdint>

namespace skin::vm {

inline constexpr std::uint32_t kMemCommit = 0x1000;
inline constexpr std::uint32_t kMemReserve = 0x2000;
inline constexpr std::uint32_t kMemDecommit = 0x4000;
inline constexpr std::uint32_t kMemRelease = 0x8000;
inline constexpr std::uint32_t kPageExecuteReadWrite = 0x40;

}  // namespace skin::vm
