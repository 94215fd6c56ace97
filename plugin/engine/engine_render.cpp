// Block rendering: fixed blocks of L samples into the output queue, whatever block size
// the host asks for, and the two writers that hand the queue to the host's buffers.
#include <cmath>
#include <cstring>

#include <xmmintrin.h>

#include "engine/synth_engine.h"

using engine::kSlotOff;
using engine::kSlotSounding;

namespace {
const float kGainSettled = 0.0001f;  // a smoothed gain this close to its target is taken as there
const float kFlush = 1e-30f;         // smoothed values below this become 0 rather than denormal

float smoothToward(float value, float target, float coefficient) {
    value += (target - value) * coefficient;
    return std::fabs(value) < kFlush ? 0.f : value;
}

bool isGated(int state) { return state >= kEnvGateOn && state <= kEnvSustain; }
bool hasEnded(int state) { return state == kEnvReleaseEnd || state == kEnvIdleState; }
}  // namespace

// ---------------------------------------------------------------- writers

int SynthEngine::renderReplacing(float** outputs, int offset, int* frames, int* more) {
    return writeOutput(outputs, offset, frames, more, false);
}

int SynthEngine::renderAccumulating(float** outputs, int offset, int* frames, int* more) {
    return writeOutput(outputs, offset, frames, more, true);
}

int SynthEngine::writeOutput(float** outputs, int offset, int* frames, int* more, bool accumulate) {
    if (more) *more = 0;
    if (!frames) return 0;
    const int wanted = *frames;
    if (wanted <= 0 || offset < 0) {
        *frames = 0;
        return 0;
    }
    if (!initialised) {
        // No queue exists yet: the host gets silence for the whole piece.
        if (!accumulate && outputs)
            for (int c = 0; c < kQueueChannels; ++c)
                if (outputs[c]) std::memset(outputs[c] + offset, 0, sizeof(float) * static_cast<size_t>(wanted));
        return 0;
    }
    if (queueFill < wanted) {
        renderBlock();
        queueFill += blockLength;
    }
    const int n = wanted < queueFill ? wanted : queueFill;
    *frames = n;
    for (int c = 0; c < kQueueChannels; ++c) {
        float* queue = c < 2 ? masterQueue[c] : partQueue[c - 2];
        float* out = outputs && (c != 1 || channelCount == 2) ? outputs[c] : nullptr;
        if (out) {
            out += offset;
            if (accumulate)
                for (int i = 0; i < n; ++i) out[i] += queue[i];
            else
                std::memcpy(out, queue, sizeof(float) * static_cast<size_t>(n));
        }
        std::memmove(queue, queue + n, sizeof(float) * static_cast<size_t>(queueFill - n));
    }
    queueFill -= n;
    if (more) *more = queueFill > 0;
    return 0;
}

// ---------------------------------------------------------------- one block

void SynthEngine::smoothControllers() {
    modWheel = smoothToward(modWheel, modWheelTarget, pedalCoefficient);
    globalValues.block(kGlobalModWheel)[0] = modWheel;
    expression = smoothToward(expression, expressionTarget, pedalCoefficient);
    globalValues.block(kGlobalExpression)[0] = expression;
    const float step = pitchBendTarget - pitchBend;
    pitchBend = smoothToward(pitchBend, pitchBendTarget,
                             std::fabs(step) <= 0.5f ? bendSmallStepCoefficient : bendLargeStepCoefficient);
}

