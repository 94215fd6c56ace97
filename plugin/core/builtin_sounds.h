// The instrument's built-in content: the default patch, the default program and the
// eleven voice templates of each line. Values are stored parameter values (0-1, or whole
// numbers stored as floats); these functions only write records and send nothing.
#pragma once

#include "core/program_record.h"

// The default sound of one patch: both lines, the patch-wide values and all twenty
// modulation triples {38 none, 12 key tracking, 0.5}.
void writePatchDefaults(PatchBlock& block);

// The default program: every patch, the name "defaut" and the global values. The browser
// positions, the tuning and pop-up values, the float at byte 5188, the preset path and the
// name bytes behind the new name keep what they hold.
void writeProgramDefaults(ProgramRecord& record);

const int kVoiceTemplateCount = 11;

// Writes built-in sound 0-10 (any other number: the init sound) into a line (0 for line 1,
// any other value for line 2): the 37 line values other than the range and the accord.
void writeVoiceTemplate(LineBlock& line, int lineNumber, int sound);
