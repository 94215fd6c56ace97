// The whole engine under random use: seeded sequences of commands with hostile field
// values (NaN, infinities, huge and negative numbers, codes outside the table), random
// connections and disconnections, notes, rate changes and resets, rendered in random
// pieces between them. Every output sample must be a finite number, and nothing may crash
// (the sanitizers watch the native build). The patch starts audible, so that the random
// commands act on sounding voices, filters and effects.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "engine_patch.h"

namespace {

const int kCodes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  16, 17, 18, 19, 20, 21, 22, 23,  24,  25, 32, 33, 34, 35,
                      36, 37, 38, 39, 40, 41, 48, 49, 50, 51, 52, 53, 55, 56, 57, 64, 65, 66, 67, 68,  69,  70, 71, 72,
                      73, 80, 81, 82, 83, 85, 86, 87, 88, 89, 96, 97, 98, 99, 100, 101, 102, 103, 104, 113, 114};
static_assert(sizeof kCodes / sizeof kCodes[0] == 68, "every command code");

// xorshift64*: the same sequence on every platform and compiler.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    float unit() { return static_cast<float>(next() >> 8) / 16777216.f; }
    bool chance(int percent) { return below(100) < percent; }
};

float hostileFloat(Random& r) {
    switch (r.below(16)) {
    case 0: return NAN;
    case 1: return INFINITY;
    case 2: return -INFINITY;
    case 3: return FLT_MAX;
    case 4: return -FLT_MAX;
    case 5: return 1e30f;
    case 6: return -1e30f;
    case 7: return 1e-40f;  // denormal
    case 8: return -0.f;
    case 9: return r.unit() * 2e6f - 1e6f;
    case 10: return r.unit() * 200.f - 100.f;
    case 11: return -r.unit();
    default: return r.unit();
    }
}

// Mostly the plug-in's own ranges, sometimes anything.
float fuzzFloat(Random& r) { return r.chance(30) ? hostileFloat(r) : r.unit(); }

int fuzzInt(Random& r) {
    switch (r.below(12)) {
    case 0: return INT_MIN;
    case 1: return INT_MAX;
    case 2: return -1;
    case 3: return static_cast<int>(r.next());
    case 4: return r.between(-300, 300);
    case 5: return '@' + r.below(8);  // LFO letters
    case 6: return r.between(0, 127);
    default: return r.between(0, 8);
    }
}

struct Fuzzer {
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
    EngineCommand& record = patch.record;
    Random random;
    std::deque<std::string> log;  // the last operations, for a failure message
    long renderedSamples = 0;
    long soundingSamples = 0;

    explicit Fuzzer(uint64_t seed) : random(seed) {}

    void note(const char* format, int a, int b = 0, int c = 0) {
        char text[96];
        std::snprintf(text, sizeof text, format, a, b, c);
        log.emplace_back(text);
        if (log.size() > 24) log.pop_front();
    }
    std::string history() const {
        std::string s;
        for (const std::string& line : log) s += "  " + line + "\n";
        return s;
    }

    // Every part sounding through its filters into the VCAs, the effects on.
    bool begin() {
        if (!patch.start(44100.f)) return false;
        patch.basicPatch(kAssignRotate, 4, 8);
        for (int p = 0; p < SynthEngine::kParts; ++p) {
            engine.connect(kSrcVelocity, kDstModAmount0, p);
            engine.connect(kSrcModAmount0, kDstFilterAudio + 2 * 8, p);
            engine.connect(kSrcVelocity, kDstFilterAudio + 3 * 8, p);
            engine.connect(kSrcFilter0 + 2, kDstVca1Audio + 6, p);
            engine.connect(kSrcFilter0 + 3, kDstVca2Audio, p);
            engine.connect(kSrcVoiceLfo1, kDstFilter0 + 2 * 8 + 2, p);
            engine.connect(kSrcVoiceLfo2, kDstFilter0 + 3 * 8 + 3, p);
            engine.connect(kSrcGate, kDstLfoTrigger1, p);
        }
        record.lfoRate = 2000.f;
        record.valueA = 0.5f;
        record.enabled = 1;
        patch.send(kCmdRingModulator);
        record.lfoWave = 0;
        patch.send(kCmdChorus);
        record.timeMs = 120.f;
        record.level = 0.7f;
        patch.send(kCmdDelay);
        record.kind = 1;
        record.option = 1;
        patch.send(kCmdPedalSetup);
        return true;
    }

