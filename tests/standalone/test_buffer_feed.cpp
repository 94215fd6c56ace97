// The looping buffer's top-up arithmetic against simulated devices: a play cursor that
// moves in steps of a given size as the device's clock runs, a write cursor a fixed lead
// ahead of it, and a poll every millisecond that writes what the feed asks for.
#include <gtest/gtest.h>

#include <algorithm>

#include "audio_manager.h"

namespace {

const int kBuffer = 8800;  // twice the maximum latency, as the DirectSound channel makes it
const int kMaxLatency = 4400;
const int kSlice = LoopingBufferFeed::kSliceFrames;

struct Device {
    int step;            // frames the play cursor moves at once
    int lead;            // the write cursor's lead over the play cursor
    double speed = 1.0;  // how fast the device's clock runs against real time
};

struct Outcome {
    int largestTick = 0;
    bool wholeSlices = true;
    long long underruns = 0;  // after the first second
    int heldAtEnd = 0;
    int longestWait = 0;       // note entry to where its render lands, less the device's lead
    int shortestWait = 1 << 30;
};

// Runs the device for the given milliseconds of real time, a poll each millisecond; a note
// enters between two polls every 7 ms (out of step with the cursor's moves).
Outcome simulate(const Device& device, int latency, int milliseconds, LoopingBufferFeed& feed) {
    Outcome run;
    double clock = 0;  // the device's frames since it started
    long long underrunsBefore = 0;
    for (int ms = 0; ms < milliseconds; ms++) {
        clock += 44.1 * device.speed;
        long long consumed = (long long)(clock / device.step) * device.step;
        int play = (int)(consumed % kBuffer);
        int frames = feed.tick(play, play + device.lead, latency);
        run.largestTick = std::max(run.largestTick, frames);
        if (frames % kSlice != 0) run.wholeSlices = false;
        feed.wrote(frames);
        if (ms == 1000) underrunsBefore = feed.getUnderruns();
        if (ms > 1000 && ms % 7 == 3) {
            // The note enters now: the next render lands at the written end of the stream.
            int wait = (int)(feed.getWrittenFrames() - consumed - device.lead);
            run.longestWait = std::max(run.longestWait, wait);
            run.shortestWait = std::min(run.shortestWait, wait);
        }
    }
    run.underruns = feed.getUnderruns() - underrunsBefore;
    run.heldAtEnd = feed.getHeldLatency();
    return run;
}

TEST(LoopingBufferFeed, KeepsTheLatencyInWholeSlicesOrTheSmallestTheDeviceCanHold) {
    struct Case {
        Device device;
        int latency;
        int held;  // what the feed keeps queued beyond the write cursor
    };
    const Case cases[] = {
        {{441, 441}, 4400, 4400},         // a device that moves 10 ms at once, at the default latency
        {{441, 441}, 220, 484},           // ... at the smallest setting: 11 slices are the least it holds
        {{1764, 441, 3.6}, 4400, 4400},   // a null device running fast in 40 ms steps
        {{1764, 441, 3.6}, 220, 1848},    // ... which cannot hold less than 42 slices
        {{1764, 441}, 1760, 1848},        // a setting just below the device's step is raised too
        {{32, 64}, 220, 220},             // a fine-grained device holds the setting itself
        {{1000, 441}, 1012, 1056},        // a step that is no whole number of slices
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << c.device.step << ", latency " << c.latency);
        LoopingBufferFeed feed;
        feed.reset(kBuffer, kMaxLatency);
        Outcome run = simulate(c.device, c.latency, 4000, feed);
        EXPECT_TRUE(run.wholeSlices) << "a render of part of a slice delays the next note";
        EXPECT_LE(run.largestTick, c.held) << "no more than the held latency is written in one tick";
        EXPECT_EQ(run.heldAtEnd, c.held);
        EXPECT_EQ(run.underruns, 0) << "the device never overtakes what was written";
        // A note waits no longer than the held latency, and at most one slice less.
        EXPECT_LE(run.longestWait, c.held);
        EXPECT_GT(run.shortestWait, c.held - kSlice - c.device.step);
    }
}

TEST(LoopingBufferFeed, ADeviceSteppingBeyondTheMaximumIsHeldAtTheMaximum) {
    LoopingBufferFeed feed;
    feed.reset(kBuffer, kMaxLatency);
    Outcome run = simulate({6000, 441}, 220, 4000, feed);
    EXPECT_EQ(run.heldAtEnd, kMaxLatency);
    EXPECT_TRUE(run.wholeSlices);
}

TEST(LoopingBufferFeed, OneStallRaisesTheHeldLatencyOnlyUntilItAgesOut) {
    LoopingBufferFeed feed;
    feed.reset(kBuffer, kMaxLatency);
    int play = 0;
    auto move = [&](int frames) {
        play = (play + frames) % kBuffer;
        feed.wrote(feed.tick(play, play + 441, 220));
    };
    for (int i = 0; i < 100; i++) move(44);
    EXPECT_EQ(feed.getHeldLatency(), 220);
    long long before = feed.getUnderruns();
    move(3000);  // the machine stalled for 68 ms
    EXPECT_EQ(feed.getUnderruns(), before + 1) << "what was queued could not cover it";
    EXPECT_EQ(feed.getHeldLatency(), 3080);
    for (int i = 0; i < LoopingBufferFeed::kStepHistory - 1; i++) move(44);
    EXPECT_EQ(feed.getHeldLatency(), 3080) << "still within the recent steps";
    move(44);
    EXPECT_EQ(feed.getHeldLatency(), 220);
    EXPECT_EQ(feed.getUnderruns(), before + 1);
}

TEST(LoopingBufferFeed, AnOvertakenBufferResumesAtTheWriteCursor) {
    LoopingBufferFeed feed;
    feed.reset(kBuffer, kMaxLatency);
    EXPECT_EQ(feed.tick(100, 541, 4400), 4400);
    EXPECT_EQ(feed.getWritePosition(), 541) << "the first write goes where the device will read next";
    feed.wrote(4400);
    EXPECT_EQ(feed.getWritePosition(), 4941);
    EXPECT_EQ(feed.getQueued(), 4400);
    EXPECT_EQ(feed.getUnderruns(), 0) << "nothing was written before the first tick";
    // The cursor runs beyond what was written; the next write wraps at the buffer's end.
    EXPECT_EQ(feed.tick(5000, 5441, 4400), 4400);
    EXPECT_EQ(feed.getUnderruns(), 1);
    EXPECT_EQ(feed.getWritePosition(), 5441);
    EXPECT_EQ(feed.getPlayedFrames(), 5000);
    feed.wrote(4400);
    EXPECT_EQ(feed.getWritePosition(), 5441 + 4400 - kBuffer);
    EXPECT_EQ(feed.getWrittenFrames(), 5000 + 441 + 4400);
    EXPECT_EQ(feed.tick(5100, 5541, 4400), 88) << "the 100 frames played, in whole slices";
    EXPECT_EQ(feed.getUnderruns(), 1);
}

}  // namespace
