// Attaching a skin: hands the skin data to the mapped skin library's
// SkinH_AttachRes, keeping a copy of the arguments as the program does.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/values/value.h"
#include "skin/declarations.h"
#include "skin/memory_library.h"

namespace skin {

// The program's kept copy of the last AttachSkin arguments (an app-wide
// value; the exit routine releases it).
struct KeptSkinArguments {
    rt::Bytes data;
    std::uint32_t number1 = 0, number2 = 0, number3 = 0;
};

// Calls SkinH_AttachRes(data address, length, password address or 0, n1, n2,
// n3) and returns its result; 0 without any call when the library lacks the
// export (or nothing is mapped). `skinData` is handed over in place when it
// lives in guest memory, else as a guest copy that lasts for the call.
std::uint32_t AttachSkin(MemoryLibrary& library, Declarations& declarations,
                         KeptSkinArguments& kept, std::span<const std::uint8_t> skinData,
                         const rt::Text& password = {}, std::uint32_t number1 = 0,
                         std::uint32_t number2 = 0, std::uint32_t number3 = 0);

}  // namespace skin
