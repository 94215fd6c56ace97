// The synthesis engine that the plug-in object holds as a member: the shared tables,
// the modules that serve the 32 voice slots, the per-voice and global value ports, the
// work buffers and the output queues.
//
// Slot s belongs to part s mod 8 and is that part's voice s div 8. The container lives
// in synth_engine.cpp, commands in engine_commands.cpp, voices and zones in
// engine_voices.cpp, patch routing in engine_routing.cpp and block rendering in
// engine_render.cpp, the arpeggiator's side in engine_arpeggiator.cpp.
#pragma once

#include "engine/arpeggiator.h"
#include "engine/chorus.h"
#include "engine/delay.h"
#include "engine/engine_command.h"
#include "engine/engine_math.h"
#include "engine/engine_tables.h"
#include "engine/envelope.h"
#include "engine/filter.h"
#include "engine/mixer_bank.h"
#include "engine/mod_amount_bank.h"
#include "engine/oscillator.h"
#include "engine/pedal_processor.h"
#include "engine/port_buffers.h"
#include "engine/ring_modulator.h"
#include "engine/signal_port.h"
#include "engine/vca.h"
#include "engine/vibrato_lfo.h"
#include "engine/voice_lfo.h"

#ifndef HALVORN_OUTPUTS
#define HALVORN_OUTPUTS 10
#endif
static_assert(HALVORN_OUTPUTS == 10 || HALVORN_OUTPUTS == 2, "HALVORN_OUTPUTS is 10 or 2");

// What a patch connection reads: module outputs and the engine's own value ports.
enum RouteSource {
    kSrcOsc1Mix = 0,
    kSrcOsc1Sine = 1,
    kSrcOsc1Sync = 2,
    kSrcOsc2Mix = 3,
    kSrcOsc2Sine = 4,
    kSrcOsc2Sync = 5,
    kSrcFilter0 = 6,  // 6-9: filters 0-3
    kSrcVca1 = 10,
    kSrcNone = 11,      // takes a table entry, attaches no signal
    kSrcEnvelope0 = 12,  // 12-15: envelopes 0-3
    kSrcMixer0 = 16,     // 16, 17, 18: mixer channels 0, 2, 4
    kSrcKeyTracking = 19,
    kSrcBrillianceScaling = 20,
    kSrcLevelScaling = 21,
    kSrcGate = 22,
    kSrcModWheel = 23,
    kSrcVelocity = 24,
    kSrcPressure = 25,
    kSrcPitchBend = 26,
    kSrcExpression = 27,
    kSrcHighestPressure = 28,
    kSrcVoiceLfo1 = 29,
    kSrcVoiceLfo2 = 30,
    kSrcVibratoLfo = 31,
    kSrcModAmount0 = 32,  // 32-41: modulation-amount channels 0-9
    kRouteSources = 42,
};

// What a patch connection feeds: one input of a module, for the four slots of a part.
enum RouteDestination {
    kDstOsc1Vibrato = 0,  // 0-6 oscillator 1: vibrato, bend, pitch, touch, PWM LFO, width, noise
    kDstOsc1Bend = 1,
    kDstOsc1Touch = 3,
    kDstOsc1Sync = 7,
    kDstOsc2Vibrato = 8,  // 8-14 as 0-6 for oscillator 2
    kDstFilter0 = 15,     // 15-46: eight inputs of each of filters 0-3
    kDstFilterAudio = 22,  // filter 0's audio input; + 8 per filter
    kDstMixerInput0 = 47,  // 47-52: mixer channels 0-5
    kDstMixerLevel0 = 53,  // 53-56: level lists of mixer channels 0-3
    kDstVca1Audio = 57,    // 57-63 VCA 1: audio, envelope, vibrato, key scaling, touch, velocity, level list
    kDstVca1Envelope = 58,
    kDstVca2Audio = 64,  // 64-70 as 57-63 for VCA 2
    kDstVibratoRate = 71,
    kDstLfoRate1 = 72,  // 72, 73
    kDstLfoAmplitude1 = 74,  // 74, 75
    kDstLfoTrigger1 = 76,    // 76, 77
    kDstEnvelopeGate0 = 78,  // 78-81
    kDstEnvelopeModulation = 82,  // 82-101: five kinds x four envelopes
    kDstModAmount0 = 102,         // 102-111
    kRouteDestinations = 112,
};

