// The parameter application: the one path by which a value reaches the sound. Every
// change is stored in the program record, shown to the editor, converted by its curve and
// sent to the engine once for every part that plays the patch.
//
// Runs on both the user-interface and the audio thread (MIDI controllers per sub-block):
// nothing here allocates, and only a preset load that a MIDI program change asked for
// touches a file (outside the instance lock where the caller does not hold it).
#include <cstring>

#include "core/application_locals.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "core/value_curves.h"
#include "editor/halvorn_edit.h"

using namespace application;

namespace {

// Oscillator ranges by sixths, in semitones: "+ 2 octaves" down to "- 1 octave".
const int32_t kRangeSemitones[6] = {24, 19, 12, 7, 0, -12};

}  // namespace

void Halvorn::sendCommand(int code) {
    if (commandObserver) commandObserver->commandSent(command, code);
    engine.command(&command, code);
}

// Every note ends, then the engine drops its voices.
void Halvorn::silenceEngine() {
    command.kind = kNoteOffEvent;
    command.note = -1;
    command.velocity = 0;
    command.channel = 0;
    sendCommand(kCmdNoteEvent);
    if (commandObserver) commandObserver->engineReset();
    engine.reset();
}

// At engine start: no part has a patch, and the engine's chains are its initial ones.
void Halvorn::resetParameterApplication() {
    for (int part = 0; part < kPartCount; part++) partPatch[part] = -1;
    for (int patch = 0; patch < kPatchCount; patch++) {
        partsOfPatchCount[patch] = 0;
        for (int n = 0; n < kPartCount; n++) partsOfPatch[patch][n] = -1;
    }
    std::memset(signalPath, 0, sizeof(signalPath));
    for (PartSignalPath& path : signalPath)
        for (int row = 0; row < kStoredModulationRows; row++) {
            path.modRowSource[row] = -1;
            path.modRowDestination[row] = -1;
        }
}

void Halvorn::setParameter(VstInt32 index, float value) {
    bool presetDue = false;
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        presetDue = storeAndApply(index, value);
    }
    // A browser move that honours a MIDI program change loads the preset's files; they are
    // opened here, after this call's hold on the instance lock has ended.
    if (presetDue) loadCurrentPreset();
}

bool Halvorn::storeAndApply(int index, float value) {
    // NaN is the lowest value; no value beyond the curves' range is stored or sent.
    value = saneParameterValue(value);
    ProgramRecord* record = currentRecord();
    const float previous = record ? readParameter(*record, index) : 0.f;
    // Indices without a slot (2060, and any outside the four ranges) store nothing.
    if (record) writeParameter(*record, index, value);
    // The editor is told of every index, with or without a slot; it is always ours.
    if (editor) static_cast<HalvornEdit*>(editor)->setParameter(index, value);
    int patch = -1;
    const ParameterDescriptor* descriptor = record ? findParameter(index, &patch) : nullptr;
    if (!descriptor) return false;
    // The tuning values live on in the MIDI control file, rewritten when they changed.
    if (descriptor->keyUse == KeyUse::tuning && !(previous == value)) midiMapModified = 1;

    int local, kind;
    decodeParameterIndex(index, &local, nullptr, &kind, nullptr);
    switch (kind) {
        case kPatchParameter:
        case kPatchInternalParameter: {
            if (patchSendsDeferred) break;
            if (kind == kPatchInternalParameter && isSignalPathParameter(local)) {
                applySignalPathParameter(patch, local);
                break;
            }
            // A patch that no part plays is only stored; it is sent when a part takes it.
            const int count = partsOfPatchCount[patch];
            for (int n = 0; n < count; n++) {
                const int part = partsOfPatch[patch][n];
                if (kind == kPatchParameter)
                    applyPatchParameter(patch, local, part);
                else
                    applyPatchInternalParameter(patch, local, part);
            }
            break;
        }
        default: return applyGlobalParameter(index);
    }
    return false;
}

