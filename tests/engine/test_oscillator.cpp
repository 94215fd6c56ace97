#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/oscillator.h"
#include "engine/step_tables.h"

namespace {

constexpr int kL = 44;
constexpr double kPi = 3.14159265358979323846;

enum Wave { kSaw, kPulse, kTriangle, kSine };

// One oscillator driven through its interface, the way the engine drives it: initialised at
// 44.1 kHz, re-rated, a voice message every block.
struct Rig {
    Oscillator osc;
    OscillatorRecord rec{};
    float rate;

    explicit Rig(float sampleRate = 44100.0f, int number = 1) : rate(sampleRate) {
        rec.voiceCount = 32;
        EXPECT_EQ(osc.init(&rec, number, 44100.0f), 0);
        osc.setSampleRate(sampleRate);
        // No drift: pitches are exact.
        rec.driftSmoothing = 0.01f;
        rec.driftDepth = 0.0f;
        osc.message(&rec, kOscMsgDrift);
    }
    void switches(int slot, bool saw, bool pulse, bool triangle) {
        rec.slot = slot;
        rec.saw = saw;
        rec.pulse = pulse;
        rec.triangle = triangle;
        osc.message(&rec, kOscMsgSwitches);
    }
    void voice(int slot, float frequency, float width = 0.5f, int state = 16, int sync = 0) {
        rec.slot = slot;
        rec.frequency = frequency;
        rec.width = width;
        rec.state = state;
        rec.syncMode = sync;
        osc.message(&rec, kOscMsgVoice);
    }
    void wave(int slot, Wave w) { switches(slot, w == kSaw, w == kPulse, w == kTriangle); }
};

// A value port as the engine's own ports are: one value in the first sample of the block.
struct ValuePort {
    std::vector<float> buffer = std::vector<float>(9 + kL, 0.0f);
    SignalPort port{1, kPortSamples, kL, 9, nullptr, nullptr, 0.0f, 0.0f, nullptr};
    explicit ValuePort(float v = 0.0f) {
        port.samples = buffer.data() + 9;
        set(v);
    }
    void set(float v) { port.samples[0] = v; }
};

std::vector<float> render(Rig& rig, SignalPort* out, int blocks, int slot = 0, float frequency = 0.0f) {
    std::vector<float> y;
    y.reserve(size_t(blocks) * kL);
    for (int b = 0; b < blocks; ++b) {
        if (frequency > 0.0f) rig.voice(slot, frequency);
        rig.osc.process();
        y.insert(y.end(), out->samples, out->samples + kL);
    }
    return y;
}

// Frequency from the rising zero crossings after `skip` samples; a crossing counts once the
// signal has been clearly negative since the last one.
double measuredFrequency(const std::vector<float>& y, double rate, size_t skip) {
    double first = -1, last = -1;
    int count = 0;
    bool armed = false;
    for (size_t i = skip; i + 1 < y.size(); ++i) {
        if (y[i] < -0.05f) armed = true;
        if (armed && y[i] < 0.0f && y[i + 1] >= 0.0f) {
            armed = false;
            double at = i + y[i] / (y[i] - y[i + 1]);
            if (first < 0) first = at;
            last = at;
            ++count;
        }
    }
    return count > 1 ? rate * (count - 1) / (last - first) : 0.0;
}

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w(std::cos(-2 * kPi / len), std::sin(-2 * kPi / len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> u(1.0);
            for (size_t k = 0; k < len / 2; ++k) {
                std::complex<double> x = a[i + k], v = a[i + k + len / 2] * u;
                a[i + k] = x + v;
                a[i + k + len / 2] = x - v;
                u *= w;
            }
        }
    }
}

// Share of the signal's power (in dB) that lies away from the harmonics of f0.
double aliasRatioDb(const std::vector<float>& y, double f0, double rate) {
    const size_t n = 16384;
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        double t = 2 * kPi * i / (n - 1);
        double window = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
        a[i] = y[y.size() - n + i] * window;
    }
    fft(a);
    double harmonic = 0, alias = 0;
    const double binHz = rate / n;
    for (size_t k = 8; k < n / 2; ++k) {
        double f = k * binHz;
        double nearest = std::round(f / f0) * f0;
        double power = std::norm(a[k]);
        if (std::fabs(f - nearest) <= 6 * binHz) harmonic += power;
        else alias += power;
    }
    return 10 * std::log10(alias / harmonic);
}

}  // namespace

// --- Step tables ---------------------------------------------------------------------------

struct TellingCase {
    steps::TableId id;
    const char* name;
    double crossing, peak, peakAt, minimum, last;
};

TEST(StepTables, MatchTheirTellingValues) {
    const TellingCase cases[] = {
        {steps::kA44, "A44", 16.52, 1.01213, 19.82, -0.04717, 1.00156},
        {steps::kB44, "B44", 16.27, 1.24942, 17.46, -0.07742, 1.00175},
        {steps::kA48, "A48", 16.54, 1.02448, 19.54, -0.04139, 1.01551},
        {steps::kB48, "B48", 16.31, 1.27216, 17.47, -0.06242, 1.01485},
        {steps::kA96, "A96", 8.95, 1.01418, 15.95, -0.02541, 1.01188},
        {steps::kB96, "B96", 8.62, 1.24875, 10.94, -0.03924, 1.01139},
    };
    const double rates[] = {44100, 48000, 96000};
    for (const TellingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const StepTableSet& set = stepTablesForRate(rates[c.id / 2]);
        const float* table = c.id % 2 ? set.saw : set.pulse;
        steps::Telling t = steps::measure(table, set.length, set.ticksPerSample);
        EXPECT_NEAR(t.crossing, c.crossing, 0.01);
        EXPECT_NEAR(t.peak, c.peak, 0.0005);
        EXPECT_NEAR(t.peakAt, c.peakAt, 0.03);
        EXPECT_NEAR(t.minimum, c.minimum, 0.0005);
        EXPECT_NEAR(t.last, c.last, 0.0002);
        EXPECT_NEAR(table[0], 0.0, 1e-6);
    }
}

