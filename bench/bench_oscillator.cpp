// Cost of the oscillator per voice-sample: one slot (and all 32) sounding, driven as the
// engine drives it (a voice message per slot and block, then process).
#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/oscillator.h"

namespace {

struct Case {
    const char* name;
    float frequency;
    bool saw, pulse, triangle, noise, sine, sync;
};

double nsPerVoiceSample(const Case& c, int voices) {
    Oscillator osc;
    OscillatorRecord rec{};
    rec.voiceCount = 32;
    if (osc.init(&rec, 1, 44100.0f) != 0) return -1;
    osc.setSampleRate(44100.0f);
    for (int v = 0; v < voices; ++v) {
        osc.takeOutput(kOscOutMix, v);
        if (c.sine) osc.takeOutput(kOscOutSine, v);
        if (c.sync) osc.takeOutput(kOscOutSync, v);
        rec.slot = v;
        rec.saw = c.saw;
        rec.pulse = c.pulse;
        rec.triangle = c.triangle;
        osc.message(&rec, kOscMsgSwitches);
        rec.noise = c.noise ? 0.2f : 0.0f;
        osc.message(&rec, kOscMsgNoise);
    }
    auto block = [&] {
        for (int v = 0; v < voices; ++v) {
            rec.slot = v;
            rec.state = 16;
            rec.frequency = c.frequency * (1.0f + 0.001f * v);
            rec.width = 0.4f;
            osc.message(&rec, kOscMsgVoice);
        }
        osc.process();
    };
    for (int b = 0; b < 200; ++b) block();  // past the restarts and fades
    const int blocks = 20000 / voices + 200;
    auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) block();
    double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    return ns / (double(blocks) * osc.getBlockLength() * voices);
}

}  // namespace

int main() {
    const Case cases[] = {
        {"saw 1 kHz", 1000.0f, true, false, false, false, false, false},
        {"saw 10 kHz", 10000.0f, true, false, false, false, false, false},
        {"saw 20 kHz", 20000.0f, true, false, false, false, false, false},
        {"saw 110 Hz", 110.0f, true, false, false, false, false, false},
        {"saw, pulse, triangle 1 kHz", 1000.0f, true, true, true, false, false, false},
        {"saw, pulse, triangle 110 Hz", 110.0f, true, true, true, false, false, false},
        {"saw, pulse, triangle, noise 1 kHz", 1000.0f, true, true, true, true, false, false},
        {"all waveforms 1 kHz", 1000.0f, true, true, true, true, true, true},
        {"all waveforms 10 kHz", 10000.0f, true, true, true, true, true, true},
    };
    std::printf("%-34s %14s %14s\n", "oscillator", "1 voice", "32 voices");
    for (const Case& c : cases)
        std::printf("%-34s %11.1f ns %11.1f ns\n", c.name, nsPerVoiceSample(c, 1), nsPerVoiceSample(c, 32));
    std::printf("(ns per voice-sample; real time at 44.1 kHz allows 22676 ns per sample)\n");
    return 0;
}
