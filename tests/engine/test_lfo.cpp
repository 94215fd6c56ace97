// The per-voice LFOs and the vibrato LFO driven directly: rates measured from the output for
// every wave, shapes, tempo sync, rate and amplitude inputs, trigger restarts, sample and
// hold, mode link, gate outputs, and the mended faults.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>
#include <vector>

#include "engine/port_fixture.h"
#include "engine/vibrato_lfo.h"
#include "engine/voice_lfo.h"

namespace {

using test::GateSource;
using test::kBlock;
using test::kHistory;
using test::ValueSource;

const double kPi = 3.14159265358979323846;
const float kRate = 44100.0f;
const double kBlockRate = static_cast<double>(kRate) / kBlock;  // values per second
const double kBlockSeconds = kBlock / static_cast<double>(kRate);

// The largest value a wave reaches at a rate: the ramp machine folds its phase back into
// range after the step, so the triangle and sawtooth may pass their ends by one block's step
// and back (d x s1 and d x s2, at most 4 x rate / block rate each).
double waveBound(double rate) { return (1.0 + 8.0 * rate / kBlockRate) * (1.0 + 1e-6); }

std::vector<float> engineSineTable() {
    std::vector<float> table(8193);
    for (int i = 0; i < 8192; ++i) table[i] = static_cast<float>(std::sin(2 * kPi * i / 8192));
    table[8192] = table[0];
    return table;
}

// Block indices (fractional where the wave allows) of the events that mark one cycle.
std::vector<double> cycleMarks(const std::vector<float>& v, int wave) {
    std::vector<double> marks;
    for (size_t i = 1; i < v.size(); ++i) {
        const double a = v[i - 1], b = v[i];
        switch (wave) {
        case kLfoSine:
        case kLfoTriangle:
            if (a < 0 && b >= 0) marks.push_back(i - 1 + (-a) / (b - a));
            break;
        case kLfoSquare:
            if (a == 0 && b == 1) marks.push_back(static_cast<double>(i));
            break;
        case kLfoSawUp:
            if (b < a - 1.0) marks.push_back(static_cast<double>(i));
            break;
        case kLfoSawDown:
            if (b > a + 1.0) marks.push_back(static_cast<double>(i));
            break;
        default:
            if (a != b) marks.push_back(static_cast<double>(i));
            break;
        }
    }
    return marks;
}

// Frequency in Hz measured from the output: mean spacing of the cycle marks.
double measuredRate(const std::vector<float>& v, int wave) {
    const std::vector<double> marks = cycleMarks(v, wave);
    if (marks.size() < 2) return 0.0;
    const double blocksPerCycle = (marks.back() - marks.front()) / (marks.size() - 1);
    return kBlockRate / blocksPerCycle;
}

class VoiceLfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        sine = engineSineTable();
        record.voiceCount = 32;
        record.blockLength = kBlock;
        record.historyLength = kHistory;
        record.sineSize = 8193;
        record.sineTable = sine.data();
        ASSERT_EQ(lfo.init(&record, 5, kRate), 0);
    }

    void settings(int slot, int wave, float rate, int sync = 0, float tempo = 120.0f, int division = 1) {
        record.slot = slot;
        record.wave = wave;
        record.rate = rate;
        record.tempoSync = sync;
        record.tempo = tempo;
        record.division = division;
        lfo.message(&record, kVoiceLfoMsgSettings);
    }

    // The slot's value for each of n blocks.
    std::vector<float> run(const SignalPort* port, int blocks) {
        std::vector<float> values;
        for (int b = 0; b < blocks; ++b) {
            lfo.process();
            values.push_back(port->samples[0]);
        }
        return values;
    }

    std::vector<float> sine;
    VoiceLfoRecord record{};
    VoiceLfo lfo;
};

struct WaveCase {
    int wave;
    float rate;
};

TEST_F(VoiceLfoTest, EveryWaveRunsAtItsRate) {
    const WaveCase cases[] = {
        {kLfoSine, 2.0f},     {kLfoSine, 13.7f},    {kLfoSquare, 2.0f},   {kLfoSquare, 9.0f},
        {kLfoSawUp, 2.0f},    {kLfoSawUp, 25.0f},   {kLfoSawDown, 2.0f},  {kLfoSawDown, 7.5f},
        {kLfoTriangle, 2.0f}, {kLfoTriangle, 20.0f},
    };
    int slot = 0;
    for (const WaveCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << char(c.wave) << " " << c.rate);
        const SignalPort* port = lfo.takeOutput(kLfoOutValue, slot);
        settings(slot, c.wave, c.rate);
        const std::vector<float> v = run(port, static_cast<int>(6 * kBlockRate / c.rate));
        // Block-grid marks: within a block over the cycles counted.
        EXPECT_NEAR(measuredRate(v, c.wave), c.rate, c.rate * 0.01);
        ++slot;
    }
}

