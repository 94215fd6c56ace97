// Loads an installed plug-in through the test host, prints its identity, plays a short
// phrase and writes it to a WAV file with its level.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/test_host.h"

namespace {

void put32(FILE* file, uint32_t value) { std::fwrite(&value, 4, 1, file); }
void put16(FILE* file, uint16_t value) { std::fwrite(&value, 2, 1, file); }

bool writeWav(const char* path, const std::vector<float>& left, const std::vector<float>& right, int rate) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    uint32_t frames = (uint32_t)left.size();
    uint32_t dataBytes = frames * 2 * 2;
    std::fwrite("RIFF", 1, 4, file);
    put32(file, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(file, 16);
    put16(file, 1);
    put16(file, 2);
    put32(file, (uint32_t)rate);
    put32(file, (uint32_t)rate * 4);
    put16(file, 4);
    put16(file, 16);
    std::fwrite("data", 1, 4, file);
    put32(file, dataBytes);
    for (uint32_t i = 0; i < frames; i++) {
        for (float sample : {left[i], right[i]}) {
            float clamped = sample > 1.f ? 1.f : (sample < -1.f ? -1.f : sample);
            put16(file, (uint16_t)(int16_t)std::lround(clamped * 32767.f));
        }
    }
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: halvorn-play PLUGIN.dll OUT.wav\n");
        return 2;
    }
    TestHost host;
    host.answers.vendor = "Halvorn";
    host.answers.product = "halvorn-play";
    if (!host.load(argv[1])) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    AEffect* fx = host.create("main");
    if (!fx) {
        std::fprintf(stderr, "the plug-in did not start (is the installation complete?)\n");
        return 1;
    }
    std::printf("plug-in:  %s by %s (%s), version %d, VST %d\n", host.text(effGetEffectName).c_str(),
                host.text(effGetVendorString).c_str(), host.text(effGetProductString).c_str(),
                (int)host.dispatch(effGetVendorVersion), (int)host.dispatch(effGetVstVersion));
    std::printf("unique id %08X, %d parameters, %d outputs, flags %04X\n", (unsigned)fx->uniqueID, fx->numParams,
                fx->numOutputs, (unsigned)fx->flags);

    const int rate = 44100;
    const int block = 512;
    host.dispatch(effSetSampleRate, 0, 0, nullptr, (float)rate);
    host.dispatch(effSetBlockSize, 0, block);
    host.dispatch(effMainsChanged, 0, 1);

    // A C major arpeggio, then the chord held and released.
    struct Step {
        int frame;
        unsigned char status, note, velocity;
    };
    std::vector<Step> steps;
    const int beat = rate / 4;
    int notes[] = {60, 64, 67, 72};
    for (int i = 0; i < 4; i++) {
        steps.push_back({i * beat, 0x90, (unsigned char)notes[i], 100});
        steps.push_back({i * beat + beat - 2000, 0x80, (unsigned char)notes[i], 0});
    }
    for (int note : notes) steps.push_back({4 * beat, 0x90, (unsigned char)note, 90});
    for (int note : notes) steps.push_back({8 * beat, 0x80, (unsigned char)note, 0});
    const int total = 11 * beat;

    std::vector<float> left, right;
    std::vector<std::vector<float>> outputs;
    for (int start = 0; start < total; start += block) {
        std::vector<VstMidiEvent> events;
        for (const Step& step : steps) {
            if (step.frame < start || step.frame >= start + block) continue;
            events.push_back(TestHost::midiEvent(step.status, step.note, step.velocity, step.frame - start));
        }
        if (!events.empty()) host.sendEvents(events);
        host.render(outputs, block, true);
        left.insert(left.end(), outputs[0].begin(), outputs[0].end());
        right.insert(right.end(), outputs[1].begin(), outputs[1].end());
    }
    host.dispatch(effMainsChanged, 0, 0);
    host.close();

    double sum = 0, peak = 0;
    for (size_t i = 0; i < left.size(); i++) {
        for (float s : {left[i], right[i]}) {
            sum += (double)s * s;
            peak = std::fmax(peak, std::fabs((double)s));
        }
    }
    double rms = std::sqrt(sum / (2.0 * (double)left.size()));
    auto dB = [](double v) { return v > 0 ? 20.0 * std::log10(v) : -INFINITY; };
    if (!writeWav(argv[2], left, right, rate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("rendered %.2f s to %s: peak %.1f dBFS, RMS %.1f dBFS%s\n", (double)left.size() / rate, argv[2],
                dB(peak), dB(rms), peak == 0 ? " (silent)" : "");
    return 0;
}
