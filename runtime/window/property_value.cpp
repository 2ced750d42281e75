#include "runtime/window/property_value.h"

namespace rt {

std::int32_t toInt(const PropertyValue& v) {
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    if (auto* c = std::get_if<Colour>(&v)) return static_cast<std::int32_t>(c->bgr);
    return 0;
}

bool toBool(const PropertyValue& v) {
    return toInt(v) != 0;
}

Colour toColour(const PropertyValue& v) {
    return Colour{static_cast<std::uint32_t>(toInt(v))};
}

Text toText(const PropertyValue& v) {
    if (auto* t = std::get_if<Text>(&v)) return *t;
    return {};
}

Bytes toBytes(const PropertyValue& v) {
    if (auto* b = std::get_if<Bytes>(&v)) return *b;
    return {};
}

}  // namespace rt
