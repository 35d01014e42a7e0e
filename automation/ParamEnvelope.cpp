#include "automation/ParamEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>

static_assert(sizeof(MP_ENVELOPE_SEGMENT) == 32, "segments are compared byte for byte: no padding");
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "curve values rely on IEEE conversions (NaN, infinities, rounding)");

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoTo63 = 9223372036854775808.0;

bool SameSegment(const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) {
    // Every field, values bit for bit: a NaN segment repeated is still a repeat.
    return std::memcmp(&a, &b, sizeof(MP_ENVELOPE_SEGMENT)) == 0;
}

bool StartsEarlier(const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) {
    return a.rtStart < b.rtStart;
}

// A total order that puts identical segments next to each other.
bool StartsEarlierThenBytes(const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) {
    if (a.rtStart != b.rtStart) return a.rtStart < b.rtStart;
    return std::memcmp(&a, &b, sizeof(MP_ENVELOPE_SEGMENT)) < 0;
}

// The segment's curve code as the host sent it, any 32-bit value. Read as an
// integer: a code outside the enumeration may not be loaded as the
// enumeration type (that is undefined behaviour).
uint32_t CurveCode(const MP_ENVELOPE_SEGMENT& segment) {
    static_assert(sizeof(segment.iCurve) == sizeof(uint32_t), "a curve code is 32 bits");
    uint32_t code;
    std::memcpy(&code, &segment.iCurve, sizeof code);
    return code;
}

// Distance b - a for b >= a, exact even when the signed difference overflows
// (an open start of -2^63 against a positive time).
double Distance(REFERENCE_TIME a, REFERENCE_TIME b) {
    return static_cast<double>(static_cast<uint64_t>(b) - static_cast<uint64_t>(a));
}

}  // namespace

REFERENCE_TIME SaturatingTrunc(double value) {
    if (std::isnan(value)) return 0;
    if (value >= kTwoTo63) return INT64_MAX;
    if (value < -kTwoTo63) return INT64_MIN;
    return static_cast<REFERENCE_TIME>(value);  // toward zero
}

REFERENCE_TIME SnapToSampleGrid(REFERENCE_TIME t, double k) {
    if (t == kOpenStart || t == kOpenEnd) return t;
    if (!(k > 0.0) || !std::isfinite(k)) return t;
    const double scaled = static_cast<double>(t) * k;
    // Beyond 2^63 samples (only at rates far above any audio rate) there is
    // no grid to snap to: the time stays as given.
    if (!(std::fabs(scaled) < kTwoTo63)) return t;
    const REFERENCE_TIME samples = static_cast<REFERENCE_TIME>(scaled);  // toward zero
    return SaturatingTrunc(static_cast<double>(samples) * (1 / k) + 0.5);
}

CParamEnvelope::CParamEnvelope()
    : m_descriptor{}, m_current(0.0f), m_override(0), m_capture(0), m_static(0.0f), m_lastEvaluation(0) {}

CParamEnvelope::~CParamEnvelope() = default;

void CParamEnvelope::InitFromDescriptor(const ParamDescriptor& descriptor) {
    m_descriptor = descriptor;
    m_current.store(ToInternal(descriptor.info.mpdNeutralValue), std::memory_order_relaxed);
    if (m_segments.empty() && !OverrideFlag() && !CaptureFlag()) {
        m_static.store(CurrentValue(), std::memory_order_relaxed);
        m_override.store(1, std::memory_order_relaxed);
    }
}

float CParamEnvelope::ToInternal(float value) const {
    const MP_PARAMINFO& info = m_descriptor.info;
    if (info.mpType == MPT_BOOL) return value >= 0.5f ? 1.0f : 0.0f;
    const float mapped = (value - info.mpdMinValue) / (info.mpdMaxValue - info.mpdMinValue) *
                             (m_descriptor.internalMaximum - m_descriptor.internalMinimum) +
                         m_descriptor.internalMinimum;
    if (info.mpType == MPT_FLOAT) return mapped;
    // Integer and enumerated parameters: nearest whole number, halves up,
    // negative values too (floor, not a conversion: NaN and infinities pass).
    return std::floor(mapped + 0.5f);
}

HRESULT CParamEnvelope::SetStaticValue(float value) {
    const float internal = ToInternal(value);
    m_override.store(1, std::memory_order_relaxed);
    m_static.store(internal, std::memory_order_relaxed);
    m_current.store(internal, std::memory_order_relaxed);
    return S_OK;
}

float CParamEnvelope::InternalInForce() const {
    return (OverrideFlag() || CaptureFlag()) ? StaticValue() : CurrentValue();
}

float CParamEnvelope::ValueInForce() const {
    const float value = InternalInForce();
    const MP_PARAMINFO& info = m_descriptor.info;
    if (info.mpType == MPT_BOOL) return value;
    return (value - m_descriptor.internalMinimum) / (m_descriptor.internalMaximum - m_descriptor.internalMinimum) *
               (info.mpdMaxValue - info.mpdMinValue) +
           info.mpdMinValue;
}

