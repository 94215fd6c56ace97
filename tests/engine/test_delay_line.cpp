#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/delay_line.h"

namespace {

void setMode(DelayLine& line, int mode) {
    DelayLineRecord record = {0, mode};
    EXPECT_EQ(0, line.message(&record, kDelayLineReadMode));
}

// Pushes 0, 1, 2, ... count - 1: the sample k before the newest is count - 1 - k.
void pushRamp(DelayLine& line, int count) {
    for (int k = 0; k < count; ++k) line.push((float)k);
}

TEST(DelayLine, CapacityHoldsTheLongestDelayAt48kHzAndTheReadLookAhead) {
    DelayLine line;
    ASSERT_EQ(0, line.init(44100.0f, 1000.0f));
    EXPECT_GE(line.getCapacity(), 48000 + 3);
    EXPECT_EQ(kDelayReadQuadratic, line.getReadMode());
    EXPECT_FLOAT_EQ(44.1f, line.getSamplesPerMs());
    const int capacity = line.getCapacity();
    line.setSampleRate(96000.0f);
    EXPECT_FLOAT_EQ(96.0f, line.getSamplesPerMs());
    EXPECT_EQ(capacity, line.getCapacity());
}

TEST(DelayLine, ReadModesOnARamp) {
    // On a ramp every read gives newest - (effective delay in samples): truncation gives the
    // whole samples, linear interpolation the exact delay, and the quadratic B-spline sits
    // half a sample later (except at 0 ms, where it is the newest sample).
    struct Case {
        int mode;
        float ms;
        double delaySamples;  // at 48 samples per ms
    };
    const Case cases[] = {
        {kDelayReadTruncated, 0.0f, 0.0},      {kDelayReadTruncated, 1.0f, 48.0},
        {kDelayReadTruncated, 2.51f, 120.0},   {kDelayReadTruncated, 0.01f, 0.0},
        {kDelayReadQuadratic, 0.0f, 0.0},      {kDelayReadQuadratic, 1.0f, 48.5},
        {kDelayReadQuadratic, 2.51f, 120.98},  {kDelayReadQuadratic, 0.01f, 0.98},
        {1, 0.0f, 0.0},                        {1, 2.51f, 120.48},
        {3, 0.5f, 24.0},                       {0, 0.01f, 0.48},
    };
    for (const Case& c : cases) {
        DelayLine line;
        ASSERT_EQ(0, line.init(48000.0f, 100.0f));
        setMode(line, c.mode);
        pushRamp(line, 1000);
        EXPECT_NEAR(999.0 - c.delaySamples, line.read(c.ms), 1e-3) << "mode " << c.mode << " at " << c.ms << " ms";
    }
}

TEST(DelayLine, QuadraticReadWeighsThreeSamples) {
    DelayLine line;
    ASSERT_EQ(0, line.init(48000.0f, 10.0f));
    // Newest first: p0 = 1 at 0.5 samples (a = 0.5) gives 1/8 p0 + 3/4 p1 + 1/8 p2.
    line.push(100.0f);  // p2
    line.push(10.0f);   // p1
    line.push(1.0f);    // p0
    EXPECT_NEAR(0.125 * 1 + 0.75 * 10 + 0.125 * 100, line.read(0.5f / 48.0f), 1e-4);
}

TEST(DelayLine, AllpassReadFollowsItsRecurrence) {
    DelayLine line;
    ASSERT_EQ(0, line.init(44100.0f, 10.0f));
    setMode(line, kDelayReadAllpass);
    const float ms = 0.3f;  // 13.23 samples
    const double d = (double)(ms * line.getSamplesPerMs());
    const int i = (int)d;
    const double a = d - i;
    std::vector<double> x;
    double previous = 0.0;
    for (int n = 0; n < 400; ++n) {
        const double sample = std::sin(0.05 * n) + 0.3 * std::sin(0.71 * n);
        x.push_back(sample);
        line.push((float)sample);
        auto back = [&](int k) { return (int)x.size() - 1 - k >= 0 ? x[x.size() - 1 - k] : 0.0; };
        const double expected = (1.0 - a) * (back(i) - previous) + back(i + 1);
        previous = expected;
        ASSERT_NEAR(expected, line.read(ms), 1e-4) << n;
    }
}

TEST(DelayLine, LongestDelayAt96kHzStaysInsideTheBuffer) {
    // 5001 ms at 48 kHz is 2500.5 ms at 96 kHz: 240048 samples back, and the quadratic read
    // looks two further.
    DelayLine line;
    ASSERT_EQ(0, line.init(96000.0f, 5001.0f));
    const int count = line.getCapacity() + 17;
    pushRamp(line, count);
    const double newest = count - 1;
    setMode(line, kDelayReadTruncated);
    EXPECT_EQ(newest - 240048.0, line.read(2500.5f));
    setMode(line, kDelayReadQuadratic);
    EXPECT_NEAR(newest - 240048.5, line.read(2500.5f), 0.05);  // float ulp at 240000 is 1/64
    // Beyond the capacity, and NaN: the oldest sample the read may reach, and the newest.
    const double oldestReachable = newest - (line.getCapacity() - 1);
    EXPECT_GE(line.read(1e9f), oldestReachable);
    setMode(line, kDelayReadTruncated);
    EXPECT_GE(line.read(1e9f), oldestReachable);
    EXPECT_EQ(newest, line.read(NAN));
    EXPECT_EQ(newest, line.read(-5.0f));
}

TEST(DelayLine, ClearEmptiesAndFreeIsSafeTwice) {
    DelayLine line;
    EXPECT_EQ(0.0f, line.read(1.0f));  // before init
    line.push(1.0f);
    ASSERT_EQ(0, line.init(44100.0f, 50.0f));
    pushRamp(line, 5000);
    line.clear();
    for (float ms : {0.0f, 1.0f, 20.0f, 49.9f}) EXPECT_EQ(0.0f, line.read(ms));
    line.push(3.0f);
    EXPECT_EQ(3.0f, line.read(0.0f));
    line.free();
    line.free();
    EXPECT_EQ(0.0f, line.read(0.0f));
    EXPECT_EQ(1, line.init(44100.0f, -1.0f));
}

TEST(DelayLine, ClearLeavesNoSampleWhateverWasWritten) {
    // Fewer samples than the capacity, exactly the capacity, a wrap, several wraps and a
    // clear on top of a clear: afterwards every delay the line holds reads 0, then the
    // samples pushed since the clear read back at their places.
    DelayLine line;
    ASSERT_EQ(0, line.init(44100.0f, 50.0f));
    setMode(line, kDelayReadTruncated);
    const int capacity = line.getCapacity();
    for (int written : {1, 100, capacity - 1, capacity, capacity + 1, 3 * capacity + 17, 0}) {
        SCOPED_TRACE(written);
        for (int k = 0; k < written; ++k) line.push(1.0f + (float)(k % 7));
        line.clear();
        for (int back = 0; back < capacity - 3; ++back)
            ASSERT_EQ(0.0f, line.read((float)back / line.getSamplesPerMs() + 1e-4f)) << back;
        pushRamp(line, 10);
        for (int back = 0; back < 10; ++back)
            ASSERT_EQ((float)(9 - back), line.read((float)back / line.getSamplesPerMs() + 1e-4f)) << back;
        for (int back = 10; back < capacity - 3; back += 97)
            ASSERT_EQ(0.0f, line.read((float)back / line.getSamplesPerMs() + 1e-4f)) << back;
        line.clear();
    }
}

TEST(DelayLine, ALineOfTheSameSizeAfterAnotherHoldsNothingOfIt) {
    // A line let go may be taken up by the next line of its size: whatever the first held,
    // before or after its writes wrapped, the next reads silence at every delay.
    const float kMs = 40.0f;
    const int capacity = (int)std::ceil(kMs * 48.0f) + 4;
    for (int written : {1, 100, capacity - 1, capacity, capacity + 1, 3 * capacity + 17}) {
        SCOPED_TRACE(written);
        {
            DelayLine first;
            ASSERT_EQ(0, first.init(44100.0f, kMs));
            ASSERT_EQ(capacity, first.getCapacity());
            for (int k = 0; k < written; ++k) first.push(1.0f + (float)(k % 7));
        }
        DelayLine next;
        ASSERT_EQ(0, next.init(44100.0f, kMs));
        setMode(next, kDelayReadTruncated);
        for (int back = 0; back < capacity - 3; ++back)
            ASSERT_EQ(0.0f, next.read((float)back / next.getSamplesPerMs() + 1e-4f)) << back;
        pushRamp(next, capacity + 5);
        for (int back = 0; back < capacity - 3; back += 61)
            ASSERT_EQ((float)(capacity + 4 - back), next.read((float)back / next.getSamplesPerMs() + 1e-4f)) << back;
    }
}

TEST(DelayLine, OnlyTheReadModeMessageChangesTheMode) {
    DelayLine line;
    ASSERT_EQ(0, line.init(44100.0f, 10.0f));
    DelayLineRecord record = {0, kDelayReadTruncated};
    EXPECT_EQ(0, line.message(&record, 3));
    EXPECT_EQ(kDelayReadQuadratic, line.getReadMode());
    EXPECT_EQ(0, line.message(&record, kDelayLineReadMode));
    EXPECT_EQ(kDelayReadTruncated, line.getReadMode());
}

}  // namespace
