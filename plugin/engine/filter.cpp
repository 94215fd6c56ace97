#include "engine/filter.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/engine_math.h"

#if HALVORN_FILTER_WIDE
#include <immintrin.h>
#endif

namespace {

const double kPi = 3.14159265358979323846;
const int kTableSize = 8192;
const float kMinimumQ = 0.707f;
const float kMaximumQ = 50.0f;
const float kJumpHz = 500.0f;  // a larger change of the cutoff is ramped across the block
const int kRampStretch = 64;   // samples designed ahead during a ramp
// History values below this are flushed: a decaying tail would otherwise run into denormals.
const double kFlushLevel = 1e-30;
// Coefficient glides closer than this to their targets snap to them.
const double kGlideSnap = 1e-12;

// NaN-safe clamp: NaN takes the lower bound.
inline double clampValue(double v, double low, double high) {
    if (!(v > low)) return low;
    return v < high ? v : high;
}

inline float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// The table entry at a fractional index: the end entries outside the table, otherwise
// linear interpolation between the two neighbours.
inline double tableAt(const float* table, int size, double position) {
    if (!(position > 0.0)) return table[0];
    if (!(position < size - 1)) return table[size - 1];
    const int i = static_cast<int>(position);
    const double f = position - i;
    return table[i] + (table[i + 1] - table[i]) * f;
}

// The last M samples of a block to the front of the buffer, in place of a library call
// for the few samples: forward, so a source that overlaps its destination is read first.
inline void moveHistory(float* buffer, int L, int M) {
    int i = 0;
#if HALVORN_FILTER_LANES
    for (; i + 4 <= M; i += 4) _mm_storeu_ps(buffer + i, _mm_loadu_ps(buffer + L + i));
    // The rest as the last four, written again in part, where source and destination are apart.
    if (i < M && M >= 4 && L >= M) {
        _mm_storeu_ps(buffer + M - 4, _mm_loadu_ps(buffer + L + M - 4));
        return;
    }
#endif
    for (; i < M; ++i) buffer[i] = buffer[L + i];
}

inline bool usableTable(const float* table, int size, float start, float end) {
    return table != nullptr && size >= 2 && std::isfinite(start) && std::isfinite(end) && end > start;
}

}  // namespace

Filter::Filter()
    : sampleRate(44100.0f),
      inverseRate(1.0 / 44100.0),
      blockLength(0),
      historyLength(0),
      voiceCount(0),
      cutoffCeiling(0.0f),
      cutoffGlide(0.0f),
      coefficientGlide(0.0),
      spareGlide(0.0f),
      tangentTable(nullptr),
      tangentSize(0),
      tangentStart(0.0f),
      tangentScale(0.0),
      powerTable(nullptr),
      powerSize(0),
      powerStart(0.0f),
      powerScale(0.0),
      ownTangent(nullptr),
      ownPower(nullptr),
      glidePowers(nullptr),
      brillianceTarget(0.0f),
      brilliance(0.0f),
      resonanceOffset(0.0f),
      vibratoDepth(0.0f),
      touchAmount(0.0f),
      useCount(0),
      active(0),
      resetPending(0),
      scalarPath(0),
      pairedPath(0),
      wideLanes(HALVORN_FILTER_WIDE && engine::hasWideRegisters() ? 1 : 0),
      buffers(nullptr) {
    std::memset(slots, 0, sizeof(slots));
}

Filter::~Filter() { free(); }

int Filter::init(FilterRecord* record, int kind, float rate) {
    free();
    if (record == nullptr || !(rate > 0.0f) || !std::isfinite(rate)) return 1;
    if (record->blockLength < 1 || record->blockLength > 4096 || record->historyLength < 0 ||
        record->historyLength > 4096 || record->voiceCount < 1 || record->voiceCount > kSlots)
        return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    voiceCount = record->voiceCount;
    const int length = blockLength + historyLength;

    if (usableTable(record->tangentTable, record->tangentSize, record->tangentStart, record->tangentEnd)) {
        tangentTable = record->tangentTable;
        tangentSize = record->tangentSize;
        tangentStart = record->tangentStart;
        tangentScale = tangentSize / (static_cast<double>(record->tangentEnd) - record->tangentStart);
    } else {
        ownTangent = new (std::nothrow) float[kTableSize];
        if (ownTangent == nullptr) return 1;
        for (int i = 0; i < kTableSize; ++i) ownTangent[i] = static_cast<float>(std::tan(kPi / 2 * i / kTableSize));
        tangentTable = ownTangent;
        tangentSize = kTableSize;
        tangentStart = 0.0f;
        tangentScale = kTableSize / (kPi / 2);
    }
    if (usableTable(record->powerTable, record->powerSize, record->powerStart, record->powerEnd)) {
        powerTable = record->powerTable;
        powerSize = record->powerSize;
        powerStart = record->powerStart;
        powerScale = powerSize / (static_cast<double>(record->powerEnd) - record->powerStart);
    } else {
        ownPower = new (std::nothrow) float[kTableSize];
        if (ownPower == nullptr) {
            free();
            return 1;
        }
        for (int i = 0; i < kTableSize; ++i)
            ownPower[i] = static_cast<float>(std::pow(256.0, -3.0 + 6.0 * i / kTableSize));
        powerTable = ownPower;
        powerSize = kTableSize;
        powerStart = -3.0f;
        powerScale = kTableSize / 6.0;
    }

    // The slots' buffers, then the spare slot's: its output, and the silence it filters.
    const size_t floats = static_cast<size_t>(length) * (kSlots + 1) + static_cast<size_t>(blockLength);
    buffers = new (std::nothrow) float[floats];
    if (buffers == nullptr) {
        free();
        return 1;
    }
    std::memset(buffers, 0, sizeof(float) * floats);
    std::memset(&spare, 0, sizeof(Slot));
    spare.buffer = buffers + static_cast<size_t>(length) * kSlots;
    spareInput.controlRate = 0;
    spareInput.kind = kPortSamples;
    spareInput.blockLength = blockLength;
    spareInput.historyLength = 0;
    spareInput.samples = spare.buffer + length;
    spare.audio = &spareInput;

    glidePowers = new (std::nothrow) double[2 * static_cast<size_t>(blockLength)];
    if (glidePowers == nullptr) {
        free();
        return 1;
    }

    sampleRate = rate;
    computeRateFields();
    brillianceTarget = brilliance = 0.0f;
    resonanceOffset = vibratoDepth = touchAmount = 0.0f;
    useCount = active = resetPending = 0;

    for (int i = 0; i < kSlots; ++i) {
        Slot& s = slots[i];
        std::memset(&s, 0, sizeof(Slot));
        s.state = s.previousState = kOff;
        s.type = s.lastType = kFilterLowPass;
        s.poles = 2;
        s.baseQ = 1.0f;
        s.cutoffTarget = s.cutoff = 200.0f;
        s.lastCutoff = 200.0f;
        s.lastQ = 1.0f;
        s.lastModulation = 0.0;
        s.lastFactor = 1.0;
        s.current = s.target = design(s.lastCutoff, s.lastQ, s.lastType);
        s.currentType = s.lastType;
        s.cutoffMod.clear();
        s.resonanceMod.clear();
        s.buffer = buffers + static_cast<size_t>(i) * length;
        s.output.controlRate = 0;
        s.output.kind = kPortSamples;
        s.output.blockLength = blockLength;
        s.output.historyLength = historyLength;
        s.output.samples = s.buffer + historyLength;
    }
    return 0;
}

