// Conversions from a stored parameter value (0-1 for host parameters) to what the engine
// needs: times in ms, frequencies in Hz, gains, pitch factors, tempo divisions.
// Pure functions of one float; no state, no allocation, safe on any thread.
//
// Any float is accepted: NaN reads as 0; table curves clamp to their end points; the
// closed forms and the staircases extend their outer segments and steps (the closed forms
// up to |x| = 1e6, so that every result is a finite float).
#pragma once

// Table curves: points spread evenly over 0-1, read with linear interpolation.
float brillianceCurve(float x);      // offset, 1 .. -1
float vibratoRateCurve(float x);     // Hz
float vibratoDepthCurve(float x);    // depth
float releaseTimeCurve(float x);     // ms
float ringDecayCurve(float x);       // ms
float ringAttackCurve(float x);      // ms
float attackTimeCurve(float x);      // ms
float sustainTimeCurve(float x);     // ms
float decayTimeCurve(float x);       // ms
float portamentoTimeCurve(float x);  // ms
float cutoffCurve(float x);          // Hz
float ringSpeedCurve(float x);       // Hz
float resonanceCurve(float x);
float initialLevelCurve(float x);
float attackLevelCurve(float x);
float widthCurve(float x);           // half-width of the pulse
float noiseLevelCurve(float x);      // gain
float sineLevelCurve(float x);       // gain
float vcaLevelCurve(float x);        // gain
float vcfLevelCurve(float x);        // gain
float lfoRateCurve(float x);         // Hz
float pwmDepthCurve(float x);
float masterVolumeCurve(float x);    // gain
// Signed amount, -1 .. 1, odd about 0: just below 0 it is close to +1.
float modAmountCurve(float x);

// Closed forms.
float delayTimeCurve(float x);    // ms, 0.2 .. 5000
float chorusSpeedCurve(float x);  // Hz, 0.00625 .. 20
float detuneCurve(float x);       // pitch factor, 0.97 .. 1.032354
float partVolumeCurve(float x);   // gain, 0 .. 0.99724, in dB above 63 x = 45
int transposeSteps(float x);      // semitones, -36 .. 36

// Tempo divisions in the engine's convention: n > 0 multiplies the beat rate by n,
// n < 0 divides it by -n. Callers truncate the result to an integer.
float lfoDivisionSteps(float x);    // /8 .. x9
float delayDivisionSteps(float x);  // x8 .. /9

// Every curve by name, for the parameter table.
enum class Curve : unsigned char {
    none,  // the value itself
    brilliance,
    vibratoRate,
    vibratoDepth,
    releaseTime,
    ringDecay,
    ringAttack,
    attackTime,
    sustainTime,
    decayTime,
    portamentoTime,
    cutoff,
    ringSpeed,
    resonance,
    initialLevel,
    attackLevel,
    width,
    noiseLevel,
    sineLevel,
    vcaLevel,
    vcfLevel,
    lfoRate,
    pwmDepth,
    masterVolume,
    modAmount,
    delayTime,
    chorusSpeed,
    detune,
    partVolume,
    transposeSteps,
    lfoDivisionSteps,
    delayDivisionSteps,
};

// What a curve is given: the stored value v, 1 - v, or 2 v - 1.
enum class CurveInput : unsigned char { value, inverted, bipolar };

float curveInput(CurveInput input, float value);
float applyCurve(Curve curve, float x);

// Choices of n steps: the step is the first whose upper threshold lies above the value,
// compared in double precision; the last step takes the rest. NaN reads as 0 here too.
struct StepScale {
    int count;
    const double* upper;  // count - 1 thresholds, rising
};
extern const StepScale kThirds;    // 1/3, 2/3
extern const StepScale kQuarters;  // 0.25, 0.5, 0.75
extern const StepScale kFifths;    // 0.2, 0.4, 0.6, 0.8
extern const StepScale kSixths;    // 1/6 .. 5/6 as single floats
int stepOf(const StepScale& scale, float value);
