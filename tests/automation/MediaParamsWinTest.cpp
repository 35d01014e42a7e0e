// CMediaParams through its COM interfaces, called as a host calls them, under
// Wine. Checklist: creation, identity and reference counts, the parameter
// table and its texts, time formats, values and the changed flag, envelopes
// and flushing, the host's UI callback and the forwarding rules, and the
// effect streaming on the object.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "EffectHarness.h"
#include "automation/MediaParams.h"
#include "automation/MediaParamsUI.h"
#include "effect/ParamTable.h"

namespace {

// {1F6E2F8A-63B4-4A0C-9D51-7C0E3A2B9F11}: an interface nobody offers.
const GUID kUnknownIid = {0x1F6E2F8A, 0x63B4, 0x4A0C, {0x9D, 0x51, 0x7C, 0x0E, 0x3A, 0x2B, 0x9F, 0x11}};

// A filter as far as the object sees one: the controlling unknown, which
// hands out the four interfaces of its media-params object.
class CFakeFilter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (!params) return E_NOINTERFACE;
        if (riid == IID_IMediaParams) {
            *ppv = static_cast<IMediaParams*>(params);
        } else if (riid == IID_IMediaParamInfo) {
            *ppv = static_cast<IMediaParamInfo*>(params);
        } else if (riid == IID_IMediaParamsSetUICallback) {
            *ppv = static_cast<IMediaParamsSetUICallback*>(params);
        } else if (riid == IID_IMediaParamsUICallback) {
            *ppv = static_cast<IMediaParamsUICallback*>(params);
        } else {
            return E_NOINTERFACE;
        }
        params->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    CMediaParams* params = nullptr;
    ULONG refs = 1;
    int queries = 0;
};

// The host's callback: records every call and answers with `result`.
class CRecordingCallback : public IMediaParamsUICallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMediaParamsUICallback) {
            *ppv = static_cast<IMediaParamsUICallback*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* indices, DWORD count) override {
        Record("begin", indices, count, nullptr);
        return result;
    }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values) override {
        Record("changed", indices, count, values);
        return result;
    }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* indices, DWORD count) override {
        Record("end", indices, count, nullptr);
        return result;
    }

    std::vector<std::string> calls;
    ULONG refs = 1;
    HRESULT result = S_OK;

private:
    void Record(const char* kind, DWORD* indices, DWORD count, MP_DATA* values) {
        std::string s = kind;
        for (DWORD i = 0; i < count; ++i) {
            s += " " + std::to_string(indices[i]);
            if (values) s += "=" + std::to_string(values[i]);
        }
        calls.push_back(s);
    }
};

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    MP_ENVELOPE_SEGMENT s{};
    s.rtStart = start;
    s.rtEnd = end;
    s.valStart = from;
    s.valEnd = to;
    s.iCurve = curve;
    return s;
}

class MediaParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(CMediaParams::Create(&filter, &object), S_OK);
        filter.params = object;
        ASSERT_EQ(filter.QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
        ASSERT_EQ(filter.QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)), S_OK);
    }
    void TearDown() override {
        // Every reference handed out comes back: the host's two, then the
        // filter's own, which destroys the object and lets go of any callback.
        EXPECT_EQ(info->Release(), 2u);
        EXPECT_EQ(params->Release(), 1u);
        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(filter.refs, 1u);
        EXPECT_EQ(host.refs, 1u);
        CoUninitialize();
    }

    CFakeFilter filter;
    CRecordingCallback host;
    CMediaParams* object = nullptr;
    IMediaParams* params = nullptr;
    IMediaParamInfo* info = nullptr;
};

}  // namespace

// ---- Creation, identity, reference counts ------------------------------------------

TEST(MediaParamsCreation, RefusesNullPointersAndStartsWithOneReference) {
    CFakeFilter filter;
    IMediaParams* p = nullptr;
    EXPECT_EQ(CreateMediaParams(nullptr, &filter), E_POINTER);
    EXPECT_EQ(CreateMediaParams(&p, nullptr), E_POINTER);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(CreateMediaParams(&p, &filter), S_OK);
    EXPECT_EQ(p->AddRef(), 2u);
    EXPECT_EQ(p->Release(), 1u);
    EXPECT_EQ(filter.refs, 1u);   // the controlling unknown is not counted
    EXPECT_EQ(p->Release(), 0u);
}