TEST_F(VoiceLfoTest, WaveShapes) {
    const int blocks = static_cast<int>(2 * kBlockRate);  // four cycles at 2 Hz
    auto runWave = [&](int slot, int wave) {
        const SignalPort* port = lfo.takeOutput(kLfoOutValue, slot);
        settings(slot, wave, 2.0f);
        return run(port, blocks);
    };
    const std::vector<float> sineValues = runWave(0, kLfoSine);
    EXPECT_NEAR(*std::max_element(sineValues.begin(), sineValues.end()), 1.0f, 1e-3);
    EXPECT_NEAR(*std::min_element(sineValues.begin(), sineValues.end()), -1.0f, 1e-3);

    // Square: unipolar, half the time high.
    const std::vector<float> square = runWave(1, kLfoSquare);
    int high = 0;
    for (float v : square) {
        ASSERT_TRUE(v == 0.0f || v == 1.0f) << v;
        high += v == 1.0f;
    }
    EXPECT_NEAR(high, blocks / 2, 3);

    // Sawtooth waves: bipolar, one straight ramp per period in their direction.
    for (int wave : {kLfoSawUp, kLfoSawDown}) {
        SCOPED_TRACE(char(wave));
        const std::vector<float> saw = runWave(wave, wave);
        const std::vector<double> marks = cycleMarks(saw, wave);
        ASSERT_GE(marks.size(), 3u);
        const int sign = wave == kLfoSawUp ? 1 : -1;
        const double slope = sign * 2.0 * 2.0 / kBlockRate;  // 2 units per period
        for (size_t i = static_cast<size_t>(marks[0]) + 1; i < static_cast<size_t>(marks[1]); ++i)
            ASSERT_NEAR(saw[i] - saw[i - 1], slope, 1e-6);
        EXPECT_LT(*std::min_element(saw.begin(), saw.end()), -0.99f);
        EXPECT_GT(*std::max_element(saw.begin(), saw.end()), 0.99f);
    }

    // Triangle: bipolar, rising and falling at the same speed.
    const std::vector<float> triangle = runWave(5, kLfoTriangle);
    int rising = 0, falling = 0;
    for (size_t i = 1; i < triangle.size(); ++i) (triangle[i] > triangle[i - 1] ? rising : falling)++;
    EXPECT_NEAR(rising, falling, 8);
    EXPECT_NEAR(*std::max_element(triangle.begin(), triangle.end()), 1.0f, 0.01);
    EXPECT_NEAR(*std::min_element(triangle.begin(), triangle.end()), -1.0f, 0.01);
}

TEST_F(VoiceLfoTest, RandomWavesStayInsideZeroToOne) {
    const SignalPort* random = lfo.takeOutput(kLfoOutValue, 0);
    const SignalPort* held = lfo.takeOutput(kLfoOutValue, 1);
    settings(0, kLfoRandom, 1.0f);
    settings(1, kLfoSampleHold, 10.0f);
    std::vector<float> randomValues, heldValues;
    for (int b = 0; b < 1000; ++b) {
        lfo.process();
        randomValues.push_back(random->samples[0]);
        heldValues.push_back(held->samples[0]);
    }
    for (size_t i = 1; i < randomValues.size(); ++i) {
        ASSERT_GT(randomValues[i], 0.0f);
        ASSERT_LT(randomValues[i], 1.0f);
        ASSERT_NE(randomValues[i], randomValues[i - 1]);  // a new value every block
    }
    // Sample and hold at 10 Hz: renewed once per period, i.e. every floor(period / d) + 1 blocks.
    const std::vector<double> marks = cycleMarks(heldValues, kLfoSampleHold);
    ASSERT_GE(marks.size(), 5u);
    const double interval = std::floor(0.1 / kBlockSeconds) + 1;
    for (size_t i = 1; i < marks.size(); ++i) ASSERT_EQ(marks[i] - marks[i - 1], interval);
    std::set<float> distinct(heldValues.begin(), heldValues.end());
    EXPECT_GE(distinct.size(), marks.size());
    for (float v : heldValues) {
        ASSERT_GT(v, 0.0f);
        ASSERT_LT(v, 1.0f);
    }
}

