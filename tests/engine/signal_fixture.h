// Signals for driving engine modules in tests: a port over a buffer of M + L samples,
// and a gate record with its port.
#pragma once

#include <cmath>
#include <vector>

#include "engine/signal_port.h"

const int kTestBlock = 44;
const int kTestHistory = 9;
const float kTestRate = 44100.f;

struct TestSignal {
    std::vector<float> buffer;
    SignalPort port;

    explicit TestSignal(float value = 0.f, int controlRate = 1)
        : buffer(kTestHistory + kTestBlock, value), port() {
        port.controlRate = controlRate;
        port.kind = kPortSamples;
        port.blockLength = kTestBlock;
        port.historyLength = kTestHistory;
        port.samples = buffer.data() + kTestHistory;
    }
    TestSignal(const TestSignal&) = delete;
    TestSignal& operator=(const TestSignal&) = delete;

    void set(float value) {
        for (float& x : buffer) x = value;
    }
    SignalPort* get() { return &port; }
};

struct TestGate {
    GateRecord record;
    SignalPort port;

    TestGate() : record(), port() {
        port.controlRate = 1;
        port.kind = kPortGate;
        port.blockLength = kTestBlock;
        port.historyLength = kTestHistory;
        port.gate = &record;
    }
    SignalPort* get() { return &port; }
};

// The one-pole step for a time constant in milliseconds at the test rate.
inline float testCoefficient(float timeMs) { return 1.f - std::exp(-1.f / (timeMs * kTestRate * 0.001f)); }
