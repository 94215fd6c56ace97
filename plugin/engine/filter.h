// Resonant filter module serving all 32 voice slots: a second-order high- or low-pass
// section designed by the bilinear transform with prewarping, optionally run twice in
// cascade for 4 poles. The cutoff glides over 50 ms per block, coefficient changes glide
// over 3 ms per sample, and a cutoff jump of more than 500 Hz is ramped across the block.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/input_list.h"
#include "engine/port_inputs.h"
#include "engine/signal_port.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define HALVORN_FILTER_LANES 1
#else
#define HALVORN_FILTER_LANES 0
#endif

// Four slots in the lanes of the 256-bit registers where the processor has them, chosen when
// the module starts; the code for them is built for that instruction set alone.
#if HALVORN_FILTER_LANES && defined(__GNUC__)
#define HALVORN_FILTER_WIDE 1
#define HALVORN_FILTER_WIDE_CODE __attribute__((target("avx")))
#else
#define HALVORN_FILTER_WIDE 0
#endif

// The filter's message record: fifteen 32-bit words, then the engine's tables. The engine
// keeps one for all four filters.
struct FilterRecord {
    int32_t voiceCount;            // 0: initialisation
    int32_t blockLength;           // 1: L, initialisation
    int32_t historyLength;         // 2: M, initialisation
    int32_t slot;                  // 3
    int32_t state;                 // 4: voice state (16 sounding, 18 off)
    float cutoff;                  // 5: Hz
    float resonance;               // 6: added to 0.707 for Q; message 8: the global resonance offset
    int32_t reserved7;             // 7: written by the renderer, not read
    int32_t typeOrPoles;           // 8: message 3: type (5 high-pass, 6 low-pass); message 9: non-zero = 4 poles
    float reserved9;               // 9: written by the renderer, not read
    float vibratoDepth;            // 10
    float touchAmount;             // 11: vibrato depth added per unit of touch
    float touchBrillianceDepth;    // 12: after-touch brilliance depth
    float initialBrillianceDepth;  // 13
    float brillianceOffset;        // 14: global, in units of 256^x
    // Initialisation only; a null table (or one too small) makes the module build its own.
    const float* tangentTable;  // tan over [start, end): 8192 entries over [0, pi/2)
    int32_t tangentSize;
    float tangentStart;
    float tangentEnd;
    const float* powerTable;  // 256^x over [start, end): 8192 entries over [-3, 3)
    int32_t powerSize;
    float powerStart;
    float powerEnd;
};

static_assert(offsetof(FilterRecord, slot) == 3 * 4 && offsetof(FilterRecord, typeOrPoles) == 8 * 4 &&
                  offsetof(FilterRecord, brillianceOffset) == 14 * 4,
              "FilterRecord word layout");

enum FilterMessage {
    kFilterMsgSettings = 3,  // type, cutoff target, base Q of a slot (every block)
    kFilterMsgState = 4,     // voice state of a slot
    kFilterMsgDepths = 5,    // after-touch and initial brilliance depths of a slot
    kFilterMsgVibrato = 6,   // module-wide vibrato depth and touch amount
    kFilterMsgOffsets = 8,   // global brilliance offset target and resonance offset
    kFilterMsgSlope = 9,     // 2 or 4 poles of a slot
};

enum FilterType { kFilterHighPass = 5, kFilterLowPass = 6 };

enum FilterPortKind {
    kFilterInVibrato = 16,
    kFilterInCutoffA = 17,
    kFilterInTouch = 18,
    kFilterInBrillianceSource = 19,
    kFilterInCutoffMod = 20,     // summing, up to 6
    kFilterInResonanceMod = 21,  // summing, up to 6
    kFilterInCutoffB = 22,
    kFilterInAudio = 23,
};

class Filter {
public:
    static const int kSlots = 32;
    static const int kSounding = 16;
    static const int kOff = 18;

    Filter();
    ~Filter();

    int init(FilterRecord* record, int kind, float rate);
    void setSampleRate(float rate);
    int message(FilterRecord* record, int code);
    void process();
    void free();

    SignalPort* takeOutput(int kind, int slot);
    void releaseOutput(int kind, int slot);
    int connectInput(int kind, SignalPort* port, int slot, int tag);
    void releaseInput(int kind, int slot, int tag);

    // The cutoff (Hz) and Q that a slot's coefficients were last computed for.
    float usedCutoff(int slot) const { return slots[clampSlot(slot)].lastCutoff; }
    float usedQ(int slot) const { return slots[clampSlot(slot)].lastQ; }
    int isActive() const { return active; }
    // Every slot through the plain one-slot recursion, which the paired paths are held to.
    void useScalarPath(bool on) { scalarPath = on ? 1 : 0; }
    // Settled and gliding slots two at a time even where the processor offers four lanes.
    void usePairedPath(bool on) { pairedPath = on ? 1 : 0; }
    // Whether settled and gliding slots go four at a time here (unless paired is chosen).
    bool hasWideLanes() const { return wideLanes != 0; }
    int getUseCount() const { return useCount; }

private:
    // Cutoff targets above this are bad input; the ceiling of 0.48 x rate applies after modulation.
    static constexpr float kCutoffLimit = 1e6f;

