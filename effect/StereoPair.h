// Two doubles, left and right, that the engine treats as one value.
//
// The signal path does the same operations on both channels, so the engine
// keeps each stereo quantity in one pair and runs the pair through each
// operation once. Two implementations with one interface:
//   CSsePair    - the two lanes of an SSE2 register (every x86-64 processor);
//   CScalarPair - two plain doubles, for other processors and as a check.
// Each operation is the same IEEE double operation per lane (one add, one
// multiply, ...), never fused or reordered, so both give the same bits as
// the plain per-channel arithmetic. Inline only; no state.
#pragma once
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#define ZV_HAVE_SSE2 1
#include <emmintrin.h>
#endif

// Two doubles in two members. Lane 0 is left, lane 1 is right.
struct CScalarPair {
    double l, r;

    static CScalarPair Both(double v) { return {v, v}; }
    static CScalarPair Of(double left, double right) { return {left, right}; }
    // Left from *left, right from *right (two separate buffers).
    static CScalarPair Gather(const double* left, const double* right) { return {*left, *right}; }
    void Scatter(double* left, double* right) const {
        *left = l;
        *right = r;
    }
    static CScalarPair Load(const double* p) { return {p[0], p[1]}; }
    void Store(double* p) const {
        p[0] = l;
        p[1] = r;
    }

    friend CScalarPair operator+(CScalarPair a, CScalarPair b) { return {a.l + b.l, a.r + b.r}; }
    friend CScalarPair operator-(CScalarPair a, CScalarPair b) { return {a.l - b.l, a.r - b.r}; }
    friend CScalarPair operator*(CScalarPair a, CScalarPair b) { return {a.l * b.l, a.r * b.r}; }
    // Lanes exchanged: (right, left).
    CScalarPair Swapped() const { return {r, l}; }

    // Reading one input frame: each channel plus the anti-denormal offset,
    // added in the sample's own precision, then widened.
    static CScalarPair ReadFrame(const float* in, float offset) {
        return {static_cast<double>(in[0] + offset), static_cast<double>(in[1] + offset)};
    }
    static CScalarPair ReadFrame(const double* in, double offset) { return {in[0] + offset, in[1] + offset}; }
    static CScalarPair ReadMono(const float* in, float offset) { return Both(static_cast<double>(in[0] + offset)); }
    static CScalarPair ReadMono(const double* in, double offset) { return Both(in[0] + offset); }

    // The same for a guarded buffer: a sample that is not finite reads as
    // silence and one beyond +-limit as the limit, before the offset.
    template <class T>
    static T Sane(T x, T limit) {
        // x - x is 0 exactly for every finite x and NaN for NaN and
        // infinities (kept as written: no -ffast-math).
        return x - x == T(0) ? LimitLane(x, limit) : T(0);
    }
    template <class T>
    static CScalarPair ReadFrameGuarded(const T* in, T offset, T limit) {
        return {static_cast<double>(static_cast<T>(Sane(in[0], limit) + offset)),
                static_cast<double>(static_cast<T>(Sane(in[1], limit) + offset))};
    }
    template <class T>
    static CScalarPair ReadMonoGuarded(const T* in, T offset, T limit) {
        return Both(static_cast<double>(static_cast<T>(Sane(in[0], limit) + offset)));
    }

    // Each lane limited to [-limit, limit]; a NaN lane becomes -limit. The
    // same compares as the SSE2 max and min instructions, so both pairs give
    // the same bits.
    CScalarPair Limited(double limit) const {
        return {LimitLane(l, limit), LimitLane(r, limit)};
    }
    template <class T>
    static T LimitLane(T x, T limit) {
        const T low = x > -limit ? x : -limit;
        return low < limit ? low : limit;
    }

    // Each lane through the loop guard's curve (DelayNetwork.h) with knee k;
    // a NaN lane becomes -2k, as Limited makes it -limit.
    CScalarPair Bent(double knee) const { return {BendLane(l, knee), BendLane(r, knee)}; }
    static double BendLane(double x, double knee) {
        const double a = x < 0.0 ? -x : x;
        if (a <= knee) return x;
        const double bent = 2.0 * knee - knee * knee / a;
        return LimitLane(x < 0.0 ? -bent : bent, 2.0 * knee);
    }
    void WriteFrame(float* out) const {
        out[0] = static_cast<float>(l);
        out[1] = static_cast<float>(r);
    }
    void WriteFrame(double* out) const {
        out[0] = l;
        out[1] = r;
    }
};

// Running meter state over one buffer: the largest |x| per lane (a NaN never
// becomes the maximum) and whether any sample was above 1.0, below -1.0 or
// NaN.
struct CScalarMeter {
    double maxL = 0.0, maxR = 0.0;
    bool clipL = false, clipR = false;

    void Add(CScalarPair x) {
        const double al = x.l < 0.0 ? -x.l : x.l;
        const double ar = x.r < 0.0 ? -x.r : x.r;
        if (al > maxL) maxL = al;
        if (ar > maxR) maxR = ar;
        if (x.l > 1.0 || !(x.l >= -1.0)) clipL = true;
        if (x.r > 1.0 || !(x.r >= -1.0)) clipR = true;
    }
    double MaxLeft() const { return maxL; }
    double MaxRight() const { return maxR; }
    bool ClipLeft() const { return clipL; }
    bool ClipRight() const { return clipR; }
};

#ifdef ZV_HAVE_SSE2
// Two doubles in one SSE2 register: lane 0 left, lane 1 right.
struct CSsePair {
    __m128d v;

