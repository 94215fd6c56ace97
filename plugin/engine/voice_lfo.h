// Per-voice LFO module (LFO 1 or LFO 2 of a patch) serving all 32 voice slots: each slot
// has its own phase, rate, waveform, tempo sync, rate and amplitude inputs, a trigger that
// restarts it on the note's gate, and an optional link to another slot's output. One value
// per block: the first sample of the block holds it, the sample before it the last one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/lfo_oscillator.h"
#include "engine/input_list.h"
#include "engine/port_inputs.h"
#include "engine/signal_port.h"

// The per-voice LFO's message record: 32-bit words, then the engine's sine table.
struct VoiceLfoRecord {
    int32_t wave;           // 0: waveform letter '@'..'G'
    float rate;             // 1: Hz
    int32_t reserved[7];    // 2-8
    int32_t blockLength;    // 9: L, initialisation
    int32_t historyLength;  // 10: M (at least 1), initialisation
    int32_t reserved11;     // 11
    int32_t voiceCount;     // 12: initialisation
    int32_t slot;           // 13
    int32_t tempoSync;      // 14: non-zero = rate from the tempo
    float tempo;            // 15: beats per minute
    int32_t division;       // 16: cycles per beat; negative: beats per cycle
    int32_t sineSize;       // 17: initialisation; 8193 (8192 points and the wrap point)
    const float* sineTable; // 18: initialisation; null makes the module build its own
};

static_assert(offsetof(VoiceLfoRecord, blockLength) == 9 * 4 && offsetof(VoiceLfoRecord, slot) == 13 * 4 &&
                  offsetof(VoiceLfoRecord, sineSize) == 17 * 4,
              "VoiceLfoRecord word layout");

enum VoiceLfoMessage { kVoiceLfoMsgSettings = 1 };

enum VoiceLfoPortKind {
    kVoiceLfoInRate = 80,       // summing, up to 6: the rate times 64^sum
    kVoiceLfoInAmplitude = 81,  // summing, up to 6: the value times the sum
    kVoiceLfoInHold = 82,       // the value that 'G' samples
    kVoiceLfoInTrigger = 83,    // a gate port: a rising gate restarts the slot at phase 0
};

class VoiceLfo {
public:
    static const int kSlots = 32;

    VoiceLfo();
    ~VoiceLfo();

    int init(VoiceLfoRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(VoiceLfoRecord* record, int code);
    void process();
    void free();

    void setModeLink(int slot, int leader);
    void clearModeLink(int slot);
    void clearRetrigger();

    SignalPort* takeOutput(int kind, int slot);
    void releaseOutput(int kind, int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

    double rateOf(int slot) const { return slots[clampSlot(slot)].osc.rate; }
    // Uses of a slot's output of the kind (kLfoOutGate or the value).
    int outputUses(int kind, int slot) const {
        const LfoOutputs& o = slots[clampSlot(slot)].outputs;
        return kind == kLfoOutGate ? o.gateUses : o.valueUses;
    }

private:
    struct Slot {
        LfoOscillator osc;
        int32_t tempoSync;
        float tempo;
        int32_t division;
        int32_t leader;  // slot whose output this one copies, -1 none
        int32_t active;
        int32_t resetPending;
        int32_t lastTrigger;
        InputList rateMod;
        float shapedSum;  // the rate inputs' sum the oscillator's shape was last set for
        InputList amplitude;
        SignalPort* hold;
        SignalPort* trigger;
        LfoOutputs outputs;
    };

    static int clampSlot(int slot) { return slot < 0 ? 0 : (slot >= kSlots ? kSlots - 1 : slot); }
    void computeRateFields();
    void restartRandom(Slot& s);
    double targetRate(const Slot& s) const;

    float sampleRate;
    double inverseRate;
    double blockSeconds;  // L / rate
    int blockLength;
    int historyLength;
    int voiceCount;
    const float* sine;
    float* ownSine;
    float* buffers;
    float* silence;  // the gate ports' sample pointer: zeros for readers that read samples
    LogisticGenerator generator;
    Slot slots[kSlots];
};
