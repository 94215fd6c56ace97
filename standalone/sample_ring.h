// A ring of float frames (one channel) between the render pump and a device.
// One side writes, the other reads; both run on the back end's audio thread.
#pragma once

#include <cstdint>

// A region handed out of the ring: the contiguous part at the index, then the part that
// continues at the start of the data (0 frames when it does not wrap).
struct RingRegion {
    float* first = nullptr;
    int firstCount = 0;
    float* second = nullptr;
    int secondCount = 0;
};

class SampleRing {
public:
    SampleRing() = default;
    ~SampleRing();
    SampleRing(const SampleRing&) = delete;
    SampleRing& operator=(const SampleRing&) = delete;

    // Allocates capacity zeroed frames holding initialFill frames of silence; a capacity of
    // 0 or less leaves the ring empty without data. False when the memory is refused.
    bool init(int capacity, int initialFill);
    void free();   // releases the data, all fields 0
    void clear();  // all fields 0 without releasing (the owner keeps the data elsewhere)

    int getCapacity() const { return capacity; }
    int getReadIndex() const { return readIndex; }
    int getWriteIndex() const { return writeIndex; }
    float* getData() const { return data; }

    int readable() const;
    int contiguousReadable() const;
    // One frame always stays free: a full ring would have equal indices and read as empty.
    int contiguousWritable() const;

    RingRegion takeReadRegion(int n);
    RingRegion takeWriteRegion(int n);

    void copyOut(float* destination, int n);
    // n frames into every second 16-bit slot from firstSlot, x 32767 truncated toward zero
    // (interleaved stereo); samples beyond [-1, 1] are limited first.
    void copyOut16(int16_t* destination, int firstSlot, int n);

    // Moves the readable frames within the data into one run (indices keep their meaning).
    void compact();
    // True when n (above 0) readable frames lie in one run, compacting when needed.
    bool ensureReadable(int n);

private:
    void rotateLeft(int shift);
    RingRegion takeRegion(int& index, int n);

    float* data = nullptr;
    int capacity = 0;
    int readIndex = 0;
    int writeIndex = 0;
};