    static CSsePair Both(double x) { return {_mm_set1_pd(x)}; }
    static CSsePair Of(double left, double right) { return {_mm_set_pd(right, left)}; }
    static CSsePair Gather(const double* left, const double* right) {
        return {_mm_loadh_pd(_mm_load_sd(left), right)};
    }
    void Scatter(double* left, double* right) const {
        _mm_storel_pd(left, v);
        _mm_storeh_pd(right, v);
    }
    static CSsePair Load(const double* p) { return {_mm_loadu_pd(p)}; }
    void Store(double* p) const { _mm_storeu_pd(p, v); }

    friend CSsePair operator+(CSsePair a, CSsePair b) { return {_mm_add_pd(a.v, b.v)}; }
    friend CSsePair operator-(CSsePair a, CSsePair b) { return {_mm_sub_pd(a.v, b.v)}; }
    friend CSsePair operator*(CSsePair a, CSsePair b) { return {_mm_mul_pd(a.v, b.v)}; }
    CSsePair Swapped() const { return {_mm_shuffle_pd(v, v, 1)}; }

    static CSsePair ReadFrame(const float* in, float offset) {
        // Two floats, offset added in single precision, then widened.
        const __m128 s = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(in)));
        return {_mm_cvtps_pd(_mm_add_ps(s, _mm_set1_ps(offset)))};
    }
    static CSsePair ReadFrame(const double* in, double offset) {
        return {_mm_add_pd(_mm_loadu_pd(in), _mm_set1_pd(offset))};
    }
    static CSsePair ReadMono(const float* in, float offset) {
        return Both(static_cast<double>(in[0] + offset));
    }
    static CSsePair ReadMono(const double* in, double offset) { return Both(in[0] + offset); }

    // Guarded reads, as CScalarPair's: a lane that is not finite is zeroed
    // (x - x == 0 holds for finite x only), then limited with the max and
    // min compares, then offset.
    static CSsePair ReadFrameGuarded(const float* in, float offset, float limit) {
        __m128 s = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(in)));
        s = _mm_and_ps(s, _mm_cmpeq_ps(_mm_sub_ps(s, s), _mm_setzero_ps()));
        s = _mm_min_ps(_mm_max_ps(s, _mm_set1_ps(-limit)), _mm_set1_ps(limit));
        return {_mm_cvtps_pd(_mm_add_ps(s, _mm_set1_ps(offset)))};
    }
    static CSsePair ReadFrameGuarded(const double* in, double offset, double limit) {
        __m128d s = _mm_loadu_pd(in);
        s = _mm_and_pd(s, _mm_cmpeq_pd(_mm_sub_pd(s, s), _mm_setzero_pd()));
        s = _mm_min_pd(_mm_max_pd(s, _mm_set1_pd(-limit)), _mm_set1_pd(limit));
        return {_mm_add_pd(s, _mm_set1_pd(offset))};
    }
    template <class T>
    static CSsePair ReadMonoGuarded(const T* in, T offset, T limit) {
        return Both(static_cast<double>(static_cast<T>(CScalarPair::Sane(in[0], limit) + offset)));
    }

    // maxpd(a, b) is (a > b ? a : b) and minpd(a, b) is (a < b ? a : b):
    // CScalarPair::Limited does the same compares.
    CSsePair Limited(double limit) const {
        return {_mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-limit)), _mm_set1_pd(limit))};
    }
    // As CScalarPair::BendLane per lane: the magnitude bent where it is above
    // the knee (a NaN fails the compare and is bent too), the sign put back,
    // then limited to +-2k, where a NaN becomes -2k.
    CSsePair Bent(double knee) const {
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d a = _mm_andnot_pd(sign, v);
        const __m128d straight = _mm_cmple_pd(a, _mm_set1_pd(knee));
        const __m128d bent = _mm_or_pd(_mm_sub_pd(_mm_set1_pd(2.0 * knee), _mm_div_pd(_mm_set1_pd(knee * knee), a)),
                                       _mm_and_pd(v, sign));
        const CSsePair chosen{_mm_or_pd(_mm_and_pd(straight, v), _mm_andnot_pd(straight, bent))};
        return chosen.Limited(2.0 * knee);
    }
    void WriteFrame(float* out) const {
        // Narrowing rounds to nearest, as a scalar conversion does.
        _mm_store_sd(reinterpret_cast<double*>(out), _mm_castps_pd(_mm_cvtpd_ps(v)));
    }
    void WriteFrame(double* out) const { _mm_storeu_pd(out, v); }
};

struct CSseMeter {
    __m128d max = _mm_setzero_pd();
    __m128d clip = _mm_setzero_pd();   // all ones in a lane once it clipped

    void Add(CSsePair x) {
        const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x.v);
        // maxpd(a, b) is (a > b ? a : b): a NaN leaves the maximum as it was.
        max = _mm_max_pd(magnitude, max);
        const __m128d above = _mm_cmpgt_pd(x.v, _mm_set1_pd(1.0));
        const __m128d notAtLeast = _mm_cmpnge_pd(x.v, _mm_set1_pd(-1.0));   // true for NaN too
        clip = _mm_or_pd(clip, _mm_or_pd(above, notAtLeast));
    }
    double MaxLeft() const { return _mm_cvtsd_f64(max); }
    double MaxRight() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(max, max)); }
    bool ClipLeft() const { return (_mm_movemask_pd(clip) & 1) != 0; }
    bool ClipRight() const { return (_mm_movemask_pd(clip) & 2) != 0; }
};
#endif
