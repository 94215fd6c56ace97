#include "core/builtin_sounds.h"

#include <cstring>

namespace {

const float kModulationNone = 38.f;        // destination choice: no destination
const float kModulationKeyTracking = 12.f;  // source choice
const float kModulationAmountCentre = 0.5f;

// Default line 1. Line 2 differs in three values (below).
void writeDefaultLine(LineBlock& line) {
    std::memset(&line, 0, sizeof(line));
    line.range = 0.8f;
    line.accord = 0.5f;
    line.lfoSpeed = 0.5f;
    line.lowPassCutoff = 1.f;
    line.vcfLevel = 1.f;
    line.vcaLevel = 1.f;
    line.vcaSustainLevel = 1.f;
    line.sawTriangle = 1.f;
    line.lowPassOn = 1.f;
    line.unused124 = 1.f;
}

// The 26 template values that change from sound to sound, in the order of the rows below.
typedef float LineBlock::*TemplateField;
const int kTemplateRows = 26;
const int kTemplateColumns = kVoiceTemplateCount + 1;  // the last column is the init sound

const TemplateField kTemplateFields[kTemplateRows] = {
    &LineBlock::width, &LineBlock::sineLevel, &LineBlock::highPassCutoff, &LineBlock::highPassResonance,
    &LineBlock::lowPassCutoff, &LineBlock::lowPassResonance, &LineBlock::vcfLevel, &LineBlock::initialBrilliance,
    &LineBlock::initialLevel, &LineBlock::afterBrilliance, &LineBlock::afterLevel, &LineBlock::lfoSpeed,
    &LineBlock::lfoPwmDepth, &LineBlock::vcfAttackTime, &LineBlock::vcfDecayTime, &LineBlock::vcfReleaseTime,
    &LineBlock::vcfInitialLevel, &LineBlock::vcfAttackLevel, &LineBlock::vcaAttackTime, &LineBlock::vcaDecayTime,
    &LineBlock::vcaSustainLevel, &LineBlock::vcaReleaseTime, &LineBlock::sawTriangle, &LineBlock::square,
    &LineBlock::sineOn, &LineBlock::highPassOn,
};

// Built-in sounds of line 1 (button row 0): 0 "String 1", 1 "String 3", 2 "Brass 1", 3 "Flute",
// 4 "Electric Piano", 5 "Clavichord 1", 6 "Harpsichord 1", 7 "Organ 1", 8 "Guitar 1",
// 9 "Funky 1", 10 "Funky 3", then the init sound.
const float kLine1Sounds[kTemplateRows][kTemplateColumns] = {
    {0.f, 0.f, 0.f, 0.f, 0.5503125f, 0.7984375f, 0.636875f, 0.f, 0.555f, 0.635f, 0.2521875f, 0.f},  // OSC1_WIDTH
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.161f, 0.f},  // OSC1_SINUS
    {0.4946874f, 0.f, 0.f, 0.f, 0.f, 0.5465625f, 0.63825f, 0.2421875f, 0.282875f, 0.453125f, 0.3885f, 0.f},  // CUTOFF_HIGHT1
    {0.50125f, 0.f, 0.f, 0.59375f, 0.f, 0.f, 0.203125f, 0.90625f, 0.4475f, 0.859375f, 0.806125f, 0.f},  // RES_HIGHT1
    {0.739375f, 1.f, 0.3962499f, 0.660187f, 0.1435f, 0.7010626f, 0.853187f, 0.5409999f, 0.5288125f, 0.3844375f, 0.259375f, 1.f},  // CUTOFF_LOW1
    {0.3828125f, 0.f, 0.4143749f, 0.7578125f, 0.f, 0.f, 0.2421875f, 0.9071875f, 0.5071875f, 0.8636875f, 0.80425f, 0.f},  // RES_LOW1
    {1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f},  // LEVEL_VCF1
    {0.1796875f, 0.f, 0.2421875f, 0.f, 0.140625f, 0.2356875f, 0.133125f, 0.f, 0.2949375f, 0.1484375f, 0.3671875f, 0.f},  // INITIAL_BRILLANCE1
    {0.25f, 0.1796875f, 0.265625f, 0.14375f, 0.265f, 0.2971512f, 0.265f, 0.f, 0.289f, 0.07924999f, 0.250625f, 0.f},  // INITIAL_LEVEL1
    {0.f, 0.f, 0.3f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.1684375f, 0.5309375f, 0.4140625f, 0.f},  // AFTER_BRILLANCE1
    {0.09375f, 0.2659375f, 0.2525625f, 0.2635625f, 0.f, 0.f, 0.f, 0.f, 0.2578125f, 0.3359375f, 0.2159375f, 0.f},  // AFTER_LEVEL1
    {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6205f, 0.5f},  // LFO1_SPEED
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.4765625f, 0.f},  // LFO1_DEPTH_PWM
    {0.37725f, 0.f, 0.439375f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.7753125f, 0.f},  // ATTACK_TEMPS_VCF1
    {0.4871875f, 0.f, 0.3771875f, 0.f, 0.48f, 0.465f, 0.f, 0.f, 0.4184375f, 0.061875f, 0.776375f, 0.f},  // DECAY_TEMPS_VCF1
    {0.50375f, 0.f, 0.347f, 0.f, 0.375f, 0.035f, 0.f, 0.f, 0.375f, 0.296875f, 0.3984375f, 0.f},  // RELEASE_TEMPS_VCF1
    {0.875f, 0.f, 0.34375f, 0.f, 0.3396875f, 0.453125f, 0.f, 0.f, 0.43755f, 0.7265625f, 0.6875f, 0.f},  // INIT_LEVEL_VCF1
    {0.48875f, 0.f, 0.581875f, 0.f, 0.6f, 0.46925f, 0.f, 0.f, 0.560625f, 0.5364376f, 0.6326875f, 0.f},  // ATTACK_LEVEL_VCF1
    {0.4315625f, 0.69f, 0.2759375f, 0.6346875f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f},  // ATTACK_TEMPS_VCA1
    {0.7734375f, 0.f, 0.f, 1.f, 0.4765625f, 0.5359375f, 0.57f, 0.f, 0.5253125f, 0.14f, 0.14f, 0.f},  // DECAY_TEMPS_VCA1
    {0.5703125f, 1.f, 1.f, 0.8515625f, 0.2733125f, 0.0390625f, 0.0546875f, 1.f, 0.0703125f, 1.f, 1.f, 1.f},  // SUSTAIN_LEVEL_VCA1
    {0.1015325f, 0.4131255f, 0.3478125f, 0.265f, 0.37f, 0.09f, 0.15625f, 0.f, 0.175f, 0.f, 0.11f, 0.f},  // RELEASE_TEMPS_VCA1
    {1.f, 1.f, 1.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f},  // OSC1_SAW_TRI
    {0.f, 0.f, 0.f, 0.f, 1.f, 1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 0.f},  // OSC1_SQR
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f},  // OSC1_ON_SIN
    {1.f, 0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f, 0.f},  // ON_HIGHT1
};

