// CAudioTransform: the effect's parameter block, its editor-facing private
// interface ITzPlugInProp, and the processing entry.
//
// Threads. The streaming thread calls the processing entry with the filter
// lock held (the lock of the CQvi base, owned elsewhere); the editor's thread
// and the host's threads call ITzPlugInProp and the setters.
//
// Parameters cross from the writers to the audio thread as whole blocks.
// Writers (setters, whole-block operations, the refresh from automation)
// serialise on m_paramLock and change the live block m_live inside one change
// (CChange): the first modification opens the hand-over's write bracket
// (ParamHandover.h), the values go to the automation object inside it, and
// the end of the outermost change stores the new block and closes the
// bracket. Once per buffer the processing entry makes one attempt to read the
// hand-over together with the automation's values in force; it either gets
// all of one change or keeps the block it has (m_engineBlock, the audio
// thread's own), and everything the engine uses - lengths, feedback, gains,
// filter coefficients - comes from that one block. With an automation object
// attached the block in force is the automation's (the setters pass every
// value on to it, and the round trip is exact); without one it is the live
// block as published.
//
// m_paramLock is a leaf lock, held for microseconds: nothing calls the host,
// posts to a window, allocates or does I/O under it. Capture notifications
// for the host collect in a fixed outbox during the change and are delivered
// after the lock is released; change codes are posted to the windows after
// their entries were copied under it. The
// audio thread never waits for it: the host tempo poll only tries it once
// (TryBeginChange) and otherwise waits for the next buffer.
//
// Flags and meters crossing threads (streaming, bypass, refresh pending,
// peaks, clip indicators, the active setup) are single atomics.
//
// QueryInterface, AddRef and Release are the owning filter object's.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>

#include "common/CritSec.h"
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"
#include "effect/ChangeNotifier.h"
#include "effect/DelayEngine.h"
#include "effect/ITzPlugInProp.h"
#include "effect/ParamHandover.h"
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
    HRESULT STDMETHODCALLTYPE CountDownClip(int32_t side) override;

    // Getter and setter by index (what the per-parameter pairs call).
    HRESULT GetParamValue(int index, int32_t* value);
    HRESULT SetParamValue(int index, int32_t value, int32_t notify);

    // Parameter refresh from the automation object: takes the values in
    // force into the live block, copies it to *dest and returns the dirty
    // flag as it was (nonzero: something changed since the last call). Not on
    // the audio thread (it takes the parameter lock); the processing entry
    // reads the automation through the hand-over instead.
    int32_t RefreshFromAutomation(ParamBlock* dest);
    // After the automation state was loaded: re-applies it and posts code 100.
    HRESULT ReloadFromAutomation();
    // A whole block from the host's side (a plug-in layer's loaded state):
    // clamped, it becomes the live block and, through SetParam, the
    // automation's values in force, as one change; the host is not told
    // (it gave the values) and no capture opens. Then code 100 tells the
    // editor to read everything again. Not on the audio thread (it takes the
    // parameter lock).
    HRESULT LoadParams(const ParamBlock& block);

    // Processing entries: n = min(*inFrames, *outFrames) frames of the input's
    // channel count in, n stereo frames of the same sample type out; n is
    // written back through both counts. Streaming thread, filter lock held.
    HRESULT ProcessFloat(DWORD flags, const float* in, int32_t* inFrames, float* out, int32_t* outFrames);
    HRESULT ProcessDouble(DWORD flags, const double* in, int32_t* inFrames, double* out,
                          int32_t* outFrames);

    // The formats in force: records kept by the filter's pins, pointed at as
    // soon as a pin stores its format and cleared (null) when it disconnects.
    // The caller keeps a record alive while it is set. Filter lock held (the
    // processing entry reads the records through these pointers). Each call
    // also copies the record, under the parameter lock, for GetFormat, which
    // any thread may call.
    void SetInputFormat(const WAVEFORMATEX* format) {
        m_inputFormat = format;
        KeepFormatCopy(0, format);
    }
    void SetOutputFormat(const WAVEFORMATEX* format) {
        m_outputFormat = format;
        KeepFormatCopy(1, format);
    }
    const WAVEFORMATEX* InputFormat() const { return m_inputFormat; }
    const WAVEFORMATEX* OutputFormat() const { return m_outputFormat; }

    // Sets up (and clears) the delay memory for the formats, which become the
    // formats in force and which the caller keeps alive until ReleaseStreaming. Fails for a missing format,
    // a sample rate of 0 or memory that cannot be allocated.
    HRESULT PrepareStreaming(const WAVEFORMATEX* inputFormat, const WAVEFORMATEX* outputFormat);
    // A new stream in the memory PrepareStreaming set up (after an end of
    // stream): the echo tail, the filter states and the meters cleared as
    // PrepareStreaming clears them, the formats and the block kept. No
    // allocation, no lock: for the streaming thread. E_UNEXPECTED when no
    // memory is set up.
    HRESULT RestartStreaming();
    HRESULT ReleaseStreaming();

    void PostChangeCode(uint32_t code);

    void AttachAutomation(IAutomationLink* automation) { m_automation = automation; }
    IAutomationLink* GetAutomation() const { return m_automation; }
    void SetChangeNotifier(IChangeNotifier* notifier) { m_notifier = notifier; }

    // The live block. Only for a thread that is the sole writer (LV2's run,
    // a test's own thread) or holds the parameter lock.
    const ParamBlock& LiveParams() const { return m_live; }
    // The block the engine ran its last buffer with (audio thread, tests).
    const ParamBlock& EngineParams() const { return m_engineBlock; }
    const CDelayEngine& Engine() const { return m_engine; }

    // For a host layer that is the effect's only writer and never writes
    // while it processes (LV2: run, and the instantiation-class calls, which
    // never overlap it): the block, clamped, becomes the live block and the
    // next buffer's block. Takes no lock, calls nothing.
    void SetParamsAsSoleWriter(const ParamBlock& block);