// The pitch of a sounding slot in Hz, before its oscillators' products.
float SynthEngine::slotPitch(VoiceSlot& v) {
    const bool glideRuns = (pedalPortamento ? sustainPedal != 0 : glideOn != 0) && v.portamento == 1;
    if (v.note > 0) {
        const float target = static_cast<float>(v.note);
        if (glideRuns && glideRate > 0.f) {
            const float step = 127.f / glideRate;
            if (v.glidePosition < target)
                v.glidePosition = v.glidePosition + step < target ? v.glidePosition + step : target;
            else
                v.glidePosition = v.glidePosition - step > target ? v.glidePosition - step : target;
        } else {
            v.glidePosition = target;
        }
    }
    const float position = engine::clampFinite(v.glidePosition, 0.f, 127.f);
    const int i = static_cast<int>(position);
    float f = EngineTables::noteFrequency(i);
    if (!glissando && i < 127) {
        const float fraction = position - static_cast<float>(i);
        f += (EngineTables::noteFrequency(i + 1) - f) * fraction;
    }
    if (v.touchFactor != 0.f) {
        v.currentFrequency = v.touchFactor * f;
        v.touchFactor = 0.f;
    } else if (touchAmount == 0.f) {
        v.currentFrequency = f;
    } else if (v.currentFrequency != f) {
        v.currentFrequency += (2.f * f - v.currentFrequency) * v.touchRise;
        if (v.currentFrequency > 0.99f * f) v.currentFrequency = f;
    }
    return v.currentFrequency;
}

// Rendering step 6 for one slot: its state from the amplifier envelopes, its pressure,
// bend and the per-block messages to its modules.
void SynthEngine::updateSlot(int s, bool& ringGate) {
    VoiceSlot& v = slots[s];
    float* bendPort = slotValues.block(kSlotPitchBend * kSlots + s);
    float* pressurePort = slotValues.block(kSlotPressure * kSlots + s);
    const int amplifierStates[2] = {envelopes[1].getState(s), envelopes[3].getState(s)};
    bool sounds = false;
    for (int st : amplifierStates) {
        if (hasEnded(st)) continue;
        v.state = kSlotSounding;
        sounds = true;
        if (isGated(st) && v.portamento == 1) ringGate = true;
        // A voice in release keeps the bend it had.
        if (st != kEnvRelease || sustainMode) bendPort[0] = pitchBend;
    }
    const float wheel = wheelToVibrato ? modWheelTarget : 0.f;
    if (!sounds) {
        if (v.state == kSlotSounding) {
            v.state = kSlotOff;
            envelopeRecord.slot = s;
            for (Envelope& e : envelopes) e.message(&envelopeRecord, kEnvIdle);
        }
        v.smoothedPressure = wheel;
        v.pressure = 0.f;
        pressurePort[0] = 0.f;
    }
    if (v.state != kSlotSounding && v.previousState != kSlotSounding) return;

    v.smoothedPressure = smoothToward(v.smoothedPressure, v.pressure + wheel, pressureCoefficient);
    pressurePort[0] = v.smoothedPressure;
    sendVoiceState(s, v.state);
    filterRecord.slot = s;
    filterRecord.reserved7 = 0;
    filterRecord.reserved9 = 1.f;
    for (int f = 0; f < kFilters; ++f) {
        filterRecord.cutoff = v.cutoff[f] * v.cutoffSpread;
        filterRecord.resonance = v.resonance[f];
        filterRecord.typeOrPoles = f < 2 ? kFilterHighPass : kFilterLowPass;
        filters[f].message(&filterRecord, kFilterMsgSettings);
    }
    const float pitch = slotPitch(v);
    const float frequencies[2] = {v.pitchProduct[0] * (v.fixedPitch[0] ? referenceFrequency : pitch),
                                  v.pitchProduct[1] * (v.fixedPitch[1] ? referenceFrequency : pitch)};
    sendOscillatorVoice(s, v.state, frequencies);
}

// The panned bus a slot's part goes to: the master, or the ring, effects or ring-and-effects bus.
void SynthEngine::slotBus(const VoiceSlot& v, float*& left, float*& right, bool& toRing, bool& toRingEffects) {
    if (!v.effects && !v.ringModulator) {
        left = masterQueue[0] + queueFill;
        right = masterQueue[1] + queueFill;
    } else if (!v.effects) {
        left = workBuffer[kRingBusLeft];
        right = workBuffer[kRingBusRight];
        toRing = true;
    } else if (!v.ringModulator) {
        left = workBuffer[kEffectsBusLeft];
        right = workBuffer[kEffectsBusRight];
    } else {
        left = workBuffer[kRingEffectsBusLeft];
        right = workBuffer[kRingEffectsBusRight];
        toRingEffects = true;
    }
}

