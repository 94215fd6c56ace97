// The program: the stored value of every parameter that has a slot, the preset path and
// the program name. It is also the VST chunk that hosts keep with their projects, so the
// layout below is a file format: little-endian, every value slot a 32-bit IEEE float.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(float) == 4, "value slots are 32-bit floats");

// One synthesis line of a patch (39 floats). The three unused slots are addressed by no
// parameter but are part of the chunk.
struct LineBlock {
    float range;              // RANGE1/2, six steps
    float width;              // OSC1_WIDTH
    float sineLevel;          // OSC1_SINUS
    float noiseLevel;         // OSC1_NOISE
    float accord;             // OSC1_ACCORD / OSC2_ACCORD
    float highPassCutoff;
    float highPassResonance;
    float lowPassCutoff;
    float lowPassResonance;
    float vcfLevel;
    float vcaLevel;
    float initialBrilliance;
    float initialLevel;
    float afterBrilliance;
    float afterLevel;
    float lfoSpeed;
    float lfoPwmDepth;
    float lfoWave;            // six steps
    float lfoTrigger;         // three steps
    float lfoSync;            // switch
    float vcfAttackTime;
    float vcfDecayTime;
    float unused88;
    float vcfReleaseTime;
    float vcfInitialLevel;
    float vcfAttackLevel;
    float vcaAttackTime;
    float vcaDecayTime;
    float vcaSustainLevel;
    float vcaReleaseTime;
    float unused120;
    float unused124;
    float sawTriangle;        // three steps
    float square;             // switch
    float keyboard;           // switch: fixed pitch
    float sineOn;             // switch
    float highPassOn;         // switch
    float lowPassOn;          // switch
    float filterPoles;        // switch: 4 poles when on
};

// One row of a patch's modulation matrix: choices are whole numbers stored as floats.
struct ModulationRow {
    float destination;  // 0-38
    float source;       // 0-14
    float amount;
};

const int kModulationRowCount = 10;     // rows addressed by parameters
const int kStoredModulationRows = 20;   // rows 10-19 keep the default triple only

struct PatchBlock {
    LineBlock lines[2];
    float osc1Sync;    // OSC1_SYNCHRO
    float osc2Derive;  // OSC2_DERIVE
    float detune;      // DETUNE
    float mix;         // MIXE
    ModulationRow rows[kStoredModulationRows];
};

struct ZoneSlots {
    float input;  // MIDI channel 0-15, 16 any
    float lowKey;
    float highKey;
    float mode;   // 0-6
    float arpeggiator;
};

const int kPartCount = 8;
const int kPatchCount = 8;
const int kZoneCount = 4;

// The 162 global slots, in record order.
struct GlobalSlots {
    float partPatch[kPartCount];
    float partZone[kPartCount];
    float partPortamento[kPartCount];
    float partRingMod[kPartCount];
    float partEffects[kPartCount];
    float partPan[kPartCount];
    float partVolume[kPartCount];
    float partDetune[kPartCount];
    float partTranspose[kPartCount];
    float pitchBend;
    float modulationWheel;
    float expressionPedal;
    ZoneSlots zones[kZoneCount];
    float vibratoRate;
    float vibratoAmountVco;
    float vibratoAmountVcf;
    float vibratoAmountVca;
    float vibratoWave;
    float ringAttack;
    float ringDecay;
    float ringDepth;
    float ringSpeed;
    float ringModulation;
    float brilliance;
    float resonance;
    float touchInitial;
    float touchSpeed;
    float touchAmountVco;
    float touchAmountVcf;
    float keyboardBrillianceLow;
    float keyboardBrillianceHigh;
    float keyboardLevelLow;
    float keyboardLevelHigh;
    float volume;
    float portamento;
    float chorusSpeed;
    float chorusDepth;
    float chorusOn;
    float chorusType;  // below 0.5 chorus, else tremolo
    float delaySpeed;
    float delayDepth;
    float delayDryWet;
    float delayOn;
    float delaySync;
    float pedalSustainOn;
    float pedalPortamentoOn;
    float sustainTime;
    float modulationToVibrato;
    float sustainMode;
    float glissando;
    float pedalExpression;
    float pedalWha;
    float arpMode;
    float arpSpeed;
    float arpSync;
    float arpHold;
    float arpOctave;
    float arpPlay;
    float arpRepeat;
    float modulationPanelOpen;
    float multiMode;  // 0 multi, 1-8 single mode playing patch value - 1
    float pitchBendCoarse;
    float pitchBendActive;
    float unused5124[10];
    float browserBank;     // index / count
    float browserSubBank;  // index / count
    float browserPreset;   // index / count
    float unused5176[4];
};

const int kPresetPathSize = 98;
const int kProgramNameSize = 50;
const int kProgramRecordSize = 5392;

