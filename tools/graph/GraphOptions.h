// Command line of zvdelay-graph. Parameter names, values and the Data
// string are read by zvdelay-render's parsers (tools/render/RenderOptions),
// so both tools take the same settings.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tools/render/RenderOptions.h"

struct GraphOptions {
    std::wstring input;
    std::wstring output;       // empty with --discard
    bool discard = false;      // --discard: no output file
    bool bypass = false;       // --bypass: the effect's bypass switch on
    bool bypassGraph = false;  // --bypass-graph: zvDelayDX left out of the graph
    bool editor = false;       // --editor: the editor page open during the run
    bool realTime = false;     // --real-time: the sink paces the run
    bool timing = false;       // --timing: where the time inside the filter's Receive goes
    bool help = false;
    std::wstring dll;          // --dll PATH (empty: the default)
    DWORD timeoutSeconds = 0;  // --timeout SECONDS (0: the default)
    // --set and --data values in the order given; later ones win.
    std::vector<ParamSetting> settings;
};

// Parses the arguments after the program name. Returns an empty string on
// success, otherwise a message for the user naming the argument.
std::string ParseGraphArguments(const std::vector<std::wstring>& args, GraphOptions& options);

// A path as Windows takes it: an absolute Unix path ("/home/x.wav") becomes
// one on Wine's drive Z:, which maps the Unix root ("Z:\home\x.wav");
// anything else is returned as it is.
std::wstring WindowsPath(const std::wstring& path);

// The arguments as UTF-8, for messages and the shared parsers.
std::string Utf8(const std::wstring& text);

const char* GraphUsage();
