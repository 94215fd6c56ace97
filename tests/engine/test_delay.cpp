#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects_measure.h"
#include "engine/delay.h"

namespace {

constexpr int kBlock = 44;

class DelayRig {
public:
    explicit DelayRig(float rate, float initRate = 0.0f) : rate(rate) {
        EXPECT_EQ(0, delay.init(initRate > 0.0f ? initRate : rate));
        if (initRate > 0.0f) delay.setSampleRate(rate);
    }
    void settings(float timeMs, float feedback, float wet, int sync = 0, float tempo = 120.0f, int division = 1) {
        DelayRecord record = {timeMs, division, feedback, sync, tempo, wet};
        EXPECT_EQ(0, delay.message(&record, kDelaySettings));
    }
    void run(std::vector<float>& left, std::vector<float>& right) {
        for (size_t start = 0; start + kBlock <= left.size(); start += kBlock)
            delay.process(&left[start], &right[start], &left[start], &right[start], kBlock);
    }
    int samples(double seconds) const { return (int)(seconds * rate / kBlock) * kBlock; }
    void runSilence(double seconds) {
        std::vector<float> l(samples(seconds), 0.0f), r(l);
        run(l, r);
    }
    // Lets the settings and any crossfade settle, then renders the response to a unit
    // impulse on both sides.
    void impulseResponse(double seconds, std::vector<float>& left, std::vector<float>& right) {
        runSilence(0.3);
        left.assign(samples(seconds), 0.0f);
        left[0] = 1.0f;
        right = left;
        run(left, right);
    }

