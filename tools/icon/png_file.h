// PNG files of the icon for the desktop's icon theme.
#pragma once

#include <cstdint>
#include <vector>

namespace tools {

// A complete PNG file (8-bit RGBA, not interlaced) of straight BGRA pixels,
// top row first, as drawGuideIcon() gives them. bgraTopDown must hold
// width * height * 4 bytes; width and height are 1 and up.
std::vector<std::uint8_t> pngFile(int width, int height,
                                  const std::vector<std::uint8_t>& bgraTopDown);

}  // namespace tools
