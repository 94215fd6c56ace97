// The signal-path switches and the modulation matrix: patch parameters that change which
// module feeds which rather than a value. Each part keeps what the engine has connected for
// it (PartSignalPath), so a switch rebuilds the chain from the state it knows; the state
// belongs to the part, not to the patch, and follows a new patch when that patch's
// parameters are applied to it.
//
// A chain of a line, in signal order: its input (line 1: oscillator 1's mix, or the merged
// oscillators while oscillator 2 is derived; line 2: oscillator 2's mix), the high-pass
// filter while it is in, the low-pass filter while it is in, and its end: the sine mixer's
// channel while the sine is mixed in (the mixer's output then feeds the amplifier), else
// the amplifier's audio input.
#include "core/application_locals.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "editor/halvorn_edit.h"

using namespace application;

namespace {

// Where a line's stages sit in the patch routing.
struct LineRoute {
    int input;  // the oscillator's mix
    int highPassInput, highPassOutput;
    int lowPassInput, lowPassOutput;
    int mixerInput;  // the sine mixer's channel that takes the chain
    int sine, sineInput;
    int mixerOutput;
    int amplifierInput;
};

const LineRoute kLines[2] = {
    {kSrcOsc1Mix, kDstFilterAudio, kSrcFilter0, kDstFilterAudio + 16, kSrcFilter0 + 2, kDstMixerInput0,
     kSrcOsc1Sine, kDstMixerInput0 + 1, kSrcMixer0, kDstVca1Audio},
    {kSrcOsc2Mix, kDstFilterAudio + 8, kSrcFilter0 + 1, kDstFilterAudio + 24, kSrcFilter0 + 3,
     kDstMixerInput0 + 2, kSrcOsc2Sine, kDstMixerInput0 + 3, kSrcMixer0 + 1, kDstVca2Audio},
};

// Oscillator 2 merged into line 1: both mixes into mixer channels 4 and 5, whose output
// stands in for oscillator 1's mix at the head of line 1.
const int kMergedOscillators = kSrcMixer0 + 2;
const int kMergeInput1 = kDstMixerInput0 + 4;
const int kMergeInput2 = kDstMixerInput0 + 5;

// The pulse-width LFO inputs of oscillators 1 and 2, and the LFOs' trigger inputs.
const int kPwmLfoInput[2] = {4, 12};
const int kLfoSource[2] = {kSrcVoiceLfo1, kSrcVoiceLfo2};

// Modulation row n: its source feeds the amount channel's input, whose output drives the
// destination.
const int kRowSources[13] = {29, 30, 31, 12, 13, 14, 15, 24, 25, 26, 23, 27, 19};
const int kSourceNone = 13;  // what a source choice beyond the list is corrected to
const int kRowDestinations[38] = {
    2,  5,  6,  14, 10, 13, 17, 18,          // oscillators: pitch, width, noise; filter 0
    33, 34, 25, 26, 41, 42, 63, 70,          // filters 2, 1, 3; the VCAs' level
    54, 56, 72, 74, 73, 75,                  // mixer sums 1 and 3; LFO rates and amplitudes
    82, 86, 90, 94, 98, 84, 88, 92, 96, 100,  // envelopes 0 and 2
    91, 95, 99, 93, 97, 101,                 // envelopes 1 and 3: times
};
const int kDestinationNone = 38;

int32_t& highPassWord(PartSignalPath& path, int line) { return line == 0 ? path.highPass1On : path.highPass2On; }
int32_t& lowPassWord(PartSignalPath& path, int line) { return line == 0 ? path.lowPass1On : path.lowPass2On; }
int32_t& sineWord(PartSignalPath& path, int line) { return line == 0 ? path.osc1SineOn : path.osc2SineOn; }
int32_t sineWord(const PartSignalPath& path, int line) { return line == 0 ? path.osc1SineOn : path.osc2SineOn; }

}  // namespace

