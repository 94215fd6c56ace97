// The parameter model: the index space, where each index is stored in the program record,
// and every per-parameter fact (key word, host and editor names, curve, value text rule)
// in one descriptor table that names, key tables, texts and the application all read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/program_record.h"
#include "core/value_curves.h"

// ParameterIndex: a signed 32-bit integer in four disjoint ranges.
//   0-495      host parameters of the eight patches: 62 x patch + local
//   496-548    host globals: 496 + local
//   1000-1351  internal parameters of the eight patches: 1000 + 44 x patch + local
//   2000-2108  internal globals: 2000 + local
enum ParameterKind {
    kPatchParameter = 0,
    kPatchInternalParameter = 1,
    kGlobalParameter = 2,
    kInternalGlobalParameter = 3,
};

const int kPatchParameterCount = 62;
const int kGlobalParameterBase = 496;
const int kGlobalParameterCount = 53;
const int kPatchInternalBase = 1000;
const int kPatchInternalCount = 44;
const int kInternalGlobalBase = 2000;
const int kInternalGlobalCount = 109;
const int kNumHostParameters = 549;

// Index to local index, patch block (or -1), kind and base. Never fails and checks no upper
// bound: 1352-1999 decode as block 7 with a local of 44 or more, indices below 0 as block 0
// with a negative local, and locals 0-7 of the internal globals (NUM_PATCH_VOIE1-8) report
// their part as block. Callers that take indices from outside use findParameter.
void decodeParameterIndex(int index, int* local, int* block, int* kind, int* base);

// Where a key word is used.
enum class KeyUse : unsigned char {
    none,        // no key
    preset,      // saved and loaded by the preset files
    lookupOnly,  // known when read, never written (the browser positions)
    tuning,      // only in the MIDI control file, with the prefix "TUNE_"
};

enum class TextForm : unsigned char {
    none,          // ""
    fixed4,        // "%.4f " of the curve value
    hertz,         // "%.2f Hz"
    milliseconds,  // "%.2f ms"
    decibels,      // "-200 dB" for a stored value of 0 or less, else "%.2f dB" of 20 log10
    levelDb,       // "%.2f dB " of 60 v
    levelDbTight,  // "%.2f dB" of 60 v
    cents,         // "%.4f cent" of (curve - 1) x 33.33
    accord,        // "%d semitone" of v x 24 - 12 truncated
    lfoSpeed,      // the tempo text while the line's LFO sync is on, else hertz of lfoRateCurve
    delaySpeed,    // SYNC_DELAI on: tempo text; off: "%.2f ms" of delayTimeCurve
    arpSpeed,      // ARP_SYNC on: tempo text of 1 - v; off: "%.2f ms " of delayTimeCurve(1 - v)
    pan,           // "%.2f L %.2f R"
    partVolume,    // "-200 dB", "0.0 dB" or "%.2f dB" of the part volume in dB
    choice,        // one word per step
    transpose,     // "%+d semitones "
    bendCoarse,    // "Vexa Linear Mode " or "%.2d semitone"
    percent,       // "%.4f %%" of the curve value
};

struct ChoiceWords {
    const StepScale* scale;
    const char* words[6];
};

struct TextRule {
    TextForm form;
    Curve curve;
    CurveInput input;
    const ChoiceWords* choice;
};

struct ParameterDescriptor {
    int16_t slot;           // byte offset of the value, -1 for none: in the patch block for
                            // the patch kinds, in the record for the globals
    const char* key;        // preset-file key word; null for none
    KeyUse keyUse;
    const char* shortName;  // host name: the suffix after "s1".."s8" for patch host parameters,
                            // the whole name for host globals; null for internal parameters
    const char* longName;   // editor's name; "" for none
    Curve curve;            // what the application converts the stored value with
    CurveInput curveInput;
    TextRule text;          // the editor's value text
};

// The descriptor of an index in the four ranges, and its patch (0-7, -1 for a global);
// null for any other index (negative, 549-999, 1352-1999, above 2108).
const ParameterDescriptor* findParameter(int index, int* patch = nullptr);

// The descriptor of a local index of one kind; null when the local is out of its range.
const ParameterDescriptor* parameterAt(int kind, int local);

// Byte offset of the index's value in the program record, or -1 (no slot).
int parameterSlotOffset(int index);

// The stored value (0 for an index without a slot) and its store (false: nothing written).
float readParameter(const ProgramRecord& record, int index);
bool writeParameter(ProgramRecord& record, int index, float value);

// What a value from a host, a file or a chunk becomes before it is stored or applied: NaN
// is the lowest value (0), and magnitudes are bounded to 1e6, where the curves stop, so
// that every conversion and truncation stays finite. Values in range pass unchanged.
inline float saneParameterValue(float value) {
    if (value != value) return 0.f;
    return value > 1e6f ? 1e6f : value < -1e6f ? -1e6f : value;
}

// A whole-number parameter: the value truncated toward zero.
inline int wholeNumber(float value) { return (int)saneParameterValue(value); }

// A patch or part number from a stored value, clamped to 0-7 before it indexes anything.
inline int clampPatchNumber(int number) { return number < 0 ? 0 : number > 7 ? 7 : number; }

// The host name, at most 7 characters: "def" for indices without one.
void parameterShortName(int index, char* out, size_t size);

// The editor's name, "" for none; 517 and 518 follow TYPE_CHORUS of the record.
void parameterLongName(const ProgramRecord& record, int index, char* out, size_t size);

// Parameters that other parameters' names and texts depend on.
const int kTypeChorusIndex = 2042;
const int kSyncDelayIndex = 2044;
const int kArpSyncIndex = 2083;
const int kParamFreqEcoutIndex = 2060;
