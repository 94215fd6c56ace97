#include "core/value_curves.h"

#include <cmath>

namespace {

// NaN would slip past every comparison below and reach the engine.
inline float sane(float x) { return x != x ? 0.f : x; }

// The closed forms extend their outer segments, but only so far that every result stays a
// finite float (and a transposition an int).
inline float bounded(float x) {
    x = sane(x);
    return x > 1e6f ? 1e6f : x < -1e6f ? -1e6f : x;
}

template <int N>
float readTable(const float (&table)[N + 1], float x) {
    x = sane(x);
    if (x >= 1.f) return table[N];
    if (x < 0.f) return table[0];
    double scaled = N * (double)x;
    int i = (int)scaled;
    if (i > N - 1) i = N - 1;
    float f = (float)(scaled - i);
    return (float)(table[i] * (1.0 - f) + table[i + 1] * (double)f);
}

const float kBrilliance[11] = {1.f, 0.5f, 0.3f, 0.1f, 0.05f, 0.f, -0.05f, -0.1f, -0.3f, -0.5f, -1.f};
const float kVibratoRate[6] = {0.0125f, 0.25f, 1.f, 4.f, 25.f, 60.f};
const float kVibratoDepth[6] = {0.f, 0.005f, 0.025f, 0.1f, 0.5f, 1.f};
const float kReleaseTime[11] = {10.f, 20.f, 50.f, 100.f, 300.f, 500.f, 1000.f, 2000.f, 5000.f, 10000.f, 30000.f};
const float kRingDecay[11] = {0.f, 0.5f, 1.f, 5.f, 10.f, 20.f, 30.f, 50.f, 70.f, 100.f, 500.f};
const float kRingAttack[11] = {0.f, 0.5f, 1.f, 5.f, 10.f, 20.f, 30.f, 50.f, 70.f, 100.f, 500.f};
const float kAttackTime[11] = {0.f, 1.f, 5.f, 10.f, 20.f, 50.f, 100.f, 200.f, 500.f, 5000.f, 20000.f};
const float kSustainTime[11] = {0.f, 20.f, 50.f, 100.f, 200.f, 500.f, 1000.f, 2000.f, 5000.f, 10000.f, 50000.f};
const float kDecayTime[11] = {4.f, 10.f, 30.f, 50.f, 100.f, 200.f, 400.f, 800.f, 1000.f, 5000.f, 20000.f};
const float kPortamentoTime[11] = {0.f, 10.f, 20.f, 50.f, 100.f, 200.f, 500.f, 1000.f, 2000.f, 5000.f, 10000.f};
const float kCutoff[11] = {20.f, 35.f, 40.f, 60.f, 150.f, 350.f, 500.f, 1200.f, 2600.f, 6200.f, 20000.f};
const float kRingSpeed[11] = {0.05f, 1.f, 10.f, 20.f, 50.f, 100.f, 200.f, 300.f, 800.f, 2000.f, 6000.f};
const float kResonance[11] = {0.f, 0.02f, 0.05f, 0.1f, 0.5f, 1.f, 1.5f, 2.f, 2.5f, 4.f, 6.f};
const float kInitialLevel[11] = {0.f, 0.05f, 0.1f, 0.15f, 0.2f, 0.25f, 0.3f, 0.35f, 0.4f, 0.45f, 0.5f};
const float kAttackLevel[11] = {0.f, 0.02f, 0.03f, 0.05f, 0.1f, 0.2f, 0.3f, 0.5f, 0.6f, 0.8f, 1.f};
const float kWidth[6] = {0.5f, 0.46f, 0.38f, 0.3f, 0.2f, 0.02f};
const float kNoiseLevel[11] = {0.f, 0.07f, 0.35f, 0.57f, 0.8f, 1.f, 1.26f, 1.5f, 1.82f, 2.f, 2.24f};
const float kSineLevel[11] = {0.f, 0.035f, 0.2f, 0.61f, 0.84f, 1.04f, 1.32f, 1.54f, 1.86f, 2.22f, 2.56f};
const float kVcaLevel[11] = {0.f, 0.01f, 0.035f, 0.07f, 0.168f, 0.275f, 0.42f, 0.57f, 0.75f, 0.96f, 1.f};
const float kVcfLevel[11] = {0.f, 0.035f, 0.14f, 0.27f, 0.37f, 0.46f, 0.56f, 0.67f, 0.78f, 0.93f, 1.f};
const float kLfoRate[6] = {0.0125f, 0.25f, 1.f, 4.f, 25.f, 50.f};
const float kPwmDepth[6] = {0.f, 0.08f, 0.36f, 0.5f, 0.82f, 1.f};
const float kMasterVolume[5] = {0.f, 0.25f, 0.5f, 1.f, 3.f};

// Symmetric about the middle, with no point at 0.
const float kModAmount[64] = {
    -1.f,    -0.8f,   -0.7f,   -0.6f,   -0.5f,   -0.4f,   -0.3f,   -0.2f,   -0.19f,  -0.18f,  -0.17f,
    -0.16f,  -0.15f,  -0.14f,  -0.13f,  -0.12f,  -0.09f,  -0.08f,  -0.07f,  -0.06f,  -0.05f,  -0.04f,
    -0.03f,  -0.02f,  -0.009f, -0.008f, -0.007f, -0.006f, -0.005f, -0.004f, -0.003f, -0.002f, 0.002f,
    0.003f,  0.004f,  0.005f,  0.006f,  0.007f,  0.008f,  0.009f,  0.02f,   0.03f,   0.04f,   0.05f,
    0.06f,   0.07f,   0.08f,   0.09f,   0.12f,   0.13f,   0.14f,   0.15f,   0.16f,   0.17f,   0.18f,
    0.19f,   0.2f,    0.3f,    0.4f,    0.5f,    0.6f,    0.7f,    0.8f,    1.f,
};

// x of 0 up to below 1.
float modAmountPositive(float x) {
    double scaled = 63.0 * x;
    int i = (int)scaled;
    if (i > 62) i = 62;
    float f = (float)(scaled - i);
    return (float)(kModAmount[i] * (1.0 - f) + kModAmount[i + 1] * (double)f);
}

// Both staircases test x against 1/16 .. 15/16 in rising order.
int sixteenthStep(float x) {
    x = sane(x);
    int step = 0;
    while (step < 15 && !(x < 0.0625f * (float)(step + 1))) step++;
    return step;
}

const double kThirdThresholds[2] = {1.0 / 3.0, 2.0 / 3.0};
const double kQuarterThresholds[3] = {0.25, 0.5, 0.75};
const double kFifthThresholds[4] = {0.2, 0.4, 0.6, 0.8};
const double kSixthThresholds[5] = {0.16666667f, 0.33333334f, 0.5f, 0.6666667f, 0.8333333f};

}  // namespace

