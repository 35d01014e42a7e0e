// CHostEditorLink: the parameters of a plug-in whose host and whose editor
// both change them (the CLAP and VST3 layers): the effect's automation
// object, holding each parameter's value in force, as the media-parameters
// object does for the DirectShow filter.
//
// How it is used. The layer owns a COfflineEffect (the effect, as the native
// renderer runs it) and attaches this link to it. Its editor page talks to
// the effect through ITzPlugInProp exactly as in the filter; the host talks
// to the layer; both end up here:
//
//   editor (main thread)                      host
//   setters, whole-block operations            parameter events in process()
//     -> effect (parameter lock, one change)     or params.flush, transport
//     -> SetParam: values in force               -> SetFromHost / SetHostTempo:
//     -> NotifyHost after the lock:                 values in force, with the
//        gestures and values for the host           tempo rule of CHostControls
//                                                    (no lock, no allocation)
//                       \                        /
//                        values in force (21 atomic cells)
//                                    |
//        the processing entry (AcquireParams): one whole block per piece
//
// The processing entry reads the values in force, converted to a block, once
// for every piece it runs: a layer splits its process call at each event's
// frame and applies the event between the pieces, so a change applies at
// its frame. The editor reads them through the effect's getters (which take
// them into the effect's live block); IsUpToDate tells it to read again
// after the host changed something.
//
// Whole changes, both ways. The editor's changes (a linked pair, a preset, a
// setup) are written inside the effect's hand-over bracket, so the audio
// thread reads all of one or none (AudioTransform.h). The host's changes
// (one event can move the tempo and both delays) are written inside this
// link's own sequence counter, so the effect's writers, which hold the
// parameter lock and read with ReadAllInForce, never see half of one.
// Both write the same cells; a value last written wins. While the editor
// holds a parameter (a capture: the mouse is down on its control) the
// host's changes leave that parameter alone, as the filter's envelopes keep
// a captured parameter's static value.
//
// To the host. NotifyHost (the effect calls it on the editor's thread after
// releasing its lock) keeps, per parameter, how many gestures began and
// ended and the last value; nothing is queued, so nothing can overflow.
// TakeNotices, on the thread that may talk to the host's event lists (the
// layer's process, or its params flush), turns what happened since the last
// call into, per parameter in index order: a gesture begin, the value, a
// gesture end (several gestures between two calls become one). The first
// notice after a call wakes the layer (SetWake: CLAP's request_flush), so
// that the host calls process or flush even while nothing plays.
//
// Threads. SetParam, SetCaptureFlag, NotifyHost: the effect's writers
// (parameter lock held for the first two, released for the third).
// SetFromHost, SetHostTempo, TakeNotices: the host's audio thread, or the
// main thread while the plug-in is not processing; never two at once (the
// layer's host guarantees it). ValueInForce, ChangeCount: any thread.
// ReadAllInForce: the effect's writers (may wait for a host change in
// progress; the audio thread never calls it). Nothing here locks, allocates
// or calls the host except the wake, which runs on the editor's thread with
// no lock of ours held.
#pragma once
#include <atomic>
#include <cstdint>

#include "effect/AutomationLink.h"
#include "effect/HostControls.h"
#include "effect/ParamTable.h"

class CHostEditorLink : public IAutomationLink {
public:
    CHostEditorLink();
    CHostEditorLink(const CHostEditorLink&) = delete;
    CHostEditorLink& operator=(const CHostEditorLink&) = delete;

    // IAutomationLink: the effect's side.
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override;
    HRESULT STDMETHODCALLTYPE GetParam(DWORD index, MP_DATA* value) override;
    MP_DATA ValueInForce(DWORD index) const override;
    void ReadAllInForce(MP_DATA* values) const override;
    HRESULT TestAndClearChanged() override;
    uint32_t ChangeCount() const override { return m_changes.load(std::memory_order_acquire); }
    HRESULT SetCaptureFlag(DWORD index, bool captured) override;
    void NotifyHost(EHostNotice notice, DWORD index, MP_DATA value) override;