// The pedal processor's mode from its two words, -1 when neither is on.
int SynthEngine::pedalMode() const {
    if (!pedalWords[0] && !pedalWords[1]) return -1;
    return pedalWords[0] && pedalWords[1] ? kPedalVolumeWah : (pedalWords[0] ? kPedalVolume : kPedalWah);
}

namespace {
// A slot that starts takes its gains at once.
void startGains(VoiceSlot& v, float g1, float g2) {
    if (v.previousState != kSlotOff) return;
    v.lineGain[0] = g1;
    v.lineGain[1] = g2;
    v.panGain[0] = v.pan;
    v.panGain[1] = 1.f - v.pan;
}

bool glides(const float* gains, float first, float second) {
    return std::fabs(gains[0] - first) > kGainSettled || std::fabs(gains[1] - second) > kGainSettled;
}

// The steady sums of mixing, four samples at a time, the same operations on each sample
// (the buffers never overlap). out = a ga + b gb:
void mixTwo(float* out, const float* a, float ga, const float* b, float gb, int count) {
    const __m128 va = _mm_set1_ps(ga), vb = _mm_set1_ps(gb);
    int n = 0;
    for (; n + 4 <= count; n += 4)
        _mm_storeu_ps(out + n, _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a + n), va), _mm_mul_ps(_mm_loadu_ps(b + n), vb)));
    for (; n < count; ++n) out[n] = a[n] * ga + b[n] * gb;
}

// x into its part's output (none: null) and x pl, x pr into the bus; x is a ga + b gb, or
// with b null the samples of a themselves.
void addToBus(float* part, float* left, float* right, const float* a, float ga, const float* b, float gb, float pl,
              float pr, int count) {
    const __m128 va = _mm_set1_ps(ga), vb = _mm_set1_ps(gb), vl = _mm_set1_ps(pl), vr = _mm_set1_ps(pr);
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const __m128 x = b ? _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a + n), va), _mm_mul_ps(_mm_loadu_ps(b + n), vb))
                           : _mm_loadu_ps(a + n);
        if (part) _mm_storeu_ps(part + n, _mm_add_ps(_mm_loadu_ps(part + n), x));
        _mm_storeu_ps(left + n, _mm_add_ps(_mm_loadu_ps(left + n), _mm_mul_ps(x, vl)));
        _mm_storeu_ps(right + n, _mm_add_ps(_mm_loadu_ps(right + n), _mm_mul_ps(x, vr)));
    }
    for (; n < count; ++n) {
        const float x = b ? a[n] * ga + b[n] * gb : a[n];
        if (part) part[n] += x;
        left[n] += x * pl;
        right[n] += x * pr;
    }
}
}  // namespace

// A slot's two lines with their smoothed gains, into scratch.
void SynthEngine::mixLines(VoiceSlot& v, int s, float* scratch) {
    const int L = blockLength;
    const float* line1 = lineOutputs[0][s]->samples;
    const float* line2 = lineOutputs[1][s]->samples;
    const float g1 = v.volume * v.lineMix * masterVolume;
    const float g2 = v.volume * (1.f - v.lineMix) * masterVolume;
    if (glides(v.lineGain, g1, g2)) {
        float a = v.lineGain[0], b = v.lineGain[1];
        for (int n = 0; n < L; ++n) {
            a += (g1 - a) * gainCoefficient;
            b += (g2 - b) * gainCoefficient;
            scratch[n] = line1[n] * a + line2[n] * b;
        }
        v.lineGain[0] = std::fabs(a) < kFlush ? 0.f : a;
        v.lineGain[1] = std::fabs(b) < kFlush ? 0.f : b;
    } else {
        mixTwo(scratch, line1, g1, line2, g2, L);
    }
}

