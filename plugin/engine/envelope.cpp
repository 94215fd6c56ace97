#include "engine/envelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <xmmintrin.h>

using engine::clampFinite;
using engine::clampSlot;
using engine::kVoiceSlots;

namespace {
// Sums of the modulation lists are bounded to six full-scale sources, so that
// 10^(1.2 x sum) and t + 500 x sum stay finite whatever a source holds.
const float kMaxModulationSum = 6.f;
const float kTimeLimit = 1.0e6f;   // ms
const float kLevelLimit = 1.0e3f;  // plain factor
const float kHistoryFlush = 1.0e-20f;
const float kValueFlush = 1.0e-38f;
}  // namespace

Envelope::Envelope()
    : sampleRate(44100.f),
      samplesPerMs(44.1f),
      inverseRate(1.f / 44100.f),
      blockRate(44100.f / 44.f),
      blockLength(0),
      historyLength(0),
      mode(kEnvModeFilter),
      endThreshold(0.001f),
      overshoot(1.05f),
      undershoot(0.2f),
      fastReleaseCoefficient(1.f),
      pedalReleaseTime(0.f),
      sustain(0),
      useCount(0),
      active(0),
      resetPending(0) {
    clearInputs();
    resetAllSlots();
}

Envelope::~Envelope() { free(); }

int Envelope::init(EnvelopeRecord* record, int kind, float rate) {
    free();
    if (!record || kind != kInitKind || !engine::isUsableRate(rate)) return 1;
    if (!engine::areUsableLengths(record->blockLength, record->historyLength)) return 1;
    if (record->mode != kEnvModeFilter && record->mode != kEnvModeAmplifier) return 1;
    blockLength = record->blockLength;
    historyLength = record->historyLength;
    mode = record->mode;
    endThreshold = std::pow(10.f, -3.f);
    overshoot = 1.05f;
    undershoot = 0.2f;
    setSampleRate(rate);
    fastReleaseCoefficient = engine::onePoleCoefficient(10.f * samplesPerMs);
    if (outputs.allocate(kVoiceSlots, blockLength, historyLength, 1)) return 1;
    pedalReleaseTime = 0.f;
    sustain = 0;
    useCount = 0;
    active = 0;
    resetPending = 0;
    clearInputs();
    resetAllSlots();
    return 0;
}

void Envelope::clearInputs() {
    for (int s = 0; s < kVoiceSlots; ++s) {
        gateInput[s] = nullptr;
        for (int k = 0; k < 5; ++k) modulation[k][s].clear();
    }
}

void Envelope::forgetCachedValues() {
    // NaN matches no key.
    for (int k = 0; k < 5; ++k) {
        lastKey[k] = std::numeric_limits<float>::quiet_NaN();
        for (int s = 0; s < kVoiceSlots; ++s) cacheKey[k][s] = std::numeric_limits<float>::quiet_NaN();
    }
}

void Envelope::resetAllSlots() {
    forgetCachedValues();
    for (int s = 0; s < kVoiceSlots; ++s) {
        state[s] = kEnvIdleState;
        steadyBlocks[s] = 0;
        lastGate[s] = 0;
        value[s] = 0.f;
        attackTime[s] = decayTime[s] = releaseTime[s] = 1.f;
        initialLevel[s] = 0.f;
        attackLevel[s] = 0.f;
        sustainLevel[s] = 1.f;
        attackCoefficient[s] = decayCoefficient[s] = releaseCoefficient[s] = releasePedalCoefficient[s] = 1.f;
    }
}

void Envelope::setSampleRate(float rate) {
    if (!engine::isUsableRate(rate)) return;
    forgetCachedValues();
    sampleRate = rate;
    samplesPerMs = rate * 0.001f;
    inverseRate = 1.f / rate;
    if (blockLength > 0) blockRate = rate / static_cast<float>(blockLength);
}

void Envelope::free() {
    outputs.release();
    useCount = 0;
    active = 0;
    resetPending = 0;
}

float Envelope::timeCoefficient(float timeMs) const { return engine::onePoleCoefficient(timeMs * samplesPerMs); }

