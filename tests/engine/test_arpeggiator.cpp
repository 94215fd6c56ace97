#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/arpeggiator.h"

namespace {

const float kBlockMs = 44.0f / 44.1f;  // one 44-sample block at 44.1 kHz
const int kWindow = 200;              // the zones' 200 ms grouping window in blocks at 44.1 kHz

enum EventKind { kRelease, kAssign, kGate, kEmptyRing };

struct Event {
    EventKind kind;
    int zone;
    int note;  // the gate word for kGate
    int velocity;
    bool operator==(const Event& o) const {
        return kind == o.kind && zone == o.zone && note == o.note && velocity == o.velocity;
    }
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
    static const char* names[] = {"release", "assign", "gate", "emptyRing"};
    return out << names[e.kind] << "(" << e.zone << ", " << e.note << ", " << e.velocity << ")";
}

Event release(int note, int zone = 0) { return {kRelease, zone, note, 0}; }
Event assign(int note, int velocity, int zone = 0) { return {kAssign, zone, note, velocity}; }
Event gate(int on) { return {kGate, 0, on, 0}; }

// The arpeggiator with a recording host, and the zone bookkeeping that the engine does around it
// (its note counter, group counter and arpeggiator switch), driven block by block.
class Rig {
public:
    Rig() {
        ArpeggiatorHost host;
        host.context = this;
        host.releaseZoneNote = [](void* c, int zone, int note) { self(c)->record({kRelease, zone, note, 0}); };
        host.assignVoice = [](void* c, int zone, int note, int v) { self(c)->record({kAssign, zone, note, v}); };
        host.ringModulatorGate = [](void* c, int on) { self(c)->record({kGate, 0, on, 0}); };
        host.nextRandom = [](void* c) { return self(c)->nextRandom(); };
        host.emptyNoteRing = [](void* c) { self(c)->record({kEmptyRing, 0, 0, 0}); };
        arp.setHost(host);
        arp.setBlockTime(kBlockMs);
        std::memset(&command, 0, sizeof command);
        for (int z = 0; z < Arpeggiator::kZones; ++z) {
            zoneSwitch[z] = 1;
            keysDown[z] = 0;
            groupCounter[z] = kWindow + 1;
        }
    }

    int settings(int run, int hold, int pattern, int octaves = 1, int repeats = 1, float timeMs = 4.0f) {
        command.arpRun = run;
        command.arpHold = hold;
        command.option = pattern;
        command.arpOctaves = octaves;
        command.arpRepeats = repeats;
        command.timeMs = timeMs;
        command.tempoSync = 0;
        return arp.settings(&command);
    }
    // Running, one octave, one repeat, with these step-time words.
    int timeSettings(int sync, float timeMs, int division, float tempo) {
        command.arpRun = 1;
        command.arpOctaves = command.arpRepeats = 1;
        command.tempoSync = sync;
        command.timeMs = timeMs;
        command.tempoDivision = division;
        command.tempo = tempo;
        return arp.settings(&command);
    }

    // The engine's note-on: its counters, then the arpeggiator when the zone's is active.
    void press(int note, int velocity = 100, int zone = 0) {
        const int old = keysDown[zone]++;
        if (groupCounter[zone] > kWindow) {
            groupCounter[zone] = 0;
            if (old == 0) arp.restartZone(zone);
        }
        if (arp.isActive(zoneSwitch[zone])) arp.noteOn(zone, note, velocity, groupCounter[zone], old != 0);
    }
    void releaseKey(int note, int zone = 0) {
        if (keysDown[zone] > 0) --keysDown[zone];
        if (arp.isActive(zoneSwitch[zone])) arp.noteOff(zone, note);
    }

