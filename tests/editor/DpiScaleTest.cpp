// Display scaling: the one rounding rule, the art sets and drags counted in
// design pixels. Expected values worked out by hand.
#include <gtest/gtest.h>

#include "editor/DpiScale.h"

TEST(DpiScale, LengthsRoundHalvesUpAndMirrorBelowZero) {
    const struct {
        int v, dpi, pixels;
    } cases[] = {
        {21, 96, 21},  {21, 144, 32}, {16, 144, 24},  {29, 144, 44},  {181, 144, 272}, {142, 144, 213},
        {21, 192, 42}, {21, 120, 26}, {21, 168, 37},  {21, 288, 63},  {-2, 144, -3},   {-1, 120, -1},
        {1, 144, 2},   {0, 288, 0},   {506, 144, 759}, {381, 144, 572}, {381, 120, 476}, {506, 288, 1518},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleToDpi(c.v, c.dpi), c.pixels) << c.v << " at " << c.dpi;
        if (c.v >= 0 && c.dpi >= 96) {
            EXPECT_EQ(DesignFromDpi(c.pixels, c.dpi), c.v) << c.v << " at " << c.dpi;
        }
    }
    // Every design length comes back from its scaled length, at any DPI from
    // 100 % to 300 %.
    for (int dpi = 96; dpi <= 288; dpi += 12) {
        for (int v = 0; v < 600; ++v) ASSERT_EQ(DesignFromDpi(ScaleToDpi(v, dpi), dpi), v) << v << " at " << dpi;
    }
}

TEST(DpiScale, NearestLargerArtSet) {
    const int cases[][3] = {{96, 100, 0}, {72, 100, 0}, {120, 150, 15000}, {144, 150, 15000},
                            {168, 200, 20000}, {192, 200, 20000}, {288, 200, 20000}};
    for (const auto& c : cases) {
        EXPECT_EQ(SkinSetForDpi(c[0]), c[1]) << c[0];
        EXPECT_EQ(SkinResourceOffset(SkinSetForDpi(c[0])), c[2]) << c[0];
    }
    EXPECT_EQ(SkinSetDpi(150), 144);
}

// A drag at 150 % moves 3 screen pixels for 2 design pixels; what does not
// make a whole one waits for the next move, and a turn starts afresh.
TEST(DpiScale, DragsCountDesignPixels) {
    CDragScaler drag;
    const int32_t moves[] = {1, 1, 1, 1, 3, -1, 2, -3};
    const int32_t design[] = {0, 1, 1, 0, 2, 0, 1, -2};
    for (size_t i = 0; i < sizeof moves / sizeof moves[0]; ++i) EXPECT_EQ(drag.Step(moves[i], 144), design[i]) << i;
    CDragScaler plain;
    EXPECT_EQ(plain.Step(-7, 96), -7);
    EXPECT_EQ(plain.Step(5, 192), 2);   // 2.5: the half waits
    EXPECT_EQ(plain.Step(1, 192), 1);
}
