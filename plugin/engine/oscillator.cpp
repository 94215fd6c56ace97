#include "engine/oscillator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr int kSounding = 16;
constexpr int kSineSize = 8192;
constexpr int kSemitoneSize = 241;
constexpr int kSemitoneCentre = 120;
constexpr double kMinFrequency = 0.001;
constexpr double kMaxFrequency = 20000.0;
// Periods are held in 32-bit ticks: a frequency so low that its period would not fit
// (0.001 Hz is 2.3e10 ticks at 44.1 kHz) plays with the longest period that keeps the tick
// count well clear of overflow.
constexpr int32_t kMaxPeriod = 1 << 30;
constexpr int32_t kTickCeiling = kMaxPeriod + (kMaxPeriod >> 1);
// Commits per generated sample beyond which a pass stops stepping back (never reached by
// well-formed edges; a guard against a loop that does not advance).
constexpr int kMaxCommitsPerSample = 8;

double logistic(double& x, double r) {
    x = 4.0 * r * x * (1.0 - x);
    if (x == 0.0) x = 1e-6;
    else if (x == 1.0) x = 0.999999;
    return x;
}

float flushTiny(float v) { return std::fabs(v) < 1e-37f ? 0.0f : v; }

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// floor(x) for x inside the 32-bit range: the conversion truncates toward zero, one less for
// negative fractions. Without SSE4.1 std::floor is a library call, and these run at every edge.
int32_t floorToInt(double x) {
    const int32_t i = int32_t(x);
    return double(i) > x ? i - 1 : i;
}

// Nearest integer (floor(v + 0.5)), saturated to the 32-bit range: the floor is above
// -2147483647 from -2147483646 on, above 2147483647 from 2147483648 on.
int32_t roundToInt(double v) {
    const double x = v + 0.5;
    if (!(x >= -2147483646.0)) return x != x ? 0 : -2147483647;
    if (x >= 2147483648.0) return 2147483647;
    return floorToInt(x);
}

float portValue(const SignalPort* port) {
    if (!port || !port->samples) return 0.0f;
    float v = port->samples[0];
    return std::isfinite(v) ? v : 0.0f;
}

// Edge jitter, an analogue imperfection: a slight frequency-dependent loss on the pulse step
// (first) and the phase jump (second).
void jitterFactors(double f, double& pulse, double& saw) {
    if (f < 32.0) { pulse = 0.01; saw = 0.01; }
    else if (f < 65.0) { pulse = 0.004; saw = 0.005; }
    else if (f < 130.0) { pulse = 0.003; saw = 0.004; }
    else if (f < 500.0) { pulse = 0.0005; saw = 0.001; }
    else if (f < 1000.0) { pulse = 0.0001; saw = 0.0005; }
    else if (f < 1500.0) { pulse = 0.0001; saw = 0.0001; }
    else { pulse = 0.0; saw = 0.0; }
}

// The plain generator's state on locals, and what it writes to.
struct PlainRun {
    double phase;
    int32_t tickCount;
    int at;
};
struct PlainRings {
    float* saw;
    float* pulse;
    int32_t* tickRing;
    float pulseNaive;
    double increment;
    int32_t ticks;
    int mask;
    // The triangle's pulse and what its integrator reads 2 x c/4 samples later.
    float* trianglePulse;
    float* delayedShape;
    int32_t* delayedHigh;
    float trianglePulseNaive;
    uint64_t shape;
    int32_t high;
};

// The width and the period's inverse frequency as one stored pair: written and compared
// together.
uint64_t shapeBits(float width, float invFrequency) {
    const float pair[2] = {width, invFrequency};
    uint64_t bits;
    std::memcpy(&bits, pair, sizeof bits);
    return bits;
}

// A threshold no phase reaches: the stretch runs its full count.
constexpr double kNoThreshold = -1e300;

// Up to `count` samples of phase, naive values and tick count; stops after the first
// sample whose phase reaches `threshold`. Returns the samples made.
template <bool kSaw, bool kPulse, bool kTriangle>
int runPlainStretch(PlainRun& r, const PlainRings& w, int count, double threshold) {
    double phase = r.phase;
    int32_t tickCount = r.tickCount;
    int at = r.at;
    int k = 0;
    // On locals: through `w` every store to a ring would reload them.
    float* const sawRing = w.saw;
    float* const pulseRing = w.pulse;
    int32_t* const tickRing = w.tickRing;
    float* const trianglePulse = w.trianglePulse;
    float* const delayedShape = w.delayedShape;
    int32_t* const delayedHigh = w.delayedHigh;
    const float pulseNaive = w.pulseNaive, trianglePulseNaive = w.trianglePulseNaive;
    const double increment = w.increment;
    const int32_t step = w.ticks, high = w.high;
    const uint64_t shape = w.shape;
    const int mask = w.mask;
    // In pieces where the rings do not wrap and the tick count stays below its ceiling, the
    // stretch runs on plain pointers with no test but the edge's.
    for (;;) {
        const int straight = std::min(count - k, mask + 1 - at);
        if (int64_t(tickCount) + int64_t(straight) * step >= kTickCeiling) break;
        float* const saw = sawRing + at;
        float* const pulse = pulseRing + at;
        int32_t* const ticks = tickRing + at;
        float* const tPulse = trianglePulse + at;
        float* const tShape = delayedShape + 2 * at;
        int32_t* const tHigh = delayedHigh + at;
        int m = 0;
#if HALVORN_OSCILLATOR_LANES
        // Four samples at a time while the fourth stays above the threshold (the phase only
        // falls, so none of the four reaches it): the phases one after another as one at a
        // time, everything else in lanes.
        const __m128 pulseLanes = _mm_set1_ps(pulseNaive), trianglePulseLanes = _mm_set1_ps(trianglePulseNaive);
        const __m128i shapeHalf = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&shape));
        const __m128i shapeLanes = _mm_unpacklo_epi64(shapeHalf, shapeHalf), highLanes = _mm_set1_epi32(high);
        const __m128i tickSteps = _mm_set_epi32(4 * step, 3 * step, 2 * step, step);
        while (m + 4 <= straight) {
            const double p1 = phase - increment, p2 = p1 - increment, p3 = p2 - increment, p4 = p3 - increment;
            if (p4 <= threshold) break;
            phase = p4;
            if (kSaw) {
                const __m128 values = _mm_movelh_ps(_mm_cvtpd_ps(_mm_set_pd(p2, p1)), _mm_cvtpd_ps(_mm_set_pd(p4, p3)));
                _mm_storeu_ps(saw + m, _mm_add_ps(_mm_loadu_ps(saw + m), values));
            }
            if (kPulse) _mm_storeu_ps(pulse + m, _mm_add_ps(_mm_loadu_ps(pulse + m), pulseLanes));
            if (kTriangle) {
                _mm_storeu_ps(tPulse + m, _mm_add_ps(_mm_loadu_ps(tPulse + m), trianglePulseLanes));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(tShape + 2 * m), shapeLanes);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(tShape + 2 * m + 4), shapeLanes);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(tHigh + m), highLanes);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(ticks + m), _mm_add_epi32(_mm_set1_epi32(tickCount), tickSteps));
            tickCount += 4 * step;
            m += 4;
        }
#endif
        while (m < straight) {
            tickCount += step;
            phase -= increment;
            if (kSaw) saw[m] += float(phase);
            if (kPulse) pulse[m] += pulseNaive;
            if (kTriangle) {
                tPulse[m] += trianglePulseNaive;
                std::memcpy(tShape + 2 * m, &shape, sizeof shape);
                tHigh[m] = high;
            }
            ticks[m] = tickCount;
            ++m;
            if (phase <= threshold) break;
        }
        k += m;
        at = (at + m) & mask;
        if (k == count || phase <= threshold) {
            r.phase = phase;
            r.tickCount = tickCount;
            r.at = at;
            return k;
        }
    }
    while (k < count) {
        if (tickCount < kTickCeiling) tickCount += step;
        phase -= increment;
        if (kSaw) sawRing[at] += float(phase);
        if (kPulse) pulseRing[at] += pulseNaive;
        if (kTriangle) {
            trianglePulse[at] += trianglePulseNaive;
            std::memcpy(delayedShape + 2 * at, &shape, sizeof shape);
            delayedHigh[at] = high;
        }
        tickRing[at] = tickCount;
        at = (at + 1) & mask;
        ++k;
        if (phase <= threshold) break;
    }
    r.phase = phase;
    r.tickCount = tickCount;
    r.at = at;
    return k;
}

int runPlain(bool saw, bool pulse, bool triangle, PlainRun& r, const PlainRings& w, int count, double threshold) {
    // The triangle always runs with the pulse ring.
    if (triangle) {
        return saw ? runPlainStretch<true, true, true>(r, w, count, threshold)
                   : runPlainStretch<false, true, true>(r, w, count, threshold);
    }
    if (saw)
        return pulse ? runPlainStretch<true, true, false>(r, w, count, threshold)
                     : runPlainStretch<true, false, false>(r, w, count, threshold);
    return pulse ? runPlainStretch<false, true, false>(r, w, count, threshold)
                 : runPlainStretch<false, false, false>(r, w, count, threshold);
}

