// Engine commands: the note ring and the codes' effects on the engine's state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine_patch.h"

namespace {

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(patch.start()); }
    const NoteRingEntry& lastEntry() { return engine.noteRingEntry(engine.getNoteRingWrite() - 1); }
    int gatedSlots() {
        int n = 0;
        for (int s = 0; s < SynthEngine::kSlots; ++s) n += patch.gate(s).gate;
        return n;
    }
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
};

// ---------------------------------------------------------------- the note ring

TEST_F(CommandTest, NoteEventsAreClampedOnTheWayIntoTheRing) {
    struct Case {
        int kind;
        int note;
        int velocity;
        int storedNote;
        int storedVelocity;
    };
    const Case cases[] = {
        {kNoteOnEvent, 10, 64, 21, 64},     {kNoteOnEvent, 60, 127, 60, 126},
        {kNoteOnEvent, 60, -5, 60, 0},      {kNoteOnEvent, 300, 1, 127, 1},
        {kNoteOffEvent, 130, 99, -130, 99},  // note-offs are not clamped
        {kNoteOffEvent, 60, 0, -60, 0},
        {kNoteOffEvent, 1, 0, -1, 0},                                 // key 1
        {kNoteOffEvent, -1, 0, SynthEngine::kReleaseAllNotes, 0},     // every note
        {kNoteOffEvent, -7, 0, 0, 0},                                 // no key
        {0, 60, 0, -60, 0},                                           // any other kind is a note-off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.note << " " << c.velocity);
        patch.record.kind = c.kind;
        patch.record.note = c.note;
        patch.record.velocity = c.velocity;
        patch.record.channel = 7;
        EXPECT_EQ(patch.send(kCmdNoteEvent), 0);
        EXPECT_EQ(lastEntry().note, c.storedNote);
        EXPECT_EQ(lastEntry().velocity, c.storedVelocity);
        EXPECT_EQ(lastEntry().channel, 7);
    }
    EXPECT_EQ(engine.getNoteRingWrite(), 10);
    EXPECT_EQ(engine.getNoteRingRead(), 0);
    patch.block();
    EXPECT_EQ(engine.getNoteRingRead(), 10);
}

TEST_F(CommandTest, TheRingWrapsAndADrainedRingIsEmpty) {
    patch.basicPatch(kAssignRotate, 4, 8);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 40; ++i) patch.noteOn(30 + i);
        patch.block();
        EXPECT_EQ(engine.getNoteRingRead(), engine.getNoteRingWrite());
        for (int i = 0; i < 40; ++i) patch.noteOff(30 + i);
        patch.block();
        EXPECT_EQ(gatedSlots(), 0) << round;
    }
    EXPECT_EQ(engine.getNoteRingWrite(), (6 * 40) % 64);
}

TEST_F(CommandTest, ANoteOffForKeyOneReleasesOnlyThatKey) {
    patch.basicPatch(kAssignRotate, 1, 8);
    patch.noteOn(1);  // plays as 21
    patch.noteOn(30);
    patch.block();
    ASSERT_EQ(gatedSlots(), 2);
    patch.noteOff(1);
    patch.block();
    EXPECT_EQ(gatedSlots(), 1);
    bool thirtyHeld = false;
    for (int s = 0; s < SynthEngine::kSlots; ++s) thirtyHeld |= engine.getSlot(s).note == 30;
    EXPECT_TRUE(thirtyHeld);
    patch.noteOff(-1);
    patch.block();
    EXPECT_EQ(gatedSlots(), 0);
}

