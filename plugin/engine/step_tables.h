// Band-limited step tables of the oscillators: the response to a unit step, sampled on the
// tick grid (ticksPerSample points per sample), one pair per range of sample rates.
#pragma once

#include <cstdint>

struct StepTableSet {
    int32_t ticksPerSample;  // P
    int32_t length;          // T points (even)
    int32_t stepSamples;     // c = T / P, the samples one step spans
    const float* pulse;      // table A: little overshoot
    const float* saw;        // table B: about 25 % overshoot
};

// The set for a sample rate: 512 ticks up to 44100 Hz, 1024 up to 48000 Hz, 2048 above.
// A range's pair is built on the first call for that range (thread-safe; the plug-in changes
// rates from the dispatcher, never while it renders) and lives until the process ends.
const StepTableSet& stepTablesForRate(double rate);

// The design, exposed for the design tool and the tests.
namespace steps {

enum TableId { kA44, kB44, kA48, kB48, kA96, kB96, kTableCount };

// A table derived from the 44.1 kHz reference of its kind (A or B): the reference's ringing,
// time-scaled and re-weighted before and after the transition, settling to a new end level.
struct Shape {
    double centre;    // whole-sample position of the transition in the new table
    double scale;     // new samples per reference sample
    double preGain;   // weight of the ringing before the transition
    double postGain;  // weight of the ringing after it
    double level;     // end level the step settles to
    double tail;      // whole-sample value beyond the table's end
};

struct Geometry {
    int ticksPerSample;
    int length;
};

Geometry geometry(TableId id);
// Whole-sample values of a table (the interpolation anchors); returns their count.
int anchors(TableId id, const Shape* shape, double* out, int capacity);
// The fitted shape of a derived table (A48 ... B96).
Shape fittedShape(TableId id);
// Fills T points: the band-limited interpolation of the anchors, `tail` beyond them.
void interpolate(const double* anchor, int count, double tail, int ticksPerSample, int length, float* out);
// Builds table `id` with `shape` (ignored for the reference tables, whose tail is fixed).
void build(TableId id, const Shape& shape, float* out);

// Telling values of a table: 0.5 crossing, peak and where, minimum (positions in samples).
struct Telling {
    double crossing;
    double peak;
    double peakAt;
    double minimum;
    double last;
};
Telling measure(const float* table, int length, int ticksPerSample);

}  // namespace steps
