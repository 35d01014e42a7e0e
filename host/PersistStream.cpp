#include "host/PersistStream.h"

#include "host/StateVersion.h"

namespace {
// "%011d " in UTF-16.
constexpr uint32_t kVersionTextBytes = 24;
}

HRESULT CPersistStream::IsDirty() { return m_dirty ? S_OK : S_FALSE; }

HRESULT CPersistStream::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    int32_t version = 0;
    const HRESULT hr = ReadStateVersion(stream, &version);
    if (FAILED(hr)) return hr;
    m_streamVersion = version;
    return LoadState(stream);
}

HRESULT CPersistStream::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    HRESULT hr = WriteStateVersion(stream, GetStateVersion());
    if (FAILED(hr)) return hr;
    hr = SaveState(stream);
    if (FAILED(hr)) return hr;
    m_dirty = clearDirty ? 0 : 1;
    return hr;
}

HRESULT CPersistStream::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = static_cast<ULONGLONG>(GetStateSize()) + kVersionTextBytes;
    return S_OK;
}
