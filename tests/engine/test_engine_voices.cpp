// Voices, keyboard zones and voice assignment, through noteOn / noteOff and the note
// commands of a small patch.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "engine_patch.h"

namespace {

class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(patch.start()); }
    void setUpZone(int mode, int voicesPerPart, const std::vector<int>& parts) {
        patch.zone(0, mode);
        patch.voices(voicesPerPart);
        for (int p : parts) patch.partZone(p, 0);
    }
    int slotPlaying(int note) {
        for (int s = 0; s < SynthEngine::kSlots; ++s)
            if (patch.engine.getSlot(s).note == note) return s;
        return -1;
    }
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
};

// ---------------------------------------------------------------- assignment modes

struct Step {
    char op;       // 'p' press, 'r' release
    int note;
    int slot;      // the slot to look at afterwards
    int slotNote;  // its note then (negative: released)
    int legato;    // its gate's legato word (-1: not checked)
};

struct ModeCase {
    const char* name;
    int mode;
    int voicesPerPart;
    std::vector<int> parts;
    std::vector<Step> steps;
};

const ModeCase kModeCases[] = {
    // Rotation starts after the last part and, inside a part, after its last layer;
    // with every slot busy the next part's next layer is stolen (the oldest note here).
    {"rotate",
     kAssignRotate,
     2,
     {0, 1},
     {{'p', 60, 9, 60, 0}, {'p', 62, 8, 62, 0}, {'p', 64, 1, 64, 0}, {'p', 65, 0, 65, 0}, {'p', 67, 9, 67, 1}}},
    // Rotate steals in the part after the last one used; rotate wide wraps its search one
    // part short when nothing is free, which moves the steal on to another part.
    {"rotate steals", kAssignRotate, 1, {0, 1, 2}, {{'p', 60, 1, 60, 0}, {'p', 62, 2, 62, 0}, {'p', 64, 0, 64, 0}, {'p', 65, 1, 65, 1}}},
    {"rotate wide steals", kAssignRotateWide, 1, {0, 1, 2}, {{'p', 60, 1, 60, 0}, {'p', 62, 2, 62, 0}, {'p', 64, 0, 64, 0}, {'p', 65, 2, 65, 1}}},
    {"rotate wide with one part", kAssignRotateWide, 1, {4}, {{'p', 60, 4, 60, 0}, {'p', 62, 4, 62, 1}}},
    // Reset fills layer 0 of every part first, then layer 1; it steals the last part's
    // highest layer.
    {"reset",
     kAssignReset,
     2,
     {2, 5},
     {{'p', 60, 2, 60, 0}, {'p', 62, 5, 62, 0}, {'p', 64, 10, 64, 0}, {'p', 65, 13, 65, 0}, {'p', 67, 13, 67, 1}}},
    // Reassign takes the released slot that last played the same note.
    {"reassign",
     kAssignReassign,
     2,
     {0},
     {{'p', 60, 0, 60, 0}, {'p', 62, 8, 62, 0}, {'r', 60, 0, -60, -1}, {'r', 62, 8, -62, -1}, {'p', 62, 8, 62, 0}}},
    // The same keys in reset mode go to the first free slot instead.
    {"reset after release",
     kAssignReset,
     2,
     {0},
     {{'p', 60, 0, 60, 0}, {'p', 62, 8, 62, 0}, {'r', 60, 0, -60, -1}, {'r', 62, 8, -62, -1}, {'p', 62, 0, 62, 0}}},
    // One part, one voice: D steals C's slot; releasing D returns it to C without a new
    // attack (the gate stays up); releasing C then releases the slot.
    {"steal and return",
     kAssignReset,
     1,
     {3},
     {{'p', 60, 3, 60, 0}, {'p', 62, 3, 62, 1}, {'r', 62, 3, 60, -1}, {'r', 60, 3, -60, -1}}},
    // Unison: every layer of every part plays the note.
    {"unison low",
     kAssignUnisonLow,
     2,
     {0, 1},
     {{'p', 60, 9, 60, 0},
      {'p', 64, 8, 60, -1},
      {'p', 57, 1, 57, 1},
      {'r', 57, 0, 60, -1},
      {'r', 60, 9, 64, -1},
      {'r', 64, 9, -64, -1}}},
    {"unison low starts on any note", kAssignUnisonLow, 1, {0}, {{'p', 127, 0, 127, 0}}},
    {"unison high",
     kAssignUnisonHigh,
     1,
     {0, 1},
     {{'p', 60, 1, 60, 0}, {'p', 64, 0, 64, 1}, {'p', 62, 1, 64, -1}, {'r', 64, 0, 62, -1}}},
    {"unison high returns to the held note", kAssignUnisonHigh, 1, {0}, {{'p', 60, 0, 60, 0}, {'p', 64, 0, 64, 1}, {'r', 64, 0, 60, -1}}},
    {"unison last", kAssignUnisonLast, 1, {0, 1}, {{'p', 60, 0, 60, 0}, {'p', 55, 1, 55, 1}, {'p', 70, 0, 70, 1}}},
};

