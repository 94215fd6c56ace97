// Block rendering, the output queue and the writers, in the build this program is
// linked with (10 outputs or stereo).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine_patch.h"

namespace {

const int kL = 44;
const int kChannels = SynthEngine::kQueueChannels;

struct Outputs {
    std::vector<float> buffers[kChannels];
    float* pointers[kChannels];
    explicit Outputs(int length, float fill = 0.f) {
        for (int c = 0; c < kChannels; ++c) {
            buffers[c].assign(static_cast<size_t>(length), fill);
            pointers[c] = buffers[c].data();
        }
    }
};

// A chord on parts 0-3 in different pans, released halfway.
void playScene(EnginePatch& patch) {
    patch.basicPatch(kAssignRotate, 2, 4);
    for (int p = 0; p < 4; ++p) {
        patch.record.part = p;
        patch.record.pan = 0.2f * static_cast<float>(p);
        patch.send(kCmdPartPan);
    }
}

struct Event {
    int block;  // engine block in which the note takes effect
    bool on;
    int note;
};
const Event kScore[] = {{0, true, 60}, {0, true, 64}, {3, true, 67}, {7, true, 71}, {12, false, 60},
                        {15, false, 67}, {20, true, 72}, {30, false, 64}, {31, false, 71}, {40, false, 72}};

// Renders total samples through renderReplacing in host blocks of the size; every note
// is given just before the writer call that renders its block, as the plug-in's
// processing loop does.
std::vector<float> renderInBlocks(int hostBlock, int total) {
    EnginePatch patch;
    EXPECT_TRUE(patch.start());
    playScene(patch);
    std::vector<float> left;
    Outputs out(hostBlock);
    int handedOut = 0;
    size_t next = 0;
    while (handedOut < total) {
        const int block = total - handedOut < hostBlock ? total - handedOut : hostBlock;
        int position = 0;
        while (position < block) {
            int frames = block - position;
            if (patch.engine.getQueueFill() < frames) {
                const int renderedBlock = (handedOut + position + patch.engine.getQueueFill()) / kL;
                for (; next < sizeof kScore / sizeof kScore[0] && kScore[next].block <= renderedBlock; ++next)
                    kScore[next].on ? patch.noteOn(kScore[next].note) : patch.noteOff(kScore[next].note);
            }
            int more = 0;
            patch.engine.renderReplacing(out.pointers, position, &frames, &more);
            EXPECT_GT(frames, 0);
            if (frames <= 0) return left;
            position += frames;
        }
        left.insert(left.end(), out.buffers[0].begin(), out.buffers[0].begin() + block);
        handedOut += block;
    }
    return left;
}

TEST(Render, TheHostBlockSizeDoesNotChangeTheOutput) {
    const int total = 44 * 60 + 17;
    const std::vector<float> reference = renderInBlocks(44, total);
    ASSERT_EQ(reference.size(), static_cast<size_t>(total));
    float peak = 0.f;
    for (float x : reference) peak = std::max(peak, std::fabs(x));
    ASSERT_GT(peak, 0.01f);
    for (int hostBlock : {1, 100, 512, 4096}) {
        const std::vector<float> other = renderInBlocks(hostBlock, total);
        ASSERT_EQ(other.size(), reference.size()) << hostBlock;
        for (size_t i = 0; i < reference.size(); ++i) ASSERT_EQ(other[i], reference[i]) << hostBlock << " at " << i;
    }
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(patch.start()); }
    int write(Outputs& out, int offset, int frames, bool accumulate = false) {
        int more = -1;
        if (accumulate)
            engine.renderAccumulating(out.pointers, offset, &frames, &more);
        else
            engine.renderReplacing(out.pointers, offset, &frames, &more);
        EXPECT_EQ(more, engine.getQueueFill() > 0 ? 1 : 0);
        return frames;
    }
    // Fills the whole of out, from the start, as a host's processing loop would.
    void fill(Outputs& out) {
        const int total = static_cast<int>(out.buffers[0].size());
        for (int position = 0; position < total;) position += write(out, position, total - position);
    }
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
};

TEST_F(RenderTest, AWriterRendersAtMostOneBlockPerCall) {
    Outputs out(512);
    // A host block of 100: 44, 44, then 12, leaving 32 in the queue.
    EXPECT_EQ(write(out, 0, 100), 44);
    EXPECT_EQ(write(out, 44, 56), 44);
    EXPECT_EQ(write(out, 88, 12), 12);
    EXPECT_EQ(engine.getQueueFill(), 32);
    // The next call hands out what is queued after rendering one more block.
    EXPECT_EQ(write(out, 0, 100), 76);
    EXPECT_EQ(engine.getQueueFill(), 0);

    // A host block of 1: one block, then one sample per call for 43 calls.
    EXPECT_EQ(write(out, 0, 1), 1);
    for (int i = 0; i < 43; ++i) {
        EXPECT_EQ(engine.getQueueFill(), 43 - i);
        EXPECT_EQ(write(out, 0, 1), 1);
    }
    EXPECT_EQ(engine.getQueueFill(), 0);
    EXPECT_EQ(write(out, 0, 1), 1);
    EXPECT_EQ(engine.getQueueFill(), 43);
}