bool Halvorn::isSignalPathParameter(int local) const {
    if (local >= internalLocal::kFirstModulationChoice || local == internalLocal::kOsc2Derive) return true;
    if (local < 0 || local >= 2 * internalLocal::kInternalLineLocals) return false;
    const int lineLocal = local % internalLocal::kInternalLineLocals;
    return lineLocal == internalLocal::kSineOn || lineLocal == internalLocal::kHighPassOn ||
           lineLocal == internalLocal::kLowPassOn;
}

int Halvorn::chainInput(int part, int line) const {
    return line == 0 && signalPath[part].osc2Derived ? kMergedOscillators : kLines[line].input;
}

int Halvorn::chainEnd(int part, int line) const {
    return sineWord(signalPath[part], line) ? kLines[line].mixerInput : kLines[line].amplifierInput;
}

// Where line 1's input goes: its first stage that is in.
int Halvorn::lineOneFirstStage(int part) const {
    const PartSignalPath& path = signalPath[part];
    if (path.highPass1On) return kLines[0].highPassInput;
    if (path.lowPass1On) return kLines[0].lowPassInput;
    return chainEnd(part, 0);
}

void Halvorn::switchHighPass(int line, bool on, int part) {
    PartSignalPath& path = signalPath[part];
    int32_t& word = highPassWord(path, line);
    if ((word != 0) == on) return;
    const LineRoute& r = kLines[line];
    const int input = chainInput(part, line);
    const bool lowPassIn = lowPassWord(path, line) != 0;
    const int end = chainEnd(part, line);
    if (on) {
        word = 1;
        if (lowPassIn) {
            engine.disconnect(r.lowPassInput, input, part);
            engine.connect(input, r.highPassInput, part);
            engine.connect(r.highPassOutput, r.lowPassInput, part);
        } else {
            engine.disconnect(end, input, part);
            engine.connect(r.highPassOutput, end, part);
            engine.connect(input, r.highPassInput, part);
        }
    } else {
        word = 0;
        engine.disconnect(r.highPassInput, input, part);
        if (lowPassIn) {
            engine.disconnect(r.lowPassInput, r.highPassOutput, part);
            engine.connect(input, r.lowPassInput, part);
        } else {
            // The chain's end, also for line 2 with its sine mixed in.
            engine.disconnect(end, r.highPassOutput, part);
            engine.connect(input, end, part);
        }
    }
}

void Halvorn::switchLowPass(int line, bool on, int part) {
    PartSignalPath& path = signalPath[part];
    int32_t& word = lowPassWord(path, line);
    if ((word != 0) == on) return;
    const LineRoute& r = kLines[line];
    const int previous = highPassWord(path, line) ? r.highPassOutput : chainInput(part, line);
    const int end = chainEnd(part, line);
    if (on) {
        word = 1;
        engine.disconnect(end, previous, part);
        engine.connect(r.lowPassOutput, end, part);
        engine.connect(previous, r.lowPassInput, part);
    } else {
        word = 0;
        engine.disconnect(r.lowPassInput, previous, part);
        engine.disconnect(end, r.lowPassOutput, part);
        engine.connect(previous, end, part);
    }
}

void Halvorn::switchSine(int line, bool on, int part) {
    PartSignalPath& path = signalPath[part];
    int32_t& word = sineWord(path, line);
    if ((word != 0) == on) return;
    const LineRoute& r = kLines[line];
    const int last = lowPassWord(path, line)    ? r.lowPassOutput
                     : highPassWord(path, line) ? r.highPassOutput
                                                : chainInput(part, line);
    if (on) {
        word = 1;
        engine.disconnect(r.amplifierInput, last, part);
        engine.connect(last, r.mixerInput, part);
        engine.connect(r.mixerOutput, r.amplifierInput, part);
        engine.connect(r.sine, r.sineInput, part);
    } else {
        word = 0;
        engine.disconnect(r.mixerInput, last, part);
        engine.disconnect(r.amplifierInput, r.mixerOutput, part);
        engine.connect(last, r.amplifierInput, part);
        engine.disconnect(r.sineInput, r.sine, part);
    }
}