TEST_F(VoiceTest, EveryAssignmentModePicksAndStealsItsSlots) {
    for (const ModeCase& c : kModeCases) {
        SCOPED_TRACE(c.name);
        EnginePatch fresh;
        ASSERT_TRUE(fresh.start());
        fresh.zone(0, c.mode);
        fresh.voices(c.voicesPerPart);
        for (int p : c.parts) fresh.partZone(p, 0);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(i);
            if (step.op == 'p')
                fresh.engine.noteOn(0, step.note, 100);
            else
                fresh.engine.noteOff(0, step.note, 0);
            EXPECT_EQ(fresh.engine.getSlot(step.slot).note, step.slotNote);
            if (step.legato >= 0) {
                EXPECT_EQ(fresh.gate(step.slot).legato, step.legato);
            }
            fresh.block();  // clears the block's gate words
        }
    }
}

TEST_F(VoiceTest, UnisonStartsEveryLayerOfEveryPart) {
    setUpZone(kAssignUnisonLast, 3, {1, 6});
    engine.noteOn(0, 60, 100);
    for (int s : {1, 9, 17, 6, 14, 22}) {
        EXPECT_EQ(engine.getSlot(s).note, 60) << s;
        EXPECT_EQ(patch.gate(s).gate, 1) << s;
    }
    EXPECT_EQ(engine.getSlot(25).note, -72);  // layer 3 is beyond three voices
    EXPECT_EQ(engine.getZone(0).voiceCount, 1);
}

TEST_F(VoiceTest, RandomModeUsesOnlyFreeSlotsAndHoldsWhatFindsNone) {
    setUpZone(kAssignRandom, 1, {0, 1, 2, 3});
    std::set<int> used;
    for (int note : {60, 62, 64, 65}) {
        engine.noteOn(0, note, 100);
        const int slot = slotPlaying(note);
        ASSERT_GE(slot, 0) << note;
        EXPECT_LT(slot, 4);
        used.insert(slot);
    }
    EXPECT_EQ(used.size(), 4u);
    // Every slot busy: the note sounds nowhere but is held; its release changes nothing else.
    engine.noteOn(0, 67, 100);
    EXPECT_EQ(slotPlaying(67), -1);
    EXPECT_EQ(engine.getZone(0).heldCount, 5);
    engine.noteOff(0, 67, 0);
    EXPECT_EQ(engine.getZone(0).heldCount, 4);
    for (int note : {60, 62, 64, 65}) EXPECT_GE(slotPlaying(note), 0) << note;
}

TEST_F(VoiceTest, PressingAHeldKeyAgainRestartsItsVoice) {
    setUpZone(kAssignRotate, 2, {0});
    engine.noteOn(0, 60, 100);
    const int slot = slotPlaying(60);
    patch.block();
    EXPECT_EQ(patch.gate(slot).retrigger, 0);
    engine.noteOn(0, 60, 100);
    EXPECT_EQ(patch.gate(slot).retrigger, 1);
    EXPECT_EQ(patch.gate(slot).legato, 1);
    EXPECT_EQ(engine.getZone(0).heldCount, 1);
    EXPECT_EQ(engine.getZone(0).voiceCount, 1);
    EXPECT_EQ(engine.getSlot(slot ^ 8).note, -72);  // no second voice
}

