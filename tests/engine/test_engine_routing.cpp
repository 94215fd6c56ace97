// Patch routing: the table, fan-in, wildcard removal, refusals and the default
// connections, and that a connection really carries a signal into a module.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine_patch.h"

namespace {

class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(patch.start()); }
    int usedEntries(int part, int destination) {
        int n = 0;
        for (int e = 0; e < SynthEngine::kFanIn; ++e) n += engine.routeEntry(part, destination, e) >= 0;
        return n;
    }
    bool isConnected(int part, int destination, int source) {
        for (int e = 0; e < SynthEngine::kFanIn; ++e)
            if (engine.routeEntry(part, destination, e) == source) return true;
        return false;
    }
    EnginePatch patch;
    SynthEngine& engine = patch.engine;
};

TEST_F(RoutingTest, FanInIsSixForTheSummingInputsAndOneForTheOthers) {
    const int summing[] = {2, 5, 6, 10, 13, 14, 17, 18, 25, 26, 33, 34, 41, 42, 53, 54, 55, 56, 63, 70, 72, 73, 74, 75};
    int expected[kRouteDestinations];
    for (int& f : expected) f = 1;
    for (int d : summing) expected[d] = 6;
    for (int d = 82; d <= 101; ++d) expected[d] = 6;
    for (int d = 0; d < kRouteDestinations; ++d) EXPECT_EQ(SynthEngine::inputFanIn(d), expected[d]) << d;
    EXPECT_EQ(SynthEngine::inputFanIn(-1), 0);
    EXPECT_EQ(SynthEngine::inputFanIn(112), 0);
}

TEST_F(RoutingTest, InitMakesTheDefaultConnectionsOfEveryPart) {
    const int pairs[][2] = {{0, 57},  {3, 64},  {22, 78}, {22, 81}, {12, 16}, {12, 32}, {13, 58}, {14, 24},
                            {14, 40}, {15, 65}, {25, 19}, {25, 43}, {24, 20}, {24, 44}, {25, 61}, {24, 69},
                            {31, 0},  {31, 8},  {26, 1},  {26, 9},  {25, 3},  {25, 11}, {31, 39}, {20, 21},
                            {20, 45}, {31, 59}, {31, 66}, {21, 60}, {21, 67}, {5, 7}};
    for (int p = 0; p < SynthEngine::kParts; ++p)
        for (const auto& pair : pairs) EXPECT_TRUE(isConnected(p, pair[1], pair[0])) << p << ": " << pair[0] << " -> " << pair[1];
    EXPECT_EQ(engine.routeEntry(0, kDstVibratoRate, 0), kSrcHighestPressure);
    for (int p = 1; p < SynthEngine::kParts; ++p) EXPECT_EQ(usedEntries(p, kDstVibratoRate), 0) << p;
    // The audio path through the filters is left to the plug-in.
    for (int d : {22, 30, 38, 46}) EXPECT_EQ(usedEntries(0, d), 0) << d;
    int total = 0;
    for (int d = 0; d < kRouteDestinations; ++d) total += usedEntries(3, d);
    EXPECT_EQ(total, 43);
}

TEST_F(RoutingTest, ASummingInputTakesSixSourcesAndRefusesTheSeventh) {
    const int d = kDstModAmount0 - 20;  // 82: initial-level modulation of envelope 0
    for (int i = 0; i < 6; ++i) EXPECT_EQ(engine.connect(kSrcModAmount0 + i, d, 2), 0) << i;
    EXPECT_EQ(engine.connect(kSrcModAmount0 + 6, d, 2), 1);
    EXPECT_FALSE(isConnected(2, d, kSrcModAmount0 + 6));
    // Another part has its own row.
    EXPECT_EQ(engine.connect(kSrcModAmount0 + 6, d, 3), 0);
}

TEST_F(RoutingTest, ASingleInputRefusesASecondSourceUntilTheFirstIsDisconnected) {
    const int d = kDstMixerInput0 + 2;
    EXPECT_EQ(engine.connect(kSrcEnvelope0, d, 1), 0);
    EXPECT_EQ(engine.connect(kSrcVelocity, d, 1), 1);
    engine.disconnect(d, kSrcVelocity, 1);  // not the one connected: nothing changes
    EXPECT_TRUE(isConnected(1, d, kSrcEnvelope0));
    engine.disconnect(d, kSrcEnvelope0, 1);
    EXPECT_EQ(usedEntries(1, d), 0);
    EXPECT_EQ(engine.connect(kSrcVelocity, d, 1), 0);
}