HRESULT CParamEnvelope::GetValue(float* value) const {
    if (!value) return E_POINTER;
    *value = ValueInForce();
    return S_OK;
}

namespace {

// Index of the last segment of list starting at or before t, -1 for none.
int32_t FindIn(const std::vector<MP_ENVELOPE_SEGMENT>& list, REFERENCE_TIME t) {
    const int32_t count = static_cast<int32_t>(list.size());
    if (count == 0) return -1;
    if (t >= list[count - 1].rtStart) return count - 1;

    // Bisection; stops on an exact start match or when the bracket closes.
    int32_t lo = 0;
    int32_t hi = count;
    int32_t mid = count / 2;
    do {
        const REFERENCE_TIME s = list[mid].rtStart;
        if (t == s) break;
        if (t < s) {
            hi = mid;
        } else {
            lo = mid;
        }
        mid = (lo + hi) / 2;
    } while (mid != lo);
    while (mid >= 0 && list[mid].rtStart > t) --mid;
    return mid;
}

}  // namespace

void CParamEnvelope::KeepValueIfEmptied() {
    if (m_segments.empty() && !OverrideFlag() && !CaptureFlag()) {
        // The parameter keeps the value the automation last gave it.
        m_static.store(CurrentValue(), std::memory_order_relaxed);
        m_override.store(1, std::memory_order_relaxed);
    }
}

void CParamEnvelope::SwapIn(SegmentList& next, bool flushed) {
    CAutoLock lock(this);
    m_segments.swap(next);
    m_hasSegments.store(!m_segments.empty(), std::memory_order_release);
    if (flushed) {
        m_lastEvaluation = 0;
        KeepValueIfEmptied();
    }
}

