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
    gainBuffer = new (std::nothrow) float[historyLength + blockLength]();
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

void Vca::renderSlot(int s) {
    const int L = blockLength;
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
    const float factor = c == 0.f ? 1.f : std::pow(10.f, 3.f * c);

    // Gain per sample: level x envelope x the smoothed factor, in that order of rounding.
    float* g = gainBuffer;
    const float* e = envelope[s] ? envelope[s]->samples : nullptr;
    float k = gain[s];
    if (k + (factor - k) * gainCoefficient == k) {
        // The smoothing has settled (a fixed point): every step gives k again.
        if (e) {
            for (int n = 0; n < L; ++n) g[n] = lv * e[n] * k;
        } else {
            const float gk = lv * k;
            for (int n = 0; n < L; ++n) g[n] = gk;
        }
    } else {
        for (int n = 0; n < L; ++n) {
            k += (factor - k) * gainCoefficient;
            g[n] = (e ? lv * e[n] : lv) * k;
        }
        gain[s] = k;
    }

    float* out = outputs.block(s);
    outputs.moveHistory(s);
    if (!audio[s]) {
        for (int n = 0; n < L; ++n) out[n] = 0.f;
        return;
    }
    // A negative gain (a negative envelope) mutes rather than inverts.
    const float* x = audio[s]->samples;
    for (int n = 0; n < L; ++n) out[n] = g[n] < 0.f ? 0.f : x[n] * g[n];
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
    for (int s = 0; s < kVoiceSlots; ++s)
        if (voiceState[s] == kSlotSounding) renderSlot(s);
}