TEST_F(RenderTest, ANoteStartsOnTheEngineBlockGrid) {
    patch.basicPatch(kAssignRotate, 1, 1);
    Outputs out(4000);
    int position = 0;
    // Pieces of 7 until frame 100; the note is given then and sounds from the next block.
    while (position < 100) position += write(out, position, 7);
    const int noteBlockStart = position + engine.getQueueFill();
    patch.noteOn(60);
    while (position < 4000) position += write(out, position, 4000 - position < 7 ? 4000 - position : 7);
    int first = -1;
    for (int i = 0; i < 4000 && first < 0; ++i)
        if (out.buffers[0][static_cast<size_t>(i)] != 0.f) first = i;
    // The amplifier envelope holds its initial level for the note's first block.
    EXPECT_EQ(noteBlockStart % kL, 0);
    EXPECT_EQ(first, noteBlockStart + kL);
}

TEST_F(RenderTest, AccumulatingIntoSilenceEqualsReplacing) {
    EnginePatch other;
    ASSERT_TRUE(other.start());
    playScene(patch);
    playScene(other);
    Outputs replaced(2000, 0.5f), accumulated(2000, 0.f);
    patch.noteOn(60);
    other.noteOn(60);
    int a = 0, b = 0;
    while (a < 2000) a += write(replaced, a, 2000 - a < 300 ? 2000 - a : 300);
    while (b < 2000) {
        int frames = 2000 - b < 300 ? 2000 - b : 300, more = 0;
        other.engine.renderAccumulating(accumulated.pointers, b, &frames, &more);
        b += frames;
    }
    for (int c = 0; c < kChannels; ++c)
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(accumulated.buffers[c][i], replaced.buffers[c][i]) << c << " " << i;

    // Accumulating adds to what the host buffers hold.
    Outputs twice(44, 1.f);
    EnginePatch third;
    ASSERT_TRUE(third.start());
    playScene(third);
    third.noteOn(60);
    int frames = 44, more = 0;
    third.engine.renderAccumulating(twice.pointers, 0, &frames, &more);
    for (int i = 0; i < 44; ++i) EXPECT_EQ(twice.buffers[0][i], 1.f + replaced.buffers[0][i]) << i;
}

TEST_F(RenderTest, PartOutputsSumToTheMasterWithThePanSpread) {
    playScene(patch);
    for (int note : {48, 55, 60, 64, 67}) patch.noteOn(note);
    Outputs out(44 * 30);
    fill(out);
    if (HALVORN_OUTPUTS != 10) {
        // The stereo build has no part queues: only the two masters carry sound.
        EXPECT_EQ(kChannels, 2);
        return;
    }
    // Left and right gains of a voice add up to 1, so both masters together carry the
    // sum of the part outputs.
    float partPeak = 0.f;
    for (int i = 0; i < 44 * 30; ++i) {
        float parts = 0.f;
        for (int p = 0; p < 8; ++p) {
            parts += out.buffers[2 + p][i];
            partPeak = std::max(partPeak, std::fabs(out.buffers[2 + p][i]));
        }
        ASSERT_NEAR(out.buffers[0][i] + out.buffers[1][i], parts, 1e-6f) << i;
    }
    EXPECT_GT(partPeak, 0.01f);
    for (int p = 4; p < 8; ++p)
        for (float x : out.buffers[2 + p]) ASSERT_EQ(x, 0.f) << p;
}

TEST_F(RenderTest, EachVoiceIsPannedByItsLayersSpread) {
    // One voice on part 2 (layer 0): left gain 1 - pan + 0.02, right the rest.
    patch.basicPatch(kAssignRotate, 1, 8);
    patch.record.part = 2;
    patch.record.pan = 0.25f;
    patch.send(kCmdPartPan);
    patch.noteOn(60);
    patch.noteOn(62);  // part 2 (rotation starts at part 1)
    Outputs out(44 * 10);
    fill(out);
    ASSERT_EQ(engine.getSlot(2).note, 62);
    engine.disconnect(kDstVca1Audio, -1, 1);  // silence part 1 from here on
    Outputs next(44 * 4);
    fill(next);
    const float leftGain = 1.f - 0.25f + 0.02f;
    for (int i = 44; i < 44 * 4; ++i) {
        const float sum = next.buffers[0][i] + next.buffers[1][i];
        ASSERT_GT(std::fabs(sum), 0.001f);
        EXPECT_NEAR(next.buffers[0][i], sum * leftGain, 1e-6f) << i;
        if (HALVORN_OUTPUTS == 10) {
            EXPECT_NEAR(next.buffers[2 + 2][i], sum, 1e-6f) << i;
        }
    }
}