    // One rendered block: group counters, then the ticks.
    void block() {
        for (int z = 0; z < Arpeggiator::kZones; ++z) {
            ++groupCounter[z];
            if (arp.isRunning()) arp.tick(z, zoneSwitch[z]);
        }
        ++blocks;
    }
    void runBlocks(int n) {
        for (int i = 0; i < n; ++i) block();
    }
    // Runs until `steps` more notes were played: each note with its block number (counted from 1).
    std::vector<std::pair<int, int>> playSteps(int steps) {
        std::vector<std::pair<int, int>> played;
        for (int guard = 0; guard < 100000 && (int)played.size() < steps; ++guard) {
            const size_t before = events.size();
            block();
            for (size_t i = before; i < events.size(); ++i)
                if (events[i].kind == kAssign) played.push_back({events[i].note, blocks});
        }
        return played;
    }
    std::vector<int> playNotes(int steps) {
        std::vector<int> notes;
        for (const auto& step : playSteps(steps)) notes.push_back(step.first);
        return notes;
    }
    std::vector<int> stepBlocks(int steps) {
        std::vector<int> at;
        for (const auto& step : playSteps(steps)) at.push_back(step.second);
        return at;
    }
    std::vector<Event> take() {
        std::vector<Event> out;
        out.swap(events);
        return out;
    }
    std::vector<int> sortedList(int zone = 0) const {
        const ArpeggiatorZone& z = arp.zoneState(zone);
        return std::vector<int>(z.sorted, z.sorted + z.count);
    }
    std::vector<int> playedList(int zone = 0) const {
        const ArpeggiatorZone& z = arp.zoneState(zone);
        return std::vector<int>(z.played, z.played + z.count);
    }