void Halvorn::applySignalPathParameter(int patch, int local) {
    const PatchBlock& block = currentRecord()->patches[patch];
    const int count = partsOfPatchCount[patch];
    if (local == internalLocal::kOsc2Derive) {
        for (int n = 0; n < count; n++) applyDerive(patch, partsOfPatch[patch][n]);
        return;
    }
    if (local >= internalLocal::kFirstModulationChoice) {
        // With the modulation panel closed the choices are only stored.
        if (!isOn(currentRecord()->globals.modulationPanelOpen)) return;
        const int row = (local - internalLocal::kFirstModulationChoice) / 2;
        const bool source = (local - internalLocal::kFirstModulationChoice) % 2 == 1;
        for (int n = 0; n < count; n++) {
            if (source)
                applyModulationSource(patch, row, partsOfPatch[patch][n]);
            else
                applyModulationDestination(patch, row, partsOfPatch[patch][n]);
        }
        return;
    }

    const int line = local / internalLocal::kInternalLineLocals;
    const int lineLocal = local % internalLocal::kInternalLineLocals;
    const LineBlock& values = block.lines[line];
    for (int n = 0; n < count; n++) {
        const int part = partsOfPatch[patch][n];
        // A derived part's line 2 stays out of the chain.
        if (line == 1 && signalPath[part].osc2Derived) continue;
        switch (lineLocal) {
            case internalLocal::kHighPassOn: switchHighPass(line, isOn(values.highPassOn), part); break;
            case internalLocal::kLowPassOn: switchLowPass(line, isOn(values.lowPassOn), part); break;
            default: switchSine(line, isOn(values.sineOn), part); break;
        }
    }
    // The line's levels split between the sine mixer and the amplifier, or not.
    if (lineLocal == internalLocal::kSineOn)
        resendParameter(kPatchParameterCount * patch + hostLocal::kVcfLevel + line * hostLocal::kLineLocals);
}

void Halvorn::applyDerive(int patch, int part) {
    const PatchBlock& block = currentRecord()->patches[patch];
    PartSignalPath& path = signalPath[part];
    const float mix = stored(block.mix);
    command.part = part;
    if (isOn(block.osc2Derive)) {
        command.level = 1.f;
        sendCommand(kCmdLineMix);
        command.subIndex = 4;
        command.level = mix;
        sendCommand(kCmdMixerLevel);
        command.subIndex = 5;
        command.level = 1.f - mix;
        sendCommand(kCmdMixerLevel);
        if (path.osc2Derived) return;
        path.osc2Derived = 1;
        switchHighPass2(false, part);
        switchLowPass2(false, part);
        switchOsc2Sine(false, part);
        engine.disconnect(kLines[1].amplifierInput, kLines[1].input, part);
        const int first = lineOneFirstStage(part);
        engine.disconnect(first, kLines[0].input, part);
        engine.connect(kLines[0].input, kMergeInput1, part);
        engine.connect(kLines[1].input, kMergeInput2, part);
        engine.connect(kMergedOscillators, first, part);
    } else {
        command.level = mix;
        sendCommand(kCmdLineMix);
        if (!path.osc2Derived) return;
        path.osc2Derived = 0;
        const int first = lineOneFirstStage(part);
        engine.disconnect(kMergeInput1, kLines[0].input, part);
        engine.disconnect(kMergeInput2, kLines[1].input, part);
        engine.disconnect(first, kMergedOscillators, part);
        engine.connect(kLines[0].input, first, part);
        engine.connect(kLines[1].input, kLines[1].amplifierInput, part);
        // Line 2 as its switches say, for every part of the patch that is not derived.
        const int base = kPatchInternalBase + kPatchInternalCount * patch + internalLocal::kInternalLineLocals;
        resendParameter(base + internalLocal::kLowPassOn);
        resendParameter(base + internalLocal::kHighPassOn);
        resendParameter(base + internalLocal::kSineOn);
    }
}

