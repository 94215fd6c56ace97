// A mirrored ring buffer read at a fractional delay in milliseconds; the building block of
// the chorus and the delay.
#pragma once

#include <cstdint>

#include "engine/effect_util.h"

// Message record of the delay line (message kDelayLineReadMode).
struct DelayLineRecord {
    int32_t reserved;  // 0
    int32_t readMode;  // 1: DelayLineReadMode
};

enum DelayLineMessage {
    kDelayLineReadMode = 2,
};

// How read() interpolates; any other mode reads with linear interpolation.
enum DelayLineReadMode {
    kDelayReadAllpass = 2,    // first-order allpass
    kDelayReadQuadratic = 4,  // quadratic B-spline over three samples
    kDelayReadTruncated = 5,  // the sample at the truncated delay
};

class DelayLine {
public:
    DelayLine();
    ~DelayLine();
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Capacity for maximumMs at 48 kHz plus the samples the interpolating reads look past
    // the longest delay; fixed here, whatever rate follows. 0 on success, 1 on failure.
    int init(float rate, float maximumMs);
    void setSampleRate(float rate);
    int message(const DelayLineRecord* record, int code);

    // Every sample is written twice (at j and j + capacity) so that the newest `capacity`
    // samples are always contiguous.
    void push(float sample) {
        if (!buffer) return;
        buffer[write] = sample;
        buffer[write + capacity] = sample;
        newest = write + capacity;
        if (++write == capacity) {
            write = 0;
            wrapped = 1;
        }
    }

    // count samples, as count calls of push would write them.
    void pushBlock(const float* samples, int count) {
        if (!buffer || count <= 0) return;
        for (int n = 0; n < count;) {
            const int run = count - n < capacity - write ? count - n : capacity - write;
            for (int k = 0; k < run; ++k) buffer[write + k] = buffer[write + k + capacity] = samples[n + k];
            n += run;
            write += run;
            newest = write - 1 + capacity;
            if (write == capacity) {
                write = 0;
                wrapped = 1;
            }
        }
    }

    // Where the newest sample stands now, and where it will stand after `pushes` more: a
    // stretch's reads, once all its samples are pushed, go from where each read's turn was.
    int newestPosition() const { return newest; }
    int newestAfter(int pushes) const { return (write + pushes - 1) % capacity + capacity; }
    const float* samples() const { return buffer; }
    float getMaxDelaySamples() const { return maxDelaySamples; }

    // A delay in whole samples back and the fraction beyond, worked out once for reads of
    // the same time.
    struct Tap {
        int samples;
        float fraction;
        bool none;  // a delay of exactly 0 ms
    };
    Tap tap(float ms) const {
        float d = ms * samplesPerMs;
        if (!(d > 0.0f)) d = 0.0f;  // also NaN
        if (d > maxDelaySamples) d = maxDelaySamples;
        const int i = (int)d;
        return Tap{i, d - (float)i, ms == 0.0f};
    }

    // The sample `ms` milliseconds before the newest one, interpolated by the read mode.
    // Delays beyond the capacity read the oldest samples the buffer holds.
    float read(float ms) { return read(tap(ms)); }
    float read(const Tap& t) {
        if (!buffer) return 0.0f;
        const int i = t.samples;
        const float a = t.fraction;
        switch (readMode) {
        case kDelayReadTruncated:
            return at(i);
        case kDelayReadQuadratic: {
            if (t.none) return at(0);
            float p0 = at(i), p1 = at(i + 1), p2 = at(i + 2);
            float b = 1.0f - a;
            return b * b * 0.5f * p0 + (0.5f + a - a * a) * p1 + a * a * 0.5f * p2;
        }
        case kDelayReadAllpass: {
            float y = (1.0f - a) * (at(i) - allpassPrevious) + at(i + 1);
            allpassPrevious = fx::flushState(y);
            return y;
        }
        default:
            return (1.0f - a) * at(i) + a * at(i + 1);
        }
    }

    void clear();
    void free();

    int getCapacity() const { return capacity; }
    float getSamplesPerMs() const { return samplesPerMs; }
    int getReadMode() const { return readMode; }

private:
    float at(int samplesBack) const { return buffer[newest - samplesBack]; }

    float sampleRate;
    float samplesPerMs;
    float maxDelaySamples;  // capacity minus the look-ahead of the quadratic read
    int capacity;
    float* buffer;          // 2 x capacity
    int write;              // next write position, 0..capacity-1
    int wrapped;            // 1 once every position was written since the last clear
    int newest;             // position of the newest sample in the upper copy
    int readMode;
    float allpassPrevious;  // the allpass read's last output
};
