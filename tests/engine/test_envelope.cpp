#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/envelope.h"
#include "same_bits.h"
#include "signal_fixture.h"

namespace {

struct Settings {
    float attack, decay, release;  // ms
    float initial, attackLevel, sustain;
};

class EnvelopeTest : public ::testing::Test {
protected:
    void start(int mode, const Settings& s, int slot = 0) {
        setGate(0);
        record = EnvelopeRecord();
        record.slotCount = 32;
        record.blockLength = kTestBlock;
        record.historyLength = kTestHistory;
        record.mode = mode;
        ASSERT_EQ(envelope.init(&record, Envelope::kInitKind, kTestRate), 0);
        output = envelope.takeOutput(0, slot)->samples;
        envelope.connectGate(slot, gate.get());
        configure(s, slot);
        envelope.process();  // the pending reset of a newly read module
        this->slot = slot;
    }
    void configure(const Settings& s, int slotNumber) {
        record.slot = slotNumber;
        record.attackTime = s.attack;
        record.decayTime = s.decay;
        record.releaseTime = s.release;
        record.initialLevel = s.initial;
        record.attackLevel = s.attackLevel;
        record.sustainLevel = s.sustain;
        envelope.message(&record, kEnvSettings);
    }
    // Renders blocks and returns their samples in order.
    std::vector<float> run(int blocks) {
        std::vector<float> out;
        for (int b = 0; b < blocks; ++b) {
            envelope.process();
            out.insert(out.end(), output, output + kTestBlock);
        }
        return out;
    }
    void setGate(int value, int retrigger = 0) {
        gate.record.gate = value;
        gate.record.retrigger = retrigger;
    }
    // Runs one block, then more until the state is no longer `from` (at most `limit`).
    std::vector<float> runWhile(int from, int limit = 2000) {
        std::vector<float> out = run(1);
        for (int b = 0; b < limit && envelope.getState(slot) == from; ++b) {
            std::vector<float> block = run(1);
            out.insert(out.end(), block.begin(), block.end());
        }
        return out;
    }
    // Per-sample coefficient from one step: v1 = v0 + (target - v0) c.
    static float stepCoefficient(float v0, float v1, float target) { return (v1 - v0) / (target - v0); }

    Envelope envelope;
    EnvelopeRecord record;
    TestGate gate;
    float* output = nullptr;
    int slot = 0;
};

int firstIndexOf(const std::vector<float>& v, float value, size_t from = 0) {
    for (size_t i = from; i < v.size(); ++i)
        if (v[i] == value) return static_cast<int>(i);
    return -1;
}

// Steps of a one-pole approach from distance d0 until the distance falls below d1.
int stepsUntil(float coefficient, float d0, float d1) {
    return static_cast<int>(std::ceil(std::log(d1 / d0) / std::log(1.0 - coefficient)));
}

TEST_F(EnvelopeTest, AttackFromTheInitialLevelWaitsOneBlockThenTakesItsTime) {
    start(kEnvModeAmplifier, {10.f, 1000.f, 100.f, 0.f, 1.f, 0.5f});
    setGate(1);
    std::vector<float> out = run(60);
    for (int i = 0; i < kTestBlock; ++i) ASSERT_EQ(out[i], 0.f) << i;
    const float c = testCoefficient(10.f);
    EXPECT_NEAR(out[kTestBlock], 1.05f * c, 1e-6f);
    // The attack aims at 1.05 and stops at 1 - 0.001.
    const int expected = stepsUntil(c, 1.05f, 0.051f);
    const int peak = firstIndexOf(out, 1.f);
    ASSERT_GT(peak, 0);
    EXPECT_NEAR(peak - kTestBlock + 1, expected, 1);
    EXPECT_NE(envelope.getState(0), kEnvAttack);
}

struct AttackCase {
    int mode;
    float attackMs;
    float expectedCoefficient;  // 1: jumps
};

TEST_F(EnvelopeTest, AttackBelowOneMillisecondDependsOnTheMode) {
    const AttackCase cases[] = {
        {kEnvModeFilter, 0.5f, 1.f},
        {kEnvModeFilter, 0.f, 1.f},
        {kEnvModeAmplifier, 0.5f, testCoefficient(1.f)},
        {kEnvModeAmplifier, 0.f, testCoefficient(1.f)},
        {kEnvModeFilter, 3.f, testCoefficient(3.f)},
        {kEnvModeAmplifier, 3.f, testCoefficient(3.f)},
    };
    for (const AttackCase& k : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << k.mode << " attack " << k.attackMs);
        start(k.mode, {k.attackMs, 1000.f, 100.f, 0.f, 1.f, 0.5f});
        setGate(1);
        std::vector<float> out = run(2);
        if (k.expectedCoefficient == 1.f)
            EXPECT_EQ(out[kTestBlock], 1.f);  // the attack level at once
        else
            EXPECT_NEAR(stepCoefficient(0.f, out[kTestBlock], 1.05f), k.expectedCoefficient, 1e-4f);
    }
}

