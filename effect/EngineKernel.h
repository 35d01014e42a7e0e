// The per-frame loop of the delay engine, one instantiation per pair type,
// sample type, input channel mode, set of stages that are on, and guard.
// Included by DelayEngine.cpp only.
//
// The guarded loops (kGuard, DelayNetwork.h) read a sample that is not
// finite as silence and limit input samples to +-kLineLimit; what enters
// the lines is limited to the same bound by the input guard and bent below
// twice full scale by the loop guard. The engine runs them only for a
// buffer that needs one (DelayEngine.cpp), so every other buffer runs the
// plain definition at full speed.
//
// The frames are cut into runs in which no position reaches -1: within a run
// every buffer is read and written at its position minus the frame's index
// in the run, and after the run each position that went below 0 wraps to
// its length - 1. That is exactly the per-frame rule (decrement, wrap) with
// the wrap test taken out of the inner loop.
#pragma once
#include <algorithm>

#include "effect/DelayEngine.h"
#include "effect/StereoPair.h"

template <class Pair, class Meter, class T, int kChannels, bool kDiffusion, bool kHighCut, bool kLowCut, int kGuard>
void CDelayEngine::RunKernel(const T* in, T* out, int32_t n, FrameMeter& frameMeter) {
    // The offset is the single-precision 1e-30, in the sample's precision.
    const T offset = static_cast<T>(1e-30f);
    const T inputLimit = static_cast<T>(kLineLimit);
    const Pair silence = Pair::Both(static_cast<double>(1e-30f));

    const Pair fb = Pair::Of(m_network.fbL, m_network.fbR);
    // The left line takes the right line's output and the other way round.
    const Pair crossFeed = Pair::Of(m_network.xfR, m_network.xfL);
    const Pair wet = Pair::Of(m_wet[0], m_wet[1]);
    const Pair dry = Pair::Of(m_dry[0], m_dry[1]);
    const Pair g1 = Pair::Both(m_diffusion.g1);
    const Pair g2 = Pair::Both(m_diffusion.g2);
    const Pair half = Pair::Both(0.5);

    const Pair hc0 = Pair::Both(m_highCut.c0), hc1 = Pair::Both(m_highCut.c1), hc2 = Pair::Both(m_highCut.c2);
    Pair hx1 = Pair::Load(m_highCutState.x1), hx2 = Pair::Load(m_highCutState.x2);
    Pair hy1 = Pair::Load(m_highCutState.y1);
    Pair hy2a = Pair::Load(m_highCutState.y2a), hy2b = Pair::Load(m_highCutState.y2b);

    const Pair lc0 = Pair::Both(m_lowCut.c0), lc1 = Pair::Both(m_lowCut.c1), lc2 = Pair::Both(m_lowCut.c2);
    Pair lx1 = Pair::Load(m_lowCutState.x1), lx2 = Pair::Load(m_lowCutState.x2);
    Pair ly1 = Pair::Load(m_lowCutState.y1);
    Pair ly2a = Pair::Load(m_lowCutState.y2a), ly2b = Pair::Load(m_lowCutState.y2b);

    int32_t pos[kBufferCount];
    for (int b = 0; b < kBufferCount; ++b) pos[b] = m_pos[b];
    const int32_t length[kBufferCount] = {m_network.lengthLeft,   m_network.lengthRight,
                                          m_diffusion.length[0], m_diffusion.length[1],
                                          m_diffusion.length[2], m_diffusion.length[3]};
    const int buffersInUse = kDiffusion ? kBufferCount : 2;

    Meter meter;
    int32_t done = 0;
    while (done < n) {
        int32_t run = n - done;
        for (int b = 0; b < buffersInUse; ++b) run = std::min(run, pos[b] + 1);

        double* const lineL = m_buffer[kLineLeft] + pos[kLineLeft];
        double* const lineR = m_buffer[kLineRight] + pos[kLineRight];
        double* const diff1 = m_buffer[kDiffusion1] + pos[kDiffusion1];
        double* const diff2 = m_buffer[kDiffusion2] + pos[kDiffusion2];
        double* const diff3 = m_buffer[kDiffusion3] + pos[kDiffusion3];
        double* const diff4 = m_buffer[kDiffusion4] + pos[kDiffusion4];

        for (int32_t j = 0; j < run; ++j) {
            Pair s;
            if (kChannels == 2) {
                s = kGuard ? Pair::ReadFrameGuarded(in, offset, inputLimit) : Pair::ReadFrame(in, offset);
                in += 2;
            } else if (kChannels == 1) {
                s = kGuard ? Pair::ReadMonoGuarded(in, offset, inputLimit) : Pair::ReadMono(in, offset);
                in += 1;
            } else {
                s = silence;
            }

            Pair x = s;
            if (kDiffusion) {
                // Left stage 1 and right stage 2, then left 3 and right 4.
                Pair y = Pair::Gather(diff1 - j, diff2 - j) - g1 * x;
                (y * g1 + x).Scatter(diff1 - j, diff2 - j);
                x = y;
                y = Pair::Gather(diff3 - j, diff4 - j) - g2 * x;
                (y * g2 + x).Scatter(diff3 - j, diff4 - j);
                x = y;
            }
            if (kHighCut) {
                const Pair y1 = hc0 * (x - hy1) + hx1;
                const Pair y2 = hc1 * (x - hy2b) + hc2 * (hx1 - hy2a) + hx2;
                hx2 = hx1;
                hx1 = x;
                hy1 = y1;
                hy2b = hy2a;
                hy2a = y2;
                x = (y1 + y2) * half;
            }
            if (kLowCut) {
                const Pair y1 = lc0 * (x - ly1) + lx1;
                const Pair y2 = lc1 * (x - ly2b) + lc2 * (lx1 - ly2a) + lx2;
                lx2 = lx1;
                lx1 = x;
                ly1 = y1;
                ly2b = ly2a;
                ly2a = y2;
                x = (y1 - y2) * half;
            }

            const Pair d = Pair::Gather(lineL - j, lineR - j);
            const Pair w = (d * fb + x) + d.Swapped() * crossFeed;
            if (kGuard == kGuardLoop) {
                w.Bent(kLoopKnee).Scatter(lineL - j, lineR - j);
            } else if (kGuard == kGuardInput) {
                w.Limited(kLineLimit).Scatter(lineL - j, lineR - j);
            } else {
                w.Scatter(lineL - j, lineR - j);
            }
            // Right lane: dR * wetR + sR * dryR, the same sum as
            // sR * dryR + dR * wetR (addition commutes exactly).
            const Pair o = d * wet + s * dry;
            meter.Add(o);
            o.WriteFrame(out);
            out += 2;
        }

        for (int b = 0; b < buffersInUse; ++b) {
            pos[b] -= run;
            if (pos[b] < 0) pos[b] = length[b] - 1;
        }
        done += run;
    }

    for (int b = 0; b < buffersInUse; ++b) m_pos[b] = pos[b];
    if (kHighCut) {
        hx1.Store(m_highCutState.x1);
        hx2.Store(m_highCutState.x2);
        hy1.Store(m_highCutState.y1);
        hy2a.Store(m_highCutState.y2a);
        hy2b.Store(m_highCutState.y2b);
    }
    if (kLowCut) {
        lx1.Store(m_lowCutState.x1);
        lx2.Store(m_lowCutState.x2);
        ly1.Store(m_lowCutState.y1);
        ly2a.Store(m_lowCutState.y2a);
        ly2b.Store(m_lowCutState.y2b);
    }

    if (meter.ClipLeft()) *frameMeter.clipLeft = 3;
    if (meter.ClipRight()) *frameMeter.clipRight = 3;
    frameMeter.maxLeft = std::max(frameMeter.maxLeft, meter.MaxLeft());
    frameMeter.maxRight = std::max(frameMeter.maxRight, meter.MaxRight());
}
