// The synthesis engine that the plug-in object holds as a member: the shared tables,
// the modules that serve the 32 voice slots, the per-voice and global value ports, the
// work buffers and the output queues.
//
// Slot s belongs to part s mod 8 and is that part's voice s div 8. Commands, voice
// assignment, patch routing and block rendering are completed by the code that builds
// on this container; the places that wait for them are marked "Placeholder".
#pragma once

#include "engine/engine_command.h"
#include "engine/engine_math.h"
#include "engine/engine_tables.h"
#include "engine/envelope.h"
#include "engine/mixer_bank.h"
#include "engine/mod_amount_bank.h"
#include "engine/oscillator.h"
#include "engine/port_buffers.h"
#include "engine/signal_port.h"
#include "engine/vca.h"

#ifndef HALVORN_OUTPUTS
#define HALVORN_OUTPUTS 10
#endif
static_assert(HALVORN_OUTPUTS == 10 || HALVORN_OUTPUTS == 2, "HALVORN_OUTPUTS is 10 or 2");

// The engine's own value sources (their RouteSource numbers).
enum EngineValueSource {
    kSourceKeyTracking = 19,
    kSourceBrillianceScaling = 20,
    kSourceLevelScaling = 21,
    kSourceGate = 22,
    kSourceModWheel = 23,
    kSourceVelocity = 24,
    kSourcePressure = 25,
    kSourcePitchBend = 26,
    kSourceExpression = 27,
    kSourceHighestPressure = 28,
};

// What the engine keeps per voice slot besides the modules' own state.
struct VoiceSlot {
    int state;          // 16 sounding, 18 off
    int previousState;  // state of the previous block
    int note;           // held: the note; released: minus the note; -72: never played
    float velocityValue;  // velocity / 127 of the note that started the slot
    // Pitch factors of oscillators 1 and 2; product = all of them x part tune x global tune.
    float accordRatio[2];
    float detune[2];
    float lineTransposition[2];
    float lineDetune[2];
    float rangeRatio[2];
    float pitchProduct[2];
    float partTune;      // part tune spread factor
    float cutoffSpread;  // factor on every filter cutoff of the slot
    int fixedPitch[2];   // 1: the oscillator plays the reference pitch x its product
    float pulseWidth[2];
    int syncMode;
    float cutoff[4];     // Hz: filters 0, 1 high-pass, 2, 3 low-pass
    float resonance[4];  // Q
    float pan;           // 0..1
    float volume;        // part volume
    float lineMix;       // share of line 1
    int portamento;      // switches
    int ringModulator;
    int effects;
};

class SynthEngine {
public:
    static constexpr int kSlots = engine::kVoiceSlots;
    static constexpr int kParts = 8;
    static constexpr int kEnvelopes = 4;
#if HALVORN_OUTPUTS == 10
    static constexpr int kPartQueues = 8;
#else
    static constexpr int kPartQueues = 0;
#endif
    static constexpr int kQueueChannels = 2 + kPartQueues;

    SynthEngine();
    ~SynthEngine();

    int init(EngineCommand* record);
    void setSampleRate(float rate);
    void reset();
    void freeBuffers();
    int getPartActivity(int part);
    int command(EngineCommand* record, int code);

    // Output writers: hand out at most *frames samples of the output queue at offset,
    // rendering one more block when the queue holds fewer. *frames returns the count
    // given, *more 1 while samples are left in the queue. Placeholder until block
    // rendering exists: they render silence on the 44-sample grid.
    int renderReplacing(float** outputs, int offset, int* frames, int* more);
    int renderAccumulating(float** outputs, int offset, int* frames, int* more);

    int isInitialised() const { return initialised; }
    float getSampleRate() const { return sampleRate; }
    float getSamplesPerMs() const { return samplesPerMs; }
    int getBlockLength() const { return blockLength; }
    int getHistoryLength() const { return historyLength; }
    int getPortLength() const { return portLength; }
    int getChannelCount() const { return channelCount; }
    int getQueueFill() const { return queueFill; }
    int getQueueCapacity() const { return queueCapacity; }
    int getVoicesPerPart() const { return voicesPerPart; }
    int getGroupingWindow() const { return groupingWindow; }
    float getBlockDurationMs() const { return blockDurationMs; }

    const EngineTables& getTables() const { return tables; }
    const VoiceSlot& getSlot(int slot) const { return slots[engine::clampSlot(slot)]; }

    // Queue channel 0 master left, 1 master right, 2 + p part p (10-output build); null
    // for any other channel and before init.
    float* outputQueue(int channel);
    // The port of one of the engine's value sources (EngineValueSource) for a slot; the
    // global ones are the same for every slot. Null before init and for other sources.
    SignalPort* valuePort(int source, int slot);
    // The line signals that rendering mixes: VCA 1 (line 0) and VCA 2 (line 1) of a slot.
    SignalPort* lineOutput(int line, int slot);

