#include "engine/vca.h"

#include <cmath>
#include <cstring>
#include <new>

#if HALVORN_VCA_WIDE
#include <immintrin.h>
#define HALVORN_VCA_WIDE_CODE __attribute__((target("avx")))
#endif

using engine::clampFinite;
using engine::clampSlot;
using engine::kSlotOff;
using engine::kSlotSounding;
using engine::kVoiceSlots;

namespace {
// The exponent c of 10^(3c) is bounded to +-4 (+-240 dB): far beyond any musical use,
// and the gain stays finite whatever the modulation sources hold.
const float kMaxExponent = 4.f;
const float kSettingLimit = 1.0e3f;
const float kLevelFlush = 1.0e-30f;

// Audio x gain, where a negative gain (a negative envelope) mutes rather than inverts.
inline float mutedProduct(float x, float g) { return g < 0.f ? 0.f : x * g; }

#if HALVORN_VCA_LANES
// The same on four samples: "not less than 0" keeps what the scalar test keeps, NaN included.
inline __m128 mutedProduct(__m128 x, __m128 g) { return _mm_and_ps(_mm_cmpnlt_ps(g, _mm_setzero_ps()), _mm_mul_ps(x, g)); }
#endif

#if HALVORN_VCA_WIDE
HALVORN_VCA_WIDE_CODE inline __m256 mutedProduct(__m256 x, __m256 g) {
    return _mm256_and_ps(_mm256_cmp_ps(g, _mm256_setzero_ps(), _CMP_NLT_UQ), _mm256_mul_ps(x, g));
}

// applySettled's and applyGliding's operations eight samples at a time, per lane in their
// order; both return how many samples they did.
HALVORN_VCA_WIDE_CODE int applySettledWide(float* out, const float* x, const float* e, float lv, float k, int L) {
    const __m256 kv = _mm256_set1_ps(k);
    const __m256 lvv = _mm256_set1_ps(lv), gk = _mm256_set1_ps(lv * k);
    int n = 0;
    for (; n + 8 <= L; n += 8) {
        const __m256 g = e ? _mm256_mul_ps(_mm256_mul_ps(lvv, _mm256_loadu_ps(e + n)), kv) : gk;
        _mm256_storeu_ps(out + n, mutedProduct(_mm256_loadu_ps(x + n), g));
    }
    return n;
}

HALVORN_VCA_WIDE_CODE int applyGlidingWide(float* out, const float* x, const float* e, const float* powers, float lv,
                                           float factor, float distance, int L) {
    const __m256 lvv = _mm256_set1_ps(lv);
    const __m256 fv = _mm256_set1_ps(factor), dv = _mm256_set1_ps(distance);
    int n = 0;
    for (; n + 8 <= L; n += 8) {
        const __m256 k = _mm256_add_ps(_mm256_mul_ps(dv, _mm256_loadu_ps(powers + n)), fv);
        const __m256 g = _mm256_mul_ps(e ? _mm256_mul_ps(lvv, _mm256_loadu_ps(e + n)) : lvv, k);
        _mm256_storeu_ps(out + n, mutedProduct(_mm256_loadu_ps(x + n), g));
    }
    return n;
}
#endif
}  // namespace

Vca::Vca()
    : blockLength(0),
      historyLength(0),
      gainCoefficient(1.f),
      levelCoefficient(1.f),
      vibratoDepth(0.f),
      audioInputs(0),
      takenOutputs(0),
      active(0),
      resetPending(0),
      scalarPath(0),
      fourLanes(0),
      wideLanes(HALVORN_VCA_WIDE && engine::hasWideRegisters() ? 1 : 0),
      gainBuffer(nullptr),
      gainPowers(nullptr) {
    clearState();
}

void Vca::clearState() {
    vibratoDepth = 0.f;
    audioInputs = takenOutputs = active = resetPending = 0;
    for (int s = 0; s < kVoiceSlots; ++s) {
        voiceState[s] = kSlotOff;
        levelTarget[s] = level[s] = 1.f;
        gain[s] = 0.f;
        blockFactor[s] = 1.f;
        lastExponent[s] = 0.f;
        lastFactor[s] = 1.f;
        touchDepth[s] = initialDepth[s] = 0.f;
        audio[s] = envelope[s] = vibrato[s] = direct[s] = touch[s] = initial[s] = nullptr;
        levelModulation[s].clear();
    }
}

Vca::~Vca() { free(); }

int Vca::init(VcaRecord* record, int kind, float rate) {
    free();
    if (!record || kind != kInitKind || !engine::isUsableRate(rate)) return 1;
    if (!engine::areUsableLengths(record->blockLength, record->historyLength)) return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    if (outputs.allocate(kVoiceSlots, blockLength, historyLength, 0)) return 1;
    gainBuffer = new (std::nothrow) float[blockLength]();
    gainPowers = new (std::nothrow) float[blockLength]();
    if (!gainBuffer || !gainPowers) {
        free();
        return 1;
    }
    setSampleRate(rate);
    clearState();
    return 0;
}

