#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "same_bits.h"
#include "engine/mixer_bank.h"
#include "engine/mod_amount_bank.h"
#include "engine/vca.h"
#include "signal_fixture.h"

namespace {

// ---------------------------------------------------------------- MixerBank

class MixerBankTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = MixerRecord();
        record.voiceCount = 32;
        record.blockLength = kTestBlock;
        record.historyLength = kTestHistory;
        ASSERT_EQ(mixer.init(&record, MixerBank::kInitKind, kTestRate), 0);
        setState(0, engine::kSlotSounding);
    }
    void setState(int slot, int state) {
        record.slot = slot;
        record.state = state;
        mixer.message(&record, kMixerVoiceState);
    }
    void setLevel(int channel, int slot, float level) {
        record.channel = channel;
        record.slot = slot;
        record.level = level;
        mixer.message(&record, kMixerLevel);
    }
    void setSumMode(int channel, int flag) {
        record.channel = channel;
        record.sumMode = flag;
        mixer.message(&record, kMixerSumMode);
    }
    // Runs until the level glide has settled.
    void settle() {
        for (int b = 0; b < 400; ++b) mixer.process();
    }

    MixerBank mixer;
    MixerRecord record;
};

TEST_F(MixerBankTest, ScalesItsInputByTheLevel) {
    TestSignal in(0.5f, 0);
    mixer.connectInput(0, in.get(), 0, 0);
    float* out = mixer.takeOutput(0, 0)->samples;
    mixer.process();
    for (int i = 0; i < kTestBlock; ++i) ASSERT_EQ(out[i], 0.5f);
    setLevel(0, 0, 0.25f);
    settle();
    EXPECT_NEAR(out[kTestBlock - 1], 0.125f, 1e-6f);
}

TEST_F(MixerBankTest, LevelGlidesOverThirtyMilliseconds) {
    TestSignal in(1.f, 0);
    mixer.connectInput(0, in.get(), 0, 0);
    float* out = mixer.takeOutput(0, 0)->samples;
    setLevel(0, 0, 0.f);
    mixer.process();
    const float c = testCoefficient(30.f);
    EXPECT_NEAR(out[0], 1.f - c, 1e-6f);
    EXPECT_NEAR(out[kTestBlock - 1], std::pow(1.f - c, static_cast<float>(kTestBlock)), 1e-4f);
}

struct LevelCase {
    float target;
    float sources[4];
    int count;
    float expected;
};

TEST_F(MixerBankTest, LevelModulationIsClampedToZeroToOne) {
    const LevelCase cases[] = {
        {1.f, {1.f, 1.f, 1.f, 1.f}, 4, 1.f},
        {0.f, {-0.5f, -0.5f, 0.f, 0.f}, 2, 0.f},
        {0.5f, {1.f, 0.f, 0.f, 0.f}, 1, 0.75f},
        {0.5f, {NAN, 0.f, 0.f, 0.f}, 1, 0.f},
    };
    for (const LevelCase& k : cases) {
        SCOPED_TRACE(k.target);
        SetUp();
        TestSignal in(1.f, 0);
        TestSignal s0(k.sources[0]), s1(k.sources[1]), s2(k.sources[2]), s3(k.sources[3]);
        TestSignal* sources[] = {&s0, &s1, &s2, &s3};
        mixer.connectInput(0, in.get(), 0, 0);
        for (int i = 0; i < k.count; ++i) ASSERT_EQ(mixer.connectLevel(0, sources[i]->get(), 0, i), 0);
        float* out = mixer.takeOutput(0, 0)->samples;
        setLevel(0, 0, k.target);
        settle();
        EXPECT_NEAR(out[kTestBlock - 1], k.expected, 1e-4f);
    }
}

