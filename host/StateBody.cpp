#include "host/StateBody.h"

namespace {

constexpr uint32_t kStateParams = kParamCount;

HRESULT Write32(IStream* stream, const void* value) {
    ULONG written = 0;
    const HRESULT hr = stream->Write(value, 4, &written);
    return SUCCEEDED(hr) && written == 4 ? S_OK : E_FAIL;
}

HRESULT Read32(IStream* stream, void* value) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(value, 4, &read);
    return SUCCEEDED(hr) && read == 4 ? S_OK : E_FAIL;
}

}  // namespace

void CollectStateBody(IAutomationLink* automation, StateBodyValues* values) {
    for (uint32_t i = 0; i < kStateParams; ++i) {
        values->value[i] = 0.0f;
        if (automation) automation->GetParam(i, &values->value[i]);
        values->present[i] = true;
    }
}

HRESULT WriteStateBody(IStream* stream, const StateBodyValues& values) {
    if (!stream) return E_POINTER;
    const uint32_t count = kStateParams;
    if (FAILED(Write32(stream, &count))) return E_FAIL;
    for (uint32_t i = 0; i < count; ++i) {
        if (FAILED(Write32(stream, &i)) || FAILED(Write32(stream, &values.value[i]))) return E_FAIL;
    }
    return S_OK;
}

HRESULT ReadStateBody(IStream* stream, StateBodyValues* values) {
    *values = StateBodyValues();
    if (!stream) return E_POINTER;
    uint32_t count = 0;
    if (FAILED(Read32(stream, &count))) return E_FAIL;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t index = 0;
        float value = 0.0f;
        if (FAILED(Read32(stream, &index)) || FAILED(Read32(stream, &value))) return E_FAIL;
        if (index >= kStateParams) continue;
        values->value[index] = value;
        values->present[index] = true;
    }
    return S_OK;
}

void ApplyStateBody(IAutomationLink* automation, const StateBodyValues& values) {
    if (!automation) return;
    for (uint32_t i = 0; i < kStateParams; ++i) {
        if (values.present[i]) automation->SetParam(i, values.value[i]);
    }
}

HRESULT SaveStateBody(IAutomationLink* automation, IStream* stream) {
    if (!stream) return E_POINTER;
    StateBodyValues values;
    CollectStateBody(automation, &values);
    return WriteStateBody(stream, values);
}

HRESULT LoadStateBody(IAutomationLink* automation, IStream* stream) {
    if (!stream) return E_POINTER;
    StateBodyValues values;
    const HRESULT hr = ReadStateBody(stream, &values);
    ApplyStateBody(automation, values);
    return hr;
}