TEST_F(EnvelopeTest, DecayReachesTheSustainLevelInItsTime) {
    start(kEnvModeAmplifier, {0.f, 50.f, 100.f, 0.f, 1.f, 0.5f});
    setGate(1);
    std::vector<float> out = run(200);
    const int peak = firstIndexOf(out, 1.f);
    ASSERT_GE(peak, 0);
    int lastPeak = peak;
    while (out[lastPeak + 1] == 1.f) ++lastPeak;
    const int sustainAt = firstIndexOf(out, 0.5f, lastPeak);
    ASSERT_GT(sustainAt, lastPeak);
    // Toward 0.5 - 0.2 x 1 from 1, stopping within 0.001 of 0.5.
    const float c = testCoefficient(50.f);
    EXPECT_NEAR(sustainAt - lastPeak, stepsUntil(c, 0.7f, 0.201f), 1);
    EXPECT_NEAR(stepCoefficient(1.f, out[lastPeak + 1], 0.3f), c, 1e-3f);
    EXPECT_EQ(envelope.getState(0), kEnvSustain);
    EXPECT_EQ(out.back(), 0.5f);
}

TEST_F(EnvelopeTest, SustainFollowsAChangedLevelAtOnce) {
    start(kEnvModeAmplifier, {0.f, 1.f, 100.f, 0.f, 1.f, 0.5f});
    setGate(1);
    run(20);
    ASSERT_EQ(envelope.getState(0), kEnvSustain);
    configure({0.f, 1.f, 100.f, 0.f, 1.f, 0.8f}, 0);
    std::vector<float> out = run(1);
    EXPECT_EQ(out[0], 0.8f);
}

struct ReleaseCase {
    float releaseMs;
    float timeConstantMs;  // half the release time, at least 2 ms
};

TEST_F(EnvelopeTest, ReleaseRunsWithHalfItsTimeAndAFourMillisecondFloor) {
    const ReleaseCase cases[] = {{0.f, 2.f}, {2.f, 2.f}, {4.f, 2.f}, {100.f, 50.f}, {-30.f, 2.f}};
    for (const ReleaseCase& k : cases) {
        SCOPED_TRACE(k.releaseMs);
        start(kEnvModeAmplifier, {0.f, 1.f, k.releaseMs, 0.f, 1.f, 0.5f});
        setGate(1);
        run(20);
        ASSERT_EQ(envelope.getState(0), kEnvSustain);
        setGate(0);
        std::vector<float> out = runWhile(kEnvRelease);
        const float c = testCoefficient(k.timeConstantMs);
        // Toward 0 - 0.2 from 0.5, ending within 0.001 of 0.
        EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), c, 1e-4f);
        EXPECT_NEAR(firstIndexOf(out, 0.f) + 1, stepsUntil(c, 0.7f, 0.201f), 1);
        const int state = envelope.getState(0);
        EXPECT_TRUE(state == kEnvReleaseEnd || state == kEnvIdleState) << state;
    }
}

