// The filter module driven directly: frequency response against the analytic response of
// the bilinear design with prewarping, resonance, modulation, glides, the large-jump ramp,
// ports and the mended faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "same_bits.h"
#include "engine/filter.h"
#include "engine/port_fixture.h"

namespace {

using test::kBlock;
using test::kHistory;
using test::ValueSource;

const double kPi = 3.14159265358979323846;
const float kRate = 44100.0f;

// |H(f)| of the design: the analog prototype at the prewarped cutoff, seen through the
// bilinear transform (analog frequency 2 rate tan(pi f / rate)).
double analyticGain(int type, int poles, double fc, double q, double f, double rate) {
    const double u = std::tan(kPi * f / rate) / std::tan(kPi * fc / rate);
    const double den = std::sqrt((1 - u * u) * (1 - u * u) + (u / q) * (u / q));
    const double g = type == kFilterLowPass ? 1.0 / den : u * u / den;
    return poles == 4 ? g * g : g;
}

double decibels(double gain) { return 20.0 * std::log10(gain); }

class FilterTest : public ::testing::Test {
protected:
    static const int kSlot = 5;

    void SetUp() override {
        // The engine's tables: tangent over [0, pi/2), 256^x over [-3, 3).
        tangentTable.resize(8192);
        powerTable.resize(8192);
        for (int i = 0; i < 8192; ++i) {
            tangentTable[i] = static_cast<float>(std::tan(kPi / 2 * i / 8192));
            powerTable[i] = static_cast<float>(std::pow(256.0, -3.0 + 6.0 * i / 8192));
        }
        record.voiceCount = 32;
        record.blockLength = kBlock;
        record.historyLength = kHistory;
        record.tangentTable = tangentTable.data();
        record.tangentSize = 8192;
        record.tangentStart = 0.0f;
        record.tangentEnd = static_cast<float>(kPi / 2);
        record.powerTable = powerTable.data();
        record.powerSize = 8192;
        record.powerStart = -3.0f;
        record.powerEnd = 3.0f;
        ASSERT_EQ(filter.init(&record, 2, kRate), 0);
        output = filter.takeOutput(0, kSlot);
        ASSERT_NE(output, nullptr);
        ASSERT_EQ(filter.connectInput(kFilterInAudio, &audio.port, kSlot, 0), 0);
    }

    void settings(float cutoff, float resonance, int type, int slot = kSlot) {
        record.slot = slot;
        record.cutoff = cutoff;
        record.resonance = resonance;
        record.typeOrPoles = type;
        filter.message(&record, kFilterMsgSettings);
    }
    void setState(int state, int slot = kSlot) {
        record.slot = slot;
        record.state = state;
        filter.message(&record, kFilterMsgState);
    }
    void setPoles(int poles) {
        record.slot = kSlot;
        record.typeOrPoles = poles == 4 ? 1 : 0;
        filter.message(&record, kFilterMsgSlope);
    }
    // A new note on the slot: the renderer sends the off state for at least one block first.
    void noteOn(float cutoff, float resonance, int type) {
        setState(Filter::kOff);
        filter.process();
        settings(cutoff, resonance, type);
        setState(Filter::kSounding);
    }

    // One block with input(n), n counting samples since the fixture started; the output
    // samples are appended to out when given.
    void runBlock(const std::function<float(long)>& input, std::vector<float>* out = nullptr) {
        for (int i = 0; i < kBlock; ++i) audio.block()[i] = input(sample + i);
        sample += kBlock;
        filter.process();
        if (out != nullptr) out->insert(out->end(), output->samples, output->samples + kBlock);
    }
    void runSeconds(double seconds, const std::function<float(long)>& input, std::vector<float>* out = nullptr) {
        const int blocks = static_cast<int>(seconds * kRate / kBlock);
        for (int b = 0; b < blocks; ++b) runBlock(input, out);
    }
    static std::function<float(long)> sine(double f, double amplitude = 1.0) {
        return [f, amplitude](long n) { return static_cast<float>(amplitude * std::sin(2 * kPi * f * n / kRate)); };
    }

    // Steady-state gain of a sine at f: RMS out / RMS in over half a second after settling.
    double measureGain(double f) {
        runSeconds(0.25, sine(f));
        const long start = sample;
        std::vector<float> out;
        runSeconds(0.5, sine(f), &out);
        double in2 = 0, out2 = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            const double x = sine(f)(start + static_cast<long>(i));
            in2 += x * x;
            out2 += static_cast<double>(out[i]) * out[i];
        }
        return std::sqrt(out2 / in2);
    }

    std::vector<float> tangentTable, powerTable;
    FilterRecord record{};
    Filter filter;
    ValueSource audio{0.0f, 0};
    SignalPort* output = nullptr;
    long sample = 0;
};

struct ResponseCase {
    int type;
    int poles;
    float cutoff;
    float resonance;  // Q = resonance + 0.707
    double frequency;
};

