// The guide's own icon: a small television whose screen shows a programme
// grid (time column and title bars), drawn in code at any size. The window
// template takes it as a .ico file holding one 64x64 32-bit image; the
// desktop takes it as PNG files in several sizes.
#pragma once

#include <cstdint>
#include <vector>

namespace tools {

inline constexpr int kIconSize = 64;

// Straight (not premultiplied) BGRA pixels of a size x size picture, top row
// first. Below 32 pixels the picture has fewer, pixel-aligned grid rows so
// they stay apart instead of blurring into one grey block. size in 1..1024.
std::vector<std::uint8_t> drawGuideIcon(int size = kIconSize);

// A complete .ico file with one 32-bpp image of kIconSize square: directory,
// BITMAPINFOHEADER, bottom-up BGRA rows, and the AND mask (set where alpha is 0).
std::vector<std::uint8_t> iconFile(const std::vector<std::uint8_t>& bgraTopDown);

}  // namespace tools
