#include "engine/mixer_bank.h"

#include <cmath>

using engine::clampFinite;
using engine::clampInt;
using engine::clampSlot;
using engine::kSlotOff;
using engine::kSlotSounding;
using engine::kVoiceSlots;

namespace {
int clampChannel(int channel) { return clampInt(channel, 0, MixerBank::kChannels - 1); }
}  // namespace

MixerBank::MixerBank() : blockLength(0), historyLength(0), levelCoefficient(1.f) { clearState(); }

void MixerBank::clearState() {
    for (int s = 0; s < kVoiceSlots; ++s) {
        voiceState[s] = kSlotOff;
        sumTarget[s] = nullptr;
    }
    for (int c = 0; c < kChannels; ++c) useCount[c] = resetPending[c] = sumMode[c] = 0;
    for (int i = 0; i < kChannels * kVoiceSlots; ++i) {
        input[i] = nullptr;
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
            for (int c = 0; c < kChannels; ++c) outputs.clear(index(c, s));
            sumTarget[s] = nullptr;
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
        sumTarget[s] = outputs.block(index(c, s));
    }
}

void MixerBank::renderChannel(int c, int s) {
    const int i = index(c, s);
    float* out = outputs.block(i);
    SignalPort* outPort = outputs.port(i);
    const SignalPort* in = input[i];
    outputs.moveHistory(i);
    if (!in) {
        for (int n = 0; n < blockLength; ++n) out[n] = 0.f;
        outPort->controlRate = 0;
    } else {
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
                for (int n = 0; n < blockLength; ++n) {
                    out[n] = x[n] * wanted;
                    sum[n] += out[n];
                }
                return;
            }
            for (int n = 0; n < blockLength; ++n) out[n] = x[n] * wanted;
        }
    }
    if (!sumMode[c]) {
        sumTarget[s] = out;
    } else if (sumTarget[s] && sumTarget[s] != out) {
        float* sum = sumTarget[s];
        for (int n = 0; n < blockLength; ++n) sum[n] += out[n];
    }
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
