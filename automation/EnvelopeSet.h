// CEnvelopeSet: the 21 parameter envelopes with the sample rate and the
// changed flag; everything the media-parameters object does that needs no COM.
//
// CMediaParams (Windows) is a thin COM face over one of these: it adds the
// interface plumbing, the pointer checks a host needs, GetParamText's
// CoTaskMemAlloc and the host's UI callback. The native build uses this class
// directly (tests, benchmarks).
//
// Threads: the host's automation calls (SetParam, AddEnvelope, FlushEnvelope)
// arrive on its own threads, UpdateValues on the streaming thread, the capture
// calls on the editor's thread. There is no lock here: each envelope guards
// its own segment list, and the changed flag, the sample rate and the capture
// flags are single 32-bit words.
#pragma once
#include <atomic>

#include "automation/ParamEnvelope.h"
#include "common/WinTypes.h"
#include "effect/ParamTable.h"

class CEnvelopeSet {
public:
    // The index that addresses every parameter in AddEnvelope and FlushEnvelope.
    static constexpr DWORD kAllParams = 0xFFFFFFFF;
    static constexpr LONG kDefaultSampleRate = 44100;

    // Envelope i starts from descriptor i of the parameter table.
    CEnvelopeSet();
    CEnvelopeSet(const CEnvelopeSet&) = delete;
    CEnvelopeSet& operator=(const CEnvelopeSet&) = delete;

    CParamEnvelope& Envelope(DWORD index) { return m_envelopes[index]; }  // index < kParamCount

    // The IMediaParams operations, with their argument checks (index first).
    HRESULT GetParam(DWORD index, MP_DATA* value) const;
    HRESULT SetParam(DWORD index, MP_DATA value);
    HRESULT AddEnvelope(DWORD index, DWORD count, const MP_ENVELOPE_SEGMENT* segments);
    HRESULT FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end);

    // The editor's drag: marks or clears the capture flag of each listed
    // parameter. The whole list is checked first; an index outside 0..20
    // refuses the call (E_INVALIDARG) and changes nothing.
    HRESULT SetCapture(const DWORD* indices, DWORD count, bool captured);
    // SetParam for each listed index in order; stops at the first failure and
    // returns it (the values before it stay applied).
    HRESULT ApplyChanges(const DWORD* indices, DWORD count, const MP_DATA* values);

    // The effect's per-buffer read: value in force, normalised; no lock.
    MP_DATA ValueInForce(DWORD index) const;

    // S_OK and clears the changed flag when it was set, else S_FALSE.
    HRESULT TestAndClearChanged();
    // Raises the changed flag and moves the change count.
    void MarkChanged() {
        m_changed.store(1, std::memory_order_relaxed);
        m_changeCount.fetch_add(1, std::memory_order_release);
    }
    bool IsChanged() const { return m_changed.load(std::memory_order_relaxed) != 0; }
    // Moves (after the values) whenever a value in force may have changed:
    // SetParam, a capture mark, a flush, segments evaluated. The audio
    // thread skips reading all 21 values while it stands still.
    uint32_t ChangeCount() const { return m_changeCount.load(std::memory_order_acquire); }

    // From the pins whenever a media type is set. A rate of 0 or less would
    // make every time conversion divide by zero: refused, rate unchanged.
    HRESULT SetSampleRate(LONG rate);
    LONG SampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }

    // Streaming thread, before each buffer: evaluates every envelope at the
    // time of the buffer's first frame. S_OK when some envelope holds
    // segments (the changed flag is then raised), S_FALSE when none does.
    HRESULT UpdateValues(LONGLONG position);

    // Frame position to REFERENCE_TIME at the current rate, rounded.
    REFERENCE_TIME PositionToTime(LONGLONG position) const;

private:
    double SamplesPer100ns() const { return SampleRate() * 1e-7; }

    CParamEnvelope m_envelopes[kParamCount];
    std::atomic<LONG> m_sampleRate;
    std::atomic<LONG> m_changed;
    std::atomic<uint32_t> m_changeCount{0};
};