TEST(StepTables, WholeSamplePointsOf44kHz) {
    const double a[32] = {0, -0.0004, -0.0001, 0.0002, -0.0004, 0.001, -0.0014, 0.0015, -0.0014, 0.0004, 0.0016,
                          -0.0046, 0.009, -0.0152, 0.0237, -0.0413, 0.1697, 0.7857, 0.9753, 0.9813, 1.0106, 0.9925,
                          1.0072, 0.9975, 1.003, 1.0009, 1.001, 1.0019, 1.0006, 1.0016, 1.001, 1.0015};
    const double b[32] = {0, -0.0006, 0, 0.0005, -0.0007, 0.0016, -0.0023, 0.0024, -0.002, 0.0002, 0.0035,
                          -0.0088, 0.0162, -0.0262, 0.0393, -0.0651, 0.2514, 1.1262, 1.1428, 0.9877, 1.0295, 0.9841,
                          1.0132, 0.9945, 1.004, 1.0012, 1.0002, 1.003, 0.9998, 1.0021, 1.0007, 1.0016};
    const StepTableSet& set = stepTablesForRate(44100);
    for (int n = 0; n < 32; ++n) {
        EXPECT_NEAR(set.pulse[n * 512], a[n], 5e-5) << "A44 at " << n;
        EXPECT_NEAR(set.saw[n * 512], b[n], 5e-5) << "B44 at " << n;
    }
}

TEST(StepTables, GeometryFollowsTheSampleRate) {
    struct { double rate; int ticks, length, samples; } cases[] = {
        {22050, 512, 16384, 32}, {44100, 512, 16384, 32}, {44100.5, 1024, 34950, 34},
        {48000, 1024, 34950, 34}, {48001, 2048, 40400, 19}, {96000, 2048, 40400, 19}, {192000, 2048, 40400, 19},
    };
    for (const auto& c : cases) {
        const StepTableSet& set = stepTablesForRate(c.rate);
        EXPECT_EQ(set.ticksPerSample, c.ticks) << c.rate;
        EXPECT_EQ(set.length, c.length) << c.rate;
        EXPECT_EQ(set.stepSamples, c.samples) << c.rate;
    }
}

// --- Timing and pitch --------------------------------------------------------------------

TEST(Oscillator, PeriodInTicksAndStepSpan) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    ASSERT_NE(mix, nullptr);
    rig.wave(0, kSaw);
    rig.voice(0, 1000.0f);
    render(rig, mix, 4);
    EXPECT_EQ(rig.osc.periodTicks(0), 22579);  // nearest integer to 512 x 44100 / 1000
    EXPECT_EQ(rig.osc.ticksPerSample(), 512);
    EXPECT_EQ(rig.osc.stepSamples(), 32);
    EXPECT_EQ(rig.osc.getBlockLength(), 44);
    EXPECT_EQ(rig.osc.getHistoryLength(), 9);
    EXPECT_EQ(mix->blockLength, 44);
    EXPECT_EQ(mix->historyLength, 9);

    Rig fast(96000.0f);
    fast.osc.takeOutput(kOscOutMix, 0);
    fast.wave(0, kSaw);
    fast.voice(0, 1000.0f);
    fast.osc.process();
    EXPECT_EQ(fast.osc.ticksPerSample(), 2048);
    EXPECT_EQ(fast.osc.stepSamples(), 19);
    EXPECT_EQ(fast.osc.periodTicks(0), 196608);  // 2048 x 96000 / 1000
    EXPECT_EQ(fast.osc.getHistoryLength(), 9);    // kept from the initialisation rate
}

TEST(Oscillator, PitchFromZeroCrossings) {
    const float rates[] = {44100.0f, 48000.0f, 96000.0f};
    const float notes[] = {110.0f, 440.0f, 1318.51f, 3520.0f};
    const Wave waves[] = {kSaw, kPulse, kTriangle, kSine};
    const char* names[] = {"saw", "pulse", "triangle", "sine"};
    for (float rate : rates)
        for (float note : notes)
            for (Wave w : waves) {
                SCOPED_TRACE(::testing::Message() << names[w] << " " << note << " Hz at " << rate);
                Rig rig(rate);
                SignalPort* out = rig.osc.takeOutput(w == kSine ? kOscOutSine : kOscOutMix, 0);
                rig.wave(0, w == kSine ? kSaw : w);
                rig.voice(0, note);
                std::vector<float> y = render(rig, out, int(rate * 0.5f) / kL);
                double f = measuredFrequency(y, rate, size_t(rate * 0.1f));
                EXPECT_NEAR(f, note, note * 2e-4);
            }
}

// Sawtooths alone in their outputs are finished several slots at a time: each slot must
// still play its own pitch, however many sound beside it.
TEST(Oscillator, ManySawtoothsEachPlayTheirOwnPitch) {
    const int slots[] = {0, 1, 2, 5, 6, 9, 31};
    const float notes[] = {110.0f, 164.81f, 220.0f, 293.66f, 440.0f, 587.33f, 880.0f};
    for (int sounding = 1; sounding <= 7; sounding += 2) {
        SCOPED_TRACE(::testing::Message() << sounding << " slots");
        Rig rig;
        std::vector<SignalPort*> outs;
        for (int i = 0; i < sounding; ++i) {
            outs.push_back(rig.osc.takeOutput(kOscOutMix, slots[i]));
            rig.wave(slots[i], kSaw);
            rig.voice(slots[i], notes[i]);
        }
        std::vector<std::vector<float>> y(sounding);
        for (int b = 0; b < 22050 / kL; ++b) {
            rig.osc.process();
            for (int i = 0; i < sounding; ++i) y[i].insert(y[i].end(), outs[i]->samples, outs[i]->samples + kL);
        }
        for (int i = 0; i < sounding; ++i)
            EXPECT_NEAR(measuredFrequency(y[i], 44100.0, 4410), notes[i], notes[i] * 2e-4) << "slot " << slots[i];
    }
}

