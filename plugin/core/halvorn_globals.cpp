// The application of the global parameters: host globals 496-548 and internal globals
// 2000-2108. Most send one command built from the current values of every parameter it
// carries; four reorganise the instrument: the patch of each part, the single and multi
// modes, the modulation panel and the preset browser's position.
#include <cmath>

#include "core/application_locals.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/value_curves.h"

using namespace application;

namespace {

namespace globalIndex {
enum {
    kVibratoRate = 496,
    kVibratoAmountVco = 497,
    kVibratoAmountVca = 499,
    kRingAttack = 500,
    kRingModulation = 504,
    kBrilliance = 505,
    kResonance = 506,
    kTouchInitial = 507,
    kTouchSpeed = 508,
    kTouchAmountVco = 509,
    kTouchAmountVcf = 510,
    kKeyboardBrillianceLow = 511,
    kKeyboardLevelHigh = 514,
    kVolume = 515,
    kPortamento = 516,
    kChorusSpeed = 517,
    kChorusDepth = 518,
    kDelaySpeed = 519,
    kDelayDryWet = 521,
    kPartPan = 522,
    kPartVolume = 530,
    kPartDetune = 538,
    kPitchBend = 546,
    kModulationWheel = 547,
    kExpressionPedal = 548,

    kPartPatch = 2000,
    kPartZone = 2008,
    kPartPortamento = 2016,
    kPartRingMod = 2024,
    kPartEffects = 2032,
    kVibratoWave = 2040,
    kChorusOn = 2041,
    kChorusType = 2042,
    kDelayOn = 2043,
    kDelaySync = 2044,
    kPedalSustainOn = 2045,
    kSustainMode = 2048,
    kGlissando = 2049,
    kPedalExpression = 2050,
    kPedalWha = 2051,
    kPartTranspose = 2052,
    kFirstZone = 2061,
    kLastZone = 2080,
    kArpMode = 2081,
    kArpRepeat = 2087,
    kModulationPanel = 2088,
    kMultiMode = 2089,
    kPitchBendCoarse = 2090,
    kModulationToVibrato = 2092,
    kBrowserBank = 2093,
    kBrowserSubBank = 2094,
    kBrowserPreset = 2095,
    kVoicesPerPart = 2096,
    kPartTune = 2097,
    kGeneralTune = 2105,
    kRingModulatorOn = 2106,
};
}  // namespace globalIndex

const int kZoneSettings = 5;  // INPUT, INF, SUP, MODE, ARP of a zone

// Whether index lies in the family of eight that starts at first; the part in *part.
bool inFamily(int index, int first, int* part) {
    if (index < first || index >= first + kPartCount) return false;
    *part = index - first;
    return true;
}

// A browser position: the integer part of x n + 0.5, kept within 0 .. n - 1 (0 for an
// empty level). Worked in double so that no value overflows the conversion.
int browserIndex(float x, int count) {
    double index = std::trunc((double)stored(x) * (double)count + 0.5);
    if (index >= (double)count) index = (double)count - 1.0;
    if (index < 0.0) index = 0.0;
    return (int)index;
}

// The zone modes by the stored MODE value, compared exactly: 0 is random assignment, 1-5
// are themselves, anything else is unison on the last note.
int zoneMode(float value) {
    for (int mode = 1; mode <= 5; mode++)
        if (value == (float)mode) return mode;
    return value == 0.f ? 7 : 6;
}

}  // namespace

bool Halvorn::applyGlobalParameter(int index) {
    using namespace globalIndex;
    int part;
    if (inFamily(index, kPartPatch, &part)) {
        rebuildPartsOfPatch();
        return false;
    }
    if (index >= kBrowserBank && index <= kBrowserPreset) return moveBrowser(index);
    applyGlobalSetting(index);
    return false;
}

