// The 8-bit run-length decoder: every code, and damaged data that must stay
// inside the buffer and the input.
#include <gtest/gtest.h>

#include <vector>

#include "editor/RleDecoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes into a buffer with guard bytes on both sides; the guards must stay.
struct Decoded {
    bool ended;
    Bytes pixels;
    bool guardsIntact;
};
Decoded Decode(const Bytes& data, int width, int height) {
    const size_t stride = (width + 3) & ~3;
    Bytes buffer(stride * height + 32, 0xEE);
    std::fill(buffer.begin() + 16, buffer.begin() + 16 + stride * height, 0);
    // The data in a vector of their own size, so a read past them would be
    // a read past the allocation.
    Bytes input(data);
    const bool ended = DecodeRle8(input.data(), input.size(), buffer.data() + 16, width, height, stride);
    bool guards = true;
    for (size_t i = 0; i < 16; ++i) guards = guards && buffer[i] == 0xEE && buffer[buffer.size() - 1 - i] == 0xEE;
    return {ended, Bytes(buffer.begin() + 16, buffer.end() - 16), guards};
}

}  // namespace

TEST(RleDecoder, RunsLiteralsAndEnds) {
    // Row 0: a run of three 7s. Row 1: an odd literal 1 2 3, its one pad byte
    // (0x55, which must not be read as a code), then a run of one 9.
    const Decoded d = Decode({3, 7, 0, 0, 0, 3, 1, 2, 3, 0x55, 1, 9, 0, 1}, 4, 2);
    EXPECT_TRUE(d.ended);
    EXPECT_EQ(d.pixels, (Bytes{7, 7, 7, 0, 1, 2, 3, 9}));
    // An even literal has no pad: the 1 9 right after it is a run.
    EXPECT_EQ(Decode({0, 4, 1, 2, 3, 4, 1, 9, 0, 1}, 5, 1).pixels, (Bytes{1, 2, 3, 4, 9, 0, 0, 0}));
}

TEST(RleDecoder, DeltaAndEndOfLines) {
    // Delta (2, 1) from (1, 0) lands on (3, 1).
    const Decoded d = Decode({1, 5, 0, 2, 2, 1, 1, 6, 0, 1}, 4, 2);
    EXPECT_EQ(d.pixels, (Bytes{5, 0, 0, 0, 0, 0, 0, 6}));
    // The end of the last row ends the picture; what follows is not read.
    const Decoded rows = Decode({1, 1, 0, 0, 1, 2, 0, 0, 1, 3}, 2, 2);
    EXPECT_TRUE(rows.ended);
    EXPECT_EQ(rows.pixels, (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(RleDecoder, DamagedDataStaysInBounds) {
    // A run longer than the row, a delta far below, a literal past the edge.
    const Decoded d = Decode({255, 4, 0, 0, 0, 2, 200, 200, 1, 9, 0, 1}, 3, 2);
    EXPECT_TRUE(d.guardsIntact);
    EXPECT_EQ(d.pixels, (Bytes{4, 4, 4, 0, 0, 0, 0, 0}));
    const Decoded wide = Decode({0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 2, 8}, 4, 2);
    EXPECT_TRUE(wide.guardsIntact);
    EXPECT_EQ(wide.pixels, (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
    // Data cut short: inside a literal, inside a delta, before a pad byte,
    // and a lone odd byte. None of them ends the picture.
    EXPECT_FALSE(Decode({0, 5, 1, 2}, 8, 1).ended);
    EXPECT_FALSE(Decode({0, 2, 1}, 8, 1).ended);
    EXPECT_FALSE(Decode({0, 3, 1, 2, 3}, 8, 1).ended);
    EXPECT_FALSE(Decode({3}, 8, 1).ended);
    EXPECT_EQ(Decode({0, 5, 1, 2}, 8, 1).pixels, Bytes(8, 0));
}
