#include "tools/validator/WinSupport.h"

#include <psapi.h>

#include <cstring>

#include "host/FilterSetupData.h"
#include "tools/validator/Reference.h"

CPlugInModule& Module() {
    static CPlugInModule module;
    return module;
}

IBaseFilter* NewFilter() {
    IBaseFilter* filter = nullptr;
    if (FAILED(Module().CreateInstance(CLSID_ZvDelay, IID_IBaseFilter, reinterpret_cast<void**>(&filter)))) return nullptr;
    return filter;
}

ITzPlugInProp* PropOf(IUnknown* filter) {
    ITzPlugInProp* prop = nullptr;
    if (filter) filter->QueryInterface(IID_ITzPlugInProp, reinterpret_cast<void**>(&prop));
    return prop;
}

void Stuck(CCheckLog& log, const std::string& name, const std::string& what) {
    log.Fail(name, what + " did not finish within its time-out (deadlock?); ending the run");
    log.Summary();
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

// --- CThread ---------------------------------------------------------------------

CThread::~CThread() {
    if (m_handle) {
        // Joined by its owner; a thread still running here is stuck for good.
        if (WaitForSingleObject(m_handle, 30000) != WAIT_OBJECT_0) {
            std::printf("FAIL validator: a worker thread is stuck; ending the run\n");
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        CloseHandle(m_handle);
    }
}

void CThread::Start(std::function<void()> work) {
    m_work = std::move(work);
    m_handle = CreateThread(nullptr, 0, &CThread::Main, this, 0, nullptr);
}

bool CThread::Join(DWORD ms) { return !m_handle || WaitForSingleObject(m_handle, ms) == WAIT_OBJECT_0; }

DWORD WINAPI CThread::Main(void* self) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<CThread*>(self)->m_work();
    CoUninitialize();
    return 0;
}

// --- CStreamRig ----------------------------------------------------------------

HRESULT CStreamRig::Build(IBaseFilter* filter, const WAVEFORMATEX& format, int32_t maxFrames) {
    Release();
    plugIn = filter;
    plugIn->AddRef();
    prop = PropOf(plugIn);
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                  reinterpret_cast<void**>(&graph));
    if (FAILED(hr)) return hr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    IMediaFilter* mediaFilter = nullptr;
    graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter));
    sink = new CTestSink();
    sink->AddRef();
    in = format;
    if (FAILED(hr = graph->AddFilter(plugIn, L"zvDelayDX"))) return hr;
    if (FAILED(hr = graph->AddFilter(sink, L"sink"))) return hr;
    m_plugInIn = FirstPin(plugIn, PINDIR_INPUT);
    m_plugInOut = FirstPin(plugIn, PINDIR_OUTPUT);
    if (!m_plugInIn || !m_plugInOut) return E_FAIL;
    hr = Connect(maxFrames);
    // No clock: the graph runs as fast as buffers arrive.
    if (mediaFilter) {
        mediaFilter->SetSyncSource(nullptr);
        mediaFilter->Release();
    }
    return hr;
}

HRESULT CStreamRig::Connect(int32_t maxFrames) {
    m_inType = new CAudioType(in.wFormatTag, in.nChannels, in.nSamplesPerSec, in.wBitsPerSample);
    m_inType->Format() = in;
    out = OutputFormat(in);
    m_outType = new CAudioType(WAVE_FORMAT_IEEE_FLOAT, 2, in.nSamplesPerSec, out.wBitsPerSample);
    sink->RequireType(m_outType->Get());
    source = new CTestSource(m_inType->Get(), static_cast<long>(maxFrames) * in.nBlockAlign);
    source->AddRef();
    HRESULT hr = graph->AddFilter(source, L"source");
    if (FAILED(hr)) return hr;
    if (FAILED(hr = graph->ConnectDirect(&source->Output(), m_plugInIn, m_inType->Get()))) return hr;
    return graph->ConnectDirect(m_plugInOut, &sink->Input(), nullptr);
}

