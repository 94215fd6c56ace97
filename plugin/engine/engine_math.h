// Small numeric helpers shared by the engine and its modules.
#pragma once

#include <cmath>
#include <cstdint>

#include <xmmintrin.h>

namespace engine {

const int kVoiceSlots = 32;
const int kSlotSounding = 16;  // voice state while a slot's amplifier envelopes sound
const int kSlotOff = 18;

inline int clampInt(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

inline int clampSlot(int slot) { return clampInt(slot, 0, kVoiceSlots - 1); }

// NaN becomes 0 (then clamped): a bad modulation value must not reach a module's state.
inline float clampFinite(float value, float low, float high) {
    if (value != value) value = 0.f;
    return value < low ? low : (value > high ? high : value);
}

inline bool isUsableRate(float rate) { return rate > 0.f && std::isfinite(rate); }

// A module's block length L and history length M as the engine hands them over.
inline bool areUsableLengths(int blockLength, int historyLength) {
    return blockLength > 0 && historyLength >= 0 && historyLength <= blockLength;
}

// One-pole step 1 - exp(-1 / n) for a time constant of n samples; a time constant of
// zero or less jumps (1) instead of dividing by zero.
inline float onePoleCoefficient(float timeSamples) {
    if (!(timeSamples > 0.f)) return 1.f;
    return 1.f - std::exp(-1.f / timeSamples);
}

// out = x g, four samples at a time, the same product for each; in place when out is x.
inline void scaleBlock(float* out, const float* x, float g, int count) {
    const __m128 gain = _mm_set1_ps(g);
    int n = 0;
    for (; n + 4 <= count; n += 4) _mm_storeu_ps(out + n, _mm_mul_ps(_mm_loadu_ps(x + n), gain));
    for (; n < count; ++n) out[n] = x[n] * g;
}

// Whether the processor and the system offer the 256-bit registers: modules built with code
// for them choose it when they start.
inline bool hasWideRegisters() {
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

}  // namespace engine
