// Reading an installed preset back into a program record as the instrument's load does:
// the default program, then every key of the parameter file and, for each patch that a
// part plays, every key of its patch file.
#pragma once

#include <cstdint>

#include "core/program_record.h"

class PresetTree;

// 0, or the open error of the parameter file.
int32_t readInstalledPreset(PresetTree& tree, int32_t bank, int32_t subBank, int32_t preset, ProgramRecord* record);
