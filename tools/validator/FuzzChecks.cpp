// Parameter fuzzing while streaming. The validator's thread streams buffers
// of random sizes through the plug-in; a second thread meanwhile calls the
// setters with values in and out of range, SetAllParams with hostile
// blocks, IMediaParams::SetParam with NaN, infinities and huge values (and
// bad indices), AddEnvelope with random segments, FlushEnvelope, flushes of
// the input pin, setups, undo and bypass. Feedback and cross-feed stay below
// a loop gain of 1 (NaN included: it gives the default), so the output must
// stay finite throughout. Afterwards every value must be in range, and a
// restart with known settings must give the effect core's output exactly.
//   quick: 30000 buffers; long: 1000000 buffers
#include <atomic>

#include <medparam.h>

#include "tools/validator/Hostile.h"
#include "tools/validator/Reference.h"
#include "tools/validator/WinSupport.h"

namespace {

using Setter = HRESULT (STDMETHODCALLTYPE ITzPlugInProp::*)(int32_t, int32_t);
const Setter kSetters[kParamCount] = {
#define ZV_SETTER(name) &ITzPlugInProp::Set##name,
    ZV_PARAM_LIST(ZV_SETTER)
#undef ZV_SETTER
};

using Getter = HRESULT (STDMETHODCALLTYPE ITzPlugInProp::*)(int32_t*);
const Getter kGetters[kParamCount] = {
#define ZV_GETTER(name) &ITzPlugInProp::Get##name,
    ZV_PARAM_LIST(ZV_GETTER)
#undef ZV_GETTER
};

constexpr DWORD kAllParams = 0xFFFFFFFF;

// One random call from the hostile host. `now` is the stream's time.
void HostileCall(CHostile& h, CStreamRig& rig, IMediaParams* params, REFERENCE_TIME now, LONG* flushes) {
    ITzPlugInProp* prop = rig.prop;
    const int index = static_cast<int>(h.Below(kParamCount));
    switch (h.Below(14)) {
        case 0: case 1: case 2:
            (prop->*kSetters[index])(h.SetterValue(index), static_cast<int32_t>(h.Below(2)));
            break;
        case 3: case 4: {
            // Now and then an index no parameter has.
            const DWORD i = h.Chance(5) ? (h.Chance(50) ? 21u : kAllParams) : static_cast<DWORD>(index);
            params->SetParam(i, h.NormalisedValue(index));
            break;
        }
        case 5: case 6: {
            MP_ENVELOPE_SEGMENT s[6];
            const DWORD n = 1 + h.Below(6);
            const bool all = h.Chance(10);
            for (DWORD k = 0; k < n; ++k) s[k] = h.Segment(all ? -1 : index, now);
            params->AddEnvelope(all ? kAllParams : static_cast<DWORD>(index), n, s);
            break;
        }
        case 7:
            params->FlushEnvelope(h.Chance(20) ? kAllParams : static_cast<DWORD>(index), h.Time(now), h.Time(now));
            break;
        case 8: {
            const ParamBlock block = h.Block();
            prop->SetAllParams(block.v);
            break;
        }
        case 9:
            if (h.Chance(20)) {
                rig.PlugInInput()->BeginFlush();
                rig.PlugInInput()->EndFlush();
                InterlockedIncrement(flushes);
            }
            break;
        case 10: prop->SelectSetup(static_cast<int32_t>(h.Below(3))); break;
        case 11: prop->CopySetup(static_cast<int32_t>(h.Below(2)), static_cast<int32_t>(h.Below(2))); break;
        case 12:
            if (h.Chance(50)) prop->SaveUndoState(static_cast<int32_t>(h.Below(23)) - 2);
            else prop->Undo();
            break;
        default: prop->SetBypass(static_cast<int32_t>(h.Below(2))); break;
    }
}

}  // namespace

