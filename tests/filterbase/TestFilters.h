// Small filters built on the filter base, used as real peers by its tests:
//   CTestSource     one output pin offering one type; the test fetches buffers
//                   from it and delivers them by hand.
//   CTestTransform  "In" -> "Out", copies each buffer with a gain (1 by default:
//                   a pass-through), passes on flushes, segments and end of
//                   stream, and holds its filter lock for the whole of Receive,
//                   delivery included, as the plug-in does.
//   CTestSink       "In" only, records what arrives; optionally blocks in
//                   Receive while paused (as a renderer holding a sample does)
//                   until it runs, stops or is flushed, or keeps the samples
//                   it receives while paused (as a queueing renderer does)
//                   until then. A renderer to the graph (IAMFilterMiscFlags),
//                   with seeking passed upstream.
#pragma once
#include "common/Guid.h"
#include "filterbase/FilterBase.h"

#include <vector>

ZV_DEFINE_GUID(kClsidTestSource, 0x5e0c0a01, 0x7b1d, 0x4c8e, 0x9a, 0x31, 0x27, 0x44, 0x6d, 0x10, 0xf2, 0x01);
ZV_DEFINE_GUID(kClsidTestTransform, 0x5e0c0a02, 0x7b1d, 0x4c8e, 0x9a, 0x31, 0x27, 0x44, 0x6d, 0x10, 0xf2, 0x01);
ZV_DEFINE_GUID(kClsidTestSink, 0x5e0c0a03, 0x7b1d, 0x4c8e, 0x9a, 0x31, 0x27, 0x44, 0x6d, 0x10, 0xf2, 0x01);

// An audio media type with a WAVEFORMATEX block, owned by the object.
class CAudioType {
public:
    CAudioType(WORD formatTag, WORD channels, DWORD rate, WORD bits);
    CAudioType(const CAudioType&) = delete;
    CAudioType& operator=(const CAudioType&) = delete;
    const AM_MEDIA_TYPE* Get() const { return &m_mt; }
    AM_MEDIA_TYPE* Get() { return &m_mt; }
    WAVEFORMATEX& Format() { return m_wfx; }

private:
    WAVEFORMATEX m_wfx;
    AM_MEDIA_TYPE m_mt;
};

// MEDIATYPE_Audio with a WAVEFORMATEX block, mono or stereo, 16-bit PCM or
// 32-bit float, plain or as WAVE_FORMAT_EXTENSIBLE (as Wine's WAVE Parser
// offers float files).
bool IsSupportedAudio(const AM_MEDIA_TYPE* mt);
// A supported type carrying float samples.
bool IsFloatAudio(const AM_MEDIA_TYPE* mt);

// ---------------------------------------------------------------------------
class CTestSource;

class CTestSourcePin : public CBaseOutputPin {
public:
    CTestSourcePin(CTestSource* filter, CCritSec* lock);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

    ALLOCATOR_PROPERTIES lastRequest = {};  // what DecideBufferSize was given
    int decideCalls = 0;
    bool acceptAnyAudio = false;  // else only the offered type

private:
    CTestSource* m_owner;
};

class CTestSource : public CBaseFilter {
public:
    // offered: the one type of the output pin; bufferSize: of each buffer.
    CTestSource(const AM_MEDIA_TYPE* offered, long bufferSize = 4096);
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;
    CTestSourcePin& Output() { return m_output; }
    const AM_MEDIA_TYPE& Offered() const { return m_offered.Get(); }
    long BufferSize() const { return m_bufferSize; }

private:
    CCritSec m_filterLock;
    CMediaType m_offered;
    long m_bufferSize;
    CTestSourcePin m_output;
};

// ---------------------------------------------------------------------------
class CTestTransform;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(CTestTransform* filter, CCritSec* lock);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CTestTransform* m_owner;
};

class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(CTestTransform* filter, CCritSec* lock);
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

private:
    CTestTransform* m_owner;
};

