#include "tools/graph/DelayGraph.h"

#include <cstdio>
#include <new>
#include <thread>

#include "common/Guid.h"
#include "effect/ITzPlugInProp.h"
#include "filterbase/DShow.h"
#include "filterbase/PinLookup.h"
#include "host/FilterSetupData.h"
#include "tools/graph/EditorWindow.h"
#include "tools/graph/PlugInModule.h"
#include "tools/graph/WavSinkFilter.h"

namespace {

// Wine's WAVE Parser (the headers do not name it).
ZV_DEFINE_GUID(kClsidWaveParser, 0xd51bd5a1, 0x7548, 0x11cf, 0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a);

constexpr DWORD kPollMs = 2;
constexpr DWORD kStopDeadlineMs = 30000;

// The per-parameter setters of the private interface, in index order.
using PropSetter = HRESULT (STDMETHODCALLTYPE ITzPlugInProp::*)(int32_t, int32_t);
constexpr PropSetter kSetters[kParamCount] = {
#define ZV_SETTER(name) &ITzPlugInProp::Set##name,
    ZV_PARAM_LIST(ZV_SETTER)
#undef ZV_SETTER
};

std::string Failed(const char* what, HRESULT hr) {
    char text[64];
    std::snprintf(text, sizeof text, " (0x%08lX)", static_cast<unsigned long>(hr));
    return std::string(what) + text;
}

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// Everything the run holds, released in order (graph first, the module last).
struct GraphParts {
    CPlugInModule module;
    IFilterGraph2* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    IMediaFilter* mediaFilter = nullptr;
    IBaseFilter* reader = nullptr;
    IBaseFilter* parser = nullptr;
    IBaseFilter* delay = nullptr;
    ITzPlugInProp* prop = nullptr;
    IStreamTiming* timing = nullptr;
    CWavSinkFilter* sink = nullptr;  // counted through its IBaseFilter
    CEditorWindow editor;

    ~GraphParts() {
        editor.Close();
        SafeRelease(control);
        SafeRelease(events);
        SafeRelease(mediaFilter);
        SafeRelease(graph);
        SafeRelease(reader);
        SafeRelease(parser);
        SafeRelease(prop);
        SafeRelease(timing);
        SafeRelease(delay);
        if (sink) static_cast<IBaseFilter*>(sink)->Release();
        module.Unload();
    }

    HRESULT Connect(IBaseFilter* from, IBaseFilter* to) {
        IPin* out = FirstPin(from, PINDIR_OUTPUT);
        IPin* in = FirstPin(to, PINDIR_INPUT);
        const HRESULT hr = (out && in) ? graph->ConnectDirect(out, in, nullptr) : E_FAIL;
        if (out) out->Release();
        if (in) in->Release();
        return hr;
    }
};

// Stops the graph; ends the process if that does not return in time (a lock
// stuck in a filter would otherwise hang the caller for good).
void StopWatched(IMediaControl* control) {
    HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([stopped] {
        if (WaitForSingleObject(stopped, kStopDeadlineMs) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "zvdelay-graph: stopping the graph did not return within %lu s; giving up\n",
                         static_cast<unsigned long>(kStopDeadlineMs / 1000));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    });
    control->Stop();
    SetEvent(stopped);
    watchdog.join();
    CloseHandle(stopped);
}

// An event that means the graph gave up, or 0.
LONG AbortEvent(IMediaEvent* events, LONG_PTR* result) {
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        events->FreeEventParams(code, param1, param2);
        if (code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED || code == EC_USERABORT ||
            code == EC_ERROR_STILLPLAYING) {
            *result = param1;
            return code;
        }
    }
    return 0;
}

