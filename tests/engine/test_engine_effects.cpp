// The global effects, the ring modulators and the pedal processor through the whole
// engine, in the build this program is linked with. Each effect is compared with the same
// patch played without it. Cases with times run at 44.1 kHz and with the patch built at
// 44.1 kHz and then re-rated to 96 kHz, which must keep every time in milliseconds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects_measure.h"
#include "engine_patch.h"

namespace {

const int kChannels = SynthEngine::kQueueChannels;

struct Take {
    std::vector<float> out[kChannels];
    const std::vector<float>& left() const { return out[0]; }
    const std::vector<float>& right() const { return out[1]; }
    float mono(size_t i) const { return 0.5f * (out[0][i] + out[1][i]); }
};

// Part 0 plays the velocity on line 1 with a fast attack; the note is held for holdMs and
// released with a 5 ms release, then the take goes on to totalMs.
struct EffectPatch : EnginePatch {
    bool begin(float rate) {
        if (!start(44100.f)) return false;
        basicPatch(kAssignRotate, 1, 1);
        envelope(0, 1, 0.5f, 5.f, 5.f, 0.8f);
        record.part = 0;
        record.pan = 0.3f;
        send(kCmdPartPan);
        playRate = rate;
        return true;
    }
    void switches(int effects, int ring) {
        record.part = 0;
        record.kind = effects;
        send(kCmdPartEffects);
        record.kind = ring;
        send(kCmdPartRingMod);
    }
    // Settings sent, the rate set: settles for settleMs, then plays.
    Take play(float holdMs, float totalMs, float settleMs = 300.f) {
        if (playRate != 44100.f) rerate(playRate);
        Take take;
        std::vector<float> settle[kChannels];
        render(samples(settleMs), settle);
        noteOn(60, 100);
        render(samples(holdMs), take.out);
        noteOff(60);
        render(samples(totalMs - holdMs), take.out);
        return take;
    }
    int samples(float ms) const { return static_cast<int>(ms * playRate / 1000.f / 44.f) * 44; }
    float playRate = 44100.f;
};

int firstSound(const Take& take) {
    for (size_t i = 0; i < take.left().size(); ++i)
        if (take.mono(i) != 0.f) return static_cast<int>(i);
    return -1;
}

void expectSameTake(const Take& a, const Take& b) {
    for (int c = 0; c < kChannels; ++c) {
        ASSERT_EQ(a.out[c].size(), b.out[c].size());
        for (size_t i = 0; i < a.out[c].size(); ++i) ASSERT_EQ(a.out[c][i], b.out[c][i]) << "channel " << c << " at " << i;
    }
}

class EngineEffects : public ::testing::TestWithParam<float> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dry.begin(GetParam()));
        ASSERT_TRUE(wet.begin(GetParam()));
    }
    EffectPatch dry;
    EffectPatch wet;
};

// ---------------------------------------------------------------- delay

void delaySettings(EffectPatch& patch, float timeMs, float feedback, float wetAmount, int enabled) {
    patch.record.tempoSync = 0;
    patch.record.tempo = 120.f;
    patch.record.tempoDivision = 1;
    patch.record.timeMs = timeMs;
    patch.record.level = feedback;
    patch.record.valueA = wetAmount;
    patch.record.enabled = enabled;
    patch.send(kCmdDelay);
}

TEST_P(EngineEffects, TheDelayEchoesTheMonoSumAtItsTimeLeftAndHalfItRight) {
    const float rate = GetParam();
    delaySettings(wet, 100.f, 0.5f, 1.f, 1);  // wet only
    const Take reference = dry.play(30.f, 400.f);
    const Take echoed = wet.play(30.f, 400.f);
    const int onset = firstSound(reference);
    ASSERT_GT(onset, 0);
    ASSERT_EQ(firstSound(echoed) >= 0, true);

    // The first nonzero sample of each side, measured against the dry onset.
    auto firstNonzero = [](const std::vector<float>& x) {
        for (size_t i = 0; i < x.size(); ++i)
            if (x[i] != 0.f) return static_cast<int>(i);
        return -1;
    };
    const int left = firstNonzero(echoed.left()) - onset;
    const int right = firstNonzero(echoed.right()) - onset;
    EXPECT_NEAR(left, 0.100 * rate, 1.5) << "left echo in samples";
    EXPECT_NEAR(right, 0.050 * rate, 1.5) << "right echo in samples";

    // The first echo is the dry mono sum itself; the second is half of it (feedback 0.5),
    // on the left one echo time later.
    const size_t burst = static_cast<size_t>(wet.samples(40.f));
    float peak = 0.f;
    for (size_t i = onset; i < onset + burst; ++i) {
        ASSERT_NEAR(echoed.left()[i + left], reference.mono(i), 1e-6f) << i;
        ASSERT_NEAR(echoed.right()[i + right], reference.mono(i), 1e-6f) << i;
        ASSERT_NEAR(echoed.left()[i + 2 * left], 0.5f * reference.mono(i), 1e-6f) << i;
        peak = std::max(peak, std::fabs(reference.mono(i)));
    }
    EXPECT_GT(peak, 0.05f);
}