TEST_F(VoiceTest, ReleaseAndRetriggerWordsFollowTheGate) {
    setUpZone(kAssignRotate, 1, {0});
    engine.noteOn(0, 60, 100);
    EXPECT_EQ(patch.gate(0).gate, 1);
    EXPECT_EQ(patch.gate(0).retrigger, 0);
    engine.noteOff(0, 60, 0);
    EXPECT_EQ(patch.gate(0).gate, 0);
    EXPECT_EQ(patch.gate(0).released, 1);
    EXPECT_EQ(engine.getSlot(0).note, -60);
    // Rising again in the same block is a retrigger.
    engine.noteOn(0, 62, 100);
    EXPECT_EQ(patch.gate(0).retrigger, 1);
    patch.block();
    EXPECT_EQ(patch.gate(0).retrigger, 0);
    EXPECT_EQ(patch.gate(0).released, 0);
    EXPECT_EQ(patch.gate(0).gate, 1);
}

TEST_F(VoiceTest, ZeroVoicesPerPartStartsNoVoice) {
    setUpZone(kAssignRotate, 1, {0, 1});
    for (int mode = 0; mode < 8; ++mode) {
        SCOPED_TRACE(mode);
        patch.zone(0, mode);
        patch.voices(0);
        engine.noteOn(0, 60, 100);
        engine.noteOn(0, 64, 100);
        EXPECT_EQ(slotPlaying(60), -1);
        EXPECT_EQ(slotPlaying(64), -1);
        engine.noteOff(0, 60, 0);
        engine.noteOff(0, 64, 0);
        EXPECT_EQ(engine.getZone(0).heldCount, 0);
    }
}

// ---------------------------------------------------------------- zones

TEST_F(VoiceTest, ZonesTakeNotesByChannelAndKeyRange) {
    patch.voices(1);
    patch.zone(0, kAssignRotate, 16, 0, 59);  // every channel, low keys
    patch.zone(1, kAssignRotate, 3, 60, 127);  // channel 3 only, high keys
    patch.partZone(0, 0);
    patch.partZone(1, 1);
    struct Case {
        int channel;
        int note;
        int slot;  // -1: no zone takes it
    };
    const Case cases[] = {{0, 40, 0}, {9, 59, 0}, {3, 60, 1}, {0, 60, -1}, {15, 100, -1}, {-1, 100, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << " " << c.note);
        engine.noteOn(c.channel, c.note, 100);
        EXPECT_EQ(slotPlaying(c.note), c.slot);
        engine.noteOff(c.channel, c.note, 0);
        EXPECT_EQ(slotPlaying(c.note), -1);
    }
}

TEST_F(VoiceTest, TwoZonesThatTakeTheSameNoteEachStartAVoice) {
    patch.voices(1);
    patch.zone(0, kAssignRotate);
    patch.zone(1, kAssignReset);
    patch.partZone(2, 0);
    patch.partZone(5, 1);
    engine.noteOn(0, 60, 100);
    EXPECT_EQ(engine.getSlot(2).note, 60);
    EXPECT_EQ(engine.getSlot(5).note, 60);
    engine.noteOff(0, 60, 0);
    EXPECT_EQ(engine.getSlot(2).note, -60);
    EXPECT_EQ(engine.getSlot(5).note, -60);
}

TEST_F(VoiceTest, ANoteOffLowersTheNoteCounterOfEveryZone) {
    patch.voices(1);
    patch.zone(0, kAssignRotate, 16, 0, 59);
    patch.zone(1, kAssignRotate, 16, 60, 127);
    patch.partZone(0, 0);
    patch.partZone(1, 1);
    engine.noteOn(0, 40, 100);
    engine.noteOn(0, 41, 100);
    engine.noteOn(0, 70, 100);
    EXPECT_EQ(engine.getZone(0).noteCounter, 2);
    EXPECT_EQ(engine.getZone(1).noteCounter, 1);
    engine.noteOff(0, 70, 0);
    EXPECT_EQ(engine.getZone(0).noteCounter, 1);
    EXPECT_EQ(engine.getZone(1).noteCounter, 0);
    engine.noteOff(0, 70, 0);
    EXPECT_EQ(engine.getZone(0).noteCounter, 0);
    EXPECT_EQ(engine.getZone(1).noteCounter, 0);  // never below 0
}

