#include "engine/synth_engine.h"

#include <cmath>
#include <cstring>
#include <new>

using engine::clampInt;
using engine::clampSlot;
using engine::kSlotOff;

namespace {
const float kDefaultRate = 44100.f;  // Hz
const float kLowestRate = 1000.f;
const float kHighestRate = 1.0e6f;
const int kOscillatorVoiceMessage = 3;
const int kUnplayedNote = -72;
const int kLongestBlock = 4096;  // samples; a longer oscillator block is a bad configuration

float* newZeroedBuffer(int length) { return new (std::nothrow) float[length](); }
}  // namespace

SynthEngine::SynthEngine()
    : initialised(0),
      queueFill(0),
      queueCapacity(0),
      sampleRate(kDefaultRate),
      samplesPerMs(kDefaultRate * 0.001f),
      blockLength(0),
      historyLength(0),
      channelCount(2),
      portLength(0),
      blockDurationMs(0.f) {
    std::memset(&oscillatorRecord, 0, sizeof oscillatorRecord);
    std::memset(&envelopeRecord, 0, sizeof envelopeRecord);
    std::memset(&mixerRecord, 0, sizeof mixerRecord);
    std::memset(&vcaRecord, 0, sizeof vcaRecord);
    std::memset(&modAmountRecord, 0, sizeof modAmountRecord);
    masterQueue[0] = masterQueue[1] = nullptr;
    for (float*& q : partQueue) q = nullptr;
    for (float*& w : workBuffer) w = nullptr;
    std::memset(gates, 0, sizeof gates);
    for (int s = 0; s < kSlots; ++s) {
        lineOutputs[0][s] = lineOutputs[1][s] = nullptr;
        setSlotDefaults(slots[s]);
    }
    setConstants();
    setZoneDefaults();
    clearRoutingTable();
    emptyNoteRing();
}

SynthEngine::~SynthEngine() { freeBuffers(); }

// Hosts may send anything: a rate that is not a positive number keeps the fallback, a
// finite one is held to a range in which every coefficient and count stays finite.
float SynthEngine::acceptedRate(float rate, float fallback) {
    if (!(rate > 0.f) || !std::isfinite(rate)) return fallback;
    return rate < kLowestRate ? kLowestRate : (rate > kHighestRate ? kHighestRate : rate);
}

int SynthEngine::failInit() {
    freeBuffers();
    return 1;
}

int SynthEngine::init(EngineCommand* record) {
    freeBuffers();
    if (!record) return 1;

    sampleRate = acceptedRate(record->sampleRate, kDefaultRate);
    samplesPerMs = sampleRate * 0.001f;
    channelCount = clampInt(record->count, 1, 2);

    if (tables.build()) return failInit();
    if (initModules()) return failInit();
    if (allocateQueues()) return failInit();

    portLength = blockLength + historyLength;
    for (int s = 0; s < kSlots; ++s) {
        slots[s].state = slots[s].previousState = kSlotOff;
        slots[s].note = kUnplayedNote;
    }

    if (allocateValuePorts()) return failInit();
    for (int s = 0; s < kSlots; ++s) setSlotDefaults(slots[s]);
    clearRoutingTable();

    setConstants();
    computeSmoothingCoefficients();
    groupingWindow = static_cast<int>(samplesPerMs * 200.f / static_cast<float>(blockLength));
    setZoneDefaults();
    connectArpeggiator();
    arpeggiator.setDefaults();
    emptyNoteRing();
    initialised = 1;

    makeDefaultConnections();
    rememberLineOutputs();
    setMixerDefaults();
    return 0;
}

