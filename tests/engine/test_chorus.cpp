#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "effects_measure.h"
#include "engine/chorus.h"

namespace {

constexpr int kBlock = 44;
using measure::kPi;

class ChorusRig {
public:
    explicit ChorusRig(float rate, float initRate = 44100.0f, bool engineTable = true)
        : sine(measure::engineSineTable()), rate(rate) {
        record.sampleRate = initRate;
        record.blockLength = kBlock;
        record.sineSize = engineTable ? fx::kSineSize : 0;
        record.sineTable = engineTable ? sine.data() : nullptr;
        EXPECT_EQ(0, chorus.init(&record));
        if (rate != initRate) chorus.setSampleRate(rate);
    }
    void settings(int mode, float speed, float depth) {
        record.mode = mode;
        record.speed = speed;
        record.depth = depth;
        EXPECT_EQ(0, chorus.message(&record, kChorusSettings));
    }
    // In place, block by block; the stereo input is the same signal on both sides.
    void run(std::vector<float>& left, std::vector<float>& right) {
        for (size_t start = 0; start + kBlock <= left.size(); start += kBlock)
            chorus.process(&left[start], &right[start], &left[start], &right[start], kBlock);
    }
    void runSilence(double seconds) {
        std::vector<float> l((size_t)(seconds * rate / kBlock) * kBlock, 0.0f), r(l);
        run(l, r);
    }

