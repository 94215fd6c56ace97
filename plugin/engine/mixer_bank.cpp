#include "engine/mixer_bank.h"

#include <cmath>

#include <xmmintrin.h>

using engine::clampFinite;
using engine::clampInt;
using engine::clampSlot;
using engine::kSlotOff;
using engine::kSlotSounding;
using engine::kVoiceSlots;

namespace {
int clampChannel(int channel) { return clampInt(channel, 0, MixerBank::kChannels - 1); }

// Four samples at a time, the same sum for each.
void addInto(float* sum, const float* x, int count) {
    int n = 0;
    for (; n + 4 <= count; n += 4) _mm_storeu_ps(sum + n, _mm_add_ps(_mm_loadu_ps(sum + n), _mm_loadu_ps(x + n)));
    for (; n < count; ++n) sum[n] += x[n];
}

// Adding zeros still turns a -0 in the sum into +0.
void addZeros(float* sum, int count) {
    const __m128 zero = _mm_setzero_ps();
    int n = 0;
    for (; n + 4 <= count; n += 4) _mm_storeu_ps(sum + n, _mm_add_ps(_mm_loadu_ps(sum + n), zero));
    for (; n < count; ++n) sum[n] += 0.f;
}

// out = x g and sum += out; sum is neither out nor x.
void scaleIntoSum(float* out, float* sum, const float* x, float g, int count) {
    const __m128 gain = _mm_set1_ps(g);
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const __m128 y = _mm_mul_ps(_mm_loadu_ps(x + n), gain);
        _mm_storeu_ps(out + n, y);
        _mm_storeu_ps(sum + n, _mm_add_ps(_mm_loadu_ps(sum + n), y));
    }
    for (; n < count; ++n) {
        out[n] = x[n] * g;
        sum[n] += out[n];
    }
}
}  // namespace

MixerBank::MixerBank() : blockLength(0), historyLength(0), levelCoefficient(1.f) { clearState(); }

void MixerBank::clearState() {
    for (int s = 0; s < kVoiceSlots; ++s) {
        voiceState[s] = kSlotOff;
        sumTarget[s] = nullptr;
        sumOwner[s] = -1;
    }
    for (int c = 0; c < kChannels; ++c) useCount[c] = resetPending[c] = sumMode[c] = 0;
    for (int i = 0; i < kChannels * kVoiceSlots; ++i) {
        input[i] = nullptr;
        silentBlocks[i] = 0;
        levelModulation[i].clear();
        levelTarget[i] = level[i] = 1.f;
    }
}

MixerBank::~MixerBank() { free(); }

int MixerBank::init(MixerRecord* record, int kind, float rate) {
    free();
    if (!record || kind != kInitKind || !engine::isUsableRate(rate)) return 1;
    if (!engine::areUsableLengths(record->blockLength, record->historyLength)) return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    if (outputs.allocate(kChannels * kVoiceSlots, blockLength, historyLength, 0)) return 1;
    setSampleRate(rate);
    clearState();
    return 0;
}

void MixerBank::setSampleRate(float rate) {
    if (!engine::isUsableRate(rate)) return;
    levelCoefficient = engine::onePoleCoefficient(0.03f * rate);
}

void MixerBank::free() { outputs.release(); }

int MixerBank::message(MixerRecord* record, int code) {
    if (!record || !outputs.isAllocated()) return 0;
    switch (code) {
    case kMixerVoiceState: {
        const int s = clampSlot(record->slot);
        if (voiceState[s] == kSlotSounding && record->state == kSlotOff) {
            for (int c = 0; c < kChannels; ++c) {
                outputs.clear(index(c, s));
                silentBlocks[index(c, s)] = 0;
            }
            sumTarget[s] = nullptr;
            sumOwner[s] = -1;
        }
        voiceState[s] = record->state;
        break;
    }
    case kMixerLevel:
        levelTarget[index(clampChannel(record->channel), clampSlot(record->slot))] =
            clampFinite(record->level, -1.0e3f, 1.0e3f);
        break;
    case kMixerSumMode:
        if (record->channel > 0) sumMode[clampChannel(record->channel)] = record->sumMode;
        break;
    default:
        break;
    }
    return 0;
}

