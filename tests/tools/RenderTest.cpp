// zvdelay-render: its argument and Data-string parsing, and the program run
// on small generated WAV files, with the expected samples worked out by hand.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/render/RenderOptions.h"

namespace {

// --- names, values and the Data string ----------------------------------------------

TEST(RenderOptions, DataStringInThePresetLayout) {
    EXPECT_EQ("5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0", FormatDataString(kDefaultBlock));
    ParamBlock b{};
    EXPECT_EQ("", ParseDataString("5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0", b));
    EXPECT_EQ(0, std::memcmp(kDefaultBlock.v, b.v, sizeof b.v));
    EXPECT_EQ("", ParseDataString("1,0,0,0,0,40000,19,100,100,100,100,100,301,130,1,30,-361,2,9999,0,1", b));
    EXPECT_EQ(40000, b[kParamDelayR]);
    EXPECT_EQ(-361, b[kParamOutput]);
    EXPECT_EQ(1, b[kParamListen]);
}

TEST(RenderOptions, DataStringMistakesAreRefused) {
    ParamBlock b{};
    EXPECT_NE("", ParseDataString("5000,12,40", b));                                              // too few
    EXPECT_NE("", ParseDataString("5000,12,40,10,30,5000,12,40,10,30,40,0,0,100,301,100,0,1,1200,1,0,7", b));
    EXPECT_NE("", ParseDataString("5000,12,40,10,30,5000,12,40,10,30,40,0,0,100,301,100,0,1,1200,1,", b));
    EXPECT_NE("", ParseDataString("0,12,40,10,30,5000,12,40,10,30,40,0,0,100,301,100,0,1,1200,1,0", b));  // DelayL 0
    EXPECT_NE("", ParseDataString("5000;12,40,10,30,5000,12,40,10,30,40,0,0,100,301,100,0,1,1200,1,0", b));
    EXPECT_NE("", ParseDataString("", b));
}

std::string Parse(std::vector<const char*> args, RenderOptions& o) {
    args.insert(args.begin(), "zvdelay-render");
    return ParseRenderArguments(static_cast<int>(args.size()), args.data(), o);
}

TEST(RenderOptions, ArgumentsInOrder) {
    RenderOptions o;
    EXPECT_EQ("", Parse({"in.wav", "--set", "MixL=50", "out.wav", "--block", "64", "--data",
                         "5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0", "--set", "MixL=70",
                         "--bypass"},
                        o));
    EXPECT_EQ("in.wav", o.input);
    EXPECT_EQ("out.wav", o.output);
    EXPECT_EQ(64, o.blockFrames);
    EXPECT_TRUE(o.bypass);
    ASSERT_EQ(1u + 21u + 1u, o.settings.size());
    EXPECT_EQ(kParamMixL, o.settings.front().index);
    EXPECT_EQ(50, o.settings.front().value);
    EXPECT_EQ(70, o.settings.back().value);   // the last one wins
}

// --- the program on generated files -------------------------------------------------

class RenderRun : public ::testing::Test {
protected:
    RenderRun() {
        char pattern[] = "/tmp/zvrender-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~RenderRun() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    template <typename T>
    void Write(const std::string& name, int format, int channels, int rate, const std::vector<T>& samples) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* f = sf_open(Path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(nullptr, f) << sf_strerror(nullptr);
        const sf_count_t frames = static_cast<sf_count_t>(samples.size() / channels);
        if constexpr (sizeof(T) == 2) sf_writef_short(f, samples.data(), frames);
        if constexpr (sizeof(T) == 4) sf_writef_float(f, samples.data(), frames);
        if constexpr (sizeof(T) == 8) sf_writef_double(f, samples.data(), frames);
        sf_close(f);
    }

    // Runs the renderer; returns its exit status and keeps its stdout.
    int Run(const std::string& args) {
        const std::string command = std::string("'") + ZV_RENDER_PATH + "' " + args + " 2>'" + Path("stderr.txt") + "'";
        FILE* p = popen(command.c_str(), "r");
        stdoutText.clear();
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, p)) stdoutText += buffer;
        const int status = pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    template <typename T>
    std::vector<T> Read(const std::string& name, SF_INFO& info) {
        info = SF_INFO{};
        SNDFILE* f = sf_open(Path(name).c_str(), SFM_READ, &info);
        EXPECT_NE(nullptr, f);
        if (!f) return {};
        std::vector<T> v(static_cast<size_t>(info.frames) * info.channels);
        if constexpr (sizeof(T) == 4) sf_readf_float(f, v.data(), info.frames);
        if constexpr (sizeof(T) == 8) sf_readf_double(f, v.data(), info.frames);
        sf_close(f);
        return v;
    }

    bool Exists(const std::string& name) const { return access(Path(name).c_str(), F_OK) == 0; }

