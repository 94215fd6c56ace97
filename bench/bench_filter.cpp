// Cost of the filter module per voice-sample: 32 sounding slots through a 4-pole low-pass,
// with the cutoff jumping by more than 500 Hz every block (coefficients redesigned per
// sample), against the same with a steady cutoff.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/filter.h"

namespace {

const int kBlock = 44;
const int kHistory = 9;
const int kSlots = 32;
const float kRate = 44100.0f;

struct Source {
    std::vector<float> buffer = std::vector<float>(kHistory + kBlock, 0.0f);
    SignalPort port{};
    Source() {
        port.controlRate = 0;
        port.kind = kPortSamples;
        port.blockLength = kBlock;
        port.historyLength = kHistory;
        port.samples = buffer.data() + kHistory;
    }
};

double nanosecondsPerVoiceSample(bool jumps, int blocks) {
    FilterRecord record{};
    record.voiceCount = kSlots;
    record.blockLength = kBlock;
    record.historyLength = kHistory;
    Filter filter;
    if (filter.init(&record, 2, kRate) != 0) return -1;
    std::vector<Source> audio(kSlots), cutoffMod(kSlots);
    double sink = 0;
    std::vector<SignalPort*> outputs;
    for (int s = 0; s < kSlots; ++s) {
        outputs.push_back(filter.takeOutput(0, s));
        filter.connectInput(kFilterInAudio, &audio[s].port, s, 0);
        filter.connectInput(kFilterInCutoffMod, &cutoffMod[s].port, s, 1);
        record.slot = s;
        record.typeOrPoles = 1;
        filter.message(&record, kFilterMsgSlope);
        record.cutoff = 400.0f;
        record.resonance = 1.0f;
        record.typeOrPoles = kFilterLowPass;
        filter.message(&record, kFilterMsgSettings);
        record.state = Filter::kSounding;
        filter.message(&record, kFilterMsgState);
    }
    unsigned noise = 1;
    for (Source& a : audio)
        for (int i = 0; i < kBlock; ++i) {
            noise = noise * 1664525u + 1013904223u;
            a.port.samples[i] = static_cast<float>(noise >> 8) / 8388608.0f - 1.0f;
        }
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        const float m = jumps && (b & 1) ? 0.5f : 0.0f;  // 400 Hz <-> 6400 Hz
        for (Source& c : cutoffMod) c.port.samples[0] = m;
        filter.process();
        sink += outputs[b % kSlots]->samples[b % kBlock];
    }
    const auto end = std::chrono::steady_clock::now();
    if (!std::isfinite(sink)) std::printf("(non-finite output)\n");
    const double ns = std::chrono::duration<double, std::nano>(end - start).count();
    return ns / (static_cast<double>(blocks) * kSlots * kBlock);
}

}  // namespace

int main() {
    const int blocks = 20000;
    nanosecondsPerVoiceSample(true, 500);  // warm up
    std::printf("filter, 4 poles, cutoff jump every block: %.2f ns per voice-sample\n",
                nanosecondsPerVoiceSample(true, blocks));
    std::printf("filter, 4 poles, steady cutoff:           %.2f ns per voice-sample\n",
                nanosecondsPerVoiceSample(false, blocks));
    return 0;
}