    void randomCommand() {
        int code = kCodes[random.below(68)];
        if (random.chance(3)) code = fuzzInt(random);
        // Every field gets a value; the code reads what it needs.
        record.sampleRate = fuzzFloat(random);
        record.count = fuzzInt(random);
        record.kind = random.chance(50) ? kNoteOnEvent : fuzzInt(random);
        record.note = fuzzInt(random);
        record.velocity = fuzzInt(random);
        record.channel = fuzzInt(random);
        for (float& e : record.envelope) e = random.chance(50) ? fuzzFloat(random) : random.unit() * 500.f;
        record.part = random.chance(80) ? random.below(8) : fuzzInt(random);
        record.fixedPitch = fuzzInt(random);
        record.width = fuzzFloat(random);
        record.amount = random.chance(70) ? 0.5f + random.unit() : fuzzFloat(random);
        record.tableIndex = fuzzInt(random);
        record.waveSaw = fuzzInt(random);
        record.waveSquare = fuzzInt(random);
        record.waveExtra = fuzzInt(random);
        record.sync = fuzzInt(random);
        record.resonance = random.chance(70) ? random.unit() * 10.f : fuzzFloat(random);
        record.cutoff = random.chance(70) ? random.unit() * 20000.f : fuzzFloat(random);
        record.enabled = fuzzInt(random);
        record.bend = fuzzFloat(random);
        record.pedal = fuzzFloat(random);
        record.pressure = fuzzFloat(random);
        record.glideTime = fuzzFloat(random);
        record.subIndex = fuzzInt(random);
        record.level = fuzzFloat(random);
        record.pan = fuzzFloat(random);
        record.valueA = fuzzFloat(random);
        record.valueB = fuzzFloat(random);
        record.valueC = fuzzFloat(random);
        record.valueD = fuzzFloat(random);
        record.lfoRate = random.chance(70) ? random.unit() * 20.f : fuzzFloat(random);
        record.lfoWave = fuzzInt(random);
        record.tempoSync = fuzzInt(random);
        record.tempo = random.chance(70) ? 60.f + random.unit() * 120.f : fuzzFloat(random);
        record.tempoDivision = fuzzInt(random);
        record.zone = fuzzInt(random);
        record.zoneChannel = fuzzInt(random);
        record.zoneLowKey = fuzzInt(random);
        record.zoneHighKey = fuzzInt(random);
        record.zoneMode = fuzzInt(random);
        record.arpRun = fuzzInt(random);
        record.arpHold = fuzzInt(random);
        record.timeMs = random.chance(70) ? random.unit() * 6000.f : fuzzFloat(random);
        record.arpOctaves = fuzzInt(random);
        record.arpRepeats = fuzzInt(random);
        record.option = fuzzInt(random);
        if (code == kCmdSampleRate && random.chance(50)) {
            static const float kRates[] = {22050.f, 44100.f, 48000.f, 88200.f, 96000.f, 192000.f};
            record.sampleRate = kRates[random.below(6)];
        }
        if (code == kCmdSampleRate && random.chance(70)) return;  // rate changes are rarer
        note("command %d", code);
        engine.command(&record, code);
    }

    void randomNote() {
        record.kind = random.chance(60) ? kNoteOnEvent : kNoteOffEvent;
        record.note = random.chance(90) ? random.between(30, 90) : fuzzInt(random);
        record.velocity = random.chance(90) ? random.between(1, 127) : fuzzInt(random);
        record.channel = random.chance(90) ? random.below(16) : fuzzInt(random);
        note("note kind %d key %d velocity %d", record.kind, record.note, record.velocity);
        engine.command(&record, kCmdNoteEvent);
    }

