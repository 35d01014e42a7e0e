// Envelope segment lists (automation/ParamEnvelope, EnvelopeSet) driven by a
// script of host calls read from the bytes: AddEnvelope with any segments,
// FlushEnvelope, SetParam, captures, sample rates, and evaluation at any
// position. After every call each list stays sorted, the segment index
// search agrees with a plain scan, and every value in force converts into
// range.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzSupport.h"

namespace {

DWORD Index(FuzzedDataProvider& in) {
    const uint8_t i = in.ConsumeIntegral<uint8_t>();
    return i < 230 ? i % kParamCount : (i & 1 ? CEnvelopeSet::kAllParams : i);
}

void CheckLists(CEnvelopeSet& set, REFERENCE_TIME t) {
    for (DWORD i = 0; i < kParamCount; ++i) {
        CParamEnvelope& e = set.Envelope(i);
        const size_t count = e.SegmentCount();
        int32_t expected = -1;
        for (size_t k = 0; k < count; ++k) {
            const MP_ENVELOPE_SEGMENT s = e.Segment(k);
            if (k) ZV_FUZZ_CHECK(e.Segment(k - 1).rtStart <= s.rtStart);
            if (s.rtStart <= t) expected = static_cast<int32_t>(k);
        }
        const int32_t found = e.FindSegmentIndex(t);
        // Equal starts may be found at any of them.
        if (expected < 0) ZV_FUZZ_CHECK(found == -1);
        else ZV_FUZZ_CHECK(found >= 0 && e.Segment(static_cast<size_t>(found)).rtStart == e.Segment(static_cast<size_t>(expected)).rtStart);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    CEnvelopeSet set;
    REFERENCE_TIME last = 0;
    for (int call = 0; call < 64 && in.remaining_bytes() > 0; ++call) {
        switch (in.ConsumeIntegralInRange<int>(0, 6)) {
            case 0: {
                MP_ENVELOPE_SEGMENT segments[8];
                const DWORD n = in.ConsumeIntegralInRange<DWORD>(0, 8);
                for (DWORD k = 0; k < n; ++k) {
                    segments[k].rtStart = in.ConsumeIntegral<int64_t>();
                    segments[k].rtEnd = in.ConsumeIntegral<int64_t>();
                    segments[k].valStart = in.ConsumeFloatingPoint<float>();
                    segments[k].valEnd = in.ConsumeFloatingPoint<float>();
                    segments[k].iCurve = static_cast<MP_CURVE_TYPE>(in.ConsumeIntegral<uint32_t>());
                    segments[k].flags = in.ConsumeIntegral<uint32_t>();
                }
                const HRESULT hr = set.AddEnvelope(Index(in), n, n ? segments : nullptr);
                ZV_FUZZ_CHECK(hr == S_OK || hr == E_INVALIDARG);
                break;
            }
            case 1: {
                const REFERENCE_TIME a = in.ConsumeIntegral<int64_t>(), b = in.ConsumeIntegral<int64_t>();
                const HRESULT hr = set.FlushEnvelope(Index(in), a, b);
                ZV_FUZZ_CHECK(hr == S_OK || hr == E_INVALIDARG);
                break;
            }
            case 2: set.SetParam(Index(in), in.ConsumeFloatingPoint<float>()); break;
            case 3: {
                DWORD i = Index(in);
                set.SetCapture(&i, 1, in.ConsumeBool());
                break;
            }
            case 4: set.SetSampleRate(in.ConsumeIntegral<int32_t>()); break;
            default: {
                const LONGLONG position = in.ConsumeIntegral<int64_t>();
                const HRESULT hr = set.UpdateValues(position);
                ZV_FUZZ_CHECK(hr == S_OK || hr == S_FALSE);
                last = set.PositionToTime(position);
                break;
            }
        }
        CheckLists(set, last);
        CheckValuesInForce(set);
    }
    return 0;
}