float brillianceCurve(float x) { return readTable<10>(kBrilliance, x); }
float vibratoRateCurve(float x) { return readTable<5>(kVibratoRate, x); }
float vibratoDepthCurve(float x) { return readTable<5>(kVibratoDepth, x); }
float releaseTimeCurve(float x) { return readTable<10>(kReleaseTime, x); }
float ringDecayCurve(float x) { return readTable<10>(kRingDecay, x); }
float ringAttackCurve(float x) { return readTable<10>(kRingAttack, x); }
float attackTimeCurve(float x) { return readTable<10>(kAttackTime, x); }
float sustainTimeCurve(float x) { return readTable<10>(kSustainTime, x); }
float decayTimeCurve(float x) { return readTable<10>(kDecayTime, x); }
float portamentoTimeCurve(float x) { return readTable<10>(kPortamentoTime, x); }
float cutoffCurve(float x) { return readTable<10>(kCutoff, x); }
float ringSpeedCurve(float x) { return readTable<10>(kRingSpeed, x); }
float resonanceCurve(float x) { return readTable<10>(kResonance, x); }
float initialLevelCurve(float x) { return readTable<10>(kInitialLevel, x); }
float attackLevelCurve(float x) { return readTable<10>(kAttackLevel, x); }
float widthCurve(float x) { return readTable<5>(kWidth, x); }
float noiseLevelCurve(float x) { return readTable<10>(kNoiseLevel, x); }
float sineLevelCurve(float x) { return readTable<10>(kSineLevel, x); }
float vcaLevelCurve(float x) { return readTable<10>(kVcaLevel, x); }
float vcfLevelCurve(float x) { return readTable<10>(kVcfLevel, x); }
float lfoRateCurve(float x) { return readTable<5>(kLfoRate, x); }
float pwmDepthCurve(float x) { return readTable<5>(kPwmDepth, x); }
float masterVolumeCurve(float x) { return readTable<4>(kMasterVolume, x); }

float modAmountCurve(float x) {
    x = sane(x);
    // Beyond -1 .. 1 the ends hold, as for the other tables.
    if (x >= 1.f) return kModAmount[63];
    if (x <= -1.f) return -kModAmount[63];
    if (x < 0.f) return -modAmountPositive(-x);
    return modAmountPositive(x);
}

float delayTimeCurve(float x) {
    x = bounded(x);
    if (x < 0.1f) return (float)(998.f * (double)x + 0.2f);
    if (x < 0.5f) return (float)(1000.f * (double)x);
    if (x < 0.8f) return (float)(5000.f * (double)x - 2000.f);
    return (float)(15000.001f * (double)x - 10000.001f);
}

