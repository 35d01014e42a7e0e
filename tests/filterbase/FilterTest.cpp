// CBaseFilter through a filter built on it (CTestTransform), in the order of
// a DirectShow filter conformance pass: interfaces, aggregation, pin
// enumeration, FindPin, pin information, media types, unconnected state,
// clock and stream time, graph membership and events, vendor information,
// registration.
#include "TestFilters.h"
#include "TestSupport.h"

#include <cstring>

namespace {

class FilterTest : public FilterBaseTest {};

HRESULT Query(IUnknown* unknown, REFIID riid) {
    IUnknown* itf = reinterpret_cast<IUnknown*>(0xdeadbeef);
    HRESULT hr = unknown->QueryInterface(riid, reinterpret_cast<void**>(&itf));
    if (SUCCEEDED(hr))
        itf->Release();
    else
        EXPECT_EQ(itf, nullptr) << "a refused interface must clear the out pointer";
    return hr;
}

const GUID kOtherIid = {0x33333333, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

}  // namespace

TEST_F(FilterTest, InterfacesOfFilterAndPins) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    EXPECT_EQ(S_OK, Query(filter, IID_IBaseFilter));
    EXPECT_EQ(S_OK, Query(filter, IID_IMediaFilter));
    EXPECT_EQ(S_OK, Query(filter, IID_IPersist));
    EXPECT_EQ(S_OK, Query(filter, IID_IAMovieSetup));
    EXPECT_EQ(S_OK, Query(filter, IID_IUnknown));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, IID_IPin));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, IID_IMemInputPin));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, IID_IMediaSeeking));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, IID_IMediaPosition));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, IID_IReferenceClock));
    EXPECT_EQ(E_NOINTERFACE, Query(filter, kOtherIid));
    EXPECT_EQ(E_POINTER, filter->QueryInterface(IID_IBaseFilter, nullptr));

    // One identity from every interface.
    IUnknown* identity = Identity(filter);
    IMediaFilter* media = nullptr;
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&media)));
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));
    EXPECT_EQ(identity, Identity(media));
    EXPECT_EQ(identity, Identity(setup));
    media->Release();
    setup->Release();

    IPin* in = &transform->Input();
    EXPECT_EQ(S_OK, Query(in, IID_IPin));
    EXPECT_EQ(S_OK, Query(in, IID_IMemInputPin));
    EXPECT_EQ(S_OK, Query(in, IID_IUnknown));
    EXPECT_EQ(E_NOINTERFACE, Query(in, IID_IMediaSeeking));
    EXPECT_EQ(E_NOINTERFACE, Query(in, IID_IBaseFilter));
    IMemInputPin* transport = nullptr;
    ASSERT_EQ(S_OK, in->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&transport)));
    EXPECT_EQ(Identity(in), Identity(transport));
    EXPECT_NE(Identity(in), identity);
    transport->Release();

    IPin* out = &transform->Output();
    EXPECT_EQ(S_OK, Query(out, IID_IPin));
    EXPECT_EQ(S_OK, Query(out, IID_IMediaSeeking));
    EXPECT_EQ(S_OK, Query(out, IID_IMediaPosition));
    EXPECT_EQ(E_NOINTERFACE, Query(out, IID_IMemInputPin));
    // The pass-through answers for the pin it belongs to.
    IMediaSeeking* seeking = nullptr;
    ASSERT_EQ(S_OK, out->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)));
    EXPECT_EQ(Identity(out), Identity(seeking));
    EXPECT_EQ(S_OK, Query(seeking, IID_IPin));
    // Unconnected: nothing upstream to ask.
    LONGLONG duration = 0;
    EXPECT_EQ(E_NOTIMPL, seeking->GetDuration(&duration));
    seeking->Release();

    EXPECT_EQ(0u, filter->Release());
}

