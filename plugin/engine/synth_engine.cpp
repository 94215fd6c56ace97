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
    for (int s = 0; s < kSlots; ++s) {
        setSlotDefaults(slots[s]);
        clearRoutingRow(s);
    }

    setConstants();
    computeSmoothingCoefficients();
    groupingWindow = static_cast<int>(samplesPerMs * 200.f / static_cast<float>(blockLength));
    setZoneDefaults();
    setArpeggiatorDefaults();
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
}

void SynthEngine::setConstants() {
    referenceFrequency = 261.62f;
    globalTune = 1.f;
    for (float& k : keyScaling) k = 0.f;
    pitchBend = pitchBendTarget = 0.f;
    modWheel = modWheelTarget = 0.f;
    expression = expressionTarget = 0.f;
    glideCoefficient = 1.f;
    glideRate = 1.f;
    touchAmount = 0.f;
    glissando = 0;
    masterVolume = 1.f;
    sustainPedal = 0;
    pedalWords[0] = pedalWords[1] = 0;
    voicesPerPart = 1;
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

// Placeholder: the routing table's row of the slot (every entry -1) is emptied here
// once patch routing exists.
void SynthEngine::clearRoutingRow(int slot) {}

// Placeholder: the four keyboard zones take their defaults here once voice assignment exists.
void SynthEngine::setZoneDefaults() {}

// Placeholder: the arpeggiator starts stopped with its defaults here once it exists.
void SynthEngine::setArpeggiatorDefaults() {}

// Placeholder: the default connections of every part (oscillators into the VCAs, the
// gate into the envelopes, envelopes into filters and VCAs, the value ports into their
// inputs, then highest pressure into the vibrato rate for part 0) are made here once
// patch routing exists.
void SynthEngine::makeDefaultConnections() {}

// Placeholder: the delay lines are cleared here once the delay exists.
void SynthEngine::clearDelayLines() {}

void SynthEngine::sendVoiceState(int slot, int state) {
    vcaRecord.slot = slot;
    vcaRecord.state = state;
    vca1.message(&vcaRecord, kVcaVoiceState);
    vca2.message(&vcaRecord, kVcaVoiceState);
    // Placeholder: filter message 4 with the state goes to filters 0-3 here once they exist.
    const VoiceSlot& v = slots[slot];
    for (int o = 0; o < 2; ++o) {
        oscillatorRecord.slot = slot;
        oscillatorRecord.frequency = v.pitchProduct[o] * referenceFrequency;
        oscillatorRecord.state = state;
        oscillatorRecord.width = v.pulseWidth[o];
        oscillatorRecord.syncMode = o == 0 ? v.syncMode : 0;
        oscillator(o + 1).message(&oscillatorRecord, kOscillatorVoiceMessage);
    }
    mixerRecord.slot = slot;
    mixerRecord.state = state;
    mixer.message(&mixerRecord, kMixerVoiceState);
    modAmountRecord.slot = slot;
    modAmountRecord.state = state;
    modAmounts.message(&modAmountRecord, kModAmountVoiceState);
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
    }
    for (Envelope& e : envelopes) e.process();
    oscillator1.process();
    oscillator2.process();
    // Placeholder: filters 0-3, the per-voice LFOs and the vibrato LFO process here once they exist.
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

int SynthEngine::command(EngineCommand* record, int code) {
    if (!record) return 0;
    switch (code) {
    case kCmdSampleRate:
        sampleRate = acceptedRate(record->sampleRate, sampleRate);
        samplesPerMs = sampleRate * 0.001f;
        computeSmoothingCoefficients();
        setSampleRate(sampleRate);
        break;
    default:
        // Placeholder: the other command codes are applied here once the command set exists.
        break;
    }
    return 0;
}

static int placeholderWrite(float** outputs, int offset, int* frames, int* more, int* fill, int block, bool replace,
                            int channels) {
    int wanted = frames && *frames > 0 ? *frames : 0;
    if (*fill < wanted) *fill += block;
    int n = wanted < *fill ? wanted : *fill;
    if (outputs && replace)
        for (int c = 0; c < channels; c++)
            if (outputs[c])
                for (int i = 0; i < n; i++) outputs[c][offset + i] = 0.f;
    *fill -= n;
    if (frames) *frames = n;
    if (more) *more = *fill > 0;
    return 0;
}

int SynthEngine::renderReplacing(float** outputs, int offset, int* frames, int* more) {
    return placeholderWrite(outputs, offset, frames, more, &queueFill, blockLength > 0 ? blockLength : 44, true,
                            HALVORN_OUTPUTS);
}

int SynthEngine::renderAccumulating(float** outputs, int offset, int* frames, int* more) {
    return placeholderWrite(outputs, offset, frames, more, &queueFill, blockLength > 0 ? blockLength : 44, false,
                            HALVORN_OUTPUTS);
}