TEST_F(VoiceLfoTest, SampleAndHoldOfAnInput) {
    const SignalPort* withInput = lfo.takeOutput(kLfoOutValue, 2);
    const SignalPort* withoutInput = lfo.takeOutput(kLfoOutValue, 3);
    ValueSource input(0.7f);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInHold, &input.port, 2, 40), 0);
    settings(2, kLfoSampleInput, 20.0f);
    settings(3, kLfoSampleInput, 20.0f);
    for (int b = 0; b < 60; ++b) lfo.process();
    EXPECT_FLOAT_EQ(withInput->samples[0], 0.7f);
    EXPECT_FLOAT_EQ(withoutInput->samples[0], 0.0f);
    input.set(-0.3f);
    for (int b = 0; b < 60; ++b) lfo.process();
    EXPECT_FLOAT_EQ(withInput->samples[0], -0.3f);
}

TEST_F(VoiceLfoTest, TempoSync) {
    struct Case {
        float tempo;
        int division;
        double hz;
    } cases[] = {{120, 1, 2.0}, {120, -4, 0.5}, {90, 2, 3.0}, {150, -1, 2.5}, {120, 0, 1e-5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.tempo << " / " << c.division);
        const SignalPort* port = lfo.takeOutput(kLfoOutValue, 4);
        settings(4, kLfoSine, 7.0f, 1, c.tempo, c.division);
        const std::vector<float> v = run(port, c.hz > 0.1 ? static_cast<int>(5 * kBlockRate / c.hz) : 2);
        EXPECT_NEAR(lfo.rateOf(4), c.hz, c.hz * 1e-9);
        if (c.hz > 0.1) {
            EXPECT_NEAR(measuredRate(v, kLfoSine), c.hz, c.hz * 0.002);
        }
    }
    // Sync off again: the base rate.
    settings(4, kLfoSine, 7.0f, 0, 120, 1);
    lfo.process();
    EXPECT_NEAR(lfo.rateOf(4), 7.0, 1e-6);
}

TEST_F(VoiceLfoTest, RateModulationMultipliesBy64PerUnit) {
    const SignalPort* port = lfo.takeOutput(kLfoOutValue, 6);
    settings(6, kLfoSine, 0.5f);
    ValueSource a(0.5f), b(0.5f);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInRate, &a.port, 6, 29), 0);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInRate, &b.port, 6, 30), 0);
    std::vector<float> v = run(port, 400);
    EXPECT_NEAR(lfo.rateOf(6), 32.0, 1e-9);
    EXPECT_NEAR(measuredRate(v, kLfoSine), 32.0, 0.1);
    // Follows its sources every block.
    b.set(0.0f);
    run(port, 1);
    EXPECT_NEAR(lfo.rateOf(6), 4.0, 1e-9);
    // Releasing an entry recomputes the rate even when no source is left.
    lfo.releaseInput(kVoiceLfoInRate, 6, 30);
    lfo.releaseInput(kVoiceLfoInRate, 6, 29);
    run(port, 1);
    EXPECT_NEAR(lfo.rateOf(6), 0.5, 1e-7);

    // The sawtooth waves keep one ramp per period with rate modulation.
    settings(6, kLfoSawUp, 0.5f);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInRate, &a.port, 6, 29), 0);  // 0.5 -> x 8 = 4 Hz
    v = run(port, static_cast<int>(3 * kBlockRate));
    EXPECT_NEAR(measuredRate(v, kLfoSawUp), 4.0, 0.04);
}