TEST_F(RoutingTest, ConnectWithoutDestinationRemovesTheSourceFromEveryInputOfThePart) {
    ASSERT_TRUE(isConnected(4, 61, kSrcPressure));
    EXPECT_EQ(engine.connect(kSrcPressure, -1, 4), 0);
    for (int d = 0; d < kRouteDestinations; ++d) EXPECT_FALSE(isConnected(4, d, kSrcPressure)) << d;
    EXPECT_TRUE(isConnected(3, 61, kSrcPressure));
    EXPECT_TRUE(isConnected(4, 62, kSrcVelocity));
    // Connected nowhere: still 0.
    EXPECT_EQ(engine.connect(kSrcPressure, -1, 4), 0);
    EXPECT_EQ(engine.connect(kSrcModAmount0 + 9, -1, 4), 0);
}

TEST_F(RoutingTest, DisconnectWithoutSourceEmptiesTheDestinationOfThePartOnly) {
    const int d = kDstMixerLevel0 + 1;
    engine.connect(kSrcModWheel, d, 5);
    engine.connect(kSrcExpression, d, 5);
    engine.connect(kSrcModWheel, d, 6);
    engine.disconnect(d, -1, 5);
    EXPECT_EQ(usedEntries(5, d), 0);
    EXPECT_TRUE(isConnected(6, d, kSrcModWheel));
}

TEST_F(RoutingTest, TheSameSourceTwiceTakesTwoEntriesAndOneDisconnectRemovesBoth) {
    const int d = 2;  // oscillator 1 pitch
    EXPECT_EQ(engine.connect(kSrcVelocity, d, 0), 0);
    EXPECT_EQ(engine.connect(kSrcVelocity, d, 0), 0);
    EXPECT_EQ(engine.connect(kSrcModWheel, d, 0), 0);
    EXPECT_EQ(usedEntries(0, d), 3);
    engine.disconnect(d, kSrcVelocity, 0);
    EXPECT_EQ(usedEntries(0, d), 1);
    EXPECT_TRUE(isConnected(0, d, kSrcModWheel));
}

TEST_F(RoutingTest, SourceElevenTakesAnEntryButAttachesNoSignal) {
    patch.basicPatch(kAssignRotate, 1, 1);
    engine.disconnect(kDstVca1Audio, -1, 0);
    EXPECT_EQ(engine.connect(kSrcNone, kDstVca1Audio, 0), 0);
    EXPECT_EQ(engine.routeEntry(0, kDstVca1Audio, 0), kSrcNone);
    EXPECT_EQ(engine.connect(kSrcVelocity, kDstVca1Audio, 0), 1);
    EXPECT_EQ(engine.sourceBuffer(kSrcNone, 0), nullptr);
    patch.noteOn(60);
    std::vector<float> out[SynthEngine::kQueueChannels];
    patch.render(44 * 50, out);
    for (float x : out[0]) ASSERT_EQ(x, 0.f);
}

TEST_F(RoutingTest, OutOfRangeArgumentsAreRefused) {
    EXPECT_EQ(engine.connect(kSrcVelocity, 57, -1), 1);
    EXPECT_EQ(engine.connect(kSrcVelocity, 57, 8), 1);
    EXPECT_EQ(engine.connect(kSrcVelocity, 112, 0), 1);
    EXPECT_EQ(engine.connect(42, 90, 0), 1);
    EXPECT_EQ(engine.connect(-1, 90, 0), 1);
    EXPECT_EQ(engine.connect(kSrcVelocity, -1, 9), 1);
    EXPECT_EQ(usedEntries(0, 90), 0);
    // A removal (destination < 0) is taken before the source is checked: a source no entry
    // can hold is removed from nowhere, with success, and every connection stays.
    for (int source : {-1, -5, 42, 1000}) {
        EXPECT_EQ(engine.connect(source, -1, 0), 0) << source;
        EXPECT_EQ(engine.connect(source, -7, 3), 0) << source;
    }
    for (int p = 0; p < 8; ++p) EXPECT_TRUE(isConnected(p, 57, kSrcOsc1Mix)) << p;
    EXPECT_EQ(usedEntries(0, 90), 0);
    // disconnect ignores what it cannot address and leaves every connection.
    engine.disconnect(57, -1, 8);
    engine.disconnect(57, -1, -1);
    engine.disconnect(112, -1, 0);
    engine.disconnect(-1, kSrcOsc1Mix, 0);
    engine.disconnect(57, 99, 0);
    for (int p = 0; p < 8; ++p) EXPECT_TRUE(isConnected(p, 57, kSrcOsc1Mix)) << p;
    EXPECT_EQ(engine.routeEntry(8, 57, 0), -1);
    EXPECT_EQ(engine.routeEntry(0, 57, 6), -1);
}

