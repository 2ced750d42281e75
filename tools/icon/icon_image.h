// The guide's own icon: a small television whose screen shows a programme
// grid (time column and title bars), drawn in code and saved as a .ico file
// holding one 64x64 32-bit image.
#pragma once

#include <cstdint>
#include <vector>

namespace tools {

inline constexpr int kIconSize = 64;

// Straight (not premultiplied) BGRA pixels, top row first.
std::vector<std::uint8_t> drawGuideIcon();

// A complete .ico file with one 32-bpp image of kIconSize square: directory,
// BITMAPINFOHEADER, bottom-up BGRA rows, and the AND mask (set where alpha is 0).
std::vector<std::uint8_t> iconFile(const std::vector<std::uint8_t>& bgraTopDown);

}  // namespace tools
