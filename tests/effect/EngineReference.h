// A second, deliberately plain implementation of the effect's signal path,
// written from the documented rules one channel and one operation at a time,
// for the tests to compare the engine against. It shares no code with
// effect/: constants, gains, lengths, cutoffs and coefficients are all worked
// out here again.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "effect/ParamTable.h"

class CReferenceEngine {
public:
    explicit CReferenceEngine(uint32_t rate) : m_rate(rate) {
        m_line[0].assign(4 * static_cast<size_t>(rate), 0.0);
        m_line[1].assign(4 * static_cast<size_t>(rate), 0.0);
        const int sizes[4] = {512, 512, 1024, 1024};
        for (int i = 0; i < 4; ++i) m_diff[i].assign(sizes[i], 0.0);
    }

    // Output gains: left dry, left wet, right dry, right wet.
    static void Gains(const ParamBlock& p, double g[4]) {
        double level = 0.0;
        if (p[kParamOutput] > -361) level = std::pow(10.0, p[kParamOutput] * 0.005);
        const double thetaL = p[kParamMixL] * 3.14159265 * 0.005;
        const double thetaR = p[kParamMixR] * 3.14159265 * 0.005;
        g[0] = std::cos(thetaL) * level;
        g[1] = std::sin(thetaL) * level;
        g[2] = std::cos(thetaR) * level;
        g[3] = std::sin(thetaR) * level;
    }

    static int32_t Length(int32_t delay, uint32_t rate) {
        const int64_t product = static_cast<int64_t>(delay) * static_cast<int64_t>(rate);
        const int64_t len = product / 10000;
        return len < 1 ? 1 : static_cast<int32_t>(len);
    }

    static int32_t Cutoff(double exponentStep, uint32_t rate) {
        int32_t f = static_cast<int32_t>(std::floor(std::pow(10.0, exponentStep * 0.01) * 20 + 0.5));
        if (2.0 * f >= static_cast<double>(rate)) f = static_cast<int32_t>((rate - 1) / 2);
        return f;
    }

    // A buffer is guarded when feedback and cross-feed into either line add
    // up to more than 100 %, or when an input sample it reads is NaN, an
    // infinity or at least 2^40 in size. In a guarded buffer such a sample
    // reads as 0 (not finite) or +-2^40. What enters a line stays within
    // 2^40 when only the input called for the guard (NaN would take the
    // lower bound); when the settings did, it is bent above full scale to
    // 2 - 1/|v| (NaN gives -2).
    static constexpr double kBound = 1099511627776.0;
    static double Limit(double v) {
        if (!(v >= -kBound)) return -kBound;
        return v > kBound ? kBound : v;
    }
    static double Bend(double v) {
        if (std::isnan(v)) return -2.0;
        if (std::fabs(v) <= 1.0) return v;
        return std::copysign(2.0 - 1.0 / std::fabs(v), v);
    }
    static bool LoopCanGrow(const ParamBlock& p) {
        return p[kParamFeedbkL] + p[kParamXfeedR] > 100 || p[kParamFeedbkR] + p[kParamXfeedL] > 100;
    }
    template <typename T>
    static T Sane(T x) {
        if (!std::isfinite(x)) return T(0);
        return static_cast<T>(Limit(x));
    }
    template <typename T>
    static bool Guarded(const ParamBlock& p, const T* in, int samples) {
        if (LoopCanGrow(p)) return true;
        for (int k = 0; k < samples; ++k) {
            if (!std::isfinite(in[k]) || std::fabs(static_cast<double>(in[k])) >= kBound) return true;
        }
        return false;
    }

    struct Coefs {
        double c0, c1, c2;
    };
    static Coefs Coefficients(int32_t f, double q, uint32_t rate) {
        const double x = f * 3.14159265 / rate;
        const double alpha = std::sin(2 * x) / (2 * q);
        const double k = 1 / (alpha + 1);
        const double t = std::tan(x);
        return {-(1 - t) / (t + 1), (1 - alpha) * k, -2 * std::cos(2 * x) * k};
    }