int MixerBank::connectInput(int channel, SignalPort* port, int slot, int tag) {
    input[index(clampChannel(channel), clampSlot(slot))] = port;
    return 0;
}

void MixerBank::releaseInput(int channel, int slot, int tag) { input[index(clampChannel(channel), clampSlot(slot))] = nullptr; }

int MixerBank::connectLevel(int channel, SignalPort* port, int slot, int tag) {
    return levelModulation[index(clampChannel(channel), clampSlot(slot))].add(port, tag);
}

void MixerBank::releaseLevel(int channel, int slot, int tag) {
    levelModulation[index(clampChannel(channel), clampSlot(slot))].remove(tag);
}

SignalPort* MixerBank::takeOutput(int channel, int slot) {
    if (!outputs.isAllocated()) return nullptr;
    const int c = clampChannel(channel);
    ++useCount[c];
    return outputs.port(index(c, clampSlot(slot)));
}

void MixerBank::releaseOutput(int channel, int slot) {
    const int c = clampChannel(channel);
    if (useCount[c] > 0 && --useCount[c] == 0) resetPending[c] = 1;
}

float MixerBank::getSmoothedLevel(int channel, int slot) const { return level[index(clampChannel(channel), clampSlot(slot))]; }

void MixerBank::clearChannel(int c) {
    for (int s = 0; s < kVoiceSlots; ++s) {
        outputs.clear(index(c, s));
        silentBlocks[index(c, s)] = 0;
        setSumTarget(s, index(c, s));
    }
}

void MixerBank::setSumTarget(int s, int i) {
    sumTarget[s] = outputs.block(i);
    sumOwner[s] = i;
}

// out into the slot's sum, whose output then holds more than zeros.
void MixerBank::addIntoSum(int s, const float* out) {
    float* sum = sumTarget[s];
    if (sumOwner[s] >= 0) silentBlocks[sumOwner[s]] = 0;
    addInto(sum, out, blockLength);
}

void MixerBank::renderChannel(int c, int s) {
    const int i = index(c, s);
    float* out = outputs.block(i);
    SignalPort* outPort = outputs.port(i);
    const SignalPort* in = input[i];
    if (!in) {
        outPort->controlRate = 0;
        if (silentBlocks[i] < 2) {
            outputs.moveHistory(i);
            for (int n = 0; n < blockLength; ++n) out[n] = 0.f;
            ++silentBlocks[i];
        }
        if (!sumMode[c]) {
            setSumTarget(s, i);
        } else if (sumTarget[s] && sumTarget[s] != out) {
            addZeros(sumTarget[s], blockLength);
        }
        return;
    }
    silentBlocks[i] = 0;
    outputs.moveHistory(i);
    outPort->controlRate = in->controlRate;
    const float* x = in->samples;
    const float wanted = clampFinite(levelTarget[i] + 0.25f * levelModulation[i].sumFirst(), 0.f, 1.f);
    float g = level[i];
    if (std::fabs(g - wanted) > 0.0001f) {
        for (int n = 0; n < blockLength; ++n) {
            g -= (g - wanted) * levelCoefficient;
            out[n] = x[n] * g;
        }
        level[i] = g;
    } else {
        level[i] = wanted;
        float* sum = sumTarget[s];
        if (sumMode[c] && sum && sum != out && sum != x) {
            // A steady level into a sum: both in one pass.
            if (sumOwner[s] >= 0) silentBlocks[sumOwner[s]] = 0;
            scaleIntoSum(out, sum, x, wanted, blockLength);
            return;
        }
        engine::scaleBlock(out, x, wanted, blockLength);
    }
    if (!sumMode[c])
        setSumTarget(s, i);
    else if (sumTarget[s] && sumTarget[s] != out)
        addIntoSum(s, out);
}

void MixerBank::process() {
    if (!outputs.isAllocated()) return;
    for (int c = 0; c < kChannels; ++c) {
        const bool runs = useCount[c] > 0 || (sumMode[c] && c > 0 && useCount[c - 1] > 0);
        if (!runs) {
            if (resetPending[c]) {
                clearChannel(c);
                resetPending[c] = 0;
            }
            continue;
        }
        for (int s = 0; s < kVoiceSlots; ++s)
            if (voiceState[s] == kSlotSounding) renderChannel(c, s);
    }
}
