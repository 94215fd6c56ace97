// The lookup tables that the engine builds once at initialisation and hands to its
// modules by pointer, so that no module calls a transcendental function per sample.
#pragma once

class EngineTables {
public:
    static constexpr int kSemitoneSize = 241;  // index 120 = 1.0
    static constexpr int kSemitoneCentre = 120;
    static constexpr int kSineSize = 8192;  // plus one guard entry that repeats entry 0
    static constexpr int kTangentSize = 8192;
    static constexpr int kPowerSize = 8192;
    static constexpr int kTranspositionSize = 108;  // n = -36..71
    static constexpr int kTranspositionLowest = -36;
    static constexpr int kVelocitySize = 128;
    static constexpr int kNoteCount = 128;

    EngineTables();
    ~EngineTables();

    int build();  // 0, or 1 when memory is short (nothing is then held)
    void release();  // safe twice

    // 2^((i - 120) / 12): exact integer powers of the double 2^(1/12).
    const float* semitones() const { return semitone; }
    // sin(2 pi i / 8192) over [0, 2 pi], 8193 entries.
    const float* sines() const { return sine; }
    static const float kSineRangeStart;
    static const float kSineRangeEnd;
    // tan((pi / 2) i / 8192) over [0, pi / 2): no entry at pi / 2.
    const float* tangents() const { return tangent; }
    static const float kTangentRangeStart;
    static const float kTangentRangeEnd;
    // 256^x for x = -3 + 6 i / 8192, over [-3, 3).
    const float* powersOf256() const { return power256; }
    static const float kPowerRangeStart;
    static const float kPowerRangeEnd;
    // 2^(n / 12), n = -36..71, as powers of the double 2^(1/12); n clamped to that range.
    float transposition(int n) const;
    // v / 127; v clamped to 0..127.
    float velocity(int v) const;
    // Note frequencies in Hz, cut to two decimals (note 69 = 440); 0 below note 21.
    static float noteFrequency(int note);

private:
    float* semitone;
    float* sine;
    float* tangent;
    float* power256;
    float* transpositionRatio;
    float* velocityValue;
};