void CStreamRig::Disconnect() {
    if (control) control->Stop();
    if (graph && source) {
        graph->Disconnect(&source->Output());
        graph->Disconnect(m_plugInIn);
        graph->Disconnect(m_plugInOut);
        graph->Disconnect(&sink->Input());
        graph->RemoveFilter(source);
    }
    if (source) source->Release();
    source = nullptr;
    delete m_inType;
    delete m_outType;
    m_inType = m_outType = nullptr;
}

HRESULT CStreamRig::Reconnect(const WAVEFORMATEX& format, int32_t maxFrames) {
    Disconnect();
    in = format;
    return Connect(maxFrames);
}

HRESULT CStreamRig::Deliver(const BYTE* data, int32_t frames, bool discontinuity) {
    IMediaSample* sample = nullptr;
    HRESULT hr = source->Output().GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    const long bytes = static_cast<long>(frames) * in.nBlockAlign;
    if (bytes > sample->GetSize()) {
        sample->Release();
        return E_INVALIDARG;
    }
    std::memcpy(p, data, static_cast<size_t>(bytes));
    sample->SetActualDataLength(bytes);
    sample->SetTime(nullptr, nullptr);
    sample->SetDiscontinuity(discontinuity);
    hr = source->Output().Deliver(sample);
    sample->Release();
    return hr;
}

HRESULT CStreamRig::Stream(const std::vector<BYTE>& input, int32_t bufferFrames) {
    const size_t frames = input.size() / in.nBlockAlign;
    for (size_t at = 0; at < frames; at += static_cast<size_t>(bufferFrames)) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(bufferFrames, frames - at));
        const HRESULT hr = Deliver(&input[at * in.nBlockAlign], n);
        if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    }
    return S_OK;
}

std::vector<BYTE> CStreamRig::TakeOutput() {
    std::vector<BYTE> all;
    for (const ReceivedSample& s : sink->Samples()) all.insert(all.end(), s.data.begin(), s.data.end());
    sink->ClearRecords();
    return all;
}

void CStreamRig::Release() {
    Disconnect();
    if (graph && plugIn) graph->RemoveFilter(plugIn);
    if (graph && sink) graph->RemoveFilter(sink);
    if (m_plugInIn) m_plugInIn->Release();
    if (m_plugInOut) m_plugInOut->Release();
    m_plugInIn = m_plugInOut = nullptr;
    if (control) control->Release();
    control = nullptr;
    if (graph) graph->Release();
    graph = nullptr;
    if (sink) sink->Release();
    sink = nullptr;
    if (prop) prop->Release();
    prop = nullptr;
    if (plugIn) plugIn->Release();
    plugIn = nullptr;
}

// --- Figures ---------------------------------------------------------------------

ResourceFigures MeasureResources() {
    ResourceFigures f;
    // GetProcessHandleCount answers 0 under Wine: the handle table's
    // high-water mark instead, probed like the GDI table's.
    std::vector<HANDLE> events;
    for (int i = 0; i < 256; ++i) {
        HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!e) break;
        events.push_back(e);
        f.handles = std::max<DWORD>(f.handles, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(e) / 4));
    }
    for (HANDLE e : events) CloseHandle(e);
    DWORD counted = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &counted) && counted) f.handles = counted;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters))
        f.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    std::vector<HGDIOBJ> objects;
    for (int i = 0; i < 2000; ++i) {
        HGDIOBJ o = CreateSolidBrush(RGB(i & 255, 0, 0));
        if (!o) break;
        objects.push_back(o);
        f.gdiHighWater = std::max(f.gdiHighWater, static_cast<int>(reinterpret_cast<UINT_PTR>(o) & 0xFFFF));
    }
    for (HGDIOBJ o : objects) DeleteObject(o);
    return f;
}

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms) Sleep(2);
    } while (GetTickCount64() < end);
}
