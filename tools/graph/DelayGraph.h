// The graph of zvdelay-graph, for the program and its tests:
//
//   File Source (Async.) -> WAVE Parser -> zvDelayDX -> CWavSinkFilter
//
// in Wine's (or Windows') Filter Graph Manager, with no reference clock so
// that it runs as fast as it can. Without the filter (withFilter false) the
// parser feeds the sink directly: the pass-through graph the speed script
// compares against.
//
// The end of the run. The plug-in's input pin keeps end of stream to itself
// (its host feeds the echo tail), so the graph never completes on its own.
// The run ends at the first of: the sink has as many frames as the input
// file; the sink saw end of stream (the graph without the filter); the
// effect's streaming flag (ITzPlugInProp::IsStreaming) went back to 0 after
// output arrived, which the filter does at the input's end of stream. A
// failed write, an abort event from the graph or the time-out end it with an
// error. Stopping the graph is watched too: if it does not return within 30
// seconds the process ends (exit status 3) instead of hanging.
//
// The caller has initialised COM (any apartment; the tool uses the
// multithreaded one).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "host/StreamTiming.h"
#include "tools/graph/WavFile.h"
#include "tools/render/RenderOptions.h"

struct GraphRequest {
    std::wstring input;              // WAV file, Windows path
    std::wstring output;             // WAV file to write; empty: discard
    bool withFilter = true;          // false: the parser straight into the sink
    bool bypass = false;             // the effect's bypass switch
    std::vector<ParamSetting> settings;  // applied in order through the setters
    std::wstring dllPath;            // the plug-in DLL
    DWORD timeoutMs = 0;             // 0: one minute plus the input's duration
    bool recordPartition = false;    // keep the frames of every output buffer
    bool showEditor = false;         // the plug-in's editor page open during the run
    bool realTime = false;           // the sink takes the audio at the pace it plays
    bool timing = false;             // the filter times its Receive (IStreamTiming)
};

struct GraphSummary {
    WavInfo input;
    WAVEFORMATEX output{};           // the format the sink was connected with
    ULONGLONG frames = 0;            // written (or discarded) by the sink
    LONG buffers = 0;
    double seconds = 0.0;            // from Run to the sink's last buffer
    const char* endedBy = "";        // "frame count", "end of stream" or "streaming flag"
    bool haveEffectPeaks = false;    // with the filter: the largest readings of
                                     // ITzPlugInProp::GetPeakLevels during the run
    float effectPeak[2] = {0.0f, 0.0f};
    double outputPeak[2] = {0.0, 0.0};  // measured by the sink
    std::vector<DWORD> partition;    // when recordPartition was asked for
    bool haveTiming = false;         // with timing: the filter's sums (host/StreamTiming.h)
    StreamTimingFigures timing{};
};

// Builds, runs and tears down the graph. Returns an empty string on
// success, otherwise a message for the user (what failed, with the HRESULT).
std::string RunGraph(const GraphRequest& request, GraphSummary& summary);
