// The global vibrato LFO: one oscillator for all voices whose rate an input can speed up
// (pressure x touch speed). One value per block, like the per-voice LFOs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/lfo_oscillator.h"
#include "engine/signal_port.h"

// The vibrato LFO's message record: 32-bit words, then the engine's sine table.
struct VibratoLfoRecord {
    int32_t wave;           // 0: waveform letter '@'..'G' ('G' holds 0: there is no hold input)
    float rate;             // 1: Hz
    float rateModAmount;    // 2: touch speed; the rate is multiplied by 64^(input x amount)
    int32_t reserved3;      // 3
    int32_t blockLength;    // 4: L, initialisation
    int32_t historyLength;  // 5: M (at least 1), initialisation
    int32_t reserved[6];    // 6-11
    int32_t sineSize;       // 12: initialisation; 8193 (8192 points and the wrap point)
    const float* sineTable; // 13: initialisation; null makes the module build its own
};

static_assert(offsetof(VibratoLfoRecord, blockLength) == 4 * 4 && offsetof(VibratoLfoRecord, sineSize) == 12 * 4,
              "VibratoLfoRecord word layout");

enum VibratoLfoMessage { kVibratoLfoMsgSettings = 1, kVibratoLfoMsgTouchSpeed = 3 };

enum VibratoLfoPortKind { kVibratoLfoInRate = 80 };

class VibratoLfo {
public:
    VibratoLfo();
    ~VibratoLfo();

    int init(VibratoLfoRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(VibratoLfoRecord* record, int code);
    void process();
    void free();
    void clearRetrigger();

    SignalPort* takeOutput(int kind);
    void releaseOutput(int kind);
    int connectInput(int kind, SignalPort* port);
    void releaseInput(int kind);

    double currentRate() const { return osc.rate; }
    int outputUses(int kind) const { return kind == kLfoOutGate ? outputs.gateUses : outputs.valueUses; }

private:
    void computeRateFields();
    void setShape(double hz);

    float sampleRate;
    double blockSeconds;  // L / rate
    int blockLength;
    int historyLength;
    const float* sine;
    float* ownSine;
    float* buffer;   // M history samples, then the block
    float* silence;  // the gate port's sample pointer: zeros
    LogisticGenerator generator;
    LfoOscillator osc;
    float rateModAmount;
    SignalPort* rateInput;
    int32_t active;
    int32_t resetPending;
    LfoOutputs outputs;
};
