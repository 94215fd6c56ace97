// Cost of the whole engine: ten seconds rendered with all 32 voices sounding (8 parts x
// 4 voices), through the output writer, for a typical patch and for a heavy one in
// which every slot stays busy and a voice is stolen in every block.
//
// Until the oscillators are built they produce nothing and cost nothing; each line's
// VCA takes the voice's velocity as its audio instead, so the figures cover the engine,
// the envelopes, the mixer bank, the modulation amounts and the VCAs only.
#include <algorithm>
#include <chrono>
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
};

void send(SynthEngine& engine, EngineCommand& record, int code) { engine.command(&record, code); }

void note(SynthEngine& engine, EngineCommand& record, int n, bool on) {
    record.kind = on ? kNoteOnEvent : kNoteOffEvent;
    record.note = n;
    record.velocity = 100;
    record.channel = 0;
    send(engine, record, kCmdNoteEvent);
}

void buildPatch(SynthEngine& engine, EngineCommand& record, bool heavy) {
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
}

Result run(bool heavy) {
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
    buildPatch(*engine, record, heavy);

    static float buffers[SynthEngine::kQueueChannels][64];
    float* outputs[SynthEngine::kQueueChannels];
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c) outputs[c] = buffers[c];

    const int L = engine->getBlockLength();
    const int blocks = static_cast<int>(kRate) * kSeconds / L;
    // Typical: 32 keys held for 1.5 s and released for 0.5 s. Heavy: 40 keys held at
    // once, so that each block's new key steals a sounding voice.
    for (int n = 0; n < (heavy ? 40 : 32); ++n) note(*engine, record, 40 + n, true);
    double slowest = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        if (heavy) {
            const int newest = 40 + (b + 40) % 80;
            note(*engine, record, 40 + b % 80, false);
            note(*engine, record, newest, true);
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
    return r;
}

void print(const char* name, const Result& r) {
    std::printf("%s\n", name);
    std::printf("  real-time factor:      %.1f x\n", r.realTimeFactor);
    std::printf("  per voice-sample:      %.2f ns\n", r.nsPerVoiceSample);
    std::printf("  slowest block:         %.1f us (a block lasts %.1f us)\n", r.slowestBlockUs, r.blockBudgetUs);
}

}  // namespace

int main() {
    run(false);  // warm up
    std::printf("engine, %d s at %.0f Hz, 32 voices (oscillators still silent stand-ins)\n", kSeconds, kRate);
    print("typical patch", run(false));
    print("heavy patch (every slot busy, a steal every block)", run(true));
    return 0;
}