int SynthEngine::initModules() {
    // The oscillators start at 44.1 kHz whatever the rate; kCmdSampleRate follows at once.
    oscillatorRecord.voiceCount = kSlots;
    oscillatorRecord.sineTable = tables.sines();
    oscillatorRecord.sineSize = EngineTables::kSineSize;
    oscillatorRecord.semitoneTable = tables.semitones();
    oscillatorRecord.semitoneSize = EngineTables::kSemitoneSize;
    if (oscillator1.init(&oscillatorRecord, 1, kDefaultRate)) return 1;
    if (oscillator2.init(&oscillatorRecord, 2, kDefaultRate)) return 1;
    blockLength = oscillator1.getBlockLength();
    historyLength = oscillator1.getHistoryLength();
    if (blockLength <= 0 || blockLength > kLongestBlock || historyLength < 0 || historyLength > blockLength) return 1;
    queueCapacity = 2 * blockLength;

    // Placeholder: filters 0-3 (kind 2, tangent and power-of-256 tables) are initialised
    // here once the filter module exists.

    envelopeRecord.slotCount = kSlots;
    envelopeRecord.blockLength = blockLength;
    envelopeRecord.historyLength = historyLength;
    for (int i = 0; i < kEnvelopes; ++i) {
        envelopeRecord.mode = i % 2 == 0 ? kEnvModeFilter : kEnvModeAmplifier;
        if (envelopes[i].init(&envelopeRecord, Envelope::kInitKind, sampleRate)) return 1;
    }

    vcaRecord.voiceCount = kSlots;
    vcaRecord.blockLength = blockLength;
    vcaRecord.historyLength = historyLength;
    if (vca1.init(&vcaRecord, Vca::kInitKind, sampleRate)) return 1;
    if (vca2.init(&vcaRecord, Vca::kInitKind, sampleRate)) return 1;

    // Placeholder: the vibrato LFO (kind 5, with oscillator 1's buffer) and the per-voice
    // LFOs (kind 5, sine table) are initialised here once they exist.

    mixerRecord.voiceCount = kSlots;
    mixerRecord.blockLength = blockLength;
    mixerRecord.historyLength = historyLength;
    if (mixer.init(&mixerRecord, MixerBank::kInitKind, sampleRate)) return 1;

    // Placeholder: ring modulators 0-3 (44.1 kHz, L, sine table), the chorus (switched
    // off), the delay and the pedal processor (44.1 kHz) are initialised here once they exist.

    modAmountRecord.blockLength = blockLength;
    modAmountRecord.historyLength = historyLength;
    modAmountRecord.voiceCount = kSlots;
    if (modAmounts.init(&modAmountRecord, ModAmountBank::kInitKind, sampleRate)) return 1;
    return 0;
}

int SynthEngine::allocateQueues() {
    for (float*& q : masterQueue)
        if (!(q = newZeroedBuffer(queueCapacity))) return 1;
    for (int p = 0; p < kPartQueues; ++p)
        if (!(partQueue[p] = newZeroedBuffer(queueCapacity))) return 1;
    for (float*& w : workBuffer)
        if (!(w = newZeroedBuffer(blockLength))) return 1;
    queueFill = 0;
    return 0;
}

// Value ports carry one value per block in their first sample (leading flag word 1);
// velocity fills the whole buffer. The gate port describes the slot's gate record.
int SynthEngine::allocateValuePorts() {
    if (slotValues.allocate(kSlotValues * kSlots, blockLength, historyLength, 1)) return 1;
    if (globalValues.allocate(kGlobalValues, blockLength, historyLength, 1)) return 1;
    std::memset(gates, 0, sizeof gates);
    for (int s = 0; s < kSlots; ++s) {
        SignalPort* gate = slotValues.port(kSlotGate * kSlots + s);
        gate->kind = kPortGate;
        gate->gate = &gates[s];
    }
    return 0;
}

