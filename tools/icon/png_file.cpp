#include "tools/icon/png_file.h"

#include <zlib.h>

#include <stdexcept>
#include <string_view>

namespace tools {
namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xFF);
}

// Length, type, data, and the CRC over type and data.
void chunk(std::vector<std::uint8_t>& out, std::string_view type,
           const std::vector<std::uint8_t>& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> pngFile(int width, int height,
                                  const std::vector<std::uint8_t>& bgraTopDown) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (width < 1 || height < 1 || bgraTopDown.size() != rowBytes * height)
        throw std::invalid_argument("pngFile: pixel count does not match the size");

    // Each row: filter type 0 (none), then RGBA.
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const std::uint8_t* p = &bgraTopDown[y * rowBytes];
        for (int x = 0; x < width; ++x, p += 4) raw.insert(raw.end(), {p[2], p[1], p[0], p[3]});
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("pngFile: zlib could not compress the pixels");
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(width));
    put32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, plain

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return out;
}

}  // namespace tools