TEST_F(MixerBankTest, ReleasingALevelSourceFromTheMiddleKeepsTheOthers) {
    TestSignal in(1.f, 0), a(-0.4f), b(-0.8f), c(-0.4f);
    mixer.connectInput(2, in.get(), 0, 0);
    mixer.connectLevel(2, a.get(), 0, 23);
    mixer.connectLevel(2, b.get(), 0, 24);
    mixer.connectLevel(2, c.get(), 0, 25);
    float* out = mixer.takeOutput(2, 0)->samples;
    settle();
    EXPECT_NEAR(out[0], 0.6f, 1e-4f);  // 1 + 0.25 x -1.6
    mixer.releaseLevel(2, 0, 24);
    settle();
    EXPECT_NEAR(out[0], 0.8f, 1e-4f);  // 1 + 0.25 x -0.8
}

TEST_F(MixerBankTest, SumModeChannelAddsIntoThePrecedingChannel) {
    TestSignal a(0.5f, 0), b(0.25f, 0);
    setSumMode(1, 1);
    setLevel(1, 0, 0.5f);
    mixer.connectInput(0, a.get(), 0, 0);
    mixer.connectInput(1, b.get(), 0, 0);
    float* out = mixer.takeOutput(0, 0)->samples;  // channel 1 runs because channel 0 is read
    settle();
    EXPECT_NEAR(out[kTestBlock - 1], 0.5f + 0.125f, 1e-5f);
    // Without sum mode channel 1 adds nothing.
    setSumMode(1, 0);
    settle();
    EXPECT_NEAR(out[kTestBlock - 1], 0.5f, 1e-6f);
}

// A channel without input holds zeros, history included, block after block; a sum-mode
// channel that adds into it must not pile up, and one without input still turns a -0 of the
// sum into +0, as adding its zeros does.
TEST_F(MixerBankTest, AChannelWithoutInputHoldsZerosAndTakesWhatIsAddedAnew) {
    TestSignal b(0.25f, 0);
    setSumMode(1, 1);
    setLevel(1, 0, 0.5f);
    mixer.connectInput(1, b.get(), 0, 0);
    float* out = mixer.takeOutput(0, 0)->samples;
    settle();
    const auto expectBlock = [&](float value, int from) {
        for (int i = from; i < kTestBlock; ++i) ASSERT_EQ(out[i], value) << i;
    };
    for (int block = 0; block < 4; ++block) {
        mixer.process();
        expectBlock(0.125f, -kTestHistory);
    }
    mixer.releaseInput(1, 0, 0);
    for (int block = 0; block < 5; ++block) {
        mixer.process();
        expectBlock(0.f, block == 0 ? 0 : -kTestHistory);
    }
    mixer.connectInput(1, b.get(), 0, 0);
    mixer.process();
    expectBlock(0.125f, 0);
    for (int i = -kTestHistory; i < 0; ++i) ASSERT_EQ(out[i], 0.f) << i;

    TestSignal negative(-1.f, 0);
    mixer.releaseInput(1, 0, 0);
    mixer.connectInput(0, negative.get(), 0, 0);
    setLevel(0, 0, 0.f);
    settle();
    for (int block = 0; block < 4; ++block) {
        mixer.process();
        for (int i = 0; i < kTestBlock; ++i) ASSERT_FALSE(std::signbit(out[i])) << i;
    }
    // Channel 0 alone gives -1 x 0 = -0.
    setSumMode(1, 0);
    mixer.process();
    EXPECT_TRUE(std::signbit(out[0]));
}

TEST_F(MixerBankTest, SumModeMessageIgnoresChannelZeroAndClampsHighChannels) {
    TestSignal a(0.5f, 0), b(0.25f, 0);
    setSumMode(0, 1);
    setSumMode(-3, 1);
    mixer.connectInput(14, a.get(), 0, 0);
    mixer.connectInput(15, b.get(), 0, 0);
    setSumMode(99, 1);  // channel 15
    float* out14 = mixer.takeOutput(14, 0)->samples;
    mixer.process();
    EXPECT_EQ(out14[0], 0.75f);
    // Channel 0 never sums: with channel 15 of slot 0 taken as well, channel 0 keeps its own.
    float* out0 = mixer.takeOutput(0, 0)->samples;
    mixer.connectInput(0, b.get(), 0, 0);
    mixer.process();
    EXPECT_EQ(out0[0], 0.25f);
}

