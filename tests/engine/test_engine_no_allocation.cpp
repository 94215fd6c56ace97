// After init, rendering, commands and routing take no heap memory: every operator new
// of this program is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/synth_engine.h"

// The replacements below pair malloc with free, which GCC cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<long> allocations{0};

void* countedAllocation(std::size_t size) {
    ++allocations;
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
    void* p = countedAllocation(size);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    void* p = countedAllocation(size);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

const int kCodes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  16, 17, 18, 19, 20, 21, 22, 23,  24,  25, 32, 33, 34, 35,
                      36, 37, 38, 39, 40, 41, 48, 49, 50, 51, 52, 53, 55, 56, 57, 64, 65, 66, 67, 68,  69,  70, 71, 72,
                      73, 80, 81, 82, 83, 85, 86, 87, 88, 89, 96, 97, 98, 99, 100, 101, 102, 103, 104, 113, 114};
static_assert(sizeof kCodes / sizeof kCodes[0] == 68, "every command code");

float buffers[SynthEngine::kQueueChannels][4096];

void renderFor(SynthEngine& engine, int samples, int piece) {
    float* outputs[SynthEngine::kQueueChannels];
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c) outputs[c] = buffers[c];
    int done = 0;
    while (done < samples) {
        int position = 0;
        const int block = piece;
        while (position < block) {
            int frames = block - position, more = 0;
            if (done % 3 == 0)
                engine.renderReplacing(outputs, position, &frames, &more);
            else
                engine.renderAccumulating(outputs, position, &frames, &more);
            position += frames;
        }
        done += block;
    }
}

void session(SynthEngine& engine, EngineCommand& record) {
    record.part = 0;
    record.zone = 0;
    record.zoneChannel = 16;
    record.zoneLowKey = 0;
    record.zoneHighKey = 127;
    record.zoneMode = kAssignRotate;
    record.count = 4;
    for (int p = 0; p < 8; ++p) {
        record.part = p;
        engine.command(&record, kCmdPartZone);
        engine.disconnect(kDstVca1Audio, -1, p);
        engine.connect(kSrcVelocity, kDstVca1Audio, p);
        engine.connect(kSrcEnvelope0, kDstModAmount0 + 2, p);
        engine.connect(kSrcModAmount0 + 2, kDstEnvelopeModulation + 8, p);
        // The line through a filter, and the LFOs at work.
        engine.connect(kSrcVelocity, kDstFilterAudio + 2 * 8, p);
        engine.connect(kSrcFilter0 + 2, kDstVca2Audio, p);
        engine.connect(kSrcVoiceLfo1, kDstFilter0 + 2 * 8 + 2, p);
        engine.connect(kSrcGate, kDstLfoTrigger1, p);
    }
    engine.command(&record, kCmdVoicesPerPart);
    const float envelope[6] = {2.f, 80.f, 30.f, 0.f, 1.f, 0.6f};
    std::memcpy(record.envelope, envelope, sizeof envelope);
    for (int p = 0; p < 8; ++p) {
        record.part = p;
        record.subIndex = 1;
        engine.command(&record, kCmdEnvelope);
    }
    for (int round = 0; round < 4; ++round) {
        for (int n = 0; n < 100; ++n) {
            record.kind = kNoteOnEvent;
            record.note = 30 + n;
            record.velocity = 90;
            engine.command(&record, kCmdNoteEvent);
        }
        renderFor(engine, 4096, 1 + 97 * round);
        for (int code : kCodes) {
            if (code == kCmdSampleRate || code == kCmdNoteEvent) continue;
            record.part = round;
            record.subIndex = round;
            record.zoneMode = round * 2;
            record.level = 0.5f;
            record.amount = 1.01f;
            record.pan = 0.3f;
            record.kind = round & 1;
            // Chorus, delay and ring modulators on in the even rounds, off in the odd ones.
            record.enabled = (round & 1) == 0;
            record.option = 1;
            record.lfoRate = 2.f;
            record.timeMs = 200.f;
            engine.command(&record, code);
        }
        record.zoneMode = kAssignRotate;
        record.kind = 0;
        engine.command(&record, kCmdZone);
        for (int n = 0; n < 100; ++n) {
            record.kind = kNoteOffEvent;
            record.note = 30 + n;
            engine.command(&record, kCmdNoteEvent);
        }
        renderFor(engine, 4096, 512);
    }
    record.sampleRate = 48000.f;
    engine.command(&record, kCmdSampleRate);
    engine.reset();
    renderFor(engine, 1000, 100);
}

TEST(EngineAllocation, RenderingCommandsAndRoutingAllocateNothingAfterInit) {
    SynthEngine* engine = new SynthEngine;
    EngineCommand record;
    std::memset(&record, 0, sizeof record);
    record.sampleRate = 44100.f;
    record.count = 2;
    const long beforeInit = allocations;
    ASSERT_EQ(engine->init(&record), 0);
    ASSERT_GT(allocations, beforeInit);  // the counter sees the engine's buffers
    engine->command(&record, kCmdSampleRate);

    const long before = allocations;
    session(*engine, record);
    const long during = allocations - before;

    EXPECT_EQ(during, 0);
    delete engine;
}

}  // namespace
