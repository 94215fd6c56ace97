// Filters and LFOs through the whole engine: commands and routing in, the master output
// measured. Each case runs at 44.1 kHz and again with the patch built at 44.1 kHz and the
// rate then changed to 96 kHz, which must keep cutoffs and LFO rates in Hz.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "effects_measure.h"
#include "engine_patch.h"

namespace {

const int kL = 44;
const double kPi = measure::kPi;

class EngineModulation : public ::testing::TestWithParam<float> {
protected:
    void SetUp() override { ASSERT_TRUE(patch.start(44100.f)); }
    // Called once the patch is built: the rate the case plays at.
    void playRate() {
        if (GetParam() != 44100.f) patch.rerate(GetParam());
        ASSERT_EQ(engine.getSampleRate(), GetParam());
    }
    int samples(double seconds) const { return static_cast<int>(seconds * GetParam() / kL) * kL; }
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
};

// ---------------------------------------------------------------- filters

// Part 0's line 1 through its low-pass (filter 2) into VCA 1. Its audio is an impulse of
// velocity / 127 at the start of every block: the velocity through modulation amount 0,
// whose control-rate path writes only the block's first sample. In the steady state one
// block of output is one period, so its 44-point transform holds the filter's response at
// k x rate / 44, times the constant gain of the line (seen at k = 0, where a low-pass passes).
void lowPassPatch(EnginePatch& patch) {
    SynthEngine& engine = patch.engine;
    patch.basicPatch(kAssignRotate, 1, 1);
    engine.disconnect(kDstFilter0 + 2 * 8 + 1, -1, 0);  // envelope 0 leaves the cutoff alone
    ASSERT_EQ(engine.connect(kSrcVelocity, kDstModAmount0, 0), 0);
    ASSERT_EQ(engine.connect(kSrcModAmount0, kDstFilterAudio + 2 * 8, 0), 0);
    engine.disconnect(kDstVca1Audio, -1, 0);
    ASSERT_EQ(engine.connect(kSrcFilter0 + 2, kDstVca1Audio, 0), 0);
    patch.envelope(0, 1, 1.f, 1.f, 20.f, 1.f);
}

void lowPass(EnginePatch& patch, float cutoff, float resonance) {
    patch.record.part = 0;
    patch.record.cutoff = cutoff;
    patch.record.resonance = resonance;
    patch.send(kCmdLowPass1);
}

void poles(EnginePatch& patch, int four) {
    patch.record.part = 0;
    patch.record.enabled = four;
    patch.send(kCmdLine1Poles);
}

// |H| of the bilinear low-pass at the prewarped cutoff, from the analog prototype
// 1 / (s^2 / w^2 + s / (w Q) + 1) on the frequency axis s = j 2 rate tan(omega / 2).
double lowPassMagnitude(double f, double cutoff, double q, double rate) {
    const double w = 2.0 * rate * std::tan(kPi * cutoff / rate);
    const double s = 2.0 * rate * std::tan(kPi * f / rate);
    const std::complex<double> h = 1.0 / std::complex<double>(1.0 - s * s / (w * w), s / (w * q));
    return std::abs(h);
}

// Renders 44 more blocks and checks the last one against the response (squared for 4
// poles); it must be a steady period, equal to the block before it.
void expectResponse(EnginePatch& patch, double cutoff, double q, int cascade) {
    const std::vector<float> out = patch.renderSum(kL * 44);
    const float* period = out.data() + out.size() - kL;
    const float* before = period - kL;
    for (int n = 0; n < kL; ++n) ASSERT_NEAR(period[n], before[n], 1e-5f * std::fabs(before[n]) + 1e-7f) << n;
    const double rate = patch.engine.getSampleRate();
    const double gain = std::abs(measure::transformAt(period, kL, 0.0, rate));
    ASSERT_GT(gain, 0.01);
    for (int k = 1; k < kL / 2; ++k) {
        const double f = k * rate / kL;
        const double expected = std::pow(lowPassMagnitude(f, cutoff, q, rate), cascade);
        const double measured = std::abs(measure::transformAt(period, kL, f, rate)) / gain;
        EXPECT_NEAR(measured, expected, 0.003 * expected + 2e-5) << "line " << k << " (" << f << " Hz), cutoff " << cutoff
                                                                  << ", " << 2 * cascade << " poles";
    }
}

TEST_P(EngineModulation, ALowPassCutoffCommandShapesTheSpectrumAsTheFilterResponds) {
    lowPassPatch(patch);
    lowPass(patch, 1000.f, 1.3f);
    playRate();
    patch.noteOn(60);
    patch.renderSum(samples(0.3));
    EXPECT_FLOAT_EQ(engine.filter(2).usedCutoff(0), 1000.f);
    expectResponse(patch, 1000.0, 0.707 + 1.3, 1);

    // The cutoff glides over 50 ms to its new value; the spectrum then follows.
    lowPass(patch, 4000.f, 1.3f);
    patch.renderSum(samples(1.0));
    EXPECT_NEAR(engine.filter(2).usedCutoff(0), 4000.f, 0.05f);
    expectResponse(patch, 4000.0, 0.707 + 1.3, 1);
}

TEST_P(EngineModulation, FourPolesSquareTheResponseAndTwoPolesRestoreIt) {
    lowPassPatch(patch);
    lowPass(patch, 2500.f, 0.5f);
    poles(patch, 1);
    playRate();
    patch.noteOn(60);
    patch.renderSum(samples(0.3));
    expectResponse(patch, 2500.0, 0.707 + 0.5, 2);
    poles(patch, 0);
    patch.renderSum(samples(0.1));
    expectResponse(patch, 2500.0, 0.707 + 0.5, 1);
    poles(patch, 1);
    patch.renderSum(samples(0.1));
    expectResponse(patch, 2500.0, 0.707 + 0.5, 2);
}

// ---------------------------------------------------------------- LFOs

// Part 0 plays velocity into VCA 1; an LFO on the VCA's exponential gain makes the
// logarithm of the output follow the LFO's wave. Its rising zero crossings give the rate.
double modulationRate(EnginePatch& patch, double seconds) {
    const float rate = patch.engine.getSampleRate();
    patch.noteOn(60);
    patch.renderSum(static_cast<int>(0.2f * rate));  // the envelope's attack
    std::vector<float> out = patch.renderSum(static_cast<int>(seconds * rate));
    double mean = 0.0;
    for (float& x : out) {
        x = std::log(std::fabs(x) + 1e-20f);
        mean += x;
    }
    mean /= static_cast<double>(out.size());
    for (float& x : out) x = static_cast<float>(x - mean);
    return measure::zeroCrossingFrequency(out.data(), static_cast<int>(out.size()), rate);
}

void partLfo(EnginePatch& patch, int wave, float rate, int tempoSync = 0, float tempo = 120.f, int division = 1) {
    patch.record.part = 0;
    patch.record.subIndex = 0;
    patch.record.lfoWave = wave;
    patch.record.lfoRate = rate;
    patch.record.tempoSync = tempoSync;
    patch.record.tempo = tempo;
    patch.record.tempoDivision = division;
    patch.send(kCmdPartLfo);
}

TEST_P(EngineModulation, APerVoiceLfoModulatesItsDestinationAtTheCommandedRate) {
    patch.basicPatch(kAssignRotate, 1, 1);
    ASSERT_EQ(engine.connect(kSrcVoiceLfo1, kDstVca1Audio + 6, 0), 0);  // VCA 1 level list
    partLfo(patch, kLfoSine, 5.f);
    playRate();
    EXPECT_NEAR(modulationRate(patch, 2.0), 5.0, 0.02);
}

TEST_P(EngineModulation, ATempoSyncedLfoRunsAtTheTemposDivision) {
    patch.basicPatch(kAssignRotate, 1, 1);
    ASSERT_EQ(engine.connect(kSrcVoiceLfo1, kDstVca1Audio + 6, 0), 0);
    partLfo(patch, kLfoTriangle, 0.1f, 1, 120.f, 4);  // 120 BPM, four per beat: 8 Hz
    playRate();
    EXPECT_NEAR(modulationRate(patch, 2.0), 8.0, 0.03);
}

TEST_P(EngineModulation, TheVibratoLfoModulatesTheVcaThroughItsDefaultConnection) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.record.part = 0;
    patch.record.valueA = 1.f;
    patch.send(kCmdVca1Modulation);
    patch.record.lfoRate = 6.f;
    patch.record.lfoWave = kLfoSine;
    patch.send(kCmdVibratoLfo);
    playRate();
    EXPECT_NEAR(modulationRate(patch, 2.0), 6.0, 0.03);

    // Without the vibrato's connection the level stands still (the vibrato swung it by a
    // factor of 5.6 each way).
    engine.disconnect(kDstVca1Audio + 2, -1, 0);
    const std::vector<float> out = patch.renderSum(samples(0.3));
    for (size_t i = samples(0.05); i < out.size(); ++i) ASSERT_NEAR(out[i], out.back(), 1e-3f * out.back()) << i;
}

INSTANTIATE_TEST_SUITE_P(Rates, EngineModulation, ::testing::Values(44100.f, 96000.f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return info.param == 44100.f ? std::string("At44k1") : std::string("RatedTo96k");
                         });

}  // namespace