void fillTicks(int32_t* p, int n, int32_t v) { std::fill(p, p + n, v); }

// `count` entries of a ring from position `from` (any integer) in at most two runs that do
// not wrap: f(offset from the first, ring index, length), so that the loops need no mask.
template <class F>
void forRingRuns(int from, int count, int mask, F f) {
    const int at = from & mask;
    const int first = std::min(count, mask + 1 - at);
    f(0, at, first);
    if (first < count) f(first, 0, count - first);
}

// to[m] += h * (from[m] - less), four at a time where the processor allows; the same
// operations in each lane as one at a time. Subtracting 0 changes no value.
void addScaled(float* to, const float* from, int n, float h, float less) {
    int m = 0;
#if HALVORN_OSCILLATOR_LANES
    const __m128 hv = _mm_set1_ps(h), lv = _mm_set1_ps(less);
    for (; m + 4 <= n; m += 4)
        _mm_storeu_ps(to + m, _mm_add_ps(_mm_loadu_ps(to + m), _mm_mul_ps(hv, _mm_sub_ps(_mm_loadu_ps(from + m), lv))));
#endif
    for (; m < n; ++m) to[m] += h * (from[m] - less);
}

void zeroRing(float* ring, int from, int count, int mask) {
    forRingRuns(from, count, mask, [&](int, int at, int n) { std::fill(ring + at, ring + at + n, 0.0f); });
}
void zero(float* p, int n) { std::fill(p, p + n, 0.0f); }

// A step table regrouped by tick residue: row r holds entries r, r + P, r + 2P ... one per
// sample, so that the taps of a step centred anywhere are contiguous. Built on the first use
// of a table and kept, like the tables, in static storage: a change of rate may come while
// the engine runs and must not allocate. Null when the storage is used up (then the placed
// steps read the table itself).
const float* stepRows(const float* table, int length, int ticksPerSample) {
    // Room for the rows of both tables of the three rate ranges (512 x 32, 1024 x 35 and
    // 2048 x 20 points each).
    constexpr size_t kRoom = 2 * (512 * 32 + 1024 * 35 + 2048 * 20);
    static float store[kRoom];
    static size_t used = 0;
    static struct {
        const float* table;
        const float* rows;
    } built[2 * 3];
    static std::mutex guard;
    std::lock_guard<std::mutex> lock(guard);
    for (const auto& b : built)
        if (b.table == table) return b.rows;
    const int P = ticksPerSample, perRow = (length + P - 1) / P;
    const size_t need = size_t(P) * perRow;
    for (auto& b : built) {
        if (b.table) continue;
        if (need > kRoom - used) return nullptr;
        float* rows = store + used;
        for (int r = 0; r < P; ++r)
            for (int m = 0; m < perRow; ++m) rows[size_t(r) * perRow + m] = table[std::min(r + m * P, length - 1)];
        used += need;
        b = {table, rows};
        return rows;
    }
    return nullptr;
}

// A triangle position's stored pair (the latched width and 1/f) when it differs from the
// last: a new width or frequency takes the gain that keeps the peak-to-peak at 1, and the
// running sum is rescaled to it.
inline void retuneTriangle(const float* pair, double sampleRate, double& sum, double& gain, double& width,
                           double& invFrequency) {
    const double w = std::clamp(double(pair[0]), 0.01, 0.99);
    const double invF = pair[1];
    if (w == width && invF == invFrequency) return;
    const double g = 1.0 / (w * 0.5 * (1.0 - w) * sampleRate * invF);
    sum *= gain / g;
    gain = g;
    width = w;
    invFrequency = invF;
}

}  // namespace

struct Oscillator::Slot {
    int state;
    float baseFrequency;
    float baseWidth;
    int syncMode;        // from message 3
    int activeSyncMode;  // takes effect while nothing is pending
    float pwmDepth;
    float sawTarget, sawLevel;
    float pulseTarget, pulseLevel;
    float triangleTarget, triangleLevel;
    float noiseLevel;
    bool restart;
    bool ranSinceRestart;
    bool sawRunning, pulseRunning, sineRunning;

    double frequency;  // Hz, as applied to the period
    double invFrequency;
    int32_t period;    // N ticks
    double increment;  // phase per sample, P / N
    double phase;      // +0.5 down to -0.5 per period
    double wrapThreshold;
    double pulseThreshold;
    int32_t high;       // d: high time in ticks
    int32_t tickCount;  // ticks since the last wrap
    bool pulseHigh;

    float widthSmoothed;
    float widthLatched;
    bool widthMoving;
    bool widthChanged;
    bool frequencyChanged;
    double pendingFrequency;
    double periodFrequency;  // the frequency and width the period was last computed from
    float periodWidth;

    int pending;  // 0 none, 1 edge, 2 sync
    int pendingCount;
    double syncPhase;
    int32_t syncTicks;  // the master's ticks since its wrap, followed while a sync is pending
    int64_t syncQuarter;

    double pulseNaive;
    double trianglePulseNaive;

    float* saw;
    float* pulse;
    float* trianglePulse;
    float* triangle;
    float* sine;
    float* delayedShape;  // pairs: the latched width and float(invFrequency)
    float* triangleInput;  // the pulse entry each triangle position reads, as it read it
    int32_t* tickRing;
    int32_t* delayedHigh;
    int writePos;
    int redo;  // positions ahead whose triangle and sine are already made

    double triangleSum;
    double triangleGain;
    double triangleWidth;
    double triangleInvFrequency;
    double triangleDc;
    int triangleWarmup;
    // Positions whose triangle waits for the end of the block, so that two slots can run it
    // together.
    int triangleNext;
    int triangleWaiting;
    bool triangleStarted;

    float sinePhase;  // table entries
    float sineIncrement;
    float sineDc;
    float sineFade;

    double noise;
    float pulseDc;
    float sawDc;
    float pwm;
    float noiseModulation;
    int quietBlocks;

    Input vibrato, bend, touch, pwmLfo, sync;
    SumInput pitch, pulseWidth, noiseInput;

    float* mix;
    float* terms;  // three blocks: pulse, sawtooth and noise terms that wait to be added
    float* later[3];
    int laterCount;
    float* sineOut;
    float* syncSilence;
    int32_t* syncOut;
    SignalPort mixPort, sinePort, syncPort;
    int useMix, useSine, useSync;
};

Oscillator::Oscillator()
    : number(1), blockLength(44), historyLength(9), sampleRate(44100.0), ratePerMs(44.1), invRate(1.0 / 44100.0),
      ticksPerSecond(512.0 * 44100.0), stepTables(nullptr), sawRows(nullptr), pulseRows(nullptr), rowLength(32), ticks(512), tableLength(16384), stepLength(32), quarter(8),
      ringSize(256), ringMask(255), ringDelay(88), readPos(0), sineTable(nullptr), semitoneTable(nullptr),
      levelCoeff(0.0f), widthCoeff(0.0f), trianglePole(0.0), drift(0.0), driftSmoothing(0.01), driftDepth(0.002),
      startRandom(0.1), driftRandom(0.2), jitter(0.01), vibratoDepth(0.0f), touchAmount(0.0f), bendRange(24),
      useCount(0), active(false), resetPending(false) {}

Oscillator::~Oscillator() { free(); }

void Oscillator::computeRateFields(float rate) {
    double r = rate;
    if (!(r >= 8000.0)) r = r > 0.0 ? 8000.0 : 44100.0;  // NaN and non-positive rates: the default
    if (r > 384000.0) r = 384000.0;
    sampleRate = r;
    ratePerMs = r / 1000.0;
    invRate = 1.0 / r;
    stepTables = &stepTablesForRate(r);
    ticks = stepTables->ticksPerSample;
    tableLength = stepTables->length;
    stepLength = stepTables->stepSamples;
    rowLength = (tableLength + ticks - 1) / ticks;
    sawRows = stepRows(stepTables->saw, tableLength, ticks);
    pulseRows = stepRows(stepTables->pulse, tableLength, ticks);
    quarter = stepLength / 4;
    ticksPerSecond = ticks * r;
    levelCoeff = float(1.0 - std::exp(-1.0 / (50.0 * ratePerMs)));
    widthCoeff = float(1.0 - std::exp(-1.0 / (0.4 * ratePerMs)));
}

