#include "core/parameter_table.h"

#include <cstdio>
#include <cstring>

namespace {

const CurveInput kValue = CurveInput::value;
const CurveInput kInverted = CurveInput::inverted;  // 1 - v
const CurveInput kBipolar = CurveInput::bipolar;    // 2 v - 1

constexpr TextRule kNoText = {TextForm::none, Curve::none, CurveInput::value, nullptr};

constexpr TextRule rule(TextForm form, Curve curve = Curve::none, CurveInput input = CurveInput::value) {
    return {form, curve, input, nullptr};
}

constexpr TextRule choiceRule(const ChoiceWords& words) { return {TextForm::choice, Curve::none, kValue, &words}; }

// The thresholds are those of the application of the same parameters.
constexpr ChoiceWords kLfoWaveWords = {&kSixths, {"Rand", "Noise", "Square", "Saw up", "Saw down", "Sine"}};
constexpr ChoiceWords kLfoModeWords = {&kThirds, {"mono", "trigg", "free"}};
constexpr ChoiceWords kRangeWords = {
    &kSixths, {"+ 2 octaves", "+ 1 octave 1 fifth", "+ 1 octave", "+ 1 fifth", "Default", "- 1 octave"}};
constexpr ChoiceWords kArpModeWords = {
    &kFifths, {"key match ", "Random ", "backward-forward ", "decreasing ", "increassing"}};
constexpr ChoiceWords kArpOctaveWords = {&kQuarters, {"1 octave  ", "2 octaves ", "3 octaves ", "4 octaves "}};
constexpr ChoiceWords kArpRepeatWords = {&kQuarters, {"1 Repeat ", "2 Repeat ", "3 Repeat ", "4 Repeat "}};

constexpr ParameterDescriptor patchHost(size_t slot, const char* key, const char* shortName, const char* longName,
                                        Curve curve, CurveInput input, TextRule text) {
    return {(int16_t)slot, key, KeyUse::preset, shortName, longName, curve, input, text};
}

constexpr ParameterDescriptor patchInternal(size_t slot, const char* key, const char* longName = "",
                                            TextRule text = kNoText) {
    return {(int16_t)slot, key, KeyUse::preset, nullptr, longName, Curve::none, kValue, text};
}

constexpr ParameterDescriptor hostGlobal(size_t slot, const char* key, const char* shortName, const char* longName,
                                         Curve curve, CurveInput input, TextRule text) {
    return {(int16_t)slot, key, key ? KeyUse::preset : KeyUse::none, shortName, longName, curve, input, text};
}

constexpr ParameterDescriptor internalGlobal(int slot, const char* key, KeyUse use, const char* longName = "",
                                             Curve curve = Curve::none, CurveInput input = kValue,
                                             TextRule text = kNoText) {
    return {(int16_t)slot, key, use, nullptr, longName, curve, input, text};
}

#define LINE(n, field) offsetof(PatchBlock, lines[n].field)
#define BLOCK(field) offsetof(PatchBlock, field)
#define GLOBAL(field) (int)offsetof(ProgramRecord, globals.field)
#define RECORD(field) (int)offsetof(ProgramRecord, field)

// Families: a digit counted from 1 in the names, the index counted from 0 in the slot.
#define EIGHT(M) M("1", 0) M("2", 1) M("3", 2) M("4", 3) M("5", 4) M("6", 5) M("7", 6) M("8", 7)
#define FOUR(M) M("1", 0) M("2", 1) M("3", 2) M("4", 3)
// Modulation rows: keys and short names count from 01, the long names from 0.
#define TEN_ROWS(M)                                                                                          \
    M("01", "0", 0) M("02", "1", 1) M("03", "2", 2) M("04", "3", 3) M("05", "4", 4) M("06", "5", 5)          \
        M("07", "6", 6) M("08", "7", 7) M("09", "8", 8) M("10", "9", 9)

// The 24 host parameters of one line. D is the line's digit; F and A number its filter and
// amplifier envelopes in the short names (1 and 2 for line 1, 3 and 4 for line 2).
#define LINE_HOST_PARAMETERS(L, D, F, A, afterLevelText)                                                      \
    patchHost(LINE(L, lfoSpeed), "LFO" D "_SPEED", "lf" D "Sp", "Lfo" D " Speed", Curve::lfoRate, kValue,     \
              rule(TextForm::lfoSpeed, Curve::lfoRate)),                                                      \
        patchHost(LINE(L, lfoPwmDepth), "LFO" D "_DEPTH_PWM", "lf" D "PW", "Lfo" D " PWM", Curve::pwmDepth,   \
                  kValue, rule(TextForm::fixed4, Curve::pwmDepth)),                                           \
        /* The text shows the curve value; the engine receives 1 minus it. */                                 \
        patchHost(LINE(L, width), "OSC" D "_WIDTH", "o" D "Wid", "Osc" D " Width", Curve::width, kValue,      \
                  rule(TextForm::fixed4, Curve::width)),                                                      \
        patchHost(LINE(L, noiseLevel), "OSC" D "_NOISE", "o" D "Noi", "Osc" D " Noise", Curve::noiseLevel,    \
                  kValue, rule(TextForm::decibels, Curve::noiseLevel)),                                       \
        patchHost(LINE(L, highPassCutoff), "CUTOFF_HIGHT" D, "FrHi" D, "HighPass" D " CutOff", Curve::cutoff, \
                  kValue, rule(TextForm::hertz, Curve::cutoff)),                                              \
        patchHost(LINE(L, highPassResonance), "RES_HIGHT" D, "ReHi" D, "HighPass" D " Resonance",             \
                  Curve::resonance, kValue, rule(TextForm::fixed4, Curve::resonance)),                        \
        patchHost(LINE(L, lowPassCutoff), "CUTOFF_LOW" D, "FrLo" D, "LowPass" D " CutOff", Curve::cutoff,     \
                  kValue, rule(TextForm::hertz, Curve::cutoff)),                                              \
        patchHost(LINE(L, lowPassResonance), "RES_LOW" D, "ReLo" D, "LowPass" D " Resonance",                 \
                  Curve::resonance, kValue, rule(TextForm::fixed4, Curve::resonance)),                        \
        /* The text reads the amplifier curve, the application the filter's. */                               \
        patchHost(LINE(L, vcfLevel), "LEVEL_VCF" D, "LevF" D, "VCF" D " Level", Curve::vcfLevel, kValue,      \
                  rule(TextForm::decibels, Curve::vcaLevel)),                                                 \
        patchHost(LINE(L, sineLevel), "OSC" D "_SINUS", "o" D "Sin", "Osc" D " Sine", Curve::sineLevel,       \
                  kValue, rule(TextForm::decibels, Curve::sineLevel)),                                        \
        /* The application sends the level negated, the text shows it positive. */                            \
        patchHost(LINE(L, vcfInitialLevel), "INIT_LEVEL_VCF" D, "ev" F "In", "VCF" D " Initial Level",        \
                  Curve::initialLevel, kValue, rule(TextForm::fixed4, Curve::initialLevel)),                  \
        patchHost(LINE(L, vcfAttackLevel), "ATTACK_LEVEL_VCF" D, "ev" F "Al", "VCF" D " Attack Level",        \
                  Curve::attackLevel, kValue, rule(TextForm::fixed4, Curve::attackLevel)),                    \
        patchHost(LINE(L, vcfAttackTime), "ATTACK_TEMPS_VCF" D, "ev" F "At", "VCF" D " Attack Time",          \
                  Curve::attackTime, kValue, rule(TextForm::milliseconds, Curve::attackTime)),                \
        patchHost(LINE(L, vcfDecayTime), "DECAY_TEMPS_VCF" D, "ev" F "Dc", "VCF" D " Decay Time",             \
                  Curve::decayTime, kValue, rule(TextForm::milliseconds, Curve::decayTime)),                  \
        patchHost(LINE(L, vcfReleaseTime), "RELEASE_TEMPS_VCF" D, "ev" F "Re", "VCF" D " Release Time",       \
                  Curve::releaseTime, kValue, rule(TextForm::milliseconds, Curve::releaseTime)),              \
        patchHost(LINE(L, vcaAttackTime), "ATTACK_TEMPS_VCA" D, "ev" A "At", "VCA" D " Attack Time",          \
                  Curve::attackTime, kValue, rule(TextForm::milliseconds, Curve::attackTime)),                \
        patchHost(LINE(L, vcaDecayTime), "DECAY_TEMPS_VCA" D, "ev" A "Dc", "VCA" D " Decay Time",             \
                  Curve::decayTime, kValue, rule(TextForm::milliseconds, Curve::decayTime)),                  \
        patchHost(LINE(L, vcaSustainLevel), "SUSTAIN_LEVEL_VCA" D, "ev" A "Su", "VCA" D " Sustain Level",     \
                  Curve::none, kValue, rule(TextForm::fixed4)),                                               \
        patchHost(LINE(L, vcaReleaseTime), "RELEASE_TEMPS_VCA" D, "ev" A "Re", "VCA" D " Release Time",       \
                  Curve::releaseTime, kValue, rule(TextForm::milliseconds, Curve::releaseTime)),              \
        patchHost(LINE(L, vcaLevel), "VOLUME_VCA" D, "Lev" D, "VCA" D " Level", Curve::vcaLevel, kValue,      \
                  rule(TextForm::decibels, Curve::vcaLevel)),                                                 \
        patchHost(LINE(L, initialBrilliance), "INITIAL_BRILLANCE" D, "InBr" D, "Initial Brilliance" D,        \
                  Curve::none, kValue, rule(TextForm::fixed4)),                                               \
        patchHost(LINE(L, initialLevel), "INITIAL_LEVEL" D, "InLe" D, "Initial Level" D, Curve::none, kValue, \
                  rule(TextForm::levelDb)),                                                                   \
        patchHost(LINE(L, afterBrilliance), "AFTER_BRILLANCE" D, "AfBr" D, "After Brilliance" D, Curve::none, \
                  kValue, rule(TextForm::fixed4)),                                                            \
        patchHost(LINE(L, afterLevel), "AFTER_LEVEL" D, "AfLe" D, "After Level" D, Curve::none, kValue,       \
                  rule(afterLevelText))

#define ROW_AMOUNT(R, N, n)                                                                                  \
    patchHost(BLOCK(rows[n].amount), "MODULATION" R "_AMOUNT", "M" R "Am", "Amount Mod" N, Curve::modAmount, \
              kValue, rule(TextForm::fixed4, Curve::modAmount)),

// Host parameters of a patch, locals 0-61.
constexpr ParameterDescriptor kPatchHostParameters[] = {
    LINE_HOST_PARAMETERS(0, "1", "1", "2", TextForm::levelDb),
    LINE_HOST_PARAMETERS(1, "2", "3", "4", TextForm::levelDbTight),
    patchHost(BLOCK(detune), "DETUNE", "Detun", "Detune Osc1 Osc2", Curve::detune, kInverted,
              rule(TextForm::cents, Curve::detune, kInverted)),
    patchHost(BLOCK(mix), "MIXE", "Mix", "Mix Osc1 Osc2", Curve::none, kValue,
              rule(TextForm::fixed4, Curve::none, kBipolar)),
    patchHost(LINE(0, accord), "OSC1_ACCORD", "o1Acc", "Osc1 Accord", Curve::none, kValue, rule(TextForm::accord)),
    patchHost(LINE(1, accord), "OSC2_ACCORD", "o2Acc", "Osc2 Accord", Curve::none, kValue, rule(TextForm::accord)),
    TEN_ROWS(ROW_AMOUNT)
};

#define LINE_INTERNAL_PARAMETERS(L, D)                                                                    \
    patchInternal(LINE(L, sawTriangle), "OSC" D "_SAW_TRI", "Osc" D " Saw Tri"),                          \
        patchInternal(LINE(L, square), "OSC" D "_SQR", "Osc" D " Square"),                                \
        patchInternal(LINE(L, keyboard), "OSC" D "_KEYB"), patchInternal(LINE(L, sineOn), "OSC" D "_ON_SIN"), \
        patchInternal(LINE(L, highPassOn), "ON_HIGHT" D), patchInternal(LINE(L, lowPassOn), "ON_LOW" D),  \
        patchInternal(LINE(L, filterPoles), "FILTRE" D "_TYPE"),                                          \
        patchInternal(LINE(L, lfoWave), "LFO" D "_WAVE", "Lfo" D " Wave", choiceRule(kLfoWaveWords)),     \
        patchInternal(LINE(L, lfoTrigger), "LFO" D "_TRIGG", "Lfo" D " Mode", choiceRule(kLfoModeWords)), \
        patchInternal(LINE(L, lfoSync), "LFO" D "_SYNC")

#define ROW_CHOICES(R, N, n)                                          \
    patchInternal(BLOCK(rows[n].destination), "MODULATION" R "_OUTPUT"), \
        patchInternal(BLOCK(rows[n].source), "MODULATION" R "_INPUT"),

// Internal parameters of a patch, locals 0-43.
constexpr ParameterDescriptor kPatchInternalParameters[] = {
    LINE_INTERNAL_PARAMETERS(0, "1"),
    LINE_INTERNAL_PARAMETERS(1, "2"),
    patchInternal(LINE(0, range), "RANGE1", "Range Osc1", choiceRule(kRangeWords)),
    patchInternal(LINE(1, range), "RANGE2", "Range Osc2", choiceRule(kRangeWords)),
    patchInternal(BLOCK(osc2Derive), "OSC2_DERIVE"),
    patchInternal(BLOCK(osc1Sync), "OSC1_SYNCHRO"),
    TEN_ROWS(ROW_CHOICES)
};

#define PART_PAN(D, n)                                                                                       \
    hostGlobal(GLOBAL(partPan[n]), "PANORAMIQUE_VOIE" D, "panv" D, "Voice" D " Panorama", Curve::none, kValue, \
               rule(TextForm::pan)),
#define PART_VOLUME(D, n)                                                                                      \
    hostGlobal(GLOBAL(partVolume[n]), "VOLUME_VOIE" D, "volv" D, "Voice" D " Level", Curve::partVolume, kValue, \
               rule(TextForm::partVolume)),
#define PART_DETUNE(D, n)                                                                                      \
    hostGlobal(GLOBAL(partDetune[n]), "DETUNE_VOIE" D, "Tunv" D, "Voice" D " Detune", Curve::detune, kValue,    \
               rule(TextForm::fixed4, Curve::detune)),

// Host globals 496-548. Several texts read the value otherwise than the application does
// (another curve, or none): each row keeps both.
constexpr ParameterDescriptor kHostGlobalParameters[] = {
    hostGlobal(GLOBAL(vibratoRate), "VIB_RATE", "subfrq", "Sub Speed", Curve::vibratoRate, kInverted,
               rule(TextForm::hertz, Curve::vibratoRate, kInverted)),
    hostGlobal(GLOBAL(vibratoAmountVco), "VIB_AMOUNT_VCO", "subAvco", "Sub Vco", Curve::vibratoDepth, kInverted,
               rule(TextForm::fixed4, Curve::vibratoDepth, kInverted)),
    hostGlobal(GLOBAL(vibratoAmountVcf), "VIB_AMOUNT_VCF", "subAvcf", "Sub Vcf", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::vibratoDepth, kInverted)),
    hostGlobal(GLOBAL(vibratoAmountVca), "VIB_AMOUNT_VCA", "subAvca", "Sub Vca", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(ringAttack), "RING_ATTACK", "ringAt", "RingMod Attack", Curve::ringAttack, kInverted,
               rule(TextForm::milliseconds, Curve::ringAttack, kInverted)),
    hostGlobal(GLOBAL(ringDecay), "RING_DECAY", "ringDc", "RingMod Decay", Curve::ringDecay, kInverted,
               rule(TextForm::milliseconds, Curve::ringDecay, kInverted)),
    hostGlobal(GLOBAL(ringDepth), "RING_DEPTH", "ringDp", "RingMod Depth", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(ringSpeed), "RING_SPEED", "ringSp", "RingMod Speed", Curve::ringSpeed, kInverted,
               rule(TextForm::hertz, Curve::ringSpeed, kInverted)),
    hostGlobal(GLOBAL(ringModulation), "RING_MODULATION", "ringMo", "RingMod Modulation", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    // The application halves the brilliance; the text does not.
    hostGlobal(GLOBAL(brilliance), "BRILLANCE", "brill", "Brilliance", Curve::brilliance, kValue,
               rule(TextForm::fixed4, Curve::brilliance)),
    hostGlobal(GLOBAL(resonance), "RESONANCE", "resonn", "Resonance", Curve::brilliance, kValue,
               rule(TextForm::fixed4, Curve::brilliance)),
    hostGlobal(GLOBAL(touchInitial), "TOUCH_INITIAL", "atinit", "Initial Pitch", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(touchSpeed), "TOUCH_SPEED", "atspee", "AfterTouch Sub Speed", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(touchAmountVco), "TOUCH_AMOUNT_VCO", "atavco", "AfterTouch Sub Vco", Curve::vibratoDepth,
               kInverted, rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(touchAmountVcf), "TOUCH_AMOUNT_VCF", "atavcf", "AfterTouch Sub Vcf", Curve::none, kInverted,
               rule(TextForm::fixed4, Curve::none, kInverted)),
    hostGlobal(GLOBAL(keyboardBrillianceLow), "KEYB_BRILLANCE_LOW", "kbbrlo", "Keyboard Low Brilliance",
               Curve::none, kValue, rule(TextForm::fixed4, Curve::none, kBipolar)),
    hostGlobal(GLOBAL(keyboardBrillianceHigh), "KEYB_BRILLANCE_HIGHT", "kbbrhi", "Keyboard High Brilliance",
               Curve::none, kValue, rule(TextForm::fixed4, Curve::none, kBipolar)),
    hostGlobal(GLOBAL(keyboardLevelLow), "KEYB_LEVEL_LOW", "kblvlo", "Keyboard Low Level", Curve::none, kValue,
               rule(TextForm::fixed4, Curve::none, kBipolar)),
    hostGlobal(GLOBAL(keyboardLevelHigh), "KEYB_LEVEL_HIGHT", "kblvhi", "Keyboard High Level", Curve::none, kValue,
               rule(TextForm::fixed4, Curve::none, kBipolar)),
    hostGlobal(GLOBAL(volume), "VOLUME", "volume", "General Level", Curve::masterVolume, kValue,
               rule(TextForm::decibels, Curve::masterVolume)),
    hostGlobal(GLOBAL(portamento), "PORTAMENTO", "portam", "Portamento Time", Curve::portamentoTime, kValue,
               rule(TextForm::milliseconds, Curve::portamentoTime)),
    // 517 and 518 are named after the tremolo while TYPE_CHORUS is 0.5 or more.
    hostGlobal(GLOBAL(chorusSpeed), "SPEED_CHORUS", "specho", "Chorus Speed", Curve::chorusSpeed, kValue,
               rule(TextForm::hertz, Curve::chorusSpeed)),
    hostGlobal(GLOBAL(chorusDepth), "DEPTH_CHORUS", "depcho", "Chorus Depth", Curve::none, kValue,
               rule(TextForm::fixed4)),
    hostGlobal(GLOBAL(delaySpeed), "SPEED_DELAI", "spedel", "Delay Time", Curve::delayTime, kValue,
               rule(TextForm::delaySpeed)),
    hostGlobal(GLOBAL(delayDepth), "DEPTH_DELAI", "depdel", "Delay FeedBack", Curve::none, kValue,
               rule(TextForm::fixed4)),
    hostGlobal(GLOBAL(delayDryWet), "DRY_WET_DELAI", "drydel", "Delay Wet", Curve::none, kValue,
               rule(TextForm::fixed4)),
    EIGHT(PART_PAN)
    EIGHT(PART_VOLUME)
    EIGHT(PART_DETUNE)
    hostGlobal(GLOBAL(pitchBend), nullptr, "Bend", "", Curve::none, kBipolar,
               rule(TextForm::fixed4, Curve::none, kBipolar)),
    hostGlobal(GLOBAL(modulationWheel), "MODULATION_WHEEL_CONTROL", "Mod", "Modulation Wheel", Curve::none, kValue,
               rule(TextForm::fixed4)),
    hostGlobal(GLOBAL(expressionPedal), nullptr, "exp", "", Curve::none, kValue, kNoText),
};

// Whole numbers and switches, one per part.
#define PART_SETTING(field, KEY)                                                                          \
    internalGlobal(GLOBAL(field[0]), KEY "1", KeyUse::preset),                                            \
        internalGlobal(GLOBAL(field[1]), KEY "2", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[2]), KEY "3", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[3]), KEY "4", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[4]), KEY "5", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[5]), KEY "6", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[6]), KEY "7", KeyUse::preset),                                        \
        internalGlobal(GLOBAL(field[7]), KEY "8", KeyUse::preset)