namespace {

// A controlling unknown that answers a few IIDs with a marker, as an
// aggregating object would.
LONG g_outerCount = 1;
IUnknown* const kOuterMarker = reinterpret_cast<IUnknown*>(0xdeadbeef);

struct FakeOuter : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBaseFilter) || IsEqualIID(riid, kOtherIid)) {
            *ppv = kOuterMarker;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&g_outerCount); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&g_outerCount); }
};

}  // namespace

TEST_F(FilterTest, AggregationDelegatesToTheOuterObject) {
    FakeOuter outer;
    auto* transform = new CTestTransform(&outer);
    INonDelegatingUnknown* inner = transform;

    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, inner->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_NE(static_cast<IUnknown*>(&outer), unknown);
    EXPECT_EQ(1, g_outerCount);
    EXPECT_EQ(1u, RefCount(unknown));

    EXPECT_EQ(2u, unknown->AddRef());
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(1, g_outerCount);

    IUnknown* again = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(unknown, again);
    again->Release();

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2, g_outerCount) << "interfaces handed out are counted on the outer object";
    IUnknown* fromFilter = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromFilter)));
    EXPECT_EQ(kOuterMarker, fromFilter);
    ASSERT_EQ(S_OK, filter->QueryInterface(kOtherIid, reinterpret_cast<void**>(&fromFilter)));
    EXPECT_EQ(kOuterMarker, fromFilter);
    IUnknown* other = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, unknown->QueryInterface(kOtherIid, reinterpret_cast<void**>(&other)));
    EXPECT_EQ(nullptr, other);

    filter->Release();
    EXPECT_EQ(1, g_outerCount);
    EXPECT_EQ(0u, unknown->Release());
}

