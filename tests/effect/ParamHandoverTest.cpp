// Parameters crossing threads: every block the audio thread runs with was
// written whole by one change, and nothing a writer or the host's callback
// does can make the audio thread (or another writer) wait for it.
//
// These run in the ThreadSanitizer build too. Every wait has a time-out; a
// test that would hang (a deadlock) ends the program instead of CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "common/MemoryStream.h"
#include "EffectRig.h"
#include "EffectTestSupport.h"
#include "SymmetricBlock.h"
#include "automation/EnvelopeSetLink.h"

namespace {

using namespace std::chrono_literals;

// Waits for a future; a time-out means a thread is stuck for good, which no
// later step could undo: the program stops with a message.
template <class T>
void WaitOrDie(std::future<T>& f, std::chrono::seconds limit, const char* what) {
    if (f.wait_for(limit) == std::future_status::ready) return;
    std::fprintf(stderr, "%s did not finish within %d s: a thread is stuck\n", what, static_cast<int>(limit.count()));
    std::fflush(stderr);
    std::_Exit(1);
}

TEST(ParamHandover, AReaderGetsOneWritesBlockOrNothing) {
    CParamHandover handover;
    std::atomic<bool> stop{false};
    std::atomic<int32_t> written{0};
    auto writer = std::async(std::launch::async, [&] {
        ParamBlock b;
        for (int32_t k = 1; !stop.load(); ++k) {
            for (int i = 0; i < kParamCount; ++i) b[i] = k;
            handover.Publish(b);
            written.store(k);
            if (k % 16 == 0) std::this_thread::yield();
        }
    });
    int whole = 0, failed = 0;
    int32_t newest = 0;
    const auto end = std::chrono::steady_clock::now() + 2s;
    while ((whole < 20000 || written.load() < 20000) && std::chrono::steady_clock::now() < end) {
        ParamBlock b;
        if (!handover.TryRead(&b)) {
            ++failed;
            continue;
        }
        ++whole;
        for (int i = 1; i < kParamCount; ++i) ASSERT_EQ(b[i], b[0]) << "read " << whole;
        ASSERT_GE(b[0], newest);   // never an older write after a newer one
        newest = b[0];
    }
    stop = true;
    WaitOrDie(writer, 10s, "the writer");
    EXPECT_GT(whole, 0);
    std::printf("%d whole reads, %d attempts gave nothing, %d writes\n", whole, failed, written.load());
}

// The writer alternates two whole blocks as fast as it can; the audio thread
// checks every buffer where the engine reads its settings (the block it ran
// with, the lengths and factors it computed) and in the output itself.
class EngineBlocks : public ::testing::TestWithParam<bool> {};

TEST_P(EngineBlocks, EveryBufferRunsWithOneWholeBlock) {
    const bool withAutomation = GetParam();
    CEnvelopeSet envelopes;
    CEnvelopeSetLink link(envelopes);
    CEffectRig rig(48000);
    if (withAutomation) rig.fx.AttachAutomation(&link);
    const ParamBlock a = SymmetricBlock(false), b = SymmetricBlock(true);
    rig.Apply(a);
    ASSERT_EQ(S_OK, rig.Prepare());

    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    auto writer = std::async(std::launch::async, [&] {
        // As fast as it can, but letting the other thread in between changes
        // (on a busy machine both may share one core; a writer that never
        // pauses leaves the audio thread on the block it has).
        while (!stop.load()) {
            rig.fx.SetAllParams(a.v);
            std::this_thread::yield();
            rig.fx.SetAllParams(b.v);
            std::this_thread::yield();
            writes += 2;
        }
    });
    std::vector<float> in(2 * 64);
    uint32_t seed = 7;
    int seen[2] = {0, 0};
    const auto end = std::chrono::steady_clock::now() + 3s;
    int buffers = 0;
    for (; (buffers < 5000 || writes.load() < 2000) && std::chrono::steady_clock::now() < end; ++buffers) {
        for (size_t f = 0; f < in.size(); f += 2) {
            seed = seed * 1664525u + 1013904223u;
            in[f] = in[f + 1] = static_cast<float>(static_cast<int32_t>(seed) / 4294967296.0);
        }
        const std::vector<float> out = rig.Run(in);
        const ParamBlock& used = rig.fx.EngineParams();
        const bool isA = used == a, isB = used == b;
        ASSERT_TRUE(isA || isB) << "buffer " << buffers;
        ++seen[isB ? 1 : 0];
        const NetworkConstants& n = rig.fx.Engine().Network();
        ASSERT_EQ(n.lengthLeft, n.lengthRight);
        ASSERT_EQ(n.fbL, n.fbR);
        ASSERT_EQ(n.xfL, n.xfR);
        for (size_t f = 0; f < out.size(); f += 2) ASSERT_EQ(out[f], out[f + 1]) << "buffer " << buffers;
    }
    stop = true;
    WaitOrDie(writer, 10s, "the writer");
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    std::printf("%d buffers: %d with the first block, %d with the second; %d whole-block writes\n", buffers,
                seen[0], seen[1], writes.load());
}

INSTANTIATE_TEST_SUITE_P(Automation, EngineBlocks, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Attached" : "None"; });

// An automation link whose host callback does what a host's may: block on
// its own synchronisation, or call back into the plug-in.
class CSlowHostLink : public CEnvelopeSetLink {
public:
    explicit CSlowHostLink(CEnvelopeSet& set) : CEnvelopeSetLink(set) {}
    // Quiet until onNotice is set; then the first notice fulfils enteredPromise.
    void NotifyHost(EHostNotice, DWORD, MP_DATA) override {
        if (!onNotice) return;
        if (!entered.exchange(true)) enteredPromise.set_value();
        onNotice();
    }
    std::atomic<bool> entered{false};
    std::promise<void> enteredPromise;
    std::function<void()> onNotice;
};

TEST(HostCallbacks, ABlockedCallbackStallsNeitherAudioNorOtherCallers) {
    CEnvelopeSet envelopes;
    CSlowHostLink link(envelopes);
    CEffectRig rig(48000);
    rig.fx.AttachAutomation(&link);
    rig.Apply(SymmetricBlock(false));
    ASSERT_EQ(S_OK, rig.Prepare());
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    link.onNotice = [released] { released.wait_for(10s); };
    std::future<void> entered = link.enteredPromise.get_future();

    // A user's edit; the host's callback now blocks until released.
    const ParamBlock b = SymmetricBlock(true);
    auto edit = std::async(std::launch::async, [&] { rig.fx.SetAllParams(b.v); });
    ASSERT_EQ(entered.wait_for(5s), std::future_status::ready);

    // Meanwhile the audio thread runs, with the edit in force, and another
    // caller reads and writes parameters.
    auto audio = std::async(std::launch::async, [&] {
        for (int k = 0; k < 200; ++k) rig.Silence(64);
    });
    auto other = std::async(std::launch::async, [&] {
        ParamBlock live;
        rig.fx.GetAllParams(live.v);
        rig.fx.SetFeedbkL(33, 0);
        return live;
    });
    const bool audioRan = audio.wait_for(2s) == std::future_status::ready;
    const bool otherRan = other.wait_for(2s) == std::future_status::ready;
    release.set_value();
    WaitOrDie(edit, 20s, "the edit");
    WaitOrDie(audio, 20s, "the audio thread");
    WaitOrDie(other, 20s, "the other caller");
    EXPECT_TRUE(audioRan);
    EXPECT_TRUE(otherRan);
    EXPECT_EQ(other.get(), b);
    EXPECT_EQ(rig.fx.EngineParams()[kParamMixL], b[kParamMixL]);
}

// The effect as the filter object holds it: the CQvi base is the filter
// lock, which the streaming thread holds around each buffer and the state
// save takes. A host that saves the project from inside its callback must
// not deadlock against streaming.
class CLockedDelay : public CDelay {
public:
    CLockedDelay() : CDelay(nullptr) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    CCritSec* FilterLock() { return this; }
};

TEST(HostCallbacks, ACallbackThatSavesTheStateDoesNotDeadlockStreaming) {
    CEnvelopeSet envelopes;
    CSlowHostLink link(envelopes);
    CLockedDelay fx;
    fx.AttachAutomation(&link);
    fx.SetAllParams(kDefaultBlock.v);
    const WAVEFORMATEX format = MakeFloatFormat(2, 48000);
    ASSERT_EQ(S_OK, fx.PrepareStreaming(&format, &format));
    std::atomic<int> saves{0};
    link.onNotice = [&] {
        CMemoryStream stream;
        if (SUCCEEDED(fx.SaveState(&stream))) ++saves;
    };

    std::atomic<bool> stop{false};
    auto streaming = std::async(std::launch::async, [&] {
        std::vector<float> in(2 * 64, 0.1f), out(2 * 64);
        int buffers = 0;
        while (!stop.load()) {
            CAutoLock filter(fx.FilterLock());
            int32_t n = 64, cap = 64;
            fx.ProcessFloat(1, in.data(), &n, out.data(), &cap);
            ++buffers;
        }
        return buffers;
    });
    auto edits = std::async(std::launch::async, [&] {
        for (int k = 0; k < 100; ++k) {
            const ParamBlock b = SymmetricBlock(k % 2 == 1);
            fx.SetAllParams(b.v);
        }
    });
    WaitOrDie(edits, 20s, "the edits (saving from the host's callback)");
    stop = true;
    WaitOrDie(streaming, 20s, "streaming");
    EXPECT_GT(saves.load(), 100);
    EXPECT_GT(streaming.get(), 0);
}

}  // namespace
