#include "host/StateVersion.h"

#include <cstdio>

HRESULT WriteStateVersion(IStream* stream, int32_t version) {
    if (!stream) return E_POINTER;
    char text[32];
    const int length = std::snprintf(text, sizeof(text), "%011d ", static_cast<int>(version));
    if (length < 0) return E_FAIL;
    // Exactly as many units as the text has: 12 for every version that fits
    // eleven digits.
    uint16_t units[32];
    for (int i = 0; i < length; ++i) units[i] = static_cast<uint16_t>(static_cast<unsigned char>(text[i]));
    ULONG written = 0;
    const ULONG bytes = static_cast<ULONG>(length) * 2;
    const HRESULT hr = stream->Write(units, bytes, &written);
    if (FAILED(hr)) return hr;
    return written == bytes ? S_OK : E_FAIL;
}

namespace {

// One code unit, or S_FALSE at the end of the stream.
HRESULT ReadUnit(IStream* stream, uint16_t* unit) {
    uint8_t bytes[2];
    ULONG read = 0;
    const HRESULT hr = stream->Read(bytes, 2, &read);
    if (FAILED(hr)) return hr;
    if (read != 2) return S_FALSE;
    *unit = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    return S_OK;
}

}  // namespace

HRESULT ReadStateVersion(IStream* stream, int32_t* version) {
    if (!stream || !version) return E_POINTER;
    uint16_t unit = 0;
    HRESULT hr = ReadUnit(stream, &unit);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_INVALID_FILE_FORMAT;
    const bool negative = unit == '-';
    if (negative) {
        hr = ReadUnit(stream, &unit);
        if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_INVALID_FILE_FORMAT;
    }
    uint32_t value = 0;
    while (unit >= '0' && unit <= '9') {
        value = value * 10u + static_cast<uint32_t>(unit - '0');
        hr = ReadUnit(stream, &unit);
        if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_INVALID_FILE_FORMAT;
    }
    if (unit != ' ' && unit != '\t' && unit != '\r' && unit != '\n' && unit != 0) return VFW_E_INVALID_FILE_FORMAT;
    if (negative) value = 0u - value;   // 0x80000000 stays as it is
    *version = static_cast<int32_t>(value);
    return S_OK;
}