TEST(Oscillator, FrequencyAboveTheLimitPlaysAt20kHz) {
    Rig rig;
    SignalPort* sync = rig.osc.takeOutput(kOscOutSync, 0);
    rig.wave(0, kSaw);
    rig.voice(0, 25000.0f);
    rig.osc.process();
    EXPECT_FLOAT_EQ(rig.osc.frequency(0), 20000.0f);
    // A second's wraps, from the sync signal.
    int wraps = 0;
    for (int b = 0; b < 44100 / kL; ++b) {
        rig.osc.process();
        for (int i = 0; i < kL; ++i) wraps += sync->ticks[i] < sync->ticks[i - 1];
    }
    EXPECT_NEAR(wraps * 44100.0 / (44100 / kL * kL), 20000.0, 25.0);
}

TEST(Oscillator, HighSawtoothAliasesFarLessThanANaiveOne) {
    for (double f0 : {5000.0, 7040.0, 9500.0}) {
        SCOPED_TRACE(f0);
        Rig rig;
        SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
        rig.wave(0, kSaw);
        rig.voice(0, float(f0));
        std::vector<float> y = render(rig, mix, 500);
        f0 = 512.0 * 44100.0 / rig.osc.periodTicks(0);  // on the tick grid
        // The naive sawtooth at the same frequency.
        std::vector<float> naive(y.size());
        double phase = 0.37;
        for (float& v : naive) {
            v = float(phase - 0.5);
            phase += f0 / 44100.0;
            phase -= std::floor(phase);
        }
        double limited = aliasRatioDb(y, f0, 44100), plain = aliasRatioDb(naive, f0, 44100);
        // About -60 dB against the naive sawtooth's -5 to -8 dB.
        EXPECT_LT(limited, -50.0);
        EXPECT_LT(limited, plain - 40.0) << "band-limited " << limited << " dB, naive " << plain << " dB";
    }
}

// --- Width ---------------------------------------------------------------------------------

TEST(Oscillator, WidthLimits) {
    struct { bool triangle; float width, latched; } cases[] = {
        {false, 0.99f, 0.98f}, {false, 0.005f, 0.02f}, {true, 0.99f, 0.8f}, {true, 0.1f, 0.2f}, {false, 0.3f, 0.3f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << (c.triangle ? " with triangle" : ""));
        Rig rig;
        SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
        rig.switches(0, false, true, c.triangle);
        std::vector<float> y = render(rig, mix, 200, 0, 100.0f);
        rig.voice(0, 100.0f, c.width);
        y = render(rig, mix, 400);
        EXPECT_FLOAT_EQ(rig.osc.latchedWidth(0), c.latched);
        EXPECT_EQ(rig.osc.highTicks(0), int32_t(std::floor(c.latched * rig.osc.periodTicks(0) + 0.5)));
        if (!c.triangle) {
            // Duty cycle of the pulse over whole periods, from its edges: the output is
            // inverted, so it falls where the pulse rises.
            std::vector<size_t> rises;
            std::vector<int> high(y.size(), 0);
            int state = 0;
            for (size_t i = y.size() - 4410; i < y.size(); ++i) {
                float step = y[i] - y[i - 1];
                if (step < -0.3f) {
                    if (state == 0) rises.push_back(i);
                    state = 1;
                } else if (step > 0.3f) {
                    state = 0;
                }
                high[i] = state;
            }
            ASSERT_GE(rises.size(), 3u);
            int count = 0;
            for (size_t i = rises.front(); i < rises.back(); ++i) count += high[i];
            EXPECT_NEAR(double(count) / (rises.back() - rises.front()), c.latched, 0.005);
        }
    }
}

TEST(Oscillator, WidthModulationLatchesAtWraps) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    ValuePort lfo(0.5f), source(0.1f);
    rig.rec.slot = 0;
    rig.rec.pwmDepth = 0.5f;
    rig.osc.message(&rig.rec, kOscMsgPwmDepth);
    ASSERT_EQ(rig.osc.connectInput(kOscInPwmLfo, &lfo.port, 0, 29), 0);
    ASSERT_EQ(rig.osc.connectInput(kOscInPulseWidth, &source.port, 0, 32), 0);
    rig.wave(0, kPulse);
    render(rig, mix, 100, 0, 440.0f);
    // 0.5 + 0.48 x (0.5 x 0.5 + 0.1)
    EXPECT_NEAR(rig.osc.latchedWidth(0), 0.5f + 0.48f * 0.35f, 1e-6);
    // Released from the summing input, the width returns to 0.5 + 0.48 x 0.25.
    rig.osc.releaseInput(kOscInPulseWidth, 0, 32);
    render(rig, mix, 100, 0, 440.0f);
    EXPECT_NEAR(rig.osc.latchedWidth(0), 0.5f + 0.48f * 0.25f, 1e-6);
}