void Filter::computeRateFields() {
    inverseRate = 1.0 / sampleRate;
    cutoffCeiling = 0.48f * sampleRate;
    cutoffGlide = static_cast<float>(1.0 - std::exp(-blockLength / (0.05 * sampleRate)));
    coefficientGlide = 1.0 - std::exp(-1.0 / (0.003 * sampleRate));
    spareGlide = static_cast<float>(1.0 - std::exp(-1.0 / (0.005 * sampleRate)));
    // (1 - glide)^(i + 1), twice each for the two lanes: what is left of a coefficient's way
    // to its target after sample i of the block.
    if (glidePowers != nullptr)
        for (int i = 0; i < blockLength; ++i)
            glidePowers[2 * i] = glidePowers[2 * i + 1] = std::pow(1.0 - coefficientGlide, i + 1.0);
}

void Filter::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    sampleRate = rate;
    if (buffers == nullptr) return;
    computeRateFields();
    // Coefficients are tied to the rate: redesign each slot for the cutoff and Q it had,
    // within the new ceiling.
    for (Slot& s : slots) {
        s.lastCutoff = static_cast<float>(clampValue(s.lastCutoff, 1.0, cutoffCeiling));
        s.current = s.target = design(s.lastCutoff, s.lastQ, s.lastType);
        s.currentType = s.lastType;
        s.gliding = 0;
    }
}

void Filter::free() {
    delete[] buffers;
    buffers = nullptr;
    delete[] ownTangent;
    ownTangent = nullptr;
    delete[] ownPower;
    ownPower = nullptr;
    delete[] glidePowers;
    glidePowers = nullptr;
    tangentTable = powerTable = nullptr;
    for (Slot& s : slots) {
        s.buffer = nullptr;
        s.output.samples = nullptr;
    }
    useCount = active = resetPending = 0;
}

void Filter::resetSlot(Slot& s) { std::memset(s.section, 0, sizeof(s.section)); }

void Filter::clearOutput(Slot& s) {
    if (s.buffer != nullptr) std::memset(s.buffer, 0, sizeof(float) * (blockLength + historyLength));
    resetSlot(s);
}

// The messages that do not come every block (settings and state are taken in the header).
int Filter::otherMessage(Slot& s, FilterRecord* record, int code) {
    switch (code) {
    case kFilterMsgDepths:
        s.touchDepth = finiteOr(record->touchBrillianceDepth, 0.0f);
        s.initialDepth = finiteOr(record->initialBrillianceDepth, 0.0f);
        break;
    case kFilterMsgVibrato:
        vibratoDepth = finiteOr(record->vibratoDepth, 0.0f);
        touchAmount = finiteOr(record->touchAmount, 0.0f);
        break;
    case kFilterMsgOffsets:
        brillianceTarget = finiteOr(record->brillianceOffset, 0.0f);
        resonanceOffset = finiteOr(record->resonance, 0.0f);
        break;
    case kFilterMsgSlope: {
        const int poles = record->typeOrPoles != 0 ? 4 : 2;
        // A second section taken up again starts clean, not from a tail it held long ago.
        if (poles == 4 && s.poles != 4) std::memset(&s.section[1], 0, sizeof(Section));
        s.poles = poles;
        break;
    }
    default:
        break;
    }
    return 0;
}

SignalPort* Filter::takeOutput(int kind, int slot) {
    if (buffers == nullptr) return nullptr;
    ++useCount;
    active = 1;
    resetPending = 1;
    return &slots[clampSlot(slot)].output;
}

void Filter::releaseOutput(int kind, int slot) {
    if (useCount > 0) --useCount;
    if (useCount == 0) active = 0;
}

int Filter::connectInput(int kind, SignalPort* port, int slot, int tag) {
    if (buffers == nullptr) return 1;
    Slot& s = slots[clampSlot(slot)];
    switch (kind) {
    case kFilterInVibrato: s.vibrato = port; return 0;
    case kFilterInCutoffA: s.cutoffA = port; return 0;
    case kFilterInTouch: s.touch = port; return 0;
    case kFilterInBrillianceSource: s.brillianceSource = port; return 0;
    case kFilterInCutoffB: s.cutoffB = port; return 0;
    case kFilterInAudio: s.audio = port; return 0;
    case kFilterInCutoffMod: return s.cutoffMod.add(port, tag);
    case kFilterInResonanceMod: return s.resonanceMod.add(port, tag);
    default: return 1;
    }
}

void Filter::releaseInput(int kind, int slot, int tag) {
    if (buffers == nullptr) return;
    Slot& s = slots[clampSlot(slot)];
    switch (kind) {
    case kFilterInVibrato: s.vibrato = nullptr; break;
    case kFilterInCutoffA: s.cutoffA = nullptr; break;
    case kFilterInTouch: s.touch = nullptr; break;
    case kFilterInBrillianceSource: s.brillianceSource = nullptr; break;
    case kFilterInCutoffB: s.cutoffB = nullptr; break;
    case kFilterInAudio:
        // Without its audio the slot is no longer filtered: its last block would otherwise
        // be read again and again.
        s.audio = nullptr;
        clearOutput(s);
        break;
    case kFilterInCutoffMod: s.cutoffMod.remove(tag); break;
    case kFilterInResonanceMod: s.resonanceMod.remove(tag); break;
    default: break;
    }
}

double Filter::tangent(double x) const { return tableAt(tangentTable, tangentSize, (x - tangentStart) * tangentScale); }

double Filter::power256(double x) const { return tableAt(powerTable, powerSize, (x - powerStart) * powerScale); }

Filter::Coefficients Filter::design(double cutoff, double q, int type) const {
    // Analog prototype 1 / (s^2/w^2 + s/(wQ) + 1), numerator s^2/w^2 for the high-pass, at the
    // prewarped w = 2 rate tan(pi fc / rate); bilinear transform with s = (1/d)(1 - z^-1)/(1 + z^-1),
    // d = 1 / (2 rate). Scaled by w^2 every term is a power of w d = K = tan(pi fc / rate).
    const double k = tangent(kPi * cutoff * inverseRate);
    const double k2 = k * k;
    const double kq = k / q;
    const double norm = 1.0 / (k2 + kq + 1.0);
    Coefficients c;
    if (type == kFilterHighPass) {
        c.b0 = norm;
        c.b1 = -2.0 * norm;
        c.b2 = norm;
    } else {
        c.b0 = k2 * norm;
        c.b1 = 2.0 * k2 * norm;
        c.b2 = k2 * norm;
    }
    c.a1 = 2.0 * (k2 - 1.0) * norm;
    c.a2 = (k2 - kq + 1.0) * norm;
    return c;
}

