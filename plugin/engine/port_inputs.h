// Helpers for the inputs of the routed modules: reading a control value from a port and
// the summing input lists.
#pragma once

#include <cstdint>

#include "engine/gate_record.h"
#include "engine/signal_port.h"

// A control input's value: the first sample of the port's current block. Ports that carry
// no float samples (gate records, sync ticks) read as 0.
inline float portValue(const SignalPort* port) {
    if (port == nullptr || port->kind != kPortSamples || port->samples == nullptr) return 0.0f;
    return port->samples[0];
}

// A gate port's two leading words; anything else reads as a gate that stays down.
inline void portGate(const SignalPort* port, int32_t* gate, int32_t* retrigger) {
    if (port == nullptr || port->kind != kPortGate || port->gate == nullptr) {
        *gate = 0;
        *retrigger = 0;
        return;
    }
    *gate = port->gate->gate;
    *retrigger = port->gate->retrigger;
}

// A summing input: up to six ports, each with the tag of the source that feeds it. Entries
// stay packed at the front, so releasing one from the middle keeps the rest summed.
struct SummingInput {
    static const int kCapacity = 6;

    SignalPort* ports[kCapacity];
    int32_t tags[kCapacity];
    int32_t count;

    void clear() {
        for (int i = 0; i < kCapacity; ++i) {
            ports[i] = nullptr;
            tags[i] = -1;
        }
        count = 0;
    }

    // 0 when attached, 1 when all six entries are taken. A null port attaches nothing.
    int add(SignalPort* port, int tag) {
        if (count >= kCapacity) return 1;
        if (port == nullptr) return 0;
        ports[count] = port;
        tags[count] = tag;
        ++count;
        return 0;
    }

    // Removes every entry with the tag; the number removed.
    int remove(int tag) {
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            if (tags[i] == tag) continue;
            ports[kept] = ports[i];
            tags[kept] = tags[i];
            ++kept;
        }
        const int removed = count - kept;
        for (int i = kept; i < count; ++i) {
            ports[i] = nullptr;
            tags[i] = -1;
        }
        count = kept;
        return removed;
    }

    float sum() const {
        float total = 0.0f;
        for (int i = 0; i < count; ++i) total += portValue(ports[i]);
        return total;
    }
};
