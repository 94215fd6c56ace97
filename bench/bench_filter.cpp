// Cost of the filter module per voice-sample: 32 sounding slots through a 2- or 4-pole
// low-pass, with the cutoff jumping by more than 500 Hz every block (coefficients redesigned
// per sample), moving a little every block (coefficients gliding, as under an envelope), or
// steady. Processor time of the thread (see processorSeconds).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/filter.h"
#include "processor_seconds.h"

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

enum Motion { kJump, kGlide, kSteady };

double nanosecondsPerVoiceSample(Motion motion, int poles, int blocks) {
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
        record.typeOrPoles = poles == 4 ? 1 : 0;
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
    const double start = processorSeconds();
    for (int b = 0; b < blocks; ++b) {
        // 400 Hz <-> 6400 Hz, or 400 Hz <-> 423 Hz
        const float m = motion == kSteady || !(b & 1) ? 0.0f : motion == kJump ? 0.5f : 0.01f;
        for (Source& c : cutoffMod) c.port.samples[0] = m;
        filter.process();
        sink += outputs[b % kSlots]->samples[b % kBlock];
    }
    const double end = processorSeconds();
    if (!std::isfinite(sink)) std::printf("(non-finite output)\n");
    const double ns = (end - start) * 1e9;
    return ns / (static_cast<double>(blocks) * kSlots * kBlock);
}

}  // namespace

// bench_filter [case]: every case, or the one whose name starts with the argument.
int main(int argc, char** argv) {
    const int blocks = 20000;
    const char* only = argc > 1 ? argv[1] : "";
    nanosecondsPerVoiceSample(kJump, 4, 500);  // warm up
    static const struct {
        Motion motion;
        int poles;
        const char* name;
    } kCases[] = {
        {kJump, 4, "4 poles, cutoff jump every block"}, {kGlide, 4, "4 poles, cutoff gliding"},
        {kGlide, 2, "2 poles, cutoff gliding"},        {kSteady, 4, "4 poles, steady cutoff"},
        {kSteady, 2, "2 poles, steady cutoff"},
    };
    for (const auto& c : kCases)
        if (std::strncmp(c.name, only, std::strlen(only)) == 0)
            std::printf("filter, %-33s %.2f ns per voice-sample\n", c.name, nanosecondsPerVoiceSample(c.motion, c.poles, blocks));
    return 0;
}
