// Voices, keyboard zones and voice assignment: notes drained from the ring become
// voices in the slots of the parts of every zone that takes them.
#include <cmath>

#include "engine/synth_engine.h"

using engine::clampFinite;
using engine::clampInt;
using engine::clampSlot;

namespace {
const int kEveryChannel = 16;
const int kLowestNote = 21;
const int kHighestNote = 127;
const int kUnplayedNote = -72;
const double kSemitone = 1.0594630943592953;  // 2^(1/12)
}  // namespace

// ---------------------------------------------------------------- zones

bool SynthEngine::zoneTakes(const KeyboardZone& z, int channel, int note) const {
    if (note < z.lowKey || note > z.highKey) return false;
    return (z.partCount > 0 && (z.channel == kEveryChannel || z.channel == channel)) || channel < 0;
}

void SynthEngine::setZone(const EngineCommand& r) {
    const int zi = clampInt(r.zone, 0, kZones - 1);
    KeyboardZone& z = zones[zi];
    z.channel = r.zoneChannel;
    z.lowKey = r.zoneLowKey;
    z.highKey = r.zoneHighKey;
    z.mode = r.zoneMode;
    z.arpeggiatorSwitch = r.kind;
    if (r.kind == 0) {
        arpeggiator.emptyLists(zi);
        releaseZoneNote(-1, zi);
    }
}

void SynthEngine::setPartZone(int part, int zone) {
    for (int zi = 0; zi < kZones; ++zi)
        if (zones[zi].partCount > 0) releaseZoneNote(-1, zi);
    part = clampInt(part, 0, kParts - 1);
    for (KeyboardZone& z : zones) {
        for (int i = 0; i < z.partCount; ++i) {
            if (z.parts[i] != part) continue;
            z.parts[i] = z.parts[z.partCount - 1];
            z.parts[--z.partCount] = -1;
            break;
        }
    }
    if (zone < 0) zone = 0;
    if (zone < kZones) {
        KeyboardZone& z = zones[zone];
        z.parts[z.partCount++] = part;
    }
    for (KeyboardZone& z : zones) {
        for (int i = 1; i < z.partCount; ++i) {
            const int p = z.parts[i];
            int j = i;
            for (; j > 0 && z.parts[j - 1] > p; --j) z.parts[j] = z.parts[j - 1];
            z.parts[j] = p;
        }
    }
}

// ---------------------------------------------------------------- note on and off

void SynthEngine::noteOn(int channel, int note, int velocity) {
    if (!initialised) return;
    note = clampInt(note, kLowestNote, kHighestNote);
    for (int zi = 0; zi < kZones; ++zi) {
        KeyboardZone& z = zones[zi];
        if (!zoneTakes(z, channel, note)) continue;
        const int old = z.noteCounter;
        ++z.noteCounter;
        const int previous = z.lastNote;
        if (z.groupCounter < 0) z.groupCounter = groupingWindow + 1;
        const bool nothingHeld = z.channel == kEveryChannel ? old == 0 : z.heldCount == 0;
        if (z.groupCounter > groupingWindow) {
            z.lastNote = note;
            z.groupCounter = 0;
            if (nothingHeld) arpeggiator.restartZone(zi);
        }
        if (!arpeggiatorActive(zi))
            assignVoice(note, velocity, zi, previous);
        else
            arpeggiator.noteOn(zi, note, velocity, z.groupCounter, !nothingHeld);
    }
}

void SynthEngine::noteOff(int channel, int note, int velocity) {
    if (note == -1) {
        for (int zi = 0; zi < kZones; ++zi) {
            zones[zi].noteCounter = 0;
            if (zones[zi].partCount > 0) releaseZoneNote(-1, zi);
            if (arpeggiatorActive(zi)) arpeggiator.noteOff(zi, -1);
        }
        return;
    }
    note = clampInt(note, kLowestNote, kHighestNote);
    for (KeyboardZone& z : zones)
        if (z.noteCounter > 0) --z.noteCounter;
    for (int zi = 0; zi < kZones; ++zi) {
        if (!zoneTakes(zones[zi], channel, note)) continue;
        if (!arpeggiatorActive(zi))
            releaseZoneNote(note, zi);
        else
            arpeggiator.noteOff(zi, note);
    }
}

