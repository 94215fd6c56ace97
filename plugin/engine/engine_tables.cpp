#include "engine/engine_tables.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "engine/engine_math.h"

namespace {
const double kPi = 3.14159265358979323846;

// Equal-tempered frequencies with note 69 = 440 Hz, cut (not rounded) to two decimals;
// 108, 110, 115 and 120 stand one hundredth higher, as the instrument has always tuned them.
const float kNoteFrequencies[EngineTables::kNoteCount] = {
    0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
    0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
    0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 27.50f, 29.13f, 30.86f,
    32.70f, 34.64f, 36.70f, 38.89f, 41.20f, 43.65f, 46.24f, 48.99f,
    51.91f, 55.00f, 58.27f, 61.73f, 65.40f, 69.29f, 73.41f, 77.78f,
    82.40f, 87.30f, 92.49f, 97.99f, 103.82f, 110.00f, 116.54f, 123.47f,
    130.81f, 138.59f, 146.83f, 155.56f, 164.81f, 174.61f, 184.99f, 195.99f,
    207.65f, 220.00f, 233.08f, 246.94f, 261.62f, 277.18f, 293.66f, 311.12f,
    329.62f, 349.22f, 369.99f, 391.99f, 415.30f, 440.00f, 466.16f, 493.88f,
    523.25f, 554.36f, 587.32f, 622.25f, 659.25f, 698.45f, 739.98f, 783.99f,
    830.60f, 880.00f, 932.32f, 987.76f, 1046.50f, 1108.73f, 1174.65f, 1244.50f,
    1318.51f, 1396.91f, 1479.97f, 1567.98f, 1661.21f, 1760.00f, 1864.65f, 1975.53f,
    2093.00f, 2217.46f, 2349.31f, 2489.01f, 2637.02f, 2793.82f, 2959.95f, 3135.96f,
    3322.43f, 3520.00f, 3729.31f, 3951.06f, 4186.01f, 4434.92f, 4698.64f, 4978.03f,
    5274.04f, 5587.65f, 5919.91f, 6271.93f, 6644.87f, 7040.00f, 7458.62f, 7902.13f,
    8372.02f, 8869.84f, 9397.27f, 9956.06f, 10548.08f, 11175.30f, 11839.82f, 12543.85f,
};

// r^k for the double r = 2^(1/12), by repeated multiplication; a negative power is the
// reciprocal of the positive one.
double semitonePower(int k) {
    const double r = std::pow(2.0, 1.0 / 12.0);
    double p = 1.0;
    for (int i = 0; i < (k < 0 ? -k : k); ++i) p *= r;
    return k < 0 ? 1.0 / p : p;
}
}  // namespace

const float EngineTables::kSineRangeStart = 0.f;
const float EngineTables::kSineRangeEnd = static_cast<float>(2.0 * kPi);
const float EngineTables::kTangentRangeStart = 0.f;
const float EngineTables::kTangentRangeEnd = static_cast<float>(kPi / 2.0);
const float EngineTables::kPowerRangeStart = -3.f;
const float EngineTables::kPowerRangeEnd = 3.f;

EngineTables::EngineTables()
    : semitone(nullptr), sine(nullptr), tangent(nullptr), power256(nullptr), transpositionRatio(nullptr),
      velocityValue(nullptr) {}

EngineTables::~EngineTables() { release(); }

namespace {
// The values are the same for every instance: computed once in the process (about 25000
// transcendental calls, a millisecond or more under wine) and copied at each build.
struct MasterTables {
    float semitone[EngineTables::kSemitoneSize];
    float sine[EngineTables::kSineSize + 1];
    float tangent[EngineTables::kTangentSize];
    float power256[EngineTables::kPowerSize];
    float transpositionRatio[EngineTables::kTranspositionSize];
    float velocityValue[EngineTables::kVelocitySize];

    void compute() {
        for (int i = 0; i < EngineTables::kSemitoneSize; ++i)
            semitone[i] = static_cast<float>(semitonePower(i - EngineTables::kSemitoneCentre));
        const int S = EngineTables::kSineSize, T = EngineTables::kTangentSize, P = EngineTables::kPowerSize;
        for (int i = 0; i < S; ++i) sine[i] = static_cast<float>(std::sin(2.0 * kPi * i / S));
        sine[S] = sine[0];
        for (int i = 0; i < T; ++i) tangent[i] = static_cast<float>(std::tan((kPi / 2.0) * i / T));
        for (int i = 0; i < P; ++i) power256[i] = static_cast<float>(std::pow(256.0, -3.0 + 6.0 * i / P));
        for (int i = 0; i < EngineTables::kTranspositionSize; ++i)
            transpositionRatio[i] = static_cast<float>(semitonePower(i + EngineTables::kTranspositionLowest));
        for (int v = 0; v < EngineTables::kVelocitySize; ++v) velocityValue[v] = static_cast<float>(v) / 127.f;
    }
};

MasterTables masterTables;
std::once_flag masterTablesComputed;

void copyTable(float* to, const float* from, int count) { std::memcpy(to, from, sizeof(float) * count); }
}  // namespace

int EngineTables::build() {
    release();
    semitone = new (std::nothrow) float[kSemitoneSize];
    sine = new (std::nothrow) float[kSineSize + 1];
    tangent = new (std::nothrow) float[kTangentSize];
    power256 = new (std::nothrow) float[kPowerSize];
    transpositionRatio = new (std::nothrow) float[kTranspositionSize];
    velocityValue = new (std::nothrow) float[kVelocitySize];
    if (!semitone || !sine || !tangent || !power256 || !transpositionRatio || !velocityValue) {
        release();
        return 1;
    }
    std::call_once(masterTablesComputed, [] { masterTables.compute(); });
    const MasterTables& m = masterTables;
    copyTable(semitone, m.semitone, kSemitoneSize);
    copyTable(sine, m.sine, kSineSize + 1);
    copyTable(tangent, m.tangent, kTangentSize);
    copyTable(power256, m.power256, kPowerSize);
    copyTable(transpositionRatio, m.transpositionRatio, kTranspositionSize);
    copyTable(velocityValue, m.velocityValue, kVelocitySize);
    return 0;
}

void EngineTables::release() {
    delete[] semitone;
    delete[] sine;
    delete[] tangent;
    delete[] power256;
    delete[] transpositionRatio;
    delete[] velocityValue;
    semitone = sine = tangent = power256 = transpositionRatio = velocityValue = nullptr;
}

float EngineTables::transposition(int n) const {
    if (!transpositionRatio) return 1.f;
    return transpositionRatio[engine::clampInt(n, kTranspositionLowest, kTranspositionLowest + kTranspositionSize - 1) -
                              kTranspositionLowest];
}

float EngineTables::velocity(int v) const {
    if (!velocityValue) return 0.f;
    return velocityValue[engine::clampInt(v, 0, kVelocitySize - 1)];
}

float EngineTables::noteFrequency(int note) { return kNoteFrequencies[engine::clampInt(note, 0, kNoteCount - 1)]; }