namespace {

inline double runSection(double x, double* h, double b0, double b1, double b2, double a1, double a2) {
    // h: x1, x2, y1, y2
    const double y = b0 * x + b1 * h[0] + b2 * h[1] - a1 * h[2] - a2 * h[3];
    h[1] = h[0];
    h[0] = x;
    h[3] = h[2];
    h[2] = y;
    return y;
}

inline void settleSection(double* h) {
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(h[i])) {
            // A non-finite input must not keep the slot silent or noisy until its next note.
            h[0] = h[1] = h[2] = h[3] = 0.0;
            return;
        }
        if (std::fabs(h[i]) < kFlushLevel) h[i] = 0.0;
    }
}

}  // namespace

// The block's settings of a slot: its history moved, the cutoff glided and modulated, the
// coefficients designed or a jump's ramp set up; the recursion is left to runRecursions.
void Filter::prepareSlot(Slot& s) {
    const int L = blockLength;
    const int M = historyLength;
    moveHistory(s.buffer, L, M);
    s.cutoff -= (s.cutoff - s.cutoffTarget) * cutoffGlide;

    // Cutoff modulation, in units of 256^x (eight octaves per unit).
    double m = brilliance + portValue(s.cutoffA) + portValue(s.cutoffB) + s.cutoffMod.sumFirst();
    const double touchValue = s.touch != nullptr ? portValue(s.touch) : 0.0;
    if (s.vibrato != nullptr) m += portValue(s.vibrato) * (vibratoDepth + touchValue * touchAmount) * 0.5;
    if (s.touch != nullptr) m += touchValue * s.touchDepth;
    if (s.brillianceSource != nullptr) m += portValue(s.brillianceSource) * s.initialDepth;
    const double r = (s.poles == 4 ? 0.25 * resonanceOffset : resonanceOffset) + s.resonanceMod.sumFirst();

    const bool firstBlock = s.previousState == kOff;
    if (firstBlock) s.cutoff = s.cutoffTarget;
    // The modulation mostly holds from block to block: its power is kept for it.
    if (m != s.lastModulation) {
        s.lastModulation = m;
        s.lastFactor = m != 0.0 ? power256(m) : 1.0;
    }
    const double factor = s.lastFactor;
    const float fc = static_cast<float>(clampValue(s.cutoff * factor, 1.0, cutoffCeiling));
    const float q = r != 0.0 ? static_cast<float>(clampValue(s.baseQ + 20.0 * r, kMinimumQ, kMaximumQ))
                             : static_cast<float>(clampValue(s.baseQ, kMinimumQ, kMaximumQ));

    if (firstBlock) {
        s.current = s.target = design(fc, q, s.type);
        s.currentType = s.type;
        s.gliding = 0;
        resetSlot(s);
    } else if (std::fabs(fc - s.lastCutoff) > kJumpHz) {
        // Redesigned per sample along a straight line from the last cutoff to the new one.
        s.ramping = 1;
        s.rampStart = s.lastCutoff;
        s.rampStep = (fc - s.rampStart) / L;
        s.currentType = s.type;
        s.gliding = 0;
    } else if (s.type != s.lastType || fc != s.lastCutoff || q != s.lastQ) {
        s.target = design(fc, q, s.type);
        // Gliding from one type's coefficients to the other's, they have neither's shape.
        if (s.currentType != s.type) s.currentType = 0;
        s.gliding = 1;
    }
    s.lastCutoff = fc;
    s.lastQ = q;
    s.lastType = s.type;
}

// The block's recursion of one slot, its coefficients gliding toward their target step by
// step: the reference the paired paths are held to, and the path of processors without SSE2.
void Filter::runSlot(Slot& s) {
    const int L = blockLength;
    const float* in = s.audio->samples;
    float* out = s.buffer + historyLength;
    double* h1 = &s.section[0].x1;
    double* h2 = &s.section[1].x1;
    Coefficients c = s.current;
    if (s.gliding) {
        const Coefficients t = s.target;
        const double g = coefficientGlide;
        const bool cascade = s.poles == 4;
        for (int i = 0; i < L; ++i) {
            c.b0 += (t.b0 - c.b0) * g;
            c.b1 += (t.b1 - c.b1) * g;
            c.b2 += (t.b2 - c.b2) * g;
            c.a1 += (t.a1 - c.a1) * g;
            c.a2 += (t.a2 - c.a2) * g;
            double y = runSection(in[i], h1, c.b0, c.b1, c.b2, c.a1, c.a2);
            if (cascade) y = runSection(y, h2, c.b0, c.b1, c.b2, c.a1, c.a2);
            out[i] = static_cast<float>(y);
        }
        s.current = c;
    } else if (s.poles == 4) {
        for (int i = 0; i < L; ++i) {
            const double y = runSection(in[i], h1, c.b0, c.b1, c.b2, c.a1, c.a2);
            out[i] = static_cast<float>(runSection(y, h2, c.b0, c.b1, c.b2, c.a1, c.a2));
        }
    } else {
        for (int i = 0; i < L; ++i) out[i] = static_cast<float>(runSection(in[i], h1, c.b0, c.b1, c.b2, c.a1, c.a2));
    }
}

// A ramped jump of one slot: the reference the paired ramps are held to. The designs of a
// stretch are made first, apart from the recursion, so they overlap.
void Filter::runRamp(Slot& s) {
    const int L = blockLength;
    const float* in = s.audio->samples;
    float* out = s.buffer + historyLength;
    double* h1 = &s.section[0].x1;
    double* h2 = &s.section[1].x1;
    const bool cascade = s.poles == 4;
    Coefficients c = s.current;
    Coefficients stretch[kRampStretch];
    for (int first = 0; first < L; first += kRampStretch) {
        const int count = L - first < kRampStretch ? L - first : kRampStretch;
        for (int j = 0; j < count; ++j) {
            const int i = first + j;
            stretch[j] = design(i == L - 1 ? s.lastCutoff : s.rampStart + s.rampStep * (i + 1), s.lastQ, s.type);
        }
        for (int j = 0; j < count; ++j) {
            c = stretch[j];
            double y = runSection(in[first + j], h1, c.b0, c.b1, c.b2, c.a1, c.a2);
            if (cascade) y = runSection(y, h2, c.b0, c.b1, c.b2, c.a1, c.a2);
            out[first + j] = static_cast<float>(y);
        }
    }
    s.current = s.target = c;
}