TEST_F(EnvelopeTest, PedalReleaseLengthensReleasesWhileTheSustainFlagIsSet) {
    start(kEnvModeAmplifier, {0.f, 1.f, 100.f, 0.f, 1.f, 0.5f});
    record.releaseTime = 200.f;
    envelope.message(&record, kEnvPedalRelease);
    envelope.setSustain(1);
    setGate(1);
    run(20);
    setGate(0);
    std::vector<float> out = run(1);
    EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), testCoefficient(0.5f * (100.f + 200.f)), 1e-5f);

    // Settings that arrive later keep the pedal time; the release floor of 4 ms applies.
    configure({0.f, 1.f, 1.f, 0.f, 1.f, 0.5f}, 0);
    setGate(1);
    run(20);
    setGate(0);
    out = run(1);
    EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), testCoefficient(0.5f * (4.f + 200.f)), 1e-5f);

    // Without the flag the plain release applies.
    envelope.setSustain(0);
    setGate(1);
    run(20);
    setGate(0);
    out = run(1);
    EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), testCoefficient(2.f), 1e-4f);
}

TEST_F(EnvelopeTest, PedalReleaseMessageTakesTheReleaseTimeWithoutFloor) {
    start(kEnvModeAmplifier, {0.f, 1.f, 0.f, 0.f, 1.f, 0.5f});
    record.releaseTime = 0.f;
    envelope.message(&record, kEnvPedalRelease);  // 0.5 x (0 + 0): a jump, never a division by zero
    envelope.setSustain(1);
    setGate(1);
    run(20);
    setGate(0);
    std::vector<float> out = run(1);
    EXPECT_EQ(out[0], 0.f);
    EXPECT_EQ(envelope.getState(0), kEnvReleaseEnd);
}

TEST_F(EnvelopeTest, FastReleaseTurnsOnlyAReleaseIntoATenMillisecondFall) {
    start(kEnvModeAmplifier, {0.f, 1.f, 5000.f, 0.f, 1.f, 0.5f});
    setGate(1);
    run(20);
    envelope.fastRelease(0);
    EXPECT_EQ(envelope.getState(0), kEnvSustain);
    setGate(0);
    run(1);
    ASSERT_EQ(envelope.getState(0), kEnvRelease);
    const float before = envelope.getValue(0);
    envelope.fastRelease(0);
    EXPECT_EQ(envelope.getState(0), kEnvFastRelease);
    std::vector<float> out = run(1);
    EXPECT_NEAR(stepCoefficient(before, out[0], -0.2f), testCoefficient(10.f), 1e-4f);
    out = runWhile(kEnvFastRelease);
    EXPECT_EQ(envelope.getState(0), kEnvReleaseEnd);
    EXPECT_EQ(out.back(), 0.f);
}

TEST_F(EnvelopeTest, RisingGateDuringReleaseRestartsTheAttackFromTheCurrentValue) {
    start(kEnvModeAmplifier, {20.f, 1.f, 400.f, 0.f, 1.f, 0.5f});
    setGate(1);
    run(100);
    setGate(0);
    run(3);
    const float current = envelope.getValue(0);
    ASSERT_GT(current, 0.1f);
    ASSERT_LT(current, 0.5f);
    setGate(1);
    std::vector<float> out = run(1);
    EXPECT_NEAR(stepCoefficient(current, out[0], 1.05f), testCoefficient(20.f), 1e-4f);
    EXPECT_EQ(envelope.getState(0), kEnvAttack);
}

TEST_F(EnvelopeTest, RetriggerWordRestartsTheAttackEveryBlock) {
    start(kEnvModeAmplifier, {0.f, 1.f, 100.f, 0.f, 1.f, 0.5f});
    setGate(1);
    run(20);
    ASSERT_EQ(envelope.getState(0), kEnvSustain);
    setGate(1, 1);
    for (int b = 0; b < 3; ++b) {
        std::vector<float> out = run(1);
        EXPECT_GT(out[0], 0.5f) << b;  // rising from the sustain level again
    }
    setGate(1, 0);
    run(20);
    EXPECT_EQ(envelope.getState(0), kEnvSustain);
}

TEST_F(EnvelopeTest, SustainAboveTheAttackLevelIsReachedAsTheDecayBegins) {
    start(kEnvModeFilter, {0.f, 500.f, 100.f, 0.f, 0.5f, 0.9f});
    setGate(1);
    std::vector<float> out = run(3);
    EXPECT_EQ(out[kTestBlock], 0.5f);
    EXPECT_EQ(out.back(), 0.9f);
    EXPECT_EQ(envelope.getState(0), kEnvSustain);
}

