// What the validator's Windows checks share: the plug-in DLL loaded as a host
// loads it, a graph of our small peer filters around one plug-in object,
// threads whose every wait has a time-out, and the process's resource
// figures.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "TestFilters.h"
#include "effect/ITzPlugInProp.h"
#include "tools/graph/PlugInModule.h"
#include "tools/validator/CheckLog.h"

struct Options {
    bool longRun = false;
    uint64_t seed = 20240611;
    std::wstring dll;
    std::string only;   // run only the groups whose name starts with this
};

// The DLL, loaded once for the whole run.
CPlugInModule& Module();
// A new filter object from the DLL's class factory (null on failure).
IBaseFilter* NewFilter();
// The filter's private editor interface, with a reference.
ITzPlugInProp* PropOf(IUnknown* filter);

// A check that cannot go on because a thread is stuck: the FAIL line, the
// summary, and the end of the process (whatever is stuck may hold locks
// that every later check needs).
[[noreturn]] void Stuck(CCheckLog& log, const std::string& name, const std::string& what);

// A thread for work that may block; Join waits with a time-out.
class CThread {
public:
    CThread() = default;
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    void Start(std::function<void()> work);
    bool Join(DWORD ms);

private:
    static DWORD WINAPI Main(void* self);
    std::function<void()> m_work;
    HANDLE m_handle = nullptr;
};

// CTestSource -> plug-in -> CTestSink in Wine's Filter Graph Manager, with
// no clock. The validator's thread delivers the source's buffers by hand,
// of exactly the sizes it chooses; the sink records what arrives.
class CStreamRig {
public:
    CStreamRig() = default;
    ~CStreamRig() { Release(); }
    CStreamRig(const CStreamRig&) = delete;
    CStreamRig& operator=(const CStreamRig&) = delete;

    // Builds the graph around plugIn (a reference is taken) for the input
    // format, with source buffers of up to maxFrames frames.
    HRESULT Build(IBaseFilter* plugIn, const WAVEFORMATEX& in, int32_t maxFrames);
    // Disconnects both sides and connects again with another input format.
    HRESULT Reconnect(const WAVEFORMATEX& in, int32_t maxFrames);
    HRESULT Run() { return control->Run(); }
    HRESULT Pause() { return control->Pause(); }
    HRESULT Stop() { return control->Stop(); }

    // One buffer of `frames` frames of input bytes (the format's).
    HRESULT Deliver(const BYTE* data, int32_t frames, bool discontinuity = false);
    // The whole input in buffers of `bufferFrames` (the last one shorter).
    HRESULT Stream(const std::vector<BYTE>& input, int32_t bufferFrames);
    // Everything the sink received, in order; the sink's records are cleared.
    std::vector<BYTE> TakeOutput();
    void Release();

    IPin* PlugInInput() const { return m_plugInIn; }
    IPin* PlugInOutput() const { return m_plugInOut; }

    WAVEFORMATEX in{};
    WAVEFORMATEX out{};
    IBaseFilter* plugIn = nullptr;
    ITzPlugInProp* prop = nullptr;
    IFilterGraph2* graph = nullptr;
    IMediaControl* control = nullptr;
    CTestSource* source = nullptr;
    CTestSink* sink = nullptr;

private:
    HRESULT Connect(int32_t maxFrames);
    void Disconnect();

    CAudioType* m_inType = nullptr;
    CAudioType* m_outType = nullptr;
    IPin* m_plugInIn = nullptr;
    IPin* m_plugInOut = nullptr;
};

// The process's handle count (under Wine, which answers 0, the handle
// table's high-water mark), private bytes and GDI high-water mark (the
// highest handle index new objects get: Wine hands out freed entries first,
// so a high-water mark grows only when objects were left undeleted).
struct ResourceFigures {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
    int gdiHighWater = 0;
};
ResourceFigures MeasureResources();

// Processes this thread's window messages for ms milliseconds.
void PumpFor(DWORD ms);

// The groups of checks (one file each).
void CheckFormats(CCheckLog& log, const Options& o);
void CheckParameterFuzz(CCheckLog& log, const Options& o);
void CheckState(CCheckLog& log, const Options& o);
void CheckLifecycle(CCheckLog& log, const Options& o);
void CheckConcurrency(CCheckLog& log, const Options& o);
