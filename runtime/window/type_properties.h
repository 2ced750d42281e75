// The type-specific properties (index 8 and up) of each control type: their
// value types, reads and writes on a live control's model.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/window/control.h"
#include "runtime/window/property_index.h"
#include "runtime/window/property_value.h"
#include "runtime/window/unit_types.h"

namespace rt {

// nullopt: the type has no such property.
std::optional<PropertyType> typePropertyType(std::uint32_t unitType, std::int32_t index);

// Reads a property; an unknown one reads as the int 0.
PropertyValue readTypeProperty(const Control& c, std::int32_t index);

// Writes a property converted to its type and says what changed; nullopt for
// an unknown or read-only property, which is left alone. A ListView's
// CurrentRow and an OutlookBar's CurrentGroup raise events and are written by
// the runtime instead.
std::optional<Change> writeTypeProperty(Control& c, std::int32_t index, const PropertyValue& value);

}  // namespace rt
