// The filter object as a host sees it, created in-process: interfaces and
// identity, pins, output management, built-in presets, the saved state,
// lifetimes, and Wine's filter graph with the filter unconnected.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "PlugInTestSupport.h"
#include "TestHost.h"
#include "TestPlugIn.h"
#include "host/FilterSetupData.h"
#include "host/StaticFilterPreset.h"
#include "host/TzPlugIn.h"

namespace {

template <class T>
T* Query(IUnknown* object, REFIID riid) {
    T* result = nullptr;
    return SUCCEEDED(object->QueryInterface(riid, reinterpret_cast<void**>(&result))) ? result : nullptr;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class TzPlugInTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        filter = NewFilter();
        ASSERT_NE(filter, nullptr);
    }
    void TearDown() override {
        if (filter) {
            EXPECT_EQ(filter->Release(), 0u);
        }
        CoUninitialize();
    }
    static IBaseFilter* NewFilter() { return NewPlugIn(); }
    ParamBlock Params(IUnknown* object) {
        ParamBlock b{};
        ITzPlugInProp* prop = Query<ITzPlugInProp>(object, IID_ITzPlugInProp);
        prop->GetAllParams(b.v);
        prop->Release();
        return b;
    }
    std::vector<std::wstring> PinNames(IBaseFilter* f) {
        std::vector<std::wstring> names;
        IEnumPins* pins = nullptr;
        if (FAILED(f->EnumPins(&pins))) return names;
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            PIN_INFO info;
            pin->QueryPinInfo(&info);
            names.push_back(info.achName);
            if (info.pFilter) info.pFilter->Release();
            pin->Release();
        }
        pins->Release();
        return names;
    }
    IStream* SavedStream(IUnknown* object) {
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        IPersistStream* persist = Query<IPersistStream>(object, IID_IPersistStream);
        EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
        persist->Release();
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        return stream;
    }
    std::vector<uint8_t> Bytes(IStream* stream) {
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        return bytes;
    }
    IStream* StreamOf(const std::vector<uint8_t>& bytes) {
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        ULONG written = 0;
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        return stream;
    }
    HRESULT Load(IUnknown* object, IStream* stream) {
        IPersistStream* persist = Query<IPersistStream>(object, IID_IPersistStream);
        const HRESULT hr = persist->Load(stream);
        persist->Release();
        return hr;
    }

    IBaseFilter* filter = nullptr;
};

void PutUnits(std::vector<uint8_t>& b, const char* text) {
    for (; *text; ++text) {
        b.push_back(static_cast<uint8_t>(*text));
        b.push_back(0);
    }
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutFloat(std::vector<uint8_t>& b, float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    Put32(b, v);
}

}  // namespace

TEST_F(TzPlugInTest, InterfacesShareOneIdentityAndMediaParamsIsTheAutomationObject) {
    const IID* own[] = {&IID_IDispatch,       &IID_ITzPlugInProp,     &IID_ISpecifyPropertyPages,
                        &IID_IPersistStream,  &IID_ITempoFeaturesInfo, &IID_IWbxSoftSynth,
                        &IID_IWbxSoftSynth2,  &IID_IWbxNotify,        &IID_IWbxInputPort,
                        &IID_IStaticFilterPreset, &IID_IBaseFilter,   &IID_IMediaFilter,
                        &IID_IPersist,        &IID_IAMovieSetup,      &IID_IMediaParams,
                        &IID_IMediaParamInfo, &IID_IMediaParamsSetUICallback, &IID_IMediaParamsUICallback};
    IUnknown* identity = Query<IUnknown>(filter, IID_IUnknown);
    ASSERT_NE(identity, nullptr);
    for (const IID* iid : own) {
        IUnknown* itf = Query<IUnknown>(filter, *iid);
        ASSERT_NE(itf, nullptr);
        IUnknown* back = Query<IUnknown>(itf, IID_IUnknown);
        EXPECT_EQ(back, identity);
        back->Release();
        itf->Release();
    }
    IMediaParams* params = Query<IMediaParams>(filter, IID_IMediaParams);
    IMediaParamInfo* info = Query<IMediaParamInfo>(filter, IID_IMediaParamInfo);
    DWORD count = 0;
    EXPECT_EQ(info->GetParamCount(&count), S_OK);
    EXPECT_EQ(count, 21u);
    // The automation object's own interface, not a face of the filter.
    EXPECT_NE(static_cast<void*>(params), static_cast<void*>(filter));
    info->Release();
    params->Release();
    EXPECT_EQ(Query<IUnknown>(filter, IID_IClassFactory), nullptr);
    EXPECT_EQ(filter->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    identity->Release();
    EXPECT_EQ(RefCount(filter), 1u);
}

TEST_F(TzPlugInTest, NewFiltersHaveInputAndOneOutputWithModuleWideIds) {
    EXPECT_EQ(PinNames(filter), (std::vector<std::wstring>{L"Input", L"Output 1"}));
    IBaseFilter* second = NewFilter();
    CTzPlugIn* a = static_cast<CTzPlugIn*>(filter);
    CTzPlugIn* b = static_cast<CTzPlugIn*>(second);
    EXPECT_GT(b->GetOutputId(0), a->GetOutputId(0));
    EXPECT_EQ(b->GetOutputId(1), -1);
    EXPECT_EQ(b->GetPin(-1), nullptr);
    EXPECT_EQ(b->GetPin(2), nullptr);
    CBasePin* counted = b->GetPin(1);
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(RefCount(static_cast<IPin*>(counted)), 2u) << "the list's and GetPin's";
    counted->Release();
    IPin* found = nullptr;
    EXPECT_EQ(second->FindPin(L"Output 1", &found), S_OK);
    PIN_DIRECTION dir;
    found->QueryDirection(&dir);
    EXPECT_EQ(dir, PINDIR_OUTPUT);
    found->Release();
    EXPECT_EQ(second->FindPin(L"Output 2", &found), VFW_E_NOT_FOUND);
    EXPECT_EQ(second->Release(), 0u);
    CLSID clsid;
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ZvDelay);
    EXPECT_EQ(filter->GetClassID(nullptr), E_POINTER);
}