    std::string dir;
    std::string stdoutText;
};

// Full wet on both sides, no feedback, cross-feed, diffusion or filters.
const char* kIsolated = "--set MixL=100 --set MixR=100 --set FeedbkL=0 --set FeedbkR=0 --set XfeedL=0 --set XfeedR=0";

TEST_F(RenderRun, SixteenBitMonoImpulseEchoesOnBothChannels) {
    std::vector<int16_t> in(1000, 0);
    in[0] = 16384;   // 0.5 after x * 1/32768
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, in);
    ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") + "' " + kIsolated +
                     " --set DelayL=1000 --set DelayR=500"));
    SF_INFO info;
    const std::vector<float> out = Read<float>("out.wav", info);
    EXPECT_EQ(SF_FORMAT_FLOAT, info.format & SF_FORMAT_SUBMASK);   // float32 for 16-bit input
    EXPECT_EQ(2, info.channels);
    EXPECT_EQ(8000, info.samplerate);
    ASSERT_EQ(1000, info.frames);
    // Echoes: 500 * 8000 / 10000 = 400 frames on the right, 800 on the left,
    // at full height (the wet gain sin(1.570796325) rounds to 1).
    EXPECT_EQ(0.5f, out[2 * 800]);
    EXPECT_EQ(0.5f, out[2 * 400 + 1]);
    // The dry leak at full wet: 0.5 * cos(1.570796325).
    EXPECT_NEAR(0.5 * (1.5707963267948966 - 1.570796325), out[0], 1e-16);
    for (size_t i = 2; i < out.size(); ++i) {
        if (i != 2 * 800 && i != 2 * 400 + 1) {
            ASSERT_LT(std::fabs(out[i]), 1e-20) << i;
        }
    }
    EXPECT_NE(std::string::npos, stdoutText.find("1000 frames, 2 blocks, peak L 0.500000 R 0.500000, clip L 0 R 0"))
        << stdoutText;
}

TEST_F(RenderRun, DoubleInputGivesDoubleOutputExactly) {
    // Dry only at unity: each output sample is the input plus the double
    // value of the single-precision 1e-30.
    std::vector<double> in(2 * 300);
    for (size_t i = 0; i < in.size(); ++i) in[i] = std::sin(0.01 * static_cast<double>(i)) * 0.7;
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2, 44100, in);
    ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") + "' --set MixL=0 --set MixR=0 --block 7"));
    SF_INFO info;
    const std::vector<double> out = Read<double>("out.wav", info);
    EXPECT_EQ(SF_FORMAT_DOUBLE, info.format & SF_FORMAT_SUBMASK);
    ASSERT_EQ(in.size(), out.size());
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(in[i] + 1.0000000031710769e-30, out[i]) << i;
    EXPECT_NE(std::string::npos, stdoutText.find("300 frames, 43 blocks")) << stdoutText;
}

TEST_F(RenderRun, BlockSizeDoesNotChangeTheResult) {
    std::vector<float> in(2 * 5000);
    uint32_t seed = 9;
    for (float& v : in) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int32_t>(seed) / 4294967296.0);
    }
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, in);
    const std::string all = " --set DiffAmnt=100 --set HighFreq=250 --set LowFreq=60 --set DelayL=30 --set DelayR=45";
    std::vector<std::vector<float>> outs;
    for (const char* block : {"1", "64", "4096"}) {
        ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") + "' --block " + block + all));
        SF_INFO info;
        outs.push_back(Read<float>("out.wav", info));
    }
    ASSERT_EQ(outs[0].size(), in.size());
    EXPECT_EQ(0, std::memcmp(outs[0].data(), outs[1].data(), outs[0].size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(outs[0].data(), outs[2].data(), outs[0].size() * sizeof(float)));
}

TEST_F(RenderRun, DataStringAppliesAllValues) {
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 8000, std::vector<float>(2 * 100, 0.5f));
    // Output -361: silence, whatever else is set.
    ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") +
                     "' --data '5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,-361, 1,1200,1,0'"));
    SF_INFO info;
    for (float v : Read<float>("out.wav", info)) ASSERT_EQ(0.0f, v);
    // A later --set overrides the Data string.
    ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") +
                     "' --data '5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,-361, 1,1200,1,0'"
                     " --set Output=0 --set MixL=0 --set MixR=0"));
    const std::vector<float> out = Read<float>("out.wav", info);
    EXPECT_EQ(0.5f, out[0]);
}

TEST_F(RenderRun, LoudOutputRaisesTheClipIndicators) {
    std::vector<int16_t> in(2 * 50, 0);
    in[20] = 32767;   // left, about 1.0; +6 dB of gain takes it to about 2
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, in);
    ASSERT_EQ(0, Run("'" + Path("in.wav") + "' '" + Path("out.wav") + "' --set MixL=0 --set Output=60"));
    EXPECT_NE(std::string::npos, stdoutText.find("clip L 3 R 0")) << stdoutText;
}

TEST_F(RenderRun, FailuresWriteNothing) {
    Write("in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 8000, std::vector<float>(20, 0.1f));
    Write("in24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 8000, std::vector<float>(20, 0.1f));
    const std::string in = "'" + Path("in.wav") + "' ";
    const std::string out = " '" + Path("out.wav") + "'";
    EXPECT_EQ(1, Run("'" + Path("missing.wav") + "'" + out));
    EXPECT_EQ(1, Run("'" + Path("in24.wav") + "'" + out));
    EXPECT_EQ(2, Run(in + out + " --set Nope=1"));
    EXPECT_EQ(2, Run(in + out + " --set DelayL=0"));
    EXPECT_EQ(2, Run(in + out + " --set DelayL=abc"));
    EXPECT_EQ(2, Run(in + out + " --data '1,2,3'"));
    EXPECT_EQ(2, Run(in + out + " --block -5"));
    EXPECT_EQ(1, Run(in + " '" + Path("no/such/folder/out.wav") + "'"));
    EXPECT_FALSE(Exists("out.wav"));
    EXPECT_FALSE(Exists("out.wav.partial"));
    EXPECT_EQ("", stdoutText);
}

}  // namespace