    Arpeggiator arp;
    EngineCommand command;
    std::vector<Event> events;
    std::vector<double> randoms;  // handed out in order
    size_t nextRandomIndex = 0;
    int zoneSwitch[Arpeggiator::kZones];
    int keysDown[Arpeggiator::kZones];
    int groupCounter[Arpeggiator::kZones];
    int blocks = 0;

private:
    static Rig* self(void* context) { return static_cast<Rig*>(context); }
    void record(const Event& e) { events.push_back(e); }
    double nextRandom() { return nextRandomIndex < randoms.size() ? randoms[nextRandomIndex++] : 0.5; }
};

const int C = 60, D = 62, E = 64, G = 67, A = 69;

// ---------------------------------------------------------------- patterns

struct PatternCase {
    const char* name;
    int pattern;
    int octaves;
    int repeats;
    std::vector<int> keys;  // in the order pressed, all in one block
    std::vector<double> randoms;
    std::vector<int> expected;
};

TEST(ArpeggiatorPatterns, EachPatternPlaysItsSequenceOverOctavesAndRepeats) {
    const PatternCase cases[] = {
        {"up, 2 octaves", kArpUp, 2, 1, {E, C}, {}, {C, E, C + 12, E + 12, C, E, C + 12, E + 12}},
        {"up, single note, 3 octaves, 2 repeats", kArpUp, 3, 2, {C}, {}, {C, C, C + 12, C + 12, C + 24, C + 24, C}},
        {"up and down", kArpUpDown, 1, 1, {G, C, E}, {}, {C, E, G, E, C, E, G, E, C}},
        {"up and down, 2 octaves", kArpUpDown, 2, 1, {C, E, G}, {}, {C, E, G, E, C + 12, E + 12, G + 12, E + 12, C}},
        {"up and down, single note", kArpUpDown, 2, 1, {C}, {}, {C, C + 12, C, C + 12}},
        {"up and down, two notes", kArpUpDown, 2, 1, {C, E}, {}, {C, E, C + 12, E + 12, C, E}},
        {"down starts high", kArpDown, 2, 1, {C, E}, {}, {E + 12, C + 12, E, C, E + 12, C + 12}},
        {"down, 2 repeats",
         kArpDown,
         2,
         2,
         {C, E, G},
         {},
         {G + 12, E + 12, C + 12, G + 12, E + 12, C + 12, G, E, C, G, E, C, G + 12}},
        {"as played", kArpAsPlayed, 1, 1, {G, C, E}, {}, {G, C, E, G, C, E}},
        {"as played, 2 octaves, 2 repeats", kArpAsPlayed, 2, 2, {E, C}, {}, {E, C, E, C, E + 12, C + 12, E + 12, C + 12, E}},
        // position = int((count - 1) u + 0.5) over C, E, G, A; the repeat counts from the first step.
        {"random", kArpRandom, 1, 1, {A, C, G, E}, {0.1, 0.5, 0.999999, 0.3, 1e-6, 0.17}, {C, G, A, E, C, E}},
        {"random, 2 octaves, 2 repeats",
         kArpRandom,
         2,
         2,
         {C, E, G, A},
         {0.1, 0.5, 0.99, 0.3, 0.17},
         {C, G + 12, A + 12, E, E}},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.randoms = c.randoms;
        rig.settings(1, 0, c.pattern, c.octaves, c.repeats);
        for (int key : c.keys) rig.press(key);
        EXPECT_EQ(rig.playNotes((int)c.expected.size()), c.expected);
    }
}

TEST(ArpeggiatorPatterns, RandomStaysWithinTheListWithTheLogisticGenerator) {
    Rig rig;
    double x = 0.1;
    for (int i = 0; i < 300; ++i) {
        x = 4.0 * 0.9999999 * x * (1.0 - x);
        rig.randoms.push_back(x);
    }
    rig.settings(1, 0, kArpRandom);
    for (int key : {C, D, E, G, A}) rig.press(key);
    const std::vector<int> notes = rig.playNotes(300);
    ASSERT_EQ(notes.size(), 300u);
    bool seen[5] = {};
    for (int n : notes) {
        const int keys[] = {C, D, E, G, A};
        int found = -1;
        for (int k = 0; k < 5; ++k)
            if (keys[k] == n) found = k;
        ASSERT_GE(found, 0) << n;
        seen[found] = true;
    }
    for (bool s : seen) EXPECT_TRUE(s);
}

TEST(ArpeggiatorPatterns, PatternChangeTakesEffectAtTheNextStep) {
    Rig rig;
    rig.settings(1, 0, kArpUp);
    for (int key : {C, E, G}) rig.press(key);
    EXPECT_EQ(rig.playNotes(2), (std::vector<int>{C, E}));
    rig.take();
    EXPECT_EQ(rig.settings(1, 0, kArpDown), 0);
    EXPECT_EQ(rig.arp.getPattern(), kArpUp);
    EXPECT_EQ(rig.arp.getPendingPattern(), kArpDown);
    EXPECT_TRUE(rig.take().empty());
    // From E downward: C, then the pass wraps to G.
    EXPECT_EQ(rig.playNotes(4), (std::vector<int>{C, G, E, C}));
    EXPECT_EQ(rig.arp.getPattern(), kArpDown);
}

// ---------------------------------------------------------------- step time

TEST(ArpeggiatorTiming, StepTimesFromTheSettings) {
    struct Case {
        const char* name;
        int sync;
        float timeMs;
        int division;
        float tempo;
        float expectedMs;
        float tempoAfter;
    } cases[] = {
        {"free", 0, 250.0f, 1, 120.0f, 250.0f, 120.0f},
        {"free, below the minimum", 0, 2.0f, 1, 120.0f, 4.0f, 120.0f},
        {"free, NaN", 0, NAN, 1, 120.0f, 4.0f, 120.0f},
        {"free, infinite", 0, INFINITY, 1, 120.0f, Arpeggiator::kMaxStepMs, 120.0f},
        {"division 4 at 120", 1, 2.0f, 4, 120.0f, 125.0f, 120.0f},
        {"division -2 at 120", 1, 2.0f, -2, 120.0f, 1000.0f, 120.0f},
        {"division 1 at 90", 1, 2.0f, 1, 90.0f, 60000.0f / 90.0f, 90.0f},
        {"tempo 0 is 120", 1, 2.0f, 2, 0.0f, 250.0f, 120.0f},
        {"division 0 is 1", 1, 2.0f, 0, 120.0f, 500.0f, 120.0f},
        {"sync below the minimum", 1, 500.0f, 64, 240.0f, 4.0f, 240.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.timeSettings(c.sync, c.timeMs, c.division, c.tempo);
        EXPECT_FLOAT_EQ(rig.arp.getStepTime(), c.expectedMs);
        EXPECT_EQ(rig.command.tempo, c.tempoAfter);
    }
}

TEST(ArpeggiatorTiming, StepsFallOnTheBlocksOfTheStepTime) {
    struct Case {
        const char* name;
        int sync;
        float timeMs;
        int division;
        float expectedMs;
    } cases[] = {
        {"2 ms runs at 4 ms", 0, 2.0f, 1, 4.0f},
        {"division 4 at 120 bpm", 1, 0.0f, 4, 125.0f},
        {"division -2 at 120 bpm", 1, 0.0f, -2, 1000.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.timeSettings(c.sync, c.timeMs, c.division, 120.0f);
        rig.press(C);
        rig.press(E);
        const int steps = 9;
        const std::vector<int> at = rig.stepBlocks(steps);
        ASSERT_EQ((int)at.size(), steps);
        // The first step follows at once, in the first block after the notes arrived.
        EXPECT_EQ(at[0], 1);
        for (int k = 1; k < steps; ++k)
            EXPECT_NEAR(at[k] - at[0], k * c.expectedMs / kBlockMs, 1.0) << "step " << k;
    }
}

TEST(ArpeggiatorTiming, NothingTicksWhileStopped) {
    Rig rig;
    rig.settings(0, 0, kArpUp);
    EXPECT_FALSE(rig.arp.isRunning());
    EXPECT_FALSE(rig.arp.isActive(1));
    rig.arp.tick(0, 1);
    EXPECT_TRUE(rig.take().empty());
    rig.settings(1, 0, kArpUp);
    EXPECT_TRUE(rig.arp.isActive(1));
    EXPECT_FALSE(rig.arp.isActive(0));
    EXPECT_FALSE(rig.arp.isActive(2));  // the words are combined bitwise
}

// ---------------------------------------------------------------- restart

TEST(ArpeggiatorRestart, RunChangeAndHoldOffRestart) {
    struct Case {
        int run, hold, newRun, newHold, restart;
    } cases[] = {
        {1, 0, 1, 0, 0}, {1, 0, 0, 0, 1}, {0, 0, 1, 0, 1}, {1, 2, 1, 0, 1},
        {1, 0, 1, 2, 0}, {0, 2, 0, 0, 0}, {1, 2, 1, 2, 0}, {0, 2, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.run << "," << c.hold << " -> " << c.newRun << "," << c.newHold);
        Rig rig;
        rig.settings(1, 0, kArpUp);
        rig.press(C);
        rig.press(E, 90, 2);
        rig.playNotes(1);
        rig.settings(c.run, c.hold, kArpUp);
        rig.take();
        EXPECT_EQ(rig.settings(c.newRun, c.newHold, kArpUp), c.restart);
        std::vector<Event> expected;
        if (c.restart) expected = {{kEmptyRing, 0, 0, 0}, release(-1, 0), release(-1, 1), release(-1, 2), release(-1, 3)};
        EXPECT_EQ(rig.take(), expected);
        if (c.restart) {
            for (int z = 0; z < Arpeggiator::kZones; ++z) EXPECT_EQ(rig.arp.zoneState(z).count, 0);
        }
    }
}

TEST(ArpeggiatorRestart, AfterARestartThePatternBeginsAgain) {
    Rig rig;
    rig.settings(1, 0, kArpUp, 2);
    rig.press(C);
    rig.press(E);
    EXPECT_EQ(rig.playNotes(3), (std::vector<int>{C, E, C + 12}));
    rig.settings(0, 0, kArpUp, 2);
    rig.settings(1, 0, kArpUp, 2);
    rig.releaseKey(C);
    rig.releaseKey(E);
    rig.runBlocks(kWindow + 1);
    rig.press(E);
    rig.press(C);
    EXPECT_EQ(rig.playNotes(3), (std::vector<int>{C, E, C + 12}));
}

TEST(ArpeggiatorRestart, EveryNoteOffEmptiesAZoneAndRestartsIt) {
    Rig rig;
    rig.settings(1, 0, kArpUp, 1, 1, 100.0f);
    rig.press(C, 100, 1);
    rig.press(E, 100, 1);
    rig.runBlocks(30);
    rig.take();
    rig.arp.noteOff(1, -1);
    const ArpeggiatorZone& z = rig.arp.zoneState(1);
    EXPECT_EQ(z.count, 0);
    EXPECT_EQ(z.sorted[0], -1);
    EXPECT_EQ(z.played[1], -1);
    EXPECT_EQ(z.restart, 1);
    EXPECT_EQ(z.timer, 100.0f);
    EXPECT_TRUE(rig.take().empty());  // the engine releases the zone's voices itself
}

TEST(ArpeggiatorRestart, SwitchOffEmptiesTheZoneAndItsTickIdles) {
    Rig rig;
    rig.settings(1, 0, kArpUp);
    rig.press(C);
    rig.playNotes(2);
    rig.arp.emptyLists(0);
    rig.zoneSwitch[0] = 0;
    rig.take();
    rig.runBlocks(20);
    EXPECT_TRUE(rig.take().empty());
    EXPECT_EQ(rig.arp.zoneState(0).count, 0);
    EXPECT_EQ(rig.arp.zoneState(0).restart, 1);
}

// ---------------------------------------------------------------- hold and the lists

TEST(ArpeggiatorHold, HoldKeepsTheArpeggioAndANewChordReplacesIt) {
    Rig rig;
    rig.settings(1, 2, kArpUp);
    rig.press(C);
    rig.press(E);  // same block: the hold raised the group counter, so it joins C
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, E}));
    rig.runBlocks(2);
    rig.releaseKey(C);
    rig.releaseKey(E);
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, E}));
    EXPECT_EQ(rig.playNotes(6).size(), 6u);
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, E}));

    rig.runBlocks(kWindow + 1);
    rig.take();
    rig.press(G);
    rig.press(A);
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(-1)}));
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{G, A}));
    EXPECT_EQ(rig.playNotes(3), (std::vector<int>{G, A, G}));
}

