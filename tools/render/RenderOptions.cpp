#include "tools/render/RenderOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "presets/DataString.h"

namespace {

// A whole string as a signed decimal integer that fits 32 bits.
bool ParseInt32(const std::string& text, int32_t& value) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (errno != 0 || end == begin || *end != '\0') return false;
    if (text[0] == ' ' || text[0] == '\t') return false;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string RangeText(int index) {
    const ParamInfo& p = kParamTable[index];
    return std::to_string(p.minimum) + ".." + std::to_string(p.maximum);
}

}  // namespace

const char* RenderUsage() {
    return "usage: zvdelay-render IN.wav OUT.wav [--block FRAMES] [--set NAME=VALUE]... "
           "[--at FRAME NAME=VALUE]... [--data \"DATA STRING\"] [--bypass]\n"
           "  Runs a WAV file (16-bit PCM, 32-bit or 64-bit float; any channel count) through\n"
           "  the delay and writes a stereo float WAV (64-bit for 64-bit input, else 32-bit).\n"
           "  --block FRAMES     frames per call of the processing entry (default 512)\n"
           "  --set NAME=VALUE   a parameter by name and internal value, e.g. DelayL=2500\n"
           "  --at FRAME NAME=VALUE\n"
           "                     the same, applied before that frame of the input (the block\n"
           "                     is split there, as a plug-in splits at a parameter event)\n"
           "  --data STRING      all 21 internal values, as a preset's Data string\n"
           "  --bypass           bypass on (a plain copy through the effect)\n"
           "  Later settings override earlier ones. Tempo, FactorL, FactorR and TempoSync do\n"
           "  not change the delay times by themselves: give DelayL and DelayR.\n";
}

int FindParamByName(const std::string& name) {
    for (int i = 0; i < kParamCount; ++i) {
        if (strcasecmp(name.c_str(), kParamTable[i].name) == 0) return i;
    }
    return -1;
}

std::string ParseParamValue(int index, const std::string& text, int32_t& value) {
    const ParamInfo& p = kParamTable[index];
    int32_t v = 0;
    if (!ParseInt32(text, v)) {
        return std::string("bad value \"") + text + "\" for " + p.name + ": expected a whole number in " +
               RangeText(index);
    }
    if (v < p.minimum || v > p.maximum) {
        return std::string("value ") + text + " for " + p.name + " is outside its range " + RangeText(index);
    }
    value = v;
    return {};
}

std::string ParseDataString(const std::string& text, ParamBlock& block) {
    size_t pos = 0;
    for (int i = 0; i < kParamCount; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') {
                return "Data string has " + std::to_string(i) + " values; 21 are needed";
            }
            ++pos;
        }
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        size_t end = pos;
        while (end < text.size() && text[end] != ',' && text[end] != ' ' && text[end] != '\t') ++end;
        const std::string item = text.substr(pos, end - pos);
        if (item.empty()) return "Data string: value " + std::to_string(i + 1) + " (" + kParamTable[i].name + ") is missing";
        const std::string error = ParseParamValue(i, item, block[i]);
        if (!error.empty()) return "Data string: " + error;
        pos = end;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    }
    if (pos != text.size()) return "Data string: unexpected text after the 21st value: \"" + text.substr(pos) + "\"";
    return {};
}

std::string FormatDataString(const ParamBlock& b) {
    char text[kDataStringSize];
    FormatDataString(b, text, sizeof text);
    return text;
}

std::string ParseSetArgument(const std::string& argument, ParamSetting& setting) {
    const size_t eq = argument.find('=');
    if (eq == std::string::npos) return "bad --set \"" + argument + "\": expected NAME=VALUE";
    const std::string name = argument.substr(0, eq);
    const int index = FindParamByName(name);
    if (index < 0) return "unknown parameter \"" + name + "\"";
    setting.index = index;
    return ParseParamValue(index, argument.substr(eq + 1), setting.value);
}

std::string ParseRenderArguments(int argc, const char* const* argv, RenderOptions& options) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](std::string& value) -> bool {
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--bypass") {
            options.bypass = true;
        } else if (arg == "--block") {
            std::string value;
            if (!next(value)) return "--block needs a frame count";
            int32_t frames = 0;
            if (!ParseInt32(value, frames) || frames < 1 || frames > kMaxBlockFrames) {
                return "bad block size \"" + value + "\": expected 1.." + std::to_string(kMaxBlockFrames) + " frames";
            }
            options.blockFrames = frames;
        } else if (arg == "--set") {
            std::string value;
            if (!next(value)) return "--set needs NAME=VALUE";
            ParamSetting s{0, 0};
            const std::string error = ParseSetArgument(value, s);
            if (!error.empty()) return error;
            options.settings.push_back(s);
        } else if (arg == "--at") {
            std::string frame, value;
            if (!next(frame) || !next(value)) return "--at needs FRAME NAME=VALUE";
            int32_t at = 0;
            if (!ParseInt32(frame, at) || at < 0) return "bad frame \"" + frame + "\": expected 0 or more";
            TimedSetting t{at, {0, 0}};
            const std::string error = ParseSetArgument(value, t.setting);
            if (!error.empty()) return error;
            options.timed.push_back(t);
        } else if (arg == "--data") {
            std::string value;
            if (!next(value)) return "--data needs a Data string";
            ParamBlock block{};
            const std::string error = ParseDataString(value, block);
            if (!error.empty()) return error;
            for (int p = 0; p < kParamCount; ++p) options.settings.push_back({p, block[p]});
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option \"" + arg + "\"";
        } else {
            files.push_back(arg);
        }
    }
    std::stable_sort(options.timed.begin(), options.timed.end(),
                     [](const TimedSetting& a, const TimedSetting& b) { return a.frame < b.frame; });
    if (options.help) return {};
    if (files.size() != 2) return "expected an input and an output file";
    options.input = files[0];
    options.output = files[1];
    return {};
}
