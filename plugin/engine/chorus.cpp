#include "engine/chorus.h"

#include <cmath>

#include <new>

#include <emmintrin.h>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr float kLineMs = 1000.0f;
constexpr float kInitialLfoRate = 0.015f;  // Hz
constexpr float kMinLfoRate = 1e-6f;       // Hz
}

// ---- ChorusLfo ----

ChorusLfo::ChorusLfo()
    : sampleRate(44100.0f), rateHz(kInitialLfoRate), phase(0.0f), increment(0.0f), table(nullptr),
      ownTable(nullptr), tableSize(0), value(0.0f) {}

ChorusLfo::~ChorusLfo() { free(); }

int ChorusLfo::init(float rate, const float* sineTable, int size) {
    free();
    sampleRate = fx::acceptSampleRate(rate, 44100.0f);
    if (sineTable) {
        if (size < 2) return 1;
        table = sineTable;
        tableSize = size;
    } else {
        ownTable = new (std::nothrow) float[fx::kSineSize + 1];
        if (!ownTable) return 1;
        fx::buildSineTable(ownTable, fx::kSineSize);
        table = ownTable;
        tableSize = fx::kSineSize;
    }
    phase = 0.0f;
    value = 0.0f;
    rateHz = kInitialLfoRate;
    updateIncrement();
    return 0;
}

void ChorusLfo::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    updateIncrement();
}

void ChorusLfo::setRate(float hz) {
    rateHz = hz >= kMinLfoRate ? hz : kMinLfoRate;  // also NaN
    if (!(rateHz <= FLT_MAX)) rateHz = kMinLfoRate;
    updateIncrement();
}

void ChorusLfo::updateIncrement() {
    increment = tableSize > 0 ? fx::wrapIncrement((double)tableSize * rateHz / sampleRate, tableSize) : 0.0f;
}

void ChorusLfo::free() {
    delete[] ownTable;
    ownTable = nullptr;
    table = nullptr;
    tableSize = 0;
}

// ---- Chorus ----

Chorus::Chorus()
    : initialised(0), sampleRate(44100.0f), mode(0), depthTarget(1.0f), depth(0.5f),
      depthCoefficient(0.0f), bandPass() {}

Chorus::~Chorus() { free(); }

int Chorus::init(const ChorusRecord* record) {
    free();
    if (!record) return 1;
    sampleRate = fx::acceptSampleRate(record->sampleRate, 44100.0f);
    if (line1.init(sampleRate, kLineMs) || line2.init(sampleRate, kLineMs) ||
        lfo1.init(sampleRate, record->sineTable, record->sineSize) ||
        lfo2.init(sampleRate, record->sineTable, record->sineSize)) {
        free();
        return 1;
    }
    mode = 0;
    depthTarget = 1.0f;
    depth = 0.5f;
    depthCoefficient = (float)fx::onePoleCoefficient(0.2 * sampleRate);
    computeBandPass();
    bandPass.x1 = bandPass.x2 = bandPass.y1 = bandPass.y2 = 0.0f;
    initialised = 1;
    return 0;
}

void Chorus::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    depthCoefficient = (float)fx::onePoleCoefficient(0.2 * sampleRate);
    line1.setSampleRate(sampleRate);
    line2.setSampleRate(sampleRate);
    lfo1.setSampleRate(sampleRate);
    lfo2.setSampleRate(sampleRate);
    // Mended: the band-pass follows the rate too, so it stays at 1000 Hz.
    computeBandPass();
}

// Q 0.5 band-pass at 1000 Hz with unity peak, H(s) = 4000 pi s / (s^2 + 4000 pi s + (2000 pi)^2),
// by the bilinear transform.
void Chorus::computeBandPass() {
    const double d = 1.0 / (2.0 * sampleRate);
    const double w2d2 = (2000.0 * kPi) * (2000.0 * kPi) * d * d;
    const double bd = 4000.0 * kPi * d;
    const double g = 1.0 / (w2d2 + bd + 1.0);
    bandPass.b0 = (float)(bd * g);
    bandPass.b2 = -bandPass.b0;
    bandPass.a1 = (float)(2.0 * (w2d2 - 1.0) * g);
    bandPass.a2 = (float)((w2d2 - bd + 1.0) * g);
}

int Chorus::message(const ChorusRecord* record, int code) {
    if (!record || code != kChorusSettings) return 0;
    mode = record->mode;
    float rate1, target;
    if (mode != 0) {
        rate1 = record->speed * 0.1f;
        target = record->depth;
    } else {
        rate1 = record->speed + 2.0f;
        target = record->depth * 0.85f;
    }
    depthTarget = fx::clampOr(target, 0.0f, 1.0f, 0.0f);
    lfo1.setRate(rate1);
    lfo2.setRate(lfo1.getRate() * 0.11f);
    return 0;
}

