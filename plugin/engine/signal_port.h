// The unit that the patch routing connects: one voice slot's block of samples with its
// history, described for the modules that read it.
#pragma once

#include <cstdint>

enum SignalPortKind {
    kPortSamples = 0,  // float samples
    kPortSync = 1,     // integer tick counts of an oscillator (its sync output)
    kPortGate = 2,     // a gate record
};

// A voice's gate, as the engine writes it for every slot (its gate port points to it).
struct GateRecord {
    int32_t gate;       // 1 while the key is held
    int32_t retrigger;  // 1 when the gate rose again while up, or after falling, within this block
    int32_t legato;     // 1 when the voice was started without a fresh slot
    int32_t released;   // 1 when the gate fell in this block
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