TEST_P(EngineEffects, TheDelaySwitchedOffPassesTheDrySignalAndForgetsItsEchoes) {
    delaySettings(wet, 150.f, 0.9f, 0.5f, 1);
    wet.play(30.f, 100.f);
    ASSERT_TRUE(wet.engine.isDelayOn());
    delaySettings(wet, 150.f, 0.9f, 0.5f, 0);
    // Off, the effects bus passes unchanged; on again, no echo of the first note is left.
    const Take off = wet.play(30.f, 400.f, 0.f);
    dry.play(30.f, 100.f);
    const Take reference = dry.play(30.f, 400.f, 0.f);
    expectSameTake(off, reference);
}

// ---------------------------------------------------------------- chorus

void chorusSettings(EffectPatch& patch, float depth, float speed, int type, int enabled) {
    patch.record.valueA = depth;
    patch.record.lfoRate = speed;
    patch.record.lfoWave = type;
    patch.record.enabled = enabled;
    patch.send(kCmdChorus);
}

// With depth 0 the first tap sits at 1.065 x 2 + 3.17 = 5.3 ms: until then the chorus
// passes 0.6 of the mono sum on both sides.
TEST_P(EngineEffects, TheChorusPassesPartOfTheSumAndAddsItsTapAfterFivePointThreeMs) {
    const float rate = GetParam();
    chorusSettings(wet, 0.f, 1.f, 0, 1);
    ASSERT_TRUE(wet.engine.isChorusOn());
    const Take reference = dry.play(60.f, 200.f, 2000.f);  // the depth settles over 200 ms
    const Take chorused = wet.play(60.f, 200.f, 2000.f);
    const int onset = firstSound(reference);
    ASSERT_GT(onset, 0);
    int deviation = -1;
    for (size_t i = 0; i < reference.left().size() && deviation < 0; ++i) {
        EXPECT_EQ(chorused.left()[i], chorused.right()[i]) << i;  // no depth: no spread
        if (std::fabs(chorused.left()[i] - 0.6f * reference.mono(i)) > 1e-6f) deviation = static_cast<int>(i);
    }
    EXPECT_NEAR(deviation - onset, 0.0053 * rate, 1.5);
}

TEST_P(EngineEffects, AChorusWithDepthSpreadsTheSidesAndOneSwitchedOffChangesNothingButTheTremoloStaysOn) {
    chorusSettings(wet, 1.f, 1.f, 0, 1);
    const Take chorused = wet.play(100.f, 200.f);
    float spread = 0.f;
    for (size_t i = 0; i < chorused.left().size(); ++i)
        spread = std::max(spread, std::fabs(chorused.left()[i] - chorused.right()[i]));
    EXPECT_GT(spread, 0.01f);

    // The chorus type (word 1) switched off changes nothing.
    EffectPatch off;
    ASSERT_TRUE(off.begin(GetParam()));
    chorusSettings(off, 1.f, 1.f, 1, 0);
    EXPECT_FALSE(off.engine.isChorusOn());
    EffectPatch reference;
    ASSERT_TRUE(reference.begin(GetParam()));
    const Take plain = reference.play(100.f, 200.f);
    expectSameTake(off.play(100.f, 200.f), plain);

    // The switch does not reach the tremolo type (word 0): it plays, and spreads the sides.
    EffectPatch tremolo;
    ASSERT_TRUE(tremolo.begin(GetParam()));
    chorusSettings(tremolo, 1.f, 1.f, 0, 0);
    EXPECT_TRUE(tremolo.engine.isChorusOn());
    const Take modulated = tremolo.play(100.f, 200.f);
    float tremoloSpread = 0.f;
    for (size_t i = 0; i < modulated.left().size(); ++i)
        tremoloSpread = std::max(tremoloSpread, std::fabs(modulated.left()[i] - modulated.right()[i]));
    EXPECT_GT(tremoloSpread, 0.01f);
}

