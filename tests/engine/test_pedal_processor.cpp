#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "effects_measure.h"
#include "engine/pedal_processor.h"

namespace {

constexpr int kBlock = 44;

// Runs blocks of silence through one slot so that the wah coefficients reach their targets.
void settle(PedalProcessor& pedal, int mode, float position, int blocks = 4) {
    float block[kBlock] = {};
    for (int b = 0; b < blocks; ++b) pedal.process(mode, 0, block, block, kBlock, position);
}

// The impulse response of the wah in its current position, block by block.
std::vector<float> wahImpulseResponse(PedalProcessor& pedal, float position, int slot = 0, int length = 8800) {
    std::vector<float> response(length, 0.0f);
    response[0] = 1.0f;
    for (int start = 0; start + kBlock <= length; start += kBlock)
        pedal.process(kPedalWah, slot, &response[start], &response[start], kBlock, position);
    return response;
}

struct WahPeak {
    double frequency;
    double gainDb;
};

WahPeak measurePeak(const std::vector<float>& response, double rate) {
    auto magnitude = [&](double f) {
        return std::abs(measure::transformAt(response.data(), (int)response.size(), f, rate));
    };
    const double f = measure::peakOf(magnitude, 150.0, 3000.0);
    return {f, measure::decibels(magnitude(f))};
}

TEST(PedalProcessor, VolumeCurveEnds) {
    // Pedal 0 leaves 0.015845 (about -36 dB); pedal 1 passes the samples unchanged.
    struct Case {
        float pedal;
        float ratio;
    };
    const Case cases[] = {{0.0f, 0.015845f}, {0.5f, 0.5f * 0.984151f + 0.015845f}, {1.0f, 1.0f}};
    for (const Case& c : cases) {
        PedalProcessor pedal;
        pedal.init(44100.0f);
        settle(pedal, kPedalVolume, c.pedal);  // the volume starts at 1 and follows within a block
        float in[kBlock], out[kBlock];
        for (int n = 0; n < kBlock; ++n) in[n] = 0.37f * std::sin(0.3f * n) + 0.1f;
        pedal.process(kPedalVolume, 5, in, out, kBlock, c.pedal);
        for (int n = 0; n < kBlock; ++n) ASSERT_FLOAT_EQ(in[n] * c.ratio, out[n]) << "pedal " << c.pedal;
        if (c.pedal == 1.0f) {
            for (int n = 0; n < kBlock; ++n) ASSERT_EQ(in[n], out[n]);
        }
    }
}

TEST(PedalProcessor, VolumeFollowsThePedalWithinAFewSamples) {
    PedalProcessor pedal;
    pedal.init(44100.0f);
    float block[kBlock];
    for (float& s : block) s = 1.0f;
    pedal.process(kPedalVolume, 0, block, block, kBlock, 0.0f);
    EXPECT_LT(block[0], 0.02f);
    EXPECT_NEAR(0.015845f, block[kBlock - 1], 1e-6f);
    EXPECT_EQ(0.0f, pedal.getVolume());  // below 1e-8 after the block
}

TEST(PedalProcessor, WahIsAFlatGainUntilThePedalFirstMoves) {
    PedalProcessor pedal;
    pedal.init(44100.0f);
    std::vector<float> response = wahImpulseResponse(pedal, 0.0f, 3, 440);
    EXPECT_FLOAT_EQ(0.063f, response[0]);
    for (size_t n = 1; n < response.size(); ++n) ASSERT_EQ(0.0f, response[n]);
}

TEST(PedalProcessor, WahCentreFrequencyAndBoostAreMeasured) {
    // fc = 250 x 8^p Hz with 30 + 6p dB of boost; the output gain 0.063 (-24 dB) puts the peak
    // 6 to 12 dB above the dry level. The same at both rates; the rate change is mended.
    struct Case {
        float rate;
        bool viaRateChange;
        float position;
    };
    const Case cases[] = {
        {44100.0f, false, 0.5f}, {44100.0f, false, 1.0f}, {44100.0f, false, 0.2f},
        {96000.0f, false, 0.5f}, {96000.0f, true, 1.0f},  {48000.0f, true, 0.5f},
    };
    for (const Case& c : cases) {
        PedalProcessor pedal;
        pedal.init(c.viaRateChange ? 44100.0f : c.rate);
        if (c.viaRateChange) {
            settle(pedal, kPedalWah, c.position);
            pedal.setSampleRate(c.rate);
        }
        settle(pedal, kPedalWah, c.position);
        const WahPeak peak = measurePeak(wahImpulseResponse(pedal, c.position), c.rate);
        const double p = c.position;
        EXPECT_NEAR(250.0 * std::pow(8.0, p), peak.frequency, 0.5) << c.rate << " Hz, pedal " << p;
        EXPECT_NEAR(30.0 + 6.0 * p + measure::decibels(0.063), peak.gainDb, 0.05) << c.rate << " Hz, pedal " << p;
    }
}

TEST(PedalProcessor, WahQualityFactor) {
    // Q = p + 2: at pedal 0.5 the band between the points 3 dB below the peak gain is about
    // fc / Q wide (the boost is large, so the peak is nearly the whole response).
    PedalProcessor pedal;
    pedal.init(44100.0f);
    settle(pedal, kPedalWah, 0.5f);
    std::vector<float> response = wahImpulseResponse(pedal, 0.5f);
    auto magnitude = [&](double f) {
        return std::abs(measure::transformAt(response.data(), (int)response.size(), f, 44100.0));
    };
    const double fc = 250.0 * std::sqrt(8.0);
    const double half = magnitude(fc) / std::sqrt(2.0);
    auto crossing = [&](double low, double high) {
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (low + high);
            ((magnitude(mid) > half) == (magnitude(low) > half) ? low : high) = mid;
        }
        return 0.5 * (low + high);
    };
    const double bandwidth = crossing(fc, 4 * fc) - crossing(fc / 4, fc);
    EXPECT_NEAR(2.5, fc / bandwidth, 0.1);
}

