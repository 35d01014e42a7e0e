// What another thread's parameter traffic costs the audio thread: the time
// of each buffer through the effect, streamed as the plug-in streams it (the
// 21 envelopes evaluated at the buffer's position, then the processing
// entry), alone and while a second thread hammers the effect with whole-block
// changes and the envelopes with new segments and flushes.
//
//   build/native/bench/effect/bench_contention [BUFFERS]   (default 20000)
//
// Prints the median, 99th percentile and slowest buffer (wall clock, so a
// buffer that waits for a lock counts its wait) for both runs and their
// ratios. Aims: the 99th percentile with the writer within 1.5 x the one
// without, and no buffer above 10 x the median. Wall clock also counts what
// the operating system does to the thread, so the audio thread and the
// writer are pinned to processors 0 and 1 (when the machine has two), and
// each buffer's own processor time is measured too: a buffer whose wall time
// exceeds its processor time by more than 50 microseconds waited or was
// preempted, and the count of those is printed. Run it on a quiet machine.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "automation/EnvelopeSetLink.h"
#include "bench/effect/BenchFormat.h"
#include "effect/OfflineEffect.h"

namespace {

constexpr int32_t kFrames = 512;
constexpr uint32_t kRate = 48000;

ParamBlock Setting(bool second) {
    ParamBlock b = kDefaultBlock;
    b[kParamTempoSync] = 0;
    b[kParamDiffAmnt] = 100;
    b[kParamHighFreq] = second ? 250 : 270;
    b[kParamLowFreq] = second ? 100 : 80;
    b[kParamDelayL] = second ? 3000 : 5000;
    b[kParamFeedbkL] = second ? 70 : 40;
    return b;
}

struct Figures {
    double median, p99, max;
    int stalls;   // buffers whose wall time exceeds their processor time by 50 us
};

// Buffer times in microseconds, sorted.
Figures Summarise(std::vector<double>& t, int stalls) {
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t[t.size() * 99 / 100], t.back(), stalls};
}

double ThreadMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

// The calling thread on one processor, if the machine has it.
void PinTo(unsigned cpu) {
    if (std::thread::hardware_concurrency() < 2) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

Figures Stream(int buffers, bool withWriter) {
    CEnvelopeSet envelopes;
    CEnvelopeSetLink link(envelopes);
    COfflineEffect fx;
    fx.AttachAutomation(&link);
    fx.SetAllParams(Setting(false).v);
    const WAVEFORMATEX format = FloatFormat(2, 32, kRate);
    fx.SetStreaming(1);
    if (FAILED(fx.PrepareStreaming(&format, &format))) {
        std::fprintf(stderr, "bench_contention: PrepareStreaming failed\n");
        std::exit(1);
    }

    std::atomic<bool> stop{false};
    std::atomic<long> changes{0};
    std::thread writer;
    if (withWriter) {
        writer = std::thread([&] {
            PinTo(1);
            // Segments for one parameter at a time, a thousand per call,
            // somewhere in the next minutes; flushed again now and then.
            std::vector<MP_ENVELOPE_SEGMENT> segments(1000);
            for (long k = 0; !stop.load(std::memory_order_relaxed); ++k) {
                const ParamBlock b = Setting(k % 2 == 1);
                fx.SetAllParams(b.v);
                if (k % 8 == 0) {
                    const REFERENCE_TIME base = (k % 600) * 10000000LL;
                    for (size_t s = 0; s < segments.size(); ++s) {
                        segments[s] = {base + static_cast<REFERENCE_TIME>(s) * 100000,
                                       base + static_cast<REFERENCE_TIME>(s + 1) * 100000,
                                       0.2f, 0.8f, MP_CURVE_LINEAR, 0};
                    }
                    const DWORD index = static_cast<DWORD>(k / 8 % kParamCount);
                    envelopes.AddEnvelope(index, static_cast<DWORD>(segments.size()), segments.data());
                    if (k % 64 == 0) envelopes.FlushEnvelope(index, kOpenStart, kOpenEnd);
                }
                changes.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }

    std::vector<float> in(2 * kFrames), out(2 * kFrames);
    uint32_t seed = 99;
    for (float& x : in) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(static_cast<int32_t>(seed) / 4294967296.0);
    }
    std::vector<double> times;
    times.reserve(static_cast<size_t>(buffers));
    int stalls = 0;
    int64_t position = 0;
    for (int b = 0; b < buffers + 200; ++b) {
        const double cpuStart = ThreadMicroseconds();
        const auto start = std::chrono::steady_clock::now();
        envelopes.UpdateValues(position);
        int32_t n = kFrames, cap = kFrames;
        fx.ProcessFloat(1, in.data(), &n, out.data(), &cap);
        const auto end = std::chrono::steady_clock::now();
        const double cpu = ThreadMicroseconds() - cpuStart;
        position += kFrames;
        if (b < 200) continue;
        const double wall = std::chrono::duration<double, std::micro>(end - start).count();
        times.push_back(wall);
        if (wall - cpu > 50.0) ++stalls;
    }
    stop = true;
    if (writer.joinable()) writer.join();
    if (withWriter) std::printf("  (the writer made %ld changes meanwhile)\n", changes.load());
    return Summarise(times, stalls);
}

}  // namespace

int main(int argc, char** argv) {
    const int buffers = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 20000;
    std::printf("bench_contention: %d buffers of %d frames at %u Hz, all stages, automation attached\n", buffers,
                kFrames, kRate);
    PinTo(0);
    const Figures alone = Stream(buffers, false);
    const Figures busy = Stream(buffers, true);
    std::printf("%-22s %10s %10s %10s %8s   (microseconds, wall clock)\n", "", "median", "p99", "slowest", "stalls");
    std::printf("%-22s %10.2f %10.2f %10.2f %8d\n", "alone", alone.median, alone.p99, alone.max, alone.stalls);
    std::printf("%-22s %10.2f %10.2f %10.2f %8d\n", "with a busy writer", busy.median, busy.p99, busy.max,
                busy.stalls);
    std::printf("p99 with / without the writer: %.2f x (aim: at most 1.5)\n", busy.p99 / alone.p99);
    std::printf("slowest / median with the writer: %.1f x (aim: at most 10)\n", busy.max / busy.median);
    return 0;
}
