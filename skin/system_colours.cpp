#include "skin/system_colours.h"

namespace skin {

namespace {
constexpr std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | g << 8 | b << 16;
}
}  // namespace

SystemColours::SystemColours()
    : colours_{rgb(200, 200, 200), rgb(0, 128, 128),
               rgb(0, 0, 128),     rgb(128, 128, 128),
               rgb(192, 192, 192), rgb(255, 255, 255),
               rgb(0, 0, 0),       rgb(0, 0, 0),
               rgb(0, 0, 0),       rgb(255, 255, 255),
               rgb(192, 192, 192), rgb(192, 192, 192),
               rgb(128, 128, 128), rgb(0, 0, 128),
               rgb(255, 255, 255), rgb(192, 192, 192),
               rgb(128, 128, 128), rgb(128, 128, 128),
               rgb(0, 0, 0),       rgb(192, 192, 192),
               rgb(255, 255, 255), rgb(0, 0, 0),
               rgb(223, 223, 223), rgb(0, 0, 0),
               rgb(255, 255, 225), 0,
               rgb(0, 0, 255),     rgb(16, 132, 208),
               rgb(181, 181, 181), rgb(0, 0, 128),
               rgb(192, 192, 192)} {}

std::optional<std::uint32_t> SystemColours::get(int index) const {
    if (!validIndex(index)) return std::nullopt;
    return colours_[index];
}

bool SystemColours::set(int index, std::uint32_t colour) {
    if (!validIndex(index)) return false;
    colours_[index] = colour & 0x00FFFFFF;
    changed_[index] = true;
    ++generation_;
    return true;
}

std::map<int, std::uint32_t> SystemColours::changed() const {
    std::map<int, std::uint32_t> m;
    for (int i = 0; i < kCount; ++i)
        if (changed_[i]) m[i] = colours_[i];
    return m;
}

}  // namespace skin