void Halvorn::applyGlobalSetting(int index) {
    using namespace globalIndex;
    const ProgramRecord& record = *currentRecord();
    const GlobalSlots& g = record.globals;
    int part;
    if (inFamily(index, kPartPan, &part)) {
        command.part = part;
        command.pan = stored(g.partPan[part]);
        sendCommand(kCmdPartPan);
    } else if (inFamily(index, kPartVolume, &part)) {
        command.part = part;
        command.level = partVolumeCurve(g.partVolume[part]);
        sendCommand(kCmdPartVolume);
    } else if (inFamily(index, kPartDetune, &part) || inFamily(index, kPartTranspose, &part)) {
        sendPartPitch(part);
    } else if (inFamily(index, kPartZone, &part)) {
        command.part = part;
        command.zone = wholeNumber(g.partZone[part]);
        sendCommand(kCmdPartZone);
    } else if (inFamily(index, kPartPortamento, &part)) {
        command.part = part;
        command.kind = isOn(g.partPortamento[part]) ? 1 : 0;
        sendCommand(kCmdPartPortamento);
    } else if (inFamily(index, kPartRingMod, &part)) {
        command.part = part;
        command.kind = isOn(g.partRingMod[part]) ? 1 : 0;
        sendCommand(kCmdPartRingMod);
    } else if (inFamily(index, kPartEffects, &part)) {
        command.part = part;
        command.kind = isOn(g.partEffects[part]) ? 1 : 0;
        sendCommand(kCmdPartEffects);
    } else if (inFamily(index, kPartTune, &part)) {
        command.part = part;
        command.amount = stored(record.partTune[part]);
        sendCommand(kCmdPartTune);
    } else if (index >= kFirstZone && index <= kLastZone) {
        sendZone((index - kFirstZone) / kZoneSettings);
    } else if (index >= kArpMode && index <= kArpRepeat) {
        sendArpeggiator();
    } else if ((index >= kVibratoAmountVco && index <= kVibratoAmountVca) || index == kTouchAmountVco ||
               index == kTouchAmountVcf) {
        sendVibratoDepths();
    } else if ((index >= kRingAttack && index <= kRingModulation) || index == kRingModulatorOn) {
        sendRingModulator();
    } else if (index >= kKeyboardBrillianceLow && index <= kKeyboardLevelHigh) {
        command.valueA = stored(g.keyboardBrillianceLow);
        command.valueB = stored(g.keyboardBrillianceHigh);
        command.valueC = stored(g.keyboardLevelLow);
        command.valueD = stored(g.keyboardLevelHigh);
        sendCommand(kCmdKeyScaling);
    } else if ((index >= kDelaySpeed && index <= kDelayDryWet) || index == kDelayOn || index == kDelaySync) {
        sendDelay();
    } else if ((index >= kPedalSustainOn && index <= kSustainMode) || index == kPedalExpression ||
               index == kPedalWha) {
        sendPedals();
    } else if (index >= kPitchBendCoarse && index <= kModulationToVibrato) {
        sendBendSetup();
    } else {
        switch (index) {
            case kVibratoRate:
            case kVibratoWave: sendVibratoLfo(); break;
            case kBrilliance:
            case kResonance:
                command.valueA = 0.5f * brillianceCurve(g.brilliance);
                command.valueB = brillianceCurve(g.resonance);
                sendCommand(kCmdBrilliance);
                break;
            // The knobs send the touch pitch with a factor 1.5, the glissando switch without.
            case kTouchInitial:
            case kPortamento: sendGlide(1.5f); break;
            case kGlissando: sendGlide(1.f); break;
            case kTouchSpeed:
                command.valueA = 1.f - stored(g.touchSpeed);
                sendCommand(kCmdVibratoTouch);
                break;
            case kVolume:
                command.level = masterVolumeCurve(g.volume);
                sendCommand(kCmdMasterVolume);
                break;
            case kChorusSpeed:
            case kChorusDepth:
            case kChorusOn:
            case kChorusType: sendChorus(); break;
            case kPitchBend:
                command.bend = 2.f * stored(g.pitchBend) - 1.f;
                sendCommand(kCmdPitchBend);
                break;
            case kModulationWheel:
                command.pedal = stored(g.modulationWheel);
                sendCommand(kCmdModWheel);
                break;
            case kExpressionPedal:
                command.pedal = stored(g.expressionPedal);
                sendCommand(kCmdExpression);
                break;
            case kModulationPanel: setModulationPanel(isOn(g.modulationPanelOpen)); break;
            case kMultiMode: applyMultiMode(); break;
            case kVoicesPerPart:
                command.count = wholeNumber(stored(record.voicesPerPart) + 1.f);
                sendCommand(kCmdVoicesPerPart);
                break;
            case kGeneralTune:
                command.amount = detuneCurve(record.generalTune);
                sendCommand(kCmdGlobalTune);
                break;
            default: break;  // PARAM_FREQ_ECOUT and the editor's pop-up switches
        }
    }
}

void Halvorn::sendVibratoLfo() {
    const GlobalSlots& g = currentRecord()->globals;
    command.lfoRate = vibratoRateCurve(1.f - stored(g.vibratoRate));
    command.lfoWave = lfoWaveLetter(g.vibratoWave);
    command.tempoSync = 0;
    command.tempo = 120.f;
    sendCommand(kCmdVibratoLfo);
}