TEST_F(FilterTest, EnumPins) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();
    EXPECT_EQ(1u, RefCount(filter));

    EXPECT_EQ(E_POINTER, filter->EnumPins(nullptr));
    IEnumPins* pins1 = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins1));
    EXPECT_EQ(2u, RefCount(filter)) << "the enumerator holds the filter";
    EXPECT_EQ(1u, RefCount(pins1));

    IPin* pins[3] = {};
    ULONG count = 99;
    EXPECT_EQ(E_POINTER, pins1->Next(1, nullptr, nullptr));
    ASSERT_EQ(S_OK, pins1->Next(1, pins, nullptr));
    EXPECT_EQ(static_cast<IPin*>(&transform->Input()), pins[0]);
    EXPECT_EQ(3u, RefCount(filter)) << "a pin is counted with its filter";
    EXPECT_EQ(3u, RefCount(pins[0]));
    pins[0]->Release();
    ASSERT_EQ(S_OK, pins1->Next(1, pins, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(static_cast<IPin*>(&transform->Output()), pins[0]);
    pins[0]->Release();
    EXPECT_EQ(S_FALSE, pins1->Next(1, pins, &count));
    EXPECT_EQ(0u, count);

    EXPECT_EQ(S_OK, pins1->Reset());
    EXPECT_EQ(E_INVALIDARG, pins1->Next(2, pins, nullptr));
    ASSERT_EQ(S_FALSE, pins1->Next(3, pins, &count));
    EXPECT_EQ(2u, count);
    pins[0]->Release();
    pins[1]->Release();
    EXPECT_EQ(S_OK, pins1->Next(0, pins, &count));
    EXPECT_EQ(0u, count);

    EXPECT_EQ(S_OK, pins1->Reset());
    IEnumPins* pins2 = nullptr;
    EXPECT_EQ(E_POINTER, pins1->Clone(nullptr));
    ASSERT_EQ(S_OK, pins1->Clone(&pins2));
    EXPECT_EQ(S_FALSE, pins1->Skip(3)) << "skipping past the end does not move";
    EXPECT_EQ(S_OK, pins1->Skip(2));
    EXPECT_EQ(S_FALSE, pins1->Skip(1));
    EXPECT_EQ(S_FALSE, pins1->Next(1, pins, nullptr));
    ASSERT_EQ(S_OK, pins2->Next(1, pins, nullptr)) << "a clone keeps its own position";
    EXPECT_EQ(static_cast<IPin*>(&transform->Input()), pins[0]);
    pins[0]->Release();

    // A change of the pin list puts existing enumerators out of step.
    transform->ChangePins();
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins2->Next(1, pins, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins2->Skip(1));
    IEnumPins* pins3 = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins2->Clone(&pins3));
    EXPECT_EQ(nullptr, pins3);
    EXPECT_EQ(S_OK, pins2->Reset());
    ASSERT_EQ(S_OK, pins2->Next(2, pins, &count));
    pins[0]->Release();
    pins[1]->Release();

    pins2->Release();
    pins1->Release();
    EXPECT_EQ(1u, RefCount(filter));
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, FindPinComparesNames) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    IPin* pin = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"In", &pin));
    EXPECT_EQ(static_cast<IPin*>(&transform->Input()), pin);
    pin->Release();
    ASSERT_EQ(S_OK, filter->FindPin(L"Out", &pin));
    EXPECT_EQ(static_cast<IPin*>(&transform->Output()), pin);
    pin->Release();

    pin = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"Output 1", &pin));
    EXPECT_EQ(nullptr, pin);
    EXPECT_EQ(VFW_E_NOT_FOUND, filter->FindPin(L"in", &pin));
    EXPECT_EQ(E_POINTER, filter->FindPin(L"In", nullptr));
    EXPECT_EQ(E_POINTER, filter->FindPin(nullptr, &pin));

    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, PinInfoDirectionAndId) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    for (IPin* pin : {static_cast<IPin*>(&transform->Input()), static_cast<IPin*>(&transform->Output())}) {
        const bool isInput = pin == static_cast<IPin*>(&transform->Input());
        const ULONG before = RefCount(filter);
        EXPECT_EQ(before, RefCount(pin));

        PIN_INFO info = {};
        ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
        EXPECT_EQ(filter, info.pFilter);
        EXPECT_EQ(isInput ? PINDIR_INPUT : PINDIR_OUTPUT, info.dir);
        EXPECT_STREQ(isInput ? L"In" : L"Out", info.achName);
        EXPECT_EQ(before + 1, RefCount(filter)) << "QueryPinInfo adds a reference to the filter";
        info.pFilter->Release();
        EXPECT_EQ(E_POINTER, pin->QueryPinInfo(nullptr));

        PIN_DIRECTION direction;
        ASSERT_EQ(S_OK, pin->QueryDirection(&direction));
        EXPECT_EQ(isInput ? PINDIR_INPUT : PINDIR_OUTPUT, direction);
        EXPECT_EQ(E_POINTER, pin->QueryDirection(nullptr));

        LPWSTR id = nullptr;
        ASSERT_EQ(S_OK, pin->QueryId(&id));
        EXPECT_STREQ(isInput ? L"In" : L"Out", id);
        CoTaskMemFree(id);

        EXPECT_EQ(E_NOTIMPL, pin->QueryInternalConnections(nullptr, nullptr));
    }
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, MediaTypesOfUnconnectedPins) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();
    IPin* in = &transform->Input();
    IPin* out = &transform->Output();

    IEnumMediaTypes* types = nullptr;
    EXPECT_EQ(E_POINTER, in->EnumMediaTypes(nullptr));
    ASSERT_EQ(S_OK, in->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* mts[2] = {};
    ULONG count = 99;
    EXPECT_EQ(S_FALSE, types->Next(1, mts, nullptr));
    EXPECT_EQ(S_FALSE, types->Next(1, mts, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(S_FALSE, types->Skip(1));
    types->Release();

    // The output's types follow the input's connection.
    types = reinterpret_cast<IEnumMediaTypes*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->EnumMediaTypes(&types));
    EXPECT_EQ(nullptr, types);

    CAudioType pcm(WAVE_FORMAT_PCM, 2, 44100, 16);
    CAudioType flt(WAVE_FORMAT_IEEE_FLOAT, 1, 48000, 32);
    CAudioType pcm8(WAVE_FORMAT_PCM, 2, 44100, 8);
    CAudioType surround(WAVE_FORMAT_PCM, 6, 44100, 16);
    EXPECT_EQ(S_OK, in->QueryAccept(pcm.Get()));
    EXPECT_EQ(S_OK, in->QueryAccept(flt.Get()));
    EXPECT_EQ(S_FALSE, in->QueryAccept(pcm8.Get()));
    EXPECT_EQ(S_FALSE, in->QueryAccept(surround.Get()));
    pcm.Get()->majortype = MEDIATYPE_Video;
    EXPECT_EQ(S_FALSE, in->QueryAccept(pcm.Get()));
    EXPECT_EQ(E_POINTER, in->QueryAccept(nullptr));
    EXPECT_EQ(S_FALSE, out->QueryAccept(flt.Get()));

    AM_MEDIA_TYPE mt;
    std::memset(&mt, 0xcc, sizeof(mt));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, in->ConnectionMediaType(&mt));
    EXPECT_EQ(nullptr, mt.pbFormat) << "the type is cleared";
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, in->ConnectedTo(&peer));
    EXPECT_EQ(nullptr, peer);
    EXPECT_EQ(S_FALSE, in->Disconnect());
    EXPECT_EQ(S_FALSE, out->Disconnect());

    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, UnconnectedStateChanges) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    FILTER_STATE state = State_Running;
    EXPECT_EQ(E_POINTER, filter->GetState(0, nullptr));
    const struct {
        HRESULT (*step)(IBaseFilter*);
        FILTER_STATE expected;
    } steps[] = {
        {[](IBaseFilter* f) { return f->GetState(0, nullptr) == E_POINTER ? S_OK : E_FAIL; }, State_Stopped},
        {[](IBaseFilter* f) { return f->Pause(); }, State_Paused},
        {[](IBaseFilter* f) { return f->Run(0); }, State_Running},
        {[](IBaseFilter* f) { return f->Pause(); }, State_Paused},
        {[](IBaseFilter* f) { return f->Stop(); }, State_Stopped},
        {[](IBaseFilter* f) { return f->Run(0); }, State_Running},
        {[](IBaseFilter* f) { return f->Run(0); }, State_Running},
        {[](IBaseFilter* f) { return f->Stop(); }, State_Stopped},
        {[](IBaseFilter* f) { return f->Stop(); }, State_Stopped},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(S_OK, s.step(filter));
        ASSERT_EQ(S_OK, filter->GetState(0, &state));
        EXPECT_EQ(s.expected, state);
    }
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, ClockAndStreamTime) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    REFERENCE_TIME time = 0;
    EXPECT_EQ(VFW_E_NO_CLOCK, transform->StreamTime(&time));
    IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
    EXPECT_EQ(E_POINTER, filter->GetSyncSource(nullptr));
    ASSERT_EQ(S_OK, filter->GetSyncSource(&clock));
    EXPECT_EQ(nullptr, clock);

    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                     reinterpret_cast<void**>(&clock)));
    const ULONG clockRefs = RefCount(clock);
    ASSERT_EQ(S_OK, filter->SetSyncSource(clock));
    EXPECT_EQ(clockRefs + 1, RefCount(clock));
    IReferenceClock* got = nullptr;
    ASSERT_EQ(S_OK, filter->GetSyncSource(&got));
    EXPECT_EQ(clock, got);
    got->Release();

    // Stream time is the clock's time less the start given to Run.
    REFERENCE_TIME now = 0;
    ASSERT_EQ(S_OK, clock->GetTime(&now));
    ASSERT_EQ(S_OK, filter->Run(now - 10000000));
    ASSERT_EQ(S_OK, transform->StreamTime(&time));
    EXPECT_GE(time, 10000000);
    EXPECT_LT(time, 10000000 + 50000000);
    EXPECT_EQ(E_POINTER, transform->StreamTime(nullptr));
    ASSERT_EQ(S_OK, filter->Stop());

    ASSERT_EQ(S_OK, filter->SetSyncSource(nullptr));
    EXPECT_EQ(clockRefs, RefCount(clock));
    EXPECT_EQ(VFW_E_NO_CLOCK, transform->StreamTime(&time));
    clock->Release();
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, GraphMembershipHoldsNoReferenceAndCarriesEvents) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();

    FILTER_INFO info;
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"", info.achName);
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_EQ(E_POINTER, filter->QueryFilterInfo(nullptr));
    EXPECT_EQ(E_NOTIMPL, transform->NotifyEvent(EC_USER + 1, 0, 0));

    IFilterGraph* graph = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph,
                                     reinterpret_cast<void**>(&graph)));
    const ULONG graphRefs = RefCount(graph);
    ASSERT_EQ(S_OK, graph->AddFilter(filter, L"zv test"));
    EXPECT_EQ(graphRefs, RefCount(graph)) << "joining the graph must not hold it";
    EXPECT_EQ(2u, RefCount(filter)) << "the graph holds the filter";

    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_STREQ(L"zv test", info.achName);
    ASSERT_NE(nullptr, info.pGraph);
    EXPECT_EQ(Identity(graph), Identity(info.pGraph));
    EXPECT_EQ(graphRefs + 1, RefCount(graph)) << "QueryFilterInfo adds a reference to the graph";
    info.pGraph->Release();
    EXPECT_EQ(static_cast<IFilterGraph*>(graph), transform->GetFilterGraph());

    // Events reach the graph through the sink kept at joining.
    IMediaEvent* events = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)));
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) events->FreeEventParams(code, p1, p2);
    EXPECT_EQ(S_OK, transform->NotifyEvent(EC_USER + 7, 11, 22));
    ASSERT_EQ(S_OK, events->GetEvent(&code, &p1, &p2, 1000));
    EXPECT_EQ(EC_USER + 7, code);
    EXPECT_EQ(11, p1);
    EXPECT_EQ(22, p2);
    events->FreeEventParams(code, p1, p2);
    events->Release();

    ASSERT_EQ(S_OK, graph->RemoveFilter(filter));
    ASSERT_EQ(S_OK, filter->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    EXPECT_STREQ(L"", info.achName);
    EXPECT_EQ(E_NOTIMPL, transform->NotifyEvent(EC_USER + 1, 0, 0));
    EXPECT_EQ(0u, graph->Release());
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(FilterTest, ClassIdAndVendorInfo) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(S_OK, filter->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualGUID(kClsidTestTransform, clsid));
    EXPECT_EQ(E_POINTER, filter->GetClassID(nullptr));
    LPWSTR vendor = nullptr;
    EXPECT_EQ(E_NOTIMPL, filter->QueryVendorInfo(&vendor));
    EXPECT_EQ(0u, filter->Release());
}

