#include "TestSupport.h"

#include <cstdio>
#include <cstring>

void FilterBaseTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    m_objectsBefore = CBaseObject::ObjectsActive();
}

void FilterBaseTest::TearDown() {
    EXPECT_EQ(m_objectsBefore, CBaseObject::ObjectsActive()) << "objects of the filter base left alive";
    CoUninitialize();
}

ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

IUnknown* Identity(IUnknown* unknown) {
    IUnknown* identity = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) return nullptr;
    identity->Release();
    return identity;
}

namespace {

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void Put16(std::vector<BYTE>& out, WORD v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}
void PutTag(std::vector<BYTE>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

bool WriteWav(const std::wstring& path, const WAVEFORMATEX& format, const std::vector<BYTE>& data) {
    const bool isFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    const DWORD fmtSize = isFloat ? 18 : 16;
    std::vector<BYTE> file;
    PutTag(file, "RIFF");
    Put32(file, 4 + 8 + fmtSize + (isFloat ? 12 : 0) + 8 + static_cast<DWORD>(data.size()));
    PutTag(file, "WAVE");
    PutTag(file, "fmt ");
    Put32(file, fmtSize);
    Put16(file, format.wFormatTag);
    Put16(file, format.nChannels);
    Put32(file, format.nSamplesPerSec);
    Put32(file, format.nAvgBytesPerSec);
    Put16(file, format.nBlockAlign);
    Put16(file, format.wBitsPerSample);
    if (isFloat) {
        Put16(file, 0);
        PutTag(file, "fact");
        Put32(file, 4);
        Put32(file, static_cast<DWORD>(data.size() / format.nBlockAlign));
    }
    PutTag(file, "data");
    Put32(file, static_cast<DWORD>(data.size()));
    file.insert(file.end(), data.begin(), data.end());

    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(handle);
    return ok && written == file.size();
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    // The process id keeps two runs of a test program apart.
    return std::wstring(folder) + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
}

std::vector<BYTE> Pcm16Pattern(DWORD frames) {
    std::vector<BYTE> data(static_cast<size_t>(frames) * 4);
    for (DWORD f = 0; f < frames; ++f) {
        const short left = static_cast<short>(2 * f);
        const short right = static_cast<short>(-2 * static_cast<int>(f) - 1);
        std::memcpy(&data[f * 4], &left, 2);
        std::memcpy(&data[f * 4 + 2], &right, 2);
    }
    return data;
}

HRESULT WavGraph::Build(const std::wstring& wavPath, IBaseFilter* transform, IBaseFilter* renderer) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                  reinterpret_cast<void**>(&graph));
    if (FAILED(hr)) return hr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter));

    hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&reader));
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(kClsidWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&parser));
    if (FAILED(hr)) return hr;
    IFileSourceFilter* file = nullptr;
    hr = reader->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&file));
    if (FAILED(hr)) return hr;
    hr = file->Load(wavPath.c_str(), nullptr);
    file->Release();
    if (FAILED(hr)) return hr;

    if (FAILED(hr = graph->AddFilter(reader, L"reader"))) return hr;
    if (FAILED(hr = graph->AddFilter(parser, L"parser"))) return hr;
    if (transform && FAILED(hr = graph->AddFilter(transform, L"transform"))) return hr;
    if (FAILED(hr = graph->AddFilter(renderer, L"renderer"))) return hr;

    auto connect = [this](IBaseFilter* from, IBaseFilter* to) {
        IPin* out = FirstPin(from, PINDIR_OUTPUT);
        IPin* in = FirstPin(to, PINDIR_INPUT);
        HRESULT result = (out && in) ? graph->ConnectDirect(out, in, nullptr) : E_FAIL;
        if (out) out->Release();
        if (in) in->Release();
        return result;
    };
    if (FAILED(hr = connect(reader, parser))) return hr;
    if (transform) {
        if (FAILED(hr = connect(parser, transform))) return hr;
        if (FAILED(hr = connect(transform, renderer))) return hr;
    } else if (FAILED(hr = connect(parser, renderer))) {
        return hr;
    }
    // No clock: the graph runs as fast as it can.
    return mediaFilter->SetSyncSource(nullptr);
}

HRESULT WavGraph::Run() {
    LONG code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) events->FreeEventParams(code, param1, param2);
    return control->Run();
}

bool WavGraph::WaitComplete(DWORD ms) {
    // Events rather than WaitForCompletion: the graph's completion signal
    // stays set from an earlier run.
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0) return false;
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        if (events->GetEvent(&code, &param1, &param2, static_cast<LONG>(end - now)) != S_OK) return false;
        events->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE) return true;
    }
}

void WavGraph::Release() {
    if (control) control->Stop();
    for (IUnknown** p : {reinterpret_cast<IUnknown**>(&control), reinterpret_cast<IUnknown**>(&events),
                         reinterpret_cast<IUnknown**>(&seeking), reinterpret_cast<IUnknown**>(&mediaFilter),
                         reinterpret_cast<IUnknown**>(&reader), reinterpret_cast<IUnknown**>(&parser)}) {
        if (*p) (*p)->Release();
        *p = nullptr;
    }
    if (graph) graph->Release();
    graph = nullptr;
}

CWorker::~CWorker() {
    if (!m_thread) return;
    if (WaitForSingleObject(m_thread, 10000) != WAIT_OBJECT_0) {
        std::printf("a worker thread is stuck; ending the test program\n");
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(m_thread);
}

void CWorker::Start(std::function<void()> work) {
    if (m_thread) {
        Wait(INFINITE);
        CloseHandle(m_thread);
    }
    m_work = std::move(work);
    m_thread = CreateThread(nullptr, 0, &CWorker::Main, this, 0, nullptr);
}

bool CWorker::Wait(DWORD ms) { return m_thread && WaitForSingleObject(m_thread, ms) == WAIT_OBJECT_0; }

DWORD WINAPI CWorker::Main(void* self) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<CWorker*>(self)->m_work();
    CoUninitialize();
    return 0;
}

void RunGuarded(DWORD ms, const char* what, std::function<void()> work) {
    auto* worker = new CWorker();
    worker->Start(std::move(work));
    if (!worker->Wait(ms)) {
        ADD_FAILURE() << what << " did not return within " << ms << " ms (deadlock)";
        std::printf("[  FAILED  ] %s is stuck; ending the test program\n", what);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 2);
    }
    delete worker;
}
