// Helpers for the inputs of the routed modules: reading a control value or a gate from a port.
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
