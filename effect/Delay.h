// CDelay: the delay effect as the instrument frame and the filter object see
// it. It answers the CQvi hooks (formats, transport, events, state) and
// ITempoFeaturesInfo on top of CAudioTransform, which holds the parameters,
// the private editor interface and the processing entry.
//
// Two locks: the CQvi base is the filter lock; CAudioTransform's parameter
// lock is taken after it where both are needed.
#pragma once
#include "effect/AudioTransform.h"
#include "effect/ITempoFeaturesInfo.h"
#include "host/Qvi.h"

class CDelay : public CQvi, public ITempoFeaturesInfo, public CAudioTransform {
public:
    explicit CDelay(CQviSynthContext* owner);
    ~CDelay() override;

    // CQvi
    HRESULT QviReset() override;
    HRESULT QviCheckFormat(const WAVEFORMATEX* format) override;
    HRESULT QviSetOutputChannels(WAVEFORMATEX* format) override;
    const WAVEFORMATEX* GetInputFormat() override { return InputFormat(); }
    const WAVEFORMATEX* GetOutputFormat() override { return OutputFormat(); }
    HRESULT QviPollTempo(int64_t streamPosition, int32_t* frames, void* outputRecords, int32_t recordCount,
                         int64_t framePosition, void* eventQueue) override;
    HRESULT OnEvent(QviEvent* event) override;
    HRESULT OnNoteOn(QviEvent* event) override;
    HRESULT KeepNote(QviEvent* event, int32_t flag) override;
    HRESULT OnFilterStart() override;
    HRESULT OnFilterStop() override;
    int32_t GetStateSize() override;
    HRESULT LoadState(IStream* stream) override;
    HRESULT SaveState(IStream* stream) override;
    HRESULT OnTransportStart() override;
    HRESULT OnTransportStop() override;

    // ITempoFeaturesInfo
    HRESULT STDMETHODCALLTYPE HasTempoSource() override;

    // ITzPlugInProp: the one operation CDelay provides itself.
    HRESULT STDMETHODCALLTYPE IsHostStopped() override;

    int32_t LastHostTempo() const { return m_lastHostTempo; }

    // The two halves of the host tempo poll, for a caller that asks the host
    // with none of our locks held. FollowsHostTempo: whether this buffer
    // needs the host's tempo at all (TempoSync "Host", following on); reads
    // atomics only. ApplyHostTempo: a host tempo (hundredths of a beat per
    // minute; 0 or less: none) for this buffer; streaming thread, filter
    // lock held; never waits.
    bool FollowsHostTempo();
    void ApplyHostTempo(int32_t hostTempo);

protected:
    std::atomic<int32_t> m_started{0};          // 1 while the host transport runs
    std::atomic<int32_t> m_tempoFollowStop{1};  // 1: host tempo changes are not followed
    int32_t m_lastHostTempo = 0;    // hundredths of a beat per minute; streaming thread
};
