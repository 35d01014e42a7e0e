// CParamEnvelope: the automation of one parameter.
//
// Holds the curve segments a host sends for the parameter (sorted by start
// time, on the host's REFERENCE_TIME line), the value set directly by the host
// or the editor (the static value), and the value the segments gave at the
// latest evaluation (the current value). Two flag words decide which of the
// two is in force: the static value while the override flag or the capture
// flag is set, the current value otherwise.
//
// Threads and locks. AddSegments and FlushSegments arrive on the host's
// threads, EvaluateAt on the streaming thread once per buffer.
//  - The writers' lock (m_writerLock) serialises AddSegments and
//    FlushSegments among themselves. Under it alone a writer copies the list,
//    sorts, merges and trims the copy: the streaming thread never takes it.
//  - The list lock (this object, a re-entrant CCritSec) guards the list in
//    force (replaced whole, by a swap) and the last evaluation time. A writer holds it only to
//    swap its finished copy in (O(1)); the superseded list is freed after it
//    is released, on the writer's thread. EvaluateAt makes one attempt at it
//    and, when a writer holds it at that moment, leaves the envelope as it is
//    for that buffer (S_FALSE): the streaming thread never waits and never
//    frees. Host readers (SegmentCount, Segment, FindSegmentIndex) take it too.
//  Order: the writers' lock, then the list lock. Nothing else is called with
//  either held.
// SetStaticValue, GetValue, ValueInForce and the capture flag take no lock:
// each touches single 32-bit words (relaxed atomics), so a reader may pair the
// static value and the override flag of two different moments for one buffer.
//
// Values are kept in internal units; hosts see external units (the
// descriptor's minimum and maximum). Both ranges are 0.0 .. 1.0 for every
// parameter of this effect, but the conversions are applied on every path.
#pragma once
#include <atomic>
#include <cstddef>
#include <vector>

#include "common/CritSec.h"
#include "common/WinTypes.h"
#include "effect/ParamDescriptor.h"

// Times that stand for "open" bounds: never moved by snapping.
constexpr REFERENCE_TIME kOpenStart = INT64_MIN;
constexpr REFERENCE_TIME kOpenEnd = INT64_MAX;

// Moves a time onto the sample grid: samples = trunc(t * k), then
// t = trunc(samples * (1 / k) + 0.5), with k in samples per 100 ns. The two
// open bounds stay as they are, and so does a time whose sample count would
// not fit 64 bits; a result beyond the 64-bit range saturates.
REFERENCE_TIME SnapToSampleGrid(REFERENCE_TIME t, double k);

// Converts a double to a REFERENCE_TIME, truncating toward zero and saturating
// at the ends of the 64-bit range (NaN gives 0). Never undefined.
REFERENCE_TIME SaturatingTrunc(double value);

class CParamEnvelope : public CCritSec {
public:
    CParamEnvelope();
    virtual ~CParamEnvelope();
    CParamEnvelope(const CParamEnvelope&) = delete;
    CParamEnvelope& operator=(const CParamEnvelope&) = delete;

    // Once, right after construction (media-params object's creation).
    void InitFromDescriptor(const ParamDescriptor& descriptor);

    // External (host) value to internal units, single precision.
    float ToInternal(float value) const;

    // Host SetParam or an editor change: the value becomes static and in
    // force. No lock. Always S_OK.
    HRESULT SetStaticValue(float value);

    // The value in force, in external units. No lock. E_POINTER for null.
    HRESULT GetValue(float* value) const;
    // The same without the HRESULT, for the effect's per-buffer read.
    float ValueInForce() const;

    // Adds copies of the caller's segments, snapped to the sample grid of k
    // (samples per 100 ns); the caller's array is never written. Skips exact
    // duplicates, keeps the list sorted, and drops segments that playback has
    // long passed. E_OUTOFMEMORY (list unchanged) when the new list cannot be
    // allocated. Host thread: builds the new list under the writers' lock and
    // holds the list lock only to swap it in.
    HRESULT AddSegments(DWORD count, const MP_ENVELOPE_SEGMENT* segments, double k);

    // Removes every segment overlapping [start, end] (snapped; the open bounds
    // kOpenStart and kOpenEnd stay). An emptied, unheld envelope keeps the last
    // automated value as its static value. Host thread: like AddSegments (when
    // no memory is left for a copy, the segments are removed in place under
    // the list lock instead). Always S_OK.
    HRESULT FlushSegments(REFERENCE_TIME start, REFERENCE_TIME end, double k);

    // Index of the last segment starting at or before t, -1 for none. Host
    // threads and tests; takes the list lock.
    int32_t FindSegmentIndex(REFERENCE_TIME t);

    // Evaluates the segments at t into the current value. S_FALSE (nothing
    // changed) when no segment is held, and when a writer is swapping a new
    // list in at this moment (the value stays as it is for this buffer).
    // Streaming thread, once per buffer: one attempt at the list lock, never
    // waits, never allocates or frees.
    HRESULT EvaluateAt(REFERENCE_TIME t);

    // Set and cleared by the media-params object around an editor drag.
    void SetCaptureFlag(bool captured) { m_capture.store(captured ? 1 : 0, std::memory_order_relaxed); }

    // Read-only views, for the media-params object and for tests.
    const ParamDescriptor& Descriptor() const { return m_descriptor; }
    size_t SegmentCount();
    MP_ENVELOPE_SEGMENT Segment(size_t index);  // index < SegmentCount()
    float CurrentValue() const { return m_current.load(std::memory_order_relaxed); }
    float StaticValue() const { return m_static.load(std::memory_order_relaxed); }
    bool OverrideFlag() const { return m_override.load(std::memory_order_relaxed) != 0; }
    bool CaptureFlag() const { return m_capture.load(std::memory_order_relaxed) != 0; }
    REFERENCE_TIME LastEvaluationTime();

private:
    using SegmentList = std::vector<MP_ENVELOPE_SEGMENT>;

    float InternalInForce() const;
    // The evaluation proper; list lock held.
    HRESULT EvaluateLocked(REFERENCE_TIME t);
    // Puts next in force (list lock held for the swap only); next receives
    // the superseded list, which the caller frees. Writers' lock held.
    void SwapIn(SegmentList& next, bool flushed);
    // An emptied, unheld envelope keeps its current value. List lock held.
    void KeepValueIfEmptied();

    ParamDescriptor m_descriptor;
    CCritSec m_writerLock;    // serialises the writers; never taken by the streaming thread
    // Sorted by rtStart. Replaced only with both locks held; read by writers
    // under the writers' lock and by everyone else under the list lock.
    SegmentList m_segments;
    std::atomic<bool> m_hasSegments{false};   // m_segments is not empty (set with each change)
    std::atomic<float> m_current;                 // written under the lock, read without
    std::atomic<int32_t> m_override;              // static value in force
    std::atomic<int32_t> m_capture;               // editor holds the parameter
    std::atomic<float> m_static;
    REFERENCE_TIME m_lastEvaluation;              // guarded by the list lock
};
