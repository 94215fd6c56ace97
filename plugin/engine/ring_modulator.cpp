#include "engine/ring_modulator.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/effect_util.h"

#include <emmintrin.h>

const double RingModulator::kFir[RingModulator::kFirLength] = {
    0.0,
    -0.000404385841527682, -0.000726230961160342, 4.83662115820775e-05, 0.00185822333490595,
    0.00247612221839208, 0.000295580321019466, -0.0021763898660213, -0.00086460752295453,
    0.00299427574780429, 0.00298724661574068, -0.00242004509072902, -0.00513120670083245,
    0.000826966198767658, 0.00728081524803676, 0.00237858278217639, -0.00844812024045896,
    -0.00701133049168691, 0.00780981077931836, 0.0126821654423405, -0.00440606640828357,
    -0.0184736139604669, -0.00255584166515306, 0.0230506029365308, 0.0137314876882914,
    -0.0245846448923371, -0.0298017110595947, 0.0204749146196215, 0.0523946745359997,
    -0.00572614119920118, -0.0882307071001242, -0.0374637061816171, 0.185831745443371,
    0.404464895440028,
    // mirror of 1..33
    0.404464895440028, 0.185831745443371, -0.0374637061816171, -0.0882307071001242,
    -0.00572614119920118, 0.0523946745359997, 0.0204749146196215, -0.0298017110595947,
    -0.0245846448923371, 0.0137314876882914, 0.0230506029365308, -0.00255584166515306,
    -0.0184736139604669, -0.00440606640828357, 0.0126821654423405, 0.00780981077931836,
    -0.00701133049168691, -0.00844812024045896, 0.00237858278217639, 0.00728081524803676,
    0.000826966198767658, -0.00513120670083245, -0.00242004509072902, 0.00298724661574068,
    0.00299427574780429, -0.00086460752295453, -0.0021763898660213, 0.000295580321019466,
    0.00247612221839208, 0.00185822333490595, 4.83662115820775e-05, -0.000726230961160342,
    -0.000404385841527682,
};

namespace {
constexpr double kMixSmoothingSeconds = 0.03 * 0.0001;  // practically a jump
constexpr double kReleaseMs = 10.0;
constexpr float kAttackTarget = 1.1f;
constexpr float kDecayTarget = -0.1f;

// Four running sums side by side in the lanes of one register, added up as
// (s0 + s2) + (s1 + s3): a single float sum may not be reordered.
inline float sumLanes(const float* lane) { return (lane[0] + lane[2]) + (lane[1] + lane[3]); }

// n is a multiple of 2.
inline float dot(const float* a, const float* b, int n) {
    __m128 s = _mm_setzero_ps();
    int k = 0;
    for (; k + 4 <= n; k += 4) s = _mm_add_ps(s, _mm_mul_ps(_mm_loadu_ps(a + k), _mm_loadu_ps(b + k)));
    alignas(16) float lane[4];
    _mm_store_ps(lane, s);
    for (; k < n; k += 2) {
        lane[0] += a[k] * b[k];
        lane[1] += a[k + 1] * b[k + 1];
    }
    return sumLanes(lane);
}

// Two dots of the same samples, each summed as dot sums it; n is a multiple of 4.
inline void dotPair(const float* a, const float* b, const float* c, int n, float& ab, float& ac) {
    __m128 s = _mm_setzero_ps(), t = _mm_setzero_ps();
    for (int k = 0; k < n; k += 4) {
        const __m128 x = _mm_loadu_ps(a + k);
        s = _mm_add_ps(s, _mm_mul_ps(x, _mm_loadu_ps(b + k)));
        t = _mm_add_ps(t, _mm_mul_ps(x, _mm_loadu_ps(c + k)));
    }
    alignas(16) float lane[4];
    _mm_store_ps(lane, s);
    ab = sumLanes(lane);
    _mm_store_ps(lane, t);
    ac = sumLanes(lane);
}
}

