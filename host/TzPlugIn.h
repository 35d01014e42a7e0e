// CTzPlugIn: the one object a host creates. It is at once the DirectShow
// audio transform filter (one input pin, a list of output pins), the
// instrument-standard frame (CSoftSynth), the delay effect (CDelay), the
// saved-state object (CPersistStream) and the target of the editor page.
//
// Construction order: the frame, the effect, the filter base (whose lock is
// the effect's CQvi lock, the filter lock), the persistence base, the input
// pin, the media-parameters object, a first output pin ("Output 1"), then the
// default parameters.
//
// Locks. The filter lock (the CQvi base) guards the state, every pin
// operation, the output list, the frame and the applying of a loaded state;
// Receive holds it for a buffer's processing (not while it waits for
// delivery buffers, nor while it delivers). The effect's parameter lock is
// taken after it where both are needed. m_outputListLock is a leaf around the
// output list alone, so that the graph can enumerate pins while a buffer is
// in progress. No call into the host or the graph is made with any of them
// held: output changes notify the host's pin notifier and the graph's event
// sink after leaving the filter lock.
//
// Files: TzPlugIn (composition, interfaces, state changes, output pins),
// FilterPins (pins), PersistStream, BuiltInPresets, FilterSetupData,
// ClassTemplates, ClassFactory, Registration, DllEntry.
#pragma once
#include <vector>

#include "automation/MediaParams.h"
#include "effect/Delay.h"
#include "filterbase/FilterBase.h"
#include "host/FilterPins.h"
#include "host/PersistStream.h"
#include "host/SoftSynth.h"
#include "host/StaticFilterPreset.h"
#include "host/StreamTiming.h"

class CTzPlugIn : public CSoftSynth,
                  public CDelay,
                  public CBaseFilter,
                  public ISpecifyPropertyPages,
                  public IDispatch,
                  public CPersistStream,
                  public IStaticFilterPreset,
                  public IStreamTiming {
public:
    // The class factory's creation function.
    static IUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist (for both IBaseFilter and IPersistStream)
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

    // CBaseFilter
    int GetPinCount() override;
    CBasePin* GetPin(int index) override;
    const AMOVIESETUP_FILTER* GetSetupData() override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // IDispatch: not offered (every method E_NOTIMPL).
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // CPersistStream's body (the names are shared with the CQvi hooks).
    int32_t GetStateVersion() override { return 0; }
    int32_t GetStateSize() override { return CDelay::GetStateSize(); }
    HRESULT SaveState(IStream* stream) override { return CDelay::SaveState(stream); }
    // Reads the body, then re-applies the loaded values (the editor hears
    // change code 100), whatever the body's result.
    HRESULT LoadState(IStream* stream) override;

    // IStaticFilterPreset
    HRESULT STDMETHODCALLTYPE GetPresetCount(ULONG* count) override;
    HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* name, LONG length) override;
    HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) override;

    // IStreamTiming (StreamTiming.h): the benchmark's view of Receive.
    HRESULT STDMETHODCALLTYPE EnableTiming(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetTiming(StreamTimingFigures* figures) override;
    CStreamTiming& StreamTiming() { return m_streamTiming; }

    // CQviSynthContext: output pins.
    HRESULT AddOutput(const char* name, int32_t* id) override;
    HRESULT RemoveOutput(int32_t id) override;
    HRESULT RemoveAllOutputs() override;
    // No reference is added: the answer holds only while the caller holds
    // the filter lock, under which every removal runs.
    CFilterOutputPin* FindOutput(int32_t id) override;
    int32_t GetOutputCount() override;
    int32_t GetOutputId(int32_t index) override;

    // For the pins.
    CFilterInputPin* InputPin() { return &m_inputPin; }
    CMediaParams* MediaParams() const { return m_mediaParams; }
    WAVEFORMATEX* KeptInputFormat() { return &m_inputFormatRecord; }
    WAVEFORMATEX* KeptOutputFormat() { return &m_outputFormatRecord; }
    int64_t StreamPosition() const { return m_streamPosition; }
    void SetStreamPosition(int64_t position) { m_streamPosition = position; }
    // The output pins in list order, each with a reference added; the caller
    // releases them. Any thread.
    std::vector<CFilterOutputPin*> OutputPinsAddRefed();
    // The output list itself: only with the filter lock held (every change of
    // the list holds it).
    const std::vector<CFilterOutputPin*>& OutputPinsLocked() const { return m_outputs; }
    // Sets up the effect's buffers for the kept formats; S_OK without doing
    // anything while the input has no format. Off the streaming thread
    // (Pause, EndFlush), filter lock held: the memory is then ready for the
    // first buffer.
    HRESULT PrepareEffect();
    // After an end of stream, sets the effect's buffers up again (EndFlush:
    // samples flow again). Filter lock held.
    HRESULT PrepareEffectAfterEndOfStream();
    // The first buffer after the streaming flag was cleared: uses the memory
    // PrepareEffect set up since then, or, for an upstream filter that sends
    // samples after an end of stream without a flush or a pause, clears the
    // memory the stream had (RestartStreaming: no allocation on the
    // streaming thread). Filter lock held.
    HRESULT PrepareEffectForFirstBuffer();
    // Frees the effect's buffers (Stop). Filter lock held.
    void ReleaseEffect();
    // End of stream: the streaming flag cleared; the memory stays (the
    // streaming thread frees nothing) and is cleared before the next stream.
    // Filter lock held.
    void EndStream();
    // Counts the filter's Stop calls: a buffer that left the lock can tell
    // whether the filter stopped meanwhile. Filter lock held.
    uint32_t StopCount() const { return m_stops; }

private:
    CTzPlugIn(IUnknown* outer, HRESULT* phr);
    ~CTzPlugIn() override;

    // Host pin-change notice: phase 1 before (its failure vetoes), 2 after.
    // No lock may be held.
    HRESULT NotifyHostPins(int32_t phase, int32_t count);
    // Tells the graph and the host that the pin list changed. No lock may be
    // held: it takes the filter lock for the pin version and leaves it before
    // calling out.
    HRESULT AfterOutputsChanged();
    // Position of the output with that id in the list, -1 for none.
    ptrdiff_t FindOutputIndex(int32_t id);
    // Takes the pin at that position out of the list (the caller releases
    // it). Filter lock held.
    void TakeOutput(size_t at);

    CStreamTiming m_streamTiming;
    CFilterInputPin m_inputPin;
    std::vector<CFilterOutputPin*> m_outputs;   // one reference each
    int32_t m_outputCount = 0;
    int64_t m_streamPosition = 0;
    bool m_effectReady = false;   // prepared off the streaming thread, unused since
    uint32_t m_stops = 0;
    CCritSec m_outputListLock;
    CMediaParams* m_mediaParams = nullptr;      // the filter's own reference
    WAVEFORMATEX m_inputFormatRecord{};
    WAVEFORMATEX m_outputFormatRecord{};
};