TEST(Oscillator, TriangleHasUnitPeakToPeakAndStaysBoundedUnderWidthModulation) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    rig.wave(0, kTriangle);
    std::vector<float> y = render(rig, mix, 400, 0, 440.0f);
    auto range = std::minmax_element(y.end() - 4410, y.end());
    EXPECT_NEAR(*range.second - *range.first, 1.0f, 0.05f);

    // A pulse-width LFO swinging the width across its whole range, block by block.
    ValuePort lfo;
    rig.rec.slot = 0;
    rig.rec.pwmDepth = 1.0f;
    rig.osc.message(&rig.rec, kOscMsgPwmDepth);
    rig.osc.connectInput(kOscInPwmLfo, &lfo.port, 0, 29);
    for (int b = 0; b < 2000; ++b) {
        lfo.set(float(std::sin(2 * kPi * b / 400.0)));
        rig.voice(0, 440.0f);
        rig.osc.process();
        for (int i = 0; i < kL; ++i) ASSERT_LT(std::fabs(mix->samples[i]), 1.5f) << "block " << b;
    }
}

// A taken sine output sends every sample through the generator's general path; without it
// the waveforms run in stretches up to each edge. The mix must not tell them apart.
TEST(Oscillator, StretchesMakeTheSameMixAsTheGeneralPath) {
    struct Case {
        bool saw, pulse, triangle;
        float from, to;  // Hz, glided over the run
        float width;
    } cases[] = {
        {true, false, false, 110.0f, 3520.0f, 0.5f},  {false, true, false, 440.0f, 55.0f, 0.3f},
        {false, false, true, 220.0f, 6000.0f, 0.5f},  {false, false, true, 5000.0f, 80.0f, 0.25f},
        {true, false, true, 330.0f, 1000.0f, 0.7f},   {true, true, true, 60.0f, 9000.0f, 0.4f},
        {false, true, true, 12000.0f, 200.0f, 0.6f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.saw << c.pulse << c.triangle << " " << c.from << " Hz");
        Rig stretched, general;
        SignalPort* a = stretched.osc.takeOutput(kOscOutMix, 0);
        SignalPort* b = general.osc.takeOutput(kOscOutMix, 0);
        general.osc.takeOutput(kOscOutSine, 0);
        for (Rig* rig : {&stretched, &general}) {
            rig->rec.driftDepth = 0.01f;  // the pitch moves a little in every pass
            rig->osc.message(&rig->rec, kOscMsgDrift);
            rig->switches(0, c.saw, c.pulse, c.triangle);
        }
        const int blocks = 400;
        for (int block = 0; block < blocks; ++block) {
            const float f = c.from * std::pow(c.to / c.from, float(block) / blocks);
            for (Rig* rig : {&stretched, &general}) {
                rig->voice(0, f, c.width);
                rig->osc.process();
            }
            ASSERT_EQ(std::memcmp(a->samples, b->samples, sizeof(float) * kL), 0) << "block " << block;
        }
    }
}

namespace {

void triangleSlotsMatchTheGeneralPath(float rate) {
    const int slots = 5;
    Rig stretched(rate), general(rate);
    std::vector<SignalPort*> a, b;
    for (Rig* rig : {&stretched, &general}) {
        rig->rec.driftDepth = 0.01f;
        rig->osc.message(&rig->rec, kOscMsgDrift);
    }
    for (int slot = 0; slot < slots; ++slot) {
        a.push_back(stretched.osc.takeOutput(kOscOutMix, slot));
        b.push_back(general.osc.takeOutput(kOscOutMix, slot));
        general.osc.takeOutput(kOscOutSine, slot);
        for (Rig* rig : {&stretched, &general}) rig->switches(slot, slot % 2 == 0, slot == 3, true);
    }
    for (int block = 0; block < 400; ++block) {
        for (Rig* rig : {&stretched, &general}) {
            for (int slot = 0; slot < slots; ++slot) {
                const float from = 70.0f * (slot + 1), to = 9000.0f / (slot + 1);
                rig->voice(slot, from * std::pow(to / from, float(block) / 400), 0.25f + 0.1f * slot);
            }
            rig->osc.process();
        }
        for (int slot = 0; slot < slots; ++slot)
            ASSERT_EQ(std::memcmp(a[slot]->samples, b[slot]->samples, sizeof(float) * kL), 0)
                << "block " << block << ", slot " << slot;
    }
    for (int slot = 0; slot < slots; ++slot) EXPECT_GT(std::fabs(a[slot]->samples[5]), 1e-4f) << slot;
}

}  // namespace

// Triangles of several slots, made beside each other in the plain generator, against the same
// slots on the general path (the sine output taken). Five slots, so that one is left without
// a partner; pitches apart, so that their edges and commits fall at different samples; rates
// with other step lengths and rings.
TEST(Oscillator, TrianglesOfSeveralSlotsMatchTheGeneralPath) {
    for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        triangleSlotsMatchTheGeneralPath(rate);
    }
}