// Patch host parameters, for one part of the patch.
void Halvorn::applyPatchParameter(int patch, int local, int part) {
    const PatchBlock& block = currentRecord()->patches[patch];
    command.part = part;
    if (local >= 2 * hostLocal::kLineLocals) {
        switch (local) {
            case hostLocal::kDetune:
                command.amount = detuneCurve(1.f - stored(block.detune));
                sendCommand(kCmdOsc2Detune);
                break;
            case hostLocal::kMix:
                if (isOn(block.osc2Derive)) {
                    // Oscillator 2 merged into line 1: the two mixer channels of the merge.
                    command.subIndex = 4;
                    command.level = stored(block.mix);
                    sendCommand(kCmdMixerLevel);
                    command.subIndex = 5;
                    command.level = 1.f - stored(block.mix);
                    sendCommand(kCmdMixerLevel);
                } else {
                    command.level = stored(block.mix);
                    sendCommand(kCmdLineMix);
                }
                break;
            case hostLocal::kOsc1Accord:
            case hostLocal::kOsc2Accord: sendOscillatorShape(block, local - hostLocal::kOsc1Accord); break;
            default:
                command.subIndex = local - hostLocal::kFirstModAmount;
                command.level = modAmountCurve(block.rows[local - hostLocal::kFirstModAmount].amount);
                sendCommand(kCmdModAmount);
                break;
        }
        return;
    }

    const int line = local / hostLocal::kLineLocals;
    const int lineLocal = local % hostLocal::kLineLocals;
    const LineBlock& values = block.lines[line];
    switch (lineLocal) {
        case hostLocal::kLfoSpeed: sendPartLfo(values, line); break;
        case hostLocal::kLfoPwmDepth:
            command.subIndex = line;
            command.valueA = pwmDepthCurve(values.lfoPwmDepth);
            sendCommand(line == 0 ? kCmdOsc1Pwm : kCmdOsc2Pwm);
            linkPulseWidth(part, line, stored(values.lfoPwmDepth));
            break;
        case hostLocal::kOscWidth:
        case hostLocal::kOscNoise: sendOscillatorShape(block, line); break;
        case hostLocal::kOscSine:
            command.subIndex = 2 * line + 1;
            command.level = sineLevelCurve(values.sineLevel);
            sendCommand(kCmdMixerLevel);
            break;
        case hostLocal::kVcfLevel:
        case hostLocal::kVcaLevel: sendLineLevel(values, line, part); break;
        case hostLocal::kInitialBrilliance:
        case hostLocal::kAfterBrilliance:
            // Both filters of both lines, line 1 first.
            for (int n = 0; n < 2; n++) {
                command.valueA = stored(block.lines[n].initialBrilliance);
                command.valueB = stored(block.lines[n].afterBrilliance);
                sendCommand(n == 0 ? kCmdHighPass1Brilliance : kCmdHighPass2Brilliance);
                sendCommand(n == 0 ? kCmdLowPass1Brilliance : kCmdLowPass2Brilliance);
            }
            break;
        case hostLocal::kInitialLevel:
        case hostLocal::kAfterLevel:
            for (int n = 0; n < 2; n++) {
                command.valueA = stored(block.lines[n].initialLevel);
                command.valueB = stored(block.lines[n].afterLevel);
                sendCommand(n == 0 ? kCmdVca1Touch : kCmdVca2Touch);
            }
            break;
        default:
            if (lineLocal >= hostLocal::kHighPassCutoff && lineLocal <= hostLocal::kLowPassResonance)
                sendFilters(values, line);
            else if (lineLocal >= hostLocal::kVcfInitialLevel && lineLocal <= hostLocal::kVcaReleaseTime)
                sendEnvelope(values, line, lineLocal >= hostLocal::kVcaAttackTime);
            break;
    }
}