void SynthEngine::setSlotDefaults(VoiceSlot& slot) {
    std::memset(&slot, 0, sizeof slot);
    slot.state = slot.previousState = kSlotOff;
    slot.note = kUnplayedNote;
    slot.velocityValue = 0.f;
    for (int o = 0; o < 2; ++o) {
        slot.accordRatio[o] = slot.detune[o] = slot.lineTransposition[o] = slot.lineDetune[o] = 1.f;
        slot.rangeRatio[o] = slot.pitchProduct[o] = 1.f;
        slot.fixedPitch[o] = 1;
    }
    slot.partTune = 1.f;
    slot.cutoffSpread = 1.f;
    slot.cutoff[0] = slot.cutoff[1] = 10.f;
    slot.cutoff[2] = slot.cutoff[3] = 1000.f;
    for (float& q : slot.resonance) q = 0.707f;
    slot.pan = slot.volume = slot.lineMix = 0.5f;
    slot.portamento = slot.ringModulator = slot.effects = 1;
    slot.touchFactor = 0.f;
}

void SynthEngine::setConstants() {
    referenceFrequency = 261.62f;
    globalTune = 1.f;
    for (float& k : keyScaling) k = 0.f;
    pitchBend = pitchBendTarget = 0.f;
    modWheel = modWheelTarget = 0.f;
    expression = expressionTarget = 0.f;
    highestPressure = 0.f;
    glideOn = 0;
    glideRate = 1.f;
    touchAmount = 0.f;
    glissando = 0;
    masterVolume = 1.f;
    sustainPedal = sustainEnabled = sustainMode = pedalPortamento = 0;
    pedalWords[0] = pedalWords[1] = 0;
    wheelToVibrato = 0;
    bendRange = 24;
    ringModulatorOn = chorusOn = delayOn = 0;
    voicesPerPart = 1;
    for (int& layer : lastLayer) layer = 0;
    randomValue = 0.1;
    randomFactor = 0.9999999;
    bendSmallStepCoefficient = bendLargeStepCoefficient = pressureCoefficient = pedalCoefficient =
        gainCoefficient = 1.f;
    groupingWindow = 0;
}

float SynthEngine::smoothingCoefficient(float timeMs) const {
    return engine::onePoleCoefficient(timeMs * samplesPerMs);
}

void SynthEngine::computeSmoothingCoefficients() {
    bendSmallStepCoefficient = smoothingCoefficient(0.8f);
    bendLargeStepCoefficient = smoothingCoefficient(0.02f);
    pressureCoefficient = smoothingCoefficient(3.f);
    pedalCoefficient = smoothingCoefficient(3.f);
    gainCoefficient = smoothingCoefficient(10.f);
}

void SynthEngine::rememberLineOutputs() {
    for (int s = 0; s < kSlots; ++s) {
        lineOutputs[0][s] = vca1.takeOutput(s);
        lineOutputs[1][s] = vca2.takeOutput(s);
    }
}

// Channel pairs (0, 1), (2, 3), (4, 5) form two-input mixers: the odd channel sums into
// the even one and starts silent.
void SynthEngine::setMixerDefaults() {
    for (int s = 0; s < kSlots; ++s) {
        mixerRecord.slot = s;
        for (int c = 0; c < 6; ++c) {
            mixerRecord.channel = c;
            mixerRecord.level = (c == 1 || c == 3) ? 0.f : 1.f;
            mixer.message(&mixerRecord, kMixerLevel);
            mixerRecord.sumMode = c % 2;
            mixer.message(&mixerRecord, kMixerSumMode);
        }
    }
}

void SynthEngine::clearRoutingTable() {
    for (int p = 0; p < kParts; ++p)
        for (int d = 0; d < kRouteDestinations; ++d)
            for (int e = 0; e < kFanIn; ++e) routes[p][d][e] = -1;
}

void SynthEngine::setZoneDefaults() {
    for (KeyboardZone& z : zones) {
        z.arpeggiatorSwitch = 0;
        z.channel = 16;
        z.lowKey = 0;
        z.highKey = 127;
        z.mode = kAssignRotate;
        z.partCount = 0;
        for (int& p : z.parts) p = -1;
        z.rotation = 0;
        for (int& n : z.held) n = -1;
        z.heldCount = 0;
        z.voiceCount = 0;
        z.noteCounter = 0;
        z.groupCounter = groupingWindow + 1;
        z.lastNote = 72;
    }
}