// Taps of one line for four samples: ms = scale r + offset, as DelayLine::tap turns it into
// whole samples and a fraction, and the quadratic read's three weights of that fraction.
namespace {
struct QuadraticTaps {
    alignas(16) int back[4];
    alignas(16) float w0[4], w1[4], w2[4];
};

inline void quadraticTaps(__m128 r, float scale, float offset, float samplesPerMs, float maxDelay,
                          QuadraticTaps& taps) {
    const __m128 ms = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(scale), r), _mm_set1_ps(offset));
    __m128 d = _mm_mul_ps(ms, _mm_set1_ps(samplesPerMs));
    d = _mm_and_ps(d, _mm_cmpgt_ps(d, _mm_setzero_ps()));  // also NaN
    d = _mm_min_ps(d, _mm_set1_ps(maxDelay));
    const __m128i i = _mm_cvttps_epi32(d);
    const __m128 a = _mm_sub_ps(d, _mm_cvtepi32_ps(i));
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 b = _mm_sub_ps(_mm_set1_ps(1.0f), a);
    const __m128 aa = _mm_mul_ps(a, a);
    _mm_store_si128(reinterpret_cast<__m128i*>(taps.back), i);
    _mm_store_ps(taps.w0, _mm_mul_ps(_mm_mul_ps(b, b), half));
    _mm_store_ps(taps.w1, _mm_sub_ps(_mm_add_ps(half, a), aa));
    _mm_store_ps(taps.w2, _mm_mul_ps(aa, half));
}

// The quadratic read of four samples whose newest positions are newest[0..3].
inline __m128 readQuadratic(const float* buffer, const int* newest, const QuadraticTaps& taps) {
    alignas(16) float p[3][4];
    for (int k = 0; k < 4; ++k) {
        const float* at = buffer + newest[k] - taps.back[k];
        p[0][k] = at[0];
        p[1][k] = at[-1];
        p[2][k] = at[-2];
    }
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_load_ps(taps.w0), _mm_load_ps(p[0])),
                                 _mm_mul_ps(_mm_load_ps(taps.w1), _mm_load_ps(p[1]))),
                      _mm_mul_ps(_mm_load_ps(taps.w2), _mm_load_ps(p[2])));
}

// A line's quadratic reads for a stretch: sample n at scale x r + offset ms, r = dl - dr + 2,
// from where the newest sample stood at its turn.
void readStretch(const DelayLine& line, const int* newest, const float* dl, const float* dr, float scale,
                 float offset, float* out, int count) {
    const float* buffer = line.samples();
    const float samplesPerMs = line.getSamplesPerMs(), maxDelay = line.getMaxDelaySamples();
    const __m128 two = _mm_set1_ps(2.0f);
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const __m128 r = _mm_add_ps(_mm_sub_ps(_mm_load_ps(dl + n), _mm_load_ps(dr + n)), two);
        QuadraticTaps taps;
        quadraticTaps(r, scale, offset, samplesPerMs, maxDelay, taps);
        _mm_store_ps(out + n, readQuadratic(buffer, newest + n, taps));
    }
    for (; n < count; ++n) {
        const float r = dl[n] - dr[n] + 2.0f;
        const DelayLine::Tap tap = line.tap(scale * r + offset);
        const float* at = buffer + newest[n] - tap.samples;
        const float a = tap.fraction, b = 1.0f - a;
        out[n] = b * b * 0.5f * at[0] + (0.5f + a - a * a) * at[-1] + a * a * 0.5f * at[-2];
    }
}

// fx::flushState of each sample, four at a time.
void flushInto(float* out, const float* in, int count) {
    int n = 0;
    for (; n + 4 <= count; n += 4) _mm_store_ps(out + n, fx::flushState(_mm_load_ps(in + n)));
    for (; n < count; ++n) out[n] = fx::flushState(in[n]);
}
}  // namespace

void Chorus::process(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    if (!initialised || !leftIn || !rightIn || !leftOut || !rightOut) return;
    // The stretch path reads both lines quadratically; delays of exactly 0 ms never occur here
    // (at least 1.685 ms), so the reads are DelayLine::read's.
    if (line1.getReadMode() != kDelayReadQuadratic || line2.getReadMode() != kDelayReadQuadratic) {
        processReference(leftIn, rightIn, leftOut, rightOut, count);
        return;
    }
    for (int start = 0; start < count; start += kStretch) {
        const int n = count - start < kStretch ? count - start : kStretch;
        runStretch(leftIn + start, rightIn + start, leftOut + start, rightOut + start, n);
    }
    if (std::fabs(depth - depthTarget) < 1e-7f) depth = depthTarget;
}