RingModulator::RingModulator()
    : initialised(0), sampleRate(44100.0f), halfPeriod(0.5f / 44100.0f), blockLength(44), sine(nullptr), sineSize(0),
      baseFrequency(100.0f), rangeExponent(7), depth(0.0f), phase(0.0f), increment(0.0f), carrierFrequency(100.0f),
      envelope(0.0f), gate(0), attackDone(0), haveSettings(0), attackMs(0.0f), decayMs(0.01f), attackCoefficient(1.0f),
      decayCoefficient(1.0f), releaseCoefficient(1.0f), mix(1.0f), mixTarget(1.0f), mixCoefficient(1.0f),
      wetGain(1.0f), dryGain(0.0f), inputLine(nullptr), evenLine(nullptr), oddLine(nullptr) {
    for (int k = 0; k < kUpTaps; ++k) {
        upEven[k] = (float)(2.0 * kFir[64 - 2 * k]);
        upOdd[k] = (float)(2.0 * kFir[65 - 2 * k]);
    }
    for (int k = 0; k < kDownTaps; ++k) down[k] = (float)kFir[66 - k];
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < kUpTaps; ++k) {
            upEvenLanes[k][j] = upEven[k];
            upOddLanes[k][j] = upOdd[k];
        }
        for (int k = 0; k < kDownTaps; ++k) downLanes[k][j] = down[k];
    }
}

RingModulator::~RingModulator() { free(); }

int RingModulator::init(const RingModulatorRecord* record) {
    free();
    if (!record || !record->sineTable || record->sineSize < 2 || record->blockLength <= 0) return 1;
    inputLine = new (std::nothrow) float[3 * kLine];
    if (!inputLine) return 1;
    evenLine = inputLine + kLine;
    oddLine = evenLine + kLine;
    sine = record->sineTable;
    sineSize = record->sineSize;
    blockLength = record->blockLength;
    sampleRate = fx::acceptSampleRate(record->sampleRate, 44100.0f);

    baseFrequency = 100.0f;
    rangeExponent = 7;  // 128 x 100 Hz > 12000 Hz
    depth = 0.0f;
    phase = 0.0f;
    envelope = 0.0f;
    gate = 0;
    attackDone = 0;
    attackMs = 0.0f;
    decayMs = 0.01f;
    mix = mixTarget = 1.0f;
    wetGain = 1.0f;
    dryGain = 0.0f;
    haveSettings = 0;
    updateRateCoefficients();
    clear();
    initialised = 1;
    return 0;
}

void RingModulator::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    updateRateCoefficients();
}

// Mended: every constant that depends on the rate, the carrier's half-period and the sweep's
// attack and decay among them, follows a rate change, so the carrier keeps its pitch.
void RingModulator::updateRateCoefficients() {
    halfPeriod = 0.5f / sampleRate;
    const double samplesPerMs = sampleRate / 1000.0;
    mixCoefficient = (float)fx::onePoleCoefficient(sampleRate * kMixSmoothingSeconds);
    releaseCoefficient = (float)(1.0 - std::exp(-blockLength / (kReleaseMs * samplesPerMs)));
    // The attack and decay run once per block with a per-sample coefficient, so the sweep
    // takes L times the stated time, at any rate. Both are 1 until the first settings.
    if (!haveSettings) {
        attackCoefficient = decayCoefficient = 1.0f;
        return;
    }
    attackCoefficient = attackMs < 0.01f ? 1.0f : (float)fx::onePoleCoefficient(attackMs * samplesPerMs);
    decayCoefficient = (float)fx::onePoleCoefficient((decayMs > 0.01f ? decayMs : 0.01f) * samplesPerMs);
}

int RingModulator::message(const RingModulatorRecord* record, int code) {
    if (!record) return 0;
    switch (code) {
    case kRingModSettings: {
        mixTarget = fx::clampOr(record->mix, 0.0f, 1.0f, mixTarget);
        // Mended: the range search ends; zero, negative or NaN take the lowest base frequency.
        baseFrequency = fx::clampOr(record->frequency * 0.5f, kMinBaseFrequency, 2.0f * kMaxCarrier, kMinBaseFrequency);
        rangeExponent = 0;
        while (rangeExponent < 30 && std::ldexp(baseFrequency, rangeExponent) <= kMaxCarrier) ++rangeExponent;
        attackMs = fx::clampOr(record->attackMs, 0.0f, 1e7f, 0.0f);
        decayMs = fx::clampOr(record->decayMs, 0.0f, 1e7f, 0.0f);
        depth = fx::clampOr(record->depth, 0.0f, 1.0f, 0.0f);
        haveSettings = 1;
        updateRateCoefficients();
        break;
    }
    case kRingModGateOn:
        if (!gate) {
            gate = 1;
            attackDone = 0;
        }
        break;
    case kRingModGateOff:
        gate = 0;
        attackDone = 0;
        break;
    default:
        break;
    }
    return 0;
}