// Each waveform's term is made alone whatever else the slot plays, and the mix adds them in
// one order: triangle, pulse, sawtooth, noise. Several slots, so that waveforms of different
// slots share the lanes of the output stage; a waveform switched on and off midway, so that
// its level glides.
TEST(Oscillator, TheMixIsItsWaveformsAddedInOrder) {
    enum { kAll, kTriangleOnly, kPulseOnly, kSawOnly, kNoiseOnly, kRigs };
    std::vector<std::unique_ptr<Rig>> rigs;
    std::vector<std::vector<SignalPort*>> outs(kRigs);
    const int slots = 5;
    for (int r = 0; r < kRigs; ++r) {
        rigs.push_back(std::make_unique<Rig>());
        Rig& rig = *rigs.back();
        rig.rec.driftDepth = 0.01f;
        rig.osc.message(&rig.rec, kOscMsgDrift);
        for (int slot = 0; slot < slots; ++slot) {
            outs[r].push_back(rig.osc.takeOutput(kOscOutMix, slot));
            rig.switches(slot, r == kAll || r == kSawOnly, r == kAll || r == kPulseOnly,
                         r == kAll || r == kTriangleOnly);
            rig.rec.noise = r == kAll || r == kNoiseOnly ? 0.3f : 0.0f;
            rig.osc.message(&rig.rec, kOscMsgNoise);
        }
    }
    for (int block = 0; block < 300; ++block) {
        if (block == 100 || block == 200) {
            // The sawtooth off and on again in slot 2: its level glides both ways.
            for (int r : {int(kAll), int(kSawOnly)}) rigs[r]->switches(2, block == 200, r == kAll, r == kAll);
        }
        for (int r = 0; r < kRigs; ++r) {
            for (int slot = 0; slot < slots; ++slot) rigs[r]->voice(slot, 97.0f * (slot + 1) + block, 0.3f + 0.1f * slot);
            rigs[r]->osc.process();
        }
        for (int slot = 0; slot < slots; ++slot) {
            for (int i = 0; i < kL; ++i) {
                const float sum = ((outs[kTriangleOnly][slot]->samples[i] + outs[kPulseOnly][slot]->samples[i]) +
                                   outs[kSawOnly][slot]->samples[i]) +
                                  outs[kNoiseOnly][slot]->samples[i];
                ASSERT_EQ(outs[kAll][slot]->samples[i], sum) << "block " << block << ", slot " << slot << ", " << i;
            }
        }
    }
    // Every term sounded.
    for (int r = kTriangleOnly; r < kRigs; ++r) EXPECT_GT(std::fabs(outs[r][0]->samples[7]), 1e-4f) << r;
}

TEST(Oscillator, PitchSweepsStayBounded) {
    // Every waveform and a synced slave, swept over the whole range in both directions.
    Rig slave(44100.0f, 1), master(44100.0f, 2);
    SignalPort* out = slave.osc.takeOutput(kOscOutMix, 0);
    SignalPort* sine = slave.osc.takeOutput(kOscOutSine, 0);
    slave.osc.connectInput(kOscInSync, master.osc.takeOutput(kOscOutSync, 0), 0, 5);
    master.osc.takeOutput(kOscOutMix, 0);
    slave.switches(0, true, true, false);
    master.switches(0, true, true, true);
    const int blocks = 2000;
    for (int b = 0; b < blocks; ++b) {
        double t = double(b) / blocks;
        double up = 20.0 * std::pow(1000.0, t), down = 20000.0 * std::pow(0.001, t);
        slave.voice(0, float(up), float(0.1 + 0.8 * t), 16, b < blocks / 2 ? 1 : 2);
        master.voice(0, float(down), float(0.9 - 0.8 * t));
        slave.osc.process();
        master.osc.process();
        for (int i = 0; i < kL; ++i) {
            ASSERT_TRUE(std::isfinite(out->samples[i]));
            ASSERT_LT(std::fabs(out->samples[i]), 3.0f) << "block " << b;
            ASSERT_LT(std::fabs(sine->samples[i]), 1.1f);
        }
    }
}

// --- Sync ---------------------------------------------------------------------------------

namespace {

// Oscillator 2 as master, oscillator 1 as slave, rendered in the engine's order.
struct SyncPair {
    Rig slave{44100.0f, 1};
    Rig master{44100.0f, 2};
    SignalPort* out;
    SyncPair(float slaveHz, float masterHz, int mode) {
        out = slave.osc.takeOutput(kOscOutMix, 0);
        SignalPort* ticks = master.osc.takeOutput(kOscOutSync, 0);
        master.osc.takeOutput(kOscOutMix, 0);
        EXPECT_EQ(slave.osc.connectInput(kOscInSync, ticks, 0, 5), 0);
        slave.wave(0, kSaw);
        master.wave(0, kSaw);
        slave.voice(0, slaveHz, 0.5f, 16, mode);
        master.voice(0, masterHz);
    }
    std::vector<float> run(int blocks) {
        std::vector<float> y;
        for (int b = 0; b < blocks; ++b) {
            slave.osc.process();
            master.osc.process();
            y.insert(y.end(), out->samples, out->samples + kL);
        }
        return y;
    }
};

// Largest difference between the signal and itself `lag` samples later, over its tail.
double periodicityError(const std::vector<float>& y, size_t lag) {
    double worst = 0;
    for (size_t i = y.size() - 2000; i + lag < y.size(); ++i) worst = std::max(worst, double(std::fabs(y[i] - y[i + lag])));
    return worst;
}

}  // namespace

TEST(OscillatorSync, HardSyncRestartsTheSlaveAtEveryMasterWrap) {
    // Periods of exactly 100 samples (master) and 60.4 samples (slave).
    SyncPair pair(730.0f, 441.0f, 1);
    std::vector<float> y = pair.run(300);
    EXPECT_LT(periodicityError(y, 100), 0.02);
    EXPECT_GT(periodicityError(y, 60), 0.2);

    SyncPair free(730.0f, 441.0f, 0);
    std::vector<float> z = free.run(300);
    EXPECT_GT(periodicityError(z, 100), 0.2);
}

TEST(OscillatorSync, AMasterWrapDuringAPendingSyncTakesItOver) {
    // A master period of 5 samples, shorter than the 8 samples a sync waits before its commit:
    // the next wrap comes while the sync waits and takes it over (a pending sync does not
    // block a new one), and the commit still comes 8 samples after the first wrap (mended:
    // restarting the wait at every wrap never commits, and the slave's phase runs away). The
    // slave thus restarts at every second master wrap and stays bounded.
    SyncPair pair(3000.0f, 8820.0f, 1);
    std::vector<float> y = pair.run(300);
    EXPECT_LT(periodicityError(y, 10), 0.02);
    EXPECT_GT(periodicityError(y, 5), 0.2);
    for (float v : y) ASSERT_LT(std::fabs(v), 2.0f);
}