TEST_F(EnvelopeTest, AttackLevelBelowTheInitialLevelEndsTheAttackAtItsFirstSample) {
    start(kEnvModeAmplifier, {100.f, 500.f, 100.f, 0.6f, 0.2f, 0.1f});
    std::vector<float> idle = run(1);
    EXPECT_EQ(idle[0], 0.6f);
    setGate(1);
    std::vector<float> out = run(2);
    EXPECT_EQ(out[kTestBlock], 0.2f);
    EXPECT_EQ(envelope.getState(0), kEnvDecay);
}

TEST_F(EnvelopeTest, DecayAfterTheAttackStopsAtTheSustainLevelWithinTheBlock) {
    // A jump attack followed by the fastest decay: the rest of the attack's block must not
    // run on below the sustain level toward the decay's aim.
    start(kEnvModeFilter, {0.f, 0.f, 100.f, 0.f, 1.f, 0.9f});
    setGate(1);
    std::vector<float> out = run(4);
    for (size_t i = kTestBlock; i < out.size(); ++i) ASSERT_GE(out[i], 0.9f) << i;
    EXPECT_EQ(out.back(), 0.9f);
}

TEST_F(EnvelopeTest, IdleMessageStopsAtOnceAndTheIdleSlotHoldsTheInitialLevel) {
    start(kEnvModeAmplifier, {10.f, 10.f, 100.f, 0.25f, 1.f, 0.5f});
    setGate(1);
    run(5);
    record.slot = 0;
    envelope.message(&record, kEnvIdle);
    EXPECT_EQ(envelope.getState(0), kEnvIdleState);
    run(1);
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(output[i], 0.25f) << i;
}

TEST_F(EnvelopeTest, HistoryRepeatsTheEndOfThePreviousBlockAndFlushesTinyValues) {
    start(kEnvModeAmplifier, {30.f, 100.f, 100.f, 0.f, 1.f, 0.5f});
    setGate(1);
    run(2);
    std::vector<float> previous(output, output + kTestBlock);
    run(1);
    for (int i = 0; i < kTestHistory; ++i) EXPECT_EQ(output[i - kTestHistory], previous[kTestBlock - kTestHistory + i]);

    // A release that ends on a tiny initial level: the history sample in front of the
    // next block is flushed to 0, the block keeps the level.
    start(kEnvModeAmplifier, {0.f, 1.f, 0.f, 1e-25f, 1.f, 0.5f});
    setGate(1);
    run(20);
    setGate(0);
    runWhile(kEnvRelease);
    run(1);
    EXPECT_EQ(output[-1], 0.f);
    EXPECT_EQ(output[0], 1e-25f);
}

struct ModulationCase {
    const char* name;
    int mode;
    int kind;
    float source;
    Settings settings;
    float expectedCoefficient;  // of the segment under test; 0 when a level is checked
    float expectedLevel;
};

// Through the decay into a held sustain, and through the release into its end, every
// block's history is the end of the block before.
TEST_F(EnvelopeTest, HistoryFollowsTheBlocksIntoAHeldLevel) {
    start(kEnvModeAmplifier, {1.f, 20.f, 20.f, 0.25f, 1.f, 0.5f});
    std::vector<float> previous(kTestBlock, 0.25f);
    int heldBlocks = 0;
    for (int b = 0; b < 120; ++b) {
        SCOPED_TRACE(b);
        setGate(b < 60 ? 1 : 0);
        envelope.process();
        for (int i = 0; i < kTestHistory; ++i)
            ASSERT_EQ(output[i - kTestHistory], previous[kTestBlock - kTestHistory + i]);
        previous.assign(output, output + kTestBlock);
        if (previous.front() == previous.back()) ++heldBlocks;
    }
    EXPECT_EQ(envelope.getState(0), kEnvReleaseEnd);
    EXPECT_EQ(previous.back(), 0.25f);
    EXPECT_GT(heldBlocks, 40);  // the sustain and the release end are held, not only passed
}

