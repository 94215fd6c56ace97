// Numeric helpers shared by the effect modules (pedal processor, ring modulator, chorus,
// delay and the delay line).
#pragma once

#include <cfloat>
#include <cmath>

#include <emmintrin.h>

namespace fx {

// The effects run at any rate from 8 kHz to 384 kHz: their buffers do not depend on the rate
// (the delay's time limit scales with it above 48 kHz). A rate outside that range is clamped
// into it; one that is not a positive finite number leaves the previous rate in place.
constexpr float kMinSampleRate = 8000.0f;
constexpr float kMaxSampleRate = 384000.0f;

inline float acceptSampleRate(float rate, float previous) {
    if (!(rate > 0.0f) || !(rate <= FLT_MAX)) return previous;
    return rate < kMinSampleRate ? kMinSampleRate : (rate > kMaxSampleRate ? kMaxSampleRate : rate);
}

// v clamped into [lo, hi]; NaN gives the fallback.
inline float clampOr(float v, float lo, float hi, float fallback) {
    if (v != v) return fallback;
    return v < lo ? lo : (v > hi ? hi : v);
}

// One-pole coefficient c = 1 - exp(-1 / n) for a time constant of n steps (samples or blocks).
inline double onePoleCoefficient(double steps) { return 1.0 - std::exp(-1.0 / steps); }

// Values that would become denormal go to 0, and so does anything not finite, so that one
// bad input sample cannot stay in a filter history or a delay line.
inline float flushState(float v) {
    float a = std::fabs(v);
    return (a >= 1e-37f && a <= FLT_MAX) ? v : 0.0f;
}
// The same for four floats at once.
inline __m128 flushState(__m128 v) {
    const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
    return _mm_and_ps(v, _mm_and_ps(_mm_cmpge_ps(magnitude, _mm_set1_ps(1e-37f)),
                                    _mm_cmple_ps(magnitude, _mm_set1_ps(FLT_MAX))));
}
// Double histories are flushed well above the double denormals: a value this small is
// below the float denormals once it reaches the output.
inline double flushState(double v) {
    double a = std::fabs(v);
    return (a >= 1e-30 && a <= DBL_MAX) ? v : 0.0;
}

// The engine's sine layout: `size` points of one period, then a wrap point equal to the first.
constexpr int kSineSize = 8192;

inline void buildSineTable(float* table, int size) {
    const double step = 2.0 * 3.14159265358979323846 / size;
    for (int i = 0; i < size; ++i) table[i] = (float)std::sin(step * i);
    table[size] = table[0];
}

// Linear interpolation of such a table at a phase in [0, size): the wrap point serves the
// last interval.
inline float readSineTable(const float* table, float phase) {
    int i = (int)phase;
    float f = phase - (float)i;
    return table[i] + (table[i + 1] - table[i]) * f;
}

// A phase increment of `tableSize x cycles` reduced into [0, tableSize), so that one
// subtraction per step keeps the phase inside the table whatever the frequency.
inline float wrapIncrement(double increment, int tableSize) {
    double r = std::fmod(increment, (double)tableSize);
    if (!(r >= 0.0)) r = 0.0;
    float f = (float)r;
    return f < (float)tableSize ? f : 0.0f;
}

// Advances a phase by an increment from wrapIncrement and keeps it in [0, tableSize).
inline float advancePhase(float phase, float increment, int tableSize) {
    phase += increment;
    if (phase >= (float)tableSize) phase -= (float)tableSize;
    return phase;
}

}  // namespace fx