    // One buffer through the processing entry's loop (steps 4 to 6 of the
    // per-buffer flow, gains given). clip[2] is raised to 3; maxima are the
    // buffer's.
    template <typename T>
    void Process(const ParamBlock& p, const double gains[4], const T* in, int channels, T* out, int n,
                 int32_t clip[2], double maxima[2]) {
        const int32_t lenL = Length(p[kParamDelayL], m_rate);
        const int32_t lenR = Length(p[kParamDelayR], m_rate);
        const double fbL = p[kParamFeedbkL] * 0.01, fbR = p[kParamFeedbkR] * 0.01;
        const double xfL = p[kParamXfeedL] * 0.01, xfR = p[kParamXfeedR] * 0.01;
        const double dryL = p[kParamListen] == 1 ? 0.0 : gains[0];
        const double dryR = p[kParamListen] == 1 ? 0.0 : gains[2];
        const double wetL = gains[1], wetR = gains[3];

        const int32_t dt = p[kParamDiffTime];
        const int32_t len1 = dt * 424 / 83, len2 = dt * 368 / 83, len3 = dt * 698 / 83, len4 = dt * 577 / 83;
        const double g1 = p[kParamDiffAmnt] * 0.01 * -0.735;
        const double g2 = p[kParamDiffAmnt] * 0.01 * -0.618;

        const bool diffOn = p[kParamDiffAmnt] != 0;
        const bool highOn = p[kParamHighFreq] != 301;
        const bool lowOn = p[kParamLowFreq] != 0;
        Coefs hc{}, lc{};
        if (highOn) hc = Coefficients(Cutoff(p[kParamHighFreq], m_rate), p[kParamHighQ] * 0.01, m_rate);
        if (lowOn) lc = Coefficients(Cutoff(p[kParamLowFreq] - 1, m_rate), p[kParamLowQ] * 0.01, m_rate);

        const bool guard = Guarded(p, in, channels == 1 || channels == 2 ? channels * n : 0);
        auto read = [guard](T x) { return guard ? Sane(x) : x; };
        const bool bend = LoopCanGrow(p);
        auto enter = [guard, bend](double v) { return bend ? Bend(v) : guard ? Limit(v) : v; };

        maxima[0] = maxima[1] = 0.0;
        for (int f = 0; f < n; ++f) {
            double sL, sR;
            if (channels == 1) {
                sL = sR = static_cast<double>(static_cast<T>(read(in[0]) + static_cast<T>(1e-30f)));
                in += 1;
            } else if (channels == 2) {
                sL = static_cast<double>(static_cast<T>(read(in[0]) + static_cast<T>(1e-30f)));
                sR = static_cast<double>(static_cast<T>(read(in[1]) + static_cast<T>(1e-30f)));
                in += 2;
            } else {
                sL = sR = static_cast<double>(1e-30f);
            }
            double iL = sL, iR = sR;
            if (diffOn) {
                iL = Allpass(m_diff[0], m_dpos[0], len1, g1, iL);
                iL = Allpass(m_diff[2], m_dpos[2], len3, g2, iL);
                iR = Allpass(m_diff[1], m_dpos[1], len2, g1, iR);
                iR = Allpass(m_diff[3], m_dpos[3], len4, g2, iR);
            }
            if (highOn) {
                iL = Tone(m_high[0], hc, iL, true);
                iR = Tone(m_high[1], hc, iR, true);
            }
            if (lowOn) {
                iL = Tone(m_low[0], lc, iL, false);
                iR = Tone(m_low[1], lc, iR, false);
            }
            const double dL = m_line[0][m_pos[0]];
            const double dR = m_line[1][m_pos[1]];
            m_line[0][m_pos[0]] = enter((dL * fbL + iL) + dR * xfR);
            m_line[1][m_pos[1]] = enter((dR * fbR + iR) + dL * xfL);
            if (--m_pos[0] < 0) m_pos[0] = lenL - 1;
            if (--m_pos[1] < 0) m_pos[1] = lenR - 1;
            const double outL = dL * wetL + sL * dryL;
            const double outR = sR * dryR + dR * wetR;
            if (outL > 1.0 || !(outL >= -1.0)) clip[0] = 3;
            if (outR > 1.0 || !(outR >= -1.0)) clip[1] = 3;
            if (std::fabs(outL) > maxima[0]) maxima[0] = std::fabs(outL);
            if (std::fabs(outR) > maxima[1]) maxima[1] = std::fabs(outR);
            out[0] = static_cast<T>(outL);
            out[1] = static_cast<T>(outR);
            out += 2;
        }
    }

    int32_t Position(int i) const { return m_pos[i]; }
    int32_t DiffusionPosition(int i) const { return m_dpos[i]; }

private:
    struct ToneState {
        double x1 = 0, x2 = 0, y1 = 0, y2a = 0, y2b = 0;
    };

    static double Allpass(std::vector<double>& b, int32_t& pos, int32_t len, double g, double x) {
        const double y = b[pos] - g * x;
        b[pos] = y * g + x;
        pos = pos - 1;
        if (pos < 0) pos = len - 1;
        return y;
    }

    static double Tone(ToneState& s, const Coefs& c, double x, bool highCut) {
        const double y1 = c.c0 * (x - s.y1) + s.x1;
        const double y2 = c.c1 * (x - s.y2b) + c.c2 * (s.x1 - s.y2a) + s.x2;
        s.x2 = s.x1;
        s.x1 = x;
        s.y1 = y1;
        s.y2b = s.y2a;
        s.y2a = y2;
        return highCut ? (y1 + y2) * 0.5 : (y1 - y2) * 0.5;
    }

    uint32_t m_rate;
    std::vector<double> m_line[2];
    std::vector<double> m_diff[4];
    int32_t m_pos[2] = {0, 0};
    int32_t m_dpos[4] = {0, 0, 0, 0};
    ToneState m_high[2], m_low[2];
};
