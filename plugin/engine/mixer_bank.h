// Mixer bank: 16 channels x 32 voice slots of level-scaled signals. A channel in sum
// mode adds its output into the output of the last channel before it that is not, so
// that channel pairs (0, 1), (2, 3), (4, 5) form two-input mixers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_math.h"
#include "engine/input_list.h"
#include "engine/port_buffers.h"
#include "engine/signal_port.h"

struct MixerRecord {
    int32_t voiceCount;     // 0
    int32_t blockLength;    // 1: L
    int32_t historyLength;  // 2: M
    int32_t slot;           // 3
    int32_t channel;        // 4
    int32_t state;          // 5: voice state
    float level;            // 6: 0..1
    int32_t unused7;        // 7
    int32_t sumMode;        // 8
};
static_assert(sizeof(MixerRecord) == 9 * 4 && offsetof(MixerRecord, level) == 6 * 4 &&
                  offsetof(MixerRecord, sumMode) == 8 * 4,
              "MixerRecord layout");

enum MixerMessage {
    kMixerVoiceState = 118,
    kMixerLevel = 119,
    kMixerSumMode = 121,
};

class MixerBank {
public:
    static constexpr int kInitKind = 116;
    static constexpr int kChannels = 16;

    MixerBank();
    ~MixerBank();

    int init(MixerRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(MixerRecord* record, int code);
    void process();
    void free();

    // The signal input of a channel (kind = channel); the tag is not kept.
    int connectInput(int channel, SignalPort* port, int slot, int tag);
    void releaseInput(int channel, int slot, int tag);
    // The summing level-modulation list of a channel.
    int connectLevel(int channel, SignalPort* port, int slot, int tag);
    void releaseLevel(int channel, int slot, int tag);
    SignalPort* takeOutput(int channel, int slot);
    void releaseOutput(int channel, int slot = 0);

    float getSmoothedLevel(int channel, int slot) const;

private:
    int index(int channel, int slot) const { return channel * engine::kVoiceSlots + slot; }
    void clearState();
    void clearChannel(int channel);
    void renderChannel(int channel, int slot);
    void setSumTarget(int slot, int index);
    void addIntoSum(int slot, const float* out);

    int blockLength;        // L
    int historyLength;      // M
    float levelCoefficient;  // per sample, 30 ms
    int voiceState[engine::kVoiceSlots];
    float* sumTarget[engine::kVoiceSlots];  // block of the output that sum-mode channels add into
    int sumOwner[engine::kVoiceSlots];      // its output's index, -1 with none

    int useCount[kChannels];
    int resetPending[kChannels];
    int sumMode[kChannels];  // channel 0 never sums

    SignalPort* input[kChannels * engine::kVoiceSlots];
    InputList levelModulation[kChannels * engine::kVoiceSlots];
    float levelTarget[kChannels * engine::kVoiceSlots];  // 0..1
    float level[kChannels * engine::kVoiceSlots];        // smoothed toward the target
    // Blocks (up to 2) an output without input was written as zeros in and nothing added to
    // since: after two the history is zero as well, and the buffer holds what a block writes.
    int silentBlocks[kChannels * engine::kVoiceSlots];
    PortBuffers outputs;
};
