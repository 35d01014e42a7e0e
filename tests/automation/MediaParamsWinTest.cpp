// CMediaParams through its COM interfaces, called as a host calls them, under
// Wine: creation and identity, the parameter table and texts, time formats,
// values and envelopes, the host's UI callback, the effect streaming on it.
// Every test ends with all reference counts back where they started.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "EffectHarness.h"
#include "automation/MediaParams.h"

namespace {

const GUID kOtherGuid = {0x1F6E2F8A, 0x63B4, 0x4A0C, {0x9D, 0x51, 0x7C, 0x0E, 0x3A, 0x2B, 0x9F, 0x11}};

// The controlling unknown, as the filter: hands out the object's interfaces.
class CFakeFilter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        *ppv = nullptr;
        if (riid == IID_IUnknown) *ppv = static_cast<IUnknown*>(this);
        else if (params && riid == IID_IMediaParams) *ppv = static_cast<IMediaParams*>(params);
        else if (params && riid == IID_IMediaParamInfo) *ppv = static_cast<IMediaParamInfo*>(params);
        else if (params && riid == IID_IMediaParamsSetUICallback) *ppv = static_cast<IMediaParamsSetUICallback*>(params);
        else if (params && riid == IID_IMediaParamsUICallback) *ppv = static_cast<IMediaParamsUICallback*>(params);
        else return E_NOINTERFACE;
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    CMediaParams* params = nullptr;
    ULONG refs = 1;
    int queries = 0;
};

// The host's callback: records the calls, answers with `result`.
class CRecordingCallback : public IMediaParamsUICallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* i, DWORD n) override { return Record("begin", i, n, nullptr); }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* i, DWORD n, MP_DATA* v) override { return Record("changed", i, n, v); }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* i, DWORD n) override { return Record("end", i, n, nullptr); }
    std::vector<std::string> calls;
    ULONG refs = 1;
    HRESULT result = S_OK;

private:
    HRESULT Record(const char* kind, DWORD* indices, DWORD count, MP_DATA* values) {
        std::string s = kind;
        for (DWORD i = 0; i < count; ++i) s += " " + std::to_string(indices[i]) + (values ? "=" + std::to_string(values[i]) : "");
        calls.push_back(s);
        return result;
    }
};

MP_ENVELOPE_SEGMENT Seg(REFERENCE_TIME start, REFERENCE_TIME end, float from, float to,
                        MP_CURVE_TYPE curve = MP_CURVE_LINEAR) {
    return MP_ENVELOPE_SEGMENT{start, end, from, to, curve, 0};
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
        EXPECT_EQ(info->Release(), 2u);
        EXPECT_EQ(params->Release(), 1u);
        EXPECT_EQ(object->ReleaseFromOwner(), 0u);   // lets go of the host's callback too
        EXPECT_EQ(filter.refs, 1u);
        EXPECT_EQ(host.refs, 1u);
        CoUninitialize();
    }
    MP_DATA Get(DWORD index) {
        MP_DATA v = -1;
        EXPECT_EQ(params->GetParam(index, &v), S_OK);
        return v;
    }
    CFakeFilter filter;
    CRecordingCallback host;
    CMediaParams* object = nullptr;
    IMediaParams* params = nullptr;
    IMediaParamInfo* info = nullptr;
};

}  // namespace