TEST(ArpeggiatorHold, TheKeysOfOneBlockFormOneChordWhenNoneCountsAsHeld) {
    // A zone on a fixed channel judges "held" by its held-note list, empty until the first step.
    Rig rig;
    rig.settings(1, 2, kArpUp);
    rig.take();
    int group = 0;
    rig.arp.noteOn(1, C, 100, group, false);
    rig.arp.noteOn(1, E, 100, group, false);
    rig.arp.noteOn(1, G, 100, group, false);
    EXPECT_EQ(group, 3);
    EXPECT_EQ(rig.sortedList(1), (std::vector<int>{C, E, G}));
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(-1, 1)}));
}

TEST(ArpeggiatorHold, AKeyOfTheHeldArpeggioIsNotAddedTwice) {
    Rig rig;
    rig.settings(1, 2, kArpUp);
    rig.press(C);
    rig.press(E);
    rig.runBlocks(3);
    rig.releaseKey(E);
    rig.press(E);  // C still down: the same chord
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, E}));
    EXPECT_EQ(rig.playedList(), (std::vector<int>{C, E}));
}

TEST(ArpeggiatorLists, SortedAndAsPlayedListsWithVelocities) {
    Rig rig;
    rig.settings(1, 0, kArpUp);
    rig.press(G, 10);
    rig.press(C, 20);
    rig.press(E, 30);
    rig.press(C, 40);  // already listed
    const ArpeggiatorZone& z = rig.arp.zoneState(0);
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, E, G}));
    EXPECT_EQ(std::vector<int>(z.sortedVelocity, z.sortedVelocity + 3), (std::vector<int>{20, 30, 10}));
    EXPECT_EQ(rig.playedList(), (std::vector<int>{G, C, E}));
    EXPECT_EQ(std::vector<int>(z.playedVelocity, z.playedVelocity + 3), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(z.sorted[3], -1);
    rig.releaseKey(E);
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{C, -E, G}));
    EXPECT_EQ(z.sortedVelocity[1], -30);
    EXPECT_EQ(rig.playedList(), (std::vector<int>{G, C, -E}));
    EXPECT_EQ(z.playedVelocity[2], -30);
}