TEST_F(TzPlugInTest, OutputsAreAddedRemovedAndVetoedByTheHost) {
    CTzPlugIn* f = static_cast<CTzPlugIn*>(filter);
    int32_t id = 0;
    ASSERT_EQ(f->AddOutput("Aux", &id), S_OK);
    ASSERT_EQ(f->AddOutput(nullptr, nullptr), S_OK);
    EXPECT_EQ(PinNames(filter), (std::vector<std::wstring>{L"Input", L"Output 1", L"Aux", L"Output 3"}));
    EXPECT_EQ(f->FindOutput(id)->Id(), id);
    EXPECT_EQ(f->GetOutputCount(), 3);
    EXPECT_EQ(f->RemoveOutput(-5), E_FAIL);
    EXPECT_EQ(f->GetOutputCount(), 3);
    EXPECT_EQ(f->RemoveOutput(id), S_OK);
    EXPECT_EQ(f->FindOutput(id), nullptr);

    // A connected host that refuses the change keeps the pins as they are.
    // Its notices come with the filter lock free.
    class CVetoHost : public CTestHost {
    public:
        HRESULT STDMETHODCALLTYPE OnPinsChanged(int32_t phase, IUnknown*, int32_t count) override {
            calls.push_back(phase * 100 + count);
            if (!FreeForOthers(*filterLock)) ++locked;
            return veto && phase == 1 ? E_ACCESSDENIED : S_OK;
        }
        CCritSec* filterLock = nullptr;
        bool veto = false;
        int locked = 0;
        std::vector<int> calls;
    } host;
    host.filterLock = static_cast<CQvi*>(f);
    IWbxSoftSynth* synth = Query<IWbxSoftSynth>(filter, IID_IWbxSoftSynth);
    host.AddRef();   // handed over with Connect
    ASSERT_EQ(synth->Connect(host.Unknown()), S_OK);
    EXPECT_EQ(f->AddOutput(nullptr, nullptr), S_OK);
    EXPECT_EQ(host.calls, (std::vector<int>{103, 203}));
    host.veto = true;
    EXPECT_EQ(f->AddOutput(nullptr, nullptr), E_ACCESSDENIED);
    EXPECT_EQ(f->RemoveAllOutputs(), E_ACCESSDENIED);
    EXPECT_EQ(f->GetOutputCount(), 3);
    host.veto = false;
    EXPECT_EQ(f->RemoveAllOutputs(), S_OK);
    EXPECT_EQ(f->GetOutputCount(), 0);
    EXPECT_EQ(PinNames(filter), (std::vector<std::wstring>{L"Input"}));
    EXPECT_EQ(host.locked, 0);
    synth->Disconnect();
    synth->Release();
    EXPECT_EQ(host.RefCount(), 1u);
}