TEST(OscillatorSync, GuardedSyncIgnoresEarlyMasterWraps) {
    // Master 100 samples, slave 140: a master wrap is followed only once the slave has run 75 %
    // of its period since its own last wrap, which happens every fourth master wrap.
    SyncPair guarded(315.0f, 441.0f, 2);
    std::vector<float> y = guarded.run(400);
    EXPECT_LT(periodicityError(y, 400), 0.03);
    EXPECT_GT(periodicityError(y, 100), 0.2);
    EXPECT_GT(periodicityError(y, 140), 0.2);

    SyncPair hard(315.0f, 441.0f, 1);
    std::vector<float> z = hard.run(400);
    EXPECT_LT(periodicityError(z, 100), 0.02);
}

TEST(OscillatorSync, OnlyASyncPortDrivesTheSyncInput) {
    SyncPair pair(730.0f, 441.0f, 1);
    ValuePort notSync;
    EXPECT_EQ(pair.slave.osc.connectInput(kOscInSync, &notSync.port, 0, 24), 0);
    std::vector<float> y = pair.run(300);
    EXPECT_GT(periodicityError(y, 100), 0.2);  // stored as none: the slave runs free
    EXPECT_EQ(pair.slave.osc.connectInput(kOscOutSine, &notSync.port, 0, 24), 1);
}

// --- Restart, release, reset -------------------------------------------------------------

TEST(Oscillator, SwitchingTheTriangleOnRestartsTheSlot) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    SignalPort* sync = rig.osc.takeOutput(kOscOutSync, 0);
    rig.wave(0, kPulse);
    const int32_t P = 512;
    auto jumps = [&](int blocks) {
        // Tick steps that are neither one sample nor a wrap: a restart.
        int count = 0;
        for (int b = 0; b < blocks; ++b) {
            rig.voice(0, 220.0f);
            rig.osc.process();
            for (int i = 0; i < kL; ++i) {
                // Edges re-derive the count from the phase, a tick or so either way.
                int32_t step = sync->ticks[i] - sync->ticks[i - 1];
                bool wrap = sync->ticks[i] < 2 * P;
                if (std::abs(step - P) > 8 && !wrap) ++count;
            }
        }
        return count;
    };
    EXPECT_EQ(jumps(50), 1);  // the start
    rig.switches(0, false, true, true);
    EXPECT_EQ(jumps(50), 1);
    rig.switches(0, false, false, true);  // still on: no restart
    EXPECT_EQ(jumps(50), 0);
    // The triangle ring starts from silence after the restart.
    rig.switches(0, false, false, false);
    render(rig, mix, 300, 0, 220.0f);  // until every level has faded out
    rig.switches(0, false, false, true);
    render(rig, mix, 1, 0, 220.0f);
    int zeros = 0;
    for (int i = 0; i < kL; ++i) zeros += mix->samples[i] == 0.0f;
    EXPECT_GE(zeros, 31);
}

TEST(Oscillator, ReleasingOutputsClearsTheirBuffers) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 3);
    SignalPort* sine = rig.osc.takeOutput(kOscOutSine, 3);
    SignalPort* sync = rig.osc.takeOutput(kOscOutSync, 3);
    EXPECT_EQ(sync->kind, kPortSync);
    EXPECT_EQ(mix->kind, kPortSamples);
    EXPECT_EQ(mix->controlRate, 0);
    rig.wave(3, kSaw);
    render(rig, mix, 20, 3, 440.0f);
    auto energy = [](const SignalPort* p) {
        double e = 0;
        for (int i = -p->historyLength; i < p->blockLength; ++i) e += std::fabs(p->samples[i]);
        return e;
    };
    ASSERT_GT(energy(mix), 1.0);
    ASSERT_GT(energy(sine), 1.0);
    EXPECT_NEAR(sync->frequency, 440.0f, 0.01f);
    EXPECT_NEAR(sync->period, 1.0f / 440.0f, 1e-7f);

    rig.osc.releaseOutput(kOscOutMix, 3);
    EXPECT_EQ(energy(mix), 0.0);
    EXPECT_GT(energy(sine), 1.0);
    rig.osc.releaseOutput(kOscOutSine, 3);
    EXPECT_EQ(energy(sine), 0.0);
    rig.osc.releaseOutput(kOscOutSync, 3);
    for (int i = -sync->historyLength; i < sync->blockLength; ++i) ASSERT_EQ(sync->ticks[i], kOscNoWrap);
    // Released more often than taken: nothing happens.
    rig.osc.releaseOutput(kOscOutSync, 3);
    rig.osc.process();
}

TEST(Oscillator, ANewOscillatorsOutputsAreSilentWhateverItsMemoryHeld) {
    // Blocks of the oscillator's sizes, filled with a loud value and given back, so that the
    // allocator hands their memory to the oscillator built next.
    {
        std::vector<std::vector<float>> used;
        for (size_t floats : {size_t(1) << 14, size_t(1) << 16, size_t(1) << 17, size_t(150000), size_t(1) << 18})
            for (int copy = 0; copy < 4; ++copy) used.emplace_back(floats, 1.0e6f);
    }
    Rig rig;
    for (int slot = 0; slot < 32; ++slot) {
        SCOPED_TRACE(slot);
        for (int kind : {kOscOutMix, kOscOutSine, kOscOutSync}) {
            const SignalPort* port = rig.osc.takeOutput(kind, slot);
            ASSERT_NE(port, nullptr);
            for (int i = -port->historyLength; i < port->blockLength; ++i) {
                ASSERT_EQ(port->samples[i], 0.0f) << kind << " at " << i;
                if (kind == kOscOutSync) {
                    ASSERT_EQ(port->ticks[i], kOscNoWrap) << i;
                }
            }
        }
    }
    // Played, every slot starts from clean rings: a sawtooth of unit size, nothing of the
    // loud values.
    const SignalPort* played[2] = {rig.osc.takeOutput(kOscOutMix, 0), rig.osc.takeOutput(kOscOutMix, 31)};
    double energy = 0.0;
    for (int block = 0; block < 8; ++block) {
        for (int slot : {0, 31}) {
            rig.wave(slot, kSaw);
            rig.voice(slot, 440.0f);
        }
        rig.osc.process();
        for (const SignalPort* port : played)
            for (int i = 0; i < port->blockLength; ++i) {
                ASSERT_LT(std::fabs(port->samples[i]), 2.0f) << block << " at " << i;
                energy += std::fabs(port->samples[i]);
            }
    }
    EXPECT_GT(energy, 10.0);
}

