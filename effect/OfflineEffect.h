// COfflineEffect: the effect without a filter object around it, for the
// native renderer, the tests and the benchmarks.
//
// In the plug-in the filter object owns the effect and answers its
// QueryInterface, AddRef and Release. Here the object is owned by whoever
// declared it: AddRef and Release only count, and QueryInterface hands out
// the effect's own interfaces. No automation object is attached unless the
// caller attaches one, so parameters come from the setters alone. The owner
// (the instrument frame, for the host tempo poll) may be none.
#pragma once
#include <atomic>

#include "effect/Delay.h"

class COfflineEffect : public CDelay {
public:
    explicit COfflineEffect(CQviSynthContext* owner = nullptr) : CDelay(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_ITzPlugInProp) {
            *ppv = static_cast<ITzPlugInProp*>(this);
        } else if (riid == IID_ITempoFeaturesInfo) {
            *ppv = static_cast<ITempoFeaturesInfo*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

    // Lanes or plain pairs in the engine (tests and benchmarks compare them).
    void SetEngineKernel(CDelayEngine::EKernel kernel) { m_engine.SetKernel(kernel); }

private:
    std::atomic<ULONG> m_refs{1};
};