// The voice state as the VCAs, the filters, the mixer bank and the modulation amounts
// take it every block.
void SynthEngine::sendVoiceState(int slot, int state) {
    vcaRecord.slot = slot;
    vcaRecord.state = state;
    vca1.message(&vcaRecord, kVcaVoiceState);
    vca2.message(&vcaRecord, kVcaVoiceState);
    mixerRecord.slot = slot;
    mixerRecord.state = state;
    mixer.message(&mixerRecord, kMixerVoiceState);
    modAmountRecord.slot = slot;
    modAmountRecord.state = state;
    modAmounts.message(&modAmountRecord, kModAmountVoiceState);
    for (int f = 0; f < 4; ++f) filterVoiceState(f, slot, state);
}

// Oscillator message 3: the slot's state, frequency, pulse width and (oscillator 1) sync.
void SynthEngine::sendOscillatorVoice(int slot, int state, const float frequency[2]) {
    const VoiceSlot& v = slots[slot];
    for (int o = 0; o < 2; ++o) {
        oscillatorRecord.slot = slot;
        oscillatorRecord.frequency = frequency[o];
        oscillatorRecord.state = state;
        oscillatorRecord.width = v.pulseWidth[o];
        oscillatorRecord.syncMode = o == 0 ? v.syncMode : 0;
        oscillator(o + 1).message(&oscillatorRecord, kOscillatorVoiceMessage);
    }
}

void SynthEngine::setSampleRate(float rate) {
    sampleRate = acceptedRate(rate, sampleRate);
    samplesPerMs = sampleRate * 0.001f;
    if (!initialised) return;

    // Every voice goes off and the modules settle in that state before they re-rate.
    for (int s = 0; s < kSlots; ++s) {
        envelopeRecord.slot = s;
        for (Envelope& e : envelopes) e.message(&envelopeRecord, kEnvIdle);
        slots[s].state = slots[s].previousState = kSlotOff;
        sendVoiceState(s, kSlotOff);
        const float frequency[2] = {slots[s].pitchProduct[0] * referenceFrequency,
                                    slots[s].pitchProduct[1] * referenceFrequency};
        sendOscillatorVoice(s, kSlotOff, frequency);
    }
    for (Envelope& e : envelopes) e.process();
    oscillator1.process();
    oscillator2.process();
    processFilters();
    processLfos();
    mixer.process();
    modAmounts.process();
    vca1.process();
    vca2.process();

    // Placeholder: filters 0-3 re-rate here once they exist.
    oscillator1.setSampleRate(sampleRate);
    oscillator2.setSampleRate(sampleRate);
    for (Envelope& e : envelopes) e.setSampleRate(sampleRate);
    vca1.setSampleRate(sampleRate);
    vca2.setSampleRate(sampleRate);
    mixer.setSampleRate(sampleRate);
    modAmounts.setSampleRate(sampleRate);
    // Placeholder: the ring modulators, the delay, the chorus, the pedal processor, the
    // per-voice LFOs and the vibrato LFO re-rate here once they exist.

    blockDurationMs = static_cast<float>(blockLength) / samplesPerMs;
    arpeggiator.setBlockTime(blockDurationMs);
}

void SynthEngine::reset() {
    if (!initialised) return;
    for (int s = 0; s < kSlots; ++s) {
        slots[s].state = kSlotOff;
        envelopeRecord.slot = s;
        for (Envelope& e : envelopes) e.message(&envelopeRecord, kEnvIdle);
    }
    clearDelayLines();
    // The whole capacity is zeroed; the fill stays as it was.
    for (float* q : masterQueue) std::memset(q, 0, sizeof(float) * queueCapacity);
    for (int p = 0; p < kPartQueues; ++p) std::memset(partQueue[p], 0, sizeof(float) * queueCapacity);
}

