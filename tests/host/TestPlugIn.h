// The frame as the filter object holds it, reduced for tests: CSoftSynth
// first, then a processing object (CFakeQvi) that answers the hooks with
// results a test chooses and records what it is handed. IUnknown and the
// output management are trivial; Release never deletes.
#pragma once
#include <future>
#include <string>
#include <vector>

#include "host/Qvi.h"
#include "host/SoftSynth.h"
#include "tests/host/TestHost.h"

class CFakeQvi : public CQvi {
public:
    explicit CFakeQvi(CQviSynthContext* owner) : CQvi(owner) {}

    WAVEFORMATEX format = {WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 48000 * 8, 8, 32, 0};
    const WAVEFORMATEX* inputFormat = &format;
    void SetInputFormat(const WAVEFORMATEX* f) { inputFormat = f; }
    const WAVEFORMATEX* GetInputFormat() override { return inputFormat; }
    const WAVEFORMATEX* GetOutputFormat() override { return nullptr; }
    HRESULT onEventResult = S_OK, onNoteOnResult = S_OK, keepNoteResult = S_FALSE;
    std::vector<QviEvent> seenEvents, notesOn;  // OnEvent, OnNoteOn
    std::vector<std::string> calls;             // transport hooks and KeepNote, in order

    HRESULT OnEvent(QviEvent* event) override {
        seenEvents.push_back(*event);
        return onEventResult;
    }
    HRESULT OnNoteOn(QviEvent* event) override {
        notesOn.push_back(*event);
        return onNoteOnResult;
    }
    HRESULT KeepNote(QviEvent*, int32_t flag) override {
        calls.push_back(flag ? "KeepNote(1)" : "KeepNote(0)");
        return keepNoteResult;
    }
    HRESULT OnTransportStart() override { return Log("OnTransportStart"); }
    HRESULT OnTransportStop() override { return Log("OnTransportStop"); }
    HRESULT QviReset() override { return S_OK; }
    HRESULT QviCheckFormat(const WAVEFORMATEX*) override { return S_OK; }
    HRESULT QviSetOutputChannels(WAVEFORMATEX*) override { return S_OK; }
    HRESULT QviPollTempo(int64_t, int32_t*, void*, int32_t, int64_t, void*) override { return S_OK; }
    HRESULT OnFilterStart() override { return S_OK; }
    HRESULT OnFilterStop() override { return S_OK; }
    int32_t GetStateSize() override { return 0; }
    HRESULT LoadState(IStream*) override { return S_OK; }
    HRESULT SaveState(IStream*) override { return S_OK; }

private:
    HRESULT Log(const char* call) {
        calls.push_back(call);
        return S_OK;
    }
};

// Output management as the filter object would supply it: one fixed output.
template <class Base>
class CTestOutputs : public Base {
public:
    using Base::Base;
    HRESULT AddOutput(const char*, int32_t* id) override { return *id = 1, S_OK; }
    HRESULT RemoveOutput(int32_t) override { return S_OK; }
    HRESULT RemoveAllOutputs() override { return S_OK; }
    CFilterOutputPin* FindOutput(int32_t) override { return nullptr; }
    int32_t GetOutputCount() override { return 1; }
    int32_t GetOutputId(int32_t index) override { return index == 0 ? 1 : -1; }
};

class CTestPlugIn : public CTestOutputs<CSoftSynth>, public CFakeQvi {
public:
    explicit CTestPlugIn(HRESULT* phr = nullptr) : CTestOutputs<CSoftSynth>(this, phr), CFakeQvi(this) {}

    ULONG RefCount() const { return m_refs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;  // the filter's answers are not under test here
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }

    // One block as the filter runs it: events, (processing), advance, sweep.
    HRESULT RunBlock(int32_t frames) {
        const HRESULT hr = RenderEvents(frames);
        AdvancePosition(frames);
        SweepActive(0);
        return hr;
    }

private:
    ULONG m_refs = 1;
};

// True when another thread can take the lock at this moment (the locks are
// re-entrant, so the calling thread itself could always take it).
inline bool FreeForOthers(CCritSec& lock) {
    return std::async(std::launch::async, [&lock] {
               if (!lock.TryLock()) return false;
               lock.Unlock();
               return true;
           }).get();
}
