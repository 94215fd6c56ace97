// The engine's side of the arpeggiator: what a step may do to the zones, the voices,
// the ring modulators and the note ring.
#include "engine/synth_engine.h"

void SynthEngine::connectArpeggiator() {
    ArpeggiatorHost host;
    host.context = this;
    host.releaseZoneNote = arpReleaseZoneNote;
    host.assignVoice = arpAssignVoice;
    host.ringModulatorGate = arpRingModulatorGate;
    host.nextRandom = arpNextRandom;
    host.emptyNoteRing = arpEmptyNoteRing;
    arpeggiator.setHost(host);
    arpeggiator.setBlockTime(blockDurationMs);
}

void SynthEngine::arpReleaseZoneNote(void* engine, int zone, int note) {
    static_cast<SynthEngine*>(engine)->releaseZoneNote(note, zone);
}

// An arpeggiated note glides from the first note of the zone's current group.
void SynthEngine::arpAssignVoice(void* engine, int zone, int note, int velocity) {
    SynthEngine* self = static_cast<SynthEngine*>(engine);
    self->assignVoice(note, velocity, zone, self->zones[engine::clampInt(zone, 0, kZones - 1)].lastNote);
}

void SynthEngine::arpRingModulatorGate(void* engine, int on) {
    static_cast<SynthEngine*>(engine)->ringModulatorGate(on != 0);
}

double SynthEngine::arpNextRandom(void* engine) { return static_cast<SynthEngine*>(engine)->nextRandom(); }

void SynthEngine::arpEmptyNoteRing(void* engine) { static_cast<SynthEngine*>(engine)->emptyNoteRing(); }