void SynthEngine::freeBuffers() {
    initialised = 0;
    oscillator1.free();
    oscillator2.free();
    for (Envelope& e : envelopes) e.free();
    mixer.free();
    vca1.free();
    vca2.free();
    modAmounts.free();
    tables.release();
    for (float*& q : masterQueue) {
        delete[] q;
        q = nullptr;
    }
    for (float*& q : partQueue) {
        delete[] q;
        q = nullptr;
    }
    for (float*& w : workBuffer) {
        delete[] w;
        w = nullptr;
    }
    slotValues.release();
    globalValues.release();
    for (int s = 0; s < kSlots; ++s) lineOutputs[0][s] = lineOutputs[1][s] = nullptr;
    oscillatorRecord.sineTable = nullptr;
    oscillatorRecord.semitoneTable = nullptr;
}

int SynthEngine::getPartActivity(int part) {
    if (!initialised || part < 0 || part >= kParts) return 0;
    int sum = 0;
    for (int k = 0; k < clampInt(voicesPerPart, 0, 4); ++k) sum += gates[part + kParts * k].gate;
    return sum;
}

float* SynthEngine::outputQueue(int channel) {
    if (!initialised) return nullptr;
    if (channel == 0 || channel == 1) return masterQueue[channel];
    if (channel >= 2 && channel < kQueueChannels) return partQueue[channel - 2];
    return nullptr;
}

SignalPort* SynthEngine::valuePort(int source, int slot) {
    if (!initialised) return nullptr;
    // Sources 19-28 in order: a per-slot value, or a global one (-1 - its index).
    static const int kValueOf[] = {kSlotKeyTracking, kSlotBrillianceScaling, kSlotLevelScaling,
                                   kSlotGate,        -1 - kGlobalModWheel,   kSlotVelocity,
                                   kSlotPressure,    kSlotPitchBend,         -1 - kGlobalExpression,
                                   -1 - kGlobalHighestPressure};
    if (source < kSourceKeyTracking || source > kSourceHighestPressure) return nullptr;
    const int value = kValueOf[source - kSourceKeyTracking];
    if (value < 0) return globalValues.port(-1 - value);
    return slotValues.port(value * kSlots + clampSlot(slot));
}

SignalPort* SynthEngine::lineOutput(int line, int slot) {
    if (!initialised) return nullptr;
    return lineOutputs[line == 1 ? 1 : 0][clampSlot(slot)];
}

// ---------------------------------------------------------------- placeholders
// Each function below stands in for one call into a module that is not in the engine
// yet. The module plugs in here: the function then fills the module's message record
// or calls its port or process operation. Until then an output is absent (null), an
// input or a message is dropped, and a signal passes through unchanged.

// Placeholder: filter f's takeOutput (RouteSource 6-9).
SignalPort* SynthEngine::takeFilterOutput(int filter, int slot) { return nullptr; }
// Placeholder: filter f's releaseOutput.
void SynthEngine::releaseFilterOutput(int filter, int slot) {}
// Placeholder: filter f's connectInput (kinds 16-23, RouteDestination 15-46).
int SynthEngine::connectFilterInput(int filter, int kind, SignalPort* port, int slot, int tag) { return 0; }
// Placeholder: filter f's releaseInput.
void SynthEngine::releaseFilterInput(int filter, int kind, int slot, int tag) {}
// Placeholder: filter message 3 (type 5 high-pass, 6 low-pass), sent every block.
void SynthEngine::filterSettings(int filter, int slot, float cutoff, float resonance, int type) {}
// Placeholder: filter message 4, the voice state.
void SynthEngine::filterVoiceState(int filter, int slot, int state) {}
// Placeholder: filter message 5, after-touch and initial brilliance depths of a slot.
void SynthEngine::filterBrillianceDepths(int filter, int slot, float afterTouchDepth, float initialDepth) {}
// Placeholder: filter message 6, module-wide vibrato depth and touch amount.
void SynthEngine::filterVibrato(int filter, float depth, float touchAmount) {}
// Placeholder: filter message 8, the global brilliance and resonance offsets.
void SynthEngine::filterOffsets(int filter, float brilliance, float resonance) {}
// Placeholder: filter message 9, 2 or 4 poles of a slot.
void SynthEngine::filterPoles(int filter, int slot, int fourPoles) {}
// Placeholder: process of filters 0-3 (rendering step 9, after the modulation amounts).
void SynthEngine::processFilters() {}

