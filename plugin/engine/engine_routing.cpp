// Patch routing: connections from a source (a module output or one of the engine's
// value ports) to a module input, made per part for its four slots, and the table of
// what is connected where so that they can be undone by source or by destination.
#include "engine/synth_engine.h"

using engine::clampInt;
using engine::clampSlot;

namespace {

// The module and input kind behind each RouteDestination.
enum InputModule {
    kInOsc1,
    kInOsc2,
    kInFilter,
    kInMixer,
    kInMixerLevel,
    kInVca1,
    kInVca2,
    kInVibratoLfo,
    kInVoiceLfo,
    kInEnvelope,
    kInModAmount,
};

struct InputTarget {
    int module;  // InputModule
    int unit;    // which filter, mixer or modulation-amount channel, LFO or envelope
    int kind;    // the module's input kind
};

InputTarget inputTarget(int d) {
    static const int kOscKinds[7] = {kOscInVibrato, kOscInBend,       kOscInPitch, kOscInTouch,
                                     kOscInPwmLfo,  kOscInPulseWidth, kOscInNoise};
    static const int kFilterKinds[8] = {kFilterInVibrato,   kFilterInCutoffA,          kFilterInCutoffMod,
                                        kFilterInResonanceMod, kFilterInTouch, kFilterInBrillianceSource,
                                        kFilterInCutoffB,   kFilterInAudio};
    static const int kVcaKinds[7] = {kVcaInAudio,  kVcaInEnvelope, kVcaInVibrato,        kVcaInDirect,
                                     kVcaInTouch, kVcaInInitial,  kVcaInLevelModulation};
    static const int kLfoKinds[3] = {kVoiceLfoInRate, kVoiceLfoInAmplitude, kVoiceLfoInTrigger};
    if (d < kDstOsc1Sync) return {kInOsc1, 0, kOscKinds[d]};
    if (d == kDstOsc1Sync) return {kInOsc1, 0, kOscInSync};
    if (d < kDstFilter0) return {kInOsc2, 0, kOscKinds[d - kDstOsc2Vibrato]};
    if (d < kDstMixerInput0) return {kInFilter, (d - kDstFilter0) / 8, kFilterKinds[(d - kDstFilter0) % 8]};
    if (d < kDstMixerLevel0) return {kInMixer, d - kDstMixerInput0, 0};
    if (d < kDstVca1Audio) return {kInMixerLevel, d - kDstMixerLevel0, 0};
    if (d < kDstVca2Audio) return {kInVca1, 0, kVcaKinds[d - kDstVca1Audio]};
    if (d < kDstVibratoRate) return {kInVca2, 0, kVcaKinds[d - kDstVca2Audio]};
    if (d == kDstVibratoRate) return {kInVibratoLfo, 0, kVibratoLfoInRate};
    if (d < kDstEnvelopeGate0) return {kInVoiceLfo, (d - kDstLfoRate1) % 2, kLfoKinds[(d - kDstLfoRate1) / 2]};
    if (d < kDstEnvelopeModulation) return {kInEnvelope, d - kDstEnvelopeGate0, kEnvInGate};
    if (d < kDstModAmount0)
        return {kInEnvelope, (d - kDstEnvelopeModulation) % 4, kEnvModInitialLevel + (d - kDstEnvelopeModulation) / 4};
    return {kInModAmount, d - kDstModAmount0, 0};
}

bool isSumming(int d) {
    switch (d) {
    case 2: case 5: case 6: case 10: case 13: case 14:
    case 17: case 18: case 25: case 26: case 33: case 34: case 41: case 42:
    case 53: case 54: case 55: case 56: case 63: case 70:
    case 72: case 73: case 74: case 75:
        return true;
    default:
        return d >= 82 && d <= 101;
    }
}

bool isPart(int part) { return part >= 0 && part < SynthEngine::kParts; }

}  // namespace

int SynthEngine::inputFanIn(int destination) {
    if (destination < 0 || destination >= kRouteDestinations) return 0;
    return isSumming(destination) ? kFanIn : 1;
}

int SynthEngine::routeEntry(int part, int destination, int entry) const {
    if (!isPart(part) || destination < 0 || destination >= kRouteDestinations || entry < 0 || entry >= kFanIn)
        return -1;
    return routes[part][destination][entry];
}