int Oscillator::init(OscillatorRecord* record, int oscillatorNumber, float rate) {
    free();
    number = oscillatorNumber == 2 ? 2 : 1;
    computeRateFields(rate);
    blockLength = 44;
    historyLength = quarter + 1;
    ringDelay = blockLength < stepLength ? stepLength + 2 * blockLength : 2 * blockLength;
    ringSize = blockLength + ringDelay > 256 ? 512 : 256;
    ringMask = ringSize - 1;
    readPos = 0;
    trianglePole = std::pow(10.0, -64.0 / 44100.0);
    drift = 0.0;
    driftSmoothing = 0.01;
    driftDepth = 0.002;
    startRandom = 0.1 * number;
    driftRandom = 0.2 * number;
    jitter = 0.01 * number;
    vibratoDepth = 0.0f;
    touchAmount = 0.0f;
    bendRange = 24;
    useCount = 0;
    active = false;
    resetPending = false;
    try {
        if (record && record->sineTable && record->sineSize >= kSineSize) {
            sineTable = record->sineTable;
        } else {
            ownSine.resize(kSineSize + 1);
            for (int i = 0; i < kSineSize; ++i) ownSine[i] = float(std::sin(2.0 * 3.14159265358979323846 * i / kSineSize));
            ownSine[kSineSize] = ownSine[0];
            sineTable = ownSine.data();
        }
        if (record && record->semitoneTable && record->semitoneSize >= kSemitoneSize) {
            semitoneTable = record->semitoneTable;
        } else {
            ownSemitone.resize(kSemitoneSize);
            const double step = std::pow(2.0, 1.0 / 12.0);
            for (int i = 0; i < kSemitoneSize; ++i) {
                int k = i - kSemitoneCentre;
                double v = 1.0;
                for (int j = 0; j < std::abs(k); ++j) v *= step;
                ownSemitone[i] = float(k < 0 ? 1.0 / v : v);
            }
            semitoneTable = ownSemitone.data();
        }
        const int R = ringSize, span = historyLength + blockLength;
        const int floatsPerSlot = 8 * R + 3 * span + 3 * blockLength;
        const int intsPerSlot = 2 * R + span;
        floatPool.reset(new float[size_t(floatsPerSlot) * kSlots]);
        intPool.reset(new int32_t[size_t(intsPerSlot) * kSlots]);
        slots.assign(kSlots, Slot());
        for (int i = 0; i < kSlots; ++i) {
            Slot& s = slots[i];
            float* f = floatPool.get() + size_t(floatsPerSlot) * i;
            int32_t* n = intPool.get() + size_t(intsPerSlot) * i;
            s.saw = f; f += R;
            s.pulse = f; f += R;
            s.trianglePulse = f; f += R;
            s.triangle = f; f += R;
            s.sine = f; f += R;
            s.delayedShape = f; f += 2 * R;
            s.triangleInput = f; f += R;
            s.mix = f; f += span;
            s.terms = f; f += 3 * blockLength;
            s.sineOut = f; f += span;
            s.syncSilence = f;
            zero(s.syncSilence, span);
            s.tickRing = n; n += R;
            s.delayedHigh = n; n += R;
            s.syncOut = n;
            s.mixPort = {0, kPortSamples, blockLength, historyLength, s.mix + historyLength, nullptr, 0.0f, 0.0f, nullptr};
            s.sinePort = {0, kPortSamples, blockLength, historyLength, s.sineOut + historyLength, nullptr, 0.0f, 0.0f,
                          nullptr};
            s.syncPort = {0, kPortSync, blockLength, historyLength, s.syncSilence + historyLength,
                          s.syncOut + historyLength, 0.0f, 0.0f, nullptr};
            for (Input* in : {&s.vibrato, &s.bend, &s.touch, &s.pwmLfo, &s.sync}) *in = {nullptr, -1};
            s.state = 18;
            s.baseFrequency = 261.62f;
            s.baseWidth = 0.1f;
            s.widthSmoothed = 0.1f;
            // Every slot's noise starts elsewhere on the map.
            s.noise = 0.01 * number + 0.029 * (i + 1);
            resetSlot(s);
        }
    } catch (const std::bad_alloc&) {
        free();
        return 1;
    }
    return 0;
}

void Oscillator::setSampleRate(float rate) {
    computeRateFields(rate);
    readPos = 0;
    // The tick grid may have changed: every slot starts afresh on it.
    for (Slot& s : slots) s.restart = true;
}

void Oscillator::free() {
    std::vector<Slot>().swap(slots);
    floatPool.reset();
    intPool.reset();
    std::vector<float>().swap(ownSine);
    std::vector<float>().swap(ownSemitone);
    sineTable = nullptr;
    semitoneTable = nullptr;
    useCount = 0;
    active = false;
    resetPending = false;
}

Oscillator::Slot* Oscillator::slotAt(int slot) {
    if (slots.empty()) return nullptr;
    return &slots[std::clamp(slot, 0, kSlots - 1)];
}

const Oscillator::Slot* Oscillator::slotAt(int slot) const {
    if (slots.empty()) return nullptr;
    return &slots[std::clamp(slot, 0, kSlots - 1)];
}

int32_t Oscillator::periodTicks(int slot) const { const Slot* s = slotAt(slot); return s ? s->period : 0; }
int32_t Oscillator::highTicks(int slot) const { const Slot* s = slotAt(slot); return s ? s->high : 0; }
float Oscillator::latchedWidth(int slot) const { const Slot* s = slotAt(slot); return s ? s->widthLatched : 0.0f; }
float Oscillator::frequency(int slot) const { const Slot* s = slotAt(slot); return s ? float(s->frequency) : 0.0f; }