TEST_F(FilterTest, GainFollowsTheAnalyticResponse) {
    const ResponseCase cases[] = {
        {kFilterLowPass, 2, 1000, 0, 1000},    {kFilterLowPass, 2, 1000, 0, 250},
        {kFilterLowPass, 2, 1000, 0, 4000},    {kFilterLowPass, 2, 8000, 0, 15000},
        {kFilterHighPass, 2, 1000, 0, 1000},   {kFilterHighPass, 2, 1000, 0, 250},
        {kFilterHighPass, 2, 1000, 0, 4000},   {kFilterLowPass, 4, 1000, 0, 1000},
        {kFilterLowPass, 4, 1000, 0, 3000},    {kFilterLowPass, 4, 2000, 0, 500},
        {kFilterHighPass, 4, 1000, 0, 1000},   {kFilterHighPass, 4, 1000, 0, 400},
        {kFilterHighPass, 4, 500, 0, 3000},    {kFilterLowPass, 2, 1000, 4.293f, 1000},
        {kFilterHighPass, 2, 2000, 1.293f, 2000}, {kFilterLowPass, 4, 1500, 0.5f, 1500},
    };
    for (const ResponseCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " poles " << c.poles << " fc " << c.cutoff
                                          << " res " << c.resonance << " f " << c.frequency);
        setPoles(c.poles);
        noteOn(c.cutoff, c.resonance, c.type);
        const double expected = analyticGain(c.type, c.poles, c.cutoff, c.resonance + 0.707, c.frequency, kRate);
        EXPECT_NEAR(decibels(measureGain(c.frequency)), decibels(expected), 0.05);
    }
}

TEST_F(FilterTest, OwnTablesGiveTheSameResponse) {
    FilterRecord bare = record;
    bare.tangentTable = nullptr;
    bare.powerTable = nullptr;
    Filter own;
    ASSERT_EQ(own.init(&bare, 2, kRate), 0);
    SignalPort* out = own.takeOutput(0, 0);
    ASSERT_EQ(own.connectInput(kFilterInAudio, &audio.port, 0, 0), 0);
    ValueSource cutoffMod(0.25f);
    ASSERT_EQ(own.connectInput(kFilterInCutoffMod, &cutoffMod.port, 0, 1), 0);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &cutoffMod.port, kSlot, 1), 0);
    bare.slot = 0;
    bare.cutoff = 700;
    bare.resonance = 2;
    bare.typeOrPoles = kFilterLowPass;
    own.message(&bare, kFilterMsgSettings);
    bare.state = Filter::kSounding;
    own.message(&bare, kFilterMsgState);
    noteOn(700, 2, kFilterLowPass);
    for (int b = 0; b < 40; ++b) {
        runBlock(sine(2500));
        own.process();
        for (int i = 0; i < kBlock; ++i) ASSERT_NEAR(out->samples[i], output->samples[i], 1e-4) << b << " " << i;
    }
    EXPECT_NEAR(own.usedCutoff(0), 700 * 4.0, 0.01);  // 256^0.25 = 4
}

TEST_F(FilterTest, ResonancePeaksAtTheCutoff) {
    // Q = 10: the low-pass peak stands 20 dB above the pass band, next to the cutoff.
    noteOn(2000, 9.293f, kFilterLowPass);
    const double atCutoff = measureGain(2000);
    EXPECT_NEAR(decibels(atCutoff), 20.0, 0.1);
    EXPECT_LT(measureGain(1700), atCutoff);
    EXPECT_LT(measureGain(2300), atCutoff);
    EXPECT_NEAR(measureGain(100), 1.0, 0.01);
}

TEST_F(FilterTest, CutoffAndQAreClamped) {
    noteOn(30000, 0, kFilterLowPass);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 21168.0f);  // 0.48 x rate

    ValueSource resonanceMod(3.0f);
    ASSERT_EQ(filter.connectInput(kFilterInResonanceMod, &resonanceMod.port, kSlot, 7), 0);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedQ(kSlot), 50.0f);  // base 0.707 + 60, limited
    resonanceMod.set(-3.0f);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedQ(kSlot), 0.707f);

    resonanceMod.set(0.0f);
    noteOn(0.01f, 0, kFilterHighPass);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 1.0f);
    // Bad values from outside are clamped at entry, never reach the state.
    noteOn(NAN, NAN, kFilterLowPass);
    std::vector<float> out;
    runBlock(sine(100), &out);
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 1.0f);
    EXPECT_FLOAT_EQ(filter.usedQ(kSlot), 0.707f);
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
}