// Placeholder: per-voice LFO 1 or 2's takeOutput (RouteSource 29, 30).
SignalPort* SynthEngine::takeVoiceLfoOutput(int lfo, int slot) { return nullptr; }
// Placeholder: per-voice LFO releaseOutput.
void SynthEngine::releaseVoiceLfoOutput(int lfo, int slot) {}
// Placeholder: per-voice LFO connectInput (kind 80 rate, 81 amplitude, 83 trigger).
int SynthEngine::connectVoiceLfoInput(int lfo, int kind, SignalPort* port, int slot, int tag) { return 0; }
// Placeholder: per-voice LFO releaseInput.
void SynthEngine::releaseVoiceLfoInput(int lfo, int kind, int slot, int tag) {}
// Placeholder: per-voice LFO message 1 (lfoWave, lfoRate, tempoSync, tempo, tempoDivision).
void SynthEngine::voiceLfoSettings(int lfo, int slot, const EngineCommand& record) {}
// Placeholder: per-voice LFO setModeLink (leader >= 0) or clearModeLink (leader < 0).
void SynthEngine::voiceLfoModeLink(int lfo, int slot, int leader) {}
// Placeholder: the vibrato LFO's takeOutput (RouteSource 31).
SignalPort* SynthEngine::takeVibratoLfoOutput() { return nullptr; }
// Placeholder: the vibrato LFO's releaseOutput.
void SynthEngine::releaseVibratoLfoOutput() {}
// Placeholder: the vibrato LFO's rate input (kind 80, RouteDestination 71).
int SynthEngine::connectVibratoLfoInput(SignalPort* port, int tag) { return 0; }
// Placeholder: the vibrato LFO's releaseInput.
void SynthEngine::releaseVibratoLfoInput(int tag) {}
// Placeholder: vibrato LFO message 1, waveform and rate.
void SynthEngine::vibratoLfoSettings(int wave, float rate) {}
// Placeholder: vibrato LFO message 3, the rate-modulation amount.
void SynthEngine::vibratoLfoTouch(float amount) {}
// Placeholder: process of the vibrato LFO and per-voice LFOs 1 and 2 (rendering step 9, first).
void SynthEngine::processLfos() {}
// Placeholder: clearRetrigger of per-voice LFOs 1, 2 and the vibrato LFO (end of a block).
void SynthEngine::clearLfoRetrigger() {}

// Placeholder: the pedal processor on one voice (mode 0 volume, 1 wah, 2 both), in place.
void SynthEngine::processPedal(int mode, int slot, float* buffer, float pedal) {}

// Placeholder: message 34 to ring modulators 0-3.
void SynthEngine::ringModulatorSettings(float baseFrequency, float mix, float attack, float decay, float depth) {}
// Placeholder: message 35 (gate on) or 36 (gate off) to ring modulators 0-3.
void SynthEngine::ringModulatorGate(bool on) {}
// Placeholder: ring modulator index (0-3) processing a bus half in place.
void SynthEngine::processRingModulator(int index, float* buffer) {}

// Placeholder: chorus message 25 with depth, speed, type word and the constant 25.0.
void SynthEngine::chorusSettings(float depth, float speed, int type) {}
// Placeholder: the chorus processing the effects bus in place.
void SynthEngine::processChorus(float* left, float* right) {}
// Placeholder: delay message 22 (timeMs, tempoDivision, level as feedback, tempoSync,
// tempo, valueA as wet amount).
void SynthEngine::delaySettings(const EngineCommand& record) {}
// Placeholder: the delay processing the effects bus in place, after the chorus.
void SynthEngine::processDelay(float* left, float* right) {}
// Placeholder: the delay's clear (both delay lines).
void SynthEngine::clearDelayLines() {}