// ---------------------------------------------------------------- ring modulators

// A carrier of 1000 Hz (the frequency word is twice the base), no sweep, mix 1: the pure
// ring product of the voice's nearly constant level.
void ringSettings(EffectPatch& patch, int enabled) {
    patch.record.lfoRate = 2000.f;
    patch.record.valueA = 1.f;
    patch.record.envelope[0] = 0.f;
    patch.record.envelope[1] = 100.f;
    patch.record.envelope[4] = 0.f;
    patch.record.enabled = enabled;
    patch.send(kCmdRingModulator);
}

TEST_P(EngineEffects, TheRingModulatorsModulateTheVoicesRoutedToThem) {
    const float rate = GetParam();
    const Take reference = dry.play(300.f, 300.f);
    // Ring bus only (modulators 1 and 3), then ring and effects (0 and 2).
    for (int effects = 0; effects < 2; ++effects) {
        EffectPatch ringed;
        ASSERT_TRUE(ringed.begin(rate));
        ringSettings(ringed, 1);
        ringed.switches(effects, 1);
        const Take take = ringed.play(300.f, 300.f);
        const int from = ringed.samples(150.f), count = ringed.samples(100.f);
        std::vector<float> mono(static_cast<size_t>(count));
        double level = 0.0;
        for (int i = 0; i < count; ++i) {
            mono[i] = take.mono(static_cast<size_t>(from + i));
            level += reference.mono(static_cast<size_t>(from + i)) / count;
        }
        EXPECT_NEAR(measure::zeroCrossingFrequency(mono.data(), count, rate), 1000.0, 2.0) << effects;
        EXPECT_NEAR(measure::toneAmplitude(mono.data(), count, 1000.0, rate), level, 0.05 * level) << effects;
        EXPECT_LT(std::fabs(measure::transformAt(mono.data(), count, 0.0, rate)) / count, 0.01 * level) << effects;
    }
}

TEST_P(EngineEffects, AVoiceNotRoutedOrWithTheModulatorsOffPassesUnmodulated) {
    const Take reference = dry.play(100.f, 200.f);
    ringSettings(wet, 1);
    wet.switches(1, 0);  // effects only
    expectSameTake(wet.play(100.f, 200.f), reference);

    EffectPatch off;
    ASSERT_TRUE(off.begin(GetParam()));
    ringSettings(off, 0);  // routed to both, the modulators switched off
    off.switches(1, 1);
    expectSameTake(off.play(100.f, 200.f), reference);
}

INSTANTIATE_TEST_SUITE_P(Rates, EngineEffects, ::testing::Values(44100.f, 96000.f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return info.param == 44100.f ? std::string("At44k1") : std::string("RatedTo96k");
                         });

// ---------------------------------------------------------------- pedal processor

// Volume mode: every sample of the voice scaled by pedal x 0.984151 + 0.015845, the pedal
// being the smoothed expression of the block; before the voice reaches its part and bus.
TEST(EnginePedal, VolumeModeScalesEveryVoiceByTheSmoothedExpression) {
    EffectPatch dry, pedalled;
    ASSERT_TRUE(dry.begin(44100.f));
    ASSERT_TRUE(pedalled.begin(44100.f));
    pedalled.record.kind = 1;    // volume
    pedalled.record.option = 0;  // no wah
    pedalled.send(kCmdPedalSetup);
    dry.noteOn(60);
    pedalled.noteOn(60);
    for (int b = 0; b < 120; ++b) {
        if (b == 40) {
            pedalled.record.pedal = 0.7f;
            pedalled.send(kCmdExpression);
        }
        std::vector<float> a[kChannels], p[kChannels];
        dry.render(44, a);
        pedalled.render(44, p);
        const float expression = pedalled.engine.valuePort(kSourceExpression, 0)->samples[0];
        if (b < 40) {
            ASSERT_EQ(expression, 0.f);
        }
        const float gain = expression * 0.984151f + 0.015845f;
        // The processor's own volume follows the pedal within a few samples.
        for (int i = b == 0 ? 44 : 4; i < 44; ++i)
            for (int c = 0; c < kChannels; ++c)
                ASSERT_NEAR(p[c][i], a[c][i] * gain, 2e-4f * std::fabs(a[c][i]) + 1e-9f) << b << " " << i << " " << c;
    }
    EXPECT_GT(pedalled.engine.valuePort(kSourceExpression, 0)->samples[0], 0.1f);
}

