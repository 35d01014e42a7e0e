// zvdelay-render: runs a WAV file through the effect's processing entry,
// offline, block by block, and writes the stereo result.
//
//   zvdelay-render IN.wav OUT.wav [--block FRAMES] [--set NAME=VALUE]...
//                  [--at FRAME NAME=VALUE]... [--data "DATA STRING"] [--bypass]
//
// The effect is the same portable core that the plug-in streams through
// (COfflineEffect: the effect without the filter around it). Input: 16-bit
// PCM, 32-bit float or 64-bit float WAV, any channel count, read with
// libsndfile. 16-bit samples become floats as x * 1/32768 and go through the
// 32-bit entry, as the plug-in's input pin does; 64-bit input goes through
// the 64-bit entry and gives a 64-bit file, everything else a 32-bit one.
// The input format handed to the effect carries the file's channel count, so
// the entry's own rules apply: mono feeds both channels, and a file of three
// or more channels is not read at all (the entry then runs on silence).
//
// Settings start from the default block and are applied in command-line
// order through the setters; a timed setting (--at) is applied before its
// frame, the block split there, as a plug-in host's parameter event inside
// a block is. Streaming is prepared with the file's rate
// before the first block. The result goes to a temporary file beside OUT
// that is renamed when complete, so a failure leaves nothing behind; errors
// in the arguments or the input are found before anything is written.
//
// Exit status: 0 done, 1 a file could not be read or written, 2 a usage
// error (unknown option or parameter, bad value).
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effect/OfflineEffect.h"
#include "tools/render/RenderOptions.h"

namespace {

enum EExit { kExitOk = 0, kExitFile = 1, kExitUsage = 2 };

enum class ESampleKind { kPcm16, kFloat, kDouble };

struct InputFile {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    ESampleKind kind = ESampleKind::kFloat;
    ~InputFile() {
        if (file) sf_close(file);
    }
};

// Opens the input and checks that it is a WAV file of a sample format the
// effect takes. Returns an empty string or a message.
std::string OpenInput(const std::string& path, InputFile& in) {
    in.file = sf_open(path.c_str(), SFM_READ, &in.info);
    if (!in.file) return "cannot read \"" + path + "\": " + sf_strerror(nullptr);
    const int major = in.info.format & SF_FORMAT_TYPEMASK;
    const int sub = in.info.format & SF_FORMAT_SUBMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX && major != SF_FORMAT_RF64) {
        return "\"" + path + "\" is not a WAV file";
    }
    switch (sub) {
    case SF_FORMAT_PCM_16: in.kind = ESampleKind::kPcm16; break;
    case SF_FORMAT_FLOAT: in.kind = ESampleKind::kFloat; break;
    case SF_FORMAT_DOUBLE: in.kind = ESampleKind::kDouble; break;
    default:
        return "\"" + path + "\" has a sample format the effect does not take "
               "(16-bit PCM, 32-bit float or 64-bit float only)";
    }
    if (in.info.channels < 1) return "\"" + path + "\" has no channels";
    if (in.info.samplerate <= 0) return "\"" + path + "\" has no sample rate";
    return {};
}

