// Cost of the whole engine with its real oscillators: ten seconds rendered through the
// output writer with all 32 voices sounding (8 parts x 4 voices) and with none, for a
// typical patch (a sawtooth on each line through its high-pass and low-pass filters), a
// heavy one (sawtooth and pulse, 4-pole filters, the mixer, every slot busy and a voice
// stolen in every block), and the worst case: sawtooth, pulse, triangle and noise with
// hard sync on both lines through 4-pole filters whose cutoffs jump every block, every
// modulation source connected, the pedal's volume and wah on every voice, all four ring
// modulators, the chorus and the delay.
//
// Each figure is the median over several runs of the rendering thread's processor time (see
// processorSeconds); the cost per voice-sample is marginal: the run with 32 voices less the
// idle run, over 32 voices. Reading the thread's clock costs a system call (about 1.7 us in
// a virtual machine), so the slowest block comes from a run of its own that times every
// block, and the totals from runs that read the clock only at their ends.
//
//   bench_engine [runs] [seconds] [typical|heavy|worst]   (one patch only when named)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/synth_engine.h"
#include "processor_seconds.h"

namespace {

const float kRate = 44100.f;
int gSeconds = 10;

struct Result {
    double seconds;        // of processing
    double slowestBlockUs;
    float peak;  // of the left master output; NaN would show here
    uint64_t checksum;  // of every output sample's bits: a speed change must leave it alone
};


void send(SynthEngine& engine, EngineCommand& record, int code) { engine.command(&record, code); }

void note(SynthEngine& engine, EngineCommand& record, int n, bool on) {
    record.kind = on ? kNoteOnEvent : kNoteOffEvent;
    record.note = n;
    record.velocity = 100;
    record.channel = 0;
    send(engine, record, kCmdNoteEvent);
}

enum Load { kTypical, kHeavy, kWorst };

// Both lines through their high-pass and low-pass: oscillator 1 -> filter 0 -> filter 2 ->
// VCA 1 and oscillator 2 -> filter 1 -> filter 3 -> VCA 2, at 2 or 4 poles.
void filterLines(SynthEngine& engine, EngineCommand& record, int p, bool fourPoles) {
    engine.disconnect(kDstVca1Audio, -1, p);
    engine.disconnect(kDstVca2Audio, -1, p);
    for (int line = 0; line < 2; ++line) {
        engine.connect(line == 0 ? kSrcOsc1Mix : kSrcOsc2Mix, kDstFilterAudio + 8 * line, p);
        engine.connect(kSrcFilter0 + line, kDstFilterAudio + 8 * (line + 2), p);
        engine.connect(kSrcFilter0 + 2 + line, line == 0 ? kDstVca1Audio : kDstVca2Audio, p);
    }
    record.part = p;
    record.enabled = fourPoles ? 1 : 0;
    send(engine, record, kCmdLine1Poles);
    send(engine, record, kCmdLine2Poles);
    // Cutoffs and resonances as a musician leaves them: the high-pass low, the low-pass open.
    const float cutoffs[4] = {80.f, 120.f, 2500.f, 3500.f};
    static const int kCodes[4] = {kCmdHighPass1, kCmdHighPass2, kCmdLowPass1, kCmdLowPass2};
    for (int f = 0; f < 4; ++f) {
        record.cutoff = cutoffs[f];
        record.resonance = f < 2 ? 0.7f : 2.f;
        send(engine, record, kCodes[f]);
    }
}

// The waveforms of both oscillators of a part; the worst case adds noise and hard sync.
void oscillators(SynthEngine& engine, EngineCommand& record, int p, Load load) {
    record.part = p;
    record.waveSaw = 1;
    record.waveSquare = load == kTypical ? 0 : 1;
    record.waveExtra = load == kWorst ? 1 : 0;
    record.fixedPitch = 0;
    record.tableIndex = 0;
    record.level = load == kWorst ? 0.1f : 0.f;
    record.sync = load == kWorst ? 1 : 0;
    send(engine, record, kCmdOsc1Switches);
    record.sync = 0;
    send(engine, record, kCmdOsc2Switches);
}

// Every modulation source (RouteSource 12-41) into at least one summing input, the
// modulation amounts in a chain of their own; LFO 2 plays random values, so that the
// filters' cutoffs jump by more than 500 Hz in most blocks.
void connectEverySource(SynthEngine& engine, EngineCommand& record, int p) {
    static const signed char kPairs[][2] = {
        {12, 17}, {13, 25}, {14, 33}, {15, 41}, {24, 47}, {24, 49}, {24, 51}, {16, 18}, {17, 26}, {18, 34},
        {19, 42}, {20, 63}, {21, 70}, {22, 76}, {23, 72}, {24, 74}, {25, 73}, {26, 75}, {27, 82}, {28, 86},
        {29, 63}, {30, 17}, {30, 25}, {30, 33}, {30, 41}, {31, 90},
        {29, 102}, {30, 103}, {12, 104}, {14, 105}, {25, 106}, {19, 107}, {23, 108}, {27, 109}, {31, 110}, {13, 111},
        {32, 94}, {33, 98}, {34, 83}, {35, 87}, {36, 91}, {37, 95}, {38, 99}, {39, 53}, {40, 54}, {41, 18},
    };
    for (const auto& pair : kPairs) engine.connect(pair[0], pair[1], p);
    record.part = p;
    record.level = 0.2f;
    for (int c = 0; c < 10; ++c) {
        record.subIndex = c;
        send(engine, record, kCmdModAmount);
    }
    record.tempoSync = 0;
    record.subIndex = 0;
    record.lfoWave = '@';
    record.lfoRate = 5.f;
    send(engine, record, kCmdPartLfo);
    record.subIndex = 1;
    record.lfoWave = 'E';
    send(engine, record, kCmdPartLfo);
    // Half the parts to the ring-and-effects bus (ring modulators 0 and 2), half to the
    // ring bus (1 and 3).
    record.kind = 1;
    send(engine, record, kCmdPartRingMod);
    record.kind = p < 4 ? 1 : 0;
    send(engine, record, kCmdPartEffects);
}

void effectsOn(SynthEngine& engine, EngineCommand& record) {
    record.lfoRate = 600.f;
    record.valueA = 0.7f;
    const float ring[6] = {5.f, 300.f, 0.f, 0.f, 0.5f, 0.f};
    std::memcpy(record.envelope, ring, sizeof ring);
    record.enabled = 1;
    send(engine, record, kCmdRingModulator);
    record.lfoRate = 1.f;
    record.lfoWave = 0;
    record.valueA = 0.8f;
    send(engine, record, kCmdChorus);
    record.tempoSync = 0;
    record.timeMs = 350.f;
    record.level = 0.6f;
    record.valueA = 0.4f;
    send(engine, record, kCmdDelay);
    record.kind = 1;    // volume
    record.option = 1;  // and wah
    send(engine, record, kCmdPedalSetup);
    record.pedal = 0.7f;
    send(engine, record, kCmdExpression);
}

// A cutoff command for one of the four filters of one part, far from the last.
void jumpCutoff(SynthEngine& engine, EngineCommand& record, int block) {
    static const int kCodes[4] = {kCmdHighPass1, kCmdHighPass2, kCmdLowPass1, kCmdLowPass2};
    record.part = block % SynthEngine::kParts;
    record.cutoff = (block / SynthEngine::kParts) % 2 ? 6000.f : 150.f;
    record.resonance = 2.f;
    send(engine, record, kCodes[block % 4]);
}

void buildPatch(SynthEngine& engine, EngineCommand& record, Load load) {
    const bool heavy = load == kHeavy;
    record.zone = 0;
    record.zoneChannel = 16;
    record.zoneLowKey = 0;
    record.zoneHighKey = 127;
    record.zoneMode = kAssignRotate;
    record.kind = 0;
    send(engine, record, kCmdZone);
    record.count = 4;
    send(engine, record, kCmdVoicesPerPart);
    const float settings[4][6] = {{5, 200, 300, 0, 1, 0.4f}, {2, 300, 150, 0, 1, 0.7f},
                                  {20, 100, 300, 0, 0.8f, 0.3f}, {1, 500, 250, 0, 1, 0.6f}};
    for (int p = 0; p < SynthEngine::kParts; ++p) {
        record.part = p;
        record.zone = 0;
        send(engine, record, kCmdPartZone);
        for (int e = 0; e < 4; ++e) {
            record.subIndex = e;
            std::memcpy(record.envelope, settings[e], sizeof record.envelope);
            send(engine, record, kCmdEnvelope);
        }
        record.pan = 0.1f * static_cast<float>(p);
        send(engine, record, kCmdPartPan);
        oscillators(engine, record, p, load);
        filterLines(engine, record, p, load != kTypical);
        if (load == kWorst) {
            connectEverySource(engine, record, p);
            continue;
        }
        // A modulation row: filter envelope -> amount 0 -> VCA 1 level.
        engine.connect(kSrcEnvelope0, kDstModAmount0, p);
        engine.connect(kSrcModAmount0, kDstVca1Audio + 6, p);
        if (heavy) {
            // Two more rows, and the line-1 signal through the mixer pair (0, 1).
            engine.connect(kSrcEnvelope0 + 2, kDstModAmount0 + 1, p);
            engine.connect(kSrcModAmount0 + 1, kDstEnvelopeModulation + 9, p);
            engine.connect(kSrcPressure, kDstModAmount0 + 2, p);
            engine.connect(kSrcModAmount0 + 2, kDstMixerLevel0, p);
            engine.disconnect(kDstVca1Audio, -1, p);
            engine.connect(kSrcFilter0 + 2, kDstMixerInput0, p);
            engine.connect(kSrcOsc2Sine, kDstMixerInput0 + 1, p);
            engine.connect(kSrcMixer0, kDstVca1Audio, p);
            record.subIndex = 1;
            record.level = 0.5f;
            send(engine, record, kCmdMixerLevel);
        }
    }
    if (load == kWorst) effectsOn(engine, record);
}

Result run(Load load, bool notes, bool timeBlocks = false) {
    const bool heavy = load == kHeavy;
    SynthEngine* engine = new SynthEngine;
    EngineCommand record;
    std::memset(&record, 0, sizeof record);
    record.sampleRate = kRate;
    record.count = 2;
    if (engine->init(&record)) {
        std::printf("engine initialisation failed\n");
        delete engine;
        return Result();
    }
    send(*engine, record, kCmdSampleRate);
    buildPatch(*engine, record, load);

    static float buffers[SynthEngine::kQueueChannels][64];
    float* outputs[SynthEngine::kQueueChannels];
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c) outputs[c] = buffers[c];

