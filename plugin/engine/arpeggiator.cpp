#include "engine/arpeggiator.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/engine_math.h"

namespace {

constexpr int kHighestNote = 127;  // the note-frequency table ends here
constexpr int kOctave = 12;
constexpr int kMaxOctaves = 4;
constexpr int kMaxRepeats = 4;
// One 44-sample block at 44.1 kHz, until the engine gives its own block time.
constexpr float kDefaultBlockMs = 44.0f / 44.1f;

// Removes the released (negative) entries of one list, moving later entries down. Each removal
// at or before the position moves the position back by one, not below 0, when adjustPosition.
// Answers the entries kept; the freed entries become empty.
int compactList(int* notes, int* velocities, int count, int& position, bool adjustPosition) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (notes[i] < 0) {
            if (adjustPosition && kept <= position && position > 0) --position;
            continue;
        }
        notes[kept] = notes[i];
        velocities[kept] = velocities[i];
        ++kept;
    }
    for (int i = kept; i < count; ++i) {
        notes[i] = -1;
        velocities[i] = -1;
    }
    return kept;
}

// Negates the entry of a note in one list when it stands positive; makeHeld makes it positive.
void markNote(int* notes, int* velocities, int count, int note, bool makeHeld) {
    for (int i = 0; i < count; ++i) {
        if (std::abs(notes[i]) != note) continue;
        notes[i] = makeHeld ? note : -note;
        velocities[i] = makeHeld ? std::abs(velocities[i]) : -std::abs(velocities[i]);
    }
}

}  // namespace

Arpeggiator::Arpeggiator() : host(), blockTime(kDefaultBlockMs) { setDefaults(); }

void Arpeggiator::setHost(const ArpeggiatorHost& newHost) { host = newHost; }

void Arpeggiator::setDefaults() {
    run = 0;
    hold = 0;
    stepTime = kDefaultStepMs;
    octaves = 0;
    repeats = 0;
    pendingPattern = kArpUp;
    pattern = kArpUp;
    for (ArpeggiatorZone& z : zones) {
        clearLists(z);
        z.position = 0;
        z.repeat = 0;
        z.octave = 0;
        z.direction = 0;
        z.restart = 1;
        z.timer = kDefaultStepMs;
    }
}

int Arpeggiator::settings(EngineCommand* record) {
    if (!record) return 0;
    const int restarting = (record->arpHold != hold && run != 0 && record->arpHold == 0) || record->arpRun != run;
    hold = record->arpHold;
    stepTime = computeStepTime(record);
    // The plug-in sends 1-4; fewer than one octave would transpose the down pattern below its keys.
    octaves = engine::clampInt(record->arpOctaves, 1, kMaxOctaves);
    repeats = engine::clampInt(record->arpRepeats, 1, kMaxRepeats);
    pendingPattern = engine::clampInt(record->option, kArpUp, kArpAsPlayed);
    run = record->arpRun;
    if (restarting) {
        if (host.emptyNoteRing) host.emptyNoteRing(host.context);
        for (int zone = 0; zone < kZones; ++zone) {
            clearLists(zones[zone]);
            if (host.releaseZoneNote) host.releaseZoneNote(host.context, zone, -1);
        }
    }
    return restarting;
}

float Arpeggiator::computeStepTime(EngineCommand* record) {
    double ms;
    if (record->tempoSync == 0) {
        ms = record->timeMs;
    } else {
        if (!(record->tempo > 0.0f) || !std::isfinite(record->tempo)) record->tempo = kDefaultTempo;
        double division = record->tempoDivision;
        if (division == 0.0) division = 1.0;  // would divide by zero; the plug-in never sends it
        ms = division < 0.0 ? -division * 60000.0 / record->tempo : 60000.0 / (division * record->tempo);
    }
    if (!(ms >= kMinStepMs)) return kMinStepMs;  // NaN too
    return ms > kMaxStepMs ? kMaxStepMs : (float)ms;
}

void Arpeggiator::setBlockTime(float ms) {
    if (ms > 0.0f && std::isfinite(ms)) blockTime = ms;
}