TEST_F(MediaParamsTest, QueryInterfaceGoesToTheFilterFromEveryInterface) {
    IUnknown* viaParams = nullptr;
    IUnknown* viaInfo = nullptr;
    IUnknown* viaSet = nullptr;
    IUnknown* viaUi = nullptr;
    EXPECT_EQ(params->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaParams)), S_OK);
    EXPECT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInfo)), S_OK);
    EXPECT_EQ(static_cast<IMediaParamsSetUICallback*>(object)->QueryInterface(IID_IUnknown,
                                                                              reinterpret_cast<void**>(&viaSet)),
              S_OK);
    EXPECT_EQ(static_cast<IMediaParamsUICallback*>(object)->QueryInterface(IID_IUnknown,
                                                                           reinterpret_cast<void**>(&viaUi)),
              S_OK);
    for (IUnknown* u : {viaParams, viaInfo, viaSet, viaUi}) {
        EXPECT_EQ(u, static_cast<IUnknown*>(&filter));
        u->Release();
    }
    // Between the interfaces, through the filter.
    IMediaParamsSetUICallback* set = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(&set)), S_OK);
    EXPECT_EQ(set, static_cast<IMediaParamsSetUICallback*>(object));
    set->Release();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(params->QueryInterface(kUnknownIid, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    const int before = filter.queries;
    EXPECT_EQ(params->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(filter.queries, before);   // refused here, not passed on
}

TEST(MediaParamsCreation, OutlivingTheFilterAnswersForItselfOnceDetached) {
    CFakeFilter filter;
    CMediaParams* object = nullptr;
    ASSERT_EQ(CMediaParams::Create(&filter, &object), S_OK);
    filter.params = object;
    IMediaParams* held = nullptr;   // a host's reference
    ASSERT_EQ(filter.QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&held)), S_OK);
    // The filter goes away: detach, then its own reference.
    object->DetachControllingUnknown();
    filter.params = nullptr;
    EXPECT_EQ(object->Release(), 1u);
    const int before = filter.queries;
    IMediaParamInfo* info = nullptr;
    ASSERT_EQ(held->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)), S_OK);
    DWORD n = 0;
    EXPECT_EQ(info->GetParamCount(&n), S_OK);
    EXPECT_EQ(n, 21u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(held));
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(held->QueryInterface(kUnknownIid, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(filter.queries, before);   // nothing reached the departed filter
    EXPECT_EQ(identity->Release(), 2u);
    EXPECT_EQ(info->Release(), 1u);
    EXPECT_EQ(held->Release(), 0u);
}

// ---- The parameter table -----------------------------------------------------------

TEST_F(MediaParamsTest, ServesTwentyOneParametersFromTheTable) {
    DWORD count = 0;
    EXPECT_EQ(info->GetParamCount(&count), S_OK);
    EXPECT_EQ(count, 21u);
    EXPECT_EQ(info->GetParamCount(nullptr), E_POINTER);

    const wchar_t* labels[21] = {L"DelayL", L"FactorL", L"FeedbkL",  L"XfeedL",   L"MixL",     L"DelayR",
                                 L"FactorR", L"FeedbkR", L"XfeedR",   L"MixR",     L"DiffTime", L"DiffAmnt",
                                 L"LowFreq", L"LowQ",    L"HighFreq", L"HighQ",    L"Output",   L"TempoSync",
                                 L"Tempo",   L"Link",    L"Listen"};
    // Defaults, lows and spans of the parameter set, written out again here.
    const int defaults[21] = {5000, 12, 40, 10, 30, 5000, 12, 40, 10, 30, 40, 0, 0, 100, 301, 100, 0, 1, 1200, 1, 0};
    const int lows[21] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 30, 1, 30, -361, 0, 50, 0, 0};
    const int spans[21] = {39999, 19, 100, 100, 100, 39999, 19, 100, 100, 100, 99, 100, 301, 100, 300, 100, 421, 2, 9949, 0, 0};
    for (DWORD i = 0; i < 21; ++i) {
        MP_PARAMINFO p;
        std::memset(&p, 0xCD, sizeof(p));
        ASSERT_EQ(info->GetParamInfo(i, &p), S_OK);
        EXPECT_STREQ(p.szLabel, labels[i]);
        EXPECT_STREQ(p.szUnitText, L"");
        EXPECT_EQ(p.mpType, i >= 19 ? MPT_BOOL : MPT_FLOAT) << i;
        EXPECT_EQ(p.mopCaps, static_cast<MP_CAPS>(MP_CAPS_CURVE_JUMP));
        EXPECT_EQ(p.mpdMinValue, 0.0f);
        EXPECT_EQ(p.mpdMaxValue, 1.0f);
        const float neutral = i >= 19 ? static_cast<float>(defaults[i])
                                      : static_cast<float>(static_cast<double>(defaults[i] - lows[i]) / spans[i]);
        EXPECT_EQ(p.mpdNeutralValue, neutral) << i;
        // The value a host reads back before touching anything is the neutral value.
        MP_DATA v = -1;
        EXPECT_EQ(params->GetParam(i, &v), S_OK);
        EXPECT_EQ(v, neutral) << i;
    }
    EXPECT_EQ(info->GetParamInfo(21, nullptr), E_INVALIDARG);   // index first
    MP_PARAMINFO p;
    EXPECT_EQ(info->GetParamInfo(21, &p), E_INVALIDARG);
    EXPECT_EQ(info->GetParamInfo(0, nullptr), E_POINTER);
    // Memory the caller cannot write to.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(info->GetParamInfo(0, static_cast<MP_PARAMINFO*>(page)), E_POINTER);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST_F(MediaParamsTest, ParamTextIsLabelThenEmptyUnitEachTerminated) {
    WCHAR* text = nullptr;
    ASSERT_EQ(info->GetParamText(0, &text), S_OK);
    ASSERT_NE(text, nullptr);
    const WCHAR expected[] = {L'D', L'e', L'l', L'a', L'y', L'L', 0, 0};
    EXPECT_EQ(std::memcmp(text, expected, sizeof(expected)), 0);
    CoTaskMemFree(text);

    ASSERT_EQ(info->GetParamText(20, &text), S_OK);
    EXPECT_STREQ(text, L"Listen");
    EXPECT_EQ(text[6], 0);
    EXPECT_EQ(text[7], 0);
    CoTaskMemFree(text);

    text = reinterpret_cast<WCHAR*>(1);
    EXPECT_EQ(info->GetParamText(21, &text), E_INVALIDARG);
    EXPECT_EQ(info->GetParamText(21, nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetParamText(3, nullptr), E_POINTER);
}

// ---- Time formats --------------------------------------------------------------------

TEST_F(MediaParamsTest, OnlyReferenceTimeIsSupported) {
    DWORD n = 0;
    EXPECT_EQ(info->GetNumTimeFormats(&n), S_OK);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(info->GetNumTimeFormats(nullptr), E_POINTER);

    GUID g = kUnknownIid;
    EXPECT_EQ(info->GetSupportedTimeFormat(0, &g), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
    EXPECT_EQ(info->GetSupportedTimeFormat(1, &g), E_INVALIDARG);
    EXPECT_EQ(info->GetSupportedTimeFormat(1, nullptr), E_POINTER);   // the pointer is checked first

    g = kUnknownIid;
    MP_TIMEDATA data = 0xDEADBEEF;
    EXPECT_EQ(info->GetCurrentTimeFormat(&g, &data), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
    EXPECT_EQ(data, 0xDEADBEEFu);   // not written
    EXPECT_EQ(info->GetCurrentTimeFormat(&g, nullptr), S_OK);
    EXPECT_EQ(info->GetCurrentTimeFormat(nullptr, &data), E_POINTER);

    EXPECT_EQ(params->SetTimeFormat(GUID_TIME_REFERENCE, 12345), S_OK);
    EXPECT_EQ(params->SetTimeFormat(kUnknownIid, 0), E_INVALIDARG);
    EXPECT_EQ(info->GetCurrentTimeFormat(&g, nullptr), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
}

// ---- Values and the changed flag ---------------------------------------------------

TEST_F(MediaParamsTest, SetParamThenGetParamAndTheChangedFlag) {
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(params->SetParam(3, 0.25f), S_OK);
    MP_DATA v = 0;
    EXPECT_EQ(params->GetParam(3, &v), S_OK);
    EXPECT_EQ(v, 0.25f);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(params->SetParam(21, 0.5f), E_INVALIDARG);
    EXPECT_EQ(params->GetParam(21, &v), E_INVALIDARG);
    EXPECT_EQ(params->GetParam(3, nullptr), E_POINTER);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(object->MarkChanged(), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    // Booleans round; the effect's read gives the same value.
    params->SetParam(kParamLink, 0.49f);
    params->GetParam(kParamLink, &v);
    EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(static_cast<IAutomationLink*>(object)->ValueInForce(kParamLink), 0.0f);
}

// ---- Envelopes ---------------------------------------------------------------------

TEST_F(MediaParamsTest, AddEnvelopeForOneOrAllParameters) {
    EXPECT_EQ(params->AddEnvelope(0, 0, nullptr), S_OK);
    EXPECT_EQ(params->AddEnvelope(0xFFFFFFFF, 0, nullptr), S_OK);
    MP_ENVELOPE_SEGMENT seg = Seg(0, 1000000, 0.25f, 0.75f, MP_CURVE_JUMP);
    EXPECT_EQ(params->AddEnvelope(21, 1, &seg), E_INVALIDARG);
    EXPECT_EQ(params->AddEnvelope(0xFFFFFFFE, 1, &seg), E_INVALIDARG);
    EXPECT_EQ(params->AddEnvelope(0, 1, nullptr), E_POINTER);
    // An array the object cannot read.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(params->AddEnvelope(0, 1, static_cast<MP_ENVELOPE_SEGMENT*>(page)), E_POINTER);
    VirtualFree(page, 0, MEM_RELEASE);

    ASSERT_EQ(params->AddEnvelope(0xFFFFFFFF, 1, &seg), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);   // adding changes nothing yet
    EXPECT_EQ(object->UpdateValues(2205), S_OK);         // t = 500000, inside
    for (DWORD i = 0; i < 21; ++i) {
        EXPECT_EQ(object->Envelopes().Envelope(i).SegmentCount(), 1u) << i;
        MP_DATA v = -1;
        params->GetParam(i, &v);
        EXPECT_EQ(v, i >= 19 ? 0.0f : 0.25f) << i;   // Booleans: 0.25 < 0.5
    }
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    object->UpdateValues(44100);   // t = 10^7, past the end
    MP_DATA v = -1;
    params->GetParam(kParamMixL, &v);
    EXPECT_EQ(v, 0.75f);
    params->GetParam(kParamListen, &v);
    EXPECT_EQ(v, 1.0f);
}

TEST_F(MediaParamsTest, FlushEnvelopeErrorsAndEffect) {
    MP_ENVELOPE_SEGMENT seg = Seg(1000000, 2000000, 0.2f, 0.8f);
    params->AddEnvelope(0xFFFFFFFF, 1, &seg);
    EXPECT_EQ(params->FlushEnvelope(0, 2000000, 1000000), E_INVALIDARG);
    EXPECT_EQ(params->FlushEnvelope(0xFFFFFFFF, 2000000, 1000000), E_INVALIDARG);
    EXPECT_EQ(params->FlushEnvelope(21, 0, 1), E_INVALIDARG);
    EXPECT_EQ(object->Envelopes().Envelope(0).SegmentCount(), 1u);
    object->UpdateValues(6615);   // t = 1500000: 0.5 everywhere
    EXPECT_EQ(params->FlushEnvelope(kParamMixL, 0, 3000000), S_OK);
    EXPECT_EQ(object->Envelopes().Envelope(kParamMixL).SegmentCount(), 0u);
    EXPECT_EQ(object->Envelopes().Envelope(kParamMixR).SegmentCount(), 1u);
    MP_DATA v = -1;
    params->GetParam(kParamMixL, &v);
    EXPECT_EQ(v, 0.5f);   // keeps the last automated value
    EXPECT_EQ(params->FlushEnvelope(0xFFFFFFFF, INT64_MIN, INT64_MAX), S_OK);
    for (DWORD i = 0; i < 21; ++i) EXPECT_EQ(object->Envelopes().Envelope(i).SegmentCount(), 0u);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);   // from the UpdateValues pass only
    EXPECT_EQ(params->FlushEnvelope(kParamMixL, 5, 5), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);   // flushing is not a change
}

// ---- The host's UI callback ----------------------------------------------------------

TEST_F(MediaParamsTest, SetUICallbackHoldsOneReferenceAndReplaces) {
    IMediaParamsSetUICallback* set = object;
    EXPECT_EQ(set->SetUICallback(&host), S_OK);
    EXPECT_EQ(host.refs, 2u);
    EXPECT_EQ(set->SetUICallback(&host), S_OK);   // the same one again
    EXPECT_EQ(host.refs, 2u);
    CRecordingCallback other;
    EXPECT_EQ(set->SetUICallback(&other), S_OK);
    EXPECT_EQ(host.refs, 1u);
    EXPECT_EQ(other.refs, 2u);
    EXPECT_EQ(set->SetUICallback(nullptr), S_OK);
    EXPECT_EQ(other.refs, 1u);
    EXPECT_EQ(set->SetUICallback(&host), S_OK);   // released by the object's destruction
}

TEST_F(MediaParamsTest, CaptureCallsApplyHereThenReachTheHost) {
    IMediaParamsUICallback* ui = object;
    DWORD index = kParamMixL;
    MP_DATA value = 0.6f;
    // Without a host callback: applied, S_OK.
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_OK);
    EXPECT_TRUE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(ui->ParamsEndCapture(&index, 1), S_OK);
    EXPECT_FALSE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());

    object->SetUICallback(&host);
    host.result = S_FALSE;   // whatever the host answers is passed back
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_FALSE);
    EXPECT_TRUE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(ui->ParamsChanged(&index, 1, &value), S_FALSE);
    MP_DATA v = -1;
    params->GetParam(kParamMixL, &v);
    EXPECT_EQ(v, 0.6f);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    EXPECT_EQ(ui->ParamsEndCapture(&index, 1), S_FALSE);
    EXPECT_FALSE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 4", "changed 4=0.600000", "end 4"}));

    // A count of 0 goes straight to the host.
    host.result = S_OK;
    EXPECT_EQ(ui->ParamsChanged(nullptr, 0, nullptr), S_OK);
    EXPECT_EQ(host.calls.back(), "changed");
}

TEST_F(MediaParamsTest, ParamsChangedStopsAtIndex21WithoutCallingTheHost) {
    object->SetUICallback(&host);
    IMediaParamsUICallback* ui = object;
    DWORD indices[3] = {2, 21, 3};
    MP_DATA values[3] = {0.5f, 0.6f, 0.7f};
    EXPECT_EQ(ui->ParamsChanged(indices, 3, values), E_INVALIDARG);
    MP_DATA v = -1;
    params->GetParam(2, &v);
    EXPECT_EQ(v, 0.5f);   // applied before the bad index
    params->GetParam(3, &v);
    EXPECT_EQ(v, 0.1f);   // not after it: XfeedL's neutral
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MediaParamsTest, CapturesWithAnIndexOutOfRangeAreRefusedWhole) {
    object->SetUICallback(&host);
    IMediaParamsUICallback* ui = object;
    DWORD indices[2] = {0, 21};
    EXPECT_EQ(ui->ParamsBeginCapture(indices, 2), E_INVALIDARG);
    EXPECT_FALSE(object->Envelopes().Envelope(0).CaptureFlag());
    DWORD all = 0xFFFFFFFF;
    EXPECT_EQ(ui->ParamsEndCapture(&all, 1), E_INVALIDARG);
    EXPECT_EQ(ui->ParamsBeginCapture(nullptr, 1), E_POINTER);
    EXPECT_TRUE(host.calls.empty());
}

// ---- The effect on the object ------------------------------------------------------

TEST_F(MediaParamsTest, EditorChangesReachTheHostCallback) {
    object->SetUICallback(&host);
    CStreamRun run(object);   // constructed like the filter: defaults applied with notify
    host.calls.clear();
    run.effect.SetLink(0, 0);   // no grouping: one capture at a time
    host.calls.clear();
    run.effect.SetDelayL(40000, 1);
    run.effect.SetDelayR(1, 1);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 0", "changed 0=1.000000", "end 0", "begin 5",
                                                    "changed 5=0.000000"}));
    MP_DATA v = -1;
    params->GetParam(kParamDelayL, &v);
    EXPECT_EQ(v, 1.0f);
    run.effect.EndParamCapture();
    EXPECT_EQ(host.calls.back(), "end 5");
    EXPECT_FALSE(object->Envelopes().Envelope(kParamDelayR).CaptureFlag());
    // A host SetParam reaches the effect at its next refresh.
    params->SetParam(kParamFeedbkL, 0.75f);
    ParamBlock block;
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamFeedbkL], 75);
}

TEST_F(MediaParamsTest, MixEnvelopeChangesTheOutputAtTheRightBuffer) {
    // 441-frame buffers start at t = 100000 * b. The jump holds MixL at 0
    // (dry) up to and including t = 1000000 (buffer 10) and gives 1.0 (wet)
    // after it, from buffer 11.
    CStreamRun run(object);
    MP_ENVELOPE_SEGMENT seg = Seg(0, 1000000, 0.0f, 1.0f, MP_CURVE_JUMP);
    ASSERT_EQ(params->AddEnvelope(kParamMixL, 1, &seg), S_OK);
    const auto out = run.Run(13, 441, 0.5f, [&](int64_t position) { object->UpdateValues(position); });
    ASSERT_EQ(out.size(), 13u);
    for (int b = 0; b <= 10; ++b) EXPECT_EQ(out[b][2 * 100], 0.5f) << b;
    for (int b = 11; b < 13; ++b) EXPECT_LT(std::fabs(out[b][2 * 100]), 1e-6f) << b;
    EXPECT_EQ(out[10][1], out[11][1]);   // the right channel stays
}