TEST_F(FilterTest, CutoffModulationIsInUnitsOf256) {
    ValueSource vibrato(1.0f), cutoffA(0.0f), touch(0.5f), brillianceSource(0.5f), cutoffB(0.0f);
    struct Case {
        const char* name;
        float cutoff;
        float cutoffA, cutoffB;
        bool vibratoOn, touchOn, brillianceOn;
        double m;
    };
    // Vibrato depth 0.2, touch amount 0.4, after-touch depth 0.3, initial depth 0.4.
    const Case cases[] = {
        {"up one", 50, 1.0f, 0, false, false, false, 1.0},
        {"down one", 5000, -1.0f, 0, false, false, false, -1.0},
        {"offsets add", 1000, 0.25f, -0.125f, false, false, false, 0.125},
        {"vibrato alone", 1000, 0, 0, true, false, false, 1.0 * 0.2 * 0.5},
        {"vibrato with touch", 1000, 0, 0, true, true, false, 1.0 * (0.2 + 0.5 * 0.4) * 0.5 + 0.5 * 0.3},
        {"initial brilliance", 1000, 0, 0, false, false, true, 0.5 * 0.4},
        {"all", 100, 0.1f, 0.05f, true, true, true, 0.15 + (0.2 + 0.2) * 0.5 + 0.15 + 0.2},
    };
    record.vibratoDepth = 0.2f;
    record.touchAmount = 0.4f;
    filter.message(&record, kFilterMsgVibrato);
    record.slot = kSlot;
    record.touchBrillianceDepth = 0.3f;
    record.initialBrillianceDepth = 0.4f;
    filter.message(&record, kFilterMsgDepths);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffA, &cutoffA.port, kSlot, 12), 0);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffB, &cutoffB.port, kSlot, 20), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cutoffA.set(c.cutoffA);
        cutoffB.set(c.cutoffB);
        filter.releaseInput(kFilterInVibrato, kSlot, 31);
        filter.releaseInput(kFilterInTouch, kSlot, 25);
        filter.releaseInput(kFilterInBrillianceSource, kSlot, 24);
        if (c.vibratoOn) {
            ASSERT_EQ(filter.connectInput(kFilterInVibrato, &vibrato.port, kSlot, 31), 0);
        }
        if (c.touchOn) {
            ASSERT_EQ(filter.connectInput(kFilterInTouch, &touch.port, kSlot, 25), 0);
        }
        if (c.brillianceOn) {
            ASSERT_EQ(filter.connectInput(kFilterInBrillianceSource, &brillianceSource.port, kSlot, 24), 0);
        }
        noteOn(c.cutoff, 0, kFilterLowPass);
        runBlock(sine(100));
        EXPECT_NEAR(filter.usedCutoff(kSlot), c.cutoff * std::pow(256.0, c.m), c.cutoff * std::pow(256.0, c.m) * 1e-4);
    }
}

TEST_F(FilterTest, SummingInputsKeepTheirSumWhenOneLeavesFromTheMiddle) {
    ValueSource a(0.1f), b(0.2f), c(0.4f);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &a.port, kSlot, 1), 0);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &b.port, kSlot, 2), 0);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &c.port, kSlot, 3), 0);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &b.port, kSlot, 2), 0);  // the same source twice
    noteOn(100, 0, kFilterLowPass);
    runBlock(sine(50));
    EXPECT_NEAR(filter.usedCutoff(kSlot), 100 * std::pow(256.0, 0.9), 0.05);
    filter.releaseInput(kFilterInCutoffMod, kSlot, 2);  // removes both entries with the tag
    noteOn(100, 0, kFilterLowPass);
    runBlock(sine(50));
    EXPECT_NEAR(filter.usedCutoff(kSlot), 100 * std::pow(256.0, 0.5), 0.01);

    // Six entries at most.
    for (int tag = 10; tag < 14; ++tag) ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &a.port, kSlot, tag), 0);
    EXPECT_EQ(filter.connectInput(kFilterInCutoffMod, &a.port, kSlot, 14), 1);
    EXPECT_EQ(filter.connectInput(kFilterInResonanceMod, &a.port, kSlot, 14), 0);
    EXPECT_EQ(filter.connectInput(15, &a.port, kSlot, 14), 1);
    EXPECT_EQ(filter.connectInput(24, &a.port, kSlot, 14), 1);
}

TEST_F(FilterTest, GlobalOffsets) {
    // The resonance offset counts fully with 2 poles and a quarter with 4.
    record.brillianceOffset = 0.0f;
    record.resonance = 0.1f;
    filter.message(&record, kFilterMsgOffsets);
    noteOn(1000, 0.293f, kFilterLowPass);
    runBlock(sine(100));
    EXPECT_NEAR(filter.usedQ(kSlot), 1.0 + 2.0, 1e-5);
    setPoles(4);
    runBlock(sine(100));
    EXPECT_NEAR(filter.usedQ(kSlot), 1.0 + 0.5, 1e-5);

    // The brilliance offset glides toward its target per block over 50 ms.
    record.brillianceOffset = 0.5f;
    record.resonance = 0.0f;
    filter.message(&record, kFilterMsgOffsets);
    const double c = 1.0 - std::exp(-kBlock / (0.05 * kRate));
    runBlock(sine(100));
    EXPECT_NEAR(filter.usedCutoff(kSlot), 1000 * std::pow(256.0, 0.5 * c), 0.05);
    runSeconds(1.0, sine(100));
    EXPECT_NEAR(filter.usedCutoff(kSlot), 1000 * 16.0, 0.5);
}