void Envelope::computeCoefficients(int s) {
    const float oneMs = timeCoefficient(1.f);
    const float a = attackTime[s];
    if (a >= 1.f)
        attackCoefficient[s] = timeCoefficient(a);
    else
        attackCoefficient[s] = mode == kEnvModeAmplifier ? oneMs : 1.f;
    const float d = decayTime[s];
    decayCoefficient[s] = d >= 1.f ? timeCoefficient(d) : oneMs;
    // The unmodulated release runs with half its time as time constant, at least 4 ms.
    const float r = releaseTime[s] >= 4.f ? releaseTime[s] : 4.f;
    releaseCoefficient[s] = timeCoefficient(0.5f * r);
    releasePedalCoefficient[s] = timeCoefficient(0.5f * (r + pedalReleaseTime));
}

int Envelope::message(EnvelopeRecord* record, int code) {
    if (!record) return 0;
    switch (code) {
    case kEnvIdle:
        state[clampSlot(record->slot)] = kEnvIdleState;
        break;
    case kEnvSettings: {
        const int s = clampSlot(record->slot);
        attackTime[s] = clampFinite(record->attackTime, -kTimeLimit, kTimeLimit);
        decayTime[s] = clampFinite(record->decayTime, -kTimeLimit, kTimeLimit);
        releaseTime[s] = clampFinite(record->releaseTime, -kTimeLimit, kTimeLimit);
        initialLevel[s] = clampFinite(record->initialLevel, -kLevelLimit, kLevelLimit);
        attackLevel[s] = clampFinite(record->attackLevel, -kLevelLimit, kLevelLimit);
        sustainLevel[s] = clampFinite(record->sustainLevel, -kLevelLimit, kLevelLimit);
        computeCoefficients(s);
        break;
    }
    case kEnvPedalRelease:
        pedalReleaseTime = clampFinite(record->releaseTime, -kTimeLimit, kTimeLimit);
        // From the release time as received: no 4 ms floor here.
        for (int s = 0; s < kVoiceSlots; ++s)
            releasePedalCoefficient[s] = timeCoefficient(0.5f * (releaseTime[s] + pedalReleaseTime));
        break;
    default:
        break;
    }
    return 0;
}

void Envelope::gateOn(int slot) { state[clampSlot(slot)] = kEnvGateOn; }

void Envelope::release(int slot) { state[clampSlot(slot)] = kEnvRelease; }

void Envelope::fastRelease(int slot) {
    const int s = clampSlot(slot);
    if (state[s] == kEnvRelease) state[s] = kEnvFastRelease;
}

int Envelope::getState(int slot) const { return active ? state[clampSlot(slot)] : kEnvIdleState; }

void Envelope::connectGate(int slot, SignalPort* port) { gateInput[clampSlot(slot)] = port; }

void Envelope::releaseGate(int slot) { gateInput[clampSlot(slot)] = nullptr; }

int Envelope::connectModulation(int kind, SignalPort* port, int slot, int tag) {
    if (kind < kEnvModInitialLevel || kind > kEnvModReleaseTime) return 1;
    return modulation[kind - kEnvModInitialLevel][clampSlot(slot)].add(port, tag);
}

void Envelope::releaseModulation(int kind, int slot, int tag) {
    if (kind < kEnvModInitialLevel || kind > kEnvModReleaseTime) return;
    modulation[kind - kEnvModInitialLevel][clampSlot(slot)].remove(tag);
}

int Envelope::connectInput(int kind, SignalPort* port, int slot, int tag) {
    if (kind == kEnvInGate) {
        connectGate(slot, port);
        return 0;
    }
    return connectModulation(kind, port, slot, tag);
}

void Envelope::releaseInput(int kind, int slot, int tag) {
    if (kind == kEnvInGate)
        releaseGate(slot);
    else
        releaseModulation(kind, slot, tag);
}

SignalPort* Envelope::takeOutput(int kind, int slot) {
    if (!outputs.isAllocated()) return nullptr;
    ++useCount;
    // Only a module that was idle starts from a clean slate; a further reader must not
    // cut the voices that already sound.
    if (!active) resetPending = 1;
    active = 1;
    return outputs.port(clampSlot(slot));
}

void Envelope::releaseOutput(int kind, int slot) {
    if (useCount > 0) --useCount;
    if (useCount == 0) active = 0;
}

void Envelope::readGate(int s) {
    const SignalPort* port = gateInput[s];
    if (!port || port->kind != kPortGate || !port->gate) return;
    const int gate = port->gate->gate;
    if (gate != lastGate[s] || port->gate->retrigger == 1) state[s] = gate ? kEnvGateOn : kEnvRelease;
    lastGate[s] = gate;
}

