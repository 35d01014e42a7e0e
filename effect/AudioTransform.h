// CAudioTransform: the effect's parameter block, its editor-facing private
// interface ITzPlugInProp, and the processing entry.
//
// Threads and locks. The streaming thread calls the processing entry,
// PrepareStreaming and ReleaseStreaming with the filter lock held (the lock
// of the CQvi base, owned elsewhere). The editor's thread calls ITzPlugInProp.
// m_paramLock guards the parameter blocks' copy-outs and whole-block
// operations, the setters, the refresh from automation, the notification
// entries and the capture list.
// When both locks are taken, the filter lock comes first. The per-frame loop
// takes no lock: it reads the live block's 32-bit fields directly and writes
// the meter fields, which the editor reads without a lock (a lost update only
// affects the display).
//
// QueryInterface, AddRef and Release are the owning filter object's.
#pragma once
#include <atomic>
#include <cstdint>

#include "common/CritSec.h"
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"
#include "effect/ChangeNotifier.h"
#include "effect/DelayEngine.h"
#include "effect/ITzPlugInProp.h"
#include "effect/ParamTable.h"

// Change codes posted to the registered windows in the high word of wParam.
enum EChangeCode : uint32_t {
    kChangeInputFormat = 0,
    kChangeOutputFormat = 1,
    kChangeStateReloaded = 100,
};

class CAudioTransform : public ITzPlugInProp {
public:
    CAudioTransform();
    virtual ~CAudioTransform();

    // ITzPlugInProp
    HRESULT STDMETHODCALLTYPE GetAllParams(int32_t* block) override;
    HRESULT STDMETHODCALLTYPE SetAllParams(const int32_t* block) override;
    HRESULT STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* format, int32_t which) override;
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND window, uint32_t id) override;
#define ZV_PROP_ACCESSORS(name)                                                            \
    HRESULT STDMETHODCALLTYPE Get##name(int32_t* value) override {                         \
        return GetParamValue(kParam##name, value);                                         \
    }                                                                                      \
    HRESULT STDMETHODCALLTYPE Set##name(int32_t value, int32_t notify) override {          \
        return SetParamValue(kParam##name, value, notify);                                 \
    }
    ZV_PARAM_LIST(ZV_PROP_ACCESSORS)
