// CQvi: the instrument standard's base for a processing object. Its lock is
// the filter lock of the whole plug-in. The frame (CSoftSynth) and the filter
// object call its virtual operations; the effect (CDelay) answers them.
// The declaration order below is the slot order.
#pragma once
#include "common/CritSec.h"
#include "common/WinTypes.h"

class CQviSynthContext;
class IAutomationLink;
struct QviEvent;

class CQvi : public CCritSec {
public:
    explicit CQvi(CQviSynthContext* owner) : m_owner(owner) {}

    virtual HRESULT QviReset() = 0;                                           // 1
    virtual HRESULT QviCheckInputFormat(const WAVEFORMATEX*) { return S_OK; }  // 2
    virtual HRESULT QviCheckFormat(const WAVEFORMATEX* format) = 0;           // 3
    virtual HRESULT QviCheckTransform(const WAVEFORMATEX*, const WAVEFORMATEX*) { return S_OK; }  // 4
    virtual HRESULT QviSetOutputChannels(WAVEFORMATEX* format) = 0;           // 5
    // The formats in force, or null while none is set; the processing object
    // owns the pointers (the filter's pins set them).
    virtual const WAVEFORMATEX* GetInputFormat() = 0;                         // 6
    virtual const WAVEFORMATEX* GetOutputFormat() = 0;                        // 7
    // Per-buffer hook: stream position in frames first; the rest is the
    // frame's context (frame count, output records, frame position, queue).
    virtual HRESULT QviPollTempo(int64_t streamPosition, int32_t* frames, void* outputRecords,
                                 int32_t recordCount, int64_t framePosition, void* eventQueue) = 0;  // 8
    virtual HRESULT OnEvent(QviEvent* event) = 0;                             // 9
    virtual HRESULT OnNoteOn(QviEvent* event) = 0;                            // 10
    virtual HRESULT KeepNote(QviEvent* event, int32_t flag) = 0;              // 11
    virtual HRESULT OnFilterStart() = 0;                                      // 12
    virtual HRESULT OnFilterStop() = 0;                                       // 13
    virtual int32_t GetStateSize() = 0;                                       // 14
    virtual HRESULT LoadState(IStream* stream) = 0;                           // 15
    virtual HRESULT SaveState(IStream* stream) = 0;                           // 16
    virtual HRESULT OnTransportStart() = 0;                                   // 17
    virtual HRESULT OnTransportStop() = 0;                                    // 18
    virtual ~CQvi() = default;                                                // 19

    CQviSynthContext* GetFrame() const { return m_owner; }

protected:
    CQviSynthContext* m_owner;
};
