// The text of the MIDI control file ("save\controlMidi"): the MIDI map and the tuning
// values that outlive an instance. Lines are a key word, a blank and a number.
#pragma once

#include <cstddef>
#include <string>

#include "core/midi_map.h"

// The tuning values kept in the file, in file order: VEXA_DETUNE1-8, VEXA_TUNE, POP_UP_OVER,
// POP_UP_CLIC.
const int kControlTuningCount = 11;
extern const int kControlTuningIndices[kControlTuningCount];

// Reads a file's text: the map starts empty and every tuning value at 0, then takes what
// the lines give. A line that is not well formed (a word over 31 characters, a prefix without
// its separator, a patch digit outside 0-7, a number that is not whole or not a number,
// bytes that are not printable) is skipped; the lines around it count.
void readControlFile(const char* text, size_t size, MidiMap& map, float tuning[kControlTuningCount]);

// The whole file: every assignable parameter with a key and its controller (-1 for none),
// patch host parameters, host globals, patch internal parameters, internal globals with the
// tuning lines among them by index.
std::string writeControlFile(const MidiMap& map, const float tuning[kControlTuningCount]);