TEST_F(VoiceLfoTest, AmplitudeInputsScaleTheValue) {
    const SignalPort* full = lfo.takeOutput(kLfoOutValue, 0);
    const SignalPort* half = lfo.takeOutput(kLfoOutValue, 1);
    const SignalPort* silent = lfo.takeOutput(kLfoOutValue, 2);
    ValueSource quarter(0.25f), zero(0.0f);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInAmplitude, &quarter.port, 1, 33), 0);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInAmplitude, &quarter.port, 1, 34), 0);
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInAmplitude, &zero.port, 2, 35), 0);
    for (int slot = 0; slot < 3; ++slot) settings(slot, kLfoSquare, 10.0f);
    std::set<float> fullValues, halfValues, silentValues;
    for (int b = 0; b < 300; ++b) {
        lfo.process();
        fullValues.insert(full->samples[0]);
        halfValues.insert(half->samples[0]);
        silentValues.insert(silent->samples[0]);
    }
    EXPECT_EQ(fullValues, (std::set<float>{0.0f, 1.0f}));
    EXPECT_EQ(halfValues, (std::set<float>{0.0f, 0.5f}));
    EXPECT_EQ(silentValues, (std::set<float>{0.0f}));
}

TEST_F(VoiceLfoTest, TriggerRestartsAtPhaseZero) {
    const float rate = 3.0f;
    const SignalPort* port = lfo.takeOutput(kLfoOutValue, 9);
    settings(9, kLfoSine, rate);
    GateSource trigger;
    ASSERT_EQ(lfo.connectInput(kVoiceLfoInTrigger, &trigger.port, 9, 22), 0);
    auto afterBlocks = [&](int n) { return std::sin(2 * kPi * rate * n * kBlockSeconds); };
    run(port, 37);
    trigger.record.gate = 1;
    run(port, 1);
    EXPECT_NEAR(port->samples[0], afterBlocks(1), 1e-4);
    run(port, 1);  // still up: runs on
    EXPECT_NEAR(port->samples[0], afterBlocks(2), 1e-4);
    EXPECT_NEAR(port->samples[-1], afterBlocks(1), 1e-4);  // the previous block's value
    run(port, 20);
    trigger.record.retrigger = 1;  // the key struck again while up
    run(port, 1);
    EXPECT_NEAR(port->samples[0], afterBlocks(1), 1e-4);
    trigger.record.retrigger = 0;
    run(port, 20);
    trigger.record.gate = 0;
    run(port, 1);
    EXPECT_NEAR(port->samples[0], afterBlocks(22), 1e-3);  // a falling gate does not restart
    trigger.record.gate = 1;
    run(port, 1);
    EXPECT_NEAR(port->samples[0], afterBlocks(1), 1e-4);

    // The square restarts in its high half.
    settings(9, kLfoSquare, rate);
    trigger.record.gate = 0;
    run(port, 10);
    trigger.record.gate = 1;
    const std::vector<float> v = run(port, static_cast<int>(kBlockRate / rate));
    const int highBlocks = static_cast<int>(std::count(v.begin(), v.end(), 1.0f));
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_NEAR(highBlocks, kBlockRate / rate / 2, 1.5);
    EXPECT_EQ(std::count(v.begin(), v.begin() + highBlocks, 1.0f), highBlocks);
}

TEST_F(VoiceLfoTest, TakingAnOutputStartsAtARandomPhase) {
    std::set<float> firstValues;
    std::vector<const SignalPort*> ports;
    for (int slot = 0; slot < 8; ++slot) {
        ports.push_back(lfo.takeOutput(kLfoOutValue, slot));
        settings(slot, kLfoSine, 1.0f);
    }
    lfo.process();
    for (const SignalPort* p : ports) firstValues.insert(p->samples[0]);
    EXPECT_EQ(firstValues.size(), ports.size());
    // Taking the other output of an active slot keeps its phase.
    const float before = ports[0]->samples[0];
    lfo.takeOutput(kLfoOutGate, 0);
    lfo.process();
    EXPECT_NEAR(ports[0]->samples[0], before, 0.01);
}

TEST_F(VoiceLfoTest, ModeLinkCopiesTheLeader) {
    const SignalPort* leader = lfo.takeOutput(kLfoOutValue, 2);
    const SignalPort* follower = lfo.takeOutput(kLfoOutValue, 10);
    const SignalPort* earlier = lfo.takeOutput(kLfoOutValue, 1);
    for (int slot : {1, 2, 10}) settings(slot, kLfoTriangle, 4.0f);
    lfo.setModeLink(10, 2);
    lfo.setModeLink(1, 2);
    for (int b = 0; b < 100; ++b) {
        lfo.process();
        ASSERT_EQ(follower->samples[0], leader->samples[0]);
        ASSERT_EQ(follower->samples[-1], leader->samples[-1]);
        // A follower stepped before its leader copies what the leader held then.
        ASSERT_EQ(earlier->samples[0], leader->samples[-1]);
    }
    lfo.clearModeLink(10);
    lfo.process();
    EXPECT_NE(follower->samples[0], leader->samples[0]);
    lfo.setModeLink(10, 500);  // clamped to slot 31, whose output nobody took
    lfo.process();
    EXPECT_EQ(follower->samples[0], 0.0f);
}

