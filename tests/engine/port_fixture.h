// Ports built by the tests to drive engine modules directly: a value source (one value per
// block in the first sample), an audio source, and a gate source.
#pragma once

#include <vector>

#include "engine/gate_record.h"
#include "engine/signal_port.h"

namespace test {

const int kBlock = 44;
const int kHistory = 9;

struct ValueSource {
    std::vector<float> buffer;
    SignalPort port;

    explicit ValueSource(float value = 0.0f, int controlRate = 1) : buffer(kHistory + kBlock, 0.0f), port() {
        port.controlRate = controlRate;
        port.kind = kPortSamples;
        port.blockLength = kBlock;
        port.historyLength = kHistory;
        port.samples = buffer.data() + kHistory;
        set(value);
    }
    void set(float value) { port.samples[0] = value; }
    float* block() { return port.samples; }
};

struct GateSource {
    GateRecord record;
    SignalPort port;

    GateSource() : record(), port() {
        port.controlRate = 1;
        port.kind = kPortGate;
        port.blockLength = kBlock;
        port.historyLength = kHistory;
        port.gate = &record;
    }
};

}  // namespace test