    struct Coefficients {
        double b0, b1, b2, a1, a2;
    };
    // Direct form I history of one section.
    struct Section {
        double x1, x2, y1, y2;
    };
    struct Slot {
        int32_t state;
        int32_t previousState;
        int32_t type;
        int32_t lastType;
        int32_t currentType;  // whose shape the current coefficients have; 0 between two types
        int32_t poles;
        float baseQ;
        float cutoffTarget;  // Hz
        float cutoff;        // Hz, glided per block
        float lastCutoff;    // Hz, of the coefficients
        float lastQ;
        double lastModulation;  // cutoff modulation m, in units of 256^x
        double lastFactor;      // 256^m
        int32_t gliding;  // current coefficients still moving toward the targets
        int32_t ramping;  // a jump of the cutoff ramped across this block
        double rampStart; // Hz, the cutoff before the jump
        double rampStep;  // Hz per sample
        Coefficients current;
        Coefficients target;
        Section section[2];
        float touchDepth;
        float initialDepth;
        SignalPort* vibrato;
        SignalPort* cutoffA;
        SignalPort* touch;
        SignalPort* brillianceSource;
        SignalPort* cutoffB;
        SignalPort* audio;
        InputList cutoffMod;
        InputList resonanceMod;
        float* buffer;  // M history samples, then the block
        SignalPort output;
    };

    int otherMessage(Slot& s, FilterRecord* record, int code);
    static int clampSlot(int slot) { return slot < 0 ? 0 : (slot >= kSlots ? kSlots - 1 : slot); }
    void computeRateFields();
    void resetSlot(Slot& s);
    void clearOutput(Slot& s);
    void prepareSlot(Slot& s);
    void runSlot(Slot& s);
    void runRamp(Slot& s);
    void finishSlot(Slot& s);
    void runRecursions(Slot** pending, int count);
#if HALVORN_FILTER_LANES
    template <bool kCascade, int N>
    void runPairs(Slot* const* a, Slot* const* b);
    template <bool kCascade>
    void runGliding(Slot& a, Slot& b);
    template <bool kCascade>
    void runRamping(Slot& a, Slot& b);
    __m128d tangentPair(__m128d position, __m128d last) const;
    // Two slots side by side in the lanes of the SSE2 registers: their signals and both
    // sections' histories, slot a in the low lane.
    struct LanePair {
        const float* inA;
        const float* inB;
        float* outA;
        float* outB;
        __m128d x1, x2, y1, y2, u1, u2, v1, v2;
        void load(const Slot& a, const Slot& b, int historyLength);
        template <bool kCascade>
        void store(Slot& a, Slot& b) const;
        __m128d input(int i) const { return _mm_set_pd(inB[i], inA[i]); }
    };
    enum Motion { kSettled, kGliding, kRamping };
    template <int kMotion, bool kCascade>
    void runKind(Slot** kind, int count);
#endif
#if HALVORN_FILTER_WIDE
    template <bool kCascade, int N>
    HALVORN_FILTER_WIDE_CODE void runQuads(Slot* const* slots);
    template <bool kCascade>
    HALVORN_FILTER_WIDE_CODE void runGlidingQuad(Slot* const* four);
#endif
    static void shapeNumerator(Slot& s);
    Coefficients design(double cutoff, double q, int type) const;
    double tangent(double x) const;
    double power256(double x) const;

    float sampleRate;
    double inverseRate;
    int blockLength;
    int historyLength;
    int voiceCount;
    float cutoffCeiling;      // 0.48 x rate
    float cutoffGlide;        // per block, 50 ms
    double coefficientGlide;  // per sample, 3 ms
    float spareGlide;         // per sample, 5 ms; kept with the others, not used by processing

    const float* tangentTable;
    int tangentSize;
    float tangentStart;
    double tangentScale;  // entries per radian
    const float* powerTable;
    int powerSize;
    float powerStart;
    double powerScale;  // entries per unit of exponent
    float* ownTangent;
    float* ownPower;
    double* glidePowers;  // (1 - coefficient glide)^(i + 1) for each sample i of a block, twice

    float brillianceTarget;
    float brilliance;  // smoothed per block
    float resonanceOffset;
    float vibratoDepth;
    float touchAmount;

    int useCount;
    int active;
    int resetPending;
    int scalarPath;
    int pairedPath;
    int wideLanes;

    float* buffers;
    Slot slots[kSlots];
    Slot spare;  // the second lane's slot when a kind has an odd number of slots
    SignalPort spareInput;
};

// Settings and state come for every slot in every block: taken where they are sent.
inline int Filter::message(FilterRecord* record, int code) {
    if (record == nullptr || buffers == nullptr) return 0;
    Slot& s = slots[clampSlot(record->slot)];
    if (code == kFilterMsgSettings) {
        const float cutoff = record->cutoff;
        s.type = record->typeOrPoles;
        s.cutoffTarget = cutoff > 0.0f ? (cutoff < kCutoffLimit ? cutoff : kCutoffLimit) : 0.0f;  // NaN: 0
        s.baseQ = (std::isfinite(record->resonance) ? record->resonance : 0.0f) + 0.707f;
    } else if (code == kFilterMsgState) {
        // The tail of a stopped voice is dropped with its output.
        if (s.state == kSounding && record->state == kOff) clearOutput(s);
        s.state = record->state;
    } else {
        return otherMessage(s, record, code);
    }
    return 0;
}