// The oscillators, then the four filters, then the amplifiers of every part, so that the
// depth reaches every voice.
void Halvorn::sendVibratoDepths() {
    const GlobalSlots& g = currentRecord()->globals;
    command.valueA = vibratoDepthCurve(1.f - stored(g.vibratoAmountVco));
    command.valueB = vibratoDepthCurve(1.f - stored(g.touchAmountVco));
    sendCommand(kCmdOsc1Modulation);
    sendCommand(kCmdOsc2Modulation);
    command.valueA = 1.f - stored(g.vibratoAmountVcf);
    command.valueB = 1.f - stored(g.touchAmountVcf);
    sendCommand(kCmdLowPass1Modulation);
    sendCommand(kCmdLowPass2Modulation);
    sendCommand(kCmdHighPass1Modulation);
    sendCommand(kCmdHighPass2Modulation);
    command.valueA = 1.f - stored(g.vibratoAmountVca);
    for (int part = 0; part < kPartCount; part++) {
        command.part = part;
        sendCommand(kCmdVca1Modulation);
        sendCommand(kCmdVca2Modulation);
    }
}

void Halvorn::sendRingModulator() {
    const ProgramRecord& record = *currentRecord();
    const GlobalSlots& g = record.globals;
    command.lfoRate = ringSpeedCurve(1.f - stored(g.ringSpeed));
    command.envelope[0] = ringAttackCurve(1.f - stored(g.ringAttack));
    command.envelope[1] = ringDecayCurve(1.f - stored(g.ringDecay));
    command.envelope[4] = 1.f - stored(g.ringDepth);
    command.valueA = 1.f - stored(g.ringModulation);
    command.enabled = isOn(record.ringModulatorOn) ? 1 : 0;
    sendCommand(kCmdRingModulator);
}

void Halvorn::sendGlide(float touchFactor) {
    const GlobalSlots& g = currentRecord()->globals;
    command.enabled = isOn(g.glissando) ? 1 : 0;
    command.glideTime = portamentoTimeCurve(g.portamento);
    command.valueA = touchFactor * (1.f - stored(g.touchInitial));
    sendCommand(kCmdGlide);
}

void Halvorn::sendChorus() {
    const GlobalSlots& g = currentRecord()->globals;
    command.enabled = isOn(g.chorusOn) ? 1 : 0;
    // 1 for the chorus, 0 for the tremolo.
    command.lfoWave = isOn(g.chorusType) ? 0 : 1;
    command.lfoRate = chorusSpeedCurve(g.chorusSpeed);
    command.valueA = stored(g.chorusDepth);
    sendCommand(kCmdChorus);
}

void Halvorn::sendDelay() {
    const GlobalSlots& g = currentRecord()->globals;
    command.enabled = isOn(g.delayOn) ? 1 : 0;
    command.level = stored(g.delayDepth);
    command.valueA = stored(g.delayDryWet);
    command.timeMs = delayTimeCurve(g.delaySpeed);
    setTempoFields(isOn(g.delaySync), delayDivisionSteps(g.delaySpeed));
    sendCommand(kCmdDelay);
}

// Both lines of the part take its detune and its transposition.
void Halvorn::sendPartPitch(int part) {
    const GlobalSlots& g = currentRecord()->globals;
    command.part = part;
    command.amount = detuneCurve(g.partDetune[part]);
    command.tableIndex = transposeSteps(g.partTranspose[part]);
    sendCommand(kCmdLine1Pitch);
    sendCommand(kCmdLine2Pitch);
}

void Halvorn::sendZone(int zone) {
    const ZoneSlots& z = currentRecord()->globals.zones[zone];
    command.zone = zone;
    command.zoneChannel = wholeNumber(z.input);
    command.zoneLowKey = wholeNumber(z.lowKey);
    command.zoneHighKey = wholeNumber(z.highKey);
    command.zoneMode = zoneMode(stored(z.mode));
    command.kind = isOn(z.arpeggiator) ? 1 : 0;
    sendCommand(kCmdZone);
}

void Halvorn::sendArpeggiator() {
    const GlobalSlots& g = currentRecord()->globals;
    command.arpRun = isOn(g.arpPlay) ? 1 : 0;
    command.arpHold = isOn(g.arpHold) ? 2 : 0;
    // Patterns from the top: key match, random, backward-forward, decreasing, increasing.
    command.option = 4 - stepOf(kFifths, g.arpMode);
    command.arpOctaves = stepOf(kQuarters, g.arpOctave) + 1;
    command.arpRepeats = stepOf(kQuarters, g.arpRepeat) + 1;
    const float speed = 1.f - stored(g.arpSpeed);
    command.timeMs = delayTimeCurve(speed);
    setTempoFields(isOn(g.arpSync), delayDivisionSteps(speed));
    sendCommand(kCmdArpeggiator);
}

void Halvorn::sendPedals() {
    const GlobalSlots& g = currentRecord()->globals;
    command.kind = isOn(g.pedalPortamentoOn) ? 1 : 0;
    command.enabled = isOn(g.pedalSustainOn) ? 1 : 0;
    command.option = isOn(g.sustainMode) ? 1 : 0;
    command.envelope[2] = sustainTimeCurve(g.sustainTime);
    sendCommand(kCmdSustainSetup);
    command.kind = isOn(g.pedalExpression) ? 1 : 0;
    command.option = isOn(g.pedalWha) ? 1 : 0;
    sendCommand(kCmdPedalSetup);
}