class CTestTransform : public CBaseFilter {
public:
    explicit CTestTransform(IUnknown* outer = nullptr);
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int index) override;
    const AMOVIESETUP_FILTER* GetSetupData() override { return m_setup; }

    CTransformInputPin& Input() { return m_input; }
    CTransformOutputPin& Output() { return m_output; }
    void SetGain(double gain) { m_gain = gain; }
    void SetSetupData(const AMOVIESETUP_FILTER* setup) { m_setup = setup; }
    void ChangePins() { IncrementPinVersion(); }

    // Counted on the streaming thread under the filter lock.
    volatile LONG samples = 0;
    volatile LONG bytes = 0;
    volatile LONG endOfStreams = 0;
    volatile LONG beginFlushes = 0;
    volatile LONG endFlushes = 0;
    volatile LONG segments = 0;
    HRESULT lastDeliver = S_OK;

private:
    friend class CTransformInputPin;
    friend class CTransformOutputPin;

    CCritSec m_filterLock;
    CTransformInputPin m_input;
    CTransformOutputPin m_output;
    double m_gain = 1.0;
    const AMOVIESETUP_FILTER* m_setup = nullptr;
};

// ---------------------------------------------------------------------------
struct ReceivedSample {
    std::vector<BYTE> data;
    bool hasTime = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool discontinuity = false;
    bool syncPoint = false;
    bool preroll = false;
    int flushes = 0;  // flushes seen before this sample arrived
};

struct ReceivedSegment {
    REFERENCE_TIME start, stop;
    double rate;
};

class CTestSink;

class CSinkInputPin : public CBaseInputPin {
public:
    CSinkInputPin(CTestSink* filter, CCritSec* lock);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    // Offers the required type, if any.
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override;
    // Blocks (when asked to) before taking the filter lock, as a renderer must.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CTestSink* m_owner;
};

class CTestSink : public CBaseFilter, public IAMFilterMiscFlags {
public:
    CTestSink();
    ~CTestSink() override;

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;
    CSinkInputPin& Input() { return m_input; }

    // Hold each sample that arrives while paused until run, stop or flush.
    void BlockWhilePaused(bool on) { m_blockWhilePaused = on; }
    // Keep (a reference to) each sample that arrives while paused, returning
    // from Receive at once, until run, stop or flush: its allocator's buffers
    // run out.
    void KeepWhilePaused(bool on) { m_keepWhilePaused = on; }
    LONG KeptCount() {
        CAutoLock lock(m_lock);
        return static_cast<LONG>(m_kept.size());
    }
    // Off: samples are counted but not recorded (Receive allocates nothing).
    void RecordSamples(bool on) { m_record = on; }
    volatile LONG received = 0;
    // Only this type is accepted (null: any supported audio).
    void RequireType(const AM_MEDIA_TYPE* mt) { m_required = mt; }
    // Waits for a sample to be held in Receive.
    bool WaitBlocked(DWORD ms) { return WaitForSingleObject(m_blockedEvent, ms) == WAIT_OBJECT_0; }
    bool WaitEndOfStream(DWORD ms) { return WaitForSingleObject(m_eosEvent, ms) == WAIT_OBJECT_0; }

    // Copies of the records, taken under the filter lock.
    std::vector<ReceivedSample> Samples();
    std::vector<ReceivedSegment> Segments();
    void ClearRecords();
    // All recorded bytes since the last flush (or the start).
    std::vector<BYTE> DataSinceLastFlush();

    volatile LONG endOfStreams = 0;
    volatile LONG beginFlushes = 0;
    volatile LONG endFlushes = 0;
    volatile LONG releasedByFlush = 0;  // held samples let go by a flush
    volatile LONG waitTimeouts = 0;

private:
    friend class CSinkInputPin;
    void ReleaseKept();

    CCritSec m_filterLock;
    CSinkInputPin m_input;
    CPosPassThru* m_seeking = nullptr;
    const AM_MEDIA_TYPE* m_required = nullptr;
    bool m_blockWhilePaused = false;
    bool m_keepWhilePaused = false;
    bool m_record = true;
    std::vector<IMediaSample*> m_kept;
    bool m_completePending = false;
    HANDLE m_releaseEvent;  // set: Receive may go on
    HANDLE m_blockedEvent;
    HANDLE m_eosEvent;
    std::vector<ReceivedSample> m_samples;
    std::vector<ReceivedSegment> m_segments;
};