TEST_F(FilterTest, CutoffGlidesOver50Milliseconds) {
    noteOn(1000, 0, kFilterLowPass);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 1000.0f);
    settings(1400, 0, kFilterLowPass);
    const double c = 1.0 - std::exp(-kBlock / (0.05 * kRate));
    for (int b = 1; b <= 60; ++b) {
        runBlock(sine(100));
        ASSERT_NEAR(filter.usedCutoff(kSlot), 1400 - 400 * std::pow(1 - c, b), 0.01) << b;
    }
}

TEST_F(FilterTest, FirstBlockOfANoteSnapsAndStartsClean) {
    noteOn(300, 0, kFilterLowPass);
    runSeconds(0.1, sine(200));
    settings(5000, 0, kFilterLowPass);  // while sounding it would glide
    runBlock(sine(200));
    EXPECT_LT(filter.usedCutoff(kSlot), 400.0f);

    // A new note: the target at once, and no tail of the old one.
    setState(Filter::kOff);
    runBlock(sine(200));
    setState(Filter::kSounding);
    std::vector<float> out;
    runBlock([](long) { return 0.0f; }, &out);
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 5000.0f);
    for (float v : out) ASSERT_EQ(v, 0.0f);
}

TEST_F(FilterTest, CoefficientChangesGlideOver3Milliseconds) {
    // A cutoff step below 500 Hz (from a modulation input, so the cutoff glide does not slow
    // it): the 6 kHz tone's level moves from the old gain to the new one over milliseconds.
    setPoles(4);
    ValueSource mod(0.0f);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &mod.port, kSlot, 3), 0);
    noteOn(4000, 0, kFilterLowPass);
    runSeconds(0.1, sine(6000));
    const double fc2 = 4000 * std::pow(256.0, 0.015);
    ASSERT_LT(fc2 - 4000, 500.0);
    const double oldGain = analyticGain(kFilterLowPass, 4, 4000, 0.707, 6000, kRate);
    const double newGain = analyticGain(kFilterLowPass, 4, fc2, 0.707, 6000, kRate);
    mod.set(0.015f);
    std::vector<float> out;
    runSeconds(0.03, sine(6000), &out);
    auto peak = [&](int from, int to) {
        float p = 0;
        for (int i = from; i < to; ++i) p = std::max(p, std::fabs(out[i]));
        return p;
    };
    // First 0.5 ms: still mostly the old gain (an instant switch would be there already).
    EXPECT_LT(peak(8, 22), oldGain + 0.5 * (newGain - oldGain));
    // 20 ms on: the new gain.
    EXPECT_NEAR(peak(880, 1100), newGain, 0.02 * newGain);
}

TEST_F(FilterTest, LargeCutoffJumpsRampWithoutClicks) {
    // A low tone through a low-pass whose cutoff jumps by more than 500 Hz every few blocks,
    // both ways. Ramped, no step of the output exceeds 0.1; switching the coefficients at once
    // makes steps of about 0.4 (2 poles) and 0.55 (4 poles) here.
    ValueSource mod(0.0f);
    ASSERT_EQ(filter.connectInput(kFilterInCutoffMod, &mod.port, kSlot, 3), 0);
    const float amplitude = 0.8f;
    const double tone = 150;
    for (int poles : {2, 4}) {
        SCOPED_TRACE(poles);
        setPoles(poles);
        noteOn(400, 0.8f, kFilterLowPass);
        runSeconds(0.1, sine(tone, amplitude));
        std::vector<float> out;
        for (int jump = 0; jump < 12; ++jump) {
            mod.set(jump % 2 == 0 ? 0.6f : 0.0f);  // 400 Hz <-> 11 kHz
            runBlock(sine(tone, amplitude), &out);
            EXPECT_NEAR(filter.usedCutoff(kSlot), jump % 2 == 0 ? 400 * std::pow(256.0, 0.6) : 400, 1.0);
            for (int b = 0; b < 5; ++b) runBlock(sine(tone, amplitude), &out);
        }
        double largest = 0;
        for (size_t i = 1; i < out.size(); ++i) largest = std::max(largest, std::fabs(double(out[i]) - out[i - 1]));
        EXPECT_LT(largest, 0.12);
    }
}