void Halvorn::sendBendSetup() {
    const GlobalSlots& g = currentRecord()->globals;
    command.kind = isOn(g.pitchBendActive) ? 1 : 0;
    command.enabled = isOn(g.modulationToVibrato) ? 1 : 0;
    command.bend = stored(g.pitchBendCoarse);
    sendCommand(kCmdBendSetup);
}

// TRAPPE_MULTI: 0 is the multi mode, where every part plays its own patch with its own
// settings; 1-8 the single mode, where all eight parts play that patch - 1 as one voice
// each, centred, at full part volume, in one zone over the whole keyboard. The stored part
// settings stay in the record for the multi mode to send again.
void Halvorn::applyMultiMode() {
    const ProgramRecord& record = *currentRecord();
    const float mode = stored(record.globals.multiMode);
    if (mode == 0.f) {
        command.count = wholeNumber(stored(record.voicesPerPart) + 1.f);
        sendCommand(kCmdVoicesPerPart);
        // Patches, pans, volumes, detunes, transpositions, zones of the parts, zone 1,
        // portamento, effects and ring-modulator switches, in this order.
        static const int kGroups[][2] = {{2000, 2007}, {522, 529},   {530, 537},   {538, 545},   {2052, 2059},
                                         {2008, 2015}, {2061, 2065}, {2016, 2023}, {2032, 2039}, {2024, 2031}};
        for (const auto& group : kGroups)
            for (int index = group[0]; index <= group[1]; index++) resendParameter(index);
        patchSendsDeferred = false;
        reapplyParameters();
        return;
    }

    // Values that name no patch (from a file or a chunk) are kept to patches 1-8.
    const int patch = clampPatchNumber(wholeNumber(mode) - 1);
    command.count = 1;
    sendCommand(kCmdVoicesPerPart);
    for (int p = 0; p < kPatchCount; p++) {
        partsOfPatchCount[p] = 0;
        for (int n = 0; n < kPartCount; n++) partsOfPatch[p][n] = -1;
    }
    for (int part = 0; part < kPartCount; part++) partsOfPatch[patch][part] = part;
    partsOfPatchCount[patch] = kPartCount;
    reapplyParameters();

    command.pan = 0.5f;
    sendToEveryPart(kCmdPartPan);
    command.level = partVolumeCurve(1.f);
    sendToEveryPart(kCmdPartVolume);
    for (int part = 0; part < kPartCount; part++) {
        command.part = part;
        command.amount = detuneCurve(0.5f);
        command.tableIndex = transposeSteps(0.5f);
        sendCommand(kCmdLine1Pitch);
        sendCommand(kCmdLine2Pitch);
    }
    command.zone = 0;
    sendToEveryPart(kCmdPartZone);
    command.zoneChannel = 16;
    command.zoneLowKey = 0;
    command.zoneHighKey = 127;
    command.zoneMode = 0;
    command.kind = 1;  // zone 0's arpeggiator switch, then every part's three switches on
    sendCommand(kCmdZone);
    for (int code : {kCmdPartPortamento, kCmdPartEffects, kCmdPartRingMod}) sendToEveryPart(code);
    reapplyParameters();
}

void Halvorn::sendToEveryPart(int code) {
    for (int part = 0; part < kPartCount; part++) {
        command.part = part;
        sendCommand(code);
    }
}

// The preset browser's position, each level stored as index / count: the bank resolves the
// sub-bank and the preset within it, the sub-bank the preset. Only a MIDI program change
// (which raises programChangePending first) loads the preset; answers whether it is due.
bool Halvorn::moveBrowser(int index) {
    const GlobalSlots& g = currentRecord()->globals;
    // The browser state belongs to the tree's lock, taken after the instance lock.
    std::unique_lock<std::recursive_mutex> tree;
    if (gPresetTree) tree = gPresetTree->hold();
    if (index == globalIndex::kBrowserBank) {
        bankIndex = browserIndex(g.browserBank, bankCount);
        subBankCount = gPresetTree ? gPresetTree->getNbSubBanks(bankIndex) : 0;
    }
    if (index <= globalIndex::kBrowserSubBank) {
        subBankIndex = browserIndex(g.browserSubBank, subBankCount);
        presetCount = gPresetTree ? gPresetTree->getNbPresets(bankIndex, subBankIndex) : 0;
    }
    presetIndex = browserIndex(g.browserPreset, presetCount);
    if (!programChangePending) return false;
    programChangePending = 0;
    return true;
}
