// The oscillator inside both LFO modules: one value per block for the waves '@' to 'G',
// from a sine phase, a ramp/triangle machine with a half-cycle flag, and a sample and hold.
#pragma once

#include <cstdint>

#include "engine/gate_record.h"
#include "engine/signal_port.h"

// Output kinds of both LFO modules: 72 is the gate output, any other kind the value.
enum LfoOutputKind { kLfoOutValue = 0, kLfoOutGate = 72 };

// Waveform letters, as the engine commands carry them.
enum LfoWaveform {
    kLfoSine = '@',
    kLfoSquare = 'A',        // 0 or 1: the half-cycle flag
    kLfoSawUp = 'B',         // rises from -1 to +1, then drops
    kLfoSawDown = 'C',       // falls from +1 to -1, then jumps back
    kLfoTriangle = 'D',      // -1..1
    kLfoRandom = 'E',        // a new value in (0, 1) every block
    kLfoSampleHold = 'F',    // a value in (0, 1) renewed once per period
    kLfoSampleInput = 'G',   // the hold input's value, taken once per period
};

// Logistic map x <- 4 r x (1 - x), kept off its two fixed points.
struct LogisticGenerator {
    double x;
    double r;

    double next() {
        x = 4.0 * r * x * (1.0 - x);
        if (x == 0.0) x = 1e-6;
        else if (x == 1.0) x = 0.999999;
        return x;
    }
};

// A wave letter from outside: anything but '@'..'G' plays the sine.
int32_t lfoWaveform(int32_t letter);

// The rate factor 64^m of a rate modulation m, with the exponent kept finite; NaN counts as
// no modulation.
double lfoRateFactor(double m);

// Sine table of the LFOs: 8192 points of one cycle plus the wrap point.
const int kLfoSineSize = 8193;
// The given table when it has every point, else one built into *own (new[]); null when out
// of memory.
const float* lfoSineTable(const float* given, int32_t size, float** own);

// Block and history lengths an LFO accepts: the previous value lives in the history sample
// just before the block.
inline bool lfoLengthsValid(int32_t blockLength, int32_t historyLength) {
    return blockLength >= 1 && blockLength <= 4096 && historyLength >= 1 && historyLength <= 4096;
}

// The two outputs of an LFO with their use counts: the value, one per block in the first
// sample with the previous one in the sample before it, and the half-cycle gate.
struct LfoOutputs {
    float* buffer;  // M + L samples
    int32_t length;
    SignalPort value;
    GateRecord gateRecord;
    SignalPort gate;
    int32_t valueUses;
    int32_t gateUses;

    // silence: M + L zeros shared by the gate ports, for readers that read samples.
    void attach(float* samples, float* silence, int32_t blockLength, int32_t historyLength);
    void detach();
    SignalPort* take(int kind);
    void release(int kind);
    bool inUse() const { return valueUses > 0 || gateUses > 0; }
    // The block's value; the gate is written while someone reads it (flag 1: second half-cycle).
    void write(float v, int32_t flag);
    void clear();
};

struct LfoOscillator {
    int32_t wave;
    float baseRate;  // Hz
    double rate;     // Hz, of the shape values
    double period;   // seconds
    double h;        // share of the period in the second half-cycle: 0 for the sawtooth waves, else 0.5
    double s1;       // ramp slope, per second
    double s2;       // triangle slope in the second half-cycle, per second
    double e;        // ramp value that ends the second half-cycle
    double ramp;
    double triangle;
    int32_t flag;      // 1 in the second half-cycle
    float sinePhase;   // table entries, [0, 8192)
    double holdTime;   // seconds since the held value was taken
    float held;
    int32_t rateChanged;

    void reset(int32_t letter, float hz);
    // Shape values for a rate of at least 1e-5 Hz.
    void setShape(double hz);
    // Start at phase x in [0, 1).
    void restart(double x);
    // One block of d seconds. runRamp: the ramp machine runs whatever the wave (the gate output
    // reads its flag). blockRandom: the generator's value of this block; generator: renews held
    // values; holdInput: the value 'G' takes.
    float step(double d, const float* sine, bool runRamp, double blockRandom, LogisticGenerator& generator,
               float holdInput);
};
