// The saved state every plug-in layer reads: the filter's saved state as
// its IPersistStream writes it (built here by hand: version text, count,
// index and normalised value per parameter) reads to the same block, a
// chunk carries every block there and back, and what is not one is refused.
#include <gtest/gtest.h>

#include "common/MemoryStream.h"
#include "effect/StateChunk.h"

namespace {

// The filter's saved state of a block, as its Save writes it.
std::vector<uint8_t> FilterState(const ParamBlock& block) {
    CMemoryStream s;
    s.PutUnits("00000000000 ");
    s.Put32(kParamCount);
    for (int i = 0; i < kParamCount; ++i) {
        s.Put32(static_cast<uint32_t>(i));
        s.PutFloat(ParamToNormalised(i, block[i]));
    }
    return s.data;
}

ParamBlock Edge(bool high) {
    ParamBlock b;
    for (int i = 0; i < kParamCount; ++i) b[i] = high ? kParamTable[i].maximum : kParamTable[i].minimum;
    return b;
}

TEST(StateChunk, FilterStatesAndChunksCarryEveryBlock) {
    ParamBlock odd = kDefaultBlock;
    odd[kParamDelayL] = 3751;
    odd[kParamOutput] = -361;
    odd[kParamHighFreq] = 7;
    for (const ParamBlock& block : {kDefaultBlock, Edge(false), Edge(true), odd}) {
        const std::vector<uint8_t> filter = FilterState(block);
        const std::vector<uint8_t> chunk = WriteStateChunk(block);
        ASSERT_EQ(chunk.size(), 8 + filter.size());
        EXPECT_EQ(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 4), std::vector<uint8_t>({'z', 'v', 'D', 'S'}));
        EXPECT_EQ(std::vector<uint8_t>(chunk.begin() + 8, chunk.end()), filter);   // the filter's bytes, unchanged
        for (const std::vector<uint8_t>* bytes : {&filter, &chunk}) {
            ParamBlock read = kDefaultBlock;
            ASSERT_TRUE(ReadStateChunk(bytes->data(), bytes->size(), &read));
            EXPECT_EQ(read, block);
        }
    }
}

TEST(StateChunk, WhatIsNoSavedStateLeavesTheBlock) {
    const std::vector<uint8_t> chunk = WriteStateChunk(Edge(true));
    const std::vector<uint8_t> cases[] = {
        {},
        std::vector<uint8_t>(chunk.begin(), chunk.begin() + 8),     // the header alone
        std::vector<uint8_t>(chunk.begin(), chunk.end() - 3),       // cut inside the last value
        {'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'a', 't', 'e'},
    };
    for (const std::vector<uint8_t>& bytes : cases) {
        ParamBlock block = kDefaultBlock;
        EXPECT_FALSE(ReadStateChunk(bytes.data(), bytes.size(), &block)) << bytes.size();
        EXPECT_EQ(block, kDefaultBlock);
    }
}

}  // namespace
