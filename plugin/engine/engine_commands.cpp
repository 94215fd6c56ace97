// SynthEngine::command: every change from outside other than routing and rendering.
// Codes act at once; only note events wait in the note ring for the next block.
#include <cmath>

#include "engine/synth_engine.h"

using engine::clampFinite;
using engine::clampInt;
using engine::clampSlot;
using engine::kSlotSounding;

namespace {
const int kOscShapeLevel = 12;  // oscillator messages
const int kOscPwmDepth = 7;
const int kOscModulation = 8;
const int kOscSwitches = 10;
const int kOscBendRange = 13;
const int kOscDrift = 6;
const float kWidestPulse = 0.99f;
const int kLowestNote = 21;
const int kHighestNote = 127;
const int kHighestVelocity = 126;
// Sent with every chorus message in a word the chorus does not read.
const float kChorusConstant = 25.f;

// Values the engine keeps itself: one that is no finite number leaves the stored value
// as it was, and magnitudes are held where the products of rendering stay finite.
const float kLargestValue = 1.0e6f;
float accepted(float value, float previous) {
    return std::isfinite(value) ? clampFinite(value, -kLargestValue, kLargestValue) : previous;
}

int filterOfCode(int code) {
    switch (code) {
    case kCmdHighPass1:
    case kCmdHighPass1Brilliance:
    case kCmdHighPass1Modulation:
        return 0;
    case kCmdHighPass2:
    case kCmdHighPass2Brilliance:
    case kCmdHighPass2Modulation:
        return 1;
    case kCmdLowPass1:
    case kCmdLowPass1Brilliance:
    case kCmdLowPass1Modulation:
        return 2;
    default:
        return 3;
    }
}
}  // namespace

// ---------------------------------------------------------------- the note ring

void SynthEngine::emptyNoteRing() {
    for (NoteRingEntry& e : noteRing) {
        e.note = -1;
        e.channel = -1;
        e.velocity = 0;
    }
    ringWrite = ringRead = 0;
}

void SynthEngine::takeNoteRingEntry() {
    const NoteRingEntry e = noteRing[ringRead];
    ringRead = (ringRead + 1) & (kNoteRingSize - 1);
    if (!initialised) return;
    if (e.note > 0)
        noteOn(e.channel, e.note, e.velocity);
    else
        noteOff(e.channel, e.note == kReleaseAllNotes ? -1 : -e.note, e.velocity);
}

void SynthEngine::drainNoteRing() {
    while (((ringWrite - ringRead) & (kNoteRingSize - 1)) > 0) takeNoteRingEntry();
}

void SynthEngine::putNoteEvent(const EngineCommand& record) {
    // A full ring hands its oldest event to the voices now rather than overwriting it:
    // a lost note-off would leave its note hanging.
    if (((ringWrite - ringRead) & (kNoteRingSize - 1)) == kNoteRingSize - 1) takeNoteRingEntry();
    NoteRingEntry& e = noteRing[ringWrite];
    if (record.kind == kNoteOnEvent) {
        e.note = clampInt(record.note, kLowestNote, kHighestNote);
        e.velocity = clampInt(record.velocity, 0, kHighestVelocity);
    } else {
        // Any other negative note is no key: it is held at 0 so that its negation can
        // neither overflow nor meet the release-all code.
        e.note = record.note == -1 ? kReleaseAllNotes : -(record.note < 0 ? 0 : record.note);
        e.velocity = record.velocity;
    }
    e.channel = record.channel;
    ringWrite = (ringWrite + 1) & (kNoteRingSize - 1);
}

// ---------------------------------------------------------------- pitch

double SynthEngine::nextRandom() {
    double u = 4.0 * randomFactor * randomValue * (1.0 - randomValue);
    if (u == 0.0) u = 1e-6;
    if (u == 1.0) u = 0.999999;
    randomValue = u;
    return u;
}

void SynthEngine::recomputePitch(int slot) {
    VoiceSlot& v = slots[slot];
    for (int o = 0; o < 2; ++o)
        v.pitchProduct[o] = v.accordRatio[o] * v.detune[o] * v.lineTransposition[o] * v.lineDetune[o] *
                            v.rangeRatio[o] * v.partTune * globalTune;
}