// Patch internal parameters other than the signal-path switches, for one part of the patch.
void Halvorn::applyPatchInternalParameter(int patch, int local, int part) {
    const PatchBlock& block = currentRecord()->patches[patch];
    command.part = part;
    switch (local) {
        case internalLocal::kRange1:
        case internalLocal::kOsc1Sync: sendOscillatorSwitches(block, 0); return;
        case internalLocal::kRange2: sendOscillatorSwitches(block, 1); return;
        default: break;
    }
    if (local >= 2 * internalLocal::kInternalLineLocals) return;
    const int line = local / internalLocal::kInternalLineLocals;
    const LineBlock& values = block.lines[line];
    switch (local % internalLocal::kInternalLineLocals) {
        case internalLocal::kSawTriangle:
        case internalLocal::kSquare:
        case internalLocal::kKeyboard: sendOscillatorSwitches(block, line); break;
        case internalLocal::kFilterPoles:
            command.enabled = isOn(values.filterPoles) ? 1 : 0;
            sendCommand(line == 0 ? kCmdLine1Poles : kCmdLine2Poles);
            break;
        case internalLocal::kLfoWave:
        case internalLocal::kLfoTrigger:
        case internalLocal::kLfoSync:
            sendPartLfo(values, line);
            sendLfoMode(values, patch, line, part);
            break;
        default: break;
    }
}

// Width, noise level and accord of one oscillator.
void Halvorn::sendOscillatorShape(const PatchBlock& block, int line) {
    const LineBlock& values = block.lines[line];
    command.width = 1.f - widthCurve(values.width);
    command.level = noiseLevelCurve(values.noiseLevel);
    // -12 to 12 semitones; a foreign chunk's value must not index past the engine's ratios.
    int semitones = wholeNumber(stored(values.accord) * 24.f - 12.f);
    command.tableIndex = semitones < -12 ? -12 : semitones > 12 ? 12 : semitones;
    sendCommand(line == 0 ? kCmdOsc1Shape : kCmdOsc2Shape);
}

void Halvorn::sendOscillatorSwitches(const PatchBlock& block, int line) {
    const LineBlock& values = block.lines[line];
    const int sawTriangle = stepOf(kThirds, values.sawTriangle);
    command.waveSaw = sawTriangle == 2 ? 1 : 0;
    command.waveExtra = sawTriangle == 1 ? 1 : 0;
    command.waveSquare = isOn(values.square) ? 1 : 0;
    command.fixedPitch = isOn(values.keyboard) ? 1 : 0;
    command.tableIndex = kRangeSemitones[stepOf(kSixths, values.range)];
    if (line == 0) {
        command.sync = isOn(block.osc1Sync) ? 1 : 0;
        sendCommand(kCmdOsc1Switches);
    } else {
        // The engine reads a level with these switches: oscillator 2's noise level, as its
        // shape command sends it, rather than whatever an earlier command left.
        command.level = noiseLevelCurve(values.noiseLevel);
        sendCommand(kCmdOsc2Switches);
    }
}

// Both filters of a line: high-pass, then low-pass.
void Halvorn::sendFilters(const LineBlock& values, int line) {
    command.cutoff = cutoffCurve(values.highPassCutoff);
    command.resonance = resonanceCurve(values.highPassResonance);
    sendCommand(line == 0 ? kCmdHighPass1 : kCmdHighPass2);
    command.cutoff = cutoffCurve(values.lowPassCutoff);
    command.resonance = resonanceCurve(values.lowPassResonance);
    sendCommand(line == 0 ? kCmdLowPass1 : kCmdLowPass2);
}

// With the line's sine mixed in, the filter level goes to the sine mixer's channel and the
// amplifier takes its own level; without, the amplifier takes the product.
void Halvorn::sendLineLevel(const LineBlock& values, int line, int part) {
    const bool sineOn = (line == 0 ? signalPath[part].osc1SineOn : signalPath[part].osc2SineOn) != 0;
    if (sineOn) {
        command.subIndex = 2 * line;
        command.level = vcfLevelCurve(values.vcfLevel);
        sendCommand(kCmdMixerLevel);
        command.level = vcaLevelCurve(values.vcaLevel);
    } else {
        command.level = vcfLevelCurve(values.vcfLevel) * vcaLevelCurve(values.vcaLevel);
    }
    sendCommand(line == 0 ? kCmdVca1Level : kCmdVca2Level);
}