#define PART_TRANSPOSE(D, n)                                                                              \
    internalGlobal(GLOBAL(partTranspose[n]), "TRANSPOSE_VOIE" D, KeyUse::preset, "Voice" D " Transpose", \
                   Curve::transposeSteps, kValue, rule(TextForm::transpose)),
#define ZONE(Z, z)                                                                                                \
    internalGlobal(GLOBAL(zones[z].input), "ZONE" Z "_INPUT", KeyUse::preset),                                  \
        internalGlobal(GLOBAL(zones[z].lowKey), "ZONE" Z "_INF", KeyUse::preset),                               \
        internalGlobal(GLOBAL(zones[z].highKey), "ZONE" Z "_SUP", KeyUse::preset),                              \
        internalGlobal(GLOBAL(zones[z].mode), "ZONE" Z "_MODE", KeyUse::preset),                                \
        internalGlobal(GLOBAL(zones[z].arpeggiator), "ZONE" Z "_ARP", KeyUse::preset),
#define PART_TUNE(D, n)                                                                                       \
    internalGlobal(RECORD(partTune[n]), "VEXA_DETUNE" D, KeyUse::tuning, "Voice" D " Tune", Curve::none, kValue, \
                   rule(TextForm::percent)),

// Internal globals 2000-2108.
constexpr ParameterDescriptor kInternalGlobalParameters[] = {
    PART_SETTING(partPatch, "NUM_PATCH_VOIE"),
    PART_SETTING(partZone, "AFFECTE_VOIE"),
    PART_SETTING(partPortamento, "PORTAMENTO_VOIE"),
    PART_SETTING(partRingMod, "RING_MOD_VOIE"),
    PART_SETTING(partEffects, "EFFETS_VOIE"),
    internalGlobal(GLOBAL(vibratoWave), "VIB_WAVE", KeyUse::preset, "Sub Wave", Curve::none, kValue,
                   choiceRule(kLfoWaveWords)),
    internalGlobal(GLOBAL(chorusOn), "ON_CHORUS", KeyUse::preset, "Chorus On"),
    internalGlobal(GLOBAL(chorusType), "TYPE_CHORUS", KeyUse::preset, "Chorus/Tremolo"),
    internalGlobal(GLOBAL(delayOn), "ON_DELAI", KeyUse::preset, "Delay On"),
    internalGlobal(GLOBAL(delaySync), "SYNC_DELAI", KeyUse::preset),
    internalGlobal(GLOBAL(pedalSustainOn), "PEDALE_SUSTAIN_ON", KeyUse::preset, "Pedal Sustain On"),
    internalGlobal(GLOBAL(pedalPortamentoOn), "PEDALE_PORTAMENTO_ON", KeyUse::preset, "Pedal Port. On"),
    internalGlobal(GLOBAL(sustainTime), "SUSTAIN_TIME", KeyUse::preset, "Sustain Time", Curve::sustainTime, kValue,
                   rule(TextForm::milliseconds, Curve::sustainTime)),
    internalGlobal(GLOBAL(sustainMode), "SUSTAIN_MODE", KeyUse::preset, "Sustain Mode"),
    internalGlobal(GLOBAL(glissando), "GLISSENDO", KeyUse::preset, "Glissendo"),
    internalGlobal(GLOBAL(pedalExpression), "PEDALE_EXPRESSION", KeyUse::preset, "Exp. Pedal"),
    internalGlobal(GLOBAL(pedalWha), "PEDALE_WHA", KeyUse::preset, "Exp. Wha Pedal"),
    EIGHT(PART_TRANSPOSE)
    // Kept by the plug-in object as an integer, not in the record.
    internalGlobal(-1, "PARAM_FREQ_ECOUT", KeyUse::preset),
    FOUR(ZONE)
    internalGlobal(GLOBAL(arpMode), "ARP_MODE", KeyUse::preset, "Arpegiator Mode", Curve::none, kValue,
                   choiceRule(kArpModeWords)),
    internalGlobal(GLOBAL(arpSpeed), "ARP_SPEED", KeyUse::preset, "Arpegiator Speed", Curve::delayTime, kInverted,
                   rule(TextForm::arpSpeed)),
    internalGlobal(GLOBAL(arpSync), "ARP_SYNC", KeyUse::preset, "Arpegiator Sync"),
    internalGlobal(GLOBAL(arpHold), "ARP_HOLD", KeyUse::preset, "Arpegiator Hold"),
    internalGlobal(GLOBAL(arpOctave), "ARP_OCTAVE", KeyUse::preset, "Arpegiator Octave ", Curve::none, kValue,
                   choiceRule(kArpOctaveWords)),
    internalGlobal(GLOBAL(arpPlay), "ARP_PLAY", KeyUse::preset, "Arpegiator Play"),
    internalGlobal(GLOBAL(arpRepeat), "ARP_REPEAT", KeyUse::preset, "Arpegiator Repeat", Curve::none, kValue,
                   choiceRule(kArpRepeatWords)),
    internalGlobal(GLOBAL(modulationPanelOpen), "TRAPPE_MODUL", KeyUse::preset),
    internalGlobal(GLOBAL(multiMode), "TRAPPE_MULTI", KeyUse::preset),
    internalGlobal(GLOBAL(pitchBendCoarse), "PITCH_BEND_COARSE", KeyUse::preset, "PitchBend Coarse ", Curve::none,
                   kValue, rule(TextForm::bendCoarse)),
    internalGlobal(GLOBAL(pitchBendActive), "PITCH_BEND_ACTIF", KeyUse::preset),
    internalGlobal(GLOBAL(modulationToVibrato), "MODUL_TO_VIB", KeyUse::preset),
    internalGlobal(GLOBAL(browserBank), "FICHIER_MENU", KeyUse::lookupOnly),
    internalGlobal(GLOBAL(browserSubBank), "BANQUE_MENU", KeyUse::lookupOnly),
    internalGlobal(GLOBAL(browserPreset), "INSTRUMENT_MENU", KeyUse::lookupOnly),
    internalGlobal(RECORD(voicesPerPart), "NBR_POLY_CARTE", KeyUse::preset),
    EIGHT(PART_TUNE)
    internalGlobal(RECORD(generalTune), "VEXA_TUNE", KeyUse::tuning, "Halvorn General Tune", Curve::detune, kValue,
                   rule(TextForm::percent, Curve::detune)),
    internalGlobal(RECORD(ringModulatorOn), "ON_RINGMOD", KeyUse::preset),
    internalGlobal(RECORD(popUpOver), "POP_UP_OVER", KeyUse::tuning),
    internalGlobal(RECORD(popUpClick), "POP_UP_CLIC", KeyUse::tuning),
};