namespace {

bool FilterKeyExists(const CLSID& clsid) {
    wchar_t guid[64] = {};
    StringFromGUID2(clsid, guid, 64);
    std::wstring key = std::wstring(L"Filter\\") + guid;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

const AMOVIESETUP_MEDIATYPE kAnyAudio = {&MEDIATYPE_Audio, &GUID_NULL};
AMOVIESETUP_PIN kSetupPins[] = {
    {const_cast<LPWSTR>(L"In"), FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Out", 1, &kAnyAudio},
    {const_cast<LPWSTR>(L"Out"), FALSE, TRUE, FALSE, FALSE, &GUID_NULL, L"In", 1, &kAnyAudio},
};
const AMOVIESETUP_FILTER kSetup = {&kClsidTestTransform, L"zv filter base test", MERIT_DO_NOT_USE, 2, kSetupPins};

}  // namespace

TEST_F(FilterTest, SetupRegistersWithTheFilterMapper) {
    auto* transform = new CTestTransform();
    IBaseFilter* filter = transform;
    filter->AddRef();
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));

    EXPECT_EQ(S_FALSE, setup->Register()) << "no setup record";
    EXPECT_EQ(S_FALSE, setup->Unregister());

    transform->SetSetupData(&kSetup);
    ASSERT_EQ(S_OK, setup->Register());
    EXPECT_TRUE(FilterKeyExists(kClsidTestTransform));
    ASSERT_EQ(S_OK, setup->Register()) << "registering again replaces the registration";
    ASSERT_EQ(S_OK, setup->Unregister());
    EXPECT_FALSE(FilterKeyExists(kClsidTestTransform));
    EXPECT_EQ(S_OK, setup->Unregister()) << "a registration that is not there counts as removed";

