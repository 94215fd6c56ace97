#include "factory/factory_content.h"

#include <cstring>

#include "core/builtin_sounds.h"

const char* const kFactoryBankName = "Factory";

namespace {

// Template numbers, line 1 (button row 0) and line 2 (button row 1).
enum Line1Sound { kString1, kString3, kBrass1, kFlute, kElectricPiano, kClavichord1, kHarpsichord1, kOrgan1, kGuitar1,
                  kFunky1, kFunky3 };
enum Line2Sound { kString2, kString4, kBrass2, kBrass3, kBass, kClavichord2, kHarpsichord2, kOrgan2, kGuitar2,
                  kFunky2, kFunky4 };

}  // namespace

const std::vector<FactoryPreset>& factoryPresets() {
    // Names are single words as the preset bar accepts them: letters, digits and & ( ) + - . _
    static const std::vector<FactoryPreset> presets = {
        {"Basics", "Init", -1, -1},
        {"Strings", "String_Ensemble", kString1, kString2},
        {"Strings", "Slow_Strings", kString3, kString4},
        {"Strings", "Strings_&_Brass", kString1, kBrass2},
        {"Brass&Winds", "Brass_Section", kBrass1, kBrass2},
        {"Brass&Winds", "Brass_Stack", kBrass1, kBrass3},
        {"Brass&Winds", "Flute_&_Horn", kFlute, kBrass3},
        {"Keys", "E.Piano_&_Bass", kElectricPiano, kBass},
        {"Keys", "Clavichord", kClavichord1, kClavichord2},
        {"Keys", "Harpsichord", kHarpsichord1, kHarpsichord2},
        {"Keys", "Clavi_&_Harpsi", kClavichord1, kHarpsichord2},
        {"Organs", "Organ", kOrgan1, kOrgan2},
        {"Organs", "Organ_&_Strings", kOrgan1, kString2},
        {"Guitars", "Guitar", kGuitar1, kGuitar2},
        {"Guitars", "Guitar_&_Bass", kGuitar1, kBass},
        {"Funky", "Funky_Lead", kFunky1, kFunky2},
        {"Funky", "Funky_Sweep", kFunky3, kFunky4},
        {"Funky", "Funky_Bass", kFunky1, kBass},
    };
    return presets;
}

ProgramRecord factoryProgram(const FactoryPreset& preset) {
    ProgramRecord record;
    std::memset(&record, 0, sizeof(record));
    writeProgramDefaults(record);
    if (preset.line1Sound < 0 && preset.line2Sound < 0) return record;
    // One sound across the keyboard: the eight parts share patch 0, so the zone's voice
    // assignment spreads the notes over parts that all play it.
    for (int part = 0; part < kPartCount; part++) record.globals.partPatch[part] = 0.f;
    PatchBlock& patch = record.patches[0];
    writeVoiceTemplate(patch.lines[0], 0, preset.line1Sound);
    writeVoiceTemplate(patch.lines[1], 1, preset.line2Sound);
    // Both lines share these; a template sets them off.
    patch.osc1Sync = 0.f;
    patch.osc2Derive = 0.f;
    return record;
}

void factoryTuning(float tuning[kControlTuningCount]) {
    for (int slot = 0; slot < kControlTuningCount; slot++) tuning[slot] = 0.f;
    for (int slot = 0; slot < kControlTuningCount; slot++)
        if (kControlTuningIndices[slot] == 2105) tuning[slot] = 0.5f;  // VEXA_TUNE
}
