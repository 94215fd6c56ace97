#include "engine/pedal_processor.h"

#include <cmath>
#include <cfloat>
#include <cstring>

#include <emmintrin.h>

#include "engine/effect_util.h"
#include "engine/engine_math.h"

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
    engine::scaleBlock(output, input, gain, count);
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

// Once settled, a pedal of exactly 0 leaves the wah where it is; targets for 0 are
// computed only while the coefficients still move. Asked twice in a row with the same
// pedal and unmoved coefficients, it leaves everything as the first time.
void PedalProcessor::prepareWah(float pedal) {
    if (settled && pedal == 0.0f) return;
    if (pedal != wahPedal) {
        computeTargets(pedal);
        wahPedal = pedal;
    }
    settled = 1;
    for (int k = 0; k < kCoefficients; ++k)
        if (std::fabs(current[k] - target[k]) > kSettledDistance) settled = 0;
}

// Arrived: a smoothing step would add exactly 0 to every coefficient.
bool PedalProcessor::wahArrived() const {
    for (int k = 0; k < kCoefficients; ++k)
        if (current[k] != target[k]) return false;
    return true;
}

void PedalProcessor::processSlots(int mode, const int* slots, float* const* blocks, int slotCount, int count,
                                  float pedal) {
    if (!slots || !blocks || slotCount <= 0 || count <= 0) return;
    const float p = fx::clampOr(pedal, 0.0f, 1.0f, 0.0f);
    int clamped[kSlots];
    const int n = slotCount < kSlots ? slotCount : kSlots;
    bool apart = true;  // the lanes need a history of their own each
    for (int i = 0; i < n; ++i) {
        if (!blocks[i]) return;
        clamped[i] = slots[i] < 0 ? 0 : (slots[i] >= kSlots ? kSlots - 1 : slots[i]);
        for (int j = 0; j < i; ++j) apart = apart && clamped[j] != clamped[i];
    }
    const bool wah = mode == kPedalWah || mode == kPedalVolumeWah;
    // While the coefficients move, slot after slot; the first slot's samples usually bring
    // them to their targets, and the rest run in the lanes.
    int i = 0;
    for (; i < n; ++i) {
        if (wah && apart) {
            prepareWah(p);
            if (wahArrived()) break;
        }
        process(mode, clamped[i], blocks[i], blocks[i], count, pedal);
    }
    // The volume and the wah keep apart states: all volumes first changes nothing.
    if (mode == kPedalVolumeWah)
        for (int k = i; k < n; ++k) applyVolume(blocks[k], blocks[k], count, p);
    for (; i + 4 <= n; i += 4) runWahLanes<2>(clamped + i, blocks + i, count);
    for (; i + 2 <= n; i += 2) runWahLanes<1>(clamped + i, blocks + i, count);
    if (i < n)
        runWah(history[clamped[i]], current[kB0], current[kB1], current[kB2], current[kA1], current[kA2], blocks[i],
               blocks[i], count);
}

// runWah for 2 x kPairs slots, a pair in the two lanes of each register: the same operations
// in the same order, so each slot's samples are those runWah gives. The pairs' recursions
// are independent, so each fills the others' wait for its last output.
template <int kPairs>
void PedalProcessor::runWahLanes(const int* slots, float* const* blocks, int count) {
    const __m128d b0 = _mm_set1_pd(current[kB0]), b1 = _mm_set1_pd(current[kB1]), b2 = _mm_set1_pd(current[kB2]);
    const __m128d a1 = _mm_set1_pd(current[kA1]), a2 = _mm_set1_pd(current[kA2]);
    const __m128d gain = _mm_set1_pd(kWahGain);
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
    // flushState's bounds: a float input's and a double history's.
    const __m128d inputLow = _mm_set1_pd(1e-37f), inputHigh = _mm_set1_pd(FLT_MAX);
    const __m128d stateLow = _mm_set1_pd(1e-30), stateHigh = _mm_set1_pd(DBL_MAX);
    const auto flush = [magnitude](__m128d v, __m128d low, __m128d high) {
        const __m128d m = _mm_and_pd(v, magnitude);
        return _mm_and_pd(v, _mm_and_pd(_mm_cmpge_pd(m, low), _mm_cmple_pd(m, high)));
    };
    __m128d x1[kPairs], x2[kPairs], y1[kPairs], y2[kPairs];
    float* a[kPairs];
    float* b[kPairs];
    for (int p = 0; p < kPairs; ++p) {
        const History& first = history[slots[2 * p]];
        const History& second = history[slots[2 * p + 1]];
        x1[p] = _mm_set_pd(second.x1, first.x1);
        x2[p] = _mm_set_pd(second.x2, first.x2);
        y1[p] = _mm_set_pd(second.y1, first.y1);
        y2[p] = _mm_set_pd(second.y2, first.y2);
        a[p] = blocks[2 * p];
        b[p] = blocks[2 * p + 1];
    }
    for (int n = 0; n < count; ++n) {
        for (int p = 0; p < kPairs; ++p) {
            const __m128d x = flush(_mm_set_pd(b[p][n], a[p][n]), inputLow, inputHigh);
            __m128d y = _mm_add_pd(_mm_mul_pd(b0, x), _mm_mul_pd(b1, x1[p]));
            y = _mm_add_pd(y, _mm_mul_pd(b2, x2[p]));
            y = _mm_sub_pd(y, _mm_mul_pd(a1, y1[p]));
            y = _mm_sub_pd(y, _mm_mul_pd(a2, y2[p]));
            y = flush(y, stateLow, stateHigh);
            x2[p] = x1[p];
            x1[p] = x;
            y2[p] = y1[p];
            y1[p] = y;
            const __m128 out = _mm_cvtpd_ps(_mm_mul_pd(y, gain));
            a[p][n] = _mm_cvtss_f32(out);
            b[p][n] = _mm_cvtss_f32(_mm_shuffle_ps(out, out, 1));
        }
    }
    for (int p = 0; p < kPairs; ++p) {
        History& first = history[slots[2 * p]];
        History& second = history[slots[2 * p + 1]];
        _mm_storel_pd(&first.x1, x1[p]);
        _mm_storeh_pd(&second.x1, x1[p]);
        _mm_storel_pd(&first.x2, x2[p]);
        _mm_storeh_pd(&second.x2, x2[p]);
        _mm_storel_pd(&first.y1, y1[p]);
        _mm_storeh_pd(&second.y1, y1[p]);
        _mm_storel_pd(&first.y2, y2[p]);
        _mm_storeh_pd(&second.y2, y2[p]);
    }
}

void PedalProcessor::applyWah(int slot, const float* input, float* output, int count, float pedal) {
    prepareWah(pedal);
    History& h = history[slot];
    double b0 = current[kB0], b1 = current[kB1], b2 = current[kB2], a1 = current[kA1], a2 = current[kA2];
    if (wahArrived()) {
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
