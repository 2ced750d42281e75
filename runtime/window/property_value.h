// Typed property values, as property reads return them and writes take them.
#pragma once

#include <cstdint>
#include <variant>

#include "runtime/values/value.h"

namespace rt {

struct Colour {
    std::uint32_t bgr = 0;  // 0x00BBGGRR
    friend bool operator==(const Colour&, const Colour&) = default;
};

using PropertyValue = std::variant<std::int32_t, bool, Colour, Text, Bytes>;

enum class PropertyType { Int, Bool, Colour, TextValue, BytesValue };

// Conversions a write applies for the property's type: bool is non-zero,
// int and colour take the number; texts and bytes convert only to their own
// kind (anything else gives the empty value).
std::int32_t toInt(const PropertyValue& v);
bool toBool(const PropertyValue& v);
Colour toColour(const PropertyValue& v);
Text toText(const PropertyValue& v);
Bytes toBytes(const PropertyValue& v);

}  // namespace rt
