// The effect's parameter operations: setters, capture reporting, whole-block
// operations, setups, undo and the notification windows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "common/MemoryStream.h"
#include "EffectTestSupport.h"

using Strings = std::vector<std::string>;

class AudioTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        effect.Attach(&automation);
        effect.SetChangeNotifier(&notifier);
        automation.log.clear();
        automation.setParams.clear();
    }
    ParamBlock Live() {
        ParamBlock b;
        effect.GetAllParams(b.v);
        return b;
    }

    CRecordingAutomation automation;
    CFakeNotifier notifier;
    CTestDelay effect;
};

TEST_F(AudioTransformTest, SettersClampAndPassTheStoredValueOn) {
    int32_t v = 0;
    EXPECT_EQ(effect.SetDelayL(0, 0), S_OK);
    effect.GetDelayL(&v);
    EXPECT_EQ(v, 1);
    ASSERT_EQ(automation.setParams.size(), 1u);
    EXPECT_EQ(automation.setParams[0].index, 0u);
    EXPECT_EQ(automation.setParams[0].value, 0.0f);

    EXPECT_EQ(effect.SetDelayL(50000, 0), S_OK);
    effect.GetDelayL(&v);
    EXPECT_EQ(v, 40000);
    EXPECT_EQ(automation.setParams.back().value, 39999.0f * 2.5000625e-05f);
    EXPECT_EQ(automation.setParams.back().value, 1.0f);

    effect.SetOutput(-1000, 0);
    effect.GetOutput(&v);
    EXPECT_EQ(v, -361);
    effect.SetListen(7, 0);
    effect.GetListen(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(AudioTransformTest, SettingTheSameValueKeepsDirtyButStillReports) {
    ParamBlock scratch;
    effect.RefreshFromAutomation(&scratch);   // clears the dirty flag
    effect.SetFeedbkL(40, 1);                 // unchanged
    EXPECT_EQ(effect.RefreshFromAutomation(&scratch), 0);
    ASSERT_EQ(automation.setParams.size(), 1u);
    EXPECT_EQ(automation.Captures("changed"), Strings({"changed 2"}));
    effect.SetFeedbkL(41, 0);
    EXPECT_NE(effect.RefreshFromAutomation(&scratch), 0);
}

TEST_F(AudioTransformTest, LinkedDragsStayCapturedTogether) {
    effect.SetDelayL(3000, 1);
    effect.SetDelayR(3000, 1);
    effect.SetDelayL(3100, 1);
    EXPECT_EQ(automation.Captures(),
              Strings({"begin 0", "changed 0", "begin 5", "changed 5", "changed 0"}));
}

TEST_F(AudioTransformTest, UnlinkedDragEndsThePreviousCapture) {
    effect.SetLink(0, 0);
    automation.log.clear();
    effect.SetDelayL(3000, 1);
    effect.SetDelayL(3100, 1);
    effect.SetDelayR(3000, 1);
    EXPECT_EQ(automation.Captures(),
              Strings({"begin 0", "changed 0", "changed 0", "end 0", "begin 5", "changed 5"}));
    effect.EndParamCapture();
    EXPECT_EQ(automation.Captures("end"), Strings({"end 0", "end 5"}));
}

TEST_F(AudioTransformTest, NinthLinkedParameterRestartsTheCaptureList) {
    for (int i = 0; i < 8; ++i) effect.SetParamValue(i, 1, 1);
    EXPECT_EQ(automation.Captures("begin").size(), 8u);
    EXPECT_TRUE(automation.Captures("end").empty());
    automation.log.clear();
    effect.SetParamValue(8, 1, 1);
    EXPECT_EQ(automation.Captures(), Strings({"end 0", "end 1", "end 2", "end 3", "end 4", "end 5", "end 6",
                                              "end 7", "begin 8", "changed 8"}));
    // The list now holds the ninth alone and grows again.
    automation.log.clear();
    effect.SetParamValue(9, 1, 1);
    EXPECT_EQ(automation.Captures(), Strings({"begin 9", "changed 9"}));
}

TEST_F(AudioTransformTest, SetAllParamsCapturesThenClosesUnlessHeld) {
    effect.SetAllParams(kDefaultBlock.v);
    // Linked: 0..7 open together, 8 closes them and opens a new list (8..15),
    // 16 does it again (16..20), and the final end closes those five.
    EXPECT_EQ(automation.Captures("begin").size(), 21u);
    EXPECT_EQ(automation.Captures("end").size(), 21u);
    EXPECT_EQ(automation.Captures("end")[8], "end 8");
    EXPECT_EQ(automation.Captures("changed").size(), 21u);
    EXPECT_EQ(automation.setParams.size(), 21u);

    automation.log.clear();
    effect.SetCaptureHold(1);
    effect.SetAllParams(kDefaultBlock.v);
    EXPECT_EQ(automation.Captures("end").size(), 16u);   // 16..20 stay open
    effect.SetCaptureHold(0);
    effect.EndParamCapture();
    EXPECT_EQ(automation.Captures("end").size(), 21u);
}

TEST_F(AudioTransformTest, SetAllParamsClampsEveryValue) {
    ParamBlock wild;
    for (int i = 0; i < kParamCount; ++i) wild[i] = (i % 2) ? INT32_MAX : INT32_MIN;
    effect.SetAllParams(wild.v);
    const ParamBlock live = Live();
    for (int i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(live[i], (i % 2) ? kParamTable[i].maximum : kParamTable[i].minimum) << i;
    }
}

TEST_F(AudioTransformTest, RefreshReadsTheAutomationValuesInForce) {
    ParamBlock block;
    effect.RefreshFromAutomation(&block);
    automation.inForce[kParamDelayL] = 1.5f;
    automation.inForce[kParamDiffTime] = -0.2f;
    automation.inForce[kParamOutput] = 0.0f;
    EXPECT_NE(effect.RefreshFromAutomation(&block), 0);
    EXPECT_EQ(block[kParamDelayL], 40000);
    EXPECT_EQ(block[kParamDiffTime], 1);
    EXPECT_EQ(block[kParamOutput], -361);
    EXPECT_EQ(effect.IsUpToDate(), 0);   // the editor is told
    effect.SetRefreshPending(0);
    EXPECT_EQ(effect.RefreshFromAutomation(&block), 0);
    EXPECT_EQ(effect.IsUpToDate(), 1);
    automation.changed = true;           // a host SetParam since
    EXPECT_EQ(effect.IsUpToDate(), 0);
}

// The streaming thread's refresh may run while another thread is inside
// SetAllParams, between a setter's store into the live block and its SetParam
// to the automation object. The refresh must wait for the whole block: run
// there, it would put the old automation value back over the new live one,
// and readers would see a block made of both.
TEST_F(AudioTransformTest, RefreshDuringSetAllParamsLeavesTheWholeNewBlock) {
    class CRefreshInSetParam : public CRecordingAutomation {
    public:
        CTestDelay* effect = nullptr;
        HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override {
            if (index == kParamMixL && effect) {
                // Another thread refreshes now; given time to finish unless it
                // has to wait for the parameter lock.
                auto refresh = std::async(std::launch::async, [target = effect] {
                    ParamBlock scratch;
                    target->RefreshFromAutomation(&scratch);
                });
                refresh.wait_for(std::chrono::milliseconds(300));
                pending.push_back(std::move(refresh));
            }
            return CRecordingAutomation::SetParam(index, value);
        }
        std::vector<std::future<void>> pending;
    } racing;
    CTestDelay other;
    other.Attach(&racing);
    ParamBlock block = kDefaultBlock;
    block[kParamMixL] = 77;
    racing.effect = &other;
    other.SetAllParams(block.v);
    racing.effect = nullptr;
    ParamBlock live;
    other.GetAllParams(live.v);
    for (std::future<void>& f : racing.pending) f.wait();
    EXPECT_EQ(live[kParamMixL], 77);
    other.GetAllParams(live.v);
    EXPECT_EQ(live[kParamMixL], 77);
}

TEST_F(AudioTransformTest, SelectSetupSwapsLiveAndAlternate) {
    effect.CopySetup(0, 1);
    effect.SetMixL(77, 0);
    const ParamBlock setupA = Live();
    EXPECT_EQ(effect.SelectSetup(1), S_OK);
    EXPECT_EQ(effect.GetSetup(), 1);
    EXPECT_EQ(Live()[kParamMixL], 30);
    effect.SetFeedbkR(90, 0);
    const ParamBlock setupB = Live();
    effect.SelectSetup(1);   // already active: nothing happens
    EXPECT_EQ(Live()[kParamFeedbkR], 90);
    effect.SelectSetup(0);
    EXPECT_EQ(0, memcmp(Live().v, setupA.v, sizeof(setupA.v)));
    effect.SelectSetup(1);
    EXPECT_EQ(0, memcmp(Live().v, setupB.v, sizeof(setupB.v)));
    EXPECT_EQ(effect.SelectSetup(2), E_INVALIDARG);
    EXPECT_EQ(effect.GetSetup(), 1);
}

TEST_F(AudioTransformTest, NewEffectsAlternateSetupIsTheDefault) {
    effect.SetMixL(5, 0);
    effect.SelectSetup(1);
    EXPECT_EQ(0, memcmp(Live().v, kDefaultBlock.v, sizeof(kDefaultBlock.v)));
}

TEST_F(AudioTransformTest, CopySetupBothWays) {
    effect.SetMixR(66, 0);
    effect.CopySetup(0, 1);
    effect.SetMixR(11, 0);
    automation.setParams.clear();
    effect.CopySetup(1, 0);
    EXPECT_EQ(Live()[kParamMixR], 66);
    EXPECT_EQ(automation.setParams.size(), 21u);   // applied through the setters
    effect.CopySetup(1, 1);                        // any other pair: nothing
    effect.CopySetup(5, 0);
    EXPECT_EQ(Live()[kParamMixR], 66);
}

TEST_F(AudioTransformTest, UndoTogglesAndSharesOneSnapshotPerDrag) {
    effect.SetLink(0, 0);
    effect.SaveUndoState(kParamMixL);
    effect.SetMixL(40, 1);
    effect.SaveUndoState(kParamMixL);   // same drag: no new snapshot
    effect.SetMixL(50, 1);
    effect.Undo();
    EXPECT_EQ(Live()[kParamMixL], 30);
    effect.Undo();                      // undo of the undo
    EXPECT_EQ(Live()[kParamMixL], 50);
    effect.Undo();
    effect.Undo();
    EXPECT_EQ(Live()[kParamMixL], 50);
}

TEST_F(AudioTransformTest, SaveUndoStateSnapshotRules) {
    effect.SetLink(0, 0);
    effect.SaveUndoState(kParamMixL);   // new index: snapshot (MixL 30)
    effect.SetMixL(40, 1);              // capture of MixL is open
    effect.SaveUndoState(kParamMixL);   // same index, capture open: none
    effect.SetMixL(45, 1);
    effect.SaveUndoState(-2);           // -2 always snapshots (MixL 45)
    effect.SetMixL(60, 1);
    effect.Undo();
    EXPECT_EQ(Live()[kParamMixL], 45);

    effect.EndParamCapture();           // no capture open now
    effect.SaveUndoState(-1);           // nothing captured: snapshot
    effect.SetMixL(70, 0);
    effect.Undo();
    EXPECT_EQ(Live()[kParamMixL], 45);
}

TEST_F(AudioTransformTest, NotifyWindowsHoldTwoEntries) {
    HWND a = FakeWindow(0x10), b = FakeWindow(0x20), c = FakeWindow(0x30);
    notifier.alive = {a, b, c};
    EXPECT_EQ(effect.SetNotifyWindow(a, 32700), S_OK);
    EXPECT_EQ(effect.SetNotifyWindow(a, 32701), S_OK);   // same window, same place
    EXPECT_EQ(effect.SetNotifyWindow(b, 5), S_OK);
    EXPECT_EQ(effect.SetNotifyWindow(c, 7), E_OUTOFMEMORY);
    EXPECT_EQ(effect.SetNotifyWindow(c, 0), S_OK);       // unregistering a stranger

    effect.PostChangeCode(kChangeStateReloaded);
    ASSERT_EQ(notifier.posts.size(), 2u);
    for (const auto& p : notifier.posts) {
        const WPARAM id = p.window == a ? 32701u : 5u;
        EXPECT_EQ(p.wParam, static_cast<WPARAM>((100u << 16) | id));
    }

    // A destroyed window is dropped at the next post, freeing its place.
    notifier.alive = {b, c};
    notifier.posts.clear();
    effect.PostChangeCode(kChangeOutputFormat);
    ASSERT_EQ(notifier.posts.size(), 1u);
    EXPECT_EQ(notifier.posts[0].wParam, static_cast<WPARAM>((1u << 16) | 5u));
    EXPECT_EQ(effect.SetNotifyWindow(c, 9), S_OK);
    EXPECT_EQ(effect.SetNotifyWindow(b, 0), S_OK);       // unregister b
    notifier.posts.clear();
    effect.PostChangeCode(kChangeInputFormat);
    ASSERT_EQ(notifier.posts.size(), 1u);
    EXPECT_EQ(notifier.posts[0].window, c);
}

TEST_F(AudioTransformTest, ReloadAppliesTheAutomationStateAndPostsCode100) {
    HWND w = FakeWindow(0x40);
    notifier.alive = {w};
    effect.SetNotifyWindow(w, 32700);
    automation.inForce[kParamMixR] = 0.77f;
    EXPECT_EQ(effect.ReloadFromAutomation(), S_OK);
    EXPECT_EQ(Live()[kParamMixR], 77);
    ASSERT_EQ(notifier.posts.size(), 1u);
    EXPECT_EQ(notifier.posts[0].wParam, static_cast<WPARAM>((100u << 16) | 32700u));
}

TEST_F(AudioTransformTest, GetFormatNeedsAKeptFormat) {
    WAVEFORMATEX f{};
    EXPECT_EQ(effect.GetFormat(&f, 0), VFW_E_NOT_CONNECTED);
    const WAVEFORMATEX in = MakeFloatFormat(1, 44100), out = MakeFloatFormat(2, 44100);
    ASSERT_EQ(effect.PrepareStreaming(&in, &out), S_OK);
    EXPECT_EQ(effect.GetFormat(&f, 0), S_OK);
    EXPECT_EQ(f.nChannels, 1);
    EXPECT_EQ(effect.GetFormat(&f, 1), S_OK);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(effect.GetFormat(&f, 2), VFW_E_NOT_CONNECTED);
    effect.ReleaseStreaming();
}

// The editor reads the formats on its own thread while a pin rewrites its
// record and points the effect at it (under the filter lock, which the
// editor does not take): every read is one of the formats whole.
TEST_F(AudioTransformTest, GetFormatBesideAPinsWriteSeesAWholeFormat) {
    const WAVEFORMATEX formats[2] = {MakeFloatFormat(1, 44100), MakeFloatFormat(2, 96000)};
    WAVEFORMATEX record = formats[0];   // the pin's kept record
    effect.SetInputFormat(&record);
    std::atomic<bool> done{false};
    std::atomic<int> writes{0};
    std::thread pin([&] {
        for (int k = 0; !done.load(); ++k) {
            std::memcpy(&record, &formats[k % 2], sizeof record);   // as the pin keeps a new type
            effect.SetInputFormat(&record);
            writes.fetch_add(1);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (writes.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    int reads = 0, torn = 0;
    for (int k = 0; k < 20000; ++k) {
        WAVEFORMATEX f{};
        if (effect.GetFormat(&f, 0) != S_OK) continue;
        ++reads;
        if (std::memcmp(&f, &formats[0], sizeof f) != 0 && std::memcmp(&f, &formats[1], sizeof f) != 0) ++torn;
    }
    done.store(true);
    pin.join();
    effect.SetInputFormat(nullptr);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
}

TEST_F(AudioTransformTest, TransportFlagsAndFormatCheck) {
    EXPECT_EQ(effect.IsHostStopped(), 1);
    effect.OnTransportStart();
    EXPECT_EQ(effect.IsHostStopped(), 0);
    effect.OnFilterStop();
    EXPECT_EQ(effect.IsHostStopped(), 1);
    WAVEFORMATEX f = MakeFloatFormat(2, 48000, 64);
    EXPECT_EQ(effect.QviCheckFormat(&f), S_OK);
    f = MakeFloatFormat(1, 48000, 32);
    EXPECT_EQ(effect.QviCheckFormat(&f), VFW_E_TYPE_NOT_ACCEPTED);
    effect.QviSetOutputChannels(&f);
    EXPECT_EQ(f.nChannels, 2);
    f.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(effect.QviCheckFormat(&f), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(effect.GetStateSize(), 172);
}

TEST_F(AudioTransformTest, SavedStateRestoresEveryParameterIntoAFreshEffect) {
    effect.SetDelayL(1234, 0);
    effect.SetOutput(-100, 0);
    effect.SetListen(1, 0);
    CMemoryStream stream;
    ASSERT_EQ(effect.SaveState(&stream), S_OK);
    EXPECT_EQ(stream.data.size(), 172u);

    CRecordingAutomation otherAutomation;
    CTestDelay other;
    other.Attach(&otherAutomation);
    ASSERT_EQ(other.LoadState(&stream), S_OK);
    // The load refreshed the working parameters straight away.
    EXPECT_EQ(other.LiveParams()[kParamDelayL], 1234);
    EXPECT_EQ(other.LiveParams()[kParamOutput], -100);
    EXPECT_EQ(other.LiveParams()[kParamListen], 1);
    EXPECT_EQ(0, memcmp(other.LiveParams().v, Live().v, sizeof(ParamBlock)));
}
