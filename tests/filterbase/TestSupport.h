// Helpers shared by the filter-base tests: COM set-up with the object count
// checked at the end of every test, references, pins, WAV files, graphs.
#pragma once
#include "filterbase/FilterBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Guid.h"

// Wine's own filters (the headers do not name every class).
ZV_DEFINE_GUID(kClsidWaveParser, 0xd51bd5a1, 0x7548, 0x11cf, 0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a);
ZV_DEFINE_GUID(kClsidNullRenderer, 0xc1f400a4, 0x3f08, 0x11d3, 0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37);

// Every test runs in the multithreaded apartment and must leave no object of
// this module alive.
class FilterBaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    LONG m_objectsBefore = 0;
};

// The reference count an object has, without changing it.
ULONG RefCount(IUnknown* unknown);
template <class T>
ULONG RefCount(T* itf) {
    return RefCount(static_cast<IUnknown*>(itf));
}

// The identity IUnknown of an object (released again: compare only).
IUnknown* Identity(IUnknown* unknown);


// Writes a WAV file (format chunk of 16 bytes for PCM, 18 for float).
bool WriteWav(const std::wstring& path, const WAVEFORMATEX& format, const std::vector<BYTE>& data);
// A path in the temporary folder, private to this process.
std::wstring TempPath(const wchar_t* name);
// 16-bit stereo frames whose values are all distinct over the first 32768
// frames: left = 2 * frame, right = -2 * frame - 1 (wrapping).
std::vector<BYTE> Pcm16Pattern(DWORD frames);

// File Source (Async.) -> WAVE Parser -> transform -> renderer, all connected
// with ConnectDirect. Holds counted pointers; Release() gives them back.
struct WavGraph {
    ~WavGraph() { Release(); }

    IFilterGraph2* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    IMediaSeeking* seeking = nullptr;
    IMediaFilter* mediaFilter = nullptr;
    IBaseFilter* reader = nullptr;
    IBaseFilter* parser = nullptr;

    // transform may be null (parser straight into the renderer).
    HRESULT Build(const std::wstring& wavPath, IBaseFilter* transform, IBaseFilter* renderer);
    // Drops queued events, then runs the graph.
    HRESULT Run();
    // Waits for an EC_COMPLETE queued since Run.
    bool WaitComplete(DWORD ms);
    void Release();
};

// A thread (in the multithreaded apartment) for work that may block, such as
// a streaming thread held in a downstream Receive. Keep test assertions on
// the main thread: the work stores results.
class CWorker {
public:
    CWorker() = default;
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    void Start(std::function<void()> work);
    // True when the work has finished within ms.
    bool Wait(DWORD ms);

private:
    static DWORD WINAPI Main(void* self);
    std::function<void()> m_work;
    HANDLE m_thread = nullptr;
};

// Runs work on a worker and waits for it. If it does not finish within ms a
// lock is stuck: the failure is reported and the test program ends at once,
// since nothing after it could run.
void RunGuarded(DWORD ms, const char* what, std::function<void()> work);