TEST_F(MixerBankTest, CopiesTheLeadingFlagWordAndMovesHistory) {
    TestSignal control(0.5f, 1);
    mixer.connectInput(3, control.get(), 0, 0);
    SignalPort* port = mixer.takeOutput(3, 0);
    mixer.process();
    EXPECT_EQ(port->controlRate, 1);
    TestSignal audio(0.f, 0);
    for (int i = 0; i < kTestBlock; ++i) audio.port.samples[i] = static_cast<float>(i);
    mixer.connectInput(3, audio.get(), 0, 0);
    mixer.process();
    EXPECT_EQ(port->controlRate, 0);
    mixer.process();
    for (int i = 0; i < kTestHistory; ++i) EXPECT_EQ(port->samples[i - kTestHistory], kTestBlock - kTestHistory + i);
}

TEST_F(MixerBankTest, SilentSlotsAndReleasedChannelsAreCleared) {
    TestSignal in(1.f, 0);
    mixer.connectInput(0, in.get(), 0, 0);
    mixer.connectInput(0, in.get(), 5, 0);
    float* out0 = mixer.takeOutput(0, 0)->samples;
    float* out5 = mixer.takeOutput(0, 5)->samples;
    mixer.process();
    EXPECT_EQ(out0[0], 1.f);
    EXPECT_EQ(out5[0], 0.f);  // slot 5 is not sounding
    setState(0, engine::kSlotOff);
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(out0[i], 0.f);
    setState(0, engine::kSlotSounding);
    mixer.process();
    EXPECT_EQ(out0[0], 1.f);
    mixer.releaseOutput(0);
    mixer.releaseOutput(0);
    mixer.process();
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(out0[i], 0.f);
}

// ---------------------------------------------------------------- Vca

class VcaTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = VcaRecord();
        record.voiceCount = 32;
        record.blockLength = kTestBlock;
        record.historyLength = kTestHistory;
        ASSERT_EQ(vca.init(&record, Vca::kInitKind, kTestRate), 0);
        audio.set(1.f);
        vca.connectInput(kVcaInAudio, audio.get(), 0, 0);
        output = vca.takeOutput(0)->samples;
        setState(0, engine::kSlotSounding);
    }
    void setState(int slot, int state) {
        record.slot = slot;
        record.state = state;
        vca.message(&record, kVcaVoiceState);
    }
    void settle() {
        for (int b = 0; b < 200; ++b) vca.process();
    }

    Vca vca;
    VcaRecord record;
    TestSignal audio{1.f, 0};
    float* output = nullptr;
};

TEST_F(VcaTest, FirstSoundingBlockFadesInOverFiveMilliseconds) {
    vca.process();
    const float c = testCoefficient(5.f);
    for (int n = 0; n < kTestBlock; ++n)
        ASSERT_NEAR(output[n], 1.f - std::pow(1.f - c, static_cast<float>(n + 1)), 1e-5f) << n;
}

struct ExponentCase {
    const char* name;
    int kind;
    float value;
    float expectedGain;
};

TEST_F(VcaTest, ExponentialGainIsTenToThreeTimesTheExponent) {
    const ExponentCase cases[] = {
        {"direct +1", kVcaInDirect, 1.f, 1000.f},
        {"direct -1", kVcaInDirect, -1.f, 0.001f},
        {"list 1/3", kVcaInLevelModulation, 1.f / 3.f, 10.f},
        {"vibrato x 0.5", kVcaInVibrato, 2.f / 3.f, 10.f},
        {"touch x 0.5", kVcaInTouch, -2.f / 3.f, 0.1f},
        {"initial x 2", kVcaInInitial, 1.f / 6.f, 10.f},
        {"unbounded", kVcaInDirect, 1e30f, 1e12f},
        {"not a number", kVcaInDirect, NAN, 1.f},
    };
    for (const ExponentCase& k : cases) {
        SCOPED_TRACE(k.name);
        SetUp();
        record.slot = 0;
        record.vibratoDepth = 2.f;  // x 0.25
        record.touchDepth = 0.5f;
        record.initialDepth = 2.f;
        vca.message(&record, kVcaVibratoDepth);
        vca.message(&record, kVcaTouchDepths);
        TestSignal source(k.value);
        vca.connectInput(k.kind, source.get(), 0, 5);
        settle();
        EXPECT_NEAR(output[kTestBlock - 1] / k.expectedGain, 1.f, 1e-3f);
    }
}