TEST(Routing, BeforeInitEverythingIsRefused) {
    SynthEngine engine;
    EXPECT_EQ(engine.connect(kSrcVelocity, kDstVca1Audio, 0), 1);
    engine.disconnect(kDstVca1Audio, -1, 0);
    EXPECT_EQ(engine.routeEntry(0, kDstVca1Audio, 0), -1);
    EXPECT_EQ(engine.sourceBuffer(kSrcVelocity, 0), nullptr);
    EXPECT_EQ(engine.sourceBuffer(kSrcEnvelope0, 0), nullptr);
}

TEST_F(RoutingTest, SourceBuffersAreTheModulesPortsAndTheValuePorts) {
    EXPECT_EQ(engine.sourceBuffer(kSrcVelocity, 5), engine.valuePort(kSourceVelocity, 5));
    EXPECT_EQ(engine.sourceBuffer(kSrcHighestPressure, 5), engine.valuePort(kSourceHighestPressure, 0));
    EXPECT_EQ(engine.sourceBuffer(kSrcVca1, 7), engine.lineOutput(0, 7));
    engine.releaseSource(kSrcVca1, 7);
    SignalPort* envelope = engine.sourceBuffer(kSrcEnvelope0 + 2, 3);
    ASSERT_NE(envelope, nullptr);
    EXPECT_EQ(envelope->controlRate, 1);
    engine.releaseSource(kSrcEnvelope0 + 2, 3);
    EXPECT_NE(engine.sourceBuffer(kSrcMixer0 + 1, 0), nullptr);
    engine.releaseSource(kSrcMixer0 + 1, 0);
    EXPECT_NE(engine.sourceBuffer(kSrcModAmount0 + 9, 31), nullptr);
    engine.releaseSource(kSrcModAmount0 + 9, 31);
    // The oscillators' mix is audio; their sync output is a tick signal.
    SignalPort* mix = engine.sourceBuffer(kSrcOsc1Mix, 0);
    ASSERT_NE(mix, nullptr);
    EXPECT_EQ(mix->kind, kPortSamples);
    EXPECT_EQ(mix->controlRate, 0);
    engine.releaseSource(kSrcOsc1Mix, 0);
    SignalPort* sync = engine.sourceBuffer(kSrcOsc2Sync, 0);
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(sync->kind, kPortSync);
    engine.releaseSource(kSrcOsc2Sync, 0);
    // The filters' outputs are audio, the LFOs' one value per block.
    for (int f = 0; f < 4; ++f) {
        SignalPort* filter = engine.sourceBuffer(kSrcFilter0 + f, 9);
        ASSERT_NE(filter, nullptr) << f;
        EXPECT_EQ(filter->controlRate, 0);
        engine.releaseSource(kSrcFilter0 + f, 9);
    }
    for (int source : {kSrcVoiceLfo1, kSrcVoiceLfo2, kSrcVibratoLfo}) {
        SignalPort* lfo = engine.sourceBuffer(source, 4);
        ASSERT_NE(lfo, nullptr) << source;
        EXPECT_EQ(lfo->controlRate, 1);
        engine.releaseSource(source, 4);
    }
    EXPECT_NE(engine.sourceBuffer(kSrcVoiceLfo2, 4), engine.sourceBuffer(kSrcVoiceLfo2, 5));
    EXPECT_EQ(engine.sourceBuffer(-1, 0), nullptr);
    EXPECT_EQ(engine.sourceBuffer(42, 0), nullptr);
}

