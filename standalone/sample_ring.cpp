#include "sample_ring.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

SampleRing::~SampleRing() { free(); }

bool SampleRing::init(int newCapacity, int initialFill) {
    free();
    if (newCapacity <= 0) return true;
    data = new (std::nothrow) float[(size_t)newCapacity]();
    if (!data) return false;
    capacity = newCapacity;
    readIndex = 0;
    // At most capacity - 1 frames can wait (a full ring would read as empty).
    writeIndex = std::max(0, std::min(initialFill, newCapacity - 1));
    return true;
}

void SampleRing::free() {
    delete[] data;
    clear();
}

void SampleRing::clear() {
    data = nullptr;
    capacity = 0;
    readIndex = 0;
    writeIndex = 0;
}

int SampleRing::readable() const {
    int n = writeIndex - readIndex;
    return n < 0 ? n + capacity : n;
}

int SampleRing::contiguousReadable() const {
    return writeIndex >= readIndex ? writeIndex - readIndex : capacity - readIndex;
}

int SampleRing::contiguousWritable() const {
    if (capacity <= 0) return 0;
    if (writeIndex < readIndex) return readIndex - writeIndex - 1;
    return readIndex == 0 ? capacity - writeIndex - 1 : capacity - writeIndex;
}

RingRegion SampleRing::takeRegion(int& index, int n) {
    RingRegion region;
    if (capacity <= 0 || n <= 0) return region;
    n = std::min(n, capacity);
    region.first = data + index;
    region.firstCount = std::min(n, capacity - index);
    region.second = data;
    region.secondCount = n - region.firstCount;
    index = (index + n) % capacity;
    return region;
}

RingRegion SampleRing::takeReadRegion(int n) { return takeRegion(readIndex, n); }

RingRegion SampleRing::takeWriteRegion(int n) { return takeRegion(writeIndex, n); }

void SampleRing::copyOut(float* destination, int n) {
    RingRegion region = takeReadRegion(n);
    if (region.firstCount) std::memcpy(destination, region.first, sizeof(float) * (size_t)region.firstCount);
    if (region.secondCount)
        std::memcpy(destination + region.firstCount, region.second, sizeof(float) * (size_t)region.secondCount);
}

namespace {
int16_t toSample16(float value) {
    // Out-of-range and NaN samples would overflow the 16-bit slot: limit them first.
    if (!(value > -1.f)) value = value == value ? -1.f : 0.f;
    if (value > 1.f) value = 1.f;
    return (int16_t)(value * 32767.f);
}
}  // namespace

void SampleRing::copyOut16(int16_t* destination, int firstSlot, int n) {
    RingRegion region = takeReadRegion(n);
    int16_t* slot = destination + firstSlot;
    for (int i = 0; i < region.firstCount; i++, slot += 2) *slot = toSample16(region.first[i]);
    for (int i = 0; i < region.secondCount; i++, slot += 2) *slot = toSample16(region.second[i]);
}

void SampleRing::rotateLeft(int shift) { std::rotate(data, data + shift, data + capacity); }

void SampleRing::compact() {
    if (capacity <= 0) return;
    int count = readable();
    if (count == 0) {
        readIndex = writeIndex = 0;
    } else if (writeIndex < readIndex && writeIndex > 0) {
        // The readable frames run past the end: rotate them to the front, in order.
        rotateLeft(readIndex);
        readIndex = 0;
        writeIndex = count;
    } else if (writeIndex > readIndex) {
        // One run already: to the end of the data, leaving the most room to write.
        std::memmove(data + capacity - count, data + readIndex, sizeof(float) * (size_t)count);
        readIndex = capacity - count;
        writeIndex = 0;
    }
}

bool SampleRing::ensureReadable(int n) {
    if (n > 0 && contiguousReadable() >= n) return true;
    compact();
    return n > 0 && contiguousReadable() >= n;
}
