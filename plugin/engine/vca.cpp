#include "engine/vca.h"

#include <cmath>
#include <cstring>
#include <new>

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
      gainBuffer(nullptr) {
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
    // Room for four slots' gains: the gliding ones are computed four at a time.
    gainBuffer = new (std::nothrow) float[4 * blockLength]();
    if (!gainBuffer) {
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
    levelCoefficient = engine::onePoleCoefficient(0.005f * rate / static_cast<float>(blockLength > 0 ? blockLength : 1));
}

void Vca::free() {
    outputs.release();
    delete[] gainBuffer;
    gainBuffer = nullptr;
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

// A settled slot's output: the gain per sample is level x envelope x the smoothed factor, in
// that order of rounding, applied as applyGain does, without a pass through the gain buffer.
void Vca::applySettled(int s) {
    const int L = blockLength;
    float* out = outputs.block(s);
    outputs.moveHistory(s);
    if (!audio[s]) {
        for (int n = 0; n < L; ++n) out[n] = 0.f;
        return;
    }
    const float* x = audio[s]->samples;
    const float lv = level[s];
    const float k = gain[s];
    const float* e = envelope[s] ? envelope[s]->samples : nullptr;
    int n = 0;
#if HALVORN_VCA_LANES
    // Four samples at a time; "not less than 0" keeps what the scalar test keeps, NaN included.
    const __m128 zero = _mm_setzero_ps(), kv = _mm_set1_ps(k);
    const __m128 lvv = _mm_set1_ps(lv), gk = _mm_set1_ps(lv * k);
    for (; n + 4 <= L; n += 4) {
        const __m128 g = e ? _mm_mul_ps(_mm_mul_ps(lvv, _mm_loadu_ps(e + n)), kv) : gk;
        _mm_storeu_ps(out + n, _mm_and_ps(_mm_cmpnlt_ps(g, zero), _mm_mul_ps(_mm_loadu_ps(x + n), g)));
    }
#endif
    for (; n < L; ++n) {
        const float g = e ? lv * e[n] * k : lv * k;
        out[n] = g < 0.f ? 0.f : x[n] * g;
    }
}

// Gain per sample of a slot whose factor still glides: the smoothing's steps wait on each
// other, so up to four slots take one step together in the lanes of an SSE register. A
// slot without an envelope takes 1 in its place, which leaves the level as it is.
void Vca::glidingGains(const int* slots, int count) {
    const int L = blockLength;
#if HALVORN_VCA_LANES
    alignas(16) float k[4], factor[4], lv[4];
    const float* e[4];
    static const float ones[1] = {1.f};
    int step[4];
    for (int lane = 0; lane < 4; ++lane) {
        const int s = slots[lane < count ? lane : 0];
        k[lane] = gain[s];
        factor[lane] = blockFactor[s];
        lv[lane] = level[s];
        e[lane] = envelope[s] ? envelope[s]->samples : ones;
        step[lane] = envelope[s] ? 1 : 0;
    }
    __m128 kv = _mm_load_ps(k);
    const __m128 fv = _mm_load_ps(factor), lvv = _mm_load_ps(lv), cv = _mm_set1_ps(gainCoefficient);
    float* g0 = gainBuffer + 0 * L;
    float* g1 = gainBuffer + 1 * L;
    float* g2 = gainBuffer + 2 * L;
    float* g3 = gainBuffer + 3 * L;
    // Four samples of the four lanes at a time, turned into four samples of lanes and back.
    float* const gains[4] = {g0, g1, g2, g3};
    const int vectorEnd = L - L % 4;
    int n = 0;
    for (; n < vectorEnd; n += 4) {
        __m128 ev[4], gv[4];
        for (int lane = 0; lane < 4; ++lane) ev[lane] = step[lane] ? _mm_loadu_ps(e[lane] + n) : _mm_set1_ps(1.f);
        _MM_TRANSPOSE4_PS(ev[0], ev[1], ev[2], ev[3]);
        for (int i = 0; i < 4; ++i) {
            kv = _mm_add_ps(kv, _mm_mul_ps(_mm_sub_ps(fv, kv), cv));
            gv[i] = _mm_mul_ps(_mm_mul_ps(lvv, ev[i]), kv);
        }
        _MM_TRANSPOSE4_PS(gv[0], gv[1], gv[2], gv[3]);
        for (int lane = 0; lane < 4; ++lane) _mm_storeu_ps(gains[lane] + n, gv[lane]);
    }
    for (; n < L; ++n) {
        kv = _mm_add_ps(kv, _mm_mul_ps(_mm_sub_ps(fv, kv), cv));
        const __m128 ev = _mm_set_ps(e[3][n * step[3]], e[2][n * step[2]], e[1][n * step[1]], e[0][n * step[0]]);
        alignas(16) float g[4];
        _mm_store_ps(g, _mm_mul_ps(_mm_mul_ps(lvv, ev), kv));
        g0[n] = g[0];
        g1[n] = g[1];
        g2[n] = g[2];
        g3[n] = g[3];
    }
    _mm_store_ps(k, kv);
    for (int lane = 0; lane < count; ++lane) gain[slots[lane]] = k[lane];
#else
    for (int lane = 0; lane < count; ++lane) {
        const int s = slots[lane];
        const float* e = envelope[s] ? envelope[s]->samples : nullptr;
        const float lv = level[s], factor = blockFactor[s];
        float k = gain[s];
        float* g = gainBuffer + lane * L;
        for (int n = 0; n < L; ++n) {
            k += (factor - k) * gainCoefficient;
            g[n] = (e ? lv * e[n] : lv) * k;
        }
        gain[s] = k;
    }
#endif
}

void Vca::applyGain(int s, const float* g) {
    const int L = blockLength;
    float* out = outputs.block(s);
    outputs.moveHistory(s);
    if (!audio[s]) {
        for (int n = 0; n < L; ++n) out[n] = 0.f;
        return;
    }
    // A negative gain (a negative envelope) mutes rather than inverts.
    const float* x = audio[s]->samples;
    int n = 0;
#if HALVORN_VCA_LANES
    const __m128 zero = _mm_setzero_ps();
    for (; n + 4 <= L; n += 4) {
        const __m128 gv = _mm_loadu_ps(g + n);
        _mm_storeu_ps(out + n, _mm_and_ps(_mm_cmpnlt_ps(gv, zero), _mm_mul_ps(_mm_loadu_ps(x + n), gv)));
    }
#endif
    for (; n < L; ++n) out[n] = g[n] < 0.f ? 0.f : x[n] * g[n];
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
    int gliding[4];
    int count = 0;
    for (int s = 0; s < kVoiceSlots; ++s) {
        if (voiceState[s] != kSlotSounding) continue;
        if (prepareSlot(s)) {
            gliding[count++] = s;
            if (count == 4) {
                finishGliding(gliding, count);
                count = 0;
            }
        } else {
            applySettled(s);
        }
    }
    if (count > 0) finishGliding(gliding, count);
}

void Vca::finishGliding(const int* slots, int count) {
    glidingGains(slots, count);
    for (int lane = 0; lane < count; ++lane) applyGain(slots[lane], gainBuffer + lane * blockLength);
}