TEST(Oscillator, OutputCountsAreKeptPerUse) {
    Rig rig;
    SignalPort* a = rig.osc.takeOutput(kOscOutMix, 0);
    SignalPort* b = rig.osc.takeOutput(kOscOutMix, 0);
    EXPECT_EQ(a, b);
    rig.wave(0, kSaw);
    render(rig, a, 10, 0, 440.0f);
    rig.osc.releaseOutput(kOscOutMix, 0);
    std::vector<float> y = render(rig, a, 10, 0, 440.0f);
    double e = 0;
    for (float v : y) e += std::fabs(v);
    EXPECT_GT(e, 10.0);  // one use left: still running
    EXPECT_EQ(rig.osc.takeOutput(99, 0), nullptr);
}

TEST(Oscillator, AVoiceThatStopsIsSilencedAndRestartsCleanly) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 5);
    SignalPort* sine = rig.osc.takeOutput(kOscOutSine, 5);
    SignalPort* sync = rig.osc.takeOutput(kOscOutSync, 5);
    rig.wave(5, kSaw);
    rig.rec.slot = 5;
    rig.rec.noise = 0.3f;
    rig.osc.message(&rig.rec, kOscMsgNoise);
    render(rig, mix, 30, 5, 330.0f);
    rig.voice(5, 330.0f, 0.5f, 18);
    rig.osc.process();
    for (int i = -9; i < kL; ++i) {
        ASSERT_EQ(mix->samples[i], 0.0f);
        ASSERT_EQ(sine->samples[i], 0.0f);
        ASSERT_EQ(sync->ticks[i], kOscNoWrap);
    }
    rig.osc.process();
    EXPECT_EQ(mix->samples[kL - 1], 0.0f);
    // Sounding again: a fresh start at the same pitch.
    std::vector<float> y = render(rig, mix, 200, 5, 330.0f);
    rig.rec.noise = 0.0f;
    rig.osc.message(&rig.rec, kOscMsgNoise);
    y = render(rig, mix, 200, 5, 330.0f);
    EXPECT_NEAR(measuredFrequency(y, 44100, 2000), 330.0, 330 * 2e-4);
}

TEST(Oscillator, LastReleaseSilencesEveryOutput) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    SignalPort* other = rig.osc.takeOutput(kOscOutMix, 1);
    for (int s = 0; s < 2; ++s) rig.wave(s, kPulse);
    for (int b = 0; b < 10; ++b) {
        rig.voice(0, 200.0f);
        rig.voice(1, 300.0f);
        rig.osc.process();
    }
    rig.osc.releaseOutput(kOscOutMix, 0);
    rig.osc.releaseOutput(kOscOutMix, 1);
    rig.osc.process();
    for (int i = -9; i < kL; ++i) {
        ASSERT_EQ(mix->samples[i], 0.0f);
        ASSERT_EQ(other->samples[i], 0.0f);
    }
}

TEST(Oscillator, ASilentSoundingSlotLeavesAFaintFloorForThreeBlocks) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    rig.wave(0, kSaw);
    render(rig, mix, 20, 0, 440.0f);
    rig.switches(0, false, false, false);  // the saw fades out over 50 ms
    std::vector<float> y = render(rig, mix, 400, 0, 440.0f);
    // Then three blocks of a floor far below hearing, which stays.
    std::vector<float> kept(mix->samples, mix->samples + kL);
    rig.osc.process();
    for (int i = 0; i < kL; ++i) {
        EXPECT_GT(mix->samples[i], 0.0f);
        EXPECT_LT(mix->samples[i], 1e-19f);
        EXPECT_EQ(mix->samples[i], kept[i]);
    }
}

// --- Inputs --------------------------------------------------------------------------------

TEST(OscillatorInputs, PitchSourcesSumAndReleaseFromTheMiddle) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    rig.wave(0, kSaw);
    ValuePort one(1.0f / 24), two(2.0f / 24), four(4.0f / 24);
    EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &one.port, 0, 29), 0);
    EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &two.port, 0, 30), 0);
    EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &four.port, 0, 31), 0);
    render(rig, mix, 2, 0, 200.0f);
    EXPECT_NEAR(rig.osc.frequency(0), 200.0 * std::pow(2.0, 7.0 / 12), 0.01);
    rig.osc.releaseInput(kOscInPitch, 0, 30);
    render(rig, mix, 2, 0, 200.0f);
    EXPECT_NEAR(rig.osc.frequency(0), 200.0 * std::pow(2.0, 5.0 / 12), 0.01);
    // Six at most.
    ValuePort zero;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &zero.port, 0, 40 + i), 0);
    EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &zero.port, 0, 50), 1);
    rig.osc.releaseInput(kOscInPitch, 0, 29);
    EXPECT_EQ(rig.osc.connectInput(kOscInPitch, &zero.port, 0, 50), 0);
    render(rig, mix, 2, 0, 200.0f);
    EXPECT_NEAR(rig.osc.frequency(0), 200.0 * std::pow(2.0, 4.0 / 12), 0.01);
}

