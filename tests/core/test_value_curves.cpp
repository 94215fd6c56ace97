// Value curves: the calibration points, the interpolation, the closed forms, the tempo
// staircases and what any float (NaN, huge, negative) gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/value_curves.h"

namespace {

typedef float (*CurveFunction)(float);

struct CurveCase {
    const char* name;
    CurveFunction curve;
    float x;
    float expected;
};

// Single-precision results: a relative tolerance of a few units in the last place.
void expectClose(float actual, float expected, const char* what) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 2e-6f + 1e-7f) << what;
}

TEST(ValueCurves, WorkedValuesOfTheTableCurves) {
    const CurveCase cases[] = {
        {"cutoff 0", cutoffCurve, 0.f, 20.f},
        {"cutoff 0.3", cutoffCurve, 0.3f, 60.f},
        {"cutoff 0.5", cutoffCurve, 0.5f, 350.f},
        {"cutoff 0.7", cutoffCurve, 0.7f, 1200.f},
        {"cutoff 1", cutoffCurve, 1.f, 20000.f},
        {"cutoff 1.5", cutoffCurve, 1.5f, 20000.f},
        {"cutoff -0.2", cutoffCurve, -0.2f, 20.f},
        {"cutoff between points", cutoffCurve, 0.95f, 13100.f},
        {"lfoRate 0.7", lfoRateCurve, 0.7f, 14.5f},
        {"lfoRate 1", lfoRateCurve, 1.f, 50.f},
        {"vibratoRate 0.7", vibratoRateCurve, 0.7f, 14.5f},
        {"vibratoRate 1", vibratoRateCurve, 1.f, 60.f},
        {"width 0.1", widthCurve, 0.1f, 0.48f},
        {"width 0.3", widthCurve, 0.3f, 0.42f},
        {"masterVolume 0.375", masterVolumeCurve, 0.375f, 0.375f},
        {"masterVolume 1", masterVolumeCurve, 1.f, 3.f},
        {"modAmount 0.7", modAmountCurve, 0.7f, 0.061f},
        {"modAmount 0.3", modAmountCurve, 0.3f, -0.061f},
        {"modAmount 0", modAmountCurve, 0.f, -1.f},
        {"modAmount 0.5", modAmountCurve, 0.5f, 0.f},
        {"modAmount 1", modAmountCurve, 1.f, 1.f},
        {"modAmount -1", modAmountCurve, -1.f, -1.f},
    };
    for (const CurveCase& c : cases) expectClose(c.curve(c.x), c.expected, c.name);
}

// The two ends of every table: a swapped or mistyped table shows here.
TEST(ValueCurves, EndPointsOfEveryTable) {
    struct Ends {
        const char* name;
        CurveFunction curve;
        float first, last;
    } tables[] = {
        {"brilliance", brillianceCurve, 1.f, -1.f},
        {"vibratoRate", vibratoRateCurve, 0.0125f, 60.f},
        {"vibratoDepth", vibratoDepthCurve, 0.f, 1.f},
        {"releaseTime", releaseTimeCurve, 10.f, 30000.f},
        {"ringDecay", ringDecayCurve, 0.f, 500.f},
        {"ringAttack", ringAttackCurve, 0.f, 500.f},
        {"attackTime", attackTimeCurve, 0.f, 20000.f},
        {"sustainTime", sustainTimeCurve, 0.f, 50000.f},
        {"decayTime", decayTimeCurve, 4.f, 20000.f},
        {"portamentoTime", portamentoTimeCurve, 0.f, 10000.f},
        {"cutoff", cutoffCurve, 20.f, 20000.f},
        {"ringSpeed", ringSpeedCurve, 0.05f, 6000.f},
        {"resonance", resonanceCurve, 0.f, 6.f},
        {"initialLevel", initialLevelCurve, 0.f, 0.5f},
        {"attackLevel", attackLevelCurve, 0.f, 1.f},
        {"width", widthCurve, 0.5f, 0.02f},
        {"noiseLevel", noiseLevelCurve, 0.f, 2.24f},
        {"sineLevel", sineLevelCurve, 0.f, 2.56f},
        {"vcaLevel", vcaLevelCurve, 0.f, 1.f},
        {"vcfLevel", vcfLevelCurve, 0.f, 1.f},
        {"lfoRate", lfoRateCurve, 0.0125f, 50.f},
        {"pwmDepth", pwmDepthCurve, 0.f, 1.f},
        {"masterVolume", masterVolumeCurve, 0.f, 3.f},
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Ends& t : tables) {
        EXPECT_EQ(t.curve(0.f), t.first) << t.name;
        EXPECT_EQ(t.curve(1.f), t.last) << t.name;
        // Any float: beyond the range the ends hold, NaN reads as 0.
        for (float x : {-1e30f, -inf, -0.001f, nan}) EXPECT_EQ(t.curve(x), t.first) << t.name << " of " << x;
        for (float x : {1.0001f, 1e30f, inf}) EXPECT_EQ(t.curve(x), t.last) << t.name << " of " << x;
        // The value just below 1 interpolates within the last segment, never past it.
        float nearOne = std::nextafter(1.f, 0.f);
        float low = std::fmin(t.first, t.last), high = std::fmax(t.first, t.last);
        float v = t.curve(nearOne);
        EXPECT_TRUE(v >= low && v <= high) << t.name;
    }
}