TEST_F(VcaTest, EnvelopeIsAppliedPerSampleAndANegativeGainMutes) {
    TestSignal envelope(0.f, 1);
    for (int n = 0; n < kTestBlock; ++n) envelope.port.samples[n] = n % 2 ? 0.5f : -0.5f;
    vca.connectInput(kVcaInEnvelope, envelope.get(), 0, 13);
    audio.set(-0.8f);
    settle();
    EXPECT_EQ(output[0], 0.f);
    EXPECT_NEAR(output[1], -0.4f, 1e-5f);
}

TEST_F(VcaTest, AnExponentThatMovesAndComesBackIsFollowed) {
    TestSignal direct(1.f / 3.f);
    vca.connectInput(kVcaInDirect, direct.get(), 0, 6);
    const float exponents[] = {1.f / 3.f, -1.f / 3.f, 0.f, 1.f / 3.f, 2.f / 3.f, 1.f / 3.f};
    for (float c : exponents) {
        SCOPED_TRACE(c);
        direct.set(c);
        settle();
        EXPECT_NEAR(output[kTestBlock - 1] / std::pow(10.f, 3.f * c), 1.f, 1e-4f);
    }
}

TEST_F(VcaTest, LevelFollowsItsTargetPerBlock) {
    settle();
    record.slot = 0;
    record.level = 0.5f;
    vca.message(&record, kVcaLevel);
    vca.process();
    const float c = 1.f - std::exp(-static_cast<float>(kTestBlock) / (0.005f * kTestRate));
    EXPECT_NEAR(vca.getLevel(0), 1.f - 0.5f * c, 1e-6f);
    EXPECT_NEAR(output[0], vca.getLevel(0), 1e-5f);
    record.level = 0.f;
    vca.message(&record, kVcaLevel);
    settle();
    settle();
    EXPECT_EQ(vca.getLevel(0), 0.f);  // flushed, not left denormal
}

TEST_F(VcaTest, ReleasingAModulationSourceFromTheMiddleKeepsTheOthers) {
    TestSignal a(0.1f), b(0.5f), c(0.2f);
    vca.connectInput(kVcaInLevelModulation, a.get(), 0, 32);
    vca.connectInput(kVcaInLevelModulation, b.get(), 0, 33);
    vca.connectInput(kVcaInLevelModulation, c.get(), 0, 34);
    vca.releaseInput(kVcaInLevelModulation, 0, 33);
    settle();
    EXPECT_NEAR(output[0] / std::pow(10.f, 0.9f), 1.f, 1e-4f);
}

TEST_F(VcaTest, RunsOnlyWithAnAudioInputAndATakenOutput) {
    vca.process();
    EXPECT_TRUE(vca.isActive());
    EXPECT_GT(output[kTestBlock - 1], 0.f);
    vca.releaseInput(kVcaInAudio, 0, 0);
    EXPECT_FALSE(vca.isActive());
    vca.process();  // the outputs are cleared once
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(output[i], 0.f);
    vca.connectInput(kVcaInAudio, nullptr, 0, 0);  // a source without a signal
    EXPECT_FALSE(vca.isActive());
    vca.connectInput(kVcaInAudio, audio.get(), 3, 0);
    EXPECT_TRUE(vca.isActive());
    vca.releaseOutput(0);
    EXPECT_FALSE(vca.isActive());
}

