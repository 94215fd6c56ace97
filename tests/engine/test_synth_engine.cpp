#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/synth_engine.h"
#include "signal_fixture.h"

namespace {

const double kPi = 3.14159265358979323846;

EngineCommand startRecord(float rate = 44100.f) {
    EngineCommand record;
    std::memset(&record, 0, sizeof record);
    record.sampleRate = rate;
    record.count = 2;
    return record;
}

class SynthEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = startRecord();
        ASSERT_EQ(engine.init(&record), 0);
        ASSERT_EQ(engine.command(&record, kCmdSampleRate), 0);
    }
    SynthEngine engine;
    EngineCommand record;
};

// ---------------------------------------------------------------- tables

TEST_F(SynthEngineTest, SemitoneAndTranspositionRatiosArePowersOfTheTwelfthRootOfTwo) {
    const EngineTables& t = engine.getTables();
    const float* semitones = t.semitones();
    EXPECT_EQ(semitones[120], 1.f);
    EXPECT_FLOAT_EQ(semitones[132], 2.f);
    EXPECT_FLOAT_EQ(semitones[108], 0.5f);
    EXPECT_FLOAT_EQ(semitones[0], 1.f / 1024.f);
    EXPECT_FLOAT_EQ(semitones[240], 1024.f);
    for (int i = 0; i < EngineTables::kSemitoneSize; ++i)
        ASSERT_FLOAT_EQ(semitones[i], static_cast<float>(std::pow(2.0, (i - 120) / 12.0))) << i;

    EXPECT_EQ(t.transposition(0), 1.f);
    EXPECT_EQ(t.transposition(12), 2.f);
    EXPECT_EQ(t.transposition(-36), 0.125f);
    EXPECT_FLOAT_EQ(t.transposition(71), static_cast<float>(std::pow(2.0, 71 / 12.0)));
    EXPECT_FLOAT_EQ(t.transposition(7), static_cast<float>(std::pow(2.0, 7 / 12.0)));
    // Indices outside -36..71 are held to the ends.
    EXPECT_EQ(t.transposition(-500), t.transposition(-36));
    EXPECT_EQ(t.transposition(500), t.transposition(71));
}

TEST_F(SynthEngineTest, SineTangentAndPowerTablesCoverTheirRanges) {
    const EngineTables& t = engine.getTables();
    const float* sine = t.sines();
    EXPECT_EQ(sine[0], 0.f);
    EXPECT_EQ(sine[EngineTables::kSineSize], sine[0]);
    EXPECT_FLOAT_EQ(sine[2048], 1.f);
    EXPECT_FLOAT_EQ(sine[6144], -1.f);
    EXPECT_NEAR(sine[1000], std::sin(2.0 * kPi * 1000 / 8192), 1e-7);
    EXPECT_EQ(EngineTables::kSineRangeStart, 0.f);
    EXPECT_FLOAT_EQ(EngineTables::kSineRangeEnd, static_cast<float>(2.0 * kPi));

    const float* tangent = t.tangents();
    EXPECT_EQ(tangent[0], 0.f);
    EXPECT_FLOAT_EQ(tangent[4096], 1.f);
    // The last entry stands one step before pi/2: large but finite.
    const float last = tangent[EngineTables::kTangentSize - 1];
    EXPECT_TRUE(std::isfinite(last));
    EXPECT_FLOAT_EQ(last, static_cast<float>(std::tan((kPi / 2.0) * 8191.0 / 8192.0)));
    EXPECT_FLOAT_EQ(EngineTables::kTangentRangeEnd, static_cast<float>(kPi / 2.0));

    const float* power = t.powersOf256();
    EXPECT_FLOAT_EQ(power[0], 1.f / (256.f * 256.f * 256.f));
    EXPECT_EQ(power[4096], 1.f);
    EXPECT_FLOAT_EQ(power[8191], static_cast<float>(std::pow(256.0, 3.0 - 6.0 / 8192.0)));
    EXPECT_EQ(EngineTables::kPowerRangeStart, -3.f);
    EXPECT_EQ(EngineTables::kPowerRangeEnd, 3.f);
}

TEST_F(SynthEngineTest, VelocityValuesAreVelocityOver127) {
    const EngineTables& t = engine.getTables();
    EXPECT_EQ(t.velocity(0), 0.f);
    EXPECT_EQ(t.velocity(127), 1.f);
    EXPECT_EQ(t.velocity(64), 64.f / 127.f);
    EXPECT_EQ(t.velocity(200), 1.f);
    EXPECT_EQ(t.velocity(-3), 0.f);
}