static_assert(sizeof(kPatchHostParameters) / sizeof(ParameterDescriptor) == kPatchParameterCount, "");
static_assert(sizeof(kPatchInternalParameters) / sizeof(ParameterDescriptor) == kPatchInternalCount, "");
static_assert(sizeof(kHostGlobalParameters) / sizeof(ParameterDescriptor) == kGlobalParameterCount, "");
static_assert(sizeof(kInternalGlobalParameters) / sizeof(ParameterDescriptor) == kInternalGlobalCount, "");

// Spot checks that the families landed on the indices the record layout gives them.
static_assert(kHostGlobalParameters[522 - 496].slot == 4704 && kHostGlobalParameters[545 - 496].slot == 4796, "");
static_assert(kHostGlobalParameters[548 - 496].slot == 4840, "");
static_assert(kInternalGlobalParameters[39].slot == 4700 && kInternalGlobalParameters[59].slot == 4828, "2039, 2059");
static_assert(kInternalGlobalParameters[76].slot == 4904 && kInternalGlobalParameters[80].slot == 4920, "2076, 2080");
static_assert(kInternalGlobalParameters[92].slot == 5060 && kInternalGlobalParameters[108].slot == 5388, "2092, 2108");
static_assert(kPatchHostParameters[61].slot == 336 + 12 * 9 && kPatchInternalParameters[43].slot == 332 + 12 * 9, "");