// With the wah on, the voices go through the pedal two at a time; each still reaches its
// own part and its own pan: a silent voice panned right leaves the right channel silent.
TEST(EnginePedal, WahedVoicesKeepTheirOwnPartsAndPans) {
    EnginePatch patch;
    ASSERT_TRUE(patch.start(44100.f));
    patch.basicPatch(kAssignRotate, 1, 2);
    const float pans[2] = {0.f, 1.f}, volumes[2] = {0.5f, 0.f};  // part 0 hard left
    for (int p = 0; p < 2; ++p) {
        patch.record.part = p;
        patch.record.pan = pans[p];
        patch.send(kCmdPartPan);
        patch.record.level = volumes[p];
        patch.send(kCmdPartVolume);
    }
    patch.record.kind = 1;    // volume
    patch.record.option = 1;  // and wah
    patch.send(kCmdPedalSetup);
    patch.record.pedal = 0.7f;
    patch.send(kCmdExpression);
    patch.noteOn(60);
    patch.noteOn(64);
    std::vector<float> out[kChannels];
    patch.render(44 * 200, out);
    int sounding = 0;
    for (int s = 0; s < SynthEngine::kSlots; ++s) sounding += patch.engine.getSlot(s).state == engine::kSlotSounding;
    EXPECT_EQ(sounding, 2);
    float left = 0.f, right = 0.f;
    for (size_t i = 0; i < out[0].size(); ++i) {
        left = std::max(left, std::fabs(out[0][i]));
        right = std::max(right, std::fabs(out[1][i]));
    }
    EXPECT_GT(left, 1e-3f);
    EXPECT_EQ(right, 0.f);
#if HALVORN_OUTPUTS == 10
    // Part 1's output is silent, part 0's is not.
    float parts[2] = {0.f, 0.f};
    for (int p = 0; p < 2; ++p)
        for (float x : out[2 + p]) parts[p] = std::max(parts[p], std::fabs(x));
    EXPECT_GT(parts[0], 1e-3f);
    EXPECT_EQ(parts[1], 0.f);
#endif
}

// ---------------------------------------------------------------- reset

// Everything that keeps a signal at work: a filter in the line, both ring modulator pairs,
// chorus, a long feedback delay, the wah. After a reset with no note sounding, silence.
TEST(EngineReset, AResetLeavesEveryModuleSilent) {
    EffectPatch patch;
    ASSERT_TRUE(patch.begin(44100.f));
    SynthEngine& engine = patch.engine;
    ASSERT_EQ(engine.connect(kSrcVelocity, kDstModAmount0, 0), 0);
    ASSERT_EQ(engine.connect(kSrcModAmount0, kDstFilterAudio + 2 * 8, 0), 0);
    engine.disconnect(kDstVca1Audio, -1, 0);
    ASSERT_EQ(engine.connect(kSrcFilter0 + 2, kDstVca1Audio, 0), 0);
    patch.record.part = 0;
    patch.record.cutoff = 300.f;
    patch.record.resonance = 20.f;
    patch.send(kCmdLowPass1);
    patch.envelope(0, 1, 1.f, 100.f, 3000.f, 0.8f);  // a long release
    ringSettings(patch, 1);
    chorusSettings(patch, 0.7f, 1.f, 0, 1);
    delaySettings(patch, 700.f, 0.95f, 0.5f, 1);
    patch.record.kind = 1;
    patch.record.option = 1;
    patch.send(kCmdPedalSetup);
    patch.record.pedal = 0.6f;
    patch.send(kCmdExpression);

    patch.noteOn(60);
    std::vector<float> sounding[kChannels];
    patch.render(patch.samples(800.f), sounding);
    patch.noteOff(60);
    patch.render(patch.samples(100.f), sounding);
    float level = 0.f;
    for (size_t i = 0; i < static_cast<size_t>(patch.samples(300.f)); ++i)
        level = std::max(level, std::fabs(sounding[0][i]));
    ASSERT_GT(level, 0.f);

    engine.reset();
    std::vector<float> after[kChannels];
    patch.render(patch.samples(1500.f), after);
    for (int c = 0; c < kChannels; ++c)
        for (size_t i = 0; i < after[c].size(); ++i) ASSERT_EQ(after[c][i], 0.f) << "channel " << c << " at " << i;

    // The effects are still on: a new note sounds through them.
    patch.noteOn(64);
    std::vector<float> again[kChannels];
    patch.render(patch.samples(300.f), again);
    float newLevel = 0.f;
    for (float x : again[0]) newLevel = std::max(newLevel, std::fabs(x));
    EXPECT_GT(newLevel, 0.5f * level);
}

}  // namespace
