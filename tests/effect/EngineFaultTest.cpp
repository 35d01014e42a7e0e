// The engine's guards: delay lengths below one sample at low rates, rates
// that cannot be set up, and allocations that fail. This program replaces
// the non-throwing array new (the engine's allocation) so that a test can
// make the n-th allocation fail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "EffectRig.h"
#include "effect/DelayEngine.h"

namespace {
int g_failAfter = -1;   // -1: never; otherwise allocations left before one fails
int g_allocations = 0;  // successful non-throwing array allocations
// Blocks handed out by the non-throwing array new and not yet deleted.
void* g_live[64];
int g_liveCount = 0;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failAfter == 0) return nullptr;
    if (g_failAfter > 0) --g_failAfter;
    void* p = std::malloc(size ? size : 1);
    if (p && g_liveCount < 64) g_live[g_liveCount++] = p;
    ++g_allocations;
    return p;
}

void operator delete[](void* p) noexcept {
    for (int i = 0; i < g_liveCount; ++i) {
        if (g_live[i] == p) {
            g_live[i] = g_live[--g_liveCount];
            break;
        }
    }
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }

void* operator new[](std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

namespace {

// --- lengths below one sample --------------------------------------------------------

TEST(EngineFaults, ShortestDelaysBelow10000HzBecomeOneSample) {
    // 1 * 7999 / 10000 = 0 samples: the position would leave the line.
    CEffectRig rig(7999);
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = 1;
    b[kParamDelayR] = 12;   // 9.6 -> 9
    rig.Apply(b);
    ASSERT_EQ(S_OK, rig.Prepare());
    std::vector<float> in(2 * 40, 0.0f);
    in[0] = 1.0f;
    in[1] = 0.5f;
    const std::vector<float> out = rig.Run(in);
    EXPECT_EQ(1, rig.fx.Engine().LengthLeft());
    EXPECT_EQ(9, rig.fx.Engine().LengthRight());
    EXPECT_EQ(0, rig.fx.Engine().Position(CDelayEngine::kLineLeft));
    EXPECT_EQ(1.0f, out[2 * 1]);       // the echo one sample later
    EXPECT_EQ(0.5f, out[2 * 9 + 1]);
    for (int f = 2; f < 40; ++f) EXPECT_LT(std::fabs(out[2 * f]), 1e-20) << f;
}

TEST(EngineFaults, TinyRatesKeepEveryPositionInsideItsBuffer) {
    for (uint32_t rate : {1u, 2u, 3u, 9999u}) {
        CDelayEngine engine;
        ASSERT_EQ(S_OK, engine.Prepare(rate));
        ParamBlock b = kDefaultBlock;
        b[kParamDiffAmnt] = 50;
        double gains[4] = {0.5, 0.5, 0.5, 0.5};
        int32_t clip[2] = {0, 0};
        std::vector<float> in(2 * 1000, 0.25f), out(2 * 1000);
        for (int32_t delay : {1, 2, 3, 7, 9999, 40000}) {
            b[kParamDelayL] = delay;
            b[kParamDelayR] = 40001 - delay;
            engine.BeginBlock(b, rate, gains);
            FrameMeter meter{&clip[0], &clip[1], 0.0, 0.0};
            engine.Run(in.data(), 2, out.data(), 1000, meter);
            for (int buffer = 0; buffer < CDelayEngine::kBufferCount; ++buffer) {
                ASSERT_GE(engine.Position(buffer), 0);
                ASSERT_LT(engine.Position(buffer), engine.BufferSize(buffer)) << rate << " " << delay;
            }
            EXPECT_GE(engine.LengthLeft(), 1);
            EXPECT_LE(engine.LengthLeft(), engine.BufferSize(CDelayEngine::kLineLeft));
        }
    }
}

// --- set-up failures -------------------------------------------------------------------

TEST(EngineFaults, RateZeroIsRefused) {
    CDelayEngine engine;
    EXPECT_EQ(E_INVALIDARG, engine.Prepare(0));
    EXPECT_FALSE(engine.IsPrepared());
}

TEST(EngineFaults, LinesBeyondA32BitPositionAreRefusedBeforeAllocating) {
    const int before = g_allocations;
    CDelayEngine engine;
    EXPECT_EQ(E_OUTOFMEMORY, engine.Prepare(536870912u));   // 4 * rate = 2^31
    EXPECT_EQ(E_OUTOFMEMORY, engine.Prepare(0xFFFFFFFFu));
    EXPECT_FALSE(engine.IsPrepared());
    EXPECT_EQ(before, g_allocations);
}

TEST(EngineFaults, EachFailedAllocationLeavesAnEmptyEngineAndNoLeak) {
    for (int failing = 0; failing < CDelayEngine::kBufferCount; ++failing) {
        const int live = g_liveCount;
        {
            CDelayEngine engine;
            g_failAfter = failing;
            EXPECT_EQ(E_OUTOFMEMORY, engine.Prepare(48000)) << failing;
            g_failAfter = -1;
            EXPECT_FALSE(engine.IsPrepared());
            for (int b = 0; b < CDelayEngine::kBufferCount; ++b) EXPECT_EQ(nullptr, engine.Buffer(b));
            // Running an empty engine does nothing (and does not crash).
            float in[2] = {1, 1}, out[2] = {7, 7};
            int32_t clip[2] = {0, 0};
            FrameMeter meter{&clip[0], &clip[1], 0.0, 0.0};
            engine.Run(in, 2, out, 1, meter);
            EXPECT_EQ(7.0f, out[0]);
        }
        EXPECT_EQ(live, g_liveCount) << failing;
    }
}

TEST(EngineFaults, FailedPrepareReachesTheCallerAndAnotherPrepareRecovers) {
    CEffectRig rig(48000);
    rig.Apply(IsolatedBlock());
    ASSERT_EQ(S_OK, rig.Prepare());
    g_failAfter = 3;
    EXPECT_EQ(E_OUTOFMEMORY, rig.Prepare());
    g_failAfter = -1;
    float in[2] = {1, 1}, out[2] = {7, 7};
    int32_t n = 1, m = 1;
    EXPECT_EQ(E_UNEXPECTED, rig.fx.ProcessFloat(1, in, &n, out, &m));
    EXPECT_EQ(0, n);
    EXPECT_EQ(7.0f, out[0]);
    ASSERT_EQ(S_OK, rig.Prepare());
    n = m = 1;
    EXPECT_EQ(S_OK, rig.fx.ProcessFloat(1, in, &n, out, &m));
    EXPECT_EQ(1, n);
}

}  // namespace