TEST_F(CommandTest, MoreEventsThanTheRingHoldsLoseNoNoteOff) {
    patch.basicPatch(kAssignRotate, 4, 8);
    // 128 note-ons and then 128 note-offs arrive between two blocks.
    for (int i = 0; i < 128; ++i) patch.noteOn(i);
    for (int i = 0; i < 128; ++i) patch.noteOff(i);
    patch.block();
    EXPECT_EQ(gatedSlots(), 0);
    for (int k = 0; k < SynthEngine::kZones; ++k) EXPECT_EQ(engine.getZone(k).heldCount, 0) << k;

    // 32 voices sound; 128 note-offs at once release every one of them.
    for (int i = 0; i < 32; ++i) patch.noteOn(40 + i);
    patch.block();
    ASSERT_EQ(gatedSlots(), 32);
    for (int i = 0; i < 128; ++i) patch.noteOff(i);
    patch.block();
    EXPECT_EQ(gatedSlots(), 0);
    // At most 63 events wait: the ring never overruns its read index.
    EXPECT_EQ(engine.getNoteRingRead(), engine.getNoteRingWrite());
}

// ---------------------------------------------------------------- codes

TEST_F(CommandTest, CodesOutsideTheTableDoNothing) {
    patch.basicPatch();
    patch.noteOn(60);
    patch.block();
    std::vector<unsigned char> before(sizeof(VoiceSlot) * SynthEngine::kSlots);
    std::memcpy(before.data(), &engine.getSlot(0), before.size());
    patch.record.part = 0;
    patch.record.level = 0.1f;
    patch.record.kind = kNoteOnEvent;
    for (int code : {0, 10, 54, 84, 90, 112, 115, -3, 1000}) {
        EXPECT_EQ(patch.send(code), 0) << code;
        EXPECT_EQ(std::memcmp(before.data(), &engine.getSlot(0), before.size()), 0) << code;
        EXPECT_EQ(engine.getNoteRingWrite(), engine.getNoteRingRead()) << code;
    }
}

TEST_F(CommandTest, OscillatorShapeClampsTheWidthAndWritesItBack) {
    patch.record.part = 2;
    patch.record.tableIndex = 7;
    for (float width : {1.5f, -0.2f, 0.3f}) {
        patch.record.width = width;
        patch.send(kCmdOsc1Shape);
        const float expected = width > 0.99f ? 0.99f : (width < 0.f ? 0.f : width);
        EXPECT_EQ(patch.record.width, expected);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(engine.getSlot(2 + 8 * k).pulseWidth[0], expected);
    }
    EXPECT_EQ(engine.getSlot(3).pulseWidth[0], 0.f);
    EXPECT_EQ(engine.getSlot(2).accordRatio[0], engine.getTables().transposition(7));
    EXPECT_EQ(engine.getSlot(2).accordRatio[1], 1.f);
}

TEST_F(CommandTest, TableIndicesOutsideTheTableAreClamped) {
    patch.record.part = 0;
    patch.record.amount = 1.f;
    const EngineTables& t = engine.getTables();
    const int codes[] = {kCmdOsc1Shape, kCmdOsc2Switches, kCmdLine1Pitch};
    for (int code : codes) {
        SCOPED_TRACE(code);
        patch.record.tableIndex = 500;
        patch.send(code);
        EXPECT_EQ(engine.getSlot(0).pitchProduct[code == kCmdOsc2Switches ? 1 : 0], t.transposition(71));
        patch.record.tableIndex = -500;
        patch.send(code);
        EXPECT_EQ(engine.getSlot(0).pitchProduct[code == kCmdOsc2Switches ? 1 : 0], t.transposition(-36));
        patch.record.tableIndex = 0;
        patch.send(code);
    }
}

TEST_F(CommandTest, PitchProductsMultiplyEveryFactorAndTheGlobalTune) {
    patch.record.part = 2;
    patch.record.amount = 1.5f;
    patch.send(kCmdOsc1Detune);
    patch.record.amount = 1.25f;
    patch.record.tableIndex = 12;
    patch.send(kCmdLine2Pitch);
    EXPECT_EQ(engine.getSlot(10).pitchProduct[0], 1.5f);
    EXPECT_EQ(engine.getSlot(10).pitchProduct[1], 2.5f);
    // The global tune recomputes every slot, also of parts that play nothing.
    patch.record.amount = 2.f;
    patch.send(kCmdGlobalTune);
    EXPECT_EQ(engine.getGlobalTune(), 2.f);
    EXPECT_EQ(engine.getSlot(10).pitchProduct[0], 3.f);
    EXPECT_EQ(engine.getSlot(26).pitchProduct[1], 5.f);
    for (int s : {0, 5, 31}) {
        EXPECT_EQ(engine.getSlot(s).pitchProduct[0], 2.f) << s;
        EXPECT_EQ(engine.getSlot(s).pitchProduct[1], 2.f) << s;
    }
}