// Envelopes 0-3: line-1 filter, line-1 amplifier, line-2 filter, line-2 amplifier. Times in ms.
void Halvorn::sendEnvelope(const LineBlock& values, int line, bool amplifier) {
    command.subIndex = 2 * line + (amplifier ? 1 : 0);
    if (amplifier) {
        command.envelope[0] = attackTimeCurve(values.vcaAttackTime);
        command.envelope[1] = decayTimeCurve(values.vcaDecayTime);
        command.envelope[2] = releaseTimeCurve(values.vcaReleaseTime);
        command.envelope[3] = 0.f;
        command.envelope[4] = 1.f;
        command.envelope[5] = stored(values.vcaSustainLevel);
    } else {
        command.envelope[0] = attackTimeCurve(values.vcfAttackTime);
        command.envelope[1] = decayTimeCurve(values.vcfDecayTime);
        command.envelope[2] = releaseTimeCurve(values.vcfReleaseTime);
        // The filter envelope starts below its rest: the initial level is sent negated.
        command.envelope[3] = -initialLevelCurve(values.vcfInitialLevel);
        command.envelope[4] = attackLevelCurve(values.vcfAttackLevel);
        command.envelope[5] = 0.f;
    }
    sendCommand(kCmdEnvelope);
}

// The per-voice LFO of a line: rate in Hz, and with its sync on a division of the host tempo.
void Halvorn::sendPartLfo(const LineBlock& values, int line) {
    command.subIndex = line;
    command.lfoWave = lfoWaveLetter(values.lfoWave);
    command.lfoRate = lfoRateCurve(values.lfoSpeed);
    setTempoFields(isOn(values.lfoSync), lfoDivisionSteps(values.lfoSpeed));
    sendCommand(kCmdPartLfo);
}

// A synchronised setting follows a division of the host tempo (narrowed to single
// precision); otherwise it runs on its own time, given as one beat at 120 per minute.
void Halvorn::setTempoFields(bool synchronised, float division) {
    command.tempoSync = synchronised ? 1 : 0;
    command.tempo = synchronised ? (float)tempo : 120.f;
    command.tempoDivision = synchronised ? (int)division : 1;
}

// The LFO's trigger mode: "mono" makes every part's LFO follow the one of the patch's first
// part; "trigg" restarts it with each note through the gate link; "free" runs on its own.
void Halvorn::sendLfoMode(const LineBlock& values, int patch, int line, int part) {
    const int mode = stepOf(kThirds, values.lfoTrigger);
    linkLfoTrigger(part, line, mode == 1);
    command.kind = mode == 0 ? partsOfPatch[patch][0] : -1;
    sendCommand(kCmdPartLfoMode);
}

// Through the virtual operations, as a host or the editor would set it.
void Halvorn::resendParameter(int index) { setParameter(index, getParameter(index)); }

void Halvorn::reapplyParameters() {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    const int ranges[2][2] = {{0, 495}, {1000, 1351}};
    for (const auto& range : ranges)
        for (int index = range[0]; index <= range[1]; index++) resendParameter(index);
}

// The patch-to-parts lists from NUM_PATCH_VOIE1-8, then every patch parameter again so that
// each reaches its new parts.
void Halvorn::rebuildPartsOfPatch() {
    const ProgramRecord* record = currentRecord();
    if (!record) return;
    int lists[kPatchCount][kPartCount];
    int counts[kPatchCount];
    for (int patch = 0; patch < kPatchCount; patch++) {
        counts[patch] = 0;
        for (int n = 0; n < kPartCount; n++) lists[patch][n] = -1;
    }
    for (int part = 0; part < kPartCount; part++) {
        // 8 or more counts as 7; a negative number from a file or chunk as 0.
        const int patch = clampPatchNumber(wholeNumber(record->globals.partPatch[part]));
        lists[patch][counts[patch]++] = part;
    }
    const bool unchanged = std::memcmp(lists, partsOfPatch, sizeof(lists)) == 0 &&
                           std::memcmp(counts, partsOfPatchCount, sizeof(counts)) == 0;
    std::memcpy(partsOfPatch, lists, sizeof(lists));
    std::memcpy(partsOfPatchCount, counts, sizeof(counts));
    // While a whole program is sent, every patch parameter has already gone to the parts of
    // the lists as they stand (or waits for the multi mode's setting), and each of the eight
    // part patches (sent again by that setting) rebuilds the same lists: sent again, the
    // parameters would only repeat what the engine holds.
    if (applyingProgram && (unchanged || patchSendsDeferred)) return;
    reapplyParameters();
}