TEST_F(MediaParamsTest, CreationAndIdentity) {
    IMediaParams* p = nullptr;
    EXPECT_EQ(CreateMediaParams(nullptr, &filter), E_POINTER);
    EXPECT_EQ(CreateMediaParams(&p, nullptr), E_POINTER);
    ASSERT_EQ(CreateMediaParams(&p, &filter), S_OK);
    EXPECT_EQ(static_cast<CMediaParams*>(p)->ReleaseFromOwner(), 0u);   // the owner's one reference
    // IUnknown from each of the four interfaces is the filter's.
    IUnknown* faces[4] = {static_cast<IMediaParams*>(object), static_cast<IMediaParamInfo*>(object),
                          static_cast<IMediaParamsSetUICallback*>(object), static_cast<IMediaParamsUICallback*>(object)};
    for (IUnknown* face : faces) {
        IUnknown* u = nullptr;
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u)), S_OK);
        EXPECT_EQ(u, static_cast<IUnknown*>(&filter));
        u->Release();
    }
    void* none = nullptr;
    EXPECT_EQ(params->QueryInterface(kOtherGuid, &none), E_NOINTERFACE);
    const int before = filter.queries;
    EXPECT_EQ(params->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    // A host holding on after the filter has detached: answered here, not there.
    object->DetachControllingUnknown();
    IMediaParamsUICallback* ui = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_IMediaParamsUICallback, reinterpret_cast<void**>(&ui)), S_OK);
    EXPECT_EQ(ui, static_cast<IMediaParamsUICallback*>(object));
    EXPECT_EQ(ui->Release(), 3u);
    EXPECT_EQ(params->QueryInterface(kOtherGuid, &none), E_NOINTERFACE);
    EXPECT_EQ(filter.queries, before);
    // The two references taken while attached held the filter; once detached
    // their release no longer reaches it.
    filter.refs -= 2;
}

TEST_F(MediaParamsTest, ParameterTableAndTexts) {
    DWORD count = 0;
    EXPECT_EQ(info->GetParamCount(&count), S_OK);
    EXPECT_EQ(count, 21u);
    EXPECT_EQ(info->GetParamCount(nullptr), E_POINTER);
    const wchar_t* labels[21] = {L"DelayL", L"FactorL", L"FeedbkL", L"XfeedL", L"MixL", L"DelayR", L"FactorR",
                                 L"FeedbkR", L"XfeedR", L"MixR", L"DiffTime", L"DiffAmnt", L"LowFreq", L"LowQ",
                                 L"HighFreq", L"HighQ", L"Output", L"TempoSync", L"Tempo", L"Link", L"Listen"};
    // Neutral values: (default - low) / span, written out again here.
    const float neutral[21] = {float(4999.0 / 39999), float(12.0 / 19), 0.4f, 0.1f, 0.3f, float(4999.0 / 39999),
                               float(12.0 / 19), 0.4f, 0.1f, 0.3f, float(39.0 / 99), 0.0f, 0.0f, 0.7f, 1.0f,
                               0.7f, float(361.0 / 421), 0.5f, float(1150.0 / 9949), 1.0f, 0.0f};
    for (DWORD i = 0; i < 21; ++i) {
        MP_PARAMINFO p;
        std::memset(&p, 0xCD, sizeof(p));
        ASSERT_EQ(info->GetParamInfo(i, &p), S_OK);
        EXPECT_STREQ(p.szLabel, labels[i]);
        EXPECT_STREQ(p.szUnitText, L"");
        EXPECT_EQ(p.mpType, i >= 19 ? MPT_BOOL : MPT_FLOAT);
        EXPECT_EQ(p.mopCaps, DWORD(MP_CAPS_CURVE_JUMP));
        EXPECT_EQ(p.mpdMinValue, 0.0f);
        EXPECT_EQ(p.mpdMaxValue, 1.0f);
        EXPECT_EQ(p.mpdNeutralValue, neutral[i]) << i;
        EXPECT_EQ(Get(i), neutral[i]) << i;
        WCHAR* text = nullptr;
        ASSERT_EQ(info->GetParamText(i, &text), S_OK);
        const size_t n = std::wcslen(labels[i]);
        EXPECT_EQ(std::memcmp(text, labels[i], n * sizeof(WCHAR)), 0);
        EXPECT_EQ(text[n], 0);       // end of the label
        EXPECT_EQ(text[n + 1], 0);   // the empty unit text
        CoTaskMemFree(text);
    }
    MP_PARAMINFO p;
    WCHAR* text = nullptr;
    EXPECT_EQ(info->GetParamInfo(21, &p), E_INVALIDARG);
    EXPECT_EQ(info->GetParamInfo(21, nullptr), E_INVALIDARG);   // the index first
    EXPECT_EQ(info->GetParamInfo(0, nullptr), E_POINTER);
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    EXPECT_EQ(info->GetParamInfo(0, static_cast<MP_PARAMINFO*>(page)), E_POINTER);
    VirtualFree(page, 0, MEM_RELEASE);
    EXPECT_EQ(info->GetParamText(21, &text), E_INVALIDARG);
    EXPECT_EQ(info->GetParamText(3, nullptr), E_POINTER);
}

