// zvdelay-graph: runs a WAV file through the plug-in DLL in a real
// DirectShow graph and writes the result.
//
//   zvdelay-graph IN.wav OUT.wav [--set NAME=VALUE]... [--data "DATA STRING"]
//                 [--bypass] [--bypass-graph] [--discard] [--dll PATH]
//                 [--timeout SECONDS]
//
// The graph is File Source (Async.) -> WAVE Parser -> zvDelayDX -> a WAV
// sink of this tool (DelayGraph.h says how the end of the run is found).
// Parameters start from the filter's defaults and are applied in the order
// given through the per-parameter setters of ITzPlugInProp, as zvdelay-render
// applies them to the portable core; names and the Data string are parsed by
// the same code. The output has the format the filter delivers (stereo
// float). Prints one summary: frames, buffers, the time from Run to the last
// buffer, the format, and the peak levels from the effect's meter and from
// the samples written.
//
// Exit status: 0 done, 1 the graph or a file failed, 2 a usage error,
// 3 the graph would not stop.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/graph/DelayGraph.h"
#include "tools/graph/GraphOptions.h"

namespace {

enum EExit { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// zvDelayDX.dll beside this program, else the one this program was built with.
std::wstring DefaultDll() {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring beside(self, length);
    const size_t slash = beside.find_last_of(L"\\/");
    beside = (slash == std::wstring::npos ? std::wstring() : beside.substr(0, slash + 1)) + L"zvDelayDX.dll";
    if (FileExists(beside)) return beside;
    std::wstring built;
    for (const char* p = ZV_DLL_PATH; *p; ++p) built += static_cast<wchar_t>(*p);
    return WindowsPath(built);
}

std::string FormatText(const WAVEFORMATEX& f) {
    char text[96];
    std::snprintf(text, sizeof text, "%u ch %s %u-bit %lu Hz", f.nChannels,
                  f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? "float" : "PCM", f.wBitsPerSample,
                  static_cast<unsigned long>(f.nSamplesPerSec));
    return text;
}

}  // namespace

int main() {
    GraphOptions options;
    const std::string usageError = ParseGraphArguments(Arguments(), options);
    if (options.help) {
        std::fputs(GraphUsage(), stdout);
        return kExitOk;
    }
    if (!usageError.empty()) {
        std::fprintf(stderr, "zvdelay-graph: %s\n%s", usageError.c_str(), GraphUsage());
        return kExitUsage;
    }

    GraphRequest request;
    request.input = WindowsPath(options.input);
    request.output = WindowsPath(options.output);
    request.withFilter = !options.bypassGraph;
    request.bypass = options.bypass;
    request.settings = options.settings;
    request.dllPath = options.dll.empty() ? DefaultDll() : WindowsPath(options.dll);
    request.timeoutMs = options.timeoutSeconds * 1000;
    request.showEditor = options.editor;
    request.realTime = options.realTime;
    request.timing = options.timing && !options.bypassGraph;

    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "zvdelay-graph: cannot initialise COM\n");
        return kExitFailed;
    }
    GraphSummary summary;
    const std::string error = RunGraph(request, summary);
    CoUninitialize();
    if (!error.empty()) {
        std::fprintf(stderr, "zvdelay-graph: %s\n", error.c_str());
        return kExitFailed;
    }

    const double audioSeconds = static_cast<double>(summary.frames) / summary.output.nSamplesPerSec;
    std::printf("zvdelay-graph: %llu frames (%.3f s) in %ld buffers through %s, %.3f s (%.0fx real time), %s\n",
                static_cast<unsigned long long>(summary.frames), audioSeconds, static_cast<long>(summary.buffers),
                request.withFilter ? "zvDelayDX" : "the parser alone", summary.seconds,
                summary.seconds > 0 ? audioSeconds / summary.seconds : 0.0, FormatText(summary.output).c_str());
    if (summary.haveEffectPeaks) {
        std::printf("  peak L %.4f R %.4f (effect meter), L %.4f R %.4f (written); end: %s\n",
                    summary.effectPeak[0], summary.effectPeak[1], summary.outputPeak[0], summary.outputPeak[1],
                    summary.endedBy);
    } else {
        std::printf("  peak L %.4f R %.4f (written); end: %s\n", summary.outputPeak[0], summary.outputPeak[1],
                    summary.endedBy);
    }
    if (summary.haveTiming && summary.timing.buffers && summary.timing.ticksPerSecond) {
        // Microseconds per buffer; "ours" is the rest of Receive.
        const StreamTimingFigures& t = summary.timing;
        const double perBuffer = 1e6 / static_cast<double>(t.ticksPerSecond) / static_cast<double>(t.buffers);
        const double receive = t.receive * perBuffer, allocator = t.allocator * perBuffer;
        const double delivery = t.delivery * perBuffer, processing = t.processing * perBuffer;
        const double ours = receive - allocator - delivery;
        std::printf("  inside Receive, microseconds per buffer of %.0f frames: %.2f in all = allocator %.2f +"
                    " delivery %.2f + ours %.2f (processing entry %.2f, the rest %.2f: %.2fx the processing"
                    " entry)\n",
                    static_cast<double>(t.frames) / static_cast<double>(t.buffers), receive, allocator, delivery,
                    ours, processing, ours - processing, processing > 0 ? ours / processing : 0.0);
    }
    if (!request.output.empty()) std::printf("  wrote %s\n", Utf8(request.output).c_str());
    return kExitOk;
}