TEST_F(CommandTest, PartTuneSpreadsTheLayersWithTheLogisticGenerator) {
    patch.record.part = 3;
    patch.record.amount = 0.5f;
    patch.send(kCmdPartTune);
    double u = 0.1;
    for (int k = 0; k < 4; ++k) {
        const int s = 3 + 8 * k;
        u = 4.0 * 0.9999999 * u * (1.0 - u);
        const float t = static_cast<float>(s) * 0.03125f * 0.5f;
        SCOPED_TRACE(s);
        EXPECT_FLOAT_EQ(engine.getSlot(s).partTune, 1.f + 0.1f * t + 0.01f * static_cast<float>(u) * 0.5f);
        EXPECT_FLOAT_EQ(engine.getSlot(s).cutoffSpread, 1.f + 0.3f * t + 0.2f * static_cast<float>(u) * 0.5f);
        EXPECT_EQ(engine.getSlot(s).pitchProduct[0], engine.getSlot(s).partTune);
    }
    EXPECT_EQ(engine.getSlot(4).partTune, 1.f);
}

TEST_F(CommandTest, PartPanSpreadsTheFourLayers) {
    struct Case {
        float pan;
        float expected[4];
    };
    const Case cases[] = {{0.f, {1.f, 1.f, 1.f, 0.99f}}, {1.f, {0.02f, 0.01f, 0.f, 0.f}}, {0.5f, {0.52f, 0.51f, 0.5f, 0.49f}}};
    for (const Case& c : cases) {
        patch.record.part = 6;
        patch.record.pan = c.pan;
        patch.send(kCmdPartPan);
        for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(engine.getSlot(6 + 8 * k).pan, c.expected[k]) << c.pan << " " << k;
    }
    EXPECT_EQ(engine.getSlot(5).pan, 0.5f);
}

TEST_F(CommandTest, PerPartCodesOutsideThePartsReachOnlyClampedSlots) {
    patch.record.level = 0.25f;
    patch.record.part = 100;
    patch.send(kCmdPartVolume);
    EXPECT_EQ(engine.getSlot(31).volume, 0.25f);
    for (int s = 0; s < 31; ++s) ASSERT_EQ(engine.getSlot(s).volume, 0.5f) << s;
    patch.record.part = -2147483647;
    patch.send(kCmdLineMix);
    EXPECT_EQ(engine.getSlot(0).lineMix, 0.25f);
    for (int s = 1; s < 32; ++s) ASSERT_EQ(engine.getSlot(s).lineMix, 0.5f) << s;
    patch.record.pan = 0.f;
    patch.send(kCmdPartPan);
    patch.record.amount = 1.f;
    patch.send(kCmdPartTune);
    patch.record.subIndex = 99;
    patch.send(kCmdModAmount);
    patch.send(kCmdMixerLevel);
    patch.send(kCmdPartLfo);
    patch.send(kCmdPartLfoMode);
}

TEST_F(CommandTest, EnvelopeNumbersAreClampedToTheFourEnvelopes) {
    // Envelope 0's output feeds VCA 1's audio: the line sounds only when it rises.
    patch.basicPatch(kAssignRotate, 1, 1);
    engine.disconnect(kDstVca1Audio, -1, 0);
    ASSERT_EQ(engine.connect(kSrcEnvelope0, kDstVca1Audio, 0), 0);
    auto peakOfANote = [&]() {
        patch.noteOn(60);
        std::vector<float> out[SynthEngine::kQueueChannels];
        patch.render(44 * 40, out);
        patch.noteOff(60);
        patch.render(44 * 200, out);
        float peak = 0.f;
        for (float x : out[0]) peak = std::max(peak, std::fabs(x));
        return peak;
    };
    patch.envelope(0, 0, 1.f, 50.f, 10.f, 0.f, 0.f);
    EXPECT_EQ(peakOfANote(), 0.f);
    patch.envelope(0, -3, 1.f, 50.f, 10.f, 1.f);
    EXPECT_GT(peakOfANote(), 0.01f);

    // Line 2 alone: envelope 3 is the line-2 amplifier, reached by any number from 3 up.
    engine.disconnect(kDstVca2Audio, -1, 0);
    engine.connect(kSrcVelocity, kDstVca2Audio, 0);
    patch.record.part = 0;
    patch.record.level = 0.f;
    patch.send(kCmdLineMix);
    patch.envelope(0, 3, 1.f, 50.f, 10.f, 0.f, 0.f);
    EXPECT_EQ(peakOfANote(), 0.f);
    patch.envelope(0, 7, 1.f, 50.f, 10.f, 1.f, 1.f);
    EXPECT_GT(peakOfANote(), 0.01f);
}

