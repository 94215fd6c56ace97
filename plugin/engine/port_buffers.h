// A module's output signals: a number of buffers of M + L floats, each described by a
// SignalPort whose samples point past the M history samples.
#pragma once

#include "engine/signal_port.h"

class PortBuffers {
public:
    PortBuffers();
    ~PortBuffers();

    // 0 on success, 1 when memory is short (nothing is then held).
    int allocate(int count, int blockLength, int historyLength, int32_t controlRate, int32_t kind = kPortSamples);
    void release();  // safe twice

    int isAllocated() const { return storage != nullptr; }
    SignalPort* port(int index) { return &ports[index]; }
    float* block(int index) { return ports[index].samples; }

    // The last M samples of the block become the history in front of the next block.
    void moveHistory(int index) {
        float* b = ports[index].samples;
        const float* from = b + blockLength - historyLength;
        for (int i = 0; i < historyLength; ++i) b[i - historyLength] = from[i];
    }
    void clear(int index);  // the whole buffer, history included
    void clearAll();

private:
    float* storage;
    SignalPort* ports;
    int count;
    int blockLength;
    int historyLength;
};