void SynthEngine::partTune(int part, float amount) {
    part = clampInt(part, -kSlots, kSlots);
    for (int k = 0; k < kLayers; ++k) {
        const int s = clampSlot(part + kParts * k);
        const double u = nextRandom();
        const float t = static_cast<float>(s) * 0.03125f * amount;
        slots[s].partTune = 1.f + 0.1f * t + 0.01f * static_cast<float>(u) * amount;
        slots[s].cutoffSpread = 1.f + 0.3f * t + 0.2f * static_cast<float>(u) * amount;
        recomputePitch(s);
        oscillatorRecord.slot = s;
        oscillatorRecord.driftDepth = 0.1f * amount + 0.002f;
        oscillatorRecord.driftSmoothing = 0.01f;
        oscillator1.message(&oscillatorRecord, kOscDrift);
        oscillator2.message(&oscillatorRecord, kOscDrift);
    }
}

// The four layers of a part stand slightly apart in the stereo field.
void SynthEngine::setPartPan(int part, float pan) {
    static const float kSpread[kLayers] = {0.02f, 0.01f, 0.f, -0.01f};
    part = clampInt(part, -kSlots, kSlots);
    for (int k = 0; k < kLayers; ++k)
        slots[clampSlot(part + kParts * k)].pan = clampFinite((1.f - pan) + kSpread[k], 0.f, 1.f);
}

// ---------------------------------------------------------------- per-part codes

