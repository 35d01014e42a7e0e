// The compositing arithmetic: backdrop weights, fade, tint and its rim.
// Expected values are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <vector>

#include "editor/PixelBlend.h"

namespace {

// One image pixel (R, G, B, T) over one buffer pixel (B, G, R, X).
std::vector<uint8_t> BlendOne(std::vector<uint8_t> image, std::vector<uint8_t> buffer, int fade,
                              uint32_t tint = 0) {
    BlendIntoBuffer(buffer.data(), 1, BlendSource{image.data(), 1, 0, 0, 1, 1}, fade, tint, true, RimForMode(0));
    return buffer;
}

using Bytes = std::vector<uint8_t>;

}  // namespace

TEST(PixelBlend, BackdropWeightDecidesTheMix) {
    const Bytes dst{200, 100, 50, 7};  // blue 200, green 100, red 50
    EXPECT_EQ(BlendOne({10, 20, 30, 255}, dst, 255), dst);            // all backdrop
    EXPECT_EQ(BlendOne({10, 20, 30, 0}, dst, 255), (Bytes{30, 20, 10, 7}));  // image exactly
    // T = 128: weight 129. Red 10 + (40 * 129 >> 8) = 10 + 20; green 20 +
    // (80 * 129 >> 8) = 20 + 40; blue 30 + (170 * 129 >> 8) = 30 + 85.
    EXPECT_EQ(BlendOne({10, 20, 30, 128}, dst, 255), (Bytes{115, 60, 30, 7}));
    // Toward a darker backdrop the shift rounds down: 200 + (-25800 >> 8) = 200 - 101.
    EXPECT_EQ(BlendOne({200, 200, 200, 128}, {0, 0, 0, 0}, 255), (Bytes{99, 99, 99, 0}));
}

TEST(PixelBlend, FadeIsAFloorOnTheBackdropWeight) {
    // Fade 160, T = 0: weight 161. 0 + (255 * 161 >> 8) = 160.
    EXPECT_EQ(BackdropWeight(0, 160), 161);
    EXPECT_EQ(BlendOne({0, 0, 0, 0}, {255, 255, 255, 0}, 160), (Bytes{160, 160, 160, 0}));
    // T = 255 stays all backdrop; T = 100: 160 + 100 * 95 / 255 = 160 + 37, plus one.
    EXPECT_EQ(BackdropWeight(255, 160), 256);
    EXPECT_EQ(BackdropWeight(100, 160), 198);
    // Fade 192, T = 0: 193. Fade 0 draws as stored, like 255.
    EXPECT_EQ(BackdropWeight(0, 192), 193);
    EXPECT_EQ(BackdropWeight(128, 0), 129);
    EXPECT_EQ(BackdropWeight(0, 0), 0);
}

TEST(PixelBlend, TintScalesChannelsCappedAt255) {
    // 0xEB78F8FF: red 255/235, green 248/235, blue 120/235.
    // 200 * 255 / 235 = 217.0, 200 * 248 / 235 = 211.1, 200 * 120 / 235 = 102.1.
    EXPECT_EQ(BlendOne({200, 200, 200, 0}, {0, 0, 0, 0}, 255, 0xEB78F8FF), (Bytes{102, 211, 217, 0}));
    // 240 * 255 / 235 = 260.4 -> 255; 240 * 248 / 235 = 253.3; 240 * 120 / 235 = 122.6.
    EXPECT_EQ(BlendOne({240, 240, 240, 0}, {0, 0, 0, 0}, 255, 0xEB78F8FF), (Bytes{122, 253, 255, 0}));
    // A divisor of 0 cannot divide: the channel stays.
    EXPECT_EQ(TintChannel(200, 255, 0), 200);
}

TEST(PixelBlend, TintStaysInsideTheRim) {
    // A 6 x 5 image of grey 200, opaque; tinted pixels come out with blue 102.
    const int width = 6, height = 5;
    std::vector<uint8_t> image(width * height * 4);
    for (size_t i = 0; i < image.size(); i += 4) image[i] = image[i + 1] = image[i + 2] = 200, image[i + 3] = 0;
    auto tinted = [&](bool all, int mode) {
        std::vector<uint8_t> buffer(width * height * 4, 0);
        BlendIntoBuffer(buffer.data(), width, BlendSource{image.data(), width, 0, 0, width, height}, 255,
                        0xEB78F8FF, all, RimForMode(mode));
        std::string rows;
        for (int r = 0; r < height; ++r, rows += '|')
            for (int c = 0; c < width; ++c) rows += buffer[(r * width + c) * 4] == 102 ? '#' : '.';
        return rows;
    };
    // Mode 0: every pixel.
    EXPECT_EQ(tinted(true, 0), "######|######|######|######|######|");
    // Mode 1 (any but 2): columns 2..4 (c <= 6 - 2), rows 2..3 (r <= 5 - 2).
    EXPECT_EQ(tinted(false, 1), "......|......|..###.|..###.|......|");
    // Mode 2: columns 1..3 (c <= 6 - 3), rows 1..2 (r <= 5 - 3).
    EXPECT_EQ(tinted(false, 2), "......|.###..|.###..|......|......|");
}

TEST(PixelBlend, StripWindowComesFromItsPlaceInTheImage) {
    // Image 3 wide, 3 high, pixel (c, r) has red 10 * r + c. A 2 x 2 window
    // from (1, 1) goes into a buffer 4 wide: only its first two columns change.
    std::vector<uint8_t> image(3 * 3 * 4);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) image[(r * 3 + c) * 4] = static_cast<uint8_t>(10 * r + c);
    std::vector<uint8_t> buffer(4 * 2 * 4, 99);
    BlendIntoBuffer(buffer.data(), 4, BlendSource{image.data(), 3, 1, 1, 2, 2}, 255, 0, false, {2, 2, 2, 2});
    EXPECT_EQ(buffer[0 * 4 + 2], 11);
    EXPECT_EQ(buffer[1 * 4 + 2], 12);
    EXPECT_EQ(buffer[4 * 4 + 2], 21);
    EXPECT_EQ(buffer[5 * 4 + 2], 22);
    EXPECT_EQ(buffer[2 * 4 + 2], 99);
    EXPECT_EQ(buffer[7 * 4 + 2], 99);
}