    setup->Release();
    EXPECT_EQ(0u, filter->Release());
}

namespace {

// Counts its references; stands for a media type's pUnk.
struct CountedUnknown : IUnknown {
    LONG count = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
};

}  // namespace

TEST_F(FilterTest, MediaTypeHelpers) {
    CAudioType pcm(WAVE_FORMAT_PCM, 2, 44100, 16);
    CountedUnknown unknown;
    pcm.Get()->pUnk = &unknown;

    AM_MEDIA_TYPE copy;
    ASSERT_EQ(S_OK, CopyMediaType(&copy, pcm.Get()));
    EXPECT_NE(pcm.Get()->pbFormat, copy.pbFormat) << "a deep copy";
    EXPECT_TRUE(MediaTypesEqual(copy, *pcm.Get()));
    EXPECT_EQ(2, unknown.count);
    reinterpret_cast<WAVEFORMATEX*>(copy.pbFormat)->nSamplesPerSec = 48000;
    EXPECT_FALSE(MediaTypesEqual(copy, *pcm.Get())) << "the format bytes count";
    FreeMediaType(&copy);
    EXPECT_EQ(nullptr, copy.pbFormat);
    EXPECT_EQ(0u, copy.cbFormat);
    EXPECT_EQ(1, unknown.count);

    AM_MEDIA_TYPE* made = CreateMediaType(pcm.Get());
    ASSERT_NE(nullptr, made);
    EXPECT_TRUE(MediaTypesEqual(*made, *pcm.Get()));
    DeleteMediaType(made);
    EXPECT_EQ(1, unknown.count);
    pcm.Get()->pUnk = nullptr;

    {
        CMediaType held;
        EXPECT_TRUE(held.IsEmpty());
        ASSERT_EQ(S_OK, held.Set(pcm.Get()));
        EXPECT_FALSE(held.IsEmpty());
        EXPECT_TRUE(MediaTypesEqual(held.Get(), *pcm.Get()));
        held.Clear();
        EXPECT_TRUE(held.IsEmpty());
    }

    AM_MEDIA_TYPE pattern = {};
    EXPECT_TRUE(MediaTypeIsPartial(pattern));
    EXPECT_FALSE(MediaTypeIsPartial(*pcm.Get()));
    EXPECT_TRUE(MediaTypeMatches(*pcm.Get(), nullptr));
    EXPECT_TRUE(MediaTypeMatches(*pcm.Get(), &pattern));
    pattern.majortype = MEDIATYPE_Audio;
    pattern.formattype = FORMAT_WaveFormatEx;
    EXPECT_TRUE(MediaTypeMatches(*pcm.Get(), &pattern));
    pattern.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    EXPECT_FALSE(MediaTypeMatches(*pcm.Get(), &pattern));
    EXPECT_EQ(E_POINTER, CopyMediaType(nullptr, pcm.Get()));
}
