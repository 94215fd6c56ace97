// Writes an installation's "save" tree through the preset store: the factory bank with
// its sub-banks and presets, and the MIDI control file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/program_record.h"

class InstallSettings;

// The text of one preset's parameter file and of its patch files (by patch file number
// 1-8), as a save of the record under the three names writes them. Numbers keep the
// Windows C runtime's form (three exponent digits).
struct PresetFileTexts {
    std::string parameters;
    std::vector<std::pair<int, std::string>> patches;
};
PresetFileTexts presetFileTexts(const ProgramRecord& record, const char* bank, const char* subBank,
                                const char* preset);

// Fills the installation that the file access of the settings reaches, which must hold
// no bank yet. Answers 0, or the first failure's code with what failed in *failure.
int32_t writeFactoryInstallation(InstallSettings* settings, std::string* failure);