void Vca::setSampleRate(float rate) {
    if (!engine::isUsableRate(rate)) return;
    gainCoefficient = engine::onePoleCoefficient(0.005f * rate);
    // (1 - c)^(n + 1): what is left of the factor's way to its target after sample n.
    if (gainPowers)
        for (int n = 0; n < blockLength; ++n)
            gainPowers[n] = static_cast<float>(std::pow(1.0 - static_cast<double>(gainCoefficient), n + 1.0));
    levelCoefficient = engine::onePoleCoefficient(0.005f * rate / static_cast<float>(blockLength > 0 ? blockLength : 1));
}

void Vca::free() {
    outputs.release();
    delete[] gainBuffer;
    gainBuffer = nullptr;
    delete[] gainPowers;
    gainPowers = nullptr;
    active = 0;
}

int Vca::message(VcaRecord* record, int code) {
    if (!record || !outputs.isAllocated()) return 0;
    const int s = clampSlot(record->slot);
    switch (code) {
    case kVcaVoiceState:
        if (voiceState[s] == kSlotSounding && record->state == kSlotOff) outputs.clear(s);
        voiceState[s] = record->state;
        break;
    case kVcaLevel:
        levelTarget[s] = clampFinite(record->level, -kSettingLimit, kSettingLimit);
        break;
    case kVcaTouchDepths:
        touchDepth[s] = clampFinite(record->touchDepth, -kSettingLimit, kSettingLimit);
        initialDepth[s] = clampFinite(record->initialDepth, -kSettingLimit, kSettingLimit);
        break;
    case kVcaVibratoDepth:
        vibratoDepth = clampFinite(record->vibratoDepth, -kSettingLimit, kSettingLimit) * 0.25f;
        break;
    default:
        break;
    }
    return 0;
}

SignalPort** Vca::singleInput(int kind, int s) {
    switch (kind) {
    case kVcaInEnvelope:
        return &envelope[s];
    case kVcaInVibrato:
        return &vibrato[s];
    case kVcaInDirect:
        return &direct[s];
    case kVcaInTouch:
        return &touch[s];
    case kVcaInInitial:
        return &initial[s];
    default:
        return nullptr;
    }
}

void Vca::updateActivity() {
    const int wasActive = active;
    active = audioInputs > 0 && takenOutputs > 0;
    if (wasActive && !active) resetPending = 1;
}

int Vca::connectInput(int kind, SignalPort* port, int slot, int tag) {
    const int s = clampSlot(slot);
    if (kind == kVcaInAudio) {
        // A source without a signal leaves the input unconnected.
        if (audio[s] && !port) --audioInputs;
        if (!audio[s] && port) ++audioInputs;
        audio[s] = port;
        updateActivity();
        return 0;
    }
    if (kind == kVcaInLevelModulation) return levelModulation[s].add(port, tag);
    SignalPort** in = singleInput(kind, s);
    if (!in) return 1;
    *in = port;
    return 0;
}

void Vca::releaseInput(int kind, int slot, int tag) {
    const int s = clampSlot(slot);
    if (kind == kVcaInAudio) {
        if (audio[s]) --audioInputs;
        audio[s] = nullptr;
        updateActivity();
        return;
    }
    if (kind == kVcaInLevelModulation) {
        levelModulation[s].remove(tag);
        return;
    }
    SignalPort** in = singleInput(kind, s);
    if (in) *in = nullptr;
}

SignalPort* Vca::takeOutput(int slot) {
    if (!outputs.isAllocated()) return nullptr;
    ++takenOutputs;
    updateActivity();
    return outputs.port(clampSlot(slot));
}

void Vca::releaseOutput(int slot) {
    if (takenOutputs > 0) --takenOutputs;
    updateActivity();
}

// The block's level and exponential factor of a slot; true when its gain still glides.
bool Vca::prepareSlot(int s) {
    float lv = level[s];
    lv += (levelTarget[s] - lv) * levelCoefficient;
    if (std::fabs(lv) < kLevelFlush) lv = 0.f;
    level[s] = lv;

    float c = levelModulation[s].sumFirst();
    if (vibrato[s]) c += vibrato[s]->samples[0] * vibratoDepth;
    if (touch[s]) c += touch[s]->samples[0] * touchDepth[s];
    if (initial[s]) c += initial[s]->samples[0] * initialDepth[s];
    if (direct[s]) c += direct[s]->samples[0];
    c = clampFinite(c, -kMaxExponent, kMaxExponent);
    // The exponent mostly stays put from block to block (key scaling, velocity): the last
    // power is kept for it.
    if (c != lastExponent[s]) {
        lastExponent[s] = c;
        lastFactor[s] = c == 0.f ? 1.f : std::pow(10.f, 3.f * c);
    }
    const float factor = lastFactor[s];
    blockFactor[s] = factor;
    // The smoothing has settled when a step gives k again (a fixed point).
    const float k = gain[s];
    return k + (factor - k) * gainCoefficient != k;
}