void CheckParameterFuzz(CCheckLog& log, const Options& o) {
    const int buffers = o.longRun ? 1000000 : 30000;
    const WAVEFORMATEX in = InputFormat(kFormats[3], 48000);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 4096) : E_FAIL;
    if (filter) filter->Release();
    IMediaParams* params = nullptr;
    if (SUCCEEDED(hr)) hr = rig.plugIn->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
    if (FAILED(hr)) {
        log.Fail("fuzz.streaming", Format("cannot build the graph (0x%08lx)", static_cast<unsigned long>(hr)));
        return;
    }
    rig.prop->SetAllParams(BusyBlock().v);
    rig.Run();

    const std::vector<BYTE> signal = Encode(TestSignal(48000, 2, 48000), in);
    std::atomic<bool> stop{false};
    std::atomic<LONGLONG> position{0};
    LONG calls = 0, flushes = 0;
    CThread host;
    host.Start([&] {
        CHostile h(o.seed + 10);
        while (!stop.load()) {
            HostileCall(h, rig, params, position.load() * 10000000 / 48000, &flushes);
            ++calls;
            if (h.Chance(2)) Sleep(0);
        }
    });

    CHostile h(o.seed + 11);
    std::vector<std::string> problems;
    size_t at = 0;
    int delivered = 0;
    for (int b = 0; b < buffers; ++b) {
        const int32_t frames = 1 + static_cast<int32_t>(h.Below(h.Chance(90) ? 512 : 4096));
        if (at + static_cast<size_t>(frames) > 48000) at = 0;
        if (rig.Deliver(&signal[at * 8], frames) == S_OK) ++delivered;
        at += static_cast<size_t>(frames);
        position += frames;
        if (b % 100 == 99 || b == buffers - 1) {
            const std::vector<BYTE> got = rig.TakeOutput();
            if (const long bad = FirstNonFiniteOutput(got, rig.out); bad >= 0 && problems.empty())
                problems.push_back(Format("non-finite output near buffer %d (sample %ld of the last 100 buffers)", b, bad));
        }
    }
    stop = true;
    if (!host.Join(20000)) Stuck(log, "fuzz.streaming", "the fuzzing thread");
    log.Result("fuzz.streaming", problems,
               Format("(%d buffers, %d delivered, %ld hostile calls, %ld flushes)", buffers, delivered, calls, flushes));

    // The state afterwards.
    problems.clear();
    ParamBlock block{};
    rig.prop->GetAllParams(block.v);
    if (std::string bad = OutOfRange(block.v); !bad.empty()) problems.push_back(bad);
    // Each getter agrees with the block.
    for (int i = 0; i < kParamCount; ++i) {
        int32_t value = 0;
        if ((rig.prop->*kGetters[i])(&value) != S_OK || value != block[i])
            problems.push_back(Format("the getter of %s gives %d, the block %d", kParamTable[i].name, value, block[i]));
    }
    log.Result("fuzz.values-in-range", problems);

    // A restart with known settings: exactly the core's output, so that
    // nothing of the fuzzing (envelopes, setups, bypass, filters) stays.
    problems.clear();
    params->FlushEnvelope(kAllParams, INT64_MIN, INT64_MAX);
    rig.prop->SetBypass(0);
    rig.prop->SetAllParams(BusyBlock().v);
    rig.Stop();
    rig.TakeOutput();
    rig.Run();
    hr = rig.Stream(signal, 4096);
    rig.Stop();
    const std::vector<BYTE> got = rig.TakeOutput();
    const std::vector<BYTE> expected = ReferenceOutput(signal, in, BusyBlock(), 4096);
    if (FAILED(hr)) problems.push_back(Format("delivery failed (0x%08lx)", static_cast<unsigned long>(hr)));
    else if (const long bad = FirstNonFiniteOutput(got, rig.out); bad >= 0)
        problems.push_back(Format("non-finite output at sample %ld", bad));
    else if (const long diff = FirstDifference(got, expected, rig.out.nBlockAlign); diff >= 0)
        problems.push_back(Format("output differs from the core's at frame %ld", diff));
    log.Result("fuzz.clean-restart", problems);
    params->Release();
}