// 10^(1.2 x sum) for a level, or the coefficient for a modulated time, reused while the
// input stays the same: most modulation sources hold still for many blocks.
// A global source (the expression pedal, say) gives every slot the same input: the last
// result of a kind serves the next slot that asks with the same input.
float Envelope::cached(int k, int s, float key, float (Envelope::*compute)(float) const) {
    if (cacheKey[k][s] != key) {
        cacheKey[k][s] = key;
        if (lastKey[k] != key) {
            lastKey[k] = key;
            lastValue[k] = (this->*compute)(key);
        }
        cacheValue[k][s] = lastValue[k];
    }
    return cacheValue[k][s];
}

float Envelope::levelFactor(float sum) const { return std::pow(10.f, 1.2f * sum); }

// Below 0.01 ms the filter envelope steps by 0.01 and the amplifier envelope takes 1 ms.
float Envelope::modulatedTimeCoefficient(float t) const {
    return t >= 0.01f ? timeCoefficient(t) : (mode == kEnvModeFilter ? 0.01f : timeCoefficient(1.f));
}

// A modulated release below 1 ms jumps (filter envelope) or takes 1 ms (amplifier envelope).
float Envelope::modulatedReleaseCoefficient(float t) const {
    return t >= 1.f ? timeCoefficient(t) : (mode == kEnvModeFilter ? 1.f : timeCoefficient(1.f));
}

float Envelope::modulationSum(int k, int s) const {
    const InputList& list = modulation[k][s];
    return list.count > 0 ? clampFinite(list.sumFirst(), -kMaxModulationSum, kMaxModulationSum) : 0.f;
}

// The initial level after modulation: all that an idle slot needs.
float Envelope::modulatedInitialLevel(int s) {
    const float sum = modulationSum(0, s);
    return sum != 0.f ? initialLevel[s] * cached(0, s, sum, &Envelope::levelFactor) : initialLevel[s];
}

// Only what the slot's segment reads: a decay or a sustain never reads the initial level,
// the attack time or the release; a release never reads the attack or the decay time.
Envelope::BlockValues Envelope::modulatedValues(int s) {
    const int st = state[s];
    const bool toSustain = st == kEnvDecay || st == kEnvSustain;
    const bool releases = st == kEnvRelease || st == kEnvReleaseEnd || st == kEnvFastRelease;
    BlockValues b{toSustain ? initialLevel[s] : modulatedInitialLevel(s), attackLevel[s], attackCoefficient[s],
                  decayCoefficient[s], sustain ? releasePedalCoefficient[s] : releaseCoefficient[s]};
    float sum = modulationSum(1, s);
    if (sum != 0.f) b.attackLevel *= cached(1, s, sum, &Envelope::levelFactor);
    if (!toSustain && !releases) {
        sum = modulationSum(2, s);
        if (sum != 0.f) b.attack = cached(2, s, attackTime[s] + 500.f * sum, &Envelope::modulatedTimeCoefficient);
    }
    if (!releases) {
        sum = modulationSum(3, s);
        if (sum != 0.f) b.decay = cached(3, s, decayTime[s] + 500.f * sum, &Envelope::modulatedTimeCoefficient);
    }
    if (releases) {
        sum = modulationSum(4, s);
        if (sum != 0.f) {
            // A modulated release takes the full time as time constant.
            const float t = releaseTime[s] + 500.f * sum + (sustain ? pedalReleaseTime : 0.f);
            b.release = cached(4, s, t, &Envelope::modulatedReleaseCoefficient);
        }
    }
    return b;
}

// One block of a falling segment: aims below `level` so that it arrives in finite time;
// within the end threshold of it the value stops on it and the state becomes `endState`.
float Envelope::fallToward(float* out, float v, float target, float c, float level, int& st, int endState) const {
    for (int i = 0; i < blockLength; ++i) {
        v += (target - v) * c;
        if (v < level + endThreshold) {
            st = endState;
            v = level;
            out[i] = v;
            // Arrived: with the coefficient at 0 every further step gives the level again,
            // unless the distance to the aim is not finite (then the steps give NaN).
            if (std::isfinite(target - level)) {
                std::fill(out + i + 1, out + blockLength, level);
                return level;
            }
            c = 0.f;
            continue;
        }
        out[i] = v;
    }
    return v;
}