// Once per block: the sweep envelope, the carrier increment and the mix.
void RingModulator::stepBlock() {
    if (gate) {
        if (!attackDone) {
            if (attackCoefficient == 1.0f) {
                envelope = 1.0f;
                attackDone = 1;
            } else {
                envelope += (kAttackTarget - envelope) * attackCoefficient;
                if (envelope > 0.99f) attackDone = 1;
            }
        } else {
            envelope += (kDecayTarget - envelope) * decayCoefficient;
            if (envelope < 0.01f) envelope = 0.01f;
        }
    } else {
        envelope -= envelope * releaseCoefficient;
        if (envelope < 0.0001f) envelope = 0.0f;
    }

    float f = baseFrequency * std::exp2((float)rangeExponent * depth * envelope);
    if (f > kMaxCarrier) f = kMaxCarrier;
    carrierFrequency = f;
    increment = fx::wrapIncrement((double)sineSize * f * halfPeriod, sineSize);

    if (std::fabs(mix - mixTarget) > 0.0001f)
        mix += (mixTarget - mix) * mixCoefficient;
    else
        mix = mixTarget;
    wetGain = mix * mix;
    dryGain = (1.0f - mix) * (1.0f - mix);
}

void RingModulator::process(const float* input, float* output, int count) { run(input, output, count, true); }

void RingModulator::processReference(const float* input, float* output, int count) {
    run(input, output, count, false);
}

void RingModulator::run(const float* input, float* output, int count, bool lanes) {
    if (!initialised || !input || !output) return;
    stepBlock();
    for (int start = 0; start < count; start += kStretch)
        runStretch(input + start, output + start, count - start < kStretch ? count - start : kStretch, lanes);
}

// The upsampler reads the 32 input values before sample n, oldest first: inputLine[n ..].
void RingModulator::upsampleOne(int n, float& up0, float& up1) const {
    static_assert(kUpTaps % 4 == 0 && kDownTaps % 4 == 2, "the dots' steps and tails");
    dotPair(inputLine + n, upEven, upOdd, kUpTaps, up0, up1);
}

// The decimator reads the 66 newest half-rate values up to sample n's odd one, oldest first:
// even and odd alternately from evenLine[n] on.
float RingModulator::downsampleOne(int n) const {
    alignas(16) float window[kDownTaps];
    for (int k = 0; k < kDownTaps; k += 2) {
        window[k] = evenLine[n + k / 2];
        window[k + 1] = oddLine[n + k / 2];
    }
    return dot(window, down, kDownTaps);
}

namespace {
// The sum of four running sums of lanes, as sumLanes adds them, for four outputs at once.
inline __m128 sumFour(const __m128* s) { return _mm_add_ps(_mm_add_ps(s[0], s[2]), _mm_add_ps(s[1], s[3])); }
}

// Four outputs at a time, one in each lane: lane j's running sum k % 4 takes the products
// of output j in the order dotPair takes them, so each output is upsampleOne's to the bit.
void RingModulator::upsampleLanes(int count) {
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        __m128 even[4], odd[4];
        for (int j = 0; j < 4; ++j) even[j] = odd[j] = _mm_setzero_ps();
        const float* x = inputLine + n;
        for (int k = 0; k < kUpTaps; k += 4) {
            for (int j = 0; j < 4; ++j) {
                const __m128 v = _mm_loadu_ps(x + k + j);
                even[j] = _mm_add_ps(even[j], _mm_mul_ps(v, _mm_load_ps(upEvenLanes[k + j])));
                odd[j] = _mm_add_ps(odd[j], _mm_mul_ps(v, _mm_load_ps(upOddLanes[k + j])));
            }
        }
        _mm_storeu_ps(evenLine + kHistory + n, sumFour(even));
        _mm_storeu_ps(oddLine + kHistory + n, sumFour(odd));
    }
    for (; n < count; ++n) upsampleOne(n, evenLine[kHistory + n], oddLine[kHistory + n]);
}