TEST_F(VoiceTest, MovingAPartBetweenZonesReleasesEveryNote) {
    patch.voices(1);
    patch.zone(0, kAssignRotate);
    patch.zone(1, kAssignRotate);
    patch.partZone(3, 0);
    patch.partZone(1, 0);
    patch.partZone(2, 1);
    EXPECT_EQ(engine.getZone(0).partCount, 2);
    EXPECT_EQ(engine.getZone(0).parts[0], 1);  // kept in ascending order
    EXPECT_EQ(engine.getZone(0).parts[1], 3);
    engine.noteOn(0, 60, 100);
    engine.noteOn(0, 62, 100);
    ASSERT_EQ(engine.getZone(0).heldCount, 2);

    patch.partZone(3, 1);
    EXPECT_EQ(slotPlaying(60), -1);
    EXPECT_EQ(slotPlaying(62), -1);
    EXPECT_EQ(engine.getZone(0).heldCount, 0);
    EXPECT_EQ(engine.getZone(0).partCount, 1);
    EXPECT_EQ(engine.getZone(1).partCount, 2);
    EXPECT_EQ(engine.getZone(1).parts[0], 2);
    EXPECT_EQ(engine.getZone(1).parts[1], 3);
    EXPECT_EQ(engine.getZone(0).parts[1], -1);

    // Zone 4 or more leaves the part in no zone; a negative zone means zone 0.
    patch.partZone(2, 9);
    EXPECT_EQ(engine.getZone(1).partCount, 1);
    patch.partZone(2, -4);
    EXPECT_EQ(engine.getZone(0).partCount, 2);
}

TEST_F(VoiceTest, ZoneSetupKeepsValuesAndReleasesTheZoneWhenItsArpeggiatorSwitchIsOff) {
    setUpZone(kAssignRotate, 1, {0});
    engine.noteOn(0, 60, 100);
    ASSERT_EQ(slotPlaying(60), 0);
    patch.zone(0, kAssignReset, 5, 10, 90);
    EXPECT_EQ(slotPlaying(60), -1);
    const KeyboardZone& z = engine.getZone(0);
    EXPECT_EQ(z.channel, 5);
    EXPECT_EQ(z.lowKey, 10);
    EXPECT_EQ(z.highKey, 90);
    EXPECT_EQ(z.mode, kAssignReset);
    // Zone numbers are clamped to 0..3.
    patch.record.zone = 17;
    patch.record.zoneChannel = 9;
    patch.send(kCmdZone);
    EXPECT_EQ(engine.getZone(3).channel, 9);
}

TEST_F(VoiceTest, TheReleaseOfEveryNoteReleasesEveryZone) {
    patch.voices(1);
    patch.zone(0, kAssignRotate);
    patch.zone(1, kAssignRotate);
    patch.partZone(0, 0);
    patch.partZone(1, 1);
    engine.noteOn(0, 60, 100);
    engine.noteOff(0, -1, 0);
    EXPECT_EQ(engine.getSlot(0).note, -60);
    EXPECT_EQ(engine.getSlot(1).note, -60);
    EXPECT_EQ(engine.getZone(0).noteCounter, 0);
    EXPECT_EQ(engine.getZone(1).heldCount, 0);
}

// ---------------------------------------------------------------- per-slot state

TEST_F(VoiceTest, KeyScalingAndVelocityReachTheSlotsPorts) {
    setUpZone(kAssignRotate, 1, {0, 1});
    // Brilliance: below 64 by 0.5 x 2 - 1 = 0, above by 1; level: below -1, above 0.5.
    patch.record.valueA = 0.5f;
    patch.record.valueB = 1.f;
    patch.record.valueC = 0.f;
    patch.record.valueD = 0.75f;
    patch.send(kCmdKeyScaling);
    engine.noteOn(0, 96, 127);  // slot 1
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceKeyTracking, 1), 1.f);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceBrillianceScaling, 1), 0.5f);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceLevelScaling, 1), 0.25f);
    const SignalPort* velocity = engine.valuePort(kSourceVelocity, 1);
    for (int i = -velocity->historyLength; i < velocity->blockLength; ++i) ASSERT_EQ(velocity->samples[i], 1.f);

    engine.noteOn(0, 32, 0);  // slot 0
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceKeyTracking, 0), -1.f);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceBrillianceScaling, 0), 0.f);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceLevelScaling, 0), -0.5f);
    EXPECT_EQ(engine.valuePort(kSourceVelocity, 0)->samples[0], 0.f);

    // A new key-scaling command rescales every held note at once.
    patch.record.valueB = 0.f;
    patch.send(kCmdKeyScaling);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceBrillianceScaling, 1), -0.5f);
}

