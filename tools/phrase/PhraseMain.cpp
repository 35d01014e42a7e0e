// zvdelay-phrase: writes a short demo phrase to feed the delay with.
//
//   zvdelay-phrase OUT.wav [--rate HZ]
//
// Eight plucked notes of a pentatonic figure at 120 beats per minute, one
// per eighth note, each a Karplus-Strong string (a noise burst circulating
// in a delay line one period long, averaged and damped on every pass),
// alternately a little left and right of centre, followed by silence for
// the echoes to ring out. Stereo 32-bit float WAV, 48000 Hz unless told
// otherwise. Deterministic: the noise comes from a fixed-seed generator.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Note {
    double frequency;   // Hz
    double start;       // seconds
    double pan;         // -1 left .. 1 right
};

// A4 G4 E4 D4 E4 G4 A4 E5, an eighth note apart at 120 BPM.
const Note kPhrase[] = {
    {440.00, 0.00, -0.3}, {392.00, 0.25, 0.3},  {329.63, 0.50, -0.3}, {293.66, 0.75, 0.3},
    {329.63, 1.00, -0.3}, {392.00, 1.25, 0.3},  {440.00, 1.50, -0.3}, {659.26, 1.75, 0.0},
};
constexpr double kNoteSeconds = 1.2;   // each string rings this long
constexpr double kTotalSeconds = 6.0;  // the phrase, then silence

void Pluck(std::vector<float>& out, int rate, const Note& note, uint32_t& seed) {
    const int period = static_cast<int>(std::lround(rate / note.frequency));
    std::vector<double> line(static_cast<size_t>(period));
    for (double& v : line) {
        seed = seed * 1664525u + 1013904223u;
        v = (static_cast<double>(seed >> 8) / 8388608.0 - 1.0) * 0.5;
    }
    const double left = std::sqrt(0.5 * (1.0 - note.pan));
    const double right = std::sqrt(0.5 * (1.0 + note.pan));
    const size_t first = static_cast<size_t>(note.start * rate);
    const size_t length = static_cast<size_t>(kNoteSeconds * rate);
    double previous = 0.0;
    for (size_t i = 0; i < length && first + i < out.size() / 2; ++i) {
        const size_t p = i % static_cast<size_t>(period);
        const double v = line[p];
        // Averaging two neighbours damps the highs a little more each pass.
        line[p] = 0.996 * 0.5 * (v + previous);
        previous = v;
        // A short fade at the end of the note avoids a click.
        const double fade = i + 256 > length ? static_cast<double>(length - i) / 256.0 : 1.0;
        out[2 * (first + i)] += static_cast<float>(v * left * fade);
        out[2 * (first + i) + 1] += static_cast<float>(v * right * fade);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    int rate = 48000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            rate = std::atoi(argv[++i]);
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: zvdelay-phrase OUT.wav [--rate HZ]\n");
            return 2;
        } else {
            path = argv[i];
        }
    }
    if (path.empty() || rate < 8000 || rate > 384000) {
        std::fprintf(stderr, "usage: zvdelay-phrase OUT.wav [--rate HZ]   (8000..384000 Hz)\n");
        return 2;
    }
    std::vector<float> samples(2 * static_cast<size_t>(kTotalSeconds * rate), 0.0f);
    uint32_t seed = 2026;
    for (const Note& note : kPhrase) Pluck(samples, rate, note, seed);

    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "zvdelay-phrase: cannot write \"%s\": %s\n", path.c_str(), sf_strerror(nullptr));
        return 1;
    }
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / 2);
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    if (sf_close(file) != 0 || !ok) {
        std::fprintf(stderr, "zvdelay-phrase: cannot write \"%s\"\n", path.c_str());
        return 1;
    }
    return 0;
}