WAVEFORMATEX FloatFormat(int channels, int rate, int bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = static_cast<DWORD>(rate);
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

// Progress on stderr for long files when stderr is a terminal.
class CProgress {
public:
    CProgress(int64_t totalFrames, int rate)
        : m_total(totalFrames), m_enabled(isatty(STDERR_FILENO) && totalFrames > 60ll * rate) {}
    void Update(int64_t done) {
        if (!m_enabled) return;
        const int percent = static_cast<int>(100 * done / m_total);
        if (percent == m_shown) return;
        m_shown = percent;
        std::fprintf(stderr, "\rzvdelay-render: %3d%%", percent);
        std::fflush(stderr);
    }
    void Finish() {
        if (m_enabled) std::fprintf(stderr, "\r%*s\r", 22, "");
    }

private:
    int64_t m_total;
    bool m_enabled;
    int m_shown = -1;
};

struct RenderResult {
    int64_t frames = 0;
    int64_t blocks = 0;
};

// Reads, processes and writes block by block. T is the entry's sample type.
template <typename T>
std::string Render(InputFile& in, SNDFILE* out, COfflineEffect& fx, int32_t blockFrames,
                   const std::vector<TimedSetting>& timed, RenderResult& result) {
    auto next = timed.begin();
    const int channels = in.info.channels;
    std::vector<T> input(static_cast<size_t>(blockFrames) * channels);
    std::vector<int16_t> pcm(in.kind == ESampleKind::kPcm16 ? input.size() : 0);
    std::vector<T> output(2 * static_cast<size_t>(blockFrames));
    CProgress progress(in.info.frames, in.info.samplerate);
    for (;;) {
        sf_count_t got;
        if (in.kind == ESampleKind::kPcm16) {
            got = sf_readf_short(in.file, pcm.data(), blockFrames);
            // As the plug-in's 16-bit path: x * 1/32768 in single precision.
            for (sf_count_t i = 0; i < got * channels; ++i) input[i] = static_cast<T>(pcm[i] * 3.0517578125e-5f);
        } else if constexpr (sizeof(T) == 4) {
            got = sf_readf_float(in.file, reinterpret_cast<float*>(input.data()), blockFrames);
        } else {
            got = sf_readf_double(in.file, reinterpret_cast<double*>(input.data()), blockFrames);
        }
        if (got <= 0) break;
        const int32_t frames = static_cast<int32_t>(got);
        // The block in pieces, split before each timed setting's frame.
        for (int32_t done = 0; done < frames;) {
            while (next != timed.end() && next->frame <= result.frames + done) {
                fx.SetParamValue(next->setting.index, next->setting.value, 0);
                ++next;
            }
            int32_t piece = frames - done;
            if (next != timed.end() && next->frame < result.frames + frames) {
                piece = static_cast<int32_t>(next->frame - result.frames) - done;
            }
            int32_t n = piece, capacity = piece;
            HRESULT hr;
            if constexpr (sizeof(T) == 4) {
                hr = fx.ProcessFloat(1, input.data() + static_cast<size_t>(done) * channels, &n,
                                     output.data() + 2 * static_cast<size_t>(done), &capacity);
            } else {
                hr = fx.ProcessDouble(1, input.data() + static_cast<size_t>(done) * channels, &n,
                                      output.data() + 2 * static_cast<size_t>(done), &capacity);
            }
            if (FAILED(hr)) {
                char text[64];
                std::snprintf(text, sizeof text, "the processing entry failed (0x%08X)", static_cast<unsigned>(hr));
                return text;
            }
            done += piece;
        }
        sf_count_t written;
        if constexpr (sizeof(T) == 4) {
            written = sf_writef_float(out, reinterpret_cast<float*>(output.data()), frames);
        } else {
            written = sf_writef_double(out, reinterpret_cast<double*>(output.data()), frames);
        }
        if (written != frames) return std::string("cannot write the output: ") + sf_strerror(out);
        result.frames += frames;
        result.blocks += 1;
        progress.Update(result.frames);
    }
    progress.Finish();
    if (sf_error(in.file) != SF_ERR_NO_ERROR) return std::string("cannot read the input: ") + sf_strerror(in.file);
    return {};
}

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "zvdelay-render: %s\n", message.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    const std::string usageError = ParseRenderArguments(argc, argv, options);
    if (options.help) {
        std::fputs(RenderUsage(), stdout);
        return kExitOk;
    }
    if (!usageError.empty()) {
        std::fprintf(stderr, "zvdelay-render: %s\n%s", usageError.c_str(), RenderUsage());
        return kExitUsage;
    }

    InputFile in;
    const std::string inputError = OpenInput(options.input, in);
    if (!inputError.empty()) return Fail(kExitFile, inputError);
    const bool wide = in.kind == ESampleKind::kDouble;
    if (in.info.channels > 2) {
        std::fprintf(stderr,
                     "zvdelay-render: note: %d channels; the effect reads only mono or stereo input, so this "
                     "file runs as silence\n",
                     in.info.channels);
    }

    COfflineEffect fx;
    fx.SetAllParams(kDefaultBlock.v);
    for (const ParamSetting& s : options.settings) fx.SetParamValue(s.index, s.value, 0);
    fx.SetBypass(options.bypass ? 1 : 0);
    const WAVEFORMATEX inputFormat = FloatFormat(in.info.channels, in.info.samplerate, wide ? 64 : 32);
    const WAVEFORMATEX outputFormat = FloatFormat(2, in.info.samplerate, wide ? 64 : 32);
    fx.SetStreaming(1);
    const HRESULT prepared = fx.PrepareStreaming(&inputFormat, &outputFormat);
    if (FAILED(prepared)) {
        char text[96];
        std::snprintf(text, sizeof text, "cannot set the effect up for %d Hz (0x%08X)", in.info.samplerate,
                      static_cast<unsigned>(prepared));
        return Fail(kExitFile, text);
    }

    const std::string partial = options.output + ".partial";
    SF_INFO outInfo{};
    outInfo.samplerate = in.info.samplerate;
    outInfo.channels = 2;
    outInfo.format = SF_FORMAT_WAV | (wide ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT);
    SNDFILE* out = sf_open(partial.c_str(), SFM_WRITE, &outInfo);
    if (!out) return Fail(kExitFile, "cannot write \"" + options.output + "\": " + sf_strerror(nullptr));

    RenderResult result;
    const std::string renderError = wide ? Render<double>(in, out, fx, options.blockFrames, options.timed, result)
                                         : Render<float>(in, out, fx, options.blockFrames, options.timed, result);
    const bool closed = sf_close(out) == 0;
    if (!renderError.empty() || !closed) {
        std::remove(partial.c_str());
        return Fail(kExitFile, renderError.empty() ? "cannot finish \"" + options.output + "\"" : renderError);
    }
    if (std::rename(partial.c_str(), options.output.c_str()) != 0) {
        std::remove(partial.c_str());
        return Fail(kExitFile, "cannot write \"" + options.output + "\": " + std::strerror(errno));
    }

    float peakLeft = 0.0f, peakRight = 0.0f;
    fx.GetPeakLevels(&peakLeft, &peakRight);
    std::printf("zvdelay-render: %lld frames, %lld blocks, peak L %.6f R %.6f, clip L %d R %d\n",
                static_cast<long long>(result.frames), static_cast<long long>(result.blocks), peakLeft, peakRight,
                static_cast<int>(fx.GetLeftClip(0)), static_cast<int>(fx.GetRightClip(0)));
    fx.SetStreaming(0);
    fx.ReleaseStreaming();
    return kExitOk;
}