    void randomRouting() {
        const int source = random.chance(90) ? random.below(kRouteSources) : random.between(-3, 45);
        const int destination = random.chance(90) ? random.below(kRouteDestinations) : random.between(-3, 115);
        const int part = random.chance(95) ? random.below(8) : random.between(-2, 9);
        if (random.chance(55)) {
            note("connect %d -> %d, part %d", source, destination, part);
            engine.connect(source, destination, part);
        } else {
            const int which = random.chance(30) ? -1 : source;
            note("disconnect %d from %d, part %d", which, destination, part);
            engine.disconnect(destination, which, part);
        }
    }

    // Renders in random pieces with both writers; false at the first sample that is no
    // finite number.
    bool render() {
        const int total = random.between(1, 1500);
        note("render %d", total);
        static float buffers[SynthEngine::kQueueChannels][1500];
        float* outputs[SynthEngine::kQueueChannels];
        for (int c = 0; c < SynthEngine::kQueueChannels; ++c) {
            outputs[c] = buffers[c];
            std::memset(buffers[c], 0, sizeof buffers[c]);
        }
        const bool accumulate = random.chance(50);
        int position = 0;
        while (position < total) {
            int frames = std::min(total - position, random.between(1, 600));
            int more = 0;
            if (accumulate)
                engine.renderAccumulating(outputs, position, &frames, &more);
            else
                engine.renderReplacing(outputs, position, &frames, &more);
            if (frames <= 0) break;
            position += frames;
        }
        for (int c = 0; c < SynthEngine::kQueueChannels; ++c)
            for (int i = 0; i < position; ++i) {
                if (!std::isfinite(buffers[c][i])) {
                    ADD_FAILURE() << "channel " << c << " sample " << i << " is " << buffers[c][i] << "\n" << history();
                    return false;
                }
                if (c == 0 && buffers[c][i] != 0.f) ++soundingSamples;
            }
        renderedSamples += position;
        return true;
    }

    // Random zone, voice and level commands soon leave nothing to hear: now and then the
    // parts are given back their zone, voices and volume, and a chord is struck.
    void replay() {
        note("replay", 0);
        patch.zone(0, kAssignRotate);
        patch.voices(4);
        for (int p = 0; p < SynthEngine::kParts; ++p) {
            patch.partZone(p, 0);
            record.part = p;
            record.level = 0.5f;
            patch.send(kCmdPartVolume);
        }
        record.level = 1.f;
        patch.send(kCmdMasterVolume);
        for (int k = 0; k < 6; ++k) patch.noteOn(random.between(36, 84), random.between(20, 127));
    }

    bool step() {
        const int choice = random.below(100);
        if (choice < 3) {
            replay();
        } else if (choice < 40) {
            randomCommand();
        } else if (choice < 55) {
            randomNote();
        } else if (choice < 70) {
            randomRouting();
        } else if (choice < 71) {
            note("reset", 0);
            engine.reset();
        } else {
            return render();
        }
        return true;
    }
};

TEST(EngineFuzz, RandomHostileUseKeepsEveryOutputSampleFinite) {
    const int kSeeds = 6;
    const int kSteps = 2000;
    long sounding = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
        Fuzzer* fuzzer = new Fuzzer(static_cast<uint64_t>(seed));
        ASSERT_TRUE(fuzzer->begin());
        // A few notes first, so that the random commands meet sounding voices.
        for (int k = 0; k < 8; ++k) fuzzer->patch.noteOn(48 + 3 * k, 100);
        bool ok = true;
        for (int i = 0; i < kSteps && ok; ++i) ok = fuzzer->step();
        EXPECT_TRUE(ok) << "seed " << seed;
        EXPECT_GT(fuzzer->renderedSamples, 44 * 1000) << "seed " << seed;
        sounding += fuzzer->soundingSamples;
        delete fuzzer;
        if (!ok) break;
    }
    // The sequences must have played, not only kept silent.
    EXPECT_GT(sounding, 44 * 100);
}

}  // namespace