struct ProgramRecord {
    PatchBlock patches[kPatchCount];
    GlobalSlots globals;
    char presetPath[kPresetPathSize];    // bank "/" sub-bank "/" preset, zero-terminated
    char programName[kProgramNameSize];  // zero-terminated
    float voicesPerPart;                 // NBR_POLY_CARTE: voices per part minus 1
    float generalTune;
    float partTune[kPartCount];
    float ringModulatorOn;
    float popUpOver;
    float popUpClick;
};

static_assert(sizeof(LineBlock) == 156, "a line is 39 floats");
static_assert(sizeof(PatchBlock) == 568, "a patch block is 142 floats");
static_assert(sizeof(GlobalSlots) == 648, "162 global slots");
static_assert(sizeof(ProgramRecord) == kProgramRecordSize, "the program chunk is 5,392 bytes");

// Line offsets.
static_assert(offsetof(LineBlock, range) == 0 && offsetof(LineBlock, width) == 4, "");
static_assert(offsetof(LineBlock, sineLevel) == 8 && offsetof(LineBlock, noiseLevel) == 12, "");
static_assert(offsetof(LineBlock, accord) == 16 && offsetof(LineBlock, highPassCutoff) == 20, "");
static_assert(offsetof(LineBlock, highPassResonance) == 24 && offsetof(LineBlock, lowPassCutoff) == 28, "");
static_assert(offsetof(LineBlock, lowPassResonance) == 32 && offsetof(LineBlock, vcfLevel) == 36, "");
static_assert(offsetof(LineBlock, vcaLevel) == 40 && offsetof(LineBlock, initialBrilliance) == 44, "");
static_assert(offsetof(LineBlock, initialLevel) == 48 && offsetof(LineBlock, afterBrilliance) == 52, "");
static_assert(offsetof(LineBlock, afterLevel) == 56 && offsetof(LineBlock, lfoSpeed) == 60, "");
static_assert(offsetof(LineBlock, lfoPwmDepth) == 64 && offsetof(LineBlock, lfoWave) == 68, "");
static_assert(offsetof(LineBlock, lfoTrigger) == 72 && offsetof(LineBlock, lfoSync) == 76, "");
static_assert(offsetof(LineBlock, vcfAttackTime) == 80 && offsetof(LineBlock, vcfDecayTime) == 84, "");
static_assert(offsetof(LineBlock, unused88) == 88 && offsetof(LineBlock, vcfReleaseTime) == 92, "");
static_assert(offsetof(LineBlock, vcfInitialLevel) == 96 && offsetof(LineBlock, vcfAttackLevel) == 100, "");
static_assert(offsetof(LineBlock, vcaAttackTime) == 104 && offsetof(LineBlock, vcaDecayTime) == 108, "");
static_assert(offsetof(LineBlock, vcaSustainLevel) == 112 && offsetof(LineBlock, vcaReleaseTime) == 116, "");
static_assert(offsetof(LineBlock, unused120) == 120 && offsetof(LineBlock, unused124) == 124, "");
static_assert(offsetof(LineBlock, sawTriangle) == 128 && offsetof(LineBlock, square) == 132, "");
static_assert(offsetof(LineBlock, keyboard) == 136 && offsetof(LineBlock, sineOn) == 140, "");
static_assert(offsetof(LineBlock, highPassOn) == 144 && offsetof(LineBlock, lowPassOn) == 148, "");
static_assert(offsetof(LineBlock, filterPoles) == 152, "");

// Patch block offsets.
static_assert(offsetof(PatchBlock, lines[1]) == 156, "line 2");
static_assert(offsetof(PatchBlock, lines[1].accord) == 172, "OSC2_ACCORD");
static_assert(offsetof(PatchBlock, osc1Sync) == 312 && offsetof(PatchBlock, osc2Derive) == 316, "");
static_assert(offsetof(PatchBlock, detune) == 320 && offsetof(PatchBlock, mix) == 324, "");
static_assert(offsetof(PatchBlock, rows[0]) == 328 && sizeof(ModulationRow) == 12, "");
static_assert(offsetof(PatchBlock, rows[0].source) == 332 && offsetof(PatchBlock, rows[0].amount) == 336, "");
static_assert(offsetof(PatchBlock, rows[9].amount) == 444, "last row with parameters");
static_assert(offsetof(PatchBlock, rows[10]) == 448, "rows without parameters");