// The slot's output block, its history moved; null, the block silent, without an audio input.
float* Vca::startBlock(int s) {
    float* out = outputs.block(s);
    outputs.moveHistory(s);
    if (audio[s]) return out;
    for (int n = 0; n < blockLength; ++n) out[n] = 0.f;
    return nullptr;
}

// A settled slot's output: the gain per sample is level x envelope x the smoothed factor, in
// that order of rounding, applied as applyGain does, without a pass through the gain buffer.
void Vca::applySettled(int s) {
    const int L = blockLength;
    float* out = startBlock(s);
    if (!out) return;
    const float* x = audio[s]->samples;
    const float lv = level[s];
    const float k = gain[s];
    const float* e = envelope[s] ? envelope[s]->samples : nullptr;
    int n = 0;
#if HALVORN_VCA_WIDE
    if (wideLanes && !fourLanes) n = applySettledWide(out, x, e, lv, k, L);
#endif
#if HALVORN_VCA_LANES
    // Four samples at a time.
    const __m128 kv = _mm_set1_ps(k);
    const __m128 lvv = _mm_set1_ps(lv), gk = _mm_set1_ps(lv * k);
    for (; n + 4 <= L; n += 4) {
        const __m128 g = e ? _mm_mul_ps(_mm_mul_ps(lvv, _mm_loadu_ps(e + n)), kv) : gk;
        _mm_storeu_ps(out + n, mutedProduct(_mm_loadu_ps(x + n), g));
    }
#endif
    for (; n < L; ++n) {
        const float g = e ? lv * e[n] * k : lv * k;
        out[n] = mutedProduct(x[n], g);
    }
}

// Gain per sample of a slot whose factor still glides, step by step: the reference that
// applyGliding is held to.
void Vca::glidingGain(int s, float* g) {
    const int L = blockLength;
    const float* e = envelope[s] ? envelope[s]->samples : nullptr;
    const float lv = level[s], factor = blockFactor[s];
    float k = gain[s];
    for (int n = 0; n < L; ++n) {
        k += (factor - k) * gainCoefficient;
        g[n] = (e ? lv * e[n] : lv) * k;
    }
    gain[s] = k;
}

// A gliding slot's output in one pass. The factor k moving toward F by the coefficient c per
// sample is, after sample n, F - (F - k) r^(n+1) with r = 1 - c (the module's powers), so no
// sample waits on the one before and they go four at a time. The rounding differs from the
// step by step glidingGain within the tolerance the gain modules' test states.
void Vca::applyGliding(int s) {
    const int L = blockLength;
    const float factor = blockFactor[s];
    const float distance = gain[s] - factor;  // k - F: F + (k - F) r^(n+1) is F - (F - k) r^(n+1)
    gain[s] = factor + distance * gainPowers[L - 1];
    float* out = startBlock(s);
    if (!out) return;
    const float* x = audio[s]->samples;
    const float* e = envelope[s] ? envelope[s]->samples : nullptr;
    const float lv = level[s];
    int n = 0;
#if HALVORN_VCA_WIDE
    if (wideLanes && !fourLanes) n = applyGlidingWide(out, x, e, gainPowers, lv, factor, distance, L);
#endif
#if HALVORN_VCA_LANES
    const __m128 lvv = _mm_set1_ps(lv);
    const __m128 fv = _mm_set1_ps(factor), dv = _mm_set1_ps(distance);
    for (; n + 4 <= L; n += 4) {
        const __m128 k = _mm_add_ps(_mm_mul_ps(dv, _mm_loadu_ps(gainPowers + n)), fv);
        const __m128 g = _mm_mul_ps(e ? _mm_mul_ps(lvv, _mm_loadu_ps(e + n)) : lvv, k);
        _mm_storeu_ps(out + n, mutedProduct(_mm_loadu_ps(x + n), g));
    }
#endif
    for (; n < L; ++n) {
        const float g = (e ? lv * e[n] : lv) * (factor + distance * gainPowers[n]);
        out[n] = mutedProduct(x[n], g);
    }
}

void Vca::applyGain(int s, const float* g) {
    const int L = blockLength;
    float* out = startBlock(s);
    if (!out) return;
    const float* x = audio[s]->samples;
    int n = 0;
#if HALVORN_VCA_LANES
    for (; n + 4 <= L; n += 4) {
        const __m128 gv = _mm_loadu_ps(g + n);
        _mm_storeu_ps(out + n, mutedProduct(_mm_loadu_ps(x + n), gv));
    }
#endif
    for (; n < L; ++n) out[n] = mutedProduct(x[n], g[n]);
}

void Vca::process() {
    if (!outputs.isAllocated()) return;
    if (!active) {
        if (resetPending) {
            outputs.clearAll();
            resetPending = 0;
        }
        return;
    }
    for (int s = 0; s < kVoiceSlots; ++s) {
        if (voiceState[s] != kSlotSounding) continue;
        if (!prepareSlot(s)) {
            applySettled(s);
        } else if (scalarPath) {
            glidingGain(s, gainBuffer);
            applyGain(s, gainBuffer);
        } else {
            applyGliding(s);
        }
    }
}