TEST_F(EnvelopeTest, ModulationKindsChangeLevelsAndTimesPerBlock) {
    const float oneMs = testCoefficient(1.f);
    const ModulationCase cases[] = {
        {"initial level x 10^(1.2 s)", kEnvModeAmplifier, kEnvModInitialLevel, 0.5f, {10.f, 10.f, 10.f, 0.1f, 1.f, 0.5f},
         0.f, 0.1f * std::pow(10.f, 0.6f)},
        {"attack level x 10^(1.2 s)", kEnvModeFilter, kEnvModAttackLevel, 0.25f, {0.f, 10.f, 10.f, 0.f, 0.5f, 0.2f},
         0.f, 0.5f * std::pow(10.f, 0.3f)},
        {"attack time + 500 s", kEnvModeAmplifier, kEnvModAttackTime, 0.02f, {10.f, 10.f, 10.f, 0.f, 1.f, 0.5f},
         testCoefficient(20.f), 0.f},
        {"attack time below 0.01 ms, filter", kEnvModeFilter, kEnvModAttackTime, -1.f, {10.f, 10.f, 10.f, 0.f, 1.f, 0.5f},
         0.01f, 0.f},
        {"attack time below 0.01 ms, amplifier", kEnvModeAmplifier, kEnvModAttackTime, -1.f,
         {10.f, 10.f, 10.f, 0.f, 1.f, 0.5f}, oneMs, 0.f},
        {"decay time + 500 s", kEnvModeFilter, kEnvModDecayTime, 0.1f, {0.f, 10.f, 10.f, 0.f, 1.f, 0.5f},
         testCoefficient(60.f), 0.f},
        {"decay time below 0.01 ms, filter", kEnvModeFilter, kEnvModDecayTime, -1.f, {0.f, 10.f, 10.f, 0.f, 1.f, 0.5f},
         0.01f, 0.f},
        {"release time + 500 s, full time constant", kEnvModeAmplifier, kEnvModReleaseTime, 0.1f,
         {0.f, 1.f, 10.f, 0.f, 1.f, 0.5f}, testCoefficient(60.f), 0.f},
        {"release time below 1 ms, filter", kEnvModeFilter, kEnvModReleaseTime, -1.f, {0.f, 1.f, 10.f, 0.f, 1.f, 0.5f},
         1.f, 0.f},
        {"release time below 1 ms, amplifier", kEnvModeAmplifier, kEnvModReleaseTime, -1.f,
         {0.f, 1.f, 10.f, 0.f, 1.f, 0.5f}, oneMs, 0.f},
    };
    for (const ModulationCase& k : cases) {
        SCOPED_TRACE(k.name);
        start(k.mode, k.settings);
        TestSignal source(k.source);
        ASSERT_EQ(envelope.connectModulation(k.kind, source.get(), 0, 30), 0);
        switch (k.kind) {
        case kEnvModInitialLevel: {
            std::vector<float> out = run(1);
            EXPECT_NEAR(out[0], k.expectedLevel, 1e-6f);
            break;
        }
        case kEnvModAttackLevel: {
            setGate(1);
            std::vector<float> out = run(3);
            EXPECT_NEAR(out[kTestBlock], k.expectedLevel, 1e-6f);
            break;
        }
        case kEnvModAttackTime: {
            setGate(1);
            std::vector<float> out = run(2);
            EXPECT_NEAR(stepCoefficient(0.f, out[kTestBlock], 1.05f), k.expectedCoefficient, 1e-4f);
            break;
        }
        case kEnvModDecayTime: {
            setGate(1);
            std::vector<float> out = run(3);  // the attack jumps to 1, then the decay leaves it
            size_t i = 0;
            while (i + 1 < out.size() && !(out[i] == 1.f && out[i + 1] < 1.f)) ++i;
            ASSERT_LT(i + 1, out.size());
            EXPECT_NEAR(stepCoefficient(1.f, out[i + 1], 0.3f), k.expectedCoefficient, 1e-4f);
            break;
        }
        case kEnvModReleaseTime: {
            setGate(1);
            run(20);
            setGate(0);
            std::vector<float> out = run(1);
            if (k.expectedCoefficient == 1.f)
                EXPECT_EQ(out[0], 0.f);
            else
                EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), k.expectedCoefficient, 1e-4f);
            break;
        }
        }
    }
}

