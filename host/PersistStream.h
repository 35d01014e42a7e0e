// CPersistStream: IPersistStream for the filter. Writes a version number as
// text ahead of the body, reads it back, keeps the dirty flag and answers the
// size query; the filter supplies the body through four virtual operations.
// IUnknown is the filter's.
#pragma once
#include "filterbase/DShow.h"

class CPersistStream : public IPersistStream {
public:
    CPersistStream() = default;
    virtual ~CPersistStream() = default;

    // IPersist: the derived filter answers GetClassID.
    // IPersistStream
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    // Version, then LoadState; the version's error is returned as it is.
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    // Version, then SaveState; on success the dirty flag becomes !clearDirty.
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

    // The body, in this slot order.
    virtual int32_t GetStateVersion() { return 0; }
    virtual int32_t GetStateSize() { return 0; }
    virtual HRESULT SaveState(IStream*) { return S_OK; }
    virtual HRESULT LoadState(IStream*) { return S_OK; }

    int32_t StreamVersion() const { return m_streamVersion; }

protected:
    int32_t m_streamVersion = 0;   // read by the last Load
    int32_t m_dirty = 0;           // changed only by Save
};