TEST_F(FilterTest, StoppedVoiceAndReleasedAudioLeaveSilence) {
    noteOn(2000, 0, kFilterLowPass);
    runSeconds(0.05, sine(440));
    setState(Filter::kOff);
    for (int i = -kHistory; i < kBlock; ++i) ASSERT_EQ(output->samples[i], 0.0f);

    // Audio released while sounding: the last block is not served again.
    noteOn(2000, 0, kFilterLowPass);
    runSeconds(0.05, sine(440));
    filter.releaseInput(kFilterInAudio, kSlot, 0);
    runBlock(sine(440));
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(output->samples[i], 0.0f);

    // The last reader gone: the outputs are cleared once at the next block.
    ASSERT_EQ(filter.connectInput(kFilterInAudio, &audio.port, kSlot, 0), 0);
    runSeconds(0.05, sine(440));
    filter.releaseOutput(0, kSlot);
    EXPECT_FALSE(filter.isActive());
    runBlock(sine(440));
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(output->samples[i], 0.0f);
    filter.releaseOutput(0, kSlot);  // one release too many does not wrap the count
    filter.takeOutput(0, kSlot);
    EXPECT_TRUE(filter.isActive());
}

TEST_F(FilterTest, TailsFlushToZeroAndNonFiniteInputDoesNotStick) {
    setPoles(4);
    noteOn(30, 0, kFilterLowPass);
    runSeconds(0.2, [](long) { return 1.0f; });
    std::vector<float> out;
    runSeconds(3.0, [](long) { return 0.0f; }, &out);
    for (int i = 0; i < kBlock; ++i) EXPECT_EQ(out[out.size() - 1 - i], 0.0f);
    for (float v : out) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);

    runBlock([](long n) { return n % 7 == 0 ? NAN : 0.5f; });
    out.clear();
    runSeconds(0.05, sine(50), &out);
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
}

// Readers of the output see the last M samples of the block before in front of the block.
TEST_F(FilterTest, OutputHistoryHoldsTheEndOfTheBlockBefore) {
    for (int poles : {2, 4}) {
        SCOPED_TRACE(poles);
        setPoles(poles);
        noteOn(3000, 0.5f, kFilterLowPass);
        std::vector<float> before;
        for (int b = 0; b < 5; ++b) {
            before.clear();
            runBlock(sine(700 + 100 * b), &before);
            runBlock(sine(1900));
            for (int i = 0; i < kHistory; ++i)
                ASSERT_EQ(output->samples[i - kHistory], before[kBlock - kHistory + i]) << "history sample " << i;
        }
    }
}

TEST_F(FilterTest, SampleRateChangeRedesignsTheSoundingSlot) {
    noteOn(1000, 0, kFilterLowPass);
    runSeconds(0.05, sine(1000));
    const float rate = 48000.0f;
    filter.setSampleRate(rate);
    // The same cutoff at the new rate: -3 dB at 1000 Hz (measured at the new rate).
    runSeconds(0.25, [rate](long n) { return static_cast<float>(std::sin(2 * kPi * 1000 * n / rate)); });
    std::vector<float> out;
    runSeconds(0.5, [rate](long n) { return static_cast<float>(std::sin(2 * kPi * 1000 * n / rate)); }, &out);
    double out2 = 0;
    for (float v : out) out2 += double(v) * v;
    EXPECT_NEAR(decibels(std::sqrt(2 * out2 / out.size())), decibels(0.707), 0.05);

    noteOn(30000, 0, kFilterLowPass);
    runBlock(sine(100));
    EXPECT_FLOAT_EQ(filter.usedCutoff(kSlot), 0.48f * rate);
}

TEST(FilterModule, InitRefusesBadConfigurationAndFreeIsSafeTwice) {
    FilterRecord record{};
    record.voiceCount = 32;
    record.blockLength = 0;
    record.historyLength = 9;
    Filter filter;
    EXPECT_EQ(filter.init(&record, 2, 44100.0f), 1);
    record.blockLength = kBlock;
    EXPECT_EQ(filter.init(&record, 2, 0.0f), 1);
    EXPECT_EQ(filter.init(&record, 2, 44100.0f), 0);
    // Slots outside 0..31 are clamped, never index out of range.
    record.slot = 1000;
    record.cutoff = 500;
    record.typeOrPoles = kFilterLowPass;
    EXPECT_EQ(filter.message(&record, kFilterMsgSettings), 0);
    EXPECT_NE(filter.takeOutput(0, -4), nullptr);
    filter.free();
    filter.free();
    filter.process();
    EXPECT_EQ(filter.takeOutput(0, 0), nullptr);
}

}  // namespace