TEST_F(VcaTest, StoppingASlotClearsItsOutput) {
    settle();
    setState(0, engine::kSlotOff);
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(output[i], 0.f);
    vca.process();
    EXPECT_EQ(output[0], 0.f);
}

// ---------------------------------------------------------------- ModAmountBank

class ModAmountBankTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = ModAmountRecord();
        record.blockLength = kTestBlock;
        record.historyLength = kTestHistory;
        record.voiceCount = 32;
        ASSERT_EQ(bank.init(&record, ModAmountBank::kInitKind, kTestRate), 0);
    }
    void setAmount(int channel, int slot, float amount) {
        record.channel = channel;
        record.slot = slot;
        record.amount = amount;
        bank.message(&record, kModAmountTarget);
    }
    void setState(int slot, int state) {
        record.slot = slot;
        record.state = state;
        bank.message(&record, kModAmountVoiceState);
    }

    ModAmountBank bank;
    ModAmountRecord record;
};

TEST_F(ModAmountBankTest, ControlRateInputGivesOneValuePerBlock) {
    TestSignal in(0.f, 1);
    in.port.samples[0] = 0.8f;
    bank.connectInput(4, in.get(), 0);
    SignalPort* out = bank.takeOutput(4, 0);
    setAmount(4, 0, 0.5f);
    bank.process();
    EXPECT_EQ(out->controlRate, 1);
    EXPECT_EQ(out->samples[0], 0.4f);
    EXPECT_EQ(out->samples[-1], 0.4f);
}

TEST_F(ModAmountBankTest, AudioRateInputIsScaledSampleBySampleWithHistory) {
    TestSignal in(0.f, 0);
    for (int n = 0; n < kTestBlock; ++n) in.port.samples[n] = static_cast<float>(n);
    setState(7, engine::kSlotSounding);
    bank.connectInput(9, in.get(), 7);
    SignalPort* out = bank.takeOutput(9, 7);
    setAmount(9, 7, 2.f);
    bank.process();
    bank.process();
    EXPECT_EQ(out->controlRate, 0);
    for (int n = 0; n < kTestBlock; ++n) ASSERT_EQ(out->samples[n], 2.f * n);
    for (int i = 0; i < kTestHistory; ++i) EXPECT_EQ(out->samples[i - kTestHistory], 2.f * (kTestBlock - kTestHistory + i));
}

TEST_F(ModAmountBankTest, AmountChangeTakesFullEffectAtTheNextBlock) {
    TestSignal in(1.f, 1);
    bank.connectInput(0, in.get(), 0);
    SignalPort* out = bank.takeOutput(0, 0);
    bank.process();
    EXPECT_EQ(out->samples[0], 1.f);
    setAmount(0, 0, -0.3f);
    bank.process();
    EXPECT_EQ(out->samples[0], -0.3f);
}

TEST_F(ModAmountBankTest, OnlySlotZeroAndSoundingSlotsRun) {
    TestSignal in(1.f, 1);
    bank.connectInput(2, in.get(), 0);
    bank.connectInput(2, in.get(), 5);
    SignalPort* out0 = bank.takeOutput(2, 0);
    SignalPort* out5 = bank.takeOutput(2, 5);
    bank.process();
    EXPECT_EQ(out0->samples[0], 1.f);
    EXPECT_EQ(out5->samples[0], 0.f);
    setState(5, engine::kSlotSounding);
    bank.process();
    EXPECT_EQ(out5->samples[0], 1.f);
    // Without an input the value is 0.
    bank.releaseInput(2, 5);
    bank.process();
    EXPECT_EQ(out5->samples[0], 0.f);
    EXPECT_EQ(out5->samples[-1], 0.f);
}