#if HALVORN_FILTER_LANES
namespace {

// Two slots' values of one quantity, slot a in the low lane.
inline __m128d pairOf(double a, double b) { return _mm_set_pd(b, a); }

inline void storePair(__m128d v, double& a, double& b) {
    _mm_storel_pd(&a, v);
    _mm_storeh_pd(&b, v);
}

// The section's input and output become the newest history values.
inline void shiftHistory(__m128d x, __m128d y, __m128d& x1, __m128d& x2, __m128d& y1, __m128d& y2) {
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
}

// One section on two slots: the scalar runSection's operations, in its order, per lane.
inline __m128d runPair(__m128d x, __m128d& x1, __m128d& x2, __m128d& y1, __m128d& y2, __m128d b0, __m128d b1,
                       __m128d b2, __m128d a1, __m128d a2) {
    __m128d y = _mm_add_pd(_mm_mul_pd(b0, x), _mm_mul_pd(b1, x1));
    y = _mm_add_pd(y, _mm_mul_pd(b2, x2));
    y = _mm_sub_pd(y, _mm_mul_pd(a1, y1));
    y = _mm_sub_pd(y, _mm_mul_pd(a2, y2));
    shiftHistory(x, y, x1, x2, y1, y2);
    return y;
}

// One section on two slots whose numerator is b0 (x + 2 x1 + x2) (low-pass) or
// b0 (x - 2 x1 + x2) (high-pass): `sign` holds -0.0 in the lanes of high-pass slots. The
// last output's term comes last, so the next sample waits on one product and one difference.
inline __m128d runShapedPair(__m128d x, __m128d& x1, __m128d& x2, __m128d& y1, __m128d& y2, __m128d b0, __m128d a1,
                             __m128d a2, __m128d sign) {
    const __m128d sum = _mm_add_pd(_mm_add_pd(x, x2), _mm_xor_pd(_mm_add_pd(x1, x1), sign));
    __m128d y = _mm_sub_pd(_mm_mul_pd(b0, sum), _mm_mul_pd(a2, y2));
    y = _mm_sub_pd(y, _mm_mul_pd(a1, y1));
    shiftHistory(x, y, x1, x2, y1, y2);
    return y;
}

// settleSection on two slots at once: a lane holding a non-finite value is cleared whole,
// values below the flush level become 0.
inline void settlePair(__m128d& h0, __m128d& h1, __m128d& h2, __m128d& h3) {
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffll));
    const __m128d infinity = _mm_set1_pd(HUGE_VAL);
    const __m128d flush = _mm_set1_pd(kFlushLevel);
    __m128d* h[4] = {&h0, &h1, &h2, &h3};
    __m128d finite = _mm_castsi128_pd(_mm_set1_epi32(-1));
    __m128d tiny[4];
    for (int i = 0; i < 4; ++i) {
        const __m128d a = _mm_and_pd(*h[i], magnitude);
        finite = _mm_and_pd(finite, _mm_cmplt_pd(a, infinity));
        tiny[i] = _mm_cmplt_pd(a, flush);
    }
    for (int i = 0; i < 4; ++i) *h[i] = _mm_andnot_pd(tiny[i], _mm_and_pd(*h[i], finite));
}

inline void storeOutputs(__m128d y, float* a, float* b) {
    const __m128 f = _mm_cvtpd_ps(y);
    _mm_store_ss(a, f);
    _mm_store_ss(b, _mm_shuffle_ps(f, f, 1));
}

// Four samples of two slots' inputs as four pairs, and four pairs back into the slots'
// outputs: whole registers moved instead of one sample at a time.
inline void loadFour(const float* a, const float* b, __m128d x[4]) {
    const __m128 va = _mm_loadu_ps(a);
    const __m128 vb = _mm_loadu_ps(b);
    const __m128 low = _mm_unpacklo_ps(va, vb);   // a0 b0 a1 b1
    const __m128 high = _mm_unpackhi_ps(va, vb);  // a2 b2 a3 b3
    x[0] = _mm_cvtps_pd(low);
    x[1] = _mm_cvtps_pd(_mm_movehl_ps(low, low));
    x[2] = _mm_cvtps_pd(high);
    x[3] = _mm_cvtps_pd(_mm_movehl_ps(high, high));
}

