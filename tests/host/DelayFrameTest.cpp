// The effect's answers to the instrument frame and the saved-state base,
// composed as the filter object composes them: which notes the frame keeps,
// and the saved state's stream read and written with no lock of ours held.
#include <gtest/gtest.h>

#include "effect/Delay.h"
#include "effect/ParamTable.h"
#include "common/MemoryStream.h"
#include "tests/host/TestPlugIn.h"

namespace {

class CDelayFrame : public CTestOutputs<CSoftSynth>, public CDelay {
public:
    explicit CDelayFrame(HRESULT* phr) : CTestOutputs<CSoftSynth>(this, phr), CDelay(this) {
        SetInputFormat(&m_format);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    CCritSec& ParamLock() { return m_paramLock; }

private:
    WAVEFORMATEX m_format = {WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 48000 * 8, 8, 32, 0};
};

// A stream that checks, at every read and write, that neither the filter
// lock nor the parameter lock is held.
class CLockCheckingStream : public CMemoryStream {
public:
    explicit CLockCheckingStream(CDelayFrame* frame) : m_frame(frame) {}
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
        Check();
        return CMemoryStream::Read(pv, cb, read);
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
        Check();
        return CMemoryStream::Write(pv, cb, written);
    }
    int calls = 0, heldCalls = 0;

private:
    void Check() {
        ++calls;
        if (!FreeForOthers(*static_cast<CQvi*>(m_frame)) || !FreeForOthers(m_frame->ParamLock())) ++heldCalls;
    }
    CDelayFrame* m_frame;
};

QviEvent Note(uint8_t key, int32_t duration, int64_t source = kQviSourceLive) {
    QviEvent event = {};
    event.type = kQviNote;
    event.data1 = key;
    event.data2 = 100;
    event.duration = duration;
    event.source = source;
    return event;
}

}  // namespace

// The delay makes no sound from notes: a held live note stays until its
// note-off, everything else goes at the first sweep, and a transport change
// lets every note go. (Keeping them all, the list would fill to its cap.)
TEST(DelayFrame, KeepsHeldNotesOnlyUntilTheirNoteOff) {
    HRESULT constructed = S_OK;
    CDelayFrame frame(&constructed);
    struct Case {
        QviEvent note;
        int32_t flag;
        HRESULT expected;
    } const cases[] = {
        {Note(60, -1), 0, S_FALSE},                      // held: kept
        {Note(60, 0), 0, S_OK},                          // released: let go
        {Note(60, 480, kQviSourceSequenced), 0, S_OK},   // carries its length
        {Note(60, -1), 1, S_OK},                         // transport change
    };
    for (const Case& c : cases) {
        QviEvent note = c.note;
        EXPECT_EQ(frame.KeepNote(&note, c.flag), c.expected) << int32_t(c.note.duration) << " " << c.flag;
    }
    EXPECT_EQ(frame.KeepNote(nullptr, 0), E_POINTER);

    // Through the frame, live MIDI as a host sends it: 200 blocks of note-on
    // and note-off leave nothing; a held note stays until its note-off.
    CTestHost host;
    CTestMidiBuffer midi;
    host.AddRef();
    ASSERT_EQ(frame.Connect(host.Unknown()), S_OK);
    ASSERT_EQ(frame.OnStart(0), S_OK);
    auto block = [&](std::vector<TestMidiMessage> messages) {
        midi.items = messages;
        ASSERT_EQ(frame.OnInput(0, &midi), S_OK);
        ASSERT_EQ(frame.RenderEvents(64), S_OK);
        frame.AdvancePosition(64);
        ASSERT_EQ(frame.SweepActive(0), S_OK);
    };
    for (int i = 0; i < 200; ++i) block({{0, 0x90, uint8_t(i % 128), 100}, {0, 0x80, uint8_t(i % 128), 0}});
    EXPECT_TRUE(frame.Scheduler().Active().empty());
    block({{0, 0x90, 64, 100}});
    block({});
    EXPECT_EQ(frame.Scheduler().Active().size(), 1u);
    block({{0, 0x90, 64, 0}});
    EXPECT_TRUE(frame.Scheduler().Active().empty());
    frame.Disconnect();
    EXPECT_EQ(host.RefCount(), 1u);
    midi.items.clear();
}

// Save writes a snapshot taken before the first write, Load applies what it
// read after the last read: the host's stream never runs under our locks.
TEST(DelayFrame, SavedStateStreamsRunWithNoLockHeld) {
    HRESULT constructed = S_OK;
    CDelayFrame frame(&constructed);
    CLockCheckingStream saved(&frame);
    ASSERT_EQ(frame.SaveState(&saved), S_OK);
    EXPECT_EQ(saved.data.size(), 172u);
    CLockCheckingStream loaded(&frame);
    loaded.data = saved.data;
    ASSERT_EQ(frame.LoadState(&loaded), S_OK);
    EXPECT_EQ(saved.calls + loaded.calls, 2 * (1 + 2 * kParamCount));
    EXPECT_EQ(saved.heldCalls + loaded.heldCalls, 0);
}
