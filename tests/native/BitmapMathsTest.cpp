#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/controls/BitmapMaths.h"

namespace ub {
namespace {

TEST(BitmapMaths, GammaChannel) {
    struct Case {
        uint8_t in, pressed, hover;
    } cases[] = {
        {0, 0, 0},
        {1, 0, 3},        // 255 * (1/255)^0.8 = 3.05
        {64, 36, 84},     // 36.82 and 84.38: truncated, not rounded
        {128, 97, 146},
        {200, 181, 209},  // 181.48 and 209.96
        {254, 253, 254},
        {255, 255, 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GammaChannel(c.in, kPressedExponent), c.pressed) << int(c.in);
        EXPECT_EQ(GammaChannel(c.in, kHoverExponent), c.hover) << int(c.in);
    }
    // Strictly darker between the ends; never darker on hover (near the top
    // truncation eats the small gain).
    for (int c = 1; c < 255; ++c) {
        EXPECT_LT(GammaChannel(uint8_t(c), kPressedExponent), c) << c;
        EXPECT_GE(GammaChannel(uint8_t(c), kHoverExponent), c) << c;
    }
}

TEST(BitmapMaths, OnlyPureBlueIsTheKey) {
    struct Case {
        uint8_t b, g, r;
        bool key;
    } cases[] = {
        {255, 0, 0, true}, {254, 0, 0, false}, {255, 1, 0, false},
        {255, 0, 1, false}, {0, 0, 255, false}, {255, 255, 255, false},
    };
    for (const Case& c : cases) {
        const uint8_t px[4] = {c.b, c.g, c.r, 0x5A};
        EXPECT_EQ(IsKeyPixel(px), c.key) << int(c.b) << "," << int(c.g) << "," << int(c.r);
    }
    // As a COLORREF (0x00BBGGRR) pure blue is 0x00FF0000.
    EXPECT_EQ(kKeyColorRef, 0x00FF0000u);
}

TEST(BitmapMaths, DerivedImagesKeepKeyPixelsAndTheUnusedByte) {
    // B,G,R,X per pixel.
    const std::vector<uint8_t> src = {
        255, 0, 0, 7,      // key: unchanged in both
        254, 0, 0, 9,      // near-key: a picture pixel
        128, 255, 0, 0,    //
        0, 128, 200, 0xAB, //
        255, 0, 0, 0,      // key again, after visible pixels
    };
    struct Case {
        const char* name;
        void (*derive)(const uint8_t*, uint8_t*, size_t);
        std::vector<uint8_t> expected;
    } cases[] = {
        {"pressed", DerivePressedImage,
         {255, 0, 0, 7, 253, 0, 0, 9, 97, 255, 0, 0, 0, 97, 181, 0xAB, 255, 0, 0, 0}},
        {"hover", DeriveHoverImage,
         {255, 0, 0, 7, 254, 0, 0, 9, 146, 255, 0, 0, 0, 146, 209, 0xAB, 255, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> dst(src.size(), 0xEE);
        c.derive(src.data(), dst.data(), src.size() / 4);
        EXPECT_EQ(dst, c.expected) << c.name;
        // In place gives the same.
        std::vector<uint8_t> inPlace = src;
        c.derive(inPlace.data(), inPlace.data(), inPlace.size() / 4);
        EXPECT_EQ(inPlace, c.expected) << c.name;
    }
}

// A picture from text, top row first: '.' key, '#' grey, 'n' near-key blue.
std::vector<uint8_t> Picture(const std::vector<std::string>& rows, bool bottomUp) {
    std::vector<uint8_t> px;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& row = rows[bottomUp ? rows.size() - 1 - i : i];
        for (char ch : row) {
            if (ch == '.') px.insert(px.end(), {255, 0, 0, 0});
            else if (ch == 'n') px.insert(px.end(), {254, 0, 0, 0});
            else px.insert(px.end(), {128, 128, 128, 0});
        }
    }
    return px;
}

TEST(BitmapMaths, VisibleRunsOfARoundPictureWithHoles) {
    const std::vector<std::string> rows = {
        ".####.",  //
        "##..#n",  // near-key closes the run at the right edge
        "#.##.#",  //
        ".####.",
    };
    const std::vector<PixelRun> expected = {
        {0, 1, 5},                        //
        {1, 0, 2}, {1, 4, 6},             //
        {2, 0, 1}, {2, 2, 4}, {2, 5, 6},  //
        {3, 1, 5},
    };
    for (bool bottomUp : {false, true}) {
        std::vector<uint8_t> px = Picture(rows, bottomUp);
        std::vector<PixelRun> runs = VisibleRuns(px.data(), 6, 4, bottomUp);
        EXPECT_EQ(runs, expected) << "bottomUp " << bottomUp;

        // Every pixel: inside exactly where the picture is not key.
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(RunsContain(runs, x, y), rows[y][x] != '.') << x << "," << y << " bottomUp " << bottomUp;
    }
}

TEST(BitmapMaths, NoRunsForAnAllKeyOrEmptyPicture) {
    std::vector<uint8_t> px = Picture({"....", "....", "...."}, true);
    std::vector<PixelRun> runs = VisibleRuns(px.data(), 4, 3, true);
    EXPECT_TRUE(runs.empty());
    EXPECT_FALSE(RunsContain(runs, 0, 0));
    EXPECT_TRUE(VisibleRuns(px.data(), 0, 3, true).empty());
    EXPECT_TRUE(VisibleRuns(px.data(), 4, 0, false).empty());
}

TEST(BitmapMaths, RunsContainStaysInsideTheRunAndRow) {
    const std::vector<PixelRun> runs = {{2, 3, 6}};
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {
        {3, 2, true}, {5, 2, true}, {2, 2, false}, {6, 2, false}, {4, 1, false}, {4, 3, false}, {-1, 2, false},
    };
    for (const Case& c : cases) EXPECT_EQ(RunsContain(runs, c.x, c.y), c.inside) << c.x << "," << c.y;
}

}  // namespace
}  // namespace ub