inline void storeFour(const __m128d y[4], float* a, float* b) {
    const __m128 low = _mm_movelh_ps(_mm_cvtpd_ps(y[0]), _mm_cvtpd_ps(y[1]));   // a0 b0 a1 b1
    const __m128 high = _mm_movelh_ps(_mm_cvtpd_ps(y[2]), _mm_cvtpd_ps(y[3]));  // a2 b2 a3 b3
    _mm_storeu_ps(a, _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(b, _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}

}  // namespace

void Filter::LanePair::load(const Slot& a, const Slot& b, int historyLength) {
    inA = a.audio->samples;
    inB = b.audio->samples;
    outA = a.buffer + historyLength;
    outB = b.buffer + historyLength;
    x1 = pairOf(a.section[0].x1, b.section[0].x1);
    x2 = pairOf(a.section[0].x2, b.section[0].x2);
    y1 = pairOf(a.section[0].y1, b.section[0].y1);
    y2 = pairOf(a.section[0].y2, b.section[0].y2);
    u1 = pairOf(a.section[1].x1, b.section[1].x1);
    u2 = pairOf(a.section[1].x2, b.section[1].x2);
    v1 = pairOf(a.section[1].y1, b.section[1].y1);
    v2 = pairOf(a.section[1].y2, b.section[1].y2);
}

template <bool kCascade>
void Filter::LanePair::store(Slot& a, Slot& b) const {
    storePair(x1, a.section[0].x1, b.section[0].x1);
    storePair(x2, a.section[0].x2, b.section[0].x2);
    storePair(y1, a.section[0].y1, b.section[0].y1);
    storePair(y2, a.section[0].y2, b.section[0].y2);
    if (kCascade) {
        storePair(u1, a.section[1].x1, b.section[1].x1);
        storePair(u2, a.section[1].x2, b.section[1].x2);
        storePair(v1, a.section[1].y1, b.section[1].y1);
        storePair(v2, a.section[1].y2, b.section[1].y2);
    }
}

// Settled slots of the same kind (2 or 4 poles) in the two lanes of the SSE2 registers, N
// pairs at once: the recursion of one slot waits on its last output, so several independent
// chains keep the arithmetic units busy. Each lane does the scalar path's operations in its
// order, so the output is the same to the bit. The histories are settled here, in the lanes.
template <bool kCascade, int N>
void Filter::runPairs(Slot* const* a, Slot* const* b) {
    const int L = blockLength;
    LanePair lanes[N];
    __m128d b0[N], b1[N], b2[N], a1[N], a2[N];
    for (int p = 0; p < N; ++p) {
        const Coefficients& ca = a[p]->current;
        const Coefficients& cb = b[p]->current;
        lanes[p].load(*a[p], *b[p], historyLength);
        b0[p] = pairOf(ca.b0, cb.b0);
        b1[p] = pairOf(ca.b1, cb.b1);
        b2[p] = pairOf(ca.b2, cb.b2);
        a1[p] = pairOf(ca.a1, cb.a1);
        a2[p] = pairOf(ca.a2, cb.a2);
    }
    auto step = [&](int p, __m128d x) {
        LanePair& h = lanes[p];
        __m128d y = ::runPair(x, h.x1, h.x2, h.y1, h.y2, b0[p], b1[p], b2[p], a1[p], a2[p]);
        if (kCascade) y = ::runPair(y, h.u1, h.u2, h.v1, h.v2, b0[p], b1[p], b2[p], a1[p], a2[p]);
        return y;
    };
    int i = 0;
    for (; i + 4 <= L; i += 4) {
        for (int p = 0; p < N; ++p) {
            __m128d y[4];
            loadFour(lanes[p].inA + i, lanes[p].inB + i, y);
            for (int j = 0; j < 4; ++j) y[j] = step(p, y[j]);
            storeFour(y, lanes[p].outA + i, lanes[p].outB + i);
        }
    }
    for (; i < L; ++i)
        for (int p = 0; p < N; ++p) storeOutputs(step(p, lanes[p].input(i)), lanes[p].outA + i, lanes[p].outB + i);
    for (int p = 0; p < N; ++p) {
        LanePair& h = lanes[p];
        settlePair(h.x1, h.x2, h.y1, h.y2);
        if (kCascade) settlePair(h.u1, h.u2, h.v1, h.v2);
        h.template store<kCascade>(*a[p], *b[p]);
    }
}

// A pair of gliding slots of one kind. A coefficient c moving toward its target t by the
// glide g per sample is, after sample i, t - (t - c) r^(i+1) with r = 1 - g: the powers are
// the module's, so each sample takes two operations per coefficient and no step waits on the
// one before. The design gives b1 = +-2 b0 and b2 = b0 and the glide keeps them (the factor 2
// is exact), so only b0, a1 and a2 move. The rounding differs from runSlot's step by step
// glide and three-product numerator, within the tolerance the filter test states.
template <bool kCascade>
void Filter::runGliding(Slot& sa, Slot& sb) {
    const int L = blockLength;
    LanePair h;
    h.load(sa, sb, historyLength);
    const __m128d tb0 = pairOf(sa.target.b0, sb.target.b0);
    const __m128d ta1 = pairOf(sa.target.a1, sb.target.a1);
    const __m128d ta2 = pairOf(sa.target.a2, sb.target.a2);
    // c - t rather than t - c: t + (c - t) r is the same number as t - (t - c) r, and the sum
    // leaves its result where the product was, so r is not copied for each coefficient.
    const __m128d db0 = _mm_sub_pd(pairOf(sa.current.b0, sb.current.b0), tb0);
    const __m128d da1 = _mm_sub_pd(pairOf(sa.current.a1, sb.current.a1), ta1);
    const __m128d da2 = _mm_sub_pd(pairOf(sa.current.a2, sb.current.a2), ta2);
    const __m128d sign = pairOf(sa.target.b1 < 0.0 ? -0.0 : 0.0, sb.target.b1 < 0.0 ? -0.0 : 0.0);
    const double* powers = glidePowers;
    // One sample of both slots: the coefficients of sample i, then the sections.
    auto step = [&](__m128d x, int i) {
        const __m128d r = _mm_loadu_pd(powers + 2 * i);
        const __m128d b0 = _mm_add_pd(_mm_mul_pd(db0, r), tb0);
        const __m128d a1 = _mm_add_pd(_mm_mul_pd(da1, r), ta1);
        const __m128d a2 = _mm_add_pd(_mm_mul_pd(da2, r), ta2);
        __m128d y = runShapedPair(x, h.x1, h.x2, h.y1, h.y2, b0, a1, a2, sign);
        if (kCascade) y = runShapedPair(y, h.u1, h.u2, h.v1, h.v2, b0, a1, a2, sign);
        return y;
    };
    int i = 0;
    for (; i + 4 <= L; i += 4) {
        __m128d y[4];
        loadFour(h.inA + i, h.inB + i, y);
        for (int j = 0; j < 4; ++j) y[j] = step(y[j], i + j);
        storeFour(y, h.outA + i, h.outB + i);
    }
    for (; i < L; ++i) storeOutputs(step(h.input(i), i), h.outA + i, h.outB + i);
    h.store<kCascade>(sa, sb);
    const __m128d r = _mm_loadu_pd(powers + 2 * (L - 1));
    storePair(_mm_add_pd(_mm_mul_pd(db0, r), tb0), sa.current.b0, sb.current.b0);
    storePair(_mm_add_pd(_mm_mul_pd(da1, r), ta1), sa.current.a1, sb.current.a1);
    storePair(_mm_add_pd(_mm_mul_pd(da2, r), ta2), sa.current.a2, sb.current.a2);
    shapeNumerator(sa);
    shapeNumerator(sb);
}

// tableAt over the tangent table in both lanes: inside the table each lane's entry and the
// next are loaded at once, and the step between them taken in float as tableAt takes it, so
// the bits are the same.
__m128d Filter::tangentPair(__m128d position, __m128d last) const {
    const __m128d inside = _mm_and_pd(_mm_cmpgt_pd(position, _mm_setzero_pd()), _mm_cmplt_pd(position, last));
    if (_mm_movemask_pd(inside) != 3) {
        double p[2];
        _mm_storeu_pd(p, position);
        return pairOf(tableAt(tangentTable, tangentSize, p[0]), tableAt(tangentTable, tangentSize, p[1]));
    }
    const __m128i index = _mm_cvttpd_epi32(position);
    const __m128d fraction = _mm_sub_pd(position, _mm_cvtepi32_pd(index));
    const int ia = _mm_cvtsi128_si32(index);
    const int ib = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, 1));
    const __m128i pairA = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(tangentTable + ia));
    const __m128i pairB = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(tangentTable + ib));
    const __m128 e = _mm_castsi128_ps(_mm_unpacklo_epi64(pairA, pairB));  // ta, its next, tb, its next
    const __m128 entries = _mm_shuffle_ps(e, e, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 next = _mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128d entry = _mm_cvtps_pd(entries);
    const __m128d step = _mm_cvtps_pd(_mm_sub_ps(next, entries));
    return _mm_add_pd(entry, _mm_mul_pd(step, fraction));
}