#undef LINE
#undef BLOCK
#undef GLOBAL
#undef RECORD

}  // namespace

void decodeParameterIndex(int index, int* local, int* block, int* kind, int* base) {
    int l, b, k, s;
    if (index <= 495) {
        b = index < 0 ? 0 : index / kPatchParameterCount;
        l = index - kPatchParameterCount * b;
        k = kPatchParameter;
        s = 0;
    } else if (index < kPatchInternalBase) {
        l = index - kGlobalParameterBase;
        b = -1;
        k = kGlobalParameter;
        s = kGlobalParameterBase;
    } else if (index < kInternalGlobalBase) {
        b = (index - kPatchInternalBase) / kPatchInternalCount;
        if (b > 7) b = 7;
        l = index - kPatchInternalBase - kPatchInternalCount * b;
        k = kPatchInternalParameter;
        s = kPatchInternalBase;
    } else {
        l = index - kInternalGlobalBase;
        b = l < kPartCount ? l : -1;  // NUM_PATCH_VOIE1-8 report their part
        k = kInternalGlobalParameter;
        s = kInternalGlobalBase;
    }
    if (local) *local = l;
    if (block) *block = b;
    if (kind) *kind = k;
    if (base) *base = s;
}

const ParameterDescriptor* parameterAt(int kind, int local) {
    switch (kind) {
        case kPatchParameter:
            return local >= 0 && local < kPatchParameterCount ? &kPatchHostParameters[local] : nullptr;
        case kPatchInternalParameter:
            return local >= 0 && local < kPatchInternalCount ? &kPatchInternalParameters[local] : nullptr;
        case kGlobalParameter:
            return local >= 0 && local < kGlobalParameterCount ? &kHostGlobalParameters[local] : nullptr;
        case kInternalGlobalParameter:
            return local >= 0 && local < kInternalGlobalCount ? &kInternalGlobalParameters[local] : nullptr;
        default: return nullptr;
    }
}

