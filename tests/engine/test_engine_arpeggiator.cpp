// The arpeggiator inside the engine: a zone's held keys become a sequence of voices.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine_patch.h"

namespace {

struct ArpPatch : EnginePatch {
    void arpeggiate(int pattern, float stepMs, int octaves = 1, int hold = 0) {
        basicPatch(kAssignRotate, 1, 1);
        record.zone = 0;
        record.zoneMode = kAssignRotate;
        record.zoneChannel = 16;
        record.zoneLowKey = 0;
        record.zoneHighKey = 127;
        record.kind = 1;  // the zone's arpeggiator switch
        send(kCmdZone);
        record.arpRun = 1;
        record.arpHold = hold;
        record.tempoSync = 0;
        record.timeMs = stepMs;
        record.arpOctaves = octaves;
        record.arpRepeats = 1;
        record.option = pattern;
        send(kCmdArpeggiator);
    }
    // The notes that part 0's voice starts, block by block, and the blocks they start at.
    void play(int blocks, std::vector<int>* notes, std::vector<int>* starts) {
        int last = engine.getSlot(0).note;
        for (int b = 0; b < blocks; ++b) {
            block();
            int note = engine.getSlot(0).note;
            if (note > 0 && note != last) {
                notes->push_back(note);
                starts->push_back(b);
            }
            last = note;
        }
    }
};

TEST(EngineArpeggiator, HeldChordPlaysUpwardOverOctavesOnTheStepTime) {
    ArpPatch p;
    ASSERT_TRUE(p.start());
    p.arpeggiate(0, 100.f, 2);
    p.noteOn(60);
    p.noteOn(64);
    std::vector<int> notes, starts;
    p.play(600, &notes, &starts);
    ASSERT_GE(notes.size(), 5u);
    std::vector<int> expected = {60, 64, 72, 76, 60};
    EXPECT_EQ(std::vector<int>(notes.begin(), notes.begin() + 5), expected);
    // 100 ms steps are about 100.2 blocks of 44 samples at 44.1 kHz.
    for (size_t i = 1; i < 5; ++i) EXPECT_NEAR(starts[i] - starts[i - 1], 100.2, 1.0) << i;
}

TEST(EngineArpeggiator, ReleasedKeysLeaveTheSequenceAndStopItWhenNoneIsLeft) {
    ArpPatch p;
    ASSERT_TRUE(p.start());
    p.arpeggiate(0, 20.f);
    p.noteOn(60);
    p.noteOn(64);
    p.noteOn(67);
    std::vector<int> notes, starts;
    p.play(100, &notes, &starts);
    p.noteOff(67);
    notes.clear();
    p.play(100, &notes, &starts);
    // 100 blocks (about 100 ms) of 20 ms steps: the two keys left alternate about five
    // times, the released one never plays.
    EXPECT_GE(notes.size(), 4u) << "the keys still held keep playing";
    EXPECT_NE(std::find(notes.begin(), notes.end(), 60), notes.end());
    EXPECT_NE(std::find(notes.begin(), notes.end(), 64), notes.end());
    for (int note : notes) EXPECT_TRUE(note == 60 || note == 64) << note << ": the released key no longer plays";
    p.noteOff(60);
    p.noteOff(64);
    p.play(200, &notes, &starts);
    EXPECT_LE(p.engine.getSlot(0).note, 0) << "no note sounds once every key is up";
}

TEST(EngineArpeggiator, StoppedArpeggiatorPlaysTheChordDirectly) {
    ArpPatch p;
    ASSERT_TRUE(p.start());
    p.arpeggiate(0, 100.f);
    p.record.arpRun = 0;
    p.send(kCmdArpeggiator);
    p.voices(2);
    p.noteOn(60);
    p.noteOn(64);
    p.block();
    std::vector<int> sounding = {p.engine.getSlot(0).note, p.engine.getSlot(8).note};
    std::sort(sounding.begin(), sounding.end());
    EXPECT_EQ(sounding, (std::vector<int>{60, 64})) << "both notes sound at once in the part's two voices";
}

}  // namespace