TEST_F(CommandTest, BendSetupSetsTheRangeInSemitones) {
    struct Case {
        int kind;
        float bend;
        int range;
    };
    const Case cases[] = {{1, 0.5f, 12}, {1, 1.f, 24}, {1, 0.f, 0}, {1, 0.52f, 12}, {0, 0.7f, -1}, {0, 0.f, -1}, {1, 1e30f, 2400}};
    for (const Case& c : cases) {
        patch.record.kind = c.kind;
        patch.record.bend = c.bend;
        patch.send(kCmdBendSetup);
        EXPECT_EQ(engine.getBendRange(), c.range) << c.kind << " " << c.bend;
    }
}

TEST_F(CommandTest, VoicesPerPartIsClampedToFour) {
    const int counts[][2] = {{3, 3}, {0, 0}, {9, 4}, {-1, 0}, {4, 4}};
    for (const auto& c : counts) {
        patch.voices(c[0]);
        EXPECT_EQ(engine.getVoicesPerPart(), c[1]) << c[0];
    }
}

TEST_F(CommandTest, AftertouchReachesSoundingSlotsOfTheNote) {
    patch.basicPatch(kAssignRotate, 1, 8);
    patch.noteOn(60);
    patch.noteOn(64);
    patch.block();
    patch.record.note = 64;
    patch.record.pressure = 0.8f;
    patch.send(kCmdAftertouch);
    const int slot60 = engine.getSlot(1).note == 60 ? 1 : 2;
    const int slot64 = 3 - slot60;
    EXPECT_EQ(engine.getSlot(slot64).pressure, 0.8f);
    EXPECT_EQ(engine.getSlot(slot60).pressure, 0.f);
    patch.record.note = -1;
    patch.record.pressure = 0.3f;
    patch.send(kCmdAftertouch);
    EXPECT_EQ(engine.getSlot(slot60).pressure, 0.3f);
    EXPECT_EQ(engine.getSlot(0).pressure, 0.f);  // not sounding
    // The smoothed pressure reaches the slot's port and the highest-pressure port.
    for (int b = 0; b < 2000; ++b) patch.block();
    EXPECT_NEAR(patch.firstSample(kSourcePressure, slot64), 0.3f, 1e-3f);
    EXPECT_NEAR(patch.firstSample(kSourceHighestPressure, 0), 0.3f, 1e-3f);
}

TEST_F(CommandTest, ControllersAreSmoothedIntoTheirPorts) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.record.pedal = 1.f;
    patch.send(kCmdModWheel);
    patch.record.pedal = 0.5f;
    patch.send(kCmdExpression);
    patch.record.bend = 0.25f;
    patch.send(kCmdPitchBend);
    patch.noteOn(60);
    patch.block();
    const float c = 1.f - std::exp(-1.f / (3.f * 44.1f));
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceModWheel, 9), c);
    EXPECT_FLOAT_EQ(patch.firstSample(kSourceExpression, 0), 0.5f * c);
    // A small bend step takes the 0.8 ms coefficient and reaches the sounding slot.
    EXPECT_FLOAT_EQ(patch.firstSample(kSourcePitchBend, 0), 0.25f * (1.f - std::exp(-1.f / (0.8f * 44.1f))));
    for (int b = 0; b < 2000; ++b) patch.block();
    EXPECT_NEAR(patch.firstSample(kSourceModWheel, 0), 1.f, 1e-5f);
    EXPECT_NEAR(patch.firstSample(kSourcePitchBend, 0), 0.25f, 1e-5f);
    // A released voice keeps the bend it had.
    patch.noteOff(60);
    patch.block();
    patch.record.bend = 0.9f;
    patch.send(kCmdPitchBend);
    patch.block();
    EXPECT_NEAR(patch.firstSample(kSourcePitchBend, 0), 0.25f, 1e-5f);
}

