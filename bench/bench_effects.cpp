// Cost of the global effects per sample: the four ring modulators (each on one mono bus
// half), the chorus and the delay, each on a stereo signal in blocks of 44 samples.
// Run a build without the sanitizers for meaningful figures.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "engine/chorus.h"
#include "engine/delay.h"
#include "engine/effect_util.h"
#include "engine/ring_modulator.h"

namespace {

constexpr int kBlock = 44;
constexpr int kBlocks = 20000;  // about 20 s of audio at 44.1 kHz
constexpr float kRate = 44100.0f;

struct Stereo {
    std::vector<float> left, right;
};

// A block of input: two tones and a little noise, different on each side.
void fill(Stereo& s, int block) {
    static unsigned noise = 12345;
    for (int n = 0; n < kBlock; ++n) {
        const double t = (double)(block * kBlock + n) / kRate;
        noise = noise * 1664525u + 1013904223u;
        const float grain = ((noise >> 9) * (1.0f / 8388608.0f) - 0.5f) * 0.02f;
        s.left[n] = (float)(0.4 * std::sin(2.0 * 3.14159265 * 220.0 * t)) + grain;
        s.right[n] = (float)(0.4 * std::sin(2.0 * 3.14159265 * 331.0 * t)) - grain;
    }
}

// Best of three runs, in nanoseconds per stereo sample.
double timePerSample(const std::function<void(Stereo&)>& render) {
    Stereo s{std::vector<float>(kBlock), std::vector<float>(kBlock)};
    double best = 1e30;
    volatile float sink = 0.0f;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int b = 0; b < kBlocks; ++b) {
            fill(s, b);
            render(s);
            sink = sink + s.left[kBlock - 1] + s.right[0];
        }
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(end - start).count());
    }
    // The input generator's share, timed alone, is taken off.
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < kBlocks; ++b) {
        fill(s, b);
        sink = sink + s.left[kBlock - 1];
    }
    const double generator = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    return (best - generator) / ((double)kBlocks * kBlock);
}

}  // namespace

int main() {
    std::vector<float> sine(fx::kSineSize + 1);
    fx::buildSineTable(sine.data(), fx::kSineSize);

    RingModulator rings[4];
    RingModulatorRecord ringRecord = {};
    ringRecord.sampleRate = kRate;
    ringRecord.blockLength = kBlock;
    ringRecord.sineTable = sine.data();
    ringRecord.sineSize = fx::kSineSize;
    ringRecord.frequency = 600.0f;
    ringRecord.mix = 0.6f;
    ringRecord.attackMs = 5.0f;
    ringRecord.decayMs = 50.0f;
    ringRecord.depth = 0.5f;
    for (RingModulator& r : rings) {
        if (r.init(&ringRecord)) return 1;
        r.message(&ringRecord, kRingModSettings);
        r.message(&ringRecord, kRingModGateOn);
    }

    Chorus chorus;
    ChorusRecord chorusRecord = {};
    chorusRecord.sampleRate = kRate;
    chorusRecord.blockLength = kBlock;
    chorusRecord.sineTable = sine.data();
    chorusRecord.sineSize = fx::kSineSize;
    chorusRecord.speed = 1.5f;
    chorusRecord.depth = 0.8f;
    if (chorus.init(&chorusRecord)) return 1;
    chorus.message(&chorusRecord, kChorusSettings);

    Delay delay;
    DelayRecord delayRecord = {350.0f, 1, 0.5f, 0, 120.0f, 0.4f};
    if (delay.init(kRate)) return 1;
    delay.message(&delayRecord, kDelaySettings);

    // The four ring modulators: 0 and 2 on one bus's halves, 1 and 3 on the other's; here all
    // four on the two sides of one stereo signal, two passes.
    const double ring = timePerSample([&](Stereo& s) {
        rings[0].process(s.left.data(), s.left.data(), kBlock);
        rings[2].process(s.right.data(), s.right.data(), kBlock);
        rings[1].process(s.left.data(), s.left.data(), kBlock);
        rings[3].process(s.right.data(), s.right.data(), kBlock);
    });
    const double chorusCost = timePerSample([&](Stereo& s) {
        chorus.process(s.left.data(), s.right.data(), s.left.data(), s.right.data(), kBlock);
    });
    const double delayCost = timePerSample([&](Stereo& s) {
        delay.process(s.left.data(), s.right.data(), s.left.data(), s.right.data(), kBlock);
    });

    std::printf("ns per stereo sample at 44.1 kHz, blocks of %d:\n", kBlock);
    std::printf("  four ring modulators  %7.1f  (one: %.1f ns per mono sample)\n", ring, ring / 4.0);
    std::printf("  chorus                %7.1f\n", chorusCost);
    std::printf("  delay                 %7.1f\n", delayCost);
    std::printf("  all effects           %7.1f  (%.2f %% of one core at 44.1 kHz)\n", ring + chorusCost + delayCost,
                (ring + chorusCost + delayCost) * kRate * 1e-7);
    return 0;
}