    // The host's side. A parameter event (an internal value; the tempo rule
    // follows when it moves TempoSync, Tempo or a note value), and the
    // transport's tempo in hundredths of a beat per minute (followed with
    // TempoSync "Host", when it changed).
    void SetFromHost(int index, int32_t value);
    void SetHostTempo(int32_t hundredths);

    // The internal value in force (any thread).
    int32_t InForce(int index) const { return NormalisedToParam(index, ValueInForce(static_cast<DWORD>(index))); }

    // What the editor did since the last call: sink(notice, index, value)
    // per parameter in index order (value: the normalised value, for
    // kValueChanged). The host's thread (see above).
    template <class Sink>
    void TakeNotices(Sink&& sink);
    // Whether notices wait (any thread; a hint).
    bool NoticesPending() const { return m_noticesPending.load(std::memory_order_acquire); }

    // Called on the editor's thread by the first notice after TakeNotices
    // (no lock of ours held). Set before the editor opens.
    void SetWake(void (*wake)(void* context), void* context) {
        m_wake = wake;
        m_wakeContext = context;
    }

private:
    // The block in force, for the tempo rule (the host's thread).
    ParamBlock BlockInForce() const;
    // The rule's block into the cells whose values it changed, as one host
    // change.
    void StoreFromRule(const ParamBlock& before);

    std::atomic<float> m_value[kParamCount];
    std::atomic<bool> m_held[kParamCount];
    std::atomic<uint32_t> m_changes{0};
    std::atomic<bool> m_changed{false};
    // Odd while the host's side writes a change.
    std::atomic<uint32_t> m_hostSequence{0};
    // The host's side's own: the tempo rule and what it last followed.
    CHostControls m_rule;

    // To the host: counts of gestures begun and ended, the last value and
    // whether it is new (editor's thread writes, host's thread reads).
    std::atomic<uint32_t> m_begun[kParamCount];
    std::atomic<uint32_t> m_ended[kParamCount];
    std::atomic<float> m_noticeValue[kParamCount];
    std::atomic<bool> m_valueNew[kParamCount];
    std::atomic<bool> m_noticesPending{false};
    // What the host was told (host's thread only).
    uint32_t m_toldBegun[kParamCount] = {};
    uint32_t m_toldEnded[kParamCount] = {};
    bool m_toldHeld[kParamCount] = {};

    void (*m_wake)(void*) = nullptr;
    void* m_wakeContext = nullptr;
};

template <class Sink>
void CHostEditorLink::TakeNotices(Sink&& sink) {
    // A load first: most calls find nothing (an exchange costs every call).
    if (!m_noticesPending.load(std::memory_order_acquire) ||
        !m_noticesPending.exchange(false, std::memory_order_acq_rel))
        return;
    for (int i = 0; i < kParamCount; ++i) {
        // Ends before begins: a gesture's end is counted after its begin, so
        // the begins read are at least the ends read.
        const uint32_t ended = m_ended[i].load(std::memory_order_acquire);
        const uint32_t begun = m_begun[i].load(std::memory_order_acquire);
        const bool newValue = m_valueNew[i].exchange(false, std::memory_order_acq_rel);
        if (begun == m_toldBegun[i] && ended == m_toldEnded[i] && !newValue) continue;
        if (begun != m_toldBegun[i] && !m_toldHeld[i]) {
            sink(EHostNotice::kBeginCapture, i, 0.0f);
            m_toldHeld[i] = true;
        }
        if (newValue) sink(EHostNotice::kValueChanged, i, m_noticeValue[i].load(std::memory_order_relaxed));
        // Held unless every gesture begun has ended.
        if (m_toldHeld[i] && ended == begun) {
            sink(EHostNotice::kEndCapture, i, 0.0f);
            m_toldHeld[i] = false;
        }
        m_toldBegun[i] = begun;
        m_toldEnded[i] = ended;
    }
}