float chorusSpeedCurve(float x) {
    x = bounded(x);
    if (x < 0.1f) return (float)(0.1875f * (double)x + 0.00625f);
    if (x < 0.2f) return (float)(0.75f * (double)x - 0.050000004f);
    if (x < 0.3f) return (float)(8.999999f * (double)x - 1.6999998f);
    return (float)(27.142859f * (double)x - 7.1428576f);
}

float detuneCurve(float x) {
    float a = (float)(63.0 * bounded(x));
    // The segments do not meet exactly: the small steps at their borders are the curve's.
    if (a < 2.f) return (float)(0.002958f * (double)a + 0.97f);
    if (a < 21.f) return (float)(0.001127f * (double)a + 0.974f);
    if (a < 42.f) return (float)(0.0002958f * (double)a + 0.99f);
    if (a < 61.f) return (float)(0.001158f * (double)a + 0.954f);
    return (float)(0.002958f * (double)a + 0.846f);
}

float partVolumeCurve(float x) {
    float a = (float)(63.0 * bounded(x));
    // Linear up to a = 45, then 0.845 dB per step of a, with 68 as full scale.
    double t;
    if (a > 45.f)
        t = 68.0 * std::pow(10.0, (0.845f * (double)a - 53.259f) * 0.05f);
    else
        t = 0.22f * (double)a;
    // Far above 1 the decibel rise leaves the float range.
    const double kLargest = 3.0e38;
    if (t > kLargest) t = kLargest;
    if (t < -kLargest) t = -kLargest;
    return (float)t * 0.014705882f;
}

int transposeSteps(float x) {
    return (int)(72.f * bounded(x) - 36.f);
}

float lfoDivisionSteps(float x) {
    static const float kSteps[16] = {-8, -7, -6, -5, -4, -3, -2, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    return kSteps[sixteenthStep(x)];
}

float delayDivisionSteps(float x) {
    static const float kSteps[16] = {8, 7, 6, 5, 4, 3, 2, 1, -2, -3, -4, -5, -6, -7, -8, -9};
    return kSteps[sixteenthStep(x)];
}

float curveInput(CurveInput input, float value) {
    switch (input) {
        case CurveInput::inverted: return 1.f - value;
        case CurveInput::bipolar: return 2.f * value - 1.f;
        case CurveInput::value: break;
    }
    return value;
}

float applyCurve(Curve curve, float x) {
    switch (curve) {
        case Curve::none: return x;
        case Curve::brilliance: return brillianceCurve(x);
        case Curve::vibratoRate: return vibratoRateCurve(x);
        case Curve::vibratoDepth: return vibratoDepthCurve(x);
        case Curve::releaseTime: return releaseTimeCurve(x);
        case Curve::ringDecay: return ringDecayCurve(x);
        case Curve::ringAttack: return ringAttackCurve(x);
        case Curve::attackTime: return attackTimeCurve(x);
        case Curve::sustainTime: return sustainTimeCurve(x);
        case Curve::decayTime: return decayTimeCurve(x);
        case Curve::portamentoTime: return portamentoTimeCurve(x);
        case Curve::cutoff: return cutoffCurve(x);
        case Curve::ringSpeed: return ringSpeedCurve(x);
        case Curve::resonance: return resonanceCurve(x);
        case Curve::initialLevel: return initialLevelCurve(x);
        case Curve::attackLevel: return attackLevelCurve(x);
        case Curve::width: return widthCurve(x);
        case Curve::noiseLevel: return noiseLevelCurve(x);
        case Curve::sineLevel: return sineLevelCurve(x);
        case Curve::vcaLevel: return vcaLevelCurve(x);
        case Curve::vcfLevel: return vcfLevelCurve(x);
        case Curve::lfoRate: return lfoRateCurve(x);
        case Curve::pwmDepth: return pwmDepthCurve(x);
        case Curve::masterVolume: return masterVolumeCurve(x);
        case Curve::modAmount: return modAmountCurve(x);
        case Curve::delayTime: return delayTimeCurve(x);
        case Curve::chorusSpeed: return chorusSpeedCurve(x);
        case Curve::detune: return detuneCurve(x);
        case Curve::partVolume: return partVolumeCurve(x);
        case Curve::transposeSteps: return (float)transposeSteps(x);
        case Curve::lfoDivisionSteps: return lfoDivisionSteps(x);
        case Curve::delayDivisionSteps: return delayDivisionSteps(x);
    }
    return x;
}

const StepScale kThirds = {3, kThirdThresholds};
const StepScale kQuarters = {4, kQuarterThresholds};
const StepScale kFifths = {5, kFifthThresholds};
const StepScale kSixths = {6, kSixthThresholds};

int stepOf(const StepScale& scale, float value) {
    value = sane(value);
    int step = 0;
    while (step < scale.count - 1 && !((double)value < scale.upper[step])) step++;
    return step;
}