TEST_F(ModAmountBankTest, ReleasedChannelIsClearedAndNumbersAreClamped) {
    TestSignal in(1.f, 1);
    bank.connectInput(25, in.get(), -4);  // channel 19, slot 0
    SignalPort* out = bank.takeOutput(19, 0);
    setAmount(99, -1, 0.25f);
    bank.process();
    EXPECT_EQ(out->samples[0], 0.25f);
    bank.releaseOutput(19);
    bank.process();
    for (int i = -kTestHistory; i < kTestBlock; ++i) ASSERT_EQ(out->samples[i], 0.f);
}

TEST(GainModules, InitRefusesBadConfigurationsAndFreeIsSafeTwice) {
    MixerRecord mixerRecord = MixerRecord();
    VcaRecord vcaRecord = VcaRecord();
    ModAmountRecord amountRecord = ModAmountRecord();
    MixerBank mixer;
    Vca vca;
    ModAmountBank bank;
    EXPECT_EQ(mixer.init(&mixerRecord, MixerBank::kInitKind, kTestRate), 1);  // no block length
    EXPECT_EQ(vca.init(&vcaRecord, Vca::kInitKind, kTestRate), 1);
    EXPECT_EQ(bank.init(&amountRecord, ModAmountBank::kInitKind, kTestRate), 1);
    mixerRecord.blockLength = vcaRecord.blockLength = amountRecord.blockLength = kTestBlock;
    EXPECT_EQ(mixer.init(&mixerRecord, 115, kTestRate), 1);
    EXPECT_EQ(vca.init(&vcaRecord, Vca::kInitKind, NAN), 1);
    EXPECT_EQ(mixer.init(&mixerRecord, MixerBank::kInitKind, kTestRate), 0);
    EXPECT_EQ(vca.init(&vcaRecord, Vca::kInitKind, kTestRate), 0);
    EXPECT_EQ(bank.init(&amountRecord, ModAmountBank::kInitKind, kTestRate), 0);
    for (int i = 0; i < 2; ++i) {
        mixer.free();
        vca.free();
        bank.free();
    }
    EXPECT_EQ(mixer.takeOutput(0, 0), nullptr);
    EXPECT_EQ(vca.takeOutput(0), nullptr);
    EXPECT_EQ(bank.takeOutput(0, 0), nullptr);
    mixer.process();
    vca.process();
    bank.process();
}

}  // namespace