namespace {

struct SlotCase {
    int slot;
    int type;
    int poles;
    float cutoff;
    float resonance;
    float modulation;  // cutoff modulation swing per block; 0.6 jumps beyond 500 Hz
    int period;        // blocks between modulation changes; 0: never
    int typePeriod;    // blocks between changes of the type (high-pass <-> low-pass); 0: never
};

const SlotCase kSlotCases[] = {
    {0, kFilterLowPass, 2, 800, 0.0f, 0.0f, 0, 0},      {1, kFilterHighPass, 4, 300, 0.5f, 0.02f, 3, 0},
    {3, kFilterLowPass, 4, 2000, 1.2f, 0.01f, 1, 0},    {4, kFilterLowPass, 2, 400, 0.3f, 0.6f, 5, 0},
    {9, kFilterHighPass, 2, 1500, 0.0f, 0.03f, 2, 0},   {17, kFilterLowPass, 4, 600, 2.0f, 0.0f, 0, 0},
    {31, kFilterHighPass, 4, 5000, 0.1f, 0.6f, 7, 0},
    // Enough of one kind for two pairs at once and a pair or a spare lane after them.
    {5, kFilterLowPass, 2, 700, 0.4f, 0.0f, 0, 0},      {6, kFilterHighPass, 2, 250, 0.2f, 0.0f, 0, 0},
    {7, kFilterLowPass, 2, 3000, 1.0f, 0.0f, 0, 0},     {8, kFilterLowPass, 2, 120, 0.0f, 0.0f, 0, 0},
    {10, kFilterLowPass, 4, 900, 0.6f, 0.015f, 1, 0},   {11, kFilterHighPass, 4, 200, 0.3f, 0.02f, 1, 0},
    {12, kFilterLowPass, 4, 2500, 1.5f, 0.01f, 1, 0},   {13, kFilterLowPass, 4, 1200, 0.9f, 0.012f, 1, 0},
    // Gliding at the extremes: a low cutoff with a high Q, the top of the range, and a slot
    // whose type changes while it sounds (its coefficients then glide between the two shapes).
    {14, kFilterLowPass, 4, 40, 8.0f, 0.01f, 1, 0},     {15, kFilterHighPass, 2, 30, 3.0f, 0.02f, 1, 0},
    {16, kFilterLowPass, 2, 15000, 2.0f, 0.01f, 1, 0},  {18, kFilterLowPass, 4, 1000, 0.5f, 0.01f, 2, 9},
    // Settled slots enough for four lanes and a pair after them (4 poles), and for two
    // registers of four lanes at once and a spare after them (2 poles).
    {19, kFilterLowPass, 4, 350, 0.8f, 0.0f, 0, 0},     {20, kFilterHighPass, 4, 90, 0.0f, 0.0f, 0, 0},
    {21, kFilterLowPass, 4, 4500, 2.5f, 0.0f, 0, 0},    {22, kFilterHighPass, 4, 1800, 1.0f, 0.0f, 0, 0},
    {23, kFilterLowPass, 4, 8000, 0.2f, 0.0f, 0, 0},    {24, kFilterHighPass, 2, 500, 0.6f, 0.0f, 0, 0},
    {25, kFilterLowPass, 2, 5000, 1.8f, 0.0f, 0, 0},    {26, kFilterLowPass, 2, 1100, 0.0f, 0.0f, 0, 0},
    {27, kFilterHighPass, 2, 60, 2.2f, 0.0f, 0, 0},
    // More 2-pole slots gliding every block, enough for four lanes.
    {2, kFilterHighPass, 2, 700, 1.4f, 0.015f, 1, 0},   {28, kFilterLowPass, 2, 2200, 0.7f, 0.02f, 1, 0},
    {29, kFilterLowPass, 2, 450, 3.0f, 0.01f, 1, 0},
};
const int kSlotCaseCount = static_cast<int>(sizeof(kSlotCases) / sizeof(kSlotCases[0]));

// Which recursion the slots go through: settled ones four to a register where the processor
// has the lanes (else two), settled ones two at a time, or every slot on its own.
enum Path { kLanes, kPairs, kScalar };

// The module for 32 voices at the test's block length, its slots going through one path.
void startFilter(Filter& filter, FilterRecord& record, Path path) {
    record.voiceCount = 32;
    record.blockLength = kBlock;
    record.historyLength = kHistory;
    EXPECT_EQ(filter.init(&record, 2, kRate), 0);
    filter.useScalarPath(path == kScalar);
    filter.usePairedPath(path == kPairs);
}

// Renders the cases flagged in `sounding` for `blocks` blocks through one path, at a rate
// set after initialisation; returns every case's output, block after block.
std::vector<std::vector<float>> renderSlots(const std::vector<bool>& sounding, Path path, int blocks,
                                            float rate = kRate, const SlotCase* cases = kSlotCases,
                                            int count = kSlotCaseCount) {
    FilterRecord record{};
    Filter filter;
    startFilter(filter, record, path);
    filter.setSampleRate(rate);
    // Reserved: a source's port points into its own buffer, so the sources never move.
    std::vector<ValueSource> audio, mod;
    audio.reserve(count);
    mod.reserve(count);
    for (int i = 0; i < count; ++i) {
        audio.emplace_back(0.0f, 0);
        mod.emplace_back(0.0f);
    }
    std::vector<SignalPort*> outputs(count);
    auto settings = [&](const SlotCase& c, int type) {
        record.slot = c.slot;
        record.cutoff = c.cutoff;
        record.resonance = c.resonance;
        record.typeOrPoles = type;
        filter.message(&record, kFilterMsgSettings);
    };
    for (int i = 0; i < count; ++i) {
        const SlotCase& c = cases[i];
        outputs[i] = filter.takeOutput(0, c.slot);
        filter.connectInput(kFilterInAudio, &audio[i].port, c.slot, 0);
        filter.connectInput(kFilterInCutoffMod, &mod[i].port, c.slot, 1);
        record.slot = c.slot;
        record.typeOrPoles = c.poles == 4 ? 1 : 0;
        filter.message(&record, kFilterMsgSlope);
        settings(c, c.type);
        record.state = sounding[i] ? Filter::kSounding : Filter::kOff;
        filter.message(&record, kFilterMsgState);
    }
    std::vector<std::vector<float>> out(count);
    for (int b = 0; b < blocks; ++b) {
        for (int i = 0; i < count; ++i) {
            const SlotCase& c = cases[i];
            for (int n = 0; n < kBlock; ++n) {
                const long t = static_cast<long>(b) * kBlock + n;
                audio[i].block()[n] = static_cast<float>(std::sin(0.01 * (i + 1) * t) + 0.3 * std::sin(0.37 * t));
            }
            if (c.period > 0 && b % c.period == 0) mod[i].set((b / c.period) % 2 ? c.modulation : 0.0f);
            if (c.typePeriod > 0 && b % c.typePeriod == 0)
                settings(c, (b / c.typePeriod) % 2 ? kFilterHighPass + kFilterLowPass - c.type : c.type);
        }
        filter.process();
        for (int i = 0; i < count; ++i) out[i].insert(out[i].end(), outputs[i]->samples, outputs[i]->samples + kBlock);
    }
    return out;
}

}  // namespace

