// Band-limited oscillator module serving all 32 voice slots: sawtooth, pulse and
// triangle mix with noise, a sine, and a sync signal.
//
// Sawtooth and pulse are band-limited step synthesis on a grid of P ticks per sample: the
// naive waveform accumulates in a ring per slot, and every edge adds a band-limited step
// (step_tables.h) centred on its exact tick. Edges are committed c/4 samples after the
// sample that crossed them, then the generator steps back and regenerates from the crossing
// sample, so that edges closer together than c/4 samples are still found one by one. The
// output runs D samples behind the generator.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define HALVORN_OSCILLATOR_LANES 1
#else
#define HALVORN_OSCILLATOR_LANES 0
#endif

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/signal_port.h"
#include "engine/step_tables.h"

// The oscillator's message record: seventeen 32-bit words, then the engine's tables.
struct OscillatorRecord {
    int32_t voiceCount;     // 0: initialisation
    int32_t slot;           // 1
    float frequency;        // 2: Hz
    float width;            // 3: pulse width
    int32_t state;          // 4: voice state (16 sounding)
    int32_t saw;            // 5
    int32_t pulse;          // 6
    int32_t triangle;       // 7
    float noise;            // 8: noise level
    int32_t syncMode;       // 9: 0 none, 1 hard, 2 guarded
    int32_t reserved10;     // 10
    float driftSmoothing;   // 11
    float driftDepth;       // 12
    float vibratoDepth;     // 13
    float touchAmount;      // 14
    float pwmDepth;         // 15
    int32_t bendRange;      // 16: semitones; below 0 bend off
    const float* sineTable;      // 8192 entries plus the wrap point; null: the module builds its own
    int32_t sineSize;
    const float* semitoneTable;  // 241 ratios, index 120 = 1.0; null: the module builds its own
    int32_t semitoneSize;
};

enum OscillatorPortKind {
    kOscOutMix = 6,
    kOscOutSync = 7,
    kOscOutSine = 8,
    kOscInSync = 7,
    kOscInVibrato = 9,
    kOscInBend = 10,
    kOscInPitch = 11,
    kOscInTouch = 12,
    kOscInPwmLfo = 13,
    kOscInPulseWidth = 14,
    kOscInNoise = 15,
};

enum OscillatorMessage {
    kOscMsgVoice = 3,
    kOscMsgDrift = 6,
    kOscMsgPwmDepth = 7,
    kOscMsgModulation = 8,
    kOscMsgSwitches = 10,
    kOscMsgNoise = 12,
    kOscMsgBendRange = 13,
};

// Tick value of the sync signal where there is no wrap to follow.
constexpr int32_t kOscNoWrap = -300000;

class Oscillator {
public:
    static constexpr int kSlots = 32;
    static constexpr int kMaxSources = 6;

    Oscillator();
    ~Oscillator();
    Oscillator(const Oscillator&) = delete;
    Oscillator& operator=(const Oscillator&) = delete;

    int init(OscillatorRecord* record, int number, float rate);
    void setSampleRate(float rate);
    int message(OscillatorRecord* record, int code);
    void process();
    void free();

    int getBlockLength() const { return blockLength; }
    int getHistoryLength() const { return historyLength; }

    // The sync output's port carries kind kPortSync: `ticks` is the signal (ticks since the
    // slot's last wrap, kOscNoWrap where none), `samples` points at silence.
    SignalPort* takeOutput(int kind, int slot);
    void releaseOutput(int kind, int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

    // Observation for tests: the period in ticks, the high time and the latched width.
    int32_t periodTicks(int slot) const;
    int32_t highTicks(int slot) const;
    float latchedWidth(int slot) const;
    float frequency(int slot) const;
    int ticksPerSample() const { return ticks; }
    int stepSamples() const { return stepLength; }

private:
    struct Input {
        SignalPort* port;
        int32_t tag;
    };
    struct SumInput {
        SignalPort* port[kMaxSources];
        int32_t tag[kMaxSources];
        int count;
    };
    struct Slot;

    void computeRateFields(float rate);
    void resetSlot(Slot& s);
    void clearOutputs(Slot& s);
    void runSlot(Slot& s);
    void beginPass(Slot& s, bool triangleOn);
    void updateWidth(Slot& s, bool triangleOn);
    void applyFrequency(Slot& s, double f);
    void computePeriod(Slot& s);
    void generate(Slot& s, int syncBase, bool sawOn, bool pulseOn, bool triangleOn, bool phaseOn);
    void commit(Slot& s, bool sawOn, bool pulseOn, bool triangleOn);
    void placeStep(float* ring, const float* table, const float* rows, int writePos, double height, int32_t offset);
    void triangleRun(Slot& s, int at, int count, bool kept);
    void deferTriangle(Slot& s, int at, int count);
    void flushTriangle(Slot& s);
    void trianglePair(Slot& a, Slot& b);
    void sineSample(Slot& s);
    void outputStage(Slot& s);
    void finishOutputs();
    double nextStart();
    Slot* slotAt(int slot);
    const Slot* slotAt(int slot) const;

    // Module-wide.
    int number;
    int blockLength;    // L
    int historyLength;  // M
    double sampleRate;
    double ratePerMs;
    double invRate;
    double ticksPerSecond;
    const StepTableSet* stepTables;
    const float* sawRows;    // the tables regrouped by tick residue (stepRows)
    const float* pulseRows;
    int rowLength;
    int ticks;       // P
    int tableLength;  // T
    int stepLength;   // c
    int quarter;      // c / 4: the commit delay in samples
    int ringSize;    // R
    int ringMask;
    int ringDelay;   // D
    int readPos;
    const float* sineTable;
    const float* semitoneTable;
    std::vector<float> ownSine;
    std::vector<float> ownSemitone;
    float levelCoeff;
    float widthCoeff;
    double trianglePole;
    double drift;
    double driftSmoothing;
    double driftDepth;
    double startRandom;
    double driftRandom;
    double jitter;
    float vibratoDepth;
    float touchAmount;
    int bendRange;
    int useCount;
    bool active;
    bool resetPending;

    std::vector<Slot> slots;
    // Pulse and sawtooth terms at a settled level: their DC filters run several at once after
    // every slot's output stage, in their order, each adding to the output where a term came
    // before it; the slots' later terms are added after them.
    struct DcJob {
        float* ring;
        float* dc;
        float level;
        float* out;
        bool clearBehind;
        bool add;
    };
    DcJob dcJobs[2 * kSlots];
    int dcJobCount = 0;
    Slot* waitingSlots[kSlots];
    int waitingCount = 0;
    // Not cleared when allocated: resetSlot writes every ring and output before use, and
    // init the silent sync samples.
    std::unique_ptr<float[]> floatPool;
    std::unique_ptr<int32_t[]> intPool;
};