    Oscillator& oscillator(int number) { return number == 2 ? oscillator2 : oscillator1; }
    Envelope& envelope(int index) { return envelopes[engine::clampInt(index, 0, kEnvelopes - 1)]; }
    MixerBank& mixerBank() { return mixer; }
    Vca& vca(int number) { return number == 2 ? vca2 : vca1; }
    ModAmountBank& modAmountBank() { return modAmounts; }

private:
    enum WorkBuffer {
        kVoiceScratch,
        kRingBusLeft,
        kRingBusRight,
        kRingEffectsBusLeft,
        kRingEffectsBusRight,
        kEffectsBusLeft,
        kEffectsBusRight,
        kWorkBuffers,
    };
    enum SlotValue {
        kSlotKeyTracking,
        kSlotBrillianceScaling,
        kSlotLevelScaling,
        kSlotGate,
        kSlotVelocity,
        kSlotPressure,
        kSlotPitchBend,
        kSlotValues,
    };
    enum GlobalValue { kGlobalModWheel, kGlobalExpression, kGlobalHighestPressure, kGlobalValues };

    static float acceptedRate(float rate, float fallback);
    int failInit();
    int initModules();
    int allocateQueues();
    int allocateValuePorts();
    void setSlotDefaults(VoiceSlot& slot);
    void setConstants();
    void computeSmoothingCoefficients();
    void setMixerDefaults();
    void rememberLineOutputs();
    void sendVoiceState(int slot, int state);
    float smoothingCoefficient(float timeMs) const;

    // Placeholders for the code that builds on this container.
    void clearRoutingRow(int slot);
    void setZoneDefaults();
    void setArpeggiatorDefaults();
    void makeDefaultConnections();
    void clearDelayLines();

    // Modules, in construction order. Filters 0-3, the per-voice and vibrato LFOs, the
    // chorus, the delay, the pedal processor and ring modulators 0-3 join them later.
    Oscillator oscillator1;
    Oscillator oscillator2;
    Envelope envelopes[kEnvelopes];  // 0 line-1 filter, 1 line-1 amplifier, 2 line-2 filter, 3 line-2 amplifier
    MixerBank mixer;
    Vca vca1;
    Vca vca2;
    ModAmountBank modAmounts;

    // One message record per module type, reused for every message.
    OscillatorRecord oscillatorRecord;
    EnvelopeRecord envelopeRecord;
    MixerRecord mixerRecord;
    VcaRecord vcaRecord;
    ModAmountRecord modAmountRecord;

    EngineTables tables;

    int initialised;
    int queueFill;      // samples held in the output queue
    int queueCapacity;  // 2 x L
    float sampleRate;    // Hz
    float samplesPerMs;  // sampleRate x 0.001
    int blockLength;     // L, from oscillator 1
    int historyLength;   // M, from oscillator 1
    int channelCount;    // the right master channel is written only when it is 2
    int portLength;      // M + L
    float blockDurationMs;  // L / samplesPerMs, for the arpeggiator

    float* masterQueue[2];
    float* partQueue[kPartQueues > 0 ? kPartQueues : 1];
    float* workBuffer[kWorkBuffers];
    PortBuffers slotValues;    // kSlotValues x 32 buffers of M + L floats
    PortBuffers globalValues;  // kGlobalValues buffers of M + L floats
    GateRecord gates[kSlots];
    SignalPort* lineOutputs[2][kSlots];

    VoiceSlot slots[kSlots];

    float referenceFrequency;  // Hz: the pitch of an oscillator whose fixed-pitch switch is set
    float globalTune;
    float keyScaling[4];  // brilliance below/above note 64, level below/above
    float pitchBend, pitchBendTarget;
    float modWheel, modWheelTarget;
    float expression, expressionTarget;
    float glideCoefficient;
    float glideRate;  // blocks for a 127-semitone sweep
    float touchAmount;
    int glissando;
    float masterVolume;
    int sustainPedal;
    int pedalWords[2];
    int voicesPerPart;  // 0..4
    double randomValue;   // logistic generator state
    double randomFactor;  // r of x <- 4 r x (1 - x)
    // One-pole steps per block for the controllers, from kCmdSampleRate.
    float bendSmallStepCoefficient;  // 0.8 ms
    float bendLargeStepCoefficient;  // 0.02 ms, for steps above 0.5
    float pressureCoefficient;       // 3 ms
    float pedalCoefficient;          // 3 ms: modulation wheel and expression
    float gainCoefficient;           // 10 ms
    int groupingWindow;  // blocks of the 200 ms note-grouping window, fixed at init
};
