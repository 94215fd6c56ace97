// The record that the plug-in fills and hands to SynthEngine::command, and its codes.
#pragma once

#include <cstddef>
#include <cstdint>

// Every field is 32 bits wide; only the fields that a code reads are meaningful.
struct EngineCommand {
    float sampleRate;   // Hz
    int32_t count;      // voices per part; output channel count at init
    int32_t kind;       // note kind (kNoteOnEvent / kNoteOffEvent) or a code's on/off or selector word
    int32_t note;       // MIDI note; -1 = every note
    int32_t velocity;
    int32_t channel;    // 0-15
    float envelope[6];  // attack, decay, release time; initial, attack, sustain level
    int32_t part;       // 0-7
    int32_t fixedPitch;
    float width;
    float amount;
    int32_t tableIndex;  // n of 2^(n/12), -36..71
    int32_t waveSaw;
    int32_t waveSquare;
    int32_t waveExtra;
    int32_t sync;
    float resonance;
    float cutoff;  // Hz
    int32_t enabled;
    float bend;
    float pedal;
    float pressure;
    float glideTime;
    int32_t subIndex;
    float level;
    float pan;
    float valueA;
    float valueB;
    float valueC;
    float valueD;
    float lfoRate;
    int32_t lfoWave;  // '@' .. 'G'; the chorus type word for kCmdChorus
    int32_t tempoSync;
    float tempo;  // beats per minute
    int32_t tempoDivision;
    int32_t zone;
    int32_t zoneChannel;  // 0-15, 16 = every channel
    int32_t zoneLowKey;
    int32_t zoneHighKey;
    int32_t zoneMode;
    int32_t arpRun;
    int32_t arpHold;
    float timeMs;
    int32_t arpOctaves;
    int32_t arpRepeats;
    int32_t option;
};

static_assert(sizeof(EngineCommand) == 51 * 4, "EngineCommand is 51 words");
static_assert(offsetof(EngineCommand, envelope) == 24 && offsetof(EngineCommand, part) == 48 &&
                  offsetof(EngineCommand, option) == 50 * 4,
              "EngineCommand layout");

enum EngineNoteKind { kNoteOnEvent = 105, kNoteOffEvent = 112 };

enum EngineCommandCode {
    kCmdNoteEvent = 1,
    kCmdSampleRate = 2,
    kCmdHighPass1 = 3,
    kCmdHighPass2 = 4,
    kCmdLowPass1 = 5,
    kCmdLowPass2 = 6,
    kCmdOsc1Shape = 7,
    kCmdOsc2Shape = 8,
    kCmdOsc1Detune = 9,
    kCmdOsc2Detune = 16,
    kCmdOsc1Switches = 17,
    kCmdOsc2Switches = 18,
    kCmdLine1Pitch = 19,
    kCmdLine2Pitch = 20,
    kCmdOsc1Pwm = 21,
    kCmdOsc2Pwm = 22,
    kCmdOsc1Modulation = 23,
    kCmdOsc2Modulation = 24,
    kCmdHighPass1Brilliance = 25,
    kCmdHighPass2Brilliance = 32,
    kCmdLowPass1Brilliance = 33,
    kCmdLowPass2Brilliance = 34,
    kCmdHighPass1Modulation = 35,
    kCmdHighPass2Modulation = 36,
    kCmdLowPass1Modulation = 37,
    kCmdLowPass2Modulation = 38,
    kCmdVca1Level = 39,
    kCmdVca2Level = 40,
    kCmdVca1Modulation = 41,
    kCmdVca2Modulation = 48,
    kCmdVca1Touch = 49,
    kCmdVca2Touch = 50,
    kCmdModAmount = 51,
    kCmdGlide = 52,
    kCmdPartLfo = 53,
    kCmdEnvelope = 55,
    kCmdKeyScaling = 56,
    kCmdVibratoLfo = 57,
    kCmdVibratoTouch = 64,
    kCmdRingModulator = 65,
    kCmdBrilliance = 66,
    kCmdPartPan = 67,
    kCmdPartVolume = 68,
    kCmdLineMix = 69,
    kCmdMasterVolume = 70,
    kCmdPartPortamento = 71,
    kCmdPartRingMod = 72,
    kCmdPartEffects = 73,
    kCmdChorus = 80,
    kCmdAftertouch = 81,
    kCmdZone = 82,
    kCmdPartZone = 83,
    kCmdModWheel = 85,
    kCmdPitchBend = 86,
    kCmdMixerLevel = 87,
    kCmdLine1Poles = 88,
    kCmdLine2Poles = 89,
    kCmdArpeggiator = 96,
    kCmdDelay = 97,
    kCmdSustain = 98,
    kCmdSustainSetup = 99,
    kCmdExpression = 100,
    kCmdPedalSetup = 101,
    kCmdPartLfoMode = 102,
    kCmdBendSetup = 103,
    kCmdVoicesPerPart = 104,
    kCmdGlobalTune = 113,
    kCmdPartTune = 114,
};