void Halvorn::applyModulationSource(int patch, int row, int part) {
    ModulationRow& values = currentRecord()->patches[patch].rows[row];
    int32_t& entry = signalPath[part].modRowSource[row];
    const int input = kDstModAmount0 + row;
    // With no source known this empties the amount channel's input.
    engine.disconnect(input, entry, part);
    entry = -1;
    const int choice = wholeNumber(values.source);
    if (choice >= 0 && choice < kSourceNone) {
        if (engine.connect(kRowSources[choice], input, part) == 0) entry = kRowSources[choice];
    } else if (choice < 0 || choice > kSourceNone + 1) {
        // A choice outside the list (from a file or a chunk) becomes "none", also on screen.
        values.source = (float)kSourceNone;
        if (editor) {
            const int index = kPatchInternalBase + kPatchInternalCount * patch +
                              internalLocal::kFirstModulationChoice + 2 * row + 1;
            static_cast<HalvornEdit*>(editor)->setParameter(index, values.source);
        }
    }
}

void Halvorn::applyModulationDestination(int patch, int row, int part) {
    const int choice = wholeNumber(currentRecord()->patches[patch].rows[row].destination);
    // A choice outside the list is ignored: the row keeps what it drives.
    if (choice < 0 || choice > kDestinationNone) return;
    int32_t& entry = signalPath[part].modRowDestination[row];
    const int amount = kSrcModAmount0 + row;
    if (entry >= 0) engine.disconnect(entry, amount, part);
    entry = -1;
    // A summing input already full refuses: the row then drives nothing, as the engine has it.
    if (choice < kDestinationNone && engine.connect(amount, kRowDestinations[choice], part) == 0)
        entry = kRowDestinations[choice];
}

// Closed: every row of every part comes off, whatever patch the part plays. Open: every
// row's choices of every patch again, which connects the rows of every part that plays one.
void Halvorn::setModulationPanel(bool open) {
    if (open) {
        for (int patch = 0; patch < kPatchCount; patch++)
            for (int row = 0; row < kModulationRowCount; row++) {
                const int base =
                    kPatchInternalBase + kPatchInternalCount * patch + internalLocal::kFirstModulationChoice + 2 * row;
                resendParameter(base);
                resendParameter(base + 1);
            }
        return;
    }
    for (int part = 0; part < kPartCount; part++) {
        PartSignalPath& path = signalPath[part];
        for (int row = 0; row < kModulationRowCount; row++) {
            if (path.modRowDestination[row] >= 0)
                engine.disconnect(path.modRowDestination[row], kSrcModAmount0 + row, part);
            engine.disconnect(kDstModAmount0 + row, path.modRowSource[row], part);
            path.modRowDestination[row] = -1;
            path.modRowSource[row] = -1;
        }
    }
}

// LFO 1 (2) into oscillator 1 (2)'s pulse-width input while the depth is not 0.
void Halvorn::linkPulseWidth(int part, int line, float depth) {
    int32_t& linked = line == 0 ? signalPath[part].lfo1PwmLinked : signalPath[part].lfo2PwmLinked;
    if (depth == 0.f && linked) {
        engine.disconnect(kPwmLfoInput[line], kLfoSource[line], part);
        linked = 0;
    } else if (depth != 0.f && !linked) {
        engine.connect(kLfoSource[line], kPwmLfoInput[line], part);
        linked = 1;
    }
}

// The voice gate into the LFO's trigger input while its mode is "trigg".
void Halvorn::linkLfoTrigger(int part, int line, bool linked) {
    int32_t& word = line == 0 ? signalPath[part].lfo1TriggerLinked : signalPath[part].lfo2TriggerLinked;
    if ((word != 0) == linked) return;
    if (linked)
        engine.connect(kSrcGate, kDstLfoTrigger1 + line, part);
    else
        engine.disconnect(kDstLfoTrigger1 + line, kSrcGate, part);
    word = linked ? 1 : 0;
}