TEST(OscillatorInputs, VibratoBendAndTouch) {
    struct { int range; float vibrato, touch, bend, semitones, factor; } cases[] = {
        {24, 0.0f, 0.0f, 0.5f, 12.0f, 1.0f},
        {2, 0.0f, 0.0f, -0.5f, -1.0f, 1.0f},
        {0, 0.0f, 0.0f, 0.25f, 0.0f, 1.25f},
        {-1, 0.0f, 0.0f, 0.5f, 0.0f, 1.0f},
        {-1, 0.5f, 0.0f, 0.0f, 0.5f * 0.25f * 12, 1.0f},
        {-1, 0.5f, 0.5f, 0.0f, 0.5f * (0.25f + 0.5f * 2.0f) * 12, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "range " << c.range << " bend " << c.bend << " vibrato " << c.vibrato);
        Rig rig;
        SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
        rig.wave(0, kSaw);
        rig.rec.bendRange = c.range;
        rig.osc.message(&rig.rec, kOscMsgBendRange);
        rig.rec.vibratoDepth = 0.25f;
        rig.rec.touchAmount = 2.0f;
        rig.osc.message(&rig.rec, kOscMsgModulation);
        ValuePort vibrato(c.vibrato), touch(c.touch), bend(c.bend);
        rig.osc.connectInput(kOscInVibrato, &vibrato.port, 0, 31);
        rig.osc.connectInput(kOscInTouch, &touch.port, 0, 25);
        rig.osc.connectInput(kOscInBend, &bend.port, 0, 26);
        render(rig, mix, 2, 0, 300.0f);
        // The ratio is interpolated linearly between whole semitones.
        double whole = std::floor(c.semitones), frac = c.semitones - whole;
        double ratio = std::pow(2.0, whole / 12.0) * (1.0 + frac * (std::pow(2.0, 1.0 / 12.0) - 1.0));
        EXPECT_NEAR(rig.osc.frequency(0), 300.0 * ratio * c.factor, 0.02);
    }
}

TEST(OscillatorInputs, ExtremeValuesStayBounded) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    rig.switches(0, true, true, false);
    rig.rec.slot = 0;
    rig.rec.noise = 0.5f;
    rig.osc.message(&rig.rec, kOscMsgNoise);
    ValuePort pitch(1000.0f), noise(1e30f), nan(std::nanf(""));
    rig.osc.connectInput(kOscInPitch, &pitch.port, 0, 29);
    rig.osc.connectInput(kOscInNoise, &noise.port, 0, 30);
    rig.osc.connectInput(kOscInNoise, &noise.port, 0, 31);
    rig.osc.connectInput(kOscInPulseWidth, &nan.port, 0, 32);
    std::vector<float> y = render(rig, mix, 50, 0, 440.0f);
    EXPECT_FLOAT_EQ(rig.osc.frequency(0), 20000.0f);  // ten octaves up at most, then the clamp
    for (float v : y) {
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_LE(std::fabs(v), 0.5f * 1e8f + 10.0f);
    }
    pitch.set(-1000.0f);
    render(rig, mix, 2, 0, 440.0f);
    EXPECT_NEAR(rig.osc.frequency(0), 440.0 / 1024, 1e-3);
}

TEST(OscillatorInputs, FrequencyTooLowForThePeriodIsHeldAtTheLongestPeriod) {
    Rig rig;
    SignalPort* mix = rig.osc.takeOutput(kOscOutMix, 0);
    SignalPort* sync = rig.osc.takeOutput(kOscOutSync, 0);
    rig.switches(0, true, true, true);
    std::vector<float> y = render(rig, mix, 20, 0, 0.0001f);
    EXPECT_FLOAT_EQ(rig.osc.frequency(0), 0.001f);
    EXPECT_EQ(rig.osc.periodTicks(0), 1 << 30);
    for (float v : y) ASSERT_TRUE(std::isfinite(v));
    for (int i = 1; i < kL; ++i) EXPECT_EQ(sync->ticks[i] - sync->ticks[i - 1], 512);
}

TEST(OscillatorInputs, SlotNumbersAreClamped) {
    Rig rig;
    SignalPort* last = rig.osc.takeOutput(kOscOutMix, 31);
    EXPECT_EQ(rig.osc.takeOutput(kOscOutMix, 500), last);
    EXPECT_NE(rig.osc.takeOutput(kOscOutMix, -3), last);
    rig.wave(400, kSaw);
    rig.voice(400, 440.0f);
    rig.osc.process();
    EXPECT_NEAR(rig.osc.frequency(31), 440.0f, 1e-3f);
}

TEST(Oscillator, BuildsItsOwnTablesAndFreesTwice) {
    Oscillator osc;
    OscillatorRecord rec{};
    ASSERT_EQ(osc.init(&rec, 2, 44100.0f), 0);
    SignalPort* sine = osc.takeOutput(kOscOutSine, 0);
    rec.slot = 0;
    rec.state = 16;
    rec.frequency = 1000.0f;
    osc.message(&rec, kOscMsgVoice);
    float peak = 0;
    for (int b = 0; b < 400; ++b) {  // past the fade-in
        osc.process();
        for (int i = 0; i < kL; ++i) peak = std::max(peak, std::fabs(sine->samples[i]));
    }
    EXPECT_NEAR(peak, 1.0f, 0.02f);
    osc.free();
    osc.free();
    osc.process();
    EXPECT_EQ(osc.takeOutput(kOscOutMix, 0), nullptr);
}
