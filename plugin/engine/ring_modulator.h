// Ring modulator on one mono bus: the signal times a sine carrier whose frequency an
// attack-decay envelope sweeps up from a base frequency, mixed with the dry signal. It runs
// at twice the sample rate (polyphase FIR up by 2, modulation, the same FIR down by 2), so the
// product does not alias.
#pragma once

#include <cstdint>

// Message record of the ring modulators (init and kRingModSettings).
struct RingModulatorRecord {
    float sampleRate;        // 0: Hz (init)
    int32_t blockLength;     // 1: L, the samples of one process call (init)
    const float* sineTable;  // 2: the engine's sine table (init)
    int32_t sineSize;        // 3: its points before the wrap point (init)
    float frequency;         // 4: twice the carrier's base frequency, Hz
    float mix;               // 5: 0 dry .. 1 the pure ring product
    float attackMs;          // 6: sweep attack time; below 0.01 no attack
    float decayMs;           // 7: sweep decay time
    float depth;             // 8: sweep depth 0..1
};

enum RingModulatorMessage {
    kRingModSettings = 34,
    kRingModGateOn = 35,
    kRingModGateOff = 36,
};

class RingModulator {
public:
    // The FIR of both rate changes: index 0 is 0, indices 1..66 are symmetric (h[k] = h[67 - k]).
    static constexpr int kFirLength = 67;
    static const double kFir[kFirLength];
    // Carrier frequencies stop here (Hz).
    static constexpr float kMaxCarrier = 12000.0f;
    // A base frequency of zero or less (or none at all) takes the lowest the plug-in sends:
    // half of the 0.05 Hz at the low end of the speed curve.
    static constexpr float kMinBaseFrequency = 0.025f;

    RingModulator();
    ~RingModulator();
    RingModulator(const RingModulator&) = delete;
    RingModulator& operator=(const RingModulator&) = delete;

    int init(const RingModulatorRecord* record);  // 0 on success, 1 on failure
    void setSampleRate(float rate);
    int message(const RingModulatorRecord* record, int code);
    // One mono block; works in place when output is input.
    void process(const float* input, float* output, int count);
    // The same, with each output's dots taken one sample at a time: the reference that
    // process must match to the bit.
    void processReference(const float* input, float* output, int count);
    // Empties both rings (the signal history), not the settings or the sweep.
    void clear();
    void free();

    float getBaseFrequency() const { return baseFrequency; }
    float getCarrierFrequency() const { return carrierFrequency; }  // of the last block
    float getEnvelope() const { return envelope; }

private:
    static constexpr int kUpTaps = 32;
    static constexpr int kDownTaps = 66;
    static constexpr int kHistory = 32;  // samples each line keeps in front of a stretch
    static constexpr int kStretch = 64;  // samples worked out together
    static constexpr int kLine = kHistory + kStretch;

    void updateRateCoefficients();
    void stepBlock();
    void run(const float* input, float* output, int count, bool lanes);
    void runStretch(const float* input, float* output, int count, bool lanes);
    void modulate(int count, bool lanes);
    void upsampleLanes(int count);
    void downsampleLanes(int count, float* output) const;
    void upsampleOne(int n, float& up0, float& up1) const;
    float downsampleOne(int n) const;

    int initialised;
    float sampleRate;
    float halfPeriod;  // 1 / (2 x rate): the half-rate sample period
    int blockLength;
    const float* sine;
    int sineSize;

    // carrier
    float baseFrequency;  // Hz
    int rangeExponent;    // c = 2^rangeExponent, the smallest power of two with c x base > 12000 Hz
    float depth;
    float phase;      // table entries
    float increment;  // table entries per half-rate sample
    float carrierFrequency;

    // sweep envelope
    float envelope;
    int gate;
    int attackDone;
    int haveSettings;
    float attackMs, decayMs;
    float attackCoefficient, decayCoefficient, releaseCoefficient;  // per block

    // mix
    float mix, mixTarget, mixCoefficient;
    float wetGain, dryGain;

    // Upsampling phases (2 x h[64 - 2k], 2 x h[65 - 2k]) and decimation taps (h[66 - k]),
    // each against the lines' values oldest first; the same in all four lanes of a register
    // for the dots of four outputs at a time.
    alignas(16) float upEven[kUpTaps];
    alignas(16) float upOdd[kUpTaps];
    alignas(16) float down[kDownTaps];
    alignas(16) float upEvenLanes[kUpTaps][4];
    alignas(16) float upOddLanes[kUpTaps][4];
    alignas(16) float downLanes[kDownTaps][4];
    // Three lines of kLine floats: the input, and the even and odd half-rate samples after
    // the modulation. Sample n of a stretch sits at index kHistory + n; the samples before
    // it are the end of the last stretch.
    float* inputLine;
    float* evenLine;
    float* oddLine;
};
