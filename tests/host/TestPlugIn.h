// The frame as the filter object will hold it, reduced for tests: CSoftSynth
// first, then a recording processing object, with IUnknown and trivial
// output management. Lives on the test's stack; Release never deletes.
#pragma once
#include "host/SoftSynth.h"
#include "host/WbxInterfaces.h"
#include "tests/host/FakeQvi.h"
#include "tests/host/TestHost.h"

class CTestPlugIn : public CSoftSynth, public CFakeQvi {
public:
    explicit CTestPlugIn(HRESULT* phr = nullptr) : CSoftSynth(this, phr), CFakeQvi(this) {}

    ULONG RefCount() const { return m_refs.Count(); }

    // IUnknown for the three frame interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == kIidIUnknown || riid == IID_IWbxSoftSynth || riid == IID_IWbxSoftSynth2) {
            *object = static_cast<IWbxSoftSynth2*>(this);
        } else if (riid == IID_IWbxNotify) {
            *object = static_cast<IWbxNotify*>(this);
        } else if (riid == IID_IWbxInputPort) {
            *object = static_cast<IWbxInputPort*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_refs.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_refs.Drop(); }

    // Output management (the filter's part): one fixed output.
    HRESULT AddOutput(const char*, int32_t* id) override {
        if (id) *id = 1;
        return S_OK;
    }
    HRESULT RemoveOutput(int32_t) override { return S_OK; }
    HRESULT RemoveAllOutputs() override { return S_OK; }
    CFilterOutputPin* FindOutput(int32_t) override { return nullptr; }
    int32_t GetOutputCount() override { return 1; }
    int32_t GetOutputId(int32_t index) override { return index == 0 ? 1 : -1; }

    // One block as the filter runs it: events, (processing), advance, sweep.
    HRESULT RunBlock(int32_t frames) {
        HRESULT hr = RenderEvents(frames);
        AdvancePosition(frames);
        SweepActive(0);
        return hr;
    }

private:
    CTestRefCount m_refs;
};