TEST_F(VoiceTest, GlideMovesThePitchTowardTheNoteBlockByBlock) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.record.glideTime = 1.f;  // 20 blocks for 127 semitones
    patch.record.valueA = 0.f;
    patch.record.enabled = 0;
    patch.send(kCmdGlide);
    patch.noteOn(40);
    patch.block();
    EXPECT_EQ(engine.getSlot(0).glidePosition, 40.f);  // the first note has nothing to glide from
    patch.noteOff(40);
    patch.noteOn(60);
    patch.block();
    EXPECT_FLOAT_EQ(engine.getSlot(0).glidePosition, 40.f + 6.35f);
    for (int b = 0; b < 4; ++b) patch.block();
    EXPECT_EQ(engine.getSlot(0).glidePosition, 60.f);
    EXPECT_EQ(engine.getSlot(0).currentFrequency, EngineTables::noteFrequency(60));

    // Halfway between two notes the frequency is mixed by the fraction; with
    // glissando it is the lower note's.
    patch.record.glideTime = 127.f / 2.5f / 20.f;  // 2.5 semitones a block
    patch.send(kCmdGlide);
    patch.noteOff(60);
    patch.noteOn(65);
    patch.block();
    const float a = EngineTables::noteFrequency(62), b = EngineTables::noteFrequency(63);
    EXPECT_NEAR(engine.getSlot(0).glidePosition, 62.5f, 1e-4f);
    EXPECT_NEAR(engine.getSlot(0).currentFrequency, a + (b - a) * 0.5f, 1e-3f);
    patch.block();
    EXPECT_EQ(engine.getSlot(0).glidePosition, 65.f);
    patch.record.enabled = 1;
    patch.send(kCmdGlide);
    patch.noteOff(65);
    patch.noteOn(60);
    patch.block();
    EXPECT_EQ(engine.getSlot(0).currentFrequency, EngineTables::noteFrequency(62));
}

TEST_F(VoiceTest, TouchStartsThePitchBelowTheNoteAndRisesBack) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.record.glideTime = 0.f;
    patch.record.valueA = 2.f;  // semitones at full velocity
    patch.send(kCmdGlide);
    patch.noteOn(69, 127);
    patch.block();
    const float f = EngineTables::noteFrequency(69);
    // The ring holds velocities to 126.
    EXPECT_NEAR(engine.getSlot(0).currentFrequency, f * std::pow(2.0, -2.0 * (126.0 / 127.0) / 12.0), 1e-3);
    float last = engine.getSlot(0).currentFrequency;
    for (int b = 0; b < 200 && engine.getSlot(0).currentFrequency != f; ++b) {
        patch.block();
        EXPECT_GT(engine.getSlot(0).currentFrequency, last);
        last = engine.getSlot(0).currentFrequency;
    }
    EXPECT_EQ(engine.getSlot(0).currentFrequency, f);
}

TEST_F(VoiceTest, ASlotIsFreedInTheBlockItsEnvelopesEnd) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.noteOn(60);
    for (int b = 0; b < 20; ++b) patch.block();
    EXPECT_EQ(engine.getSlot(0).state, 16);
    EXPECT_EQ(engine.getPartActivity(0), 1);
    patch.noteOff(60);
    int blocks = 0;
    while (engine.getSlot(0).state == 16 && blocks < 1000) {
        patch.block();
        ++blocks;
    }
    EXPECT_EQ(engine.getSlot(0).state, 18);
    EXPECT_GT(blocks, 1);  // the 20 ms release sounded first
    EXPECT_EQ(engine.envelope(1).getState(0), kEnvIdleState);
    EXPECT_EQ(engine.getPartActivity(0), 0);
}

}  // namespace