// Line 2 (button row 1): 0 "String 2", 1 "String 4", 2 "Brass 2", 3 "Brass 3", 4 "Bass",
// 5 "Clavichord 2", 6 "Harpsichord 2", 7 "Organ 2", 8 "Guitar 2", 9 "Funky 2", 10 "Funky 4",
// then the init sound.
const float kLine2Sounds[kTemplateRows][kTemplateColumns] = {
    {0.f, 0.f, 0.f, 0.f, 0.609375f, 0.90825f, 0.715f, 0.f, 0.f, 0.55f, 0.555f, 0.f},  // OSC2_WIDTH
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.6628125f, 0.f},  // OSC2_SINUS
    {0.5865624f, 0.313125f, 0.f, 0.03906255f, 0.103562f, 0.3575625f, 0.7041875f, 0.f, 0.21875f, 0.405f, 0.365f, 0.f},  // CUTOFF_HIGHT2
    {0.673125f, 0.f, 0.f, 0.0625f, 0.5546875f, 0.1f, 0.f, 0.f, 0.4453125f, 0.478125f, 0.50125f, 0.f},  // RES_HIGHT2
    {0.9284375f, 0.6815625f, 0.6151249f, 0.3634375f, 0.371875f, 0.4274385f, 0.8735f, 0.5158125f, 0.3931875f, 0.6988126f, 0.559437f, 1.f},  // CUTOFF_LOW2
    {0.8984375f, 0.f, 0.3128124f, 0.48375f, 0.758125f, 0.147501f, 0.f, 1.f, 0.5234375f, 0.6265625f, 0.6496875f, 0.f},  // RES_LOW2
    {1.f, 1.f, 1.f, 1.f, 1.f, 0.6875f, 1.f, 1.f, 1.f, 1.f, 1.f, 1.f},  // LEVEL_VCF2
    {0.0234375f, 0.2371875f, 0.127625f, 0.f, 0.32925f, 0.28125f, 0.f, 0.f, 0.2815625f, 0.18f, 0.351875f, 0.f},  // INITIAL_BRILLANCE2
    {0.078125f, 0.078125f, 0.f, 0.1609375f, 0.1484375f, 0.289375f, 0.f, 0.f, 0.280625f, 0.f, 0.2015625f, 0.f},  // INITIAL_LEVEL2
    {0.f, 0.28125f, 0.305f, 0.3736875f, 0.f, 0.f, 0.f, 0.f, 0.351875f, 0.f, 0.3046875f, 0.f},  // AFTER_BRILLANCE2
    {0.27125f, 0.27125f, 0.283525f, 0.171875f, 0.f, 0.f, 0.f, 0.f, 0.3296875f, 0.256375f, 0.18125f, 0.f},  // AFTER_LEVEL2
    {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},  // LFO2_SPEED
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f},  // LFO2_DEPTH_PWM
    {0.f, 0.f, 0.5565625f, 0.3125f, 0.f, 0.f, 0.f, 0.0390625f, 0.f, 0.3153125f, 0.f, 0.f},  // ATTACK_TEMPS_VCF2
    {0.f, 0.28125f, 0.3771875f, 0.225f, 0.19475f, 0.31625f, 0.f, 0.1925f, 0.6641875f, 0.39125f, 0.4759375f, 0.f},  // DECAY_TEMPS_VCF2
    {0.035f, 0.3240625f, 0.3475f, 0.035f, 0.035f, 0.3475f, 0.f, 0.09375f, 0.375f, 0.f, 0.3203125f, 0.f},  // RELEASE_TEMPS_VCF2
    {0.f, 0.453125f, 0.40625f, 0.5234375f, 0.375f, 0.6875f, 0.f, 0.3359375f, 0.3671875f, 0.484375f, 0.7421875f, 0.f},  // INIT_LEVEL_VCF2
    {0.f, 0.48775f, 0.519375f, 0.8440625f, 0.61325f, 0.5531875f, 0.f, 0.3728125f, 0.62755f, 0.466875f, 0.593125f, 0.f},  // ATTACK_LEVEL_VCF2
    {0.08f, 0.33f, 0.3384375f, 0.3065625f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.1171875f, 0.f, 0.f},  // ATTACK_TEMPS_VCA2
    {0.f, 0.546875f, 0.f, 0.3046875f, 0.722625f, 0.325375f, 0.504375f, 0.38125f, 0.5725f, 0.26f, 0.4240625f, 0.f},  // DECAY_TEMPS_VCA2
    {1.f, 1.f, 1.f, 1.f, 0.f, 0.0234375f, 0.f, 0.3475f, 0.0409375f, 0.356875f, 0.794375f, 1.f},  // SUSTAIN_LEVEL_VCA2
    {0.205f, 0.3065625f, 0.34f, 0.09f, 0.f, 0.3321875f, 0.f, 0.f, 0.175f, 0.f, 0.f, 0.f},  // RELEASE_TEMPS_VCA2
    {1.f, 1.f, 1.f, 1.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, 1.f, 1.f},  // OSC2_SAW_TRI
    {0.f, 0.f, 0.f, 0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 0.f, 0.f, 0.f},  // OSC2_SQR
    {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f},  // OSC2_ON_SIN
    {1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 1.f, 1.f, 1.f, 0.f},  // ON_HIGHT2
};

}  // namespace

