// What the fuzzers share: streams over the fuzzer's bytes, the effect's
// automation link over an envelope set, and a check that stops the fuzzer
// with a finding.
#pragma once
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "automation/EnvelopeSet.h"
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"

// A finding: the condition is printed and the fuzzer stops with the input.
#define ZV_FUZZ_CHECK(condition)                                                        \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Reads from the front of the bytes; writes append.
class CFuzzStream : public IStream {
public:
    CFuzzStream() = default;
    CFuzzStream(const uint8_t* data, size_t size) : bytes(data, data + size) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
        const size_t n = std::min<size_t>(cb, bytes.size() - pos);
        if (n) std::memcpy(pv, bytes.data() + pos, n);
        pos += n;
        if (read) *read = static_cast<ULONG>(n);
        return n == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
        const uint8_t* p = static_cast<const uint8_t*>(pv);
        bytes.insert(bytes.end(), p, p + cb);
        if (written) *written = cb;
        return S_OK;
    }
    std::vector<uint8_t> bytes;
    size_t pos = 0;
};

class CSetLink : public IAutomationLink {
public:
    explicit CSetLink(CEnvelopeSet& set) : m_set(set) {}
    HRESULT STDMETHODCALLTYPE SetParam(DWORD i, MP_DATA v) override { return m_set.SetParam(i, v); }
    HRESULT STDMETHODCALLTYPE GetParam(DWORD i, MP_DATA* v) override { return m_set.GetParam(i, v); }
    MP_DATA ValueInForce(DWORD i) const override { return m_set.ValueInForce(i); }
    HRESULT TestAndClearChanged() override { return m_set.TestAndClearChanged(); }
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* i, DWORD n) override { return m_set.SetCapture(i, n, true); }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* i, DWORD n, MP_DATA* v) override {
        return m_set.ApplyChanges(i, n, v);
    }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* i, DWORD n) override { return m_set.SetCapture(i, n, false); }

private:
    CEnvelopeSet& m_set;
};

// Every value in force converts into its parameter's range.
inline void CheckValuesInForce(const CEnvelopeSet& set) {
    for (int i = 0; i < kParamCount; ++i) {
        const int32_t v = NormalisedToParam(i, set.ValueInForce(static_cast<DWORD>(i)));
        ZV_FUZZ_CHECK(v >= kParamTable[i].minimum && v <= kParamTable[i].maximum);
    }
}
