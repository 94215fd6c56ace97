// Band-limited oscillator module serving all 32 voice slots: sawtooth, pulse and
// triangle mix with noise, a sine, and a sync signal.
//
// Placeholder: the interface the engine builds on. The generator itself (step tables on
// the tick grid, delayed commit, sync, triangle, sine, noise, drift) is not built yet:
// this placeholder reports the block and history lengths and produces silence.
#pragma once

#include <cstdint>

#include "engine/signal_port.h"

// The oscillator's message record: seventeen 32-bit words, then the engine's tables.
struct OscillatorRecord {
    int32_t voiceCount;     // 0: initialisation
    int32_t slot;           // 1
    float frequency;        // 2: Hz
    float width;            // 3: pulse width
    int32_t state;          // 4: voice state (16 sounding)
    int32_t saw;            // 5
    int32_t pulse;          // 6
    int32_t triangle;       // 7
    float noise;            // 8: noise level
    int32_t syncMode;       // 9: 0 none, 1 hard, 2 guarded
    int32_t reserved10;     // 10
    float driftSmoothing;   // 11
    float driftDepth;       // 12
    float vibratoDepth;     // 13
    float touchAmount;      // 14
    float pwmDepth;         // 15
    int32_t bendRange;      // 16: semitones; below 0 bend off
    const float* sineTable;      // 8192 entries plus the wrap point; null: the module builds its own
    int32_t sineSize;
    const float* semitoneTable;  // 241 ratios, index 120 = 1.0; null: the module builds its own
    int32_t semitoneSize;
};

enum OscillatorPortKind {
    kOscOutMix = 6,
    kOscOutSync = 7,
    kOscOutSine = 8,
    kOscInSync = 7,
    kOscInVibrato = 9,
    kOscInBend = 10,
    kOscInPitch = 11,
    kOscInTouch = 12,
    kOscInPwmLfo = 13,
    kOscInPulseWidth = 14,
    kOscInNoise = 15,
};

class Oscillator {
public:
    Oscillator();
    ~Oscillator();

    int init(OscillatorRecord* record, int number, float rate);
    void setSampleRate(float rate);
    int message(OscillatorRecord* record, int code);
    void process();
    void free();

    int getBlockLength() const { return blockLength; }
    int getHistoryLength() const { return historyLength; }

    SignalPort* takeOutput(int kind, int slot);
    void releaseOutput(int kind, int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

private:
    int number;
    int blockLength;
    int historyLength;
};
