// The icon drawn at each size the desktop gets: transparent around the set,
// the "now" row's red time cell where it belongs, and at 16 pixels grid rows
// that stay apart.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tools/icon/icon_image.h"

namespace {

struct Pixel {
    int b, g, r, a;
};

Pixel at(const std::vector<std::uint8_t>& bgra, int size, int x, int y) {
    const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * size + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

TEST(GuideIcon, EverySizeHasItsPixelsAndTheNowRowInPlace) {
    // The red time cell of the "now" row has its centre at (14.5, 28) of the
    // 64-unit picture, at (16, 30) in the pixel-aligned grid below 32.
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::vector<std::uint8_t> icon = tools::drawGuideIcon(size);
        ASSERT_EQ(icon.size(), static_cast<std::size_t>(size) * size * 4);
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(at(icon, size, x, y).a, 0) << x << "," << y;
        const bool small = size < 32;
        const Pixel now = at(icon, size, static_cast<int>((small ? 16 : 14.5) * size / 64),
                             static_cast<int>((small ? 30 : 28) * size / 64));
        EXPECT_EQ(now.a, 255);
        EXPECT_GT(now.r, 230);
        EXPECT_LT(now.g, 110);
        EXPECT_LT(now.b, 80);
    }
}

TEST(GuideIcon, SixteenPixelGridRowsStayApart) {
    // Title bars on pixel rows 5, 7, 9, 11 with the dark screen between.
    const std::vector<std::uint8_t> icon = tools::drawGuideIcon(16);
    const auto brightness = [&](int y) {
        const Pixel p = at(icon, 16, 8, y);
        return p.r + p.g + p.b;
    };
    for (int y = 5; y <= 11; ++y) {
        SCOPED_TRACE(y);
        if (y % 2)
            EXPECT_GT(brightness(y), 600);
        else
            EXPECT_LT(brightness(y), 250);
    }
}

TEST(GuideIcon, TheWindowIconIsTheSixtyFourPixelPicture) {
    const std::vector<std::uint8_t> pixels = tools::drawGuideIcon();
    const std::vector<std::uint8_t> ico = tools::iconFile(pixels);
    ASSERT_EQ(ico.size(), 6u + 16 + 40 + 64 * 64 * 4 + 64 * 8);
    EXPECT_EQ(ico[6], 64);  // directory entry: width, height
    EXPECT_EQ(ico[7], 64);
    // Bottom-up rows: the top row of the picture is the last colour row.
    const std::size_t topRow = 6 + 16 + 40 + 63 * 64 * 4;
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 64 * 4, ico.begin() + topRow));
}

}  // namespace