TEST(ValueCurves, ModAmountIsOddAboutZeroAndHoldsItsEnds) {
    for (float x : {0.01f, 0.25f, 0.5f, 0.7f, 0.99f}) EXPECT_EQ(modAmountCurve(-x), -modAmountCurve(x)) << x;
    // Just below 0 the curve is close to +1, just above close to -1.
    EXPECT_GT(modAmountCurve(-1e-6f), 0.99f);
    EXPECT_LT(modAmountCurve(1e-6f), -0.99f);
    EXPECT_EQ(modAmountCurve(std::nextafter(1.f, 0.f)) <= 1.f, true);
    EXPECT_EQ(modAmountCurve(5.f), 1.f);
    EXPECT_EQ(modAmountCurve(-5.f), -1.f);
    EXPECT_EQ(modAmountCurve(1e30f), 1.f);
    EXPECT_EQ(modAmountCurve(-1e30f), -1.f);
    EXPECT_EQ(modAmountCurve(std::numeric_limits<float>::quiet_NaN()), -1.f);
}

TEST(ValueCurves, WorkedValuesOfTheClosedForms) {
    const CurveCase cases[] = {
        {"delayTime 0", delayTimeCurve, 0.f, 0.2f},
        {"delayTime 0.1", delayTimeCurve, 0.1f, 100.f},
        {"delayTime 0.3", delayTimeCurve, 0.3f, 300.f},
        {"delayTime 0.5", delayTimeCurve, 0.5f, 500.f},
        {"delayTime 0.7", delayTimeCurve, 0.7f, 1500.f},
        {"delayTime 0.8", delayTimeCurve, 0.8f, 2000.f},
        {"delayTime 1", delayTimeCurve, 1.f, 5000.f},
        {"chorusSpeed 0", chorusSpeedCurve, 0.f, 0.00625f},
        {"chorusSpeed 0.1", chorusSpeedCurve, 0.1f, 0.025f},
        {"chorusSpeed 0.2", chorusSpeedCurve, 0.2f, 0.1f},
        {"chorusSpeed 0.3", chorusSpeedCurve, 0.3f, 1.f},
        {"chorusSpeed 1", chorusSpeedCurve, 1.f, 20.f},
        {"detune 0", detuneCurve, 0.f, 0.97f},
        {"detune 0.3", detuneCurve, 0.3f, 0.9953003f},
        {"detune 0.5", detuneCurve, 0.5f, 0.9993177f},
        {"detune 0.7", detuneCurve, 0.7f, 1.0050678f},
        {"detune 1", detuneCurve, 1.f, 1.032354f},
        {"partVolume 0", partVolumeCurve, 0.f, 0.f},
        {"partVolume 44/63", partVolumeCurve, 44.f / 63.f, 0.14235294f},
        {"partVolume 0.7", partVolumeCurve, 0.7f, 0.14267647f},
        {"partVolume 1", partVolumeCurve, 1.f, 0.99724072f},
    };
    for (const CurveCase& c : cases) expectClose(c.curve(c.x), c.expected, c.name);
    // Above a = 45 the part volume rises in decibels: a step up from the linear part.
    EXPECT_NEAR(partVolumeCurve(45.01f / 63.f), 0.1733f, 0.0005f);
}

TEST(ValueCurves, TransposeStepsTruncateTowardZero) {
    struct Case {
        float x;
        int steps;
    } cases[] = {{0.f, -36}, {0.3f, -14}, {0.5f, 0}, {0.7f, 14}, {1.f, 36}, {0.49f, 0}, {0.51f, 0}, {2.f, 108}};
    for (const Case& c : cases) EXPECT_EQ(transposeSteps(c.x), c.steps) << c.x;
}