namespace {

struct VcaSlotCase {
    int slot;
    bool withEnvelope;
    float level;
    float swing;  // exponent of the direct input, changed every `period` blocks
    int period;   // 0: never changed, so the gain settles
};

const VcaSlotCase kVcaSlotCases[] = {
    {0, true, 1.f, 0.2f, 1},   {2, false, 0.5f, 0.3f, 2}, {3, true, 0.8f, 0.f, 0},  {7, true, 1.5f, -0.4f, 3},
    {12, false, 1.f, 0.f, 0},  {20, true, 0.3f, 0.1f, 1}, {30, false, 2.f, 0.5f, 4}, {31, true, 1.f, 1.f, 5},
};
const int kVcaSlotCaseCount = static_cast<int>(sizeof(kVcaSlotCases) / sizeof(kVcaSlotCases[0]));

// Renders the cases (only one of them when `only` is not negative) through the one-pass
// path (four samples at a time when asked, else eight where the processor has the lanes) or
// the step by step one, at a rate set after initialisation; returns every case's output,
// block after block.
std::vector<std::vector<float>> renderVcaSlots(int only, bool scalar, int blocks, float rate = kTestRate,
                                               bool fourLanes = false) {
    const int count = kVcaSlotCaseCount;
    VcaRecord record{};
    record.voiceCount = 32;
    record.blockLength = kTestBlock;
    record.historyLength = kTestHistory;
    Vca vca;
    EXPECT_EQ(vca.init(&record, Vca::kInitKind, kTestRate), 0);
    vca.setSampleRate(rate);
    vca.useScalarPath(scalar);
    vca.useFourLanes(fourLanes);
    std::vector<std::unique_ptr<TestSignal>> audio, envelope, direct;
    std::vector<float*> outputs;
    for (int i = 0; i < count; ++i) {
        const VcaSlotCase& c = kVcaSlotCases[i];
        audio.emplace_back(new TestSignal(0.f, 0));
        envelope.emplace_back(new TestSignal(0.f, 0));
        direct.emplace_back(new TestSignal(0.f));
        vca.connectInput(kVcaInAudio, audio[i]->get(), c.slot, 0);
        if (c.withEnvelope) vca.connectInput(kVcaInEnvelope, envelope[i]->get(), c.slot, 0);
        vca.connectInput(kVcaInDirect, direct[i]->get(), c.slot, 0);
        outputs.push_back(vca.takeOutput(c.slot)->samples);
        record.slot = c.slot;
        record.level = c.level;
        vca.message(&record, kVcaLevel);
        record.state = only < 0 || only == i ? engine::kSlotSounding : engine::kSlotOff;
        vca.message(&record, kVcaVoiceState);
    }
    std::vector<std::vector<float>> out(count);
    for (int b = 0; b < blocks; ++b) {
        for (int i = 0; i < count; ++i) {
            const VcaSlotCase& c = kVcaSlotCases[i];
            for (int n = 0; n < kTestBlock; ++n) {
                const int t = b * kTestBlock + n;
                audio[i]->port.samples[n] = std::sin(0.02f * (i + 1) * t);
                envelope[i]->port.samples[n] = 0.5f + 0.5f * std::cos(0.003f * t + i) - 0.1f;
            }
            if (c.period > 0 && b % c.period == 0) direct[i]->set((b / c.period) % 2 ? c.swing : 0.f);
        }
        vca.process();
        for (int i = 0; i < count; ++i) out[i].insert(out[i].end(), outputs[i], outputs[i] + kTestBlock);
    }
    return out;
}

// A slot's output must not depend on which other slots sound beside it, to the bit, with or
// without an envelope, gliding or settled, at any level.
TEST(VcaModule, SlotsTogetherMatchEachAlone) {
    const int blocks = 40;
    const auto together = renderVcaSlots(-1, false, blocks);
    for (int i = 0; i < kVcaSlotCaseCount; ++i) {
        SCOPED_TRACE(kVcaSlotCases[i].slot);
        const auto single = renderVcaSlots(i, false, blocks);
        test::expectAudibleAndSameBits(single[i], together[i]);
    }
}

// The one-pass gliding gain against the step by step smoothing on the same input, at the
// rate of initialisation and at another one: within
// 1e-5 of the slot's peak (-100 dB) in any sample. Both round in single precision, the step
// by step one at every step, where it may also stop a few units of the last place short of
// the target, which the closed form reaches.
// Eight samples at a time where the processor has the lanes: the four-lane path's bits, for
// settled and gliding slots, with and without an envelope, at both rates.
TEST(VcaModule, EightLanesGiveTheBitsOfFourLanes) {
    if (!Vca().hasWideLanes()) GTEST_SKIP() << "no eight-lane registers on this processor";
    for (float rate : {kTestRate, 96000.f}) {
        SCOPED_TRACE(rate);
        const auto eight = renderVcaSlots(-1, false, 100, rate);
        const auto four = renderVcaSlots(-1, false, 100, rate, true);
        for (int i = 0; i < kVcaSlotCaseCount; ++i) {
            SCOPED_TRACE(kVcaSlotCases[i].slot);
            test::expectAudibleAndSameBits(four[i], eight[i]);
        }
    }
}

TEST(VcaModule, OnePassGlideStaysWithinToleranceOfTheStepByStepOne) {
    const float kTolerance = 1e-5f;
    const int blocks = 200;
    int differing = 0;
    for (float rate : {kTestRate, 96000.f}) {
        SCOPED_TRACE(rate);
        const auto onePass = renderVcaSlots(-1, false, blocks, rate);
        const auto stepped = renderVcaSlots(-1, true, blocks, rate);
        for (int i = 0; i < kVcaSlotCaseCount; ++i) {
            SCOPED_TRACE(kVcaSlotCases[i].slot);
            float peak = 0.f, largest = 0.f;
            for (float v : stepped[i]) peak = std::max(peak, std::fabs(v));
            ASSERT_GT(peak, 0.05f);
            for (size_t n = 0; n < stepped[i].size(); ++n) {
                const float difference = std::fabs(onePass[i][n] - stepped[i][n]);
                largest = std::max(largest, difference);
                differing += difference != 0.f;
                ASSERT_LE(difference, kTolerance * peak) << "sample " << n;
            }
            std::printf("%.0f Hz, slot %2d: largest difference %.3g of a peak of %.3g\n", rate,
                        kVcaSlotCases[i].slot, largest, peak);
        }
    }
    // The closed form is really taken: a path that gave the step by step bits would not test it.
    EXPECT_GT(differing, 0);
}

// A settled slot's output, sample by sample and to the bit: audio x (level x envelope x
// factor), muted where that gain is below 0, over a block whose length is not a multiple of
// the four samples the processor takes at a time; then without an envelope.
TEST(VcaModule, SettledOutputIsTheAudioTimesLevelEnvelopeAndFactor) {
    const int L = 47, M = kTestHistory;
    VcaRecord record{};
    record.voiceCount = 32;
    record.blockLength = L;
    record.historyLength = M;
    Vca vca;
    ASSERT_EQ(vca.init(&record, Vca::kInitKind, kTestRate), 0);
    auto signal = [&](int controlRate) {
        SignalPort port{};
        port.controlRate = controlRate;
        port.kind = kPortSamples;
        port.blockLength = L;
        port.historyLength = M;
        return port;
    };
    std::vector<float> audioBuffer(M + L), envelopeBuffer(M + L), directBuffer(M + L, 1.f / 3.f);
    SignalPort audio = signal(0), envelope = signal(0), direct = signal(1);
    audio.samples = audioBuffer.data() + M;
    envelope.samples = envelopeBuffer.data() + M;
    direct.samples = directBuffer.data() + M;
    for (int n = 0; n < L; ++n) {
        audio.samples[n] = std::sin(0.3f * n) * 0.9f;
        envelope.samples[n] = n % 5 == 0 ? -0.25f : (n % 7 == 0 ? -0.f : 0.1f + 0.02f * n);
    }
    const int slot = 9;
    vca.connectInput(kVcaInAudio, &audio, slot, 0);
    vca.connectInput(kVcaInEnvelope, &envelope, slot, 0);
    vca.connectInput(kVcaInDirect, &direct, slot, 0);
    const float* out = vca.takeOutput(slot)->samples;
    record.slot = slot;
    record.level = 0.7f;
    vca.message(&record, kVcaLevel);
    record.state = engine::kSlotSounding;
    vca.message(&record, kVcaVoiceState);
    for (int b = 0; b < 600; ++b) vca.process();

    for (bool withEnvelope : {true, false}) {
        SCOPED_TRACE(withEnvelope ? "envelope" : "no envelope");
        if (!withEnvelope) vca.releaseInput(kVcaInEnvelope, slot, 0);
        const float k = vca.getGainFactor(slot);
        vca.process();
        ASSERT_EQ(vca.getGainFactor(slot), k);  // settled: the factor no longer moves
        ASSERT_NEAR(k, 10.f, 1e-3f);
        const float lv = vca.getLevel(slot);
        int muted = 0;
        for (int n = 0; n < L; ++n) {
            const float g = withEnvelope ? lv * envelope.samples[n] * k : lv * k;
            const float expected = g < 0.f ? 0.f : audio.samples[n] * g;
            muted += g < 0.f;
            ASSERT_EQ(std::memcmp(&out[n], &expected, sizeof(float)), 0) << n << ": " << out[n] << " for " << expected;
        }
        EXPECT_EQ(muted, withEnvelope ? 10 : 0);
    }
}

}  // namespace