TEST(ArpeggiatorLists, AKeyPressedAgainBeforeTheNextStepKeepsItsPlace) {
    for (bool pressAgain : {true, false}) {
        SCOPED_TRACE(pressAgain ? "pressed again" : "left released");
        Rig rig;
        rig.settings(1, 0, kArpUp, 1, 1, 100.0f);
        rig.press(C);
        rig.press(E);
        rig.press(G);
        EXPECT_EQ(rig.playNotes(1), (std::vector<int>{C}));
        rig.releaseKey(E);
        if (pressAgain) rig.press(E, 50);
        const std::vector<int> expected = pressAgain ? std::vector<int>{E, G, C, E} : std::vector<int>{G, C, G, C};
        EXPECT_EQ(rig.playNotes(4), expected);
    }
}

TEST(ArpeggiatorLists, ReleasedNotesAreReleasedAtTheirOctaveAndRemovedAtTheStep) {
    Rig rig;
    rig.settings(1, 0, kArpUp, 2);
    rig.press(C);
    rig.press(E);
    EXPECT_EQ(rig.playNotes(4), (std::vector<int>{C, E, C + 12, E + 12}));
    rig.releaseKey(C);
    rig.take();
    rig.playNotes(1);
    // C at the octave in force, then E + 12 of the last step; the pass then wraps to octave 0.
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(C + 12), release(E + 12), gate(0), assign(E, 100), gate(1)}));
    EXPECT_EQ(rig.sortedList(), (std::vector<int>{E}));
    EXPECT_EQ(rig.playedList(), (std::vector<int>{E}));

    rig.releaseKey(E);
    rig.runBlocks(10);
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(E)}));
    EXPECT_EQ(rig.arp.zoneState(0).count, 0);
    EXPECT_EQ(rig.arp.zoneState(0).restart, 1);
}

