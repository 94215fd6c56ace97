#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects_measure.h"
#include "engine/ring_modulator.h"

namespace {

constexpr int kBlock = 44;

// One ring modulator with the engine's sine table, driven block by block.
class Ring {
public:
    explicit Ring(float rate, float initRate = 44100.0f) : sine(measure::engineSineTable()) {
        record.sampleRate = initRate;
        record.blockLength = kBlock;
        record.sineTable = sine.data();
        record.sineSize = fx::kSineSize;
        EXPECT_EQ(0, ring.init(&record));
        if (rate != initRate) ring.setSampleRate(rate);
        this->rate = rate;
    }

    // frequency: the record's word, twice the base frequency.
    void settings(float frequency, float mix, float attackMs = 0.0f, float decayMs = 100.0f, float depth = 0.0f) {
        record.frequency = frequency;
        record.mix = mix;
        record.attackMs = attackMs;
        record.decayMs = decayMs;
        record.depth = depth;
        EXPECT_EQ(0, ring.message(&record, kRingModSettings));
    }
    void gate(bool on) { EXPECT_EQ(0, ring.message(&record, on ? kRingModGateOn : kRingModGateOff)); }

    // Processes whole blocks in place.
    void run(std::vector<float>& signal) {
        for (size_t start = 0; start + kBlock <= signal.size(); start += kBlock)
            ring.process(&signal[start], &signal[start], kBlock);
    }
    std::vector<float> runSilence(int blocks) {
        std::vector<float> signal(blocks * kBlock, 0.0f);
        run(signal);
        return signal;
    }
    std::vector<float> runTone(double frequency, double amplitude, double offset, int samples) {
        std::vector<float> signal(samples);
        for (int n = 0; n < samples; ++n)
            signal[n] = (float)(offset + amplitude * std::sin(2.0 * measure::kPi * frequency * n / rate));
        run(signal);
        return signal;
    }