TEST_F(RoutingTest, RemovingEveryReaderOfAnEnvelopeReleasesItsOutput) {
    // Envelope 0 feeds only the line-1 filters' cutoff offset A.
    ASSERT_TRUE(engine.envelope(0).isActive());
    for (int p = 0; p < SynthEngine::kParts; ++p) EXPECT_EQ(engine.connect(kSrcEnvelope0, -1, p), 0);
    EXPECT_FALSE(engine.envelope(0).isActive());
    engine.connect(kSrcEnvelope0, kDstModAmount0, 2);
    EXPECT_TRUE(engine.envelope(0).isActive());
    engine.disconnect(kDstModAmount0, kSrcEnvelope0, 2);
    EXPECT_FALSE(engine.envelope(0).isActive());
}

TEST_F(RoutingTest, AConnectionCarriesItsSignalAndADisconnectionStopsIt) {
    patch.basicPatch(kAssignRotate, 1, 2);
    engine.disconnect(kDstVca1Audio, -1, 1);  // part 1 has no audio
    patch.noteOn(60);  // part 1
    std::vector<float> out[SynthEngine::kQueueChannels];
    patch.render(44 * 20, out);
    for (float x : out[0]) ASSERT_EQ(x, 0.f);
    ASSERT_EQ(engine.connect(kSrcVelocity, kDstVca1Audio, 1), 0);
    out[0].clear();
    patch.render(44 * 20, out);
    EXPECT_GT(std::fabs(out[0].back()), 0.01f);
    engine.disconnect(kDstVca1Audio, kSrcVelocity, 1);
    out[0].clear();
    patch.render(44 * 2, out);
    EXPECT_EQ(out[0].back(), 0.f);

    // Level modulation through the mixer path: velocity through mixer channel 0 into VCA 1.
    engine.connect(kSrcVelocity, kDstMixerInput0, 1);
    engine.connect(kSrcMixer0, kDstVca1Audio, 1);
    out[0].clear();
    patch.render(44 * 20, out);
    EXPECT_GT(std::fabs(out[0].back()), 0.01f);
}


TEST_F(RoutingTest, TheVibratoLfoIsTakenOncePerDefaultReaderAndReleasedWithIt) {
    // Oscillators 1, 2, the four filters and both VCAs, for the four slots of every part.
    VibratoLfo& vibrato = engine.vibratoLfo();
    EXPECT_EQ(vibrato.outputUses(kLfoOutValue), 8 * 4 * SynthEngine::kParts);
    EXPECT_EQ(vibrato.outputUses(kLfoOutGate), 0);
    // Nothing reads a filter or a per-voice LFO until the plug-in routes one.
    for (int f = 0; f < SynthEngine::kFilters; ++f) {
        EXPECT_EQ(engine.filter(f).getUseCount(), 0) << f;
        EXPECT_FALSE(engine.filter(f).isActive()) << f;
    }
    for (int lfo = 1; lfo <= 2; ++lfo)
        for (int s = 0; s < SynthEngine::kSlots; ++s) ASSERT_EQ(engine.voiceLfo(lfo).outputUses(kLfoOutValue, s), 0);

    engine.disconnect(kDstFilter0 + 8 * 3, kSrcVibratoLfo, 6);  // filter 3's vibrato, part 6
    EXPECT_EQ(vibrato.outputUses(kLfoOutValue), 8 * 4 * SynthEngine::kParts - 4);
    for (int p = 0; p < SynthEngine::kParts; ++p) engine.connect(kSrcVibratoLfo, -1, p);
    EXPECT_EQ(vibrato.outputUses(kLfoOutValue), 0);
}

TEST_F(RoutingTest, FilterAndLfoOutputsCountEveryConnectedSlot) {
    Filter& filter = engine.filter(2);
    ASSERT_EQ(engine.connect(kSrcFilter0 + 2, kDstModAmount0, 3), 0);
    EXPECT_EQ(filter.getUseCount(), 4);
    EXPECT_TRUE(filter.isActive());
    ASSERT_EQ(engine.connect(kSrcFilter0 + 2, kDstModAmount0 + 1, 5), 0);
    EXPECT_EQ(filter.getUseCount(), 8);
    engine.disconnect(kDstModAmount0, -1, 3);
    EXPECT_EQ(filter.getUseCount(), 4);
    EXPECT_EQ(engine.connect(kSrcFilter0 + 2, -1, 5), 0);
    EXPECT_EQ(filter.getUseCount(), 0);
    EXPECT_FALSE(filter.isActive());

    VoiceLfo& lfo = engine.voiceLfo(2);
    const int d = kDstEnvelopeModulation;  // a summing input
    ASSERT_EQ(engine.connect(kSrcVoiceLfo2, d, 2), 0);
    ASSERT_EQ(engine.connect(kSrcVoiceLfo2, d, 2), 0);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(lfo.outputUses(kLfoOutValue, 2 + 8 * k), 2) << k;
    EXPECT_EQ(lfo.outputUses(kLfoOutValue, 3), 0);
    EXPECT_EQ(engine.voiceLfo(1).outputUses(kLfoOutValue, 2), 0);
    engine.disconnect(d, kSrcVoiceLfo2, 2);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(lfo.outputUses(kLfoOutValue, 2 + 8 * k), 0) << k;
}