TEST(EngineTables, NoteFrequenciesAreCutToTwoDecimalsWithFourEntriesHigher) {
    for (int n = 0; n <= 20; ++n) EXPECT_EQ(EngineTables::noteFrequency(n), 0.f) << n;
    struct Pinned {
        int note;
        float hz;
    };
    const Pinned pinned[] = {{21, 27.5f},     {22, 29.13f},    {60, 261.62f},   {69, 440.f},   {127, 12543.85f},
                             {108, 4186.01f}, {110, 4698.64f}, {115, 6271.93f}, {120, 8372.02f}};
    for (const Pinned& p : pinned) EXPECT_EQ(EngineTables::noteFrequency(p.note), p.hz) << p.note;
    for (int n = 21; n < 128; ++n) {
        if (n == 108 || n == 110 || n == 115 || n == 120) continue;
        const double hz = 440.0 * std::pow(2.0, (n - 69) / 12.0);
        const double cut = std::floor(hz * 100.0 + 1e-9) / 100.0;
        EXPECT_EQ(EngineTables::noteFrequency(n), static_cast<float>(cut)) << n;
    }
    EXPECT_EQ(EngineTables::noteFrequency(-5), 0.f);
    EXPECT_EQ(EngineTables::noteFrequency(300), 12543.85f);
}

// ---------------------------------------------------------------- container

TEST_F(SynthEngineTest, InitTakesTheLengthsFromTheOscillatorAndSetsTheRateFields) {
    EXPECT_TRUE(engine.isInitialised());
    EXPECT_EQ(engine.getBlockLength(), 44);
    EXPECT_EQ(engine.getHistoryLength(), 9);
    EXPECT_EQ(engine.getPortLength(), 53);
    EXPECT_EQ(engine.getQueueCapacity(), 88);
    EXPECT_EQ(engine.getQueueFill(), 0);
    EXPECT_EQ(engine.getChannelCount(), 2);
    EXPECT_EQ(engine.getSampleRate(), 44100.f);
    EXPECT_FLOAT_EQ(engine.getSamplesPerMs(), 44.1f);
    EXPECT_EQ(engine.getGroupingWindow(), 200);  // int(44.1 x 200 / 44)
    EXPECT_FLOAT_EQ(engine.getBlockDurationMs(), 44.f / 44.1f);
    EXPECT_EQ(engine.getVoicesPerPart(), 1);
}

TEST_F(SynthEngineTest, EverySlotStartsWithItsDefaults) {
    for (int s = 0; s < SynthEngine::kSlots; ++s) {
        SCOPED_TRACE(s);
        const VoiceSlot& v = engine.getSlot(s);
        EXPECT_EQ(v.state, 18);
        EXPECT_EQ(v.previousState, 18);
        EXPECT_EQ(v.note, -72);
        EXPECT_EQ(v.velocityValue, 0.f);
        for (int o = 0; o < 2; ++o) {
            EXPECT_EQ(v.pitchProduct[o], 1.f);
            EXPECT_EQ(v.fixedPitch[o], 1);
        }
        EXPECT_EQ(v.partTune, 1.f);
        EXPECT_EQ(v.cutoffSpread, 1.f);
        EXPECT_EQ(v.cutoff[0], 10.f);
        EXPECT_EQ(v.cutoff[1], 10.f);
        EXPECT_EQ(v.cutoff[2], 1000.f);
        EXPECT_EQ(v.cutoff[3], 1000.f);
        for (float q : v.resonance) EXPECT_EQ(q, 0.707f);
        EXPECT_EQ(v.pan, 0.5f);
        EXPECT_EQ(v.volume, 0.5f);
        EXPECT_EQ(v.lineMix, 0.5f);
        EXPECT_EQ(v.portamento, 1);
        EXPECT_EQ(v.ringModulator, 1);
        EXPECT_EQ(v.effects, 1);
    }
}