// Codes that act on the four slots of a part: the engine's own values go to the slot
// clamped to 0..31, module messages carry the slot number as computed.
void SynthEngine::perPartMessage(int code, const EngineCommand& r) {
    const int osc = (code == kCmdOsc2Shape || code == kCmdOsc2Detune || code == kCmdOsc2Switches ||
                     code == kCmdLine2Pitch || code == kCmdOsc2Pwm)
                        ? 1
                        : 0;
    Oscillator& oscillatorModule = osc == 0 ? oscillator1 : oscillator2;
    Vca& vcaModule = (code == kCmdVca2Level || code == kCmdVca2Modulation || code == kCmdVca2Touch) ? vca2 : vca1;
    const int filter = filterOfCode(code);
    const int lfo = clampInt(r.subIndex, 0, 1);
    // Envelope numbers of 4 or more mean envelope 3; negative ones envelope 0.
    const int envelopeIndex = clampInt(r.subIndex, 0, kEnvelopes - 1);

    // Held far enough from the int range that part + 24 cannot overflow; the modules
    // clamp slot numbers themselves.
    const int part = clampInt(r.part, -kSlots, kSlots);
    for (int k = 0; k < kLayers; ++k) {
        const int slot = part + kParts * k;
        VoiceSlot& v = slots[clampSlot(slot)];
        switch (code) {
        case kCmdHighPass1:
        case kCmdHighPass2:
        case kCmdLowPass1:
        case kCmdLowPass2:
            v.cutoff[filter] = accepted(r.cutoff, v.cutoff[filter]);
            v.resonance[filter] = accepted(r.resonance, v.resonance[filter]);
            break;
        case kCmdOsc1Shape:
        case kCmdOsc2Shape:
            v.pulseWidth[osc] = r.width;
            v.accordRatio[osc] = tables.transposition(r.tableIndex);
            recomputePitch(clampSlot(slot));
            oscillatorRecord.slot = slot;
            oscillatorRecord.noise = r.level;
            oscillatorModule.message(&oscillatorRecord, kOscShapeLevel);
            break;
        case kCmdOsc1Detune:
        case kCmdOsc2Detune:
            v.detune[osc] = accepted(r.amount, v.detune[osc]);
            recomputePitch(clampSlot(slot));
            break;
        case kCmdOsc1Switches:
        case kCmdOsc2Switches:
            if (osc == 0) v.syncMode = r.sync;
            v.fixedPitch[osc] = r.fixedPitch;
            oscillatorRecord.slot = slot;
            oscillatorRecord.saw = r.waveSaw;
            oscillatorRecord.pulse = r.waveSquare;
            oscillatorRecord.triangle = r.waveExtra;
            if (osc == 1) oscillatorRecord.noise = r.level;
            oscillatorModule.message(&oscillatorRecord, kOscSwitches);
            v.rangeRatio[osc] = tables.transposition(r.tableIndex);
            recomputePitch(clampSlot(slot));
            break;
        case kCmdLine1Pitch:
        case kCmdLine2Pitch:
            v.lineTransposition[osc] = tables.transposition(r.tableIndex);
            v.lineDetune[osc] = accepted(r.amount, v.lineDetune[osc]);
            recomputePitch(clampSlot(slot));
            break;
        case kCmdOsc1Pwm:
        case kCmdOsc2Pwm:
            oscillatorRecord.slot = slot;
            oscillatorRecord.pwmDepth = r.valueA;
            oscillatorModule.message(&oscillatorRecord, kOscPwmDepth);
            break;
        case kCmdHighPass1Brilliance:
        case kCmdHighPass2Brilliance:
        case kCmdLowPass1Brilliance:
        case kCmdLowPass2Brilliance:
            filterRecord.slot = slot;
            filterRecord.touchBrillianceDepth = r.valueA;
            filterRecord.initialBrillianceDepth = r.valueB;
            filters[filter].message(&filterRecord, kFilterMsgDepths);
            break;
        case kCmdVca1Level:
        case kCmdVca2Level:
            vcaRecord.slot = slot;
            vcaRecord.level = r.level;
            vcaModule.message(&vcaRecord, kVcaLevel);
            break;
        case kCmdVca1Modulation:
        case kCmdVca2Modulation:
            vcaRecord.slot = slot;
            vcaRecord.vibratoDepth = r.valueA;
            vcaModule.message(&vcaRecord, kVcaVibratoDepth);
            break;
        case kCmdVca1Touch:
        case kCmdVca2Touch:
            vcaRecord.slot = slot;
            vcaRecord.touchDepth = r.valueA;
            vcaRecord.initialDepth = r.valueB;
            vcaModule.message(&vcaRecord, kVcaTouchDepths);
            break;
        case kCmdModAmount:
            modAmountRecord.slot = slot;
            modAmountRecord.channel = r.subIndex;
            modAmountRecord.amount = r.level;
            modAmounts.message(&modAmountRecord, kModAmountTarget);
            break;
        case kCmdPartLfo:
            voiceLfoRecord.slot = slot;
            voiceLfoRecord.wave = r.lfoWave;
            voiceLfoRecord.rate = r.lfoRate;
            voiceLfoRecord.tempoSync = r.tempoSync;
            voiceLfoRecord.tempo = r.tempo;
            voiceLfoRecord.division = r.tempoDivision;
            voiceLfos[lfo].message(&voiceLfoRecord, kVoiceLfoMsgSettings);
            break;
        case kCmdEnvelope:
            envelopeRecord.slot = slot;
            envelopeRecord.attackTime = r.envelope[0];
            envelopeRecord.decayTime = r.envelope[1];
            envelopeRecord.releaseTime = r.envelope[2];
            envelopeRecord.initialLevel = r.envelope[3];
            envelopeRecord.attackLevel = r.envelope[4];
            envelopeRecord.sustainLevel = r.envelope[5];
            envelopes[envelopeIndex].message(&envelopeRecord, kEnvSettings);
            break;
        case kCmdPartVolume:
            v.volume = accepted(r.level, v.volume);
            break;
        case kCmdLineMix:
            v.lineMix = accepted(r.level, v.lineMix);
            break;
        case kCmdPartPortamento:
            v.portamento = r.kind;
            break;
        case kCmdPartRingMod:
            v.ringModulator = r.kind;
            break;
        case kCmdPartEffects:
            v.effects = r.kind;
            break;
        case kCmdMixerLevel:
            mixerRecord.slot = slot;
            mixerRecord.channel = r.subIndex;
            mixerRecord.level = r.level;
            mixer.message(&mixerRecord, kMixerLevel);
            break;
        case kCmdLine1Poles:
        case kCmdLine2Poles:
            filterRecord.slot = slot;
            filterRecord.typeOrPoles = r.enabled;
            // Line 1: filters 0 and 2; line 2: filters 1 and 3.
            filters[code == kCmdLine1Poles ? 0 : 1].message(&filterRecord, kFilterMsgSlope);
            filters[code == kCmdLine1Poles ? 2 : 3].message(&filterRecord, kFilterMsgSlope);
            break;
        case kCmdPartLfoMode:
            if (r.kind >= 0)
                voiceLfos[lfo].setModeLink(clampSlot(slot), r.kind);
            else
                voiceLfos[lfo].clearModeLink(clampSlot(slot));
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------- other codes

void SynthEngine::setKeyScaling(const EngineCommand& r) {
    const float values[4] = {r.valueA, r.valueB, r.valueC, r.valueD};
    for (int i = 0; i < 4; ++i) keyScaling[i] = accepted((values[i] - 0.5f) * 2.f, keyScaling[i]);
    for (int s = 0; s < kSlots; ++s)
        if (slots[s].note > 0) applyKeyScaling(slots[s].note, s);
}

void SynthEngine::setAftertouch(int note, float pressure) {
    for (VoiceSlot& v : slots)
        if (v.state == kSlotSounding && (note == -1 || v.note == note)) v.pressure = pressure;
}

void SynthEngine::setEnvelopeSustain(int flag) {
    for (Envelope& e : envelopes) e.setSustain(flag);
}

void SynthEngine::setSustainSetup(const EngineCommand& r) {
    pedalPortamento = r.kind;
    sustainEnabled = r.enabled;
    setEnvelopeSustain(sustainEnabled ? sustainPedal : 1);
    sustainMode = r.option;
    envelopeRecord.slot = 0;
    envelopeRecord.releaseTime = r.envelope[2];
    for (Envelope& e : envelopes) e.message(&envelopeRecord, kEnvPedalRelease);
}

int SynthEngine::command(EngineCommand* record, int code) {
    if (!record) return 0;
    EngineCommand& r = *record;
    switch (code) {
    case kCmdNoteEvent:
        putNoteEvent(r);
        break;
    case kCmdSampleRate:
        sampleRate = acceptedRate(r.sampleRate, sampleRate);
        samplesPerMs = sampleRate * 0.001f;
        computeSmoothingCoefficients();
        setSampleRate(sampleRate);
        break;
    case kCmdOsc1Shape:
    case kCmdOsc2Shape:
        // The clamped width goes back to the caller, which keeps the record.
        r.width = clampFinite(r.width, 0.f, kWidestPulse);
        perPartMessage(code, r);
        break;
    case kCmdHighPass1:
    case kCmdHighPass2:
    case kCmdLowPass1:
    case kCmdLowPass2:
    case kCmdOsc1Detune:
    case kCmdOsc2Detune:
    case kCmdOsc1Switches:
    case kCmdOsc2Switches:
    case kCmdLine1Pitch:
    case kCmdLine2Pitch:
    case kCmdOsc1Pwm:
    case kCmdOsc2Pwm:
    case kCmdHighPass1Brilliance:
    case kCmdHighPass2Brilliance:
    case kCmdLowPass1Brilliance:
    case kCmdLowPass2Brilliance:
    case kCmdVca1Level:
    case kCmdVca2Level:
    case kCmdVca1Modulation:
    case kCmdVca2Modulation:
    case kCmdVca1Touch:
    case kCmdVca2Touch:
    case kCmdModAmount:
    case kCmdPartLfo:
    case kCmdEnvelope:
    case kCmdPartVolume:
    case kCmdLineMix:
    case kCmdPartPortamento:
    case kCmdPartRingMod:
    case kCmdPartEffects:
    case kCmdMixerLevel:
    case kCmdLine1Poles:
    case kCmdLine2Poles:
    case kCmdPartLfoMode:
        perPartMessage(code, r);
        break;
    case kCmdOsc1Modulation:
    case kCmdOsc2Modulation:
        oscillatorRecord.slot = 0;
        oscillatorRecord.vibratoDepth = r.valueA;
        oscillatorRecord.touchAmount = r.valueB;
        oscillator(code == kCmdOsc1Modulation ? 1 : 2).message(&oscillatorRecord, kOscModulation);
        break;
    case kCmdHighPass1Modulation:
    case kCmdHighPass2Modulation:
    case kCmdLowPass1Modulation:
    case kCmdLowPass2Modulation:
        filterRecord.slot = 0;
        filterRecord.vibratoDepth = r.valueA;
        filterRecord.touchAmount = r.valueB;
        filters[filterOfCode(code)].message(&filterRecord, kFilterMsgVibrato);
        break;
    case kCmdGlide:
        if (std::isfinite(r.glideTime)) {
            glideOn = r.glideTime != 0.f;
            glideRate = glideOn ? 20.f * accepted(r.glideTime, 0.f) : 1.f;
        }
        touchAmount = accepted(r.valueA, touchAmount);
        glissando = r.enabled;
        break;
    case kCmdKeyScaling:
        setKeyScaling(r);
        break;
    case kCmdVibratoLfo:
        vibratoLfoRecord.wave = r.lfoWave;
        vibratoLfoRecord.rate = r.lfoRate;
        vibrato.message(&vibratoLfoRecord, kVibratoLfoMsgSettings);
        break;
    case kCmdVibratoTouch:
        vibratoLfoRecord.rateModAmount = r.valueA;
        vibrato.message(&vibratoLfoRecord, kVibratoLfoMsgTouchSpeed);
        break;
    case kCmdRingModulator:
        ringModulatorRecord.frequency = r.lfoRate;
        ringModulatorRecord.mix = r.valueA;
        ringModulatorRecord.attackMs = r.envelope[0];
        ringModulatorRecord.decayMs = r.envelope[1];
        ringModulatorRecord.depth = r.envelope[4];
        for (RingModulator& m : ringModulators) m.message(&ringModulatorRecord, kRingModSettings);
        ringModulatorOn = r.enabled;
        break;
    case kCmdBrilliance: {
        static const int kOrder[4] = {2, 3, 1, 0};
        filterRecord.slot = 0;
        filterRecord.brillianceOffset = r.valueA;
        filterRecord.resonance = r.valueB;
        for (int f : kOrder) filters[f].message(&filterRecord, kFilterMsgOffsets);
        break;
    }
    case kCmdPartPan:
        setPartPan(r.part, r.pan);
        break;
    case kCmdMasterVolume:
        masterVolume = accepted(r.level, masterVolume);
        break;
    case kCmdChorus:
        chorusRecord.mode = r.lfoWave;
        chorusRecord.speed = r.lfoRate;
        chorusRecord.depth = r.valueA;
        chorusRecord.reserved[0] = kChorusConstant;
        chorus.message(&chorusRecord, kChorusSettings);
        // The switch acts in the chorus type only: the tremolo type (word 0) is always on.
        chorusOn = !(r.enabled == 0 && r.lfoWave != 0);
        break;
    case kCmdAftertouch:
        if (std::isfinite(r.pressure)) setAftertouch(r.note, accepted(r.pressure, 0.f));
        break;
    case kCmdZone:
        setZone(r);
        break;
    case kCmdPartZone:
        setPartZone(r.part, r.zone);
        break;
    case kCmdModWheel:
        modWheelTarget = accepted(r.pedal, modWheelTarget);
        break;
    case kCmdPitchBend:
        pitchBendTarget = accepted(r.bend, pitchBendTarget);
        break;
    case kCmdArpeggiator:
        arpeggiator.settings(&r);
        break;
    case kCmdDelay:
        delayRecord.timeMs = r.timeMs;
        delayRecord.tempoDivision = r.tempoDivision;
        delayRecord.feedback = r.level;
        delayRecord.tempoSync = r.tempoSync;
        delayRecord.tempo = r.tempo;
        delayRecord.wet = r.valueA;
        delay.message(&delayRecord, kDelaySettings);
        // Switched off, the delay forgets its echoes, so that switching it on again
        // starts clean.
        if (r.enabled == 0 && delayOn) delay.clear();
        delayOn = r.enabled;
        break;
    case kCmdSustain:
        sustainPedal = r.kind;
        if (sustainEnabled) setEnvelopeSustain(sustainPedal);
        break;
    case kCmdSustainSetup:
        setSustainSetup(r);
        break;
    case kCmdExpression:
        expressionTarget = accepted(r.pedal, expressionTarget);
        break;
    case kCmdPedalSetup:
        pedalWords[0] = r.kind;
        pedalWords[1] = r.option;
        break;
    case kCmdBendSetup:
        bendRange = r.kind == 0 ? -1 : static_cast<int>(clampFinite(r.bend, -100.f, 100.f) * 24.f + 0.5f);
        oscillatorRecord.slot = 0;
        oscillatorRecord.bendRange = bendRange;
        oscillator1.message(&oscillatorRecord, kOscBendRange);
        oscillator2.message(&oscillatorRecord, kOscBendRange);
        wheelToVibrato = r.enabled;
        break;
    case kCmdVoicesPerPart:
        voicesPerPart = clampInt(r.count, 0, kLayers);
        break;
    case kCmdGlobalTune:
        globalTune = accepted(r.amount, globalTune);
        for (int s = 0; s < kSlots; ++s) recomputePitch(s);
        break;
    case kCmdPartTune:
        if (std::isfinite(r.amount)) partTune(r.part, accepted(r.amount, 0.f));
        break;
    default:
        break;
    }
    return 0;
}
