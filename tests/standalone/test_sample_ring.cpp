// The float ring between the render pump and a device.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "sample_ring.h"

namespace {

// Writes values through the ring's write region.
void write(SampleRing& ring, const std::vector<float>& values) {
    RingRegion region = ring.takeWriteRegion((int)values.size());
    for (int i = 0; i < region.firstCount; i++) region.first[i] = values[(size_t)i];
    for (int i = 0; i < region.secondCount; i++) region.second[i] = values[(size_t)(region.firstCount + i)];
}

// A ring of capacity 8 with read index 6 and write index 2 holding 1, 2, 3, 4.
void makeWrapped(SampleRing& ring) {
    ring.init(8, 0);
    write(ring, {0, 0, 0, 0, 0, 0});
    ring.takeReadRegion(6);
    write(ring, {1, 2, 3, 4});
}

TEST(SampleRing, StartsHoldingItsInitialSilence) {
    struct Case {
        int capacity, fill;
        bool hasData;
        int readable, writable;
    };
    const Case cases[] = {{0, 0, false, 0, 0}, {-4, 2, false, 0, 0}, {8, 0, true, 0, 7},
                          {8, 3, true, 3, 4},  {8800, 4400, true, 4400, 4399}, {8, 8, true, 7, 0}};
    for (const Case& c : cases) {
        SampleRing ring;
        ASSERT_TRUE(ring.init(c.capacity, c.fill));
        EXPECT_EQ(ring.getData() != nullptr, c.hasData) << c.capacity;
        EXPECT_EQ(ring.readable(), c.readable) << c.capacity << "/" << c.fill;
        EXPECT_EQ(ring.contiguousWritable(), c.writable) << c.capacity << "/" << c.fill;
        for (int i = 0; i < c.capacity; i++) ASSERT_EQ(ring.getData()[i], 0.f);
    }
}

TEST(SampleRing, KeepsOneFrameFreeSoAFullRingNeverReadsAsEmpty) {
    SampleRing ring;
    ring.init(8, 0);
    EXPECT_EQ(ring.contiguousWritable(), 7);
    write(ring, {1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(ring.readable(), 7);
    EXPECT_EQ(ring.contiguousWritable(), 0);
    ring.takeReadRegion(3);
    EXPECT_EQ(ring.contiguousWritable(), 1);  // to the end of the data
    write(ring, {8});
    EXPECT_EQ(ring.contiguousWritable(), 2);  // from the start up to one before the read index
    EXPECT_EQ(ring.readable(), 5);
}

TEST(SampleRing, RegionsWrapAtTheEndOfTheData) {
    SampleRing ring;
    makeWrapped(ring);
    EXPECT_EQ(ring.getReadIndex(), 6);
    EXPECT_EQ(ring.getWriteIndex(), 2);
    EXPECT_EQ(ring.readable(), 4);
    EXPECT_EQ(ring.contiguousReadable(), 2);
    std::vector<float> out(4);
    ring.copyOut(out.data(), 4);
    EXPECT_EQ(out, (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(ring.readable(), 0);
    EXPECT_EQ(ring.getReadIndex(), 2);
}

TEST(SampleRing, EnsuringARunRotatesTheFramesInOrder) {
    SampleRing ring;
    makeWrapped(ring);
    ASSERT_TRUE(ring.ensureReadable(4));
    EXPECT_EQ(ring.contiguousReadable(), 4);
    RingRegion region = ring.takeReadRegion(4);
    ASSERT_EQ(region.firstCount, 4);
    EXPECT_EQ(region.secondCount, 0);
    EXPECT_EQ(std::vector<float>(region.first, region.first + 4), (std::vector<float>{1, 2, 3, 4}));

    // More than the ring holds, or nothing: false; an empty ring is reset to index 0.
    makeWrapped(ring);
    EXPECT_FALSE(ring.ensureReadable(5));
    EXPECT_FALSE(ring.ensureReadable(0));
    std::vector<float> out(4);
    ring.copyOut(out.data(), 4);
    EXPECT_EQ(out, (std::vector<float>{1, 2, 3, 4}));
    ring.compact();
    EXPECT_EQ(ring.getReadIndex(), 0);
    EXPECT_EQ(ring.getWriteIndex(), 0);

    // One run already: moved to the end, with the write index at 0.
    ring.init(8, 0);
    write(ring, {1, 2, 3});
    ring.takeReadRegion(1);
    ring.compact();
    EXPECT_EQ(ring.getReadIndex(), 6);
    EXPECT_EQ(ring.getWriteIndex(), 0);
    ring.copyOut(out.data(), 2);
    EXPECT_EQ(out[0], 2.f);
    EXPECT_EQ(out[1], 3.f);
}

TEST(SampleRing, SixteenBitCopiesFillEverySecondSlotTruncatedAndLimited) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float sample;
        int16_t expected;
    };
    const Case cases[] = {{-1.f, -32767}, {0.99999f, 32766}, {1.f, 32767},   {0.5f, 16383}, {-0.5f, -16383},
                          {1.5f, 32767},  {-2.f, -32767},    {nan, 0},       {0.f, 0},      {-1e-6f, 0}};
    for (const Case& c : cases) {
        SampleRing ring;
        ring.init(4, 0);
        write(ring, {c.sample});
        int16_t slots[4] = {7, 7, 7, 7};
        ring.copyOut16(slots, 1, 1);
        EXPECT_EQ(slots[1], c.expected) << c.sample;
        EXPECT_EQ(slots[0], 7);
        EXPECT_EQ(slots[2], 7);
    }
    // Interleaving across the wrap: left into even slots, right into odd ones.
    SampleRing left, right;
    makeWrapped(left);
    makeWrapped(right);
    int16_t stereo[8] = {0};
    left.copyOut16(stereo, 0, 4);
    right.copyOut16(stereo, 1, 4);
    for (int i = 0; i < 8; i++) EXPECT_EQ(stereo[i], (int16_t)std::fmin(32767.f, (float)(i / 2 + 1) * 32767.f));
}

}  // namespace
