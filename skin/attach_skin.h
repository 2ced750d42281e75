// Attaching a skin: hands the skin data to the mapped skin library's
// SkinH_AttachRes, keeping a copy of the arguments as the program does.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "runtime/values/value.h"
#include "skin/declarations.h"
#include "skin/memory_library.h"

namespace skin {

// Three numbers handed through to the skin library, which gives them their
// meaning (ours ignores them); the program always passes 0, 0, 0.
using SkinLibraryValues = std::array<std::uint32_t, 3>;

// The program's kept copy of the last attachSkin arguments (an app-wide
// value; the exit routine releases it).
struct KeptSkinArguments {
    rt::Bytes data;
    SkinLibraryValues libraryValues = {};
};

// Calls SkinH_AttachRes(data address, length, password address or 0, and
// the three library values) and returns its result; 0 without any call when
// the library lacks the export (or nothing is mapped). `skinData` is handed
// over in place when it lives in guest memory, else as a guest copy that
// lasts for the call.
std::uint32_t attachSkin(MemoryLibrary& library, Declarations& declarations,
                         KeptSkinArguments& kept, std::span<const std::uint8_t> skinData,
                         const rt::Text& password = {}, SkinLibraryValues libraryValues = {});

}  // namespace skin