const ParameterDescriptor* findParameter(int index, int* patch) {
    int found = -1;
    const ParameterDescriptor* descriptor = nullptr;
    if (index >= 0 && index < kPatchCount * kPatchParameterCount) {
        found = index / kPatchParameterCount;
        descriptor = parameterAt(kPatchParameter, index % kPatchParameterCount);
    } else if (index >= kGlobalParameterBase && index < kNumHostParameters) {
        descriptor = parameterAt(kGlobalParameter, index - kGlobalParameterBase);
    } else if (index >= kPatchInternalBase && index < kPatchInternalBase + kPatchCount * kPatchInternalCount) {
        found = (index - kPatchInternalBase) / kPatchInternalCount;
        descriptor = parameterAt(kPatchInternalParameter, (index - kPatchInternalBase) % kPatchInternalCount);
    } else if (index >= kInternalGlobalBase && index < kInternalGlobalBase + kInternalGlobalCount) {
        descriptor = parameterAt(kInternalGlobalParameter, index - kInternalGlobalBase);
    }
    if (patch) *patch = descriptor ? found : -1;
    return descriptor;
}

int parameterSlotOffset(int index) {
    int patch;
    const ParameterDescriptor* descriptor = findParameter(index, &patch);
    if (!descriptor || descriptor->slot < 0) return -1;
    return patch >= 0 ? (int)sizeof(PatchBlock) * patch + descriptor->slot : descriptor->slot;
}