TEST_F(CommandTest, MasterVolumeAndSwitchesAreStored) {
    patch.record.level = 0.7f;
    patch.send(kCmdMasterVolume);
    EXPECT_EQ(engine.getMasterVolume(), 0.7f);
    patch.record.part = 1;
    patch.record.kind = 0;
    patch.send(kCmdPartPortamento);
    patch.send(kCmdPartRingMod);
    patch.send(kCmdPartEffects);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(engine.getSlot(1 + 8 * k).portamento, 0);
        EXPECT_EQ(engine.getSlot(1 + 8 * k).ringModulator, 0);
        EXPECT_EQ(engine.getSlot(1 + 8 * k).effects, 0);
    }
    patch.record.cutoff = 3000.f;
    patch.record.resonance = 2.f;
    patch.send(kCmdLowPass2);
    EXPECT_EQ(engine.getSlot(9).cutoff[3], 3000.f);
    EXPECT_EQ(engine.getSlot(9).resonance[3], 2.f);
    EXPECT_EQ(engine.getSlot(9).cutoff[2], 1000.f);
}

// kCmdBrilliance reaches all four filters: the brilliance offset glides in over 50 ms
// (256^0.25 = 4 on every cutoff) and the resonance offset raises Q by 20 per unit, a
// quarter of it on the 4-pole filters of line 1.
TEST_F(CommandTest, BrillianceAndPolesReachEveryFilterOfThePart) {
    patch.basicPatch(kAssignRotate, 1, 1);
    const int cutoffCodes[4] = {kCmdHighPass1, kCmdHighPass2, kCmdLowPass1, kCmdLowPass2};
    patch.record.part = 0;
    for (int f = 0; f < 4; ++f) {
        engine.connect(kSrcVelocity, kDstFilterAudio + 8 * f, 0);
        engine.connect(kSrcFilter0 + f, kDstModAmount0 + f, 0);
        engine.disconnect(kDstFilter0 + 8 * f + 1, -1, 0);  // the filter envelopes
        patch.record.cutoff = 300.f;
        patch.record.resonance = 0.f;
        patch.send(cutoffCodes[f]);
    }
    patch.record.valueA = 0.25f;
    patch.record.valueB = 0.5f;
    patch.send(kCmdBrilliance);
    patch.record.enabled = 1;
    patch.send(kCmdLine1Poles);
    patch.noteOn(60);
    for (int b = 0; b < 1000; ++b) patch.block();
    for (int f = 0; f < 4; ++f) {
        EXPECT_NEAR(engine.filter(f).usedCutoff(0), 1200.f, 0.5f) << f;
        EXPECT_NEAR(engine.filter(f).usedQ(0), f % 2 == 0 ? 0.707f + 20.f * 0.125f : 0.707f + 20.f * 0.5f, 1e-4f) << f;
    }
}