    std::vector<float> sine;
    RingModulatorRecord record = {};
    RingModulator ring;
    float rate;
};

int wholeBlocks(double seconds, double rate) { return (int)(seconds * rate / kBlock) * kBlock; }

// Dry path of the two rate changes, from the coefficient table: the upsampler is the FIR
// 2 h[i], i = 2..65, on the zero-stuffed signal, the decimator h[l + 1], l = 0..65; output
// sample n is their convolution at half-rate index 2n + 1.
std::vector<double> referenceDryResponse(int length) {
    const double* h = RingModulator::kFir;
    std::vector<double> up(130, 0.0), combined(260, 0.0), result(length, 0.0);
    for (int i = 2; i <= 65; ++i) up[i] = 2.0 * h[i];
    for (int i = 0; i < 130; ++i)
        for (int l = 0; l < 66; ++l) combined[i + l] += up[i] * h[l + 1];
    for (int n = 0; n < length && 2 * n + 1 < 260; ++n) result[n] = combined[2 * n + 1];
    return result;
}

TEST(RingModulator, FirTableIsSymmetricWithUnityGainHalves) {
    const double* h = RingModulator::kFir;
    EXPECT_EQ(0.0, h[0]);
    double sum = 0.0, even = 0.0, odd = 0.0;
    for (int k = 1; k <= 66; ++k) {
        EXPECT_EQ(h[k], h[67 - k]) << k;
        sum += h[k];
    }
    for (int k = 0; k < 32; ++k) {
        even += h[64 - 2 * k];
        odd += h[65 - 2 * k];
    }
    EXPECT_NEAR(1.00632, sum, 1e-5);
    // The two polyphase branches carry half the gain each (x 2 in the upsampler).
    EXPECT_NEAR(0.503566, even, 1e-6);
    EXPECT_NEAR(even, odd, 1e-12);
    EXPECT_DOUBLE_EQ(0.404464895440028, h[33]);
    EXPECT_DOUBLE_EQ(-0.000404385841527682, h[66]);
}

TEST(RingModulator, DryPathIsTheTwoFirStagesWithAFixedDelay) {
    Ring r(44100.0f);
    r.settings(880.0f, 0.0f);
    r.runSilence(4);  // the mix reaches 0 within two blocks
    std::vector<float> response(4400, 0.0f);
    response[0] = 1.0f;
    r.run(response);

    const std::vector<double> expected = referenceDryResponse(80);
    for (int n = 0; n < 80; ++n) ASSERT_NEAR(expected[n], response[n], 2e-7) << n;
    for (size_t n = 80; n < response.size(); ++n) ASSERT_EQ(0.0f, response[n]) << n;

    // Linear phase: symmetric about 32.5 samples, the dry path's delay.
    double sum = 0.0, moment = 0.0;
    for (int n = 0; n <= 65; ++n) {
        EXPECT_NEAR(response[n], response[65 - n], 1e-7) << n;
        sum += response[n];
        moment += n * (double)response[n];
    }
    EXPECT_EQ(0.0f, response[0]);
    EXPECT_NEAR(32.5, moment / sum, 1e-4);
    EXPECT_NEAR(1.0135, sum, 5e-4);  // DC gain, +0.12 dB

    // Flat within +-0.25 dB up to 0.38 of the rate (16.8 kHz at 44.1 kHz), then falling.
    for (double f = 0.0; f <= 0.38 * 44100.0; f += 400.0) {
        const double gain = measure::decibels(std::abs(measure::transformAt(response.data(), 80, f, 44100.0)));
        EXPECT_NEAR(0.0, gain, 0.25) << f << " Hz";
    }
    EXPECT_LT(measure::decibels(std::abs(measure::transformAt(response.data(), 80, 0.45 * 44100.0, 44100.0))), -15.0);
}

TEST(RingModulator, MixSetsDryAndWetGains) {
    // A 1 kHz tone against a 300 Hz carrier: mix 0 passes the tone, mix 1 leaves only the
    // sidebands at 700 and 1300 Hz, mix 0.5 gives a quarter of each (wet mix^2, dry (1 - mix)^2).
    struct Case {
        float mix;
        double tone;
        double sideband;
    };
    const Case cases[] = {{0.0f, 1.0, 0.0}, {1.0f, 0.0, 0.5}, {0.5f, 0.25, 0.125}};
    for (const Case& c : cases) {
        Ring r(44100.0f);
        r.settings(600.0f, c.mix);
        r.runSilence(4);
        std::vector<float> out = r.runTone(1000.0, 1.0, 0.0, 44100);
        const float* steady = out.data() + 4410;
        const int n = 39600;
        EXPECT_NEAR(c.tone, measure::toneAmplitude(steady, n, 1000.0, 44100.0), 0.02 * c.tone + 1e-4) << c.mix;
        for (double f : {700.0, 1300.0})
            EXPECT_NEAR(c.sideband, measure::toneAmplitude(steady, n, f, 44100.0), 0.02 * c.sideband + 1e-4)
                << c.mix << " at " << f;
        EXPECT_LT(measure::toneAmplitude(steady, n, 300.0, 44100.0), 1e-4);
    }
}

TEST(RingModulator, OversamplingKeepsTheProductFreeOfAliases) {
    // 15 kHz times a 12 kHz carrier: 3 kHz stays, 27 kHz lies above the output's Nyquist and
    // must not fold back to 17.1 kHz.
    Ring r(44100.0f);
    r.settings(30000.0f, 1.0f);  // base 15 kHz, above the 12 kHz limit
    r.runSilence(4);
    std::vector<float> out = r.runTone(15000.0, 1.0, 0.0, 44100);
    const float* steady = out.data() + 4410;
    const int n = 39600;
    const double wanted = measure::toneAmplitude(steady, n, 3000.0, 44100.0);
    EXPECT_NEAR(0.5, wanted, 0.01);
    EXPECT_LT(measure::decibels(measure::toneAmplitude(steady, n, 17100.0, 44100.0) / wanted), -70.0);
    EXPECT_LT(measure::decibels(measure::toneAmplitude(steady, n, 15000.0, 44100.0) / wanted), -70.0);
    EXPECT_LT(measure::decibels(measure::toneAmplitude(steady, n, 12000.0, 44100.0) / wanted), -70.0);
}

TEST(RingModulator, CarrierFrequencyIsMeasuredTheSameAtEveryRate) {
    // A constant input leaves the carrier itself at the output (mix 1, no sweep). The rate
    // change is mended: the carrier increment follows the new rate.
    struct Case {
        float rate;
        float initRate;
        float frequencyWord;
        double expected;
    };
    const Case cases[] = {
        {44100.0f, 44100.0f, 880.0f, 440.0},     {96000.0f, 96000.0f, 880.0f, 440.0},
        {96000.0f, 44100.0f, 880.0f, 440.0},     {48000.0f, 44100.0f, 10000.0f, 5000.0},
        {44100.0f, 44100.0f, 30000.0f, 12000.0}, {96000.0f, 44100.0f, 1e9f, 12000.0},
    };
    for (const Case& c : cases) {
        Ring r(c.rate, c.initRate);
        r.settings(c.frequencyWord, 1.0f);
        std::vector<float> out = r.runTone(0.0, 0.0, 1.0, wholeBlocks(1.0, c.rate));
        EXPECT_NEAR(c.expected, measure::zeroCrossingFrequency(out.data() + 200, (int)out.size() - 200, c.rate),
                    c.expected * 1e-4 + 0.3)
            << c.rate << " Hz after " << c.initRate;
        EXPECT_FLOAT_EQ((float)c.expected, r.ring.getCarrierFrequency());
    }
}

TEST(RingModulator, GateSweepsTheCarrierUpAndReleaseBringsItBack) {
    // Base 1000 Hz: the range factor is 16 (the first power of two above 12 kHz); depth 0.5
    // at full envelope gives 1000 x 16^0.5 = 4000 Hz.
    for (float rate : {44100.0f, 96000.0f}) {
        Ring r(rate);
        r.settings(2000.0f, 1.0f, 0.0f, 1e6f, 0.5f);
        r.gate(true);
        std::vector<float> swept = r.runTone(0.0, 0.0, 1.0, wholeBlocks(0.5, rate));
        EXPECT_NEAR(4000.0, measure::zeroCrossingFrequency(swept.data() + 200, (int)swept.size() - 200, rate), 1.0)
            << rate;
        r.gate(false);
        r.runTone(0.0, 0.0, 1.0, wholeBlocks(0.2, rate));  // 10 ms release: gone after about 93 ms
        EXPECT_EQ(0.0f, r.ring.getEnvelope());
        std::vector<float> base = r.runTone(0.0, 0.0, 1.0, wholeBlocks(0.5, rate));
        EXPECT_NEAR(1000.0, measure::zeroCrossingFrequency(base.data(), (int)base.size(), rate), 0.5) << rate;
    }
}

TEST(RingModulator, SweepEnvelopeTimes) {
    // Attack below 0.01 ms: 1 in the first gated block, then the decay from 1.
    {
        Ring r(44100.0f);
        r.settings(2000.0f, 1.0f, 0.005f, 20.0f, 1.0f);
        r.gate(true);
        r.runSilence(1);
        EXPECT_EQ(1.0f, r.ring.getEnvelope());
        r.runSilence(1);
        const double decay = 1.0 - std::exp(-1.0 / (20.0 * 44.1));
        EXPECT_NEAR(1.0 - 1.1 * decay, r.ring.getEnvelope(), 1e-6);
        // A second gate-on while gated does not restart the attack.
        r.gate(true);
        r.runSilence(1);
        EXPECT_LT(r.ring.getEnvelope(), 1.0f - 2.0f * 1.1f * (float)decay + 1e-5f);
        // The decay ends at 0.01.
        r.settings(2000.0f, 1.0f, 0.005f, 0.5f, 1.0f);
        r.runSilence(400);
        EXPECT_EQ(0.01f, r.ring.getEnvelope());
    }
    // Attack and decay run once a block with a per-sample coefficient, so their course in
    // time is the same at every rate; the coefficients follow a rate change (mended).
    {
        Ring slow(44100.0f), fast(44100.0f);
        for (Ring* r : {&slow, &fast}) {
            r->settings(2000.0f, 1.0f, 100.0f, 100.0f, 1.0f);
            r->gate(true);
        }
        fast.ring.setSampleRate(96000.0f);
        slow.runSilence(1002);  // 1.0 s at 44.1 kHz
        fast.runSilence(2182);  // 1.0 s at 96 kHz
        EXPECT_NEAR(1.1 * (1.0 - std::exp(-1002.0 / 4410.0)), slow.ring.getEnvelope(), 1e-4);
        EXPECT_NEAR(slow.ring.getEnvelope(), fast.ring.getEnvelope(), 2e-4);
    }
    // Release: a 10 ms time constant at both rates.
    for (float rate : {44100.0f, 96000.0f}) {
        Ring r(rate);
        r.settings(2000.0f, 1.0f, 0.0f, 1e6f, 1.0f);
        r.gate(true);
        r.runSilence(1);
        r.gate(false);
        const int blocks = rate == 44100.0f ? 10 : 22;
        r.runSilence(blocks);
        EXPECT_NEAR(std::exp(-blocks * kBlock / (rate * 0.01)), r.ring.getEnvelope(), 1e-4) << rate;
    }
}

TEST(RingModulator, BadSettingsAreContained) {
    // Base frequency zero, negative or NaN: the lowest base frequency, and the range search ends.
    for (float word : {0.0f, -10.0f, NAN, -INFINITY}) {
        Ring r(44100.0f);
        r.settings(word, 1.0f);
        EXPECT_EQ(RingModulator::kMinBaseFrequency, r.ring.getBaseFrequency()) << word;
        std::vector<float> out = r.runTone(0.0, 0.0, 1.0, wholeBlocks(1.0, 44100.0));
        // A 0.025 Hz carrier after one second: sin(2 pi x 0.025) times the dry gain.
        EXPECT_NEAR(1.0135 * std::sin(2.0 * measure::kPi * 0.025), out.back(), 2e-3) << word;
    }
    // NaN times, depth and mix leave finite output.
    Ring r(44100.0f);
    r.settings(880.0f, NAN, NAN, NAN, NAN);
    r.gate(true);
    std::vector<float> out = r.runTone(300.0, 0.8, 0.0, 4400);
    for (float s : out) ASSERT_TRUE(std::isfinite(s));
    EXPECT_TRUE(std::isfinite(r.ring.getCarrierFrequency()));
    r.settings(880.0f, 1.0f, 0.0f, 100.0f, 7.0f);  // depth beyond 1 is 1
    r.runSilence(2);
    EXPECT_LE(r.ring.getCarrierFrequency(), RingModulator::kMaxCarrier);
}

TEST(RingModulator, ClearAndBadSamplesLeaveNoTail) {
    Ring r(44100.0f);
    r.settings(880.0f, 0.3f);
    r.runTone(1234.0, 0.9, 0.1, 4400);
    r.ring.clear();
    for (float s : r.runSilence(2)) ASSERT_EQ(0.0f, s);

    std::vector<float> bad(kBlock, 0.25f);
    bad[3] = NAN;
    bad[9] = INFINITY;
    r.run(bad);
    for (float s : bad) ASSERT_TRUE(std::isfinite(s));
    std::vector<float> after = r.runSilence(4);
    for (size_t n = 70; n < after.size(); ++n) ASSERT_EQ(0.0f, after[n]);
}

TEST(RingModulator, FourOutputsAtATimeMatchTheOneSampleReferenceToTheBit) {
    // Blocks shorter than four, not a multiple of four and longer than one stretch; a
    // sweeping carrier, a moving mix, a bad sample in the middle.
    Ring lanes(44100.0f), reference(44100.0f);
    for (Ring* r : {&lanes, &reference}) {
        r->settings(1300.0f, 0.6f, 30.0f, 80.0f, 0.7f);
        r->gate(true);
    }
    const int lengths[] = {44, 7, 3, 64, 150, 1, 44, 90};
    unsigned seed = 12345;
    int start = 0;
    float peak = 0.0f;
    for (int round = 0; round < 40; ++round) {
        const int count = lengths[round % 8];
        std::vector<float> a(count), b;
        for (int n = 0; n < count; ++n) {
            seed = seed * 1664525u + 1013904223u;
            a[n] = (float)(0.8 * std::sin(0.05 * (start + n))) + (float)(seed >> 8) * 1e-8f;
        }
        if (round == 17) a[count / 2] = NAN;
        // Products that fall below the flush threshold.
        if (round >= 25 && round < 28)
            for (float& v : a) v *= 3e-36f;
        if (round == 20) {
            for (Ring* r : {&lanes, &reference}) r->gate(false);
        }
        b = a;
        lanes.ring.process(a.data(), a.data(), count);
        reference.ring.processReference(b.data(), b.data(), count);
        for (int n = 0; n < count; ++n)
            ASSERT_EQ(0, std::memcmp(&a[n], &b[n], sizeof(float)))
                << "round " << round << " sample " << n << ": " << a[n] << " against " << b[n];
        for (float v : a) peak = std::max(peak, std::fabs(v));
        start += count;
    }
    EXPECT_GT(peak, 0.1f);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_EQ(lanes.ring.getCarrierFrequency(), reference.ring.getCarrierFrequency());
}

TEST(RingModulator, InitNeedsTheSineTableAndFreeIsSafeTwice) {
    std::vector<float> sine = measure::engineSineTable();
    RingModulatorRecord record = {};
    record.sampleRate = 44100.0f;
    record.blockLength = kBlock;
    RingModulator ring;
    EXPECT_EQ(1, ring.init(&record));  // no table
    EXPECT_EQ(1, ring.init(nullptr));
    record.sineTable = sine.data();
    record.sineSize = fx::kSineSize;
    record.blockLength = 0;
    EXPECT_EQ(1, ring.init(&record));
    record.blockLength = kBlock;
    EXPECT_EQ(0, ring.init(&record));
    ring.free();
    ring.free();
    float block[kBlock] = {1.0f};
    ring.process(block, block, kBlock);  // after free: nothing happens
    EXPECT_EQ(1.0f, block[0]);
}

}  // namespace
