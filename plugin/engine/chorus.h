// Stereo chorus of the global effects: a band-passed mono sum through two cascaded,
// LFO-modulated short delays, mixed back with amplitude modulation in opposite senses on
// the two sides. A second mode modulates slower and deeper.
#pragma once

#include <cstdint>

#include "engine/delay_line.h"
#include "engine/effect_util.h"

// Message record of the chorus (init and kChorusSettings).
struct ChorusRecord {
    float sampleRate;        // 0: Hz (init)
    int32_t blockLength;     // 1: L (init; not needed by the chorus)
    int32_t mode;            // 2: 0 chorus; any other value the slow, deep mode
    float speed;             // 3: Hz
    float depth;             // 4: 0..1
    float reserved[4];       // 5-8: not read
    int32_t sineSize;        // 9: points of sineTable before its wrap point
    const float* sineTable;  // 10: the engine's sine table; null: the chorus builds its own
};

enum ChorusMessage {
    kChorusSettings = 25,
};

// A sine LFO read from a table: one step per sample.
class ChorusLfo {
public:
    ChorusLfo();
    ~ChorusLfo();
    ChorusLfo(const ChorusLfo&) = delete;
    ChorusLfo& operator=(const ChorusLfo&) = delete;

    // table: `size` points of one period plus a wrap point; null builds a table of its own.
    // 0 on success, 1 on failure.
    int init(float rate, const float* table, int size);
    void setSampleRate(float rate);
    void setRate(float hz);  // Hz, at least 1e-6
    float step() {
        phase = fx::advancePhase(phase, increment, tableSize);
        value = fx::readSineTable(table, phase);
        return value;
    }
    void free();

    float getRate() const { return rateHz; }
    float getValue() const { return value; }

private:
    void updateIncrement();

    float sampleRate;
    float rateHz;
    float phase;      // table entries, 0..size
    float increment;  // table entries per sample
    const float* table;
    float* ownTable;
    int tableSize;
    float value;
};

class Chorus {
public:
    Chorus();
    ~Chorus();
    Chorus(const Chorus&) = delete;
    Chorus& operator=(const Chorus&) = delete;

    int init(const ChorusRecord* record);  // 0 on success, 1 on failure
    void setSampleRate(float rate);
    int message(const ChorusRecord* record, int code);
    // Works in place when the outputs are the inputs.
    void process(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count);
    // The same one sample at a time, every step in turn: the reference process must match
    // to the bit.
    void processReference(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count);
    // Empties the delay lines and the band-pass history.
    void clear();
    void free();

    int getMode() const { return mode; }
    float getDepthTarget() const { return depthTarget; }
    float getDepth() const { return depth; }
    float getLfoRate(int index) const { return (index == 0 ? lfo1 : lfo2).getRate(); }

private:
    static constexpr int kStretch = 64;  // samples worked out together

    void computeBandPass();
    void runStretch(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count);

    int initialised;
    float sampleRate;
    DelayLine line1;
    DelayLine line2;
    ChorusLfo lfo1;
    ChorusLfo lfo2;
    int mode;
    float depthTarget;
    float depth;
    float depthCoefficient;  // 200 ms per sample
    // The band-pass (b1 = 0) and its history, one sample a step.
    struct BandPass {
        float b0, b2, a1, a2;
        float x1, x2, y1, y2;
        float step(float m) {
            const float x = fx::flushState(m);
            const float y = fx::flushState(b0 * x + b2 * x2 - a1 * y1 - a2 * y2);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    } bandPass;
};
