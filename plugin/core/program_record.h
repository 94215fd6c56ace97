// The program that is the VST chunk.
//
// Placeholder: stands in for the full record layout (eight patch blocks, the global
// values, the preset path, the program name and the tuning values) until the
// parameter model is built; only its size is fixed here.
#pragma once

#include <cstdint>

struct ProgramRecord {
    uint8_t bytes[5392];
};

static_assert(sizeof(ProgramRecord) == 5392, "the program chunk is 5,392 bytes");