TEST_F(RenderTest, OnlyTheBuildsOutputsAreWrittenAndNullOnesAreSkipped) {
    playScene(patch);
    patch.noteOn(60);
    // Ten host buffers whatever the build; the stereo build must leave 2-9 alone.
    std::vector<float> buffers[10];
    float* pointers[10];
    for (int c = 0; c < 10; ++c) {
        buffers[c].assign(200, 7.f);
        pointers[c] = buffers[c].data();
    }
    if (HALVORN_OUTPUTS == 10) pointers[3] = nullptr;  // part 1's output
    int position = 0;
    while (position < 200) {
        int frames = 200 - position, more = 0;
        engine.renderReplacing(pointers, position, &frames, &more);
        position += frames;
    }
    for (int c = 0; c < 2; ++c) {
        bool written = false;
        for (float x : buffers[c]) written |= x != 7.f;
        EXPECT_TRUE(written) << c;
    }
    for (int c = 2; c < 10; ++c) {
        bool untouched = true;
        for (float x : buffers[c]) untouched &= x == 7.f;
        EXPECT_EQ(untouched, HALVORN_OUTPUTS == 2 || c == 3) << c;
    }
}

TEST_F(RenderTest, PanAndVolumeChangesMoveSmoothlyOnASoundingVoice) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.noteOn(60);
    Outputs warm(44 * 10);
    fill(warm);
    const float before = warm.buffers[0].back();
    patch.record.part = 0;
    patch.record.level = 0.f;
    patch.send(kCmdPartVolume);
    Outputs out(44);
    write(out, 0, 44);
    // 10 ms smoothing: the first sample after the change is still near the old level.
    EXPECT_GT(std::fabs(out.buffers[0][0]), 0.9f * std::fabs(before));
    EXPECT_LT(std::fabs(out.buffers[0][43]), std::fabs(out.buffers[0][0]));
    EXPECT_GT(std::fabs(out.buffers[0][43]), 0.f);

    // A voice that starts in the block takes its volume at once: part 0 at volume 0
    // starts silent.
    patch.noteOff(60);
    Outputs rest(44 * 400);
    fill(rest);
    ASSERT_EQ(engine.getSlot(0).state, 18);
    patch.noteOn(62);
    Outputs start(44 * 3);
    fill(start);
    for (float x : start.buffers[0]) ASSERT_EQ(x, 0.f);
}

TEST(RenderEdges, WritersBeforeInitWriteSilenceAndNegativeCountsNothing) {
    SynthEngine engine;
    Outputs out(64, 3.f);
    int frames = 64, more = 1;
    EXPECT_EQ(engine.renderReplacing(out.pointers, 0, &frames, &more), 0);
    EXPECT_EQ(frames, 64);
    EXPECT_EQ(more, 0);
    for (int c = 0; c < kChannels; ++c)
        for (float x : out.buffers[c]) ASSERT_EQ(x, 0.f) << c;
    Outputs kept(64, 3.f);
    frames = 64;
    engine.renderAccumulating(kept.pointers, 0, &frames, &more);
    for (int c = 0; c < kChannels; ++c)
        for (float x : kept.buffers[c]) ASSERT_EQ(x, 3.f) << c;
    engine.renderBlock();  // nothing to render into

    EnginePatch patch;
    ASSERT_TRUE(patch.start());
    frames = -5;
    EXPECT_EQ(patch.engine.renderReplacing(kept.pointers, 0, &frames, &more), 0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(patch.engine.getQueueFill(), 0);
    frames = 10;
    patch.engine.renderReplacing(kept.pointers, -1, &frames, &more);
    EXPECT_EQ(frames, 0);
    for (float x : kept.buffers[0]) ASSERT_EQ(x, 3.f);
    EXPECT_EQ(patch.engine.renderReplacing(kept.pointers, 0, nullptr, &more), 0);
    // A null channel array consumes the samples without writing them.
    frames = 30;
    patch.engine.renderReplacing(nullptr, 0, &frames, nullptr);
    EXPECT_EQ(frames, 30);
    EXPECT_EQ(patch.engine.getQueueFill(), 14);
}

TEST_F(RenderTest, ResetSilencesSoundingVoices) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.noteOn(60);
    Outputs out(44 * 20);
    fill(out);
    ASSERT_NE(out.buffers[0].back(), 0.f);
    engine.reset();
    Outputs after(44 * 3);
    fill(after);
    for (float x : after.buffers[0]) ASSERT_EQ(x, 0.f);
}

}  // namespace
