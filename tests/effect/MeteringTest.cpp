// Metering through the processing entry: per-buffer peaks and the peak-read
// flag, the clip rule (above 1.0 or below -1.0), clip indicators that only
// the engine raises and only the editor lowers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EffectRig.h"

namespace {

// Dry only at unity (Mix 0, Output 0): the output is the input exactly, so
// a buffer's peak is the largest input magnitude.
class Metering : public ::testing::Test {
protected:
    Metering() : rig(48000) {
        ParamBlock b = kDefaultBlock;
        b[kParamMixL] = b[kParamMixR] = 0;
        rig.Apply(b);
        EXPECT_EQ(S_OK, rig.Prepare());
    }
    void Buffer(float left, float right) {
        std::vector<float> in = {0.0f, 0.0f, left, right, 0.1f, -0.1f};
        rig.Run(in);
    }
    std::pair<float, float> Peaks() {
        float l = -1.0f, r = -1.0f;
        EXPECT_EQ(S_OK, rig.fx.GetPeakLevels(&l, &r));
        return {l, r};
    }

    CEffectRig rig;
};

TEST_F(Metering, PeaksAccumulateUntilRead) {
    Buffer(0.5f, -0.25f);
    Buffer(0.3f, 0.125f);
    EXPECT_EQ(std::make_pair(0.5f, 0.25f), Peaks());
}

TEST_F(Metering, AReadStartsTheNextBufferAfresh) {
    Buffer(0.5f, -0.25f);
    EXPECT_EQ(std::make_pair(0.5f, 0.25f), Peaks());
    Buffer(0.3f, 0.125f);
    EXPECT_EQ(std::make_pair(0.3f, 0.125f), Peaks());
    // Reading twice without a buffer in between gives the same levels.
    EXPECT_EQ(std::make_pair(0.3f, 0.125f), Peaks());
}

TEST_F(Metering, ClipAboveOneAndBelowMinusOne) {
    Buffer(1.0f, -1.0f);   // the limits themselves do not clip
    EXPECT_EQ(0, rig.fx.GetLeftClip(0));
    EXPECT_EQ(0, rig.fx.GetRightClip(0));
    Buffer(1.0000001f, 0.0f);
    EXPECT_EQ(3, rig.fx.GetLeftClip(0));
    EXPECT_EQ(0, rig.fx.GetRightClip(0));
    Buffer(0.0f, -1.0000001f);
    EXPECT_EQ(3, rig.fx.GetRightClip(0));
}

TEST_F(Metering, NonFiniteInputReadsAsSilence) {
    // A NaN or infinite sample never reaches the output: no clip from it and
    // the peak comes from the finite samples.
    Buffer(std::numeric_limits<float>::quiet_NaN(), 0.5f);
    Buffer(0.0f, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(0, rig.fx.GetLeftClip(0));
    EXPECT_EQ(0, rig.fx.GetRightClip(0));
    EXPECT_EQ(std::make_pair(0.1f, 0.5f), Peaks());
}

TEST_F(Metering, QuietBuffersLeaveARaisedIndicatorAlone) {
    Buffer(2.0f, 2.0f);
    Buffer(0.1f, 0.1f);
    EXPECT_EQ(3, rig.fx.GetLeftClip(0));
    EXPECT_EQ(3, rig.fx.GetRightClip(0));
    // The editor lowers it; the engine leaves the lowered value until the
    // next clip.
    rig.fx.SetLeftClip(0, 2);
    Buffer(0.1f, 0.1f);
    EXPECT_EQ(2, rig.fx.GetLeftClip(0));
    Buffer(-3.0f, 0.1f);
    EXPECT_EQ(3, rig.fx.GetLeftClip(0));
}

TEST_F(Metering, ClipIsJudgedOnTheWetOutputToo) {
    // Feedback 100 plus cross-feed 100: the echoes grow without bound and
    // the indicator reports it.
    ParamBlock b = IsolatedBlock();
    b[kParamDelayL] = b[kParamDelayR] = 10;   // 48 samples
    b[kParamFeedbkL] = b[kParamFeedbkR] = 100;
    b[kParamXfeedL] = b[kParamXfeedR] = 100;
    rig.Apply(b);
    std::vector<float> in(2 * 48, 0.0f);
    in[0] = 0.5f;
    rig.Run(in);
    EXPECT_EQ(0, rig.fx.GetLeftClip(0));
    for (int k = 0; k < 4; ++k) rig.Silence(48);
    EXPECT_EQ(3, rig.fx.GetLeftClip(0));
    EXPECT_EQ(3, rig.fx.GetRightClip(0));
}

}  // namespace
