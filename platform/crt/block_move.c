/* memmove and memcpy of the Windows builds. The voices move a few dozen bytes of history per
   slot and block; the C runtime DLL's memmove under wine spends about three times the
   native one on such sizes (aligning byte by byte, then a call through the import table).
   Here every size up to 64 bytes is a few loads followed by as many stores, which is right
   whatever the overlap; longer blocks go by 16 bytes in the direction the overlap allows,
   their first and last 16 bytes read before anything is written. */
#include "crt/block_move.h"

#include <emmintrin.h>
#include <stdint.h>

typedef __m128i Chunk;

static inline Chunk loadChunk(const unsigned char* p) { return _mm_loadu_si128((const Chunk*)p); }
static inline void storeChunk(unsigned char* p, Chunk v) { _mm_storeu_si128((Chunk*)p, v); }

static inline uint64_t load8(const unsigned char* p) {
    uint64_t v;
    __builtin_memcpy(&v, p, 8);
    return v;
}
static inline void store8(unsigned char* p, uint64_t v) { __builtin_memcpy(p, &v, 8); }
static inline uint32_t load4(const unsigned char* p) {
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;
}
static inline void store4(unsigned char* p, uint32_t v) { __builtin_memcpy(p, &v, 4); }

void* blockMove(void* destination, const void* source, size_t n) {
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    if (n <= 16) {
        if (n >= 8) {
            const uint64_t head = load8(s), tail = load8(s + n - 8);
            store8(d, head);
            store8(d + n - 8, tail);
        } else if (n >= 4) {
            const uint32_t head = load4(s), tail = load4(s + n - 4);
            store4(d, head);
            store4(d + n - 4, tail);
        } else if (n > 0) {
            const unsigned char first = s[0], middle = s[n / 2], last = s[n - 1];
            d[0] = first;
            d[n / 2] = middle;
            d[n - 1] = last;
        }
        return destination;
    }
    if (n <= 32) {
        const Chunk head = loadChunk(s), tail = loadChunk(s + n - 16);
        storeChunk(d, head);
        storeChunk(d + n - 16, tail);
        return destination;
    }
    if (n <= 64) {
        const Chunk a = loadChunk(s), b = loadChunk(s + 16), c = loadChunk(s + n - 32), e = loadChunk(s + n - 16);
        storeChunk(d, a);
        storeChunk(d + 16, b);
        storeChunk(d + n - 32, c);
        storeChunk(d + n - 16, e);
        return destination;
    }
    const Chunk head = loadChunk(s), tail = loadChunk(s + n - 16);
    if ((uintptr_t)d - (uintptr_t)s >= n) {
        /* Forward: the destination starts before the source or clear of it, so each chunk is
           read before a store can reach it. */
        size_t i = 16;
        for (; i + 16 < n; i += 16) storeChunk(d + i, loadChunk(s + i));
    } else {
        /* Backward: the destination starts inside the source. */
        size_t i = n - 16;
        while (i > 16) {
            i -= 16;
            storeChunk(d + i, loadChunk(s + i));
        }
    }
    storeChunk(d, head);
    storeChunk(d + n - 16, tail);
    return destination;
}

#ifdef _WIN32
void* memmove(void* destination, const void* source, size_t n) __attribute__((alias("blockMove")));
void* memcpy(void* destination, const void* source, size_t n) __attribute__((alias("blockMove")));
#endif