// QueryPinInfo has room for 127 characters; the name itself, as QueryId
// gives it and FindPin compares it, is kept whole.
TEST_F(TzPlugInTest, LongOutputNamesAreKeptWhole) {
    const std::string longest(255, 'n');
    ASSERT_EQ(PlugIn(filter)->AddOutput((std::string(200, 'a') + "tail").c_str(), nullptr), S_OK);
    ASSERT_EQ(PlugIn(filter)->AddOutput((longest + "cut").c_str(), nullptr), S_OK);
    const std::wstring full = std::wstring(200, L'a') + L"tail";
    IPin* pin = nullptr;
    ASSERT_EQ(filter->FindPin(full.c_str(), &pin), S_OK);
    PIN_INFO info;
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    info.pFilter->Release();
    EXPECT_EQ(std::wstring(info.achName), std::wstring(127, L'a'));
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_EQ(std::wstring(id), full);
    CoTaskMemFree(id);
    pin->Release();
    EXPECT_EQ(filter->FindPin(std::wstring(127, L'a').c_str(), &pin), VFW_E_NOT_FOUND);
    // A name past 255 bytes is cut there.
    EXPECT_EQ(filter->FindPin(std::wstring(255, L'n').c_str(), &pin), S_OK);
    pin->Release();
}

// The instrument frame may add and remove outputs while the graph, answering
// EC_GRAPH_CHANGED, enumerates and finds pins on another thread. Every pin
// handed out is counted before the list lock is left, so none can be deleted
// under its finder.
TEST_F(TzPlugInTest, PinsEnumeratedWhileOutputsComeAndGo) {
    CTzPlugIn* f = PlugIn(filter);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Churn {
        CTzPlugIn* f;
        HANDLE done;
        int failures = 0;
    } churn{f, done};
    HANDLE thread = CreateThread(nullptr, 0, [](void* arg) -> DWORD {
        Churn& c = *static_cast<Churn*>(arg);
        for (int i = 0; i < 20003; ++i) {
            int32_t id = 0;
            if (c.f->AddOutput(nullptr, &id) != S_OK) ++c.failures;
            if (c.f->AddOutput("Churn", nullptr) != S_OK) ++c.failures;
            if (c.f->RemoveOutput(id) != S_OK) ++c.failures;
            if (i % 7 == 0 && c.f->RemoveAllOutputs() != S_OK) ++c.failures;
        }
        SetEvent(c.done);
        return 0;
    }, &churn, 0, nullptr);
    IMemInputPin* transport = nullptr;
    IPin* input = nullptr;
    ASSERT_EQ(filter->FindPin(L"Input", &input), S_OK);
    input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport));
    int seen = 0;
    while (WaitForSingleObject(done, 0) == WAIT_TIMEOUT) {
        IEnumPins* pins = nullptr;
        ASSERT_EQ(filter->EnumPins(&pins), S_OK);
        IPin* got[4] = {};
        ULONG fetched = 0;
        HRESULT hr;
        while ((hr = pins->Next(4, got, &fetched)) == S_OK || (hr == S_FALSE && fetched)) {
            for (ULONG i = 0; i < fetched; ++i) {
                PIN_DIRECTION dir;
                got[i]->QueryDirection(&dir);
                got[i]->Release();
                ++seen;
            }
            if (hr == S_FALSE) break;
        }
        pins->Release();
        IPin* found = nullptr;
        if (filter->FindPin(L"Churn", &found) == S_OK) found->Release();
        transport->ReceiveCanBlock();
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(done);
    transport->Release();
    input->Release();
    EXPECT_EQ(churn.failures, 0);
    EXPECT_GT(seen, 0);
    // Left: one pin from each of the three rounds after the last
    // RemoveAllOutputs (round 19999).
    EXPECT_EQ(f->GetOutputCount(), 3);
    EXPECT_EQ(f->RemoveAllOutputs(), S_OK);
    EXPECT_EQ(f->GetPinCount(), 1);
}

