#include "tools/icon/icon_image.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tools {
namespace {

struct Colour {
    float r, g, b, a;
};

Colour over(Colour top, Colour under) {
    const float a = top.a + under.a * (1 - top.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto mix = [&](float t, float u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

// Signed distance to a rounded rectangle (negative inside).
float roundedRect(float x, float y, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const float dx = std::max(std::fabs(x - cx) - hx, 0.0f);
    const float dy = std::max(std::fabs(y - cy) - hy, 0.0f);
    const float inside = std::min(std::max(std::fabs(x - cx) - hx, std::fabs(y - cy) - hy), 0.0f);
    return std::sqrt(dx * dx + dy * dy) + inside - radius;
}

float segment(float x, float y, float ax, float ay, float bx, float by) {
    const float px = x - ax, py = y - ay, vx = bx - ax, vy = by - ay;
    const float t = std::clamp((px * vx + py * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
    return std::hypot(px - t * vx, py - t * vy);
}

const Colour kMetal{0.25f, 0.25f, 0.30f, 1};
const Colour kKnob{0.85f, 0.20f, 0.15f, 1};
const Colour kTimeCell{0.55f, 0.85f, 0.85f, 1};
const Colour kNowTime{1.0f, 0.35f, 0.25f, 1};
const Colour kTitleBar{0.92f, 0.95f, 1.0f, 0.9f};
const Colour kNowTitle{1.0f, 0.92f, 0.55f, 1};

// A filled rounded rectangle of the programme grid.
struct Cell {
    float x0, y0, x1, y1, corner;
    Colour colour;
};

// What changes with the size. Five thin grid rows where there are pixels
// enough, four below 32 pixels; every cell edge is moved to the nearest pixel
// edge so the bars stay sharp and apart instead of blurring into one grey
// block at the small sizes.
struct Layout {
    bool small = false;
    std::vector<Cell> grid;
};

Layout layoutFor(int size) {
    struct Row {
        float top, titleEnd;
        bool now;  // the second row is "now"
    };
    static constexpr Row kFull[] = {{19.5f, 52.5f, false},
                                    {26, 45.5f, true},
                                    {32.5f, 51.5f, false},
                                    {39, 44.5f, false},
                                    {45.5f, 50.5f, false}};
    static constexpr Row kSmall[] = {
        {20, 52, false}, {28, 44, true}, {36, 48, false}, {44, 40, false}};
    Layout layout;
    layout.small = size < 32;
    const float unitsPerPixel = static_cast<float>(kIconSize) / static_cast<float>(size);
    auto snap = [&](float v) { return std::round(v / unitsPerPixel) * unitsPerPixel; };
    const float timeStart = layout.small ? 12 : 10, timeEnd = layout.small ? 20 : 19;
    const float titleStart = layout.small ? 24 : 21.5f, corner = layout.small ? 0.5f : 1;
    auto add = [&](const auto& rows) {
        for (const Row& r : rows) {
            const float top = snap(r.top), bottom = snap(r.top + 4);
            layout.grid.push_back({snap(timeStart), top, snap(timeEnd), bottom, corner,
                                   r.now ? kNowTime : kTimeCell});
            layout.grid.push_back({snap(titleStart), top, snap(r.titleEnd), bottom, corner,
                                   r.now ? kNowTitle : kTitleBar});
        }
    };
    if (layout.small)
        add(kSmall);
    else
        add(kFull);
    return layout;
}

// The picture at one point, in a 64x64 space.
Colour scene(float x, float y, const Layout& layout) {
    Colour c{0, 0, 0, 0};
    auto paint = [&](bool inside, Colour col) {
        if (inside) c = over(col, c);
    };
    // Antennas and stand behind the set; the knobs would be a speck when small.
    const float antenna = layout.small ? 2.2f : 1.3f;
    paint(segment(x, y, 32, 12, 20, 2) < antenna, kMetal);
    paint(segment(x, y, 32, 12, 44, 2) < antenna, kMetal);
    if (!layout.small)
        paint(std::hypot(x - 20, y - 2) < 2.2f || std::hypot(x - 44, y - 2) < 2.2f, kKnob);
    paint(roundedRect(x, y, 22, 54, 42, 62, 2) < 0, kMetal);
    // Cabinet, then the screen, then the grid.
    paint(roundedRect(x, y, 2, 11, 62, 57, 7) < 0, {0.12f, 0.42f, 0.45f, 1});
    paint(roundedRect(x, y, 3.5f, 12.5f, 60.5f, 55.5f, 6) < 0, {0.18f, 0.55f, 0.58f, 1});
    paint(roundedRect(x, y, 7, 16, 57, 52, 3) < 0,
          {0.06f, 0.10f + 0.10f * (y - 16) / 36, 0.28f + 0.12f * (y - 16) / 36, 1});
    for (const Cell& cell : layout.grid)
        paint(roundedRect(x, y, cell.x0, cell.y0, cell.x1, cell.y1, cell.corner) < 0, cell.colour);
    return c;
}

}  // namespace

std::vector<std::uint8_t> drawGuideIcon(int size) {
    // Enough samples per pixel that every 1/4 unit of the 64-unit scene is
    // looked at, so thin strokes survive small sizes, and at least 4 x 4 for
    // smooth edges at large ones.
    const int samples = std::max(4, (4 * kIconSize + size - 1) / size);
    const float unitsPerPixel = static_cast<float>(kIconSize) / static_cast<float>(size);
    const Layout layout = layoutFor(size);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const float x = (px + (sx + 0.5f) / samples) * unitsPerPixel;
                    const float y = (py + (sy + 0.5f) / samples) * unitsPerPixel;
                    Colour c = scene(x, y, layout);
                    r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
                }
            }
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(py) * size + px) * 4];
            auto byte = [](float v) {
                return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
            };
            const float n = static_cast<float>(samples * samples);
            p[0] = a > 0 ? byte(b / a) : 0;
            p[1] = a > 0 ? byte(g / a) : 0;
            p[2] = a > 0 ? byte(r / a) : 0;
            p[3] = byte(a / n);
        }
    }
    return pixels;
}

