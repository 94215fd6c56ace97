#include "engine/mod_amount_bank.h"

#include <cmath>

using engine::clampFinite;
using engine::clampInt;
using engine::clampSlot;
using engine::kSlotOff;
using engine::kSlotSounding;
using engine::kVoiceSlots;

namespace {
int clampChannel(int channel) { return clampInt(channel, 0, ModAmountBank::kChannels - 1); }
const float kAmountLimit = 1.0e3f;
}  // namespace

ModAmountBank::ModAmountBank()
    : blockLength(0), historyLength(0), sampleRate(44100.f), inverseRate(1.f / 44100.f), amountCoefficient(1.f) {
    clearState();
}

void ModAmountBank::clearState() {
    for (int c = 0; c < kChannels; ++c) useCount[c] = active[c] = resetPending[c] = 0;
    for (int i = 0; i < kChannels * kVoiceSlots; ++i) {
        input[i] = nullptr;
        amountTarget[i] = amount[i] = 1.f;
        voiceState[i] = kSlotOff;
    }
}

ModAmountBank::~ModAmountBank() { free(); }

int ModAmountBank::init(ModAmountRecord* record, int kind, float rate) {
    free();
    if (!record || kind != kInitKind || !engine::isUsableRate(rate)) return 1;
    if (!engine::areUsableLengths(record->blockLength, record->historyLength)) return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    if (outputs.allocate(kChannels * kVoiceSlots, blockLength, historyLength, 0)) return 1;
    setSampleRate(rate);
    // A 3 microsecond time constant per block of L samples: exp underflows, the step is 1.
    amountCoefficient =
        static_cast<float>(1.0 - std::exp(-static_cast<double>(blockLength) / (rate * 0.03 * 0.0001)));
    clearState();
    return 0;
}

void ModAmountBank::setSampleRate(float rate) {
    if (!engine::isUsableRate(rate)) return;
    sampleRate = rate;
    inverseRate = 1.f / rate;
}

void ModAmountBank::free() { outputs.release(); }

int ModAmountBank::message(ModAmountRecord* record, int code) {
    if (!record) return 0;
    const int s = clampSlot(record->slot);
    switch (code) {
    case kModAmountTarget:
        amountTarget[index(clampChannel(record->channel), s)] =
            clampFinite(record->amount, -kAmountLimit, kAmountLimit);
        break;
    case kModAmountVoiceState:
        for (int c = 0; c < kStateChannels; ++c) voiceState[index(c, s)] = record->state;
        break;
    default:
        break;
    }
    return 0;
}

int ModAmountBank::connectInput(int channel, SignalPort* port, int slot, int tag) {
    input[index(clampChannel(channel), clampSlot(slot))] = port;
    return 0;
}

void ModAmountBank::releaseInput(int channel, int slot, int tag) {
    input[index(clampChannel(channel), clampSlot(slot))] = nullptr;
}

SignalPort* ModAmountBank::takeOutput(int channel, int slot) {
    if (!outputs.isAllocated()) return nullptr;
    const int c = clampChannel(channel);
    ++useCount[c];
    active[c] = 1;
    return outputs.port(index(c, clampSlot(slot)));
}

void ModAmountBank::releaseOutput(int channel, int slot) {
    const int c = clampChannel(channel);
    if (useCount[c] > 0 && --useCount[c] == 0) {
        active[c] = 0;
        resetPending[c] = 1;
    }
}

float ModAmountBank::getAmount(int channel, int slot) const { return amount[index(clampChannel(channel), clampSlot(slot))]; }

void ModAmountBank::renderSlot(int c, int s) {
    const int i = index(c, s);
    // Written so that a step of 1 lands exactly on the target.
    const float a = amountTarget[i] * amountCoefficient + amount[i] * (1.f - amountCoefficient);
    amount[i] = a;
    SignalPort* outPort = outputs.port(i);
    float* out = outPort->samples;
    const SignalPort* in = input[i];
    if (!in) {
        out[0] = 0.f;
        if (historyLength > 0) out[-1] = 0.f;
        return;
    }
    outPort->controlRate = in->controlRate;
    const float* x = in->samples;
    if (in->controlRate) {
        out[0] = x[0] * a;
        if (historyLength > 0) out[-1] = out[0];
    } else {
        outputs.moveHistory(i);
        for (int n = 0; n < blockLength; ++n) out[n] = x[n] * a;
    }
}

void ModAmountBank::process() {
    if (!outputs.isAllocated()) return;
    for (int c = 0; c < kChannels; ++c) {
        if (!active[c]) {
            if (resetPending[c]) {
                for (int s = 0; s < kVoiceSlots; ++s) outputs.clear(index(c, s));
                resetPending[c] = 0;
            }
            continue;
        }
        // Slot 0 always runs.
        renderSlot(c, 0);
        for (int s = 1; s < kVoiceSlots; ++s)
            if (voiceState[index(c, s)] == kSlotSounding) renderSlot(c, s);
    }
}