TEST_F(VoiceLfoTest, GateOutputFollowsTheHalfCycles) {
    const SignalPort* value = lfo.takeOutput(kLfoOutValue, 3);
    const SignalPort* gate = lfo.takeOutput(kLfoOutGate, 3);
    ASSERT_EQ(gate->kind, kPortGate);
    ASSERT_NE(gate->gate, nullptr);
    EXPECT_EQ(value->kind, kPortSamples);
    EXPECT_NE(value->controlRate, 0);
    settings(3, kLfoSquare, 5.0f);
    for (int b = 0; b < 500; ++b) {
        lfo.process();
        ASSERT_EQ(gate->gate->gate, value->samples[0] == 0.0f ? 1 : 0);
    }
    // With the sine the ramp machine still runs for the gate: two changes per period.
    settings(3, kLfoSine, 5.0f);
    int changes = 0, last = gate->gate->gate;
    for (int b = 0; b < static_cast<int>(kBlockRate); ++b) {
        lfo.process();
        changes += gate->gate->gate != last;
        last = gate->gate->gate;
    }
    EXPECT_NEAR(changes, 10, 1);

    gate->gate->retrigger = 1;
    lfo.clearRetrigger();
    EXPECT_EQ(gate->gate->retrigger, 0);
}

TEST_F(VoiceLfoTest, ReleasedSlotIsClearedOnce) {
    const SignalPort* value = lfo.takeOutput(kLfoOutValue, 7);
    const SignalPort* gate = lfo.takeOutput(kLfoOutGate, 7);
    settings(7, kLfoSquare, 50.0f);
    run(value, 30);
    lfo.releaseOutput(kLfoOutValue, 7);
    run(value, 1);
    lfo.releaseOutput(kLfoOutGate, 7);
    lfo.releaseOutput(kLfoOutGate, 7);  // one release too many
    lfo.process();
    for (int i = -kHistory; i < kBlock; ++i) ASSERT_EQ(value->samples[i], 0.0f);
    EXPECT_EQ(gate->gate->gate, 0);
    // Taken again: runs (from a random phase) as before.
    lfo.takeOutput(kLfoOutValue, 7);
    std::set<float> values;
    for (float v : run(value, 30)) values.insert(v);
    EXPECT_EQ(values, (std::set<float>{0.0f, 1.0f}));
}

TEST_F(VoiceLfoTest, ExtremeInputsStayBoundedAndFinite) {
    ValueSource huge(10.0f), bad(NAN);
    for (int wave = kLfoSine; wave <= kLfoSampleInput; ++wave) {
        SCOPED_TRACE(char(wave));
        const int slot = wave - kLfoSine;
        const SignalPort* port = lfo.takeOutput(kLfoOutValue, slot);
        lfo.takeOutput(kLfoOutGate, slot);
        ASSERT_EQ(lfo.connectInput(kVoiceLfoInRate, &huge.port, slot, 1), 0);
        ASSERT_EQ(lfo.connectInput(kVoiceLfoInRate, &bad.port, slot + 8, 1), 0);
        lfo.takeOutput(kLfoOutValue, slot + 8);
        settings(slot, wave, 60.0f);
        settings(slot + 8, wave, 60.0f);
        for (int b = 0; b < 2000; ++b) {
            lfo.process();
            ASSERT_TRUE(std::isfinite(port->samples[0]));
            ASSERT_LE(std::fabs(port->samples[0]), waveBound(lfo.rateOf(slot)));
        }
        // The modulation sum is limited to 8 (64^8), the rate itself is not.
        EXPECT_DOUBLE_EQ(lfo.rateOf(slot), 60.0 * std::exp2(48.0));
        EXPECT_NEAR(lfo.rateOf(slot + 8), 60.0, 1e-4);
    }
    // Rates from outside that are not positive become 1e-5 Hz; a huge negative division has
    // no int magnitude but still gives a rate.
    lfo.takeOutput(kLfoOutValue, 20);
    for (float rate : {0.0f, -3.0f, NAN}) {
        settings(20, kLfoTriangle, rate);
        lfo.process();
        EXPECT_DOUBLE_EQ(lfo.rateOf(20), 1e-5);
    }
    settings(20, kLfoTriangle, 1.0f, 1, 120.0f, INT_MIN);
    lfo.process();
    EXPECT_DOUBLE_EQ(lfo.rateOf(20), 1e-5);
    // Unknown letters play the sine; slots out of range are clamped.
    record.slot = -7;
    record.wave = 'Z';
    record.rate = 2.0f;
    EXPECT_EQ(lfo.message(&record, kVoiceLfoMsgSettings), 0);
    EXPECT_EQ(lfo.connectInput(84, &huge.port, 99, 1), 1);
}

