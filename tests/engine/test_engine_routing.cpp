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
    EXPECT_EQ(engine.connect(42, -1, 0), 1);
    EXPECT_EQ(engine.connect(-5, -1, 0), 1);
    EXPECT_EQ(engine.connect(kSrcVelocity, -1, 9), 1);
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
    // Outputs of the oscillators (still silent), filters and LFOs are absent for now.
    const int absent[] = {kSrcOsc1Mix, kSrcOsc2Sync, kSrcFilter0 + 3, kSrcVoiceLfo1, kSrcVibratoLfo};
    for (int source : absent)
        EXPECT_EQ(engine.sourceBuffer(source, 0), nullptr) << source;
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

}  // namespace