SignalPort* SynthEngine::sourceBuffer(int source, int slot) {
    slot = clampSlot(slot);
    if (source < 0 || source >= kRouteSources) return nullptr;
    if (source <= kSrcOsc2Sync) {
        static const int kKinds[3] = {kOscOutMix, kOscOutSine, kOscOutSync};
        return oscillator(source < kSrcOsc2Mix ? 1 : 2).takeOutput(kKinds[source % 3], slot);
    }
    if (source < kSrcVca1) return filters[source - kSrcFilter0].takeOutput(0, slot);
    if (source == kSrcVca1) return vca1.takeOutput(slot);
    if (source == kSrcNone) return nullptr;
    if (source < kSrcMixer0) return envelopes[source - kSrcEnvelope0].takeOutput(0, slot);
    if (source < kSrcKeyTracking) return mixer.takeOutput(2 * (source - kSrcMixer0), slot);
    if (source <= kSrcHighestPressure) return valuePort(source, slot);
    if (source < kSrcVibratoLfo) return voiceLfos[source - kSrcVoiceLfo1].takeOutput(kLfoOutValue, slot);
    if (source == kSrcVibratoLfo) return vibrato.takeOutput(kLfoOutValue);
    return modAmounts.takeOutput(source - kSrcModAmount0, slot);
}

void SynthEngine::releaseSource(int source, int slot) {
    slot = clampSlot(slot);
    if (source < 0 || source >= kRouteSources || source == kSrcNone) return;
    if (source <= kSrcOsc2Sync) {
        static const int kKinds[3] = {kOscOutMix, kOscOutSine, kOscOutSync};
        oscillator(source < kSrcOsc2Mix ? 1 : 2).releaseOutput(kKinds[source % 3], slot);
    } else if (source < kSrcVca1) {
        filters[source - kSrcFilter0].releaseOutput(0, slot);
    } else if (source == kSrcVca1) {
        // Counted like every other output, so that a VCA nobody reads can go quiet.
        vca1.releaseOutput(slot);
    } else if (source < kSrcMixer0) {
        envelopes[source - kSrcEnvelope0].releaseOutput(0, slot);
    } else if (source < kSrcKeyTracking) {
        mixer.releaseOutput(2 * (source - kSrcMixer0), slot);
    } else if (source <= kSrcHighestPressure) {
        // The engine's value ports count no uses.
    } else if (source < kSrcVibratoLfo) {
        voiceLfos[source - kSrcVoiceLfo1].releaseOutput(kLfoOutValue, slot);
    } else if (source == kSrcVibratoLfo) {
        vibrato.releaseOutput(kLfoOutValue);
    } else {
        modAmounts.releaseOutput(source - kSrcModAmount0, slot);
    }
}

int SynthEngine::connectInput(int destination, SignalPort* port, int slot, int tag) {
    if (destination < 0 || destination >= kRouteDestinations) return 1;
    const InputTarget t = inputTarget(destination);
    switch (t.module) {
    case kInOsc1:
        return oscillator1.connectInput(t.kind, port, slot, tag);
    case kInOsc2:
        return oscillator2.connectInput(t.kind, port, slot, tag);
    case kInFilter:
        return filters[t.unit].connectInput(t.kind, port, slot, tag);
    case kInMixer:
        return mixer.connectInput(t.unit, port, slot, tag);
    case kInMixerLevel:
        return mixer.connectLevel(t.unit, port, slot, tag);
    case kInVca1:
        return vca1.connectInput(t.kind, port, slot, tag);
    case kInVca2:
        return vca2.connectInput(t.kind, port, slot, tag);
    case kInVibratoLfo:
        return vibrato.connectInput(t.kind, port);
    case kInVoiceLfo:
        return voiceLfos[t.unit].connectInput(t.kind, port, slot, tag);
    case kInEnvelope:
        return envelopes[t.unit].connectInput(t.kind, port, slot, tag);
    default:
        return modAmounts.connectInput(t.unit, port, slot, tag);
    }
}