// A slot's mixed block into its part's output and, panned, into its bus.
void SynthEngine::sendToBus(VoiceSlot& v, int s, const float* scratch, bool& toRing, bool& toRingEffects) {
    const int L = blockLength;
#if HALVORN_OUTPUTS == 10
    float* part = partQueue[s % kParts] + queueFill;
#else
    float* part = nullptr;
#endif
    float* left;
    float* right;
    slotBus(v, left, right, toRing, toRingEffects);
    const float pl = v.pan;
    const float pr = 1.f - v.pan;
    if (glides(v.panGain, pl, pr)) {
        if (part)
            for (int n = 0; n < L; ++n) part[n] += scratch[n];
        float a = v.panGain[0], b = v.panGain[1];
        for (int n = 0; n < L; ++n) {
            a += (pl - a) * gainCoefficient;
            b += (pr - b) * gainCoefficient;
            left[n] += scratch[n] * a;
            right[n] += scratch[n] * b;
        }
        v.panGain[0] = std::fabs(a) < kFlush ? 0.f : a;
        v.panGain[1] = std::fabs(b) < kFlush ? 0.f : b;
    } else {
        addToBus(part, left, right, scratch, 1.f, nullptr, 0.f, pl, pr, L);
    }
}

// Rendering step 11 for one sounding slot: its two lines mixed with the smoothed gains,
// the pedal, its part's output and the panned bus it goes to.
void SynthEngine::mixSlot(int s, bool& toRing, bool& toRingEffects) {
    VoiceSlot& v = slots[s];
    const int L = blockLength;
    const float g1 = v.volume * v.lineMix * masterVolume;
    const float g2 = v.volume * (1.f - v.lineMix) * masterVolume;
    const float pl = v.pan;
    const float pr = 1.f - v.pan;
    startGains(v, g1, g2);
    const int mode = pedalMode();
    if (mode < 0 && !glides(v.lineGain, g1, g2) && !glides(v.panGain, pl, pr)) {
        // Steady gains and no pedal, the usual case: one pass, the same sums as the steps below.
        const float* line1 = lineOutputs[0][s]->samples;
        const float* line2 = lineOutputs[1][s]->samples;
        float* left;
        float* right;
        slotBus(v, left, right, toRing, toRingEffects);
#if HALVORN_OUTPUTS == 10
        float* part = partQueue[s % kParts] + queueFill;
#else
        float* part = nullptr;
#endif
        addToBus(part, left, right, line1, g1, line2, g2, pl, pr, L);
        return;
    }
    float* scratch = workBuffer[kVoiceScratch];
    mixLines(v, s, scratch);
    if (mode >= 0) pedal.process(mode, s, scratch, scratch, L, expression);
    sendToBus(v, s, scratch, toRing, toRingEffects);
}

// Step 11 for every sounding slot. With the wah on, slots go through the pedal four at a
// time; each still reaches the buses in slot order.
void SynthEngine::mixSlots(bool& toRing, bool& toRingEffects) {
    const int mode = pedalMode();
    if (mode != kPedalWah && mode != kPedalVolumeWah) {
        for (int s = 0; s < kSlots; ++s)
            if (slots[s].state == kSlotSounding) mixSlot(s, toRing, toRingEffects);
        return;
    }
    constexpr int kGroup = kPedalScratch3 - kVoiceScratch + 1;
    const int L = blockLength;
    float* blocks[kGroup];
    int group[kGroup];
    int waiting = 0;
    const auto flush = [&]() {
        pedal.processSlots(mode, group, blocks, waiting, L, expression);
        for (int k = 0; k < waiting; ++k) sendToBus(slots[group[k]], group[k], blocks[k], toRing, toRingEffects);
        waiting = 0;
    };
    for (int s = 0; s < kSlots; ++s) {
        VoiceSlot& v = slots[s];
        if (v.state != kSlotSounding) continue;
        startGains(v, v.volume * v.lineMix * masterVolume, v.volume * (1.f - v.lineMix) * masterVolume);
        blocks[waiting] = workBuffer[kVoiceScratch + waiting];
        group[waiting] = s;
        mixLines(v, s, blocks[waiting]);
        if (++waiting == kGroup) flush();
    }
    if (waiting > 0) flush();
}

