// The arpeggiator: plays the notes held in a keyboard zone one after another instead of
// together. One set of settings for the engine, one running state per zone; each zone steps
// through its notes on a millisecond timer that advances once per rendered block.
//
// The class reaches the engine only through ArpeggiatorHost. What it needs to know of a zone
// (its arpeggiator switch, its group counter, whether a note of it was held) comes in as
// arguments of the calls.
#pragma once

#include "engine/engine_command.h"

// Filled by the engine; every pointer is called with context as its first argument.
struct ArpeggiatorHost {
    void* context;
    // Releases a note (already transposed by the octave) in a zone; note -1: every note of it.
    void (*releaseZoneNote)(void* context, int zone, int note);
    // Plays a note in a zone by the zone's assignment, gliding from the zone's last note.
    void (*assignVoice)(void* context, int zone, int note, int velocity);
    // on 1: message 35 (gate), on 0: message 36 (release) to the four ring modulators.
    void (*ringModulatorGate)(void* context, int on);
    // Steps the engine's logistic generator and answers its value, 0 < u < 1.
    double (*nextRandom)(void* context);
    void (*emptyNoteRing)(void* context);
};

enum ArpeggiatorPattern {
    kArpUp = 0,
    kArpDown = 1,
    kArpUpDown = 2,
    kArpRandom = 3,
    kArpAsPlayed = 4,
};

// The running state of one zone. Both lists share count; a released note stays in both,
// negated (note and velocity), until the next step removes it; -1 marks an empty entry.
struct ArpeggiatorZone {
    static constexpr int kCapacity = 128;
    int sorted[kCapacity];  // ascending pitch
    int sortedVelocity[kCapacity];
    int played[kCapacity];  // in the order the keys arrived
    int playedVelocity[kCapacity];
    int count;
    int position;   // index of the current note in the list in use
    int repeat;     // passes over the list in this octave
    int octave;     // 0 .. octaves - 1, added as 12 semitones each
    int direction;  // up-and-down: 0 up, 1 down
    int restart;    // 1: the next step starts the pattern from its beginning
    float timer;    // ms since the last step
};

class Arpeggiator {
public:
    static constexpr int kZones = 4;
    static constexpr float kDefaultStepMs = 500.0f;
    static constexpr float kMinStepMs = 4.0f;
    // Longer steps would never play anyway; the cap keeps every step time finite.
    static constexpr float kMaxStepMs = 3600000.0f;
    static constexpr float kDefaultTempo = 120.0f;  // bpm, for a tempo of 0

    Arpeggiator();

    void setHost(const ArpeggiatorHost& host);
    // Settings and every zone back to their defaults (stopped, empty lists); the block time
    // and the host stay.
    void setDefaults();

    // kCmdArpeggiator. Answers 1 when it restarted the arpeggiator (the note ring and every
    // zone's lists emptied, every zone's notes released), else 0. A tempo it had to replace
    // (0 with tempo sync on) is written back into the record.
    int settings(EngineCommand* record);
    // L / samplesPerMs: the milliseconds of one rendered block, at every rate change.
    void setBlockTime(float ms);

    bool isRunning() const { return run != 0; }
    // Whether the notes of a zone with this arpeggiator switch word go to the arpeggiator.
    bool isActive(int zoneSwitch) const { return (zoneSwitch & run) != 0; }

    // A new note group began in the zone with no note held: the next step starts the
    // pattern afresh, at once.
    void restartZone(int zone);
    // A note-on of a zone whose arpeggiator is active, after the zone's own counters.
    // groupCounter: the zone's group counter (0 when this note began a new group), which
    // hold raises by one; noteWasHeld: whether a note of the zone was held before this one.
    void noteOn(int zone, int note, int velocity, int& groupCounter, bool noteWasHeld);
    // A note-off of a zone whose arpeggiator is active. Note -1: the lists are emptied and the
    // zone restarts (the engine releases the zone's voices itself); otherwise the note is
    // marked released unless hold is on.
    void noteOff(int zone, int note);
    // The zone's arpeggiator switch went off: its lists are emptied.
    void emptyLists(int zone);

    // Once per block for each zone, after the note ring is drained; nothing while stopped.
    void tick(int zone, int zoneSwitch);

    int getRun() const { return run; }
    int getHold() const { return hold; }
    float getStepTime() const { return stepTime; }
    float getBlockTime() const { return blockTime; }
    int getOctaves() const { return octaves; }
    int getRepeats() const { return repeats; }
    int getPattern() const { return pattern; }
    int getPendingPattern() const { return pendingPattern; }
    const ArpeggiatorZone& zoneState(int zone) const;

private:
    static float computeStepTime(EngineCommand* record);
    static void clearLists(ArpeggiatorZone& z);
    static int noteAt(const int* notes, int index);

    ArpeggiatorZone& zoneAt(int zone);
    bool usesPlayedList() const { return pattern == kArpAsPlayed; }
    void step(int zone);
    void removeReleased(int zone);
    void advance(ArpeggiatorZone& z);
    void countPass(ArpeggiatorZone& z, bool restarting);

    // Host calls; transposed notes above 127 are not played, so their releases go nowhere.
    void releaseNote(int zone, int note);
    void playNote(int zone, int note, int velocity);
    void gate(int on);

    ArpeggiatorHost host;

    int run;             // 1 running, 0 stopped (combined with a zone's switch word by bitwise and)
    int hold;            // 0 off, 2 on
    float stepTime;      // ms between steps
    float blockTime;     // ms of one block
    int octaves;         // 1-4
    int repeats;         // 1-4
    int pendingPattern;  // taken at the next step
    int pattern;         // in force

    ArpeggiatorZone zones[kZones];
};
