// zvdelay-wavcmp A.wav B.wav: exit 0 when both files hold the same sample
// frames bit for bit (channel count, frame count and every 32-bit float),
// 1 otherwise, naming the first difference. The file headers may differ
// (ffmpeg, lv2apply and zvdelay-render each write their own).
#include <sndfile.h>

#include <cstdio>
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: zvdelay-wavcmp A.wav B.wav\n");
        return 2;
    }
    SF_INFO a{}, b{};
    std::vector<float> sa, sb;
    if (!Read(argv[1], a, sa) || !Read(argv[2], b, sb)) return 2;
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
    for (size_t i = 0; i < sa.size(); ++i) {
        if (std::memcmp(&sa[i], &sb[i], sizeof(float)) != 0) {
            std::printf("differ: frame %zu channel %zu: %.9g against %.9g\n", i / a.channels, i % a.channels, sa[i],
                        sb[i]);
            return 1;
        }
    }
    std::printf("same: %d channels x %lld frames\n", a.channels, static_cast<long long>(a.frames));
    return 0;
}