    std::vector<float> sine;
    ChorusRecord record = {};
    Chorus chorus;
    float rate;
};

// The band-pass's response from its analog prototype, 4000 pi s / (s^2 + 4000 pi s + (2000 pi)^2),
// through the bilinear map s = 2 rate j tan(w / 2).
std::complex<double> bandPass(double f, double rate) {
    const std::complex<double> s(0.0, 2.0 * rate * std::tan(kPi * f / rate));
    const double w0 = 2000.0 * kPi;
    return 4000.0 * kPi * s / (s * s + 4000.0 * kPi * s + w0 * w0);
}

struct Tap {
    double delaySamples;  // from the phase at 1 kHz against the band-pass alone
    int onset;            // first sample of the window above a thousandth of its peak
    double gainAt1k;      // magnitude relative to the band-pass at 1 kHz
    double gainAt100;     // absolute magnitude at 100 Hz
};

// The part of an impulse response in [from, to): its delay and gain against the band-pass.
// The phase at 1 kHz gives the delay within a period; the onset tells which period.
Tap measureTap(const std::vector<float>& response, int from, int to, double rate) {
    auto at = [&](double f) { return measure::transformAt(&response[from], to - from, f, rate, from); };
    Tap tap;
    float peak = 0.0f;
    for (int n = from; n < to; ++n) peak = std::max(peak, std::fabs(response[n]));
    tap.onset = from;
    while (tap.onset < to && std::fabs(response[tap.onset]) < 1e-3f * peak) ++tap.onset;
    const double w = 2.0 * kPi * 1000.0 / rate;
    const double phaseDelay = -std::arg(at(1000.0) / bandPass(1000.0, rate)) / w;
    const double period = rate / 1000.0;
    tap.delaySamples = phaseDelay + period * std::round((tap.onset + 1.0 - phaseDelay) / period);
    tap.gainAt1k = std::abs(at(1000.0) / bandPass(1000.0, rate));
    tap.gainAt100 = std::abs(at(100.0));
    return tap;
}

std::vector<float> impulse(int length) {
    std::vector<float> x(length, 0.0f);
    x[0] = 1.0f;
    return x;
}

TEST(Chorus, TapsAtDepthZeroSitAt5point3And3point2Ms) {
    // With depth 0 the first tap reads the band-passed sum 5.3 ms back, the second reads the
    // first 3.2 ms further; the quadratic read centres each half a sample later, and the
    // second line is read before the first tap enters it, one sample more. The dry path
    // is 0.6 of the sum, and the sides are equal. The band-pass (1000 Hz, Q 0.5, unity peak)
    // follows a rate change (mended).
    struct Case {
        float rate;
        float initRate;
    };
    for (const Case& c : {Case{44100.0f, 44100.0f}, Case{48000.0f, 48000.0f}, Case{96000.0f, 44100.0f}}) {
        ChorusRig rig(c.rate, c.initRate);
        rig.settings(0, 0.0f, 0.0f);
        rig.runSilence(4.0);  // the depth falls from 0.5 with 200 ms
        ASSERT_EQ(0.0f, rig.chorus.getDepth());

        const int length = (int)(0.02 * c.rate / kBlock) * kBlock;
        std::vector<float> left = impulse(length), right = impulse(length);
        rig.run(left, right);
        EXPECT_FLOAT_EQ(0.6f, left[0]);
        for (int n = 0; n < length; ++n) ASSERT_EQ(left[n], right[n]) << n;

        const double perMs = c.rate / 1000.0;
        const double first = 5.3 * perMs + 0.5, second = 3.2 * perMs + 0.5;
        const int split = (int)(first + second) - 4;
        const Tap t = measureTap(left, 1, split, c.rate);
        const Tap u = measureTap(left, split, length, c.rate);
        EXPECT_NEAR(first, t.delaySamples, 0.05) << c.rate;
        EXPECT_NEAR(first + second + 1.0, u.delaySamples, 0.05) << c.rate;
        EXPECT_NEAR(first, t.onset, 1.5) << c.rate;
        EXPECT_NEAR(1.0, t.gainAt1k, 0.01) << c.rate;
        EXPECT_NEAR(1.0, u.gainAt1k, 0.02) << c.rate;
        // Q 0.5: at a tenth of the centre the band-pass gives 2r / (1 + r^2) = 0.198.
        EXPECT_NEAR(0.198, t.gainAt100, 0.004) << c.rate;
    }
}

TEST(Chorus, LfosMoveTheTapsAndModulateTheSidesInOppositeSenses) {
    // Slow mode, speed 5: LFO 1 at 0.5 Hz, LFO 2 at 0.055 Hz, full depth. Near 1.5 s LFO 1
    // sits at its minimum: the taps sit at the delays of r = dl - dr + 2, and each tap is
    // louder on one side by (1 + 0.8 d) / (1 - 0.8 d).
    const double rate = 44100.0;
    ChorusRig rig((float)rate);
    rig.settings(1, 5.0f, 1.0f);
    const int start = (int)(1.4955 * rate / kBlock) * kBlock;
    rig.runSilence(start / rate);

    const int length = 880;
    std::vector<float> left = impulse(length), right = impulse(length);
    rig.run(left, right);

    auto lfo = [&](double hz, double n) { return std::sin(2.0 * kPi * hz * (n + 1) / rate); };
    auto depthAt = [&](double n) { return 1.0 - 0.5 * std::exp(-(n + 1) / (0.2 * rate)); };
    const double nT = start + 165.0, nU = start + 300.0;  // where the taps come out
    const double dlT = lfo(0.5, nT) * depthAt(nT), drT = lfo(0.055, nT) * depthAt(nT);
    const double dlU = lfo(0.5, nU) * depthAt(nU), drU = lfo(0.055, nU) * depthAt(nU);
    const double first = (1.065 * (dlT - drT + 2.0) + 3.17) * rate / 1000.0 + 0.5;
    const double second = (0.7575 * (dlU - drU + 2.0) + 1.685) * rate / 1000.0 + 0.5;

    const int split = (int)(first + second) - 4;
    const Tap tl = measureTap(left, 1, split, rate), tr = measureTap(right, 1, split, rate);
    const Tap ul = measureTap(left, split, length, rate), ur = measureTap(right, split, length, rate);
    EXPECT_NEAR(first, tl.delaySamples, 0.05);
    EXPECT_NEAR(first, tr.delaySamples, 0.05);
    EXPECT_NEAR(first + second + 1.0, ul.delaySamples, 0.05);
    EXPECT_NEAR(first + second + 1.0, ur.delaySamples, 0.05);
    EXPECT_NEAR((1.0 + 0.8 * drT) / (1.0 - 0.8 * drT), tl.gainAt1k / tr.gainAt1k, 0.02);
    EXPECT_NEAR((1.0 + 0.8 * dlU) / (1.0 - 0.8 * dlU), ul.gainAt1k / ur.gainAt1k, 0.02);
}

TEST(Chorus, SettingsMessageChoosesRatesAndDepthByMode) {
    struct Case {
        int mode;
        float speed, depth;
        float rate1, rate2, depthTarget;
    };
    const Case cases[] = {
        {1, 5.0f, 0.6f, 0.5f, 0.055f, 0.6f},   // slow, deep: speed x 0.1, full depth
        {0, 5.0f, 0.6f, 7.0f, 0.77f, 0.51f},   // chorus: speed + 2, depth x 0.85
        {0, 0.0f, 1.5f, 2.0f, 0.22f, 1.0f},    // the depth target is at most 1
        {7, 20.0f, -0.5f, 2.0f, 0.22f, 0.0f},  // any non-zero mode; a negative depth is 0
        {1, 0.0f, 0.3f, 1e-6f, 1e-6f, 0.3f},   // LFO rates are at least 1e-6 Hz
        {0, NAN, NAN, 1e-6f, 1e-6f, 0.0f},
    };
    for (const Case& c : cases) {
        ChorusRig rig(44100.0f);
        rig.settings(c.mode, c.speed, c.depth);
        EXPECT_EQ(c.mode, rig.chorus.getMode());
        EXPECT_FLOAT_EQ(c.rate1, rig.chorus.getLfoRate(0)) << c.mode << " " << c.speed;
        EXPECT_FLOAT_EQ(c.rate2, rig.chorus.getLfoRate(1)) << c.mode << " " << c.speed;
        EXPECT_FLOAT_EQ(c.depthTarget, rig.chorus.getDepthTarget()) << c.mode << " " << c.depth;
    }
    ChorusRig rig(44100.0f);
    EXPECT_FLOAT_EQ(1.0f, rig.chorus.getDepthTarget());  // before any message
    EXPECT_FLOAT_EQ(0.5f, rig.chorus.getDepth());
    EXPECT_FLOAT_EQ(0.015f, rig.chorus.getLfoRate(0));
}

TEST(ChorusLfo, SineAtItsRateFromEitherTable) {
    std::vector<float> table = measure::engineSineTable();
    ChorusLfo shared, own;
    ASSERT_EQ(0, shared.init(44100.0f, table.data(), fx::kSineSize));
    ASSERT_EQ(0, own.init(44100.0f, nullptr, 0));
    EXPECT_FLOAT_EQ(0.015f, own.getRate());
    shared.setRate(3.0f);
    own.setRate(3.0f);
    std::vector<float> values(3 * 44100);
    for (int n = 0; n < (int)values.size(); ++n) {
        values[n] = shared.step();
        ASSERT_EQ(values[n], own.step());
        if (n < 22050) {
            ASSERT_NEAR(std::sin(2.0 * kPi * 3.0 * (n + 1) / 44100.0), values[n], 1e-3) << n;
        }
    }
    EXPECT_NEAR(3.0, measure::zeroCrossingFrequency(values.data(), (int)values.size(), 44100.0), 1e-3);

    // The same rate at another sample rate.
    shared.setSampleRate(96000.0f);
    std::vector<float> faster(2 * 96000);
    for (float& v : faster) v = shared.step();
    EXPECT_NEAR(3.0, measure::zeroCrossingFrequency(faster.data(), (int)faster.size(), 96000.0), 1e-3);
}

TEST(ChorusLfo, RatesAreBounded) {
    ChorusLfo lfo;
    ASSERT_EQ(0, lfo.init(44100.0f, nullptr, 0));
    for (float bad : {0.0f, -3.0f, NAN, INFINITY}) {
        lfo.setRate(bad);
        EXPECT_EQ(1e-6f, lfo.getRate()) << bad;
    }
    lfo.setRate(1e9f);  // far above the rate: the phase still stays in the table
    for (int n = 0; n < 1000; ++n) {
        const float v = lfo.step();
        ASSERT_TRUE(v >= -1.0f && v <= 1.0f);
    }
    std::vector<float> table = measure::engineSineTable();
    EXPECT_EQ(1, lfo.init(44100.0f, table.data(), 1));
    lfo.free();
    lfo.free();
}

TEST(Chorus, ClearAndBadSamplesLeaveNoTail) {
    ChorusRig rig(44100.0f);
    rig.settings(0, 3.0f, 0.7f);
    std::vector<float> left(8800), right(8800);
    for (size_t n = 0; n < left.size(); ++n) {
        left[n] = std::sin(0.1f * n);
        right[n] = std::cos(0.05f * n);
    }
    rig.run(left, right);
    rig.chorus.clear();
    std::vector<float> l(4400, 0.0f), r(4400, 0.0f);
    rig.run(l, r);
    for (size_t n = 0; n < l.size(); ++n) ASSERT_TRUE(l[n] == 0.0f && r[n] == 0.0f) << n;

    std::vector<float> badL(kBlock, 0.2f), badR(kBlock, 0.2f);
    badL[5] = NAN;
    badR[6] = INFINITY;
    rig.run(badL, badR);
    std::vector<float> afterL(4400, 0.0f), afterR(4400, 0.0f);
    rig.run(afterL, afterR);
    for (size_t n = 0; n < afterL.size(); ++n) ASSERT_TRUE(std::isfinite(afterL[n]) && std::isfinite(afterR[n])) << n;
    EXPECT_EQ(0.0f, afterL.back());
}

// The stretch path against the reference's steps one sample at a time, to the bit: at 8 kHz
// the second line reads samples pushed earlier in the same block, at 44.1 kHz the lines wrap
// (after about 1.09 s), and blocks of odd lengths and longer than a stretch come and go, with
// the depth moving and both modes.
TEST(Chorus, StretchesMatchTheOneSampleReferenceToTheBit) {
    const int lengths[] = {44, 7, 3, 130, 1, 64, 44, 65};
    for (float rate : {8000.0f, 44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        ChorusRig stretches(rate), reference(rate);
        float peak = 0.0f;
        int start = 0;
        for (int round = 0; round < 1700; ++round) {
            if (round % 400 == 0)
                for (ChorusRig* r : {&stretches, &reference})
                    r->settings(round % 800 ? 1 : 0, 1.5f + 0.001f * round, 0.3f + 0.0004f * round);
            const int count = lengths[round % 8];
            std::vector<float> l(count), r(count);
            for (int n = 0; n < count; ++n) {
                l[n] = (float)(0.6 * std::sin(0.031 * (start + n)) + 0.2 * std::sin(0.47 * (start + n)));
                r[n] = (float)(0.5 * std::sin(0.013 * (start + n) + 1.0));
            }
            if (round == 900) l[count / 2] = NAN;
            std::vector<float> refL = l, refR = r;
            stretches.chorus.process(l.data(), r.data(), l.data(), r.data(), count);
            reference.chorus.processReference(refL.data(), refR.data(), refL.data(), refR.data(), count);
            for (int n = 0; n < count; ++n) {
                ASSERT_EQ(0, std::memcmp(&l[n], &refL[n], sizeof(float)))
                    << "round " << round << " left " << n << ": " << l[n] << " against " << refL[n];
                ASSERT_EQ(0, std::memcmp(&r[n], &refR[n], sizeof(float)))
                    << "round " << round << " right " << n << ": " << r[n] << " against " << refR[n];
                if (std::isfinite(l[n])) peak = std::max(peak, std::fabs(l[n]));
            }
            start += count;
        }
        EXPECT_GT(peak, 0.05f);
        EXPECT_EQ(stretches.chorus.getDepth(), reference.chorus.getDepth());
    }
}

TEST(Chorus, InitAndFree) {
    ChorusRecord record = {};
    record.sampleRate = 44100.0f;
    Chorus chorus;
    EXPECT_EQ(1, chorus.init(nullptr));
    std::vector<float> table = measure::engineSineTable();
    record.sineTable = table.data();
    record.sineSize = 0;  // a table without points
    EXPECT_EQ(1, chorus.init(&record));
    float l[kBlock] = {1.0f}, r[kBlock] = {1.0f};
    chorus.process(l, r, l, r, kBlock);  // not initialised: untouched
    EXPECT_EQ(1.0f, l[0]);
    record.sineSize = fx::kSineSize;
    EXPECT_EQ(0, chorus.init(&record));
    chorus.free();
    chorus.free();
}

}  // namespace
