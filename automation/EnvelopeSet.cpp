#include "automation/EnvelopeSet.h"

#include "effect/ParamDescriptor.h"

CEnvelopeSet::CEnvelopeSet() : m_sampleRate(kDefaultSampleRate), m_changed(0) {
    const ParamDescriptor* descriptors = GetParamDescriptors();
    for (int i = 0; i < kParamCount; ++i) m_envelopes[i].InitFromDescriptor(descriptors[i]);
}

HRESULT CEnvelopeSet::GetParam(DWORD index, MP_DATA* value) const {
    if (index >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    if (!value) return E_POINTER;
    return m_envelopes[index].GetValue(value);
}

HRESULT CEnvelopeSet::SetParam(DWORD index, MP_DATA value) {
    if (index >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    const HRESULT hr = m_envelopes[index].SetStaticValue(value);
    MarkChanged();
    return hr;
}

HRESULT CEnvelopeSet::AddEnvelope(DWORD index, DWORD count, const MP_ENVELOPE_SEGMENT* segments) {
    if (index >= static_cast<DWORD>(kParamCount) && index != kAllParams) return E_INVALIDARG;
    if (count == 0) return S_OK;
    if (!segments) return E_POINTER;
    const double k = SamplesPer100ns();
    if (index != kAllParams) return m_envelopes[index].AddSegments(count, segments, k);
    for (int i = 0; i < kParamCount; ++i) {
        const HRESULT hr = m_envelopes[i].AddSegments(count, segments, k);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CEnvelopeSet::FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) {
    if (index >= static_cast<DWORD>(kParamCount) && index != kAllParams) return E_INVALIDARG;
    if (start > end) return E_INVALIDARG;
    const double k = SamplesPer100ns();
    // A flush can make a static value the one in force.
    HRESULT hr = S_OK;
    if (index != kAllParams) {
        hr = m_envelopes[index].FlushSegments(start, end, k);
    } else {
        for (int i = 0; i < kParamCount && SUCCEEDED(hr); ++i) hr = m_envelopes[i].FlushSegments(start, end, k);
    }
    m_changeCount.fetch_add(1, std::memory_order_release);
    return hr;
}

HRESULT CEnvelopeSet::SetCapture(const DWORD* indices, DWORD count, bool captured) {
    if (count == 0) return S_OK;
    if (!indices) return E_POINTER;
    for (DWORD i = 0; i < count; ++i) {
        if (indices[i] >= static_cast<DWORD>(kParamCount)) return E_INVALIDARG;
    }
    for (DWORD i = 0; i < count; ++i) m_envelopes[indices[i]].SetCaptureFlag(captured);
    m_changeCount.fetch_add(1, std::memory_order_release);
    return S_OK;
}

HRESULT CEnvelopeSet::ApplyChanges(const DWORD* indices, DWORD count, const MP_DATA* values) {
    if (count == 0) return S_OK;
    if (!indices || !values) return E_POINTER;
    for (DWORD i = 0; i < count; ++i) {
        const HRESULT hr = SetParam(indices[i], values[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

MP_DATA CEnvelopeSet::ValueInForce(DWORD index) const {
    if (index >= static_cast<DWORD>(kParamCount)) return 0.0f;
    return m_envelopes[index].ValueInForce();
}

HRESULT CEnvelopeSet::TestAndClearChanged() {
    // One exchange, so a change raised between the test and the clear is not lost.
    return m_changed.exchange(0, std::memory_order_relaxed) ? S_OK : S_FALSE;
}

HRESULT CEnvelopeSet::SetSampleRate(LONG rate) {
    if (rate <= 0) return E_INVALIDARG;
    m_sampleRate.store(rate, std::memory_order_relaxed);
    return S_OK;
}

REFERENCE_TIME CEnvelopeSet::PositionToTime(LONGLONG position) const {
    return SaturatingTrunc(static_cast<double>(position) / SamplesPer100ns() + 0.5);
}

HRESULT CEnvelopeSet::UpdateValues(LONGLONG position) {
    const REFERENCE_TIME t = PositionToTime(position);
    bool evaluated = false;
    for (int i = 0; i < kParamCount; ++i) {
        const HRESULT hr = m_envelopes[i].EvaluateAt(t);
        if (FAILED(hr)) return hr;
        if (hr == S_OK) evaluated = true;
    }
    // Any automated parameter may have moved: let the effect recompute.
    if (evaluated) MarkChanged();
    return evaluated ? S_OK : S_FALSE;
}
