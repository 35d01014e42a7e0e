// ITzPlugInProp: the effect's private interface, used by the editor page.
// The method order is the interface's binary layout; do not reorder.
#pragma once
#include "common/Guid.h"
#include "common/WinTypes.h"
#include "effect/ParamTable.h"

ZV_DEFINE_GUID(IID_ITzPlugInProp, 0x6A1F3B8F, 0xD27E, 0x4C95, 0x8E, 0x14, 0x3B, 0x7D, 0x0A, 0x5C, 0x92, 0xE6);

struct ITzPlugInProp : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAllParams(int32_t* block) = 0;                 // 1
    virtual HRESULT STDMETHODCALLTYPE SetAllParams(const int32_t* block) = 0;           // 2
    virtual HRESULT STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* format, int32_t which) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND window, uint32_t id) = 0;    // 4
    // 5 .. 46: a getter and a setter per parameter, in index order.
#define ZV_PROP_ACCESSORS(name)                                                  \
    virtual HRESULT STDMETHODCALLTYPE Get##name(int32_t* value) = 0;             \
    virtual HRESULT STDMETHODCALLTYPE Set##name(int32_t value, int32_t notify) = 0;
    ZV_PARAM_LIST(ZV_PROP_ACCESSORS)
#undef ZV_PROP_ACCESSORS
    virtual HRESULT STDMETHODCALLTYPE EndParamCapture() = 0;                            // 47
    virtual HRESULT STDMETHODCALLTYPE SetCaptureHold(int32_t hold) = 0;                 // 48
    virtual HRESULT STDMETHODCALLTYPE GetLeftClip(int32_t which) = 0;                   // 49
    virtual HRESULT STDMETHODCALLTYPE SetLeftClip(int32_t which, int32_t value) = 0;    // 50
    virtual HRESULT STDMETHODCALLTYPE GetRightClip(int32_t which) = 0;                  // 51
    virtual HRESULT STDMETHODCALLTYPE SetRightClip(int32_t which, int32_t value) = 0;   // 52
    virtual HRESULT STDMETHODCALLTYPE GetPeakLevels(float* left, float* right) = 0;     // 53
    virtual HRESULT STDMETHODCALLTYPE RefreshParameters() = 0;                          // 54
    virtual HRESULT STDMETHODCALLTYPE SetStreaming(int32_t streaming) = 0;              // 55
    virtual HRESULT STDMETHODCALLTYPE IsStreaming() = 0;                                // 56
    virtual HRESULT STDMETHODCALLTYPE IsHostStopped() = 0;                              // 57
    virtual HRESULT STDMETHODCALLTYPE IsBypassed() = 0;                                 // 58
    virtual HRESULT STDMETHODCALLTYPE SetBypass(int32_t bypass) = 0;                    // 59
    virtual HRESULT STDMETHODCALLTYPE GetSetup() = 0;                                   // 60
    virtual HRESULT STDMETHODCALLTYPE SelectSetup(int32_t setup) = 0;                   // 61
    virtual HRESULT STDMETHODCALLTYPE CopySetup(int32_t from, int32_t to) = 0;          // 62
    virtual HRESULT STDMETHODCALLTYPE SaveUndoState(int32_t paramIndex) = 0;            // 63
    virtual HRESULT STDMETHODCALLTYPE Undo() = 0;                                       // 64
    virtual HRESULT STDMETHODCALLTYPE IsUpToDate() = 0;                                 // 65
    virtual HRESULT STDMETHODCALLTYPE SetRefreshPending(int32_t pending) = 0;           // 66
    // Returns (as the result) the engine's clip counter of side (0 left, 1
    // right) and, when it is above 1, counts it down by one in the same
    // atomic step, so that a clip the audio thread stores meanwhile (3) is
    // either read or kept whole, never overwritten.
    virtual HRESULT STDMETHODCALLTYPE CountDownClip(int32_t side) = 0;                   // 67

protected:
    ~ITzPlugInProp() = default;
};