TEST_F(SynthEngineTest, ValuePortsAreControlRateBuffersOfThePortLength) {
    const int perSlot[] = {kSourceKeyTracking, kSourceBrillianceScaling, kSourceLevelScaling, kSourceVelocity,
                           kSourcePressure,    kSourcePitchBend};
    for (int source : perSlot) {
        SCOPED_TRACE(source);
        SignalPort* a = engine.valuePort(source, 3);
        SignalPort* b = engine.valuePort(source, 4);
        ASSERT_NE(a, nullptr);
        EXPECT_NE(a, b);
        EXPECT_EQ(a->controlRate, 1);
        EXPECT_EQ(a->kind, kPortSamples);
        EXPECT_EQ(a->blockLength, 44);
        EXPECT_EQ(a->historyLength, 9);
        for (int i = -9; i < 44; ++i) ASSERT_EQ(a->samples[i], 0.f);
    }
    const int global[] = {kSourceModWheel, kSourceExpression, kSourceHighestPressure};
    for (int source : global) {
        SCOPED_TRACE(source);
        ASSERT_NE(engine.valuePort(source, 0), nullptr);
        EXPECT_EQ(engine.valuePort(source, 0), engine.valuePort(source, 31));
        EXPECT_EQ(engine.valuePort(source, 0)->controlRate, 1);
    }
    SignalPort* gate = engine.valuePort(kSourceGate, 9);
    EXPECT_EQ(gate->kind, kPortGate);
    ASSERT_NE(gate->gate, nullptr);
    EXPECT_EQ(gate->gate->gate, 0);
    EXPECT_NE(gate->gate, engine.valuePort(kSourceGate, 10)->gate);
    EXPECT_EQ(engine.valuePort(11, 0), nullptr);
    EXPECT_EQ(engine.valuePort(29, 0), nullptr);
    EXPECT_EQ(engine.valuePort(kSourceVelocity, 99), engine.valuePort(kSourceVelocity, 31));
}

TEST_F(SynthEngineTest, LineOutputsAreTheVcaOutputs) {
    for (int s = 0; s < SynthEngine::kSlots; ++s) {
        ASSERT_NE(engine.lineOutput(0, s), nullptr);
        ASSERT_NE(engine.lineOutput(1, s), nullptr);
        EXPECT_NE(engine.lineOutput(0, s), engine.lineOutput(1, s));
        EXPECT_EQ(engine.lineOutput(0, s)->controlRate, 0);
    }
}

TEST_F(SynthEngineTest, MixerChannelPairsFormTwoInputMixers) {
    // Channels 0, 2, 4, 5 at level 1, channels 1 and 3 at 0; 1, 3, 5 sum into 0, 2, 4.
    MixerBank& mixer = engine.mixerBank();
    TestSignal in(0.5f, 0);
    const int slot = 12;
    MixerRecord state = MixerRecord();
    state.slot = slot;
    state.state = engine::kSlotSounding;
    mixer.message(&state, kMixerVoiceState);
    for (int c = 0; c < 6; ++c) mixer.connectInput(c, in.get(), slot, 0);
    float* out[3];
    for (int pair = 0; pair < 3; ++pair) out[pair] = mixer.takeOutput(2 * pair, slot)->samples;
    for (int b = 0; b < 400; ++b) mixer.process();  // past the 30 ms glide from the initial level 1
    EXPECT_NEAR(out[0][0], 0.5f, 1e-6f);
    EXPECT_NEAR(out[1][0], 0.5f, 1e-6f);
    EXPECT_NEAR(out[2][0], 1.f, 1e-6f);
}

TEST_F(SynthEngineTest, OutputQueuesFollowTheBuild) {
    ASSERT_NE(engine.outputQueue(0), nullptr);
    ASSERT_NE(engine.outputQueue(1), nullptr);
    for (int p = 0; p < 8; ++p) {
        if (HALVORN_OUTPUTS == 10)
            EXPECT_NE(engine.outputQueue(2 + p), nullptr) << p;
        else
            EXPECT_EQ(engine.outputQueue(2 + p), nullptr) << p;
    }
    EXPECT_EQ(engine.outputQueue(10), nullptr);
    EXPECT_EQ(engine.outputQueue(-1), nullptr);
    EXPECT_EQ(SynthEngine::kQueueChannels, HALVORN_OUTPUTS);
}

TEST_F(SynthEngineTest, PartActivityCountsTheGatesOfThePartsVoices) {
    for (int p = 0; p < 8; ++p) EXPECT_EQ(engine.getPartActivity(p), 0);
    engine.valuePort(kSourceGate, 3)->gate->gate = 1;       // part 3, layer 0
    engine.valuePort(kSourceGate, 3 + 8)->gate->gate = 1;   // part 3, layer 1: beyond one voice per part
    engine.valuePort(kSourceGate, 5 + 16)->gate->gate = 1;  // part 5, layer 2
    EXPECT_EQ(engine.getPartActivity(3), 1);
    EXPECT_EQ(engine.getPartActivity(5), 0);
    EXPECT_EQ(engine.getPartActivity(4), 0);
    EXPECT_EQ(engine.getPartActivity(-1), 0);
    EXPECT_EQ(engine.getPartActivity(8), 0);
}