const ArpeggiatorZone& Arpeggiator::zoneState(int zone) const { return zones[engine::clampInt(zone, 0, kZones - 1)]; }

ArpeggiatorZone& Arpeggiator::zoneAt(int zone) { return zones[engine::clampInt(zone, 0, kZones - 1)]; }

void Arpeggiator::clearLists(ArpeggiatorZone& z) {
    for (int i = 0; i < ArpeggiatorZone::kCapacity; ++i) {
        z.sorted[i] = -1;
        z.sortedVelocity[i] = -1;
        z.played[i] = -1;
        z.playedVelocity[i] = -1;
    }
    z.count = 0;
}

int Arpeggiator::noteAt(const int* notes, int index) {
    return index >= 0 && index < ArpeggiatorZone::kCapacity ? notes[index] : -1;
}

void Arpeggiator::restartZone(int zone) {
    ArpeggiatorZone& z = zoneAt(zone);
    z.restart = 1;
    z.timer = stepTime;
}

void Arpeggiator::emptyLists(int zone) { clearLists(zoneAt(zone)); }

void Arpeggiator::noteOn(int zone, int note, int velocity, int& groupCounter, bool noteWasHeld) {
    // 0 could not be told from its own release, and the table ends at 127.
    if (note < 1 || note > kHighestNote) return;
    zone = engine::clampInt(zone, 0, kZones - 1);
    ArpeggiatorZone& z = zones[zone];
    velocity = engine::clampInt(velocity, 0, kHighestNote);

    if (hold != 0) {
        // The first key of a new chord, with no key down before it, replaces the held arpeggio.
        if (groupCounter == 0 && !noteWasHeld) {
            if (host.releaseZoneNote) host.releaseZoneNote(host.context, zone, -1);
            clearLists(z);
        }
        if (groupCounter < INT_MAX) ++groupCounter;
    }

    for (int i = 0; i < z.count; ++i) {
        if (std::abs(z.sorted[i]) == note) {
            markNote(z.sorted, z.sortedVelocity, z.count, note, true);
            markNote(z.played, z.playedVelocity, z.count, note, true);
            return;
        }
    }
    if (z.count >= ArpeggiatorZone::kCapacity) return;

    int at = z.count;
    for (int i = 0; i < z.count; ++i) {
        if (std::abs(z.sorted[i]) > note) {
            at = i;
            break;
        }
    }
    const int behind = z.count - at;
    std::memmove(&z.sorted[at + 1], &z.sorted[at], behind * sizeof(int));
    std::memmove(&z.sortedVelocity[at + 1], &z.sortedVelocity[at], behind * sizeof(int));
    z.sorted[at] = note;
    z.sortedVelocity[at] = velocity;
    // The position keeps pointing at the same note of the sorted list.
    if (!usesPlayedList() && at <= z.position) ++z.position;
    z.played[z.count] = note;
    z.playedVelocity[z.count] = velocity;
    ++z.count;
}

void Arpeggiator::noteOff(int zone, int note) {
    ArpeggiatorZone& z = zoneAt(zone);
    if (note == -1) {
        clearLists(z);
        restartZone(zone);
        return;
    }
    if (hold != 0 || note < 1 || note > kHighestNote) return;
    for (int i = 0; i < z.count; ++i) {
        if (z.sorted[i] == note) {
            markNote(z.sorted, z.sortedVelocity, z.count, note, false);
            markNote(z.played, z.playedVelocity, z.count, note, false);
            return;
        }
    }
}

void Arpeggiator::tick(int zone, int zoneSwitch) {
    if (run == 0) return;
    zone = engine::clampInt(zone, 0, kZones - 1);
    ArpeggiatorZone& z = zones[zone];
    if (z.count == 0 || zoneSwitch == 0) {
        z.restart = 1;
        z.timer = stepTime;
        return;
    }
    z.timer += blockTime;
    if (!(z.timer > stepTime)) return;
    z.timer -= stepTime;
    // After the step time shrank (or with blocks longer than a step), the timer would keep
    // growing; one step per block is the most there can be.
    if (z.timer > stepTime) z.timer = stepTime;
    step(zone);
}

