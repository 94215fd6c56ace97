// Cost of the whole engine: ten seconds rendered with all 32 voices sounding (8 parts x
// 4 voices), through the output writer, for a typical patch, for a heavy one in which
// every slot stays busy and a voice is stolen in every block, and for the worst case:
// both lines through two 4-pole filters whose cutoffs jump every block, every modulation
// source connected, the pedal's volume and wah on every voice, all four ring modulators,
// the chorus and the delay.
//
// Until the oscillators are built they produce nothing and cost nothing; each line takes
// the voice's velocity as its audio instead, so the figures leave out the oscillators.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/synth_engine.h"

namespace {

const float kRate = 44100.f;
const int kSeconds = 10;

struct Result {
    double realTimeFactor;
    double nsPerVoiceSample;
    double slowestBlockUs;
    double blockBudgetUs;
    float peak;  // of the left master output; NaN would show here
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

// Both lines through their high-pass and low-pass at 4 poles: velocity -> filter 0 ->
// filter 2 -> VCA 1 and velocity -> filter 1 -> filter 3 -> VCA 2.
void filterLines(SynthEngine& engine, EngineCommand& record, int p) {
    engine.disconnect(kDstVca1Audio, -1, p);
    engine.disconnect(kDstVca2Audio, -1, p);
    for (int line = 0; line < 2; ++line) {
        engine.connect(kSrcVelocity, kDstFilterAudio + 8 * line, p);
        engine.connect(kSrcFilter0 + line, kDstFilterAudio + 8 * (line + 2), p);
        engine.connect(kSrcFilter0 + 2 + line, line == 0 ? kDstVca1Audio : kDstVca2Audio, p);
    }
    record.part = p;
    record.enabled = 1;
    send(engine, record, kCmdLine1Poles);
    send(engine, record, kCmdLine2Poles);
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
        // Stand-in audio for the silent oscillators.
        engine.disconnect(kDstVca1Audio, -1, p);
        engine.disconnect(kDstVca2Audio, -1, p);
        engine.connect(kSrcVelocity, kDstVca1Audio, p);
        engine.connect(kSrcVelocity, kDstVca2Audio, p);
        // A modulation row: filter envelope -> amount 0 -> VCA 1 level.
        if (load == kWorst) {
            filterLines(engine, record, p);
            connectEverySource(engine, record, p);
            continue;
        }
        engine.connect(kSrcEnvelope0, kDstModAmount0, p);
        engine.connect(kSrcModAmount0, kDstVca1Audio + 6, p);
        if (heavy) {
            // Two more rows, and the line-1 signal through the mixer pair (0, 1).
            engine.connect(kSrcEnvelope0 + 2, kDstModAmount0 + 1, p);
            engine.connect(kSrcModAmount0 + 1, kDstEnvelopeModulation + 9, p);
            engine.connect(kSrcPressure, kDstModAmount0 + 2, p);
            engine.connect(kSrcModAmount0 + 2, kDstMixerLevel0, p);
            engine.disconnect(kDstVca1Audio, -1, p);
            engine.connect(kSrcVelocity, kDstMixerInput0, p);
            engine.connect(kSrcVelocity, kDstMixerInput0 + 1, p);
            engine.connect(kSrcMixer0, kDstVca1Audio, p);
            record.subIndex = 1;
            record.level = 0.5f;
            send(engine, record, kCmdMixerLevel);
        }
    }
    if (load == kWorst) effectsOn(engine, record);
}

Result run(Load load) {
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
    const int blocks = static_cast<int>(kRate) * kSeconds / L;
    // Typical: 32 keys held for 1.5 s and released for 0.5 s. Heavy: 40 keys held at
    // once, so that each block's new key steals a sounding voice.
    for (int n = 0; n < (heavy ? 40 : 32); ++n) note(*engine, record, 40 + n, true);
    double slowest = 0.0;
    float peak = 0.f;  // the largest left sample: a number that is no number shows here
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        if (heavy) {
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
        const auto blockStart = std::chrono::steady_clock::now();
        int frames = L, more = 0;
        engine->renderReplacing(outputs, 0, &frames, &more);
        const auto blockEnd = std::chrono::steady_clock::now();
        slowest = std::max(slowest, std::chrono::duration<double, std::micro>(blockEnd - blockStart).count());
        for (int i = 0; i < L; ++i) peak = std::max(peak, std::fabs(buffers[0][i]));
    }
    const auto end = std::chrono::steady_clock::now();
    volatile float sink = buffers[0][0];
    (void)sink;
    engine->freeBuffers();
    delete engine;

    const double ns = std::chrono::duration<double, std::nano>(end - start).count();
    const double audioNs = static_cast<double>(blocks) * L / kRate * 1e9;
    Result r;
    r.realTimeFactor = audioNs / ns;
    r.nsPerVoiceSample = ns / (static_cast<double>(blocks) * L * SynthEngine::kSlots);
    r.slowestBlockUs = slowest;
    r.blockBudgetUs = L / kRate * 1e6;
    r.peak = peak;
    return r;
}

void print(const char* name, const Result& r) {
    std::printf("%s\n", name);
    std::printf("  real-time factor:      %.1f x\n", r.realTimeFactor);
    std::printf("  per voice-sample:      %.2f ns\n", r.nsPerVoiceSample);
    std::printf("  slowest block:         %.1f us (a block lasts %.1f us)\n", r.slowestBlockUs, r.blockBudgetUs);
    std::printf("  output peak:           %.3g\n", r.peak);
}

}  // namespace

int main() {
    run(kTypical);  // warm up
    std::printf("engine, %d s at %.0f Hz, 32 voices (oscillators still silent stand-ins)\n", kSeconds, kRate);
    print("typical patch", run(kTypical));
    print("heavy patch (every slot busy, a steal every block)", run(kHeavy));
    print("worst case (4-pole lines, cutoff jumps, every source, pedal, ring modulators, chorus, delay)",
          run(kWorst));
    return 0;
}