// A falling segment that arrives at its first sample (a held sustain) stays with the scalar
// loop; one that moves on is queued to run four slots at a time.
bool Envelope::queueFall(int s, float v, float target, float c, float level, int endState) {
    if (v + (target - v) * c < level + endThreshold) return false;
    falling[fallingCount++] = FallingLane{s, endState, v, target, c, level};
    return true;
}

// The queued falling segments, four slots in the lanes of one register and two registers
// at a time, so that each one's chain of dependent steps fills the other's wait: the same
// steps as fallToward, sample by sample, so the values are the same to the bit. A lane that
// arrives holds its level with a coefficient of 0 for the rest of the block, which is what
// fallToward writes (and, with an aim at an infinite distance, the same NaN).
void Envelope::runFallingLanes() {
    int g = 0;
    for (; fallingCount - g > 4; g += 8) runFallingGroup<2>(g, std::min(8, fallingCount - g));
    if (g < fallingCount) runFallingGroup<1>(g, fallingCount - g);
    fallingCount = 0;
}

// Queued segments g .. g + lanes - 1, at most four per register.
template <int kRegisters>
void Envelope::runFallingGroup(int g, int lanes) {
    const int L = blockLength;
    constexpr int kChunk = 16;
    constexpr int kLanes = 4 * kRegisters;
    alignas(16) float steps[kRegisters][kChunk][4];
    alignas(16) float lane[6][kLanes];
    enum { kV, kTarget, kC, kLimit, kLevel, kArrived };
    float* out[kLanes];
    for (int k = 0; k < kLanes; ++k) {
        const bool used = k < lanes;
        const FallingLane& f = falling[used ? g + k : g];
        out[k] = outputs.block(f.slot);
        // Unused lanes stay at 0 and never arrive.
        lane[kV][k] = used ? f.v : 0.f;
        lane[kTarget][k] = used ? f.target : 0.f;
        lane[kC][k] = used ? f.c : 0.f;
        lane[kLimit][k] = used ? f.level + endThreshold : 0.f;
        lane[kLevel][k] = used ? f.level : 0.f;
    }
    __m128 v[kRegisters], c[kRegisters], target[kRegisters], limit[kRegisters], level[kRegisters],
        arrived[kRegisters];
    for (int r = 0; r < kRegisters; ++r) {
        v[r] = _mm_load_ps(lane[kV] + 4 * r);
        c[r] = _mm_load_ps(lane[kC] + 4 * r);
        target[r] = _mm_load_ps(lane[kTarget] + 4 * r);
        limit[r] = _mm_load_ps(lane[kLimit] + 4 * r);
        level[r] = _mm_load_ps(lane[kLevel] + 4 * r);
        arrived[r] = _mm_setzero_ps();
    }
    for (int i0 = 0; i0 < L; i0 += kChunk) {
        const int n = std::min(kChunk, L - i0);
        for (int i = 0; i < n; ++i)
            for (int r = 0; r < kRegisters; ++r) {
                v[r] = _mm_add_ps(v[r], _mm_mul_ps(_mm_sub_ps(target[r], v[r]), c[r]));
                const __m128 there = _mm_cmplt_ps(v[r], limit[r]);
                v[r] = _mm_or_ps(_mm_and_ps(there, level[r]), _mm_andnot_ps(there, v[r]));
                c[r] = _mm_andnot_ps(there, c[r]);
                arrived[r] = _mm_or_ps(arrived[r], there);
                _mm_store_ps(steps[r][i], v[r]);
            }
        // Four samples of four slots at a time, turned from sample rows into slot rows.
        for (int r = 0; r < kRegisters && 4 * r < lanes; ++r) {
            const int used = std::min(4, lanes - 4 * r);
            float* const* slotOut = out + 4 * r;
            int i = 0;
            for (; i + 4 <= n; i += 4) {
                __m128 r0 = _mm_load_ps(steps[r][i]), r1 = _mm_load_ps(steps[r][i + 1]);
                __m128 r2 = _mm_load_ps(steps[r][i + 2]), r3 = _mm_load_ps(steps[r][i + 3]);
                _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
                const __m128 rows[4] = {r0, r1, r2, r3};
                for (int k = 0; k < used; ++k) _mm_storeu_ps(slotOut[k] + i0 + i, rows[k]);
            }
            for (; i < n; ++i)
                for (int k = 0; k < used; ++k) slotOut[k][i0 + i] = steps[r][i][k];
        }
    }
    for (int r = 0; r < kRegisters; ++r) {
        _mm_store_ps(lane[kV] + 4 * r, v[r]);
        _mm_store_ps(lane[kArrived] + 4 * r, arrived[r]);
    }
    for (int k = 0; k < lanes; ++k) {
        const FallingLane& f = falling[g + k];
        value[f.slot] = lane[kV][k];
        if (lane[kArrived][k] != 0.f) state[f.slot] = f.endState;
    }
}