// Slots are filtered in pairs, two pairs at once, where the processor allows: a slot's
// output must not depend on which other slots sound beside it, to the bit, whatever mix of
// kinds (2 or 4 poles, settled, gliding, ramping a jump, high- or low-pass) the block holds.
TEST(FilterModule, SlotsFilteredTogetherMatchEachAlone) {
    const int blocks = 60;
    const auto together = renderSlots(std::vector<bool>(kSlotCaseCount, true), kLanes, blocks);
    for (int i = 0; i < kSlotCaseCount; ++i) {
        SCOPED_TRACE(kSlotCases[i].slot);
        std::vector<bool> alone(kSlotCaseCount, false);
        alone[i] = true;
        const auto single = renderSlots(alone, kLanes, blocks);
        test::expectAudibleAndSameBits(single[i], together[i]);
    }
}

// The lane paths against the plain one-slot recursion on the same input, at the rate of
// initialisation and at another one, slots four or two at a time: settled slots to the bit;
// gliding slots take their coefficients in closed form with a two-term numerator, whose
// rounding may differ by at most 1e-6 of the slot's peak (about -120 dB) in any sample. Four
// lanes give the bits of two.
TEST(FilterModule, PairedPathsStayWithinToleranceOfTheScalarPath) {
    const double kTolerance = 1e-6;
    const int blocks = 200;
    const std::vector<bool> all(kSlotCaseCount, true);
    int differing = 0;
    std::printf("slots %d to a register on this processor\n", Filter().hasWideLanes() ? 4 : 2);
    for (float rate : {kRate, 96000.0f}) {
        SCOPED_TRACE(rate);
        const auto scalar = renderSlots(all, kScalar, blocks, rate);
        const auto pairs = renderSlots(all, kPairs, blocks, rate);
        const auto lanes = renderSlots(all, kLanes, blocks, rate);
        for (int i = 0; i < kSlotCaseCount; ++i) {
            SCOPED_TRACE(kSlotCases[i].slot);
            ASSERT_EQ(lanes[i].size(), pairs[i].size());
            ASSERT_EQ(std::memcmp(lanes[i].data(), pairs[i].data(), sizeof(float) * lanes[i].size()), 0);
            double peak = 0, largest = 0;
            for (float v : scalar[i]) peak = std::max(peak, std::fabs(double(v)));
            ASSERT_GT(peak, 0.02);
            for (size_t n = 0; n < scalar[i].size(); ++n) {
                const double difference = std::fabs(double(pairs[i][n]) - scalar[i][n]);
                largest = std::max(largest, difference);
                differing += difference != 0.0;
                if (kSlotCases[i].period == 0)
                    ASSERT_EQ(pairs[i][n], scalar[i][n]) << "sample " << n;
                else
                    ASSERT_LE(difference, kTolerance * peak) << "sample " << n;
            }
            std::printf("%.0f Hz, slot %2d: largest difference %.3g of a peak of %.3g\n", rate, kSlotCases[i].slot,
                        largest, peak);
        }
    }
    // The closed form is really taken: a path that gave the scalar recursion's bits would not
    // test it.
    EXPECT_GT(differing, 0);
}

