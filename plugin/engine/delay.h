// Stereo feedback delay of the global effects: fed by the mono sum, a full-time tap on the
// left and a half-time tap on the right, optional tempo sync, and a crossfade between the
// old and the new tap when the delay time changes.
#pragma once

#include <cstdint>

#include "engine/delay_line.h"

// Message record of the delay (kDelaySettings).
struct DelayRecord {
    float timeMs;           // 0: delay time in ms (without tempo sync)
    int32_t tempoDivision;  // 1: n > 0: a beat divided by n; n < 0: -n beats
    float feedback;         // 2: -0.99..0.99
    int32_t tempoSync;      // 3: switch
    float tempo;            // 4: beats per minute
    float wet;              // 5: 0 dry .. 1 wet
};

enum DelayMessage {
    kDelaySettings = 22,
};

class Delay {
public:
    Delay();
    ~Delay();
    Delay(const Delay&) = delete;
    Delay& operator=(const Delay&) = delete;

    int init(float rate);  // 0 on success, 1 on failure
    void setSampleRate(float rate);
    int message(const DelayRecord* record, int code);
    // Works in place when the outputs are the inputs.
    void process(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count);
    // Empties both delay lines (the engine calls it when the delay is switched off).
    void clear();
    void free();

    float getTimeTarget() const { return timeTarget; }
    float getTimeLimit() const { return timeLimit; }
    float getFeedbackTarget() const { return feedbackTarget; }
    float getWetTarget() const { return wetTarget; }
    float getDryTarget() const { return dryTarget; }
    bool isCrossfading() const { return position < 1.0f; }

private:
    void updateTimeLimit();
    template <bool Crossfade, bool Smooth>
    void render(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count);

    int initialised;
    float sampleRate;
    DelayLine line1;  // the one processing reads
    DelayLine line2;  // cleared with the first, not read
    float smoothing;  // per sample, a few samples' time constant: gains and crossfade follow at once
    float feedback, feedbackTarget;
    float wet, wetTarget;
    float dry, dryTarget;
    float currentTime, nextTime, timeTarget;  // ms
    float timeLimit;                          // ms: what the buffer holds at this rate
    float position;                           // crossfade from current to next; 1 = none
};
