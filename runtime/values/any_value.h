// A value of any kind the runtime handles, for the commands that take or give
// "any value" (to text, to integer, read from bytes).
#pragma once

#include <cstdint>
#include <variant>

#include "runtime/values/value.h"

namespace rt {

// The address of one of the program's routines; 32 bits wide like the
// program's own pointers.
struct SubroutineAddress {
    std::uint32_t address = 0;
    friend bool operator==(const SubroutineAddress&, const SubroutineAddress&) = default;
};

using Value = std::variant<std::uint8_t, std::int16_t, std::int32_t, std::int64_t, float, double,
                           bool, DateTime, Text, Bytes, SubroutineAddress>;

}  // namespace rt
