#include "engine/delay_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/effect_util.h"

namespace {
// The quadratic read looks two samples past the truncated delay; one more covers the
// rounding of ms x samples per ms at the limit.
constexpr int kGuardSamples = 3;

// Lines that an engine lets go are kept, cleared of what was written into them, for the next
// engine to take: a new line from a reused heap would be cleared whole (a 5-second line is
// 2 MB) at every construction, while a used line clears only the samples it was given.
class SpareLines {
public:
    ~SpareLines() {
        std::lock_guard<std::mutex> guard(lock);
        for (int i = 0; i < count; ++i) std::free(lines[i].buffer);
        count = 0;
        closed = true;
    }
    // A zeroed buffer of 2 x capacity samples, or null.
    float* take(int capacity) {
        std::lock_guard<std::mutex> guard(lock);
        for (int i = 0; i < count; ++i)
            if (lines[i].capacity == capacity) {
                float* buffer = lines[i].buffer;
                lines[i] = lines[--count];
                return buffer;
            }
        return nullptr;
    }
    // Takes a zeroed buffer; false when the store is full or gone.
    bool keep(float* buffer, int capacity) {
        std::lock_guard<std::mutex> guard(lock);
        if (closed || count == kCapacity) return false;
        lines[count++] = {buffer, capacity};
        return true;
    }
    // Whether the store was destroyed with the program (a static line may outlive it).
    static bool isClosed() { return closed; }

private:
    static constexpr int kCapacity = 8;  // the two delay and two chorus lines of two engines
    struct Line {
        float* buffer;
        int capacity;
    };
    std::mutex lock;
    Line lines[kCapacity];
    int count = 0;
    static bool closed;
};

bool SpareLines::closed = false;

SpareLines& spareLines() {
    static SpareLines store;
    return store;
}
}

DelayLine::DelayLine()
    : sampleRate(44100.0f), samplesPerMs(44.1f), maxDelaySamples(0.0f), capacity(0),
      buffer(nullptr), write(0), wrapped(0), newest(0), readMode(kDelayReadQuadratic), allpassPrevious(0.0f) {}

DelayLine::~DelayLine() { free(); }

int DelayLine::init(float rate, float maximumMs) {
    free();
    sampleRate = fx::acceptSampleRate(rate, 44100.0f);
    samplesPerMs = sampleRate * 0.001f;
    if (!(maximumMs > 0.0f) || maximumMs > 60000.0f) return 1;
    capacity = (int)std::ceil((double)maximumMs * 48.0) + kGuardSamples + 1;
    // A new line is zeroed by the allocator: the pages of a long line that is never written
    // stay unmapped, and construction does not wait for them.
    if (!SpareLines::isClosed()) buffer = spareLines().take(capacity);
    if (!buffer) buffer = static_cast<float*>(std::calloc(2 * (size_t)capacity, sizeof(float)));
    if (!buffer) {
        capacity = 0;
        return 1;
    }
    maxDelaySamples = (float)(capacity - kGuardSamples);
    readMode = kDelayReadQuadratic;
    write = wrapped = 0;
    newest = capacity;
    allpassPrevious = 0.0f;
    return 0;
}

void DelayLine::setSampleRate(float rate) {
    sampleRate = fx::acceptSampleRate(rate, sampleRate);
    samplesPerMs = sampleRate * 0.001f;
}

int DelayLine::message(const DelayLineRecord* record, int code) {
    if (record && code == kDelayLineReadMode) readMode = record->readMode;
    return 0;
}

// Only what was written since the last clear holds anything: positions 0 .. write - 1 of
// both copies, or all of them once the writes wrapped.
void DelayLine::clear() {
    if (buffer) {
        const size_t used = wrapped ? (size_t)capacity : (size_t)write;
        std::memset(buffer, 0, used * sizeof(float));
        std::memset(buffer + capacity, 0, used * sizeof(float));
    }
    write = 0;
    wrapped = 0;
    newest = capacity;
    allpassPrevious = 0.0f;
}

void DelayLine::free() {
    if (buffer) {
        const int size = capacity;
        clear();
        if (SpareLines::isClosed() || !spareLines().keep(buffer, size)) std::free(buffer);
    }
    buffer = nullptr;
    capacity = 0;
    write = 0;
    newest = 0;
}
