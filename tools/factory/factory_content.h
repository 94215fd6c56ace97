// The factory bank that an installation brings: its sub-banks and presets, each one the
// default program with built-in voice templates on the two lines of its patch.
#pragma once

#include <vector>

#include "core/control_file.h"
#include "core/program_record.h"

extern const char* const kFactoryBankName;

// How the keyboard plays the eight parts that share the preset's patch.
enum class FactoryPlay {
    polyphonic,  // each note on the next free part, two voices a part: sixteen notes
    unison,      // every note on all eight parts, their tunes spread by a few cents
};

struct FactoryPreset {
    const char* subBank;
    const char* name;
    // Voice templates 0-10 of line 1 and line 2 of patch 0, which every part plays;
    // -1 on both keeps the default program as it is (eight parts on patches 0-7).
    int line1Sound;
    int line2Sound;
    FactoryPlay play;
};

// In no particular order: the tree sorts sub-banks and presets by name.
const std::vector<FactoryPreset>& factoryPresets();

// The program record that the preset's files describe.
ProgramRecord factoryProgram(const FactoryPreset& preset);

// The tuning values of the installation's MIDI control file, in file order: the part
// tunes at their zero position (no spread), the general tune at the centre of its knob,
// the value pop-ups on.
void factoryTuning(float tuning[kControlTuningCount]);