    const int L = engine->getBlockLength();
    const int blocks = static_cast<int>(kRate) * gSeconds / L;
    // Typical: 32 keys held for 1.5 s and released for 0.5 s. Heavy: 40 keys held at
    // once, so that each block's new key steals a sounding voice. Idle: no key at all.
    if (notes)
        for (int n = 0; n < (heavy ? 40 : 32); ++n) note(*engine, record, 40 + n, true);
    double slowest = 0.0;
    uint64_t checksum = 14695981039346656037ull;
    float peak = 0.f;  // the largest left sample: a number that is no number shows here
    const double start = processorSeconds();
    for (int b = 0; b < blocks; ++b) {
        if (!notes) {
            if (load == kWorst) jumpCutoff(*engine, record, b);
        } else if (heavy) {
            const int newest = 40 + (b + 40) % 80;
            note(*engine, record, 40 + b % 80, false);
            note(*engine, record, newest, true);
        } else if (load == kWorst) {
            jumpCutoff(*engine, record, b);
        } else if (b % 2000 == 1500) {
            for (int n = 0; n < 32; ++n) note(*engine, record, 40 + n, false);
        } else if (b % 2000 == 0 && b > 0) {
            for (int n = 0; n < 32; ++n) note(*engine, record, 40 + n, true);
        }
        const double blockStart = timeBlocks ? processorSeconds() : 0.0;
        int frames = L, more = 0;
        engine->renderReplacing(outputs, 0, &frames, &more);
        if (timeBlocks) slowest = std::max(slowest, (processorSeconds() - blockStart) * 1e6);
        for (int i = 0; i < L; ++i) peak = std::max(peak, std::fabs(buffers[0][i]));
        for (int c = 0; c < SynthEngine::kQueueChannels; ++c)
            for (int i = 0; i < L; ++i) {
                uint32_t bits;
                std::memcpy(&bits, &buffers[c][i], sizeof bits);
                checksum = (checksum ^ bits) * 1099511628211ull;
            }
    }
    const double end = processorSeconds();
    volatile float sink = buffers[0][0];
    (void)sink;
    engine->freeBuffers();
    delete engine;

