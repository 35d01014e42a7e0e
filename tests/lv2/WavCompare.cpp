// zvdelay-wavcmp A.wav B.wav [--left] [--within LIMIT]: exit 0 when both
// files hold the same sample frames bit for bit (channel count, frame count
// and every 32-bit float), 1 otherwise, naming the first difference and the
// largest. The file headers may differ (ffmpeg, lv2apply and zvdelay-render
// each write their own). With --left, A is one channel and is compared with
// B's first channel; with --within, samples may differ by up to LIMIT.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool Read(const char* path, SF_INFO& info, std::vector<float>& samples) {
    SNDFILE* f = sf_open(path, SFM_READ, &info);
    if (!f) {
        std::fprintf(stderr, "zvdelay-wavcmp: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    samples.resize(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    return got == info.frames;
}

}  // namespace

int main(int argc, char** argv) {
    bool left = false;
    double within = -1.0;
    bool usage = argc < 3;
    for (int i = 3; i < argc && !usage; ++i) {
        if (std::strcmp(argv[i], "--left") == 0) {
            left = true;
        } else if (std::strcmp(argv[i], "--within") == 0 && i + 1 < argc) {
            within = std::atof(argv[++i]);
        } else {
            usage = true;
        }
    }
    if (usage) {
        std::fprintf(stderr, "usage: zvdelay-wavcmp A.wav B.wav [--left] [--within LIMIT]\n");
        return 2;
    }
    SF_INFO a{}, b{};
    std::vector<float> sa, sb;
    if (!Read(argv[1], a, sa) || !Read(argv[2], b, sb)) return 2;
    if (left && a.channels == 1 && b.channels > 1) {
        for (sf_count_t i = 0; i < b.frames; ++i) sb[i] = sb[i * b.channels];
        sb.resize(b.frames);
        b.channels = 1;
    }
    for (const SF_INFO* i : {&a, &b}) {
        if ((i->format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT) {
            std::fprintf(stderr, "zvdelay-wavcmp: both files must hold 32-bit floats\n");
            return 2;
        }
    }
    if (a.channels != b.channels || a.frames != b.frames) {
        std::printf("differ: %d channels x %lld frames against %d x %lld\n", a.channels,
                    static_cast<long long>(a.frames), b.channels, static_cast<long long>(b.frames));
        return 1;
    }
    size_t first = sa.size(), count = 0;
    double largest = 0.0;
    for (size_t i = 0; i < sa.size(); ++i) {
        if (std::memcmp(&sa[i], &sb[i], sizeof(float)) == 0) continue;
        if (first == sa.size()) first = i;
        ++count;
        largest = std::max(largest, std::fabs(static_cast<double>(sa[i]) - sb[i]));
    }
    if (count == 0) {
        std::printf("same: %d channels x %lld frames\n", a.channels, static_cast<long long>(a.frames));
        return 0;
    }
    std::printf("%s: %zu samples differ, first at frame %zu channel %zu (%.9g against %.9g), by at most %.3g\n",
                largest <= within ? "within" : "differ", count, first / a.channels, first % a.channels, sa[first],
                sb[first], largest);
    return largest <= within ? 0 : 1;
}
