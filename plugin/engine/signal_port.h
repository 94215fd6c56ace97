// The unit that the patch routing connects: one voice slot's block of samples with its
// history, described for the modules that read it.
#pragma once

#include <cstdint>

#include "engine/gate_record.h"

enum SignalPortKind {
    kPortSamples = 0,  // float samples
    kPortSync = 1,     // integer tick counts of an oscillator (its sync output)
    kPortGate = 2,     // a gate record
};

struct SignalPort {
    // Leading flag word: non-zero marks a control-rate signal (one value per block, in the
    // first sample of the block); 0 means every sample counts.
    int32_t controlRate;
    int32_t kind;           // SignalPortKind
    int32_t blockLength;    // L
    int32_t historyLength;  // M
    float* samples;         // first of the L samples of the current block; M history samples precede it
    int32_t* ticks;         // sync ports: the tick signal, laid out like samples
    float frequency;        // sync ports: the slot's frequency in Hz, written every block
    float period;           // sync ports: the slot's period in seconds, written every block
    GateRecord* gate;       // gate ports
};