TEST_F(MediaParamsTest, OnlyReferenceTimeIsSupported) {
    DWORD n = 0;
    EXPECT_EQ(info->GetNumTimeFormats(&n), S_OK);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(info->GetNumTimeFormats(nullptr), E_POINTER);
    GUID g = kOtherGuid;
    EXPECT_EQ(info->GetSupportedTimeFormat(0, &g), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
    EXPECT_EQ(info->GetSupportedTimeFormat(1, &g), E_INVALIDARG);
    EXPECT_EQ(info->GetSupportedTimeFormat(1, nullptr), E_POINTER);
    MP_TIMEDATA data = 0xDEADBEEF;
    g = kOtherGuid;
    EXPECT_EQ(info->GetCurrentTimeFormat(&g, &data), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
    EXPECT_EQ(data, 0xDEADBEEFu);   // not written
    EXPECT_EQ(info->GetCurrentTimeFormat(nullptr, &data), E_POINTER);
    EXPECT_EQ(params->SetTimeFormat(GUID_TIME_REFERENCE, 12345), S_OK);
    EXPECT_EQ(params->SetTimeFormat(kOtherGuid, 0), E_INVALIDARG);
    EXPECT_EQ(info->GetCurrentTimeFormat(&g, nullptr), S_OK);
    EXPECT_EQ(g, GUID_TIME_REFERENCE);
}

TEST_F(MediaParamsTest, ValuesEnvelopesAndFlushes) {
    EXPECT_EQ(params->SetParam(3, 0.25f), S_OK);
    EXPECT_EQ(Get(3), 0.25f);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);
    EXPECT_EQ(params->SetParam(21, 0.5f), E_INVALIDARG);
    MP_DATA v;
    EXPECT_EQ(params->GetParam(21, &v), E_INVALIDARG);
    EXPECT_EQ(params->GetParam(3, nullptr), E_POINTER);

    MP_ENVELOPE_SEGMENT seg = Seg(0, 1000000, 0.25f, 0.75f, MP_CURVE_JUMP);
    EXPECT_EQ(params->AddEnvelope(0, 0, nullptr), S_OK);
    EXPECT_EQ(params->AddEnvelope(21, 1, &seg), E_INVALIDARG);
    EXPECT_EQ(params->AddEnvelope(0, 1, nullptr), E_POINTER);
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    EXPECT_EQ(params->AddEnvelope(0, 1, static_cast<MP_ENVELOPE_SEGMENT*>(page)), E_POINTER);
    VirtualFree(page, 0, MEM_RELEASE);
    ASSERT_EQ(params->AddEnvelope(0xFFFFFFFF, 1, &seg), S_OK);
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);   // adding is not a change
    EXPECT_EQ(object->UpdateValues(2205), S_OK);         // t = 500000
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);
    for (DWORD i = 0; i < 21; ++i) EXPECT_EQ(Get(i), i >= 19 ? 0.0f : 0.25f) << i;   // Booleans round
    object->UpdateValues(6615);   // t = 1500000, past the end
    EXPECT_EQ(Get(kParamMixL), 0.75f);

    EXPECT_EQ(params->FlushEnvelope(0, 2000000, 1000000), E_INVALIDARG);
    EXPECT_EQ(params->FlushEnvelope(21, 0, 1), E_INVALIDARG);
    EXPECT_EQ(params->FlushEnvelope(kParamMixL, INT64_MIN, INT64_MAX), S_OK);
    EXPECT_EQ(object->Envelopes().Envelope(kParamMixL).SegmentCount(), 0u);
    EXPECT_EQ(object->Envelopes().Envelope(kParamMixR).SegmentCount(), 1u);
    EXPECT_EQ(Get(kParamMixL), 0.75f);   // the last automated value stays
    EXPECT_EQ(params->FlushEnvelope(0xFFFFFFFF, INT64_MIN, INT64_MAX), S_OK);
    EXPECT_EQ(object->Envelopes().Envelope(kParamMixR).SegmentCount(), 0u);
    EXPECT_EQ(object->TestAndClearChanged(), S_OK);   // from the last pass, not the flushes
    EXPECT_EQ(object->TestAndClearChanged(), S_FALSE);
}