// A modulated time gives the coefficient of this rate and this input, however often the
// same input came before.
TEST_F(EnvelopeTest, AModulatedTimeFollowsTheRateAndTheInputFromBlockToBlock) {
    start(kEnvModeAmplifier, {10.f, 10.f, 1.f, 0.f, 1.f, 0.5f});
    TestSignal source(0.02f);  // 10 + 500 x 0.02 = 20 ms
    ASSERT_EQ(envelope.connectModulation(kEnvModAttackTime, source.get(), 0, 30), 0);
    const auto firstAttackStep = [&]() {
        setGate(0);
        runWhile(kEnvRelease);
        const int state = envelope.getState(0);
        EXPECT_TRUE(state == kEnvReleaseEnd || state == kEnvIdleState) << state;
        setGate(1);
        std::vector<float> out = run(2);  // from the initial level the attack waits a block
        return stepCoefficient(0.f, out[kTestBlock], 1.05f);
    };
    const struct {
        float rate, source, timeMs;
    } steps[] = {{kTestRate, 0.02f, 20.f}, {22050.f, 0.02f, 20.f}, {22050.f, 0.06f, 40.f}, {kTestRate, 0.06f, 40.f}};
    float rate = kTestRate;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.rate);
        SCOPED_TRACE(step.timeMs);
        if (step.rate != rate) envelope.setSampleRate(step.rate);
        rate = step.rate;
        source.set(step.source);
        const float expected = 1.f - std::exp(-1.f / (step.timeMs * step.rate * 0.001f));
        EXPECT_NEAR(firstAttackStep(), expected, 1e-5f);
    }
}

TEST_F(EnvelopeTest, ASumOfZeroLeavesTheSettingUnmodulated) {
    start(kEnvModeAmplifier, {0.f, 1.f, 100.f, 0.f, 1.f, 0.5f});
    TestSignal up(0.25f), down(-0.25f);
    envelope.connectModulation(kEnvModReleaseTime, up.get(), 0, 1);
    envelope.connectModulation(kEnvModReleaseTime, down.get(), 0, 2);
    setGate(1);
    run(20);
    setGate(0);
    std::vector<float> out = run(1);
    // The unmodulated release: half the time as time constant.
    EXPECT_NEAR(stepCoefficient(0.5f, out[0], -0.2f), testCoefficient(50.f), 1e-5f);
}

TEST_F(EnvelopeTest, ReleasingASourceFromTheMiddleOfAListKeepsTheOthers) {
    start(kEnvModeAmplifier, {10.f, 10.f, 10.f, 0.1f, 1.f, 0.5f});
    TestSignal a(0.1f), b(0.2f), c(0.4f);
    ASSERT_EQ(envelope.connectModulation(kEnvModInitialLevel, a.get(), 0, 1), 0);
    ASSERT_EQ(envelope.connectModulation(kEnvModInitialLevel, b.get(), 0, 2), 0);
    ASSERT_EQ(envelope.connectModulation(kEnvModInitialLevel, c.get(), 0, 3), 0);
    run(1);
    EXPECT_NEAR(output[0], 0.1f * std::pow(10.f, 1.2f * 0.7f), 1e-5f);
    envelope.releaseModulation(kEnvModInitialLevel, 0, 2);
    run(1);
    EXPECT_NEAR(output[0], 0.1f * std::pow(10.f, 1.2f * 0.5f), 1e-5f);
    envelope.releaseModulation(kEnvModInitialLevel, 0, 1);
    envelope.releaseModulation(kEnvModInitialLevel, 0, 3);
    envelope.releaseModulation(kEnvModInitialLevel, 0, 3);  // never below empty
    run(1);
    EXPECT_NEAR(output[0], 0.1f, 1e-7f);
}

TEST_F(EnvelopeTest, ListsHoldSixSourcesAndOnlyKindsTwoToSix) {
    start(kEnvModeAmplifier, {10.f, 10.f, 10.f, 0.f, 1.f, 0.5f});
    TestSignal s(0.f);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(envelope.connectModulation(kEnvModDecayTime, s.get(), 3, 7), 0);
    EXPECT_EQ(envelope.connectModulation(kEnvModDecayTime, s.get(), 3, 8), 1);
    envelope.releaseModulation(kEnvModDecayTime, 3, 7);  // every entry with the tag
    for (int i = 0; i < 6; ++i) EXPECT_EQ(envelope.connectModulation(kEnvModDecayTime, s.get(), 3, 9), 0);
    EXPECT_EQ(envelope.connectModulation(1, s.get(), 3, 1), 1);
    EXPECT_EQ(envelope.connectModulation(7, s.get(), 3, 1), 1);
}

