#include "tools/graph/GraphOptions.h"

#include <cerrno>
#include <cstdlib>

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:";
    for (wchar_t c : path) out += c == L'/' ? L'\\' : c;
    return out;
}

const char* GraphUsage() {
    return "usage: zvdelay-graph IN.wav OUT.wav [--set NAME=VALUE]... [--data \"DATA STRING\"] [--bypass]\n"
           "                     [--bypass-graph] [--editor] [--real-time] [--timing] [--dll PATH]\n"
           "                     [--timeout SECONDS]\n"
           "       zvdelay-graph IN.wav --discard [options]\n"
           "  Runs a WAV file through zvDelayDX.dll in a DirectShow graph, File Source (Async.) ->\n"
           "  WAVE Parser -> zvDelayDX -> a sink that writes OUT.wav in the format the filter\n"
           "  delivers (stereo float), with no reference clock, and prints a summary.\n"
           "  --set NAME=VALUE   a parameter by name and internal value, e.g. DelayL=2500\n"
           "  --data STRING      all 21 internal values, as a preset's Data string\n"
           "  --bypass           the effect's bypass switch on\n"
           "  --bypass-graph     leave zvDelayDX out: the parser feeds the sink directly\n"
           "  --discard          write no file (the sink only counts and measures)\n"
           "  --editor           show the plug-in's editor page during the run (needs a display)\n"
           "  --real-time        the sink takes the audio no faster than it plays\n"
           "  --timing           print where the time inside the filter's Receive goes (per buffer:\n"
           "                     the downstream allocator, the delivery, the processing entry, the rest)\n"
           "  --dll PATH         the plug-in DLL (default: beside this program, else the build's)\n"
           "  --timeout SECONDS  give up after this long (default: 60 plus the input's duration)\n"
           "  Later settings override earlier ones. The DLL is loaded directly (DllGetClassObject),\n"
           "  not through the registry. Unix paths (/...) are taken on drive Z:.\n";
}

std::string ParseGraphArguments(const std::vector<std::wstring>& args, GraphOptions& options) {
    std::vector<std::wstring> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        auto next = [&](std::wstring& value) -> bool {
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        if (arg == L"--help" || arg == L"-h") {
            options.help = true;
        } else if (arg == L"--bypass") {
            options.bypass = true;
        } else if (arg == L"--bypass-graph") {
            options.bypassGraph = true;
        } else if (arg == L"--discard") {
            options.discard = true;
        } else if (arg == L"--editor") {
            options.editor = true;
        } else if (arg == L"--real-time") {
            options.realTime = true;
        } else if (arg == L"--timing") {
            options.timing = true;
        } else if (arg == L"--dll") {
            if (!next(options.dll)) return "--dll needs a path";
        } else if (arg == L"--timeout") {
            std::wstring value;
            if (!next(value)) return "--timeout needs a number of seconds";
            wchar_t* end = nullptr;
            errno = 0;
            const unsigned long seconds = std::wcstoul(value.c_str(), &end, 10);
            if (value.empty() || *end != L'\0' || errno != 0 || seconds < 1 || seconds > 86400)
                return "bad time-out \"" + Utf8(value) + "\": expected 1..86400 seconds";
            options.timeoutSeconds = static_cast<DWORD>(seconds);
        } else if (arg == L"--set") {
            std::wstring wide;
            if (!next(wide)) return "--set needs NAME=VALUE";
            ParamSetting s{0, 0};
            const std::string error = ParseSetArgument(Utf8(wide), s);
            if (!error.empty()) return error;
            options.settings.push_back(s);
        } else if (arg == L"--data") {
            std::wstring wide;
            if (!next(wide)) return "--data needs a Data string";
            ParamBlock block{};
            const std::string error = ParseDataString(Utf8(wide), block);
            if (!error.empty()) return error;
            for (int p = 0; p < kParamCount; ++p) options.settings.push_back({p, block[p]});
        } else if (arg.size() > 1 && arg[0] == L'-') {
            return "unknown option \"" + Utf8(arg) + "\"";
        } else {
            files.push_back(arg);
        }
    }
    if (options.help) return {};
    const size_t wanted = options.discard ? 1 : 2;
    if (files.size() != wanted)
        return options.discard ? "expected an input file (and no output with --discard)"
                               : "expected an input and an output file";
    options.input = files[0];
    if (!options.discard) options.output = files[1];
    return {};
}