// The effect's meter gives the peak since it was last read, and its end of
// stream clears it: it is read all through the run and the largest reading
// kept.
void ReadMeter(ITzPlugInProp* prop, GraphSummary& summary) {
    float left = 0.0f, right = 0.0f;
    if (FAILED(prop->GetPeakLevels(&left, &right))) return;
    summary.haveEffectPeaks = true;
    if (left > summary.effectPeak[0]) summary.effectPeak[0] = left;
    if (right > summary.effectPeak[1]) summary.effectPeak[1] = right;
}

std::string Build(const GraphRequest& request, const GraphSummary& summary, GraphParts& g) {
    HRESULT hr;
    if (request.withFilter) {
        std::string error = g.module.Load(request.dllPath);
        if (!error.empty()) return error;
        hr = g.module.CreateInstance(CLSID_ZvDelay, IID_IBaseFilter, reinterpret_cast<void**>(&g.delay));
        if (FAILED(hr)) return Failed("cannot create the zvDelayDX filter", hr);
        hr = g.delay->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&g.prop));
        if (FAILED(hr)) return Failed("the filter has no ITzPlugInProp", hr);
        for (const ParamSetting& s : request.settings) {
            hr = (g.prop->*kSetters[s.index])(s.value, 0);
            if (FAILED(hr)) return Failed((std::string("cannot set ") + kParamTable[s.index].name).c_str(), hr);
        }
        g.prop->SetBypass(request.bypass ? 1 : 0);
        if (request.timing) {
            hr = g.delay->QueryInterface(IID_IStreamTiming, reinterpret_cast<void**>(&g.timing));
            if (FAILED(hr)) return Failed("the filter has no IStreamTiming", hr);
            g.timing->EnableTiming(TRUE);
        }
    }

    g.sink = new (std::nothrow) CWavSinkFilter();
    if (!g.sink) return "out of memory";
    static_cast<IBaseFilter*>(g.sink)->AddRef();
    g.sink->SetOutputPath(request.output);
    g.sink->SetTargetFrames(summary.input.Frames());
    g.sink->RecordPartition(request.recordPartition);
    g.sink->PaceToRealTime(request.realTime);

    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                          reinterpret_cast<void**>(&g.graph));
    if (FAILED(hr)) return Failed("cannot create the Filter Graph Manager", hr);
    g.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&g.control));
    g.graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&g.events));
    g.graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&g.mediaFilter));
    if (!g.control || !g.events || !g.mediaFilter) return "the Filter Graph Manager lacks IMediaControl/IMediaEvent";

    hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&g.reader));
    if (FAILED(hr)) return Failed("cannot create the File Source (Async.)", hr);
    hr = CoCreateInstance(kClsidWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&g.parser));
    if (FAILED(hr)) return Failed("cannot create the WAVE Parser", hr);
    IFileSourceFilter* file = nullptr;
    hr = g.reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) return Failed("the File Source has no IFileSourceFilter", hr);
    hr = file->Load(request.input.c_str(), nullptr);
    file->Release();
    if (FAILED(hr)) return Failed("the File Source cannot open the input", hr);

    if (FAILED(hr = g.graph->AddFilter(g.reader, L"File Source"))) return Failed("AddFilter(File Source)", hr);
    if (FAILED(hr = g.graph->AddFilter(g.parser, L"WAVE Parser"))) return Failed("AddFilter(WAVE Parser)", hr);
    if (g.delay && FAILED(hr = g.graph->AddFilter(g.delay, L"zvDelayDX"))) return Failed("AddFilter(zvDelayDX)", hr);
    if (FAILED(hr = g.graph->AddFilter(g.sink, L"WAV Sink"))) return Failed("AddFilter(WAV Sink)", hr);

    if (FAILED(hr = g.Connect(g.reader, g.parser)))
        return Failed("cannot connect the File Source to the WAVE Parser", hr);
    if (g.delay) {
        if (FAILED(hr = g.Connect(g.parser, g.delay)))
            return Failed("cannot connect the WAVE Parser to zvDelayDX", hr);
        if (FAILED(hr = g.Connect(g.delay, g.sink))) return Failed("cannot connect zvDelayDX to the sink", hr);
    } else if (FAILED(hr = g.Connect(g.parser, g.sink))) {
        return Failed("cannot connect the WAVE Parser to the sink", hr);
    }
    // No clock: every filter streams as fast as it can (a paced sink holds
    // each buffer until it would have played).
    if (FAILED(hr = g.mediaFilter->SetSyncSource(nullptr))) return Failed("SetSyncSource(NULL)", hr);
    if (request.showEditor && g.delay) {
        std::string error = g.editor.Open(g.module, g.delay);
        if (!error.empty()) return error;
    }
    return {};
}

}  // namespace

