#include "engine/voice_lfo.h"

#include <cmath>
#include <cstring>
#include <new>

VoiceLfo::VoiceLfo()
    : sampleRate(44100.0f),
      inverseRate(1.0 / 44100.0),
      blockSeconds(0.0),
      blockLength(0),
      historyLength(0),
      voiceCount(0),
      sine(nullptr),
      ownSine(nullptr),
      buffers(nullptr),
      silence(nullptr),
      generator{0.1, 0.999999} {
    std::memset(slots, 0, sizeof(slots));
}

VoiceLfo::~VoiceLfo() { free(); }

int VoiceLfo::init(VoiceLfoRecord* record, int kind, float rate) {
    free();
    if (record == nullptr || !(rate > 0.0f) || !std::isfinite(rate)) return 1;
    if (!lfoLengthsValid(record->blockLength, record->historyLength) || record->voiceCount < 1 ||
        record->voiceCount > kSlots)
        return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    voiceCount = record->voiceCount;
    const size_t length = static_cast<size_t>(blockLength + historyLength);

    sine = lfoSineTable(record->sineTable, record->sineSize, &ownSine);
    if (sine == nullptr) return 1;
    buffers = new (std::nothrow) float[length * kSlots];
    silence = new (std::nothrow) float[length];
    if (buffers == nullptr || silence == nullptr) {
        free();
        return 1;
    }
    std::memset(buffers, 0, sizeof(float) * length * kSlots);
    std::memset(silence, 0, sizeof(float) * length);

    sampleRate = rate;
    computeRateFields();
    generator.x = 0.1;
    generator.r = 0.999999;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = slots[i];
        std::memset(&s, 0, sizeof(Slot));
        s.osc.reset(kLfoSine, 0.1f);
        s.shapedSum = std::nanf("");
        s.tempoSync = 0;
        s.tempo = 120.0f;
        s.division = 1;
        s.leader = -1;
        s.rateMod.clear();
        s.amplitude.clear();
        s.outputs.attach(buffers + length * i, silence, blockLength, historyLength);
    }
    return 0;
}

void VoiceLfo::computeRateFields() {
    inverseRate = 1.0 / sampleRate;
    blockSeconds = blockLength * inverseRate;
}

void VoiceLfo::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    sampleRate = rate;
    if (buffers == nullptr) return;
    computeRateFields();
}

void VoiceLfo::free() {
    delete[] buffers;
    buffers = nullptr;
    delete[] silence;
    silence = nullptr;
    delete[] ownSine;
    ownSine = nullptr;
    sine = nullptr;
    for (Slot& s : slots) {
        s.outputs.detach();
        s.active = s.resetPending = 0;
    }
}

int VoiceLfo::message(VoiceLfoRecord* record, int code) {
    if (record == nullptr || buffers == nullptr || code != kVoiceLfoMsgSettings) return 0;
    Slot& s = slots[clampSlot(record->slot)];
    s.osc.wave = lfoWaveform(record->wave);
    s.osc.baseRate = record->rate;
    s.tempoSync = record->tempoSync;
    s.tempo = record->tempo;
    s.division = record->division;
    s.osc.rateChanged = 1;
    return 0;
}

void VoiceLfo::setModeLink(int slot, int leader) { slots[clampSlot(slot)].leader = clampSlot(leader); }

void VoiceLfo::clearModeLink(int slot) { slots[clampSlot(slot)].leader = -1; }

void VoiceLfo::clearRetrigger() {
    for (Slot& s : slots) s.outputs.gateRecord.retrigger = 0;
}

void VoiceLfo::restartRandom(Slot& s) { s.osc.restart(generator.next()); }

SignalPort* VoiceLfo::takeOutput(int kind, int slot) {
    if (buffers == nullptr) return nullptr;
    Slot& s = slots[clampSlot(slot)];
    if (!s.active) restartRandom(s);
    s.active = 1;
    s.resetPending = 1;
    return s.outputs.take(kind);
}

void VoiceLfo::releaseOutput(int kind, int slot) {
    Slot& s = slots[clampSlot(slot)];
    s.outputs.release(kind);
    if (!s.outputs.inUse()) s.active = 0;
}

int VoiceLfo::connectInput(int kind, SignalPort* port, int slot, int tag) {
    if (buffers == nullptr) return 1;
    Slot& s = slots[clampSlot(slot)];
    switch (kind) {
    case kVoiceLfoInRate: return s.rateMod.add(port, tag);
    case kVoiceLfoInAmplitude: return s.amplitude.add(port, tag);
    case kVoiceLfoInHold: s.hold = port; return 0;
    case kVoiceLfoInTrigger: s.trigger = port; return 0;
    default: return 1;
    }
}

void VoiceLfo::releaseInput(int kind, int slot, int tag) {
    if (buffers == nullptr) return;
    Slot& s = slots[clampSlot(slot)];
    switch (kind) {
    case kVoiceLfoInRate:
        s.rateMod.remove(tag);
        s.osc.rateChanged = 1;
        break;
    case kVoiceLfoInAmplitude: s.amplitude.remove(tag); break;
    case kVoiceLfoInHold: s.hold = nullptr; break;
    case kVoiceLfoInTrigger:
        s.trigger = nullptr;
        restartRandom(s);
        break;
    default: break;
    }
}

double VoiceLfo::targetRate(const Slot& s) const {
    if (s.tempoSync) {
        // In double: a division of INT_MIN has no int magnitude.
        const double division = s.division;
        if (division >= 0.0) return s.tempo * division / 60.0;
        return s.tempo / (-division * 60.0);
    }
    double hz = s.osc.baseRate;
    if (s.rateMod.count > 0) {
        const double m = s.rateMod.sumFirst();
        if (m != 0.0) hz *= lfoRateFactor(m);
    }
    return hz;
}

void VoiceLfo::process() {
    if (buffers == nullptr) return;
    const double blockRandom = generator.next();
    for (int i = 0; i < voiceCount; ++i) {
        Slot& s = slots[i];
        if (!s.active) {
            if (s.resetPending) {
                s.outputs.clear();
                s.resetPending = 0;
            }
            continue;
        }
        if (s.trigger != nullptr) {
            int32_t gate, retrigger;
            portGate(s.trigger, &gate, &retrigger);
            if ((gate != s.lastTrigger || retrigger == 1) && gate == 1) s.osc.restart(0.0);
            s.lastTrigger = gate;
        }
        if (s.osc.rateChanged || s.rateMod.count > 0) {
            // The rate is a function of the settings, which raise the flag, and the sum of
            // the rate inputs: while both hold, the shape stands.
            const float sum = s.rateMod.count > 0 ? s.rateMod.sumFirst() : 0.f;
            if (s.osc.rateChanged || !(sum == s.shapedSum)) {
                s.osc.setShape(targetRate(s));
                s.shapedSum = sum;
            }
            s.osc.rateChanged = 0;
        }
        float v = s.osc.step(blockSeconds, sine, s.outputs.gateUses > 0, blockRandom, generator, portValue(s.hold));
        if (s.amplitude.count > 0) v *= s.amplitude.sumFirst();
        s.outputs.write(v, s.osc.flag);
        if (s.leader >= 0 && s.leader != i) {
            float* out = s.outputs.value.samples;
            const float* lead = slots[s.leader].outputs.value.samples;
            out[-1] = lead[-1];
            out[0] = lead[0];
        }
    }
}