    Delay delay;
    float rate;
};

int firstAbove(const std::vector<float>& x, int from, float level) {
    for (int n = from; n < (int)x.size(); ++n)
        if (std::fabs(x[n]) > level) return n;
    return -1;
}

// Where the echo of an impulse at 0 lands: the read comes before the newest sample is
// written, one sample after the delay itself.
int echoIndex(double ms, double rate) { return (int)std::lround(ms * rate / 1000.0) + 1; }

TEST(Delay, EchoTimesLeftFullRightHalfAtEveryRate) {
    // The limits: 5001 ms below 48 kHz, 5001 x 48000 / rate ms from 48 kHz up (2500.5 ms at
    // 96 kHz); a rate raised after the time was set limits it again (mended).
    struct Case {
        float rate;
        float initRate;  // 0: initialised at the rate itself
        float timeMs;
        double expectedMs;
    };
    const Case cases[] = {
        {44100.0f, 0.0f, 250.0f, 250.0},      {44100.0f, 0.0f, 1000.0f, 1000.0},
        {96000.0f, 0.0f, 250.0f, 250.0},      {96000.0f, 0.0f, 1000.0f, 1000.0},
        {96000.0f, 44100.0f, 333.3f, 333.3},  {44100.0f, 0.0f, 6000.0f, 5001.0},
        {96000.0f, 0.0f, 6000.0f, 2500.5},    {48000.0f, 0.0f, 5001.0f, 5001.0},
        {192000.0f, 0.0f, 9000.0f, 1250.25},
    };
    for (const Case& c : cases) {
        DelayRig rig(c.rate, c.initRate);
        rig.settings(c.timeMs, 0.0f, 1.0f);
        EXPECT_FLOAT_EQ((float)c.expectedMs, rig.delay.getTimeTarget()) << c.rate << " " << c.timeMs;
        std::vector<float> left, right;
        rig.impulseResponse(c.expectedMs / 1000.0 + 0.1, left, right);
        const int l = firstAbove(left, 0, 0.5f), r = firstAbove(right, 0, 0.5f);
        EXPECT_NEAR(echoIndex(c.expectedMs, c.rate), l, 1) << c.rate << " " << c.timeMs;
        EXPECT_NEAR(echoIndex(c.expectedMs / 2, c.rate), r, 1) << c.rate << " " << c.timeMs;
        EXPECT_FLOAT_EQ(1.0f, left[l]);
        EXPECT_FLOAT_EQ(1.0f, right[r]);
        EXPECT_EQ(0.0f, left[0]);  // fully wet: no dry signal
    }
    // Set at 44.1 kHz, then the rate rises.
    DelayRig rig(44100.0f);
    rig.settings(5001.0f, 0.0f, 1.0f);
    rig.delay.setSampleRate(96000.0f);
    rig.rate = 96000.0f;
    EXPECT_FLOAT_EQ(2500.5f, rig.delay.getTimeTarget());
    std::vector<float> left, right;
    rig.impulseResponse(2.6, left, right);
    EXPECT_NEAR(echoIndex(2500.5, 96000.0), firstAbove(left, 0, 0.5f), 1);
}

TEST(Delay, TempoSyncTimes) {
    struct Case {
        int sync;
        float tempo;
        int division;
        double expectedMs;
    };
    const Case cases[] = {
        {1, 120.0f, 4, 125.0},    // a beat divided by 4
        {1, 120.0f, -2, 1000.0},  // two beats
        {1, 120.0f, 0, 500.0},    // division 0 is the beat itself
        {1, 0.0f, 4, 300.0},      // no tempo: the time word
        {1, -120.0f, 4, 300.0},
        {1, NAN, 4, 300.0},
        {0, 120.0f, 4, 300.0},    // sync off
        {1, 30.0f, -9, 5001.0},   // 18 s, limited
    };
    for (const Case& c : cases) {
        DelayRig rig(44100.0f);
        rig.settings(300.0f, 0.0f, 1.0f, c.sync, c.tempo, c.division);
        EXPECT_FLOAT_EQ((float)c.expectedMs, rig.delay.getTimeTarget()) << c.tempo << " " << c.division;
        std::vector<float> left, right;
        rig.impulseResponse(c.expectedMs / 1000.0 + 0.05, left, right);
        EXPECT_NEAR(echoIndex(c.expectedMs, 44100.0), firstAbove(left, 0, 0.5f), 1) << c.tempo << " " << c.division;
    }
    // A time that is no number leaves the last one; a negative one is 0.
    DelayRig rig(44100.0f);
    rig.settings(300.0f, 0.0f, 1.0f);
    rig.settings(NAN, 0.0f, 1.0f);
    EXPECT_EQ(300.0f, rig.delay.getTimeTarget());
    rig.settings(-20.0f, 0.0f, 1.0f);
    EXPECT_EQ(0.0f, rig.delay.getTimeTarget());
}

TEST(Delay, FeedbackDecayAndLimit) {
    // Echo k of an impulse has the amplitude feedback^(k - 1); the feedback stays within
    // +-0.99 (a feedback of 1 is used as 0.99).
    struct Case {
        float feedback;
        double used;
    };
    const Case cases[] = {{0.5f, 0.5}, {1.0f, 0.99}, {3.0f, 0.99}, {-1.0f, -0.99}, {-0.3f, -0.3}, {NAN, 0.0}};
    for (const Case& c : cases) {
        DelayRig rig(44100.0f);
        rig.settings(100.0f, c.feedback, 1.0f);
        EXPECT_FLOAT_EQ((float)c.used, rig.delay.getFeedbackTarget());
        std::vector<float> left, right;
        rig.impulseResponse(0.6, left, right);
        const int period = echoIndex(100.0, 44100.0);
        for (int k = 1; k <= 5; ++k) {
            EXPECT_NEAR(std::pow(c.used, k - 1), left[k * period], 1e-5) << c.feedback << " echo " << k;
            EXPECT_NEAR(0.0f, left[k * period - 3], 1e-7);
        }
        // Right: the half-time tap of the same line.
        const int half = echoIndex(50.0, 44100.0);
        EXPECT_NEAR(1.0, right[half], 1e-6);
        EXPECT_NEAR(c.used, right[half + period], 1e-5);
    }
}

TEST(Delay, WetAndDryGains) {
    // wet gain sqrt(wet), dry gain sqrt(1 - wet); wet beyond 0..1 is clamped (mended: sqrt of
    // a negative number gave NaN).
    struct Case {
        float wet;
        double wetGain, dryGain;
    };
    const Case cases[] = {{0.5f, 0.70710678, 0.70710678}, {1.0f, 1.0, 0.0}, {0.0f, 0.0, 1.0},
                          {2.0f, 1.0, 0.0},               {-1.0f, 0.0, 1.0}, {NAN, 0.0, 1.0}};
    for (const Case& c : cases) {
        DelayRig rig(44100.0f);
        rig.settings(20.0f, 0.0f, c.wet);
        EXPECT_FLOAT_EQ((float)c.wetGain, rig.delay.getWetTarget());
        EXPECT_FLOAT_EQ((float)c.dryGain, rig.delay.getDryTarget());
        std::vector<float> left, right;
        rig.impulseResponse(0.05, left, right);
        EXPECT_NEAR(c.dryGain, left[0], 1e-6) << c.wet;
        EXPECT_NEAR(c.dryGain, right[0], 1e-6) << c.wet;
        EXPECT_NEAR(c.wetGain, left[echoIndex(20.0, 44100.0)], 1e-6) << c.wet;
        EXPECT_NEAR(c.wetGain, right[echoIndex(10.0, 44100.0)], 1e-6) << c.wet;
    }
}

TEST(Delay, TimeChangeCrossfadesWithinOneBlockAndTakesANewTimeEveryBlock) {
    // A ramp input makes every tap's read visible. The crossfade moves the new tap in by the
    // gains' coefficient c per sample and ends after the block; a time set in the next block
    // is taken at once, block after block.
    for (float rate : {44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        DelayRig rig(rate);
        rig.settings(300.0f, 0.0f, 1.0f);
        const double c = 1.0 - std::exp(-1.0 / (rate * 0.03 * 0.0001));
        const int total = rig.samples(1.5);
        std::vector<float> input(total);
        for (int n = 0; n < total; ++n) input[n] = 1e-6f * (float)n;
        auto tap = [&](int n, double ms) { return (double)input[n - ((int)(ms * rate / 1000.0) + 1)]; };
        int start = 0;
        auto block = [&](std::vector<float>& left, std::vector<float>& right) {
            left.assign(input.begin() + start, input.begin() + start + kBlock);
            right = left;
            rig.delay.process(&left[0], &right[0], &left[0], &right[0], kBlock);
            start += kBlock;
        };
        std::vector<float> left, right;
        while (start < rig.samples(0.5)) block(left, right);
        ASSERT_FALSE(rig.delay.isCrossfading());
        ASSERT_NEAR(tap(start - 1, 300.0), left[kBlock - 1], 1e-9);

        double previous = 300.0;
        for (double ms : {307.3, 150.0, 212.5, 299.9}) {
            rig.settings((float)ms, 0.0f, 1.0f);
            const int first = start;
            block(left, right);
            // The first sample mixes the two taps by c; by the end of the block the new one holds.
            EXPECT_NEAR(c * tap(first, ms) + (1 - c) * tap(first, previous), left[0], 2e-6) << ms;
            EXPECT_NEAR(c * tap(first, ms / 2) + (1 - c) * tap(first, previous / 2), right[0], 2e-6) << ms;
            EXPECT_FALSE(rig.delay.isCrossfading()) << ms;
            EXPECT_NEAR(tap(start - 1, ms), left[kBlock - 1], 2e-6) << ms;
            EXPECT_NEAR(tap(start - 1, ms / 2), right[kBlock - 1], 2e-6) << ms;
            previous = ms;
        }
        // Settled: the taps read exactly.
        block(left, right);
        for (int k = 0; k < kBlock; ++k) ASSERT_EQ((float)tap(start - kBlock + k, previous), left[k]) << k;
    }
}

TEST(Delay, ClearAndBadSamplesLeaveNoTail) {
    DelayRig rig(44100.0f);
    rig.settings(50.0f, 0.9f, 0.5f);
    std::vector<float> left, right;
    rig.impulseResponse(0.5, left, right);
    rig.delay.clear();
    std::vector<float> l(rig.samples(0.5), 0.0f), r(l);
    rig.run(l, r);
    for (size_t n = 0; n < l.size(); ++n) ASSERT_TRUE(l[n] == 0.0f && r[n] == 0.0f) << n;

    std::vector<float> badL(kBlock, 0.0f), badR(kBlock, 0.0f);
    badL[2] = NAN;
    badR[2] = 1.0f;
    badL[7] = INFINITY;
    rig.run(badL, badR);
    std::vector<float> afterL(rig.samples(0.5), 0.0f), afterR(afterL);
    rig.run(afterL, afterR);
    for (size_t n = 0; n < afterL.size(); ++n) ASSERT_TRUE(afterL[n] == 0.0f && afterR[n] == 0.0f) << n;
}

TEST(Delay, StartsAtOneSecondFullyWetWithFeedbackAtItsLimit) {
    DelayRig rig(44100.0f);
    std::vector<float> left, right;
    left.assign(rig.samples(2.2), 0.0f);
    left[0] = 1.0f;
    right = left;
    rig.run(left, right);
    const int period = echoIndex(1000.0, 44100.0);
    EXPECT_NEAR(period, firstAbove(left, 0, 0.5f), 1);
    const int first = firstAbove(left, 0, 0.5f);
    EXPECT_NEAR(0.99, left[2 * first], 1e-6);  // mended: 0.99 rather than 1
}

TEST(Delay, InitAndFree) {
    Delay delay;
    float l[kBlock] = {1.0f}, r[kBlock] = {1.0f};
    delay.process(l, r, l, r, kBlock);  // before init: untouched
    EXPECT_EQ(1.0f, l[0]);
    ASSERT_EQ(0, delay.init(44100.0f));
    delay.free();
    delay.free();
    delay.process(l, r, l, r, kBlock);
    EXPECT_EQ(1.0f, l[0]);
}

}  // namespace