std::string RunGraph(const GraphRequest& request, GraphSummary& summary) {
    summary = GraphSummary{};
    std::string error = ReadWavInfo(request.input, summary.input);
    if (!error.empty()) return error;
    if (summary.input.Frames() == 0) return "the input has no samples";

    GraphParts g;
    error = Build(request, summary, g);
    if (!error.empty()) return error;

    const double duration = static_cast<double>(summary.input.Frames()) / summary.input.sampleRate;
    const ULONGLONG timeoutMs = request.timeoutMs ? request.timeoutMs : 60000 + static_cast<ULONGLONG>(duration * 1000);
    LARGE_INTEGER frequency, start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;

    HRESULT hr = g.control->Run();
    if (FAILED(hr)) {
        StopWatched(g.control);
        return Failed(g.sink->WriteFailed() ? "cannot write the output" : "the graph does not run", hr);
    }
    const ULONGLONG target = summary.input.Frames();
    for (;;) {
        if (g.editor.IsOpen()) {
            CEditorWindow::WaitPumping(g.sink->DoneEvent(), kPollMs);
        } else {
            WaitForSingleObject(g.sink->DoneEvent(), kPollMs);
        }
        if (g.prop) ReadMeter(g.prop, summary);
        if (g.sink->WriteFailed()) {
            error = "cannot write the output (disk full, or past 4 GB)";
            break;
        }
        if (g.sink->Frames() >= target) {
            summary.endedBy = "frame count";
            break;
        }
        if (g.sink->EndOfStreams() > 0) {
            summary.endedBy = "end of stream";
            break;
        }
        if (g.prop && g.sink->Buffers() > 0 && g.prop->IsStreaming() == 0) {
            summary.endedBy = "streaming flag";
            break;
        }
        LONG_PTR result = 0;
        if (const LONG code = AbortEvent(g.events, &result)) {
            char text[96];
            std::snprintf(text, sizeof text, "the graph stopped streaming (event 0x%lX, 0x%08lX)",
                          static_cast<unsigned long>(code), static_cast<unsigned long>(result));
            error = text;
            break;
        }
        if (GetTickCount64() > deadline) {
            char text[128];
            std::snprintf(text, sizeof text, "no end after %.1f s: %llu of %llu frames arrived",
                          timeoutMs / 1000.0, static_cast<unsigned long long>(g.sink->Frames()),
                          static_cast<unsigned long long>(target));
            error = text;
            break;
        }
    }
    if (g.prop) ReadMeter(g.prop, summary);
    StopWatched(g.control);
    if (g.timing && SUCCEEDED(g.timing->GetTiming(&summary.timing))) summary.haveTiming = true;

    summary.output = g.sink->Format();
    summary.frames = g.sink->Frames();
    summary.buffers = g.sink->Buffers();
    if (g.sink->LastBufferTime())
        summary.seconds = static_cast<double>(g.sink->LastBufferTime() - start.QuadPart) / frequency.QuadPart;
    summary.outputPeak[0] = g.sink->Peak(0);
    summary.outputPeak[1] = g.sink->Peak(1);
    summary.partition = g.sink->Partition();
    if (error.empty() && !g.sink->FileComplete()) error = "cannot finish the output file";
    return error;
}