// The same for the decimator: tap k reads the even line for even k, the odd one for odd k,
// and the last two taps go to sums 0 and 1, as dot's tail adds them.
void RingModulator::downsampleLanes(int count, float* output) const {
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const float* even = evenLine + n;
        const float* odd = oddLine + n;
        const auto tap = [](__m128 sum, const float* x, const float* taps) {
            return _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(x), _mm_load_ps(taps)));
        };
        __m128 s[4];
        for (int j = 0; j < 4; ++j) s[j] = _mm_setzero_ps();
        int k = 0;
#pragma GCC unroll 16
        for (; k + 4 <= kDownTaps; k += 4) {
            s[0] = tap(s[0], even + k / 2, downLanes[k]);
            s[1] = tap(s[1], odd + k / 2, downLanes[k + 1]);
            s[2] = tap(s[2], even + k / 2 + 1, downLanes[k + 2]);
            s[3] = tap(s[3], odd + k / 2 + 1, downLanes[k + 3]);
        }
        s[0] = tap(s[0], even + k / 2, downLanes[k]);
        s[1] = tap(s[1], odd + k / 2, downLanes[k + 1]);
        _mm_storeu_ps(output + n, sumFour(s));
    }
    for (; n < count; ++n) output[n] = downsampleOne(n);
}

// The carrier, sample by sample: its phase runs on from one half-rate sample to the next.
// The products and flushes then take four samples at a time in the lanes, each what the
// scalar steps of the reference give.
void RingModulator::modulate(int count, bool lanes) {
    alignas(16) float carrier[2][kStretch];
    // On locals: the stores could otherwise be the members' floats.
    float p = phase;
    const float step = increment;
    const float* table = sine;
    const int size = sineSize;
    for (int n = 0; n < count; ++n) {
        p = fx::advancePhase(p, step, size);
        carrier[0][n] = fx::readSineTable(table, p);
        p = fx::advancePhase(p, step, size);
        carrier[1][n] = fx::readSineTable(table, p);
    }
    phase = p;
    const __m128 wet = _mm_set1_ps(wetGain), dry = _mm_set1_ps(dryGain);
    float* lines[2] = {evenLine + kHistory, oddLine + kHistory};
    for (int h = 0; h < 2; ++h) {
        float* u = lines[h];
        const float* c = carrier[h];
        int n = 0;
        for (; lanes && n + 4 <= count; n += 4) {
            const __m128 v = _mm_mul_ps(_mm_loadu_ps(u + n), _mm_add_ps(_mm_mul_ps(_mm_load_ps(c + n), wet), dry));
            _mm_storeu_ps(u + n, fx::flushState(v));
        }
        for (; n < count; ++n) u[n] = fx::flushState(u[n] * (c[n] * wetGain + dryGain));
    }
}

// At most kStretch samples: the input into its line, the upsampler's two phases into the
// half-rate lines, the modulation there, the decimator; then each line's newest kHistory values move to its front.
void RingModulator::runStretch(const float* input, float* output, int count, bool lanes) {
    for (int n = 0; n < count; ++n) inputLine[kHistory + n] = fx::flushState(input[n]);
    if (lanes) {
        upsampleLanes(count);
    } else {
        for (int n = 0; n < count; ++n) upsampleOne(n, evenLine[kHistory + n], oddLine[kHistory + n]);
    }
    modulate(count, lanes);
    if (lanes) {
        downsampleLanes(count, output);
    } else {
        for (int n = 0; n < count; ++n) output[n] = downsampleOne(n);
    }
    float* const lines[3] = {inputLine, evenLine, oddLine};
    for (float* line : lines) std::memmove(line, line + count, kHistory * sizeof(float));
}

void RingModulator::clear() {
    if (inputLine) std::memset(inputLine, 0, 3 * kLine * sizeof(float));
}

void RingModulator::free() {
    delete[] inputLine;
    inputLine = evenLine = oddLine = nullptr;
    initialised = 0;
}