// The engine's own value sources (their RouteSource numbers).
enum EngineValueSource {
    kSourceKeyTracking = kSrcKeyTracking,
    kSourceBrillianceScaling = kSrcBrillianceScaling,
    kSourceLevelScaling = kSrcLevelScaling,
    kSourceGate = kSrcGate,
    kSourceModWheel = kSrcModWheel,
    kSourceVelocity = kSrcVelocity,
    kSourcePressure = kSrcPressure,
    kSourcePitchBend = kSrcPitchBend,
    kSourceExpression = kSrcExpression,
    kSourceHighestPressure = kSrcHighestPressure,
};

// Voice-assignment modes of a keyboard zone.
enum AssignMode {
    kAssignRotateWide = 0,
    kAssignRotate = 1,
    kAssignReassign = 2,
    kAssignReset = 3,
    kAssignUnisonLow = 4,
    kAssignUnisonHigh = 5,
    kAssignUnisonLast = 6,
    kAssignRandom = 7,
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
    float noteFrequency;     // Hz, of the note
    float glidePosition;     // fractional note the pitch stands on
    float currentFrequency;  // Hz, after the touch offset
    float touchFactor;       // pitch factor of the next block; 0 once applied
    float touchRise;         // per-block step back toward the note's pitch
    float pressure;          // aftertouch 0..1
    float smoothedPressure;
    float lineGain[2];  // smoothed gains of line 1 and line 2
    float panGain[2];   // smoothed left and right gains
};

// One of the four keyboard zones: which notes reach which parts, and how they are assigned.
struct KeyboardZone {
    static constexpr int kHeldNotes = 128;
    int arpeggiatorSwitch;
    int channel;  // 0-15, 16 = every channel
    int lowKey;
    int highKey;
    int mode;  // AssignMode
    int partCount;
    int parts[8];  // ascending; -1 past partCount
    int rotation;  // index into parts of the part that took the last note
    int held[kHeldNotes];  // notes in order of arrival; -1 free
    int heldCount;
    int voiceCount;    // voices started on a free slot and not yet released
    int noteCounter;   // note-ons minus note-offs, never below 0
    int groupCounter;  // blocks since the current note group began
    int lastNote;      // first note of the current group
};

// One note event waiting for the next block.
struct NoteRingEntry {
    int note;  // note-on: the note; note-off: minus the note; kReleaseAllNotes
    int channel;
    int velocity;
};

class SynthEngine {
public:
    static constexpr int kSlots = engine::kVoiceSlots;
    static constexpr int kParts = 8;
    static constexpr int kLayers = 4;
    static constexpr int kEnvelopes = 4;
    static constexpr int kFilters = 4;  // 0, 1 high-pass of lines 1, 2; 2, 3 low-pass of lines 1, 2
    static constexpr int kVoiceLfos = 2;
    static constexpr int kRingModulators = 4;
    static constexpr int kZones = 4;
    static constexpr int kFanIn = 6;  // entries of a summing input
    static constexpr int kNoteRingSize = 64;
    // The ring's code for "release every note": a note-off stores minus its note, so -1
    // would be key 1's note-off.
    static constexpr int kReleaseAllNotes = -2147483647 - 1;
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

    // Output writers: hand out at most *frames samples from offset on (rendering at most
    // one block first); *frames becomes the count given, *more 1 while samples stay
    // queued. outputs holds kQueueChannels channel pointers; a null one is skipped.
    int renderReplacing(float** outputs, int offset, int* frames, int* more);
    int renderAccumulating(float** outputs, int offset, int* frames, int* more);
    // One block of L samples at index queueFill of every queue; the writers count it.
    void renderBlock();