TEST(ValueCurves, TempoStaircasesStepAtEverySixteenth) {
    const int lfo[16] = {-8, -7, -6, -5, -4, -3, -2, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const int delay[16] = {8, 7, 6, 5, 4, 3, 2, 1, -2, -3, -4, -5, -6, -7, -8, -9};
    for (int k = 0; k < 16; k++) {
        float from = k / 16.f;
        float below = std::nextafter((k + 1) / 16.f, 0.f);
        EXPECT_EQ(lfoDivisionSteps(from), lfo[k]) << k;
        EXPECT_EQ(lfoDivisionSteps(below), lfo[k]) << k;
        EXPECT_EQ(delayDivisionSteps(from), delay[k]) << k;
        EXPECT_EQ(delayDivisionSteps(below), delay[k]) << k;
    }
    EXPECT_EQ(lfoDivisionSteps(0.44f), 1);
    EXPECT_EQ(lfoDivisionSteps(0.5f), 2);
    EXPECT_EQ(delayDivisionSteps(0.5f), -2);
    EXPECT_EQ(delayDivisionSteps(1.f), -9);
    // The outer steps extend beyond 0-1.
    EXPECT_EQ(lfoDivisionSteps(-3.f), -8);
    EXPECT_EQ(lfoDivisionSteps(40.f), 9);
    EXPECT_EQ(delayDivisionSteps(1e30f), -9);
}

// No float leads to NaN, to an undefined conversion (the sanitizers watch), or to a read
// outside a table; NaN reads as 0.
TEST(ValueCurves, AnyFloatGivesADefinedValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float hostile[] = {nan, -nan, inf, -inf, 1e30f, -1e30f, 3.4e38f, -3.4e38f, 1e-45f, -2.f, 7.f};
    const Curve closedForms[] = {Curve::delayTime,      Curve::chorusSpeed,      Curve::detune,
                                 Curve::partVolume,     Curve::transposeSteps,   Curve::lfoDivisionSteps,
                                 Curve::delayDivisionSteps};
    for (int c = (int)Curve::brilliance; c <= (int)Curve::delayDivisionSteps; c++) {
        Curve curve = (Curve)c;
        for (float x : hostile) EXPECT_TRUE(std::isfinite(applyCurve(curve, x))) << "curve " << c << " of " << x;
        EXPECT_EQ(applyCurve(curve, nan), applyCurve(curve, 0.f)) << "curve " << c;
    }
    // The closed forms extend their outer segments, as far as a million.
    EXPECT_FLOAT_EQ(delayTimeCurve(2.f), 20000.001f);
    for (Curve curve : closedForms) EXPECT_EQ(applyCurve(curve, inf), applyCurve(curve, 1e6f)) << (int)curve;
    EXPECT_EQ(transposeSteps(nan), -36);
    EXPECT_EQ(transposeSteps(inf), transposeSteps(1e6f));
    EXPECT_GT(transposeSteps(inf), 71000000);
    EXPECT_LT(transposeSteps(-inf), -71000000);
}

TEST(ValueCurves, CurveInputs) {
    EXPECT_EQ(curveInput(CurveInput::value, 0.3f), 0.3f);
    EXPECT_EQ(curveInput(CurveInput::inverted, 0.25f), 0.75f);
    EXPECT_EQ(curveInput(CurveInput::bipolar, 0.25f), -0.5f);
    EXPECT_EQ(applyCurve(Curve::vibratoRate, curveInput(CurveInput::inverted, 0.f)), 60.f);
}

TEST(ValueCurves, StepScalesTakeAStepBelowItsUpperThreshold) {
    struct Case {
        const StepScale* scale;
        float value;
        int step;
    } cases[] = {
        {&kSixths, 0.f, 0},         {&kSixths, 0.16f, 0},       {&kSixths, 0.16666667f, 1}, {&kSixths, 0.17f, 1},
        {&kSixths, 0.5f, 3},        {&kSixths, 0.8333333f, 5},  {&kSixths, 0.83f, 4},       {&kSixths, 1.f, 5},
        {&kThirds, 0.3333333f, 0},  {&kThirds, 0.33333334f, 1}, {&kThirds, 0.6666666f, 1},  {&kThirds, 0.6666667f, 2},
        {&kFifths, 0.19f, 0},       {&kFifths, 0.2f, 1},        {&kFifths, 0.8f, 4},        {&kFifths, 5.f, 4},
        {&kQuarters, 0.2499f, 0},   {&kQuarters, 0.25f, 1},     {&kQuarters, 0.75f, 3},     {&kQuarters, -4.f, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(stepOf(*c.scale, c.value), c.step) << c.scale->count << " " << c.value;
    EXPECT_EQ(stepOf(kSixths, std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
