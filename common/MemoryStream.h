// An IStream over a byte vector: reads from the front, appends on
// write, and can be told to fail writes after a number of bytes.
#pragma once
#include <algorithm>
#include <cstring>
#include <vector>

#include "common/WinTypes.h"

class CMemoryStream : public IStream {
public:
    CMemoryStream() = default;
    explicit CMemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        const size_t n = std::min<size_t>(cb, data.size() - readPos);
        if (n) std::memcpy(pv, data.data() + readPos, n);
        readPos += n;
        if (pcbRead) *pcbRead = static_cast<ULONG>(n);
        return n == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        const size_t room = writeLimit < data.size() ? 0 : writeLimit - data.size();
        const size_t n = std::min<size_t>(cb, room);
        const uint8_t* p = static_cast<const uint8_t*>(pv);
        data.insert(data.end(), p, p + n);
        if (pcbWritten) *pcbWritten = static_cast<ULONG>(n);
        return n == cb ? S_OK : E_FAIL;
    }
#ifdef _WIN32
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
#endif

    // Little-endian helpers for building streams by hand.
    void PutUnits(const char* text) {
        for (; *text; ++text) {
            data.push_back(static_cast<uint8_t>(*text));
            data.push_back(0);
        }
    }
    void Put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void PutFloat(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        Put32(v);
    }

    std::vector<uint8_t> data;
    size_t readPos = 0;
    size_t writeLimit = SIZE_MAX;
    ULONG refs = 1;
};
