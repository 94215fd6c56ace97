// A small test patch driven only through the engine's commands and routing: parts in
// zones, amplifier envelopes that sound, and a constant source routed into the VCAs'
// audio inputs so that the output is known without the oscillators' detail.
#pragma once

#include <cstring>
#include <vector>

#include "engine/synth_engine.h"

struct EnginePatch {
    SynthEngine engine;
    EngineCommand record;

    EnginePatch() { std::memset(&record, 0, sizeof record); }

    // Init at the rate, kCmdSampleRate, as the plug-in starts the engine.
    bool start(float rate = 44100.f) {
        record.sampleRate = rate;
        record.count = 2;
        if (engine.init(&record)) return false;
        return engine.command(&record, kCmdSampleRate) == 0;
    }

    int send(int code) { return engine.command(&record, code); }
    void rerate(float rate) {
        record.sampleRate = rate;
        send(kCmdSampleRate);
    }

    void zone(int zone, int mode, int channel = 16, int lowKey = 0, int highKey = 127) {
        record.zone = zone;
        record.zoneMode = mode;
        record.zoneChannel = channel;
        record.zoneLowKey = lowKey;
        record.zoneHighKey = highKey;
        record.kind = 0;
        send(kCmdZone);
    }
    void partZone(int part, int zone) {
        record.part = part;
        record.zone = zone;
        send(kCmdPartZone);
    }
    void voices(int count) {
        record.count = count;
        send(kCmdVoicesPerPart);
    }
    void envelope(int part, int index, float attack, float decay, float release, float sustain,
                  float attackLevel = 1.f) {
        record.part = part;
        record.subIndex = index;
        const float settings[6] = {attack, decay, release, 0.f, attackLevel, sustain};
        std::memcpy(record.envelope, settings, sizeof settings);
        send(kCmdEnvelope);
    }
    // Line 1 of the part carries velocity x amplifier envelope; line 2 stays silent.
    void audibleLine1(int part) {
        engine.disconnect(kDstVca2Audio, -1, part);
        engine.disconnect(kDstVca1Audio, -1, part);
        engine.connect(kSrcVelocity, kDstVca1Audio, part);
        envelope(part, 1, 1.f, 50.f, 20.f, 0.5f);
    }
    // Every part in zone 0 with the mode, n voices each, line 1 audible.
    void basicPatch(int mode = kAssignRotate, int voicesPerPart = 1, int parts = 8) {
        zone(0, mode);
        voices(voicesPerPart);
        for (int p = 0; p < parts; ++p) {
            partZone(p, 0);
            audibleLine1(p);
        }
    }

    void noteOn(int note, int velocity = 100, int channel = 0) {
        record.kind = kNoteOnEvent;
        record.note = note;
        record.velocity = velocity;
        record.channel = channel;
        send(kCmdNoteEvent);
    }
    void noteOff(int note, int channel = 0) {
        record.kind = kNoteOffEvent;
        record.note = note;
        record.velocity = 0;
        record.channel = channel;
        send(kCmdNoteEvent);
    }

    // Renders count samples through renderReplacing in pieces of at most piece frames,
    // appending the master channels (and the part channels of the 10-output build).
    void render(int count, std::vector<float> out[SynthEngine::kQueueChannels], int piece = 44) {
        std::vector<float> buffers[SynthEngine::kQueueChannels];
        float* pointers[SynthEngine::kQueueChannels];
        for (int c = 0; c < SynthEngine::kQueueChannels; ++c) {
            buffers[c].assign(static_cast<size_t>(piece), 0.f);
            pointers[c] = buffers[c].data();
        }
        int done = 0;
        while (done < count) {
            int frames = count - done < piece ? count - done : piece;
            int given = 0;
            while (given < frames) {
                int n = frames - given;
                int more = 0;
                engine.renderReplacing(pointers, given, &n, &more);
                if (n == 0) return;
                given += n;
            }
            for (int c = 0; c < SynthEngine::kQueueChannels; ++c)
                out[c].insert(out[c].end(), buffers[c].begin(), buffers[c].begin() + frames);
            done += frames;
        }
    }
    // One engine block: drains the note ring and runs the voices.
    void block() {
        std::vector<float> out[SynthEngine::kQueueChannels];
        render(engine.getBlockLength(), out);
    }

    // Renders count samples and returns master left + right.
    std::vector<float> renderSum(int count) {
        std::vector<float> out[SynthEngine::kQueueChannels];
        render(count, out);
        for (size_t i = 0; i < out[0].size(); ++i) out[0][i] += out[1][i];
        return out[0];
    }

    const GateRecord& gate(int slot) { return *engine.valuePort(kSourceGate, slot)->gate; }
    float firstSample(int source, int slot) { return engine.valuePort(source, slot)->samples[0]; }
};
