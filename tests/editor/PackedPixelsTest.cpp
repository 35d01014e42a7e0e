// The packed art and the area filter: every packet, damaged data that must
// stay inside the image and the input, and averages worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "editor/PackedPixels.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(int bpp, int width, int height) {
    return {'Z', 'V', 'P', static_cast<uint8_t>(bpp), static_cast<uint8_t>(width), 0, 0, 0,
            static_cast<uint8_t>(height), 0, 0, 0};
}
Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(PackedPixels, LiteralsAndRuns) {
    // 3 x 2 at 3 bytes: row 0 one literal pixel then a pixel standing twice
    // (128 = 2 times); row 1 three pixels as they are.
    const Bytes data = Join(Header(3, 3, 2), {0, 1, 2, 3, 128, 9, 8, 7, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    PixelImage image;
    ASSERT_TRUE(UnpackPixels(data.data(), data.size(), &image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, (Bytes{1, 2, 3, 9, 8, 7, 9, 8, 7, 10, 11, 12, 13, 14, 15, 16, 17, 18}));
    // The longest run: 255 = 129 times, at 4 bytes a pixel.
    const Bytes run = Join(Header(4, 129, 1), {255, 1, 2, 3, 4});
    ASSERT_TRUE(UnpackPixels(run.data(), run.size(), &image));
    EXPECT_EQ(image.pixels.size(), 129u * 4);
    EXPECT_EQ(image.pixels[128 * 4 + 3], 4);
}

TEST(PackedPixels, DamagedDataIsRefused) {
    const Bytes cases[] = {
        Join(Header(3, 2, 1), {1, 1, 2, 3, 4, 5}),          // literal cut short
        Join(Header(3, 2, 1), {129, 1, 2, 3}),              // a run of 3 in a row of 2
        Join(Header(3, 1, 2), {0, 1, 2, 3}),                // second row missing
        Join(Header(3, 1, 1), {0, 1, 2, 3, 0}),             // bytes after the picture
        Join(Header(5, 1, 1), {0, 1, 2, 3, 4, 5}),          // 5 bytes a pixel
        Join(Header(3, 0, 1), {}),                          // empty
        Bytes{'Z', 'V', 'X', 3, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 2, 3},
        Bytes{'Z', 'V', 'P', 3, 1, 0},                      // header cut short
        Bytes{'Z', 'V', 'P', 3, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0},   // far too large
    };
    for (const Bytes& data : cases) {
        PixelImage image;
        image.width = 7;
        EXPECT_FALSE(UnpackPixels(data.data(), data.size(), &image));
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.pixels.empty());
    }
}

TEST(PackedPixels, AreaAveraging) {
    // 3 pixels to 2: each target takes one source pixel and half the middle.
    PixelImage row{3, 1, 3, {0, 0, 0, 90, 30, 60, 180, 60, 120}};
    PixelImage two = ResampleArea(row, 2, 1);
    EXPECT_EQ(two.pixels, (Bytes{30, 10, 20, 150, 50, 100}));   // (0 + 45) / 1.5, (180 + 45) / 1.5
    // Doubled, a pixel covers whole target pixels: copied as it is.
    PixelImage up = ResampleArea(PixelImage{1, 1, 3, {7, 8, 9}}, 2, 2);
    EXPECT_EQ(up.pixels, (Bytes{7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9}));
    // With T: a see-through pixel lends no colour; the weight is the mean.
    PixelImage faded = ResampleArea(PixelImage{2, 1, 4, {200, 100, 50, 0, 0, 255, 0, 255}}, 1, 1);
    EXPECT_EQ(faded.pixels, (Bytes{200, 100, 50, 127}));   // opacity 127.5, rounded up: T = 255 - 128
    PixelImage clear = ResampleArea(PixelImage{2, 1, 4, {9, 9, 9, 255, 0, 255, 0, 255}}, 1, 1);
    EXPECT_EQ(clear.pixels, (Bytes{0, 0, 0, 255}));
    // Nothing to work with: an empty image.
    EXPECT_TRUE(ResampleArea(PixelImage{2, 1, 4, {1, 2}}, 1, 1).pixels.empty());
    EXPECT_TRUE(ResampleArea(row, 0, 1).pixels.empty());
}