// Every default connection into a filter carries its source: with all of them at work
// the cutoff each filter uses is the commanded one times 256^m, m being the sum the
// module forms from the very ports the engine connected. Removing them leaves the cutoff.
TEST_F(RoutingTest, DefaultConnectionsCarryTheirSourcesIntoTheFilters) {
    patch.basicPatch(kAssignRotate, 1, 1);
    const float base = 200.f;
    const int cutoffCodes[4] = {kCmdHighPass1, kCmdHighPass2, kCmdLowPass1, kCmdLowPass2};
    const int depthCodes[4] = {kCmdHighPass1Brilliance, kCmdHighPass2Brilliance, kCmdLowPass1Brilliance,
                               kCmdLowPass2Brilliance};
    const int vibratoCodes[4] = {kCmdHighPass1Modulation, kCmdHighPass2Modulation, kCmdLowPass1Modulation,
                                 kCmdLowPass2Modulation};
    const float touchDepth[4] = {0.3f, 0.25f, 0.2f, 0.35f};
    const float initialDepth[4] = {0.15f, 0.1f, 0.05f, 0.12f};
    const float vibratoDepth = 0.2f, touchAmount = 0.1f;
    patch.record.part = 0;
    for (int f = 0; f < 4; ++f) {
        // An audio input and a reader, so that the filter runs.
        ASSERT_EQ(engine.connect(kSrcVelocity, kDstFilterAudio + 8 * f, 0), 0);
        ASSERT_EQ(engine.connect(kSrcFilter0 + f, kDstModAmount0 + f, 0), 0);
        patch.record.cutoff = base;
        patch.record.resonance = 0.f;
        patch.send(cutoffCodes[f]);
        patch.record.valueA = touchDepth[f];
        patch.record.valueB = initialDepth[f];
        patch.send(depthCodes[f]);
        patch.record.valueA = vibratoDepth;
        patch.record.valueB = touchAmount;
        patch.send(vibratoCodes[f]);
    }
    patch.record.valueA = patch.record.valueB = 0.75f;  // brilliance scaling 0.5 below and above 64
    patch.record.valueC = patch.record.valueD = 0.5f;
    patch.send(kCmdKeyScaling);
    patch.envelope(0, 0, 5.f, 50.f, 50.f, 0.1f, 0.2f);
    patch.envelope(0, 2, 20.f, 80.f, 50.f, 0.05f, 0.15f);
    patch.record.lfoRate = 3.f;
    patch.record.lfoWave = kLfoSine;
    patch.send(kCmdVibratoLfo);
    patch.noteOn(76, 100);

    auto portValue = [&](int source) {
        SignalPort* port = engine.sourceBuffer(source, 0);
        const float v = port->samples[0];
        engine.releaseSource(source, 0);
        return v;
    };
    bool vibratoMoved = false, envelopeMoved = false;
    for (int b = 0; b < 40; ++b) {
        if (b == 5) {
            patch.record.note = -1;
            patch.record.pressure = 0.5f;
            patch.send(kCmdAftertouch);
        }
        patch.block();
        ASSERT_EQ(engine.getSlot(0).state, 16);
        const float pressure = portValue(kSrcPressure);
        const float velocity = portValue(kSrcVelocity);
        const float scaling = portValue(kSrcBrillianceScaling);
        const float vibrato = portValue(kSrcVibratoLfo);
        vibratoMoved |= std::fabs(vibrato) > 0.05f;
        ASSERT_NEAR(scaling, 12.f * 0.5f / 64.f, 1e-6f);
        for (int f = 0; f < 4; ++f) {
            // Line 1 (filters 0 and 2) follows envelope 0, line 2 envelope 2.
            const float envelope = portValue(kSrcEnvelope0 + (f % 2 == 0 ? 0 : 2));
            envelopeMoved |= envelope > 0.05f;
            const double m = envelope + scaling + vibrato * (vibratoDepth + pressure * touchAmount) * 0.5 +
                             pressure * touchDepth[f] + velocity * initialDepth[f];
            const double expected = base * std::pow(256.0, m);
            ASSERT_NEAR(engine.filter(f).usedCutoff(0), expected, expected * 2e-4) << "filter " << f << " block " << b;
        }
    }
    EXPECT_TRUE(vibratoMoved);
    EXPECT_TRUE(envelopeMoved);
    EXPECT_GT(portValue(kSrcPressure), 0.1f);  // pressure is smoothed over seconds

    for (int f = 0; f < 4; ++f)
        for (int input = 0; input < 7; ++input) engine.disconnect(kDstFilter0 + 8 * f + input, -1, 0);
    patch.block();
    for (int f = 0; f < 4; ++f) EXPECT_NEAR(engine.filter(f).usedCutoff(0), base, base * 1e-4) << f;
}