// processReference's steps reordered: the depth, the LFOs and the band-pass run sample by
// sample first; every band-passed sample then goes into the first line at once, and each
// read goes from where the newest sample stood at its turn. The reads reach at least 1.685 ms
// back and the lines hold a second, so no later push reaches a sample a read takes. The taps,
// weights and mixes take four samples at a time.
void Chorus::runStretch(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    alignas(16) float band[kStretch], mono[kStretch], dl[kStretch], dr[kStretch], t[kStretch], u[kStretch];
    float d = depth;
    const float dTarget = depthTarget, dCoefficient = depthCoefficient;
    BandPass filter = bandPass;
    for (int n = 0; n < count; ++n) {
        d += (dTarget - d) * dCoefficient;
        const float v1 = lfo1.step();
        const float v2 = lfo2.step();
        const float m = (leftIn[n] + rightIn[n]) * 0.5f;
        band[n] = filter.step(m);
        mono[n] = m;
        dl[n] = v1 * d;
        dr[n] = v2 * d;
    }
    bandPass = filter;
    depth = d;

    // Each sample's newest positions: the first line's after its own push, the second line's
    // before it.
    alignas(16) int newest1[kStretch], newest2[kStretch];
    newest2[0] = line2.newestPosition();
    for (int n = 0; n < count; ++n) {
        newest1[n] = line1.newestAfter(n + 1);
        if (n > 0) newest2[n] = line2.newestAfter(n);
    }
    line1.pushBlock(band, count);
    readStretch(line1, newest1, dl, dr, 1.065f, 3.17f, t, count);
    // The second line takes t flushed.
    flushInto(band, t, count);
    line2.pushBlock(band, count);
    readStretch(line2, newest2, dl, dr, 0.7575f, 1.685f, u, count);

    const __m128 one = _mm_set1_ps(1.0f), spread = _mm_set1_ps(0.8f), dryGain = _mm_set1_ps(0.6f);
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const __m128 sl = _mm_mul_ps(spread, _mm_load_ps(dl + n)), sr = _mm_mul_ps(spread, _mm_load_ps(dr + n));
        const __m128 vt = _mm_load_ps(t + n), vu = _mm_load_ps(u + n);
        const __m128 dry = _mm_mul_ps(dryGain, _mm_load_ps(mono + n));
        _mm_storeu_ps(leftOut + n, _mm_add_ps(_mm_add_ps(dry, _mm_mul_ps(_mm_add_ps(one, sl), vu)),
                                              _mm_mul_ps(_mm_add_ps(one, sr), vt)));
        _mm_storeu_ps(rightOut + n, _mm_add_ps(_mm_add_ps(dry, _mm_mul_ps(_mm_sub_ps(one, sl), vu)),
                                               _mm_mul_ps(_mm_sub_ps(one, sr), vt)));
    }
    for (; n < count; ++n) {
        const float dry = 0.6f * mono[n];
        leftOut[n] = dry + (1.0f + 0.8f * dl[n]) * u[n] + (1.0f + 0.8f * dr[n]) * t[n];
        rightOut[n] = dry + (1.0f - 0.8f * dl[n]) * u[n] + (1.0f - 0.8f * dr[n]) * t[n];
    }
}

void Chorus::processReference(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    if (!initialised || !leftIn || !rightIn || !leftOut || !rightOut) return;
    // The state on locals: the lines' and outputs' stores could otherwise be these floats.
    float d = depth;
    const float dTarget = depthTarget, dCoefficient = depthCoefficient;
    BandPass filter = bandPass;
    for (int n = 0; n < count; ++n) {
        d += (dTarget - d) * dCoefficient;
        float v1 = lfo1.step();
        float v2 = lfo2.step();

        float m = (leftIn[n] + rightIn[n]) * 0.5f;
        float y = filter.step(m);

        float dl = v1 * d;
        float dr = v2 * d;
        float r = dl - dr + 2.0f;
        line1.push(y);
        float t = line1.read(1.065f * r + 3.17f);
        float u = line2.read(0.7575f * r + 1.685f);
        line2.push(fx::flushState(t));

        float dry = 0.6f * m;
        leftOut[n] = dry + (1.0f + 0.8f * dl) * u + (1.0f + 0.8f * dr) * t;
        rightOut[n] = dry + (1.0f - 0.8f * dl) * u + (1.0f - 0.8f * dr) * t;
    }
    bandPass = filter;
    depth = d;
    if (std::fabs(depth - depthTarget) < 1e-7f) depth = depthTarget;
}

void Chorus::clear() {
    line1.clear();
    line2.clear();
    bandPass.x1 = bandPass.x2 = bandPass.y1 = bandPass.y2 = 0.0f;
}

void Chorus::free() {
    line1.free();
    line2.free();
    lfo1.free();
    lfo2.free();
    initialised = 0;
}
