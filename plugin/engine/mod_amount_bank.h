// Modulation-amount bank: 20 channels x 32 voice slots, each scaling one routed source
// by an amount before it reaches a destination (the engine uses channels 0-9, one per
// patch modulation slot). Control-rate inputs stay control rate: one value per block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_math.h"
#include "engine/port_buffers.h"
#include "engine/signal_port.h"

struct ModAmountRecord {
    int32_t blockLength;    // 0: L
    int32_t historyLength;  // 1: M
    int32_t state;          // 2: voice state
    int32_t voiceCount;     // 3: at initialisation
    int32_t slot;           // 4
    int32_t channel;        // 5
    float amount;           // 6
};
static_assert(sizeof(ModAmountRecord) == 7 * 4 && offsetof(ModAmountRecord, amount) == 6 * 4,
              "ModAmountRecord layout");

enum ModAmountMessage {
    kModAmountTarget = 1,
    kModAmountVoiceState = 2,
};

class ModAmountBank {
public:
    static constexpr int kInitKind = 5;
    static constexpr int kChannels = 20;
    static constexpr int kStateChannels = 16;  // voice-state messages reach channels 0-15

    ModAmountBank();
    ~ModAmountBank();

    int init(ModAmountRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(ModAmountRecord* record, int code);
    void process();
    void free();

    int connectInput(int channel, SignalPort* port, int slot, int tag = -1);
    void releaseInput(int channel, int slot, int tag = -1);
    SignalPort* takeOutput(int channel, int slot);
    void releaseOutput(int channel, int slot = 0);

    float getAmount(int channel, int slot) const;

private:
    int index(int channel, int slot) const { return channel * engine::kVoiceSlots + slot; }
    void clearState();
    void renderSlot(int channel, int slot);

    int blockLength;    // L
    int historyLength;  // M
    float sampleRate;   // Hz
    float inverseRate;  // seconds per sample
    float amountCoefficient;  // per block; 1 at any audio rate: the amount takes its target at once

    int useCount[kChannels];
    int active[kChannels];
    int resetPending[kChannels];

    SignalPort* input[kChannels * engine::kVoiceSlots];
    float amountTarget[kChannels * engine::kVoiceSlots];
    float amount[kChannels * engine::kVoiceSlots];
    int voiceState[kChannels * engine::kVoiceSlots];
    PortBuffers outputs;
};