HRESULT CParamEnvelope::AddSegments(DWORD count, const MP_ENVELOPE_SEGMENT* segments, double k) {
    if (count == 0) return S_OK;
    if (!segments) return E_POINTER;
    CAutoLock writer(&m_writerLock);
    REFERENCE_TIME lastEvaluation;
    {
        CAutoLock lock(this);
        lastEvaluation = m_lastEvaluation;
    }

    // The new list is built beside the one in force. Its allocation is the
    // only one: once it has succeeded nothing below can fail, so a failure
    // leaves the list exactly as it was.
    const size_t held = m_segments.size();
    // Indices are signed 32-bit (FindSegmentIndex): the list stays below that.
    if (held + count > static_cast<size_t>(INT32_MAX)) return E_OUTOFMEMORY;
    SegmentList next;
    try {
        next.reserve(held + count);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
    next.insert(next.end(), m_segments.begin(), m_segments.end());

    // Snapped copies: the caller's array stays as it was, so one array given to
    // several envelopes yields the same segments in each.
    REFERENCE_TIME smallestStart = kOpenEnd;
    for (DWORD i = 0; i < count; ++i) {
        MP_ENVELOPE_SEGMENT segment = segments[i];
        segment.rtStart = SnapToSampleGrid(segment.rtStart, k);
        segment.rtEnd = SnapToSampleGrid(segment.rtEnd, k);
        smallestStart = std::min(smallestStart, segment.rtStart);
        next.push_back(segment);
    }

    // Drop repeats within this call and segments already held, then merge the
    // sorted newcomers into the sorted list. The held part is sorted by start
    // time, so a repeat of a held segment is found by binary search.
    const auto heldEnd = next.begin() + static_cast<std::ptrdiff_t>(held);
    std::sort(heldEnd, next.end(), StartsEarlierThenBytes);
    auto kept = std::unique(heldEnd, next.end(), SameSegment);
    kept = std::remove_if(heldEnd, kept, [&next, heldEnd](const MP_ENVELOPE_SEGMENT& segment) {
        auto it = std::lower_bound(next.begin(), heldEnd, segment, StartsEarlier);
        for (; it != heldEnd && it->rtStart == segment.rtStart; ++it) {
            if (SameSegment(*it, segment)) return true;
        }
        return false;
    });
    next.erase(kept, next.end());
    // Its scratch comes from the non-throwing new; without it the merge
    // works in place.
    std::inplace_merge(next.begin(), next.begin() + static_cast<std::ptrdiff_t>(held), next.end(), StartsEarlier);

    // Segments that playback has passed: keep the one in force at the last
    // evaluation and the one before it, drop everything earlier.
    if (smallestStart > lastEvaluation) {
        const int32_t passed = FindIn(next, lastEvaluation) - 1;
        if (passed > 0) next.erase(next.begin(), next.begin() + passed);
    }
    SwapIn(next, false);
    return S_OK;   // the superseded list is freed here, on this thread
}

HRESULT CParamEnvelope::FlushSegments(REFERENCE_TIME start, REFERENCE_TIME end, double k) {
    CAutoLock writer(&m_writerLock);
    start = SnapToSampleGrid(start, k);
    end = SnapToSampleGrid(end, k);
    // Overlap, not touch: a segment ending exactly at start survives, and so
    // does one starting exactly at end.
    const auto overlaps = [start, end](const MP_ENVELOPE_SEGMENT& segment) {
        return start < segment.rtEnd && end > segment.rtStart;
    };
    const size_t removed = static_cast<size_t>(std::count_if(m_segments.begin(), m_segments.end(), overlaps));
    SegmentList next;
    if (removed > 0 && removed < m_segments.size()) {
        try {
            next.reserve(m_segments.size() - removed);
        } catch (const std::bad_alloc&) {
            // No memory for a copy: remove in place, holding the list lock
            // for the whole pass (the streaming thread skips its buffers
            // meanwhile).
            CAutoLock lock(this);
            m_segments.erase(std::remove_if(m_segments.begin(), m_segments.end(), overlaps), m_segments.end());
            m_hasSegments.store(!m_segments.empty(), std::memory_order_release);
            m_lastEvaluation = 0;
            KeepValueIfEmptied();
            return S_OK;
        }
        std::remove_copy_if(m_segments.begin(), m_segments.end(), std::back_inserter(next), overlaps);
        SwapIn(next, true);
    } else if (removed > 0) {
        SwapIn(next, true);   // every segment goes: the empty list needs no memory
    } else {
        CAutoLock lock(this);
        m_lastEvaluation = 0;
        KeepValueIfEmptied();
    }
    return S_OK;
}

int32_t CParamEnvelope::FindSegmentIndex(REFERENCE_TIME t) {
    CAutoLock lock(this);
    return FindIn(m_segments, t);
}

HRESULT CParamEnvelope::EvaluateAt(REFERENCE_TIME t) {
    // Most envelopes hold no segments: nothing to evaluate, no lock to try.
    if (!m_hasSegments.load(std::memory_order_acquire)) return S_FALSE;
    // A writer holds the list lock only for a swap; rather than wait for it,
    // this buffer keeps the value it has.
    if (!TryLock()) return S_FALSE;
    const HRESULT hr = EvaluateLocked(t);
    Unlock();
    return hr;
}

HRESULT CParamEnvelope::EvaluateLocked(REFERENCE_TIME t) {
    if (m_segments.empty()) return S_FALSE;

    const int32_t index = FindIn(m_segments, t);
    if (index < 0) {
        // Before the first segment: the current value stays.
        m_lastEvaluation = t;
        return S_OK;
    }

    const MP_ENVELOPE_SEGMENT& segment = m_segments[index];
    if (segment.rtStart <= t && t <= segment.rtEnd) {
        // Automation takes over from a static value; a capture stays.
        m_override.store(0, std::memory_order_relaxed);

        const double vS = ToInternal(segment.valStart);
        const double vE = ToInternal(segment.valEnd);
        const double d = vE - vS;
        double value;
        const uint32_t curve = CurveCode(segment);
        if (curve == MP_CURVE_JUMP) {
            value = vS;
        } else if (segment.rtEnd == segment.rtStart) {
            // A zero-length segment has no position inside it (0 / 0): it
            // gives its end value.
            value = vE;
        } else {
            const double x = (Distance(segment.rtStart, t) * 1e-7) / (Distance(segment.rtStart, segment.rtEnd) * 1e-7);
            switch (curve) {
                case MP_CURVE_LINEAR:
                    value = vS + d * x;
                    break;
                case MP_CURVE_SQUARE:
                    value = vS + d * x * x;
                    break;
                case MP_CURVE_INVSQUARE:
                    value = vE - d * (1 - x) * (1 - x);
                    break;
                default:  // MP_CURVE_SINE and any unknown curve
                    value = vS + d * (std::sin(kPi * (x - 0.5)) + 1) / 2;
                    break;
            }
        }
        m_current.store(static_cast<float>(value), std::memory_order_relaxed);
        m_lastEvaluation = t;
        return S_OK;
    }

    // Past the end of the segment in force (a gap, or after the last one).
    const float endValue = ToInternal(segment.valEnd);
    m_current.store(endValue, std::memory_order_relaxed);
    if (m_lastEvaluation < segment.rtEnd && !CaptureFlag() && OverrideFlag()) {
        // Playback has just crossed the end of this segment while a static
        // value was in force: the held value follows the segment's end.
        m_static.store(endValue, std::memory_order_relaxed);
    }
    m_lastEvaluation = t;
    return S_OK;
}

size_t CParamEnvelope::SegmentCount() {
    CAutoLock lock(this);
    return m_segments.size();
}

MP_ENVELOPE_SEGMENT CParamEnvelope::Segment(size_t index) {
    CAutoLock lock(this);
    return m_segments[index];
}

REFERENCE_TIME CParamEnvelope::LastEvaluationTime() {
    CAutoLock lock(this);
    return m_lastEvaluation;
}
