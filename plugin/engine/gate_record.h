// The record behind a gate port (port kind 2): a voice's gate, or the half-cycle gate of an
// LFO. Readers take the first two words; the renderer clears the edge words every block.
#pragma once

#include <cstdint>

struct GateRecord {
    int32_t gate;       // 1 while up
    int32_t retrigger;  // 1 when the gate rose again while up, or after falling in the same block
    int32_t legato;     // 1 when the voice was started without a fresh attack
    int32_t released;   // 1 when the gate fell in this block
};

static_assert(sizeof(GateRecord) == 16, "GateRecord is four words");
