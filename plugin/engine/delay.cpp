#include "engine/delay.h"

#include <cmath>

#include "engine/effect_util.h"

namespace {
constexpr float kLineMs = 5001.0f;
constexpr float kInitialTimeMs = 1000.0f;
// The gains' time constant: 0.03 x 0.0001 s, a few samples.
constexpr double kSmoothingSeconds = 0.03 * 0.0001;
// The crossfade moves with the gains' coefficient and ends once the new tap holds 99 %: within
// one block, so that a new time target is taken at the next block.
constexpr float kCrossfadeEnd = 0.99f;
constexpr float kSettled = 0.0001f;
}

Delay::Delay()
    : initialised(0), sampleRate(44100.0f), smoothing(1.0f), feedback(0.99f),
      feedbackTarget(0.99f), wet(1.0f), wetTarget(1.0f), dry(0.0f), dryTarget(0.0f), currentTime(kInitialTimeMs),
      nextTime(kInitialTimeMs), timeTarget(kInitialTimeMs), timeLimit(kLineMs), position(1.0f) {}

Delay::~Delay() { free(); }

int Delay::init(float rate) {
    free();
    sampleRate = fx::acceptSampleRate(rate, 44100.0f);
    if (line1.init(sampleRate, kLineMs) || line2.init(sampleRate, kLineMs)) {
        free();
        return 1;
    }
    DelayLineRecord mode = {0, kDelayReadTruncated};
    line1.message(&mode, kDelayLineReadMode);
    line2.message(&mode, kDelayLineReadMode);
    // Mended: the feedback starts at its limit, 0.99, rather than 1, which never decays.
    feedback = feedbackTarget = 0.99f;
    wet = wetTarget = 1.0f;
    dry = dryTarget = 0.0f;
    currentTime = nextTime = timeTarget = kInitialTimeMs;
    position = 1.0f;
    setSampleRate(sampleRate);
    initialised = 1;
    return 0;
}

void Delay::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    smoothing = (float)fx::onePoleCoefficient(sampleRate * kSmoothingSeconds);
    line1.setSampleRate(sampleRate);
    line2.setSampleRate(sampleRate);
    updateTimeLimit();
}

// Below 48 kHz the buffer holds 5001 ms; from 48 kHz up the same number of samples. Mended:
// the times already set are limited again when the rate rises.
void Delay::updateTimeLimit() {
    timeLimit = sampleRate < 48000.0f ? kLineMs : kLineMs * 48000.0f / sampleRate;
    if (timeTarget > timeLimit) timeTarget = timeLimit;
    if (nextTime > timeLimit) nextTime = timeLimit;
    if (currentTime > timeLimit) currentTime = timeLimit;
}

int Delay::message(const DelayRecord* record, int code) {
    if (!record || code != kDelaySettings) return 0;
    // Mended: wet, feedback and time are clamped here; sqrt of a wet beyond 0..1 gave NaN.
    float w = fx::clampOr(record->wet, 0.0f, 1.0f, 0.0f);
    wetTarget = std::sqrt(w);
    dryTarget = std::sqrt(1.0f - w);
    feedbackTarget = fx::clampOr(record->feedback, -0.99f, 0.99f, 0.0f);

    float time = record->timeMs;
    const float tempo = record->tempo;
    // A tempo that is not a positive finite number leaves the plain time in force; division 0
    // counts as 1, the beat itself.
    if (record->tempoSync && tempo > 0.0f && tempo <= FLT_MAX) {
        const int division = record->tempoDivision == 0 ? 1 : record->tempoDivision;
        time = division > 0 ? 60000.0f / (tempo * (float)division) : (float)-(double)division * 60000.0f / tempo;
    }
    timeTarget = fx::clampOr(time, 0.0f, timeLimit, timeTarget);
    return 0;
}

void Delay::process(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    if (!initialised || !leftIn || !rightIn || !leftOut || !rightOut) return;
    if (position >= 1.0f) {
        nextTime = timeTarget;
        if (nextTime != currentTime) position = 0.0f;
    }
    if (position < 1.0f) {
        render<true, true>(leftIn, rightIn, leftOut, rightOut, count);
        if (position > kCrossfadeEnd) {
            position = 1.0f;
            currentTime = nextTime;
        }
    } else if (std::fabs(feedback - feedbackTarget) <= kSettled && std::fabs(wet - wetTarget) <= kSettled) {
        feedback = feedbackTarget;
        wet = wetTarget;
        dry = dryTarget;
        render<false, false>(leftIn, rightIn, leftOut, rightOut, count);
    } else {
        render<false, true>(leftIn, rightIn, leftOut, rightOut, count);
    }
}

// Left: the tap at the delay time; right: the tap at half of it; both fed back from the left.
template <bool Crossfade, bool Smooth>
void Delay::render(const float* leftIn, const float* rightIn, float* leftOut, float* rightOut, int count) {
    // The times hold for the block: their taps are worked out once.
    const DelayLine::Tap current = line1.tap(currentTime), halfCurrent = line1.tap(currentTime * 0.5f);
    const DelayLine::Tap next = line1.tap(nextTime), halfNext = line1.tap(nextTime * 0.5f);
    for (int n = 0; n < count; ++n) {
        if (Smooth) {
            feedback += (feedbackTarget - feedback) * smoothing;
            wet += (wetTarget - wet) * smoothing;
            dry += (dryTarget - dry) * smoothing;
        }
        float a, b;
        if (Crossfade) {
            position += (1.0f - position) * smoothing;
            a = position * line1.read(next) + (1.0f - position) * line1.read(current);
            b = position * line1.read(halfNext) + (1.0f - position) * line1.read(halfCurrent);
        } else {
            a = line1.read(current);
            b = line1.read(halfCurrent);
        }
        const float l = leftIn[n], r = rightIn[n];
        line1.push(fx::flushState((l + r) * 0.5f + a * feedback));
        leftOut[n] = a * wet + dry * l;
        rightOut[n] = b * wet + dry * r;
    }
}

void Delay::clear() {
    line1.clear();
    line2.clear();
}

void Delay::free() {
    line1.free();
    line2.free();
    initialised = 0;
}
