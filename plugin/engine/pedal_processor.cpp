#include "engine/pedal_processor.h"

#include <cmath>
#include <cstring>

#include "engine/effect_util.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kSmoothingSeconds = 0.03 * 0.0001;
// Volume curve: pedal 0 leaves 0.015845 (about -36 dB).
constexpr float kVolumeSlope = 0.984151f;
constexpr float kVolumeFloor = 0.015845f;
// The wah's output gain, about -24 dB: its peak sits 6 to 12 dB above the dry level.
constexpr double kWahGain = 0.063;
constexpr double kSettledDistance = 0.0001;
}

PedalProcessor::PedalProcessor() { init(44100.0f); }

int PedalProcessor::init(float rate) {
    sampleRate = fx::acceptSampleRate(rate, 44100.0f);
    smoothing = fx::onePoleCoefficient(sampleRate * kSmoothingSeconds);
    volume = 1.0f;
    wahPedal = 0.0f;
    haveTargets = 0;
    settled = 1;
    for (int k = 0; k < kCoefficients; ++k) current[k] = target[k] = 0.0;
    current[kB0] = target[kB0] = 1.0;  // a pass-through until the pedal first moves
    clear();
    return 0;
}

void PedalProcessor::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    smoothing = fx::onePoleCoefficient(sampleRate * kSmoothingSeconds);
    // Mended: the wah keeps its frequency at the new rate.
    if (haveTargets) {
        computeTargets(wahPedal);
        std::memcpy(current, target, sizeof(current));
        settled = 1;
    }
}

void PedalProcessor::clear() { std::memset(history, 0, sizeof(history)); }

void PedalProcessor::process(int mode, int slot, const float* input, float* output, int count, float pedal) {
    if (!input || !output || count <= 0) return;
    pedal = fx::clampOr(pedal, 0.0f, 1.0f, 0.0f);
    slot = slot < 0 ? 0 : (slot >= kSlots ? kSlots - 1 : slot);
    switch (mode) {
    case kPedalVolume:
        applyVolume(input, output, count, pedal);
        break;
    case kPedalWah:
        applyWah(slot, input, output, count, pedal);
        break;
    case kPedalVolumeWah:
        applyVolume(input, output, count, pedal);
        applyWah(slot, output, output, count, pedal);
        break;
    default:
        if (output != input) std::memmove(output, input, sizeof(float) * (size_t)count);
        break;
    }
}

void PedalProcessor::applyVolume(const float* input, float* output, int count, float pedal) {
    if (std::fabs(volume - pedal) > 0.0001f) {
        const float c = (float)smoothing;
        for (int n = 0; n < count; ++n) {
            volume += (pedal - volume) * c;
            output[n] = input[n] * (volume * kVolumeSlope + kVolumeFloor);
        }
        if (volume < 1e-8f) volume = 0.0f;
        return;
    }
    volume = pedal;
    if (pedal == 1.0f) {
        if (output != input) std::memmove(output, input, sizeof(float) * (size_t)count);
        return;
    }
    const float gain = pedal * kVolumeSlope + kVolumeFloor;
    for (int n = 0; n < count; ++n) output[n] = input[n] * gain;
}

// Peaking filter at fc = 250 x 8^p Hz (250 to 2000 Hz) with A = 30 + 6p dB of boost and
// Q = p + 2: H(s) = (s^2 + (A w / Q) s + w^2) / (s^2 + (w / Q) s + w^2), bilinear transform
// with w prewarped so that the digital peak lies at fc.
void PedalProcessor::computeTargets(float pedal) {
    const double p = pedal;
    const double fc = 250.0 * std::pow(8.0, p);
    const double boost = std::pow(10.0, (30.0 + 6.0 * p) / 20.0);
    const double q = p + 2.0;
    const double w = 2.0 * sampleRate * std::tan(kPi * fc / sampleRate);
    const double g = 1.0 / (2.0 * sampleRate);
    const double t = g * g * w * w;
    const double d = 1.0 + g * w / q + t;
    target[kB0] = (1.0 + boost * g * w / q + t) / d;
    target[kB1] = 2.0 * (t - 1.0) / d;
    target[kB2] = (1.0 - boost * g * w / q + t) / d;
    target[kA1] = 2.0 * (t - 1.0) / d;
    target[kA2] = (1.0 - g * w / q + t) / d;
    haveTargets = 1;
}

void PedalProcessor::runWah(History& h, double b0, double b1, double b2, double a1, double a2, const float* input,
                            float* output, int count) {
    double x1 = h.x1, x2 = h.x2, y1 = h.y1, y2 = h.y2;
    for (int n = 0; n < count; ++n) {
        const double x = fx::flushState(input[n]);
        const double y = fx::flushState(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        output[n] = (float)(y * kWahGain);
    }
    h.x1 = x1;
    h.x2 = x2;
    h.y1 = y1;
    h.y2 = y2;
}

void PedalProcessor::applyWah(int slot, const float* input, float* output, int count, float pedal) {
    // Once settled, a pedal of exactly 0 leaves the wah where it is; targets for 0 are
    // computed only while the coefficients still move.
    if (!(settled && pedal == 0.0f)) {
        if (pedal != wahPedal) {
            computeTargets(pedal);
            wahPedal = pedal;
        }
        settled = 1;
        for (int k = 0; k < kCoefficients; ++k)
            if (std::fabs(current[k] - target[k]) > kSettledDistance) settled = 0;
    }

    History& h = history[slot];
    double b0 = current[kB0], b1 = current[kB1], b2 = current[kB2], a1 = current[kA1], a2 = current[kA2];
    if (b0 == target[kB0] && b1 == target[kB1] && b2 == target[kB2] && a1 == target[kA1] && a2 == target[kA2]) {
        // Arrived: a smoothing step would add exactly 0 to every coefficient.
        runWah(h, b0, b1, b2, a1, a2, input, output, count);
        return;
    }
    for (int n = 0; n < count; ++n) {
        b0 += (target[kB0] - b0) * smoothing;
        b1 += (target[kB1] - b1) * smoothing;
        b2 += (target[kB2] - b2) * smoothing;
        a1 += (target[kA1] - a1) * smoothing;
        a2 += (target[kA2] - a2) * smoothing;
        const double x = fx::flushState(input[n]);
        const double y = fx::flushState(b0 * x + b1 * h.x1 + b2 * h.x2 - a1 * h.y1 - a2 * h.y2);
        h.x2 = h.x1;
        h.x1 = x;
        h.y2 = h.y1;
        h.y1 = y;
        output[n] = (float)(y * kWahGain);
    }
    current[kB0] = b0;
    current[kB1] = b1;
    current[kB2] = b2;
    current[kA1] = a1;
    current[kA2] = a2;
}
