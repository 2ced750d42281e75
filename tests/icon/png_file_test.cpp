// PNG files read back the way an icon theme's loader reads them: every
// chunk's CRC checked, the image data inflated, each row's filter undone.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tools/icon/icon_image.h"
#include "tools/icon/png_file.h"

namespace {

struct Decoded {
    std::string error;
    std::uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0;
    std::vector<std::uint8_t> rgba;  // top row first
};

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

Decoded failed(std::string error) {
    Decoded d;
    d.error = std::move(error);
    return d;
}

// Enough of a PNG reader for 8-bit RGBA with filter type 0 rows.
Decoded decode(const std::vector<std::uint8_t>& file) {
    Decoded d;
    static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin()))
        return failed("no PNG signature");
    std::vector<std::uint8_t> idat;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (at + 12 > file.size())
            return failed("chunk runs past the end at " + std::to_string(at));
        const std::uint32_t length = be32(&file[at]);
        if (at + 12 + length > file.size()) return failed("chunk data runs past the end");
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const std::uint8_t* data = &file[at + 8];
        if (crc32(0L, &file[at + 4], length + 4) != be32(data + length))
            return failed("bad CRC in " + type);
        if (type == "IHDR") {
            d.width = be32(data), d.height = be32(data + 4);
            d.depth = data[8], d.colourType = data[9];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        } else if (type == "IEND") {
            ended = true;
            if (at + 12 != file.size()) return failed("bytes after IEND");
        }
        at += 12 + length;
    }
    const std::size_t row = d.width * 4 + 1;
    std::vector<std::uint8_t> raw(row * d.height + 1);  // one spare byte: must stay unused
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK)
        return failed("image data does not inflate");
    if (rawSize != row * d.height)
        return failed("image data is " + std::to_string(rawSize) + " bytes");
    for (std::uint32_t y = 0; y < d.height; ++y) {
        if (raw[y * row] != 0) return failed("row " + std::to_string(y) + " has a filter");
        d.rgba.insert(d.rgba.end(), raw.begin() + y * row + 1, raw.begin() + (y + 1) * row);
    }
    return d;
}

TEST(PngFile, PixelsComeBackAsRgbaInTheirPlaces) {
    // 3 x 2, every byte different, so a swapped channel, row or column shows.
    const int w = 3, h = 2;
    std::vector<std::uint8_t> bgra(w * h * 4);
    for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<std::uint8_t>(10 * i + 1);
    const Decoded d = decode(tools::pngFile(w, h, bgra));
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.width, 3u);
    EXPECT_EQ(d.height, 2u);
    EXPECT_EQ(d.depth, 8);
    EXPECT_EQ(d.colourType, 6);
    ASSERT_EQ(d.rgba.size(), bgra.size());
    for (std::size_t p = 0; p < bgra.size(); p += 4) {
        SCOPED_TRACE(p / 4);
        EXPECT_EQ(d.rgba[p + 0], bgra[p + 2]);
        EXPECT_EQ(d.rgba[p + 1], bgra[p + 1]);
        EXPECT_EQ(d.rgba[p + 2], bgra[p + 0]);
        EXPECT_EQ(d.rgba[p + 3], bgra[p + 3]);
    }
}

TEST(PngFile, TheLargestIconReadsBackWhole) {
    const std::vector<std::uint8_t> bgra = tools::drawGuideIcon(256);
    const Decoded d = decode(tools::pngFile(256, 256, bgra));
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.width, 256u);
    EXPECT_EQ(d.height, 256u);
    std::size_t differing = 0;
    for (std::size_t p = 0; p < bgra.size(); p += 4) {
        differing += d.rgba[p] != bgra[p + 2] || d.rgba[p + 1] != bgra[p + 1] ||
                     d.rgba[p + 2] != bgra[p] || d.rgba[p + 3] != bgra[p + 3];
    }
    EXPECT_EQ(differing, 0u);
}

TEST(PngFile, PixelCountMustMatchTheSize) {
    EXPECT_THROW(tools::pngFile(2, 2, std::vector<std::uint8_t>(15)), std::invalid_argument);
    EXPECT_THROW(tools::pngFile(0, 1, {}), std::invalid_argument);
}

}  // namespace
