// Test doubles for the effect core: an automation object that records the
// calls it receives, a window notifier with fake windows, and a concrete
// effect that supplies IUnknown.
#pragma once
#include <string>
#include <vector>

#include "effect/Delay.h"
#include "effect/OfflineEffect.h"
#include "effect/ParamTable.h"

class CRecordingAutomation : public IAutomationLink {
public:
    CRecordingAutomation() {
        for (int i = 0; i < kParamCount; ++i) inForce[i] = ParamToNormalised(i, kDefaultBlock[i]);
    }
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override {
        setParams.push_back({index, value});
        if (index < kParamCount) inForce[index] = value;
        changed = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetParam(DWORD index, MP_DATA* value) override {
        if (index >= kParamCount) return E_INVALIDARG;
        *value = inForce[index];
        return S_OK;
    }
    MP_DATA ValueInForce(DWORD index) const override { return inForce[index]; }
    HRESULT TestAndClearChanged() override {
        ++changedQueries;
        log.push_back("test");
        if (!changed) return S_FALSE;
        changed = false;
        return S_OK;
    }
    HRESULT SetCaptureFlag(DWORD, bool) override { return S_OK; }
    // Tests write inForce directly: every read counts as a possible change.
    uint32_t ChangeCount() const override { return ++changeReads; }
    void NotifyHost(EHostNotice notice, DWORD index, MP_DATA) override {
        Record(notice == EHostNotice::kBeginCapture   ? "begin"
               : notice == EHostNotice::kValueChanged ? "changed"
                                                      : "end",
               &index, 1);
    }

    // Capture calls only, e.g. "begin 0", "changed 0", "end 0".
    std::vector<std::string> Captures(const char* kind = nullptr) const {
        std::vector<std::string> out;
        for (const std::string& s : log) {
            if (s == "test") continue;
            if (!kind || s.rfind(kind, 0) == 0) out.push_back(s);
        }
        return out;
    }

    struct Call {
        DWORD index;
        float value;
    };
    std::vector<Call> setParams;
    std::vector<std::string> log;
    float inForce[kParamCount];
    bool changed = false;
    int changedQueries = 0;
    mutable uint32_t changeReads = 0;

private:
    void Record(const char* kind, DWORD* indices, DWORD count) {
        std::string s = kind;
        for (DWORD k = 0; k < count; ++k) s += " " + std::to_string(indices[k]);
        log.push_back(s);
    }
};

class CFakeNotifier : public IChangeNotifier {
public:
    bool WindowExists(HWND window) override {
        for (HWND w : alive)
            if (w == window) return true;
        return false;
    }
    void PostCommand(HWND window, WPARAM wParam) override { posts.push_back({window, wParam}); }

    std::vector<HWND> alive;
    struct Post {
        HWND window;
        WPARAM wParam;
    };
    std::vector<Post> posts;
};

inline HWND FakeWindow(uintptr_t n) { return reinterpret_cast<HWND>(n); }

// The effect set up as the filter object sets it up.
class CTestDelay : public COfflineEffect {
public:
    explicit CTestDelay(CQviSynthContext* owner = nullptr) : COfflineEffect(owner) {}

    // Constructed as the filter object constructs it.
    void Attach(IAutomationLink* automation) {
        AttachAutomation(automation);
        QviReset();
        SetAllParams(kDefaultBlock.v);
    }
};

inline WAVEFORMATEX MakeFloatFormat(int channels, uint32_t rate, int bits = 32) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}