// A pair of slots ramping a jump of the cutoff, redesigned every sample: a stretch of designs
// of both slots is made in the lanes first, then the recursion runs on them. Each lane does
// design()'s and runSection()'s operations in their order (b1 = +-2 b0 and b2 = b0 are exact),
// so the output is the one-slot ramp's to the bit.
template <bool kCascade>
void Filter::runRamping(Slot& sa, Slot& sb) {
    const int L = blockLength;
    LanePair h;
    h.load(sa, sb, historyLength);
    const __m128d start = pairOf(sa.rampStart, sb.rampStart);
    const __m128d step = pairOf(sa.rampStep, sb.rampStep);
    const __m128d end = pairOf(sa.lastCutoff, sb.lastCutoff);
    const __m128d q = pairOf(sa.lastQ, sb.lastQ);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d two = _mm_set1_pd(2.0);
    const __m128d angle = _mm_set1_pd(kPi);
    const __m128d rate = _mm_set1_pd(inverseRate);
    const __m128d tableStart = _mm_set1_pd(tangentStart);
    const __m128d scale = _mm_set1_pd(tangentScale);
    // All ones in the lanes of high-pass slots, whose b0 is the norm rather than k^2 norm.
    const __m128d high = _mm_castsi128_pd(_mm_set_epi64x(sb.type == kFilterHighPass ? -1 : 0,
                                                         sa.type == kFilterHighPass ? -1 : 0));
    const __m128d twice = pairOf(sa.type == kFilterHighPass ? -2.0 : 2.0, sb.type == kFilterHighPass ? -2.0 : 2.0);
    const __m128d last = _mm_set1_pd(tangentSize - 1);
    __m128d b0s[kRampStretch], a1s[kRampStretch], a2s[kRampStretch];
    __m128d b0 = _mm_setzero_pd(), a1 = b0, a2 = b0, sample = b0;
    for (int first = 0; first < L; first += kRampStretch) {
        const int count = L - first < kRampStretch ? L - first : kRampStretch;
        for (int j = 0; j < count; ++j) {
            sample = _mm_add_pd(sample, one);  // i + 1, exact
            const __m128d cutoff = first + j == L - 1 ? end : _mm_add_pd(start, _mm_mul_pd(step, sample));
            const __m128d position =
                _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(_mm_mul_pd(angle, cutoff), rate), tableStart), scale);
            const __m128d k = tangentPair(position, last);
            const __m128d k2 = _mm_mul_pd(k, k);
            const __m128d kq = _mm_div_pd(k, q);
            const __m128d norm = _mm_div_pd(one, _mm_add_pd(_mm_add_pd(k2, kq), one));
            b0s[j] = _mm_or_pd(_mm_and_pd(high, norm), _mm_andnot_pd(high, _mm_mul_pd(k2, norm)));
            a1s[j] = _mm_mul_pd(_mm_mul_pd(two, _mm_sub_pd(k2, one)), norm);
            a2s[j] = _mm_mul_pd(_mm_add_pd(_mm_sub_pd(k2, kq), one), norm);
        }
        for (int j = 0; j < count; ++j) {
            b0 = b0s[j];
            a1 = a1s[j];
            a2 = a2s[j];
            const __m128d b1 = _mm_mul_pd(twice, b0);
            __m128d y = ::runPair(h.input(first + j), h.x1, h.x2, h.y1, h.y2, b0, b1, b0, a1, a2);
            if (kCascade) y = ::runPair(y, h.u1, h.u2, h.v1, h.v2, b0, b1, b0, a1, a2);
            storeOutputs(y, h.outA + first + j, h.outB + first + j);
        }
    }
    h.store<kCascade>(sa, sb);
    storePair(b0, sa.current.b0, sb.current.b0);
    storePair(a1, sa.current.a1, sb.current.a1);
    storePair(a2, sa.current.a2, sb.current.a2);
    storePair(_mm_mul_pd(twice, b0), sa.current.b1, sb.current.b1);
    storePair(b0, sa.current.b2, sb.current.b2);
    sa.target = sa.current;
    sb.target = sb.current;
}

#if HALVORN_FILTER_WIDE
namespace {

// Four slots' values of one quantity, the first slot in the lowest lane, and back.
HALVORN_FILTER_WIDE_CODE inline __m256d quadOf(double a, double b, double c, double d) {
    return _mm256_set_pd(d, c, b, a);
}

HALVORN_FILTER_WIDE_CODE inline void storeQuad(__m256d v, double& a, double& b, double& c, double& d) {
    const __m128d low = _mm256_castpd256_pd128(v);
    const __m128d high = _mm256_extractf128_pd(v, 1);
    _mm_storel_pd(&a, low);
    _mm_storeh_pd(&b, low);
    _mm_storel_pd(&c, high);
    _mm_storeh_pd(&d, high);
}

// One section on four slots: runSection's operations, in its order, per lane.
HALVORN_FILTER_WIDE_CODE inline __m256d runQuadSection(__m256d x, __m256d& x1, __m256d& x2, __m256d& y1,
                                                       __m256d& y2, const __m256d* c) {
    __m256d y = _mm256_add_pd(_mm256_mul_pd(c[0], x), _mm256_mul_pd(c[1], x1));
    y = _mm256_add_pd(y, _mm256_mul_pd(c[2], x2));
    y = _mm256_sub_pd(y, _mm256_mul_pd(c[3], y1));
    y = _mm256_sub_pd(y, _mm256_mul_pd(c[4], y2));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

// settleSection on four slots at once: a lane holding a non-finite value is cleared whole,
// values below the flush level become 0.
HALVORN_FILTER_WIDE_CODE inline void settleQuad(__m256d& h0, __m256d& h1, __m256d& h2, __m256d& h3) {
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffll));
    const __m256d infinity = _mm256_set1_pd(HUGE_VAL);
    const __m256d flush = _mm256_set1_pd(kFlushLevel);
    __m256d* h[4] = {&h0, &h1, &h2, &h3};
    __m256d finite = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    __m256d tiny[4];
    for (int i = 0; i < 4; ++i) {
        const __m256d a = _mm256_and_pd(*h[i], magnitude);
        finite = _mm256_and_pd(finite, _mm256_cmp_pd(a, infinity, _CMP_LT_OQ));
        tiny[i] = _mm256_cmp_pd(a, flush, _CMP_LT_OQ);
    }
    for (int i = 0; i < 4; ++i) *h[i] = _mm256_andnot_pd(tiny[i], _mm256_and_pd(*h[i], finite));
}

// Four slots' signals, both sections' histories and the coefficients.
struct Quad {
    const float* in[4];
    float* out[4];
    __m256d x1, x2, y1, y2, u1, u2, v1, v2;
    __m256d c[5];
};

template <bool kCascade>
HALVORN_FILTER_WIDE_CODE inline __m256d stepQuad(Quad& h, __m256d x) {
    __m256d y = runQuadSection(x, h.x1, h.x2, h.y1, h.y2, h.c);
    if (kCascade) y = runQuadSection(y, h.u1, h.u2, h.v1, h.v2, h.c);
    return y;
}


// Four samples of a quad from sample i on, turned so that each register holds one sample of
// every slot, and turned back on the way out.
HALVORN_FILTER_WIDE_CODE inline void loadQuadFour(const Quad& h, int i, __m256d x[4]) {
    __m128 r0 = _mm_loadu_ps(h.in[0] + i), r1 = _mm_loadu_ps(h.in[1] + i);
    __m128 r2 = _mm_loadu_ps(h.in[2] + i), r3 = _mm_loadu_ps(h.in[3] + i);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    x[0] = _mm256_cvtps_pd(r0);
    x[1] = _mm256_cvtps_pd(r1);
    x[2] = _mm256_cvtps_pd(r2);
    x[3] = _mm256_cvtps_pd(r3);
}

HALVORN_FILTER_WIDE_CODE inline void storeQuadFour(const Quad& h, int i, const __m256d y[4]) {
    __m128 r0 = _mm256_cvtpd_ps(y[0]), r1 = _mm256_cvtpd_ps(y[1]);
    __m128 r2 = _mm256_cvtpd_ps(y[2]), r3 = _mm256_cvtpd_ps(y[3]);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    _mm_storeu_ps(h.out[0] + i, r0);
    _mm_storeu_ps(h.out[1] + i, r1);
    _mm_storeu_ps(h.out[2] + i, r2);
    _mm_storeu_ps(h.out[3] + i, r3);
}

HALVORN_FILTER_WIDE_CODE inline __m256d loadQuadOne(const Quad& h, int i) {
    return _mm256_cvtps_pd(_mm_set_ps(h.in[3][i], h.in[2][i], h.in[1][i], h.in[0][i]));
}

HALVORN_FILTER_WIDE_CODE inline void storeQuadOne(const Quad& h, int i, __m256d y) {
    alignas(16) float f[4];
    _mm_store_ps(f, _mm256_cvtpd_ps(y));
    for (int k = 0; k < 4; ++k) h.out[k][i] = f[k];
}

