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

const FactoryPlay kPoly = FactoryPlay::polyphonic;
const FactoryPlay kUnison = FactoryPlay::unison;

// ZONE1_MODE 1 rotates the notes over the zone's parts; NBR_POLY_CARTE 1 gives each part
// two voices.
const float kRotateMode = 1.f;
const float kTwoVoicesPerPart = 1.f;
// DETUNE_VOIE of parts 1-8: steps of 0.04, about 1.3 cents each on the detune curve's
// segment around its centre, some 9 cents from the lowest part to the highest. Written
// out, so that the preset files' six decimals give back the same floats.
const float kUnisonDetune[kPartCount] = {0.36f, 0.4f, 0.44f, 0.48f, 0.52f, 0.56f, 0.6f, 0.64f};

}  // namespace

const std::vector<FactoryPreset>& factoryPresets() {
    // Names are single words as the preset bar accepts them: letters, digits and & ( ) + - . _
    static const std::vector<FactoryPreset> presets = {
        {"Basics", "Init", -1, -1, kUnison},
        {"Strings", "String_Ensemble", kString1, kString2, kPoly},
        {"Strings", "Slow_Strings", kString3, kString4, kPoly},
        {"Strings", "Strings_&_Brass", kString1, kBrass2, kPoly},
        {"Brass&Winds", "Brass_Section", kBrass1, kBrass2, kPoly},
        {"Brass&Winds", "Brass_Stack", kBrass1, kBrass3, kPoly},
        {"Brass&Winds", "Flute_&_Horn", kFlute, kBrass3, kPoly},
        {"Keys", "E.Piano_&_Bass", kElectricPiano, kBass, kPoly},
        {"Keys", "Clavichord", kClavichord1, kClavichord2, kPoly},
        {"Keys", "Harpsichord", kHarpsichord1, kHarpsichord2, kPoly},
        {"Keys", "Clavi_&_Harpsi", kClavichord1, kHarpsichord2, kPoly},
        {"Organs", "Organ", kOrgan1, kOrgan2, kPoly},
        {"Organs", "Organ_&_Strings", kOrgan1, kString2, kPoly},
        {"Guitars", "Guitar", kGuitar1, kGuitar2, kPoly},
        {"Guitars", "Guitar_&_Bass", kGuitar1, kBass, kPoly},
        {"Funky", "Funky_Lead", kFunky1, kFunky2, kUnison},
        {"Funky", "Funky_Sweep", kFunky3, kFunky4, kUnison},
        {"Funky", "Funky_Bass", kFunky1, kBass, kUnison},
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
    if (preset.play == FactoryPlay::polyphonic) {
        record.globals.zones[0].mode = kRotateMode;
        record.voicesPerPart = kTwoVoicesPerPart;
    } else {
        for (int part = 0; part < kPartCount; part++) record.globals.partDetune[part] = kUnisonDetune[part];
    }
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