// ---------------------------------------------------------------- the held-note list

int SynthEngine::heldIndex(const KeyboardZone& z, int note) const {
    int seen = 0;
    for (int i = 0; i < KeyboardZone::kHeldNotes && seen < z.heldCount; ++i) {
        if (z.held[i] == -1) continue;
        if (z.held[i] == note) return i;
        ++seen;
    }
    return -1;
}

// Frees every entry of the note (leaving holes) and lowers the count by as many.
int SynthEngine::removeHeld(KeyboardZone& z, int note) {
    int removed = 0;
    for (int& n : z.held) {
        if (n != note) continue;
        n = -1;
        ++removed;
    }
    z.heldCount -= removed;
    if (z.heldCount < 0) z.heldCount = 0;
    return removed;
}

// The first slot of the zone that plays the note, layer by layer and in each layer
// part by part; -1 when none does.
int SynthEngine::zoneSlotPlaying(const KeyboardZone& z, int note, int layers) const {
    for (int k = 0; k < layers; ++k)
        for (int i = 0; i < z.partCount; ++i) {
            const int slot = z.parts[i] + kParts * k;
            if (slots[slot].note == note) return slot;
        }
    return -1;
}

// ---------------------------------------------------------------- assignment

int SynthEngine::firstFreeLayerAfter(int part, int layers) const {
    for (int j = 1; j <= layers; ++j) {
        const int layer = (lastLayer[part] + j) % layers;
        if (isFree(part + kParts * layer)) return layer;
    }
    return -1;
}

int SynthEngine::pickRotate(KeyboardZone& z, bool wide, int& fresh) {
    const int layers = voicesPerPart;
    int wrap = z.partCount;
    if (wide) {
        int withFree = 0;
        for (int i = 0; i < z.partCount; ++i)
            if (firstFreeLayerAfter(z.parts[i], layers) >= 0) ++withFree;
        // With nothing free the search wraps one part short, which moves the steal on
        // to another part; a zone of one part has no other to move to.
        if (withFree == 0 && z.partCount > 1) wrap = z.partCount - 1;
    }
    for (int i = 0; i < z.partCount; ++i) {
        z.rotation = (z.rotation + 1) % wrap;
        const int part = z.parts[z.rotation];
        int layer = lastLayer[part];
        for (int j = 0; j < layers; ++j) {
            layer = (layer + 1) % layers;
            if (isFree(part + kParts * layer)) {
                lastLayer[part] = layer;
                fresh = 1;
                return part + kParts * layer;
            }
        }
    }
    z.rotation = (z.rotation + 1) % z.partCount;
    const int part = z.parts[z.rotation];
    lastLayer[part] = (lastLayer[part] + 1) % layers;
    fresh = 0;
    return part + kParts * lastLayer[part];
}

int SynthEngine::pickReset(KeyboardZone& z, int& fresh) {
    const int layers = voicesPerPart;
    for (int k = 0; k < layers; ++k)
        for (int i = 0; i < z.partCount; ++i) {
            const int part = z.parts[i];
            if (isFree(part + kParts * k)) {
                lastLayer[part] = k;
                fresh = 1;
                return part + kParts * k;
            }
        }
    const int part = z.parts[z.partCount - 1];
    lastLayer[part] = layers - 1;
    fresh = 0;
    return part + kParts * (layers - 1);
}

int SynthEngine::pickReassign(KeyboardZone& z, int note, int& fresh) {
    for (int i = 0; i < z.partCount; ++i)
        for (int k = 0; k < voicesPerPart; ++k) {
            const int part = z.parts[i];
            if (slots[part + kParts * k].note == -note) {
                lastLayer[part] = k;
                fresh = 1;
                return part + kParts * k;
            }
        }
    return pickReset(z, fresh);
}