template <bool kCascade>
HALVORN_FILTER_WIDE_CODE inline void runQuadFour(Quad& h, int i) {
    __m256d x[4];
    loadQuadFour(h, i, x);
    for (int j = 0; j < 4; ++j) x[j] = stepQuad<kCascade>(h, x[j]);
    storeQuadFour(h, i, x);
}

template <bool kCascade>
HALVORN_FILTER_WIDE_CODE inline void runQuadOne(Quad& h, int i) {
    storeQuadOne(h, i, stepQuad<kCascade>(h, loadQuadOne(h, i)));
}

// Gliding slots: the targets of the moving coefficients, their distances from them, and -0.0
// in the lanes of high-pass slots (runGliding's numbers, four lanes wide).
struct GlideQuad {
    __m256d tb0, ta1, ta2, db0, da1, da2, sign;
};

// runShapedPair on four slots.
HALVORN_FILTER_WIDE_CODE inline __m256d runShapedQuadSection(__m256d x, __m256d& x1, __m256d& x2, __m256d& y1,
                                                             __m256d& y2, __m256d b0, __m256d a1, __m256d a2,
                                                             __m256d sign) {
    const __m256d sum = _mm256_add_pd(_mm256_add_pd(x, x2), _mm256_xor_pd(_mm256_add_pd(x1, x1), sign));
    __m256d y = _mm256_sub_pd(_mm256_mul_pd(b0, sum), _mm256_mul_pd(a2, y2));
    y = _mm256_sub_pd(y, _mm256_mul_pd(a1, y1));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

// One sample of gliding slots: the coefficients at the power r of the glide, then the sections.
template <bool kCascade>
HALVORN_FILTER_WIDE_CODE inline __m256d glideQuad(Quad& h, const GlideQuad& g, __m256d x, const double* r) {
    const __m256d power = _mm256_broadcast_sd(r);
    const __m256d b0 = _mm256_add_pd(_mm256_mul_pd(g.db0, power), g.tb0);
    const __m256d a1 = _mm256_add_pd(_mm256_mul_pd(g.da1, power), g.ta1);
    const __m256d a2 = _mm256_add_pd(_mm256_mul_pd(g.da2, power), g.ta2);
    __m256d y = runShapedQuadSection(x, h.x1, h.x2, h.y1, h.y2, b0, a1, a2, g.sign);
    if (kCascade) y = runShapedQuadSection(y, h.u1, h.u2, h.v1, h.v2, b0, a1, a2, g.sign);
    return y;
}

// (Slot is the module's private record, given to these as a parameter of the template.)
template <class Slot>
HALVORN_FILTER_WIDE_CODE inline void loadQuad(Quad& h, Slot* const* s, int historyLength) {
    for (int k = 0; k < 4; ++k) {
        h.in[k] = s[k]->audio->samples;
        h.out[k] = s[k]->buffer + historyLength;
    }
#define HALVORN_QUAD(field) quadOf(s[0]->field, s[1]->field, s[2]->field, s[3]->field)
    h.x1 = HALVORN_QUAD(section[0].x1);
    h.x2 = HALVORN_QUAD(section[0].x2);
    h.y1 = HALVORN_QUAD(section[0].y1);
    h.y2 = HALVORN_QUAD(section[0].y2);
    h.u1 = HALVORN_QUAD(section[1].x1);
    h.u2 = HALVORN_QUAD(section[1].x2);
    h.v1 = HALVORN_QUAD(section[1].y1);
    h.v2 = HALVORN_QUAD(section[1].y2);
    h.c[0] = HALVORN_QUAD(current.b0);
    h.c[1] = HALVORN_QUAD(current.b1);
    h.c[2] = HALVORN_QUAD(current.b2);
    h.c[3] = HALVORN_QUAD(current.a1);
    h.c[4] = HALVORN_QUAD(current.a2);
#undef HALVORN_QUAD
}

// The histories back into the slots, settled in the lanes first when asked.
template <bool kCascade, bool kSettle, class Slot>
HALVORN_FILTER_WIDE_CODE inline void storeQuadHistory(Quad& h, Slot* const* s) {
    if (kSettle) settleQuad(h.x1, h.x2, h.y1, h.y2);
    if (kSettle && kCascade) settleQuad(h.u1, h.u2, h.v1, h.v2);
#define HALVORN_STORE(v, field) storeQuad(v, s[0]->field, s[1]->field, s[2]->field, s[3]->field)
    HALVORN_STORE(h.x1, section[0].x1);
    HALVORN_STORE(h.x2, section[0].x2);
    HALVORN_STORE(h.y1, section[0].y1);
    HALVORN_STORE(h.y2, section[0].y2);
    if (kCascade) {
        HALVORN_STORE(h.u1, section[1].x1);
        HALVORN_STORE(h.u2, section[1].x2);
        HALVORN_STORE(h.v1, section[1].y1);
        HALVORN_STORE(h.v2, section[1].y2);
    }
#undef HALVORN_STORE
}

}  // namespace

// Settled slots of one kind four to a register, one or two registers at once: each lane does
// the scalar path's operations in its order, so the output is the same to the bit. The
// histories are settled here too. A section's recursion waits on its last output: a 4-pole
// register keeps two such chains going, 2-pole slots take a second register for it.
template <bool kCascade, int N>
void Filter::runQuads(Slot* const* s) {
    const int L = blockLength;
    Quad a, b;
    loadQuad(a, s, historyLength);
    if (N == 2) loadQuad(b, s + 4, historyLength);
    int i = 0;
    for (; i + 4 <= L; i += 4) {
        runQuadFour<kCascade>(a, i);
        if (N == 2) runQuadFour<kCascade>(b, i);
    }
    for (; i < L; ++i) {
        runQuadOne<kCascade>(a, i);
        if (N == 2) runQuadOne<kCascade>(b, i);
    }
    storeQuadHistory<kCascade, true>(a, s);
    if (N == 2) storeQuadHistory<kCascade, true>(b, s + 4);
}

// Gliding slots of one kind four to a register: each lane does runGliding's operations in its
// order, so the output is the two-lane path's to the bit.
template <bool kCascade>
void Filter::runGlidingQuad(Slot* const* s) {
    const int L = blockLength;
    Quad h;
    loadQuad(h, s, historyLength);
    GlideQuad g;
#define HALVORN_QUAD(field) quadOf(s[0]->field, s[1]->field, s[2]->field, s[3]->field)
    g.tb0 = HALVORN_QUAD(target.b0);
    g.ta1 = HALVORN_QUAD(target.a1);
    g.ta2 = HALVORN_QUAD(target.a2);
    g.db0 = _mm256_sub_pd(HALVORN_QUAD(current.b0), g.tb0);
    g.da1 = _mm256_sub_pd(HALVORN_QUAD(current.a1), g.ta1);
    g.da2 = _mm256_sub_pd(HALVORN_QUAD(current.a2), g.ta2);
#undef HALVORN_QUAD
    double sign[4];
    for (int k = 0; k < 4; ++k) sign[k] = s[k]->target.b1 < 0.0 ? -0.0 : 0.0;
    g.sign = _mm256_loadu_pd(sign);
    const double* powers = glidePowers;  // each power twice
    int i = 0;
    for (; i + 4 <= L; i += 4) {
        __m256d x[4];
        loadQuadFour(h, i, x);
        for (int j = 0; j < 4; ++j) x[j] = glideQuad<kCascade>(h, g, x[j], powers + 2 * (i + j));
        storeQuadFour(h, i, x);
    }
    for (; i < L; ++i) storeQuadOne(h, i, glideQuad<kCascade>(h, g, loadQuadOne(h, i), powers + 2 * i));
    storeQuadHistory<kCascade, false>(h, s);
    const __m256d r = _mm256_broadcast_sd(powers + 2 * (L - 1));
    double b0[4], a1[4], a2[4];
    _mm256_storeu_pd(b0, _mm256_add_pd(_mm256_mul_pd(g.db0, r), g.tb0));
    _mm256_storeu_pd(a1, _mm256_add_pd(_mm256_mul_pd(g.da1, r), g.ta1));
    _mm256_storeu_pd(a2, _mm256_add_pd(_mm256_mul_pd(g.da2, r), g.ta2));
    for (int k = 0; k < 4; ++k) {
        s[k]->current.b0 = b0[k];
        s[k]->current.a1 = a1[k];
        s[k]->current.a2 = a2[k];
        shapeNumerator(*s[k]);
    }
}
#endif