    // Patch routing, per part (its slots part + 8k).
    int connect(int source, int destination, int part);
    void disconnect(int destination, int source, int part);
    SignalPort* sourceBuffer(int source, int slot);
    void releaseSource(int source, int slot);
    int connectInput(int destination, SignalPort* port, int slot, int tag);
    void releaseInput(int destination, int slot, int tag);
    static int inputFanIn(int destination);
    // The routing table entry: a RouteSource or -1; -1 for anything outside the table.
    int routeEntry(int part, int destination, int entry) const;

    // Voices and zones.
    void noteOn(int channel, int note, int velocity);
    void noteOff(int channel, int note, int velocity);
    void assignVoice(int note, int velocity, int zone, int glideFrom);
    void releaseZoneNote(int note, int zone);
    void startVoice(int note, int slot, int fresh);
    void releaseVoice(int slot);
    void retuneVoice(int note, int slot);
    void applyKeyScaling(int note, int slot);

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
    float getGlobalTune() const { return globalTune; }
    float getMasterVolume() const { return masterVolume; }
    float getKeyScaling(int index) const { return keyScaling[engine::clampInt(index, 0, 3)]; }
    int getBendRange() const { return bendRange; }
    int getLastLayer(int part) const { return lastLayer[engine::clampInt(part, 0, kParts - 1)]; }

    const EngineTables& getTables() const { return tables; }
    const VoiceSlot& getSlot(int slot) const { return slots[engine::clampSlot(slot)]; }
    const KeyboardZone& getZone(int zone) const { return zones[engine::clampInt(zone, 0, kZones - 1)]; }
    const NoteRingEntry& noteRingEntry(int index) const { return noteRing[index & (kNoteRingSize - 1)]; }
    int getNoteRingWrite() const { return ringWrite; }
    int getNoteRingRead() const { return ringRead; }

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
    Filter& filter(int index) { return filters[engine::clampInt(index, 0, kFilters - 1)]; }
    VoiceLfo& voiceLfo(int number) { return number == 2 ? voiceLfos[1] : voiceLfos[0]; }
    VibratoLfo& vibratoLfo() { return vibrato; }
    int isChorusOn() const { return chorusOn; }
    int isDelayOn() const { return delayOn; }

private:
    enum WorkBuffer {
        kVoiceScratch,
        kPedalScratch1,  // 1-3: the other slots of a group that goes through the pedal together
        kPedalScratch2,
        kPedalScratch3,
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
    void sendOscillatorVoice(int slot, int state, const float frequency[2]);
    float smoothingCoefficient(float timeMs) const;
    void clearRoutingTable();
    void setZoneDefaults();
    void makeDefaultConnections();

    // Commands (engine_commands.cpp).
    void putNoteEvent(const EngineCommand& record);
    void emptyNoteRing();
    void drainNoteRing();
    void takeNoteRingEntry();
    double nextRandom();
    void recomputePitch(int slot);
    void partTune(int part, float amount);
    void setPartPan(int part, float pan);
    void perPartMessage(int code, const EngineCommand& record);
    void setZone(const EngineCommand& record);
    void setPartZone(int part, int zone);
    void setKeyScaling(const EngineCommand& record);
    void setAftertouch(int note, float pressure);
    void setSustainSetup(const EngineCommand& record);
    void setEnvelopeSustain(int flag);

    // Voices (engine_voices.cpp).
    bool zoneTakes(const KeyboardZone& zone, int channel, int note) const;
    bool isFree(int slot) const { return slots[slot].note < 0; }
    int heldIndex(const KeyboardZone& zone, int note) const;
    int removeHeld(KeyboardZone& zone, int note);
    int zoneSlotPlaying(const KeyboardZone& zone, int note, int layers) const;
    int pickRotate(KeyboardZone& zone, bool wide, int& fresh);
    int pickReset(KeyboardZone& zone, int& fresh);
    int pickReassign(KeyboardZone& zone, int note, int& fresh);
    int pickRandom(KeyboardZone& zone);
    int firstFreeLayerAfter(int part, int layers) const;
    void assignUnison(KeyboardZone& zone, int note, int velocity);
    void playSlot(int slot, int note, int velocity, int fresh);