int SynthEngine::pickRandom(KeyboardZone& z) {
    const int layers = voicesPerPart;
    int candidates[kParts];
    int count = 0;
    for (int i = 0; i < z.partCount; ++i)
        if (firstFreeLayerAfter(z.parts[i], layers) >= 0) candidates[count++] = z.parts[i];
    if (count == 0) return -1;
    const int pick = clampInt(static_cast<int>(count * nextRandom()), 0, count - 1);
    const int part = candidates[pick];
    int layer = firstFreeLayerAfter(part, layers);
    if (layer < 0) layer = (lastLayer[part] + 1) % layers;
    lastLayer[part] = layer;
    return part + kParts * layer;
}

void SynthEngine::playSlot(int slot, int note, int velocity, int fresh) {
    VoiceSlot& v = slots[slot];
    // A slot that never played has no pitch to glide from.
    if (v.note == kUnplayedNote) v.glidePosition = static_cast<float>(note);
    v.note = note;
    v.velocityValue = tables.velocity(velocity);
    startVoice(note, slot, fresh);
}

void SynthEngine::assignUnison(KeyboardZone& z, int note, int velocity) {
    const int mode = z.mode;
    int fresh = 0;
    bool takeOver = true;
    if (z.voiceCount == 0) {
        z.voiceCount = 1;
        fresh = 1;
    } else if (mode != kAssignUnisonLast) {
        int sounding = slots[z.parts[0]].note;
        for (int i = 1; i < z.partCount; ++i) {
            const int n = slots[z.parts[i]].note;
            if (mode == kAssignUnisonLow ? n > sounding : n < sounding) sounding = n;
        }
        takeOver = mode == kAssignUnisonLow ? note < sounding : note > sounding;
    }
    if (!takeOver) return;
    for (int i = 0; i < z.partCount; ++i) {
        const int part = z.parts[i];
        lastLayer[part] = 0;
        for (int k = 0; k < voicesPerPart; ++k) playSlot(part + kParts * k, note, velocity, fresh);
    }
    z.rotation = 0;
}

void SynthEngine::assignVoice(int note, int velocity, int zone, int glideFrom) {
    KeyboardZone& z = zones[clampInt(zone, 0, kZones - 1)];
    if (z.partCount <= 0) return;
    const int layers = voicesPerPart;

    // New notes cut the releases that the pedal lengthened.
    if (sustainMode)
        for (int i = 0; i < z.partCount; ++i)
            for (int k = 0; k < layers; ++k)
                for (Envelope& e : envelopes) e.fastRelease(z.parts[i] + kParts * k);

    // A key pressed again restarts the attack of its voice.
    if (heldIndex(z, note) >= 0) {
        const int slot = zoneSlotPlaying(z, note, layers);
        if (slot >= 0) startVoice(note, slot, 0);
        return;
    }
    for (int& n : z.held) {
        if (n != -1) continue;
        n = note;
        ++z.heldCount;
        break;
    }
    // With no voice per part a note is held but sounds nowhere.
    if (layers <= 0) return;

    const int mode = clampInt(z.mode, kAssignRotateWide, kAssignRandom);
    int fresh = 1;
    int slot = -1;
    switch (mode) {
    case kAssignUnisonLow:
    case kAssignUnisonHigh:
    case kAssignUnisonLast:
        assignUnison(z, note, velocity);
        return;
    case kAssignRotateWide:
    case kAssignRotate:
        slot = pickRotate(z, mode == kAssignRotateWide, fresh);
        break;
    case kAssignReassign:
        slot = pickReassign(z, note, fresh);
        break;
    case kAssignReset:
        slot = pickReset(z, fresh);
        break;
    default:
        slot = pickRandom(z);
        if (slot < 0) return;
        break;
    }
    if (fresh) ++z.voiceCount;
    playSlot(slot, note, velocity, fresh);
    if ((mode == kAssignRotateWide || mode == kAssignRandom) && glideFrom > 0)
        slots[slot].glidePosition = static_cast<float>(glideFrom);
}

// ---------------------------------------------------------------- release