namespace {
bool sameBits(float a, float b) {
    uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}
}  // namespace

void Envelope::renderSlot(int s, const BlockValues& b) {
    float* out = outputs.block(s);
    const int L = blockLength;
    const float I0 = b.initialLevel;
    const float A0 = b.attackLevel;
    const float S = sustainLevel[s];
    const float T = endThreshold;
    const float before = value[s];
    float v = before;
    int st = state[s];

    // Decay, sustain, release, release end and fast release fall toward a level.
    const bool falls = st != kEnvGateOn && st != kEnvAttack;
    const bool toSustain = st == kEnvDecay || st == kEnvSustain;
    const float level = toSustain ? S : I0;
    const float target = level - undershoot * A0;
    const float c = toSustain ? b.decay : (st == kEnvFastRelease ? fastReleaseCoefficient : b.release);
    const int endState = toSustain ? kEnvSustain : kEnvReleaseEnd;
    if (falls && std::fabs(v) < kValueFlush) v = 0.f;
    // Arrives at the first sample, so the whole block is the level.
    const bool holds = falls && v + (target - v) * c < level + T && std::isfinite(target - level);
    // After two such blocks the history is the level as well (and survives its flush): the
    // buffer already holds what this block would write.
    if (holds && steadyBlocks[s] >= 2 && sameBits(before, level) &&
        (std::fabs(level) >= kHistoryFlush || sameBits(level, 0.f))) {
        state[s] = endState;
        return;
    }
    steadyBlocks[s] = holds ? (steadyBlocks[s] > 0 && sameBits(before, level) ? 2 : 1) : 0;

    outputs.moveHistory(s);
    if (historyLength > 0 && std::fabs(out[-1]) < kHistoryFlush) out[-1] = 0.f;

    if (st == kEnvGateOn) {
        if (v == I0) {
            // From the initial level itself the attack waits one block.
            for (int i = 0; i < L; ++i) out[i] = I0;
            state[s] = kEnvAttack;
            return;
        }
        st = kEnvAttack;
    }

    if (st == kEnvAttack) {
        float aim = overshoot * A0;
        float step = b.attack;
        bool decaying = false;
        for (int i = 0; i < L; ++i) {
            v += (aim - v) * step;
            if (v > A0 - T) {
                if (!decaying) {
                    st = kEnvDecay;
                    aim = S - undershoot * A0;
                    step = b.decay;
                    decaying = true;
                }
                v = A0;
            } else if (decaying && v < S + T) {
                // Mended: the rest of the block after the attack also stops at the
                // sustain level instead of running on past it toward the decay's aim.
                st = kEnvSustain;
                v = S;
                step = 0.f;
            }
            out[i] = v;
        }
    } else {
        if (!holds && queueFall(s, v, target, c, level, endState)) return;
        v = fallToward(out, v, target, c, level, st, endState);
    }
    value[s] = v;
    state[s] = st;
}

void Envelope::process() {
    if (!outputs.isAllocated()) return;
    if (resetPending) {
        outputs.clearAll();
        for (int s = 0; s < kVoiceSlots; ++s) {
            steadyBlocks[s] = 0;
            value[s] = 0.f;
            state[s] = kEnvIdleState;
        }
        resetPending = 0;
    }
    if (!active) return;
    for (int s = 0; s < kVoiceSlots; ++s) {
        readGate(s);
        if (state[s] == kEnvIdleState) {
            // An idle slot only holds its initial level.
            const float level = modulatedInitialLevel(s);
            steadyBlocks[s] = 0;
            if (value[s] != level) {
                float* out = outputs.block(s);
                for (int i = -historyLength; i < blockLength; ++i) out[i] = level;
                value[s] = level;
            }
            continue;
        }
        renderSlot(s, modulatedValues(s));
    }
    runFallingLanes();
}