TEST_F(VoiceLfoTest, RatesAboveHalfTheBlockRateFoldBackIntoRange) {
    // Three quarters of a cycle per block: the sine repeats every 4 blocks and the value two
    // blocks on is the negative (a rate held at half the block rate would repeat every 2).
    // The triangle and sawtooth stay finite and within one block's step of their range at
    // many cycles per block, and keep moving.
    const double rate = 0.75 * kBlockRate;
    const SignalPort* port = lfo.takeOutput(kLfoOutValue, 3);
    settings(3, kLfoSine, static_cast<float>(rate));
    std::vector<float> v = run(port, 40);
    EXPECT_DOUBLE_EQ(lfo.rateOf(3), static_cast<float>(rate));
    for (size_t k = 2; k + 2 < v.size(); ++k) {
        ASSERT_NEAR(v[k + 2], -v[k], 2e-3) << k;
        ASSERT_NEAR(v[k + 4 - 2], v[k - 2], 2e-3) << k;
    }
    for (int wave : {kLfoTriangle, kLfoSawUp, kLfoSawDown, kLfoSquare}) {
        for (double cycles : {0.75, 5.3, 1234.5}) {
            settings(3, wave, static_cast<float>(cycles * kBlockRate));
            v = run(port, 50);
            EXPECT_NEAR(lfo.rateOf(3), cycles * kBlockRate, 1e-3 * cycles * kBlockRate) << char(wave);
            for (float x : v) ASSERT_LE(std::fabs(x), waveBound(cycles * kBlockRate)) << char(wave) << " " << cycles;
            std::set<float> distinct(v.begin(), v.end());
            EXPECT_GT(distinct.size(), 1u) << char(wave) << " " << cycles;
        }
    }
}

TEST(VoiceLfoModule, BuildsItsOwnTableAndFreeIsSafeTwice) {
    VoiceLfoRecord record{};
    record.voiceCount = 32;
    record.blockLength = kBlock;
    record.historyLength = 0;  // the previous value needs a history sample
    VoiceLfo lfo;
    EXPECT_EQ(lfo.init(&record, 5, kRate), 1);
    record.historyLength = kHistory;
    ASSERT_EQ(lfo.init(&record, 5, kRate), 0);
    const SignalPort* port = lfo.takeOutput(kLfoOutValue, 0);
    record.wave = kLfoSine;
    record.rate = 40.0f;
    lfo.message(&record, kVoiceLfoMsgSettings);
    float low = 0, high = 0;
    for (int b = 0; b < 2000; ++b) {
        lfo.process();
        low = std::min(low, port->samples[0]);
        high = std::max(high, port->samples[0]);
    }
    EXPECT_NEAR(high, 1.0f, 0.01f);
    EXPECT_NEAR(low, -1.0f, 0.01f);
    lfo.free();
    lfo.free();
    lfo.process();
    EXPECT_EQ(lfo.takeOutput(kLfoOutValue, 0), nullptr);
}

class VibratoLfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        sine = engineSineTable();
        record.blockLength = kBlock;
        record.historyLength = kHistory;
        record.sineSize = 8193;
        record.sineTable = sine.data();
        ASSERT_EQ(lfo.init(&record, 5, kRate), 0);
        value = lfo.takeOutput(kLfoOutValue);
        ASSERT_NE(value, nullptr);
    }
    void settings(int wave, float rate) {
        record.wave = wave;
        record.rate = rate;
        lfo.message(&record, kVibratoLfoMsgSettings);
    }
    void touchSpeed(float amount) {
        record.rateModAmount = amount;
        lfo.message(&record, kVibratoLfoMsgTouchSpeed);
    }
    std::vector<float> run(int blocks) {
        std::vector<float> v;
        for (int b = 0; b < blocks; ++b) {
            lfo.process();
            v.push_back(value->samples[0]);
        }
        return v;
    }

    std::vector<float> sine;
    VibratoLfoRecord record{};
    VibratoLfo lfo;
    const SignalPort* value = nullptr;
};