protected:
    // One change of the parameters by a writer: holds the parameter lock;
    // the outermost change publishes the block and then, with the lock
    // released, tells the host what the change collected.
    class CChange {
    public:
        explicit CChange(CAudioTransform* fx) : m_fx(fx) { fx->BeginChange(); }
        ~CChange() { m_fx->EndChange(); }
        CChange(const CChange&) = delete;
        CChange& operator=(const CChange&) = delete;

    private:
        CAudioTransform* m_fx;
    };
    void BeginChange();
    // One attempt at the lock (the audio thread's way in): false when
    // another thread holds it; true with a change begun.
    bool TryBeginChange();
    void EndChange();
    // Before the first modification of a change (live block or automation
    // values): opens the hand-over's write bracket.
    void Touch();

    // Values in force in the automation object into the live block (the
    // parameter lock held). True when some value changed.
    bool SyncFromAutomation();
    void ReportParamChange(int index, float normalised);
    void EndAllCaptures();
    void QueueNotice(EHostNotice notice, int index, float value);

    // Audio thread: one attempt at the newest whole block (with the
    // automation's values in force); recomputes the gains when it changed.
    void AcquireParams();
    void ComputeGains();
    void ClearMeters();
    void KeepFormatCopy(int which, const WAVEFORMATEX* format);

    template <typename T>
    HRESULT Process(const T* in, int32_t* inFrames, T* out, int32_t* outFrames);

    // Normalised value in force to internal form, remembering the last
    // conversion per parameter (most buffers see the same values again).
    // Each thread that converts has its own.
    struct CInForceCache {
        CInForceCache();
        int32_t Convert(int index, float normalised) {
            uint32_t b;
            std::memcpy(&b, &normalised, sizeof(b));
            if (b != bits[index]) {
                bits[index] = b;
                value[index] = NormalisedToParam(index, normalised);
            }
            return value[index];
        }
        uint32_t bits[kParamCount];
        int32_t value[kParamCount];
    };

    // Fixed room for the host notifications of one change: a SetAllParams
    // makes at most 21 x (8 ends + a begin + a change) + 8 ends.
    static constexpr int kMaxNotices = 256;
    struct Notice {
        EHostNotice kind;
        uint8_t index;
        float value;
    };

    // Field order follows the object's documented state. Writers' fields
    // (guarded by m_paramLock) first, then what the audio thread owns.
    CCritSec m_paramLock;   // leaf lock: see the top of this file
    ParamBlock m_live{};
    ParamBlock m_alternate = kDefaultBlock;   // the setup that is not active
    ParamBlock m_undo = kDefaultBlock;
    int32_t m_undoIndex = -1;
    std::atomic<int32_t> m_activeSetup{0};
    int32_t m_dirty = 1;
    struct NotifyEntry {
        HWND window;
        uint32_t id;
    } m_notify[2] = {{nullptr, 0}, {nullptr, 0}};
    const WAVEFORMATEX* m_inputFormat = nullptr;
    const WAVEFORMATEX* m_outputFormat = nullptr;
    // Copies of the two records for GetFormat (parameter lock): input, output.
    WAVEFORMATEX m_formatCopy[2] = {};
    bool m_formatKept[2] = {false, false};
    std::atomic<int32_t> m_streaming{0};
    std::atomic<int32_t> m_bypass{0};
    std::atomic<int32_t> m_refreshPending{0};
    int32_t m_gainsReady = 0;   // audio thread
    std::atomic<double> m_peakLeft{0.0};
    std::atomic<double> m_peakRight{0.0};
    std::atomic<int32_t> m_peakRead{0};
    CDelayEngine m_engine;
    double m_gains[4] = {0.0, 0.0, 0.0, 0.0};   // audio thread
    // engine left, engine right, editor left, editor right
    std::atomic<int32_t> m_clip[4] = {{0}, {0}, {0}, {0}};
    IAutomationLink* m_automation = nullptr;
    int32_t m_capture[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int32_t m_captureHold = 0;
    int32_t m_captureCount = 0;
    IChangeNotifier* m_notifier;

    // The change in progress (parameter lock held).
    int32_t m_changeDepth = 0;
    bool m_writing = false;          // the hand-over's bracket is open
    Notice m_outbox[kMaxNotices];
    int32_t m_outboxCount = 0;
    CInForceCache m_writerCache;

    // Writers to the audio thread.
    CParamHandover m_handover;
    // The audio thread's own.
    ParamBlock m_engineBlock{};
    bool m_engineValid = false;
    uint32_t m_engineSequence = 0;   // the hand-over's sequence and the
    uint32_t m_engineChanges = 0;    // automation's change count it came with
    CInForceCache m_audioCache;
};