void SynthEngine::renderBlock() {
    if (!initialised || queueFill < 0 || queueFill > queueCapacity - blockLength) return;
    const int L = blockLength;

    drainNoteRing();
    // Any count past the grouping window means the same; holding it there keeps it
    // from running over after weeks of rendering.
    for (KeyboardZone& z : zones)
        if (z.groupCounter <= groupingWindow) ++z.groupCounter;
    if (arpeggiatorRuns())
        for (int zi = 0; zi < kZones; ++zi) arpeggiator.tick(zi, zones[zi].arpeggiatorSwitch);
    for (Envelope& e : envelopes) e.process();
    smoothControllers();

    bool ringGate = false;
    for (int s = 0; s < kSlots; ++s) updateSlot(s, ringGate);

    float highest = 0.f;
    for (int s = 0; s < kSlots; ++s) {
        const float p = slotValues.block(kSlotPressure * kSlots + s)[0];
        if (p > highest) highest = p;
    }
    highestPressure = smoothToward(highestPressure, highest, pressureCoefficient);
    globalValues.block(kGlobalHighestPressure)[0] = highestPressure;

    if (!arpeggiatorRuns()) ringModulatorGate(ringGate);

    processLfos();
    oscillator1.process();
    oscillator2.process();
    mixer.process();
    modAmounts.process();
    processFilters();
    vca1.process();
    vca2.process();

    const size_t blockBytes = sizeof(float) * static_cast<size_t>(L);
    for (float* q : masterQueue) std::memset(q + queueFill, 0, blockBytes);
    for (int p = 0; p < kPartQueues; ++p) std::memset(partQueue[p] + queueFill, 0, blockBytes);
    for (int w = kRingBusLeft; w < kWorkBuffers; ++w) std::memset(workBuffer[w], 0, blockBytes);

    bool toRing = false;
    bool toRingEffects = false;
    mixSlots(toRing, toRingEffects);
    for (VoiceSlot& v : slots) v.previousState = v.state;

    float* effectsLeft = workBuffer[kEffectsBusLeft];
    float* effectsRight = workBuffer[kEffectsBusRight];
    if (ringModulatorOn && toRingEffects) {
        ringModulators[0].process(workBuffer[kRingEffectsBusLeft], workBuffer[kRingEffectsBusLeft], L);
        ringModulators[2].process(workBuffer[kRingEffectsBusRight], workBuffer[kRingEffectsBusRight], L);
    }
    for (int n = 0; n < L; ++n) {
        effectsLeft[n] += workBuffer[kRingEffectsBusLeft][n];
        effectsRight[n] += workBuffer[kRingEffectsBusRight][n];
    }
    if (chorusOn) chorus.process(effectsLeft, effectsRight, effectsLeft, effectsRight, L);
    if (delayOn) delay.process(effectsLeft, effectsRight, effectsLeft, effectsRight, L);
    if (ringModulatorOn && toRing) {
        ringModulators[1].process(workBuffer[kRingBusLeft], workBuffer[kRingBusLeft], L);
        ringModulators[3].process(workBuffer[kRingBusRight], workBuffer[kRingBusRight], L);
    }
    float* masterLeft = masterQueue[0] + queueFill;
    float* masterRight = masterQueue[1] + queueFill;
    for (int n = 0; n < L; ++n) {
        masterLeft[n] += workBuffer[kRingBusLeft][n] + effectsLeft[n];
        masterRight[n] += workBuffer[kRingBusRight][n] + effectsRight[n];
    }

    for (GateRecord& g : gates) g.retrigger = g.legato = g.released = 0;
    for (VoiceLfo& lfo : voiceLfos) lfo.clearRetrigger();
    vibrato.clearRetrigger();
}