TEST_F(MediaParamsTest, HostCallbackHeldAndForwardedTo) {
    IMediaParamsSetUICallback* set = object;
    IMediaParamsUICallback* ui = object;
    DWORD index = kParamMixL;
    MP_DATA value = 0.6f;
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_OK);   // no host: applied, S_OK
    EXPECT_TRUE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(ui->ParamsEndCapture(&index, 1), S_OK);
    CRecordingCallback other;
    EXPECT_EQ(set->SetUICallback(&other), S_OK);
    EXPECT_EQ(other.refs, 2u);
    EXPECT_EQ(set->SetUICallback(&host), S_OK);   // replaces: the old one released
    EXPECT_EQ(other.refs, 1u);
    EXPECT_EQ(host.refs, 2u);

    host.result = S_FALSE;   // the host's answer comes back
    EXPECT_EQ(ui->ParamsBeginCapture(&index, 1), S_FALSE);
    EXPECT_EQ(ui->ParamsChanged(&index, 1, &value), S_FALSE);
    EXPECT_TRUE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(Get(kParamMixL), 0.6f);
    EXPECT_EQ(ui->ParamsEndCapture(&index, 1), S_FALSE);
    EXPECT_FALSE(object->Envelopes().Envelope(kParamMixL).CaptureFlag());
    EXPECT_EQ(ui->ParamsChanged(nullptr, 0, nullptr), S_FALSE);   // count 0: straight on
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 4", "changed 4=0.600000", "end 4", "changed"}));

    // A bad index: ParamsChanged applies what comes before it; nothing reaches the host.
    host.calls.clear();
    DWORD indices[3] = {2, 21, 3};
    MP_DATA values[3] = {0.5f, 0.6f, 0.7f};
    EXPECT_EQ(ui->ParamsChanged(indices, 3, values), E_INVALIDARG);
    EXPECT_EQ(Get(2), 0.5f);
    EXPECT_EQ(Get(3), 0.1f);
    EXPECT_EQ(ui->ParamsBeginCapture(indices, 2), E_INVALIDARG);
    EXPECT_FALSE(object->Envelopes().Envelope(2).CaptureFlag());
    EXPECT_EQ(ui->ParamsEndCapture(nullptr, 1), E_POINTER);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(MediaParamsTest, EffectEditsReachTheHostAndEnvelopesReachTheOutput) {
    object->SetUICallback(&host);
    CStreamRun run(object);   // as the filter builds it: defaults applied with notify
    run.effect.SetLink(0, 0);
    host.calls.clear();
    run.effect.SetDelayL(40000, 1);
    run.effect.SetDelayR(1, 1);
    run.effect.EndParamCapture();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 0", "changed 0=1.000000", "end 0", "begin 5",
                                                    "changed 5=0.000000", "end 5"}));
    EXPECT_EQ(Get(kParamDelayL), 1.0f);
    run.effect.SetDelayL(5000, 0);
    run.effect.SetDelayR(5000, 0);
    params->SetParam(kParamFeedbkL, 0.75f);   // a host's value reaches the effect's next refresh
    ParamBlock block;
    run.effect.RefreshFromAutomation(&block);
    EXPECT_EQ(block[kParamFeedbkL], 75);
    // 441-frame buffers start at t = 100000 * b: the jump holds MixL at 0 (dry)
    // through buffer 10 and gives 1.0 (wet, silent so far) from buffer 11.
    MP_ENVELOPE_SEGMENT seg = Seg(0, 1000000, 0.0f, 1.0f, MP_CURVE_JUMP);
    ASSERT_EQ(params->AddEnvelope(kParamMixL, 1, &seg), S_OK);
    const auto out = run.Run(13, 441, 0.5f, [&](int64_t position) { object->UpdateValues(position); });
    ASSERT_EQ(out.size(), 13u);
    for (int b = 0; b <= 10; ++b) EXPECT_EQ(out[b][200], 0.5f) << b;
    for (int b = 11; b < 13; ++b) EXPECT_LT(std::fabs(out[b][200]), 1e-6f) << b;
    EXPECT_EQ(out[10][1], out[11][1]);   // the right channel stays
}