    // Rendering (engine_render.cpp).
    int writeOutput(float** outputs, int offset, int* frames, int* more, bool accumulate);
    void smoothControllers();
    void updateSlot(int slot, bool& ringGate);
    float slotPitch(VoiceSlot& v);
    void mixSlot(int slot, bool& toRing, bool& toRingEffects);
    void mixSlots(bool& toRing, bool& toRingEffects);
    void mixLines(VoiceSlot& v, int slot, float* scratch);
    void sendToBus(VoiceSlot& v, int slot, const float* scratch, bool& toRing, bool& toRingEffects);
    int pedalMode() const;
    void slotBus(const VoiceSlot& v, float*& left, float*& right, bool& toRing, bool& toRingEffects);

    // Routing helpers (engine_routing.cpp).
    void undoEntry(int destination, int source, int part);

    // The modules that run in more than one place: every block and once more when the
    // voices settle in the off state.
    void processLfos();
    void processFilters();
    void settleVoicesOff();
    void clearEffects();
    void ringModulatorGate(bool on);

    // The arpeggiator reaches the zones, the voices and the ring modulators through these.
    void connectArpeggiator();
    static void arpReleaseZoneNote(void* engine, int zone, int note);
    static void arpAssignVoice(void* engine, int zone, int note, int velocity);
    static void arpRingModulatorGate(void* engine, int on);
    static double arpNextRandom(void* engine);
    static void arpEmptyNoteRing(void* engine);
    int arpeggiatorRuns() const { return arpeggiator.isRunning() ? 1 : 0; }
    bool arpeggiatorActive(int zone) const { return arpeggiator.isActive(zones[zone].arpeggiatorSwitch); }

    // Modules, in construction order (destroyed in the reverse order).
    Oscillator oscillator1;
    Oscillator oscillator2;
    Filter filters[kFilters];
    Envelope envelopes[kEnvelopes];  // 0 line-1 filter, 1 line-1 amplifier, 2 line-2 filter, 3 line-2 amplifier
    MixerBank mixer;
    Vca vca1;
    Vca vca2;
    VoiceLfo voiceLfos[kVoiceLfos];
    VibratoLfo vibrato;
    ModAmountBank modAmounts;
    Chorus chorus;
    Delay delay;
    PedalProcessor pedal;
    RingModulator ringModulators[kRingModulators];  // 0, 2 ring-and-effects bus; 1, 3 ring bus

    // One message record per module type, reused for every message.
    OscillatorRecord oscillatorRecord;
    FilterRecord filterRecord;
    EnvelopeRecord envelopeRecord;
    MixerRecord mixerRecord;
    VcaRecord vcaRecord;
    VoiceLfoRecord voiceLfoRecord;
    VibratoLfoRecord vibratoLfoRecord;
    ModAmountRecord modAmountRecord;
    RingModulatorRecord ringModulatorRecord;
    ChorusRecord chorusRecord;
    DelayRecord delayRecord;

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
    KeyboardZone zones[kZones];
    Arpeggiator arpeggiator;
    int lastLayer[kParts];  // layer last given a note, shared by all zones
    int routes[kParts][kRouteDestinations][kFanIn];  // RouteSource or -1

    NoteRingEntry noteRing[kNoteRingSize];
    int ringWrite;
    int ringRead;

    float referenceFrequency;  // Hz: the pitch of an oscillator whose fixed-pitch switch is set
    float globalTune;
    float keyScaling[4];  // brilliance below/above note 64, level below/above
    float pitchBend, pitchBendTarget;
    float modWheel, modWheelTarget;
    float expression, expressionTarget;
    float highestPressure;
    int glideOn;
    float glideRate;  // blocks for a 127-semitone sweep
    float touchAmount;
    int glissando;
    float masterVolume;
    int sustainPedal;     // pedal state: 1 down
    int sustainEnabled;   // the pedal holds the envelopes' releases
    int sustainMode;      // new notes cut the pedal-lengthened releases of their zone
    int pedalPortamento;  // the sustain pedal switches the glide instead
    int pedalWords[2];    // pedal processor: volume, wah
    int wheelToVibrato;
    int bendRange;  // semitones; -1 bend off
    int ringModulatorOn;
    int chorusOn;
    int delayOn;
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
