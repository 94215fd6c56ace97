#include "engine/port_buffers.h"

#include <cstring>
#include <new>

PortBuffers::PortBuffers() : storage(nullptr), ports(nullptr), count(0), blockLength(0), historyLength(0) {}

PortBuffers::~PortBuffers() { release(); }

int PortBuffers::allocate(int bufferCount, int length, int history, int32_t controlRate, int32_t kind) {
    release();
    if (bufferCount <= 0 || length <= 0 || history < 0) return 1;
    const int bufferLength = history + length;
    storage = new (std::nothrow) float[static_cast<size_t>(bufferCount) * bufferLength];
    ports = new (std::nothrow) SignalPort[bufferCount];
    if (!storage || !ports) {
        release();
        return 1;
    }
    count = bufferCount;
    blockLength = length;
    historyLength = history;
    std::memset(storage, 0, sizeof(float) * static_cast<size_t>(bufferCount) * bufferLength);
    for (int i = 0; i < count; ++i) {
        SignalPort& p = ports[i];
        std::memset(&p, 0, sizeof p);
        p.controlRate = controlRate;
        p.kind = kind;
        p.blockLength = length;
        p.historyLength = history;
        p.samples = storage + static_cast<size_t>(i) * bufferLength + history;
    }
    return 0;
}

void PortBuffers::release() {
    delete[] storage;
    delete[] ports;
    storage = nullptr;
    ports = nullptr;
    count = 0;
}

void PortBuffers::clear(int index) {
    std::memset(ports[index].samples - historyLength, 0, sizeof(float) * (historyLength + blockLength));
}

void PortBuffers::clearAll() {
    if (storage) std::memset(storage, 0, sizeof(float) * static_cast<size_t>(count) * (historyLength + blockLength));
}