TEST_F(EnvelopeTest, UnboundedModulationNeverReachesTheState) {
    const float bad[] = {1e30f, -1e30f, INFINITY, -INFINITY, NAN};
    for (float value : bad) {
        SCOPED_TRACE(value);
        start(kEnvModeAmplifier, {10.f, 10.f, 10.f, 0.1f, 1.f, 0.5f});
        TestSignal source(value);
        for (int kind = kEnvModInitialLevel; kind <= kEnvModReleaseTime; ++kind)
            envelope.connectModulation(kind, source.get(), 0, kind);
        setGate(1);
        std::vector<float> out = run(10);
        setGate(0);
        std::vector<float> released = run(10);
        out.insert(out.end(), released.begin(), released.end());
        for (float x : out) ASSERT_TRUE(std::isfinite(x));
        EXPECT_TRUE(std::isfinite(envelope.getValue(0)));
    }
}

TEST_F(EnvelopeTest, SlotNumbersAreClamped) {
    start(kEnvModeAmplifier, {10.f, 10.f, 10.f, 0.f, 1.f, 0.5f}, 31);
    configure({0.f, 1.f, 10.f, 0.3f, 1.f, 0.5f}, 99);  // lands on slot 31
    run(1);
    EXPECT_EQ(output[0], 0.3f);
    envelope.gateOn(-4);
    EXPECT_EQ(envelope.getState(0), kEnvGateOn);
    envelope.release(40);
    EXPECT_EQ(envelope.getState(31), kEnvRelease);
    record.slot = 1000;
    envelope.message(&record, kEnvIdle);
    EXPECT_EQ(envelope.getState(31), kEnvIdleState);
    EXPECT_EQ(envelope.message(&record, 99), 0);
}

TEST_F(EnvelopeTest, AModuleNobodyReadsIsNotProcessedAndReportsIdle) {
    record = EnvelopeRecord();
    record.blockLength = kTestBlock;
    record.historyLength = kTestHistory;
    record.mode = kEnvModeAmplifier;
    ASSERT_EQ(envelope.init(&record, Envelope::kInitKind, kTestRate), 0);
    envelope.gateOn(0);
    envelope.process();
    EXPECT_EQ(envelope.getState(0), kEnvIdleState);

    // The first reader starts it from a clean slate; a further reader cuts nothing.
    output = envelope.takeOutput(0, 0)->samples;
    envelope.process();
    EXPECT_EQ(envelope.getState(0), kEnvIdleState);
    envelope.gateOn(0);
    configure({10.f, 10.f, 10.f, 0.f, 1.f, 0.5f}, 0);
    run(3);
    EXPECT_EQ(envelope.getState(0), kEnvAttack);
    envelope.takeOutput(0, 5);
    run(1);
    EXPECT_EQ(envelope.getState(0), kEnvAttack);
    envelope.releaseOutput(0, 5);
    EXPECT_TRUE(envelope.isActive());
    envelope.releaseOutput(0, 0);
    EXPECT_FALSE(envelope.isActive());
    EXPECT_EQ(envelope.getState(0), kEnvIdleState);
}

// An envelope of all 32 slots at the test rate; the record, for the slots' settings.
EnvelopeRecord initWholeModule(Envelope& envelope, int mode) {
    EnvelopeRecord record = EnvelopeRecord();
    record.slotCount = 32;
    record.blockLength = kTestBlock;
    record.historyLength = kTestHistory;
    record.mode = mode;
    EXPECT_EQ(envelope.init(&record, Envelope::kInitKind, kTestRate), 0);
    return record;
}