// kCmdPartLfoMode: a slot's LFO follows the slot the code names, until a negative one
// clears the link.
TEST_F(CommandTest, PartLfoModeLinksAndUnlinksTheSlotsLfos) {
    patch.basicPatch(kAssignRotate, 2, 1);
    ASSERT_EQ(engine.connect(kSrcVoiceLfo2, kDstModAmount0, 0), 0);  // slots 0, 8, 16, 24 run
    patch.record.part = 0;
    patch.record.subIndex = 1;
    patch.record.lfoWave = kLfoSawUp;
    patch.record.lfoRate = 3.f;
    patch.send(kCmdPartLfo);
    patch.record.kind = 0;  // follow slot 0
    patch.send(kCmdPartLfoMode);
    auto value = [&](int slot) {
        const float v = engine.sourceBuffer(kSrcVoiceLfo2, slot)->samples[0];
        engine.releaseSource(kSrcVoiceLfo2, slot);
        return v;
    };
    for (int b = 0; b < 10; ++b) {
        patch.block();
        for (int k = 1; k < 4; ++k) ASSERT_EQ(value(8 * k), value(0)) << b;
    }
    patch.record.kind = -1;
    patch.send(kCmdPartLfoMode);
    patch.block();
    // Each slot started from a phase of its own.
    EXPECT_NE(value(8), value(0));
}

const int kEveryCode[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  16, 17, 18, 19, 20,  21,  22,  23,  24,  25, 32, 33, 34, 35,
                          36, 37, 38, 39, 40, 41, 48, 49, 50, 51, 52, 53, 55, 56, 57,  64,  65,  66,  67,  68, 69, 70, 71,
                          72, 73, 80, 81, 82, 83, 85, 86, 87, 88, 89, 96, 97, 98, 99, 100, 101, 102, 103, 104, 113, 114};

TEST(Commands, EveryCodeBeforeInitAnswersZeroAndTouchesNoBuffer) {
    EnginePatch patch;
    patch.record.part = 3;
    patch.record.note = 60;
    patch.record.kind = kNoteOnEvent;
    patch.record.valueA = 0.7f;
    for (int code : kEveryCode) EXPECT_EQ(patch.send(code), 0) << code;
    EXPECT_FALSE(patch.engine.isInitialised());
    // Init empties the ring that the note went into.
    ASSERT_TRUE(patch.start());
    EXPECT_EQ(patch.engine.getNoteRingWrite(), 0);
}

TEST_F(CommandTest, ValuesThatAreNoFiniteNumbersDoNotEnterTheEngine) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.noteOn(60);
    patch.block();
    const float bad[] = {NAN, INFINITY, -INFINITY};
    for (float x : bad) {
        patch.record.part = 0;
        patch.record.level = x;
        patch.record.amount = x;
        patch.record.cutoff = x;
        patch.record.resonance = x;
        patch.record.pedal = x;
        patch.record.bend = x;
        patch.record.pressure = x;
        patch.record.glideTime = x;
        patch.record.pan = x;
        patch.record.width = x;
        patch.record.note = -1;
        patch.record.valueA = patch.record.valueB = patch.record.valueC = patch.record.valueD = x;
        patch.record.tableIndex = 0;
        for (int code : kEveryCode)
            if (code != kCmdNoteEvent && code != kCmdSampleRate && code != kCmdZone && code != kCmdPartZone)
                patch.send(code);
    }
    const VoiceSlot& v = engine.getSlot(0);
    EXPECT_EQ(v.volume, 0.5f);
    EXPECT_EQ(v.lineMix, 0.5f);
    EXPECT_EQ(v.cutoff[0], 10.f);
    EXPECT_EQ(v.pitchProduct[0], 1.f);
    EXPECT_EQ(v.partTune, 1.f);
    EXPECT_EQ(v.pulseWidth[0], 0.f);
    EXPECT_TRUE(std::isfinite(v.pan));
    EXPECT_EQ(engine.getMasterVolume(), 1.f);
    EXPECT_EQ(engine.getGlobalTune(), 1.f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(engine.getKeyScaling(i), 0.f);
    std::vector<float> out[SynthEngine::kQueueChannels];
    patch.render(44 * 50, out);
    for (int c = 0; c < SynthEngine::kQueueChannels; ++c)
        for (float x : out[c]) ASSERT_TRUE(std::isfinite(x)) << c;
    EXPECT_TRUE(std::isfinite(patch.firstSample(kSourcePitchBend, 0)));
    EXPECT_TRUE(std::isfinite(patch.firstSample(kSourceModWheel, 0)));
    EXPECT_TRUE(std::isfinite(patch.firstSample(kSourcePressure, 0)));
}

}  // namespace
