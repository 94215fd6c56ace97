// Line amplifier serving all 32 voice slots: a linear gain (level x amplifier envelope)
// times an exponential gain 10^(3c) from vibrato, touch, velocity, key scaling and the
// modulation list, glided per sample over 5 ms.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_math.h"
#include "engine/input_list.h"
#include "engine/port_buffers.h"
#include "engine/signal_port.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define HALVORN_VCA_LANES 1
#else
#define HALVORN_VCA_LANES 0
#endif

// Eight samples at a time in the 256-bit registers where the processor has them, chosen when
// the module starts; the code for them is built for that instruction set alone.
#if HALVORN_VCA_LANES && defined(__GNUC__)
#define HALVORN_VCA_WIDE 1
#else
#define HALVORN_VCA_WIDE 0
#endif

struct VcaRecord {
    int32_t voiceCount;     // 0
    int32_t blockLength;    // 1: L
    int32_t historyLength;  // 2: M
    int32_t slot;           // 3
    int32_t state;          // 4: voice state
    float level;            // 5
    float vibratoDepth;     // 6: taken x 0.25
    float touchDepth;       // 7: after-touch level depth
    float initialDepth;     // 8: initial (velocity) level depth
};
static_assert(sizeof(VcaRecord) == 9 * 4 && offsetof(VcaRecord, level) == 5 * 4 &&
                  offsetof(VcaRecord, initialDepth) == 8 * 4,
              "VcaRecord layout");

enum VcaMessage {
    kVcaVoiceState = 101,
    kVcaLevel = 102,
    kVcaTouchDepths = 103,
    kVcaVibratoDepth = 104,
};

enum VcaPortKind {
    kVcaInAudio = 1,
    kVcaInLevelModulation = 3,  // summing, exponential
    kVcaInEnvelope = 4,
    kVcaInVibrato = 5,
    kVcaInDirect = 6,  // exponential; the engine connects the level key scaling
    kVcaInTouch = 7,
    kVcaInInitial = 8,  // the engine connects the velocity
};

class Vca {
public:
    static constexpr int kInitKind = 100;

    Vca();
    ~Vca();

    int init(VcaRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(VcaRecord* record, int code);
    void process();
    void free();

    SignalPort* takeOutput(int slot);
    void releaseOutput(int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

    int isActive() const { return active; }
    float getGainFactor(int slot) const { return gain[engine::clampSlot(slot)]; }
    float getLevel(int slot) const { return level[engine::clampSlot(slot)]; }
    // Gliding gains step by step, the reference the one-pass path is held to.
    void useScalarPath(bool on) { scalarPath = on ? 1 : 0; }
    // Four samples at a time even where the processor offers eight lanes.
    void useFourLanes(bool on) { fourLanes = on ? 1 : 0; }
    bool hasWideLanes() const { return wideLanes != 0; }

private:
    void clearState();
    void updateActivity();
    bool prepareSlot(int slot);
    float* startBlock(int slot);
    void applySettled(int slot);
    void glidingGain(int slot, float* g);
    void applyGliding(int slot);
    void applyGain(int slot, const float* g);
    SignalPort** singleInput(int kind, int slot);

    int blockLength;    // L
    int historyLength;  // M
    float gainCoefficient;   // per sample, 5 ms
    float levelCoefficient;  // per block, 5 ms
    float vibratoDepth;      // exponent per unit of vibrato
    int audioInputs;         // slots with an audio input
    int takenOutputs;
    int active;
    int resetPending;

    int voiceState[engine::kVoiceSlots];
    float levelTarget[engine::kVoiceSlots];
    float level[engine::kVoiceSlots];  // smoothed per block
    float gain[engine::kVoiceSlots];   // exponential factor, smoothed per sample; 0 fades a first block in
    float touchDepth[engine::kVoiceSlots];
    float initialDepth[engine::kVoiceSlots];
    SignalPort* audio[engine::kVoiceSlots];
    SignalPort* envelope[engine::kVoiceSlots];
    SignalPort* vibrato[engine::kVoiceSlots];
    SignalPort* direct[engine::kVoiceSlots];
    SignalPort* touch[engine::kVoiceSlots];
    SignalPort* initial[engine::kVoiceSlots];
    InputList levelModulation[engine::kVoiceSlots];
    PortBuffers outputs;
    float blockFactor[engine::kVoiceSlots];  // the exponential factor's target this block
    float lastExponent[engine::kVoiceSlots];  // the exponent c whose 10^(3c) lastFactor holds
    float lastFactor[engine::kVoiceSlots];
    int scalarPath;
    int fourLanes;
    int wideLanes;
    float* gainBuffer;  // L scratch
    float* gainPowers;  // (1 - gain coefficient)^(n + 1) for each sample n of a block
};
