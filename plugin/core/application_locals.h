// What the three parts of the parameter application share: the local indices of a patch's
// parameters and the reading of a stored value (switch, value, LFO letter).
#pragma once

#include <cstdint>

#include "core/parameter_table.h"

namespace application {

// Patch host locals of line 1; line 2 adds kLineLocals.
namespace hostLocal {
enum {
    kLfoSpeed = 0,
    kLfoPwmDepth = 1,
    kOscWidth = 2,
    kOscNoise = 3,
    kHighPassCutoff = 4,
    kLowPassResonance = 7,
    kVcfLevel = 8,
    kOscSine = 9,
    kVcfInitialLevel = 10,
    kVcfReleaseTime = 14,
    kVcaAttackTime = 15,
    kVcaReleaseTime = 18,
    kVcaLevel = 19,
    kInitialBrilliance = 20,
    kInitialLevel = 21,
    kAfterBrilliance = 22,
    kAfterLevel = 23,
    kLineLocals = 24,
};

enum { kDetune = 48, kMix = 49, kOsc1Accord = 50, kOsc2Accord = 51, kFirstModAmount = 52 };
}  // namespace hostLocal

// Patch internal locals.
namespace internalLocal {
enum {
    kSawTriangle = 0,
    kSquare = 1,
    kKeyboard = 2,
    kSineOn = 3,
    kHighPassOn = 4,
    kLowPassOn = 5,
    kFilterPoles = 6,
    kLfoWave = 7,
    kLfoTrigger = 8,
    kLfoSync = 9,
    kInternalLineLocals = 10,  // line 2 adds this to locals 0-9
    kRange1 = 20,
    kRange2 = 21,
    kOsc2Derive = 22,
    kOsc1Sync = 23,
    kFirstModulationChoice = 24,  // destination of row n at 24 + 2n, source at 25 + 2n
};
}  // namespace internalLocal

// A record value may come from a chunk unchecked: every read goes through these.
inline bool isOn(float value) { return saneParameterValue(value) >= 0.5f; }
inline float stored(float value) { return saneParameterValue(value); }

// LFO waveform letters by sixths of the stored value: sample and hold, random, square, rising
// and falling sawtooth, sine.
constexpr int32_t kLfoWaveLetters[6] = {'F', 'E', 'A', 'B', 'C', '@'};

inline int32_t lfoWaveLetter(float value) { return kLfoWaveLetters[stepOf(kSixths, value)]; }

}  // namespace application
