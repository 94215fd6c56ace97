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
const int kFilterInitKind = 2;
const int kLfoInitKind = 5;
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
    std::memset(&filterRecord, 0, sizeof filterRecord);
    std::memset(&envelopeRecord, 0, sizeof envelopeRecord);
    std::memset(&mixerRecord, 0, sizeof mixerRecord);
    std::memset(&vcaRecord, 0, sizeof vcaRecord);
    std::memset(&voiceLfoRecord, 0, sizeof voiceLfoRecord);
    std::memset(&vibratoLfoRecord, 0, sizeof vibratoLfoRecord);
    std::memset(&modAmountRecord, 0, sizeof modAmountRecord);
    std::memset(&ringModulatorRecord, 0, sizeof ringModulatorRecord);
    std::memset(&chorusRecord, 0, sizeof chorusRecord);
    std::memset(&delayRecord, 0, sizeof delayRecord);
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

    filterRecord.voiceCount = kSlots;
    filterRecord.blockLength = blockLength;
    filterRecord.historyLength = historyLength;
    filterRecord.tangentTable = tables.tangents();
    filterRecord.tangentSize = EngineTables::kTangentSize;
    filterRecord.tangentStart = EngineTables::kTangentRangeStart;
    filterRecord.tangentEnd = EngineTables::kTangentRangeEnd;
    filterRecord.powerTable = tables.powersOf256();
    filterRecord.powerSize = EngineTables::kPowerSize;
    filterRecord.powerStart = EngineTables::kPowerRangeStart;
    filterRecord.powerEnd = EngineTables::kPowerRangeEnd;
    for (Filter& f : filters)
        if (f.init(&filterRecord, kFilterInitKind, sampleRate)) return 1;

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

    vibratoLfoRecord.blockLength = blockLength;
    vibratoLfoRecord.historyLength = historyLength;
    vibratoLfoRecord.sineSize = EngineTables::kSineSize + 1;
    vibratoLfoRecord.sineTable = tables.sines();
    if (vibrato.init(&vibratoLfoRecord, kLfoInitKind, sampleRate)) return 1;
    voiceLfoRecord.blockLength = blockLength;
    voiceLfoRecord.historyLength = historyLength;
    voiceLfoRecord.voiceCount = kSlots;
    voiceLfoRecord.sineSize = EngineTables::kSineSize + 1;
    voiceLfoRecord.sineTable = tables.sines();
    for (VoiceLfo& lfo : voiceLfos)
        if (lfo.init(&voiceLfoRecord, kLfoInitKind, sampleRate)) return 1;

    mixerRecord.voiceCount = kSlots;
    mixerRecord.blockLength = blockLength;
    mixerRecord.historyLength = historyLength;
    if (mixer.init(&mixerRecord, MixerBank::kInitKind, sampleRate)) return 1;

    // The ring modulators, the delay and the pedal processor start at 44.1 kHz like the
    // oscillators; the chorus at the engine's rate. Its switch starts off (setConstants).
    ringModulatorRecord.sampleRate = kDefaultRate;
    ringModulatorRecord.blockLength = blockLength;
    ringModulatorRecord.sineTable = tables.sines();
    ringModulatorRecord.sineSize = EngineTables::kSineSize;
    for (RingModulator& r : ringModulators)
        if (r.init(&ringModulatorRecord)) return 1;
    chorusRecord.sampleRate = sampleRate;
    chorusRecord.blockLength = blockLength;
    chorusRecord.sineSize = EngineTables::kSineSize;
    chorusRecord.sineTable = tables.sines();
    if (chorus.init(&chorusRecord)) return 1;
    if (delay.init(kDefaultRate)) return 1;
    if (pedal.init(kDefaultRate)) return 1;

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
    filterRecord.slot = slot;
    filterRecord.state = state;
    for (Filter& f : filters) f.message(&filterRecord, kFilterMsgState);
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

// Every voice goes off and the voice modules run one block in that state: their outputs
// and the filters' histories are cleared, and a filter sees the slot off before its next
// note, so that the note starts from its own cutoff rather than gliding from the last.
void SynthEngine::settleVoicesOff() {
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
}

// The effects' signal memories: delay lines, rings and filter histories, not their settings.
void SynthEngine::clearEffects() {
    chorus.clear();
    delay.clear();
    pedal.clear();
    for (RingModulator& r : ringModulators) r.clear();
}

void SynthEngine::setSampleRate(float rate) {
    sampleRate = acceptedRate(rate, sampleRate);
    samplesPerMs = sampleRate * 0.001f;
    if (!initialised) return;

    settleVoicesOff();
    for (Filter& f : filters) f.setSampleRate(sampleRate);
    oscillator1.setSampleRate(sampleRate);
    oscillator2.setSampleRate(sampleRate);
    for (Envelope& e : envelopes) e.setSampleRate(sampleRate);
    vca1.setSampleRate(sampleRate);
    vca2.setSampleRate(sampleRate);
    mixer.setSampleRate(sampleRate);
    modAmounts.setSampleRate(sampleRate);
    for (RingModulator& r : ringModulators) r.setSampleRate(sampleRate);
    delay.setSampleRate(sampleRate);
    chorus.setSampleRate(sampleRate);
    pedal.setSampleRate(sampleRate);
    for (VoiceLfo& lfo : voiceLfos) lfo.setSampleRate(sampleRate);
    vibrato.setSampleRate(sampleRate);

    blockDurationMs = static_cast<float>(blockLength) / samplesPerMs;
    arpeggiator.setBlockTime(blockDurationMs);
}

// Mended: besides the delay lines, every signal memory is emptied (the other effects, the
// filters' histories, the voice modules' outputs), so that nothing of the old sound, and no
// value that is no number, survives a preset load.
void SynthEngine::reset() {
    if (!initialised) return;
    settleVoicesOff();
    clearEffects();
    // The whole capacity is zeroed; the fill stays as it was.
    for (float* q : masterQueue) std::memset(q, 0, sizeof(float) * queueCapacity);
    for (int p = 0; p < kPartQueues; ++p) std::memset(partQueue[p], 0, sizeof(float) * queueCapacity);
}

void SynthEngine::freeBuffers() {
    initialised = 0;
    oscillator1.free();
    oscillator2.free();
    for (Filter& f : filters) f.free();
    for (Envelope& e : envelopes) e.free();
    mixer.free();
    vca1.free();
    vca2.free();
    for (VoiceLfo& lfo : voiceLfos) lfo.free();
    vibrato.free();
    modAmounts.free();
    chorus.free();
    delay.free();
    pedal.free();
    for (RingModulator& r : ringModulators) r.free();
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
    filterRecord.tangentTable = filterRecord.powerTable = nullptr;
    voiceLfoRecord.sineTable = nullptr;
    vibratoLfoRecord.sineTable = nullptr;
    ringModulatorRecord.sineTable = nullptr;
    chorusRecord.sineTable = nullptr;
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

// ---------------------------------------------------------------- module calls

void SynthEngine::processLfos() {
    vibrato.process();
    for (VoiceLfo& lfo : voiceLfos) lfo.process();
}

void SynthEngine::processFilters() {
    for (Filter& f : filters) f.process();
}

// Messages 35 (gate) and 36 (release) to the four ring modulators.
void SynthEngine::ringModulatorGate(bool on) {
    const int gate = on ? kRingModGateOn : kRingModGateOff;
    for (RingModulator& r : ringModulators) r.message(&ringModulatorRecord, gate);
}
