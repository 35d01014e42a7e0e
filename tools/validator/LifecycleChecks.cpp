// Lifecycle: objects made and destroyed, state changes, reconnections, and
// the editor opened and closed while a graph streams; the process's handles,
// private bytes and GDI high-water mark measured around each (figures
// printed), none may grow. GetGuiResources is 0 under Wine, hence the
// high-water probe.
//   lifecycle.create-destroy        1000 filters (long: 10000)
//   lifecycle.pause-run-stop        200 cycles (long: 2000), each from silence
//   lifecycle.reconnect             24 reconnections (long: 240) with another
//                                   format and rate, output exact each time
//   lifecycle.editor-while-streaming 50 opens and closes (long: 500)
// DllCanUnloadNow is checked at the very end of the run (ValidateMain.cpp).
#include <atomic>
#include <cstring>

#include <ocidl.h>

#include "tools/graph/EditorWindow.h"
#include "tools/validator/Reference.h"
#include "tools/validator/WinSupport.h"

namespace {

struct Figures {
    const char* check;
    int cycles;
    ResourceFigures before, after;
};
std::vector<Figures> g_figures;

// Growth allowed between the measurement after the warm-up and the end: no
// handle, no GDI slot, and a little heap for the allocator's own bookkeeping.
constexpr SIZE_T kHeapSlack = 512 * 1024;

void CheckGrowth(const ResourceFigures& before, const ResourceFigures& after, std::vector<std::string>& problems) {
    if (after.handles > before.handles)
        problems.push_back(Format("handles grew from %lu to %lu", before.handles, after.handles));
    if (after.gdiHighWater > before.gdiHighWater)
        problems.push_back(Format("the GDI high-water mark grew from %d to %d", before.gdiHighWater, after.gdiHighWater));
    if (after.privateBytes > before.privateBytes + kHeapSlack)
        problems.push_back(Format("private bytes grew from %zu to %zu", before.privateBytes, after.privateBytes));
}

// One filter's life: made, asked for its interfaces and pins, released.
bool OneFilter() {
    IBaseFilter* filter = NewFilter();
    if (!filter) return false;
    const IID* iids[] = {&IID_IMediaParams, &IID_IMediaParamInfo, &IID_IPersistStream, &IID_ITzPlugInProp,
                         &IID_ISpecifyPropertyPages, &IID_IMediaFilter};
    for (const IID* iid : iids) {
        IUnknown* itf = nullptr;
        if (SUCCEEDED(filter->QueryInterface(*iid, reinterpret_cast<void**>(&itf)))) itf->Release();
    }
    ISpecifyPropertyPages* pages = nullptr;
    if (SUCCEEDED(filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages)))) {
        CAUUID ids{};
        if (SUCCEEDED(pages->GetPages(&ids))) CoTaskMemFree(ids.pElems);
        pages->Release();
    }
    IEnumPins* pins = nullptr;
    if (SUCCEEDED(filter->EnumPins(&pins))) {
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) pin->Release();
        pins->Release();
    }
    return filter->Release() == 0;
}

void CheckCreateDestroy(CCheckLog& log, const Options& o) {
    const int cycles = o.longRun ? 10000 : 1000;
    std::vector<std::string> problems;
    int alive = 0;
    for (int c = 0; c < 100; ++c) alive += OneFilter() ? 0 : 1;
    const ResourceFigures before = MeasureResources();
    for (int c = 100; c < cycles; ++c) alive += OneFilter() ? 0 : 1;
    const ResourceFigures after = MeasureResources();
    if (alive) problems.push_back(Format("%d filters were not made or still had references", alive));
    CheckGrowth(before, after, problems);
    g_figures.push_back({"create-destroy", cycles, before, after});
    log.Result("lifecycle.create-destroy", problems, Format("(%d filters)", cycles));
}

void CheckPauseRunStop(CCheckLog& log, const Options& o) {
    const int cycles = o.longRun ? 2000 : 200;
    const WAVEFORMATEX in = InputFormat(kFormats[3], 48000);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 512) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("lifecycle.pause-run-stop", "cannot build the graph");
        return;
    }
    rig.prop->SetAllParams(BusyBlock().v);
    const std::vector<BYTE> signal = Encode(TestSignal(1024, 2, 48000), in);
    std::vector<std::string> problems;
    std::vector<BYTE> first;
    ResourceFigures before;
    for (int c = 0; c < cycles && problems.size() < 5; ++c) {
        if (c == 20) before = MeasureResources();
        HRESULT pause = rig.Pause();
        HRESULT one = rig.Deliver(signal.data(), 512);
        HRESULT run = rig.Run();
        HRESULT two = rig.Deliver(&signal[512 * 8], 512);
        HRESULT stop = rig.Stop();
        if (FAILED(pause) || one != S_OK || FAILED(run) || two != S_OK || FAILED(stop)) {
            problems.push_back(Format("cycle %d: pause 0x%08lx, buffer 0x%08lx, run 0x%08lx, buffer 0x%08lx, stop 0x%08lx", c,
                                      static_cast<unsigned long>(pause), static_cast<unsigned long>(one),
                                      static_cast<unsigned long>(run), static_cast<unsigned long>(two),
                                      static_cast<unsigned long>(stop)));
            continue;
        }
        const std::vector<BYTE> got = rig.TakeOutput();
        if (c == 0) first = got;
        if (FirstNonFiniteOutput(got, rig.out) >= 0) problems.push_back(Format("cycle %d: non-finite output", c));
        else if (got != first) problems.push_back(Format("cycle %d: the output differs from the first cycle's", c));
    }
    const ResourceFigures after = MeasureResources();
    CheckGrowth(before, after, problems);
    g_figures.push_back({"pause-run-stop", cycles, before, after});
    log.Result("lifecycle.pause-run-stop", problems, Format("(%d cycles)", cycles));
}