TEST_F(SynthEngineTest, ResetSilencesVoicesAndZeroesTheQueuesButKeepsTheFill) {
    Envelope& amplifier = engine.envelope(1);
    amplifier.takeOutput(0, 6);
    amplifier.process();
    amplifier.gateOn(6);
    amplifier.process();
    ASSERT_NE(amplifier.getState(6), kEnvIdleState);
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c) {
        float* q = engine.outputQueue(c);
        for (int i = 0; i < engine.getQueueCapacity(); ++i) q[i] = 0.3f;
    }
    const int fill = engine.getQueueFill();
    engine.reset();
    EXPECT_EQ(amplifier.getState(6), kEnvIdleState);
    for (int s = 0; s < SynthEngine::kSlots; ++s) EXPECT_EQ(engine.getSlot(s).state, 18);
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c) {
        const float* q = engine.outputQueue(c);
        for (int i = 0; i < engine.getQueueCapacity(); ++i) ASSERT_EQ(q[i], 0.f) << c << " " << i;
    }
    EXPECT_EQ(engine.getQueueFill(), fill);
}

TEST_F(SynthEngineTest, SampleRateCommandReratesAndIdlesEveryVoice) {
    Envelope& amplifier = engine.envelope(3);
    amplifier.takeOutput(0, 2);
    amplifier.process();
    amplifier.gateOn(2);
    record.sampleRate = 48000.f;
    EXPECT_EQ(engine.command(&record, kCmdSampleRate), 0);
    EXPECT_EQ(engine.getSampleRate(), 48000.f);
    EXPECT_FLOAT_EQ(engine.getSamplesPerMs(), 48.f);
    EXPECT_FLOAT_EQ(engine.getBlockDurationMs(), 44.f / 48.f);
    EXPECT_EQ(amplifier.getState(2), kEnvIdleState);
    EXPECT_EQ(engine.getGroupingWindow(), 200);  // fixed at init
    EXPECT_EQ(engine.getBlockLength(), 44);      // rate changes do not reallocate

    // A rate that is no positive number is refused; a tiny one is held to 1 kHz.
    const float bad[] = {NAN, INFINITY, 0.f, -44100.f};
    for (float rate : bad) {
        record.sampleRate = rate;
        engine.command(&record, kCmdSampleRate);
        EXPECT_EQ(engine.getSampleRate(), 48000.f);
    }
    record.sampleRate = 1.f;
    engine.command(&record, kCmdSampleRate);
    EXPECT_EQ(engine.getSampleRate(), 1000.f);
    EXPECT_EQ(engine.command(nullptr, kCmdSampleRate), 0);
    EXPECT_EQ(engine.command(&record, 54), 0);
}

TEST(SynthEngine, BeforeInitNothingIsThere) {
    SynthEngine engine;
    EXPECT_FALSE(engine.isInitialised());
    for (int p = 0; p < 8; ++p) EXPECT_EQ(engine.getPartActivity(p), 0);
    EXPECT_EQ(engine.outputQueue(0), nullptr);
    EXPECT_EQ(engine.valuePort(kSourceVelocity, 0), nullptr);
    EXPECT_EQ(engine.lineOutput(0, 0), nullptr);
    engine.reset();
    engine.setSampleRate(48000.f);
    EXPECT_EQ(engine.getSampleRate(), 48000.f);
    engine.freeBuffers();  // on an engine that holds nothing
    EXPECT_EQ(engine.init(nullptr), 1);
    EXPECT_FALSE(engine.isInitialised());
}

TEST(SynthEngine, FreeBuffersIsSafeTwiceAndInitWorksAgainAfterIt) {
    SynthEngine engine;
    EngineCommand record = startRecord();
    ASSERT_EQ(engine.init(&record), 0);
    engine.freeBuffers();
    EXPECT_FALSE(engine.isInitialised());
    EXPECT_EQ(engine.outputQueue(0), nullptr);
    EXPECT_EQ(engine.getTables().sines(), nullptr);
    engine.freeBuffers();
    EXPECT_EQ(engine.getPartActivity(0), 0);
    ASSERT_EQ(engine.init(&record), 0);
    ASSERT_EQ(engine.init(&record), 0);  // a second init replaces the first without leaking
    EXPECT_NE(engine.outputQueue(1), nullptr);
}

TEST(SynthEngine, InitClampsTheRecordsRateAndChannelCount) {
    SynthEngine engine;
    EngineCommand record = startRecord(NAN);
    record.count = 7;
    ASSERT_EQ(engine.init(&record), 0);
    EXPECT_EQ(engine.getSampleRate(), 44100.f);
    EXPECT_EQ(engine.getChannelCount(), 2);
    record = startRecord(96000.f);
    record.count = 1;
    ASSERT_EQ(engine.init(&record), 0);
    EXPECT_EQ(engine.getSampleRate(), 96000.f);
    EXPECT_EQ(engine.getChannelCount(), 1);
    EXPECT_EQ(engine.getGroupingWindow(), 436);  // int(96 x 200 / 44)
}

}  // namespace