TEST_F(RoutingTest, HighestPressureSpeedsTheVibratoUntilItsConnectionIsRemoved) {
    patch.basicPatch(kAssignRotate, 1, 1);
    patch.record.lfoRate = 2.f;
    patch.record.lfoWave = kLfoSine;
    patch.send(kCmdVibratoLfo);
    patch.record.valueA = 0.5f;
    patch.send(kCmdVibratoTouch);
    patch.noteOn(60);
    patch.block();
    patch.record.note = -1;
    patch.record.pressure = 0.8f;
    patch.send(kCmdAftertouch);
    for (int b = 0; b < 200; ++b) patch.block();
    const float highest = engine.valuePort(kSourceHighestPressure, 0)->samples[0];
    ASSERT_GT(highest, 0.2f);
    EXPECT_NEAR(engine.vibratoLfo().currentRate(), 2.0 * std::pow(64.0, highest * 0.5), 1e-3);
    engine.disconnect(kDstVibratoRate, -1, 0);
    patch.block();
    EXPECT_NEAR(engine.vibratoLfo().currentRate(), 2.0, 1e-6);
}

TEST_F(RoutingTest, PerVoiceLfoInputsTakeRateAmplitudeAndTrigger) {
    patch.basicPatch(kAssignRotate, 1, 1);
    const float rate = 1.5f;
    patch.record.part = 0;
    patch.record.subIndex = 0;
    patch.record.lfoRate = rate;
    patch.record.lfoWave = kLfoSine;
    patch.record.tempoSync = 0;
    patch.send(kCmdPartLfo);
    ASSERT_EQ(engine.connect(kSrcVoiceLfo1, kDstModAmount0, 0), 0);  // a reader
    ASSERT_EQ(engine.connect(kSrcExpression, kDstLfoRate1, 0), 0);
    ASSERT_EQ(engine.connect(kSrcVelocity, kDstLfoAmplitude1, 0), 0);
    ASSERT_EQ(engine.connect(kSrcGate, kDstLfoTrigger1, 0), 0);
    patch.record.pedal = 0.25f;
    patch.send(kCmdExpression);
    for (int b = 0; b < 10; ++b) patch.block();

    // The note's gate restarts the slot at phase 0: its first block's value is one step
    // of the sine, scaled by the velocity.
    patch.noteOn(60, 127);
    patch.block();
    const double expression = engine.valuePort(kSourceExpression, 0)->samples[0];
    const double hz = rate * std::pow(64.0, expression);
    EXPECT_NEAR(engine.voiceLfo(1).rateOf(0), hz, 1e-4 * hz);
    SignalPort* value = engine.sourceBuffer(kSrcVoiceLfo1, 0);
    const double step = 2.0 * 3.14159265358979323846 * hz * engine.getBlockLength() / engine.getSampleRate();
    EXPECT_NEAR(value->samples[0], std::sin(step), 2e-3);
    engine.releaseSource(kSrcVoiceLfo1, 0);

    // Without the amplitude source it plays at full scale; without the rate source at its own rate.
    engine.disconnect(kDstLfoAmplitude1, -1, 0);
    engine.disconnect(kDstLfoRate1, -1, 0);
    patch.block();
    EXPECT_NEAR(engine.voiceLfo(1).rateOf(0), rate, 1e-6);
}

}  // namespace