// Slots that decay and release side by side run several at a time; each must give what it
// gives alone, history included, with every slot's times, levels and gate times its own.
TEST(Envelope, SlotsFallingTogetherGiveWhatEachGivesAlone) {
    const int kBlocks = 120;
    const auto gateAt = [](int s, int b) { return b >= s % 7 && b < 30 + (s * 5) % 60; };
    const auto render = [&](int only) {
        Envelope envelope;
        EnvelopeRecord record = initWholeModule(envelope, kEnvModeAmplifier);
        std::vector<TestGate> gates(32);
        std::vector<float*> out(32);
        for (int s = 0; s < 32; ++s) {
            out[s] = envelope.takeOutput(0, s)->samples;
            envelope.connectGate(s, gates[s].get());
            record.slot = s;
            record.attackTime = 1.f + s % 3;
            record.decayTime = 5.f + 3.f * s;
            record.releaseTime = 8.f + 2.f * (s % 11);
            record.initialLevel = s % 4 == 0 ? 0.1f : 0.f;
            record.attackLevel = 1.f - 0.01f * s;
            record.sustainLevel = 0.2f + 0.02f * s;
            envelope.message(&record, kEnvSettings);
        }
        std::vector<std::vector<float>> samples(32);
        for (int b = 0; b < kBlocks; ++b) {
            for (int s = 0; s < 32; ++s) gates[s].record.gate = (only < 0 || only == s) && gateAt(s, b);
            if (b == 50) envelope.fastRelease(3);
            envelope.process();
            for (int s = 0; s < 32; ++s) samples[s].insert(samples[s].end(), out[s] - kTestHistory, out[s] + kTestBlock);
        }
        return samples;
    };
    const std::vector<std::vector<float>> together = render(-1);
    for (int s = 0; s < 32; ++s) {
        SCOPED_TRACE(s);
        test::expectAudibleAndSameBits(render(s)[s], together[s]);
    }
}

// A result is reused for the next slot only when that slot's input is the same: slots whose
// inputs differ, or repeat another slot's, each hold their own modulated initial level.
TEST(Envelope, SlotsWithTheirOwnModulationEachTakeTheirOwnLevel) {
    Envelope envelope;
    EnvelopeRecord record = initWholeModule(envelope, kEnvModeFilter);
    std::vector<std::unique_ptr<TestSignal>> sources;
    std::vector<float*> out(32);
    for (int s = 0; s < 32; ++s) {
        out[s] = envelope.takeOutput(0, s)->samples;
        record.slot = s;
        record.attackTime = record.decayTime = record.releaseTime = 10.f;
        record.initialLevel = 0.5f;
        record.attackLevel = record.sustainLevel = 1.f;
        envelope.message(&record, kEnvSettings);
        sources.push_back(std::unique_ptr<TestSignal>(new TestSignal()));
        ASSERT_EQ(envelope.connectModulation(kEnvModInitialLevel, sources[s]->get(), s, 7), 0);
    }
    const auto sumFor = [](int s, int block) { return 0.1f * static_cast<float>((s * (block + 1)) % 4); };
    for (int block = 0; block < 3; ++block) {
        SCOPED_TRACE(block);
        for (int s = 0; s < 32; ++s) sources[s]->set(sumFor(s, block));
        envelope.process();
        for (int s = 0; s < 32; ++s) {
            const float sum = sumFor(s, block);
            const float expected = sum != 0.f ? 0.5f * std::pow(10.f, 1.2f * sum) : 0.5f;
            ASSERT_EQ(out[s][0], expected) << "slot " << s;
            ASSERT_EQ(out[s][kTestBlock - 1], expected) << "slot " << s;
        }
    }
}

TEST(Envelope, InitRefusesABadConfigurationAndFreeIsSafeTwice) {
    Envelope envelope;
    EnvelopeRecord record = EnvelopeRecord();
    record.blockLength = kTestBlock;
    record.historyLength = kTestHistory;
    record.mode = kEnvModeFilter;
    EXPECT_EQ(envelope.init(&record, 51, kTestRate), 1);
    EXPECT_EQ(envelope.init(nullptr, Envelope::kInitKind, kTestRate), 1);
    EXPECT_EQ(envelope.init(&record, Envelope::kInitKind, 0.f), 1);
    record.mode = 3;
    EXPECT_EQ(envelope.init(&record, Envelope::kInitKind, kTestRate), 1);
    record.mode = kEnvModeFilter;
    EXPECT_EQ(envelope.init(&record, Envelope::kInitKind, kTestRate), 0);
    envelope.free();
    envelope.free();
    EXPECT_EQ(envelope.takeOutput(0, 0), nullptr);
    envelope.process();
}

}  // namespace