// Record offsets.
static_assert(offsetof(ProgramRecord, patches[3]) == 568 * 3, "");
static_assert(offsetof(ProgramRecord, globals) == 4544, "");
static_assert(offsetof(ProgramRecord, globals.partPatch[0]) == 4544, "2000-2007");
static_assert(offsetof(ProgramRecord, globals.partZone[0]) == 4576, "2008-2015");
static_assert(offsetof(ProgramRecord, globals.partPortamento[0]) == 4608, "2016-2023");
static_assert(offsetof(ProgramRecord, globals.partRingMod[0]) == 4640, "2024-2031");
static_assert(offsetof(ProgramRecord, globals.partEffects[7]) == 4700, "2032-2039");
static_assert(offsetof(ProgramRecord, globals.partPan[0]) == 4704, "522-529");
static_assert(offsetof(ProgramRecord, globals.partVolume[0]) == 4736, "530-537");
static_assert(offsetof(ProgramRecord, globals.partDetune[7]) == 4796, "538-545");
static_assert(offsetof(ProgramRecord, globals.partTranspose[0]) == 4800, "2052-2059");
static_assert(offsetof(ProgramRecord, globals.partTranspose[7]) == 4828, "");
static_assert(offsetof(ProgramRecord, globals.pitchBend) == 4832, "546");
static_assert(offsetof(ProgramRecord, globals.expressionPedal) == 4840, "548");
static_assert(offsetof(ProgramRecord, globals.zones[0]) == 4844, "2061");
static_assert(offsetof(ProgramRecord, globals.zones[1]) == 4864, "2066");
static_assert(offsetof(ProgramRecord, globals.zones[3].arpeggiator) == 4920, "2080");
static_assert(offsetof(ProgramRecord, globals.vibratoRate) == 4924, "496");
static_assert(offsetof(ProgramRecord, globals.vibratoAmountVca) == 4936, "499");
static_assert(offsetof(ProgramRecord, globals.vibratoWave) == 4940, "2040");
static_assert(offsetof(ProgramRecord, globals.ringAttack) == 4944, "500");
static_assert(offsetof(ProgramRecord, globals.keyboardLevelHigh) == 5000, "514");
static_assert(offsetof(ProgramRecord, globals.chorusDepth) == 5016, "518");
static_assert(offsetof(ProgramRecord, globals.chorusOn) == 5020, "2041");
static_assert(offsetof(ProgramRecord, globals.chorusType) == 5024, "2042");
static_assert(offsetof(ProgramRecord, globals.delaySpeed) == 5028, "519");
static_assert(offsetof(ProgramRecord, globals.delayDryWet) == 5036, "521");
static_assert(offsetof(ProgramRecord, globals.delayOn) == 5040, "2043");
static_assert(offsetof(ProgramRecord, globals.sustainTime) == 5056, "2047");
static_assert(offsetof(ProgramRecord, globals.modulationToVibrato) == 5060, "2092");
static_assert(offsetof(ProgramRecord, globals.sustainMode) == 5064, "2048");
static_assert(offsetof(ProgramRecord, globals.pedalWha) == 5076, "2051");
static_assert(offsetof(ProgramRecord, globals.arpMode) == 5080, "2081");
static_assert(offsetof(ProgramRecord, globals.pitchBendActive) == 5120, "2091");
static_assert(offsetof(ProgramRecord, globals.unused5124) == 5124, "");
static_assert(offsetof(ProgramRecord, globals.browserBank) == 5164, "2093");
static_assert(offsetof(ProgramRecord, globals.browserPreset) == 5172, "2095");
static_assert(offsetof(ProgramRecord, globals.unused5176) == 5176, "");
static_assert(offsetof(ProgramRecord, presetPath) == 5192, "");
static_assert(offsetof(ProgramRecord, programName) == 5290, "");
static_assert(offsetof(ProgramRecord, voicesPerPart) == 5340, "2096");
static_assert(offsetof(ProgramRecord, generalTune) == 5344, "2105");
static_assert(offsetof(ProgramRecord, partTune[0]) == 5348, "2097");
static_assert(offsetof(ProgramRecord, partTune[7]) == 5376, "2104");
static_assert(offsetof(ProgramRecord, ringModulatorOn) == 5380, "2106");
static_assert(offsetof(ProgramRecord, popUpOver) == 5384, "2107");
static_assert(offsetof(ProgramRecord, popUpClick) == 5388, "2108");

// Names of the preset browser: 1 to 31 characters; three of them and two separators
// fit the record's preset path.
const int kPresetNameSize = 32;
static_assert(3 * (kPresetNameSize - 1) + 2 < kPresetPathSize, "a full path fits with its terminator");

// Writes bank "/" sub-bank "/" preset into the record's path; each name is read only up to
// its terminator or its 31st character.
void joinPresetPath(ProgramRecord& record, const char* bank, const char* subBank, const char* preset);

// Splits the record's path at the first two "/" into three names of at most 31 characters.
// The path is read only within its 98 bytes, terminated or not; an empty path gives three
// empty names, a path without "/" only a bank name.
void splitPresetPath(const ProgramRecord& record, char bank[kPresetNameSize], char subBank[kPresetNameSize],
                     char preset[kPresetNameSize]);

// Copies text into the record's name field (at most 49 characters), or out of it into a
// buffer of outSize bytes; the field is read only within its 50 bytes.
void setProgramNameText(ProgramRecord& record, const char* name);
void getProgramNameText(const ProgramRecord& record, char* out, size_t outSize);

// Copies at most size - 1 characters of text (read no further than maxIn bytes) and
// terminates; a null text gives the empty text.
void copyBoundedText(char* out, size_t size, const char* text, size_t maxIn);