void CheckReconnect(CCheckLog& log, const Options& o) {
    const int cycles = o.longRun ? 240 : 24;
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, InputFormat(kFormats[0], 8000), 512) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("lifecycle.reconnect", "cannot build the graph");
        return;
    }
    rig.prop->SetAllParams(BusyBlock().v);
    std::vector<std::string> problems;
    ResourceFigures before;
    for (int c = 0; c < cycles && problems.size() < 5; ++c) {
        if (c == 6) before = MeasureResources();
        const AudioFormat& format = kFormats[(c + 1) % 6];
        const uint32_t rate = kRates[(c * 7 + 3) % 11];
        const WAVEFORMATEX in = InputFormat(format, rate);
        if (FAILED(hr = rig.Reconnect(in, 512))) {
            problems.push_back(Format("%s at %u Hz does not connect (0x%08lx)", format.name, rate, static_cast<unsigned long>(hr)));
            continue;
        }
        WAVEFORMATEX kept{};
        if (rig.prop->GetFormat(&kept, 0) != S_OK || kept.nSamplesPerSec != rate || kept.nChannels != format.channels ||
            kept.wBitsPerSample != format.bits)
            problems.push_back(Format("%s at %u Hz: the effect keeps another input format", format.name, rate));
        const std::vector<BYTE> input = Encode(TestSignal(8192, format.channels, rate), in);
        rig.Run();
        hr = rig.Stream(input, 512);
        rig.Stop();
        const std::vector<BYTE> got = rig.TakeOutput();
        const std::vector<BYTE> expected = ReferenceOutput(input, in, BusyBlock(), 4096);
        if (FAILED(hr)) problems.push_back(Format("%s at %u Hz: delivery failed", format.name, rate));
        else if (FirstDifference(got, expected, rig.out.nBlockAlign) >= 0)
            problems.push_back(Format("%s at %u Hz: the output differs from the core's", format.name, rate));
    }
    const ResourceFigures after = MeasureResources();
    CheckGrowth(before, after, problems);
    g_figures.push_back({"reconnect", cycles, before, after});
    log.Result("lifecycle.reconnect", problems, Format("(%d reconnections)", cycles));
}

void CheckEditorWhileStreaming(CCheckLog& log, const Options& o) {
    const int cycles = o.longRun ? 500 : 50;
    if (!GetSystemMetrics(SM_CXSCREEN)) {
        log.Fail("lifecycle.editor-while-streaming", "no display (set DISPLAY; tools/validate starts one)");
        return;
    }
    const WAVEFORMATEX in = InputFormat(kFormats[3], 44100);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 256) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("lifecycle.editor-while-streaming", "cannot build the graph");
        return;
    }
    rig.Run();
    std::atomic<bool> stop{false};
    std::atomic<long> buffers{0};
    std::atomic<long> nonFinite{0};
    CThread streaming;
    streaming.Start([&] {
        const std::vector<BYTE> signal = Encode(TestSignal(44100, 2, 44100), in);
        for (size_t at = 0; !stop; at = (at + 256) % 44000) {
            rig.Deliver(&signal[at * 8], 256);
            if (++buffers % 100 == 0 && FirstNonFiniteOutput(rig.TakeOutput(), rig.out) >= 0) ++nonFinite;
            Sleep(1);
        }
    });
    std::vector<std::string> problems;
    ResourceFigures before;
    for (int c = 0; c < cycles && problems.size() < 5; ++c) {
        if (c == 2) before = MeasureResources();
        CEditorWindow editor;
        const std::string error = editor.Open(Module(), rig.plugIn);
        if (!error.empty()) problems.push_back(Format("open %d: ", c) + error);
        PumpFor(c % 5 == 0 ? 200 : 80);   // a few ticks of the page's 75 ms timer
        editor.Close();
        PumpFor(5);
    }
    const ResourceFigures after = MeasureResources();
    stop = true;
    if (!streaming.Join(20000)) Stuck(log, "lifecycle.editor-while-streaming", "the streaming thread");
    rig.Stop();
    if (nonFinite) problems.push_back("non-finite output while the editor was open");
    CheckGrowth(before, after, problems);
    g_figures.push_back({"editor-while-streaming", cycles, before, after});
    log.Result("lifecycle.editor-while-streaming", problems,
               Format("(%d opens and closes, %ld buffers meanwhile)", cycles, buffers.load()));
}

}  // namespace

void CheckLifecycle(CCheckLog& log, const Options& o) {
    g_figures.clear();
    CheckCreateDestroy(log, o);
    CheckPauseRunStop(log, o);
    CheckReconnect(log, o);
    CheckEditorWhileStreaming(log, o);
    log.Line("");
    log.Line("### Lifecycle and resources (%s)", o.longRun ? "long" : "quick");
    log.Line("");
    log.Line("Measured after a warm-up and at the end: the kernel handle table's high-water mark (Wine's");
    log.Line("GetProcessHandleCount answers 0), the GDI handle table's high-water mark (GetGuiResources");
    log.Line("is not implemented), private bytes (GetProcessMemoryInfo).");
    log.Line("");
    log.Line("| check | cycles | handles | GDI high-water | private KiB |");
    log.Line("|---|---|---|---|---|");
    for (const Figures& f : g_figures)
        log.Line("| %s | %d | %lu -> %lu | %d -> %d | %zu -> %zu |", f.check, f.cycles, f.before.handles, f.after.handles,
                 f.before.gdiHighWater, f.after.gdiHighWater, f.before.privateBytes / 1024, f.after.privateBytes / 1024);
    log.Line("");
}
