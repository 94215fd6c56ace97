// A summing input: up to six connected ports, each with the tag of its source.
#pragma once

#include "engine/port_inputs.h"
#include "engine/signal_port.h"

struct InputList {
    static constexpr int kCapacity = 6;

    SignalPort* ports[kCapacity];
    int32_t tags[kCapacity];
    int32_t count;

    void clear();
    // 0 when added, 1 when all six entries are taken. A null port (a source that has no
    // signal) attaches nothing.
    int add(SignalPort* port, int tag);
    // Removes every entry with the tag and closes the gap, so that the live entries are
    // always the first count ones: a release from the middle must not hide the last entry.
    void remove(int tag);
    // The sum of the first sample of the current block of every entry; ports without float
    // samples count as 0.
    float sumFirst() const {
        float sum = 0.f;
        for (int i = 0; i < count; ++i) sum += portValue(ports[i]);
        return sum;
    }
};