TEST_F(TzPlugInTest, BuiltInPresets) {
    IStaticFilterPreset* presets = Query<IStaticFilterPreset>(filter, IID_IStaticFilterPreset);
    ULONG count = 0;
    EXPECT_EQ(presets->GetPresetCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    WCHAR name[64];
    EXPECT_EQ(presets->GetPresetName(0, name, 64), S_OK);
    EXPECT_STREQ(name, L"(Default)");
    EXPECT_EQ(presets->GetPresetName(1, name, 64), S_OK);
    EXPECT_STREQ(name, L"[1] Full Reset");
    EXPECT_EQ(presets->GetPresetName(2, name, 64), E_INVALIDARG);
    // Asking without a buffer is no error, and nothing is written.
    name[0] = L'x';
    EXPECT_EQ(presets->GetPresetName(0, nullptr, 0), S_OK);
    EXPECT_EQ(presets->GetPresetName(0, name, 0), S_OK);
    EXPECT_EQ(name[0], L'x');
    EXPECT_EQ(presets->GetPresetName(1, name, 4), S_OK);
    EXPECT_EQ(std::wcslen(name), 3u);
    EXPECT_EQ(presets->ApplyPreset(-1), E_INVALIDARG);

    ITzPlugInProp* prop = Query<ITzPlugInProp>(filter, IID_ITzPlugInProp);
    prop->SetMixL(99, 0);
    prop->SetTempo(777, 0);
    EXPECT_EQ(presets->ApplyPreset(1), S_OK);
    IBaseFilter* fresh = NewFilter();
    const ParamBlock applied = Params(filter), created = Params(fresh);
    EXPECT_EQ(0, memcmp(applied.v, created.v, sizeof(ParamBlock)));
    EXPECT_EQ(0, memcmp(created.v, kDefaultBlock.v, sizeof(ParamBlock)));
    fresh->Release();
    prop->Release();
    presets->Release();
}

TEST_F(TzPlugInTest, SavedStreamIsTheVersionTextAndTheBody) {
    IPersistStream* persist = Query<IPersistStream>(filter, IID_IPersistStream);
    ULARGE_INTEGER size;
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 196u);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    EXPECT_EQ(persist->Save(stream, FALSE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    const std::vector<uint8_t> bytes = Bytes(stream);
    std::vector<uint8_t> expected;
    PutUnits(expected, "00000000000 ");
    Put32(expected, 21);
    // A new filter's values are the defaults as the setters pass them on:
    // (default - low) times the float nearest to 1/span, in single precision.
    for (uint32_t i = 0; i < 21; ++i) {
        const ParamInfo& p = kParamTable[i];
        const float n = p.isBool ? static_cast<float>(p.defaultValue)
                                 : static_cast<float>(p.defaultValue - p.low) * static_cast<float>(1.0 / p.span);
        Put32(expected, i);
        PutFloat(expected, n);
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.size(), 196u);
    stream->Release();
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    stream->Release();
    CLSID clsid;
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ZvDelay);
    persist->Release();
}

TEST_F(TzPlugInTest, SavedStateRoundTripsIntoAFreshFilter) {
    ITzPlugInProp* prop = Query<ITzPlugInProp>(filter, IID_ITzPlugInProp);
    prop->SetDelayL(1234, 0);
    prop->SetOutput(-200, 0);
    prop->SetListen(1, 0);
    prop->SetLowFreq(150, 0);
    prop->Release();
    IStream* stream = SavedStream(filter);
    IBaseFilter* fresh = NewFilter();
    EXPECT_EQ(Load(fresh, stream), S_OK);
    const ParamBlock a = Params(filter), b = Params(fresh);
    EXPECT_EQ(0, memcmp(a.v, b.v, sizeof(ParamBlock)));
    stream->Release();
    fresh->Release();
}

TEST_F(TzPlugInTest, LoadAcceptsOtherVersionsAndRefusesStrayText) {
    std::vector<uint8_t> body;
    Put32(body, 2);
    Put32(body, 3);
    PutFloat(body, 0.25f);
    Put32(body, 30);
    PutFloat(body, 0.5f);

    std::vector<uint8_t> bytes;
    PutUnits(bytes, "00000012345 ");
    bytes.insert(bytes.end(), body.begin(), body.end());
    IStream* stream = StreamOf(bytes);
    EXPECT_EQ(Load(filter, stream), S_OK);
    stream->Release();
    IMediaParams* params = Query<IMediaParams>(filter, IID_IMediaParams);
    float v = 0;
    params->GetParam(3, &v);
    EXPECT_EQ(v, 0.25f);
    EXPECT_EQ(Params(filter)[kParamXfeedL], 25);

    bytes.clear();
    PutUnits(bytes, "00000000000x");
    bytes.insert(bytes.end(), body.begin(), body.end());
    stream = StreamOf(bytes);
    params->SetParam(3, 0.75f);
    EXPECT_EQ(Load(filter, stream), VFW_E_INVALID_FILE_FORMAT);
    params->GetParam(3, &v);
    EXPECT_EQ(v, 0.75f);   // nothing restored
    stream->Release();

    // A body that breaks off: what was read is applied, E_FAIL reported.
    bytes.clear();
    PutUnits(bytes, "00000000000 ");
    Put32(bytes, 21);
    Put32(bytes, 4);
    PutFloat(bytes, 0.5f);
    Put32(bytes, 5);
    stream = StreamOf(bytes);
    EXPECT_EQ(Load(filter, stream), E_FAIL);
    EXPECT_EQ(Params(filter)[kParamMixL], 50);
    stream->Release();
    params->Release();
}

TEST_F(TzPlugInTest, StateChangesWhileUnconnected) {
    ITzPlugInProp* prop = Query<ITzPlugInProp>(filter, IID_ITzPlugInProp);
    prop->SetStreaming(1);
    EXPECT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(prop->IsStreaming(), 0);   // the unconnected input ended the stream
    FILTER_STATE state;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(filter->Run(0), S_OK);
    IWbxSoftSynth* synth = Query<IWbxSoftSynth>(filter, IID_IWbxSoftSynth);
    EXPECT_EQ(prop->IsHostStopped(), 1);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(prop->IsHostStopped(), 1);
    synth->Release();
    prop->Release();
}

TEST_F(TzPlugInTest, PropertyPagesAndDispatch) {
    ISpecifyPropertyPages* pages = Query<ISpecifyPropertyPages>(filter, IID_ISpecifyPropertyPages);
    CAUUID list{};
    EXPECT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], CLSID_ZvDelayPropertyPage);
    CoTaskMemFree(list.pElems);
    pages->Release();
    IDispatch* dispatch = Query<IDispatch>(filter, IID_IDispatch);
    UINT n;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&n), E_NOTIMPL);
    dispatch->Release();
}