int Oscillator::message(OscillatorRecord* record, int code) {
    if (!record || slots.empty()) return 0;
    Slot& s = *slotAt(record->slot);
    switch (code) {
    case kOscMsgVoice:
        s.state = record->state;
        if (s.state == kSounding) {
            s.baseFrequency = finiteOr(record->frequency, s.baseFrequency);
            s.baseWidth = finiteOr(record->width, s.baseWidth);
            s.syncMode = std::clamp(record->syncMode, 0, 2);
        }
        break;
    case kOscMsgDrift:
        driftSmoothing = std::clamp(finiteOr(record->driftSmoothing, 0.01f), 0.0f, 1.0f);
        driftDepth = finiteOr(record->driftDepth, 0.002f);
        break;
    case kOscMsgPwmDepth:
        s.pwmDepth = finiteOr(record->pwmDepth, 0.0f);
        break;
    case kOscMsgModulation:
        vibratoDepth = finiteOr(record->vibratoDepth, 0.0f);
        touchAmount = finiteOr(record->touchAmount, 0.0f);
        break;
    case kOscMsgSwitches: {
        float triangle = record->triangle != 0 ? 1.0f : 0.0f;
        if (triangle != 0.0f && triangle != s.triangleTarget) s.restart = true;
        s.sawTarget = record->saw != 0 ? 1.0f : 0.0f;
        s.pulseTarget = record->pulse != 0 ? 1.0f : 0.0f;
        s.triangleTarget = triangle;
        if (s.state != kSounding) {
            s.sawLevel = s.sawTarget;
            s.pulseLevel = s.pulseTarget;
            s.triangleLevel = s.triangleTarget;
        }
        break;
    }
    case kOscMsgNoise:
        s.noiseLevel = finiteOr(record->noise, 0.0f);
        break;
    case kOscMsgBendRange:
        bendRange = record->bendRange;
        break;
    default:
        break;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// Ports

SignalPort* Oscillator::takeOutput(int kind, int slot) {
    Slot* s = slotAt(slot);
    if (!s) return nullptr;
    SignalPort* port = nullptr;
    switch (kind) {
    case kOscOutMix: ++s->useMix; port = &s->mixPort; break;
    case kOscOutSine: ++s->useSine; s->sineFade = 0.0f; port = &s->sinePort; break;
    case kOscOutSync: ++s->useSync; port = &s->syncPort; break;
    default: return nullptr;
    }
    ++useCount;
    active = true;
    resetPending = true;
    return port;
}

void Oscillator::releaseOutput(int kind, int slot) {
    Slot* s = slotAt(slot);
    if (!s) return;
    const int span = historyLength + blockLength;
    int* count = kind == kOscOutMix ? &s->useMix : kind == kOscOutSine ? &s->useSine : kind == kOscOutSync ? &s->useSync : nullptr;
    if (!count || *count == 0) return;
    if (--*count == 0) {
        if (kind == kOscOutMix) zero(s->mix, span);
        else if (kind == kOscOutSine) zero(s->sineOut, span);
        else fillTicks(s->syncOut, span, kOscNoWrap);
    }
    if (useCount > 0 && --useCount == 0) {
        active = false;
        for (Slot& each : slots) resetSlot(each);
    }
}

namespace {

// The single input or the summing list behind an input kind; false for kinds without one.
template <class Slot, class Input, class SumInput>
bool inputOf(Slot& s, int kind, Input*& single, SumInput*& sum) {
    single = nullptr;
    sum = nullptr;
    switch (kind) {
    case kOscInSync: single = &s.sync; return true;
    case kOscInVibrato: single = &s.vibrato; return true;
    case kOscInBend: single = &s.bend; return true;
    case kOscInTouch: single = &s.touch; return true;
    case kOscInPwmLfo: single = &s.pwmLfo; return true;
    case kOscInPitch: sum = &s.pitch; return true;
    case kOscInPulseWidth: sum = &s.pulseWidth; return true;
    case kOscInNoise: sum = &s.noiseInput; return true;
    default: return false;
    }
}

}  // namespace

int Oscillator::connectInput(int kind, SignalPort* port, int slot, int tag) {
    Slot* s = slotAt(slot);
    Input* single;
    SumInput* sum;
    if (!s || !inputOf(*s, kind, single, sum)) return 1;
    if (single) {
        // Only another oscillator's sync output can drive the sync.
        if (kind == kOscInSync && port && port->kind != kPortSync) port = nullptr;
        *single = {port, tag};
        return 0;
    }
    if (sum->count >= kMaxSources) return 1;
    if (port) {
        sum->port[sum->count] = port;
        sum->tag[sum->count] = tag;
        ++sum->count;
    }
    return 0;
}

void Oscillator::releaseInput(int kind, int slot, int tag) {
    Slot* s = slotAt(slot);
    Input* single;
    SumInput* sum;
    if (!s || !inputOf(*s, kind, single, sum)) return;
    if (single) {
        if (single->tag == tag) *single = {nullptr, -1};
        return;
    }
    for (int i = 0; i < sum->count; ++i) {
        if (sum->tag[i] != tag) continue;
        // Close the gap so that the sources after it still count.
        for (int j = i + 1; j < sum->count; ++j) {
            sum->port[j - 1] = sum->port[j];
            sum->tag[j - 1] = sum->tag[j];
        }
        --sum->count;
        sum->port[sum->count] = nullptr;
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Slot state

void Oscillator::clearOutputs(Slot& s) {
    const int span = historyLength + blockLength;
    zero(s.mix, span);
    zero(s.sineOut, span);
    fillTicks(s.syncOut, span, kOscNoWrap);
}

void Oscillator::resetSlot(Slot& s) {
    const int R = ringSize;
    for (float* ring : {s.saw, s.pulse, s.trianglePulse, s.triangle, s.sine}) zero(ring, R);
    fillTicks(s.tickRing, R, kOscNoWrap);
    for (int i = 0; i < R; ++i) {
        s.delayedShape[2 * i] = 0.5f;
        s.delayedShape[2 * i + 1] = 1.0f;
    }
    fillTicks(s.delayedHigh, R, 0);
    clearOutputs(s);
    s.pulseDc = s.sawDc = s.sineDc = 0.0f;
    s.triangleSum = s.triangleDc = 0.0;
    s.triangleStarted = false;
    s.frequency = 1.0;
    s.invFrequency = 1.0;
    s.widthLatched = 0.0f;
    s.sinePhase = 0.0f;
    s.pending = 0;
    s.pendingCount = 0;
    s.redo = 0;
    s.triangleWaiting = 0;
    s.widthChanged = false;
    s.frequencyChanged = false;
    s.restart = true;
    s.ranSinceRestart = false;
}

double Oscillator::nextStart() { return logistic(startRandom, 0.999); }

void Oscillator::updateWidth(Slot& s, bool triangleOn) {
    const float lo = triangleOn ? 0.2f : 0.02f, hi = triangleOn ? 0.8f : 0.98f;
    // Moving toward the clamped target: a target beyond the limits settles at the limit.
    float target = std::clamp(s.baseWidth + 0.48f * s.pwm, lo, hi);
    if (s.restart || std::fabs(s.widthSmoothed - target) < 0.001f) {
        s.widthSmoothed = target;
        s.widthMoving = false;
    } else {
        s.widthSmoothed = std::clamp(flushTiny(s.widthSmoothed + (target - s.widthSmoothed) * widthCoeff), lo, hi);
        s.widthMoving = true;
    }
    if (s.pending == 0 && s.widthSmoothed != s.widthLatched) s.widthChanged = true;
}

void Oscillator::computePeriod(Slot& s) {
    s.periodFrequency = s.frequency;
    s.periodWidth = s.widthLatched;
    // Rounded to whole ticks; the bounds are whole, so clamping before the floor is the same.
    const double n = floorToInt(std::clamp(ticksPerSecond / s.frequency + 0.5, 2.0 * ticks, double(kMaxPeriod)));
    s.period = int32_t(n);
    s.increment = ticks / n;
    s.wrapThreshold = s.increment * 0.5 - 0.5;
    s.high = floorToInt(double(s.widthLatched) * n + 0.5);
    s.pulseThreshold = 0.5 - s.high / n + s.increment * 0.5;
    s.sineIncrement = float(kSineSize * s.frequency * invRate);
    if (!s.restart) return;
    s.phase = -0.5 * nextStart();
    s.pulseHigh = s.phase > s.pulseThreshold;
    const double w = s.widthLatched;
    s.pulseNaive = s.pulseHigh ? 0.5 : -0.5;
    s.trianglePulseNaive = s.pulseHigh ? (1.0 - w) * 0.5 : -w * 0.5;
    s.tickCount = roundToInt((0.5 - s.phase) * n);
    s.sinePhase = 0.0f;
    s.triangleWarmup = 4 * quarter - 1;
    s.triangleStarted = false;
    s.triangleDc = 0.0;
    s.restart = false;
}

void Oscillator::applyFrequency(Slot& s, double f) {
    s.frequency = f;
    s.invFrequency = 1.0 / f;
    s.frequencyChanged = false;
    computePeriod(s);
}

void Oscillator::beginPass(Slot& s, bool triangleOn) {
    // Pitch drift: a smoothed random walk shared by the module's slots.
    double x = logistic(driftRandom, 0.999);
    drift -= (drift - (1.0 - 2.0 * x)) * driftSmoothing;
    double f = s.baseFrequency * (1.0 + drift * driftDepth);

    double offset = 0.0, factor = 1.0;
    if (s.vibrato.port) offset = portValue(s.vibrato.port) * (vibratoDepth + portValue(s.touch.port) * touchAmount) * 12.0;
    double bend = portValue(s.bend.port);
    if (bendRange > 0) offset += bendRange * bend;
    else if (bendRange == 0) factor = 1.0 + bend;
    for (int i = 0; i < s.pitch.count; ++i) offset += 24.0 * portValue(s.pitch.port[i]);
    float pwm = portValue(s.pwmLfo.port) * s.pwmDepth;
    for (int i = 0; i < s.pulseWidth.count; ++i) pwm += portValue(s.pulseWidth.port[i]);
    s.pwm = pwm;
    float noise = 0.0f;
    for (int i = 0; i < s.noiseInput.count; ++i) noise += portValue(s.noiseInput.port[i]);
    s.noiseModulation = noise;
    if (s.sync.port) {
        double q = std::floor(double(s.sync.port->period) * ticksPerSecond + 0.5);
        s.syncQuarter = std::isfinite(q) ? int64_t(std::clamp(q, 0.0, 4.0e18)) / 4 : 0;
    }

    updateWidth(s, triangleOn);
    if (std::isnan(offset)) offset = 0.0;  // opposite overflows of huge sources
    if (offset != 0.0) {
        // Semitone ratio, linearly interpolated; offsets beyond the table's ten octaves stop at its ends.
        double index = std::clamp(offset + kSemitoneCentre, 0.0, double(kSemitoneSize - 1));
        int i = std::min(int(index), kSemitoneSize - 2);
        double frac = index - i;
        f *= semitoneTable[i] + frac * (semitoneTable[i + 1] - semitoneTable[i]);
    }
    f *= factor;
    // A frequency above half the rate would let the phase pass two edges in one sample.
    const double top = std::min(kMaxFrequency, 0.5 * sampleRate);
    if (!(f > kMinFrequency)) f = kMinFrequency;
    if (f > top) f = top;

    if (s.pending == 0) {
        s.activeSyncMode = s.syncMode;
        if (s.restart) s.widthLatched = s.widthSmoothed;
        if (s.restart || f != s.frequency) applyFrequency(s, f);
    } else if (f != s.frequency) {
        s.pendingFrequency = f;
        s.frequencyChanged = true;
    }
}

// ---------------------------------------------------------------------------------------
// Generator

void Oscillator::placeStep(float* ring, const float* table, const float* rows, int writePos, double height,
                           int32_t offset) {
    // The step is centred on the exact edge, `offset` ticks before the current entry. Entries
    // before it hold the naive value from before the edge, the current one and those after
    // it the value after the edge: they take the table less the step itself.
    const int P = ticks, T = tableLength, half = tableLength / 2;
    const float h = float(height);
    // The taps' count on each side is found first, so the loops carry no test but their end.
    const int base = offset + half;
    int k = 1;
    // Before the edge, while the index base - k P is above 0; an index past the table's end
    // reads its last entry.
    for (; k * int64_t(P) < base && base - k * int64_t(P) > T - 1; ++k) ring[(writePos - k) & ringMask] += h * table[T - 1];
    const int before = base > 0 ? int((int64_t(base) - 1) / P) : 0;
    // From the edge on, while the index base + k P is inside the table.
    const int after = base < T ? int((int64_t(T) - 1 - base) / P) + 1 : 0;
    if (!rows) {
        for (; k <= before; ++k) ring[(writePos - k) & ringMask] += h * table[base - k * P];
        for (int j = 0; j < after; ++j) ring[(writePos + j) & ringMask] += h * (table[base + j * P] - 1.0f);
        return;
    }
    // Index base + d P is entry mb + d of the residue's row: both sides run on contiguous
    // entries of the ring and the row.
    const float* row = rows + size_t(base % P) * rowLength + base / P;
    if (k <= before) {
        const int first = -before;
        forRingRuns(writePos + first, before - k + 1, ringMask,
                    [&](int i, int at, int n) { addScaled(ring + at, row + first + i, n, h, 0.0f); });
    }
    forRingRuns(writePos, after, ringMask, [&](int i, int at, int n) { addScaled(ring + at, row + i, n, h, 1.0f); });
}

void Oscillator::commit(Slot& s, bool sawOn, bool pulseOn, bool triangleOn) {
    enum { kWrap, kPulseEdge, kSync };
    const int kind = s.pending == 2 ? kSync : s.pulseHigh ? kPulseEdge : kWrap;
    const int32_t t0 = roundToInt((0.5 - s.phase) * s.period);
    int64_t offset;
    if (kind == kWrap) {
        s.tickCount = roundToInt(double(t0) - s.period);
        offset = s.tickCount;
    } else if (kind == kPulseEdge) {
        s.tickCount = t0;
        offset = int64_t(t0) - s.high;
    } else {
        s.tickCount = roundToInt(double(t0) - (double(s.tickCount) - s.syncTicks));
        offset = s.tickCount;
    }
    // The edge lies between the crossing sample and the commit sample.
    offset = std::clamp<int64_t>(offset, 0, int64_t(quarter + 1) * ticks);

    double pulseJitter, sawJitter;
    jitterFactors(s.frequency, pulseJitter, sawJitter);
    const double pulseStep = 1.0 - jitter * pulseJitter;
    const double sawScale = 1.0 - jitter * sawJitter;
    double jump = 0.0, pulse = 0.0, trianglePulse = 0.0;
    if (kind == kWrap) {
        jump = sawScale;
        pulse = pulseStep;
        trianglePulse = 0.5;
        s.pulseHigh = true;
    } else if (kind == kPulseEdge) {
        pulse = -pulseStep;
        trianglePulse = -0.5;
        s.pulseHigh = false;
    } else {
        jump = (0.5 - s.syncPhase) * sawScale;
        if (!s.pulseHigh) {
            pulse = pulseStep;
            trianglePulse = 0.5;
            s.pulseHigh = true;
        }
    }
    const int32_t e = int32_t(offset);
    if (sawOn && jump != 0.0) placeStep(s.saw, stepTables->saw, sawRows, s.writePos, jump, e);
    if (pulseOn && pulse != 0.0) placeStep(s.pulse, stepTables->pulse, pulseRows, s.writePos, pulse, e);
    if (triangleOn && trianglePulse != 0.0)
        placeStep(s.trianglePulse, stepTables->pulse, pulseRows, s.writePos, trianglePulse, e);
    s.phase += jump;
    s.pulseNaive += pulse;
    s.trianglePulseNaive += trianglePulse;
    s.pending = 0;
    s.pendingCount = 0;
    if (kind == kPulseEdge) return;
    // The pulse is high again: the period takes the latched width and any new frequency.
    if (s.widthChanged) {
        s.widthLatched = s.widthSmoothed;
        s.widthChanged = false;
    }
    if (s.frequencyChanged) {
        s.frequency = s.pendingFrequency;
        s.frequencyChanged = false;
    }
    s.trianglePulseNaive = (1.0 - s.widthLatched) * 0.5;
    // The period follows from the frequency and the latched width alone: unchanged, it stands.
    if (!s.restart && s.frequency == s.periodFrequency && s.widthLatched == s.periodWidth) return;
    s.invFrequency = 1.0 / s.frequency;
    computePeriod(s);
}

// The triangle for `count` positions from `at`: the pulse integrated, scaled to a peak-to-peak
// of 1 and freed of DC. It reads the entries kept beside the positions, or (`kept` false, one
// sample at a time on the general path) the pulse ring itself. On locals: through the slot
// every store to the ring would reload them.
void Oscillator::triangleRun(Slot& s, int at, int count, bool kept) {
    for (; count > 0 && s.triangleWarmup > 0; --count) {
        s.triangle[at] = 0.0f;
        at = (at + 1) & ringMask;
        --s.triangleWarmup;
        s.triangleStarted = false;
    }
    if (count == 0) return;
    // The pulse and its parameters 2 x c/4 samples back, where the steps are in place.
    const int lag = 2 * quarter;
    if (!s.triangleStarted) {
        const int back = (at - lag) & ringMask;
        const double w = std::clamp(double(s.delayedShape[2 * back]), 0.01, 0.99);
        const double invF = s.delayedShape[2 * back + 1];
        // Gain for a peak-to-peak of 1: the pulse's integral over its high part is w(1-w)/2 periods.
        s.triangleGain = 1.0 / (w * 0.5 * (1.0 - w) * sampleRate * invF);
        // The tick ring holds the count each entry was made with, as the triangle needs it.
        const double t = s.tickRing[back], d = s.delayedHigh[back];
        s.triangleSum = t >= d ? 0.5 / s.triangleGain - ((t - d) / ticks) * w * 0.5
                               : (1.0 - w) * 0.5 * t / ticks - 0.5 / s.triangleGain;
        s.triangleWidth = w;
        s.triangleInvFrequency = invF;
        s.triangleStarted = true;
        const double y = s.triangleSum * s.triangleGain;
        s.triangleDc = trianglePole * s.triangleDc + (1.0 - trianglePole) * y;
        s.triangle[at] = float(y - s.triangleDc);
        at = (at + 1) & ringMask;
        --count;
    }
    double sum = s.triangleSum, gain = s.triangleGain, dc = s.triangleDc;
    double width = s.triangleWidth, invFrequency = s.triangleInvFrequency;
    const double pole = trianglePole, rest = 1.0 - trianglePole;
    // The stored pair as last seen: unchanged, it needs no comparison in double. No pair has
    // these bits (two NaNs): the first sample always compares.
    uint64_t seen = ~uint64_t(0);
    // In runs where neither the written nor the read entries wrap.
    int back = (at - lag) & ringMask;
    while (count > 0) {
        const int n = std::min(count, ringSize - std::max(at, back));
        const float* const shape = s.delayedShape + 2 * back;
        const float* const pulse = kept ? s.triangleInput + at : s.trianglePulse + back;
        float* const triangle = s.triangle + at;
        for (int k = 0; k < n; ++k) {
            uint64_t bits;
            std::memcpy(&bits, shape + 2 * k, sizeof bits);
            if (bits != seen) {
                seen = bits;
                retuneTriangle(shape + 2 * k, sampleRate, sum, gain, width, invFrequency);
            }
            sum += pulse[k];
            const double y = sum * gain;
            dc = pole * dc + rest * y;
            triangle[k] = float(y - dc);
        }
        at = (at + n) & ringMask;
        back = (back + n) & ringMask;
        count -= n;
    }
    s.triangleSum = sum;
    s.triangleGain = gain;
    s.triangleDc = dc;
    s.triangleWidth = width;
    s.triangleInvFrequency = invFrequency;
}

// A triangle position reads the pulse entry 2 x c/4 samples back as it is when the position is
// made: later commits place steps into it. That entry is kept beside the position, and the
// positions of a started triangle wait in one run until the end of the block.
void Oscillator::deferTriangle(Slot& s, int at, int count) {
    const int lag = 2 * quarter, back = (at - lag) & ringMask;
    if (std::max(at, back) + count <= ringSize) {
        std::copy(s.trianglePulse + back, s.trianglePulse + back + count, s.triangleInput + at);
    } else {
        forRingRuns(at, count, ringMask, [&](int i, int to, int n) {
            forRingRuns(at + i - lag, n, ringMask, [&](int j, int from, int m) {
                std::copy(s.trianglePulse + from, s.trianglePulse + from + m, s.triangleInput + to + j);
            });
        });
    }
    if (s.triangleWaiting > 0 && ((s.triangleNext + s.triangleWaiting) & ringMask) != at) flushTriangle(s);
    if (s.triangleWaiting == 0) {
        if (!s.triangleStarted || s.triangleWarmup > 0) {
            triangleRun(s, at, count, true);
            return;
        }
        s.triangleNext = at;
    }
    s.triangleWaiting += count;
}

void Oscillator::flushTriangle(Slot& s) {
    if (s.triangleWaiting == 0) return;
    const int count = s.triangleWaiting;
    s.triangleWaiting = 0;
    triangleRun(s, s.triangleNext, count, true);
}

// The waiting triangles of two slots, as far as both wait, in the two lanes of one register:
// each lane with the operations of triangleRun in their order. The rest one at a time.
void Oscillator::trianglePair(Slot& a, Slot& b) {
#if HALVORN_OSCILLATOR_LANES
    const int lag = 2 * quarter;
    Slot* const lane[2] = {&a, &b};
    alignas(16) double sum[2] = {a.triangleSum, b.triangleSum};
    alignas(16) double gain[2] = {a.triangleGain, b.triangleGain};
    alignas(16) double dc[2] = {a.triangleDc, b.triangleDc};
    double width[2] = {a.triangleWidth, b.triangleWidth};
    double invFrequency[2] = {a.triangleInvFrequency, b.triangleInvFrequency};
    uint64_t seen[2] = {~uint64_t(0), ~uint64_t(0)};
    __m128d sumLanes = _mm_load_pd(sum), gainLanes = _mm_load_pd(gain), dcLanes = _mm_load_pd(dc);
    const __m128d pole = _mm_set1_pd(trianglePole), rest = _mm_set1_pd(1.0 - trianglePole);
    const int total = std::min(a.triangleWaiting, b.triangleWaiting);
    int at[2] = {a.triangleNext, b.triangleNext};
    for (int count = total; count > 0;) {
        // In runs where no slot's written or read entries wrap.
        int back[2], n = count;
        for (int j = 0; j < 2; ++j) {
            back[j] = (at[j] - lag) & ringMask;
            n = std::min(n, ringSize - std::max(at[j], back[j]));
        }
        const float* const shapeA = a.delayedShape + 2 * back[0];
        const float* const shapeB = b.delayedShape + 2 * back[1];
        const float* const pulseA = a.triangleInput + at[0];
        const float* const pulseB = b.triangleInput + at[1];
        float* const outA = a.triangle + at[0];
        float* const outB = b.triangle + at[1];
        for (int k = 0; k < n; ++k) {
            uint64_t bits[2];
            std::memcpy(&bits[0], shapeA + 2 * k, sizeof bits[0]);
            std::memcpy(&bits[1], shapeB + 2 * k, sizeof bits[1]);
            if (bits[0] != seen[0] || bits[1] != seen[1]) {
                _mm_store_pd(sum, sumLanes);
                _mm_store_pd(gain, gainLanes);
                const float* const shape[2] = {shapeA + 2 * k, shapeB + 2 * k};
                for (int j = 0; j < 2; ++j) {
                    if (bits[j] == seen[j]) continue;
                    seen[j] = bits[j];
                    retuneTriangle(shape[j], sampleRate, sum[j], gain[j], width[j], invFrequency[j]);
                }
                sumLanes = _mm_load_pd(sum);
                gainLanes = _mm_load_pd(gain);
            }
            sumLanes = _mm_add_pd(sumLanes, _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(pulseA + k), _mm_load_ss(pulseB + k))));
            const __m128d y = _mm_mul_pd(sumLanes, gainLanes);
            dcLanes = _mm_add_pd(_mm_mul_pd(pole, dcLanes), _mm_mul_pd(rest, y));
            const __m128 out = _mm_cvtpd_ps(_mm_sub_pd(y, dcLanes));
            _mm_store_ss(outA + k, out);
            _mm_store_ss(outB + k, _mm_shuffle_ps(out, out, 1));
        }
        for (int j = 0; j < 2; ++j) at[j] = (at[j] + n) & ringMask;
        count -= n;
    }
    _mm_store_pd(sum, sumLanes);
    _mm_store_pd(gain, gainLanes);
    _mm_store_pd(dc, dcLanes);
    for (int j = 0; j < 2; ++j) {
        Slot& s = *lane[j];
        s.triangleSum = sum[j];
        s.triangleGain = gain[j];
        s.triangleDc = dc[j];
        s.triangleWidth = width[j];
        s.triangleInvFrequency = invFrequency[j];
        s.triangleNext = at[j];
        s.triangleWaiting -= total;
    }
#endif
    flushTriangle(a);
    flushTriangle(b);
}

void Oscillator::sineSample(Slot& s) {
    float p = s.sinePhase + s.sineIncrement;
    if (p >= float(kSineSize)) p -= float(kSineSize) * std::floor(p / float(kSineSize));
    int i = int(p);
    if (i >= kSineSize) {  // rounding just below the wrap
        i = 0;
        p = 0.0f;
    }
    s.sinePhase = p;
    const float frac = p - float(i);
    s.sine[s.writePos] = sineTable[i] + frac * (sineTable[i + 1] - sineTable[i]);
}

void Oscillator::generate(Slot& s, int syncBase, bool sawOn, bool pulseOn, bool triangleOn, bool phaseOn) {
    const int L = blockLength;
    const int P = ticks;
    const bool sineOn = s.useSine > 0;
    const bool pulseRing = pulseOn || triangleOn;
    SignalPort* master = s.sync.port;
    const bool syncOn = number == 1 && s.activeSyncMode > 0 && !triangleOn && master && master->ticks &&
                        s.syncQuarter > 0;
    const int syncBlock = master ? master->blockLength : 0;
    const int syncHistory = master ? master->historyLength : 0;
    // Without sync, sine or a moving width a sample needs only the phase, the naive values and
    // the tick count: those run on locals, up to a sample that commits an edge; the triangle
    // follows each stretch, reading only entries the stretch has finished.
    const bool plain = phaseOn && !syncOn && !sineOn && !s.widthMoving;
    int commits = 0;
    bool advance = true;
    for (int n = 0; n < L;) {
        if (plain && advance) {
            PlainRun r{s.phase, s.tickCount, s.writePos};
            const double threshold = s.pulseHigh ? s.pulseThreshold : s.wrapThreshold;
            const PlainRings rings{s.saw, s.pulse, s.tickRing, float(s.pulseNaive), s.increment, P, ringMask,
                                   s.trianglePulse, s.delayedShape, s.delayedHigh, float(s.trianglePulseNaive),
                                   triangleOn ? shapeBits(s.widthLatched, float(s.invFrequency)) : 0, s.high};
            int redo = s.redo;
            // Samples made from `from`: those regenerated after a commit keep their triangle.
            auto made = [&](int from, int k) {
                const int skip = std::min(redo, k);
                redo -= skip;
                if (triangleOn && k > skip) deferTriangle(s, (from + skip) & ringMask, k - skip);
                return k;
            };
            bool commitNext = false;
            while (n < L) {
                if (s.pending == 0) {
                    const int from = r.at;
                    n += made(from, runPlain(sawOn, pulseRing, triangleOn, r, rings, L - n, threshold));
                    if (r.phase <= threshold) {
                        s.pending = 1;
                        s.pendingCount = 1;
                    }
                } else {
                    // Samples until the commit's sample, which advances without being kept.
                    const int room = std::max(0, quarter - s.pendingCount);
                    const int from = r.at;
                    const int k = made(from, runPlain(sawOn, pulseRing, triangleOn, r, rings, std::min(room, L - n),
                                                      kNoThreshold));
                    n += k;
                    s.pendingCount += k;
                    if (n < L) {
                        if (r.tickCount < kTickCeiling) r.tickCount += P;
                        r.phase -= s.increment;
                        commitNext = true;
                        break;
                    }
                }
            }
            s.phase = r.phase;
            s.tickCount = r.tickCount;
            s.writePos = r.at;
            s.redo = redo;
            if (!commitNext) break;
            advance = false;
        }
        if (phaseOn) {
            if (advance) {
                if (s.tickCount < kTickCeiling) s.tickCount += P;
                s.phase -= s.increment;
                if (s.widthMoving && s.redo == 0) updateWidth(s, triangleOn);
            }
            advance = true;
            bool found = false;
            if (syncOn) {
                const int index = syncBase + n;
                const bool inRange = index < syncBlock && index - 1 >= -syncHistory;
                // A pending edge blocks a master wrap, a pending sync does not: the newer
                // wrap takes over its phase and count. Mended: the commit still comes c / 4
                // samples after the first; restarting that wait at every wrap never commits
                // under a master faster than the wait, and the slave's phase runs away.
                if (s.pending != 1 && inRange) {
                    const int32_t w = master->ticks[index];
                    const int64_t fall = int64_t(master->ticks[index - 1]) - w;
                    if (fall > s.syncQuarter && w < s.syncQuarter && w > -30 * P) {
                        master->ticks[index - 1] = kOscNoWrap;
                        if (s.activeSyncMode == 1 || s.tickCount > 0.75 * s.period) {
                            if (s.pending == 0) s.pendingCount = 1;
                            s.pending = 2;
                            s.syncPhase = double(w) / s.period + s.phase;
                            s.syncTicks = w;
                            found = true;
                        }
                    }
                }
                if (s.pending == 2 && !found) {
                    // Follow the master's count until the commit.
                    int32_t w = inRange ? master->ticks[index] : s.syncTicks + P;
                    s.syncTicks = w < s.syncTicks ? s.syncTicks + P : w;
                    if (s.syncTicks > (quarter + 1) * P) s.syncTicks = 0;
                }
            }
            if (s.pending == 0) {
                if (s.phase <= (s.pulseHigh ? s.pulseThreshold : s.wrapThreshold)) {
                    s.pending = 1;
                    s.pendingCount = 1;
                }
            } else if (!found && ++s.pendingCount > quarter) {
                commit(s, sawOn, pulseRing, triangleOn);
                if (++commits <= kMaxCommitsPerSample * L) {
                    // Step back to the crossing sample: the entries lose the naive values
                    // that their regeneration will add again, so they keep the values from
                    // before the edge, which the placed steps expect. The regeneration writes
                    // the tick ring anew.
                    // On locals: through the slot every store to a ring would reload them.
                    double phase = s.phase;
                    int32_t tickCount = s.tickCount;
                    int at = s.writePos;
                    const double increment = s.increment;
                    const float pulseNaive = float(s.pulseNaive), trianglePulseNaive = float(s.trianglePulseNaive);
                    float* const saw = s.saw;
                    float* const pulse = s.pulse;
                    float* const tPulse = s.trianglePulse;
                    int k = 0;
#if HALVORN_OSCILLATOR_LANES
                    // In the plain generator four entries at a time where they do not wrap: the
                    // phases one after another as one at a time, the entry before them first.
                    if (plain) {
                        for (; k + 4 <= quarter && at >= 4; k += 4) {
                            const double p1 = phase + increment, p2 = p1 + increment, p3 = p2 + increment;
                            const double p4 = p3 + increment;
                            at -= 4;
                            if (sawOn) {
                                const __m128 values =
                                    _mm_movelh_ps(_mm_cvtpd_ps(_mm_set_pd(p3, p4)), _mm_cvtpd_ps(_mm_set_pd(p1, p2)));
                                _mm_storeu_ps(saw + at, _mm_sub_ps(_mm_loadu_ps(saw + at), values));
                            }
                            if (pulseRing)
                                _mm_storeu_ps(pulse + at, _mm_sub_ps(_mm_loadu_ps(pulse + at), _mm_set1_ps(pulseNaive)));
                            if (triangleOn)
                                _mm_storeu_ps(tPulse + at,
                                              _mm_sub_ps(_mm_loadu_ps(tPulse + at), _mm_set1_ps(trianglePulseNaive)));
                            phase = p4;
                            tickCount -= 4 * P;
                        }
                    }
#endif
                    for (; k < quarter; ++k) {
                        phase += increment;
                        tickCount -= P;
                        at = (at - 1) & ringMask;
                        if (sawOn) saw[at] -= float(phase);
                        if (pulseRing) pulse[at] -= pulseNaive;
                        if (triangleOn) tPulse[at] -= trianglePulseNaive;
                    }
                    s.phase = phase;
                    s.tickCount = tickCount;
                    s.writePos = at;
                    n -= quarter;
                    s.redo += quarter;
                    advance = false;
                    continue;
                }
            }
            const int at = s.writePos;
            if (sawOn) s.saw[at] += float(s.phase);
            if (pulseRing) s.pulse[at] += float(s.pulseNaive);
            if (triangleOn) {
                s.trianglePulse[at] += float(s.trianglePulseNaive);
                s.delayedShape[2 * at] = s.widthLatched;
                s.delayedShape[2 * at + 1] = float(s.invFrequency);
                s.delayedHigh[at] = s.high;
            }
            s.tickRing[at] = s.tickCount;
        }
        if (s.redo > 0) {
            --s.redo;
        } else {
            if (triangleOn) {
                flushTriangle(s);
                triangleRun(s, s.writePos, 1, false);
            }
            if (sineOn) sineSample(s);
        }
        s.writePos = (s.writePos + 1) & ringMask;
        ++n;
    }
}

void Oscillator::runSlot(Slot& s) {
    const bool sawOn = s.sawLevel != 0.0f || s.sawTarget != 0.0f;
    const bool pulseOn = s.pulseLevel != 0.0f || s.pulseTarget != 0.0f;
    const bool triangleOn = s.triangleLevel != 0.0f || s.triangleTarget != 0.0f;
    const bool phaseOn = sawOn || pulseOn || triangleOn || s.useSync > 0;
    // A machinery at rest keeps no edge pending, or frequency changes would wait on it.
    if (!phaseOn) s.pending = 0;
    // A slot that did not run in step with the read position starts afresh.
    if (!s.restart && ((s.writePos - readPos) & ringMask) != ringDelay - blockLength) s.restart = true;
    int passes = 1;
    if (s.restart) {
        s.writePos = readPos;
        // The rings ahead of the read position are generated anew: nothing may be left in them.
        for (float* ring : {s.saw, s.pulse, s.trianglePulse, s.triangle, s.sine}) zero(ring, ringSize);
        s.pending = 0;
        s.pendingCount = 0;
        s.redo = 0;
        passes = ringDelay / blockLength;
    }
    s.ranSinceRestart = true;
    const int total = passes * blockLength;
    for (int pass = 0; pass < passes; ++pass) {
        beginPass(s, triangleOn);
        generate(s, pass * blockLength - (total - blockLength), sawOn, pulseOn, triangleOn, phaseOn);
    }
    // Started afresh, the output stage reads what was just made.
    if (passes > 1) flushTriangle(s);
}

// ---------------------------------------------------------------------------------------
// Output stage

void Oscillator::outputStage(Slot& s) {
    const int L = blockLength, M = historyLength, D = ringDelay;
    std::memmove(s.mix, s.mix + L, sizeof(float) * M);
    float* out = s.mix + M;
    bool wrote = false;
    // Once a term waits for the lanes, the terms after it wait in their own buffers, to be
    // added in their order when the lanes are done.
    bool waiting = false;
    s.laterCount = 0;
    auto settle = [](float& level, float target) {
        if (std::fabs(level - target) < 0.01f) {
            level = target;
            return true;
        }
        return false;
    };
    auto emit = [&](int i, float v) {
        if (wrote) out[i] += v;
        else out[i] = v;
    };
    // Where a term's samples go, and whether they add to what is there.
    auto destination = [&](int term, bool& add) {
        if (!waiting) {
            add = wrote;
            return out;
        }
        float* buffer = s.terms + term * L;
        s.later[s.laterCount++] = buffer;
        add = false;
        return buffer;
    };

    if (s.triangleLevel != 0.0f || s.triangleTarget != 0.0f) {
        if (settle(s.triangleLevel, s.triangleTarget)) {
            // The triangle comes first: its samples are the output's.
            const float level = s.triangleLevel;
            forRingRuns(readPos, L, ringMask, [&](int i, int at, int n) {
                for (int k = 0; k < n; ++k) out[i + k] = s.triangle[at + k] * level;
            });
        } else {
            for (int i = 0; i < L; ++i) {
                s.triangleLevel = flushTiny(s.triangleLevel + (s.triangleTarget - s.triangleLevel) * levelCoeff);
                emit(i, s.triangle[(readPos + i) & ringMask] * s.triangleLevel);
            }
        }
        wrote = true;
    }

    // Pulse and sawtooth: the ring less its one-pole lowpass, i.e. free of DC and inverted.
    // At a settled level the filter's steps wait on each other: it runs after the block's
    // other slots, several in the lanes of one register.
    auto waveform = [&](int term, float* ring, float& dc, float& level, float target, bool clearBehind) {
        const bool settled = settle(level, target);
        if (settled && level == 0.0f) {
            if (!wrote) std::fill(out, out + L, 0.0f);
        } else if (settled) {
            dcJobs[dcJobCount++] = {ring, &dc, level, out, clearBehind, wrote};
            waiting = true;
        } else {
            // On locals: through the references every store to the ring or the output
            // would reload them.
            float d = dc, lv = level;
            bool add;
            float* to = destination(term, add);
            for (int i = 0; i < L; ++i) {
                const float x = ring[(readPos + i) & ringMask];
                d = 0.01f * x + 0.99f * d;
                lv = flushTiny(lv + (target - lv) * levelCoeff);
                if (add) to[i] += (d - x) * lv;
                else to[i] = (d - x) * lv;
            }
            // The entries a delay behind never overlap the ones just read (L + D fits the ring).
            if (clearBehind) zeroRing(ring, readPos - D, L, ringMask);
            dc = flushTiny(d);
            level = lv;
        }
        wrote = true;
    };

    const bool pulseRuns = s.pulseLevel != 0.0f || s.pulseTarget != 0.0f;
    const bool triangleRuns = s.triangleLevel != 0.0f || s.triangleTarget != 0.0f;
    if (pulseRuns) waveform(0, s.pulse, s.pulseDc, s.pulseLevel, s.pulseTarget, false);

    if (s.sawLevel != 0.0f || s.sawTarget != 0.0f) {
        waveform(1, s.saw, s.sawDc, s.sawLevel, s.sawTarget, true);
        s.sawRunning = true;
    } else if (s.sawRunning) {
        zero(s.saw, ringSize);
        s.sawRunning = false;
    }

    if (s.noiseLevel != 0.0f) {
        // The exponent is bounded so that a wild modulation sum stays finite.
        double exponent = 1.2 * double(s.noiseModulation);
        exponent = std::isnan(exponent) ? 0.0 : std::clamp(exponent, -8.0, 8.0);
        const float level = float(s.noiseLevel * std::pow(10.0, exponent));
        bool add;
        float* to = destination(2, add);
        double x = s.noise;
        for (int i = 0; i < L; ++i) {
            x = 3.9999995 * x * (1.0 - x);
            if (x == 0.0) x = 1e-6;
            else if (x == 1.0) x = 0.999999;
            const float v = level * float(2.0 * x - 1.0);
            if (add) to[i] += v;
            else to[i] = v;
        }
        s.noise = x;
        wrote = true;
    }

    if (s.useSine > 0) {
        std::memmove(s.sineOut, s.sineOut + L, sizeof(float) * M);
        float* sine = s.sineOut + M;
        for (int i = 0; i < L; ++i) {
            const int at = (readPos + i) & ringMask;
            const float y = s.sine[at];
            s.sineDc = 0.01f * y + 0.99f * s.sineDc;
            float v = y - s.sineDc;
            s.sine[(at - D) & ringMask] = 0.0f;
            if (s.sineFade < 0.99f) {
                s.sineFade += (1.0f - s.sineFade) * levelCoeff;
                v *= s.sineFade;
            }
            sine[i] = v;
        }
        s.sineDc = flushTiny(s.sineDc);
        s.sineRunning = true;
    } else if (s.sineRunning) {
        zero(s.sineOut, M + L);
        s.sineRunning = false;
    }

    if (s.useSync > 0) {
        std::memmove(s.syncOut, s.syncOut + L, sizeof(int32_t) * M);
        forRingRuns(readPos, L, ringMask,
                    [&](int i, int at, int n) { std::copy(s.tickRing + at, s.tickRing + at + n, s.syncOut + M + i); });
        s.syncPort.frequency = float(s.frequency);
        s.syncPort.period = float(s.invFrequency);
    }

    if (pulseRuns || triangleRuns) {
        zeroRing(s.pulse, readPos - D, L, ringMask);
        zeroRing(s.trianglePulse, readPos - D, L, ringMask);
        s.pulseRunning = true;
    } else if (s.pulseRunning) {
        // Steps placed ahead while the pulse ran would come back when it runs again.
        zero(s.pulse, ringSize);
        zero(s.trianglePulse, ringSize);
        s.pulseRunning = false;
    }

    if (s.laterCount > 0) waitingSlots[waitingCount++] = &s;
    if (wrote) {
        s.quietBlocks = 0;
    } else if (s.quietBlocks < 3) {
        // A faint random floor after the last waveform, for three blocks.
        for (int i = 0; i < L; ++i) out[i] = float(1e-20 * nextStart());
        ++s.quietBlocks;
    }
}

void Oscillator::process() {
    if (slots.empty()) return;
    if (!active) {
        if (resetPending) {
            for (Slot& s : slots) {
                clearOutputs(s);
                s.restart = true;
            }
            resetPending = false;
        }
        return;
    }
    // A slot whose triangle waits is paired with the next such slot. The output stage reads
    // positions a delay behind those that wait.
    Slot* waitingTriangle = nullptr;
    for (Slot& s : slots) {
        const bool taken = s.useMix > 0 || s.useSine > 0 || s.useSync > 0;
        if (s.state == kSounding && taken) {
            runSlot(s);
            outputStage(s);
            if (s.triangleWaiting > 0) {
                if (waitingTriangle) {
                    trianglePair(*waitingTriangle, s);
                    waitingTriangle = nullptr;
                } else {
                    waitingTriangle = &s;
                }
            }
        } else if (s.state != kSounding && s.ranSinceRestart) {
            resetSlot(s);
        }
    }
    if (waitingTriangle) flushTriangle(*waitingTriangle);
    finishOutputs();
    readPos = (readPos + blockLength) & ringMask;
}

// The waiting waveforms: the ring less its one-pole lowpass times the level, as the
// output stage makes it, four to a register where the processor allows, each lane with the
// scalar stage's operations in its order. Then the terms that waited behind them are added
// to their slots' outputs in their order.
void Oscillator::finishOutputs() {
    const int L = blockLength, D = ringDelay;
    for (int first = 0; first < dcJobCount; first += 4) {
        const int count = std::min(4, dcJobCount - first);
#if HALVORN_OSCILLATOR_LANES
        // A lane past the last job repeats it; its results are not stored.
        const DcJob* lane[4];
        for (int j = 0; j < 4; ++j) lane[j] = &dcJobs[first + std::min(j, count - 1)];
        alignas(16) float d[4] = {*lane[0]->dc, *lane[1]->dc, *lane[2]->dc, *lane[3]->dc};
        alignas(16) const float lv[4] = {lane[0]->level, lane[1]->level, lane[2]->level, lane[3]->level};
        const float* ring[4] = {lane[0]->ring, lane[1]->ring, lane[2]->ring, lane[3]->ring};
        float* out[4] = {lane[0]->out, lane[1]->out, lane[2]->out, lane[3]->out};
        __m128 dv = _mm_load_ps(d);
        const __m128 lvv = _mm_load_ps(lv), toInput = _mm_set1_ps(0.01f), toLast = _mm_set1_ps(0.99f);
        // Four samples of the four rings at a time, turned into four samples of lanes and back.
        // With a block length that is a multiple of 4 the read position stays one in a ring
        // whose size is a power of two: four entries from it never wrap.
        const int vectorEnd = L % 4 == 0 ? L : 0;
        int i = 0;
        for (; i < vectorEnd; i += 4) {
            const int at = (readPos + i) & ringMask;
            __m128 x[4], y[4];
            for (int j = 0; j < 4; ++j) x[j] = _mm_loadu_ps(ring[j] + at);
            _MM_TRANSPOSE4_PS(x[0], x[1], x[2], x[3]);
            for (int k = 0; k < 4; ++k) {
                dv = _mm_add_ps(_mm_mul_ps(toInput, x[k]), _mm_mul_ps(toLast, dv));
                y[k] = _mm_mul_ps(_mm_sub_ps(dv, x[k]), lvv);
            }
            _MM_TRANSPOSE4_PS(y[0], y[1], y[2], y[3]);
            // In lane order: a slot's pulse adds to its output before its sawtooth does.
            for (int j = 0; j < count; ++j) {
                if (lane[j]->add) _mm_storeu_ps(out[j] + i, _mm_add_ps(_mm_loadu_ps(out[j] + i), y[j]));
                else _mm_storeu_ps(out[j] + i, y[j]);
            }
        }
        for (; i < L; ++i) {
            const int at = (readPos + i) & ringMask;
            const __m128 x = _mm_set_ps(ring[3][at], ring[2][at], ring[1][at], ring[0][at]);
            dv = _mm_add_ps(_mm_mul_ps(toInput, x), _mm_mul_ps(toLast, dv));
            alignas(16) float y[4];
            _mm_store_ps(y, _mm_mul_ps(_mm_sub_ps(dv, x), lvv));
            for (int j = 0; j < count; ++j) {
                if (lane[j]->add) out[j][i] += y[j];
                else out[j][i] = y[j];
            }
        }
        _mm_store_ps(d, dv);
        for (int j = 0; j < count; ++j) *lane[j]->dc = flushTiny(d[j]);
#else
        for (int j = 0; j < count; ++j) {
            const DcJob& job = dcJobs[first + j];
            float d = *job.dc;
            for (int i = 0; i < L; ++i) {
                const float x = job.ring[(readPos + i) & ringMask];
                d = 0.01f * x + 0.99f * d;
                if (job.add) job.out[i] += (d - x) * job.level;
                else job.out[i] = (d - x) * job.level;
            }
            *job.dc = flushTiny(d);
        }
#endif
        // The entries a delay behind never overlap the ones just read (L + D fits the ring).
        for (int j = 0; j < count; ++j) {
            const DcJob& job = dcJobs[first + j];
            if (job.clearBehind) zeroRing(job.ring, readPos - D, L, ringMask);
        }
    }
    dcJobCount = 0;
    for (int k = 0; k < waitingCount; ++k) {
        Slot& s = *waitingSlots[k];
        float* out = s.mix + historyLength;
        for (int t = 0; t < s.laterCount; ++t) {
            const float* term = s.later[t];
            for (int i = 0; i < L; ++i) out[i] += term[i];
        }
    }
    waitingCount = 0;
}
