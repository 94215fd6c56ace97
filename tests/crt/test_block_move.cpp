// blockMove, the Windows builds' memmove and memcpy, against a byte-by-byte model: every size
// up to a few hundred bytes and some long ones, at every alignment, apart and overlapping in
// both directions; the bytes around the destination stay as they were.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "crt/block_move.h"

namespace {

const size_t kArea = 2 * 4096 + 512;
const size_t kFar = 4096 + 128;  // a second place clear of the first for every size

std::vector<unsigned char> pattern() {
    std::vector<unsigned char> bytes(kArea);
    uint32_t state = 12345;
    for (unsigned char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = (unsigned char)(state >> 24);
    }
    return bytes;
}

// The area after moving n bytes from `from` to `to` within it, as memmove defines it.
std::vector<unsigned char> modelMove(std::vector<unsigned char> area, size_t to, size_t from, size_t n) {
    const std::vector<unsigned char> copy(area.begin() + from, area.begin() + from + n);
    for (size_t i = 0; i < n; ++i) area[to + i] = copy[i];
    return area;
}

void expectMove(size_t to, size_t from, size_t n) {
    static const std::vector<unsigned char> start = pattern();
    std::vector<unsigned char> area = start;
    void* result = blockMove(area.data() + to, area.data() + from, n);
    EXPECT_EQ(result, (void*)(area.data() + to));
    const std::vector<unsigned char> expected = modelMove(start, to, from, n);
    if (area != expected) {
        size_t first = 0;
        while (area[first] == expected[first]) ++first;
        ADD_FAILURE() << n << " bytes from " << from << " to " << to << ": first wrong byte at " << first;
    }
}

std::vector<size_t> sizes() {
    std::vector<size_t> all;
    for (size_t n = 0; n <= 200; ++n) all.push_back(n);
    for (size_t n : {255, 256, 257, 511, 1000, 1024, 4095}) all.push_back(n);
    return all;
}

TEST(BlockMove, ApartAtEveryAlignment) {
    for (size_t n : sizes())
        for (size_t from = 0; from < 16; ++from)
            for (size_t to = 0; to < 16; ++to) {
                expectMove(kFar + to, from, n);
                expectMove(to, kFar + from, n);
            }
}

TEST(BlockMove, OverlappingForwardAndBackward) {
    // The destination a few bytes to a whole block before or after the source.
    for (size_t n : sizes())
        for (size_t shift : {1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
            if (shift >= n && n > 0) continue;
            for (size_t align = 0; align < 4; ++align) {
                expectMove(256 + align, 256 + align + shift, n);  // to a lower address
                expectMove(256 + align + shift, 256 + align, n);  // to a higher address
            }
        }
}

TEST(BlockMove, OntoItself) {
    for (size_t n : sizes()) expectMove(100, 100, n);
}

}  // namespace