void SynthEngine::releaseInput(int destination, int slot, int tag) {
    if (destination < 0 || destination >= kRouteDestinations) return;
    const InputTarget t = inputTarget(destination);
    switch (t.module) {
    case kInOsc1:
        oscillator1.releaseInput(t.kind, slot, tag);
        break;
    case kInOsc2:
        oscillator2.releaseInput(t.kind, slot, tag);
        break;
    case kInFilter:
        filters[t.unit].releaseInput(t.kind, slot, tag);
        break;
    case kInMixer:
        mixer.releaseInput(t.unit, slot, tag);
        break;
    case kInMixerLevel:
        mixer.releaseLevel(t.unit, slot, tag);
        break;
    case kInVca1:
        vca1.releaseInput(t.kind, slot, tag);
        break;
    case kInVca2:
        vca2.releaseInput(t.kind, slot, tag);
        break;
    case kInVibratoLfo:
        vibrato.releaseInput(t.kind);
        break;
    case kInVoiceLfo:
        voiceLfos[t.unit].releaseInput(t.kind, slot, tag);
        break;
    case kInEnvelope:
        envelopes[t.unit].releaseInput(t.kind, slot, tag);
        break;
    default:
        modAmounts.releaseInput(t.unit, slot, tag);
        break;
    }
}

// Detaches one table entry from the four slots of the part.
void SynthEngine::undoEntry(int destination, int source, int part) {
    for (int k = 0; k < kLayers; ++k) {
        const int slot = part + kParts * k;
        releaseInput(destination, slot, source);
        releaseSource(source, slot);
    }
}

int SynthEngine::connect(int source, int destination, int part) {
    if (!initialised || !isPart(part)) return 1;
    // Removal comes before the source check: a source that no entry can hold is removed from
    // nowhere, and that succeeds.
    if (destination < 0) {
        if (source < 0 || source >= kRouteSources) return 0;
        for (int d = 0; d < kRouteDestinations; ++d)
            for (int e = 0; e < inputFanIn(d); ++e) {
                if (routes[part][d][e] != source) continue;
                routes[part][d][e] = -1;
                undoEntry(d, source, part);
            }
        return 0;
    }
    if (source < 0 || source >= kRouteSources || destination >= kRouteDestinations) return 1;
    int* row = routes[part][destination];
    int entry = -1;
    for (int e = 0; e < inputFanIn(destination) && entry < 0; ++e)
        if (row[e] == -1) entry = e;
    if (entry < 0) return 1;
    for (int k = 0; k < kLayers; ++k) {
        const int slot = part + kParts * k;
        connectInput(destination, sourceBuffer(source, slot), slot, source);
    }
    row[entry] = source;
    return 0;
}

void SynthEngine::disconnect(int destination, int source, int part) {
    if (!initialised || !isPart(part) || destination < 0 || destination >= kRouteDestinations) return;
    int* row = routes[part][destination];
    for (int e = 0; e < inputFanIn(destination); ++e) {
        const int entry = row[e];
        if (entry < 0 || (source >= 0 && entry != source)) continue;
        row[e] = -1;
        undoEntry(destination, entry, part);
    }
}

void SynthEngine::makeDefaultConnections() {
    struct Pair {
        signed char source;
        signed char destination;
    };
    // Oscillators into the VCAs, the gate into the envelopes, the envelopes into the
    // filters and VCAs, the value ports and the vibrato into their inputs, and oscillator
    // 2's sync output into oscillator 1. The audio path through the filters is the
    // plug-in's.
    static const Pair kDefaults[] = {
        {0, 57},  {3, 64},  {22, 78}, {22, 79}, {22, 80}, {22, 81}, {12, 16}, {12, 32}, {13, 58}, {14, 24},
        {14, 40}, {15, 65}, {25, 19}, {25, 27}, {25, 35}, {25, 43}, {24, 20}, {24, 28}, {24, 36}, {24, 44},
        {25, 61}, {25, 68}, {24, 62}, {24, 69}, {31, 0},  {31, 8},  {26, 1},  {26, 9},  {25, 3},  {25, 11},
        {31, 15}, {31, 23}, {31, 31}, {31, 39}, {20, 21}, {20, 29}, {20, 37}, {20, 45}, {31, 59}, {31, 66},
        {21, 60}, {21, 67}, {5, 7},
    };
    for (const Pair& pair : kDefaults)
        for (int p = 0; p < kParts; ++p) connect(pair.source, pair.destination, p);
    connect(kSrcHighestPressure, kDstVibratoRate, 0);
}
