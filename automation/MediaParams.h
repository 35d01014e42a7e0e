// CMediaParams: the automation face of the effect (Windows only).
//
// What it does. Serves the 21 parameters to hosts through the four public
// media-parameters interfaces: IMediaParamInfo (the parameter table, texts and
// the one time format, REFERENCE_TIME), IMediaParams (values and curve
// segments), IMediaParamsSetUICallback (the host hands over its callback) and
// IMediaParamsUICallback (the effect reports the user's drags, which are
// applied here and passed on to the host's callback). The same object is the
// effect's IAutomationLink: the effect reads each parameter's value in force
// once per buffer, asks whether anything changed, and sends its captures.
// All parameter work is CEnvelopeSet's (automation/EnvelopeSet.h, portable);
// the envelopes are CParamEnvelope (automation/ParamEnvelope.h).
//
// Identity. The object lives inside the filter: QueryInterface goes to the
// controlling unknown (the filter), which hands out these interfaces from its
// own QueryInterface. The filter holds the reference Create gives (which does
// not hold the filter) and lets go of it with ReleaseFromOwner (detach, then
// release). Every other reference, handed out to a host, also holds the
// filter, as an aggregated object's would, so a host that keeps only these
// interfaces keeps the filter alive. Detached (the filter gone), the object
// answers QueryInterface for its own interfaces only.
//
// Threads and locks. Host calls arrive on any of the host's threads,
// UpdateValues on the streaming thread under the filter's receive lock. The
// effect marks captures under its parameter lock and sends the host's
// notifications after releasing it (NotifyHost), so the host's callback is
// never called with a lock of ours held. Each envelope locks its own segment
// list. m_callbackLock guards only the host callback pointer; it is never
// held while calling out, so it nests inside every other lock and never
// outside one.
#pragma once
#include <atomic>
#include <new>

#include "automation/EnvelopeSet.h"
#include "automation/MediaParamsUI.h"
#include "common/CritSec.h"
#include "common/WinTypes.h"
#include "effect/AutomationLink.h"

class CMediaParams : public IMediaParams,
                     public IMediaParamInfo,
                     public IMediaParamsSetUICallback,
                     public IMediaParamsUICallback,
                     public IAutomationLink {
public:
    // IUnknown, shared by the four interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IMediaParams. SetParam is also the effect's (IAutomationLink).
    HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD dwParamIndex, DWORD cSegments,
                                          MP_ENVELOPE_SEGMENT* pEnvelope) override;
    HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                                            REFERENCE_TIME refTimeEnd) override;
    HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA* pValue) override;
    HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA mpTimeData) override;

    // IMediaParamInfo.
    HRESULT STDMETHODCALLTYPE GetParamCount(DWORD* pdwParams) override;
    HRESULT STDMETHODCALLTYPE GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) override;
    HRESULT STDMETHODCALLTYPE GetNumTimeFormats(DWORD* pdwNumTimeFormats) override;
    HRESULT STDMETHODCALLTYPE GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) override;
    HRESULT STDMETHODCALLTYPE GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA* pTimeData) override;

    // IMediaParamsSetUICallback.
    HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback* pICallback) override;

    // IMediaParamsUICallback. Each one is applied here first; only when that
    // succeeds does it reach the host's callback, with the same arguments.
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* pdwParamIndices, DWORD cParams) override;
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* pdwParamIndices, DWORD cParams, MP_DATA* pValues) override;
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* pdwParamIndices, DWORD cParams) override;

    // IAutomationLink: the value in force, normalised (any thread, no lock);
    // the editor's hold on a parameter (no lock, no host call); and one
    // notification to the host's callback alone, which the effect sends with
    // none of its locks held.
    MP_DATA ValueInForce(DWORD dwParamIndex) const override;
    HRESULT SetCaptureFlag(DWORD dwParamIndex, bool captured) override;
    void NotifyHost(EHostNotice notice, DWORD dwParamIndex, MP_DATA value) override;

    // Own operations. S_OK and clear when the changed flag was set, else S_FALSE.
    virtual HRESULT TestAndClearChanged() override;
    uint32_t ChangeCount() const override { return m_envelopes.ChangeCount(); }
    virtual HRESULT MarkChanged();
    virtual ~CMediaParams();

    // From the filter's pins whenever a media type is set (E_INVALIDARG for a
    // rate of 0 or less, which is not stored).
    HRESULT SetSampleRate(LONG sampleRate) { return m_envelopes.SetSampleRate(sampleRate); }
    // Streaming thread, before each buffer, with the position of its first
    // frame: evaluates all 21 envelopes. Never allocates.
    HRESULT UpdateValues(LONGLONG position) { return m_envelopes.UpdateValues(position); }

    CEnvelopeSet& Envelopes() { return m_envelopes; }

    // The filter's destructor, before its own Release of this object.
    void DetachControllingUnknown() { m_controllingUnknown.store(nullptr); }
    // Both at once: what the filter's destructor calls instead of Release.
    ULONG ReleaseFromOwner();

    // Creation, by the filter's constructor. The object starts with one
    // reference, owned by the caller.
    static HRESULT Create(IUnknown* pControllingUnknown, CMediaParams** ppObject);

private:
    explicit CMediaParams(IUnknown* pControllingUnknown);
    CMediaParams(const CMediaParams&) = delete;
    CMediaParams& operator=(const CMediaParams&) = delete;

    // The host's callback with a reference of the caller's own, or null.
    IMediaParamsUICallback* HostCallback();

    std::atomic<IUnknown*> m_controllingUnknown;  // the filter; not counted; null once detached
    IMediaParamsUICallback* m_hostCallback;    // counted; guarded by m_callbackLock
    CCritSec m_callbackLock;
    LONG volatile m_refCount;
    CEnvelopeSet m_envelopes;
};

// The creation entry the filter calls: a new object's IMediaParams pointer
// for the given controlling unknown, carrying the owner's reference (let go
// of with ReleaseFromOwner). E_POINTER when either
// pointer is null, E_OUTOFMEMORY when the object cannot be allocated.
HRESULT CreateMediaParams(IMediaParams** ppMediaParams, IUnknown* pControllingUnknown);
