// The validator's output: one line per named check ("PASS name" or
// "FAIL name: why"), figures and tables as Markdown lines between them, and
// a last line "N passed, M failed". tools/quality-report copies the tables
// into docs/quality.md as they are printed. Portable (native and Windows).
#pragma once
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "effect/ParamTable.h"

class CCheckLog {
public:
    void Pass(const std::string& name, const std::string& detail = "") {
        ++m_passed;
        std::printf("PASS %s%s%s\n", name.c_str(), detail.empty() ? "" : "  ", detail.c_str());
        std::fflush(stdout);
    }
    void Fail(const std::string& name, const std::string& why) {
        ++m_failed;
        std::printf("FAIL %s: %s\n", name.c_str(), why.c_str());
        std::fflush(stdout);
    }
    // One check from a list of problems: none passes, otherwise the first few
    // are the reason.
    void Result(const std::string& name, const std::vector<std::string>& problems, const std::string& detail = "") {
        if (problems.empty()) {
            Pass(name, detail);
            return;
        }
        std::string why;
        for (size_t i = 0; i < problems.size() && i < 6; ++i) why += (i ? "; " : "") + problems[i];
        if (problems.size() > 6) why += "; and " + std::to_string(problems.size() - 6) + " more";
        Fail(name, why);
    }
    // A line of figures or a table row, printed as it is.
    void Line(const char* format, ...) {
        va_list args;
        va_start(args, format);
        std::vprintf(format, args);
        va_end(args);
        std::printf("\n");
        std::fflush(stdout);
    }
    int Passed() const { return m_passed; }
    int Failed() const { return m_failed; }
    void Summary() const {
        std::printf("%d passed, %d failed\n", m_passed, m_failed);
        std::fflush(stdout);
    }

private:
    int m_passed = 0;
    int m_failed = 0;
};

// printf into a std::string.
inline std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Every value of the block inside its parameter's range; the first one that
// is not, as text, otherwise empty.
inline std::string OutOfRange(const int32_t* block) {
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        if (block[i] < p.minimum || block[i] > p.maximum)
            return Format("%s = %d outside %d..%d", p.name, block[i], p.minimum, p.maximum);
    }
    return {};
}

// The index of the first sample that is NaN or infinite, or -1.
template <typename T>
long FirstNonFinite(const T* samples, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i])) return static_cast<long>(i);
    return -1;
}

// Settings whose loop gain stays below 1 (feedback plus the other line's
// cross-feed under 100 % on each side) with every stage of the signal path
// on: diffusion, both tone filters, short delays for many trips round the
// loop, a boost at the output.
inline ParamBlock BusyBlock() {
    ParamBlock b = kDefaultBlock;
    b[kParamDelayL] = 373;    // 37.3 ms
    b[kParamDelayR] = 511;
    b[kParamTempoSync] = 0;
    b[kParamFeedbkL] = 70;
    b[kParamXfeedL] = 25;
    b[kParamFeedbkR] = 65;
    b[kParamXfeedR] = 20;
    b[kParamMixL] = 60;
    b[kParamMixR] = 55;
    b[kParamDiffAmnt] = 100;
    b[kParamDiffTime] = 70;
    b[kParamHighFreq] = 270;
    b[kParamHighQ] = 130;
    b[kParamLowFreq] = 80;
    b[kParamLowQ] = 130;
    b[kParamOutput] = 30;     // +3 dB
    return b;
}

// A test signal in -1 .. 1: decaying tones with noise bursts and full-scale
// clicks, different on the two channels. Deterministic.
inline std::vector<double> TestSignal(size_t frames, int channels, uint32_t rate) {
    std::vector<double> x(frames * static_cast<size_t>(channels));
    uint32_t noise = 0x12345678u;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double burst = (i / 1500) % 4 == 0 ? 0.3 : 0.0;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * burst;
            double v = 0.5 * std::exp(-2.0 * std::fmod(t, 0.7)) * std::sin(6.283185307179586 * (220.0 + 110.0 * c) * t) + n;
            if (i % 9973 == 0) v = c ? -1.0 : 1.0;
            x[i * channels + c] = std::fmax(-1.0, std::fmin(1.0, v));
        }
    }
    return x;
}