// Two pairs at once want more than the 8 registers of 32-bit code.
#if defined(__x86_64__) || defined(_M_X64)
constexpr bool kTwoPairs = true;
#else
constexpr bool kTwoPairs = false;
#endif

template <int kMotion, bool kCascade>
void Filter::runKind(Slot** kind, int count) {
    // Settled slots four at a time where the processor has the lanes, otherwise two pairs at
    // a time; then a pair, then a slot beside the spare. Gliding pairs go one at a time: two
    // of them spill their constants out of the registers and run slower.
    int i = 0;
#if HALVORN_FILTER_WIDE
    if (kMotion == kSettled && wideLanes && !pairedPath) {
        for (; !kCascade && i + 8 <= count; i += 8) runQuads<kCascade, 2>(kind + i);
        for (; i + 4 <= count; i += 4) runQuads<kCascade, 1>(kind + i);
    }
    for (; kMotion == kGliding && wideLanes && !pairedPath && i + 4 <= count; i += 4) runGlidingQuad<kCascade>(kind + i);
#endif
    for (; kMotion == kSettled && kTwoPairs && i + 4 <= count; i += 4) {
        Slot* const a[2] = {kind[i], kind[i + 2]};
        Slot* const b[2] = {kind[i + 1], kind[i + 3]};
        runPairs<kCascade, 2>(a, b);
    }
    for (; i < count; i += 2) {
        Slot* a = kind[i];
        Slot* b = i + 1 < count ? kind[i + 1] : nullptr;
        if (b == nullptr) {
            // The spare lane filters silence with the same coefficients into scratch.
            spare.current = a->current;
            spare.target = a->target;
            spare.type = a->type;
            spare.rampStart = a->rampStart;
            spare.rampStep = a->rampStep;
            spare.lastCutoff = a->lastCutoff;
            spare.lastQ = a->lastQ;
            std::memset(spare.section, 0, sizeof(spare.section));
            b = &spare;
        }
        if (kMotion == kRamping)
            runRamping<kCascade>(*a, *b);
        else if (kMotion == kGliding)
            runGliding<kCascade>(*a, *b);
        else
            runPairs<kCascade, 1>(&a, &b);
    }
}
#endif

// b1 and b2 of the current coefficients from b0, in the target's shape.
void Filter::shapeNumerator(Slot& s) {
    s.current.b1 = (s.target.b1 < 0.0 ? -2.0 : 2.0) * s.current.b0;
    s.current.b2 = s.current.b0;
}

// After the block's recursion: a glide close to its target snaps to it, and the history
// is flushed of denormal and non-finite values (the second section's only while it runs:
// otherwise it is left as it was).
void Filter::finishSlot(Slot& s) {
    if (s.ramping) {
        // Both sections, as the ramp has always settled them.
        s.ramping = 0;
        settleSection(&s.section[0].x1);
        settleSection(&s.section[1].x1);
        return;
    }
    if (s.gliding) {
        const Coefficients& t = s.target;
        const Coefficients& c = s.current;
        if (std::fabs(t.b0 - c.b0) < kGlideSnap && std::fabs(t.b1 - c.b1) < kGlideSnap &&
            std::fabs(t.b2 - c.b2) < kGlideSnap && std::fabs(t.a1 - c.a1) < kGlideSnap &&
            std::fabs(t.a2 - c.a2) < kGlideSnap) {
            s.current = t;
            s.currentType = s.lastType;
            s.gliding = 0;
        }
    }
    settleSection(&s.section[0].x1);
    if (s.poles == 4) settleSection(&s.section[1].x1);
}

// The recursions of the slots whose settings are made: on SSE2 two slots of one kind at a
// time, a slot left over running with the spare slot beside it; a slot gliding from one type
// to the other, and every slot while the scalar path is chosen, on its own.
void Filter::runRecursions(Slot** pending, int count) {
#if HALVORN_FILTER_LANES
    Slot* kinds[6][kSlots];
    int counts[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < count; ++i) {
        Slot& s = *pending[i];
        if (scalarPath || (s.gliding && s.currentType != s.lastType)) {
            if (s.ramping)
                runRamp(s);
            else
                runSlot(s);
            finishSlot(s);
            continue;
        }
        const int kind = (s.ramping ? 4 : s.gliding ? 2 : 0) + (s.poles == 4 ? 1 : 0);
        kinds[kind][counts[kind]++] = &s;
    }
    runKind<kSettled, false>(kinds[0], counts[0]);
    runKind<kSettled, true>(kinds[1], counts[1]);
    runKind<kGliding, false>(kinds[2], counts[2]);
    runKind<kGliding, true>(kinds[3], counts[3]);
    runKind<kRamping, false>(kinds[4], counts[4]);
    runKind<kRamping, true>(kinds[5], counts[5]);
    // Settled slots were settled in their lanes.
    for (int kind = 2; kind < 6; ++kind)
        for (int i = 0; i < counts[kind]; ++i) finishSlot(*kinds[kind][i]);
#else
    for (int i = 0; i < count; ++i) {
        if (pending[i]->ramping)
            runRamp(*pending[i]);
        else
            runSlot(*pending[i]);
        finishSlot(*pending[i]);
    }
#endif
}

void Filter::process() {
    if (buffers == nullptr) return;
    if (!active) {
        if (resetPending) {
            for (Slot& s : slots) clearOutput(s);
            resetPending = 0;
        }
        return;
    }
    brilliance -= (brilliance - brillianceTarget) * cutoffGlide;
    if (std::fabs(brilliance - brillianceTarget) < 1e-9f) brilliance = brillianceTarget;
    Slot* pending[kSlots];
    int count = 0;
    for (int i = 0; i < voiceCount; ++i) {
        Slot& s = slots[i];
        const SignalPort* audio = s.audio;
        if (s.state == kSounding && audio != nullptr && audio->samples != nullptr && audio->blockLength >= blockLength) {
            prepareSlot(s);
            pending[count++] = &s;
        }
        s.previousState = s.state;
    }
    runRecursions(pending, count);
}
