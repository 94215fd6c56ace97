// Envelope module serving all 32 voice slots: initial level -> attack level -> sustain
// level while the gate is held, back to the initial level after release. Each segment
// is an exponential approach sampled at the audio rate; settings and modulation inputs
// are read once per block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_math.h"
#include "engine/input_list.h"
#include "engine/port_buffers.h"
#include "engine/signal_port.h"

// The envelope record: twelve 32-bit words, for initialisation and messages alike.
struct EnvelopeRecord {
    int32_t slotCount;    // 0: 32
    int32_t blockLength;  // 1: L
    int32_t mode;         // 2: 1 filter envelope, 2 amplifier envelope
    int32_t historyLength;  // 3: M
    int32_t unused4;        // 4
    float attackTime;       // 5: ms
    float decayTime;        // 6: ms
    float releaseTime;      // 7: ms; the pedal release time for message 55
    float initialLevel;     // 8
    float attackLevel;      // 9
    float sustainLevel;     // 10
    int32_t slot;           // 11
};
static_assert(sizeof(EnvelopeRecord) == 12 * 4 && offsetof(EnvelopeRecord, attackTime) == 5 * 4 &&
                  offsetof(EnvelopeRecord, slot) == 11 * 4,
              "EnvelopeRecord layout");

enum EnvelopeMessage {
    kEnvIdle = 53,
    kEnvSettings = 54,
    kEnvPedalRelease = 55,
};

enum EnvelopeModeKind { kEnvModeFilter = 1, kEnvModeAmplifier = 2 };

// Input kinds: 1 the gate, 2-6 the summing modulation lists.
enum EnvelopePortKind {
    kEnvInGate = 1,
    kEnvModInitialLevel = 2,
    kEnvModAttackLevel = 3,
    kEnvModAttackTime = 4,
    kEnvModDecayTime = 5,
    kEnvModReleaseTime = 6,
};

// Segment letters, as getState reports them. 'G' is never entered.
enum EnvelopeState {
    kEnvGateOn = 'A',
    kEnvAttack = 'B',
    kEnvDecay = 'C',
    kEnvSustain = 'D',
    kEnvFastRelease = 'E',
    kEnvRelease = 'F',
    kEnvReleaseEnd = 'H',
    kEnvIdleState = 'I',
};

class Envelope {
public:
    static constexpr int kInitKind = 52;

    Envelope();
    ~Envelope();

    int init(EnvelopeRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(EnvelopeRecord* record, int code);
    void process();
    void free();

    void gateOn(int slot);
    void release(int slot);
    void fastRelease(int slot);
    int getState(int slot) const;
    void setSustain(int flag) { sustain = flag; }

    void connectGate(int slot, SignalPort* port);
    void releaseGate(int slot);
    int connectModulation(int kind, SignalPort* port, int slot, int tag);
    void releaseModulation(int kind, int slot, int tag);

    // The module convention's port operations (kind 1 gate, 2-6 modulation).
    SignalPort* takeOutput(int kind, int slot);
    void releaseOutput(int kind, int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

    int isActive() const { return active; }
    float getValue(int slot) const { return value[engine::clampSlot(slot)]; }

private:
    struct BlockValues {
        float initialLevel;
        float attackLevel;
        float attack;
        float decay;
        float release;
    };

    void resetAllSlots();
    void clearInputs();
    float fallToward(float* out, float v, float target, float c, float level, int& st, int endState) const;
    void computeCoefficients(int slot);
    float timeCoefficient(float timeMs) const;  // 1 - exp(-1 / (t x samplesPerMs))
    void readGate(int slot);
    float modulationSum(int kind, int slot) const;  // kind 0-4 for inputs 2-6
    float cached(int kind, int slot, float key, float (Envelope::*compute)(float) const);
    float levelFactor(float sum) const;
    float modulatedTimeCoefficient(float timeMs) const;
    float modulatedReleaseCoefficient(float timeMs) const;
    void forgetCachedValues();
    float modulatedInitialLevel(int slot);
    BlockValues modulatedValues(int slot);
    void renderSlot(int slot, const BlockValues& b);
    bool queueFall(int slot, float v, float target, float c, float level, int endState);
    void runFallingLanes();
    template <int kRegisters>
    void runFallingGroup(int first, int lanes);

    float sampleRate;    // Hz
    float samplesPerMs;  // sampleRate / 1000
    float inverseRate;   // seconds per sample
    float blockRate;     // blocks per second
    int blockLength;     // L
    int historyLength;   // M
    int mode;            // kEnvModeFilter or kEnvModeAmplifier: what times below the minimum do
    float endThreshold;  // 0.001: distance at which a segment counts as arrived
    float overshoot;     // 1.05: the attack aims past its level so that it arrives in finite time
    float undershoot;    // 0.2: decay and release aim below their level by this share of the attack level
    float fastReleaseCoefficient;  // 10 ms, from the initialisation rate
    float pedalReleaseTime;        // ms, added to releases while the sustain flag is set
    int sustain;
    int useCount;
    int active;
    int resetPending;

    int state[engine::kVoiceSlots];
    int lastGate[engine::kVoiceSlots];
    int steadyBlocks[engine::kVoiceSlots];  // latest blocks (up to 2) that were the value at every sample
    float value[engine::kVoiceSlots];
    // Settings as received: times in ms, levels as plain factors.
    float attackTime[engine::kVoiceSlots];
    float decayTime[engine::kVoiceSlots];
    float releaseTime[engine::kVoiceSlots];
    float initialLevel[engine::kVoiceSlots];
    float attackLevel[engine::kVoiceSlots];
    float sustainLevel[engine::kVoiceSlots];
    // Per-sample step factors (0..1) derived from the times.
    float attackCoefficient[engine::kVoiceSlots];
    float decayCoefficient[engine::kVoiceSlots];
    float releaseCoefficient[engine::kVoiceSlots];
    float releasePedalCoefficient[engine::kVoiceSlots];
    // Per modulation kind and slot: the last input (a sum, or a time in ms) and what it gave.
    float cacheKey[5][engine::kVoiceSlots];
    float cacheValue[5][engine::kVoiceSlots];
    float lastKey[5];  // per kind, the last input computed for any slot, and its result
    float lastValue[5];

    // This block's falling segments that do not arrive at their first sample.
    struct FallingLane {
        int slot;
        int endState;
        float v, target, c, level;
    };
    FallingLane falling[engine::kVoiceSlots];
    int fallingCount = 0;

    SignalPort* gateInput[engine::kVoiceSlots];
    InputList modulation[5][engine::kVoiceSlots];  // kinds 2-6
    PortBuffers outputs;
};
