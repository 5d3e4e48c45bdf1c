// Pixel work of the bitmap button, kept free of Windows: the transparent
// key colour, the darkened (pressed) and lightened (hover) variants of a
// picture, and the runs of visible pixels that make its hit region.
//
// Pictures are 32-bit BGRX buffers: 4 bytes per pixel in the order blue,
// green, red, unused, rows packed without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ub {

// Pure blue is transparent: bytes B,G,R = 255,0,0; as a COLORREF (0x00BBGGRR)
// 0x00FF0000.
constexpr uint32_t kKeyColorRef = 0x00FF0000;
constexpr uint8_t kKeyBlue = 255, kKeyGreen = 0, kKeyRed = 0;

constexpr double kPressedExponent = 1.4;  // darker
constexpr double kHoverExponent = 0.8;    // lighter

inline bool IsKeyPixel(const uint8_t* bgrx) {
    return bgrx[0] == kKeyBlue && bgrx[1] == kKeyGreen && bgrx[2] == kKeyRed;
}

// trunc(255 * (c / 255)^exponent).
uint8_t GammaChannel(uint8_t c, double exponent);

// Writes `pixelCount` pixels of `src` to `dst` with blue, green and red of
// every non-key pixel passed through GammaChannel; key pixels and the
// unused byte are copied as they are. `dst` may equal `src`.
void DeriveImage(const uint8_t* src, uint8_t* dst, size_t pixelCount, double exponent);
inline void DerivePressedImage(const uint8_t* src, uint8_t* dst, size_t pixelCount) {
    DeriveImage(src, dst, pixelCount, kPressedExponent);
}
inline void DeriveHoverImage(const uint8_t* src, uint8_t* dst, size_t pixelCount) {
    DeriveImage(src, dst, pixelCount, kHoverExponent);
}

// A horizontal run of visible pixels: row y (0 = top of the picture),
// columns xStart to xEnd - 1.
struct PixelRun {
    int y;
    int xStart;
    int xEnd;
    bool operator==(const PixelRun& o) const { return y == o.y && xStart == o.xStart && xEnd == o.xEnd; }
};

// The runs of non-key pixels, rows from the top of the picture, each row
// left to right. `bottomUp`: the buffer holds the bottom row first, as a
// bottom-up DIB does.
std::vector<PixelRun> VisibleRuns(const uint8_t* pixels, int width, int height, bool bottomUp);

bool RunsContain(const std::vector<PixelRun>& runs, int x, int y);

}  // namespace ub