std::vector<std::uint8_t> iconFile(const std::vector<std::uint8_t>& bgra) {
    constexpr std::uint32_t kPixelBytes = kIconSize * kIconSize * 4;
    constexpr std::uint32_t kMaskRow = ((kIconSize + 31) / 32) * 4;
    constexpr std::uint32_t kMaskBytes = kMaskRow * kIconSize;
    constexpr std::uint32_t kHeaderBytes = 40;
    constexpr std::uint32_t kImageOffset = 6 + 16;

    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    // Icon directory with one entry.
    u16(0), u16(1), u16(1);
    out.push_back(kIconSize), out.push_back(kIconSize), out.push_back(0), out.push_back(0);
    u16(1), u16(32), u32(kHeaderBytes + kPixelBytes + kMaskBytes), u32(kImageOffset);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    u32(kHeaderBytes), u32(kIconSize), u32(2 * kIconSize), u16(1), u16(32), u32(0);
    u32(kPixelBytes + kMaskBytes), u32(0), u32(0), u32(0), u32(0);
    for (int row = kIconSize - 1; row >= 0; --row) {
        out.insert(out.end(), bgra.begin() + row * kIconSize * 4,
                   bgra.begin() + (row + 1) * kIconSize * 4);
    }
    for (int row = kIconSize - 1; row >= 0; --row) {
        std::uint8_t mask[kMaskRow] = {};
        for (int x = 0; x < kIconSize; ++x) {
            if (bgra[(row * kIconSize + x) * 4 + 3] == 0) mask[x / 8] |= 0x80 >> (x % 8);
        }
        out.insert(out.end(), mask, mask + kMaskRow);
    }
    return out;
}

}  // namespace tools
