#include "engine/lfo_oscillator.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

const double kMinimumRate = 1e-5;  // Hz
const double kMaximumRate = 3.4e38;  // Hz: keeps the slopes finite
const double kSinePoints = 8192.0;

// Folds a value that has run below the bottom of its range (bottom .. bottom + span) back into
// it. One span is the usual case; more only when a block is longer than a half-cycle.
inline double foldUp(double v, double bottom, double span) {
    v += span;
    if (v < bottom) v += span * std::ceil((bottom - v) / span);
    return v;
}

}  // namespace

int32_t lfoWaveform(int32_t letter) { return letter >= kLfoSine && letter <= kLfoSampleInput ? letter : kLfoSine; }

double lfoRateFactor(double m) {
    if (!(m == m)) return 1.0;
    if (m > 8.0) m = 8.0;
    if (m < -8.0) m = -8.0;
    return std::exp2(6.0 * m);
}

const float* lfoSineTable(const float* given, int32_t size, float** own) {
    if (given != nullptr && size >= kLfoSineSize) return given;
    float* table = new (std::nothrow) float[kLfoSineSize];
    *own = table;
    if (table == nullptr) return nullptr;
    const double step = 2.0 * 3.14159265358979323846 / kSinePoints;
    for (int i = 0; i < kLfoSineSize - 1; ++i) table[i] = static_cast<float>(std::sin(step * i));
    table[kLfoSineSize - 1] = table[0];
    return table;
}

void LfoOutputs::attach(float* samples, float* silence, int32_t blockLength, int32_t historyLength) {
    std::memset(this, 0, sizeof(*this));
    buffer = samples;
    length = blockLength + historyLength;
    value.controlRate = 1;
    value.kind = kPortSamples;
    value.blockLength = blockLength;
    value.historyLength = historyLength;
    value.samples = samples + historyLength;
    gate.controlRate = 1;
    gate.kind = kPortGate;
    gate.blockLength = blockLength;
    gate.historyLength = historyLength;
    gate.samples = silence + historyLength;
    gate.gate = &gateRecord;
}

void LfoOutputs::detach() {
    buffer = nullptr;
    value.samples = nullptr;
    gate.samples = nullptr;
    valueUses = gateUses = 0;
}

SignalPort* LfoOutputs::take(int kind) {
    if (kind == kLfoOutGate) {
        ++gateUses;
        return &gate;
    }
    ++valueUses;
    return &value;
}

void LfoOutputs::release(int kind) {
    int32_t& uses = kind == kLfoOutGate ? gateUses : valueUses;
    if (uses > 0) --uses;
}

void LfoOutputs::write(float v, int32_t flag) {
    value.samples[-1] = value.samples[0];
    value.samples[0] = v;
    if (gateUses > 0) gateRecord.gate = flag == 0 ? 1 : 0;
}

void LfoOutputs::clear() {
    std::memset(buffer, 0, sizeof(float) * length);
    gateRecord.gate = 0;
    gateRecord.retrigger = 0;
}

void LfoOscillator::reset(int32_t letter, float hz) {
    wave = lfoWaveform(letter);
    baseRate = hz;
    ramp = triangle = 0.0;
    flag = 0;
    sinePhase = 0.0f;
    holdTime = 0.0;
    held = 0.0f;
    rateChanged = 0;
    setShape(hz);
}

void LfoOscillator::setShape(double hz) {
    // Fast rates need no cap: the wave step folds any number of periods back into range. NaN
    // or a negative rate from outside becomes the minimum; an infinite one the largest float.
    if (!(hz > kMinimumRate)) hz = kMinimumRate;
    if (hz > kMaximumRate) hz = kMaximumRate;
    rate = hz;
    period = 1.0 / hz;
    h = (wave == kLfoSawUp || wave == kLfoSawDown) ? 0.0 : 0.5;
    s1 = 2.0 * hz / (1.0 - h);
    // The sawtooth waves have no second half-cycle slope (2 x rate / 0); their triangle is unused.
    s2 = h > 0.0 ? 2.0 * hz / h : 0.0;
    e = 1.0 - 2.0 * h / (1.0 - h);
}

void LfoOscillator::restart(double x) {
    sinePhase = static_cast<float>(8191.0 * x);
    if (wave == kLfoSquare && x < 0.5) {
        flag = 1;
        ramp = triangle = (0.5 - x) * 2.0;
    } else if (wave == kLfoSquare) {
        flag = 0;
        ramp = triangle = 2.0 * x;
    } else {
        flag = 0;
        ramp = triangle = x;
    }
    holdTime = x * period;
    held = static_cast<float>(x);
}

float LfoOscillator::step(double d, const float* sine, bool runRamp, double blockRandom,
                          LogisticGenerator& generator, float holdInput) {
    float value = 0.0f;
    if (wave == kLfoSine) {
        double phase = sinePhase + kSinePoints * d * rate;
        phase -= kSinePoints * std::floor(phase / kSinePoints);
        if (!(phase < kSinePoints)) phase = 0.0;  // rounding at the top, or NaN
        sinePhase = static_cast<float>(phase);
        if (!(sinePhase < 8192.0f)) sinePhase = 0.0f;
        const int i = static_cast<int>(sinePhase);
        const float f = sinePhase - static_cast<float>(i);
        value = sine[i] + (sine[i + 1] - sine[i]) * f;
    }

    if (runRamp || (wave >= kLfoSquare && wave <= kLfoTriangle)) {
        ramp -= d * s1;
        if (flag == 0) {
            triangle = ramp;
            if (ramp < -1.0) {
                flag = 1;
                ramp = foldUp(ramp, -1.0, 2.0);
            }
        } else {
            triangle += d * s2;
            if (ramp < e) {
                flag = 0;
                // With h = 0 the next ramp starts where this one stands (1 - e = 0).
                ramp = triangle = h > 0.0 ? foldUp(ramp, e, 1.0 - e) : ramp;
            }
        }
    }

    switch (wave) {
    case kLfoSquare: value = static_cast<float>(flag); break;
    case kLfoSawUp: value = static_cast<float>(-ramp); break;
    case kLfoSawDown: value = static_cast<float>(ramp); break;
    case kLfoTriangle: value = static_cast<float>(triangle); break;
    case kLfoRandom: value = static_cast<float>(blockRandom); break;
    case kLfoSampleHold:
    case kLfoSampleInput:
        holdTime += d;
        if (holdTime > period) {
            holdTime = 0.0;
            held = wave == kLfoSampleHold ? static_cast<float>(generator.next()) : holdInput;
        }
        value = held;
        break;
    default: break;
    }
    return value;
}
