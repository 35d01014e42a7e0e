// The effect's automation link over a bare envelope set, without the COM
// media-parameters object around it: what the tests, the fuzzers and the
// validator's core part attach to an effect.
#pragma once
#include "automation/EnvelopeSet.h"
#include "effect/AutomationLink.h"

class CEnvelopeSetLink : public IAutomationLink {
public:
    explicit CEnvelopeSetLink(CEnvelopeSet& set) : m_set(set) {}
    HRESULT STDMETHODCALLTYPE SetParam(DWORD i, MP_DATA v) override { return m_set.SetParam(i, v); }
    HRESULT STDMETHODCALLTYPE GetParam(DWORD i, MP_DATA* v) override { return m_set.GetParam(i, v); }
    MP_DATA ValueInForce(DWORD i) const override { return m_set.ValueInForce(i); }
    HRESULT TestAndClearChanged() override { return m_set.TestAndClearChanged(); }
    uint32_t ChangeCount() const override { return m_set.ChangeCount(); }
    HRESULT SetCaptureFlag(DWORD i, bool captured) override { return m_set.SetCapture(&i, 1, captured); }
    // No host here to tell.
    void NotifyHost(EHostNotice, DWORD, MP_DATA) override {}

private:
    CEnvelopeSet& m_set;
};