void writePatchDefaults(PatchBlock& block) {
    writeDefaultLine(block.lines[0]);
    writeDefaultLine(block.lines[1]);
    block.lines[1].sineLevel = 0.5f;
    block.lines[1].sawTriangle = 0.f;
    block.lines[1].square = 1.f;
    block.osc1Sync = 0.f;
    block.osc2Derive = 0.f;
    block.detune = 0.5f;
    block.mix = 0.5f;
    // Also the ten triples that no parameter addresses.
    for (ModulationRow& row : block.rows) {
        row.destination = kModulationNone;
        row.source = kModulationKeyTracking;
        row.amount = kModulationAmountCentre;
    }
}

void writeProgramDefaults(ProgramRecord& record) {
    for (PatchBlock& block : record.patches) writePatchDefaults(block);
    // Only the new name and its terminator: the bytes behind it stay.
    std::memcpy(record.programName, "defaut", 7);

    GlobalSlots& g = record.globals;
    for (int part = 0; part < kPartCount; part++) {
        g.partPatch[part] = (float)part;
        g.partZone[part] = 0.f;
        g.partPortamento[part] = 0.f;
        g.partRingMod[part] = 0.f;
        g.partEffects[part] = 0.f;
        g.partPan[part] = 0.5f;
        g.partVolume[part] = 0.5f;
        g.partDetune[part] = 0.5f;
        g.partTranspose[part] = 0.5f;
    }
    g.pitchBend = 0.5f;
    g.modulationWheel = 0.f;
    g.expressionPedal = 0.f;
    for (ZoneSlots& zone : g.zones) {
        zone.input = 0.5f;
        zone.lowKey = 24.f;
        zone.highKey = 108.f;
        zone.mode = 0.5f;
        zone.arpeggiator = 0.f;
    }
    g.vibratoRate = g.vibratoAmountVco = g.vibratoAmountVcf = g.vibratoAmountVca = g.vibratoWave = 0.5f;
    // Host globals 500-518, RING_ATTACK to DEPTH_CHORUS.
    float* const centred[] = {
        &g.ringAttack,     &g.ringDecay,      &g.ringDepth,      &g.ringSpeed,
        &g.ringModulation, &g.brilliance,     &g.resonance,      &g.touchInitial,
        &g.touchSpeed,     &g.touchAmountVco, &g.touchAmountVcf, &g.keyboardBrillianceLow,
        &g.keyboardBrillianceHigh, &g.keyboardLevelLow, &g.keyboardLevelHigh, &g.volume,
        &g.portamento,     &g.chorusSpeed,    &g.chorusDepth,
    };
    static_assert(sizeof(centred) / sizeof(centred[0]) == 19, "host globals 500-518");
    for (float* value : centred) *value = 0.5f;
    g.chorusOn = g.chorusType = 0.f;
    g.delaySpeed = g.delayDepth = 0.5f;
    g.delayDryWet = g.delaySync = 0.f;
    g.delayOn = 1.f;
    g.pedalSustainOn = g.pedalPortamentoOn = g.sustainTime = g.modulationToVibrato = 0.f;
    g.sustainMode = g.glissando = g.pedalExpression = g.pedalWha = 0.f;
    g.arpMode = g.arpSpeed = g.arpSync = g.arpHold = g.arpOctave = g.arpPlay = g.arpRepeat = 0.f;
    g.modulationPanelOpen = g.multiMode = 0.f;
    g.pitchBendCoarse = g.pitchBendActive = 1.f;
    for (float& unused : g.unused5124) unused = 0.f;
    // Bytes 5176-5187; the float at 5188 stays.
    g.unused5176[0] = g.unused5176[1] = g.unused5176[2] = 0.f;
    record.voicesPerPart = 0.f;
    record.ringModulatorOn = 0.f;
}

void writeVoiceTemplate(LineBlock& line, int lineNumber, int sound) {
    const int column = sound >= 0 && sound < kVoiceTemplateCount ? sound : kVoiceTemplateCount;
    const float(&sounds)[kTemplateRows][kTemplateColumns] = lineNumber == 0 ? kLine1Sounds : kLine2Sounds;
    for (int row = 0; row < kTemplateRows; row++) line.*kTemplateFields[row] = sounds[row][column];
    // The same for every sound; the range and the accord keep their values.
    line.noiseLevel = 0.f;
    line.vcaLevel = 1.f;
    line.lfoWave = 1.f;
    line.lfoTrigger = 0.f;
    line.lfoSync = 0.f;
    line.keyboard = 0.f;
    line.lowPassOn = 1.f;
    line.filterPoles = 0.f;
    line.unused88 = 0.f;
    line.unused120 = 0.f;
    line.unused124 = 1.f;
}
