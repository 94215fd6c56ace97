#include "engine/step_tables.h"

#include <cmath>
#include <vector>

// The tables are built at start-up rather than generated into the source: they hold 183,468
// points in all, while their design is a few dozen numbers; the build takes a few
// milliseconds, once per process, before the first oscillator runs.
//
// Design. Every table is the band-limited (Nyquist cutoff) interpolation of its values at
// whole samples, so it is fixed by those values. For 44.1 kHz they are the calibration
// values of the steps themselves; the tables for 48 and 96 kHz reuse that shape, stretched
// in time (96 kHz steps keep the 44.1 kHz audio bandwidth, so they span about twice as many
// samples), with the ringing before and after the transition re-weighted and a slow settling
// to the end level added: `fittedShape` holds the result of tools/design_steps, which fits these numbers to
// each table's crossing, overshoot, minimum and end level.

namespace steps {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kHalfWidth = 32;  // interpolation kernel: 32 samples each side
constexpr double kKaiserBeta = 8.0;

// Whole-sample values of the 44.1 kHz pulse (A) and sawtooth (B) steps.
constexpr double kReferenceA[32] = {
    0, -0.0004, -0.0001, 0.0002, -0.0004, 0.001, -0.0014, 0.0015, -0.0014, 0.0004, 0.0016,
    -0.0046, 0.009, -0.0152, 0.0237, -0.0413, 0.1697, 0.7857, 0.9753, 0.9813, 1.0106, 0.9925,
    1.0072, 0.9975, 1.003, 1.0009, 1.001, 1.0019, 1.0006, 1.0016, 1.001, 1.0015};
constexpr double kReferenceB[32] = {
    0, -0.0006, 0, 0.0005, -0.0007, 0.0016, -0.0023, 0.0024, -0.002, 0.0002, 0.0035,
    -0.0088, 0.0162, -0.0262, 0.0393, -0.0651, 0.2514, 1.1262, 1.1428, 0.9877, 1.0295, 0.9841,
    1.0132, 0.9945, 1.004, 1.0012, 1.0002, 1.003, 0.9998, 1.0021, 1.0007, 1.0016};
// Values beyond the reference tables' ends, giving their last points 1.00156 and 1.00175.
constexpr double kReferenceTailA = 1.00156;
constexpr double kReferenceTailB = 1.00175;
// Where the references cross 0.5 (samples): the centre of their transitions.
constexpr double kReferenceCrossA = 16.52;
constexpr double kReferenceCrossB = 16.27;

double besselI0(double x) {
    double sum = 1.0, term = 1.0, q = x * x / 4.0;
    for (int k = 1; k < 60; ++k) {
        term *= q / (double(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// Kaiser-windowed sinc at Nyquist: 1 at 0, 0 at every other whole sample.
double kernel(double x) {
    double r = x / kHalfWidth;
    if (r <= -1.0 || r >= 1.0) return 0.0;
    static const double norm = 1.0 / besselI0(kKaiserBeta);
    double window = besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) * norm;
    double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
    return sinc * window;
}

double anchorAt(const double* anchor, int count, double tail, int m) {
    if (m < 0) return 0.0;
    return m < count ? anchor[m] : tail;
}

// The continuous reference step at x (reference samples).
double reference(bool saw, double x) {
    const double* anchor = saw ? kReferenceB : kReferenceA;
    double tail = saw ? kReferenceTailB : kReferenceTailA;
    int base = int(std::floor(x));
    double sum = 0.0;
    for (int d = -kHalfWidth + 1; d <= kHalfWidth; ++d) {
        int m = base + d;
        sum += anchorAt(anchor, 32, tail, m) * kernel(x - m);
    }
    return sum;
}

bool isSaw(TableId id) { return id == kB44 || id == kB48 || id == kB96; }

}  // namespace

Geometry geometry(TableId id) {
    switch (id) {
    case kA44: case kB44: return {512, 16384};
    case kA48: case kB48: return {1024, 34950};
    default: return {2048, 40400};
    }
}

Shape fittedShape(TableId id) {
    switch (id) {
    case kA48: return {16.343490, 0.977097, 0.309012, 1.372873, 1.01551, 1.017797};
    case kB48: return {16.263058, 1.016354, 0.644645, 1.057008, 1.01485, 1.016127};
    case kA96: return {8.951790, 2.070904, 0.543148, 0.543406, 1.01188, 1.011938};
    case kB96: return {8.564303, 1.940947, 0.591937, 1.007677, 1.01139, 1.009963};
    default: return {0, 1, 1, 1, 1, isSaw(id) ? kReferenceTailB : kReferenceTailA};
    }
}

int anchors(TableId id, const Shape* shape, double* out, int capacity) {
    Geometry g = geometry(id);
    int count = (g.length + g.ticksPerSample - 1) / g.ticksPerSample;
    if (count > capacity) count = capacity;
    if (id == kA44 || id == kB44) {
        const double* reference = id == kB44 ? kReferenceB : kReferenceA;
        for (int n = 0; n < count; ++n) out[n] = reference[n];
        return count;
    }
    bool saw = isSaw(id);
    double referenceCross = saw ? kReferenceCrossB : kReferenceCrossA;
    double referenceEnd = saw ? kReferenceTailB : kReferenceTailA;
    double span = double(g.length) / g.ticksPerSample;
    for (int n = 0; n < count; ++n) {
        double u = n - shape->centre;
        double x = referenceCross + u / shape->scale;
        double r = reference(saw, x) / referenceEnd;
        // The bare transition: a raised cosine over one reference sample.
        double y = (x - referenceCross) + 0.5;
        double bare = y <= 0.0 ? 0.0 : y >= 1.0 ? 1.0 : 0.5 - 0.5 * std::cos(kPi * y);
        double gain = u < 0.0 ? shape->preGain : shape->postGain;
        // The ringing fades out over three samples at both ends of the table.
        double fade = std::fmin(1.0, n / 3.0) * std::fmin(1.0, (span - n) / 3.0);
        // After the transition the step creeps on from 1 to its end level.
        double settle = 0.0;
        if (u > 0.0) settle = 0.5 - 0.5 * std::cos(kPi * std::fmin(1.0, u / (span - shape->centre)));
        out[n] = bare + gain * fade * (r - bare) + (shape->level - 1.0) * settle;
    }
    return count;
}

void interpolate(const double* anchor, int count, double tail, int ticksPerSample, int length, float* out) {
    double tap[2 * kHalfWidth];
    for (int phase = 0; phase < ticksPerSample; ++phase) {
        double frac = double(phase) / ticksPerSample;
        for (int d = -kHalfWidth + 1; d <= kHalfWidth; ++d) tap[d + kHalfWidth - 1] = kernel(frac - d);
        for (int n = 0; n * ticksPerSample + phase < length; ++n) {
            double sum = 0.0;
            for (int d = -kHalfWidth + 1; d <= kHalfWidth; ++d)
                sum += anchorAt(anchor, count, tail, n + d) * tap[d + kHalfWidth - 1];
            out[n * ticksPerSample + phase] = float(sum);
        }
    }
}

void build(TableId id, const Shape& shape, float* out) {
    Geometry g = geometry(id);
    double anchor[64];
    int count = anchors(id, &shape, anchor, 64);
    interpolate(anchor, count, shape.tail, g.ticksPerSample, g.length, out);
}

Telling measure(const float* table, int length, int ticksPerSample) {
    Telling t{};
    double p = ticksPerSample;
    int top = 0, bottom = 0;
    for (int i = 1; i < length; ++i) {
        if (table[i] > table[top]) top = i;
        if (table[i] < table[bottom]) bottom = i;
    }
    t.crossing = 0.0;
    for (int i = 1; i < length; ++i) {
        if (table[i] >= 0.5f) {
            double a = table[i - 1], b = table[i];
            t.crossing = (i - 1 + (0.5 - a) / (b - a)) / p;
            break;
        }
    }
    // Parabolic refinement of the peak between table points.
    double at = top, peak = table[top];
    if (top > 0 && top < length - 1) {
        double a = table[top - 1], b = table[top], c = table[top + 1];
        double curve = a - 2.0 * b + c;
        if (curve < 0.0) {
            double delta = 0.5 * (a - c) / curve;
            at = top + delta;
            peak = b - 0.25 * (a - c) * delta;
        }
    }
    t.peak = peak;
    t.peakAt = at / p;
    t.minimum = table[bottom];
    t.last = table[length - 1];
    return t;
}

}  // namespace steps

namespace {

// The pair of one range of rates, built on its first use: an instance at 44.1 kHz never
// pays for the finer tables of the higher rates. The points live in static storage, so a
// first change to a new rate allocates nothing.
constexpr int kLongestTable = 40400;

template <int Range>
const StepTableSet& rangeTables() {
    struct Store {
        float table[2][kLongestTable];
        StepTableSet set;
        Store() {
            for (int k = 0; k < 2; ++k) {
                steps::TableId tid = steps::TableId(2 * Range + k);
                if (steps::geometry(tid).length <= kLongestTable) steps::build(tid, steps::fittedShape(tid), table[k]);
            }
            steps::Geometry g = steps::geometry(steps::TableId(2 * Range));
            set = {g.ticksPerSample, g.length, g.length / g.ticksPerSample, table[0], table[1]};
        }
    };
    static const Store store;
    return store.set;
}

}  // namespace

const StepTableSet& stepTablesForRate(double rate) {
    if (rate <= 44100.0) return rangeTables<0>();
    if (rate <= 48000.0) return rangeTables<1>();
    return rangeTables<2>();
}