TEST_F(VibratoLfoTest, StartsAsASlowSine) {
    run(1);
    EXPECT_NEAR(lfo.currentRate(), 0.1, 1e-7);
    settings(kLfoSine, 5.0f);
    EXPECT_NEAR(measuredRate(run(static_cast<int>(4 * kBlockRate)), kLfoSine), 5.0, 0.01);
}

TEST_F(VibratoLfoTest, RateInputSpeedsUpTheVibrato) {
    settings(kLfoSine, 5.0f);
    touchSpeed(0.5f);
    ValueSource pressure(1.0f);
    ASSERT_EQ(lfo.connectInput(kVibratoLfoInRate, &pressure.port), 0);
    EXPECT_EQ(lfo.connectInput(81, &pressure.port), 1);
    std::vector<float> v = run(static_cast<int>(kBlockRate));
    EXPECT_NEAR(lfo.currentRate(), 40.0, 1e-9);  // 5 x 64^0.5
    EXPECT_NEAR(measuredRate(v, kLfoSine), 40.0, 0.2);

    // Back to exactly 0: the last modulated rate stays until a message or a release.
    pressure.set(0.0f);
    run(5);
    EXPECT_NEAR(lfo.currentRate(), 40.0, 1e-9);
    settings(kLfoSine, 6.0f);
    run(1);
    EXPECT_NEAR(lfo.currentRate(), 6.0, 1e-6);
    pressure.set(0.5f);
    run(1);
    EXPECT_NEAR(lfo.currentRate(), 6.0 * std::pow(64.0, 0.25), 1e-5);
    lfo.releaseInput(kVibratoLfoInRate);
    run(1);
    EXPECT_NEAR(lfo.currentRate(), 6.0, 1e-6);

    // The sawtooth keeps one ramp per period, modulated or not.
    ASSERT_EQ(lfo.connectInput(kVibratoLfoInRate, &pressure.port), 0);
    settings(kLfoSawDown, 2.0f);
    v = run(static_cast<int>(3 * kBlockRate));
    EXPECT_NEAR(measuredRate(v, kLfoSawDown), 2.0 * std::pow(64.0, 0.25), 0.05);
}

TEST_F(VibratoLfoTest, ExtremeRatesStayBounded) {
    ValueSource pressure(1.0f);
    ASSERT_EQ(lfo.connectInput(kVibratoLfoInRate, &pressure.port), 0);
    touchSpeed(1.0f);
    for (int wave = kLfoSine; wave <= kLfoSampleInput; ++wave) {
        settings(wave, 60.0f);  // 60 x 64 Hz asked for
        for (float v : run(500)) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LE(std::fabs(v), waveBound(60.0 * 64.0));
        }
        EXPECT_NEAR(lfo.currentRate(), 60.0 * 64.0, 1e-6);
    }
    pressure.set(NAN);
    settings(kLfoTriangle, -1.0f);
    run(1);
    EXPECT_DOUBLE_EQ(lfo.currentRate(), 1e-5);
}

TEST_F(VibratoLfoTest, GateOutputAndReset) {
    const SignalPort* gate = lfo.takeOutput(kLfoOutGate);
    ASSERT_EQ(gate->kind, kPortGate);
    settings(kLfoSquare, 10.0f);
    for (int b = 0; b < 300; ++b) {
        lfo.process();
        ASSERT_EQ(gate->gate->gate, value->samples[0] == 0.0f ? 1 : 0);
    }
    gate->gate->retrigger = 1;
    lfo.clearRetrigger();
    EXPECT_EQ(gate->gate->retrigger, 0);

    lfo.releaseOutput(kLfoOutValue);
    run(3);
    lfo.releaseOutput(kLfoOutGate);
    lfo.process();
    for (int i = -kHistory; i < kBlock; ++i) ASSERT_EQ(value->samples[i], 0.0f);
    EXPECT_EQ(gate->gate->gate, 0);
    lfo.free();
    lfo.free();
    lfo.process();
}

}  // namespace