TEST_F(TzPlugInTest, InterfacesAndPinsHeldPastTheFilterStaySafe) {
    IBaseFilter* other = NewFilter();
    IMediaParams* params = Query<IMediaParams>(other, IID_IMediaParams);
    IPin* output = nullptr;
    ASSERT_EQ(other->FindPin(L"Output 1", &output), S_OK);
    static_cast<CTzPlugIn*>(other)->RemoveAllOutputs();   // the pin leaves the filter
    EXPECT_EQ(other->Release(), 1u);   // the media-params reference holds it
    // The media-params object keeps the filter alive until it is released.
    float v = -1;
    EXPECT_EQ(params->SetParam(2, 0.5f), S_OK);
    EXPECT_EQ(params->GetParam(2, &v), S_OK);
    EXPECT_EQ(v, 0.5f);
    params->Release();
    // A pin that left its filter answers with errors, not with freed memory.
    PIN_INFO info{};
    EXPECT_EQ(output->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter, nullptr);
    IEnumMediaTypes* types = nullptr;
    EXPECT_TRUE(FAILED(output->EnumMediaTypes(&types)));
    EXPECT_EQ(output->Release(), 0u);
}

TEST_F(TzPlugInTest, JoinsWinesGraphAndRunsUnconnected) {
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    ASSERT_EQ(graph->AddFilter(filter, L"zv Delay"), S_OK);
    FILTER_INFO info{};
    EXPECT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"zv Delay");
    EXPECT_NE(info.pGraph, nullptr);
    if (info.pGraph) info.pGraph->Release();
    EXPECT_EQ(PinNames(filter).size(), 2u);
    IMediaFilter* mediaFilter = Query<IMediaFilter>(graph, IID_IMediaFilter);
    mediaFilter->SetSyncSource(nullptr);
    IMediaControl* control = Query<IMediaControl>(graph, IID_IMediaControl);
    for (int cycle = 0; cycle < 2; ++cycle) {
        EXPECT_TRUE(SUCCEEDED(control->Pause()));
        EXPECT_TRUE(SUCCEEDED(control->Run()));
        OAFilterState state;
        control->GetState(1000, &state);
        EXPECT_EQ(state, State_Running);
        EXPECT_EQ(control->Stop(), S_OK);
    }
    // A change of the output list tells the graph.
    EXPECT_EQ(static_cast<CTzPlugIn*>(filter)->AddOutput(nullptr, nullptr), S_OK);
    EXPECT_EQ(PinNames(filter).size(), 3u);
    control->Release();
    mediaFilter->Release();
    EXPECT_EQ(graph->RemoveFilter(filter), S_OK);
    EXPECT_EQ(graph->Release(), 0u);
    EXPECT_EQ(RefCount(filter), 1u);
}