// Jumps of more than 500 Hz up and down across the whole range, ramped in pairs of slots:
// the one-slot ramp's output to the bit, at both rates, with low and high resonance, both
// kinds and 2 or 4 poles; an odd number of 4-pole slots puts one beside the spare lane.
TEST(FilterModule, PairedRampsMatchTheScalarRampToTheBit) {
    const SlotCase kJumps[] = {
        {0, kFilterLowPass, 2, 30, 0.0f, 2.8f, 1, 0},    {1, kFilterHighPass, 2, 30, 6.0f, 2.8f, 2, 0},
        {2, kFilterLowPass, 2, 20000, 3.0f, -1.2f, 1, 0}, {3, kFilterHighPass, 2, 18000, 0.0f, -2.5f, 3, 0},
        {4, kFilterLowPass, 4, 60, 8.0f, 2.4f, 1, 0},    {5, kFilterHighPass, 4, 25000, 0.1f, -2.6f, 1, 0},
        {6, kFilterLowPass, 4, 2000, 0.0f, 1.1f, 2, 0},
    };
    const int count = static_cast<int>(sizeof(kJumps) / sizeof(kJumps[0]));
    const int blocks = 40;
    const std::vector<bool> all(count, true);
    for (float rate : {kRate, 96000.0f}) {
        SCOPED_TRACE(rate);
        const auto paired = renderSlots(all, kLanes, blocks, rate, kJumps, count);
        const auto scalar = renderSlots(all, kScalar, blocks, rate, kJumps, count);
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(kJumps[i].slot);
            test::expectAudibleAndSameBits(scalar[i], paired[i]);
        }
    }
}

// Settled slots settle their histories in their lanes: four or two at a time, 2 or 4 poles,
// a decaying tail reaches 0 without passing through subnormal numbers, and a slot fed
// non-finite samples is heard again at once while the slots beside it play on.
TEST(FilterModule, SettledLanesFlushTailsAndClearNonFiniteHistories) {
    // Six 4-pole slots (four lanes and a pair), nine 2-pole (two registers of four and a spare).
    const int kCount = 15;
    for (Path path : {kLanes, kPairs}) {
        SCOPED_TRACE(path == kLanes ? "lanes" : "pairs");
        FilterRecord record{};
        Filter filter;
        startFilter(filter, record, path);
        std::vector<ValueSource> audio;
        audio.reserve(kCount);
        std::vector<SignalPort*> outputs;
        for (int s = 0; s < kCount; ++s) {
            audio.emplace_back(0.0f, 0);
            outputs.push_back(filter.takeOutput(0, s));
            filter.connectInput(kFilterInAudio, &audio[s].port, s, 0);
            record.slot = s;
            record.typeOrPoles = s < 6 ? 1 : 0;
            filter.message(&record, kFilterMsgSlope);
            record.cutoff = 30.0f + 10.0f * s;
            record.resonance = 0.0f;
            record.typeOrPoles = kFilterLowPass;
            filter.message(&record, kFilterMsgSettings);
            record.state = Filter::kSounding;
            filter.message(&record, kFilterMsgState);
        }
        // Blocks of input(slot, n); returns each slot's output.
        long sample = 0;
        auto run = [&](int blocks, const std::function<float(int, long)>& input) {
            std::vector<std::vector<float>> out(kCount);
            for (int b = 0; b < blocks; ++b) {
                for (int s = 0; s < kCount; ++s)
                    for (int n = 0; n < kBlock; ++n) audio[s].block()[n] = input(s, sample + n);
                sample += kBlock;
                filter.process();
                for (int s = 0; s < kCount; ++s)
                    out[s].insert(out[s].end(), outputs[s]->samples, outputs[s]->samples + kBlock);
            }
            return out;
        };
        run(200, [](int, long) { return 1.0f; });
        const auto tails = run(3000, [](int, long) { return 0.0f; });
        for (int s = 0; s < kCount; ++s) {
            SCOPED_TRACE(s);
            for (float v : tails[s]) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
            EXPECT_EQ(tails[s].back(), 0.0f);
        }
        const int bad = 2;
        run(1, [](int s, long n) { return s == bad && n % 7 == 0 ? NAN : 0.5f; });
        const auto after = run(20, [](int s, long n) { return static_cast<float>(std::sin(0.01 * (s + 1) * n)); });
        for (int s = 0; s < kCount; ++s) {
            SCOPED_TRACE(s);
            double peak = 0.0;
            for (float v : after[s]) {
                ASSERT_TRUE(std::isfinite(v));
                peak = std::max(peak, std::fabs(double(v)));
            }
            EXPECT_GT(peak, 0.01);
        }
    }
}