void SynthEngine::releaseZoneNote(int note, int zone) {
    KeyboardZone& z = zones[clampInt(zone, 0, kZones - 1)];
    if (note == -1) {
        z.heldCount = 0;
        z.voiceCount = 0;
        for (int i = 0; i < z.partCount; ++i)
            for (int k = 0; k < kLayers; ++k) releaseVoice(z.parts[i] + kParts * k);
        for (int& n : z.held) n = -1;
        return;
    }
    if (z.voiceCount == z.heldCount) {
        removeHeld(z, note);
        for (int i = 0; i < z.partCount; ++i)
            for (int k = 0; k < kLayers; ++k) {
                const int slot = z.parts[i] + kParts * k;
                if (slots[slot].note != note) continue;
                releaseVoice(slot);
                if (z.voiceCount > 0) --z.voiceCount;
            }
        return;
    }
    // After a steal, or with several keys down in unison, the voices go back to a key
    // that is still held and has no voice.
    const bool playing = zoneSlotPlaying(z, note, kLayers) >= 0;
    removeHeld(z, note);
    if (!playing) return;
    int replacement = -1;
    for (int n : z.held) {
        if (n == -1 || zoneSlotPlaying(z, n, kLayers) >= 0) continue;
        if (replacement == -1 || (z.mode == kAssignUnisonHigh ? n > replacement : n < replacement)) replacement = n;
    }
    if (replacement == -1) return;
    for (int i = 0; i < z.partCount; ++i)
        for (int k = 0; k < kLayers; ++k) {
            const int slot = z.parts[i] + kParts * k;
            if (slots[slot].note == note) retuneVoice(replacement, slot);
        }
}

// ---------------------------------------------------------------- one slot

void SynthEngine::startVoice(int note, int slot, int fresh) {
    slot = clampSlot(slot);
    VoiceSlot& v = slots[slot];
    v.noteFrequency = EngineTables::noteFrequency(note);
    applyKeyScaling(note, slot);
    GateRecord& g = gates[slot];
    if (g.gate || g.released) g.retrigger = 1;
    g.legato = fresh ? 0 : 1;
    g.gate = 1;
    v.touchFactor = static_cast<float>(std::pow(kSemitone, -static_cast<double>(touchAmount * v.velocityValue)));
    v.touchRise = 1.f - std::exp(-1.f / ((0.5f + 30.f * v.velocityValue) * samplesPerMs));
}

void SynthEngine::releaseVoice(int slot) {
    slot = clampSlot(slot);
    if (slots[slot].note > 0) slots[slot].note = -slots[slot].note;
    GateRecord& g = gates[slot];
    g.retrigger = 0;
    g.legato = 0;
    g.released = 1;
    g.gate = 0;
}

void SynthEngine::retuneVoice(int note, int slot) {
    slot = clampSlot(slot);
    VoiceSlot& v = slots[slot];
    v.note = note;
    v.noteFrequency = EngineTables::noteFrequency(note);
    v.touchFactor = 1.f;
    applyKeyScaling(note, slot);
}

void SynthEngine::applyKeyScaling(int note, int slot) {
    if (!initialised) return;
    slot = clampSlot(slot);
    const float d = static_cast<float>(note - 64);
    const bool high = note >= 64;
    const float below = static_cast<float>(64 - note);
    const float keyTracking = clampFinite(2.f * d / 64.f, -1.f, 1.f);
    const float brilliance = clampFinite(high ? d * keyScaling[1] / 64.f : below * keyScaling[0] / 64.f, -1.f, 1.f);
    const float level = clampFinite(high ? d * keyScaling[3] / 64.f : below * keyScaling[2] / 64.f, -1.f, 1.f);
    slotValues.block(kSlotKeyTracking * kSlots + slot)[0] = keyTracking;
    slotValues.block(kSlotBrillianceScaling * kSlots + slot)[0] = brilliance;
    slotValues.block(kSlotLevelScaling * kSlots + slot)[0] = level;
    float* velocity = slotValues.block(kSlotVelocity * kSlots + slot) - historyLength;
    for (int i = 0; i < portLength; ++i) velocity[i] = slots[slot].velocityValue;
}