float readParameter(const ProgramRecord& record, int index) {
    int offset = parameterSlotOffset(index);
    if (offset < 0) return 0.f;
    float value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&record) + offset, sizeof(value));
    return value;
}

bool writeParameter(ProgramRecord& record, int index, float value) {
    int offset = parameterSlotOffset(index);
    if (offset < 0) return false;
    std::memcpy(reinterpret_cast<unsigned char*>(&record) + offset, &value, sizeof(value));
    return true;
}

void parameterShortName(int index, char* out, size_t size) {
    if (!out || size == 0) return;
    copyBoundedText(out, size, "def", 3);
    int patch;
    const ParameterDescriptor* descriptor = findParameter(index, &patch);
    if (!descriptor || !descriptor->shortName) return;
    if (patch >= 0)
        std::snprintf(out, size, "s%d%s", patch + 1, descriptor->shortName);
    else
        copyBoundedText(out, size, descriptor->shortName, size);
}

void parameterLongName(const ProgramRecord& record, int index, char* out, size_t size) {
    if (!out || size == 0) return;
    out[0] = 0;
    const ParameterDescriptor* descriptor = findParameter(index);
    if (!descriptor) return;
    const char* name = descriptor->longName;
    if ((index == 517 || index == 518) && readParameter(record, kTypeChorusIndex) >= 0.5f)
        name = index == 517 ? "Tremolo Speed" : "Tremolo Depth";
    copyBoundedText(out, size, name, size);
}