TEST(PedalProcessor, PedalBackAtZeroParksTheWahOnceSettled) {
    // Settled at 0.5, a pedal of exactly 0 leaves the wah at 707 Hz; any non-zero value moves it.
    PedalProcessor pedal;
    pedal.init(44100.0f);
    settle(pedal, kPedalWah, 0.5f);
    ASSERT_TRUE(pedal.isSettled());
    settle(pedal, kPedalWah, 0.0f);
    EXPECT_NEAR(707.1, measurePeak(wahImpulseResponse(pedal, 0.0f), 44100.0).frequency, 0.5);
    settle(pedal, kPedalWah, 0.01f);
    EXPECT_NEAR(250.0 * std::pow(8.0, 0.01), measurePeak(wahImpulseResponse(pedal, 0.01f), 44100.0).frequency, 0.5);

    // While the coefficients still move, pedal 0 computes its own targets: 250 Hz.
    PedalProcessor moving;
    moving.init(44100.0f);
    float block[kBlock] = {};
    moving.process(kPedalWah, 0, block, block, kBlock, 0.5f);
    moving.process(kPedalWah, 0, block, block, kBlock, 0.0f);
    settle(moving, kPedalWah, 0.0f);
    EXPECT_NEAR(250.0, measurePeak(wahImpulseResponse(moving, 0.0f), 44100.0).frequency, 0.5);
}

TEST(PedalProcessor, VolumeThenWahFiltersTheScaledSignal) {
    PedalProcessor both, volume, wah;
    for (PedalProcessor* p : {&both, &volume, &wah}) p->init(44100.0f);
    const float position = 0.3f;
    for (int b = 0; b < 40; ++b) {
        float in[kBlock], expected[kBlock], out[kBlock];
        for (int n = 0; n < kBlock; ++n) in[n] = std::sin(0.07f * (b * kBlock + n)) * (b == 0 && n == 0 ? 3.0f : 1.0f);
        both.process(kPedalVolumeWah, 2, in, out, kBlock, position);
        volume.process(kPedalVolume, 2, in, expected, kBlock, position);
        wah.process(kPedalWah, 2, expected, expected, kBlock, position);
        for (int n = 0; n < kBlock; ++n) ASSERT_NEAR(expected[n], out[n], 1e-6f) << b << ":" << n;
    }
}

TEST(PedalProcessor, SlotsKeepTheirOwnHistoriesUntilCleared) {
    PedalProcessor pedal;
    pedal.init(44100.0f);
    settle(pedal, kPedalWah, 0.5f);
    float loud[kBlock], silent[kBlock] = {};
    for (float& s : loud) s = 1.0f;
    pedal.process(kPedalWah, 7, loud, loud, kBlock, 0.5f);
    pedal.process(kPedalWah, 8, silent, silent, kBlock, 0.5f);
    for (float s : silent) ASSERT_EQ(0.0f, s);  // slot 8 hears nothing of slot 7
    float tail[kBlock] = {};
    pedal.process(kPedalWah, 7, tail, tail, kBlock, 0.5f);
    EXPECT_NE(0.0f, tail[0]);
    pedal.clear();
    float cleared[kBlock] = {};
    pedal.process(kPedalWah, 7, cleared, cleared, kBlock, 0.5f);
    for (float s : cleared) ASSERT_EQ(0.0f, s);
}

