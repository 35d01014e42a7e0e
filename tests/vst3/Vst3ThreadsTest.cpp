// The one object's two sides on two threads: the host's audio thread
// processes, a program change every buffer, while another thread saves the
// state and reads the controller's values. Every save holds one program
// whole (what processing published, merged in one piece), never half of
// one. (The host sends the programs to processing only, as a host sends
// what it automates.) Run under ThreadSanitizer by the tsan build (tools/build tsan).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "Vst3TestHost.h"
#include "effect/StateChunk.h"
#include "presets/DataString.h"
#include "vst3/Vst3Ids.h"

namespace {

TEST(Vst3Threads, SavesBesideProcessingHoldWholeBlocks) {
    vst3host::CModule module(ZV_VST3_MODULE);
    ASSERT_TRUE(module.Loaded());
    v3_class_info_2 info{};
    ASSERT_TRUE(module.ClassInfo(0, &info));
    // Programs 3 and 7 of the factory bank, as the plug-in loads them (on
    // another instance), and the defaults the state holds before the first
    // buffer.
    const int programs[2] = {3, 7};
    std::vector<ParamBlock> expected = {kDefaultBlock};
    for (int p : programs) {
        vst3host::CInstance other(module, info.class_id);
        ASSERT_EQ(other.SetNormalized(zvvst3::kProgramParamId, p / 15.0), V3_OK);
        ParamBlock b{};
        const std::vector<uint8_t> state = other.State();
        ASSERT_TRUE(ReadStateChunk(state.data(), state.size(), &b));
        expected.push_back(b);
    }
    vst3host::CInstance plugin(module, info.class_id);
    ASSERT_TRUE(plugin.Start(48000, 64));

    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> in(64, 0.1f), left(64), right(64);
        const float* inPlanes[2] = {in.data(), in.data()};
        float* outPlanes[2] = {left.data(), right.data()};
        vst3host::CParamChanges changes;
        for (int k = 0; k < 20000; ++k) {
            changes.Clear();
            changes.Add(zvvst3::kProgramParamId, k % 64, programs[k % 2] / 15.0);
            plugin.Process(inPlanes, 2, outPlanes, 64, &changes);   // no host tempo: nothing but the programs moves the values
        }
        done = true;
    });
    int saves = 0, torn = 0;
    while (!done) {
        ParamBlock b{};
        const std::vector<uint8_t> state = plugin.State();
        if (!ReadStateChunk(state.data(), state.size(), &b)) ++torn;
        const auto same = [&](const ParamBlock& e) { return std::equal(b.v, b.v + kParamCount, e.v); };
        if (!std::any_of(expected.begin(), expected.end(), same)) ++torn;
        plugin.Normalized(zvvst3::kBypassParamId);
        ++saves;
    }
    audio.join();
    EXPECT_GT(saves, 100);
    EXPECT_EQ(torn, 0);
}

}  // namespace