void Arpeggiator::step(int zone) {
    ArpeggiatorZone& z = zones[zone];
    for (int i = 0; i < z.count; ++i)
        if (z.sorted[i] < 0) releaseNote(zone, -z.sorted[i] + kOctave * z.octave);
    removeReleased(zone);
    if (z.count == 0) {
        z.restart = 1;
        return;
    }

    int note = noteAt(usesPlayedList() ? z.played : z.sorted, z.position);
    if (note > 0) {
        releaseNote(zone, note + kOctave * z.octave);
        gate(0);
    }

    pattern = pendingPattern;
    if (z.restart) {
        z.position = 0;
        z.repeat = 0;
        z.octave = 0;
        z.direction = 0;
    }
    advance(z);
    z.restart = 0;

    const bool played = usesPlayedList();
    note = noteAt(played ? z.played : z.sorted, z.position);
    if (note > 0) {
        const int velocity = noteAt(played ? z.playedVelocity : z.sortedVelocity, z.position);
        if (velocity > 0) playNote(zone, note + kOctave * z.octave, velocity);
        gate(1);
    }
}

void Arpeggiator::removeReleased(int zone) {
    ArpeggiatorZone& z = zones[zone];
    const bool played = usesPlayedList();
    const int kept = compactList(z.sorted, z.sortedVelocity, z.count, z.position, !played);
    compactList(z.played, z.playedVelocity, z.count, z.position, played);
    z.count = kept;
}

void Arpeggiator::countPass(ArpeggiatorZone& z, bool restarting) {
    if (!restarting) ++z.repeat;
    if (z.repeat >= repeats) {
        z.repeat = 0;
        if (!restarting) ++z.octave;
    }
    if (z.octave >= octaves) z.octave = 0;
}

void Arpeggiator::advance(ArpeggiatorZone& z) {
    const bool restarting = z.restart != 0;
    switch (pattern) {
    case kArpUp:
    case kArpAsPlayed:
        if (!restarting) ++z.position;
        if (z.position >= z.count) {
            z.position = 0;
            countPass(z, restarting);
        }
        break;
    case kArpDown:
        // A pass starts at the highest note, the octaves from the highest down.
        --z.position;
        if (z.position < 0) {
            z.position = z.count - 1;
            if (restarting)
                z.octave = octaves - 1;
            else
                ++z.repeat;
            if (z.repeat >= repeats) {
                --z.octave;
                z.repeat = 0;
            }
            if (z.octave < 0) z.octave = octaves - 1;
        }
        break;
    case kArpUpDown:
        // The top and bottom notes play once per turn. Two notes turn at the top straight to
        // the bottom like one: turning down to index 0 would play the bottom note twice.
        if (z.direction == 0) {
            if (!restarting) ++z.position;
            if (z.position >= z.count) {
                if (z.count > 2) {
                    z.direction = 1;
                    z.position = z.count - 2;
                } else {
                    z.position = 0;
                    countPass(z, restarting);
                }
            }
        } else {
            --z.position;
            if (z.position <= 0) {
                z.direction = 0;
                z.position = 0;
                countPass(z, restarting);
            }
        }
        break;
    case kArpRandom: {
        double u = host.nextRandom ? host.nextRandom(host.context) : 0.0;
        if (!(u >= 0.0)) u = 0.0;
        if (u > 1.0) u = 1.0;
        z.position = (int)((z.count - 1) * u + 0.5);
        ++z.repeat;
        if (z.repeat >= repeats) {
            ++z.octave;
            z.repeat = 0;
            if (z.octave >= octaves) z.octave = 0;
        }
        break;
    }
    default:
        break;
    }
}

void Arpeggiator::releaseNote(int zone, int note) {
    if (note > kHighestNote || !host.releaseZoneNote) return;
    host.releaseZoneNote(host.context, zone, note);
}

void Arpeggiator::playNote(int zone, int note, int velocity) {
    if (note > kHighestNote || !host.assignVoice) return;
    host.assignVoice(host.context, zone, note, velocity);
}

void Arpeggiator::gate(int on) {
    if (host.ringModulatorGate) host.ringModulatorGate(host.context, on);
}