    Result r;
    r.seconds = end - start;
    r.slowestBlockUs = slowest;
    r.peak = peak;
    r.checksum = checksum;
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Idle and 32-voice runs alternate, so that slow drifts of a shared machine hit both alike.
void measure(const char* name, Load load, int runs) {
    std::vector<double> idle, full, slowest;
    float peak = 0.f;
    uint64_t checksum = 0;
    for (int i = 0; i < runs; ++i) {
        idle.push_back(run(load, false).seconds);
        const Result r = run(load, true);
        full.push_back(r.seconds);
        slowest.push_back(run(load, true, true).slowestBlockUs);
        peak = std::max(peak, r.peak);
        checksum = r.checksum;
    }
    const double audio = gSeconds, samples = gSeconds * (double)kRate;
    const double budgetUs = 44.0 / kRate * 1e6;
    const double marginal = (median(full) - median(idle)) * 1e9 / (samples * SynthEngine::kSlots);
    std::printf("%s\n", name);
    std::printf("  real-time factor, 32 voices:  %.1f x (idle %.1f x)\n", audio / median(full), audio / median(idle));
    std::printf("  per voice-sample (marginal):  %.2f ns\n", marginal);
    std::printf("  slowest block (median):       %.1f us = %.0f %% of the block's %.1f us\n", median(slowest),
                100.0 * median(slowest) / budgetUs, budgetUs);
    std::printf("  output peak:                  %.3g, checksum %016llx\n", peak, (unsigned long long)checksum);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (argc > 2) gSeconds = std::max(1, std::atoi(argv[2]));
    const char* only = argc > 3 ? argv[3] : "";
    const auto wanted = [only](const char* name) { return !*only || std::strcmp(only, name) == 0; };
    run(kTypical, true);  // warm up
    std::printf("engine, medians of %d runs of %d s at %.0f Hz, 0 and 32 voices\n", runs, gSeconds, kRate);
    if (wanted("typical")) measure("typical patch (sawtooth lines through high-pass and low-pass)", kTypical, runs);
    if (wanted("heavy"))
        measure("heavy patch (sawtooth and pulse, 4-pole lines, mixer, a steal every block)", kHeavy, runs);
    if (wanted("worst"))
        measure("worst case (every waveform, sync, 4-pole lines, cutoff jumps, every source, pedal, ring "
                "modulators, chorus, delay)",
                kWorst, runs);
    return 0;
}