#undef ZV_PROP_ACCESSORS
    HRESULT STDMETHODCALLTYPE EndParamCapture() override;
    HRESULT STDMETHODCALLTYPE SetCaptureHold(int32_t hold) override;
    HRESULT STDMETHODCALLTYPE GetLeftClip(int32_t which) override;
    HRESULT STDMETHODCALLTYPE SetLeftClip(int32_t which, int32_t value) override;
    HRESULT STDMETHODCALLTYPE GetRightClip(int32_t which) override;
    HRESULT STDMETHODCALLTYPE SetRightClip(int32_t which, int32_t value) override;
    HRESULT STDMETHODCALLTYPE GetPeakLevels(float* left, float* right) override;
    HRESULT STDMETHODCALLTYPE RefreshParameters() override;
    HRESULT STDMETHODCALLTYPE SetStreaming(int32_t streaming) override;
    HRESULT STDMETHODCALLTYPE IsStreaming() override;
    HRESULT STDMETHODCALLTYPE IsBypassed() override;
    HRESULT STDMETHODCALLTYPE SetBypass(int32_t bypass) override;
    HRESULT STDMETHODCALLTYPE GetSetup() override;
    HRESULT STDMETHODCALLTYPE SelectSetup(int32_t setup) override;
    HRESULT STDMETHODCALLTYPE CopySetup(int32_t from, int32_t to) override;
    HRESULT STDMETHODCALLTYPE SaveUndoState(int32_t paramIndex) override;
    HRESULT STDMETHODCALLTYPE Undo() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE SetRefreshPending(int32_t pending) override;

    // Getter and setter by index (what the per-parameter pairs call).
    HRESULT GetParamValue(int index, int32_t* value);
    HRESULT SetParamValue(int index, int32_t value, int32_t notify);

    // Parameter refresh from the automation object: copies the live block to
    // *dest and returns the dirty flag as it was (nonzero: something changed
    // since the last call). Filter lock held when called while streaming;
    // takes the parameter lock for the whole refresh, so that it never runs
    // inside another thread's SetAllParams.
    int32_t RefreshFromAutomation(ParamBlock* dest);
    // After the automation state was loaded: re-applies it and posts code 100.
    HRESULT ReloadFromAutomation();

    // Processing entries: n = min(*inFrames, *outFrames) frames of the input's
    // channel count in, n stereo frames of the same sample type out; n is
    // written back through both counts. Streaming thread, filter lock held.
    HRESULT ProcessFloat(DWORD flags, const float* in, int32_t* inFrames, float* out, int32_t* outFrames);
    HRESULT ProcessDouble(DWORD flags, const double* in, int32_t* inFrames, double* out,
                          int32_t* outFrames);

    // The formats in force: records kept by the filter's pins, pointed at as
    // soon as a pin stores its format and cleared (null) when it disconnects.
    // The caller keeps a record alive while it is set. Filter lock held.
    void SetInputFormat(const WAVEFORMATEX* format) { m_inputFormat = format; }
    void SetOutputFormat(const WAVEFORMATEX* format) { m_outputFormat = format; }
    const WAVEFORMATEX* InputFormat() const { return m_inputFormat; }
    const WAVEFORMATEX* OutputFormat() const { return m_outputFormat; }

    // Sets up (and clears) the delay memory for the formats, which become the
    // formats in force and which the caller keeps alive until ReleaseStreaming. Fails for a missing format,
    // a sample rate of 0 or memory that cannot be allocated.
    HRESULT PrepareStreaming(const WAVEFORMATEX* inputFormat, const WAVEFORMATEX* outputFormat);
    HRESULT ReleaseStreaming();

    void PostChangeCode(uint32_t code);

    void AttachAutomation(IAutomationLink* automation) { m_automation = automation; }
    IAutomationLink* GetAutomation() const { return m_automation; }
    void SetChangeNotifier(IChangeNotifier* notifier) { m_notifier = notifier; }

    const ParamBlock& LiveParams() const { return m_live; }
    const CDelayEngine& Engine() const { return m_engine; }

protected:
    void ReportParamChange(int index, float normalised);
    void EndAllCaptures();
    HRESULT ComputeGains();

    template <typename T>
    HRESULT Process(const T* in, int32_t* inFrames, T* out, int32_t* outFrames);

    // Field order follows the object's documented state.
    CCritSec m_paramLock;
    ParamBlock m_live{};
    ParamBlock m_alternate = kDefaultBlock;   // the setup that is not active
    ParamBlock m_undo = kDefaultBlock;
    int32_t m_undoIndex = -1;
    int32_t m_activeSetup = 0;
    int32_t m_dirty = 1;
    struct NotifyEntry {
        HWND window;
        uint32_t id;
    } m_notify[2] = {{nullptr, 0}, {nullptr, 0}};
    const WAVEFORMATEX* m_inputFormat = nullptr;
    const WAVEFORMATEX* m_outputFormat = nullptr;
    int32_t m_streaming = 0;
    int32_t m_bypass = 0;
    int32_t m_refreshPending = 0;
    int32_t m_gainsReady = 0;
    double m_peakLeft = 0.0;
    double m_peakRight = 0.0;
    int32_t m_peakRead = 0;
    CDelayEngine m_engine;
    double m_gains[4] = {0.0, 0.0, 0.0, 0.0};
    int32_t m_clip[4] = {0, 0, 0, 0};   // engine left, engine right, editor left, editor right
    IAutomationLink* m_automation = nullptr;
    int32_t m_capture[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int32_t m_captureHold = 0;
    int32_t m_captureCount = 0;
    IChangeNotifier* m_notifier;
    // Last value in force per parameter (its bits, high word) and its
    // internal form (low word), so that an unchanged value is not converted
    // again. Read and written by whichever thread refreshes.
    std::atomic<uint64_t> m_inForceCache[kParamCount];
};