TEST(ArpeggiatorLists, GateMessagesFollowTheSteps) {
    Rig rig;
    rig.settings(1, 0, kArpUp);
    rig.take();  // the start's restart
    rig.press(C, 100);
    rig.press(E, 0);  // listed, silent, still gates
    rig.playNotes(1);
    EXPECT_EQ(rig.take(), (std::vector<Event>{assign(C, 100), gate(1)}));
    rig.runBlocks(5);
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(C), gate(0), gate(1)}));
    rig.playNotes(1);
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(E), gate(0), assign(C, 100), gate(1)}));
}

TEST(ArpeggiatorLists, ZonesRunApart) {
    Rig rig;
    rig.settings(1, 0, kArpUp);
    rig.take();  // the start's restart
    rig.press(C, 100, 0);
    rig.press(G, 80, 3);
    rig.block();
    EXPECT_EQ(rig.take(), (std::vector<Event>{assign(C, 100, 0), gate(1), assign(G, 80, 3), gate(1)}));
}

// ---------------------------------------------------------------- bad input

TEST(ArpeggiatorBounds, NotesAboveTheTableAreDropped) {
    Rig rig;
    rig.settings(1, 0, kArpUp, 2);
    rig.take();  // the start's restart
    rig.press(120);
    rig.playNotes(1);
    EXPECT_EQ(rig.take(), (std::vector<Event>{assign(120, 100), gate(1)}));
    // 132 neither plays nor is released; the gates keep the steps.
    rig.runBlocks(4);
    EXPECT_EQ(rig.take(), (std::vector<Event>{release(120), gate(0), gate(1)}));
    rig.playNotes(1);
    EXPECT_EQ(rig.take(), (std::vector<Event>{gate(0), assign(120, 100), gate(1)}));
    rig.runBlocks(100);
    for (const Event& e : rig.take()) EXPECT_LE(e.note, 127) << e;
}

TEST(ArpeggiatorBounds, ZonesNotesAndCountsAreClamped) {
    Rig rig;
    rig.settings(1, 0, 9, 0, 7);
    EXPECT_EQ(rig.arp.getPendingPattern(), kArpAsPlayed);
    EXPECT_EQ(rig.arp.getOctaves(), 1);
    EXPECT_EQ(rig.arp.getRepeats(), 4);
    int group = 0;
    rig.arp.noteOn(9, C, 300, group, false);
    rig.arp.noteOn(-4, E, -3, group, false);
    rig.arp.noteOn(0, 0, 100, group, false);
    rig.arp.noteOn(0, 128, 100, group, false);
    EXPECT_EQ(rig.sortedList(3), (std::vector<int>{C}));
    EXPECT_EQ(rig.arp.zoneState(3).sortedVelocity[0], 127);
    EXPECT_EQ(rig.sortedList(0), (std::vector<int>{E}));
    EXPECT_EQ(rig.arp.zoneState(0).sortedVelocity[0], 0);
    rig.arp.noteOff(12, C);
    EXPECT_EQ(rig.sortedList(3), (std::vector<int>{-C}));
    rig.arp.tick(99, 1);  // zone 3
    EXPECT_EQ(rig.arp.zoneState(3).count, 0);

    // Every note once: the lists fill to 127 entries and no further.
    Rig full;
    full.settings(1, 0, kArpUp);
    for (int note = 127; note >= 1; --note) full.press(note);
    for (int note = 1; note <= 127; ++note) full.press(note);
    const std::vector<int> sorted = full.sortedList();
    ASSERT_EQ(sorted.size(), 127u);
    for (int i = 0; i < 127; ++i) EXPECT_EQ(sorted[i], i + 1);
    EXPECT_EQ(full.playedList().front(), 127);
    EXPECT_EQ(full.playNotes(130).size(), 130u);
}

TEST(ArpeggiatorBounds, ABlockLongerThanAStepStepsOncePerBlock) {
    Rig rig;
    rig.settings(1, 0, kArpUp, 1, 1, 4.0f);
    rig.arp.setBlockTime(44.0f);  // a 1 kHz rate
    rig.arp.setBlockTime(NAN);    // refused
    rig.arp.setBlockTime(-1.0f);  // refused
    EXPECT_EQ(rig.arp.getBlockTime(), 44.0f);
    rig.press(C);
    rig.press(E);
    EXPECT_EQ(rig.stepBlocks(50).back(), 50);
    EXPECT_LE(rig.arp.zoneState(0).timer, 4.0f);
}

}  // namespace