// Slots through processSlots leave exactly what process calls one slot after the other
// leave, in groups of every size the lanes split differently (four, a pair, one left), while
// the coefficients move and once they stand still, with inputs that need flushing as well.
TEST(PedalProcessor, AGroupGivesWhatCallsOneByOneGive) {
    const struct {
        const char* name;
        int mode;
    } modes[] = {{"wah", kPedalWah}, {"volume and wah", kPedalVolumeWah}, {"volume", kPedalVolume}};
    const float positions[] = {0.f, 0.3f, 0.3f, 0.3f, 0.3f, 0.9f, 0.9f, 0.9f, 0.9f, 0.f, 0.f, 0.f, 0.5f, 0.5f};
    const int slotNumbers[] = {5, 20, 0, 31, 12, 7, 26, 3, 9};
    for (const auto& m : modes)
        for (int size : {1, 2, 3, 4, 5, 6, 7, 9}) {
            SCOPED_TRACE(m.name);
            SCOPED_TRACE(size);
            PedalProcessor grouped, single;
            float peak = 0.f;
            for (int b = 0; b < 14; ++b) {
                SCOPED_TRACE(b);
                std::vector<std::vector<float>> together(size, std::vector<float>(kBlock)), alone;
                for (int k = 0; k < size; ++k)
                    for (int n = 0; n < kBlock; ++n)
                        together[k][n] = (0.3f + 0.1f * k) * std::sin((0.37f - 0.03f * k) * (b * kBlock + n)) +
                                         0.05f * k;
                // Flushed to 0 on the way in.
                together[0][3] = std::numeric_limits<float>::quiet_NaN();
                together[size - 1][7] = 1e-39f;
                together[size / 2][9] = -std::numeric_limits<float>::infinity();
                alone = together;
                float* blocks[9];
                for (int k = 0; k < size; ++k) blocks[k] = together[k].data();
                grouped.processSlots(m.mode, slotNumbers, blocks, size, kBlock, positions[b]);
                for (int k = 0; k < size; ++k)
                    single.process(m.mode, slotNumbers[k], alone[k].data(), alone[k].data(), kBlock, positions[b]);
                for (int k = 0; k < size; ++k)
                    for (int n = 0; n < kBlock; ++n) {
                        if (std::isfinite(together[k][n])) peak = std::max(peak, std::fabs(together[k][n]));
                        ASSERT_EQ(std::memcmp(&together[k][n], &alone[k][n], sizeof(float)), 0)
                            << "slot " << k << " sample " << n << ": " << together[k][n] << " against "
                            << alone[k][n];
                    }
            }
            EXPECT_GT(peak, 0.01f);
            EXPECT_EQ(grouped.isSettled(), single.isSettled());
            EXPECT_EQ(grouped.getVolume(), single.getVolume());
        }
}

// A slot named twice in a group goes through the pedal twice, on its one history, as two
// calls take it.
TEST(PedalProcessor, ASlotTwiceInAGroupRunsTwiceInTurn) {
    PedalProcessor grouped, single;
    settle(grouped, kPedalWah, 0.6f);
    settle(single, kPedalWah, 0.6f);
    std::vector<float> a(kBlock), b(kBlock);
    for (int n = 0; n < kBlock; ++n) a[n] = b[n] = std::sin(0.2f * n);
    std::vector<float> c = a, d = b;
    const int slots[] = {4, 4};
    float* blocks[] = {a.data(), b.data()};
    grouped.processSlots(kPedalWah, slots, blocks, 2, kBlock, 0.6f);
    single.process(kPedalWah, 4, c.data(), c.data(), kBlock, 0.6f);
    single.process(kPedalWah, 4, d.data(), d.data(), kBlock, 0.6f);
    EXPECT_EQ(c, a);
    EXPECT_EQ(d, b);
    EXPECT_NE(a, b);
}

TEST(PedalProcessor, BadPedalSlotAndSamplesAreContained) {
    PedalProcessor pedal;
    pedal.init(44100.0f);
    // A pedal beyond 1 is 1, NaN is 0; slot numbers outside 0..31 are clamped.
    float block[kBlock];
    for (float& s : block) s = 0.5f;
    pedal.process(kPedalVolume, 99, block, block, kBlock, 7.0f);
    for (float s : block) ASSERT_EQ(0.5f, s);
    settle(pedal, kPedalVolume, NAN);
    pedal.process(kPedalVolume, -3, block, block, kBlock, NAN);
    for (float s : block) ASSERT_FLOAT_EQ(0.5f * 0.015845f, s);

    // A NaN sample passes out once but stays out of the wah history.
    settle(pedal, kPedalWah, 0.4f);
    float bad[kBlock] = {};
    bad[0] = NAN;
    bad[1] = INFINITY;
    pedal.process(kPedalWah, 31, bad, bad, kBlock, 0.4f);
    float after[kBlock] = {};
    for (int b = 0; b < 3; ++b) {
        pedal.process(kPedalWah, 31, after, after, kBlock, 0.4f);
        for (float s : after) ASSERT_EQ(0.0f, s);
    }
}

}  // namespace
