#include "client/controls/BitmapMaths.h"

#include <array>
#include <cmath>

namespace ub {
namespace {

using GammaTable = std::array<uint8_t, 256>;

GammaTable MakeTable(double exponent) {
    GammaTable t{};
    for (int c = 0; c < 256; ++c) t[c] = GammaChannel(uint8_t(c), exponent);
    return t;
}

// The two exponents the button uses get their tables once; any other is
// computed on the spot.
const GammaTable& TableFor(double exponent, GammaTable& scratch) {
    static const GammaTable pressed = MakeTable(kPressedExponent);
    static const GammaTable hover = MakeTable(kHoverExponent);
    if (exponent == kPressedExponent) return pressed;
    if (exponent == kHoverExponent) return hover;
    scratch = MakeTable(exponent);
    return scratch;
}

}  // namespace

uint8_t GammaChannel(uint8_t c, double exponent) {
    // The conversion truncates toward zero; the value stays within 0..255
    // because c / 255 is within 0..1.
    return uint8_t(255.0 * std::pow(c / 255.0, exponent));
}

void DeriveImage(const uint8_t* src, uint8_t* dst, size_t pixelCount, double exponent) {
    GammaTable scratch;
    const GammaTable& t = TableFor(exponent, scratch);
    for (size_t i = 0; i < pixelCount; ++i, src += 4, dst += 4) {
        if (IsKeyPixel(src)) {
            dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
        } else {
            dst[0] = t[src[0]], dst[1] = t[src[1]], dst[2] = t[src[2]];
        }
        dst[3] = src[3];
    }
}

std::vector<PixelRun> VisibleRuns(const uint8_t* pixels, int width, int height, bool bottomUp) {
    std::vector<PixelRun> runs;
    if (width <= 0 || height <= 0) return runs;
    const size_t stride = size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + stride * size_t(bottomUp ? height - 1 - y : y);
        int x = 0;
        while (x < width) {
            while (x < width && IsKeyPixel(row + 4 * x)) ++x;
            if (x == width) break;
            int start = x;
            while (x < width && !IsKeyPixel(row + 4 * x)) ++x;
            runs.push_back({y, start, x});
        }
    }
    return runs;
}

bool RunsContain(const std::vector<PixelRun>& runs, int x, int y) {
    for (const PixelRun& r : runs) {
        if (r.y == y && x >= r.xStart && x < r.xEnd) return true;
    }
    return false;
}

}  // namespace ub
