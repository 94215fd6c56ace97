// The expression pedal applied to each sounding voice after its VCAs: a volume pedal, a
// wah (a resonant peaking filter swept by the pedal), or the volume followed by the wah.
#pragma once

enum PedalMode {
    kPedalVolume = 0,
    kPedalWah = 1,
    kPedalVolumeWah = 2,
};

class PedalProcessor {
public:
    static constexpr int kSlots = 32;

    PedalProcessor();

    int init(float rate);  // 0
    void setSampleRate(float rate);
    // One voice slot's block; `pedal` is the position 0..1. Works in place when output is input.
    // The volume, the wah coefficients and their smoothing are shared by all slots: each call
    // advances them by its samples.
    void process(int mode, int slot, const float* input, float* output, int count, float pedal);
    // Several slots' blocks in place, as calls of process one slot after the other would
    // leave them; once the wah's coefficients stand still, four slots run side by side.
    void processSlots(int mode, const int* slots, float* const* blocks, int slotCount, int count, float pedal);
    // Empties the wah histories of every slot.
    void clear();
    void free() {}

    float getVolume() const { return volume; }
    bool isSettled() const { return settled != 0; }

private:
    enum { kB0, kB1, kB2, kA1, kA2, kCoefficients };

    void applyVolume(const float* input, float* output, int count, float pedal);
    void applyWah(int slot, const float* input, float* output, int count, float pedal);
    void computeTargets(float pedal);
    void prepareWah(float pedal);
    bool wahArrived() const;
    struct History;
    // The filter alone, with coefficients that no longer move.
    static void runWah(History& h, double b0, double b1, double b2, double a1, double a2, const float* input,
                       float* output, int count);
    template <int kPairs>
    void runWahLanes(const int* slots, float* const* blocks, int count);

    float sampleRate;
    double smoothing;  // per sample: 3 microseconds, values follow their targets within a few samples
    float volume;      // 0..1, smoothed toward the pedal
    float wahPedal;    // the pedal the targets were last computed for
    int haveTargets;
    int settled;
    double current[kCoefficients];
    double target[kCoefficients];
    struct History {
        double x1, x2, y1, y2;
    } history[kSlots];
};
