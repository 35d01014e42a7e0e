#include "host/StateBody.h"

#include <cstring>

#include "effect/ParamTable.h"

namespace {

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

HRESULT SaveStateBody(IAutomationLink* automation, IStream* stream) {
    if (!stream) return E_POINTER;
    const uint32_t count = kParamCount;
    if (FAILED(Write32(stream, &count))) return E_FAIL;
    for (uint32_t i = 0; i < count; ++i) {
        float value = 0.0f;
        if (automation) automation->GetParam(i, &value);
        if (FAILED(Write32(stream, &i)) || FAILED(Write32(stream, &value))) return E_FAIL;
    }
    return S_OK;
}

HRESULT LoadStateBody(IAutomationLink* automation, IStream* stream) {
    if (!stream) return E_POINTER;
    uint32_t count = 0;
    if (FAILED(Read32(stream, &count))) return E_FAIL;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t index = 0;
        float value = 0.0f;
        if (FAILED(Read32(stream, &index)) || FAILED(Read32(stream, &value))) return E_FAIL;
        if (automation) automation->SetParam(index, value);
    }
    return S_OK;
}
